#!/bin/sh
# SPDX-License-Identifier: MIT
# Compiles the C program tests/consumer/long_log.c against the installed package with the C
# compiler alone, as C99 and as C11 (there with <linux/can.h> before the library's header),
# every warning an error, and runs it on examples/sample.log.  Once with this build's library
# and once with the other kind (static or shared) built from the same sources.  The static
# library is linked with pkg-config's --static flags; the programs and the shared library may
# need nothing at run time but the C library, and the shared library exports its interface and
# nothing else (exported_names.sh).
# Usage: consumer_c.sh SOURCE_DIR BUILD_DIR WORK_DIR CMAKE CC READELF SHARED TOOLCHAIN CFLAGS
#          [RUNNER...]
# CFLAGS apply to this build's programs: an instrumented build's, whose run-time libraries are
# then not checked.  TOOLCHAIN (may be empty) configures the other build.
set -eu
source_dir=$1 build=$2 work=$3 cmake=$4 cc=$5 readelf=$6 shared=$7 toolchain=$8 cflags=$9
shift 9
command -v pkg-config >/dev/null || { echo "pkg-config is not installed"; exit 77; }
program=$source_dir/tests/consumer/long_log.c

rm -rf "$work"
mkdir -p "$work"
other_shared=$((1 - shared))
"$cmake" -S "$source_dir" -B "$work/other" -DCMAKE_BUILD_TYPE=Release \
  -DBUILD_SHARED_LIBS="$other_shared" -DCANTEXT_BUILD_TESTS=OFF -DCANTEXT_BUILD_EXAMPLES=OFF \
  ${toolchain:+"-DCMAKE_TOOLCHAIN_FILE=$toolchain"} >"$work/other.log"
"$cmake" --build "$work/other" >>"$work/other.log" 2>&1 || { cat "$work/other.log"; exit 1; }

needs_only_libc() {
  "$cmake" -DREADELF="$readelf" -DFILE="$1" -P "$source_dir/cmake/check_needed.cmake"
}

for tree in "$build" "$work/other"; do
  if [ "$tree" = "$build" ]; then kind=$shared flags=$cflags; else kind=$other_shared flags=""; fi
  prefix=$work/prefix-$kind
  "$cmake" --install "$tree" --prefix "$prefix" >/dev/null
  pcdir=$(dirname "$(find "$prefix" -name cantext.pc)")
  libdir=$(dirname "$pcdir")
  if [ "$kind" = 1 ]; then
    libs="$(PKG_CONFIG_LIBDIR=$pcdir pkg-config --cflags --libs cantext) -Wl,-rpath,$libdir"
  else
    libs=$(PKG_CONFIG_LIBDIR="$pcdir" pkg-config --cflags --libs --static cantext)
  fi
  for std in c99 c11; do
    first=""
    [ $std = c99 ] || first="-include linux/can.h"
    exe=$work/long_log-$kind-$std
    echo "+ $cc -std=$std -Wall -Wextra -pedantic -Werror $first $flags long_log.c $libs"
    # shellcheck disable=SC2086
    "$cc" -std=$std -Wall -Wextra -pedantic -Werror $first $flags "$program" -o "$exe" $libs
    "$@" "$exe" <"$source_dir/examples/sample.log" >"$exe.out"
    diff -u "$source_dir/examples/sample.out" "$exe.out"
    [ -n "$flags" ] || needs_only_libc "$exe"
  done
  [ "$kind" = 1 ] || continue
  library=$(find "$libdir" -name 'libcantext.so.*' -type f)
  [ -n "$flags" ] || needs_only_libc "$library"
  sh "$source_dir/tests/package/exported_names.sh" "$library" "$prefix/include" "$readelf"
done
echo "C programs built against the installed static and shared library printed examples/sample.out"
