# Processes a script starts and waits on, sourced by the e2e checks, the
# desktop checks and the benchmarks. Every wait here has a deadline.
# shellcheck shell=bash disable=SC2034  # what it sets is for the sourcing script

# Sourced twice (by two helper files), what was started stays listed.
declare -p PIDS >/dev/null 2>&1 || PIDS=()

# Milliseconds on the wall clock, without a fork per call.
now_ms() { local us=${EPOCHREALTIME/[.,]/}; echo $((us / 1000)); }

# Starts a background command, remembering its pid in PIDS and LAST_PID.
spawn() {
    "$@" &
    PIDS+=($!)
    LAST_PID=$!
}

# The process has ended: gone, or a child of ours that has not been reaped.
pid_gone() { ! kill -0 "$1" 2>/dev/null || [[ $(ps -o stat= -p "$1" 2>/dev/null) == Z* ]]; }

# Ends what spawn started, the last started first, and reaps it; what
# outlives SIGTERM by STOP_SECONDS is killed outright, and named. Polled,
# not waited for: a subshell may stop what its parent started, which it
# cannot wait on.
STOP_SECONDS=${STOP_SECONDS:-10}
stop_spawned() {
    local i pid deadline
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        pid=${PIDS[i]}
        kill "$pid" 2>/dev/null || continue
        deadline=$(($(now_ms) + STOP_SECONDS * 1000))
        until pid_gone "$pid"; do
            if [ "$(now_ms)" -ge $deadline ]; then
                echo "$(ps -o args= -p "$pid") ($pid) outlived SIGTERM: killed" >&2
                kill -KILL "$pid" 2>/dev/null || true
                break
            fi
            sleep 0.02
        done
        wait "$pid" 2>/dev/null || true
    done
    PIDS=()
    return 0
}

# Polls a command until it succeeds or SECONDS pass: wait_for SECONDS CMD...
wait_for() {
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -ge $deadline ] && return 1
        sleep 0.1
    done
}

# The same with the command's output thrown away.
quietly() { "$@" >/dev/null 2>&1; }
wait_quiet() { wait_for "$1" quietly "${@:2}"; }

# Waits for a background pid to end: sets EXIT_STATUS, false on timeout.
wait_exit() {
    wait_for "$2" pid_gone "$1" || return 1
    EXIT_STATUS=0
    wait "$1" || EXIT_STATUS=$?
}

# How long a sound server may take to answer.
SOUND_START_SECONDS=${SOUND_START_SECONDS:-10}

# A private PulseAudio server with one null sink, spawned, answering on
# SOCKET; ENV... (NAME=VALUE) is the server's environment beyond ours.
#   start_pulse_sink SINK SOCKET LOGFILE [ENV...]
start_pulse_sink() {
    local sink=$1 socket=$2 logfile=$3
    shift 3
    spawn env "$@" pulseaudio --daemonize=no --exit-idle-time=-1 -n --disallow-exit --use-pid-file=no \
        --load="module-null-sink sink_name=$sink" \
        --load="module-native-protocol-unix socket=$socket auth-anonymous=1" \
        --log-target=file:"$logfile"
    PULSE_PID=$LAST_PID
    wait_quiet "$SOUND_START_SECONDS" pactl --server="unix:$socket" info
}
