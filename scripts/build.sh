#!/usr/bin/env bash
# Builds the trees under TB_BUILD_ROOT (default: build): win (the Windows
# program and its tests, mingw-w64), native (portable core under ASan+UBSan,
# fuzz harnesses) and tsan (portable core under ThreadSanitizer).
# Pass tree names to build only those.
set -euo pipefail
trap 'rc=$?; echo "build: failed (exit $rc): $BASH_COMMAND" >&2' ERR
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out="${TB_BUILD_ROOT:-build}"
trees=("$@")
launcher=()
if command -v ccache >/dev/null; then
    # Several work trees of the same sources share one cache: paths below the
    # common parent are hashed relative to it.
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$root")}" CCACHE_NOHASHDIR=1
fi
((${#trees[@]})) || trees=(win native tsan)
for t in "${trees[@]}"; do
    case "$t" in
    win)
        cmake -S . -B "$out/win" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null ;;
    native)
        CC=clang CXX=clang++ cmake -S . -B "$out/native" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DTB_SANITIZE=address,undefined -DTB_FUZZ=ON >/dev/null ;;
    tsan)
        CC=clang CXX=clang++ cmake -S . -B "$out/tsan" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DTB_SANITIZE=thread >/dev/null ;;
    *) echo "build: unknown tree $t" >&2; exit 2 ;;
    esac
    echo "build: $t"
    cmake --build "$out/$t" -j "$(nproc)"
done
