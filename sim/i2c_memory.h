// An I2C memory on the converter's I2C master (a 24-series EEPROM): the register byte of a transfer
// is the address inside it, and reads and writes go on from there, wrapping at its end.
#ifndef BRG40_SIM_I2C_MEMORY_H
#define BRG40_SIM_I2C_MEMORY_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

struct I2cMemory {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(256, 0xFF);

    void read(uint8_t address, uint8_t* out, size_t n) const {
        for (size_t i = 0; i < n; ++i) {
            out[i] = bytes[(address + i) % bytes.size()];
        }
    }
    void write(uint8_t address, const uint8_t* data, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            bytes[(address + i) % bytes.size()] = data[i];
        }
    }
};

}  // namespace sim

#endif
