// spi_xfer_bench: back-to-back SPI master transfers of 65535 bytes through the library, the raw
// rate that scripts/bench-spiflash measures brg40 spiflash read against. Public header only, so it
// builds for Linux and for Windows alike.
//   spi_xfer_bench [TRANSFERS]   prints "spi_xfer_bench transfers=N bytes=B ms=T bytes_per_second=R"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "brg40firmup.h"

int main(int argc, char** argv) {
    const long transfers = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 32;
    int count = 0, numbers[9] = {}, status = 0;
    if (transfers <= 0 || brg40_find_device(&count, numbers) != BRG40_OK || count == 0) {
        std::fprintf(stderr, "spi_xfer_bench: no converter (or no transfer count)\n");
        return 1;
    }
    Brg40Handle handle = brg40_open_ex(numbers[0], &status);
    if (handle == nullptr) {
        std::fprintf(stderr, "spi_xfer_bench: open failed with status %d\n", status);
        return 1;
    }
    constexpr unsigned short kLength = 0xFFFF;
    std::vector<unsigned char> out(kLength, 0), in(kLength, 0);
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < transfers && status == BRG40_OK; ++i) {
        status = brg40_spi_transmit_master(handle, 0, kLength, out.data(), in.data());
    }
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    brg40_close(handle);
    if (status != BRG40_OK) {
        std::fprintf(stderr, "spi_xfer_bench: a transfer failed with status %d\n", status);
        return 1;
    }
    const double bytes = static_cast<double>(transfers) * kLength;
    std::printf("spi_xfer_bench transfers=%ld bytes=%.0f ms=%.1f bytes_per_second=%.0f\n", transfers, bytes, ms,
                bytes * 1000.0 / ms);
    return 0;
}
