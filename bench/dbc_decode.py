#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Speed and memory of DBC decoding in Python: a generated database of MESSAGES messages of
about ten signals each (both byte orders, signed, scaled, some with choices, a tenth of the
messages multiplexed) and a generated capture of LINES frames over them, then

- decode_log from the parsed log (frames/s),
- read_log + decode_log from the file (frames/s),
- decode_message per call (us, and us per signal),
- the memory decode_log takes beyond its columns (peak resident memory while it runs).

Usage: PYTHONPATH=build/python /usr/bin/python3 bench/dbc_decode.py [LINES] [MESSAGES] [RUNS]
(defaults 1000000, 300, 5); the medians of RUNS runs are printed.
"""

import os
import random
import statistics
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


def peak_rss_bytes():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) * 1024
    return 0


def rss_bytes():
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    return 0


def median_time(runs, call):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        result = call()
        times.append(time.perf_counter() - start)
        del result
    return statistics.median(times)


def main():
    lines = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
    messages = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    rng = random.Random(26)
    db = dbc.load_string(make_database(rng, messages))
    signals = sum(len(m.signals) for m in db.messages) / len(db.messages)
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "capture.log")
        with open(path, "wb") as f:
            f.write(make_log(rng, db, lines))
        log = cantext.read_log(path)
        print(f"{len(db.messages)} messages, {signals:.1f} signals a message on average; "
              f"{len(log)} frames, {os.path.getsize(path) / 1e6:.1f} MB")

        decode = median_time(runs, lambda: db.decode_log(log))
        print(f"decode_log from the parsed log: {decode * 1e3:.1f} ms, "
              f"{len(log) / decode / 1e6:.2f} M frames/s")
        both = median_time(runs, lambda: db.decode_log(cantext.read_log(path)))
        print(f"read_log + decode_log from the file: {both * 1e3:.1f} ms, "
              f"{len(log) / both / 1e6:.2f} M frames/s")

        # Memory: the columns' bytes against the rise of the peak resident memory while
        # decode_log runs (the peak is reset first; Linux only).
        before = rss_bytes()
        try:
            with open("/proc/self/clear_refs", "w") as f:
                f.write("5")
            reset = True
        except OSError:
            reset = False
        columns = db.decode_log(log)
        peak = peak_rss_bytes()
        column_bytes = sum(c.time.nbytes + c.channel.nbytes + sum(a.nbytes for a in
                                                                  c.signals.values())
                           for c in columns.values())
        if reset:
            print(f"decode_log memory: columns {column_bytes / 1e6:.1f} MB, peak rise "
                  f"{(peak - before) / 1e6:.1f} MB ({(peak - before) / column_bytes - 1:+.1%})")
        del columns

    calls = 200000
    frames = [(m.name if i % 2 else m.frame_id, bytes(rng.getrandbits(8) for _ in range(8)))
              for i, m in enumerate(rng.choices(db.messages, k=1000))]
    ten = [m for m in db.messages if len(m.signals) == 10][0]
    data = bytes(range(8))
    one = median_time(runs, lambda: [db.decode_message(ten.frame_id, data)
                                     for _ in range(calls)]) / calls
    print(f"decode_message, a message of 10 signals: {one * 1e6:.3f} us a call "
          f"(target {1 + 0.1 * 10:.1f} us)")
    mixed = median_time(runs, lambda: [db.decode_message(k, d) for k, d in frames * 200]) / (
        len(frames) * 200)
    print(f"decode_message, random messages by id or name: {mixed * 1e6:.3f} us a call")


if __name__ == "__main__":
    main()
