#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds a project that takes a copy of the source tree with the README's add_subdirectory
# lines, runs its program, and checks that cantext's own tests and install rules stayed off.
# Usage: consumer_subdirectory.sh CMAKE SOURCE_DIR WORK_DIR EXPECTED CXX CROSS [CXXFLAGS]
set -eu
cmake=$1 source_dir=$2 work=$3 expected=$4 cxx=$5 cross=$6 cxxflags=${7:-}

case $cross in 1 | ON | TRUE | true) echo "cross build: the consumer cannot run here"; exit 77 ;; esac

lines=$(awk '/^```cmake$/ { block = 1; text = ""; next }
  block && /^```$/ { if (text ~ /^add_subdirectory\(/) { printf "%s", text; exit } block = 0; next }
  block { text = text $0 "\n" }' "$source_dir/README.md")
[ -n "$lines" ] || { echo "README shows no add_subdirectory block"; exit 1; }
dir=$(printf '%s\n' "$lines" | sed -n 's/^add_subdirectory(\([^ )]*\)).*/\1/p')

rm -rf "$work"
mkdir -p "$work/project/$(dirname "$dir")"
ln -s "$source_dir" "$work/project/$dir"
cp "$source_dir/tests/consumer/first_frame.cpp" "$work/project/"
cat >"$work/project/CMakeLists.txt" <<CML
cmake_minimum_required(VERSION 3.20)
project(my_program LANGUAGES CXX)
add_executable(my_program first_frame.cpp)
$lines
CML

"$cmake" -S "$work/project" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$cxxflags" >"$work/configure.log"
"$cmake" --build "$work/build" --target my_program >"$work/build.log" ||
  { cat "$work/build.log"; exit 1; }
LD_LIBRARY_PATH="$(find "$work/build" -name 'libcantext.so*' -exec dirname {} \; | head -n1)" \
  "$work/build/my_program" >"$work/actual"
diff -u "$expected" "$work/actual"

[ -z "$(find "$work/build" -name CTestTestfile.cmake)" ] || { echo "cantext registered its tests"; exit 1; }
"$cmake" --install "$work/build" --prefix "$work/prefix" >/dev/null
[ -z "$(find "$work/prefix" -type f 2>/dev/null)" ] || { echo "cantext installed files"; exit 1; }
echo "add_subdirectory consumer built and ran; cantext's tests and install rules stayed off"
