// brg40 i2c dump: the register table of an I2C target, as i2cdump prints it.
#ifndef BRG40_CLI_I2C_DUMP_H
#define BRG40_CLI_I2C_DUMP_H

#include <string>
#include <vector>

#include "command_context.h"

// The table of 256 registers (values[i] the byte of register i, -1 where its read failed): the
// column header, then 16 rows "00: " of hex bytes ("XX" for a failed read) and the same bytes as
// text ('.' for 00 and ff, '?' for other unprintable bytes, 'X' for a failed read).
std::vector<std::string> DumpLines(const int values[256]);

// Reads registers 0 to 255 of the target one byte at a time and prints the table.
int DumpRegisters(CommandContext& context, Brg40Handle handle, unsigned address);

#endif
