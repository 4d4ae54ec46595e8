// One exchange of the loader protocol and the packets built for it.
#include "firmup_protocol.h"

#include <cstring>

void SetPacketAddress(FirmupPacket& packet, uint32_t address) {
    packet.addressLow = static_cast<uint8_t>(address & 0xFF);
    packet.addressHigh = static_cast<uint8_t>((address >> 8) & 0xFF);
    packet.addressUpper = static_cast<uint8_t>((address >> 16) & 0xFF);
}

bool FirmupExchange(UpdatePipe& pipe, const CommandPacket& commandPacket, uint8_t* replyBuffer, int* replyCount) {
    const uint8_t command = commandPacket.packet.command;
    const uint32_t sendSize = command == CMD_WRITE_FLASH ? kWritePacketSize : kPacketHeaderSize;
    const uint32_t replySize = command == CMD_READ_FLASH ? kReadReplySize : kShortReplySize;
    pipe.Write(reinterpret_cast<const uint8_t*>(&commandPacket), sendSize);
    std::memset(replyBuffer, 0, replySize);  // 0 is no command code: an absent reply fails the check
    const int count = pipe.Read(replyBuffer, replySize);
    if (replyCount != nullptr) {
        *replyCount = count;
    }
    return replyBuffer[0] == command;
}

bool ReadFlashBlock(UpdatePipe& pipe,
                    CommandPacket& commandPacket,
                    uint8_t* replyBuffer,
                    uint32_t address,
                    int* replyCount) {
    FirmupPacket& packet = commandPacket.packet;
    packet.command = CMD_READ_FLASH;
    packet.length = kFlashBlockSize;
    SetPacketAddress(packet, address);
    return FirmupExchange(pipe, commandPacket, replyBuffer, replyCount);
}

bool SendCloseSession(UpdatePipe& pipe) {
    const uint8_t closeByte[1] = {CMD_CLOSE_SESSION};
    return pipe.Write(closeByte, sizeof closeByte) != -1;
}
