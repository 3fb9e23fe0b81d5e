#!/bin/sh
# SPDX-License-Identifier: MIT
# Throughput of cantext-long against the stdio baseline on the same generated log.
#   bench/run.sh [lines] [runs]     default: 2000000 lines, 7 runs of each
# Builds both in Release (in build-bench/, or $CANTEXT_BENCH_BUILD), generates the log into a
# temporary directory, checks that both print the same bytes, then runs them alternately with
# the output to /dev/null and to a file.  Prints the medians of the wall-clock time and of the
# processor time (user + system; steadier on a busy machine), lines/s, MB/s of input and the
# ratios, and the share of the filter's time that reading the log alone takes.
set -eu
cd "$(dirname "$0")/.."
lines=${1:-2000000}
runs=${2:-7}
build=${CANTEXT_BENCH_BUILD:-build-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCANTEXT_BUILD_TESTS=OFF \
  -DCANTEXT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target cantext-long cantext_baseline_stdio_filter \
  cantext_make_log cantext_time_run >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/cantext_make_log" "$lines" 1 >"$work/log"
bytes=$(wc -c <"$work/log")
filter="$build/tools/cantext-long"
baseline="$build/bench/cantext_baseline_stdio_filter"
time_run="$build/bench/cantext_time_run"
cat=$(command -v cat)

# Both must print the same bytes, or the comparison means nothing.
"$filter" <"$work/log" >"$work/out.filter"
"$baseline" <"$work/log" >"$work/out.baseline"
cmp -s "$work/out.filter" "$work/out.baseline" || { echo "outputs differ" >&2; exit 1; }
out_bytes=$(wc -c <"$work/out.filter")

: >"$work/times.read"
for dest in null file; do
  target=/dev/null
  [ "$dest" = file ] && target="$work/out"
  for prog in baseline filter; do : >"$work/times.$prog.$dest"; done
  i=0
  while [ "$i" -lt "$runs" ]; do
    "$time_run" "$work/log" "$target" "$baseline" >>"$work/times.baseline.$dest"
    "$time_run" "$work/log" "$target" "$filter" >>"$work/times.filter.$dest"
    # Reading the log alone: the kernel's share, which neither program can avoid.
    if [ "$dest" = null ]; then "$time_run" "$work/log" /dev/null "$cat" >>"$work/times.read"; fi
    i=$((i + 1))
  done
done

# Median of column $1 (1 wall, 4 user + system) of a times file.
median() {
  awk -v c="$1" '{ print (c == 4) ? $2 + $3 : $c }' "$2" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "input: $lines lines, $bytes bytes; output: $out_bytes bytes; medians of $runs runs each"
echo "machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores," \
  "load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
for dest in null file; do
  [ "$dest" = null ] && echo "output to /dev/null:" || echo "output to a file:"
  for col in 1 4; do
    b=$(median "$col" "$work/times.baseline.$dest")
    f=$(median "$col" "$work/times.filter.$dest")
    awk -v b="$b" -v f="$f" -v l="$lines" -v n="$bytes" -v c="$col" 'BEGIN {
      printf "  %s\n", (c == 1) ? "wall-clock time" : "processor time (user + system)"
      printf "    baseline      %7.3f s  %10.0f lines/s  %7.1f MB/s\n", b, l / b, n / b / 1e6
      printf "    cantext-long  %7.3f s  %10.0f lines/s  %7.1f MB/s\n", f, l / f, n / f / 1e6
      printf "    ratio         %7.1fx\n", b / f
    }'
  done
done
r=$(median 4 "$work/times.read")
f=$(median 4 "$work/times.filter.null")
awk -v r="$r" -v f="$f" 'BEGIN {
  printf "reading the log alone (cat to /dev/null): %.3f s of processor time, %.0f%% of cantext-long'"'"'s\n",
    r, 100 * r / f
}'
