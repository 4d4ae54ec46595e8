#!/usr/bin/env python3
"""i2c_scan: asks every 7-bit I2C address from 0x08 to 0x77 for one byte, at 100 kHz, and lists
those that answer (device address in the target byte, 0 in the target word).
Exit status: 0 when the scan ran, 1 without a converter, 2 when a request failed."""

import sys

import brg40


def main() -> int:
    try:
        converter = brg40.open()
    except brg40.Brg40Error as error:
        print(f"open: {error.text} (status {error.status}); check {error.cause}")
        return 1
    with converter:
        found = []
        try:
            converter.i2c_set_freq(2)
            for address in range(0x08, 0x78):
                try:
                    converter.i2c_read(0, address, 1)
                    found.append(address)
                except brg40.Brg40Error as error:
                    if brg40.status.is_system_error(error.status):
                        raise  # the request itself failed: no point in going on
                    # A converter error report: nothing answered at this address.
        except brg40.Brg40Error as error:
            print(f"I2C: {error.text} (status {error.status}); check {error.cause}")
            return 2
    print("I2C devices:" + "".join(f" 0x{a:02X}" for a in found))
    print(f"Found: {len(found)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
