"""The Python status table against brg40firmup_status.h: a small C program prints what the header
says for every status in a range, and the package must say the same."""

from __future__ import annotations

import os
import shutil
import subprocess
from pathlib import Path

import pytest

import brg40

HERE = Path(__file__).resolve().parent
INCLUDE_DIR = Path(os.environ.get("BRG40_INCLUDE_DIR", HERE.parent.parent / "lib" / "include"))
FIRST, LAST = -1024, 4096


@pytest.fixture(scope="module")
def header_rows(tmp_path_factory: pytest.TempPathFactory) -> dict[int, tuple[str, str, bool]]:
    compiler = os.environ.get("CC") or shutil.which("cc") or shutil.which("gcc")
    assert compiler, "a C compiler is needed to read the header's texts"
    program = tmp_path_factory.mktemp("status") / "status_dump"
    subprocess.run([compiler, "-std=c11", "-Wall", "-Wextra", "-Werror", f"-I{INCLUDE_DIR}",
                    str(HERE / "status_dump.c"), "-o", str(program)], check=True)
    rows = {}
    for extreme_first, extreme_last in ((FIRST, LAST), (-2**31, -2**31), (2**31 - 1, 2**31 - 1)):
        out = subprocess.run([str(program), str(extreme_first), str(extreme_last)], check=True,
                             capture_output=True, text=True).stdout
        for line in out.splitlines():
            status, text, cause, own = line.split("\t")
            rows[int(status)] = (text, cause, own == "1")
    return rows


def test_every_status_of_the_header_has_the_same_text_and_cause(header_rows: dict[int, tuple[str, str, bool]]) -> None:
    differing = [(status, (text, cause), (brg40.status_text(status), brg40.status_cause(status)))
                 for status, (text, cause, _) in header_rows.items()
                 if (brg40.status_text(status), brg40.status_cause(status)) != (text, cause)]
    assert differing == []


def test_the_table_holds_exactly_the_header_entries(header_rows: dict[int, tuple[str, str, bool]]) -> None:
    assert all(FIRST <= status <= LAST for status in brg40.STATUSES), "widen the range of the comparison"
    assert sorted(brg40.STATUSES) == sorted(status for status, (_, _, own) in header_rows.items() if own)


def test_the_error_carries_status_text_and_cause() -> None:
    error = brg40.Brg40Error(-21, "brg40_open")
    assert (error.status, error.text, error.cause) == (-21, brg40.STATUSES[-21][0], brg40.STATUSES[-21][1])
    assert str(error) == f"brg40_open: {error.text} (status -21); check {error.cause}"
