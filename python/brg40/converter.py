"""An open converter: every operation of the library, bytes in and bytes out, Brg40Error on failure."""

from __future__ import annotations

import ctypes
import os
from dataclasses import dataclass
from types import TracebackType
from typing import Callable, NamedTuple

from . import _api
from .errors import Brg40Error
from .slave import Bus, SlaveBatch, SlaveReceiver, wait_for_stopped_workers

#: One request carries at most this many bytes (a 16-bit length).
MAX_TRANSFER = 0xFFFF


class Version(NamedTuple):
    """A firmware or library version; str() shows it as the tools do ("1.04")."""

    major: int
    minor: int

    def __str__(self) -> str:
        return f"{self.major:X}.{self.minor:02X}"


@dataclass(frozen=True)
class HwInfo:
    """The converter's hardware information (Brg40HwInfo)."""

    flag2: int
    flag1: int
    word: int
    bits6: int


def _check(status: int, function: str) -> None:
    if status != 0:
        raise Brg40Error(status, function)


def _out_buffer(length: int) -> ctypes.Array[ctypes.c_ubyte]:
    # The library moves one byte as two: a read of length 1 gets a two-byte buffer.
    return (ctypes.c_ubyte * max(length, 2))()


def _in_buffer(data: bytes | bytearray | memoryview) -> tuple[int, ctypes.Array[ctypes.c_ubyte]]:
    raw = bytes(data)
    if len(raw) > MAX_TRANSFER:
        raise ValueError(f"one transfer carries at most {MAX_TRANSFER} bytes, not {len(raw)}")
    # A single byte is sent from a two-byte copy, as the library sends two bytes for a length of 1.
    return len(raw), (ctypes.c_ubyte * max(len(raw), 2)).from_buffer_copy(raw.ljust(2, b"\0"))


class DeviceInfo(NamedTuple):
    """A converter present (brg40_list_devices): its number, the node it is opened as, its USB
    serial and port path ("" where the system does not say), and whether it can be opened now:
    "free", "busy" (held by another program) or "denied" (no permission)."""

    number: int
    node: str
    serial: str
    path: str
    state: str


def list_devices() -> list[DeviceInfo]:
    """Every converter present, whether or not it can be opened now; its number never moves
    because another one is held (on Linux the numbers count what the system describes)."""
    infos = (_api.DeviceInfoStruct * 9)()
    count = ctypes.c_int(0)
    if _api.library().brg40_list_devices(infos, 9, ctypes.byref(count)) != 0:
        return []
    states = {0: "free", 5: "denied"}
    return [DeviceInfo(i.number, i.node.decode(), i.serial.decode(), i.path.decode(), states.get(i.open_status, "busy"))
            for i in infos[: min(count.value, 9)]]


def find() -> list[int]:
    """The device numbers of the converters attached (1 to 9, ascending); empty when none."""
    count = ctypes.c_int(0)
    numbers = (ctypes.c_int * 9)()
    if _api.library().brg40_find_device(ctypes.byref(count), numbers) != 0:
        return []
    return list(numbers[: count.value])


def library_version() -> Version:
    """The library's own version (brg40_get_dll_version)."""
    major, minor = ctypes.c_ubyte(0xFF), ctypes.c_ubyte(0xFF)
    _check(_api.library().brg40_get_dll_version(None, ctypes.byref(major), ctypes.byref(minor)),
           "brg40_get_dll_version")
    return Version(major.value, minor.value)


class Converter:
    """An open converter; use it in a ``with`` block, or call close().

    ``Converter()`` opens the first converter (brg40_open: one such handle at a time in a
    process), or the one $BRG40_DEVICE names; ``Converter(n)`` opens device number n as find()
    lists it (brg40_open_ex); ``Converter(device="serial:A1")`` opens exactly the converter a
    selector names (brg40_open_device): a number, "serial:S", "path:P" or a device node."""

    def __init__(self, number: int | None = None, *, device: str | None = None) -> None:
        lib = _api.library()
        status = ctypes.c_int(0)
        if device is None and number is None:
            device = os.environ.get("BRG40_DEVICE") or None
        if device is not None:
            handle = lib.brg40_open_device(device.encode(), ctypes.byref(status))
            function = f"brg40_open_device({device})"
        elif number is None:
            handle = lib.brg40_open(ctypes.byref(status))
            function = "brg40_open"
        else:
            handle = lib.brg40_open_ex(number, ctypes.byref(status))
            function = "brg40_open_ex"
        if not handle:
            raise Brg40Error(status.value, function)
        self._lib = lib
        self._handle: int | None = handle

    # --- life ----------------------------------------------------------------------------------
    def close(self) -> None:
        """Closes the handle (brg40_close); later calls fail with status 6 (invalid handle)."""
        if self._handle is not None:
            wait_for_stopped_workers()  # their last request still uses this handle
            self._lib.brg40_close(self._handle)
            self._handle = None

    def __enter__(self) -> Converter:
        return self

    def __exit__(self, kind: type[BaseException] | None, value: BaseException | None,
                 traceback: TracebackType | None) -> None:
        self.close()

    def __del__(self) -> None:
        if getattr(self, "_handle", None) is not None:
            self.close()

    @property
    def handle(self) -> int | None:
        """The library's handle (None once closed), for calls this class does not wrap."""
        return self._handle

    # --- device --------------------------------------------------------------------------------
    def firmware_version(self) -> Version:
        """The converter's firmware version (brg40_get_fw_version, 5 s)."""
        major, minor = ctypes.c_ubyte(0xFF), ctypes.c_ubyte(0xFF)
        _check(self._lib.brg40_get_fw_version(self._handle, ctypes.byref(major), ctypes.byref(minor)),
               "brg40_get_fw_version")
        return Version(major.value, minor.value)

    def hardware_info(self) -> HwInfo:
        """The hardware information (brg40_get_hw_info, 5 s)."""
        info = _api.HwInfoStruct()
        _check(self._lib.brg40_get_hw_info(self._handle, ctypes.byref(info)), "brg40_get_hw_info")
        return HwInfo(info.flag2, info.flag1, info.word, info.bits6)

    def power_control(self, value: int) -> None:
        """Sets the power: 0 first, then value (brg40_power_control, 2 x 5 s)."""
        _check(self._lib.brg40_power_control(self._handle, value), "brg40_power_control")

    def led_control(self, value: int) -> None:
        """Sets the LED (brg40_led_control, 5 s)."""
        _check(self._lib.brg40_led_control(self._handle, value), "brg40_led_control")

    def mode_change(self, mode: int, parameter: int = 0) -> None:
        """Changes the operating mode (brg40_mode_change_ex, 5 s); mode AND 7 must not be 7.
        For slave data use receive(), which sets and leaves the slave bit itself."""
        _check(self._lib.brg40_mode_change_ex(self._handle, mode, parameter), "brg40_mode_change_ex")

    def change_firmup_mode(self) -> None:
        """Orders the converter into its firmware-update mode (10 s); afterwards only close()."""
        _check(self._lib.brg40_change_firmup_mode(self._handle), "brg40_change_firmup_mode")

    # --- outputs -------------------------------------------------------------------------------
    def gpo_read(self) -> bytes:
        """Reads the outputs: 4 bytes (brg40_gpo_read, 5 s)."""
        buffer = _out_buffer(4)
        _check(self._lib.brg40_gpo_read(self._handle, buffer), "brg40_gpo_read")
        return bytes(buffer[:4])

    def gpo_write(self, value: int) -> None:
        """Writes the output bits (brg40_gpo_write, 5 s)."""
        _check(self._lib.brg40_gpo_write(self._handle, value), "brg40_gpo_write")

    # --- I2C -----------------------------------------------------------------------------------
    def i2c_pullup(self, value: int) -> None:
        """Sets the I2C pull-ups (brg40_i2c_pullup, 5 s)."""
        _check(self._lib.brg40_i2c_pullup(self._handle, value), "brg40_i2c_pullup")

    def i2c_bus_reset(self) -> None:
        """Resets the I2C bus (brg40_i2c_bus_reset, 5 s)."""
        _check(self._lib.brg40_i2c_bus_reset(self._handle), "brg40_i2c_bus_reset")

    def i2c_set_freq(self, selector: int) -> None:
        """Sets the I2C speed: 0 = 1000 kHz, 1 = 400 kHz, 2 = 100 kHz (brg40_i2c_set_freq, 5 s)."""
        _check(self._lib.brg40_i2c_set_freq(self._handle, selector), "brg40_i2c_set_freq")

    def i2c_read(self, word: int, byte: int, length: int) -> bytes:
        """I2C master read of length bytes (brg40_i2c_read_master, 5 s)."""
        buffer = _out_buffer(length)
        _check(self._lib.brg40_i2c_read_master(self._handle, word, byte, length, buffer), "brg40_i2c_read_master")
        return bytes(buffer[:length])

    def i2c_write(self, word: int, byte: int, data: bytes | bytearray | memoryview) -> None:
        """I2C master write (brg40_i2c_write_master, 5 s)."""
        length, buffer = _in_buffer(data)
        _check(self._lib.brg40_i2c_write_master(self._handle, word, byte, length, buffer), "brg40_i2c_write_master")

    def i2c_set_response(self, data: bytes | bytearray | memoryview) -> None:
        """The bytes the converter answers an outside I2C master with (5 s)."""
        length, buffer = _in_buffer(data)
        _check(self._lib.brg40_i2c_set_response_data(self._handle, length, buffer), "brg40_i2c_set_response_data")

    # --- SPI -----------------------------------------------------------------------------------
    def spi_set_freq(self, setting: int, requested: int) -> int:
        """Sets the SPI clock to the largest step not above requested; returns the step set."""
        actual = ctypes.c_ushort(0xFFFF)
        _check(self._lib.brg40_spi_set_freq(self._handle, setting, requested, ctypes.byref(actual)),
               "brg40_spi_set_freq")
        return actual.value

    def spi_transfer(self, setting: int, data: bytes | bytearray | memoryview) -> bytes:
        """SPI master transfer: sends data and returns as many bytes received (2 x 5 s)."""
        length, send = _in_buffer(data)
        receive = _out_buffer(length)
        _check(self._lib.brg40_spi_transmit_master(self._handle, setting, length, send, receive),
               "brg40_spi_transmit_master")
        return bytes(receive[:length])

    def spi_set_response(self, data: bytes | bytearray | memoryview) -> None:
        """The bytes the converter answers an outside SPI master with (5 s)."""
        length, buffer = _in_buffer(data)
        _check(self._lib.brg40_spi_set_response_data(self._handle, length, buffer), "brg40_spi_set_response_data")

    # --- EEPROM and debug registers --------------------------------------------------------------
    def eeprom_read(self, length: int) -> bytes:
        """Reads length bytes from the EEPROM's start (brg40_eeprom_read, 10 s)."""
        buffer = _out_buffer(length)
        _check(self._lib.brg40_eeprom_read(self._handle, length, buffer), "brg40_eeprom_read")
        return bytes(buffer[:length])

    def eeprom_write(self, data: bytes | bytearray | memoryview) -> None:
        """Writes data from the EEPROM's start (brg40_eeprom_write, 10 s)."""
        length, buffer = _in_buffer(data)
        _check(self._lib.brg40_eeprom_write(self._handle, length, buffer), "brg40_eeprom_write")

    def debug_read(self, address: int) -> bytes:
        """Reads a debug register: 2 bytes (brg40_debug_pic_read, 10 s)."""
        buffer = _out_buffer(2)
        _check(self._lib.brg40_debug_pic_read(self._handle, address, buffer), "brg40_debug_pic_read")
        return bytes(buffer[:2])

    def debug_write(self, address: int, value: int) -> None:
        """Writes a debug register (brg40_debug_pic_write, 10 s)."""
        _check(self._lib.brg40_debug_pic_write(self._handle, address, value), "brg40_debug_pic_write")

    # --- slave data ----------------------------------------------------------------------------
    def receive(self, bus: Bus, mode: int = 0, parameter: int = 0, *,
                callback: Callable[[SlaveBatch], None] | None = None,
                timeout: float | None = None) -> SlaveReceiver:
        """Enters the slave mode and receives slave data until the receiver stops (see
        SlaveReceiver): each batch goes to callback (on the library's worker thread), or, without
        one, to the receiver's iterator, which ends when nothing came within timeout seconds."""
        return SlaveReceiver._start(self._lib, self._handle, bus, mode, parameter, callback, timeout)
