// Writes the seed corpus of the image fuzzer: generated images, valid and damaged.
#include <cstdio>
#include <string>
#include <vector>

#include "image_gen.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    struct Seed {
        const char* name;
        sim::ImageSpec spec;
        int damage;  // offset from the end to flip, 0 for none
    };
    const Seed seeds[] = {
        {"valid_22528", {1, 5, 0x1F3A, 0x0C26, 22528, 1}, 0},
        {"valid_22536", {1, 5, 0x1F3A, 0x0C26, 22536, 2}, 0},
        {"too_long_22537", {1, 5, 0x1F3A, 0x0C26, 22537, 3}, 0},
        {"short_9", {1, 5, 0x1F3A, 0x0C26, 9, 4}, 0},
        {"short_100", {2, 0, 0x1F3A, 0x0C26, 100, 5}, 0},
        {"other_model", {1, 6, 0x1F3A, 0x0C20, 22528, 6}, 0},
        {"old_version", {1, 0, 0x1F3A, 0x0C26, 2048, 7}, 0},
        {"bad_checksum", {1, 5, 0x1F3A, 0x0C26, 22528, 8}, 10},
        {"outside_checksum", {1, 5, 0x1F3A, 0x0C26, 22528, 9}, 9},
        {"wrong_vendor", {1, 5, 0x1F3B, 0x0C26, 22528, 10}, 0},
        {"trailer_only_8", {1, 5, 0x1F3A, 0x0C26, 8, 11}, 0},
    };
    for (const Seed& s : seeds) {
        std::vector<uint8_t> bytes = sim::make_image(s.spec);
        if (s.damage > 0) {
            bytes[bytes.size() - s.damage] ^= 0x5A;
        }
        const std::string path = std::string(argv[1]) + "/" + s.name;
        if (!sim::write_file(path.c_str(), bytes)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
