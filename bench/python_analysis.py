#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""What the Log's analysis costs next to read_log itself, on the same capture: to_pandas with
each data representation, the filter while reading (one that keeps every frame) and
Log.select, Log.stats, Log.write in each format, and read_log of the ASC and TRC files written,
against python-can's reader of them (on the first --can-lines lines: it is slow).

    PYTHONPATH=build/python /usr/bin/python3 bench/python_analysis.py
"""
import argparse
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import cantext
from cantext.log import Log

SOURCE = Path(__file__).resolve().parents[1]
GENERATORS = ["build/python/cantext_python_make_log", "build/bench/cantext_make_log"]
# Every frame (a mask pair of each kind; error frames are of the standard kind): a filter that drops nothing, so that only its cost shows.
KEEP_ALL = "000:000,00000000:00000000"


def best(run, repeat):
    """The fastest of `repeat` runs, in seconds: the least disturbed by other work."""
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--lines", type=int, default=1_000_000)
    parser.add_argument("--can-lines", type=int, default=100_000)
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    program = next((str(SOURCE / g) for g in GENERATORS if (SOURCE / g).exists()), None)
    if program is None:
        sys.exit("build the generator first: cmake --build build --target cantext_python_make_log")
    with tempfile.TemporaryDirectory(prefix="cantext-bench-") as folder:
        path = Path(folder, "bench.log")
        path.write_bytes(subprocess.run([program, str(args.lines), "1"], capture_output=True,
                                        check=True).stdout)
        log = cantext.read_log(path)
        print(f"cantext {cantext.__version__}; {len(log)} lines, "
              f"{path.stat().st_size / 2**20:.1f} MiB")

        def row(name, seconds, against=None):
            ratio = f"{seconds / against:6.2f} x the read" if against else ""
            print(f"{name:<34} {seconds * 1e3:9.1f} ms  {ratio}")

        read = best(lambda: cantext.read_log(path), args.repeat)
        one = best(lambda: Log(cantext._cantext._LogReader(str(path)).read(parts=1)), args.repeat)
        row("read_log", read)
        row("read_log, one thread", one)
        kept = cantext.log.frame_filter(KEEP_ALL)
        row("read_log, filter keeping all", best(lambda: cantext.read_log(path, ids=KEEP_ALL),
                                                 args.repeat), read)
        row("read_log, one thread, filter", best(
            lambda: Log(cantext._cantext._LogReader(str(path), False, None, kept).read(parts=1)),
            args.repeat), one)
        import pandas  # noqa: F401  (imported before, not counted)

        for data in ("columns", None, "bytes"):
            row(f"to_pandas(data={data!r})", best(lambda: log.to_pandas(data=data), args.repeat),
                read)
        row("select(ids='100-1FF', channels='can1')",
            best(lambda: log.select(ids="100-1FF", channels="can1"), args.repeat), read)
        row("stats()", best(log.stats, args.repeat), read)
        for format in ("log", "asc", "trc"):
            target = Path(folder, f"bench.{format}")
            row(f"write({format!r})", best(lambda: log.write(target), args.repeat), read)
            if format != "log":
                seconds = best(lambda: cantext.read_log(target), args.repeat)
                row(f"read_log of the {format.upper()} file", seconds, read)
                print(f"{'':<34} {len(log) / seconds / 1e6:9.2f} M lines/s")
        import can

        for format in ("asc", "trc"):
            small = Path(folder, f"small.{format}")
            log[:args.can_lines].write(small)
            ours = best(lambda: cantext.read_log(small), args.repeat)
            theirs = best(lambda: sum(1 for _ in can.LogReader(str(small))), 1)
            print(f"{format.upper()} of {args.can_lines} frames: read_log {ours * 1e3:.1f} ms, "
                  f"python-can {can.__version__} {theirs * 1e3:.0f} ms: {theirs / ours:.0f} x")


if __name__ == "__main__":
    main()
