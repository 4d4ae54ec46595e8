// The 96-byte block of one SCSI pass-through request: our own copy of the 64-bit
// SCSI_PASS_THROUGH_DIRECT, followed by a filler and the sense area the driver fills.
#ifndef BRG40_COMMAND_BLOCK_H
#define BRG40_COMMAND_BLOCK_H

#include <cstddef>
#include <cstdint>

namespace brg40 {

// Mirrors SCSI_PASS_THROUGH_DIRECT of <ntddscsi.h> in its 64-bit layout (checked against the
// SDK in os_win32.cpp).
struct ScsiPassThroughDirect {
    uint16_t Length;
    uint8_t ScsiStatus;
    uint8_t PathId;
    uint8_t TargetId;
    uint8_t Lun;
    uint8_t CdbLength;
    uint8_t SenseInfoLength;
    uint8_t DataIn;
    uint32_t DataTransferLength;
    uint32_t TimeOutValue;
    void* DataBuffer;
    uint32_t SenseInfoOffset;
    uint8_t Cdb[16];
};

static_assert(sizeof(void*) == 8, "the pass-through block is laid out for 64-bit builds");
static_assert(sizeof(ScsiPassThroughDirect) == 56, "SCSI_PASS_THROUGH_DIRECT size");
static_assert(offsetof(ScsiPassThroughDirect, DataIn) == 8, "SCSI_PASS_THROUGH_DIRECT layout");
static_assert(offsetof(ScsiPassThroughDirect, DataTransferLength) == 12, "SCSI_PASS_THROUGH_DIRECT layout");
static_assert(offsetof(ScsiPassThroughDirect, TimeOutValue) == 16, "SCSI_PASS_THROUGH_DIRECT layout");
static_assert(offsetof(ScsiPassThroughDirect, DataBuffer) == 24, "SCSI_PASS_THROUGH_DIRECT layout");
static_assert(offsetof(ScsiPassThroughDirect, SenseInfoOffset) == 32, "SCSI_PASS_THROUGH_DIRECT layout");
static_assert(offsetof(ScsiPassThroughDirect, Cdb) == 36, "SCSI_PASS_THROUGH_DIRECT layout");

constexpr uint8_t kScsiDataOut = 0;  // SCSI_IOCTL_DATA_OUT, also used when no data moves
constexpr uint8_t kScsiDataIn = 1;   // SCSI_IOCTL_DATA_IN
constexpr uint32_t kSenseAreaSize = 32;
constexpr uint8_t kSenseInfoLength = 18;  // fixed-format sense data

struct CommandBlock {
    ScsiPassThroughDirect sptd;
    uint32_t filler;
    uint8_t sense[kSenseAreaSize];
    uint32_t tail;
};

static_assert(sizeof(CommandBlock) == 96, "CommandBlock size");
static_assert(offsetof(CommandBlock, filler) == 56, "CommandBlock layout");
static_assert(offsetof(CommandBlock, sense) == 60, "CommandBlock layout");
static_assert(offsetof(CommandBlock, tail) == 92, "CommandBlock layout");

constexpr uint32_t kSenseInfoOffset = offsetof(CommandBlock, sense);

// Alignment of the library's own data buffers: an adapter may require DataBuffer to be aligned
// (its alignment mask) and refuse the request otherwise; 16 bytes covers what adapters ask.
constexpr size_t kDataAlignment = 16;

}  // namespace brg40

#endif
