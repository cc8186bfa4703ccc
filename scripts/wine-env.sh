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
    if ! command -v Xvfb >/dev/null; then
        echo "wine-env: Xvfb is not installed (run scripts/setup.sh)" >&2
        return 1
    fi
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    tb_xvfb_pid=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
    done
    echo "wine-env: Xvfb did not come up on :$n" >&2
    return 1
}

tb_keeper_pid=""
tb_server_ours=""
tb_start_wineserver() {
    # One persistent server for the whole run: each test process then starts in
    # a tenth of a second instead of seconds. Its output must not hold our pipe.
    # wineserver cannot start for a prefix folder that does not exist yet (a
    # fresh clone); the first program started in it fills it in.
    if ! mkdir -p "$WINEPREFIX"; then
        echo "wine-env: cannot create the Wine prefix $WINEPREFIX" >&2
        return 1
    fi
    local rc=0
    wineserver -p >/dev/null 2>&1 </dev/null || rc=$?
    case $rc in
    0) tb_server_ours=1 ;;
    2) # A server for this prefix is already running (another run, test or
       # benchmark command, or one still shutting down). It serves us too; the
       # keeper below holds it (or, if it was on its way out, the one Wine
       # starts in its place) for as long as we need it, and we leave it
       # running at the end for whoever started it.
        echo "wine-env: reusing the wineserver already running for $WINEPREFIX" >&2 ;;
    *) echo "wine-env: wineserver -p failed (exit $rc) for $WINEPREFIX" >&2
        return 1 ;;
    esac
    # Wine's own service processes start with the first program and inherit its
    # output; a program that outlives every test starts them with /dev/null,
    # so no test's pipe is held open after the test ends.
    # (It ends by being killed, which is no failure to report.)
    (trap - ERR; sleep infinity | wine cmd.exe >/dev/null 2>&1) &
    tb_keeper_pid=$!
    if ! wine cmd.exe /c exit >/dev/null 2>&1 </dev/null; then
        echo "wine-env: Wine cannot start a program in $WINEPREFIX (wine cmd.exe failed)" >&2
        return 1
    fi
    # The desktop process starts with the first window made in the prefix and
    # would inherit that program's output; a window made here starts it first.
    if [ -n "${DISPLAY:-}" ]; then
        wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 </dev/null || true
    fi
}

tb_stop_all() {
    if [ -n "$tb_server_ours" ]; then
        wineserver -k >/dev/null 2>&1 || true
        tb_server_ours=""
    fi
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

# Makes a script that uses `set -e` say which step failed before it ends:
# tb_say_failures <name> prints "<name>: failed (exit N): <command>". A helper
# function that fails is named by the line that called it, after its own
# reason.
tb_say_failures() {
    # shellcheck disable=SC2064
    trap "tb_report_failure '$1' \$? \"\$BASH_COMMAND\" \"\$LINENO\" \"\${BASH_SOURCE[0]:-}\"" ERR
}
tb_report_failure() {
    local name=$1 rc=$2 command=$3 line=$4 file=$5
    if [[ $command == return* && -r $file ]]; then
        command=$(sed -n "${line}p" "$file" | sed 's/^[[:space:]]*//')
    fi
    echo "$name: failed (exit $rc): $command" >&2
}
