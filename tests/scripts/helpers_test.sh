#!/usr/bin/env bash
# The shared script helpers: waits end at their deadline, what was spawned
# ends last-started first, a sound server that never answers is given up
# on, and a window's client origin is found from the box it covers.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
. "$ROOT/scripts/lib/proc.sh"
. "$ROOT/scripts/lib/boxes.sh"
T=$(mktemp -d)
trap 'stop_spawned; rm -rf "$T"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
never() { return 1; }
line_count() { [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }

# --- waits
(sleep 0.3 && touch "$T/late") &
wait_for 5 test -e "$T/late" || fail "wait_for gave up on a file made after 0.3 s"
wait_for 1 never && fail "wait_for succeeded on a command that never does"
[ "$(wait_quiet 1 echo loud)" = "" ] || fail "wait_quiet let the command's output through"

sh -c 'sleep 0.2; exit 3' &
wait_exit $! 5 || EXIT_STATUS=none
[ "$EXIT_STATUS" = 3 ] || fail "wait_exit reported status $EXIT_STATUS, not 3"
sleep 30 &
sleeper=$!
wait_exit "$sleeper" 1 && fail "wait_exit reported a running process as ended"
kill "$sleeper"

# --- spawn and stop_spawned: the last started is ended first, each reaped
recorder() {
    trap 'echo "$1" >>"$T/ended"; exit 0' TERM
    echo "$1" >>"$T/ready"
    while :; do sleep 0.05; done
}
spawn recorder first
spawn recorder second
wait_for 5 line_count "$T/ready" 2 || fail "the recorders did not start"
stop_spawned
[ "$(tr '\n' ' ' <"$T/ended")" = "second first " ] || fail "ended in the order $(tr '\n' ' ' <"$T/ended")"
[ ${#PIDS[@]} -eq 0 ] || fail "PIDS still lists ${PIDS[*]}"
# The benchmarks run with errexit, where a status of a process ended by
# SIGTERM must not end the cleanup (or the script) early.
(
    set -e
    spawn sleep 30
    spawn sleep 30
    stop_spawned
    sh -c 'exit 3' &
    wait_exit $! 5
    echo "$EXIT_STATUS" >"$T/errexit"
)
[ "$(cat "$T/errexit" 2>/dev/null)" = 3 ] || fail "under set -e, stop_spawned or wait_exit ended the script"
# One that takes no SIGTERM is killed once STOP_SECONDS have passed.
spawn sh -c 'trap "" TERM; echo >"$1"; while :; do sleep 0.05; done' - "$T/deaf"
deaf=$LAST_PID
wait_for 5 test -e "$T/deaf"
STOP_SECONDS=1 stop_spawned 2>"$T/stop.err"
pid_gone "$deaf" || { fail "a process deaf to SIGTERM outlived stop_spawned"; kill -KILL "$deaf"; }
grep -q "outlived SIGTERM" "$T/stop.err" || fail "the process killed outright was not named"

# --- a sound server that never answers: given up on at the deadline, both
# by the shared start-up and by the benchmarks' one
mkdir -p "$T/bin"
printf '#!/bin/sh\nexec sleep 30\n' >"$T/bin/pulseaudio"
chmod +x "$T/bin/pulseaudio"
(
    export PATH=$T/bin:$PATH SOUND_START_SECONDS=1
    start_pulse_sink mute "$T/none/native" "$T/pulse.log" && echo "started" >"$T/mute"
    kill -0 "$PULSE_PID" || echo "no server process" >"$T/mute"
    stop_spawned
)
[ -e "$T/mute" ] && fail "start_pulse_sink on a silent server: $(cat "$T/mute")"
(
    export PATH=$T/bin:$PATH SOUND_START_SECONDS=1
    . "$ROOT/bench/desktop.sh"
    start_bench_sound "$T/bench" 2>/dev/null && echo "started" >"$T/bench-mute"
    stop_spawned
)
[ -e "$T/bench-mute" ] && fail "start_bench_sound on a silent server: $(cat "$T/bench-mute")"

if command -v pulseaudio >/dev/null && command -v pactl >/dev/null; then
    (
        mkdir -p "$T/real"
        export HOME=$T/real XDG_RUNTIME_DIR=$T/real
        start_pulse_sink helpers "$T/real/native" "$T/real/pulse.log" || echo "did not start" >"$T/real.err"
        pactl --server="unix:$T/real/native" list short sinks | grep -qw helpers || echo "no sink helpers" >>"$T/real.err"
        stop_spawned
    )
    [ -e "$T/real.err" ] && fail "PulseAudio with a null sink: $(cat "$T/real.err")"
fi

# --- client origins from xwininfo's geometry
origin_of() {  # X Y W H
    printf '  Absolute upper-left X:  %s\n  Absolute upper-left Y:  %s\n  Width: %s\n  Height: %s\n' "$@" | box_origin
}
expect_origin() {  # WHAT WANT X Y W H
    local got
    got=$(origin_of "${@:3}")
    [ "$got" = "$2" ] || fail "$1: origin $got, expected $2"
}
expect_origin "the strip's box" "100 200" 117 297 506 36
expect_origin "the volume menu's box" "10 20" 17 31 166 57
expect_origin "the whole client area" "5 6" 5 6 540 200
expect_origin "the strip grown downwards to 50 (sway)" "100 200" 117 297 506 50
origin_of 0 0 300 20 >/dev/null && fail "a box of no window of the player's gave an origin"
[ "$(origin_of 0 0 300 20)" = "unknown box 300x20" ] || fail "an unknown box reads $(origin_of 0 0 300 20)"

[ $failed = 0 ] && echo "ok"
exit $failed
