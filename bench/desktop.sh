# Sourced by the benchmarks: a private Xvfb display with openbox, ready to
# take windows. Sets DISPLAY and XSERVER_PID and adds both processes to PIDS.
#   start_bench_display FILE   (FILE: where Xvfb writes its display number)
start_bench_display() {
    local fdfile=$1
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
    XSERVER_PID=$!
    PIDS+=("$XSERVER_PID")
    for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
    export DISPLAY=:$(head -n1 "$fdfile")
    openbox --sm-disable >/dev/null 2>&1 &
    PIDS+=($!)
    # openbox takes windows once its client list is up.
    for _ in $(seq 100); do xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q "window id" && break; sleep 0.1; done
}

# A private PulseAudio server with one null sink, "bench", in DIR, made the
# default for what is started next; added to PIDS.
#   start_bench_sound DIR
start_bench_sound() {
    mkdir -p "$1/pulse"
    export HOME=$1 XDG_RUNTIME_DIR=$1/pulse PULSE_SERVER=unix:$1/pulse/native
    pulseaudio --daemonize=no --exit-idle-time=-1 -n --disallow-exit --use-pid-file=no \
        --load="module-null-sink sink_name=bench" \
        --load="module-native-protocol-unix socket=$1/pulse/native auth-anonymous=1" >/dev/null 2>&1 &
    PIDS+=($!)
    until pactl info >/dev/null 2>&1; do sleep 0.1; done
}
