#!/bin/bash
# Whole-process cost of playing a 60-second 192 kbit/s MP3, counting the sound
# server's own work, on a private PulseAudio server with a null sink and on a
# private PipeWire (pipewire, its pulse server and wireplumber, a null sink of
# its own configuration), side by side in one run: per player, the CPU of the
# player and of the daemons (all threads, from /proc/PID/task/*/schedstat)
# over the same window, their sum, the context switches and the sink's
# configured latency (PipeWire: what the player's stream asks of the graph),
# scaled to a minute; for the real player also the X server's CPU, since a
# user pays it too. On PipeWire the daemons' column is their sum, and the
# last column splits it (pipewire/pipewire-pulse/wireplumber).
# The players: ostaudio-play (the audio library alone), mpg123 -o pulse when
# installed, and with OSTREL set (and XDND_SEND, default
# build/tests/e2e/xdnd_send) the real player under Xvfb and openbox, the file
# dropped on its window; with OSTREL_BEFORE set, another build of it too, for
# a before-and-after in the same run. A line for the daemons with no player
# is the floor. Each round measures every player once; with ROUNDS > 1 the
# table shows each figure's median over the rounds. SERVERS chooses the
# servers ("pulseaudio pipewire" by default; those not installed are left
# out). Needs sox and lame to make the file.
#
# usage: [OSTREL=... OSTREL_BEFORE=... XDND_SEND=... ROUNDS=3 SERVERS=...]
#        bench/audio/playback_bench.sh [path/to/ostaudio-play] [window-seconds]
set -euo pipefail
. "$(dirname "$0")/../desktop.sh"

PLAYER=${1:-build/bench/audio/ostaudio-play}
WINDOW=${2:-12}
ROUNDS=${ROUNDS:-1}
SERVERS=${SERVERS:-pulseaudio pipewire}
WORK=$(mktemp -d /tmp/ostaudio-bench.XXXXXX)
DAEMON_PIDS=()
XSERVER_PID=""
PIDS=()

stop_daemons() {
    local pid
    for pid in "${DAEMON_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${DAEMON_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
    DAEMON_PIDS=()
}
cleanup() {
    local pid
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    stop_daemons
    rm -rf "$WORK"
}
trap cleanup EXIT

sox -n -r 44100 -c 2 -b 16 "$WORK/tone.wav" synth 60 sine 440 sine 554 gain -6
lame --quiet -b 192 "$WORK/tone.wav" "$WORK/tone.mp3"
rm -f "$WORK/tone.wav"

mkdir -m 700 "$WORK/run"
export XDG_RUNTIME_DIR="$WORK/run" HOME="$WORK" PULSE_SERVER="unix:$WORK/run/native"
server_up() { pactl info >/dev/null 2>&1 && [ "$(pactl get-default-sink 2>/dev/null)" = bench ]; }
wait_server() {
    wait_for "$SOUND_START_SECONDS" server_up && return 0
    echo "$1 did not start" >&2
    return 1
}

start_pulseaudio() {
    start_pulse_sink bench "$WORK/run/native" "$WORK/pulse.log" || { echo "PulseAudio did not start" >&2; return 1; }
    DAEMON_PIDS=("$PULSE_PID")
    wait_server PulseAudio
}

# PipeWire as a desktop runs it, with the defaults of its packages, on a
# session bus of its own; only the null sink is added.
start_pipewire() {
    local conf=$WORK/pipewire-conf
    mkdir -p "$conf/pipewire/pipewire.conf.d"
    cat >"$conf/pipewire/pipewire.conf.d/bench.conf" <<'EOF'
context.objects = [
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = "bench" node.description = "bench"
               media.class = Audio/Sink audio.position = [ FL FR ] monitor.channel-volumes = true } }
]
EOF
    dbus-daemon --session --nofork --address="unix:path=$WORK/pipewire-bus" 2>/dev/null &
    DAEMON_PIDS=($!)
    wait_for 10 test -S "$WORK/pipewire-bus" || { echo "dbus-daemon for PipeWire did not start" >&2; return 1; }
    local env=(env XDG_CONFIG_HOME="$conf" PULSE_RUNTIME_PATH="$WORK/run"
        DBUS_SESSION_BUS_ADDRESS="unix:path=$WORK/pipewire-bus")
    "${env[@]}" pipewire 2>"$WORK/pipewire.log" &
    DAEMON_PIDS+=($!)
    wait_for 10 test -S "$WORK/run/pipewire-0" || { echo "pipewire did not start" >&2; return 1; }
    "${env[@]}" pipewire-pulse 2>"$WORK/pipewire-pulse.log" &
    DAEMON_PIDS+=($!)
    "${env[@]}" wireplumber 2>"$WORK/wireplumber.log" &
    DAEMON_PIDS+=($!)
    wait_server PipeWire
}

# Nanoseconds on CPU and context switches, summed over a process's threads.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{n += $1} END {printf "%d\n", n}'; }
switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '$1 == "voluntary_ctxt_switches:" || $1 == "nonvoluntary_ctxt_switches:" {n += $2} END {print n + 0}'
}
# The daemons measured: PulseAudio, or pipewire, pipewire-pulse, wireplumber
# (the session bus beside them is not counted).
measured_daemons() {
    if [ "$SERVER" = pipewire ]; then echo "${DAEMON_PIDS[@]:1}"; else echo "${DAEMON_PIDS[0]}"; fi
}
sink_latency_ms() {
    if [ "$SERVER" = pipewire ]; then
        pactl list sink-inputs | sed -n 's/.*node.latency = "\([0-9]*\)\/\([0-9]*\)".*/\1 \2/p' |
            awk 'NR == 1 {printf "%.1f", $1 * 1000 / $2}'
    else
        pactl list sinks | sed -n 's/.*Latency: .* usec, configured \([0-9]*\) usec.*/\1/p' | head -n1 |
            awk '{printf "%.1f", $1 / 1000}'
    fi
}
playing() { [ -n "$(pactl list short sink-inputs)" ]; }
wait_playing() {
    for _ in $(seq 100); do playing && return 0; sleep 0.1; done
    echo "$1: no stream on the server" >&2
    return 1
}

# Measures the player PID (none: the daemons alone) over the window and
# appends a row to $WORK/rows: server, label, then the figures.
measure() {
    local label=$1 pid=${2:-} p0=0 p1=0 c0=0 c1=0 x0=0 x1=0 latency rss=0 d xpid=""
    [ -n "${COUNT_X:-}" ] && xpid=$XSERVER_PID
    local -a daemons d0 d1 e0 e1
    read -r -a daemons <<<"$(measured_daemons)"
    sleep 2  # past the start
    [ -n "$xpid" ] && x0=$(cpu_ns "$xpid")
    for d in "${!daemons[@]}"; do d0[d]=$(cpu_ns "${daemons[d]}"); e0[d]=$(switches "${daemons[d]}"); done
    if [ -n "$pid" ]; then p0=$(cpu_ns "$pid"); c0=$(switches "$pid"); fi
    sleep $((WINDOW / 2))
    latency=$(sink_latency_ms)
    sleep $((WINDOW - WINDOW / 2))
    for d in "${!daemons[@]}"; do d1[d]=$(cpu_ns "${daemons[d]}"); e1[d]=$(switches "${daemons[d]}"); done
    [ -n "$xpid" ] && x1=$(cpu_ns "$xpid")
    if [ -n "$pid" ]; then
        p1=$(cpu_ns "$pid")
        c1=$(switches "$pid")
        rss=$(awk '/VmHWM/ {printf "%.1f", $2 / 1024}' /proc/"$pid"/status)
    fi
    local split="" dsum=0 esum=0
    for d in "${!daemons[@]}"; do
        dsum=$((dsum + d1[d] - d0[d]))
        esum=$((esum + e1[d] - e0[d]))
        split+="$(awk -v v=$((d1[d] - d0[d])) -v w="$WINDOW" 'BEGIN {printf "%.2f", v * 60 / w / 1e9}')/"
    done
    awk -v s="$SERVER" -v l="$label" -v p=$((p1 - p0)) -v d=$dsum -v x=$((x1 - x0)) -v c=$((c1 - c0)) \
        -v e=$esum -v w="$WINDOW" -v lat="${latency:--}" -v rss="$rss" -v has="$pid" -v hasx="$xpid" \
        -v parts="${split%/}" 'BEGIN {
        k = 60 / w / 1e9
        printf "%s\t%s\t%s\t%.3f\t%s\t%.3f\t%s\t%d\t%s\t%s\t%s\n", s, l, has ? sprintf("%.3f", p * k) : "-", d * k,
            hasx ? sprintf("%.3f", x * k) : "-", (p + d + x) * k, has ? sprintf("%d", c * 60 / w) : "-",
            e * 60 / w, lat, has ? rss : "-", parts
    }' >>"$WORK/rows"
}

run_player() {  # LABEL COMMAND...
    local label=$1
    shift
    "$@" >/dev/null 2>"$WORK/play.log" &
    local pid=$!
    PIDS+=("$pid")
    wait_playing "$label" && measure "$label" "$pid"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    grep "ran dry" "$WORK/play.log" >&2 || true
}

# The real player under the private display, the file dropped on its window.
run_ostrel() {  # LABEL PROGRAM
    local label=$1 program window="" pid
    program=$(realpath "$2")
    (cd "$WORK" && exec "$program") >/dev/null 2>"$WORK/ostrel.log" &
    pid=$!
    PIDS+=("$pid")
    for _ in $(seq 100); do
        window=$(xdotool search --name '^Ostrel$' 2>/dev/null | head -n1) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "$label: no window" >&2; cat "$WORK/ostrel.log" >&2; exit 1; }
    sleep 1
    "$SEND" --window "$window" --at 110,115 -- "$WORK/tone.mp3"
    COUNT_X=1
    wait_playing "$label" && measure "$label" "$pid"
    COUNT_X=""
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    grep "ran dry" "$WORK/ostrel.log" >&2 || true
}

SEND=${XDND_SEND:-build/tests/e2e/xdnd_send}
[ -n "${OSTREL:-}${OSTREL_BEFORE:-}" ] && start_bench_display "$WORK/display"

: >"$WORK/rows"
for round in $(seq "$ROUNDS"); do
    for SERVER in $SERVERS; do
        command -v "$SERVER" >/dev/null || continue
        if [ "$SERVER" = pipewire ]; then start_pipewire; else start_pulseaudio; fi
        measure "daemons, nothing playing"
        if [ -x "$PLAYER" ]; then run_player ostaudio-play "$PLAYER" "$WORK/tone.mp3" $((WINDOW + 5)); fi
        if command -v mpg123 >/dev/null; then run_player "mpg123 -o pulse" mpg123 -q -o pulse "$WORK/tone.mp3"; fi
        if [ -n "${OSTREL_BEFORE:-}" ]; then run_ostrel "ostrel before" "$OSTREL_BEFORE"; fi
        if [ -n "${OSTREL:-}" ]; then run_ostrel "ostrel" "$OSTREL"; fi
        stop_daemons
    done
    echo "round $round of $ROUNDS done" >&2
done

# Each figure's median over the rounds, a table per server.
python3 - "$WORK/rows" "$ROUNDS" <<'EOF'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    f = line.rstrip("\n").split("\t")
    rows.setdefault((f[0], f[1]), []).append(f[2:])
def median(values):
    nums = [float(v) for v in values if v not in ("-", "")]
    return statistics.median(nums) if nums else None
head = ("player s", "daemons s", "X s", "sum s", "player cs", "daemons cs", "sink ms", "rss MB")
for server in dict.fromkeys(k[0] for k in rows):
    print("%s, per minute of playback (medians of %s rounds)" % (server, sys.argv[2]))
    print("%-26s" % "" + "".join("%11s" % h for h in head) + "  daemons split")
    for (s, label), runs in rows.items():
        if s != server:
            continue
        out = "%-26s" % label
        for i, h in enumerate(head):
            m = median([r[i] for r in runs])
            out += "%11s" % ("-" if m is None else ("%.0f" % m if "cs" in h else "%.2f" % m if h != "sum s" else "%.3f" % m))
        if server == "pipewire":
            parts = [r[8].split("/") for r in runs]
            out += "  " + "/".join("%.2f" % statistics.median(float(p[i]) for p in parts) for i in range(len(parts[0])))
        print(out)
    print()
EOF
