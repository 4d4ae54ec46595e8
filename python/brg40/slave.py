"""Slave data: a receiver that keeps the library's one-batch workers going, as brg40firmup.hpp does.

The library's slave callback carries no user pointer, so each bus has one slot in this module:
one receiver per bus at a time in a process. Each start of the library's worker delivers one
batch; the receiver starts the next one from the callback. Stopping leaves the slave mode; the
worker notices that within 500 ms and ends, so a new receiver on the same bus starts no sooner
than 600 ms after the last one stopped.
"""

from __future__ import annotations

import atexit
import ctypes
import enum
import queue
import threading
import time
from dataclasses import dataclass
from types import TracebackType
from typing import Callable, Iterator

from . import _api
from .errors import Brg40Error

SLAVE_BIT = 2  # the slave bit of the mode
AREA_DATA = 256  # data bytes of the receive area; 4 status bytes follow
WORKER_NOTICES_END = 0.6  # seconds: the worker looks at the slave mode every 500 ms


class Bus(enum.Enum):
    """The bus of a slave receiver."""

    I2C = "i2c"
    SPI = "spi"


@dataclass(frozen=True)
class SlaveBatch:
    """One batch of slave data: the bytes received (1 to 256) and the converter's 4 status bytes."""

    data: bytes
    status: bytes


class _Slot:
    def __init__(self) -> None:
        self.lock = threading.Lock()
        self.on_batch: Callable[[SlaveBatch], None] | None = None
        self.lib: ctypes.CDLL | None = None
        self.handle: int | None = None
        self.receiver: SlaveReceiver | None = None
        self.stopped = 0.0  # time.monotonic() when the last receiver of the bus stopped


_SLOTS = {Bus.I2C: _Slot(), Bus.SPI: _Slot()}


def _deliver(bus: Bus, count: int, area: ctypes._Pointer[ctypes.c_ubyte]) -> int:
    # On the library's worker thread. The area is shared by both buses and overwritten by the
    # next delivery: copy it first.
    address = ctypes.cast(area, ctypes.c_void_p).value or 0
    batch = SlaveBatch(ctypes.string_at(address, min(count, AREA_DATA)), ctypes.string_at(address + AREA_DATA, 4))
    slot = _SLOTS[bus]
    with slot.lock:
        if slot.on_batch is None:
            return 0  # stopped meanwhile
        try:
            slot.on_batch(batch)
        except BaseException as error:  # nothing may reach C; the receiver reports it at stop()
            slot.on_batch = None
            if slot.receiver is not None:
                slot.receiver.error = error
            return 0
        _start_worker(bus, slot)
    return 0


# Module-level: the library may call them until the interpreter ends.
_CALLBACKS = {
    Bus.I2C: _api.SlaveCallback(lambda count, area: _deliver(Bus.I2C, count, area)),
    Bus.SPI: _api.SlaveCallback(lambda count, area: _deliver(Bus.SPI, count, area)),
}


def _start_worker(bus: Bus, slot: _Slot) -> None:
    assert slot.lib is not None
    start = slot.lib.brg40_i2c_read_slave if bus is Bus.I2C else slot.lib.brg40_spi_transmit_slave
    start(slot.handle, 0, _CALLBACKS[bus], None)  # delivery 0: the callback; returns 0 at once


class SlaveReceiver:
    """Receives slave data while active; a context manager, and an iterator of SlaveBatch when
    no callback was given. stop() (or the end of the ``with`` block) leaves the slave mode with
    the mode and parameter given at the start minus the slave bit; no batch is handed on after it
    returns. The slave mode is one for the whole converter: stopping also ends the reception of a
    receiver on the other bus."""

    def __init__(self, bus: Bus, mode: int, parameter: int, timeout: float | None) -> None:
        self.bus = bus
        self.error: BaseException | None = None  # what the callback raised, if anything
        self._mode = mode
        self._parameter = parameter
        self._timeout = timeout
        self._queue: queue.SimpleQueue[SlaveBatch | None] = queue.SimpleQueue()
        self._active = False

    @classmethod
    def _start(cls, lib: ctypes.CDLL, handle: int | None, bus: Bus, mode: int, parameter: int,
               callback: Callable[[SlaveBatch], None] | None, timeout: float | None) -> SlaveReceiver:
        receiver = cls(bus, mode, parameter, timeout)
        slot = _SLOTS[bus]
        with slot.lock:
            if slot.on_batch is not None:
                raise RuntimeError(f"a receiver for the {bus.value} bus is already active in this process")
            earliest = slot.stopped + WORKER_NOTICES_END
        time.sleep(max(0.0, earliest - time.monotonic()))  # the last receiver's worker has ended by then
        with slot.lock:
            if slot.on_batch is not None:
                raise RuntimeError(f"a receiver for the {bus.value} bus is already active in this process")
            slot.on_batch = callback if callback is not None else receiver._queue.put
            slot.lib, slot.handle, slot.receiver = lib, handle, receiver
        receiver._active = True
        status = lib.brg40_mode_change_ex(handle, mode | SLAVE_BIT, parameter)
        if status != 0:
            with slot.lock:
                slot.on_batch, slot.handle, slot.receiver = None, None, None
            receiver._active = False
            raise Brg40Error(status, "brg40_mode_change_ex")
        with slot.lock:
            _start_worker(bus, slot)
        return receiver

    @property
    def active(self) -> bool:
        """True while it receives."""
        return self._active

    def stop(self) -> None:
        """Ends the reception (errors of leaving the slave mode are ignored: the converter may be
        gone); raises what the callback raised, if it did."""
        if not self._active:
            return
        slot = _SLOTS[self.bus]
        with slot.lock:  # waits for a batch being handed on
            lib, handle = slot.lib, slot.handle
            slot.on_batch, slot.handle, slot.receiver = None, None, None
        assert lib is not None
        lib.brg40_mode_change_ex(handle, self._mode & ~SLAVE_BIT, self._parameter)
        with slot.lock:
            slot.stopped = time.monotonic()
        self._active = False
        self._queue.put(None)
        if self.error is not None:
            raise self.error

    def __enter__(self) -> SlaveReceiver:
        return self

    def __exit__(self, kind: type[BaseException] | None, value: BaseException | None,
                 traceback: TracebackType | None) -> None:
        if kind is None:
            self.stop()
        else:
            try:
                self.stop()
            except BaseException:  # the exception in flight wins
                pass

    def __iter__(self) -> Iterator[SlaveBatch]:
        """The batches as they come (without a callback): ends at stop(), or when nothing came
        within the timeout given at the start."""
        while True:
            try:
                batch = self._queue.get(timeout=self._timeout)
            except queue.Empty:
                return
            if batch is None:
                return
            yield batch


def wait_for_stopped_workers() -> None:
    """Returns once every worker of a stopped receiver has noticed the end (at most 600 ms after
    the stop). A handle must stay open until then: on Linux a closed descriptor's number is soon
    another file's, and a worker's last request would reach that file."""
    done = max(slot.stopped + WORKER_NOTICES_END for slot in _SLOTS.values())
    time.sleep(max(0.0, done - time.monotonic()))


@atexit.register
def _stop_all() -> None:
    # A worker must not call into an interpreter that is shutting down: stop what still
    # receives and let the workers notice.
    waited_for = 0.0
    for slot in _SLOTS.values():
        receiver = slot.receiver
        if receiver is not None:
            try:
                receiver.stop()
            except BaseException:
                pass
        waited_for = max(waited_for, slot.stopped + WORKER_NOTICES_END)
    time.sleep(max(0.0, waited_for - time.monotonic()))
