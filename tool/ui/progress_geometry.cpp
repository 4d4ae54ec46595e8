// Geometry and colours of the text progress bar's face (no platform calls).
#include "progress_geometry.h"

#include <algorithm>
#include <limits>

BarRect BarInnerRect(const BarRect& client) {
    return {client.left + 1, client.top + 1, client.right - 1, client.bottom - 1};
}

int32_t BarFilledWidth(int32_t position, int32_t low, int32_t high, int32_t width) {
    if (high <= low) {
        return 0;
    }
    // 64-bit intermediate: the product of a 32-bit range and a width must not overflow.
    const int64_t filled = (static_cast<int64_t>(position) - low) * width / (static_cast<int64_t>(high) - low);
    return static_cast<int32_t>(
        std::clamp<int64_t>(filled, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

BarRect BarFillRect(const BarRect& inner, int32_t filled) {
    return {inner.left, inner.top, filled, inner.bottom};
}

BarRect BarRestRect(const BarRect& inner, int32_t filled) {
    return {filled, inner.top, inner.right, inner.bottom};
}

bool BarRectIsEmpty(const BarRect& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

BarRect BarNormalized(const BarRect& rect) {
    if (BarRectIsEmpty(rect)) {
        return {rect.left, rect.top, rect.left, rect.top};
    }
    return rect;
}

std::vector<BarBand> BarBands(const BarRect& fill, uint32_t color, uint8_t step, uint8_t bandHeight) {
    std::vector<BarBand> bands;
    if (step == 0 || bandHeight == 0) {
        return bands;
    }
    const int32_t n = ((fill.bottom - fill.top) / 2) / bandHeight;
    const int32_t d = step * n;
    int32_t red = std::max<int32_t>(0, static_cast<int32_t>(color & 0xFF) - d);
    int32_t green = std::max<int32_t>(0, static_cast<int32_t>((color >> 8) & 0xFF) - d);
    int32_t blue = std::max<int32_t>(0, static_cast<int32_t>((color >> 16) & 0xFF) - d);
    for (int32_t y = fill.top; y < fill.bottom; y += bandHeight) {
        red = std::min<int32_t>(255, red + step);
        green = std::min<int32_t>(255, green + step);
        blue = std::min<int32_t>(255, blue + step);
        // fill.right wide from fill.left: the bands reach one pixel past the fill's right edge.
        bands.push_back(
            {{fill.left, y, fill.left + fill.right, y + bandHeight},
             BarRgb(static_cast<uint32_t>(red), static_cast<uint32_t>(green), static_cast<uint32_t>(blue))});
    }
    return bands;
}
