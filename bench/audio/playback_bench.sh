#!/bin/bash
# Whole-process cost of playing one minute of a 60-second MP3: CPU seconds,
# peak RSS and context switches per second, for ostaudio-play through the
# real-time no-sound output and through PulseAudio, next to mpg123 on the same
# file and server. Starts its own PulseAudio with a null sink and stops it.
#
# usage: bench/audio/playback_bench.sh [path/to/ostaudio-play] [seconds]
set -euo pipefail

PLAYER=${1:-build/bench/audio/ostaudio-play}
SECONDS_TO_PLAY=${2:-60}
WORK=$(mktemp -d /tmp/ostaudio-bench.XXXXXX)
PULSE_PID=""

cleanup() {
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
