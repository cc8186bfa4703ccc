#!/usr/bin/env bash
# The test command: installs what is missing, builds every tree, runs the
# Windows tests under Wine (one persistent wineserver, windows on Xvfb), the
# native core tests under ASan+UBSan (with the fuzz corpus replay) and TSan.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
tb_say_failures test
bash scripts/setup.sh
bash scripts/build.sh win native tsan
out="${TB_BUILD_ROOT:-build}"

status=0
echo "== Windows tests under Wine"
failed=()
bash scripts/wine-ctest.sh -j 2 || failed+=("Windows tests under Wine")
echo "== Native core tests (ASan + UBSan, fuzz corpus replay)"
ctest --test-dir "$out/native" --output-on-failure -j 2 || failed+=("native core tests (ASan + UBSan)")
echo "== Native core tests (TSan)"
ctest --test-dir "$out/tsan" --output-on-failure -j 2 -LE fuzz || failed+=("native core tests (TSan)")
for f in "${failed[@]}"; do
    echo "test: failed: $f" >&2
    status=1
done
exit $status
