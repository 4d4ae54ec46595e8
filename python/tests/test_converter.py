"""The Python package against the simulated converter: what the converter receives and holds, the
bytes that come back, the statuses raised, and slave reception."""

from __future__ import annotations

import re
import threading
from pathlib import Path

import pytest

import brg40
from conftest import Sim

VERSION_H = Path(__file__).resolve().parents[2] / "lib" / "src" / "version.h"


def test_open_reads_versions_and_identity(sim: Sim) -> None:
    with brg40.open() as c:
        assert str(c.firmware_version()) == "1.04"
        assert c.hardware_info() == brg40.HwInfo(flag2=2, flag1=1, word=0x1234, bits6=6)
    assert sim.commands()[-2:] == ["DA", "DE"]
    major, minor = (int(re.search(rf"#define BRG40_VERSION_{p} (\d+)", VERSION_H.read_text()).group(1))
                    for p in ("MAJOR", "MINOR"))
    assert brg40.library_version() == (major, minor)


@pytest.mark.parametrize(
    "call, field, expected",
    [
        (lambda c: c.eeprom_write(bytes(range(0x10, 0x30))), "eeprom", bytes(range(0x10, 0x30)).hex().upper()),
        (lambda c: c.i2c_write(0, 0x50, b"\x01\x02\x03"), "i2c-written", "010203"),
        (lambda c: c.spi_set_response(b"\xAA\xBB"), "spi-response", "AABB"),
        (lambda c: c.gpo_write(0x5A), "outputs", str(0x5A)),
    ],
    ids=["eeprom", "i2c-write", "spi-response", "outputs"],
)
def test_bytes_reach_the_converter(sim: Sim, converter: brg40.Converter, call, field: str, expected: str) -> None:  # type: ignore[no-untyped-def]
    call(converter)
    assert sim.get(field).startswith(expected)


def test_eeprom_read_returns_the_converters_bytes(sim: Sim, converter: brg40.Converter) -> None:
    pattern = bytes((i * 7 + 3) & 0xFF for i in range(256))
    sim.set("eeprom", pattern.hex())
    assert converter.eeprom_read(256) == pattern
    assert converter.eeprom_read(1) == pattern[:1]  # one byte travels as two; one comes back


def test_spi_transfer_sends_and_returns_bytes(sim: Sim, converter: brg40.Converter) -> None:
    sim.set("spi-master-reply", "A1B2C3")
    assert converter.spi_set_freq(0, 2999) == 750
    assert converter.spi_transfer(0, bytearray(b"\x9F\x01\x02")) == b"\xA1\xB2\xC3"
    assert sim.get("spi-written") == "9F0102"
    assert converter.spi_transfer(0, b"\x5A") == b"\xA1"
    assert sim.get("spi-written") == "5A"


def test_a_converter_error_raises_with_status_text_and_cause(sim: Sim, converter: brg40.Converter) -> None:
    sim.ctl("fail", "1", "0xF8", "sense", "3", "0x80", "2", "1")
    with pytest.raises(brg40.Brg40Error) as caught:
        converter.eeprom_read(16)
    error = caught.value
    assert (error.status, error.function) == (-6, "brg40_eeprom_read")
    assert (error.text, error.cause) == brg40.STATUSES[-6]
    assert converter.eeprom_read(2) is not None  # the failure was once only


def test_no_converter_and_closed_handle_raise(sim: Sim) -> None:
    c = brg40.open()
    with pytest.raises(brg40.Brg40Error) as second:
        brg40.open()  # brg40_open holds one handle at a time
    assert second.value.status == -22
    c.close()
    with pytest.raises(brg40.Brg40Error) as closed:
        c.gpo_read()
    assert closed.value.status == 6
    with pytest.raises(brg40.Brg40Error) as absent:
        brg40.Converter(2)
    assert absent.value.status == -21
    with pytest.raises(ValueError):
        with brg40.open() as c2:
            c2.eeprom_write(bytes(brg40.MAX_TRANSFER + 1))


def test_list_and_selectors_name_the_converter(sim: Sim) -> None:
    # The converter of the fixture is unit 1 of the simulator: serial SIM0001 at port 1-1.
    assert brg40.list() == [brg40.DeviceInfo(1, "/dev/sg0", "SIM0001", "1-1", "free")]
    for selector in ("1", "serial:sim0001", "path:1-1", "/dev/sg0"):
        with brg40.open(device=selector) as c:
            assert str(c.firmware_version()) == "1.04", selector
    for selector, status in (("serial:OTHER", -21), ("2", -21), ("port:1-1", 87)):
        with pytest.raises(brg40.Brg40Error) as failed:
            brg40.open(device=selector)
        assert failed.value.status == status, selector


def test_slave_batches_arrive_through_the_iterator(sim: Sim, converter: brg40.Converter) -> None:
    sim.set("i2c-waiting", "0102030405")
    with converter.receive(brg40.Bus.I2C, timeout=15) as receiver:
        batches = iter(receiver)
        assert next(batches).data == bytes([1, 2, 3, 4, 5])
        sim.set("i2c-waiting", "0A0B")  # a second batch without a new start by the program
        assert next(batches).data == bytes([0x0A, 0x0B])
        assert sim.get("mode-byte") == "2"
    assert not receiver.active
    assert list(receiver) == []
    assert sim.get("mode-byte") == "0"
    assert sim.get("i2c-waiting") == "-"


def test_slave_batches_reach_a_callback(sim: Sim, converter: brg40.Converter) -> None:
    got: list[bytes] = []
    came = threading.Event()

    def on_batch(batch: brg40.SlaveBatch) -> None:
        got.append(batch.data)
        came.set()

    sim.set("spi-waiting", "C0FFEE")
    with converter.receive(brg40.Bus.SPI, callback=on_batch):
        assert came.wait(15)
        with pytest.raises(RuntimeError):
            converter.receive(brg40.Bus.SPI)  # one receiver per bus in a process
    assert got == [b"\xC0\xFF\xEE"]
    assert sim.get("mode-byte") == "0"
