// One SCSI pass-through request as the converter's driver receives it, and its outcome.
// Shared by the in-process bridge of the host tests and the bridge of the Wine tests.
#ifndef BRG40_SIM_SCSI_H
#define BRG40_SIM_SCSI_H

#include <cstdint>

#include "../lib/include/brg40firmup.h"  // the Windows error numbers a failed request carries

namespace sim {

enum class Direction : uint8_t { Out = 0, In = 1 };

struct ScsiRequest {
    uint8_t cdb[16] = {};
    uint8_t cdb_length = 0;
    Direction direction = Direction::Out;
    uint32_t transfer_length = 0;  // DataTransferLength
    uint32_t timeout_s = 0;        // TimeOutValue
    uint8_t* data = nullptr;       // the caller's buffer (transfer_length bytes) or null
    bool block_was_clean = true;   // the bridge found the sense area and filler zero on arrival
};

struct ScsiReply {
    uint32_t os_error = 0;   // nonzero: the request itself fails with this Windows error, no sense data
    uint8_t sense[18] = {};  // fixed-format sense data (byte 2 low nibble = key, 12 = ASC, 13 = ASCQ)
};

}  // namespace sim

#endif
