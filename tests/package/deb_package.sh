#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the Debian package with CPack, unpacks it into a scratch root, checks that it holds
# the library, headers, CMake and pkg-config files and the manual page, runs the unpacked
# filter, and compiles a program against the unpacked tree.
# Usage: deb_package.sh CPACK BUILD_DIR WORK_DIR EXAMPLE EXPECTED CXX CROSS [CXXFLAGS]
set -eu
cpack=$1 build=$2 work=$3 example=$4 expected=$5 cxx=$6 cross=$7 cxxflags=${8:-}

case $cross in 1 | ON | TRUE | true) echo "cross build: the packaged filter cannot run here"; exit 77 ;; esac
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null ||
  { echo "dpkg-deb and dpkg-shlibdeps (dpkg-dev) are needed"; exit 77; }

rm -rf "$work"
mkdir -p "$work"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" ||
  { cat "$work/cpack.log"; exit 1; }
set -- "$work"/out/*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "expected one package, found: $*"; exit 1; }
deb=$1

[ "$(dpkg-deb -f "$deb" Package)" = cantext ] || { echo "wrong package name"; exit 1; }
dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr
# The library directory is lib or Debian's lib/<multiarch>, as the build was configured.
status=0
for f in bin/cantext-long bin/cantext include/cantext/cantext.hpp include/cantext/frame.hpp \
  share/man/man1/cantext-long.1 share/man/man1/cantext.1 share/bash-completion/completions/cantext \
  'lib*/cmake/cantext/cantext-config.cmake' \
  'lib*/cmake/cantext/cantext-config-version.cmake' 'lib*/pkgconfig/cantext.pc' 'lib*/libcantext.*'; do
  [ -n "$(find "$root" -path "$root/$f" -type f)" ] || { echo "missing from the package: /usr/$f"; status=1; }
done
[ $status -eq 0 ] || exit 1
pcdir=$(dirname "$(find "$root" -name cantext.pc)")
libdir=$(dirname "$(find "$root" -name 'libcantext.*' | head -n1)")

actual=$(printf '(1.5) can0 123#DEADBEEF\n(1.6) can1 20000004#0004000000000000\n' |
  "$root/bin/cantext-long")
want="(1.5)  can0       123   [4]  DE AD BE EF               '....'
(1.6)  can1  20000004   [8]  00 04 00 00 00 00 00 00   ERRORFRAME"
[ "$actual" = "$want" ] || { printf 'unpacked filter printed:\n%s\n' "$actual"; exit 1; }

# The unpacked tree is a moved prefix too: pkg-config must still point into it.
cd "$work"
flags=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs cantext)
# shellcheck disable=SC2086
"$cxx" $cxxflags -std=c++17 "$example" -o "$work/first_frame" $flags
LD_LIBRARY_PATH="$libdir" "$work/first_frame" >"$work/actual"
diff -u "$expected" "$work/actual"
echo "$(basename "$deb"): contents complete, unpacked filter and library work"
