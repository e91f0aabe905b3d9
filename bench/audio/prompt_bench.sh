#!/bin/bash
# How promptly the sound follows the player, measured from a recording of the
# sink's monitor (tests/e2e/tools/sink_watch.py, 10 ms blocks stamped with
# the wall clock): a drop until it is heard, pause and stop until silence,
# resume until heard, a new drop while playing until the old sound is gone,
# the server killed mid-play and started again until its stream is back and
# heard; and how exact the reported position is: ostaudio-play traces its position
# while playing a click at 2.000 s, set against when the click was recorded.
# A private PulseAudio server with a null sink; the player under Xvfb and
# openbox, driven through its buttons with xdotool. Figures include the
# monitor's own delay, so they are upper bounds.
#
# usage: bench/audio/prompt_bench.sh [build-dir] [rounds]
set -euo pipefail

BUILD=$(realpath "${1:-build}")
ROUNDS=${2:-3}
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/../desktop.sh"
WATCH=$HERE/../../tests/e2e/tools/sink_watch.py
. "$HERE/../work.sh"
bench_work ostaudio-prompt

sox -n -r 44100 -c 2 -b 16 "$WORK/tone.wav" synth 30 sine 440 gain -6
sox -n -r 44100 -c 2 -b 16 "$WORK/late.wav" synth 0.6 sine 0 gain -100 : synth 10 sine 660 gain -6
sox -n -r 44100 -c 2 -b 16 "$WORK/click.wav" synth 2 sine 0 gain -100 : synth 0.03 sine 1000 gain -3 : \
    synth 2 sine 0 gain -100

mkdir -m 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run" HOME="$WORK" PULSE_SERVER="unix:$WORK/run/native"
start_pulse() { start_pulse_sink bench "$WORK/run/native" "$WORK/pulse.log" || { echo "PulseAudio did not start" >&2; exit 1; }; }
start_pulse

start_bench_display "$WORK/display"
(cd "$WORK" && exec "$BUILD/src/app/ostrel") >/dev/null 2>"$WORK/ostrel.log" &
OSTREL_PID=$!
PIDS+=($!)
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name '^Ostrel$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "ostrel: no window" >&2; exit 1; }
read -r OX OY < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
sleep 1

start_watch() {
    : >"$WORK/watch.log"
    python3 "$WATCH" record bench.monitor "$WORK/watch.log" 2>/dev/null &
    PIDS+=($!)
    for _ in $(seq 100); do [ -s "$WORK/watch.log" ] && break; sleep 0.02; done
}
start_watch

now() { date +%s.%N; }
# Polls the recording for a figure: ms WHAT T, WHAT sound-after or silent-after.
ms() {
    local i out
    for i in $(seq 50); do
        out=$(python3 "$WATCH" "$1" "$2" "$WORK/watch.log" 2>/dev/null) && { echo "$out"; return 0; }
        sleep 0.1
    done
    echo "-"
}
click() { xdotool mousemove $((OX + $1)) $((OY + $2)) click 1; }
drop() { "$BUILD/tests/e2e/xdnd_send" --window "$window" --at 110,115 -- "$1"; }
row() { printf '%-40s' "$1"; shift; printf ' %6s' "$@"; echo; }

declare -A F
for r in $(seq "$ROUNDS"); do
    t=$(now); drop "$WORK/tone.wav"; F[drop]+="$(ms sound-after "$t") "
    sleep 1
    t=$(now); click 267 115; F[pause]+="$(ms silent-after "$t") "
    sleep 0.5
    t=$(now); click 267 115; F[resume]+="$(ms sound-after "$t") "
    sleep 1
    t=$(now); drop "$WORK/late.wav"; F[switch]+="$(ms gap-after "$t") "
    sleep 1
    t=$(now); click 212 115; F[stop]+="$(ms silent-after "$t") "
    sleep 0.5
done
echo "ms from the action to the recording, ${ROUNDS} rounds"
row "drop (stopped) -> heard" ${F[drop]}
row "pause -> silent" ${F[pause]}
row "resume -> heard" ${F[resume]}
row "drop while playing -> old sound gone" ${F[switch]}
row "stop -> silent" ${F[stop]}
grep "ran dry" "$WORK/ostrel.log" || true

# The server killed while a file plays, and started again two seconds later.
drop "$WORK/tone.wav"
sleep 1
{ kill -KILL "$PULSE_PID"; wait "$PULSE_PID"; } 2>/dev/null || true
sleep 2
kill -0 "$OSTREL_PID" || { echo "ostrel died with the server" >&2; exit 1; }
import -window root "$WORK/down.png"
[ -n "${SHOT:-}" ] && cp "$WORK/down.png" "$SHOT"
start_pulse
t=$(now)
for _ in $(seq 200); do [ -n "$(pactl list short sink-inputs)" ] && break; sleep 0.02; done
stream=$(awk -v t="$t" -v n="$(now)" 'BEGIN {printf "%.0f", (n - t) * 1000}')
start_watch
first=$(awk 'NR == 1 {print $1}' "$WORK/watch.log")
echo "server answering -> stream back ${stream} ms, heard $(ms sound-after "$t") ms" \
    "(the recording could start only $(awk -v a="$first" -v t="$t" 'BEGIN {printf "%.0f", (a - t) * 1000}') ms after)"

# Position: when did ostaudio-play say 2000 ms, and when was the click heard?
click 212 115
sleep 1
t=$(now)
OSTAUDIO_TRACE=1 "$BUILD/bench/audio/ostaudio-play" "$WORK/click.wav" 5 >/dev/null 2>"$WORK/trace.log"
heard=$(ms sound-after "$t")
awk -v t0="$t" -v heard="$heard" '$2 >= 2000 && !done {
        # interpolate between this sample and the last one below 2000 ms
        at = pt + (2000 - pp) / ($2 - pp) * ($1 - pt)
        printf "position: 2000 ms reported at +%.0f ms, the click recorded at +%s ms: heard %.0f ms after the position said so\n",
            (at - t0) * 1000, heard, heard - (at - t0) * 1000
        done = 1
    }
    {pt = $1; pp = $2}' "$WORK/trace.log"
