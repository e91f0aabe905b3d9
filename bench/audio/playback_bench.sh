#!/bin/bash
# Whole-process cost of playing one minute of a 60-second MP3: CPU seconds,
# peak RSS and context switches per second, for ostaudio-play through the
# real-time no-sound output and through PulseAudio, next to mpg123 on the same
# file and server. Starts its own PulseAudio with a null sink and stops it.
# With OSTREL set to the program (and XDND_SEND to build/tests/e2e/xdnd_send),
# also plays the file in the real player under Xvfb and openbox, dropped on
# its window, and reports the player's peak RSS, CPU and context switches.
#
# usage: [OSTREL=... XDND_SEND=...] bench/audio/playback_bench.sh [path/to/ostaudio-play] [seconds]
set -euo pipefail

PLAYER=${1:-build/bench/audio/ostaudio-play}
SECONDS_TO_PLAY=${2:-60}
WORK=$(mktemp -d /tmp/ostaudio-bench.XXXXXX)
PULSE_PID=""
X_PIDS=()

cleanup() {
    local pid
    for pid in "${X_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ -n "$PULSE_PID" ]; then kill "$PULSE_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT

# 60 s of stereo tone, 192 kbit/s, as a typical music file would be.
sox -n -r 44100 -c 2 -b 16 "$WORK/tone.wav" synth 60 sine 440 sine 554 gain -6
lame --quiet -b 192 "$WORK/tone.wav" "$WORK/tone.mp3"
rm -f "$WORK/tone.wav"

mkdir -m 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run"
pulseaudio --daemonize=no --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=bench" \
    --load="module-native-protocol-unix socket=$WORK/run/native auth-anonymous=1" \
    --log-target=file:"$WORK/pulse.log" &
PULSE_PID=$!
for _ in $(seq 50); do
    [ -S "$WORK/run/native" ] && break
    sleep 0.1
done
export PULSE_SERVER="unix:$WORK/run/native"

measure() {
    local label=$1
    shift
    /usr/bin/time -v -o "$WORK/time.txt" "$@" >/dev/null 2>&1 || true
    awk -v label="$label" -F': ' '
        /User time/ {user=$2} /System time/ {sys=$2}
        /Maximum resident/ {rss=$2}
        /Voluntary context/ {vol=$2} /Involuntary context/ {invol=$2}
        /Elapsed \(wall clock\)/ {
            n=split($2, p, ":"); wall=0
            for (i=1; i<=n; i++) wall = wall*60 + p[i]
        }
        END {
            printf "%-28s cpu %6.2f s  rss %6.1f MB  ctxsw %7.1f /s  (wall %.1f s)\n",
                label, user+sys, rss/1024, (vol+invol)/wall, wall
        }' "$WORK/time.txt"
}

echo "one ${SECONDS_TO_PLAY}-second play of a 192 kbit/s stereo MP3"
OSTAUDIO_OUTPUT=nosound measure "ostaudio-play, no sound" "$PLAYER" "$WORK/tone.mp3" "$SECONDS_TO_PLAY"
measure "ostaudio-play, PulseAudio" "$PLAYER" "$WORK/tone.mp3" "$SECONDS_TO_PLAY"
if command -v mpg123 >/dev/null; then
    measure "mpg123, PulseAudio" timeout -s INT "$((SECONDS_TO_PLAY + 1))" mpg123 -q -o pulse "$WORK/tone.mp3"
fi

# Sums a field of /proc/<pid>/task/*/status over the threads still alive.
task_sum() {
    cat /proc/"$1"/task/*/status 2>/dev/null | awk -v f="$2:" '$1 == f {n += $2} END {print n + 0}'
}

if [ -n "${OSTREL:-}" ]; then
    SEND=${XDND_SEND:-build/tests/e2e/xdnd_send}
    : >"$WORK/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$WORK/display" 2>/dev/null &
    X_PIDS+=($!)
    for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -n1 "$WORK/display")
    openbox >/dev/null 2>&1 &
    X_PIDS+=($!)
    sleep 1
    (cd "$WORK" && HOME=$WORK exec "$OSTREL") >/dev/null 2>&1 &
    OSTREL_PID=$!
    X_PIDS+=("$OSTREL_PID")
    window=""
    for _ in $(seq 100); do
        window=$(xdotool search --name '^Ostrel$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "ostrel: no window" >&2; exit 1; }
    idle_hwm=$(awk '/VmHWM/ {print $2}' /proc/"$OSTREL_PID"/status)
    "$SEND" --window "$window" --at 110,115 -- "$WORK/tone.mp3"
    read -r _ _ _ _ _ _ _ _ _ _ _ _ u0 s0 _ < <(cut -d')' -f2- /proc/"$OSTREL_PID"/stat | sed 's/^/x /')
    c0=$(( $(task_sum "$OSTREL_PID" voluntary_ctxt_switches) + $(task_sum "$OSTREL_PID" nonvoluntary_ctxt_switches) ))
    sleep "$SECONDS_TO_PLAY"
    read -r _ _ _ _ _ _ _ _ _ _ _ _ u1 s1 _ < <(cut -d')' -f2- /proc/"$OSTREL_PID"/stat | sed 's/^/x /')
    c1=$(( $(task_sum "$OSTREL_PID" voluntary_ctxt_switches) + $(task_sum "$OSTREL_PID" nonvoluntary_ctxt_switches) ))
    hwm=$(awk '/VmHWM/ {print $2}' /proc/"$OSTREL_PID"/status)
    tick=$(getconf CLK_TCK)
    # Context switches are those of the threads alive at both ends.
    awk -v idle="$idle_hwm" -v hwm="$hwm" -v cpu=$((u1 + s1 - u0 - s0)) -v tick="$tick" \
        -v cs=$((c1 - c0)) -v t="$SECONDS_TO_PLAY" 'BEGIN {
        printf "%-28s cpu %6.2f s  rss %6.1f MB  ctxsw %7.1f /s  (idle rss %.1f MB)\n",
            "ostrel, dropped file", cpu / tick, hwm / 1024, cs / t, idle / 1024
    }'
fi
