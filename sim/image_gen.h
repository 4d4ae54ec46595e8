// Makes firmware image files for the tests and the simulated converter's initial flash.
#ifndef BRG40_SIM_IMAGE_GEN_H
#define BRG40_SIM_IMAGE_GEN_H

#include <cstdint>
#include <vector>

namespace sim {

struct ImageSpec {
    uint8_t major = 1;
    uint8_t minor = 5;
    uint16_t vendor = 0x1F3A;
    uint16_t model = 0x0C26;  // 0x0C20 marks the other model
    uint32_t size = 22528;    // file length; the trailer is the last 9 bytes
    uint32_t seed = 1;        // varies the body bytes
};

// A well-formed image: body bytes from the seed, trailer at the end with a matching checksum.
std::vector<uint8_t> make_image(const ImageSpec& spec);

// Writes bytes to path; returns false when the file cannot be written.
bool write_file(const char* path, const std::vector<uint8_t>& bytes);

}  // namespace sim

#endif
