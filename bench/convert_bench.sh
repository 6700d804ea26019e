#!/bin/bash
# Whole-process figures of `dxf2plandrop convert` in both forms:
#   bench/convert_bench.sh [BINARY] [INPUT] [RUNS]
# Defaults: build/cli/dxf2plandrop, /tmp/mixed.dxf (made with
# `build/bench/gen_dxf 50 /tmp/mixed.dxf` when missing), 5 runs.
# Reports per form the median wall time, MB/s of input and the median peak
# resident memory (/usr/bin/time -f %M, package "time").
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/cli/dxf2plandrop}
input=${2:-/tmp/mixed.dxf}
runs=${3:-5}
if [ ! -x /usr/bin/time ]; then
    echo "needs /usr/bin/time (apt-get install time)" >&2
    exit 2
fi
if [ ! -f "$input" ]; then
    "$here/build/bench/gen_dxf" 50 "$input"
fi
bytes=$(stat -c %s "$input")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for form in text dxf; do
    : >"$out/times"
    for ((i = 0; i < runs; i++)); do
        rm -f "$out"/*.txt "$out"/*.dxf
        /usr/bin/time -f "%e %M" -o "$out/t" "$bin" convert -o "$out" --format "$form" "$input" >/dev/null
        cat "$out/t" >>"$out/times"
    done
    wall=$(awk '{print $1}' "$out/times" | median)
    peak=$(awk '{print $2}' "$out/times" | median)
    awk -v f="$form" -v w="$wall" -v p="$peak" -v b="$bytes" -v n="$runs" 'BEGIN {
        printf "convert --format %-4s: %.1f MB in, median wall %.2f s of %d = %.1f MB/s of input; peak memory %.0f MB\n",
               f, b / 1048576, w, n, (w > 0 ? b / 1048576 / w : 0), p / 1024 }'
done
