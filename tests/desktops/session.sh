# What run.sh and scale_look.sh share: their processes, polling and the
# sound server the player plays to. Sourced after DESKTOP, DIR and TOOLS are
# set; the sourcing script defines log and fail.

PIDS=()
ms() { echo $(($(date +%s%N) / 1000000)); }

spawn() {
    "$@" &
    PIDS+=($!)
    LAST_PID=$!
}

# Polls CMD until it succeeds or SECONDS pass: wait_for SECONDS CMD...
wait_for() {
    local end=$(($(ms) + $1 * 1000))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$(ms)" -ge $end ] && return 1
        sleep 0.1
    done
}

# A private PulseAudio server with one null sink, "e2e", at the session's
# default place, so that whatever the desktop starts finds it too.
start_sound() {
    local dir=$XDG_RUNTIME_DIR/pulse
    # sway's runtime directory belongs to its own uid, which PulseAudio refuses.
    [ "$DESKTOP" = sway ] && { dir=$DIR/pulse; PULSE_HOME=$DIR; export PULSE_SERVER=unix:$dir/native; }
    mkdir -p "$dir"
    spawn env XDG_RUNTIME_DIR="${dir%/pulse}" HOME="${PULSE_HOME:-$HOME}" pulseaudio --daemonize=no --exit-idle-time=-1 -n --disallow-exit --use-pid-file=no \
        --load="module-null-sink sink_name=e2e" \
        --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
        --log-target=file:"$DIR/log/pulse.log"
    wait_for 10 pactl info || { fail "PulseAudio did not start"; return 1; }
}

# What the sink carries for a moment: sink_sounds 523 (that tone) or silent.
sink_sounds() {
    timeout 0.8 parec --device=e2e.monitor --format=s16le --rate=44100 --channels=1 >"$DIR/heard.raw" 2>>"$DIR/log/parec.log"
    python3 "$TOOLS/tone_check.py" "$DIR/heard.raw" "$1" >"$DIR/verdict" 2>&1
}
