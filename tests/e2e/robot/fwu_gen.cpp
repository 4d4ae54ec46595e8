// brg40fwu-gen: writes a firmware image file for the Wine suites and the demo.
//   brg40fwu-gen OUT MAJOR.MINOR [size=N] [model=0xNNNN] [seed=N] [damage=1]
// The version is read as hexadecimal digits, as the tool shows it ("1.05" is major 1, minor 5).
// damage=1 changes one byte covered by the checksum after the trailer was written.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image_gen.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: brg40fwu-gen OUT MAJOR.MINOR [size=N] [model=0xNNNN] [seed=N] [damage=1]\n");
        return 2;
    }
    sim::ImageSpec spec;
    const std::string version = argv[2];
    const size_t point = version.find('.');
    if (point == std::string::npos) {
        std::fprintf(stderr, "brg40fwu-gen: version must be MAJOR.MINOR\n");
        return 2;
    }
    spec.major = static_cast<uint8_t>(std::strtoul(version.substr(0, point).c_str(), nullptr, 16));
    spec.minor = static_cast<uint8_t>(std::strtoul(version.substr(point + 1).c_str(), nullptr, 16));
    bool damage = false;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        const std::string key = arg.substr(0, eq);
        const unsigned long value = eq == std::string::npos ? 0 : std::strtoul(arg.c_str() + eq + 1, nullptr, 0);
        if (key == "size") {
            spec.size = static_cast<uint32_t>(value);
        } else if (key == "model") {
            spec.model = static_cast<uint16_t>(value);
        } else if (key == "seed") {
            spec.seed = static_cast<uint32_t>(value);
        } else if (key == "damage") {
            damage = value != 0;
        } else {
            std::fprintf(stderr, "brg40fwu-gen: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    std::vector<uint8_t> bytes = sim::make_image(spec);
    if (damage && bytes.size() > 9) {
        bytes[0] = static_cast<uint8_t>(bytes[0] + 1);
    }
    if (!sim::write_file(argv[1], bytes)) {
        std::fprintf(stderr, "brg40fwu-gen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
