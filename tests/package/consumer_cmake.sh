#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the built project into a scratch prefix, moves the prefix elsewhere, and builds and
# runs the outside project in tests/consumer against it with find_package(cantext).
# Usage: consumer_cmake.sh CMAKE BUILD_DIR CONSUMER_DIR WORK_DIR EXPECTED CXX CROSS [CXXFLAGS]
set -eu
cmake=$1 build=$2 consumer=$3 work=$4 expected=$5 cxx=$6 cross=$7 cxxflags=${8:-}

case $cross in 1 | ON | TRUE | true) echo "cross build: the consumer cannot run here"; exit 77 ;; esac

rm -rf "$work"
mkdir -p "$work"
"$cmake" --install "$build" --prefix "$work/staging" >/dev/null
# Nothing in the installed files may point back to where they were installed.
mv "$work/staging" "$work/moved"

"$cmake" -S "$consumer" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_PREFIX_PATH="$work/moved" >"$work/configure.log"
found=$(sed -n 's/^cantext_DIR:PATH=//p' "$work/build/CMakeCache.txt")
case $found in
  "$work/moved"/*) ;;
  *) echo "find_package found cantext in '$found', not in the moved prefix"; exit 1 ;;
esac
"$cmake" --build "$work/build" >"$work/build.log" || { cat "$work/build.log"; exit 1; }
"$cmake" -DVERSION_FILE="$found/cantext-config-version.cmake" \
  -P "$(dirname "$0")/package_version.cmake"

LD_LIBRARY_PATH="$work/moved/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
  "$work/build/first_frame" >"$work/actual"
diff -u "$expected" "$work/actual"
echo "find_package consumer built against $work/moved and printed the expected text"
