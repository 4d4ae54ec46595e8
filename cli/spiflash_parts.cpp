// The built-in table of 25-series parts without SFDP: JEDEC maker and memory type codes whose
// third byte gives the size as a power of two, with the erase types those families share.
#include "spiflash_geometry.h"

namespace {

struct PartFamily {
    uint8_t maker;
    uint8_t memoryType;
    uint8_t firstCapacity, lastCapacity;  // size = 2^capacity bytes
    EraseType erases[3];                  // ascending; size 0 ends the list
};

// clang-format off
const PartFamily kFamilies[] = {
    {0xEF, 0x40, 0x14, 0x18, {{4096, 0x20, 0, 0}, {32768, 0x52, 0, 0}, {65536, 0xD8, 0, 0}}},
    {0xEF, 0x30, 0x13, 0x16, {{4096, 0x20, 0, 0}, {65536, 0xD8, 0, 0}, {}}},
    {0xC2, 0x20, 0x14, 0x18, {{4096, 0x20, 0, 0}, {65536, 0xD8, 0, 0}, {}}},
    {0xC8, 0x40, 0x14, 0x18, {{4096, 0x20, 0, 0}, {32768, 0x52, 0, 0}, {65536, 0xD8, 0, 0}}},
    {0x20, 0x20, 0x14, 0x17, {{65536, 0xD8, 0, 0}, {}, {}}},   // 64 KiB sectors only
    {0x20, 0x20, 0x18, 0x18, {{262144, 0xD8, 0, 0}, {}, {}}},  // 256 KiB sectors
};
// clang-format on

constexpr uint64_t kThreeByteLimit = uint64_t{1} << 24;

}  // namespace

bool BuiltInGeometry(const uint8_t id[3], FlashGeometry& out) {
    for (const PartFamily& family : kFamilies) {
        if (id[0] != family.maker || id[1] != family.memoryType || id[2] < family.firstCapacity ||
            id[2] > family.lastCapacity) {
            continue;
        }
        out = FlashGeometry();
        out.size = uint64_t{1} << id[2];
        for (const EraseType& erase : family.erases) {
            if (erase.size != 0) {
                out.erases.push_back(erase);
            }
        }
        return out.size <= kThreeByteLimit;
    }
    return false;
}

FlashGeometry GeometryOfSize(uint64_t size) {
    FlashGeometry geometry;
    geometry.size = size;
    geometry.erases.push_back({65536, 0xD8, 0, 0});
    return geometry;
}
