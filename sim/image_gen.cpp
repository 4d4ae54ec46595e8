// Firmware image generator for tests (no binary images live in the repository).
#include "image_gen.h"

#include <cstdio>

#include "../update/image_checksum.h"

namespace sim {

std::vector<uint8_t> make_image(const ImageSpec& spec) {
    std::vector<uint8_t> image(spec.size);
    uint32_t x = spec.seed * 2654435761u + 12345u;
    for (auto& b : image) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    if (spec.size < 9) {
        return image;  // too short to carry a trailer: body bytes only
    }
    const size_t L = spec.size;
    const uint16_t sum = ImageChecksum(image.data(), L - 9);
    image[L - 8] = static_cast<uint8_t>(sum & 0xFF);
    image[L - 7] = static_cast<uint8_t>(sum >> 8);
    image[L - 6] = spec.major;
    image[L - 5] = spec.minor;
    image[L - 4] = static_cast<uint8_t>(spec.vendor >> 8);
    image[L - 3] = static_cast<uint8_t>(spec.vendor & 0xFF);
    image[L - 2] = static_cast<uint8_t>(spec.model >> 8);
    image[L - 1] = static_cast<uint8_t>(spec.model & 0xFF);
    return image;
}

bool write_file(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path, "wb");
    if (!f) {
        return false;
    }
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace sim
