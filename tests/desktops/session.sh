# What run.sh and scale_look.sh share: their processes, polling and the
# sound server the player plays to. Sourced after DESKTOP, DIR and TOOLS are
# set; the sourcing script defines log and fail.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$ROOT/scripts/lib/proc.sh"
. "$ROOT/scripts/lib/boxes.sh"

# A private PulseAudio server with one null sink, "e2e", at the session's
# default place, so that whatever the desktop starts finds it too.
start_sound() {
    local dir=$XDG_RUNTIME_DIR/pulse
    # sway's runtime directory belongs to its own uid, which PulseAudio refuses.
    [ "$DESKTOP" = sway ] && { dir=$DIR/pulse; PULSE_HOME=$DIR; export PULSE_SERVER=unix:$dir/native; }
    mkdir -p "$dir"
    start_pulse_sink e2e "$dir/native" "$DIR/log/pulse.log" XDG_RUNTIME_DIR="${dir%/pulse}" HOME="${PULSE_HOME:-$HOME}" ||
        { fail "PulseAudio did not start"; return 1; }
}

# What the sink carries for a moment: sink_sounds 523 (that tone) or silent.
sink_sounds() {
    timeout 0.8 parec --device=e2e.monitor --format=s16le --rate=44100 --channels=1 >"$DIR/heard.raw" 2>>"$DIR/log/parec.log"
    python3 "$TOOLS/tone_check.py" "$DIR/heard.raw" "$1" >"$DIR/verdict" 2>&1
}
