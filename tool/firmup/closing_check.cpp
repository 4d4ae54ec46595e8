// The closing check: 1408 reads of flash 0x000800 to 0x005FFF, the checksum stored in the image's
// trailer at flash 0x005FF8, and the close byte only on a match.
#include "closing_check.h"

#include <cstring>
#include <memory>
#include <new>

#include "firmup_messages.h"
#include "firmware_image.h"
#include "progress_text.h"

bool CloseUpdateSession(DialogFace& face, UpdatePipe& pipe, FirmupProgramState& state) {
    StartBarPhase(face, BarPhase::Close);

    // replyBuffer and readBackBuffer belong to this check and go with it on every way out.
    std::unique_ptr<uint8_t[]> replyBuffer(new (std::nothrow) uint8_t[kReplyBufferSize]);
    std::unique_ptr<uint8_t[]> readBackBuffer(new (std::nothrow) uint8_t[kImageBufferSize]);
    const auto fail = [&face] {
        face.ShowMessage(kMsgCloseFailed.text, kMsgCloseFailed.caption, kMsgCloseFailed.kind);
        return false;
    };
    if (!replyBuffer || !readBackBuffer) {
        return fail();  // nothing verified: the device stays in update mode
    }

    uint8_t* reply = replyBuffer.get();
    uint8_t* readBack = readBackBuffer.get();
    uint32_t imageOffset = 0;
    for (uint32_t flashAddress = kFlashImageStart; flashAddress < kFlashImageEnd; flashAddress += kFlashBlockSize) {
        if (!ReadFlashBlock(pipe, state.commandPacket, reply, flashAddress)) {
            return fail();
        }
        std::memcpy(readBack + imageOffset, reply + kReplyDataOffset, kFlashBlockSize);
        imageOffset += kFlashBlockSize;
        AdvanceBar(face, BarPhase::Close, ProgressPercent(imageOffset, kImageSize));
    }

    // The trailer of an image of kImageSize bytes: the checksum over offsets 0 to 22518.
    if (ImageChecksum(readBack, kImageSize - kTrailerSize) != TrailerChecksum(readBack, kImageSize)) {
        return fail();
    }
    const std::string device = pipe.DeviceId();  // the device that was read, before it leaves
    if (!SendCloseSession(pipe)) {
        return fail();  // the command pipe did not open: the session is still open
    }
    state.SessionClosed(device);
    return true;
}
