#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with clang (ASan, UBSan and the fuzzing engine) and runs each for
# SECONDS, starting from its checked-in corpus.
#   fuzz/run.sh [SECONDS] [TARGET...]      default: 60 seconds, every target
# New inputs go to $CANTEXT_FUZZ_BUILD/corpus/<target> (default fuzz/build), inputs that break
# a target to $CANTEXT_FUZZ_BUILD/artifacts/; the checked-in corpus is only read.  Each run is
# bounded by `timeout`, so a hang in a target cannot stall the caller.
set -eu
cd "$(dirname "$0")/.."

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-parse_frame long_form compact_form error_description hex_string line_loop python_fields command}
build=${CANTEXT_FUZZ_BUILD:-fuzz/build}
cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cxx" ]; then
  echo "fuzz/run.sh: clang++ not found" >&2
  exit 1
fi

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCANTEXT_FUZZ=ON -DCANTEXT_SANITIZE=ON -DCANTEXT_BUILD_TESTS=OFF -DCANTEXT_BUILD_EXAMPLES=OFF \
  >/dev/null
mkdir -p "$build/artifacts" "$build/logs"
if ! cmake --build "$build" -j 2 >"$build/logs/build.log" 2>&1; then
  tail -n 40 "$build/logs/build.log" >&2
  exit 1
fi
status=0
for target in $targets; do
  mkdir -p "$build/corpus/$target"
  case $target in
    line_loop | python_fields) extra="-max_len=16384" ;;  # room for lines read in several pieces
    command) extra="-max_len=8192" ;;     # room for a long line over a few files
    error_description) extra="-close_fd_mask=2" ;;  # invalid classes are reported on stderr
    *) extra="" ;;
  esac
  log="$build/logs/$target.log"
  # shellcheck disable=SC2086
  if timeout -k 10 $((seconds + 120)) "$build/fuzz/fuzz_$target" -max_total_time="$seconds" \
    -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" $extra \
    "$build/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: ${runs:-?} executions in ${seconds} s, no finding"
  else
    status=1
    echo "$target: FAILED (log: $log)" >&2
    tail -n 40 "$log" >&2
  fi
done
exit $status
