#!/bin/sh
# SPDX-License-Identifier: MIT
# What reading a compressed capture costs: `cantext long FILE` to /dev/null on a log, plain and
# compressed with zstd, gzip and xz (each program's default level), and the library's
# decompression alone (`zstd -dc`, `gzip -dc`, `xz -dc` to /dev/null, and libzstd in-process with
# the input in memory, cantext_zstd_alone) for reference.
#   bench/compressed.sh [lines] [runs]     default: 2000000 lines, 7 runs of each
# Two logs: make_bus_log's, like a vehicle bus (periodic messages, data that change a little;
# compresses as real captures do), and make_log's random frames (compresses far less).  Builds
# in Release (in build-bench/, or $CANTEXT_BENCH_BUILD), checks that every compressed file reads
# as the plain one, then alternates the runs.  Prints the medians of the processor time (user +
# system) and of the wall-clock time, and their ratios to the plain log's: a compressed file is
# decompressed in a second thread, so its wall-clock time is less than its processor time where
# a second core is free.
set -eu
cd "$(dirname "$0")/.."
lines=${1:-2000000}
runs=${2:-7}
build=${CANTEXT_BENCH_BUILD:-build-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCANTEXT_BUILD_TESTS=OFF \
  -DCANTEXT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target cantext_command cantext_make_log cantext_make_bus_log \
  cantext_time_run cantext_zstd_alone >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command="$build/tools/cantext"
time_run="$build/bench/cantext_time_run"
"$build/bench/cantext_make_bus_log" "$lines" >"$work/bus.log"
"$build/bench/cantext_make_log" "$lines" 1 >"$work/random.log"
kinds="zst gz xz"
for log in bus random; do
  zstd -q -c "$work/$log.log" >"$work/$log.log.zst"
  gzip -c "$work/$log.log" >"$work/$log.log.gz"
  xz -T0 -c "$work/$log.log" >"$work/$log.log.xz"
  "$command" long "$work/$log.log" >"$work/$log.out"
  for kind in $kinds; do
    "$command" long "$work/$log.log.$kind" | cmp -s - "$work/$log.out" ||
      { echo "$log.log.$kind reads otherwise than $log.log" >&2; exit 1; }
  done
done

decompressor() {
  case $1 in zst) command -v zstd ;; gz) command -v gzip ;; xz) command -v xz ;; esac
}
for log in bus random; do
  for kind in plain $kinds; do : >"$work/times.$log.$kind"; done
  for kind in $kinds; do : >"$work/alone.$log.$kind"; done
  i=0
  while [ "$i" -lt "$runs" ]; do
    "$time_run" /dev/null /dev/null "$command" long "$work/$log.log" >>"$work/times.$log.plain"
    for kind in $kinds; do
      "$time_run" /dev/null /dev/null "$command" long "$work/$log.log.$kind" \
        >>"$work/times.$log.$kind"
      "$time_run" "$work/$log.log.$kind" /dev/null "$(decompressor "$kind")" -dc \
        >>"$work/alone.$log.$kind"
    done
    i=$((i + 1))
  done
done

# Median of the processor time (user + system) of a times file, or with `wall` of the wall-clock
# time.
median() {
  awk -v wall="${2:-}" '{ print wall != "" ? $1 : $2 + $3 }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "$lines lines; medians of $runs runs each, processor time (user + system) and wall-clock time"
echo "machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores," \
  "load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
for log in bus random; do
  plain=$(median "$work/times.$log.plain")
  plain_wall=$(median "$work/times.$log.plain" wall)
  echo "$log log: $(wc -c <"$work/$log.log") bytes"
  awk -v t="$plain" -v w="$plain_wall" 'BEGIN {
    printf "    %-22s %7.3f s processor %7.3f s wall\n", "cantext long, plain", t, w
  }'
  for kind in $kinds; do
    t=$(median "$work/times.$log.$kind")
    w=$(median "$work/times.$log.$kind" wall)
    a=$(median "$work/alone.$log.$kind")
    awk -v t="$t" -v p="$plain" -v w="$w" -v pw="$plain_wall" -v a="$a" \
      -v name="cantext long, .$kind" -v size="$(wc -c <"$work/$log.log.$kind")" \
      -v tool="$(basename "$(decompressor "$kind")")" 'BEGIN {
      printf "    %-22s %7.3f s %5.2fx    %7.3f s %5.2fx   (%d bytes; %s -dc %.3f s, %.2fx)\n",
        name, t, t / p, w, w / pw, size, tool, a, a / p
    }'
  done
  if [ -x "$build/bench/cantext_zstd_alone" ]; then
    echo "    libzstd alone, in-process, input in memory (cantext_zstd_alone):"
    "$build/bench/cantext_zstd_alone" "$work/$log.log.zst" "$runs" | sed 1d
  fi
done
