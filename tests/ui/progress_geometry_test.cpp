// The text progress bar's geometry (inner rectangle, filled width, fill and rest parts) and the
// colours and rectangles of its bands.
#include <gtest/gtest.h>

#include "progress_geometry.h"

namespace {

uint32_t Red(uint32_t c) {
    return c & 0xFF;
}
uint32_t Green(uint32_t c) {
    return (c >> 8) & 0xFF;
}
uint32_t Blue(uint32_t c) {
    return (c >> 16) & 0xFF;
}

TEST(ProgressGeometry, InnerRectIsClientShrunkByOnePixel) {
    const BarRect inner = BarInnerRect({0, 0, 182, 22});
    EXPECT_EQ(inner, (BarRect{1, 1, 181, 21}));
    EXPECT_EQ(inner.right - inner.left, 180);
}

struct FillCase {
    const char* name;
    int32_t clientWidth;
    int32_t position, low, high;
    int32_t filled;  // expected w
};

class FilledWidth : public ::testing::TestWithParam<FillCase> {};

TEST_P(FilledWidth, FillAndRestMeetAtFilledWidth) {
    const FillCase& c = GetParam();
    const BarRect inner = BarInnerRect({0, 0, c.clientWidth, 22});
    const int32_t w = BarFilledWidth(c.position, c.low, c.high, inner.right - inner.left);
    EXPECT_EQ(w, c.filled);
    // The filled width is the fill's right edge as it is (not added to the inner left edge 1).
    EXPECT_EQ(BarFillRect(inner, w), (BarRect{1, 1, c.filled, 21}));
    EXPECT_EQ(BarRestRect(inner, w), (BarRect{c.filled, 1, inner.right, 21}));
}

INSTANTIATE_TEST_SUITE_P(Positions,
                         FilledWidth,
                         ::testing::Values(FillCase{"HalfOf182PixelClient", 182, 50, 0, 100, 90},
                                           FillCase{"Empty", 182, 0, 0, 100, 0},
                                           FillCase{"Full", 182, 100, 0, 100, 180},
                                           FillCase{"OneStepTruncates", 182, 1, 0, 100, 1},  // 180/100 = 1.8
                                           FillCase{"ThirdTruncates", 182, 33, 0, 100, 59},  // 5940/100 = 59.4
                                           FillCase{"OffsetRange", 102, 15, 10, 20, 50},     // (15-10)*100/10
                                           FillCase{"LargeRangeNoOverflow", 182, 2000000000, 0, 2100000000, 171},
                                           FillCase{"EmptyRangeFillsNothing", 182, 5, 7, 7, 0},
                                           FillCase{"InvertedRangeFillsNothing", 182, 5, 100, 0, 0}),
                         [](const ::testing::TestParamInfo<FillCase>& info) { return std::string(info.param.name); });

TEST(ProgressGeometry, ZeroPositionFillIsEmptyAndItsRegionHoldsNoPixel) {
    const BarRect inner = BarInnerRect({0, 0, 182, 22});
    const BarRect fill = BarFillRect(inner, 0);
    EXPECT_TRUE(BarRectIsEmpty(fill));
    const BarRect clip = BarNormalized(fill);
    EXPECT_TRUE(BarRectIsEmpty(clip));
    EXPECT_EQ(clip.left, inner.left);  // stays inside the inner rectangle, x = 0 is never touched
    EXPECT_FALSE(BarRectIsEmpty(BarRestRect(inner, 0)));
    EXPECT_EQ(BarNormalized(BarRestRect(inner, 0)), BarRestRect(inner, 0));
    // Banded: the bands are 0 pixels wide, so no bar is drawn.
    for (const BarBand& band : BarBands(fill, BarRgb(0x66, 0xCC, 0x33), 8, 1)) {
        EXPECT_TRUE(BarRectIsEmpty(band.rect));
    }
}

struct BandCase {
    int index;  // 1-based band number
    uint32_t red, green, blue;
};

// Inner height 20, step 8, band height 1, bar 0x0033CC66: n = 10, d = 80.
TEST(ProgressBands, ColoursOfTheWriteBar) {
    const BarRect fill = BarFillRect(BarInnerRect({0, 0, 182, 22}), 90);
    const std::vector<BarBand> bands = BarBands(fill, 0x0033CC66, 8, 1);
    ASSERT_EQ(bands.size(), 20u);
    const BandCase cases[] = {
        {1, 0x1E, 0x84, 0x08},                           // blue stops at 0, then rises by 8
        {2, 0x26, 0x8C, 0x10},  {10, 0x66, 0xCC, 0x50},  // back at the bar colour where nothing stopped at 0
        {11, 0x6E, 0xD4, 0x58}, {17, 0x9E, 0xFF, 0x88},  // green stops at 255
        {20, 0xB6, 0xFF, 0xA0},
    };
    for (const BandCase& c : cases) {
        SCOPED_TRACE(c.index);
        const uint32_t color = bands[static_cast<size_t>(c.index - 1)].color;
        EXPECT_EQ(Red(color), c.red);
        EXPECT_EQ(Green(color), c.green);
        EXPECT_EQ(Blue(color), c.blue);
        EXPECT_EQ(color & 0xFF000000u, 0u);
    }
}

TEST(ProgressBands, RectanglesAreFillRightWideFromFillLeft) {
    const BarRect fill = BarFillRect(BarInnerRect({0, 0, 182, 22}), 90);
    const std::vector<BarBand> bands = BarBands(fill, 0x0033CC66, 8, 1);
    ASSERT_EQ(bands.size(), 20u);
    for (size_t k = 0; k < bands.size(); ++k) {
        SCOPED_TRACE(k);
        // x = 1 to 90 inclusive: one pixel past the fill's right edge 90.
        EXPECT_EQ(bands[k].rect, (BarRect{1, 1 + static_cast<int32_t>(k), 91, 2 + static_cast<int32_t>(k)}));
    }
}

TEST(ProgressBands, FullBarCoversWholeInnerRectangle) {
    const BarRect inner = BarInnerRect({0, 0, 182, 22});
    const BarRect fill = BarFillRect(inner, BarFilledWidth(100, 0, 100, 180));
    const std::vector<BarBand> bands = BarBands(fill, 0x000033FF, 8, 1);
    ASSERT_FALSE(bands.empty());
    EXPECT_EQ(bands.front().rect.left, inner.left);
    EXPECT_EQ(bands.front().rect.right, inner.right);  // 1 + 180 = 181
    EXPECT_EQ(bands.front().rect.top, inner.top);
    EXPECT_EQ(bands.back().rect.bottom, inner.bottom);
    // The rest part starts at x = 180, the last inner column: its text keeps the other colour.
    EXPECT_EQ(BarRestRect(inner, 180), (BarRect{180, 1, 181, 21}));
}

TEST(ProgressBands, TallerBandsAndTheirCount) {
    // Height 20, band height 3: n = 10 / 3 = 3, d = 24; bands at 1, 4, ..., 19 (7 bands, the last
    // one reaching past the bottom and clipped by the caller).
    const BarRect fill = {1, 1, 50, 21};
    const std::vector<BarBand> bands = BarBands(fill, BarRgb(0x80, 0x10, 0xF0), 8, 3);
    ASSERT_EQ(bands.size(), 7u);
    EXPECT_EQ(bands[0].rect, (BarRect{1, 1, 51, 4}));
    EXPECT_EQ(bands[6].rect, (BarRect{1, 19, 51, 22}));
    EXPECT_EQ(bands[0].color, BarRgb(0x80 - 24 + 8, 0x00 + 8, 0xF0 - 24 + 8));
    EXPECT_EQ(bands[2].color, BarRgb(0x80, 0x18, 0xF0));
    EXPECT_EQ(bands[6].color, BarRgb(0xA0, 0x38, 0xFF));
}

TEST(ProgressBands, StepZeroOrBandHeightZeroMeansSolidBar) {
    const BarRect fill = {1, 1, 90, 21};
    EXPECT_TRUE(BarBands(fill, 0x0033CC66, 0, 1).empty());
    EXPECT_TRUE(BarBands(fill, 0x0033CC66, 8, 0).empty());  // could never advance
}

TEST(ProgressBands, FlatBarStartsAtItsOwnColourPlusOneStep) {
    // Height 1: n = 0, d = 0, a single band one step lighter than the bar.
    const std::vector<BarBand> bands = BarBands({1, 1, 10, 2}, BarRgb(0x10, 0x20, 0xFC), 8, 1);
    ASSERT_EQ(bands.size(), 1u);
    EXPECT_EQ(bands[0].color, BarRgb(0x18, 0x28, 0xFF));
}

}  // namespace
