# Sourced by the benchmarks: a private Xvfb display with openbox, ready to
# take windows. Sets DISPLAY and XSERVER_PID and adds both processes to PIDS.
# shellcheck shell=bash disable=SC2034  # what it sets is for the sourcing script
#   start_bench_display FILE   (FILE: where Xvfb writes its display number)
. "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib/proc.sh"

start_bench_display() { start_bench_xvfb "$1" && start_bench_wm; }

# Xvfb alone, its errors to LOG.
#   start_bench_xvfb FILE [LOG]
start_bench_xvfb() {
    local fdfile=$1
    : >"$fdfile"
    spawn Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fdfile" 2>"${2:-/dev/null}"
    XSERVER_PID=$LAST_PID
    wait_for 10 test -s "$fdfile" || { echo "Xvfb did not start" >&2; return 1; }
    DISPLAY=:$(head -n1 "$fdfile")
    export DISPLAY
}

# openbox on that display, its output to LOG.
#   start_bench_wm [LOG]
# shellcheck disable=SC2120  # the argument is optional
start_bench_wm() {
    spawn openbox --sm-disable >"${1:-/dev/null}" 2>&1
    # openbox takes windows once its client list is up.
    wait_quiet 10 sh -c 'xprop -root _NET_CLIENT_LIST | grep -q "window id"' || { echo "openbox did not start" >&2; return 1; }
}

# A private PulseAudio server with one null sink, "bench", in DIR, made the
# default for what is started next; added to PIDS.
#   start_bench_sound DIR
start_bench_sound() {
    mkdir -p "$1/pulse"
    export HOME=$1 XDG_RUNTIME_DIR=$1/pulse PULSE_SERVER=unix:$1/pulse/native
    start_pulse_sink bench "$1/pulse/native" "$1/pulse.log" || { echo "PulseAudio did not start" >&2; return 1; }
}
