"""The one exception of the package: a failed call, with its status, text and likely cause."""

from __future__ import annotations

from .status import status_cause, status_text


class Brg40Error(Exception):
    """A library call failed.

    Attributes: ``status`` (the library's status: negative codes, the converter's report 3, or a
    Windows error number), ``text`` (what it means), ``cause`` (what to check), ``function`` (the
    C function that returned it).
    """

    def __init__(self, status: int, function: str) -> None:
        self.status = status
        self.function = function
        self.text = status_text(status)
        self.cause = status_cause(status)
        super().__init__(f"{function}: {self.text} (status {status}); check {self.cause}")
