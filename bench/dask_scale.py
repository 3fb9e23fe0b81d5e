#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Speed of cantext.dask.read_logs with a DBC: FILES captures of LINES frames, read and decoded
(a generated database of MESSAGES messages, as bench/dbc_decode.py makes them), and the frames
of the first TAKEN messages (0: all) counted from their pandas tables, by

- a loop in this process: read_log, decode_log and to_pandas of those messages, file after file
  (the tables the partitions hold), and the same without to_pandas;
- a distributed.LocalCluster of one worker process, then of two (one thread each, loopback),
  each started afresh for each run and its first computation not timed.

The four are run in turn, RUNS rounds after one not counted, so that a change in the machine's
load falls on all alike.  Prints the median seconds of each, frames read per second, two workers
against one and one against the loop, and the load average over the rounds.

Each is measured with every worker (and the loop) held to one processor, so that read_log reads
on one thread, and the scheduler to the processors no worker is held to, if any (pinned), and
with none held (free), or only one of the two (MODE pinned or free).
With CANTEXT set to the cantext command, a shell loop of `cantext decode --dbc` per file (its
text to /dev/null) is measured too, one file at a time and two at a time (xargs -P 2).

Usage: PYTHONPATH=build/python:bench /usr/bin/python3 bench/dask_scale.py [FILES] [LINES]
[MESSAGES] [TAKEN] [RUNS] [MODE] (defaults 20, 1000000, 300, 8, 3, both).  The captures are one
generated capture copied FILES times, in a temporary folder.
"""

import contextlib
import functools
import os
import random
import shutil
import statistics
import subprocess
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


def loop(files, db, taken, tables=True):
    counts = dict.fromkeys(taken, 0)
    for path in files:
        decoded = db.decode_log(cantext.read_log(path))
        for name in taken:
            counts[name] += len(decoded[name].to_pandas()) if tables else len(decoded[name])
    return counts


def on_cluster(workers, pinned, files, db, taken):
    """A call that starts a LocalCluster of `workers` workers, counts once not timed (the workers
    import the modules), then once timed, and stops it: the seconds and the counts.  Only one
    cluster is running at a time, so that no idle one takes a share of the processors."""
    def call():
        # Pinned, the scheduler (threads of this process) runs on the processors no worker is
        # held to, where there are any, as a service would place it: left free, Linux often
        # wakes it on a busy worker's processor, which then waits for it.
        processors = sorted(os.sched_getaffinity(0))
        spare = set(processors[workers:]) if pinned else set()
        with held_to(spare), LocalCluster(n_workers=workers, threads_per_worker=1,
                                          processes=True, host="127.0.0.1",
                                          dashboard_address=None) as local, \
                Client(local) as client:
            # Each worker a session of its own, as a service would start it: Linux shares the
            # processors out among sessions first (autogroups), so that on a machine busy with
            # others' work the workers of one session would share one session's part.
            client.run(os.setsid)
            if pinned:
                # Worker i on the i-th processor: read_log then reads on one thread (it takes the
                # threads of the processors its process may use).
                for i, address in enumerate(client.scheduler_info()["workers"]):
                    client.run(os.sched_setaffinity, 0, {processors[i]}, workers=[address])

            def count():
                messages = cantext.dask.read_logs(files, dbc=db)
                # index.size, not shape[0]: shape[0] is a Delayed, whose graph Dask does not
                # fuse, so that each part's count would be a task of its own (twice the tasks).
                sizes = {name: messages[name].index.size for name in taken}
                return dask.compute(sizes, scheduler=client)[0]
            count()
            start = time.perf_counter()
            counts = count()
            return time.perf_counter() - start, counts
    return call


@contextlib.contextmanager
def held_to(processors):
    """Every thread of this process, and those it starts, on `processors` (none: unchanged)."""
    threads = [int(t) for t in os.listdir("/proc/self/task")]
    before = {t: os.sched_getaffinity(t) for t in threads}
    try:
        for t in threads if processors else ():
            os.sched_setaffinity(t, processors)
        yield
    finally:
        for t in map(int, os.listdir("/proc/self/task")):
            try:
                os.sched_setaffinity(t, before.get(t, before[os.getpid()]))
            except ProcessLookupError:  # a thread that has ended since
                pass


def timed_once(call):
    start = time.perf_counter()
    result = call()
    return time.perf_counter() - start, result


def pinned_here(call):
    """call() with this process on the first processor only."""
    def run():
        allowed = os.sched_getaffinity(0)
        os.sched_setaffinity(0, {min(allowed)})
        try:
            return call()
        finally:
            os.sched_setaffinity(0, allowed)
    return run


def shell_loops(command, db_path, files, runs):
    lines = len(files) * sum(1 for _ in open(files[0], "rb"))
    loops = {"one at a time": 'for f in "$@"; do "$CANTEXT" decode --dbc "$DBC" "$f"; done',
             "two at a time": 'printf "%s\\0" "$@" | xargs -0 -n 1 -P 2 "$CANTEXT" decode --dbc "$DBC"'}
    env = dict(os.environ, CANTEXT=command, DBC=db_path)
    print("a shell loop of cantext decode per file, its text to /dev/null")
    for name, script in loops.items():
        before = load()
        seconds, _ = timed(runs, lambda: subprocess.run(
            ["sh", "-c", script, "sh", *files], env=env, stdout=subprocess.DEVNULL, check=True))
        print(f"  {name:42} {seconds:7.2f} s {lines / seconds / 1e6:6.2f} M frames/s "
              f"(load {before:.1f} before, {load():.1f} after)")


def processor_ticks():
    """The machine's processor time so far (Linux's /proc/stat: user to steal), or None."""
    try:
        with open("/proc/stat") as f:
            return [int(n) for n in f.readline().split()[1:9]]
    except OSError:
        return None


def stolen(before, after):
    """The share of the processors' time between two processor_ticks() that a virtual machine's
    host gave to others (steal), which slows every step alike."""
    if before is None or after is None:
        return 0.0
    spent = [b - a for a, b in zip(before, after)]
    return spent[7] / max(1, sum(spent))


def measure(pinned, files, db, names, runs):
    lines = len(files) * sum(1 for _ in open(files[0], "rb"))
    print("each worker, and the loop, on one processor" if pinned else
          "no processor set: read_log reads on a thread per idle processor")
    steps = {"loop: read_log + decode_log + to_pandas": lambda: loop(files, db, names),
             "loop: read_log + decode_log": lambda: loop(files, db, names, False)}
    for name in steps:
        steps[name] = functools.partial(timed_once, pinned_here(steps[name]) if pinned
                                        else steps[name])
    steps["LocalCluster, 1 worker"] = on_cluster(1, pinned, files, db, names)
    steps["LocalCluster, 2 workers"] = on_cluster(2, pinned, files, db, names)
    # Each step once in turn, run after run, so that a change in the machine's load falls on all
    # of them alike; the first round, not counted, warms the loop and the page cache.
    times = {name: [] for name in steps}
    loads = []
    ticks = processor_ticks()
    expected = None
    for run in range(runs + 1):
        loads.append(load())
        for name, call in steps.items():
            seconds, counts = call()
            if run:
                times[name].append(seconds)
            expected = expected or counts
            assert counts == expected, name
    figures = {name: statistics.median(t) for name, t in times.items()}
    for name, seconds in figures.items():
        each = " ".join(f"{t:.2f}" for t in times[name])
        print(f"  {name:42} {seconds:7.2f} s {lines / seconds / 1e6:6.2f} M frames/s  ({each})")
    print(f"  load average {min(loads):.1f} to {max(loads):.1f} over the runs; "
          f"{stolen(ticks, processor_ticks()):.1%} of the processors' time taken by the host")
    one, two = figures["LocalCluster, 1 worker"], figures["LocalCluster, 2 workers"]
    print(f"  2 workers / 1 worker: {one / two:.2f}x; 1 worker against the loop with to_pandas: "
          f"{figures['loop: read_log + decode_log + to_pandas'] / one:.2f} of its speed")


def main():
    files_count = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    lines = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    messages = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    taken = int(sys.argv[4]) if len(sys.argv) > 4 else 8
    runs = int(sys.argv[5]) if len(sys.argv) > 5 else 3
    mode = sys.argv[6] if len(sys.argv) > 6 else "both"
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
        names = [m.name for m in db.messages][:taken or None]
        print(f"{files_count} captures of {lines} frames, {messages} messages of which "
              f"{len(names)} taken, {os.cpu_count()} processors; medians of {runs} runs")
        for pinned in (True, False):
            if mode in ("both", "pinned" if pinned else "free"):
                measure(pinned, files, db, names, runs)
        if os.environ.get("CANTEXT"):
            shell_loops(os.environ["CANTEXT"], db_path, files, runs)
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
