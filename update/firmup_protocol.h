// The loader's request/reply protocol: packet and reply layouts, command codes, and one exchange
// (send the packet, clear the reply, read it, judge it by its echo byte) over the update pipe.
#ifndef BRG40_FIRMUP_PROTOCOL_H
#define BRG40_FIRMUP_PROTOCOL_H

#include <cstddef>
#include <cstdint>

#include "update_pipe.h"

constexpr uint8_t CMD_READ_FLASH = 0x01;
constexpr uint8_t CMD_WRITE_FLASH = 0x02;
constexpr uint8_t CMD_ERASE_FLASH = 0x03;
constexpr uint8_t CMD_CLOSE_SESSION = 0xFF;  // sent as this one byte, without a header

constexpr uint32_t kFlashImageStart = 0x000800;  // first address the tool programs
constexpr uint32_t kFlashImageEnd = 0x006000;    // first address past it
constexpr uint32_t kPreservedAddress = 0x005FE0;
constexpr uint32_t kEraseBlockSize = 64;
constexpr uint32_t kLastEraseAddress = kFlashImageEnd - kEraseBlockSize;  // 0x005FC0
constexpr uint32_t kFlashBlockSize = 16;                                  // bytes per read or write
constexpr uint32_t kReplyBufferSize = 24576;

// FirmupPacket: the request as it goes out; a read or erase sends the header alone.
struct FirmupPacket {
    uint8_t command;
    uint8_t length;                 // 16 for read and write, 1 for erase
    uint8_t addressLow;             // address bits 0-7
    uint8_t addressHigh;            // bits 8-15
    uint8_t addressUpper;           // bits 16-23
    uint8_t data[kFlashBlockSize];  // write only: the bytes for address to address + 15
};
static_assert(sizeof(FirmupPacket) == 21, "FirmupPacket is 21 bytes on the wire");
static_assert(offsetof(FirmupPacket, length) == 1 && offsetof(FirmupPacket, addressLow) == 2 &&
                  offsetof(FirmupPacket, addressHigh) == 3 && offsetof(FirmupPacket, addressUpper) == 4 &&
                  offsetof(FirmupPacket, data) == 5,
              "FirmupPacket field offsets");
constexpr uint32_t kPacketHeaderSize = offsetof(FirmupPacket, data);  // 5
constexpr uint32_t kWritePacketSize = sizeof(FirmupPacket);           // 21

// FirmupReply: what the loader answers; only the echo, and the data after a read, are looked at.
struct FirmupReply {
    uint8_t echo;  // the command code of the request answered
    uint8_t unused[4];
    uint8_t data[kFlashBlockSize];  // after a read: flash address to address + 15
};
static_assert(sizeof(FirmupReply) == 21, "FirmupReply is 21 bytes");
static_assert(offsetof(FirmupReply, unused) == 1 && offsetof(FirmupReply, data) == 5, "FirmupReply field offsets");
constexpr uint32_t kReadReplySize = sizeof(FirmupReply);  // 21
constexpr uint32_t kShortReplySize = 1;                   // after erase and write: the echo alone
constexpr uint32_t kReplyDataOffset = offsetof(FirmupReply, data);

// commandPacket: 64 bytes in which each FirmupPacket is built in place; it lives as long as the
// program. Only the first 5 or 21 bytes are ever sent.
struct CommandPacket {
    FirmupPacket packet;
    uint8_t spare[64 - sizeof(FirmupPacket)];
};
static_assert(sizeof(CommandPacket) == 64, "commandPacket is 64 bytes");

// Stores the 24-bit address low byte first.
void SetPacketAddress(FirmupPacket& packet, uint32_t address);

// One exchange with the packet already built in commandPacket: sends 21 bytes for a write and 5
// otherwise, clears the reply (21 bytes after a read, byte 0 otherwise), reads as many, and tells
// whether reply byte 0 echoes the command. A missing device leaves the cleared byte 0, which is no
// command code. replyCount, when given, receives the read's result (the count of bytes that came,
// or -1 when the pipe did not open).
bool FirmupExchange(UpdatePipe& pipe,
                    const CommandPacket& commandPacket,
                    uint8_t* replyBuffer,
                    int* replyCount = nullptr);

// Builds CMD_READ_FLASH for address in commandPacket and exchanges it; the data are then at
// replyBuffer + kReplyDataOffset.
bool ReadFlashBlock(UpdatePipe& pipe,
                    CommandPacket& commandPacket,
                    uint8_t* replyBuffer,
                    uint32_t address,
                    int* replyCount = nullptr);

// Ends the update session: the single byte 0xFF from its own buffer; no reply is read. False when
// the command pipe did not open, so the byte was not sent.
bool SendCloseSession(UpdatePipe& pipe);

#endif
