#!/bin/sh
# SPDX-License-Identifier: MIT
# The README's two commands in their order, as far as they configure: `make demo` on a machine
# without the Python packages, then `make test` once they are installed, which must set up the
# Python tests.  Runs the configure commands the Makefile gives (make -n) in a build directory
# of its own, with pybind11 hidden from the first as if its package were missing.
# Usage: make_order.sh SOURCE_DIR WORK_DIR CTEST
set -eu
source_dir=$1 work=$2 ctest=$3

# The Makefile's configure command for target $1 with CMAKE_FLAGS $2, run from the source tree.
configure() {
  command=$(make --no-print-directory -n -C "$source_dir" "$1" NO_INSTALL=1 \
    BUILD="$work/build" CMAKE_FLAGS="$2" | grep '^cmake -S')
  echo "+ $command"
  (cd "$source_dir" && eval "$command")
}
python_tests() { "$ctest" --test-dir "$work/build" -N | grep -c ' python\.pytest$' || true; }

rm -rf "$work"
mkdir -p "$work"
configure demo -DCMAKE_DISABLE_FIND_PACKAGE_pybind11=ON
[ "$(python_tests)" = 0 ] || { echo "pybind11 was found although hidden: nothing tested"; exit 1; }
configure test -DCMAKE_DISABLE_FIND_PACKAGE_pybind11=OFF
[ "$(python_tests)" = 1 ] || { echo "make test after make demo left the Python tests out"; exit 1; }
echo "make test after make demo sets up the Python tests"
