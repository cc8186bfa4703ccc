#!/usr/bin/env bash
# Runs ctest on the Windows tree under Wine, with a private X display and one
# persistent wineserver, both stopped at the end. Extra arguments go to ctest
# (for example -R model to run some tests only).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/wine-env.sh"
tb_say_failures wine-ctest
trap tb_stop_all EXIT
tb_start_display
tb_start_wineserver
ctest --test-dir "$tb_build_root/win" --output-on-failure "$@"
