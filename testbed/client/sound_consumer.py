#!/usr/bin/python3
"""An audio consumer of soundtap for tests: creates its FIFO, opens it for reading, and copies
what arrives to OUT. Options change its manners:

    sound_consumer.py FIFO OUT [--pause-after N --pause-for S] [--exit-after N] [--limit N]

--pause-after N --pause-for S: stop reading for S seconds once N bytes have arrived.
--exit-after N: close the FIFO and exit once N bytes have arrived.
--limit N: stop (and exit) once N bytes have arrived. Reads wait at most 20 s in all.
"""
import argparse
import os
import select
import time


def main():
    p = argparse.ArgumentParser()
    p.add_argument("fifo")
    p.add_argument("out")
    p.add_argument("--pause-after", type=int, default=-1)
    p.add_argument("--pause-for", type=float, default=0)
    p.add_argument("--exit-after", type=int, default=-1)
    p.add_argument("--limit", type=int, default=-1)
    a = p.parse_args()
    if not os.path.exists(a.fifo):
        os.mkfifo(a.fifo)
    fd = os.open(a.fifo, os.O_RDONLY)  # returns once soundtap opens its end
    total, paused = 0, False
    deadline = time.monotonic() + 20
    with open(a.out, "wb", buffering=0) as out:
        while time.monotonic() < deadline:
            if select.select([fd], [], [], 0.5)[0]:
                chunk = os.read(fd, 65536)
                if not chunk:
                    break
                out.write(chunk)
                total += len(chunk)
            if 0 <= a.exit_after <= total or 0 <= a.limit <= total:
                break
            if not paused and 0 <= a.pause_after <= total:
                paused = True
                time.sleep(a.pause_for)
    os.close(fd)


if __name__ == "__main__":
    main()
