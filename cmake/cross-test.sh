#!/bin/sh
# SPDX-License-Identifier: MIT
# Cross-builds cantext for one target with Debian's cross compiler and runs every test under
# qemu-user; prints the stripped sizes of the programs.
#   cmake/cross-test.sh arm-linux-gnueabihf|powerpc-linux-gnu [BUILD_TYPE [CMAKE_OPTION...]]
# BUILD_TYPE defaults to Release; the build goes to build-cross-<target>-<build type>.
set -eu
triple=${1:?usage: cmake/cross-test.sh TRIPLE [BUILD_TYPE [CMAKE_OPTION...]]}
type=${2:-Release}
shift
[ $# -gt 0 ] && shift
cd "$(dirname "$0")/.."
toolchain="$PWD/cmake/toolchains/$triple.cmake"
if [ ! -f "$toolchain" ]; then
  echo "cross-test: no toolchain file $toolchain" >&2
  exit 2
fi
build=build-cross-$triple-$(printf '%s' "$type" | tr 'A-Z' 'a-z')
jobs=$(nproc)

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$jobs"

for program in cantext-long cantext; do
  "$triple-strip" -o "$build/$program.stripped" "$build/tools/$program"
  echo "$program for $triple, $type, stripped: $(wc -c <"$build/$program.stripped") bytes"
done
