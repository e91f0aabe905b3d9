#!/bin/bash
# Whole-process CPU of looping very short and cut-off WAVs, against a normal
# file: ostaudio-play loops each through a private PulseAudio server with a
# null sink, and the player's CPU (all threads, /proc/PID/task/*/schedstat)
# is taken over a window, as a share of one core. The files: a valid 44.1 kHz
# stereo WAV of 1, 3 and 92 frames, a 1-second one cut to 57 and to 103
# bytes (its header still counting the whole second), and 30 s of tone.
#
# usage: bench/audio/loop_cost_bench.sh [path/to/ostaudio-play] [window-seconds]
set -euo pipefail

PLAYER=$(realpath "${1:-build/bench/audio/ostaudio-play}")
WINDOW=${2:-30}
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/../work.sh"
bench_work ostaudio-loopcost

python3 - "$WORK" <<'PY'
import math, struct, sys
def wav(frames, stated=None):
    data = b"".join(struct.pack("<hh", int(8000 * math.sin(i / 7)), int(8000 * math.cos(i / 5))) for i in range(frames))
    size = 4 * (stated or frames)
    return (b"RIFF" + struct.pack("<I", 36 + size) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16)
            + b"data" + struct.pack("<I", size) + data)
d = sys.argv[1]
for name, body in [("1frame", wav(1)), ("3frames", wav(3)), ("92frames", wav(92)),
                   ("cut57", wav(44100)[:57]), ("cut103", wav(44100)[:103]), ("normal", wav(44100 * 30))]:
    open("%s/%s.wav" % (d, name), "wb").write(body)
PY

mkdir -m 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run" HOME="$WORK" PULSE_SERVER="unix:$WORK/run/native"
start_pulse_sink bench "$WORK/run/native" "$WORK/pulse.log" || { echo "PulseAudio did not start" >&2; exit 1; }

cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{n += $1} END {printf "%d\n", n}'; }

printf '%-10s %12s\n' "file" "% of a core"
for name in 1frame 3frames cut57 cut103 92frames normal; do
    "$PLAYER" "$WORK/$name.wav" $((WINDOW + 5)) loop >/dev/null 2>"$WORK/play.log" &
    pid=$!
    PIDS+=("$pid")
    sleep 2  # past the start
    c0=$(cpu_ns "$pid")
    t0=$(date +%s%N)
    sleep "$WINDOW"
    c1=$(cpu_ns "$pid")
    t1=$(date +%s%N)
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    awk -v n="$name" -v c=$((c1 - c0)) -v t=$((t1 - t0)) 'BEGIN {printf "%-10s %12.2f\n", n, 100 * c / t}'
done
