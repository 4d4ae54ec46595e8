// libFuzzer target for the SFDP parser: the bytes are an SFDP area as read from a chip. An area
// that parses gives a geometry brg40 can work with, and the choice of address length never fails
// in a way other than its refusal.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "spiflash_chip.h"
#include "spiflash_sfdp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t needed = SfdpBytesNeeded(data, size);
    SfdpInfo info;
    std::string error;
    const bool parsed = ParseSfdp(data, size, info, error);
    Check(parsed || !error.empty(), "a refusal says why");
    if (needed == 0) {
        Check(!parsed, "no signature, no geometry");
        return 0;
    }
    if (!parsed) {
        return 0;
    }
    Check(info.basic >= 0 && static_cast<size_t>(info.basic) < info.tables.size(), "basic table");
    const SfdpTable& basic = info.tables[static_cast<size_t>(info.basic)];
    Check(basic.pointer + 4 * size_t{basic.dwords} <= size && basic.pointer + 4 * size_t{basic.dwords} <= needed,
          "the basic table parsed from what was read, and asked for");
    const FlashGeometry& g = info.geometry;
    Check(g.size > 0 && g.size <= (uint64_t{1} << 30), "size");
    Check(g.pageSize != 0 && (g.pageSize & (g.pageSize - 1)) == 0 && g.pageSize <= 32768, "page");
    Check(!g.erases.empty(), "erase types");
    for (size_t i = 0; i < g.erases.size(); ++i) {
        const uint32_t e = g.erases[i].size;
        Check((e & (e - 1)) == 0 && e >= g.pageSize && g.size % e == 0, "erase size");
        Check(i == 0 || e > g.erases[i - 1].size, "erase types ascending");
    }

    SpiFlashChip chip([](const uint8_t*, uint8_t*, size_t) { return -1; });
    std::string refusal;
    if (chip.Use(g, refusal)) {
        Check(chip.AddressBytes() == 4 || g.size <= (uint64_t{1} << 24), "4-byte addresses above 16 MiB");
        Check(!chip.Geometry().erases.empty(), "erase types in use");
    } else {
        Check(!refusal.empty(), "the address length refused with a reason");
    }
    return 0;
}
