// The 16-bit wrapping byte sum that protects a firmware image.
#ifndef BRG40_IMAGE_CHECKSUM_H
#define BRG40_IMAGE_CHECKSUM_H

#include <cstddef>
#include <cstdint>

// Sum of the first count bytes, each 0..255, in a 16-bit accumulator that wraps.
inline uint16_t ImageChecksum(const uint8_t* bytes, size_t count) {
    uint16_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum = static_cast<uint16_t>(sum + bytes[i]);
    }
    return sum;
}

#endif
