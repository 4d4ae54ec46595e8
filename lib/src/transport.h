// The command transport: one vendor command (or the INQUIRY of the device search) as one SCSI
// pass-through request, and the mapping of its outcome to a status.
#ifndef BRG40_TRANSPORT_H
#define BRG40_TRANSPORT_H

#include <cstddef>
#include <cstdint>

#include "brg40firmup.h"
#include "command_block.h"

namespace brg40 {

// Command codes (CDB byte 0).
enum CommandCode : uint8_t {
    CMD_GET_FW_VERSION = 218,
    CMD_LED_CONTROL = 219,
    CMD_POWER_CONTROL = 220,
    CMD_MODE_CHANGE = 221,
    CMD_GET_HW_INFO = 222,
    CMD_GPO_WRITE = 225,
    CMD_GPO_READ = 226,
    CMD_I2C_PULLUP = 232,
    CMD_I2C_BUS_RESET = 233,
    CMD_I2C_SET_FREQ = 234,
    CMD_I2C_READ_MASTER = 235,
    CMD_I2C_WRITE_MASTER = 236,
    CMD_I2C_SLAVE_DATA = 237,
    CMD_I2C_SET_RESPONSE = 238,
    CMD_I2C_SLAVE_STATUS = 239,
    CMD_SPI_SET_FREQ = 240,
    CMD_SPI_MASTER_SEND = 241,
    CMD_SPI_MASTER_RECEIVE = 242,
    CMD_SPI_SET_RESPONSE = 243,
    CMD_SPI_SLAVE_DATA = 244,
    CMD_SPI_SLAVE_STATUS = 245,
    CMD_EEPROM_READ = 248,
    CMD_EEPROM_WRITE = 249,
    CMD_DEBUG_PIC_READ = 250,
    CMD_DEBUG_PIC_WRITE = 251,
    CMD_CHANGE_FIRMUP_MODE = 254,
};

// Where a command's operands go in its 10-byte CDB (bit set). Words go high byte first; the
// length operand of command 240 is a frequency word.
enum CdbField : uint16_t {
    kValueAt2 = 1 << 0,
    kParameterAt2And3 = 1 << 1,
    kValueAt4 = 1 << 2,
    kFrequencyAt2And3 = 1 << 3,
    kLengthAt7And8 = 1 << 4,  // the transfer is the length, or 2 when the length is 1
    kParameterLowAt5 = 1 << 5,
    kParameterLowAt2 = 1 << 6,
    kDataByteAt4 = 1 << 7,  // the byte at the data pointer; no data moves
};

// One row of the command table.
struct CommandLayout {
    uint8_t code;
    uint8_t data_in;      // kScsiDataIn or kScsiDataOut
    uint8_t fixed_bytes;  // transfer length of a fixed-size reply (also written to CDB byte 8), or 0
    uint8_t timeout_s;
    uint16_t fields;  // CdbField bits
};

// The command table, and its row for a code (null for a code outside the table).
const CommandLayout* command_layouts(size_t* count);
const CommandLayout* find_command_layout(uint8_t code);

// Sends one vendor command. `data` is the caller's buffer (direction in: the reply lands there,
// unchecked; direction out: the bytes are read from there) or, for command 251, the place of its
// single operand byte; null where no data moves. For commands of variable length `length` is the
// byte count, for command 240 the frequency word. Returns the status (see the status codes of
// brg40firmup.h). A code outside the table is refused with -400 and nothing is sent.
int32_t send_device_command(Brg40Handle handle,
                            uint8_t code,
                            uint8_t value,
                            void* data,
                            uint16_t length,
                            uint16_t parameter);

// The standard INQUIRY of the device search: 36 bytes into `data`. Returns the status as above.
int32_t send_inquiry(Brg40Handle handle, uint8_t (&data)[36]);

// The status for a completed request: `os_error` is 0 when the request went through, else the
// Windows error; `sense` is the sense area as the driver left it.
int32_t map_command_result(uint32_t os_error, const uint8_t* sense);

}  // namespace brg40

#endif
