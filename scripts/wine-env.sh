# Sourced: the environment every Wine run of this project uses, and helpers to
# bring up (and tear down) a private X display and one persistent wineserver.
# TB_BUILD_ROOT (default: build) holds the trees and the Wine prefix.
tb_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tb_build_root="${TB_BUILD_ROOT:-$tb_root/build}"
case "$tb_build_root" in /*) ;; *) tb_build_root="$tb_root/$tb_build_root" ;; esac
export WINEPREFIX="$tb_build_root/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko; and no winemenubuilder, which would copy every Start-menu
# shortcut made in the prefix (the installer's tests make some) into the
# desktop's own menus on this machine.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

tb_xvfb_pid=""
tb_start_display() {
    # A private Xvfb, so tests never draw on (or wait for) the user's desktop.
    local n
    for n in $(seq 90 150); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    tb_xvfb_pid=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
    done
    echo "wine-env: Xvfb did not come up" >&2
    return 1
}

tb_keeper_pid=""
tb_start_wineserver() {
    # One persistent server for the whole run: each test process then starts in
    # a tenth of a second instead of seconds. Its output must not hold our pipe.
    wineserver -p >/dev/null 2>&1 </dev/null
    # Wine's own service processes start with the first program and inherit its
    # output; a program that outlives every test starts them with /dev/null,
    # so no test's pipe is held open after the test ends.
    (sleep infinity | wine cmd.exe >/dev/null 2>&1) &
    tb_keeper_pid=$!
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
    # The desktop process starts with the first window made in the prefix and
    # would inherit that program's output; a window made here starts it first.
    if [ -n "${DISPLAY:-}" ]; then
        wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 </dev/null || true
    fi
}

tb_stop_all() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$tb_keeper_pid" ]; then
        pkill -P "$tb_keeper_pid" 2>/dev/null || true
        wait "$tb_keeper_pid" 2>/dev/null || true
        tb_keeper_pid=""
    fi
    if [ -n "$tb_xvfb_pid" ]; then
        kill "$tb_xvfb_pid" 2>/dev/null || true
        wait "$tb_xvfb_pid" 2>/dev/null || true
        tb_xvfb_pid=""
    fi
}
