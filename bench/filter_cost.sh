#!/bin/sh
# SPDX-License-Identifier: MIT
# What selecting frames costs when it drops none: `cantext compact` and `cantext long` on the
# benchmark's generated log (channels can0 and can1, a fifth of the frames extended), each
# without a filter and with filters that keep every frame but test each: both channels (the
# name that matches half of the frames second), two --id mask pairs (standard and extended, the
# extended frames matching the second), and both together.
#   bench/filter_cost.sh [lines] [runs]             default: 2000000 lines, 11 runs of each
#   bench/filter_cost.sh --instructions [lines]     default: 200000 lines
# Builds in Release (in build-bench/, or $CANTEXT_BENCH_BUILD), checks that every filtered
# output is the same bytes as the unfiltered one, then runs them all in turn, `runs` times,
# with the output to /dev/null, and prints the median and the least processor time (user +
# system) of each, and each filter's cost as a share of the unfiltered runs'.  With
# --instructions it runs each once under valgrind's callgrind instead and prints the
# instructions it counted: steadier than times on a busy machine, but blind to what makes an
# instruction slow.
set -eu
cd "$(dirname "$0")/.."
count=false
if [ "${1:-}" = --instructions ]; then
  count=true
  shift
  lines=${1:-200000}
  runs=1
else
  lines=${1:-2000000}
  runs=${2:-11}
fi
build=${CANTEXT_BENCH_BUILD:-build-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCANTEXT_BUILD_TESTS=OFF \
  -DCANTEXT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target cantext_command cantext_make_log cantext_time_run >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/cantext_make_log" "$lines" 1 >"$work/log"
command="$build/tools/cantext"
time_run="$build/bench/cantext_time_run"

filters="none channel id both"
options() {
  case $1 in
    none) ;;
    channel) echo "--channel can1,can0" ;;
    id) echo "--id 000:000,00000000:00000000" ;;
    both) echo "--channel can1,can0 --id 000:000,00000000:00000000" ;;
  esac
}

for view in compact long; do
  "$command" $view <"$work/log" >"$work/plain"
  for filter in $filters; do
    # shellcheck disable=SC2046
    "$command" $view $(options "$filter") <"$work/log" | cmp -s - "$work/plain" ||
      { echo "$view $(options "$filter") changed the output" >&2; exit 1; }
    : >"$work/times.$view.$filter"
  done
done
rm -f "$work/plain"

# One run: the instructions counted, or a "wall user system peak" line of cantext_time_run.
run() {
  if $count; then
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$command" "$@" <"$work/log" \
      2>&1 >/dev/null | awk '/Collected/ { print 0, $4, 0 }'
  else
    "$time_run" "$work/log" /dev/null "$command" "$@"
  fi
}

i=0
while [ "$i" -lt "$runs" ]; do
  for view in compact long; do
    for filter in $filters; do
      # shellcheck disable=SC2046
      run $view $(options "$filter") >>"$work/times.$view.$filter"
    done
  done
  i=$((i + 1))
done

# Median, or with `fastest` the least, of user + system of a times file ("wall user system
# peak" lines).  Other work on the machine only ever adds time, so on a busy machine the
# fastest runs are the steadier measure.
median() {
  awk '{ print $2 + $3 }' "$1" | sort -g | awk -v fastest="${2:-}" '{ v[NR] = $1 } END {
    print fastest != "" ? v[1] : (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
  }'
}

if $count; then
  echo "input: $lines lines, $(wc -c <"$work/log") bytes; instructions counted by callgrind"
else
  echo "input: $lines lines, $(wc -c <"$work/log") bytes; $runs runs of each, processor time," \
    "output to /dev/null; load average $(cut -d ' ' -f 1-3 /proc/loadavg)"
  echo "  (median, and fastest run, of each)"
fi
for view in compact long; do
  plain=$(median "$work/times.$view.none")
  least=$(median "$work/times.$view.none" fastest)
  for filter in $filters; do
    t=$(median "$work/times.$view.$filter")
    f=$(median "$work/times.$view.$filter" fastest)
    awk -v p="$plain" -v t="$t" -v lp="$least" -v f="$f" -v l="$lines" -v count="$count" \
      -v name="cantext $view $(options "$filter")" 'BEGIN {
      if (count == "true")
        printf "  %-66s %11d  %6.1f a line  %+5.1f%%\n", name, t, t / l, 100 * (t - p) / p
      else
        printf "  %-66s %.4f s %+5.1f%%   %.4f s %+5.1f%%\n", name, t, 100 * (t - p) / p,
          f, 100 * (f - lp) / lp
    }'
  done
done
