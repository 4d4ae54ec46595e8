// The closing check: 1408 reads of flash 0x000800 to 0x005FFF, the checksum stored in the image's
// trailer at flash 0x005FF8, and the close byte only on a match.
#include "closing_check.h"

#include <cstring>
#include <memory>
#include <new>

#include "firmware_image.h"

UpdateStop RunClosingCheck(UpdateEvents& events, UpdatePipe& pipe, FirmupProgramState& state, CloseByte close) {
    events.PhaseStarted(UpdatePhase::ReadBack);
    const auto end = [&events](UpdateStop reason) {
        events.Ended(reason);
        return reason;
    };

    // replyBuffer and readBackBuffer belong to this check and go with it on every way out.
    std::unique_ptr<uint8_t[]> replyBuffer(new (std::nothrow) uint8_t[kReplyBufferSize]);
    std::unique_ptr<uint8_t[]> readBackBuffer(new (std::nothrow) uint8_t[kImageBufferSize]);
    if (!replyBuffer || !readBackBuffer) {
        return end(UpdateStop::ReadBackFailed);  // nothing verified: the device stays in update mode
    }

    uint8_t* reply = replyBuffer.get();
    uint8_t* readBack = readBackBuffer.get();
    uint32_t imageOffset = 0;
    for (uint32_t flashAddress = kFlashImageStart; flashAddress < kFlashImageEnd; flashAddress += kFlashBlockSize) {
        if (!ReadFlashBlock(pipe, state.commandPacket, reply, flashAddress)) {
            return end(UpdateStop::ReadBackFailed);
        }
        std::memcpy(readBack + imageOffset, reply + kReplyDataOffset, kFlashBlockSize);
        imageOffset += kFlashBlockSize;
        events.Progress(UpdatePhase::ReadBack, imageOffset, kImageSize);
    }

    // The trailer of an image of kImageSize bytes: the checksum over offsets 0 to 22518.
    if (ImageChecksum(readBack, kImageSize - kTrailerSize) != TrailerChecksum(readBack, kImageSize)) {
        return end(UpdateStop::ReadBackMismatch);
    }
    if (close == CloseByte::Hold) {
        return end(UpdateStop::Completed);  // the session stays open, and so does the stored copy
    }
    const std::string device = pipe.DeviceId();  // the device that was read, before it leaves
    if (!SendCloseSession(pipe)) {
        return end(UpdateStop::CloseNotSent);  // the command pipe did not open: the session is still open
    }
    state.SessionClosed(device);
    return end(UpdateStop::Completed);
}
