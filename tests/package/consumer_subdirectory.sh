#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds a project that takes a copy of the source tree with the README's add_subdirectory
# lines, runs its program, and checks that cantext left the project's build as it was (its
# build type unset, its C++ standard 20, its default build without the filter) and that
# cantext's own tests and install rules stayed off.
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

"$cmake" -S "$work/project" -B "$work/build" -DCMAKE_CXX_STANDARD=20 \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$cxxflags" >"$work/configure.log"
"$cmake" --build "$work/build" >"$work/build.log" || { cat "$work/build.log"; exit 1; }
LD_LIBRARY_PATH="$(find "$work/build" -name 'libcantext.so*' -exec dirname {} \; | head -n1)" \
  "$work/build/my_program" >"$work/actual"
diff -u "$expected" "$work/actual"

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$work/build/CMakeCache.txt")
[ -z "$build_type" ] || { echo "the project's build type became '$build_type'"; exit 1; }
grep -q -- '-std=c++20 .*src/frame/parse_frame\.cpp' "$work/build/compile_commands.json" ||
  { echo "cantext was not compiled with the project's C++20"; exit 1; }
[ -z "$(find "$work/build" -name cantext-long)" ] || { echo "the default build built the filter"; exit 1; }
[ -z "$(find "$work/build" -name CTestTestfile.cmake)" ] || { echo "cantext registered its tests"; exit 1; }
"$cmake" --install "$work/build" --prefix "$work/prefix" >/dev/null
[ -z "$(find "$work/prefix" -type f 2>/dev/null)" ] || { echo "cantext installed files"; exit 1; }
echo "add_subdirectory consumer built and ran; its build type, standard and default build held"
