#!/bin/sh
# SPDX-License-Identifier: MIT
# Compiles an include of the public header as C++14 and checks that the compiler stops with
# one error, which names C++17, rather than an error for every declaration.
# Usage: old_standard.sh CXX INCLUDE_DIR
set -eu
cxx=$1 include=$2
if messages=$(printf '#include <cantext/cantext.hpp>\n' |
  "$cxx" -std=c++14 -fsyntax-only -I "$include" -x c++ - 2>&1); then
  echo "the header compiled as C++14"
  exit 1
fi
printf '%s\n' "$messages"
[ "$(printf '%s\n' "$messages" | grep -c 'error:')" -eq 1 ] || { echo "expected one error"; exit 1; }
case $messages in *C++17*) echo "one error, naming C++17" ;; *) echo "the error does not name C++17"; exit 1 ;; esac
