// i2c_scan (C++): asks every 7-bit I2C address from 0x08 to 0x77 for one byte, at 100 kHz, and
// lists those that answer (device address in the target byte, 0 in the target word). Exit status:
// 0 when the scan ran, 1 when it failed.
#include <cstdio>

#include "brg40firmup.hpp"

int main() {
    try {
        brg40::Converter converter = brg40::Converter::open();
        converter.i2c_set_freq(2);
        int found = 0;
        std::printf("I2C devices:");
        for (int address = 0x08; address <= 0x77; ++address) {
            try {
                converter.i2c_read(0, static_cast<uint8_t>(address), 1);
                std::printf(" 0x%02X", address);
                ++found;
            } catch (const brg40::Error& e) {
                if (e.status() > 0 && e.status() != BRG40_DEVICE_DETAIL) {
                    throw;  // the request itself failed: no point in going on
                }
                // A converter error report: nothing answered at this address.
            }
        }
        std::printf("\nFound: %d\n", found);
        return 0;
    } catch (const brg40::Error& e) {
        std::printf("\n%s\n", e.what());
        return 1;
    }
}
