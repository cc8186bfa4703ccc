#!/bin/sh
# The standin-site program serves what curl can fetch: it prints its web root,
# answers a watch page and a video body, and ends when it is stopped.
set -eu
program="$1"
log=$(mktemp)
"$program" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -f "$log"' EXIT
root=""
for _ in $(seq 1 100); do
    root=$(grep -o 'http://127\.0\.0\.1:[0-9]*/' "$log" | head -n1 || true)
    [ -n "$root" ] && break
    sleep 0.1
done
[ -n "$root" ] || { echo "no root printed"; cat "$log"; exit 1; }
curl -sf --max-time 10 "${root}watch?v=Hq7bT2xLp0A" | grep -q '"video_id": "Hq7bT2xLp0A"'
size=$(curl -sf --max-time 10 -o /dev/null -w '%{size_download}' \
    "${root}get_video?video_id=Hq7bT2xLp0A&t=vjVQa03Xg4kLhCq8RzM2nWbPy6TfUoE1sKdJ9Ac5Ge7I%3d")
[ "$size" = 4096 ] || { echo "video body of $size bytes"; exit 1; }
code=$(curl -s --max-time 10 -o /dev/null -w '%{http_code}' "${root}nothing-here")
[ "$code" = 404 ] || { echo "status $code for an unknown address"; exit 1; }
echo "standin-site served $root"
