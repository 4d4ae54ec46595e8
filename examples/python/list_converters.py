#!/usr/bin/env python3
"""list_converters: lists the converters attached, opens the first one and prints its firmware
version and hardware information, and the library's version.
Exit status: 0 when a converter was shown, 1 when none was found, 2 when it could not be used."""

import sys

import brg40


def main() -> int:
    try:
        print(f"Library version: {brg40.library_version()}")
    except brg40.Brg40Error as error:
        print(f"Library version: unknown (status {error.status})")
    numbers = brg40.find()
    if not numbers:
        print("No converter found")
        return 1
    print(f"Converters found: {len(numbers)} ({', '.join(str(n) for n in numbers)})")
    try:
        with brg40.open(numbers[0]) as converter:
            print(f"Opened converter {numbers[0]}")
            print(f"  Firmware version: {converter.firmware_version()}")
            info = converter.hardware_info()
            print(f"  Hardware information: flag2={info.flag2} flag1={info.flag1} word=0x{info.word:04X} "
                  f"bits6={info.bits6}")
    except brg40.Brg40Error as error:
        print(error)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main())
