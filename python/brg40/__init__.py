"""brg40: the NKV-BRG40M USB to SPI/I2C converter from Python, through its device access library
(libbrg40firmup.so.1 on Linux, Brg40Firmup_x64.dll on Windows; $BRG40_LIBRARY names another file).

    import brg40

    with brg40.open() as c:
        print(c.firmware_version())
        eeprom = c.eeprom_read(256)

Every failed call raises Brg40Error with the status, its text and what to check. Code written for
Linux's smbus2 and spidev modules runs on brg40.SMBus and brg40.SpiDev.
"""

from .converter import MAX_TRANSFER, Converter, DeviceInfo, HwInfo, Version, find, library_version
from .converter import list_devices as list  # noqa: A004  (brg40.list reads as intended)
from .errors import Brg40Error
from .slave import Bus, SlaveBatch, SlaveReceiver
from .smbus import SMBus
from .spidev import SpiDev
from .status import STATUSES, status_cause, status_text

__all__ = [
    "MAX_TRANSFER", "Brg40Error", "Bus", "Converter", "DeviceInfo", "HwInfo", "STATUSES", "SlaveBatch",
    "SlaveReceiver", "Version", "find", "library_version", "list", "open", "status_cause", "status_text",
    "SMBus", "SpiDev",  # the calls of smbus2.SMBus and spidev.SpiDev that the converter can make
]
__version__ = "1.1.0"


def open(number: int | None = None, *, device: str | None = None) -> Converter:  # noqa: A001
    """Opens the first converter (or the one $BRG40_DEVICE names), device number n as find() lists
    it, or the one a selector names: ``brg40.open(device="serial:A1")``; see Converter."""
    return Converter(number, device=device)
