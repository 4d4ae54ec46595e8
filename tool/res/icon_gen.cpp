// Build-time writer of the program's icon: draws the picture (a blue tile with an upward arrow
// over a progress bar) at 16, 32 and 48 pixels and stores it as a 24-bit .ico file.
// Usage: icon_gen <output.ico>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

struct Rgb {
    double r, g, b;
};

constexpr int kSizes[] = {16, 32, 48};
constexpr int kSamples = 4;  // per axis, for smooth edges inside the tile

// Rounded square of the tile in unit coordinates.
bool InTile(double x, double y) {
    const double lo = 0.03, hi = 0.97, radius = 0.18;
    if (x < lo || x > hi || y < lo || y > hi)
        return false;
    const double cx = x < lo + radius ? lo + radius : (x > hi - radius ? hi - radius : x);
    const double cy = y < lo + radius ? lo + radius : (y > hi - radius ? hi - radius : y);
    const double dx = x - cx, dy = y - cy;
    return dx * dx + dy * dy <= radius * radius;
}

bool InArrow(double x, double y) {
    if (x >= 0.40 && x <= 0.60 && y >= 0.40 && y <= 0.68)
        return true;  // shaft
    if (y < 0.12 || y > 0.44)
        return false;  // head: apex (0.5, 0.12)
    const double half = (y - 0.12) / (0.44 - 0.12) * 0.30;
    return x >= 0.5 - half && x <= 0.5 + half;
}

// Colour of one sample; the tile's own shading when nothing lies on it.
Rgb Sample(double x, double y) {
    if (x >= 0.16 && x <= 0.84 && y >= 0.76 && y <= 0.88) {
        if (x <= 0.62)
            return {0x66, 0xCC, 0x33};  // filled part of the bar
        return {0xE0, 0xE0, 0xE0};
    }
    if (InArrow(x, y))
        return {0xF5, 0xF5, 0xF5};
    return {40 - 20 * y, 100 - 50 * y, 190 - 80 * y};
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One icon image: BITMAPINFOHEADER, bottom-up BGR rows padded to 4 bytes, then the AND mask
// (1 = transparent), its rows padded to 4 bytes as well.
std::vector<uint8_t> DrawImage(int size) {
    const int rowBytes = (size * 3 + 3) / 4 * 4;
    const int maskBytes = ((size + 31) / 32) * 4;
    std::vector<uint8_t> pixels(static_cast<size_t>(rowBytes) * size, 0);
    std::vector<uint8_t> mask(static_cast<size_t>(maskBytes) * size, 0);
    for (int py = 0; py < size; ++py) {
        const int row = size - 1 - py;  // bottom-up
        for (int px = 0; px < size; ++px) {
            Rgb sum{0, 0, 0};
            int inside = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double x = (px + (sx + 0.5) / kSamples) / size;
                    const double y = (py + (sy + 0.5) / kSamples) / size;
                    if (!InTile(x, y))
                        continue;
                    const Rgb c = Sample(x, y);
                    sum.r += c.r, sum.g += c.g, sum.b += c.b;
                    ++inside;
                }
            }
            if (inside * 2 < kSamples * kSamples) {
                mask[static_cast<size_t>(row) * maskBytes + px / 8] |= static_cast<uint8_t>(0x80 >> (px % 8));
                continue;  // transparent: black colour bits under a set mask bit
            }
            uint8_t* p = &pixels[static_cast<size_t>(row) * rowBytes + static_cast<size_t>(px) * 3];
            p[0] = static_cast<uint8_t>(sum.b / inside + 0.5);
            p[1] = static_cast<uint8_t>(sum.g / inside + 0.5);
            p[2] = static_cast<uint8_t>(sum.r / inside + 0.5);
        }
    }
    std::vector<uint8_t> out;
    PutLe(out, 40, 4);                                                  // biSize
    PutLe(out, size, 4);                                                // biWidth
    PutLe(out, 2 * size, 4);                                            // biHeight: colour bits and mask together
    PutLe(out, 1, 2);                                                   // biPlanes
    PutLe(out, 24, 2);                                                  // biBitCount
    PutLe(out, 0, 4);                                                   // biCompression BI_RGB
    PutLe(out, static_cast<uint32_t>(pixels.size() + mask.size()), 4);  // biSizeImage
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    out.insert(out.end(), pixels.begin(), pixels.end());
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: icon_gen <output.ico>\n");
        return 2;
    }
    constexpr int kCount = sizeof(kSizes) / sizeof(kSizes[0]);
    std::vector<std::vector<uint8_t>> images;
    for (int size : kSizes)
        images.push_back(DrawImage(size));

    std::vector<uint8_t> file;
    PutLe(file, 0, 2);       // reserved
    PutLe(file, 1, 2);       // type: icon
    PutLe(file, kCount, 2);  // image count
    uint32_t offset = 6 + 16 * kCount;
    for (int i = 0; i < kCount; ++i) {
        file.push_back(static_cast<uint8_t>(kSizes[i]));  // width
        file.push_back(static_cast<uint8_t>(kSizes[i]));  // height
        file.push_back(0);                                // no palette
        file.push_back(0);                                // reserved
        PutLe(file, 1, 2);                                // planes
        PutLe(file, 24, 2);                               // bits per pixel
        PutLe(file, static_cast<uint32_t>(images[i].size()), 4);
        PutLe(file, offset, 4);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        file.insert(file.end(), image.begin(), image.end());

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (std::fclose(f) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
