#!/bin/bash
# Whole-process cost of playing a 60-second 192 kbit/s MP3 through a private
# PulseAudio server with a null sink, counting the sound server's own work:
# per player, the CPU of the player and of the daemon (all threads, from
# /proc/PID/task/*/schedstat) over the same window, their sum, the context
# switches of both and the sink's configured latency, scaled to a minute;
# for the real player also the X server's CPU, since a user pays it too.
# The players: ostaudio-play (the audio library alone), mpg123 -o pulse when
# installed, and with OSTREL set (and XDND_SEND, default
# build/tests/e2e/xdnd_send) the real player under Xvfb and openbox, the
# file dropped on its window. A line for the daemon with no player is the
# floor. Needs sox and lame to make the file.
#
# usage: [OSTREL=... XDND_SEND=...] bench/audio/playback_bench.sh [path/to/ostaudio-play] [window-seconds]
set -euo pipefail
. "$(dirname "$0")/../desktop.sh"

PLAYER=${1:-build/bench/audio/ostaudio-play}
WINDOW=${2:-12}
WORK=$(mktemp -d /tmp/ostaudio-bench.XXXXXX)
PULSE_PID=""
XSERVER_PID=""
PIDS=()

cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -n "$PULSE_PID" ]; then kill "$PULSE_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

sox -n -r 44100 -c 2 -b 16 "$WORK/tone.wav" synth 60 sine 440 sine 554 gain -6
lame --quiet -b 192 "$WORK/tone.wav" "$WORK/tone.mp3"
rm -f "$WORK/tone.wav"

mkdir -m 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run" HOME="$WORK"
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no \
    --load="module-null-sink sink_name=bench" \
    --load="module-native-protocol-unix socket=$WORK/run/native auth-anonymous=1" \
    --log-target=file:"$WORK/pulse.log" &
PULSE_PID=$!
export PULSE_SERVER="unix:$WORK/run/native"
for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

# Nanoseconds on CPU and context switches, summed over a process's threads.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{n += $1} END {printf "%d\n", n}'; }
switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '$1 == "voluntary_ctxt_switches:" || $1 == "nonvoluntary_ctxt_switches:" {n += $2} END {print n + 0}'
}
sink_configured_ms() {
    pactl list sinks | sed -n 's/.*Latency: .* usec, configured \([0-9]*\) usec.*/\1/p' | head -n1 |
        awk '{printf "%.1f", $1 / 1000}'
}
playing() { [ -n "$(pactl list short sink-inputs)" ]; }
wait_playing() {
    for _ in $(seq 100); do playing && return 0; sleep 0.1; done
    echo "$1: no stream on the server" >&2
    return 1
}

printf '%-24s %10s %10s %10s %10s %10s %10s %9s %8s\n' "per minute of playback" "player s" "daemon s" "X s" \
    "sum s" "player cs" "daemon cs" "sink ms" "rss MB"
# Measures the player PID (none: the daemon alone) over the window.
measure() {
    local label=$1 pid=${2:-} p0=0 p1=0 c0=0 c1=0 d0 d1 e0 e1 x0=0 x1=0 latency rss=0
    sleep 2  # past the start
    [ -n "$XSERVER_PID" ] && x0=$(cpu_ns "$XSERVER_PID")
    d0=$(cpu_ns "$PULSE_PID")
    e0=$(switches "$PULSE_PID")
    if [ -n "$pid" ]; then p0=$(cpu_ns "$pid"); c0=$(switches "$pid"); fi
    sleep $((WINDOW / 2))
    latency=$(sink_configured_ms)
    sleep $((WINDOW - WINDOW / 2))
    d1=$(cpu_ns "$PULSE_PID")
    [ -n "$XSERVER_PID" ] && x1=$(cpu_ns "$XSERVER_PID")
    e1=$(switches "$PULSE_PID")
    if [ -n "$pid" ]; then
        p1=$(cpu_ns "$pid")
        c1=$(switches "$pid")
        rss=$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' /proc/"$pid"/status)
    fi
    awk -v l="$label" -v p=$((p1 - p0)) -v d=$((d1 - d0)) -v x=$((x1 - x0)) -v c=$((c1 - c0)) -v e=$((e1 - e0)) \
        -v w="$WINDOW" -v lat="${latency:--}" -v rss="$rss" -v has="$pid" -v hasx="$XSERVER_PID" 'BEGIN {
        k = 60 / w / 1e9
        printf "%-24s %10s %10.2f %10s %10.2f %10s %10d %9s %8s\n", l, has ? sprintf("%.2f", p * k) : "-", d * k,
            hasx ? sprintf("%.2f", x * k) : "-", (p + d + x) * k, has ? sprintf("%d", c * 60 / w) : "-", e * 60 / w,
            lat, has ? rss : "-"
    }'
}

measure "daemon, nothing playing"

if [ -x "$PLAYER" ]; then
    "$PLAYER" "$WORK/tone.mp3" $((WINDOW + 5)) >/dev/null 2>"$WORK/play.log" &
    pid=$!
    PIDS+=("$pid")
    wait_playing ostaudio-play && measure "ostaudio-play" "$pid"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    grep "ran dry" "$WORK/play.log" >&2 || true
fi

if command -v mpg123 >/dev/null; then
    mpg123 -q -o pulse "$WORK/tone.mp3" >/dev/null 2>&1 &
    pid=$!
    PIDS+=("$pid")
    wait_playing mpg123 && measure "mpg123 -o pulse" "$pid"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
fi

if [ -n "${OSTREL:-}" ]; then
    OSTREL=$(realpath "$OSTREL")
    SEND=${XDND_SEND:-build/tests/e2e/xdnd_send}
    start_bench_display "$WORK/display"
    (cd "$WORK" && exec "$OSTREL") >/dev/null 2>"$WORK/ostrel.log" &
    pid=$!
    PIDS+=("$pid")
    window=""
    for _ in $(seq 100); do
        window=$(xdotool search --name '^Ostrel$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "ostrel: no window" >&2; cat "$WORK/ostrel.log" >&2; exit 1; }
    sleep 1
    "$SEND" --window "$window" --at 110,115 -- "$WORK/tone.mp3"
    wait_playing ostrel && measure "ostrel, dropped file" "$pid"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    grep "ran dry" "$WORK/ostrel.log" >&2 || true
fi
