#!/usr/bin/env bash
# Start-up with no sound server, the "No sound device found." box
# acknowledged the moment it maps, many times over under load: does the main
# window always follow?
#
#   startup_after_warning.sh BUILD_DIR [RUNS] [openbox|none] [LOAD]
#
# Each run starts the real program on one Xvfb (with openbox or without a
# window manager), presses Return on the box or clicks its OK button (runs
# alternate) as soon as the box's window exists, then waits for the window
# titled "Ostrel" and closes it. A run fails when the program ends or reports
# an assertion or a start-up error instead. LOAD busy loops (default 2) keep
# the cores busy throughout. Prints one line per failure and a summary.
set -u

BUILD=$(cd "${1:?usage: startup_after_warning.sh BUILD_DIR [RUNS] [openbox|none] [LOAD]}" && pwd)
RUNS=${2:-200}
WM=${3:-openbox}
LOAD=${4:-2}
OSTREL=$BUILD/src/app/ostrel
CLOSE=$BUILD/tests/e2e/wm_close
for tool in "$OSTREL" "$CLOSE"; do
    [ -x "$tool" ] || { echo "missing $tool (build ostrel and wm_close)" >&2; exit 2; }
done

. "$(dirname "$0")/../desktop.sh"
WORK=$(mktemp -d)
cleanup() {
    stop_spawned
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_bench_xvfb "$WORK/display" "$WORK/xvfb.log" || exit 1
if [ "$WM" = openbox ]; then start_bench_wm "$WORK/openbox.log" || exit 1; fi
# No sound server: the program takes its no-sound path and warns first.
export PULSE_SERVER=unix:$WORK/no-such-server HOME=$WORK XDG_RUNTIME_DIR=$WORK

for _ in $(seq "$LOAD"); do
    bash -c 'while :; do :; done' &
    PIDS+=($!)
done

# The first window titled exactly NAME within SECONDS, polled without pause;
# fails at once when PID ends.
find_window() {
    local deadline=$((SECONDS + $2)) id
    while [ $SECONDS -lt $deadline ]; do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        kill -0 "$3" 2>/dev/null || return 1
    done
    return 1
}

failures=0
repeated=0
start=$SECONDS
for run in $(seq "$RUNS"); do
    log=$WORK/run.log
    # The windows of the run before are gone with its connection, which the
    # server may take a moment to close under load.
    for _ in $(seq 100); do
        xdotool search --name '^(Ostrel|Warning)$' >/dev/null 2>&1 || break
        sleep 0.1
    done
    "$OSTREL" >/dev/null 2>"$log" &
    pid=$!
    verdict=""
    if box=$(find_window Warning 30 "$pid"); then
        # An acknowledgement that reaches the box before it can take it (a
        # key before it has the focus) is lost, as a user's would be: it is
        # repeated until the box goes away.
        for attempt in $(seq 100); do
            if ((run % 2)); then
                xdotool key --window "$box" Return 2>/dev/null
            else
                # The OK button of the 240 by 100 box.
                xdotool mousemove --window "$box" 120 72 click 1 2>/dev/null
            fi
            xdotool search --name '^Warning$' 2>/dev/null | grep -qx "$box" || break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        # xdotool presses through XTEST when the box has the focus but may
        # release through an event sent to the box, gone by then: the server
        # would hold Return down, and its autorepeat would acknowledge every
        # later box before it could be seen.
        xdotool keyup Return 2>/dev/null
        ((attempt > 1)) && repeated=$((repeated + 1))
        if id=$(find_window Ostrel 30 "$pid"); then
            if [ "$WM" = openbox ]; then "$CLOSE" "$id"; else "$CLOSE" --direct "$id"; fi
        else
            verdict="no main window"
        fi
    else
        verdict="no warning box"
    fi
    for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        verdict=${verdict:-"still running after the close request"}
    fi
    wait "$pid" 2>/dev/null
    status=$?
    # Without a tray the tray's own assertion is expected; any other is not.
    bad=$(grep -v "file ot_tray" "$log" | grep -m1 "Assertion failed\|failed to load")
    [ -n "$bad" ] && verdict="${verdict:+$verdict; }$bad"
    [ -z "$verdict" ] && [ "$status" -ne 0 ] && verdict="exit status $status"
    if [ -n "$verdict" ]; then
        failures=$((failures + 1))
        echo "run $run: $verdict" >&2
        cp "$log" "${FAILURE_LOGS:-/tmp}/startup_after_warning_failure_$run.log" 2>/dev/null
    fi
done
echo "startup_after_warning: $RUNS runs ($WM, $LOAD busy loops), $failures failures," \
    "$repeated acknowledgements repeated, $((SECONDS - start)) s"
[ "$failures" -eq 0 ]
