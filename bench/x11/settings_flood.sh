#!/usr/bin/env bash
# What another client rewriting the display settings costs a player: each
# player started in turn on one Xvfb with openbox, a private PulseAudio
# server and a private session bus; while settings_flood rewrites a MODE
# (settings or resources) list of about 1 MiB RATE times a second for
# WINDOW seconds, the player's CPU (all threads) and its MPRIS round trips
# (a property read with busctl, one after another: median and longest).
#   bench/x11/settings_flood.sh BUILD_DIR MODE RATE WINDOW PLAYER...
set -u
build=$(realpath "${1:?usage: settings_flood.sh BUILD_DIR MODE RATE WINDOW PLAYER...}")
mode=${2:?} rate=${3:?} window=${4:?}
shift 4
players=()
for p in "$@"; do players+=("$(realpath "$p")"); done
work=$(mktemp -d)
PIDS=()
trap 'kill "${PIDS[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

. "$(dirname "$0")/../desktop.sh"
start_bench_display "$work/display"
start_bench_sound "$work"
dbus-daemon --session --nofork --address="unix:path=$work/bus" --print-address=3 3>"$work/busaddr" 2>/dev/null &
PIDS+=($!)
until [ -s "$work/busaddr" ]; do sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/busaddr")

cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{n += $1} END {printf "%d\n", n}'; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
round_trip() {
    busctl --user --timeout=30 call org.mpris.MediaPlayer2.ostrel /org/mpris/MediaPlayer2 \
        org.freedesktop.DBus.Properties Get ss org.mpris.MediaPlayer2.Player PlaybackStatus >/dev/null 2>&1
}

for p in "${players[@]}"; do
    (cd "$work" && exec "$p") >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do round_trip && break; sleep 0.1; done
    sleep 1
    "$build/bench/x11/settings_flood" "$mode" "$rate" "$window" >"$work/flood" 2>&1 &
    flood=$!
    c0=$(cpu_ns "$pid") t0=$(now_ms)
    : >"$work/trips"
    while [ $(($(now_ms) - t0)) -lt $((window * 1000)) ]; do
        a=$(now_ms)
        round_trip
        echo $(($(now_ms) - a)) >>"$work/trips"
    done
    c1=$(cpu_ns "$pid") t1=$(now_ms)
    wait "$flood"
    kill "$pid"
    wait "$pid" 2>/dev/null
    sort -n "$work/trips" >"$work/sorted"
    printf '%s: CPU %s %% of a core, %d round trips, median %d ms, longest %d ms (flood: %s)\n' \
        "$p" "$(awk -v c=$((c1 - c0)) -v t=$((t1 - t0)) 'BEGIN { printf "%.1f", c / 1e4 / t }')" \
        "$(wc -l <"$work/sorted")" "$(awk '{a[NR] = $1} END {print a[int(NR / 2) + 1]}' "$work/sorted")" \
        "$(tail -n1 "$work/sorted")" "$(cat "$work/flood")"
done
