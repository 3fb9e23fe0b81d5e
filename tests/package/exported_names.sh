#!/bin/sh
# SPDX-License-Identifier: MIT
# Fails unless the shared library exports its interface and nothing else: every name of the C
# header cantext.h and every routine that the C++ headers mark CANTEXT_API, and no other name
# (none of cantext::detail, no routine of a source file, nothing of another namespace).
# Usage: exported_names.sh LIBRARY INCLUDE_DIR READELF
set -eu
library=$1 headers=$2/cantext readelf=$3

# The names the library defines in its dynamic symbol table, demangled, without versions; not
# the sections some targets' linkers list there (.init on PowerPC).
exported=$("$readelf" --dyn-syms -W "$library" |
  awk '$1 ~ /^[0-9]+:$/ && $7 != "UND" && $4 != "SECTION" && NF >= 8 { sub(/@.*/, "", $8); print $8 }' |
  c++filt)
c_names=$(sed -n 's/.*\(cantext_[a-z_]*\)[(;].*/\1/p' "$headers/cantext.h" | sort -u)
cpp_names=$(sed -n 's/^CANTEXT_API [^(]*[ *]\([a-z_]*\)(.*/\1/p' "$headers"/*.hpp | sort -u)
[ -n "$c_names" ] && [ -n "$cpp_names" ] || { echo "no names found in $headers"; exit 1; }

listed() { printf '%s\n' "$2" | grep -qx "$1"; }
status=0
while IFS= read -r name; do
  case $name in
    cantext::*) routine=${name#cantext::} && listed "${routine%%(*}" "$cpp_names" ;;
    *) listed "$name" "$c_names" ;;
  esac || { echo "$library exports a name that is not of the interface: $name"; status=1; }
done <<END
$exported
END
for name in $c_names; do
  listed "$name" "$exported" || { echo "$library lacks $name"; status=1; }
done
for name in $cpp_names; do
  printf '%s\n' "$exported" | grep -q "^cantext::$name(" ||
    { echo "$library lacks cantext::$name"; status=1; }
done
[ $status -eq 0 ] || exit 1
echo "$library exports the $(echo "$c_names" | wc -l) names of cantext.h and the" \
  "$(echo "$cpp_names" | wc -l) routines of the C++ headers, and nothing else"
