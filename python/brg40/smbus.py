"""brg40.SMBus: the calls of smbus2.SMBus that the converter's I2C master can make.

The converter's I2C master makes register transfers: the target address, one register byte, then
the data written or read (brg40_i2c_write_master / brg40_i2c_read_master). So the byte, word and
I2C block reads and writes with a register map onto it, and so does write_byte (the byte goes out
as the register byte, with no data after it). What needs a read without a register byte, a length
taken from the target, a repeated start after a write, or packet error codes raises
NotImplementedError saying so.

    from brg40 import SMBus
    with SMBus(1) as bus:                    # converter 1 as brg40.find() lists it; 0: the first
        bus.write_byte_data(0x50, 0x10, 0xA5)
        value = bus.read_byte_data(0x50, 0x10)
"""

from __future__ import annotations

from collections.abc import Sequence

from . import _shared
from .converter import Converter

#: The most bytes of an SMBus block, as smbus2 allows them.
I2C_SMBUS_BLOCK_MAX = 32

_NO_PLAIN_READ = "the converter's I2C master sends a register byte before every read; use read_byte_data"


class SMBus(_shared.SharedUser):
    """An I2C bus on the converter, with smbus2.SMBus's calls. ``bus``: the converter's number as
    brg40.find() lists it (0 for the first one found) or an open brg40.Converter; None leaves it
    closed until open(). ``force`` is accepted and has no effect (no kernel driver is bound)."""

    def __init__(self, bus: int | Converter | None = None, force: bool = False) -> None:
        self.force = force
        self.address: int | None = None
        if bus is not None:
            self.open(bus)

    # --- life ----------------------------------------------------------------------------------
    def open(self, bus: int | Converter) -> None:
        """Opens the converter (shared with the SpiDev objects on it in this process)."""
        self._acquire(bus)

    @property
    def pec(self) -> int:
        """Packet error checking: always off."""
        return 0

    @pec.setter
    def pec(self, enable: int) -> None:
        self.enable_pec(bool(enable))

    def enable_pec(self, enable: bool = True) -> None:
        if enable:
            raise NotImplementedError("PEC: the converter does not compute SMBus packet error codes")

    # --- the calls that map onto a register transfer -------------------------------------------
    def write_byte(self, i2c_addr: int, value: int, force: bool | None = None) -> None:
        """Sends one byte to the target: it goes out as the register byte, with no data after it."""
        self._write(i2c_addr, _byte(value, "value"), b"")

    def read_byte_data(self, i2c_addr: int, register: int, force: bool | None = None) -> int:
        return self._read(i2c_addr, register, 1)[0]

    def write_byte_data(self, i2c_addr: int, register: int, value: int, force: bool | None = None) -> None:
        self._write(i2c_addr, register, bytes([_byte(value, "value")]))

    def read_word_data(self, i2c_addr: int, register: int, force: bool | None = None) -> int:
        """A 16-bit word, low byte first as SMBus sends it."""
        data = self._read(i2c_addr, register, 2)
        return data[0] | data[1] << 8

    def write_word_data(self, i2c_addr: int, register: int, value: int, force: bool | None = None) -> None:
        if not 0 <= value <= 0xFFFF:
            raise ValueError(f"value is a 16-bit word, not {value}")
        self._write(i2c_addr, register, bytes([value & 0xFF, value >> 8]))

    def read_i2c_block_data(self, i2c_addr: int, register: int, length: int,
                            force: bool | None = None) -> list[int]:
        if not 1 <= length <= I2C_SMBUS_BLOCK_MAX:
            raise ValueError(f"Desired block length over {I2C_SMBUS_BLOCK_MAX} bytes" if length > 0
                             else "Desired block length is at least 1 byte")
        return list(self._read(i2c_addr, register, length))

    def write_i2c_block_data(self, i2c_addr: int, register: int, data: Sequence[int],
                             force: bool | None = None) -> None:
        self._write(i2c_addr, register, _block(data))

    def write_block_data(self, i2c_addr: int, register: int, data: Sequence[int],
                         force: bool | None = None) -> None:
        """An SMBus block write: the count byte, then the data."""
        block = _block(data)
        self._write(i2c_addr, register, bytes([len(block)]) + block)

    # --- what the converter cannot do ------------------------------------------------------------
    def read_byte(self, i2c_addr: int, force: bool | None = None) -> int:
        raise NotImplementedError(f"read_byte: {_NO_PLAIN_READ}(i2c_addr, register)")

    def write_quick(self, i2c_addr: int, force: bool | None = None) -> None:
        raise NotImplementedError("write_quick: the converter's I2C master always sends a byte after the address")

    def read_block_data(self, i2c_addr: int, register: int, force: bool | None = None) -> list[int]:
        raise NotImplementedError("read_block_data: the converter reads a length fixed in advance and cannot take it "
                                  "from the target's count byte; use read_i2c_block_data")

    def process_call(self, i2c_addr: int, register: int, value: int, force: bool | None = None) -> int:
        raise NotImplementedError("process_call: the converter cannot read after a write without a stop and a new "
                                  "register byte")

    def block_process_call(self, i2c_addr: int, register: int, data: Sequence[int],
                           force: bool | None = None) -> list[int]:
        raise NotImplementedError("block_process_call: the converter cannot read after a write without a stop and "
                                  "a new register byte")

    def i2c_rdwr(self, *i2c_msgs: object) -> None:
        raise NotImplementedError("i2c_rdwr: the converter's I2C master makes register transfers only (address, "
                                  "register byte, data); use the *_data calls")

    # --- the transfers ---------------------------------------------------------------------------
    def _open_converter(self) -> Converter:
        if self._converter is None:
            raise ValueError("the bus is not open: SMBus(bus) or open(bus) first")
        return self._converter

    def _read(self, i2c_addr: int, register: int, length: int) -> bytes:
        self.address = _address(i2c_addr)
        return self._open_converter().i2c_read(self.address, _byte(register, "register"), length)

    def _write(self, i2c_addr: int, register: int, data: bytes) -> None:
        self.address = _address(i2c_addr)
        self._open_converter().i2c_write(self.address, _byte(register, "register"), data)


def _address(i2c_addr: int) -> int:
    if not 0 <= i2c_addr <= 0x7F:
        raise ValueError(f"i2c_addr is a 7-bit address, not {i2c_addr}")
    return i2c_addr


def _byte(value: int, what: str) -> int:
    if not 0 <= value <= 0xFF:
        raise ValueError(f"{what} is a byte, not {value}")
    return value


def _block(data: Sequence[int]) -> bytes:
    if len(data) > I2C_SMBUS_BLOCK_MAX:
        raise ValueError(f"Data length cannot exceed {I2C_SMBUS_BLOCK_MAX} bytes")
    return bytes(data)
