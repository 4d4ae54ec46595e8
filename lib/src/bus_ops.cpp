// Bus and port operations: outputs, I2C and SPI master, response data, SPI frequency steps,
// EEPROM and debug registers. The slave receive operations are in slave_receive.cpp.
#include "bus_ops.h"

#include "transport.h"

namespace brg40 {

namespace {

// Supported SPI frequency steps, largest first; the last one is the floor.
const uint16_t kSpiSteps[] = {12000, 3000, 750, 500, 250, 100, 50, 30, 10, 3};
const uint16_t kI2cSpeeds[] = {1000, 400, 100};  // kHz, by selector
constexpr uint16_t kSpiFrequencyFailed = 0xFFFF;

// The bytes of an out transfer are only read; the transport takes one pointer for both ways.
void* out_data(const unsigned char* buffer) {
    return const_cast<unsigned char*>(buffer);
}

// The I2C bus speed in kHz for a speed selector (0: 1000, 1: 400, 2: 100); false for others.
bool i2c_speed_for_selector(uint8_t selector, uint16_t* khz) {
    if (selector >= sizeof(kI2cSpeeds) / sizeof(kI2cSpeeds[0])) {
        return false;
    }
    *khz = kI2cSpeeds[selector];
    return true;
}

}  // namespace

uint16_t spi_frequency_step(uint16_t requested) {
    for (uint16_t step : kSpiSteps) {
        if (requested >= step) {
            return step;
        }
    }
    return kSpiSteps[sizeof(kSpiSteps) / sizeof(kSpiSteps[0]) - 1];
}

}  // namespace brg40

using namespace brg40;

extern "C" int brg40_gpo_read(Brg40Handle handle, unsigned char* buffer) {
    return send_device_command(handle, CMD_GPO_READ, 0, buffer, 0, 0);
}

extern "C" int brg40_gpo_write(Brg40Handle handle, unsigned char value) {
    return send_device_command(handle, CMD_GPO_WRITE, value, nullptr, 0, 0);
}

extern "C" int brg40_i2c_pullup(Brg40Handle handle, unsigned char value) {
    return send_device_command(handle, CMD_I2C_PULLUP, value, nullptr, 0, 0);
}

extern "C" int brg40_i2c_bus_reset(Brg40Handle handle) {
    return send_device_command(handle, CMD_I2C_BUS_RESET, 0, nullptr, 0, 0);
}

extern "C" int brg40_i2c_set_freq(Brg40Handle handle, unsigned char selector) {
    uint16_t khz = 0;
    if (!i2c_speed_for_selector(selector, &khz)) {
        return BRG40_DEVICE_ERROR;  // no such speed: nothing is sent and the bus keeps its speed
    }
    return send_device_command(handle, CMD_I2C_SET_FREQ, selector, nullptr, 0, khz);
}

extern "C" int brg40_i2c_read_master(Brg40Handle handle,
                                     unsigned short word,
                                     unsigned char byte,
                                     unsigned short length,
                                     unsigned char* buffer) {
    return send_device_command(handle, CMD_I2C_READ_MASTER, byte, buffer, length, word);
}

extern "C" int brg40_i2c_write_master(Brg40Handle handle,
                                      unsigned short word,
                                      unsigned char byte,
                                      unsigned short length,
                                      const unsigned char* buffer) {
    return send_device_command(handle, CMD_I2C_WRITE_MASTER, byte, out_data(buffer), length, word);
}

extern "C" int brg40_i2c_set_response_data(Brg40Handle handle, unsigned short length, const unsigned char* buffer) {
    return send_device_command(handle, CMD_I2C_SET_RESPONSE, 0, out_data(buffer), length, 0);
}

extern "C" int brg40_spi_set_freq(Brg40Handle handle,
                                  unsigned char setting,
                                  unsigned short requested,
                                  unsigned short* actual) {
    const uint16_t step = spi_frequency_step(requested);
    const int32_t status = send_device_command(handle, CMD_SPI_SET_FREQ, setting, nullptr, step, 0);
    if (actual != nullptr) {
        *actual = status == 0 ? step : kSpiFrequencyFailed;
    }
    return status;
}

extern "C" int brg40_spi_transmit_master(Brg40Handle handle,
                                         unsigned char setting,
                                         unsigned short length,
                                         const unsigned char* send,
                                         unsigned char* receive) {
    const int32_t status = send_device_command(handle, CMD_SPI_MASTER_SEND, setting, out_data(send), length, 0);
    if (status != 0) {
        return status;  // nothing was clocked out, so there is nothing to receive
    }
    return send_device_command(handle, CMD_SPI_MASTER_RECEIVE, 0, receive, length, 0);
}

extern "C" int brg40_spi_set_response_data(Brg40Handle handle, unsigned short length, const unsigned char* buffer) {
    return send_device_command(handle, CMD_SPI_SET_RESPONSE, 0, out_data(buffer), length, 0);
}

// The EEPROM commands carry no address: byte 5 stays 0 and the converter places the bytes.
extern "C" int brg40_eeprom_read(Brg40Handle handle, unsigned short length, unsigned char* buffer) {
    return send_device_command(handle, CMD_EEPROM_READ, 0, buffer, length, 0);
}

extern "C" int brg40_eeprom_write(Brg40Handle handle, unsigned short length, const unsigned char* buffer) {
    return send_device_command(handle, CMD_EEPROM_WRITE, 0, out_data(buffer), length, 0);
}

extern "C" int brg40_debug_pic_read(Brg40Handle handle, unsigned char address, unsigned char* buffer) {
    return send_device_command(handle, CMD_DEBUG_PIC_READ, 0, buffer, 0, address);
}

extern "C" int brg40_debug_pic_write(Brg40Handle handle, unsigned char address, unsigned char value) {
    // The value travels in the CDB; the transport takes it from the operand's place.
    return send_device_command(handle, CMD_DEBUG_PIC_WRITE, 0, &value, 0, address);
}
