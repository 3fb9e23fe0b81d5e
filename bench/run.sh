#!/bin/sh
# SPDX-License-Identifier: MIT
# Throughput of cantext-long and of the cantext command's views against the stdio baseline on
# the same generated log.
#   bench/run.sh [lines] [runs]     default: 2000000 lines, 7 runs of each
# Builds them in Release (in build-bench/, or $CANTEXT_BENCH_BUILD), generates the log into a
# temporary directory, checks that the baseline, cantext-long and `cantext long` print the same
# bytes and that `cantext compact` prints a log cantext-long converts to them too, then runs
# them in turn with the output to /dev/null and to a file.  Prints the medians of the
# wall-clock time and of the processor time (user + system; steadier on a busy machine),
# lines/s, MB/s of input and the ratios, each program's peak memory, and the share of the
# filter's time that reading the log alone takes.
set -eu
cd "$(dirname "$0")/.."
lines=${1:-2000000}
runs=${2:-7}
build=${CANTEXT_BENCH_BUILD:-build-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCANTEXT_BUILD_TESTS=OFF \
  -DCANTEXT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target cantext-long cantext_command cantext_baseline_stdio_filter \
  cantext_make_log cantext_time_run >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/cantext_make_log" "$lines" 1 >"$work/log"
bytes=$(wc -c <"$work/log")
filter="$build/tools/cantext-long"
command="$build/tools/cantext"
baseline="$build/bench/cantext_baseline_stdio_filter"
time_run="$build/bench/cantext_time_run"
cat=$(command -v cat)

# The programs measured, by name.
programs="baseline filter long explain binary compact"
label() {
  case $1 in
    baseline) echo "baseline" ;;
    filter) echo "cantext-long" ;;
    long) echo "cantext long" ;;
    explain) echo "cantext long --explain" ;;
    binary) echo "cantext long --binary" ;;
    compact) echo "cantext compact" ;;
  esac
}
# Runs program $1 on the log, its output to $2, through time_run (or any runner given as $3).
run() {
  runner=${3:-$time_run}
  case $1 in
    baseline) "$runner" "$work/log" "$2" "$baseline" ;;
    filter) "$runner" "$work/log" "$2" "$filter" ;;
    long) "$runner" "$work/log" "$2" "$command" long ;;
    explain) "$runner" "$work/log" "$2" "$command" long --explain ;;
    binary) "$runner" "$work/log" "$2" "$command" long --binary ;;
    compact) "$runner" "$work/log" "$2" "$command" compact ;;
  esac
}
# Runs a program with its input and output redirected, as time_run does, but untimed.
redirect() {
  in=$1 out=$2
  shift 2
  "$@" <"$in" >"$out"
}

# They must print the same bytes, or the comparison means nothing.
for prog in baseline filter long compact; do run "$prog" "$work/out.$prog" redirect; done
cmp -s "$work/out.filter" "$work/out.baseline" || { echo "outputs differ: baseline" >&2; exit 1; }
cmp -s "$work/out.filter" "$work/out.long" || { echo "outputs differ: cantext long" >&2; exit 1; }
"$filter" <"$work/out.compact" | cmp -s "$work/out.filter" - ||
  { echo "cantext compact: its log converts to other text" >&2; exit 1; }
out_bytes=$(wc -c <"$work/out.filter")
rm -f "$work"/out.*

: >"$work/times.read"
for dest in null file; do
  target=/dev/null
  [ "$dest" = file ] && target="$work/out"
  for prog in $programs; do : >"$work/times.$prog.$dest"; done
  i=0
  while [ "$i" -lt "$runs" ]; do
    for prog in $programs; do run "$prog" "$target" >>"$work/times.$prog.$dest"; done
    # Reading the log alone: the kernel's share, which no program can avoid.
    if [ "$dest" = null ]; then "$time_run" "$work/log" /dev/null "$cat" >>"$work/times.read"; fi
    i=$((i + 1))
  done
done
rm -f "$work/out"

# Median of column $1 (1 wall, 4 user + system) of a times file.
median() {
  awk -v c="$1" '{ print (c == 4) ? $2 + $3 : $c }' "$2" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "input: $lines lines, $bytes bytes; output of cantext-long: $out_bytes bytes;" \
  "medians of $runs runs each"
echo "machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores," \
  "load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
for dest in null file; do
  [ "$dest" = null ] && echo "output to /dev/null:" || echo "output to a file:"
  for col in 1 4; do
    [ "$col" = 1 ] && echo "  wall-clock time" || echo "  processor time (user + system)"
    f=$(median "$col" "$work/times.filter.$dest")
    for prog in $programs; do
      t=$(median "$col" "$work/times.$prog.$dest")
      awk -v t="$t" -v f="$f" -v l="$lines" -v n="$bytes" -v name="$(label "$prog")" 'BEGIN {
        printf "    %-24s %7.3f s  %10.0f lines/s  %7.1f MB/s  %5.2fx cantext-long\n",
          name, t, l / t, n / t / 1e6, f / t
      }'
    done
  done
done
echo "peak memory (largest of all runs):"
for prog in $programs; do
  cat "$work/times.$prog.null" "$work/times.$prog.file" |
    awk -v name="$(label "$prog")" '$4 > m { m = $4 } END { printf "    %-24s %6d KiB\n", name, m }'
done
r=$(median 4 "$work/times.read")
f=$(median 4 "$work/times.filter.null")
awk -v r="$r" -v f="$f" 'BEGIN {
  printf "reading the log alone (cat to /dev/null): %.3f s of processor time, %.0f%% of cantext-long'"'"'s\n",
    r, 100 * r / f
}'
