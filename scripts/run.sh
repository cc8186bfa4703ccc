#!/usr/bin/env bash
# The run command: builds the Windows program, starts the stand-in video site in
# the background, points the program at it (the per-user "SiteRoot" setting)
# and starts the program under Wine on your display. The site stops when the
# program exits.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
tb_say_failures run
bash scripts/setup.sh
bash scripts/build.sh win

site_pid=""
cleanup() {
    if [ -n "$site_pid" ]; then
        kill "$site_pid" 2>/dev/null || true
        wait "$site_pid" 2>/dev/null || true
    fi
    tb_stop_all
}
trap cleanup EXIT

# The user's display when there is one that answers; otherwise a private one.
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "run: showing the program on $DISPLAY"
else
    tb_start_display
    echo "run: no usable X display; the program runs on a private Xvfb ($DISPLAY)"
    echo "run: (nothing will appear on screen; stop it with Ctrl+C)"
fi
tb_start_wineserver

# The stand-in site prints its web root ("http://127.0.0.1:<port>/") when it
# listens.
site_program="$tb_build_root/win/standin/standin-site.exe"
if [ ! -f "$site_program" ]; then
    echo "run: the stand-in site program is missing ($site_program)" >&2
    exit 1
fi
site_log=$(mktemp)
wine "$site_program" >"$site_log" 2>&1 &
site_pid=$!
site_root=""
for _ in $(seq 1 200); do
    site_root=$(tr -d '\r' <"$site_log" | grep -o 'http://127\.0\.0\.1:[0-9]*/' | head -n1 || true)
    [ -n "$site_root" ] && break
    kill -0 "$site_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$site_root" ]; then
    echo "run: the stand-in site did not start:" >&2
    cat "$site_log" >&2
    exit 1
fi
echo "run: stand-in video site at $site_root"
if ! wine reg add 'HKCU\Software\TorvanePelgrane' /v SiteRoot /t REG_SZ /d "$site_root" /f >/dev/null; then
    echo "run: could not store the stand-in site's address (wine reg add failed)" >&2
    exit 1
fi

program_rc=0
wine "$tb_build_root/win/app/TorvaneBrenlow.exe" || program_rc=$?
if ((program_rc != 0)); then
    echo "run: the program ended with exit code $program_rc" >&2
fi
rm -f "$site_log"
