#!/usr/bin/env bash
# scripts/deps.sh against stand-ins for dpkg, dpkg-query, id, sudo and
# apt-get on PATH: a half-configured package database is configured before
# anything is installed, with one line saying so, and with sudo when not root.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/barometer-deps.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
bin=$scratch/bin
log=$scratch/log
mkdir "$bin"

failed=0
check() {
  if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failed=1; fi
}

# stand <name> <body>: a stand-in that notes its call and then runs body.
stand() {
  printf '#!/bin/sh\necho "%s $*" >>"%s"\n%s\n' "$1" "$log" "$2" >"$bin/$1"
  chmod +x "$bin/$1"
}
stand dpkg 'if [ "$1" = --audit ] && [ -n "${HALF:-}" ]; then echo "The following packages are only half configured:"; echo " tzdata"; fi'
stand dpkg-query 'echo "install ok installed"'
stand apt-get ''
stand sudo 'exec "$@"'
stand id 'echo "${UID_SEEN:-0}"'

# run <env...>: sources deps.sh and installs, with the stand-ins first on PATH.
run() {
  : >"$log"
  env "$@" PATH="$bin:$PATH" bash -c "source '$source_dir/scripts/deps.sh' && barometer_install_deps" \
    >"$scratch/out" 2>&1
}

run HALF=1 UID_SEEN=0
check "a half-configured database is configured first" \
  'grep -qx "dpkg --configure -a" "$log" && [ "$(grep -n -- "--configure" "$log" | cut -d: -f1)" -lt "$(grep -n dpkg-query "$log" | head -n1 | cut -d: -f1)" ]'
check "and said so in one line" \
  '[ "$(wc -l <"$scratch/out")" -eq 1 ] && grep -q "dpkg --configure -a" "$scratch/out"'
check "as root without sudo" '! grep -q "^sudo" "$log"'

run HALF=1 UID_SEEN=1000
check "with sudo when not root" 'grep -qx "sudo dpkg --configure -a" "$log"'

run UID_SEEN=0
check "a sound database is left alone, silently" \
  '! grep -q -- "--configure" "$log" && [ ! -s "$scratch/out" ]'
check "nothing missing, nothing installed" '! grep -q "^apt-get" "$log"'

exit "$failed"
