#!/bin/sh
# SPDX-License-Identifier: MIT
# Configures a build for /usr in WORK_DIR, makes the Debian packages with CPack and checks them:
# the set of packages and what each holds, the library package named after the SONAME (which
# names the minor version before 1.0), lintian without errors or warnings, then unpacks them,
# runs the unpacked filter and compiles a program against the unpacked tree with pkg-config.
# With PYTHON ON, the Python module's package too: it must import from the unpacked tree.
# Usage: deb_package.sh CMAKE CPACK SOURCE_DIR WORK_DIR BUILD_TYPE SHARED VERSION EXAMPLE
#                       EXPECTED CXX CROSS PYTHON
# Without lintian the packages are not linted, which fails when CANTEXT_REQUIRE_LINTIAN=1.
set -eu
cmake=$1 cpack=$2 source_dir=$3 work=$4 type=$5 shared=$6 version=$7 example=$8 expected=$9
cxx=${10} cross=${11} python=${12}

case $cross in 1 | ON | TRUE | true) echo "cross build: the packaged filter cannot run here"; exit 77 ;; esac
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null ||
  { echo "dpkg-deb and dpkg-shlibdeps (dpkg-dev) are needed"; exit 77; }

rm -rf "$work"
mkdir -p "$work"
"$cmake" -S "$source_dir" -B "$work/build" -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE="$type" \
  -DBUILD_SHARED_LIBS="$shared" -DCANTEXT_BUILD_TESTS=OFF -DCANTEXT_BUILD_EXAMPLES=OFF \
  -DCANTEXT_PYTHON="$python" \
  -DCMAKE_CXX_COMPILER="$cxx" >"$work/configure.log"
"$cmake" --build "$work/build" -j 2 >"$work/build.log" || { cat "$work/build.log"; exit 1; }
"$cpack" -G DEB --config "$work/build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" ||
  { cat "$work/cpack.log"; exit 1; }

lib=usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
want_packages="cantext libcantext-dev"
tools_files="usr/bin/cantext-long usr/share/man/man1/cantext-long.1.gz usr/bin/cantext
  usr/share/man/man1/cantext.1.gz usr/share/bash-completion/completions/cantext"
dev_files="usr/include/cantext/cantext.hpp usr/include/cantext/cantext.h $lib/cmake/cantext/cantext-config.cmake
  $lib/cmake/cantext/cantext-config-version.cmake $lib/pkgconfig/cantext.pc"
python_dir=usr/lib/python3/dist-packages/cantext
python_files="$python_dir/__init__.py $python_dir/log.py $python_dir/py.typed"
[ "$python" = ON ] && want_packages="$want_packages python3-cantext"
if [ "$shared" = ON ]; then
  soname=$(readelf -d "$work"/build/src/libcantext.so | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
  # Before 1.0 every minor version may change the interface, so the SONAME names it.
  case $version in
    0.*) [ "$soname" = "libcantext.so.${version%.*}" ] ||
      { echo "SONAME $soname does not name version ${version%.*}"; exit 1; } ;;
  esac
  libpackage=$(printf '%s' "$soname" | sed 's/\.so\.//')
  want_packages="$want_packages $libpackage"
  dev_files="$dev_files $lib/libcantext.so"
  libpackage_files="$lib/$soname"
else
  dev_files="$dev_files $lib/libcantext.a"
fi

status=0
packages=""
for deb in "$work"/out/*.deb; do
  name=$(dpkg-deb -f "$deb" Package)
  packages="$packages $name"
  case $name in
    cantext) files=$tools_files ;;
    libcantext-dev) files=$dev_files ;;
    python3-cantext) files=$python_files ;;
    *) files=${libpackage_files:-} ;;
  esac
  contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
  for f in $files usr/share/doc/$name/copyright usr/share/doc/$name/changelog.gz; do
    printf '%s\n' "$contents" | grep -qx "\./$f" || { echo "$name lacks /$f"; status=1; }
  done
  # The headers depend on the very version of the library's package.
  if [ "$shared" = ON ] && [ "$name" = libcantext-dev ]; then
    dpkg-deb -f "$deb" Depends | grep -q "$libpackage (= $version)" ||
      { echo "$name does not depend on $libpackage (= $version)"; status=1; }
  fi
  dpkg-deb -x "$deb" "$work/root"
done
sorted() { printf '%s\n' $1 | sort | tr '\n' ' '; }
[ "$(sorted "$packages")" = "$(sorted "$want_packages")" ] ||
  { echo "packages made:$packages; expected: $want_packages"; status=1; }
grep -q '^License: Expat$' "$work/root/usr/share/doc/cantext/copyright" &&
  grep -q 'Permission is hereby granted' "$work/root/usr/share/doc/cantext/copyright" ||
  { echo "the copyright file does not hold the licence"; status=1; }
[ $status -eq 0 ] || exit 1

if command -v lintian >/dev/null; then
  if ! lintian --fail-on error,warning "$work"/out/*.deb >"$work/lintian.log" 2>&1; then
    cat "$work/lintian.log"
    echo "lintian found errors or warnings"
    exit 1
  fi
  echo "lintian: no errors or warnings"
elif [ "${CANTEXT_REQUIRE_LINTIAN:-0}" = 1 ]; then
  echo "lintian is not installed"
  exit 1
else
  echo "lintian is not installed: the packages were not linted"
fi

root=$work/root
actual=$(printf '(1.5) can0 123#DEADBEEF\n(1.6) can1 20000004#0004000000000000\n' |
  LD_LIBRARY_PATH="$root/$lib" "$root/usr/bin/cantext-long")
want="(1.5)  can0       123   [4]  DE AD BE EF               '....'
(1.6)  can1  20000004   [8]  00 04 00 00 00 00 00 00   ERRORFRAME"
[ "$actual" = "$want" ] || { printf 'unpacked filter printed:\n%s\n' "$actual"; exit 1; }

# Installed for the system, the pkg-config file leads straight to the system's directories;
# the unpacked tree is that prefix moved, as --define-variable tells pkg-config.
includedir=$(PKG_CONFIG_PATH="$root/$lib/pkgconfig" pkg-config --variable=includedir cantext)
[ "$includedir" = /usr/include ] || { echo "pkg-config gives includedir $includedir"; exit 1; }
flags=$(PKG_CONFIG_PATH="$root/$lib/pkgconfig" pkg-config --define-variable=prefix="$root/usr" \
  --cflags --libs cantext)
# shellcheck disable=SC2086
"$cxx" -std=c++17 "$example" -o "$work/first_frame" $flags
LD_LIBRARY_PATH="$root/$lib" "$work/first_frame" >"$work/actual"
diff -u "$expected" "$work/actual"
if [ "$python" = ON ]; then
  dpkg-deb -f "$work"/out/python3-cantext_*.deb Depends | grep -q 'python3-numpy' ||
    { echo "python3-cantext does not depend on python3-numpy"; exit 1; }
  parsed=$(PYTHONPATH="$root/${python_dir%/cantext}" /usr/bin/python3 -c \
    'import cantext; print(cantext.parse("123#DEADBEEF").long())')
  [ "$parsed" = "     123   [4]  DE AD BE EF               '....'" ] ||
    { echo "the unpacked Python module printed: $parsed"; exit 1; }
fi
echo "packages$packages: contents complete, unpacked filter and library work"
