// The SFDP area of a serial flash (JESD216): its header, the parameter headers, the basic flash
// parameter table and the 4-byte address instruction table, read into a FlashGeometry. Pure: it
// works on bytes already read, so that it can be fuzzed.
#ifndef BRG40_CLI_SPIFLASH_SFDP_H
#define BRG40_CLI_SPIFLASH_SFDP_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "spiflash_geometry.h"

struct SfdpTable {
    uint16_t id = 0;  // MSB << 8 | LSB: FF00h the basic table, FF84h the 4-byte address instructions
    uint8_t major = 0, minor = 0;
    uint32_t dwords = 0;
    uint32_t pointer = 0;
};

struct SfdpInfo {
    uint8_t major = 0, minor = 0;  // of the SFDP area
    std::vector<SfdpTable> tables;
    int basic = -1;  // index into tables of the basic table used
    FlashGeometry geometry;
};

constexpr uint16_t kSfdpBasicTable = 0xFF00;
constexpr uint16_t kSfdpFourByteTable = 0xFF84;

// How many bytes from the start of the SFDP area the parser needs, judged from the first `size`
// bytes read: 0 when they do not begin with the signature "SFDP"; above size when more must be
// read first (then ask again with them).
size_t SfdpBytesNeeded(const uint8_t* data, size_t size);

// Reads the area's first `size` bytes; false with the reason in error when they do not hold a
// usable basic table.
bool ParseSfdp(const uint8_t* data, size_t size, SfdpInfo& info, std::string& error);

#endif
