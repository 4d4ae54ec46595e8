// The text commands that set up the devices on a simulated converter's buses: the SPI flash
// behind its SPI master and the I2C memories on its I2C bus.
#ifndef BRG40_SIM_BUS_DEVICE_TEXT_H
#define BRG40_SIM_BUS_DEVICE_TEXT_H

#include <string>
#include <vector>

#include "../converter.h"

namespace sim {

// spiflash N [off] [size=MIB] [id=HEX] [sfdp=0|1] [sfdp-4byte=0|1] [status=BYTE] [page-us=U]
// [sector-us=U] [block-us=U] [chip-us=U] [status-us=U] [mute=0|1] [mute-after=FRAMES]: settings in order (size
// makes a new erased chip; any setting makes a 1 MiB one when none is there), then the state.
// words: those after N.
std::string spi_flash_command(Converter& converter, const std::vector<std::string>& words);
extern const char kSpiFlashUsage[];

// spiflash-load N PATH [OFFSET] / spiflash-save N PATH: the chip's bytes from or to a file.
std::string spi_flash_file(Converter& converter, bool load, const std::string& path, const std::string& offset);

// i2c-memory N ADDR [off | HEX]: a 256-byte memory at the 7-bit address (erased, or holding HEX
// from its start), removed with off; answers its bytes.
std::string i2c_memory_command(Converter& converter, const std::vector<std::string>& words);

}  // namespace sim

#endif
