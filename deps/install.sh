#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the Debian packages named in the given lists (one a line, # starts a comment) that
# are not installed yet, and says which: with apt-get as root, with sudo apt-get otherwise.
# Installs and asks nothing when all are there.  Without apt it names them and fails.
#   deps/install.sh deps/build [deps/test ...]
set -eu
[ $# -gt 0 ] || { echo "usage: deps/install.sh LIST..." >&2; exit 2; }

wanted=""
for list in "$@"; do
  [ -r "$list" ] || { echo "deps/install.sh: cannot read $list" >&2; exit 2; }
  while IFS= read -r line || [ -n "$line" ]; do
    for name in ${line%%#*}; do
      case " $wanted " in *" $name "*) ;; *) wanted="$wanted $name" ;; esac
    done
  done <"$list"
done

if ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
  echo "deps/install.sh: no apt-get here to install the Debian packages$wanted." >&2
  echo "Install them (or your system's equivalents) and run again with NO_INSTALL=1." >&2
  exit 1
fi

missing=""
for name in $wanted; do
  status=$(dpkg-query -W -f '${db:Status-Status}' "$name" 2>/dev/null || true)
  [ "$status" = installed ] || missing="$missing $name"
done
[ -n "$missing" ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=""
elif command -v sudo >/dev/null; then
  as_root=sudo
else
  echo "deps/install.sh: not root and no sudo: install$missing as root" >&2
  exit 1
fi
echo "deps/install.sh: installing$missing"
$as_root apt-get update -qq
# shellcheck disable=SC2086
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
