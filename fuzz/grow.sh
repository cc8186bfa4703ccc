#!/usr/bin/env bash
# Grows the kept seed corpora from what the fuzzers find. Each harness of the
# native tree (scripts/build.sh native) fuzzes from its kept seeds for a while
# (TB_FUZZ_GROW_SECONDS, default 300), then libFuzzer's merge adds to
# fuzz/corpus/<name> only the smallest inputs that reach code no kept input
# reaches, so the corpus stays small. Prints the covered edges and the size of
# each kept corpus before and after. Arguments: harness names (default: all).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
trap 'rc=$?; echo "fuzz/grow: failed (exit $rc): $BASH_COMMAND" >&2' ERR
seconds="${TB_FUZZ_GROW_SECONDS:-300}"
dir="${TB_BUILD_ROOT:-build}/native/fuzz"
names=("$@")
if ((${#names[@]} == 0)); then
    for c in fuzz/corpus/*/; do names+=("$(basename "$c")"); done
fi

# Covered edges of a corpus, as libFuzzer counts them when it has read it.
edges() {
    "$1" -runs=0 "$2" 2>&1 | grep -o 'INITED cov: [0-9]*' | tail -n1 | grep -o '[0-9]*$'
}
describe() {
    echo "$(edges "$1" "$2") edges, $(find "$2" -type f | wc -l) inputs, $(find "$2" -type f -exec cat {} + | wc -c) bytes"
}

for name in "${names[@]}"; do
    program="$dir/fuzz_$name"
    corpus="fuzz/corpus/$name"
    if [ ! -x "$program" ]; then
        echo "fuzz/grow: $program is missing; run scripts/build.sh native first" >&2
        exit 1
    fi
    scratch=$(mktemp -d)
    echo "fuzz/grow: $name before: $(describe "$program" "$corpus")"
    "$program" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=256 \
        -artifact_prefix="$scratch/" -print_final_stats=1 "$scratch" "$corpus" >"$scratch.log" 2>&1 || {
        echo "fuzz/grow: $name found a fault; the input and the log are in $scratch" >&2
        tail -n 40 "$scratch.log" >&2
        exit 1
    }
    "$program" -merge=1 "$corpus" "$scratch" >/dev/null 2>&1
    echo "fuzz/grow: $name after $seconds s: $(describe "$program" "$corpus")"
    rm -rf "$scratch" "$scratch.log"
done
