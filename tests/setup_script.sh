#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs deps/install.sh on lists of its own, with apt-get and sudo replaced by stubs that record
# their calls: a missing package is reported and installed, after one update; a list of
# installed packages asks for nothing; without apt the script names the packages and fails.
# Usage: setup_script.sh SOURCE_DIR WORK_DIR
set -eu
script=$1/deps/install.sh work=$2
command -v dpkg-query >/dev/null || { echo "not a Debian system: dpkg-query is needed"; exit 77; }

rm -rf "$work"
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "apt-get $*" >>"%s/calls"\n' "$work" >"$work/bin/apt-get"
printf '#!/bin/sh\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin/apt-get" "$work/bin/sudo"
# dpkg is on every Debian system; the other name is on none.
printf '# present\ndpkg\n' >"$work/present"
printf 'cantext-no-such-package  # absent\n' >"$work/absent"

status=0
fail() { echo "$*"; status=1; }

out=$(PATH="$work/bin:$PATH" sh "$script" "$work/present" "$work/absent" 2>&1) || fail "failed: $out"
[ "$out" = "deps/install.sh: installing cantext-no-such-package" ] || fail "reported: $out"
calls=$(cat "$work/calls" 2>/dev/null || true)
[ "$calls" = "apt-get update -qq
apt-get install -y -qq --no-install-recommends cantext-no-such-package" ] || fail "apt-get calls: $calls"

rm -f "$work/calls"
out=$(PATH="$work/bin:$PATH" sh "$script" "$work/present" 2>&1) || fail "failed: $out"
[ -z "$out" ] && [ ! -e "$work/calls" ] || fail "with every package there, it said '$out' and ran apt-get"

if out=$(PATH="$work/nowhere" /bin/sh "$script" "$work/present" "$work/absent" 2>&1); then
  fail "succeeded without apt"
fi
case $out in *"dpkg cantext-no-such-package"*) ;; *) fail "without apt it said: $out" ;; esac

[ $status -eq 0 ] && echo "deps/install.sh installs what is missing, only that, and fails without apt"
exit $status
