"""Finds and loads the device access library: the only platform-dependent part of the package."""

from __future__ import annotations

import ctypes
import os
import sys
from pathlib import Path

#: Environment variable naming the library file to load instead of the system's (tests, bundles).
LIBRARY_ENV = "BRG40_LIBRARY"

if sys.platform == "win32":
    LIBRARY_NAME = "Brg40Firmup_x64.dll"
else:
    # The soname: present with the runtime package, without the development symlink.
    LIBRARY_NAME = "libbrg40firmup.so.1"


def load() -> ctypes.CDLL:
    """Loads the library: $BRG40_LIBRARY when set, else a copy beside this package, else the
    system's search (Windows: the application's folder, System32 and the folders added with
    os.add_dll_directory; Linux: the dynamic linker's path)."""
    override = os.environ.get(LIBRARY_ENV)
    if override:
        return ctypes.CDLL(override)
    beside = Path(__file__).resolve().parent / LIBRARY_NAME
    if beside.is_file():
        return ctypes.CDLL(str(beside))
    return ctypes.CDLL(LIBRARY_NAME)


def system_text(status: int) -> str | None:
    """The system's own text for a Windows error number (Windows only, as brg40_status_text
    gives it there); None where the statuses keep their English texts."""
    if sys.platform != "win32":
        return None
    text = ctypes.FormatError(status)  # type: ignore[attr-defined]
    if text == "<no description>":  # FormatMessage found nothing
        return None
    return text.rstrip(" .\r\n") or None
