#!/usr/bin/env bash
# The Wine set-up the run, test and bench commands share: it starts in a fresh
# clone (no prefix yet), a second command reuses the running server and leaves
# it running for the first, and a step that fails says what failed.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
scratch=$(mktemp -d)
export TB_BUILD_ROOT="$scratch/build"
trap 'WINEPREFIX="$TB_BUILD_ROOT/wineprefix" wineserver -k >/dev/null 2>&1; rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# A fresh clone: no prefix folder at all.
source "$root/scripts/wine-env.sh"
tb_start_wineserver 2>"$scratch/first.err" || fail "first start: $(cat "$scratch/first.err")"

# A second command while the first one runs.
second=$(bash -c 'set -euo pipefail; source "$1/scripts/wine-env.sh"; tb_say_failures second
    tb_start_wineserver; wine cmd.exe /c exit; tb_stop_all; echo second-done' _ "$root" 2>&1) ||
    fail "second start: $second"
grep -q 'reusing the wineserver already running' <<<"$second" || fail "no word of reuse: $second"
grep -q second-done <<<"$second" || fail "second command did not finish: $second"
# It left the server running for the first command.
rc=0
wineserver -p0 >/dev/null 2>&1 </dev/null || rc=$?
[ "$rc" = 2 ] || fail "the second command stopped the first one's server (wineserver -p: $rc)"
tb_stop_all

# A step that fails is named.
touch "$scratch/file"
cat >"$scratch/probe.sh" <<'SCRIPT'
set -euo pipefail
source "$1/scripts/wine-env.sh"
tb_say_failures probe
tb_start_wineserver
echo reached
SCRIPT
out=$(TB_BUILD_ROOT="$scratch/file/build" bash "$scratch/probe.sh" "$root" 2>&1) &&
    fail "a prefix that cannot be made was not an error: $out"
grep -q 'wine-env: cannot create the Wine prefix' <<<"$out" || fail "no reason given: $out"
grep -q 'probe: failed (exit 1): tb_start_wineserver' <<<"$out" || fail "no failing step named: $out"
grep -q reached <<<"$out" && fail "went on after the failure: $out"
echo "wine-env: fresh prefix, reuse and failure reports work"
