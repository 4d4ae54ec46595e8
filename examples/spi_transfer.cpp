// spi_transfer (C++): sets the SPI clock, sends the bytes given in hexadecimal and prints the
// bytes received meanwhile.   spi_transfer_cpp HEXBYTES [FREQUENCY]   (default 3000; setting 0)
// Exit status: 0 on success, 1 on failure.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "brg40firmup.hpp"

int main(int argc, char** argv) {
    const std::string hex = argc > 1 ? argv[1] : "";
    const unsigned long requested = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : 3000;
    if (hex.empty() || hex.size() % 2 != 0 || requested > 0xFFFF) {
        std::printf("usage: spi_transfer_cpp HEXBYTES [FREQUENCY]\n");
        return 1;
    }
    std::vector<uint8_t> send;
    for (size_t i = 0; i < hex.size(); i += 2) {
        send.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    try {
        brg40::Converter converter = brg40::Converter::open();
        std::printf("SPI clock: %u\n", converter.spi_set_freq(0, static_cast<uint16_t>(requested)));
        std::printf("Received:");
        for (uint8_t b : converter.spi_transfer(0, send)) {
            std::printf(" %02X", b);
        }
        std::printf("\n");
        return 0;
    } catch (const brg40::Error& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
}
