#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The best wall-clock and processor time of read_log on one log, over several runs in one
process: the processor time (all threads) is what a reading costs when other work shares the
processors, the wall-clock time what it takes when they are free.  Run it under taskset to
choose the processors, e.g.
    PYTHONPATH=build/python taskset -c 0 /usr/bin/python3 bench/python_read_time.py bench.log
--parts 1 reads in one whatever the size; --parts 0 (the default) as read_log does.
"""
import argparse
import resource
import time

import cantext


def processor_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)
    return usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("log")
    parser.add_argument("--parts", type=int, default=0)
    parser.add_argument("--repeat", type=int, default=21)
    args = parser.parse_args()
    walls, cpus = [], []
    for _ in range(args.repeat):
        wall, cpu = time.perf_counter(), processor_seconds()
        rows = len(cantext._cantext._LogReader(args.log).read(parts=args.parts)[0])
        walls.append(time.perf_counter() - wall)
        cpus.append(processor_seconds() - cpu)
    print(f"{rows} rows: best {min(walls) * 1e3:.1f} ms wall-clock, {rows / min(walls) / 1e6:.1f} M lines/s; "
          f"best {min(cpus) * 1e3:.1f} ms of processor time (of {args.repeat} runs)")


if __name__ == "__main__":
    main()
