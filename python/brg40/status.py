"""What a status of the library means and what to check: the texts of brg40firmup_status.h.

The C header is the one truth; tests/test_status_table.py compiles a small program against it and
compares every status with this table, so the two cannot drift apart.
"""

from __future__ import annotations

from . import _loader

# The library's codes, the converter's error reports, then the Windows error numbers that a failed
# request brings (on Linux the library translates errno into the same numbers). Status: (text, cause).
STATUSES: dict[int, tuple[str, str]] = {
    0: ("success", "nothing: the call succeeded"),
    -6: ("converter error 2", "the command's arguments and the converter's mode"),
    -11: ("converter error 1", "the command's arguments and the converter's mode"),
    -21: (
        "no converter found, or it could not be opened",
        "the converter is plugged in and its driver installed; no other program holds it open; for "
        "brg40_open_ex, a number from 1 to 9 that brg40_find_device listed",
    ),
    -23: (
        "the selector names more than one converter",
        "the selector: a number, a full serial or port path, or a device node names one converter",
    ),
    -22: (
        "a converter opened by brg40_open is still open",
        "call brg40_close on the earlier handle, or use brg40_open_ex for a second converter",
    ),
    -104: ("mode refused: its low three bits are all set", "the mode value: mode AND 7 must not be 7"),
    -108: ("converter error 3", "the command's arguments and the converter's mode"),
    -109: ("converter error 4", "the command's arguments and the converter's mode"),
    -110: ("converter error 5", "the command's arguments and the converter's mode"),
    -204: (
        "this slave mode needs brg40_mode_change_ex",
        "mode AND 7 equal to 2 is accepted by brg40_mode_change_ex only",
    ),
    -207: ("converter error 6", "the command's arguments and the converter's mode"),
    -400: (
        "the converter reported an error (other than its six detail codes), or the library has no "
        "version information",
        "the command's arguments and the converter's current mode; for brg40_get_dll_version, that "
        "Brg40Firmup_x64.dll carries its version resource; for brg40_i2c_set_freq, a selector of 0, "
        "1 or 2",
    ),
    1: (
        "the driver does not support the request",
        "the handle belongs to the converter (brg40_open_ex opens any device without checking it)",
    ),
    2: ("the device is gone", "the cable: the converter was unplugged or re-enumerated; open it again"),
    3: (
        "converter error with an unlisted detail",
        "the command's arguments and the converter's mode; its firmware version",
    ),
    5: ("access denied", "no other program or driver holds the converter; the user's rights"),
    6: ("invalid handle", "the handle: NULL, already closed, or not from brg40_open or brg40_open_ex"),
    8: ("not enough memory", "the system's free memory; smaller transfers"),
    21: ("the device is not ready", "the converter's power and cable; wait and retry"),
    31: (
        "the request failed without a reason",
        "the cable and the converter (unplugged, or in firmware-update mode); close and open it again",
    ),
    32: ("the device is in use", "another program holds the converter open; close it there"),
    50: ("the request is not supported", "the handle belongs to the converter and its driver is installed"),
    55: ("the device no longer exists", "the cable: the converter was unplugged; open it again"),
    87: ("invalid parameter", "lengths and buffers: a one-byte transfer needs a two-byte buffer"),
    112: ("no space left on the device", "the transfer length against the converter's limit"),
    121: (
        "the request timed out",
        "the converter answers (5 s limit per command, 10 s for EEPROM, debug registers and update mode)",
    ),
    170: ("the device is busy", "wait for the other request on this converter to end, then retry"),
    998: ("invalid buffer address", "the data buffer: valid and as long as the transfer"),
    1117: ("I/O device error", "the cable and the converter; close and open it again"),
    1167: ("the device is not connected", "the cable: the converter was unplugged; open it again"),
    1460: ("the request timed out", "the converter answers; its cable and power"),
    1784: ("invalid buffer", "the data buffer: valid, writable for reads and as long as the transfer"),
}

#: The converter's error report with a detail outside the six known ones (not a Windows error).
DEVICE_DETAIL = 3


def is_system_error(status: int) -> bool:
    """True for a Windows error number passed through (3 is the converter's own report)."""
    return status > 0 and status != DEVICE_DETAIL


def status_text(status: int) -> str:
    """Short English text for a status (on Windows the system's text for a Windows error number),
    as brg40_status_text gives it."""
    if is_system_error(status):
        text = _loader.system_text(status)
        if text is not None:
            return text
    entry = STATUSES.get(status)
    if entry is not None:
        return entry[0]
    return f"Windows error {status}" if is_system_error(status) else f"unknown status {status}"


def status_cause(status: int) -> str:
    """What to check when a call returned this status, as brg40_status_cause says it."""
    entry = STATUSES.get(status)
    if entry is not None:
        return entry[1]
    if is_system_error(status):
        return "the converter's cable and driver; close the handle and open the converter again"
    return "the value: it is not a status of this library"
