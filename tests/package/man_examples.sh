#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs every command of the manual page's EXAMPLES section and compares what it prints with
# the lines the page shows under it.  "cat FILE" shows a file's contents: it creates FILE.
# Usage: man_examples.sh PAGE TOOL_DIR WORK_DIR [CROSS]
set -eu
page=$1 tool_dir=$(cd "$2" && pwd) work=$3 cross=${4:-0}

case $cross in 1 | ON | TRUE | true) echo "cross build: the filter cannot run here"; exit 77 ;; esac
command -v groff >/dev/null || { echo "groff is not installed"; exit 77; }

rm -rf "$work"
mkdir -p "$work/cases"
# Wide lines so that no example is wrapped; plain ASCII without bold or underline.
groff -man -Tascii -P-cbou -rLL=250n "$page" 2>/dev/null >"$work/page.txt"

awk -v dir="$work/cases" '
  /^[A-Z]/ { in_examples = ($0 == "EXAMPLES"); next }
  !in_examples { next }
  /^ *\$ / {
    n++
    indent = index($0, "$") - 1
    sub(/^ *\$ /, "")
    print > (dir "/" n ".cmd")
    printf "" > (dir "/" n ".out")
    next
  }
  n > 0 && /^ *$/ { if (!blank_seen[n]++) closed[n] = 1; next }
  n > 0 && !closed[n] && substr($0, 1, indent) ~ /^ *$/ {
    print substr($0, indent + 1) > (dir "/" n ".out")
  }
' "$work/page.txt"

count=$(find "$work/cases" -name '*.cmd' | wc -l)
[ "$count" -gt 0 ] || { echo "no examples found in $page"; exit 1; }

cd "$work"
status=0
i=1
while [ -f "cases/$i.cmd" ]; do
  cmd=$(cat "cases/$i.cmd")
  case $cmd in
    "cat "*) cp "cases/$i.out" "${cmd#cat }" ;;
    *)
      PATH="$tool_dir:$PATH" sh -c "$cmd" >"cases/$i.actual" 2>&1 || true
      if ! diff -u "cases/$i.out" "cases/$i.actual"; then
        printf 'example %s differs: %s\n' "$i" "$cmd"
        status=1
      fi
      ;;
  esac
  i=$((i + 1))
done
[ $status -eq 0 ] && echo "all $count examples of $page print what the page shows"
exit $status
