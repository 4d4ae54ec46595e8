"""One open converter per device number in a process, shared by the SMBus and SpiDev objects on it:
the library's handle is exclusive, so a second open of the same converter would fail."""

from __future__ import annotations

import threading
from dataclasses import dataclass
from types import TracebackType
from typing import TypeVar

from .converter import Converter, find


@dataclass
class _Entry:
    converter: Converter
    users: int = 0


_lock = threading.Lock()
_open: dict[int, _Entry] = {}


def acquire(bus: int | Converter) -> tuple[Converter, int | None]:
    """The converter for bus (its number as find() lists it, 0 for the first one found, or an open
    Converter, used as it is), and the key to release it by (None for a Converter given)."""
    if isinstance(bus, Converter):
        return bus, None
    if isinstance(bus, bool) or not isinstance(bus, int) or bus < 0:
        raise ValueError(f"bus is a converter number (0 for the first found) or a brg40.Converter, not {bus!r}")
    with _lock:
        number = bus
        if number == 0:
            found = find()
            number = found[0] if found else 1  # with none found, the open below says so
        entry = _open.get(number)
        if entry is None:
            entry = _open[number] = _Entry(Converter(number))
        entry.users += 1
        return entry.converter, number


def release(key: int | None) -> None:
    """Drops one user of the converter; the last one closes it."""
    if key is None:
        return
    with _lock:
        entry = _open.get(key)
        if entry is None:
            return
        entry.users -= 1
        if entry.users == 0:
            del _open[key]
            entry.converter.close()


_User = TypeVar("_User", bound="SharedUser")


class SharedUser:
    """An object that uses a shared converter: it holds one share from acquire until close (or
    until it is dropped), and works as a context manager."""

    _converter: Converter | None = None
    _key: int | None = None

    def _acquire(self, bus: int | Converter) -> None:
        self.close()
        self._converter, self._key = acquire(bus)

    def close(self) -> None:
        if self._converter is not None:
            release(self._key)
            self._converter = None
            self._key = None

    def __del__(self) -> None:
        if getattr(self, "_converter", None) is not None:
            self.close()

    def __enter__(self: _User) -> _User:
        return self

    def __exit__(self, kind: type[BaseException] | None, value: BaseException | None,
                 traceback: TracebackType | None) -> None:
        self.close()
