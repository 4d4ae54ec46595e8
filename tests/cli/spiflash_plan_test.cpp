// The write planner: nothing for identical content, programs without erase where bits only clear,
// one sector erased where one must, the erase type chosen by cost, pages trimmed and skipped.
#include <gtest/gtest.h>

#include <vector>

#include "spiflash_plan.h"

namespace {

FlashGeometry Chip() {
    FlashGeometry g;
    g.size = 1u << 20;
    g.erases = {{4096, 0x20, 0, 45}, {32768, 0x52, 0, 120}, {65536, 0xD8, 0, 150}};
    g.pageProgramUs = 700;
    return g;
}

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) {
        v[i] = static_cast<uint8_t>(i * 31 + 7);
    }
    return v;
}

TEST(WritePlan, SectorSpanCoversTheRegionWithWholeSectors) {
    const FlashRange span = SectorSpan(Chip(), 0x1234, 0x2000);
    EXPECT_EQ(span.address, 0x1000u);
    EXPECT_EQ(span.length, 0x3000u);
}

TEST(WritePlan, IdenticalContentPlansNothing) {
    const std::vector<uint8_t> chip = Pattern(1u << 20);
    const WritePlan plan = PlanWrite(Chip(), {0, 1u << 20}, chip.data(), chip.data());
    EXPECT_TRUE(plan.erases.empty() && plan.programs.empty() && plan.verify.empty());
    EXPECT_EQ(plan.sectorsUnchanged, 256u);
}

TEST(WritePlan, BitsThatOnlyClearAreProgrammedWithoutAnErase) {
    std::vector<uint8_t> chip(65536, 0xFF), want = chip;
    want[0x2510] = 0x12;
    want[0x2530] = 0x00;
    const WritePlan plan = PlanWrite(Chip(), {0x10000, 65536}, chip.data(), want.data());
    EXPECT_TRUE(plan.erases.empty());
    ASSERT_EQ(plan.programs.size(), 1u);
    EXPECT_EQ(plan.programs[0].address, 0x12510u);  // trimmed to the bytes that change
    EXPECT_EQ(plan.programs[0].length, 0x21u);
    ASSERT_EQ(plan.verify.size(), 1u);
    EXPECT_EQ(plan.verify[0].address, 0x12000u);
    EXPECT_EQ(plan.verify[0].length, 4096u);
}

TEST(WritePlan, OneBitToSetErasesOnlyItsSectorAndRewritesItsFilledPages) {
    std::vector<uint8_t> chip = Pattern(65536), want = chip;
    for (size_t i = 0x3000; i < 0x3100; ++i) {
        chip[i] = want[i] = 0xFF;  // one page stays erased
    }
    want[0x3456] = static_cast<uint8_t>(chip[0x3456] | 0x80 | 0x01);
    chip[0x3456] = 0x00;
    const WritePlan plan = PlanWrite(Chip(), {0, 65536}, chip.data(), want.data());
    ASSERT_EQ(plan.erases.size(), 1u);
    EXPECT_EQ(plan.erases[0].address, 0x3000u);
    EXPECT_EQ(plan.erases[0].type, 0u);
    EXPECT_EQ(plan.programs.size(), 15u);  // the erased page is left alone
    EXPECT_EQ(plan.sectorsErased, 1u);
    EXPECT_EQ(plan.sectorsUnchanged, 15u);
}

TEST(WritePlan, TheEraseTypeFollowsTheCost) {
    const std::vector<uint8_t> chip(1u << 20, 0x00);
    std::vector<uint8_t> want = Pattern(1u << 20);
    WritePlan plan = PlanWrite(Chip(), {0, 1u << 20}, chip.data(), want.data());
    EXPECT_EQ(plan.erases.size(), 16u);  // every sector changes: 64 KiB blocks
    EXPECT_EQ(plan.erases[1].address, 0x10000u);
    EXPECT_EQ(plan.erases[1].type, 2u);
    EXPECT_EQ(plan.programs.size(), 4096u);
    ASSERT_EQ(plan.verify.size(), 1u);
    EXPECT_EQ(plan.verify[0].length, 1u << 20);

    // Two sectors of one 64 KiB block: two 4 KiB erases are cheaper than the block and its rewrite.
    want = Pattern(1u << 20);
    std::vector<uint8_t> same = want;
    same[0x21000] = same[0x2F000] = 0;
    want[0x21000] = want[0x2F000] = 0xFF;
    plan = PlanWrite(Chip(), {0, 1u << 20}, same.data(), want.data());
    ASSERT_EQ(plan.erases.size(), 2u);
    EXPECT_EQ(plan.erases[0].address, 0x21000u);
    EXPECT_EQ(plan.erases[1].address, 0x2F000u);
    EXPECT_EQ(plan.verify.size(), 2u);
}

}  // namespace
