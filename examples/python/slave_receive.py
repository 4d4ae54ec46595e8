#!/usr/bin/env python3
"""slave_receive: receives data from an outside I2C master, handed to a callback on the library's
worker thread, until COUNT bytes have come or 10 seconds have passed; prints each batch and
leaves the slave mode when the receiver ends.   slave_receive.py [COUNT]   (default 1)
Exit status: 0 when the bytes came, 1 on failure or when they did not."""

import sys
import threading

import brg40


def main() -> int:
    wanted = int(sys.argv[1], 0) if len(sys.argv) > 1 else 1
    total = 0
    enough = threading.Event()

    def on_batch(batch: brg40.SlaveBatch) -> None:
        # On the library's worker thread, one batch at a time.
        nonlocal total
        print(f"Batch of {len(batch.data)} bytes: {batch.data.hex(' ').upper()}", flush=True)
        total += len(batch.data)
        if total >= wanted:
            enough.set()

    try:
        with brg40.open() as converter:
            with converter.receive(brg40.Bus.I2C, callback=on_batch):
                enough.wait(10)
            # The receiver has ended: no more batches, the slave mode is left.
    except brg40.Brg40Error as error:
        print(error)
        return 1
    print(f"Received {total} bytes in all")
    return 0 if total >= wanted else 1


if __name__ == "__main__":
    sys.exit(main())
