#!/bin/bash
# How promptly a dropped MP3 without a frame-counting header is heard, for a
# 1 MB and a 200 MB file (the length of such a file comes from a walk through
# all of it), from a recording of the sink's monitor (tests/e2e/tools/
# sink_watch.py). A private PulseAudio server with a null sink; the player
# under Xvfb and openbox, files dropped with xdnd_send, stopped with the stop
# button between drops. The file is in the page cache, as a file just
# downloaded or played is. Figures include the monitor's own delay, so they
# are upper bounds. Needs sox and lame to make the files.
#
# usage: bench/audio/mp3_drop_bench.sh [build-dir] [rounds]
set -euo pipefail

BUILD=$(realpath "${1:-build}")
ROUNDS=${2:-5}
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/../desktop.sh"
WATCH=$HERE/../../tests/e2e/tools/sink_watch.py
. "$HERE/../work.sh"
bench_work ostaudio-mp3drop

# 16 s of tone, no header (-t); joined end to end for the larger files.
sox -n -r 44100 -c 2 -b 16 "$WORK/tone.wav" synth 16 sine 440 sine 660 gain -6
lame --quiet -t -b 128 "$WORK/tone.wav" "$WORK/piece.mp3"
rm -f "$WORK/tone.wav"
join_to() {
    local bytes=$1 out=$2
    : >"$out"
    while [ "$(stat -c %s "$out")" -lt "$bytes" ]; do cat "$WORK/piece.mp3" >>"$out"; done
}
join_to 1000000 "$WORK/1mb.mp3"
join_to 200000000 "$WORK/200mb.mp3"
cat "$WORK/200mb.mp3" >/dev/null

mkdir -m 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run" HOME="$WORK" PULSE_SERVER="unix:$WORK/run/native"
start_pulse_sink bench "$WORK/run/native" "$WORK/pulse.log" || { echo "PulseAudio did not start" >&2; exit 1; }

start_bench_display "$WORK/display"
(cd "$WORK" && exec "$BUILD/src/app/ostrel") >/dev/null 2>"$WORK/ostrel.log" &
PIDS+=($!)
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name '^Ostrel$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "ostrel: no window" >&2; exit 1; }
read -r OX OY < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
sleep 1

: >"$WORK/watch.log"
python3 "$WATCH" record bench.monitor "$WORK/watch.log" 2>/dev/null &
PIDS+=($!)
for _ in $(seq 100); do [ -s "$WORK/watch.log" ] && break; sleep 0.02; done

now() { date +%s.%N; }
ms() {
    local out
    for _ in $(seq 50); do
        out=$(python3 "$WATCH" "$1" "$2" "$WORK/watch.log" 2>/dev/null) && { echo "$out"; return 0; }
        sleep 0.1
    done
    echo "-"
}
click() { xdotool mousemove $((OX + $1)) $((OY + $2)) click 1; }
drop() { "$BUILD/tests/e2e/xdnd_send" --window "$window" --at 110,115 -- "$1"; }

declare -A F
for _ in $(seq "$ROUNDS"); do
    for f in 1mb 200mb; do
        t=$(now)
        drop "$WORK/$f.mp3"
        F[$f]+="$(ms sound-after "$t") "
        sleep 1
        click 212 115
        sleep 1
    done
done
echo "ms from the drop to the recording, ${ROUNDS} rounds"
printf '%-36s %s\n' "1 MB MP3, no header" "${F[1mb]}" "200 MB MP3, no header" "${F[200mb]}"
grep "ran dry" "$WORK/ostrel.log" || true
