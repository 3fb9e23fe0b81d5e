#!/bin/sh
# SPDX-License-Identifier: MIT
# The bash completion offers the commands, and for each command exactly the options its --help
# lists.
# Usage: completion.sh COMPLETION_FILE CANTEXT [CROSS]
set -eu
file=$1 cantext=$2 cross=${3:-0}

case $cross in 1 | ON | TRUE | true) echo "cross build: the command cannot run here"; exit 77 ;; esac
command -v bash >/dev/null || { echo "bash is not installed"; exit 77; }

# What the completion offers for the words "cantext $1 ... $N" (the last one being completed).
offered() {
  bash -c '. "$0"; COMP_WORDS=(cantext "$@"); COMP_CWORD=$#; _cantext
           printf "%s\n" "${COMPREPLY[@]}"' "$file" "$@" | sort
}

status=0
check() {
  if [ "$2" != "$3" ]; then
    printf '%s: completion offers\n%s\nbut should offer\n%s\n' "$1" "$2" "$3"
    status=1
  fi
}

commands="long compact convert decode stats explain"
# shellcheck disable=SC2086
check commands "$(offered '')" "$(printf '%s\n' --help --version $commands | sort)"
for command in $commands; do
  listed=$( (echo --help; "$cantext" "$command" --help |
    sed -n 's/^  \(-[a-z], \)\{0,1\}\(--[a-z-]*\).*/\2/p') | sort)
  check "$command" "$(offered "$command" --)" "$listed"
done
check "files after long" "$(offered long fr)" ""
check "formats after --to" "$(offered convert --to '')" "$(printf '%s\n' asc log trc)"
check "views after --time" "$(offered long --time '')" "$(printf '%s\n' absolute date delta relative)"
check "nothing after --id" "$(offered stats --id '')" ""
[ $status -eq 0 ] && echo "the completion offers the commands and every command's options"
exit $status
