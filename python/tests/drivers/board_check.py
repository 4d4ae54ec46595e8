"""A bench script written for Linux's smbus2 and spidev modules, as found on many boards: a round trip
through a 24-series EEPROM on I2C and the JEDEC ID of a 25-series flash on SPI. It knows nothing of
the converter; the test runs it as it is."""

import time

import spidev
from smbus2 import SMBus

EEPROM = 0x50
WRITE_CYCLE = 0.005  # seconds a 24-series EEPROM needs after a write


def eeprom_round_trip(bus_number):
    """Writes a block, a byte and a word, reads them back, and returns what came back."""
    with SMBus(bus_number) as bus:
        bus.write_i2c_block_data(EEPROM, 0x10, [0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88])
        time.sleep(WRITE_CYCLE)
        bus.write_byte_data(EEPROM, 0x20, 0xA5)
        time.sleep(WRITE_CYCLE)
        bus.write_word_data(EEPROM, 0x30, 0xBEEF)
        time.sleep(WRITE_CYCLE)
        return {
            "block": bus.read_i2c_block_data(EEPROM, 0x10, 8),
            "byte": bus.read_byte_data(EEPROM, 0x20),
            "word": bus.read_word_data(EEPROM, 0x30),
        }


def flash_identity(bus_number, device=0):
    """The flash's JEDEC ID, and its status register before and after a write enable."""
    spi = spidev.SpiDev()
    spi.open(bus_number, device)
    try:
        spi.max_speed_hz = 1000000
        spi.mode = 0
        maker, memory_type, capacity = spi.xfer2([0x9F, 0, 0, 0])[1:]
        before = spi.xfer([0x05, 0])[1]
        spi.writebytes([0x06])
        after = spi.xfer2([0x05, 0])[1]
        return {"id": (maker, memory_type, capacity), "status": (before, after), "speed": spi.max_speed_hz}
    finally:
        spi.close()
