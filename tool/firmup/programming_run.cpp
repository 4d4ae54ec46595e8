// The programming run: acceptance rules, version question, preserved block, erase and write phases.
#include "programming_run.h"

#include <cstring>
#include <memory>
#include <new>

#include "firmup_messages.h"
#include "firmware_image.h"
#include "progress_text.h"

namespace {

using Buffer = std::unique_ptr<uint8_t[]>;

Buffer Allocate(uint32_t size) {
    return Buffer(new (std::nothrow) uint8_t[size]);
}

RunOutcome Stop(DialogFace& face, const FirmupMessage& message) {
    face.ShowMessage(message.text, message.caption, message.kind);
    return RunOutcome::Stopped;
}

}  // namespace

RunOutcome ProgramFirmware(const char* path,
                           uint16_t currentVersion,
                           DialogFace& face,
                           UpdatePipe& pipe,
                           FirmupProgramState& state) {
    ImageFile file;
    if (!file.Open(path)) {
        return Stop(face, kMsgOpenFailed);
    }
    const long fileLength = file.Length();
    if (fileLength < 0) {
        file.Close();
        return Stop(face, kMsgOpenFailed);
    }
    if (!ImageLengthAllowed(static_cast<uint64_t>(fileLength))) {
        file.Close();  // closed before any message about its contents
        return Stop(face, kMsgNotFirmware);
    }
    const uint32_t L = static_cast<uint32_t>(fileLength);

    // replyBuffer and imageBuffer belong to this run and go with it on every way out.
    Buffer replyBuffer = Allocate(kReplyBufferSize);
    Buffer imageBuffer = Allocate(kImageBufferSize);
    if (!replyBuffer || !imageBuffer) {
        file.Close();
        return Stop(face, kMsgOpenFailed);  // the file cannot be taken in; the device is untouched
    }
    uint8_t* image = imageBuffer.get();
    std::memset(image, 0xFF, kImageBufferSize);  // a short file is programmed padded with 0xFF
    const bool read = file.Read(image, L);
    file.Close();
    if (!read) {
        return Stop(face, kMsgOpenFailed);
    }

    const ImageVerdict verdict = JudgeImage(image, L, [&face] { return face.IsConversionChecked(); });
    if (verdict == ImageVerdict::ChecksumMismatch) {
        return Stop(face, kMsgChecksumFailed);
    }
    if (verdict == ImageVerdict::NotFirmware) {
        return Stop(face, kMsgNotFirmware);
    }

    const uint16_t version = ReadImageTrailer(image, L).version;
    if (ImageVersionNeedsQuestion(version, currentVersion)) {
        const int answer = face.ShowMessage(kMsgVersionQuestion.text, kMsgVersionQuestion.caption,
                                            kMsgVersionQuestion.kind, true, version >> 8, version & 0xFF);
        if (answer != kAnswerYes) {
            return RunOutcome::Declined;  // only Yes goes on; No ends the run silently
        }
    }

    ShowBarWaiting(face);

    uint8_t* reply = replyBuffer.get();
    CommandPacket& commandPacket = state.commandPacket;
    int replyCount = 0;
    // A reply cut short is no reply: the bytes it did not bring are the cleared zeros, which
    // would be carried into the image as if they were the device's block.
    if (!ReadFlashBlock(pipe, commandPacket, reply, kPreservedAddress, &replyCount) ||
        replyCount < static_cast<int>(kReadReplySize)) {
        return Stop(face, kMsgReadFailed);
    }
    SealImage(image, L, state.PreservedBlockToCarry(pipe.DeviceId(), reply + kReplyDataOffset));

    StartBarPhase(face, BarPhase::Erase);
    std::memset(&commandPacket, 0, sizeof commandPacket);
    FirmupPacket& packet = commandPacket.packet;
    packet.command = CMD_ERASE_FLASH;
    packet.length = 1;
    for (uint32_t flashAddress = kFlashImageStart; flashAddress < kFlashImageEnd; flashAddress += kEraseBlockSize) {
        SetPacketAddress(packet, flashAddress);
        if (!FirmupExchange(pipe, commandPacket, reply)) {
            return Stop(face, kMsgEraseFailed);
        }
        // Over the last erase address: the bar climbs from 0 to meet 8% first.
        AdvanceBar(face, BarPhase::Erase, ProgressPercent(flashAddress, kLastEraseAddress));
    }

    StartBarPhase(face, BarPhase::Write);
    packet.command = CMD_WRITE_FLASH;
    packet.length = kFlashBlockSize;
    uint32_t imageOffset = 0;
    for (uint32_t flashAddress = kFlashImageStart; flashAddress < kFlashImageEnd; flashAddress += kFlashBlockSize) {
        SetPacketAddress(packet, flashAddress);
        std::memcpy(packet.data, image + imageOffset, kFlashBlockSize);
        if (!FirmupExchange(pipe, commandPacket, reply)) {
            return Stop(face, kMsgWriteFailed);
        }
        imageOffset += kFlashBlockSize;
        AdvanceBar(face, BarPhase::Write, ProgressPercent(imageOffset, L));  // over the file length
    }

    ShowBarCompleted(face);
    face.ShowMessage(kMsgUpdated.text, kMsgUpdated.caption, kMsgUpdated.kind);
    return RunOutcome::Completed;
}
