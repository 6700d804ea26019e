#!/bin/bash
# Whole-process figures of `dxf2plandrop convert`, each as a ratio to a
# reference measured alternately in the same run (A B A B ...), so that the
# ratio holds while the speed of a shared machine drifts:
#   bench/convert_bench.sh [-n RUNS] [-b BUILD] [FIGURE...]
# FIGURE is one of
#   text    convert --format text of the 50 MB mixed drawing against the bare
#           scan (bench_floor) of the same file
#   dxf     convert --format dxf against --format text of that drawing
#   jobs    20 files of 5 MB with -j 1 against -j 2
#   cores   the 50 MB drawing with -j 1 (one thread) against -j 2 (the
#           writing on a second thread), both forms
#   linear  cost per MB of 5, 50 and 200 MB drawings (text and DXF form)
#           against that of the 50 MB one
#   kinds   the same for 5 against 50 MB of text-, hatch-, annotation- and
#           curve-heavy drawings (gen_dxf text|patterns|annotations|curves;
#           patterns: the hatches without the one huge hatch, which costs
#           the same in a drawing of any size)
# (default: text dxf jobs). Each figure is the median of RUNS pairs (default
# 5), peak memory the median resident maximum as a multiple of the input,
# cores busy the median of CPU time (user and system) over wall time. The machine's load is printed with
# every figure. Drawings are made with build/bench/gen_dxf into
# $BENCH_DIR (default /tmp/dxf2plandrop-bench) and kept there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=5
build=$here/build
while getopts n:b: opt; do
    case $opt in
        n) runs=$OPTARG ;;
        b) build=$OPTARG ;;
        *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
figures=("$@")
[ ${#figures[@]} -eq 0 ] && figures=(text dxf jobs)
bin=$build/cli/dxf2plandrop
floor=$build/bench/bench_floor
gen=$build/bench/gen_dxf
timer=$build/bench/bench_timed
dir=${BENCH_DIR:-/tmp/dxf2plandrop-bench}
mkdir -p "$dir"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

drawing() {  # drawing SIZE_MB [KIND] -> path
    local f=$dir/${2:-mixed}$1.dxf
    [ -f "$f" ] || "$gen" "$1" "$f" "${2:-mixed}" >/dev/null
    echo "$f"
}
load() { cut -d' ' -f1-3 /proc/loadavg; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# timed FILE CMD...: appends "wall peak_kb" of one run of CMD to FILE
# (bench_timed: the clock around the command's own process only).
timed() {
    local f=$1
    shift
    rm -rf "$out/o" && mkdir -p "$out/o"
    # Every run starts with the files of the one before on disk: their
    # write-back would otherwise fall into this run (a DXF form writes some
    # 20 times its input).
    sync
    "$timer" "$f" "$@" || true
}
# pair NAME_A NAME_B BYTES [BYTES_B] CMD_A -- CMD_B: RUNS alternating runs of
# each, prints both medians, the median of the ratios A/B and the peaks (as
# multiples of BYTES, or of BYTES_B for B when given as a number).
pair() {
    local na=$1 nb=$2 bytes=$3 bytesb=$3
    shift 3
    if [[ $1 =~ ^[0-9]+$ ]]; then
        bytesb=$1
        shift
    fi
    local a=() b=()
    while [ "$1" != "--" ]; do a+=("$1"); shift; done
    shift
    b=("$@")
    : >"$out/a"
    : >"$out/b"
    local before
    before=$(load)
    "${a[@]}" >/dev/null 2>&1 || true  # warm-up: the file in the page cache
    for ((i = 0; i < runs; i++)); do
        timed "$out/a" "${a[@]}"
        timed "$out/b" "${b[@]}"
    done
    paste -d' ' "$out/a" "$out/b" | awk '{print ($4 > 0 ? $1 / $4 : 0)}' >"$out/r"
    awk -v na="$na" -v nb="$nb" -v ta="$(cut -d' ' -f1 "$out/a" | median)" \
        -v tb="$(cut -d' ' -f1 "$out/b" | median)" -v r="$(median <"$out/r")" \
        -v pa="$(cut -d' ' -f2 "$out/a" | median)" -v pb="$(cut -d' ' -f2 "$out/b" | median)" \
        -v ca="$(awk '{print $3 / $1}' "$out/a" | median)" -v cb="$(awk '{print $3 / $1}' "$out/b" | median)" \
        -v bytes="$bytes" -v bytesb="$bytesb" -v n="$runs" -v l0="$before" -v l1="$(load)" 'BEGIN {
        printf "  %-28s median %7.3f s  peak %6.0f MB = %5.2f x input  cores busy %.2f\n", na, ta, pa / 1024, pa * 1024 / bytes, ca
        printf "  %-28s median %7.3f s  peak %6.0f MB = %5.2f x input  cores busy %.2f\n", nb, tb, pb / 1024, pb * 1024 / bytesb, cb
        printf "  ratio %s / %s: %.2f (median of %d alternating pairs; load %s before, %s after)\n",
               na, nb, r, n, l0, l1 }'
}

conv() { echo "$bin" convert -o "$out/o" "$@"; }

for figure in "${figures[@]}"; do
    case $figure in
        text)
            f=$(drawing 50)
            echo "text form against the bare scan, $(basename "$f") ($(stat -c %s "$f") bytes):"
            pair "convert --format text" "bare scan" "$(stat -c %s "$f")" \
                $(conv --format text "$f") -- "$floor" "$f"
            ;;
        dxf)
            f=$(drawing 50)
            echo "DXF form against the text form, $(basename "$f"):"
            pair "convert --format dxf" "convert --format text" "$(stat -c %s "$f")" \
                $(conv --format dxf "$f") -- $(conv --format text "$f")
            ;;
        jobs)
            f=$(drawing 5)
            mkdir -p "$dir/jobs"
            list=()
            for k in $(seq -w 1 20); do
                [ -f "$dir/jobs/part$k.dxf" ] || cp "$f" "$dir/jobs/part$k.dxf"
                list+=("$dir/jobs/part$k.dxf")
            done
            echo "20 files of 5 MB, -j 1 against -j 2 (text form):"
            pair "convert -j 1" "convert -j 2" "$(stat -c %s "$f")" \
                $(conv -j 1 --format text "${list[@]}") -- $(conv -j 2 --format text "${list[@]}")
            echo "20 files of 5 MB, -j 1 against -j 2 (DXF form):"
            pair "convert -j 1" "convert -j 2" "$(stat -c %s "$f")" \
                $(conv -j 1 --format dxf "${list[@]}") -- $(conv -j 2 --format dxf "${list[@]}")
            ;;
        cores)
            f=$(drawing 50)
            for form in text dxf; do
                echo "one file on one and on two threads, $(basename "$f") ($form form):"
                pair "convert -j 1" "convert -j 2" "$(stat -c %s "$f")" \
                    $(conv -j 1 --format $form "$f") -- $(conv -j 2 --format $form "$f")
            done
            ;;
        linear)
            ref=$(drawing 50)
            for form in text dxf; do
                for size in 5 200; do
                    f=$(drawing $size)
                    echo "cost per MB, $size MB against 50 MB ($form form; the ratio of times is divided by the ratio of sizes):"
                    pair "$size MB" "50 MB" "$(stat -c %s "$f")" "$(stat -c %s "$ref")" \
                        $(conv --format $form "$f") -- $(conv --format $form "$ref")
                    awk -v s="$(stat -c %s "$f")" -v r="$(stat -c %s "$ref")" -v q="$(median <"$out/r")" \
                        'BEGIN { printf "  time per MB, %s against 50 MB: %.3f\n", "'"$size MB"'", q * r / s }'
                done
            done
            ;;
        kinds)
            for kind in text patterns annotations curves; do
                ref=$(drawing 50 $kind)
                f=$(drawing 5 $kind)
                for form in text dxf; do
                    echo "cost per MB, $kind: 5 MB against 50 MB ($form form; the ratio of times is divided by the ratio of sizes):"
                    pair "5 MB" "50 MB" "$(stat -c %s "$f")" "$(stat -c %s "$ref")" \
                        $(conv --format $form "$f") -- $(conv --format $form "$ref")
                    awk -v s="$(stat -c %s "$f")" -v r="$(stat -c %s "$ref")" -v q="$(median <"$out/r")" \
                        'BEGIN { printf "  time per MB, 5 MB against 50 MB: %.3f\n", q * r / s }'
                done
            done
            ;;
        *)
            echo "unknown figure '$figure'" >&2
            exit 2
            ;;
    esac
done
