// Writes the seed corpus of the SFDP fuzzer: the simulated flash's SFDP areas at each size.
#include <cstdio>
#include <string>
#include <vector>

#include "spi_flash.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    for (uint32_t mib : {1u, 16u, 32u}) {
        const std::vector<uint8_t> area = sim::SpiFlash(mib << 20).sfdp_area();
        const std::string path = std::string(argv[1]) + "/sim_" + std::to_string(mib) + "mib";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(area.data(), 1, area.size(), f) != area.size() || std::fclose(f) != 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
