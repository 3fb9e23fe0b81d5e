#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Speed and memory of DBC decoding in Python: a generated database of MESSAGES messages of
about ten signals each (both byte orders, signed, scaled, some with choices, a tenth of the
messages multiplexed) and a generated capture of LINES frames over them, then

- decode_log from the parsed log (frames/s),
- read_log + decode_log from the file (frames/s),
- with COMMAND (the path of the cantext program): `cantext decode --dbc` to /dev/null (lines/s),
- decode_message per call (us, and us per signal),
- the memory decode_log takes beyond its columns: the rise of the peak resident memory
  (VmHWM, reset after read_log) of a fresh process across one decode_log, against the
  columns' bytes.

Times are medians of RUNS runs, as processor time of this process (or of the command) and as
wall-clock time: on a machine shared with other work the processor time is what one core does.
The first decode_log of a process, which also maps the columns' memory fresh, is given apart.

Usage: PYTHONPATH=build/python /usr/bin/python3 bench/dbc_decode.py [LINES] [MESSAGES] [RUNS]
[COMMAND] (defaults 1000000, 300, 5, none).

With --write DIR LINES MESSAGES it only writes the database and the capture that it would
measure, as DIR/bench.dbc and DIR/capture.log, for a profiler to run the command on.
"""

import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import cantext
from cantext import dbc


def make_database(rng, messages):
    lines = ['VERSION ""', "", "NS_ :", "", "BS_:", "", "BU_: A B", ""]
    choices = []
    for m in range(messages):
        frame_id = 0x100 + m if m % 3 else 0x18000000 + m
        written = frame_id | 0x80000000 if frame_id > 0x7FF else frame_id
        lines.append(f"BO_ {written} Message{m}: 8 A")
        multiplexed = m % 10 == 0
        bit = 0
        if multiplexed:
            lines.append(' SG_ Page M : 0|4@1+ (1,0) [0|15] "" B')
            bit = 4
        for s in range(10 if not multiplexed else 8):
            length = rng.choice([1, 2, 4, 6, 8])
            if bit + length > 64:
                break
            mux = f" m{s % 3}" if multiplexed and s > 1 else ""
            if rng.random() < 0.5 and length <= 8 - bit % 8:
                # Big-endian on the same bits: its start bit is the most significant one.
                place = f"{bit + length - 1}|{length}@0"
            else:
                place = f"{bit}|{length}@1"
            sign = "-" if rng.random() < 0.3 else "+"
            scale = rng.choice(["1", "0.5", "0.1", "2"])
            lines.append(f' SG_ S{s}{mux} : {place}{sign} ({scale},0) [0|0] "u" B')
            if length <= 4 and rng.random() < 0.3:
                choices.append(f'VAL_ {written} S{s} 0 "Off" 1 "On" 2 "Error" ;')
            bit += length
        lines.append("")
    return "\n".join(lines + choices) + "\n"


def make_log(rng, db, count):
    ids = []
    for m in db.messages:
        ids.append(f"{m.frame_id:08X}" if m.is_extended_frame else f"{m.frame_id:03X}")
    out = []
    second = 1700000000
    for i in range(count):
        k = rng.randrange(len(ids))
        out.append(f"({second + i // 10000}.{(i % 10000) * 100:06d}) can{k % 2} {ids[k]}#"
                   f"{rng.getrandbits(64):016X}\n")
    return "".join(out).encode()


def status_bytes(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    return 0


def measure(runs, call):
    """Medians of (processor seconds, wall seconds) of call(), and the first call's pair."""
    cpu = []
    wall = []
    for _ in range(runs):
        c = time.process_time()
        w = time.perf_counter()
        result = call()
        cpu.append(time.process_time() - c)
        wall.append(time.perf_counter() - w)
        del result
    return statistics.median(cpu), statistics.median(wall), (cpu[0], wall[0])


def rate(count, seconds):
    return f"{count / seconds / 1e6:.2f} M/s"


def memory_child(dbc_path, log_path):
    """In a fresh process: the columns' bytes and the rise of the peak resident memory across
    decode_log, printed as two numbers."""
    db = dbc.load_file(dbc_path)
    log = cantext.read_log(log_path)
    # The peak is brought down to the present (Linux), so that read_log's own peak is not
    # taken for decode_log's.
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")
    before = status_bytes("VmRSS")
    columns = db.decode_log(log)
    rise = status_bytes("VmHWM") - before
    column_bytes = sum(c.time.nbytes + c.channel.nbytes +
                       sum(a.nbytes for a in c.signals.values()) for c in columns.values())
    print(column_bytes, rise)


def command_times(command, dbc_path, log_path, runs):
    """Medians of the command's processor and wall seconds over the capture to /dev/null."""
    cpu = []
    wall = []
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        w = time.perf_counter()
        subprocess.run([command, "decode", "--dbc", dbc_path, log_path],
                       stdout=subprocess.DEVNULL, check=True)
        wall.append(time.perf_counter() - w)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
    return statistics.median(cpu), statistics.median(wall)


def main():
    if sys.argv[1:2] == ["--memory"]:
        memory_child(sys.argv[2], sys.argv[3])
        return
    if sys.argv[1:2] == ["--write"]:
        rng = random.Random(26)
        text = make_database(rng, int(sys.argv[4]))
        with open(os.path.join(sys.argv[2], "bench.dbc"), "w") as f:
            f.write(text)
        with open(os.path.join(sys.argv[2], "capture.log"), "wb") as f:
            f.write(make_log(rng, dbc.load_string(text), int(sys.argv[3])))
        return
    lines = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
    messages = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    command = sys.argv[4] if len(sys.argv) > 4 else None
    rng = random.Random(26)
    text = make_database(rng, messages)
    db = dbc.load_string(text)
    signals = sum(len(m.signals) for m in db.messages) / len(db.messages)
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "capture.log")
        dbc_path = os.path.join(work, "bench.dbc")
        with open(dbc_path, "w") as f:
            f.write(text)
        with open(path, "wb") as f:
            f.write(make_log(rng, db, lines))
        log = cantext.read_log(path)
        print(f"{len(db.messages)} messages, {signals:.1f} signals a message on average; "
              f"{len(log)} frames, {os.path.getsize(path) / 1e6:.1f} MB")

        cpu, wall, first = measure(runs, lambda: db.decode_log(log))
        print(f"decode_log from the parsed log: {cpu * 1e3:.1f} ms processor "
              f"({rate(len(log), cpu)}), {wall * 1e3:.1f} ms wall ({rate(len(log), wall)}); "
              f"first call {first[0] * 1e3:.1f} ms processor, {first[1] * 1e3:.1f} ms wall")
        cpu, wall, _ = measure(runs, lambda: db.decode_log(cantext.read_log(path)))
        print(f"read_log + decode_log from the file: {cpu * 1e3:.1f} ms processor "
              f"({rate(len(log), cpu)}), {wall * 1e3:.1f} ms wall ({rate(len(log), wall)})")
        cpu, wall, _ = measure(runs, lambda: cantext.read_log(path))
        print(f"(read_log alone: {cpu * 1e3:.1f} ms processor, {wall * 1e3:.1f} ms wall)")
        if command:
            cpu, wall = command_times(command, dbc_path, path, runs)
            print(f"cantext decode --dbc to /dev/null: {cpu * 1e3:.1f} ms processor "
                  f"({rate(lines, cpu)} lines), {wall * 1e3:.1f} ms wall ({rate(lines, wall)})")

        child = subprocess.run([sys.executable, __file__, "--memory", dbc_path, path],
                               capture_output=True, text=True, check=True)
        column_bytes, rise = (int(v) for v in child.stdout.split())
        print(f"decode_log memory: columns {column_bytes / 1e6:.1f} MB, peak resident memory "
              f"rise {rise / 1e6:.1f} MB ({rise / column_bytes - 1:+.1%} beyond the columns)")

    calls = 200000
    frames = [(m.name if i % 2 else m.frame_id, bytes(rng.getrandbits(8) for _ in range(8)))
              for i, m in enumerate(rng.choices(db.messages, k=1000))]
    ten = [m for m in db.messages if len(m.signals) == 10][0]
    data = bytes(range(8))
    cpu, wall, _ = measure(runs, lambda: [db.decode_message(ten.frame_id, data)
                                          for _ in range(calls)])
    print(f"decode_message, a message of 10 signals: {cpu / calls * 1e6:.3f} us a call processor, "
          f"{wall / calls * 1e6:.3f} us wall (target {1 + 0.1 * 10:.1f} us)")
    cpu, wall, _ = measure(runs, lambda: [db.decode_message(k, d) for k, d in frames * 200])
    calls = len(frames) * 200
    print(f"decode_message, random messages by id or name: {cpu / calls * 1e6:.3f} us a call "
          f"processor, {wall / calls * 1e6:.3f} us wall")


if __name__ == "__main__":
    main()
