"""brg40.SpiDev: spidev.SpiDev on the converter's SPI master.

Each transfer call is one brg40_spi_transmit_master: one chip-select frame, the bytes out and as
many back. So xfer and xfer2 both keep chip select active over the whole list (the converter cannot
release it between bytes), and xfer3 and writebytes2 split longer lists into frames of 65535 bytes.
``open(bus, device)``: bus is the converter's number as brg40.find() lists it (0 for the first
one found) or an open brg40.Converter; device is the setting byte the converter's SPI commands
carry (what it selects lies in the converter's firmware; 0 by default).

    from brg40 import SpiDev
    spi = SpiDev()
    spi.open(1, 0)
    spi.max_speed_hz = 3_000_000
    maker, memory_type, capacity = spi.xfer2([0x9F, 0, 0, 0])[1:]
    spi.close()
"""

from __future__ import annotations

import time
from collections.abc import Iterable

from . import _shared
from .converter import MAX_TRANSFER, Converter


class SpiDev(_shared.SharedUser):
    """An SPI device on the converter, with spidev.SpiDev's calls and attributes. The attributes
    that the converter does not offer keep spidev's defaults; setting another value raises
    NotImplementedError."""

    def __init__(self, bus: int | Converter | None = None, device: int | None = None) -> None:
        self._setting = 0
        self._speed_hz = 0
        self._mode = 0
        if bus is not None:
            self.open(bus, device or 0)

    # --- life ----------------------------------------------------------------------------------
    def open(self, bus: int | Converter, device: int) -> None:
        """Opens the converter (shared with the SMBus objects on it in this process)."""
        if not 0 <= device <= 0xFF:
            raise ValueError(f"device is the converter's setting byte, not {device}")
        self._acquire(bus)
        self._setting = device

    # --- attributes ------------------------------------------------------------------------------
    @property
    def max_speed_hz(self) -> int:
        """The SPI clock in Hz: the converter's step that was set (0 before any was set)."""
        return self._speed_hz

    @max_speed_hz.setter
    def max_speed_hz(self, hz: int) -> None:
        self._speed_hz = self._set_speed(hz)

    @property
    def mode(self) -> int:
        return self._mode

    @mode.setter
    def mode(self, mode: int) -> None:
        if mode != 0:
            raise NotImplementedError(f"mode {mode}: the converter's clock mode is not set from the host (mode 0)")
        self._mode = mode

    bits_per_word = property(lambda self: 8, lambda self, v: _only(v, 8, "bits_per_word"))
    lsbfirst = property(lambda self: False, lambda self, v: _only(v, False, "lsbfirst"))
    cshigh = property(lambda self: False, lambda self, v: _only(v, False, "cshigh"))
    threewire = property(lambda self: False, lambda self, v: _only(v, False, "threewire"))
    loop = property(lambda self: False, lambda self, v: _only(v, False, "loop"))
    no_cs = property(lambda self: False, lambda self, v: _only(v, False, "no_cs"))

    # --- transfers ---------------------------------------------------------------------------------
    def xfer(self, values: Iterable[int], speed_hz: int = 0, delay_usecs: int = 0,
             bits_per_word: int = 0) -> list[int]:
        """One frame: sends values and returns the bytes clocked in (chip select stays active)."""
        return self._frames(values, speed_hz, delay_usecs, bits_per_word, split=False)

    def xfer2(self, values: Iterable[int], speed_hz: int = 0, delay_usecs: int = 0,
              bits_per_word: int = 0) -> list[int]:
        """One frame: sends values and returns the bytes clocked in."""
        return self._frames(values, speed_hz, delay_usecs, bits_per_word, split=False)

    def xfer3(self, values: Iterable[int], speed_hz: int = 0, delay_usecs: int = 0,
              bits_per_word: int = 0) -> tuple[int, ...]:
        """As xfer2, in frames of 65535 bytes where values are longer."""
        return tuple(self._frames(values, speed_hz, delay_usecs, bits_per_word, split=True))

    def readbytes(self, length: int) -> list[int]:
        """Reads length bytes (zeros go out)."""
        return self._frames(bytes(length), 0, 0, 0, split=False)

    def writebytes(self, values: Iterable[int]) -> None:
        self._frames(values, 0, 0, 0, split=False)

    def writebytes2(self, values: Iterable[int]) -> None:
        """As writebytes, in frames of 65535 bytes where values are longer."""
        self._frames(values, 0, 0, 0, split=True)

    def _set_speed(self, hz: int) -> int:
        if hz <= 0:
            raise ValueError(f"max_speed_hz is a positive number of Hz, not {hz}")
        khz = min(hz // 1000, 0xFFFF)
        return self._open_converter().spi_set_freq(self._setting, khz) * 1000

    def _frames(self, values: Iterable[int], speed_hz: int, delay_usecs: int, bits_per_word: int,
                split: bool) -> list[int]:
        if bits_per_word not in (0, 8):
            raise NotImplementedError(f"bits_per_word {bits_per_word}: the converter moves 8-bit words")
        data = bytes(values)
        if len(data) > MAX_TRANSFER and not split:
            raise ValueError(f"one frame carries at most {MAX_TRANSFER} bytes, not {len(data)} (xfer3 splits)")
        converter = self._open_converter()
        restore = 0
        if speed_hz and speed_hz != self._speed_hz:
            restore = self._speed_hz
            self._set_speed(speed_hz)
        try:
            received = bytearray()
            for start in range(0, len(data), MAX_TRANSFER):
                received += converter.spi_transfer(self._setting, data[start:start + MAX_TRANSFER])
                if delay_usecs:
                    time.sleep(delay_usecs / 1e6)
            return list(received)
        finally:
            if restore:
                self._set_speed(restore)

    def _open_converter(self) -> Converter:
        if self._converter is None:
            raise ValueError("the device is not open: open(bus, device) first")
        return self._converter


def _only(value: object, allowed: object, name: str) -> None:
    if value != allowed:
        raise NotImplementedError(f"{name} {value!r}: the converter offers {allowed!r} only")
