"""The library's functions (the 29 and those that followed) with their C types, loaded once on first use."""

from __future__ import annotations

import ctypes
import threading
from ctypes import POINTER, c_int, c_ubyte, c_uint, c_ushort, c_void_p

from . import _loader


class HwInfoStruct(ctypes.Structure):
    """Brg40HwInfo: 6 bytes (the header checks the same offsets)."""

    _fields_ = [("flag2", c_ubyte), ("flag1", c_ubyte), ("word", c_ushort), ("bits6", c_ubyte)]


#: BRG40_DEVICE_TEXT_SIZE: room for each text of a Brg40DeviceInfo.
DEVICE_TEXT_SIZE = 64


class DeviceInfoStruct(ctypes.Structure):
    """Brg40DeviceInfo: a converter present, as brg40_list_devices describes it."""

    _fields_ = [("number", c_int), ("open_status", c_int), ("node", ctypes.c_char * DEVICE_TEXT_SIZE),
                ("serial", ctypes.c_char * DEVICE_TEXT_SIZE), ("path", ctypes.c_char * DEVICE_TEXT_SIZE)]


#: Brg40SlaveCallback: int (*)(unsigned int count, unsigned char* area).
SlaveCallback = ctypes.CFUNCTYPE(c_int, c_uint, POINTER(c_ubyte))

_bytes = POINTER(c_ubyte)
_SIGNATURES: dict[str, tuple[object, list[object]]] = {
    "brg40_open": (c_void_p, [POINTER(c_int)]),
    "brg40_open_ex": (c_void_p, [c_int, POINTER(c_int)]),
    "brg40_find_device": (c_int, [POINTER(c_int), POINTER(c_int)]),
    "brg40_close": (c_int, [c_void_p]),
    "brg40_power_control": (c_int, [c_void_p, c_ubyte]),
    "brg40_get_fw_version": (c_int, [c_void_p, _bytes, _bytes]),
    "brg40_get_dll_version": (c_int, [c_void_p, _bytes, _bytes]),
    "brg40_get_hw_info": (c_int, [c_void_p, POINTER(HwInfoStruct)]),
    "brg40_led_control": (c_int, [c_void_p, c_ubyte]),
    "brg40_mode_change": (c_int, [c_void_p, c_int, c_ushort]),
    "brg40_mode_change_ex": (c_int, [c_void_p, c_int, c_ushort]),
    "brg40_gpo_read": (c_int, [c_void_p, _bytes]),
    "brg40_gpo_write": (c_int, [c_void_p, c_ubyte]),
    "brg40_i2c_pullup": (c_int, [c_void_p, c_ubyte]),
    "brg40_i2c_bus_reset": (c_int, [c_void_p]),
    "brg40_i2c_set_freq": (c_int, [c_void_p, c_ubyte]),
    "brg40_i2c_read_master": (c_int, [c_void_p, c_ushort, c_ubyte, c_ushort, _bytes]),
    "brg40_i2c_write_master": (c_int, [c_void_p, c_ushort, c_ubyte, c_ushort, _bytes]),
    "brg40_i2c_read_slave": (c_int, [c_void_p, c_int, SlaveCallback, c_void_p]),
    "brg40_i2c_set_response_data": (c_int, [c_void_p, c_ushort, _bytes]),
    "brg40_spi_set_freq": (c_int, [c_void_p, c_ubyte, c_ushort, POINTER(c_ushort)]),
    "brg40_spi_transmit_master": (c_int, [c_void_p, c_ubyte, c_ushort, _bytes, _bytes]),
    "brg40_spi_transmit_slave": (c_int, [c_void_p, c_int, SlaveCallback, c_void_p]),
    "brg40_spi_set_response_data": (c_int, [c_void_p, c_ushort, _bytes]),
    "brg40_eeprom_read": (c_int, [c_void_p, c_ushort, _bytes]),
    "brg40_eeprom_write": (c_int, [c_void_p, c_ushort, _bytes]),
    "brg40_change_firmup_mode": (c_int, [c_void_p]),
    "brg40_debug_pic_read": (c_int, [c_void_p, c_ubyte, _bytes]),
    "brg40_debug_pic_write": (c_int, [c_void_p, c_ubyte, c_ubyte]),
    "brg40_list_devices": (c_int, [POINTER(DeviceInfoStruct), c_int, POINTER(c_int)]),
    "brg40_open_device": (c_void_p, [ctypes.c_char_p, POINTER(c_int)]),
}

_lock = threading.Lock()
_library: ctypes.CDLL | None = None


def library() -> ctypes.CDLL:
    """The loaded library with every function typed (loaded at the first call)."""
    global _library
    with _lock:
        if _library is None:
            lib = _loader.load()
            for name, (restype, argtypes) in _SIGNATURES.items():
                function = getattr(lib, name)
                function.restype = restype
                function.argtypes = argtypes
            _library = lib
        return _library
