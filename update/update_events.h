// What the programming run and the closing check report, in their own terms: the phase they are
// in, bytes done out of a total, the one question they ask, and why they stopped. Each front end
// (the dialog, brg40) renders these its own way.
#ifndef BRG40_UPDATE_EVENTS_H
#define BRG40_UPDATE_EVENTS_H

#include <cstdint>

enum class UpdatePhase {
    ReadPreserved,  // the device's preserved block is read before anything is erased
    Erase,          // the application flash, in 64-byte blocks
    Write,          // the image, in 16-byte blocks
    ReadBack,       // the closing check reads the flash back
};

// Why a run or a check ended.
enum class UpdateStop {
    Completed,            // the run wrote the image; the check matched (and sent the close byte when asked)
    ImageUnreadable,      // the file could not be opened or read whole (or not taken into memory)
    NotFirmware,          // longer than any firmware, too short for a trailer, or another model's tag
    ChecksumMismatch,     // the file's checksum does not match its trailer
    Declined,             // the image is not newer and the question was answered No; nothing was sent
    PreservedReadFailed,  // the device's preserved block could not be read; nothing was erased
    PreservedNotSaved,    // its copy could not be saved where the program keeps it; nothing was erased
    EraseFailed,          // an erase exchange failed
    WriteFailed,          // a write exchange failed
    ReadBackFailed,       // an exchange of the read-back failed (or its buffers could not be had)
    ReadBackMismatch,     // the flash read back does not check out
    CloseNotSent,         // the flash checked out but the close byte could not be sent
};

class UpdateEvents {
public:
    virtual ~UpdateEvents() = default;

    // Whether an image for the NKV-BRG40 may be written to this converter; asked only about a file
    // whose checksum has passed.
    virtual bool AllowModelChange() = 0;
    // The image is not newer than the device (deviceVersion 0xFFFF: unknown). true goes on; false
    // ends the run as Declined.
    virtual bool ConfirmOlderOrEqual(uint16_t imageVersion, uint16_t deviceVersion) = 0;

    // A phase begins; Progress follows after each block of work in it.
    virtual void PhaseStarted(UpdatePhase phase) = 0;
    // done out of total bytes of the phase: Erase and ReadBack count the application flash, Write
    // the image file's bytes (a file shorter than the flash reaches its total before the last
    // block, which is padding).
    virtual void Progress(UpdatePhase phase, uint32_t done, uint32_t total) = 0;

    // The run or the check ended, with the reason.
    virtual void Ended(UpdateStop reason) = 0;
};

#endif
