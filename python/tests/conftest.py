"""Fixtures of the suites that need a converter: the simulated one, reached through the library
and the umockdev testbed (tests/python/run_pytest.sh runs pytest inside brg40sim-umockdev with
the simulator's address and brg40sim-ctl in the environment)."""

from __future__ import annotations

import os
import subprocess
import time
from collections.abc import Iterator
from dataclasses import dataclass

import pytest

import brg40

NUMBER = 1  # the simulator's device 1 is /dev/sg0 in the testbed, the first converter


@dataclass
class Sim:
    """brg40sim-ctl for the simulated converter at NUMBER."""

    ctl_path: str

    def ctl(self, *words: str) -> str:
        result = subprocess.run([self.ctl_path, *words], capture_output=True, text=True, timeout=30)
        assert result.returncode == 0, f"brg40sim-ctl {' '.join(words)}: {result.stdout}{result.stderr}"
        return result.stdout.strip()

    def get(self, field: str) -> str:
        """A field of the converter's state (the last line of the answer)."""
        return self.ctl("get", str(NUMBER), field).splitlines()[-1]

    def set(self, field: str, value: str) -> None:
        self.ctl("set", str(NUMBER), field, value)

    def commands(self) -> list[str]:
        """Command codes (hex) the converter received since the last call."""
        lines = self.ctl("transcript", str(NUMBER), "clear").splitlines()
        return [line.split("cdb=")[1][:2] for line in lines if "cdb=" in line]


def _wait_for(condition, seconds: float = 15.0) -> bool:  # type: ignore[no-untyped-def]
    # The testbed follows the simulator's devices by polling: give it generous time.
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return True
        time.sleep(0.05)
    return bool(condition())


@pytest.fixture
def sim() -> Iterator[Sim]:
    """A converter with firmware 1.04 at number 1, removed again afterwards."""
    ctl_path = os.environ.get("BRG40_SIM_CTL")
    if not ctl_path:
        pytest.skip("needs the simulated converter: run through tests/python/run_pytest.sh (ctest python_converter)")
    s = Sim(ctl_path)
    s.ctl("attach", str(NUMBER), "version=1.04")
    assert _wait_for(lambda: brg40.find() == [NUMBER]), "the converter did not appear in the testbed"
    s.commands()
    yield s
    assert s.ctl("protocol-errors", str(NUMBER)) == ""
    s.ctl("detach", str(NUMBER))
    assert _wait_for(lambda: brg40.find() == []), "the converter did not leave the testbed"


@pytest.fixture
def converter(sim: Sim) -> Iterator[brg40.Converter]:
    with brg40.open() as c:
        sim.commands()
        yield c
