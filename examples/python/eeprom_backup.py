#!/usr/bin/env python3
"""eeprom_backup: saves the converter's EEPROM to a file, or writes a saved file back and reads it
again to check it.
    eeprom_backup.py dump FILE [LENGTH]   LENGTH bytes from the EEPROM's start (default 256)
    eeprom_backup.py restore FILE         the whole file (1 to 65535 bytes)
Exit status: 0 on success, 1 without a converter, 2 on any other failure."""

import argparse
import sys
from pathlib import Path

import brg40


def main() -> int:
    parser = argparse.ArgumentParser(description="EEPROM dump and restore")
    parser.add_argument("action", choices=["dump", "restore"])
    parser.add_argument("file", type=Path)
    parser.add_argument("length", nargs="?", type=lambda s: int(s, 0), default=256)
    args = parser.parse_args()
    if not 1 <= args.length <= brg40.MAX_TRANSFER:
        parser.error(f"LENGTH: 1 to {brg40.MAX_TRANSFER}")
    try:
        converter = brg40.open()
    except brg40.Brg40Error as error:
        print(error)
        return 1
    try:
        with converter:
            if args.action == "dump":
                data = converter.eeprom_read(args.length)
                args.file.write_bytes(data)
                print(f"Saved {len(data)} bytes to {args.file}")
                return 0
            data = args.file.read_bytes()
            if not 1 <= len(data) <= brg40.MAX_TRANSFER:
                print(f"{args.file}: 1 to {brg40.MAX_TRANSFER} bytes expected")
                return 2
            converter.eeprom_write(data)
            if converter.eeprom_read(len(data)) != data:
                print(f"Read-back differs from {args.file}")
                return 2
            print(f"Restored {len(data)} bytes from {args.file}; read back and verified")
            return 0
    except brg40.Brg40Error as error:
        print(error)
        return 2


if __name__ == "__main__":
    sys.exit(main())
