// Which I2C addresses answer: a one-byte read of each address from 0x08 to 0x77, as i2cdetect does.
#ifndef BRG40_CLI_I2C_SCAN_H
#define BRG40_CLI_I2C_SCAN_H

#include <vector>

#include "command_context.h"

constexpr unsigned kFirstI2cAddress = 0x08;
constexpr unsigned kLastI2cAddress = 0x77;

// The addresses that answered, ascending (each read traced).
std::vector<unsigned> ScanI2c(CommandContext& context, Brg40Handle handle);

#endif
