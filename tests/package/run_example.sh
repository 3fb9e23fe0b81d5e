#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a program with the given standard input and compares its standard output, standard
# error and exit status with the expected ones.
# Usage: run_example.sh INPUT EXPECTED_OUT EXPECTED_ERR EXPECTED_STATUS COMMAND...
set -eu
input=$1 expected_out=$2 expected_err=$3 expected_status=$4
shift 4
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

status=0
"$@" <"$input" >"$out" 2>"$err" || status=$?
result=0
diff -u "$expected_out" "$out" || { echo "standard output differs"; result=1; }
diff -u "$expected_err" "$err" || { echo "standard error differs"; result=1; }
[ "$status" = "$expected_status" ] || { echo "exit status $status, expected $expected_status"; result=1; }
[ $result -eq 0 ] && echo "$(basename "$1"): output, messages and status as expected"
exit $result
