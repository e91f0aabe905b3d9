#!/usr/bin/env bash
# What the progress tick costs a whole process: each player started in turn
# on one Xvfb with openbox and a private PulseAudio server, left idle (the
# tick runs whether or not anything plays), and its CPU and the X server's
# (all threads, from /proc/PID/task/*/schedstat) and its context switches
# counted over WINDOW seconds; ROUNDS rounds, medians, scaled to a minute
# and to one tick of 273 ms.
#   bench/app/tick_cost.sh [ROUNDS] [WINDOW] PLAYER...
set -u
rounds=${1:?usage: tick_cost.sh ROUNDS WINDOW PLAYER...}
window=${2:?usage: tick_cost.sh ROUNDS WINDOW PLAYER...}
shift 2
players=()
for p in "$@"; do players+=("$(realpath "$p")"); done
work=$(mktemp -d)
PIDS=()
trap 'kill "${PIDS[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

. "$(dirname "$0")/../desktop.sh"
start_bench_display "$work/display"
start_bench_sound "$work"

cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{n += $1} END {printf "%d\n", n}'; }
switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '$1 == "voluntary_ctxt_switches:" || $1 == "nonvoluntary_ctxt_switches:" {n += $2} END {print n + 0}'
}

for ((i = 0; i < rounds; i++)); do
    for p in "${players[@]}"; do
        (cd "$work" && exec "$p") >/dev/null 2>&1 &
        pid=$!
        for _ in $(seq 100); do xdotool search --pid "$pid" >/dev/null 2>&1 && break; sleep 0.1; done
        sleep 1
        p0=$(cpu_ns "$pid") x0=$(cpu_ns "$XSERVER_PID") c0=$(switches "$pid")
        sleep "$window"
        p1=$(cpu_ns "$pid") x1=$(cpu_ns "$XSERVER_PID") c1=$(switches "$pid")
        kill "$pid"
        wait "$pid" 2>/dev/null
        echo "$(basename "$p") $(((p1 - p0) / 1000)) $(((x1 - x0) / 1000)) $((c1 - c0))" >>"$work/runs"
    done
done

printf '%-16s %14s %14s %12s %12s %14s\n' "median of $rounds" "player s/min" "X s/min" "player us/tick" "X us/tick" "switches/s"
for p in "${players[@]}"; do
    name=$(basename "$p")
    med() { awk -v n="$name" -v f="$1" '$1 == n {print $f}' "$work/runs" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
    awk -v n="$name" -v p="$(med 2)" -v x="$(med 3)" -v c="$(med 4)" -v w="$window" 'BEGIN {
        ticks = w * 1000 / 273
        printf "%-16s %14.3f %14.3f %12.0f %12.0f %14.1f\n", n, p * 60 / w / 1e6, x * 60 / w / 1e6, p / ticks, x / ticks, c / w
    }'
done
