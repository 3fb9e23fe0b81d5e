#!/bin/sh
# SPDX-License-Identifier: MIT
# What selecting frames costs when it drops none: `cantext compact` and `cantext long` on the
# benchmark's generated log, each without a filter and with one that keeps every frame but has
# to test each (two --id mask pairs, standard and extended, and both channels, the one that
# matches half of the frames named second).
#   bench/filter_cost.sh [lines] [runs]     default: 2000000 lines, 11 runs of each
# Builds in Release (in build-bench/, or $CANTEXT_BENCH_BUILD), checks that the filtered output
# is the same bytes as the unfiltered one, then runs the four alternately with the output to
# /dev/null and prints the medians of the processor time (user + system) and the filter's cost
# as a share of the unfiltered run.
set -eu
cd "$(dirname "$0")/.."
lines=${1:-2000000}
runs=${2:-11}
build=${CANTEXT_BENCH_BUILD:-build-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCANTEXT_BUILD_TESTS=OFF \
  -DCANTEXT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target cantext_command cantext_make_log cantext_time_run >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/cantext_make_log" "$lines" 1 >"$work/log"
command="$build/tools/cantext"
time_run="$build/bench/cantext_time_run"
keep_all="--id 000:000,00000000:00000000 --channel can1,can0"

for view in compact long; do
  # shellcheck disable=SC2086
  "$command" $view $keep_all <"$work/log" >"$work/filtered"
  "$command" $view <"$work/log" | cmp -s - "$work/filtered" ||
    { echo "the filter that keeps every frame changed the output of $view" >&2; exit 1; }
done
rm -f "$work/filtered"

for view in compact long; do : >"$work/times.$view.plain"; : >"$work/times.$view.filtered"; done
i=0
while [ "$i" -lt "$runs" ]; do
  for view in compact long; do
    "$time_run" "$work/log" /dev/null "$command" $view >>"$work/times.$view.plain"
    # shellcheck disable=SC2086
    "$time_run" "$work/log" /dev/null "$command" $view $keep_all >>"$work/times.$view.filtered"
  done
  i=$((i + 1))
done

# Median of user + system of a times file ("wall user system peak" lines).
median() {
  awk '{ print $2 + $3 }' "$1" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo "input: $lines lines, $(wc -c <"$work/log") bytes; medians of $runs alternating runs," \
  "processor time, output to /dev/null"
echo "filter: $keep_all"
for view in compact long; do
  plain=$(median "$work/times.$view.plain")
  filtered=$(median "$work/times.$view.filtered")
  awk -v p="$plain" -v f="$filtered" -v l="$lines" -v name="cantext $view" 'BEGIN {
    printf "  %-16s %.3f s (%.1f M lines/s), filtered %.3f s (%.1f M lines/s): %+.1f%%\n",
      name, p, l / p / 1e6, f, l / f / 1e6, 100 * (f - p) / p
  }'
done
