#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Lines per second of `cantext convert` against python-can's converter (`python3 -m
can.logconvert`) in four directions: log to ASC, ASC to log, log to TRC, TRC to log; and of
cantext.read_log against can.LogReader on ASC and TRC, where the Python module reads them.

The capture is generated here (seeded, the same bytes on every machine): 55% classic frames
with standard identifiers, 20% extended, 15% CAN FD (a quarter extended, BRS/ESI flag digits
0-3, lengths of whole DLCs), 9% remote requests, 1% bus errors, on can0 and can1, 90% received,
50-600 us apart; only lines python-can's log reader reads.  The ASC and TRC inputs of both tools
are the files cantext writes from it.  cantext runs `--runs` times per direction (the least
processor time counts); python-can once on the first `--python-lines` lines (the whole capture
by default), its rate scaled from those lines.  Beside them, the processor time of reading the
source and writing as many bytes as cantext wrote, with nothing converted (dd, 128 KiB blocks):
the kernel's part of any conversion, and python-can's time over it the most a converter could
reach here.  Before timing, the script checks that the
capture comes back from ASC and TRC as it was (error frames aside: ASC gives them no direction,
TRC writes them received).

    bench/convert.py [--lines 1000000] [--python-lines N] [--runs 3] [--build build-bench]
                     [--cantext PROGRAM] [--against PROGRAM] [--no-python-can]

Builds the command in Release in the build folder (as bench/run.sh does) unless --cantext
names a built one; --against times another build of it too, alternately with the first.  Processor time is user + system of the child, the steadier measure on a
shared machine; wall-clock time is printed beside it.
"""
import argparse
import inspect
import os
import random
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[1]
PYTHON = "/usr/bin/python3"
FD_LENGTHS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64]


def make_capture(lines, path, classic_only=False):
    rng = random.Random(25)
    t = 1700000000_123456
    out = []
    for _ in range(lines):
        t += rng.randrange(50, 600)
        kind = rng.randrange(75 if classic_only else 100)
        direction = " R" if rng.randrange(10) else " T"
        if kind < 55:
            frame = "%03X#%s" % (rng.randrange(0x800), rng.randbytes(rng.randrange(9)).hex().upper())
        elif kind < 75:
            frame = "%08X#%s" % (rng.randrange(0x20000000), rng.randbytes(rng.randrange(9)).hex().upper())
        elif kind < 90:
            ident = "%08X" % rng.randrange(0x20000000) if rng.randrange(4) == 0 else "%03X" % rng.randrange(0x800)
            data = rng.randbytes(rng.choice(FD_LENGTHS)).hex().upper()
            frame = "%s##%d%s" % (ident, rng.randrange(4), data)
        elif kind < 99:
            dlc = rng.randrange(9)
            frame = "%03X#R%s" % (rng.randrange(0x800), dlc if dlc else "")
        else:
            frame, direction = "20000080#0000000000000000", ""
        out.append("(%d.%06d) can%d %s%s\n" % (t // 1000000, t % 1000000, rng.randrange(2), frame, direction))
    path.write_text("".join(out))


def timed(command, stdout=None):
    """(wall seconds, processor seconds) of a child process; its warnings are not shown."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, stdout=stdout, stderr=subprocess.DEVNULL, check=True)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def convert(cantext, to, source, target):
    with open(target, "wb") as out:
        return timed([cantext, "convert", "--to", to, str(source)], stdout=out)


def copy_alone(source, target, size):
    """Processor time of the kernel's part of a conversion alone: the source read and `size`
    bytes written to the target, in blocks of 128 KiB as the command reads and writes, nothing
    converted."""
    with open(target, "wb") as out:
        return timed(["sh", "-c", 'dd if="$1" of=/dev/null bs=128K status=none && '
                      'dd if=/dev/zero bs=128K count="$2" iflag=count_bytes status=none',
                      "sh", str(source), str(size)], stdout=out)


def same_frames(original, back, what):
    """Whether a capture converted and back is the original: every line the same, but the
    direction of error frames, which ASC does not keep and TRC writes as received."""
    a = original.read_text().splitlines()
    b = back.read_text().splitlines()
    if len(a) != len(b):
        sys.exit(f"{what}: {len(b)} lines back for {len(a)}")
    for number, (x, y) in enumerate(zip(a, b), 1):
        if x != y and (" 20000080#" not in x or x.split()[:3] != y.split()[:3]):
            sys.exit(f"{what}: line {number} comes back as\n  {y}\nnot\n  {x}")


def rate(lines, seconds):
    return lines / seconds if seconds > 0 else float("inf")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lines", type=int, default=1000000)
    parser.add_argument("--python-lines", type=int, default=0, help="default: --lines")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--build", default=os.environ.get("CANTEXT_BENCH_BUILD", "build-bench"))
    parser.add_argument("--cantext", help="a built cantext command (no build)")
    parser.add_argument("--no-python-can", action="store_true", help="time cantext alone")
    parser.add_argument("--against", help="another cantext command to time, alternately")
    args = parser.parse_args()
    python_lines = min(args.python_lines or args.lines, args.lines)

    cantext = args.cantext
    if not cantext:
        build = SOURCE / args.build
        subprocess.run(["cmake", "-S", str(SOURCE), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DCANTEXT_BUILD_TESTS=OFF"], check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", str(build), "-j", "2", "--target", "cantext_command"],
                       check=True, stdout=subprocess.DEVNULL)
        cantext = str(build / "tools" / "cantext")

    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        log = work / "capture.log"
        make_capture(args.lines, log)
        inputs = {"log": log, "asc": work / "capture.asc", "trc": work / "capture.trc"}
        for fmt in ("asc", "trc"):
            convert(cantext, fmt, log, inputs[fmt])
            convert(cantext, "log", inputs[fmt], work / f"back.{fmt}.log")
            same_frames(log, work / f"back.{fmt}.log", f"log to {fmt} and back")
        sizes = ", ".join(f"{k} {v.stat().st_size / 1e6:.1f} MB" for k, v in inputs.items())
        print(f"{args.lines} lines ({sizes}); cantext: {cantext}")

        # python-can's TRC reader reads the DT lines of a 2.1 file alone: a capture of classic
        # data frames only, as TRC, is one it reads whole.
        make_capture(args.lines, work / "classic.log", classic_only=True)
        convert(cantext, "trc", work / "classic.log", work / "classic.trc")
        inputs["classic trc"] = work / "classic.trc"
        directions = [("log", "asc"), ("asc", "log"), ("log", "trc"), ("trc", "log"),
                      ("classic trc", "log")]
        print(f"{'direction':<18} {'cantext wall':>13} {'cantext cpu':>12} {'lines/s (cpu)':>14}"
              f" {'python-can cpu':>15} {'lines/s':>10} {'ratio':>7} {'read+write alone':>17}")
        against = []
        for source, target in directions:
            runs, other_runs = [], []
            for _ in range(args.runs):  # alternately, when there is another build to time
                runs.append(convert(cantext, target, inputs[source], work / f"out.{target}"))
                if args.against:
                    other_runs.append(convert(args.against, target, inputs[source],
                                              work / f"other.{target}"))
            wall, cpu = min(runs, key=lambda r: r[1])
            written = (work / f"out.{target}").stat().st_size
            floor = min(copy_alone(inputs[source], work / "copy.out", written)[1]
                        for _ in range(args.runs))
            if args.against:
                other_cpu = min(r[1] for r in other_runs)
                against.append(f"{source + ' to ' + target:<18} {other_cpu:.3f} s "
                               f"{rate(args.lines, other_cpu) / 1e6:.2f} M lines/s, this build "
                               f"{other_cpu / cpu:.2f}x as fast")
            ours = rate(args.lines, cpu)
            theirs_text, ratio_text, floor_text = "-", "-", f"{floor:.3f}s"
            if not args.no_python_can:
                part = work / f"part.{source}"
                if python_lines == args.lines:
                    part = inputs[source]
                else:
                    # The first lines of the capture, in the source format as cantext writes it.
                    head = work / "head.log"
                    whole = work / "classic.log" if source == "classic trc" else log
                    with open(whole) as f, open(head, "w") as h:
                        for _, line in zip(range(python_lines), f):
                            h.write(line)
                    if source == "log":
                        part = head
                    else:
                        part = work / "part.trc" if source == "classic trc" else part
                        convert(cantext, source.split()[-1], head, part)
                _, py_cpu = timed([PYTHON, "-m", "can.logconvert", str(part),
                                   str(work / f"python-can.{target}")])
                theirs = rate(python_lines, py_cpu)
                theirs_text = f"{py_cpu:.2f} s {theirs / 1e3:7.0f} K"
                ratio_text = f"{ours / theirs:.0f}x"
                floor_text += f" ({python_lines / theirs / floor:.0f}x)"
            print(f"{source + ' to ' + target:<18} {wall:5.3f}s {cpu:11.3f}s {ours / 1e6:11.2f} M"
                  f" {theirs_text:>26} {ratio_text:>7} {floor_text:>17}")
        if not args.no_python_can:
            if python_lines != args.lines:
                print(f"python-can ran on the first {python_lines} lines; its rate is lines per"
                      " processor second, its interpreter's start included")
            print("read+write alone: dd reading the source and writing as many bytes as the"
                  " conversion wrote (the least processor time of --runs), and python-can's time"
                  " over it: the most any converter could reach with this machine's reads and"
                  " writes")
            print("python-can's TRC writer leaves out remote requests, error frames and CAN FD"
                  " frames (a warning for each); its TRC reader reads the DT lines alone")

        if against:
            print(f"against {args.against} (processor time, best of {args.runs}, alternate runs):")
            print("\n".join(against))
        read_logs(args, inputs)


READ = """
import sys, time, resource
def cpu():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime
path, fmt, tool = sys.argv[1:4]
if tool == "cantext":
    import cantext
    start = cpu()
    n = len(cantext.read_log(path, format=fmt).time)
else:
    import can
    start = cpu()
    n = sum(1 for _ in can.LogReader(path))
print(n, cpu() - start)
"""


def read_logs(args, inputs):
    """read_log against can.LogReader, in fresh interpreters, where the module reads the format."""
    try:
        import cantext
        reads_formats = "format" in inspect.signature(cantext.read_log).parameters
    except ImportError:
        print("read_log: the cantext module is not on the path (PYTHONPATH=build/python): skipped")
        return
    if not reads_formats:
        print("read_log: this cantext module's read_log takes no format=: skipped")
        return
    for fmt in ("asc", "trc"):
        results = {}
        for tool in ("cantext", "python-can"):
            if tool == "python-can" and args.no_python_can:
                continue
            runs = args.runs if tool == "cantext" else 1
            best = None
            for _ in range(runs):
                done = subprocess.run([PYTHON, "-c", READ, str(inputs[fmt]), fmt, tool], check=True,
                                      capture_output=True, text=True, env=os.environ)
                n, cpu = done.stdout.split()
                best = min(best or float(cpu), float(cpu))
            results[tool] = (int(n), best)
        n, cpu = results["cantext"]
        line = f"read {fmt}: read_log {n} frames {cpu:.3f} s {rate(n, cpu) / 1e6:.2f} M/s"
        if "python-can" in results:
            pn, pcpu = results["python-can"]
            line += f"; can.LogReader {pn} frames {pcpu:.2f} s {rate(pn, pcpu) / 1e3:.0f} K/s;" \
                    f" ratio {rate(n, cpu) / rate(pn, pcpu):.0f}x"
        print(line)


if __name__ == "__main__":
    main()
