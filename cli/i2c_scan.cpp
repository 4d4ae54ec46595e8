// The I2C scan: a read of one byte at each address; those that acknowledge answer with status 0.
#include "i2c_scan.h"

#include <cstdio>

std::vector<unsigned> ScanI2c(CommandContext& context, Brg40Handle handle) {
    std::vector<unsigned> found;
    for (unsigned address = kFirstI2cAddress; address <= kLastI2cAddress; ++address) {
        unsigned char buffer[2];  // a read of one byte needs two
        const int status = brg40_i2c_read_master(handle, static_cast<unsigned short>(address), 0, 1, buffer);
        char call[48];
        std::snprintf(call, sizeof call, "brg40_i2c_read_master(0x%02X, 1)", address);
        Called(context, call, status);
        if (status == BRG40_OK) {
            found.push_back(address);
        }
    }
    return found;
}
