// Helpers of the bus and port operations that the tests reach directly.
#ifndef BRG40_BUS_OPS_H
#define BRG40_BUS_OPS_H

#include <cstdint>

namespace brg40 {

// The largest supported SPI frequency step not above `requested`, at least 3.
uint16_t spi_frequency_step(uint16_t requested);

// The I2C bus speed in kHz for a speed selector (0: 1000, 1: 400, 2: 100); false for others.
bool i2c_speed_for_selector(uint8_t selector, uint16_t* khz);

}  // namespace brg40

#endif
