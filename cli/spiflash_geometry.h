// What brg40 spiflash knows of a chip: size, page, erase types with their opcodes and typical
// times, and how it takes addresses. It comes from the chip's SFDP table, from the built-in table of
// parts without one, or from --size.
#ifndef BRG40_CLI_SPIFLASH_GEOMETRY_H
#define BRG40_CLI_SPIFLASH_GEOMETRY_H

#include <cstdint>
#include <vector>

struct EraseType {
    uint32_t size = 0;       // bytes, a power of two
    uint8_t opcode = 0;      // with the chip's current address length
    uint8_t opcode4 = 0;     // with a 4-byte address whatever the mode (0: none)
    uint32_t typicalMs = 0;  // 0: not known
};

enum class AddressMode { Three, ThreeOrFour, Four };

struct FlashGeometry {
    uint64_t size = 0;  // bytes
    uint32_t pageSize = 256;
    std::vector<EraseType> erases;  // ascending by size, at least one
    AddressMode addressing = AddressMode::Three;
    bool read4 = false;     // 13h reads with a 4-byte address
    bool program4 = false;  // 12h programs with a 4-byte address
    // Entering and leaving the 4-byte address mode: B7h and E9h, with a write enable first where
    // the chip says so.
    bool enterB7 = false, enterNeedsWriteEnable = false, exitE9 = false, exitNeedsWriteEnable = false;
    uint32_t pageProgramUs = 0;  // typical; 0: not known
    uint32_t chipEraseMs = 0;    // typical; 0: not known
};

// The parts that predate SFDP and that brg40 knows by their JEDEC ID; false for any other.
bool BuiltInGeometry(const uint8_t id[3], FlashGeometry& out);

// A chip known only by the size the user gave: 256-byte pages, the 64 KiB erase D8h that every
// 25-series part has, 3-byte addresses. size: a multiple of 64 KiB up to 16 MiB.
FlashGeometry GeometryOfSize(uint64_t size);

#endif
