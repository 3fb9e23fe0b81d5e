#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Decodes random frames of every message of the given DBC files with cantext (the program named
first) and with canmatrix, and fails unless both give the same signals with the same raw and
physical values.  Exits 77 when canmatrix is not installed.

Usage: canmatrix_agrees.py DECODE_FRAMES FILE.dbc...
"""

import math
import random
import subprocess
import sys

FRAMES_PER_MESSAGE = 300

try:
    import canmatrix
    import canmatrix.formats
except ImportError:
    print("canmatrix is not installed (Debian: python3-canmatrix)")
    sys.exit(77)


def compact(frame_id, extended, data):
    name = f"{frame_id:08X}" if extended else f"{frame_id:03X}"
    separator = "##0" if len(data) > 8 else "#"
    return name + separator + data.hex().upper()


def random_payload(rng, frame):
    data = bytearray(rng.getrandbits(8) for _ in range(frame.size))
    # Multiplexers with small values reach the multiplexed signals more often than random bits.
    for signal in frame.signals:
        if signal.is_multiplexer and rng.random() < 0.8:
            value = rng.choice([0, 1, 2, 3, 4, 5, 7, 10, 11, 16, 17, 34, 46])
            set_bits(data, signal, value)
    return bytes(data)


def set_bits(data, signal, value):
    # The multiplexers of the test files are whole little-endian bytes.
    assert signal.is_little_endian and signal.size == 8 and signal.start_bit % 8 == 0
    data[signal.start_bit // 8] = value


def same_number(a, b):
    if isinstance(a, float) or isinstance(b, float):
        a, b = float(a), float(b)
        if math.isnan(a) and math.isnan(b):
            return True
        return a == b or abs(a - b) <= 1e-9 * max(1.0, abs(a), abs(b))
    return a == b


def canmatrix_values(frame, data):
    decoded = frame.decode(data)
    values = {}
    for name, value in decoded.items():
        values[name] = (value.raw_value, float(value.phys_value))
    return values


def cantext_values(line):
    fields = line.split()
    values = {}
    for field in fields[1:]:
        name, numbers = field.split("=", 1)
        raw, physical = numbers.split(":")
        values[name] = (float(raw) if any(c in raw for c in ".eEn") else int(raw), float(physical))
    return fields[0], values


def main():
    program, paths = sys.argv[1], sys.argv[2:]
    rng = random.Random(26)
    failures = 0
    compared = 0
    for path in paths:
        db = canmatrix.formats.loadp_flat(path)
        cases = []
        for frame in db.frames:
            if frame.size == 0:  # the file's message of no frame (VECTOR__INDEPENDENT_SIG_MSG)
                continue
            for _ in range(FRAMES_PER_MESSAGE):
                data = random_payload(rng, frame)
                cases.append((frame, data))
        text = "".join(compact(f.arbitration_id.id, f.arbitration_id.extended, d) + "\n"
                       for f, d in cases)
        run = subprocess.run([program, path], input=text, capture_output=True, text=True,
                             check=True)
        for (frame, data), line in zip(cases, run.stdout.splitlines(), strict=True):
            name, ours = cantext_values(line)
            theirs = canmatrix_values(frame, data)
            compared += 1
            problems = []
            if name != frame.name:
                problems.append(f"message {name}, canmatrix {frame.name}")
            if set(ours) != set(theirs):
                problems.append(f"signals {sorted(ours)}, canmatrix {sorted(theirs)}")
            for signal in set(ours) & set(theirs):
                (raw, physical), (their_raw, their_physical) = ours[signal], theirs[signal]
                if not same_number(raw, their_raw) or not same_number(physical, their_physical):
                    problems.append(f"{signal}: {raw}, {physical}; canmatrix {their_raw}, "
                                    f"{their_physical}")
            if problems:
                failures += 1
                if failures <= 10:
                    print(f"{path}: {compact(frame.arbitration_id.id, frame.arbitration_id.extended, data)}: "
                          + "; ".join(problems))
    print(f"{compared} frames compared, {failures} differ")
    return 1 if failures or compared == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
