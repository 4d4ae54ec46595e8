#!/usr/bin/env python3
"""spi_transfer: sets the SPI clock, sends the bytes given in hexadecimal and prints the bytes
received meanwhile.   spi_transfer.py HEXBYTES [FREQUENCY]   (e.g. "9F000000"; default 3000)
Setting byte 0. Exit status: 0 on success, 1 without a converter, 2 on any other failure."""

import sys

import brg40


def main() -> int:
    try:
        send = bytes.fromhex(sys.argv[1])
        requested = int(sys.argv[2], 0) if len(sys.argv) > 2 else 3000
    except (IndexError, ValueError):
        send, requested = b"", -1
    if not 1 <= len(send) <= 256 or not 0 <= requested <= 0xFFFF:
        print("usage: spi_transfer.py HEXBYTES [FREQUENCY]   (1 to 256 bytes)")
        return 2
    try:
        converter = brg40.open()
    except brg40.Brg40Error as error:
        print(error)
        return 1
    with converter:
        try:
            print(f"SPI clock: {converter.spi_set_freq(0, requested)}")
            received = converter.spi_transfer(0, send)
        except brg40.Brg40Error as error:
            print(error)
            return 2
    print("Received: " + received.hex(" ").upper())
    return 0


if __name__ == "__main__":
    sys.exit(main())
