#!/bin/sh
# SPDX-License-Identifier: MIT
# Lints a manual page with every checker present; any warning fails.
# Usage: man_lint.sh PAGE
set -eu
page=$1
checked=""
if command -v groff >/dev/null; then
  out=$(groff -ww -man -z "$page" 2>&1)
  [ -z "$out" ] || { printf 'groff:\n%s\n' "$out"; exit 1; }
  checked="$checked groff"
fi
if command -v mandoc >/dev/null; then
  mandoc -T lint "$page" || exit 1
  checked="$checked mandoc"
fi
[ -n "$checked" ] || { echo "neither groff nor mandoc is installed"; exit 77; }
echo "$page lints clean with:$checked"
