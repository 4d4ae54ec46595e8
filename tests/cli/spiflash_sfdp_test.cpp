// The SFDP parser: the simulated flash's own area, tables of the first and of later revisions,
// the choice among several basic tables, and every refusal of a damaged area.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spi_flash.h"
#include "spiflash_sfdp.h"

namespace {

// An SFDP area: the header, one parameter header per table, the tables from 0x100 on.
struct Table {
    uint16_t id;
    uint8_t major, minor;
    std::vector<uint32_t> dwords;
};

std::vector<uint8_t> Area(const std::vector<Table>& tables, uint8_t major = 1) {
    std::vector<uint8_t> a = {'S', 'F', 'D', 'P', 6, major, static_cast<uint8_t>(tables.size() - 1), 0xFF};
    uint32_t pointer = 0x100;
    std::vector<uint8_t> bodies;
    for (const Table& t : tables) {
        const uint8_t h[] = {static_cast<uint8_t>(t.id),
                             t.minor,
                             t.major,
                             static_cast<uint8_t>(t.dwords.size()),
                             static_cast<uint8_t>(pointer),
                             static_cast<uint8_t>(pointer >> 8),
                             0,
                             static_cast<uint8_t>(t.id >> 8)};
        a.insert(a.end(), h, h + 8);
        for (uint32_t d : t.dwords) {
            for (int i = 0; i < 4; ++i) {
                bodies.push_back(static_cast<uint8_t>(d >> (8 * i)));
            }
        }
        pointer += static_cast<uint32_t>(4 * t.dwords.size());
    }
    a.resize(0x100, 0xFF);
    a.insert(a.end(), bodies.begin(), bodies.end());
    return a;
}

// The first revision's nine DWORDs: 1 MiB, 4 KiB erase 20h in DWORD 1, 64 KiB D8h as type 1.
std::vector<uint32_t> NineDwords() {
    std::vector<uint32_t> d(9, 0xFFFFFFFF);
    d[0] = 0xFF8020E5;  // 4 KiB erase 20h, write granularity 64 bytes or more, 3-byte addresses
    d[1] = 0x007FFFFF;  // 8 Mbit
    d[7] = 0x0000D810;  // type 1: 64 KiB D8h; type 2 absent
    d[8] = 0;
    return d;
}

SfdpInfo Parsed(const std::vector<uint8_t>& area) {
    SfdpInfo info;
    std::string error;
    EXPECT_TRUE(ParseSfdp(area.data(), area.size(), info, error)) << error;
    return info;
}

std::string Refusal(const std::vector<uint8_t>& area) {
    SfdpInfo info;
    std::string error;
    EXPECT_FALSE(ParseSfdp(area.data(), area.size(), info, error));
    return error;
}

TEST(Sfdp, TheSimulatedFlashAreaGivesItsGeometry) {
    const std::vector<uint8_t> small = sim::SpiFlash(1u << 20).sfdp_area();
    ASSERT_EQ(SfdpBytesNeeded(small.data(), 16), small.size());
    const FlashGeometry g = Parsed(small).geometry;
    EXPECT_EQ(g.size, 1u << 20);
    EXPECT_EQ(g.pageSize, 256u);
    EXPECT_EQ(g.addressing, AddressMode::Three);
    ASSERT_EQ(g.erases.size(), 3u);
    EXPECT_EQ(g.erases[0].size, 4096u);
    EXPECT_EQ(g.erases[0].opcode, 0x20);
    EXPECT_EQ(g.erases[1].opcode, 0x52);
    EXPECT_EQ(g.erases[2].size, 65536u);
    EXPECT_EQ(g.erases[2].opcode, 0xD8);
    EXPECT_GT(g.erases[0].typicalMs, 0u);

    const FlashGeometry large = Parsed(sim::SpiFlash(32u << 20).sfdp_area()).geometry;
    EXPECT_EQ(large.size, 32u << 20);
    EXPECT_EQ(large.addressing, AddressMode::ThreeOrFour);
    EXPECT_TRUE(large.read4 && large.program4 && large.enterB7 && large.exitE9);
    EXPECT_EQ(large.erases[0].opcode4, 0x21);
    EXPECT_EQ(large.erases[2].opcode4, 0xDC);
}

TEST(Sfdp, FirstRevisionTableWithTheFourKibEraseOfDwordOne) {
    const SfdpInfo info = Parsed(Area({{0xFF00, 1, 0, NineDwords()}}));
    EXPECT_EQ(info.geometry.size, 1u << 20);
    EXPECT_EQ(info.geometry.pageSize, 256u);  // from the write granularity bit
    ASSERT_EQ(info.geometry.erases.size(), 2u);
    EXPECT_EQ(info.geometry.erases[0].size, 4096u);
    EXPECT_EQ(info.geometry.erases[0].opcode, 0x20);
    EXPECT_EQ(info.geometry.erases[1].opcode, 0xD8);
    EXPECT_EQ(info.geometry.pageProgramUs, 0u);  // no DWORD 11
}

TEST(Sfdp, DensityAsAPowerOfTwoAndTheNewestBasicTable) {
    std::vector<uint32_t> older = NineDwords(), newer = NineDwords();
    newer[1] = 0x80000000u | 28;  // 2^28 bits
    newer[0] |= 2u << 17;         // 4-byte addresses only
    const SfdpInfo info = Parsed(Area({{0xFF00, 1, 0, older}, {0xFF00, 1, 5, newer}, {0xFF00, 2, 9, older}}));
    EXPECT_EQ(info.basic, 1);
    EXPECT_EQ(info.geometry.size, 32u << 20);
    EXPECT_EQ(info.geometry.addressing, AddressMode::Four);
}

TEST(Sfdp, PageSizeAndTimesFromTheLaterDwords) {
    std::vector<uint32_t> d = NineDwords();
    d.resize(16, 0);
    d[9] = 0x1u | (1u << 5 | 2) << 4;             // type 1: 3 x 16 ms
    d[10] = 0x1u | 9u << 4 | (1u << 5 | 9) << 8;  // 512-byte pages, 10 x 64 us
    const FlashGeometry g = Parsed(Area({{0xFF00, 1, 6, d}})).geometry;
    EXPECT_EQ(g.pageSize, 512u);
    EXPECT_EQ(g.pageProgramUs, 640u);
    EXPECT_EQ(g.erases[1].size, 65536u);
    EXPECT_EQ(g.erases[1].typicalMs, 48u);
}

TEST(Sfdp, DamagedAreasAreRefusedWithTheReason) {
    std::vector<uint8_t> good = Area({{0xFF00, 1, 0, NineDwords()}});
    std::vector<uint8_t> a = good;
    a[0] = 'X';
    EXPECT_EQ(Refusal(a), "no SFDP signature");
    EXPECT_EQ(SfdpBytesNeeded(a.data(), a.size()), 0u);
    EXPECT_EQ(Refusal(Area({{0xFF00, 1, 0, NineDwords()}}, 2)), "SFDP major revision 2 is not known");
    EXPECT_EQ(Refusal(std::vector<uint8_t>(good.begin(), good.begin() + 12)), "the SFDP headers were not read whole");
    EXPECT_EQ(Refusal(std::vector<uint8_t>(good.begin(), good.end() - 4)), "the basic table lies beyond what was read");
    EXPECT_EQ(SfdpBytesNeeded(good.data(), 12), 16u);
    EXPECT_EQ(SfdpBytesNeeded(good.data(), 16), good.size());
    EXPECT_EQ(Refusal(Area({{0xFF00, 1, 0, std::vector<uint32_t>(8, 0)}})), "no basic flash parameter table");

    std::vector<uint32_t> d = NineDwords();
    d[0] |= 3u << 17;
    EXPECT_EQ(Refusal(Area({{0xFF00, 1, 0, d}})), "the basic table gives no address length");
    d = NineDwords();
    d[1] = 0x80000000u | 40;
    EXPECT_EQ(Refusal(Area({{0xFF00, 1, 0, d}})), "the basic table gives no usable density");
    d = NineDwords();
    d[0] &= ~3u;  // no 4 KiB erase
    d[7] = 0;
    EXPECT_EQ(Refusal(Area({{0xFF00, 1, 0, d}})), "the basic table gives no erase type");
    d = NineDwords();
    d.resize(11, 0);
    d[7] = 0;
    d[10] = 0xFu << 4;  // 32 KiB pages: larger than the one erase type left
    EXPECT_EQ(Refusal(Area({{0xFF00, 1, 6, d}})), "the basic table gives no erase type");
}

}  // namespace
