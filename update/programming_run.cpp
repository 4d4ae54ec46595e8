// The programming run: acceptance rules, version question, preserved block, erase and write phases.
#include "programming_run.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

using Buffer = std::unique_ptr<uint8_t[]>;

Buffer Allocate(uint32_t size) {
    return Buffer(new (std::nothrow) uint8_t[size]);
}

UpdateStop End(UpdateEvents& events, UpdateStop reason) {
    events.Ended(reason);
    return reason;
}

}  // namespace

UpdateStop RunProgramming(const char* path,
                          uint16_t currentVersion,
                          UpdateEvents& events,
                          UpdatePipe& pipe,
                          FirmupProgramState& state,
                          FileOpener open) {
    CheckedImage image;
    const UpdateStop verdict = CheckImage(
        path, [&events] { return events.AllowModelChange(); }, image, open);
    if (verdict != UpdateStop::Completed) {
        return End(events, verdict);
    }
    if (ImageVersionNeedsQuestion(image.version, currentVersion) &&
        !events.ConfirmOlderOrEqual(image.version, currentVersion)) {
        return End(events, UpdateStop::Declined);  // nothing was sent
    }
    return WriteImage(image, events, pipe, state);
}

UpdateStop WriteImage(const CheckedImage& image, UpdateEvents& events, UpdatePipe& pipe, FirmupProgramState& state) {
    // replyBuffer and imageBuffer belong to this run and go with it on every way out.
    Buffer replyBuffer = Allocate(kReplyBufferSize);
    Buffer imageBuffer = Allocate(kImageBufferSize);
    if (!replyBuffer || !imageBuffer || !image.bytes) {
        return End(events, UpdateStop::ImageUnreadable);  // the image cannot be taken in; the device is untouched
    }
    uint8_t* bytes = imageBuffer.get();
    std::memcpy(bytes, image.bytes.get(), kImageBufferSize);
    const uint32_t L = image.length;

    events.PhaseStarted(UpdatePhase::ReadPreserved);
    uint8_t* reply = replyBuffer.get();
    CommandPacket& commandPacket = state.commandPacket;
    int replyCount = 0;
    // A reply cut short is no reply: the bytes it did not bring are the cleared zeros, which
    // would be carried into the image as if they were the device's block.
    if (!ReadFlashBlock(pipe, commandPacket, reply, kPreservedAddress, &replyCount) ||
        replyCount < static_cast<int>(kReadReplySize)) {
        return End(events, UpdateStop::PreservedReadFailed);
    }
    const uint8_t* carried = state.PreservedBlockToCarry(pipe.DeviceId(), reply + kReplyDataOffset);
    if (carried == nullptr) {
        return End(events, UpdateStop::PreservedNotSaved);  // no copy on disk: nothing is erased
    }
    SealImage(bytes, L, carried);

    events.PhaseStarted(UpdatePhase::Erase);
    std::memset(&commandPacket, 0, sizeof commandPacket);
    FirmupPacket& packet = commandPacket.packet;
    packet.command = CMD_ERASE_FLASH;
    packet.length = 1;
    for (uint32_t flashAddress = kFlashImageStart; flashAddress < kFlashImageEnd; flashAddress += kEraseBlockSize) {
        SetPacketAddress(packet, flashAddress);
        if (!FirmupExchange(pipe, commandPacket, reply)) {
            return End(events, UpdateStop::EraseFailed);
        }
        events.Progress(UpdatePhase::Erase, flashAddress + kEraseBlockSize - kFlashImageStart, kImageSize);
    }

    events.PhaseStarted(UpdatePhase::Write);
    packet.command = CMD_WRITE_FLASH;
    packet.length = kFlashBlockSize;
    uint32_t imageOffset = 0;
    for (uint32_t flashAddress = kFlashImageStart; flashAddress < kFlashImageEnd; flashAddress += kFlashBlockSize) {
        SetPacketAddress(packet, flashAddress);
        std::memcpy(packet.data, bytes + imageOffset, kFlashBlockSize);
        if (!FirmupExchange(pipe, commandPacket, reply)) {
            return End(events, UpdateStop::WriteFailed);
        }
        imageOffset += kFlashBlockSize;
        events.Progress(UpdatePhase::Write, imageOffset < L ? imageOffset : L, L);  // the file's bytes
    }
    return End(events, UpdateStop::Completed);
}
