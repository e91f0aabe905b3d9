#!/usr/bin/env bash
# Start-up to the painted window, Ostrel next to Audacious when it is
# installed and next to the floor, a plain Xlib program that maps and paints
# a window of the same size: each started ROUNDS times in turn on one Xvfb
# with openbox and a private PulseAudio server; prints each run and the
# medians in ms. Further programs to compare (another build of the player)
# may follow; each is named by its file name.
#   bench/app/startup_bench.sh BUILD_DIR [ROUNDS [PROGRAM...]]
set -u
build=$(cd "${1:?usage: startup_bench.sh BUILD_DIR [ROUNDS [PROGRAM...]]}" && pwd)
rounds=${2:-9}
shift $(($# < 2 ? $# : 2))
probe=$build/bench/app/startup_probe
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

. "$(dirname "$0")/../desktop.sh"
start_bench_display "$work/display"
start_bench_sound "$work"

players=("$build/src/app/ostrel")
for p in "$@"; do players+=("$(realpath "$p")"); done
command -v audacious >/dev/null && players+=(audacious)
players+=("$build/bench/app/minimal_window")
# A first start of each fills the page cache, as a person's second start does.
for p in "${players[@]}"; do "$probe" "$p" >/dev/null; done
for p in "${players[@]}"; do : >"$work/$(basename "$p").times"; done
for ((i = 0; i < rounds; i++)); do
    for p in "${players[@]}"; do
        "$probe" "$p" | tee -a "$work/$(basename "$p").times" | sed "s|^|$(basename "$p") mapped/painted ms: |"
    done
done
for p in "${players[@]}"; do
    name=$(basename "$p")
    echo "$name median: mapped $(sort -n -k1 "$work/$name.times" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}') ms," \
        "painted $(sort -n -k2 "$work/$name.times" | awk '{a[NR]=$2} END {print a[int((NR+1)/2)]}') ms"
done
