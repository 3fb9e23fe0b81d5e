#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Speed of cantext.dask.read_logs with a DBC: FILES captures of LINES frames, read and decoded
(a generated database of MESSAGES messages, as bench/dbc_decode.py makes them), counted per
message, by

- a loop in this process: read_log, decode_log and to_pandas of every message, file after file
  (the tables the partitions hold), and the same without to_pandas;
- a distributed.LocalCluster of one worker process, then of two (one thread each, loopback).

Prints the seconds (median of RUNS runs after one not counted), frames per second, two workers
against one and one against the loop, and the load average before each figure.

Usage: PYTHONPATH=build/python:bench /usr/bin/python3 bench/dask_scale.py [FILES] [LINES]
[MESSAGES] [RUNS] (defaults 20, 1000000, 300, 3).  The captures are one generated capture
copied FILES times, in a temporary folder.
"""

import os
import random
import shutil
import statistics
import sys
import tempfile
import time

import dask
from distributed import Client, LocalCluster

import cantext
import cantext.dask
from cantext import dbc
from dbc_decode import make_database, make_log


def load():
    return os.getloadavg()[0]


def timed(runs, call):
    call()  # workers import the modules, the files come into the page cache
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        result = call()
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


def loop(files, db, tables=True):
    counts = {}
    for path in files:
        for name, columns in db.decode_log(cantext.read_log(path)).items():
            rows = len(columns.to_pandas()) if tables else len(columns)
            counts[name] = counts.get(name, 0) + rows
    return counts


def on_cluster(workers, files, db_path, runs):
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster):
        def count():
            messages = cantext.dask.read_logs(files, dbc=db_path)
            counts, = dask.compute({name: table.shape[0] for name, table in messages.items()})
            return {name: n for name, n in counts.items() if n}
        return timed(runs, count)


def main():
    files_count = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    lines = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    messages = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    rng = random.Random(1)
    folder = tempfile.mkdtemp(prefix="cantext-dask-")
    try:
        db_path = os.path.join(folder, "generated.dbc")
        with open(db_path, "w") as f:
            f.write(make_database(rng, messages))
        db = dbc.load_file(db_path)
        first = os.path.join(folder, "capture00.log")
        with open(first, "wb") as f:
            f.write(make_log(rng, db, lines))
        files = [first] + [shutil.copyfile(first, os.path.join(folder, f"capture{i:02}.log"))
                           for i in range(1, files_count)]
        frames = files_count * lines
        print(f"{files_count} captures of {lines} frames, {messages} messages, "
              f"{os.cpu_count()} processors; medians of {runs} runs")
        figures = {}
        for name, call in [("loop: read_log + decode_log + to_pandas", lambda: loop(files, db)),
                           ("loop: read_log + decode_log", lambda: loop(files, db, False)),
                           ("LocalCluster, 1 worker", lambda: on_cluster(1, files, db_path, runs)),
                           ("LocalCluster, 2 workers", lambda: on_cluster(2, files, db_path, runs))]:
            before = load()
            seconds, counts = call() if name.startswith("Local") else timed(runs, call)
            assert sum(counts.values()) == frames, (name, sum(counts.values()))
            figures[name] = seconds
            print(f"{name:42} {seconds:7.2f} s {frames / seconds / 1e6:6.2f} M frames/s "
                  f"(load {before:.1f} before, {load():.1f} after)")
        one, two = figures["LocalCluster, 1 worker"], figures["LocalCluster, 2 workers"]
        print(f"2 workers / 1 worker: {one / two:.2f}x; 1 worker / loop with to_pandas: "
              f"{figures['loop: read_log + decode_log + to_pandas'] / one:.2f} of its speed")
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
