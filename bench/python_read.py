#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Lines per second of cantext.read_log and cantext.iter_messages against python-can's reader
(can.LogReader) on the same capture log, and read_log's peak memory against the arrays it returns.

The log is the benchmark generator's (bench/make_log.cpp), less the lines python-can's reader
raises on (CAN FD flag digits A-F and "." separators, about 8 in 100), so that all three read the
same file to its end; or a log of your own (--log).  Run with the module on the path, e.g.
    PYTHONPATH=build/python /usr/bin/python3 bench/python_read.py
"""
import argparse
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import cantext

SOURCE = Path(__file__).resolve().parents[1]
GENERATORS = ["build/python/cantext_python_make_log", "build/bench/cantext_make_log",
              "build-bench/bench/cantext_make_log"]
# Lines python-can's reader raises on.
REJECTED = re.compile(rb"##[A-F]|#\S*\.")

# Run in a fresh interpreter: its high-water mark is read_log's alone.
PEAK = """
import sys
def status(key):
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) * 1024 for line in f if line.startswith(key))
import cantext
before = status("VmRSS:")
log = cantext.read_log(sys.argv[1])
arrays = sum(a.nbytes for a in (log.time, log.channel, log.can_id, log.flags, log.len, log.fd,
                                log.direction, log.data))
print(status("VmHWM:") - before, arrays)
"""


def generator(given, folder):
    if given:
        return given
    for candidate in GENERATORS:
        if (SOURCE / candidate).exists():
            return str(SOURCE / candidate)
    built = str(Path(folder, "make_log"))
    subprocess.run([os.environ.get("CXX", "c++"), "-O2", str(SOURCE / "bench/make_log.cpp"), "-o", built],
                   check=True)
    return built


def make_log(program, lines, path):
    """The first `lines` lines of the generator's log that python-can reads."""
    kept = []
    asked = lines + lines // 8
    while len(kept) < lines:
        out = subprocess.run([program, str(asked), "1"], capture_output=True, check=True).stdout
        kept = [line for line in out.splitlines(keepends=True) if not REJECTED.search(line)]
        asked *= 2
    path.write_bytes(b"".join(kept[:lines]))


def processor_seconds():
    usage = resource.getrusage(resource.RUSAGE_SELF)  # all threads
    return usage.ru_utime + usage.ru_stime


def rates(name, run, lines, repeat):
    """Lines per second of each run (each must read every line), of wall-clock time and of
    processor time: the second is what a reading costs where other work shares the processors."""
    results = []
    costs = []
    for _ in range(repeat):
        start, used = time.perf_counter(), processor_seconds()
        count = run()
        seconds, used = time.perf_counter() - start, processor_seconds() - used
        if count != lines:
            sys.exit(f"{name} read {count} lines, not {lines}")
        results.append(lines / seconds)
        costs.append(lines / max(used, 1e-6))
    best = max(results)
    print(f"{name:<22} {best / 1e6:9.3f} M lines/s  (best of {repeat}; "
          f"{min(results) / 1e6:.3f} .. {best / 1e6:.3f}); {max(costs) / 1e6:.3f} M lines per "
          f"processor second")
    return best, max(costs)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--lines", type=int, default=1_000_000)
    parser.add_argument("--log", help="a capture log of your own, its name ending in .log")
    parser.add_argument("--make-log", help="the generator program (found in build/ or compiled)")
    parser.add_argument("--repeat", type=int, default=5,
                        help="runs of each reader on the same file, the best counted (default 5)")
    args = parser.parse_args()

    folder = tempfile.mkdtemp(prefix="cantext-bench-")
    try:
        path = Path(folder, "bench.log")
        if args.log:
            shutil.copyfile(args.log, path)
        else:
            make_log(generator(args.make_log, folder), args.lines, path)
        lines = len(path.read_bytes().splitlines())
        print(f"cantext {cantext.__version__} from {Path(cantext.__file__).parent}")
        print(f"log: {lines} lines, {path.stat().st_size / 2**20:.1f} MiB")

        import can

        read_log = rates("cantext.read_log", lambda: len(cantext.read_log(str(path))), lines, args.repeat)
        messages = rates("cantext.iter_messages", lambda: sum(1 for _ in cantext.iter_messages(str(path))),
                         lines, args.repeat)
        theirs = rates(f"python-can {can.__version__}", lambda: sum(1 for _ in can.LogReader(str(path))),
                       lines, args.repeat)
        print(f"read_log: {read_log[0] / theirs[0]:.0f} x python-can, {read_log[1] / theirs[1]:.0f} x "
              f"of processor time (target 100 x, and 10 M lines/s)")
        print(f"iter_messages: {messages[0] / theirs[0]:.1f} x python-can, {messages[1] / theirs[1]:.1f} x "
              f"of processor time (target 5 x)")

        peak, arrays = map(int, subprocess.run([sys.executable, "-c", PEAK, str(path)], check=True,
                                               capture_output=True, text=True).stdout.split())
        print(f"read_log peak memory: {peak / 2**20:.1f} MiB for arrays of {arrays / 2**20:.1f} MiB "
              f"({peak / arrays:.2f} x; target at most 1.5 x + 16 MiB = {(1.5 * arrays + 2**24) / 2**20:.1f} MiB)")
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
