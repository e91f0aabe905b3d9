# What the end-to-end checks share, sourced by run.sh: processes and their
# cleanup, the X server, window manager, sound server, session bus and tray
# a check runs on, and reading windows, pixels and the sink.

# --- processes --------------------------------------------------------------

log() { echo "[e2e] $*" >&2; }
fail() { log "FAIL: $*"; FAILED=1; return 1; }

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$ROOT/scripts/lib/proc.sh"
. "$ROOT/scripts/lib/boxes.sh"

cleanup() {
    stop_spawned
    [ -n "$WORK" ] && [ -z "${E2E_KEEP:-}" ] && rm -rf "$WORK"
    WORK=""
}
trap cleanup EXIT
trap 'exit 130' INT TERM

line_count() { [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }

# --- display and window manager ---------------------------------------------

start_display() {
    local fdfile=$WORK/display
    : >"$fdfile"
    spawn Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fdfile" 2>"$WORK/xvfb.log"
    wait_for 10 test -s "$fdfile" || { fail "Xvfb did not start"; return 1; }
    DISPLAY=:$(head -n1 "$fdfile")
    export DISPLAY
    wait_for 10 xdpyinfo >/dev/null 2>&1 || { fail "Xvfb on $DISPLAY does not answer"; return 1; }
}

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
wm_ready() { xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q "window id"; }

start_wm() {
    spawn openbox --sm-disable >"$WORK/openbox.log" 2>&1
    wait_for 10 wm_running || { fail "openbox did not start"; return 1; }
    # openbox claims the screen before it takes windows; a window mapped in
    # between is never managed. Its client list comes last in its start-up.
    wait_for 10 wm_ready || { fail "openbox did not finish starting"; return 1; }
}

# --- sound server -----------------------------------------------------------

# The sound server the checks play to: PulseAudio, or with E2E_SOUND=pipewire
# PipeWire with its pulse server and its session manager.
SOUND=${E2E_SOUND:-pulseaudio}
# PipeWire's pulse server sends a recording that asks for no latency in
# blocks of seconds.
REC_LATENCY=()
[ "$SOUND" = pipewire ] && REC_LATENCY=(--latency-msec=20)

# A private sound server with one null sink, "e2e", whose monitor records
# what the program plays.
start_sound() {
    mkdir -p "$WORK/pulse"
    export HOME=$WORK XDG_RUNTIME_DIR=$WORK/pulse PULSE_SERVER=unix:$WORK/pulse/native
    spawn_sound_server || return 1
}

# The server itself, again after stop_sound_server.
spawn_sound_server() {
    if [ "$SOUND" = pipewire ]; then spawn_pipewire; else spawn_pulseaudio; fi
}

spawn_pulseaudio() {
    start_pulse_sink e2e "$WORK/pulse/native" "$WORK/pulse.log"
    local up=$?
    SOUND_PIDS=("$PULSE_PID")
    [ $up -eq 0 ] || { fail "PulseAudio did not start"; return 1; }
}

default_sink_is_e2e() { [ "$(pactl get-default-sink 2>/dev/null)" = e2e ]; }

# pipewire with a null sink of its own configuration, its session manager
# and its pulse server, all on a session bus of their own that the program
# never sees.
spawn_pipewire() {
    local conf=$WORK/pipewire-conf
    if [ ! -d "$conf" ]; then
        mkdir -p "$conf/pipewire/pipewire.conf.d"
        cat >"$conf/pipewire/pipewire.conf.d/e2e.conf" <<'EOF'
context.objects = [
    { factory = adapter
      args = { factory.name = support.null-audio-sink node.name = "e2e" node.description = "e2e"
               media.class = Audio/Sink audio.position = [ FL FR ] monitor.channel-volumes = true } }
]
EOF
        : >"$WORK/pipewire-bus"
        spawn dbus-daemon --session --nofork --address="unix:path=$WORK/pipewire-bus-socket" --print-address=3 \
            3>"$WORK/pipewire-bus" 2>>"$WORK/dbus.log"
        wait_for 10 test -s "$WORK/pipewire-bus" || { fail "dbus-daemon for PipeWire did not start"; return 1; }
    fi
    local env=(env XDG_CONFIG_HOME="$conf" PULSE_RUNTIME_PATH="$WORK/pulse"
        DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$WORK/pipewire-bus")")
    SOUND_PIDS=()
    rm -f "$XDG_RUNTIME_DIR/pipewire-0"
    spawn "${env[@]}" pipewire 2>>"$WORK/pipewire.log"
    SOUND_PIDS+=("$LAST_PID")
    wait_for 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || { fail "pipewire did not start"; return 1; }
    spawn "${env[@]}" wireplumber 2>>"$WORK/wireplumber.log"
    SOUND_PIDS+=("$LAST_PID")
    spawn "${env[@]}" pipewire-pulse 2>>"$WORK/pipewire-pulse.log"
    SOUND_PIDS+=("$LAST_PID")
    wait_for 10 default_sink_is_e2e || { fail "PipeWire did not start with the e2e sink"; return 1; }
}

# Kills the sound server outright, every process of it.
stop_sound_server() {
    local pid
    for pid in "${SOUND_PIDS[@]}"; do kill -KILL "$pid" 2>/dev/null; done
    for pid in "${SOUND_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
}

# No sound server anywhere the program could look.
no_sound() { export PULSE_SERVER=unix:$WORK/no-such-server HOME=$WORK XDG_RUNTIME_DIR=$WORK; }

# --- session bus and tray ---------------------------------------------------

# A private session bus for this check only.
start_bus() {
    : >"$WORK/busaddr"
    spawn dbus-daemon --session --nofork --address="unix:path=$WORK/bus" --print-address=3 3>"$WORK/busaddr" \
        2>"$WORK/dbus.log"
    wait_for 10 test -s "$WORK/busaddr" || { fail "dbus-daemon did not start"; return 1; }
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$WORK/busaddr")
    export DBUS_SESSION_BUS_ADDRESS
}

name_owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q "boolean true"
}

# A real XEmbed tray along the top edge of the screen.
start_trayer() {
    spawn trayer --edge top --align right --widthtype request --height 32 >>"$WORK/trayer.log" 2>&1
    TRAYER_PID=$LAST_PID
    wait_for 10 sh -c "xdotool search --name '^panel\$' >/dev/null 2>&1" || { fail "trayer did not start"; return 1; }
}

stop_trayer() {
    kill "$TRAYER_PID" 2>/dev/null
    wait "$TRAYER_PID" 2>/dev/null
    return 0
}

# The tray icon window named NAME once a tray has embedded and shown it.
docked_icon() {
    local name=$1 icon
    wait_for 10 sh -c "xdotool search --onlyvisible --name '^$name\$' >/dev/null 2>&1" || return 1
    icon=$(xdotool search --onlyvisible --name "^$name\$" | head -n1)
    xwininfo -id "$icon" -children | grep -q "Parent window id: $(xwininfo -root | awk '/Window id:/ {print $4}')" &&
        return 1  # still on the root: not embedded
    echo "$icon"
}

click_icon() { xdotool mousemove --window "$1" 10 10 click 1; }

# --- windows ----------------------------------------------------------------

# The id of the top-level client window titled exactly NAME, waiting for it.
window_named() {
    local id=""
    local deadline=$((SECONDS + ${2:-10}))
    while [ -z "$id" ]; do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1)
        [ -n "$id" ] && break
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
    echo "$id"
}

# Closes a window the way its window manager would and expects its process
# to end with status 0 (a sanitizer's report ends it otherwise).
close_cleanly() {
    local pid=$1 id=$2
    if wm_running; then "$CLOSE" "$id"; else "$CLOSE" --direct "$id"; fi
    wait_exit "$pid" 10 || { fail "still running after the close request"; return 1; }
    [ "$EXIT_STATUS" -eq 0 ] || fail "exited with $EXIT_STATUS after the close request"
}

# True when window ID's property NAME reads with VALUE in it.
has_property() { xprop -id "$1" "$2" 2>/dev/null | grep -q -- "$3"; }

map_state() { xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ {print $NF}'; }
is_viewable() { [ "$(map_state "$1")" = IsViewable ]; }
is_unmapped() { [ "$(map_state "$1")" = IsUnMapped ]; }
is_iconic() { xprop -id "$1" WM_STATE 2>/dev/null | grep -q "window state: Iconic"; }
net_wm_state() { xprop -id "$1" _NET_WM_STATE 2>/dev/null; }
no_window_named() { ! xdotool search --name "^$1\$" >/dev/null 2>&1; }

origin_is() { [ "$(window_origin "$1")" = "$2" ]; }

# Colour-keyed windows take the screen's 32-bit visual when it has one, so
# a compositor shows their keyed pixels clear.
on_argb_visual() {  # ID
    xdpyinfo | grep -q "depth:    32 planes" || return 0
    xwininfo -id "$1" | grep -q "Depth: 32"
}

readonly STRIP_DROP_AT="93,18" # client (110, 115), on the strip

# "X Y" of a window's client area on the root (its X window's own place
# when that covers no box of the player's).
window_origin() {
    local origin
    origin=$(client_origin "$1") && echo "$origin" || x_window_origin "$1"
}

# True once window ID's X window covers BOX ("WIDTH HEIGHT LEFT TOP").
covers_box() {
    local width height
    read -r width height _ <<<"$2"
    xwininfo -id "$1" 2>/dev/null | grep -q "Width: $width\$" && xwininfo -id "$1" | grep -q "Height: $height\$"
}

# --- pixels -----------------------------------------------------------------

screenshot() { import -window root "$WORK/screen.png"; }

# The pixel of the root window at X Y, as "R G B".
root_pixel() {
    convert "$WORK/screen.png" -format "%[fx:int(255*u.r)] %[fx:int(255*u.g)] %[fx:int(255*u.b)]" \
        -crop "1x1+$1+$2" +repage info: 2>/dev/null
}

pixel_is() {  # X Y "R G B"
    local got
    got=$(root_pixel "$1" "$2")
    [ "$got" = "$3" ] || fail "pixel ($1, $2) is ($got), expected ($3)"
}

# A colour-keyed window is mapped before it is painted and takes no clicks
# until then: true once the client pixel DX DY of window ID is lit.
painted_at() {
    local x y
    read -r x y <<<"$(window_origin "$1")"
    screenshot && [ "$(root_pixel $((x + $2)) $((y + $3)))" != "0 0 0" ]
}

# Polls a screenshot until the pixel at X Y is "R G B".
wait_for_pixel() {
    local x=$1 y=$2 want=$3 deadline=$((SECONDS + 5))
    while :; do
        screenshot && [ "$(root_pixel "$x" "$y")" = "$want" ] && return 0
        [ $SECONDS -ge $deadline ] && { fail "pixel ($x, $y) is ($(root_pixel "$x" "$y")), expected ($want)"; return 1; }
        sleep 0.2
    done
}

# The opacity spy has seen the fade end: the property deleted again.
opacity_restored() { [ "$(wc -l <"$WORK/opacity")" -ge 2 ] && tail -n1 "$WORK/opacity" | grep -q "not found"; }

# Where a window shows it is painted: "DX DY R G B", a client pixel and its
# colour.
readonly STRIP_GLASS="60 110 210 210 210"   # the strip's glass, left of its buttons
readonly PROBE_WHITE="150 100 255 255 255"  # the probe's white middle

# Brings window ID back from the tray or from its icon with CMD... and fails
# with WHY unless it is shown again; unless PAINTED is -, also waits for it
# to be painted again there.
bring_back() {  # ID PAINTED WHY CMD...
    local id=$1 painted=$2 why=$3 dx dy colour x y
    shift 3
    "$@"
    wait_for 5 is_viewable "$id" || { fail "$why"; return 1; }
    [ "$painted" = - ] && return 0
    read -r dx dy colour <<<"$painted"
    read -r x y <<<"$(window_origin "$id")"
    wait_for_pixel $((x + dx)) $((y + dy)) "$colour"
}

# --- the player -------------------------------------------------------------

# Starts the program on a display with a window manager (none with
# `start_ostrel nowm`) and a sound server; sets PID, ID and the window's
# screen origin OX, OY.
start_ostrel() {
    start_display || return 1
    [ "${1:-}" = nowm ] || start_wm || return 1
    start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    PID=$LAST_PID
    ID=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 5 sh -c "xwininfo -id $ID | grep -q 'Map State: IsViewable'" || { fail "the window is not shown"; return 1; }
    read -r OX OY < <(window_origin "$ID")
    # Mapped is not yet painted: wait for the glass left of the buttons.
    wait_for 10 lit_at 60 110 || { fail "the strip is not painted"; return 1; }
}

# Moves the pointer to a client point of the window, optionally clicking.
pointer_at() { xdotool mousemove $((OX + $1)) $((OY + $2)); }
# A single click: a second press within the double-click time (500 ms) would
# reach the strip as a double click, which its buttons do not take.
LAST_CLICK_NS=0
single_click_at() {  # X Y on the root
    local wait_ns=$((LAST_CLICK_NS + 600000000 - $(date +%s%N)))
    [ "$wait_ns" -gt 0 ] && sleep "$(printf '0.%09d' "$wait_ns")"
    xdotool mousemove "$1" "$2" click 1
    LAST_CLICK_NS=$(date +%s%N)
}
click_at() { single_click_at $((OX + $1)) $((OY + $2)); }

click_minimize() {  # the minimize button of the strip whose window is ID
    local x y
    read -r x y <<<"$(window_origin "$1")"
    single_click_at $((x + 496)) $((y + 108))
}

shoot() { import -window root "$WORK/screen.png" 2>/dev/null; }

# True when the client pixel X Y of a fresh screenshot is (not) black.
lit_at() { shoot && [ "$(root_pixel $((OX + $1)) $((OY + $2)))" != "0 0 0" ]; }
dark_at() { shoot && [ "$(root_pixel $((OX + $1)) $((OY + $2)))" = "0 0 0" ]; }

# The play/pause button's face (rows above the progress track), as a file.
play_face() { import -window root -crop 55x26+$((OX + 240))+$((OY + 100)) +repage "$WORK/$1.png" 2>/dev/null; }
faces_equal() { [ "$(compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>&1)" = "0" ]; }

# What the sink carries for a moment: sink_sounds 523 (that tone) or silent.
sink_sounds() {
    timeout 0.8 parec "${REC_LATENCY[@]}" --device=e2e.monitor --format=s16le --rate=44100 --channels=1 >"$WORK/heard.raw" 2>>"$WORK/parec.log"
    python3 "$(dirname "$0")/tools/tone_check.py" "$WORK/heard.raw" "$1" >"$WORK/verdict" 2>&1
}

drop_tone() {
    "$SEND" --window "$ID" --at "$STRIP_DROP_AT" -- "$FIXTURES/audio/tone.ogg" || { fail "the drop was not taken"; return 1; }
    wait_for 10 sink_sounds 523 || { fail "the dropped file is not heard: $(cat "$WORK/verdict")"; return 1; }
}

drop_file() { "$SEND" --window "$ID" --at "$STRIP_DROP_AT" -- "$1" || { fail "the drop of $1 was not taken"; return 1; }; }

# Records the sink's monitor in the background, each 10 ms block stamped.
WATCH=$(dirname "$0")/tools/sink_watch.py
start_watch() {
    spawn python3 "$WATCH" record e2e.monitor "$WORK/watch.log"
    wait_for 10 line_count "$WORK/watch.log" 20 || { fail "the monitor recording did not start"; return 1; }
}
now() { date +%s.%N; }
