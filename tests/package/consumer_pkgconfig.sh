#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the README's two commands, installing into a prefix and compiling the README's example
# against it with pkg-config, then runs the program.  The prefix is moved between the two.
# Usage: consumer_pkgconfig.sh SOURCE_DIR BUILD_DIR WORK_DIR EXPECTED CXX CROSS [CXXFLAGS]
set -eu
source_dir=$1 build=$2 work=$3 expected=$4 cxx=$5 cross=$6 cxxflags=${7:-}
readme=$source_dir/README.md

case $cross in 1 | ON | TRUE | true) echo "cross build: the consumer cannot run here"; exit 77 ;; esac
command -v pkg-config >/dev/null || { echo "pkg-config is not installed"; exit 77; }

install_cmd=$(grep -m1 '^cmake --install build --prefix ' "$readme") ||
  { echo "README shows no install command"; exit 1; }
compile_cmd=$(grep -m1 '^c++ .*pkg-config --cflags --libs cantext' "$readme") ||
  { echo "README shows no pkg-config compile command"; exit 1; }
# The README's compiler stands for the one this build uses, with its flags.
compile_cmd="\"\$CANTEXT_CXX\" $cxxflags ${compile_cmd#c++ }"

rm -rf "$work"
mkdir -p "$work/first"
# The commands run from the top of the source tree: the same names lead to the same places.
ln -s "$build" "$work/build"
ln -s "$source_dir/tests" "$work/tests"
cd "$work"

echo "+ $install_cmd"
HOME=$work/first sh -c "$install_cmd" >/dev/null
mv "$work/first" "$work/second"
echo "+ $compile_cmd"
HOME=$work/second CANTEXT_CXX=$cxx sh -c "$compile_cmd"

program=$(printf '%s\n' "$compile_cmd" | sed -n 's/.* -o \([^ ]*\).*/\1/p')
LD_LIBRARY_PATH="$(find "$work/second" -name 'libcantext.so*' -exec dirname {} \; | head -n1)" \
  "./$program" >"$work/actual"
diff -u "$expected" "$work/actual"
echo "pkg-config consumer built against the moved prefix and printed the expected text"
