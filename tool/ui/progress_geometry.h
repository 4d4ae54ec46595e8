// Geometry and colours of the text progress bar's face: the inner rectangle, the filled and the
// rest part, and the horizontal colour bands of the bar. Pixels of the control's client area.
#ifndef BRG40_PROGRESS_GEOMETRY_H
#define BRG40_PROGRESS_GEOMETRY_H

#include <cstdint>
#include <vector>

// Same layout as the platform's RECT: right and bottom lie just outside.
struct BarRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// One colour band of the bar: its rectangle (not yet clipped) and its 0x00BBGGRR colour.
struct BarBand {
    BarRect rect;
    uint32_t color;
};

constexpr uint32_t BarRgb(uint32_t red, uint32_t green, uint32_t blue) {
    return (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
}

inline bool operator==(const BarRect& a, const BarRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The client rectangle shrunk by one pixel on every side; the frame keeps the button face.
BarRect BarInnerRect(const BarRect& client);

// Filled width w = (position - low) * width / (high - low), truncating toward zero.
// An empty or inverted range (high <= low) fills nothing instead of dividing by zero.
int32_t BarFilledWidth(int32_t position, int32_t low, int32_t high, int32_t width);

// The filled part: the inner rectangle with its right edge at x = filled (not inner.left + filled).
BarRect BarFillRect(const BarRect& inner, int32_t filled);
// The rest: the inner rectangle with its left edge at x = filled.
BarRect BarRestRect(const BarRect& inner, int32_t filled);

// True when the rectangle covers no pixel (also when it is inverted, as the filled part is at
// position 0, where its right edge 0 lies left of the inner rectangle's left edge 1).
bool BarRectIsEmpty(const BarRect& rect);
// The rectangle itself, or an empty one at its top-left corner when it is inverted, so that
// the platform does not turn it around into a strip of pixels that belong to no part.
BarRect BarNormalized(const BarRect& rect);

// The bands that paint the filled part with bar colour `color`: step 0 (or a band height of 0,
// which could never advance) means no bands, the bar is one solid fill of `fill`. Otherwise
// n = (height / 2) / bandHeight, d = step * n; each channel starts at max(0, channel - d) and
// rises by `step` (stopping at 255) before each band. Band k starts at (fill.left,
// fill.top + k * bandHeight), is fill.right pixels wide and bandHeight high; the caller clips
// the bands to the inner rectangle.
std::vector<BarBand> BarBands(const BarRect& fill, uint32_t color, uint8_t step, uint8_t bandHeight);

#endif
