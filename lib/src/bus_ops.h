// The helper of the bus and port operations that the tests reach directly.
#ifndef BRG40_BUS_OPS_H
#define BRG40_BUS_OPS_H

#include <cstdint>

namespace brg40 {

// The largest supported SPI frequency step not above `requested`, at least 3.
uint16_t spi_frequency_step(uint16_t requested);

}  // namespace brg40

#endif
