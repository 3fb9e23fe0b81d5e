#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""The memory read_log takes, and gives back once its Log is dropped: the process's resident
size (VmRSS) before the read, with the Log, and after `del log; gc.collect()`, over several
reads in one process (a dropped Log's memory is the system's again, not kept for the next).

The log is the benchmark generator's (bench/make_log.cpp), or one of your own (--log).  Run
with the module on the path, e.g.
    PYTHONPATH=build/python /usr/bin/python3 bench/python_memory.py
"""
import argparse
import gc
import subprocess
import sys
import tempfile
from pathlib import Path

import cantext

sys.path.insert(0, str(Path(__file__).resolve().parent))
from python_read import generator  # noqa: E402

MiB = 2**20
# What a dropped Log may leave resident: the interpreter's own heap and the module's.
TARGET = 32 * MiB


def resident():
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) * 1024 for line in f if line.startswith("VmRSS:"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--lines", type=int, default=1_000_000)
    parser.add_argument("--log", help="a capture log of your own")
    parser.add_argument("--reads", type=int, default=3, help="reads in one process (default 3)")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="cantext-bench-") as folder:
        path = Path(args.log) if args.log else Path(folder, "bench.log")
        if not args.log:
            with open(path, "wb") as out:
                subprocess.run([generator(None, folder), str(args.lines), "1"], stdout=out, check=True)
        print(f"cantext {cantext.__version__} from {Path(cantext.__file__).parent}")
        print(f"log: {path.stat().st_size / MiB:.1f} MiB")
        before = resident()
        worst = 0
        for read in range(1, args.reads + 1):
            log = cantext.read_log(str(path))
            held = resident()
            del log
            gc.collect()
            after = resident()
            worst = max(worst, after - before)
            print(f"read {read}: resident {before / MiB:.1f} MiB before the first read, "
                  f"{held / MiB:.1f} MiB with the Log, {after / MiB:.1f} MiB after dropping it")
        verdict = "within" if worst <= TARGET else "NOT within"
        print(f"after dropping: {worst / MiB:+.1f} MiB, {verdict} {TARGET // MiB} MiB of before the first read")
        return 0 if worst <= TARGET else 1


if __name__ == "__main__":
    sys.exit(main())
