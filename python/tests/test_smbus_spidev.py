"""brg40.SMBus and brg40.SpiDev: a bench script written for smbus2 and spidev runs unchanged against
the simulated converter's I2C EEPROM and SPI flash, and what the converter cannot do says so."""

from __future__ import annotations

import importlib
import sys
import types
from pathlib import Path

import pytest

import brg40
from conftest import NUMBER, Sim


@pytest.fixture
def board_check(monkeypatch: pytest.MonkeyPatch):  # type: ignore[no-untyped-def]
    """The script, importing brg40's classes under the module names it was written for."""
    monkeypatch.setitem(sys.modules, "smbus2", types.SimpleNamespace(SMBus=brg40.SMBus))
    monkeypatch.setitem(sys.modules, "spidev", types.SimpleNamespace(SpiDev=brg40.SpiDev))
    monkeypatch.syspath_prepend(str(Path(__file__).parent / "drivers"))
    sys.modules.pop("board_check", None)
    yield importlib.import_module("board_check")
    sys.modules.pop("board_check", None)


def test_the_smbus2_script_round_trips_the_eeprom(sim: Sim, board_check) -> None:  # type: ignore[no-untyped-def]
    sim.ctl("i2c-memory", str(NUMBER), "0x50")
    assert board_check.eeprom_round_trip(NUMBER) == {
        "block": [0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88], "byte": 0xA5, "word": 0xBEEF}
    memory = bytes.fromhex(sim.ctl("i2c-memory", str(NUMBER), "0x50").splitlines()[-1])
    assert memory[0x10:0x18] == bytes.fromhex("1122334455667788")
    assert memory[0x20] == 0xA5 and memory[0x30:0x32] == b"\xEF\xBE"  # SMBus words go low byte first


def test_the_spidev_script_reads_the_flash_id(sim: Sim, board_check) -> None:  # type: ignore[no-untyped-def]
    sim.ctl("spiflash", str(NUMBER), "size=4", "id=C84016")
    assert board_check.flash_identity(NUMBER) == {"id": (0xC8, 0x40, 0x16), "status": (0x00, 0x02), "speed": 750000}
    assert sim.get("spi-step") == "750"
    # Each call was one chip-select frame: the flash took the write enable as a whole command.
    assert "ignored=0" in sim.ctl("spiflash", str(NUMBER))


def test_smbus_and_spidev_share_the_converter_and_refuse_what_it_cannot_do(sim: Sim) -> None:
    sim.ctl("spiflash", str(NUMBER), "size=1")
    with brg40.SMBus(NUMBER) as bus, brg40.SpiDev(NUMBER, 0) as spi:  # one handle for both
        assert spi.readbytes(3) == [0xFF] * 3
        assert spi.xfer3([0x9F] + [0] * 70000)[1:4] == (0xEF, 0x40, 0x14)  # split into two frames
        bus.write_byte_data(0x50, 0x01, 0x99)
        assert sim.get("i2c-written") == "99"
        bus.write_byte(0x50, 0x07)  # the byte goes out as the register byte, no data after it
        assert sim.get("i2c-written") == "-"
        for call in (lambda: bus.read_byte(0x50), lambda: bus.read_block_data(0x50, 0),
                     lambda: bus.write_quick(0x50), lambda: bus.process_call(0x50, 0, 1),
                     lambda: bus.enable_pec(True), lambda: setattr(spi, "mode", 3),
                     lambda: setattr(spi, "bits_per_word", 16)):
            with pytest.raises(NotImplementedError, match="converter"):
                call()
        with pytest.raises(ValueError, match="32 bytes"):
            bus.write_i2c_block_data(0x50, 0, [0] * 33)
    brg40.Converter(NUMBER).close()  # the last user closed the shared handle: it opens again
