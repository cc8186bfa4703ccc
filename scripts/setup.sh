#!/usr/bin/env bash
# Installs what the build, the tests and the run need, from Debian packages, and
# prepares the Wine prefix inside the build tree. Safe to run any number of times.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(cmake ninja-build g++-mingw-w64-x86-64 wine wine64 xvfb xauth googletest
          x11-utils clang libclang-rt-14-dev curl nginx-light openssl nsis)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
        "${missing[@]}" >/dev/null
fi

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "setup: creating the Wine prefix in $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # No Mono or Gecko: the program needs neither, and their installers would ask.
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
fi
