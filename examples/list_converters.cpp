// list_converters (C++): lists the converters attached, opens the first one and prints its
// firmware version, and the version of the library. Exit status: 0 when a converter was shown,
// 1 when none was found, 2 when it could not be used.
#include <cstdio>

#include "brg40firmup.hpp"

int main() {
    try {
        const brg40::Version library = brg40::Converter::library_version();
        std::printf("Library version: %u.%u\n", library.major, library.minor);
    } catch (const brg40::Error& e) {
        std::printf("Library version: unknown (%s)\n", e.what());
    }
    const std::vector<int> numbers = brg40::Converter::find();
    if (numbers.empty()) {
        std::printf("No converter found\n");
        return 1;
    }
    std::printf("Converters found: %u (", static_cast<unsigned>(numbers.size()));
    for (size_t i = 0; i < numbers.size(); ++i) {
        std::printf("%sLPT%d", i > 0 ? ", " : "", numbers[i]);
    }
    std::printf(")\n");
    try {
        const brg40::Converter converter = brg40::Converter::open(numbers[0]);
        const brg40::Version firmware = converter.firmware_version();
        std::printf("  Firmware version: %X.%02X\n", firmware.major, firmware.minor);
        return 0;
    } catch (const brg40::Error& e) {
        std::printf("LPT%d: %s\n", numbers[0], e.what());
        return 2;
    }
}
