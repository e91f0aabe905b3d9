#!/usr/bin/env bash
# End-to-end checks under Xvfb.
#
#   run.sh BUILD_DIR [CHECK...]     (no CHECK: every check)
#
# Each check runs on a fresh X server of its own (with openbox unless the
# check says otherwise) and is a shell function named check_<name>; add one
# and list it in CMakeLists.txt. A check fails by calling `fail`. With
# E2E_KEEP set, the work directories (logs, output) are left behind.
set -u

BUILD=$(cd "${1:?usage: run.sh BUILD_DIR [CHECK...]}" && pwd)
shift
PROBE=$BUILD/tests/e2e/x11_probe
SEND=$BUILD/tests/e2e/xdnd_send
CLOSE=$BUILD/tests/e2e/wm_close
ARGB_TRAY=$BUILD/tests/e2e/argb_tray
DEAF_WM=$BUILD/tests/e2e/deaf_wm
OSTREL=$BUILD/src/app/ostrel
FIXTURES=$(cd "$(dirname "$0")/../fixtures" && pwd)

# Sanitizer builds: library caches that live until exit are not our leaks.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0}

WORK=""
PIDS=()
FAILED=0

# --- plumbing ---------------------------------------------------------------

log() { echo "[e2e] $*" >&2; }
fail() { log "FAIL: $*"; FAILED=1; return 1; }

# Starts a background command, remembering its pid for the cleanup.
spawn() {
    "$@" &
    PIDS+=($!)
    LAST_PID=$!
}

cleanup() {
    local pid
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        pid=${PIDS[i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    PIDS=()
    [ -n "$WORK" ] && [ -z "${E2E_KEEP:-}" ] && rm -rf "$WORK"
    WORK=""
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Polls a command until it succeeds or SECONDS pass: wait_for SECONDS CMD...
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

start_display() {
    local fdfile=$WORK/display
    : >"$fdfile"
    spawn Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fdfile" 2>"$WORK/xvfb.log"
    wait_for 10 test -s "$fdfile" || { fail "Xvfb did not start"; return 1; }
    export DISPLAY=:$(head -n1 "$fdfile")
    wait_for 10 xdpyinfo >/dev/null 2>&1 || { fail "Xvfb on $DISPLAY does not answer"; return 1; }
}

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
    spawn pulseaudio --daemonize=no --exit-idle-time=-1 -n --disallow-exit --use-pid-file=no \
        --load="module-null-sink sink_name=e2e" \
        --load="module-native-protocol-unix socket=$WORK/pulse/native auth-anonymous=1" \
        --log-target=file:"$WORK/pulse.log"
    SOUND_PIDS=("$LAST_PID")
    wait_for 10 pactl info >/dev/null 2>&1 || { fail "PulseAudio did not start"; return 1; }
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

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
wm_ready() { xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q "window id"; }

start_wm() {
    spawn openbox --sm-disable >"$WORK/openbox.log" 2>&1
    wait_for 10 wm_running || { fail "openbox did not start"; return 1; }
    # openbox claims the screen before it takes windows; a window mapped in
    # between is never managed. Its client list comes last in its start-up.
    wait_for 10 wm_ready || { fail "openbox did not finish starting"; return 1; }
}

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

line_count() { [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }

# Waits for a background pid to end: sets EXIT_STATUS, false on timeout.
wait_exit() {
    local pid=$1 deadline=$((SECONDS + $2))
    while kill -0 "$pid" 2>/dev/null; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
    wait "$pid"
    EXIT_STATUS=$?
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

origin_is() { [ "$(window_origin "$1")" = "$2" ]; }

# Colour-keyed windows take the screen's 32-bit visual when it has one, so
# a compositor shows their keyed pixels clear.
on_argb_visual() {  # ID
    xdpyinfo | grep -q "depth:    32 planes" || return 0
    xwininfo -id "$1" | grep -q "Depth: 32"
}

# A colour-keyed window of ours is an X window over only what shows of it,
# its client area reaching beyond. What shows, by the X window's size:
# WIDTH HEIGHT LEFT TOP, the X window's place in the client area: the idle
# strip, the strip with the bubble over play/pause, the volume menu, the
# probe's white middle.
readonly KEYED_BOXES="506 36 17 97
506 111 17 22
166 57 7 11
100 100 100 50"
readonly STRIP_BOX="506 36 17 97"  # the idle strip and its glow
readonly STRIP_DROP_AT="93,18"       # client (110, 115), on the strip

x_window_origin() {  # prints "X Y" of the X window's top-left on the root
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'
}

window_origin() {  # prints "X Y" of a window's client area on the root
    xwininfo -id "$1" | awk -v boxes="$KEYED_BOXES" '
        /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF}
        END {
            n = split(boxes, line, "\n")
            for (i = 1; i <= n; i++) {
                split(line[i], f, " ")
                if (f[1] == w && f[2] == h) { x -= f[3]; y -= f[4]; break }
            }
            print x, y
        }'
}

# True once window ID's X window covers BOX ("WIDTH HEIGHT LEFT TOP").
covers_box() {
    local width height
    read -r width height _ <<<"$2"
    xwininfo -id "$1" 2>/dev/null | grep -q "Width: $width\$" && xwininfo -id "$1" | grep -q "Height: $height\$"
}

# --- drops ------------------------------------------------------------------

make_files() {
    mkdir -p "$WORK/files"
    FILES=("$WORK/files/plain.mp3" "$WORK/files/with two  spaces.ogg" "$WORK/files/ünïcödé 歌曲.flac"
        "$WORK/files/odd %41 #1 & 'q'.wav")
    touch "${FILES[@]}"
}

# Drops the files on a fresh probe and compares what it printed.
drop_and_compare() {
    make_files
    spawn "$PROBE" --title "probe-drop" >"$WORK/out" 2>"$WORK/probe.log"
    local pid=$LAST_PID
    "$SEND" --name "probe-drop" --timeout 10 -- "${FILES[@]}" || { fail "xdnd_send exited with $?"; return 1; }
    wait_for 5 line_count "$WORK/out" ${#FILES[@]}
    printf '%s\n' "${FILES[@]}" >"$WORK/expected"
    diff -u "$WORK/expected" "$WORK/out" >&2 || fail "dropped paths differ"
    close_cleanly "$pid" "$(window_named probe-drop)"
}

check_drop_files() {
    start_display && start_wm && drop_and_compare
}

check_drop_without_wm() {
    start_display && drop_and_compare
}

check_drop_hosts_and_incr() {
    start_display && start_wm || return 1
    make_files
    local host
    host=$(hostname)
    spawn "$PROBE" --title "probe-hosts" >"$WORK/out" 2>"$WORK/probe.log"
    local pid=$LAST_PID
    # Small INCR chunks split the list mid-line and mid-character.
    "$SEND" --name "probe-hosts" --incr 7 \
        --uri "# a comment line" \
        --uri "file://localhost$WORK/files/plain.mp3" \
        --uri "file://elsewhere.example$WORK/files/plain.mp3" \
        --uri "http://example.com/x.mp3" \
        --uri "file://$host$WORK/files/with%20two%20%20spaces.ogg" \
        --uri "file:$WORK/files/%C3%BCn%C3%AFc%C3%B6d%C3%A9%20%E6%AD%8C%E6%9B%B2.flac" \
        --uri "file://$WORK/files/bad%zz%" ||
        { fail "xdnd_send exited with $?"; return 1; }
    wait_for 5 line_count "$WORK/out" 4
    printf '%s\n' "$WORK/files/plain.mp3" "$WORK/files/with two  spaces.ogg" "${FILES[2]}" \
        "$WORK/files/bad%zz%" >"$WORK/expected"
    diff -u "$WORK/expected" "$WORK/out" >&2 || fail "dropped paths differ"
    close_cleanly "$pid" "$(window_named probe-hosts)"
}

check_drop_data_never_sent() {
    # A source that never hands over its list: the drop fails within a few
    # seconds, even with a leave after it, and the next drop is taken.
    start_display && start_wm || return 1
    make_files
    spawn "$PROBE" --title "probe-stale" >"$WORK/out" 2>"$WORK/probe.log"
    local pid=$LAST_PID status
    "$SEND" --name "probe-stale" --timeout 20 --withhold-data --leave-after-drop -- "${FILES[0]}"
    status=$?
    [ $status -eq 3 ] || fail "xdnd_send exited with $status, expected 3 (finished without success)"
    "$SEND" --name "probe-stale" -- "${FILES[1]}" || fail "the drop after a stale one was not taken"
    wait_for 5 line_count "$WORK/out" 1
    [ "$(cat "$WORK/out")" = "${FILES[1]}" ] || fail "the probe printed '$(cat "$WORK/out")'"
    close_cleanly "$pid" "$(window_named probe-stale)"
}

check_drop_refused() {
    # Nothing local in the list: the target must answer with a failed Finished.
    start_display && start_wm || return 1
    spawn "$PROBE" --title "probe-refuse" >"$WORK/out" 2>"$WORK/probe.log"
    "$SEND" --name "probe-refuse" --uri "http://example.com/a.mp3"
    local status=$?
    [ $status -eq 3 ] || fail "xdnd_send exited with $status, expected 3 (finished without success)"
    [ ! -s "$WORK/out" ] || fail "the probe printed paths for a refused drop"
}

# --- shape, move, message box -------------------------------------------------

check_colorkey_shape() {
    start_display && start_wm || return 1
    spawn "$PROBE" --title "probe-shape" --colorkey >"$WORK/out" 2>"$WORK/probe.log"
    local id
    id=$(window_named "probe-shape") || { fail "no probe window"; return 1; }
    # The black border is keyed out: the X window and its bounding shape are
    # the white middle.
    wait_for 5 sh -c "xwininfo -shape -id $id | grep -q 'Window shape extents:  100x100+0+0'" &&
        covers_box "$id" "100 100" ||
        { xwininfo -shape -id "$id" >&2; fail "bounding shape is not the opaque middle"; return 1; }
    on_argb_visual "$id" || fail "the keyed window is not on the 32-bit visual"
    local x y
    read -r x y <<<"$(window_origin "$id")"
    # Polled: the server draws a 32-bit window to the screen after its own
    # pixmap, when it next goes idle.
    wait_for_pixel $((x + 150)) $((y + 100)) "255 255 255"
}

move_by_drag() {  # presses in the probe's middle and drags it by (60, 40)
    local id=$1 x y nx ny
    read -r x y <<<"$(window_origin "$id")"
    xdotool mousemove $((x + 150)) $((y + 100)) mousedown 1
    sleep 0.3
    for step in 1 2 3 4; do
        xdotool mousemove $((x + 150 + step * 15)) $((y + 100 + step * 10))
        sleep 0.1
    done
    sleep 0.2
    xdotool mouseup 1
    wait_for 5 origin_is "$id" "$((x + 60)) $((y + 40))" && return 0
    read -r nx ny <<<"$(window_origin "$id")"
    fail "window moved from $x,$y to $nx,$ny, expected +60,+40"
}

check_system_move() {
    start_display && start_wm || return 1
    spawn "$PROBE" --title "probe-move" --colorkey >"$WORK/out" 2>"$WORK/probe.log"
    local id
    id=$(window_named "probe-move") || { fail "no probe window"; return 1; }
    wait_for 10 painted_at "$id" 150 100 || { fail "the window is not painted"; return 1; }
    move_by_drag "$id"
}

check_system_move_without_wm() {
    start_display || return 1
    spawn "$PROBE" --title "probe-move" --colorkey >"$WORK/out" 2>"$WORK/probe.log"
    local id
    id=$(window_named "probe-move") || { fail "no probe window"; return 1; }
    wait_for 10 painted_at "$id" 150 100 || { fail "the window is not painted"; return 1; }
    move_by_drag "$id"
}

check_message_box() {
    start_display && start_wm || return 1
    spawn "$PROBE" --message "Something went wrong" >"$WORK/out" 2>"$WORK/probe.log"
    local probe=$LAST_PID id
    id=$(window_named "Probe") || { fail "no message box"; return 1; }
    # The title can be seen before the window manager has taken the window.
    wait_for 5 has_property "$id" _NET_WM_WINDOW_TYPE _NET_WM_WINDOW_TYPE_DIALOG || fail "not a dialog"
    wait_for 5 has_property "$id" _NET_WM_STATE _NET_WM_STATE_MODAL || fail "not modal"
    # A real key press: the box must have the keyboard focus.
    wait_for 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = $id ]" || fail "the message box has no focus"
    xdotool key Return
    wait_exit "$probe" 5 || { fail "Return did not close the message box"; return 1; }
    [ "$EXIT_STATUS" -eq 0 ] || fail "probe exited with $EXIT_STATUS"
    grep -q "Probe: Something went wrong" "$WORK/probe.log" || fail "message not on stderr"
}

check_probe_close() {
    # The window manager's close request reaches the window as WM_CLOSE.
    start_display && start_wm || return 1
    spawn "$PROBE" --title "probe-close" >"$WORK/out" 2>"$WORK/probe.log"
    local pid=$LAST_PID id
    id=$(window_named "probe-close") || { fail "no probe window"; return 1; }
    close_cleanly "$pid" "$id"
}

check_popup_deactivation() {
    # A pop-up brought to the foreground is told when a click elsewhere takes
    # activation away.
    start_display && start_wm || return 1
    spawn "$PROBE" --title "probe-pop" --popup >"$WORK/out" 2>"$WORK/probe.log"
    local popup main x y
    popup=$(window_named "probe-pop-popup") || { fail "no pop-up window"; return 1; }
    main=$(window_named "probe-pop") || { fail "no probe window"; return 1; }
    wait_for 5 has_property "$popup" _NET_WM_WINDOW_TYPE _NET_WM_WINDOW_TYPE_POPUP_MENU || fail "not a pop-up menu window"
    xprop -id "$popup" WM_TRANSIENT_FOR | grep -q "$(printf '0x%x' "$main")" || fail "not owned by the probe window"
    wait_for 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = $popup ]" || { fail "the pop-up did not get the focus"; return 1; }
    read -r x y <<<"$(window_origin "$main")"
    xdotool mousemove $((x + 150)) $((y + 100)) click 1
    wait_for 5 grep -q "popup deactivated" "$WORK/probe.log" || fail "no WM_ACTIVATE WA_INACTIVE for the pop-up"
}

# --- the program ----------------------------------------------------------------

check_ostrel_window() {
    start_display && start_wm && start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local id props
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 5 is_viewable "$id" || { fail "the window is not shown"; return 1; }
    wait_for 5 has_property "$id" _NET_FRAME_EXTENTS "0, 0, 0, 0" || fail "the window manager framed it"
    # The client area is 540 x 200; the X window covers what shows of it.
    wait_for 5 covers_box "$id" "$STRIP_BOX" || fail "the X window does not cover just the strip"
    on_argb_visual "$id" || fail "the window is not on the 32-bit visual"
    props=$(xprop -id "$id")
    grep -q '_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x2, 0x0, 0x0' <<<"$props" || fail "decorations not turned off"
    grep -q '_NET_WM_STATE(ATOM) = .*_NET_WM_STATE_ABOVE' <<<"$props" || fail "not above"
    grep -q '_NET_WM_STATE(ATOM) = .*_NET_WM_STATE_SKIP_TASKBAR' <<<"$props" || fail "not off the taskbar"
    # Asked for with _NET_WM_STATE_STICKY, which openbox turns into this:
    grep -q '_NET_WM_DESKTOP(CARDINAL) = 4294967295' <<<"$props" || fail "not on every desktop"
    grep -q '_NET_WM_NAME(UTF8_STRING) = "Ostrel"' <<<"$props" || fail "_NET_WM_NAME is not Ostrel"
    grep -q 'XdndAware' <<<"$props" || fail "not a drop target"
    # What openbox made of the hints: no frame, and the icon it will show.
    grep -q '_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0' <<<"$props" || fail "the window manager framed it"
    grep -q 'Icon (128 x 128)' <<<"$props" || fail "no 128x128 _NET_WM_ICON"
}

check_ostrel_close() {
    start_display && start_wm && start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 5 is_viewable "$id" || { fail "the window is not shown"; return 1; }
    close_cleanly "$pid" "$id"
}

check_ostrel_drop() {
    # Files that are no audio, one that does not exist, and junk lines: the
    # drop is taken, nothing plays, and the program still closes cleanly.
    start_display && start_wm && start_sound || return 1
    make_files
    head -c 4096 /dev/urandom >"${FILES[0]}"
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    "$SEND" --window "$id" --at "$STRIP_DROP_AT" --uri "file:///nonexistent/%E6%AD%8C.mp3" --uri "garbage" \
        -- "${FILES[@]}" || { fail "xdnd_send exited with $?"; return 1; }
    "$SEND" --window "$id" --at "$STRIP_DROP_AT" -- "${FILES[1]}" || fail "a second drop was not taken"
    kill -0 "$pid" 2>/dev/null || { fail "ostrel died after the drops"; return 1; }
    close_cleanly "$pid" "$id"
}

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

check_ostrel_glass_strip() {
    # The screenshot shows the glass strip with its blue track and glow, and
    # everything black around it lets the pointer through to what is below.
    start_display && start_wm && start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id x y
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    sleep 1
    read -r x y < <(window_origin "$id")
    import -window root "$WORK/screen.png" || { fail "no screenshot"; return 1; }
    [ -n "${E2E_SHOT:-}" ] && cp "$WORK/screen.png" "$E2E_SHOT"
    pixel_is $((x + 60)) $((y + 110)) "210 210 210"   # glass
    pixel_is $((x + 500)) $((y + 115)) "210 210 210"
    local row
    for row in 126 127 128 129; do pixel_is $((x + 400)) $((y + row)) "153 204 255"; done  # the track
    pixel_is $((x + 270)) $((y + 50)) "0 0 0"        # nothing above the strip
    # The glow: faint, and green-tinted, just outside the strip's edge.
    local r g b
    read -r r g b < <(root_pixel $((x + 270)) $((y + 98)))
    [ "$g" -gt 0 ] && [ "$g" -ge "$r" ] && [ "$g" -ge "$b" ] || fail "no green glow above the strip ($r $g $b)"
    # The shape: pointer over the strip is over our window, over black it is not.
    xdotool mousemove $((x + 270)) $((y + 115))
    local over_strip over_black
    over_strip=$(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p')
    xdotool mousemove $((x + 270)) $((y + 40))
    over_black=$(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p')
    # (the window manager's frame may stand for our window; compare the two places)
    [ -n "$over_strip" ] && [ "$over_black" != "$over_strip" ] || fail "a black pixel does not let the pointer through"
    close_cleanly "$pid" "$id"
}

# Drops FILE (the 523 Hz tone) on window ID and records the sink for three
# seconds, longer than the two-second file, so the loop's wrap is heard too.
drop_and_hear() {  # ID FILE [XDND_SEND OPTION...]
    "$SEND" --window "$1" --at "$STRIP_DROP_AT" "${@:3}" -- "$2" || { fail "the drop was not taken"; return 1; }
    sleep 0.5
    parec "${REC_LATENCY[@]}" --device=e2e.monitor --format=s16le --rate=44100 --channels=1 >"$WORK/heard.raw" 2>"$WORK/parec.log" &
    local recorder=$! verdict
    sleep 3
    kill -INT $recorder
    wait $recorder 2>/dev/null
    verdict=$(python3 "$(dirname "$0")/tools/tone_check.py" "$WORK/heard.raw" 523) ||
        { fail "the sink did not hear the dropped file's steady 523 Hz tone: $verdict"; return 1; }
    log "heard: $verdict"
}

check_ostrel_plays_dropped_file() {
    # A file dropped through XDND plays: the sink's monitor carries its tone.
    start_display && start_wm && start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    drop_and_hear "$id" "$FIXTURES/audio/tone.ogg" || return 1
    close_cleanly "$pid" "$id"
}

check_ostrel_plays_drop_followed_by_leave() {
    # A Wayland program's drop, as wlroots forwards it: XdndLeave comes right
    # after XdndDrop, before the data; the drop still plays.
    start_display && start_wm && start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    drop_and_hear "$id" "$FIXTURES/audio/tone.ogg" --leave-after-drop || return 1
    close_cleanly "$pid" "$id"
}

check_ostrel_plays_non_utf8_name() {
    # A file whose name is Latin-1, not UTF-8 (caf\xE9.ogg), dropped through
    # XDND plays: the exact file is opened and the sink's monitor carries it.
    start_display && start_wm && start_sound || return 1
    local file
    file="$WORK/caf"$'\xE9'".ogg"
    cp "$FIXTURES/audio/tone.ogg" "$file"
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    drop_and_hear "$id" "$file" || return 1
    close_cleanly "$pid" "$id"
}

check_ostrel_without_sound_server() {
    # No server: the warning is shown, and once acknowledged the player runs
    # and takes a drop in silence.
    start_display && start_wm || return 1
    no_sound
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID box id
    box=$(window_named "Warning") || { fail "no Warning box"; return 1; }
    grep -q "Warning: No sound device found." "$WORK/ostrel.log" || fail "the warning's text is not 'No sound device found.'"
    xdotool key --window "$box" Return
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel after the warning"; return 1; }
    "$SEND" --window "$id" --at "$STRIP_DROP_AT" -- "$FIXTURES/audio/tone.ogg" || fail "the drop was not taken"
    sleep 0.5
    kill -0 "$pid" 2>/dev/null || { fail "ostrel died playing without sound"; return 1; }
    close_cleanly "$pid" "$id"
}

check_ostrel_no_display() {
    local status
    env -u DISPLAY -u WAYLAND_DISPLAY "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    status=$?
    [ $status -eq 1 ] || fail "exit status $status, expected 1"
    grep -q "Ostrel failed to load!" "$WORK/ostrel.log" || fail "no 'Ostrel failed to load!' on stderr"
}

# --- tray, minimize ------------------------------------------------------------

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

map_state() { xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ {print $NF}'; }
is_viewable() { [ "$(map_state "$1")" = IsViewable ]; }
is_unmapped() { [ "$(map_state "$1")" = IsUnMapped ]; }
is_iconic() { xprop -id "$1" WM_STATE 2>/dev/null | grep -q "window state: Iconic"; }
net_wm_state() { xprop -id "$1" _NET_WM_STATE 2>/dev/null; }
no_window_named() { ! xdotool search --name "^$1\$" >/dev/null 2>&1; }

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

screenshot() { import -window root "$WORK/screen.png"; }

# The opacity spy has seen the fade end: the property deleted again.
opacity_restored() { [ "$(wc -l <"$WORK/opacity")" -ge 2 ] && tail -n1 "$WORK/opacity" | grep -q "not found"; }

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

# The icon's square shows a picture, not the tray's flat background.
icon_drawn() {
    local icon=$1 x y w h spread
    read -r x y <<<"$(window_origin "$icon")"
    w=$(xwininfo -id "$icon" | awk '/Width:/ {print $2}')
    h=$(xwininfo -id "$icon" | awk '/Height:/ {print $2}')
    [ "$w" = "$h" ] && [ "$h" -ge 16 ] || { fail "the icon is ${w}x${h}, not a square as tall as the tray's row"; return 1; }
    screenshot || return 1
    spread=$(convert "$WORK/screen.png" -crop "${w}x${h}+$x+$y" +repage -format "%[fx:int(1000*standard_deviation)]" info:)
    [ "$spread" -gt 50 ] || fail "the icon's square is flat (spread $spread)"
}

tooltip_below() {  # Y: a row inside the tooltip's top padding, near the screen's right edge
    local r g b
    screenshot || return 1
    read -r r g b < <(root_pixel 1270 "$1")
    [ "$r" -ge 250 ] && [ "$g" -ge 250 ] && [ "$b" -ge 215 ] && [ "$b" -le 230 ]
}

check_tray_minimize_and_click_back() {
    start_display && start_wm && start_trayer || return 1
    spawn "$PROBE" --title probe-tray --strip --tray --minimize >"$WORK/out" 2>"$WORK/probe.log"
    local id icon x y
    id=$(window_named probe-tray) || { fail "no probe window"; return 1; }
    icon=$(docked_icon "probe-tray tray") || { fail "the icon did not dock in trayer"; return 1; }
    wait_for 10 painted_at "$id" 150 100 || { fail "the window is not painted"; return 1; }
    read -r x y <<<"$(window_origin "$id")"
    xdotool mousemove $((x + 150)) $((y + 100)) click 1
    wait_for 5 is_unmapped "$id" || { fail "minimize did not hide the window"; return 1; }
    is_iconic "$id" && fail "minimize iconified the window although a tray shows its icon"
    click_icon "$icon"
    wait_for 5 is_viewable "$id" || { fail "a click on the tray icon did not bring the window back"; return 1; }
    read -r x y <<<"$(window_origin "$id")"
    wait_for_pixel $((x + 150)) $((y + 100)) "255 255 255"
}

check_minimize_without_tray() {
    start_display && start_wm || return 1
    spawn "$PROBE" --title probe-notray --strip --tray --minimize >"$WORK/out" 2>"$WORK/probe.log"
    local id x y
    id=$(window_named probe-notray) || { fail "no probe window"; return 1; }
    wait_for 10 painted_at "$id" 150 100 || { fail "the window is not painted"; return 1; }
    grep -q "no tray yet" "$WORK/probe.log" || fail "the icon was added although no tray exists"
    read -r x y <<<"$(window_origin "$id")"
    xdotool mousemove $((x + 150)) $((y + 100)) click 1
    wait_for 5 is_iconic "$id" || { fail "with no tray, minimize did not iconify"; return 1; }
    net_wm_state "$id" | grep -q SKIP_TASKBAR && fail "iconified but still off the taskbar"
    wmctrl -l | grep -q "probe-notray" || fail "the window manager does not list the iconified window"
    wmctrl -i -a "$id"
    wait_for 5 is_viewable "$id" || { fail "wmctrl -a did not bring the window back"; return 1; }
    wait_for 5 sh -c "xprop -id $id _NET_WM_STATE | grep -q SKIP_TASKBAR" || fail "restored but on the taskbar"
    net_wm_state "$id" | grep -q _NET_WM_STATE_ABOVE || fail "restored but not above"
    read -r x y <<<"$(window_origin "$id")"
    wait_for_pixel $((x + 150)) $((y + 100)) "255 255 255"
}

check_iconified_window_shown_from_a_later_tray() {
    # Iconified for want of a tray; a tray that turns up later shows it again
    # with a click on the icon, off the taskbar once more.
    start_display && start_wm || return 1
    spawn "$PROBE" --title probe-later --strip --tray --minimize >"$WORK/out" 2>"$WORK/probe.log"
    local id icon x y
    id=$(window_named probe-later) || { fail "no probe window"; return 1; }
    wait_for 10 painted_at "$id" 150 100 || { fail "the window is not painted"; return 1; }
    read -r x y <<<"$(window_origin "$id")"
    xdotool mousemove $((x + 150)) $((y + 100)) click 1
    wait_for 5 is_iconic "$id" || { fail "with no tray, minimize did not iconify"; return 1; }
    start_trayer || return 1
    icon=$(docked_icon "probe-later tray") || { fail "the icon did not dock in the later tray"; return 1; }
    click_icon "$icon"
    wait_for 5 is_viewable "$id" || { fail "a click on the icon did not bring the iconified window back"; return 1; }
    wait_for 5 sh -c "xprop -id $id _NET_WM_STATE | grep -q SKIP_TASKBAR" || fail "shown again but on the taskbar"
    read -r x y <<<"$(window_origin "$id")"
    wait_for_pixel $((x + 150)) $((y + 100)) "255 255 255"
    click_icon "$icon"
    wait_for 5 is_unmapped "$id" || fail "the next click did not hide it"
    is_iconic "$id" && fail "hidden through the tray, yet iconified"
}

check_fade_with_compositor() {
    # Under a compositor the window's opacity steps down during the fade.
    start_display && start_wm || return 1
    spawn picom --backend xrender --config /dev/null >"$WORK/picom.log" 2>&1
    wait_for 10 sh -c "xdotool search --name '^picom\$' >/dev/null 2>&1" || { fail "picom did not start"; return 1; }
    spawn "$PROBE" --title probe-fade --strip --minimize >"$WORK/out" 2>"$WORK/probe.log"
    local id x y spy values
    id=$(window_named probe-fade) || { fail "no probe window"; return 1; }
    wait_for 10 painted_at "$id" 150 100 || { fail "the window is not painted"; return 1; }
    xprop -spy -id "$id" _NET_WM_WINDOW_OPACITY >"$WORK/opacity" 2>/dev/null &
    spy=$!
    wait_for 5 test -s "$WORK/opacity" || { fail "xprop -spy printed nothing"; return 1; }
    read -r x y <<<"$(window_origin "$id")"
    xdotool mousemove $((x + 150)) $((y + 100)) click 1
    wait_for 5 sh -c "! xwininfo -id $id | grep -q IsViewable" || fail "the window did not go"
    wait_for 5 opacity_restored || fail "the opacity was not restored after the fade"
    kill "$spy" 2>/dev/null
    wait "$spy" 2>/dev/null
    # xprop reads each value a moment after its change, so a late read may
    # repeat one; every value read must still be no higher than the last.
    values=$(sed -n 's/.*= \([0-9]*\)$/\1/p' "$WORK/opacity")
    local count previous=4294967295 falling=1 partial=0 v
    count=$(wc -w <<<"$values")
    for v in $values; do
        [ "$v" -le "$previous" ] || falling=0
        [ "$v" -gt 0 ] && [ "$v" -lt 4294967295 ] && [ "$v" -lt "$previous" ] && partial=$((partial + 1))
        previous=$v
    done
    [ $falling -eq 1 ] || fail "the opacity rose during the fade: $(tr '\n' ' ' <<<"$values")"
    [ $partial -ge 5 ] || fail "only $partial steps between opaque and clear: $(tr '\n' ' ' <<<"$values")"
    grep -q "not found" "$WORK/opacity" || fail "the opacity was not restored after the fade"
    log "opacity changes: $count, values read: $(tr '\n' ' ' <<<"$values")"
}

check_ostrel_tray_toggle() {
    # The player's own icon: drawn in a real tray, its tip on hover, a click
    # hides the strip and the next brings it back painted; gone after exit.
    start_display && start_wm && start_sound && start_trayer || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id icon x y ix iy
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    icon=$(docked_icon "OstPlayer \[Preview\]") || { fail "the player's icon did not dock in trayer"; return 1; }
    icon_drawn "$icon"
    read -r ix iy <<<"$(window_origin "$icon")"
    xdotool mousemove $((ix + 12)) $((iy + 12))
    sleep 0.1
    xdotool mousemove $((ix + 13)) $((iy + 13))
    # The tooltip: a pale yellow box just below the pointer.
    wait_for 5 tooltip_below $((iy + 13 + 23)) || fail "no tooltip below the icon"
    local before
    before=$(window_origin "$id")
    click_icon "$icon"
    wait_for 5 is_unmapped "$id" || { fail "a click on the icon did not hide the strip"; return 1; }
    click_icon "$icon"
    wait_for 5 is_viewable "$id" || { fail "a second click did not bring the strip back"; return 1; }
    [ "$(window_origin "$id")" = "$before" ] || fail "shown at $(window_origin "$id"), hidden at $before"
    read -r x y <<<"$(window_origin "$id")"
    wait_for_pixel $((x + 60)) $((y + 110)) "210 210 210"
    [ -n "${E2E_SHOT:-}" ] && cp "$WORK/screen.png" "$E2E_SHOT"
    close_cleanly "$pid" "$id"
    wait_for 5 no_window_named "OstPlayer \[Preview\]" || fail "the icon is still there after exit"
}

check_ostrel_tray_restart() {
    # The icon docks again in a tray that is restarted, and works there.
    start_display && start_wm && start_sound && start_trayer || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id icon
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    docked_icon "OstPlayer \[Preview\]" >/dev/null || { fail "the icon did not dock"; return 1; }
    stop_trayer
    sleep 0.5
    is_viewable "$id" || fail "a shown window changed when the tray went"
    start_trayer || return 1
    icon=$(docked_icon "OstPlayer \[Preview\]") || { fail "the icon did not dock in the restarted tray"; return 1; }
    icon_drawn "$icon"
    click_icon "$icon"
    wait_for 5 is_unmapped "$id" || fail "a click on the re-docked icon did not hide the strip"
    click_icon "$icon"
    wait_for 5 is_viewable "$id" || fail "a second click did not bring the strip back"
    close_cleanly "$pid" "$id"
}

check_ostrel_tray_lost_while_hidden() {
    # Hidden through the tray, then the tray goes: the strip is iconified at
    # once, so the window manager can bring it back as it was.
    start_display && start_wm && start_sound && start_trayer || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id icon x y props
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    icon=$(docked_icon "OstPlayer \[Preview\]") || { fail "the icon did not dock"; return 1; }
    click_icon "$icon"
    wait_for 5 is_unmapped "$id" || { fail "a click on the icon did not hide the strip"; return 1; }
    stop_trayer
    wait_for 5 is_iconic "$id" || { fail "losing the tray did not iconify the hidden strip"; return 1; }
    net_wm_state "$id" | grep -q SKIP_TASKBAR && fail "iconified but still off the taskbar"
    wmctrl -i -a "$id"
    wait_for 5 is_viewable "$id" || { fail "wmctrl -a did not bring the strip back"; return 1; }
    wait_for 5 sh -c "xprop -id $id _NET_WM_STATE | grep -q SKIP_TASKBAR" || fail "restored but on the taskbar"
    props=$(xprop -id "$id")
    grep -q '_NET_WM_STATE(ATOM) = .*_NET_WM_STATE_ABOVE' <<<"$props" || fail "restored but not above"
    grep -q '_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0' <<<"$props" || fail "restored with a frame"
    read -r x y <<<"$(window_origin "$id")"
    wait_for_pixel $((x + 60)) $((y + 110)) "210 210 210"
    close_cleanly "$pid" "$id"
}

check_ostrel_tray_argb_visual() {
    # A tray that offers a 32-bit visual gets an icon of that depth, drawn
    # with its own transparency, and clicks on it work as in any tray.
    start_display && start_wm && start_sound || return 1
    spawn "$ARGB_TRAY" >"$WORK/tray.out" 2>"$WORK/tray.log"
    wait_for 10 sh -c "xdotool search --name '^argb_tray\$' >/dev/null 2>&1" || { fail "argb_tray did not start"; return 1; }
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id icon
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 grep -q docked "$WORK/tray.out" || { fail "the icon did not dock"; return 1; }
    icon=$(sed -n 's/^docked //p' "$WORK/tray.out" | head -n1)
    xwininfo -id "$icon" | grep -q "Depth: 32" || fail "the icon does not use the tray's 32-bit visual"
    wait_for 5 is_viewable "$icon"
    icon_drawn "$icon"
    # A corner of the icon is clear: premultiplied, it shows black.
    local ix iy
    read -r ix iy <<<"$(window_origin "$icon")"
    [ "$(root_pixel "$ix" "$iy")" = "0 0 0" ] || fail "the icon's clear corner is ($(root_pixel "$ix" "$iy"))"
    click_icon "$icon"
    wait_for 5 is_unmapped "$id" || fail "a click on the icon did not hide the strip"
    click_icon "$icon"
    wait_for 5 is_viewable "$id" || fail "a second click did not bring the strip back"
    close_cleanly "$pid" "$id"
}

check_ostrel_tray_appears_later() {
    # No tray at start-up: the failed add is reported and the player runs;
    # a tray started later gets the icon, and it works.
    start_display && start_wm && start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id icon
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 5 grep -q "Assertion failed: Shell_NotifyIcon(NIM_ADD, &(this->niData)), file ot_tray, line " \
        "$WORK/ostrel.log" || fail "the failed add was not reported"
    start_trayer || return 1
    icon=$(docked_icon "OstPlayer \[Preview\]") || { fail "the icon did not dock in the later tray"; return 1; }
    click_icon "$icon"
    wait_for 5 is_unmapped "$id" || fail "a click on the icon did not hide the strip"
    click_icon "$icon"
    wait_for 5 is_viewable "$id" || fail "a second click did not bring the strip back"
    close_cleanly "$pid" "$id"
}

# --- StatusNotifierItem -----------------------------------------------------------

# A private session bus for this check only.
start_bus() {
    : >"$WORK/busaddr"
    spawn dbus-daemon --session --nofork --address="unix:path=$WORK/bus" --print-address=3 3>"$WORK/busaddr" \
        2>"$WORK/dbus.log"
    wait_for 10 test -s "$WORK/busaddr" || { fail "dbus-daemon did not start"; return 1; }
    export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$WORK/busaddr")
}

watcher_items() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems 2>/dev/null
}

start_watcher() {
    spawn status-notifier-watcher >>"$WORK/watcher.log" 2>&1
    WATCHER_PID=$LAST_PID
    wait_for 10 watcher_items >/dev/null || { fail "status-notifier-watcher did not start"; return 1; }
}

item_registered() { watcher_items | grep -q "\"$1\""; }
host_registered() {
    dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:IsStatusNotifierHostRegistered 2>/dev/null | grep -q "boolean true"
}

# A host that shows the watcher's items in a bar along the top.
start_host() {
    spawn gtk-sni-tray-standalone >>"$WORK/host.log" 2>&1
    HOST_PID=$LAST_PID
    wait_for 10 host_registered || { fail "the host did not register with the watcher"; return 1; }
}
name_owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q "boolean true"
}
item_property() {  # NAME PROPERTY
    dbus-send --session --print-reply --dest="$1" /StatusNotifierItem org.freedesktop.DBus.Properties.Get \
        string:org.kde.StatusNotifierItem "string:$2" 2>/dev/null
}
activate() {
    dbus-send --session --print-reply --dest="$1" /StatusNotifierItem org.kde.StatusNotifierItem.Activate \
        int32:0 int32:0 >/dev/null
}

# The host's first icon, at the left of its bar along the top, shows a picture.
host_shows_icon() {
    local spread
    screenshot || return 1
    spread=$(convert "$WORK/screen.png" -crop "28x28+1+1" +repage -format "%[fx:int(1000*standard_deviation)]" info:)
    [ "$spread" -gt 50 ]
}

check_ostrel_status_notifier_item() {
    start_display && start_wm && start_sound && start_bus && start_watcher && start_host || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id name x y
    name=org.kde.StatusNotifierItem-$pid-1
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 item_registered "$name" || { fail "the item did not register with the watcher"; return 1; }
    item_property "$name" Title | grep -q '"Ostrel"' || fail "Title is not Ostrel"
    item_property "$name" Category | grep -q '"ApplicationStatus"' || fail "Category is not ApplicationStatus"
    item_property "$name" ToolTip | grep -q '"OstPlayer \[Preview\]"' || fail "the tooltip is not the tip"
    item_property "$name" IconPixmap | grep -q "int32 128" || fail "no 128x128 IconPixmap"
    # An empty menu, for hosts that show no item without one.
    item_property "$name" Menu | grep -q 'object path "/MenuBar"' || fail "no Menu object path"
    dbus-send --session --print-reply --dest="$name" /MenuBar com.canonical.dbusmenu.GetLayout int32:0 int32:-1 \
        array:string: >"$WORK/layout" 2>&1 || fail "GetLayout failed: $(cat "$WORK/layout")"
    grep -q '"children-display"' "$WORK/layout" || fail "the menu's root has no properties: $(cat "$WORK/layout")"
    [ "$(grep -cw "int32" "$WORK/layout")" -eq 1 ] || fail "the menu has entries: $(cat "$WORK/layout")"
    no_window_named "OstPlayer \[Preview\]" || fail "an XEmbed icon as well"
    wait_for 10 host_shows_icon || fail "the host does not show the icon"
    [ -n "${E2E_SHOT:-}" ] && cp "$WORK/screen.png" "$E2E_SHOT"

    activate "$name"
    wait_for 5 is_unmapped "$id" || { fail "Activate did not hide the strip"; return 1; }
    activate "$name"
    wait_for 5 is_viewable "$id" || { fail "a second Activate did not bring the strip back"; return 1; }
    read -r x y <<<"$(window_origin "$id")"
    wait_for_pixel $((x + 60)) $((y + 110)) "210 210 210"
    # A click on the host's icon is an Activate too.
    xdotool mousemove 14 14 click 1
    wait_for 5 is_unmapped "$id" || fail "a click on the host's icon did not hide the strip"
    sleep 0.6  # longer than the double-click time: two single clicks, not one double
    xdotool mousemove 14 14 click 1
    wait_for 5 is_viewable "$id" || fail "a second click on the host's icon did not bring it back"

    # A watcher that restarts gets the item again.
    kill "$WATCHER_PID"
    wait "$WATCHER_PID" 2>/dev/null
    start_watcher || return 1
    wait_for 10 item_registered "$name" || fail "the item did not register with the restarted watcher"

    close_cleanly "$pid" "$id"
    wait_for 5 sh -c "! dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:$name | grep -q 'boolean true'" ||
        fail "the item's name is still owned after exit"
    wait_for 5 sh -c "! dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:RegisteredStatusNotifierItems | grep -q $name" ||
        fail "the watcher still lists the item after exit"
}

check_ostrel_bus_gone_falls_back_to_the_tray() {
    # With a watcher, its host and a system tray, the icon is only the item;
    # when the bus itself goes, the icon docks in the tray, and the program
    # does not spin on the dead connection.
    start_display && start_wm && start_sound && start_bus && start_watcher && start_host && start_trayer || return 1
    local bus_pid
    bus_pid=$(pgrep -f "dbus-daemon --session --nofork --address=unix:path=$WORK/bus" | head -n1)
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id name icon ticks
    name=org.kde.StatusNotifierItem-$pid-1
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 item_registered "$name" || { fail "the item did not register with the watcher"; return 1; }
    sleep 0.5
    no_window_named "OstPlayer \[Preview\]" || fail "an XEmbed icon next to the item"
    kill "$bus_pid"
    icon=$(docked_icon "OstPlayer \[Preview\]") || { fail "the icon did not dock in the tray after the bus went"; return 1; }
    is_viewable "$id" || fail "the strip changed when the bus went"
    # CPU time over two seconds, in clock ticks: an idle program uses next to none.
    ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep 2
    ticks=$(($(awk '{print $14 + $15}' "/proc/$pid/stat") - ticks))
    [ "$ticks" -lt 50 ] || fail "the program used $ticks ticks in two idle seconds"
    click_icon "$icon"
    wait_for 5 is_unmapped "$id" || fail "a click on the icon did not hide the strip"
    click_icon "$icon"
    wait_for 5 is_viewable "$id" || fail "a second click did not bring the strip back"
    close_cleanly "$pid" "$id"
}

check_ostrel_status_notifier_watcher_lost_while_hidden() {
    # The only tray is a watcher and its host; the watcher goes while the
    # strip is hidden: the strip is iconified at once and the window manager
    # brings it back.
    start_display && start_wm && start_sound && start_bus && start_watcher && start_host || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id name
    name=org.kde.StatusNotifierItem-$pid-1
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 item_registered "$name" || { fail "the item did not register with the watcher"; return 1; }
    activate "$name"
    wait_for 5 is_unmapped "$id" || { fail "Activate did not hide the strip"; return 1; }
    kill "$WATCHER_PID"
    wait_for 5 is_iconic "$id" || { fail "losing the watcher did not iconify the hidden strip"; return 1; }
    wmctrl -i -a "$id"
    wait_for 5 is_viewable "$id" || fail "wmctrl -a did not bring the strip back"
    close_cleanly "$pid" "$id"
}

check_ostrel_status_notifier_without_host() {
    # A watcher that no host serves shows nothing: minimize iconifies the
    # strip. Once a host registers, the item is shown and minimize hides the
    # strip into it; a click there brings it back.
    start_display && start_wm && start_sound && start_bus && start_watcher || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id name
    name=org.kde.StatusNotifierItem-$pid-1
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 item_registered "$name" || { fail "the item did not register with the watcher"; return 1; }
    wait_for 10 painted_at "$id" 60 110 || { fail "the strip is not painted"; return 1; }
    click_minimize "$id"
    wait_for 5 is_iconic "$id" || { fail "with no host, minimize did not iconify"; return 1; }
    wmctrl -i -a "$id"
    wait_for 5 is_viewable "$id" || { fail "wmctrl -a did not bring the strip back"; return 1; }
    wait_for 10 painted_at "$id" 60 110 || { fail "the strip came back unpainted"; return 1; }
    start_host || return 1
    wait_for 10 host_shows_icon || { fail "the host does not show the icon"; return 1; }
    click_minimize "$id"
    wait_for 5 is_unmapped "$id" || { fail "minimize did not hide the strip into the host's icon"; return 1; }
    is_iconic "$id" && fail "minimize iconified the strip although a host shows its icon"
    xdotool mousemove 14 14 click 1
    wait_for 5 is_viewable "$id" || fail "a click on the host's icon did not bring the strip back"
    close_cleanly "$pid" "$id"
}

check_ostrel_status_notifier_refused_docks_in_the_tray() {
    # A watcher without a host and a system tray: the icon docks in the tray,
    # and minimize hides the strip into it. When a host comes, the icon is
    # its item only.
    start_display && start_wm && start_sound && start_bus && start_watcher && start_trayer || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id name icon
    name=org.kde.StatusNotifierItem-$pid-1
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 item_registered "$name" || { fail "the item did not register with the watcher"; return 1; }
    icon=$(docked_icon "OstPlayer \[Preview\]") || { fail "the icon did not dock in the tray"; return 1; }
    click_minimize "$id"
    wait_for 5 is_unmapped "$id" || { fail "minimize did not hide the strip into the tray"; return 1; }
    is_iconic "$id" && fail "minimize iconified the strip although the tray shows its icon"
    click_icon "$icon"
    wait_for 5 is_viewable "$id" || { fail "a click on the tray's icon did not bring the strip back"; return 1; }
    start_host || return 1
    wait_for 5 no_window_named "OstPlayer \[Preview\]" || fail "the tray's icon stays next to the host's item"
    close_cleanly "$pid" "$id"
}

check_ostrel_second_start_raises_the_first() {
    # A second start on the same session bus raises the running player, put
    # away by minimize, and ends with 0: one player, one strip.
    start_display && start_wm && start_sound && start_bus || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id second
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 name_owned org.mpris.MediaPlayer2.ostrel || { fail "the player's name is not owned"; return 1; }
    wait_for 10 painted_at "$id" 60 110 || { fail "the strip is not painted"; return 1; }
    click_minimize "$id"
    wait_for 5 is_iconic "$id" || { fail "minimize did not iconify the strip"; return 1; }
    spawn "$OSTREL" >"$WORK/out2" 2>"$WORK/ostrel2.log"
    second=$LAST_PID
    wait_exit "$second" 10 || { fail "the second start still runs"; return 1; }
    [ "$EXIT_STATUS" -eq 0 ] || fail "the second start exited with $EXIT_STATUS"
    wait_for 5 is_viewable "$id" || { fail "the second start did not raise the first player"; return 1; }
    wait_for 10 painted_at "$id" 60 110 || fail "the raised strip is not painted"
    [ "$(xdotool search --name '^Ostrel$' | wc -l)" -eq 1 ] || fail "more than one strip"
    kill -0 "$pid" 2>/dev/null || fail "the first player ended"
    close_cleanly "$pid" "$id"
}

# --- the minimize button --------------------------------------------------------

click_minimize() {  # the minimize button of the strip whose window is ID
    local x y
    read -r x y <<<"$(window_origin "$1")"
    xdotool mousemove $((x + 496)) $((y + 108)) click 1
}

check_ostrel_minimize_to_tray() {
    # The minimize button fades the strip out into the tray; a click on the
    # icon brings it back, painted.
    start_display && start_wm && start_sound && start_trayer || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id icon x y
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    icon=$(docked_icon "OstPlayer \[Preview\]") || { fail "the icon did not dock in trayer"; return 1; }
    click_minimize "$id"
    wait_for 5 is_unmapped "$id" || { fail "the minimize button did not hide the strip"; return 1; }
    is_iconic "$id" && fail "minimize iconified the strip although the tray shows its icon"
    click_icon "$icon"
    wait_for 5 is_viewable "$id" || { fail "a click on the icon did not bring the strip back"; return 1; }
    read -r x y <<<"$(window_origin "$id")"
    wait_for_pixel $((x + 60)) $((y + 110)) "210 210 210"
    close_cleanly "$pid" "$id"
}

check_ostrel_minimize_without_tray() {
    # No tray: the minimize button iconifies the strip, and the window
    # manager brings it back borderless, above and off the taskbar.
    start_display && start_wm && start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id x y props
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 painted_at "$id" 60 110 || { fail "the strip is not painted"; return 1; }
    click_minimize "$id"
    wait_for 5 is_iconic "$id" || { fail "with no tray, minimize did not iconify"; return 1; }
    net_wm_state "$id" | grep -q SKIP_TASKBAR && fail "iconified but still off the taskbar"
    wmctrl -l | grep -q "Ostrel" || fail "the window manager does not list the iconified strip"
    wmctrl -i -a "$id"
    wait_for 5 is_viewable "$id" || { fail "wmctrl -a did not bring the strip back"; return 1; }
    wait_for 5 sh -c "xprop -id $id _NET_WM_STATE | grep -q SKIP_TASKBAR" || fail "restored but on the taskbar"
    props=$(xprop -id "$id")
    grep -q '_NET_WM_STATE(ATOM) = .*_NET_WM_STATE_ABOVE' <<<"$props" || fail "restored but not above"
    grep -q '_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0' <<<"$props" || fail "restored with a frame"
    read -r x y <<<"$(window_origin "$id")"
    wait_for_pixel $((x + 60)) $((y + 110)) "210 210 210"
    close_cleanly "$pid" "$id"
}

check_ostrel_minimize_ignored() {
    # A window manager that ignores the request to iconify: with no tray the
    # strip stays shown, off the taskbar, and still answers the pointer.
    start_display && start_sound || return 1
    spawn "$DEAF_WM"
    wait_for 10 wm_running || { fail "the window manager did not start"; return 1; }
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 painted_at "$id" 60 110 || { fail "the strip is not painted"; return 1; }
    read -r OX OY < <(window_origin "$id")
    click_minimize "$id"
    wait_for 5 has_property "$id" _NET_WM_STATE SKIP_TASKBAR || fail "the strip was left on the taskbar"
    is_viewable "$id" || { fail "the strip went although nothing iconified it"; return 1; }
    dark_at 267 60 || fail "something shows above the strip before hovering"
    pointer_at 267 115
    wait_for 5 lit_at 267 60 || fail "the strip no longer answers the pointer"
    # This manager does not pass close requests on: the program's own.
    "$CLOSE" --direct "$id"
    wait_exit "$pid" 10 || { fail "still running after the close request"; return 1; }
    [ "$EXIT_STATUS" -eq 0 ] || fail "exited with $EXIT_STATUS after the close request"
}

check_ostrel_minimize_fade() {
    # Under a compositor the strip's opacity falls during minimize.
    start_display && start_wm && start_sound || return 1
    spawn picom --backend xrender --config /dev/null >"$WORK/picom.log" 2>&1
    wait_for 10 sh -c "xdotool search --name '^picom\$' >/dev/null 2>&1" || { fail "picom did not start"; return 1; }
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id spy steps
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 painted_at "$id" 60 110 || { fail "the strip is not painted"; return 1; }
    xprop -spy -id "$id" _NET_WM_WINDOW_OPACITY >"$WORK/opacity" 2>/dev/null &
    spy=$!
    wait_for 5 test -s "$WORK/opacity" || { fail "xprop -spy printed nothing"; return 1; }
    click_minimize "$id"
    wait_for 5 is_iconic "$id" || fail "the strip did not go"
    wait_for 5 opacity_restored || fail "the opacity was not restored after the fade"
    kill "$spy" 2>/dev/null
    wait "$spy" 2>/dev/null
    steps=$(sed -n 's/.*= \([0-9]*\)$/\1/p' "$WORK/opacity" | awk '$1 > 0 && $1 < 4294967295' | sort -u | wc -l)
    [ "$steps" -ge 5 ] || fail "only $steps partial opacities during the fade"
    wmctrl -i -a "$id"
    wait_for 5 is_viewable "$id" || fail "wmctrl -a did not bring the strip back"
    close_cleanly "$pid" "$id"
}

# --- the buttons ---------------------------------------------------------------

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
click_at() {
    local wait_ns=$((LAST_CLICK_NS + 600000000 - $(date +%s%N)))
    [ "$wait_ns" -gt 0 ] && sleep "$(printf '0.%09d' "$wait_ns")"
    xdotool mousemove $((OX + $1)) $((OY + $2)) click 1
    LAST_CLICK_NS=$(date +%s%N)
}

# What the sink carries for a moment: sink_sounds 523 (that tone) or silent.
sink_sounds() {
    timeout 0.8 parec "${REC_LATENCY[@]}" --device=e2e.monitor --format=s16le --rate=44100 --channels=1 >"$WORK/heard.raw" 2>>"$WORK/parec.log"
    python3 "$(dirname "$0")/tools/tone_check.py" "$WORK/heard.raw" "$1" >"$WORK/verdict" 2>&1
}

shoot() { import -window root "$WORK/screen.png" 2>/dev/null; }

# True when the client pixel X Y of a fresh screenshot is (not) black.
lit_at() { shoot && [ "$(root_pixel $((OX + $1)) $((OY + $2)))" != "0 0 0" ]; }
dark_at() { shoot && [ "$(root_pixel $((OX + $1)) $((OY + $2)))" = "0 0 0" ]; }

# The play/pause button's face (rows above the progress track), as a file.
play_face() { import -window root -crop 55x26+$((OX + 240))+$((OY + 100)) +repage "$WORK/$1.png" 2>/dev/null; }
faces_equal() { [ "$(compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>&1)" = "0" ]; }

drop_tone() {
    "$SEND" --window "$ID" --at "$STRIP_DROP_AT" -- "$FIXTURES/audio/tone.ogg" || { fail "the drop was not taken"; return 1; }
    wait_for 10 sink_sounds 523 || { fail "the dropped file is not heard: $(cat "$WORK/verdict")"; return 1; }
}

check_ostrel_hint_bubble() {
    # Resting on play/pause shows the bubble above it, within x 150-385 and
    # y 20-100; moving on to previous hides it.
    start_ostrel || return 1
    dark_at 267 60 || fail "something shows above the strip before hovering"
    pointer_at 267 115
    wait_for 5 lit_at 267 60 || { fail "no bubble over play/pause"; return 1; }
    [ -n "${E2E_SHOT:-}" ] && cp "$WORK/screen.png" "$E2E_SHOT"
    local x
    for x in 160 375; do lit_at $x 60 || fail "the bubble does not reach x $x"; done
    for x in 140 395; do dark_at $x 60 || fail "the bubble reaches beyond x $x"; done
    dark_at 267 15 || fail "the bubble reaches above y 20"
    pointer_at 157 115
    wait_for 5 dark_at 267 60 || fail "the bubble stays after moving onto previous"
    close_cleanly "$PID" "$ID"
}

check_ostrel_window_covers_what_shows() {
    # The X window covers the strip and its glow, and the hint bubble too
    # while it shows, so compositors that ignore the input shape pass clicks
    # beside them through; the client area stays where it was.
    start_ostrel || return 1
    wait_for 5 covers_box "$ID" "$STRIP_BOX" || fail "the X window is not the strip's box"
    pointer_at 267 115
    wait_for 5 covers_box "$ID" "506 111" || { fail "the X window did not grow over the bubble"; return 1; }
    local x y
    read -r x y < <(x_window_origin "$ID")
    [ "$x $y" = "$((OX + 17)) $((OY + 22))" ] || fail "the grown X window is at $x,$y, not $((OX + 17)),$((OY + 22))"
    lit_at 267 60 || fail "no bubble over play/pause"
    pointer_at 157 115
    wait_for 5 covers_box "$ID" "$STRIP_BOX" || fail "the X window did not shrink back when the bubble went"
    [ "$(window_origin "$ID")" = "$OX $OY" ] || fail "the client area moved from $OX,$OY to $(window_origin "$ID")"
    close_cleanly "$PID" "$ID"
}

blur_of() { xprop -id "$1" _KDE_NET_WM_BLUR_BEHIND_REGION | sed -n 's/.* = //p'; }

check_ostrel_blur_follows_box() {
    # Under a compositor the blur behind the glass is asked for where the
    # strip lies in the X window, which starts at the box, also once the
    # bubble has grown the box.
    start_display && start_wm && start_sound || return 1
    spawn picom --backend xrender --config /dev/null >"$WORK/picom.log" 2>&1
    wait_for 10 sh -c "xdotool search --name '^picom\$' >/dev/null 2>&1" || { fail "picom did not start"; return 1; }
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    PID=$LAST_PID
    ID=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 painted_at "$ID" 60 110 || { fail "the strip is not painted"; return 1; }
    wait_for 5 covers_box "$ID" "$STRIP_BOX" || { fail "the X window is not the strip's box"; return 1; }
    read -r OX OY < <(window_origin "$ID")
    wait_for 5 sh -c "xprop -id $ID _KDE_NET_WM_BLUR_BEHIND_REGION | grep -q '= 3, 3, 500, 30\$'" ||
        fail "the blur region is $(blur_of "$ID"), not the strip's in the X window (3, 3, 500, 30)"
    pointer_at 267 115
    wait_for 5 covers_box "$ID" "506 111" || { fail "the X window did not grow over the bubble"; return 1; }
    wait_for 5 sh -c "xprop -id $ID _KDE_NET_WM_BLUR_BEHIND_REGION | grep -q '= 3, 78, 500, 30\$'" ||
        fail "with the bubble the blur region is $(blur_of "$ID"), not 3, 78, 500, 30"
    close_cleanly "$PID" "$ID"
}

check_ostrel_play_pause_button() {
    # Play/pause silences a playing file and a second click brings it back.
    start_ostrel && drop_tone || return 1
    play_face playing
    click_at 267 115
    wait_for 5 sink_sounds silent || { fail "still heard after pausing: $(cat "$WORK/verdict")"; return 1; }
    play_face paused
    faces_equal playing paused && fail "the pause glyph did not turn to play"
    click_at 267 115
    wait_for 5 sink_sounds 523 || { fail "not heard again after resuming: $(cat "$WORK/verdict")"; return 1; }
    log "heard again: $(cat "$WORK/verdict")"
    close_cleanly "$PID" "$ID"
}

check_ostrel_stop_button() {
    # Stop silences the file and the play/pause button shows play again, as
    # it did before anything played.
    start_ostrel || return 1
    play_face stopped
    drop_tone || return 1
    play_face playing
    faces_equal stopped playing && fail "play/pause shows no pause glyph while playing"
    click_at 212 115
    wait_for 5 sink_sounds silent || { fail "still heard after stop: $(cat "$WORK/verdict")"; return 1; }
    pointer_at 212 60  # off the window, so no highlight sits on play/pause
    wait_for 5 sh -c "import -window root -crop 55x26+$((OX + 240))+$((OY + 100)) +repage '$WORK/after.png' 2>/dev/null &&
        [ \"\$(compare -metric AE '$WORK/stopped.png' '$WORK/after.png' null: 2>&1)\" = 0 ]" ||
        fail "play/pause does not show the play glyph again after stop"
    close_cleanly "$PID" "$ID"
}

check_ostrel_previous_pressed() {
    # Previous keeps the pressed highlight (the glyph colour at alpha 120 over
    # the glass) after the pointer has left it.
    start_ostrel || return 1
    shoot
    pixel_is $((OX + 133)) $((OY + 112)) "210 210 210" || return 1
    click_at 157 115
    pointer_at 157 60
    wait_for 5 sh -c "import -window root '$WORK/screen.png' 2>/dev/null &&
        convert '$WORK/screen.png' -format '%[fx:int(255*u.r)] %[fx:int(255*u.g)] %[fx:int(255*u.b)]' \
            -crop 1x1+$((OX + 133))+$((OY + 112)) +repage info: | grep -qx '18[2-4] 20[6-8] 23[0-2]'" ||
        { fail "no pressed highlight over previous: ($(root_pixel $((OX + 133)) $((OY + 112))))"; return 1; }
    close_cleanly "$PID" "$ID"
}

check_ostrel_close_button() {
    start_ostrel || return 1
    click_at 508 108
    wait_exit "$PID" 10 || { fail "still running after a click on close"; return 1; }
    [ "$EXIT_STATUS" -eq 0 ] || fail "exited with $EXIT_STATUS after a click on close"
}

# --- the volume menu ------------------------------------------------------------

# The menu window hangs from the volume button with its corner at the
# strip's client point (340, 115); its frame starts 11 rows lower, the first
# item's highlight covers client rows 135-155 and the second's 156-176, from
# client x 353 to 507. The highlight is the glyph colour, opaque.
readonly HIGHLIGHT="153 204 255"
client_pixel() { shoot && root_pixel $((OX + $1)) $((OY + $2)); }
highlighted_at() { [ "$(client_pixel "$1" "$2")" = "$HIGHLIGHT" ]; }
glass_at() { local p; p=$(client_pixel "$1" "$2") && [ "$p" != "0 0 0" ] && [ "$p" != "$HIGHLIGHT" ]; }
keep_shot() { [ -n "${E2E_SHOTS:-}" ] && mkdir -p "$E2E_SHOTS" && cp "$WORK/screen.png" "$E2E_SHOTS/$1.png"; return 0; }

# Hovers the volume button and waits for the menu; sets MENU.
open_volume_menu() {
    pointer_at 370 108
    pointer_at 377 110
    MENU=$(window_named ostmenu) || { fail "no menu window"; return 1; }
    wait_for 5 is_viewable "$MENU" || { fail "hovering the volume button shows no menu"; return 1; }
    wait_for 5 glass_at 420 160 || { fail "the menu's frame is not painted"; return 1; }
}

volume_menu_checks() {  # the name the screenshots get
    local mx my
    dark_at 420 160 || fail "something shows below the strip before hovering"
    open_volume_menu || return 1
    read -r mx my < <(window_origin "$MENU")
    [ "$mx $my" = "$((OX + 340)) $((OY + 115))" ] ||
        fail "the menu's corner is at $mx,$my, expected $((OX + 340)),$((OY + 115))"
    xprop -id "$MENU" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_POPUP_MENU || fail "not a pop-up menu window"
    on_argb_visual "$MENU" || fail "the menu window is not on the 32-bit visual"
    wait_for 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = $MENU ]" || fail "the shown menu did not take the focus"
    dark_at 341 160 || fail "the columns left of the frame are not see-through"
    dark_at 420 190 || fail "the rows below the frame are not see-through"
    highlighted_at 420 145 && fail "an item is highlighted before the pointer is on it"
    keep_shot "$1-frame"

    pointer_at 420 140
    wait_for 5 highlighted_at 420 145 || { fail "the first item does not light up under the pointer"; return 1; }
    glass_at 420 166 || fail "the second item is lit with the first"
    highlighted_at 354 145 && highlighted_at 506 145 || fail "the highlight does not span x 354-506"
    glass_at 420 133 || fail "the highlight reaches above row 135"
    keep_shot "$1-first-item"
    pointer_at 420 166
    wait_for 5 highlighted_at 420 166 || fail "the second item does not light up under the pointer"
    glass_at 420 145 || fail "the first item stays lit"
    keep_shot "$1-second-item"

    # Out through the frame's left glow, off the body.
    pointer_at 349 145
    pointer_at 300 160
    wait_for 5 is_unmapped "$MENU" || { fail "moving off the menu leaves it shown"; return 1; }
    wait_for 5 dark_at 420 160 || fail "the menu is still on screen"

    # The strip moved: the menu opens below the button where it now is.
    local bx by
    read -r bx by < <(x_window_origin "$ID")
    xdotool windowmove "$ID" $((bx + 30)) $((by + 20))
    wait_for 5 sh -c "xwininfo -id $ID | grep -q 'Absolute upper-left X:  $((bx + 30))\$'" ||
        { fail "the strip did not move"; return 1; }
    read -r OX OY < <(window_origin "$ID")
    open_volume_menu || return 1
    read -r mx my < <(window_origin "$MENU")
    [ "$mx $my" = "$((OX + 340)) $((OY + 115))" ] ||
        fail "after the strip moved the menu's corner is at $mx,$my, expected $((OX + 340)),$((OY + 115))"
    pointer_at 420 140
    pointer_at 349 145
    pointer_at 300 160
    wait_for 5 is_unmapped "$MENU" || { fail "moving off the menu leaves it shown"; return 1; }

    # Another program's window, away from the strip; then the menu again,
    # and a click on that window.
    spawn "$PROBE" --title "other" --minimize >"$WORK/other.out" 2>"$WORK/other.log"
    local other ox oy
    other=$(window_named other) || { fail "no other window"; return 1; }
    xdotool windowmove "$other" 40 560
    wait_for 5 sh -c "xwininfo -id $other | grep -q 'Absolute upper-left X:  40\$'" || fail "the other window did not move"
    read -r ox oy < <(window_origin "$other")
    open_volume_menu || return 1
    pointer_at 420 140
    xdotool mousemove $((ox + 150)) $((oy + 100)) click 1
    wait_for 5 is_unmapped "$MENU" || { fail "a click on another window leaves the menu shown"; return 1; }
    wait_for 5 dark_at 420 160 || fail "the menu is still on screen after the click"
    # The click reaches that window under a window manager. Without one,
    # the move there may already have closed the menu and ended its grab
    # before the press, or the grab may swallow it: either is right.
    if wm_running; then
        wait_for 5 grep -q "x11_probe: minimize" "$WORK/other.log" || fail "the other window did not get the click"
    fi
    kill -0 "$PID" 2>/dev/null || { fail "ostrel died"; return 1; }
    close_cleanly "$PID" "$ID"
}

check_ostrel_volume_menu() {
    start_ostrel || return 1
    volume_menu_checks wm
}

check_ostrel_volume_menu_without_wm() {
    start_ostrel nowm || return 1
    volume_menu_checks nowm
}

# --- the README's pictures ------------------------------------------------------------

readonly DESKTOP_BLUE="58 110 165"
desktop_at() { [ "$(client_pixel "$1" "$2")" = "$DESKTOP_BLUE" ]; }
player_at() { local p; p=$(client_pixel "$1" "$2") && [ "$p" != "$DESKTOP_BLUE" ]; }
# Keeps client area WxH+X+Y of the last screenshot as README_PICTURES/NAME.png.
keep_picture() {  # NAME GEOMETRY
    [ -n "${README_PICTURES:-}" ] || return 0
    local w h x y
    IFS='x+' read -r w h x y <<<"$2"
    mkdir -p "$README_PICTURES"
    # Without the time stamps an unchanged picture stays the same file.
    convert "$WORK/screen.png" -crop "${w}x$h+$((OX + x))+$((OY + y))" +repage -strip \
        -define png:exclude-chunks=date,time "$README_PICTURES/$1.png" || fail "could not write $1.png"
}

check_ostrel_readme_pictures() {
    # The strip playing with the hint bubble, then with the volume menu open,
    # over a desktop colour that every keyed-out pixel lets through. With
    # README_PICTURES set the two pictures are kept there (scripts/screenshots.sh).
    start_display && start_wm || return 1
    # display's status says nothing: it fails after setting the background.
    convert -size 1280x800 "xc:rgb(${DESKTOP_BLUE// /,})" "$WORK/desktop.png"
    display -window root "$WORK/desktop.png" 2>/dev/null
    shoot && [ "$(root_pixel 0 0)" = "$DESKTOP_BLUE" ] || { fail "could not paint the desktop"; return 1; }
    start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    PID=$LAST_PID
    ID=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 5 is_viewable "$ID" || { fail "the window is not shown"; return 1; }
    read -r OX OY < <(window_origin "$ID")
    wait_for 10 player_at 60 110 || { fail "the strip is not painted"; return 1; }
    drop_tone || return 1

    pointer_at 267 115
    wait_for 5 player_at 267 60 || { fail "no bubble over play/pause"; return 1; }
    local x
    for x in 5 140 395 535; do desktop_at $x 60 || fail "client pixel $x,60 beside the bubble hides the desktop"; done
    desktop_at 267 150 || fail "the desktop does not show below the strip"
    keep_picture strip-playing 520x128+10+12

    pointer_at 370 108
    pointer_at 377 110
    MENU=$(window_named ostmenu) || { fail "no menu window"; return 1; }
    wait_for 5 is_viewable "$MENU" || { fail "hovering the volume button shows no menu"; return 1; }
    wait_for 5 player_at 420 160 || { fail "the menu is not painted"; return 1; }
    desktop_at 267 60 || fail "the bubble stays with the pointer on the volume button"
    desktop_at 300 160 || fail "the desktop does not show left of the menu"
    keep_picture volume-menu 520x110+10+90
    close_cleanly "$PID" "$ID"
}

# Out of the open menu by ways that cross only see-through pixels, under a
# window manager (without one the menu's pointer grab already sees them):
# straight down below its frame, or in one jump far away. Either way the
# menu closes and the volume button's hover ends with it.
volume_button_face() { import -window root -crop 55x30+$((OX + 350))+$((OY + 100)) +repage "$WORK/$1.png" 2>/dev/null; }
volume_button_idle() { volume_button_face now && faces_equal idle now; }

volume_menu_left_by() {  # the screenshot's name, then the way out: a command and its arguments
    local name=$1
    shift
    start_ostrel || return 1
    pointer_at 420 60
    volume_button_face idle
    open_volume_menu || return 1
    pointer_at 420 166
    wait_for 5 highlighted_at 420 166 || { fail "the second item does not light up under the pointer"; return 1; }
    "$@"
    wait_for 5 is_unmapped "$MENU" || { fail "leaving the menu ($*) leaves it shown"; return 1; }
    wait_for 5 volume_button_idle || fail "the volume button's hover did not end with the menu"
    shoot && keep_shot "volume-menu-left-$name"
    # Hovering the button again opens it again.
    open_volume_menu || return 1
    close_cleanly "$PID" "$ID"
}

check_ostrel_volume_menu_left_downward() { volume_menu_left_by downward pointer_at 420 195; }
check_ostrel_volume_menu_left_far_away() { volume_menu_left_by far-away xdotool mousemove 5 5; }

# The desktop integration checks (media controls, installation) live in a
# file of their own.
source "$(dirname "$0")/desktop_checks.sh"

# --- the sound server ---------------------------------------------------------------

# The first sink's configured latency and the first stream's buffer latency,
# in microseconds, as the server reports them.
sink_configured_usec() { pactl list sinks | sed -n 's/.*Latency: .* usec, configured \([0-9]*\) usec.*/\1/p' | head -n1; }
input_buffer_usec() { pactl list sink-inputs | sed -n 's/.*Buffer Latency: \([0-9]*\) usec.*/\1/p' | head -n1; }

# What the streams ask of PipeWire's graph, in microseconds, one a line.
node_latencies_usec() {
    pactl list sink-inputs | sed -n 's/.*node.latency = "\([0-9]*\)\/\([0-9]*\)".*/\1 \2/p' |
        awk '{printf "%d\n", $1 * 1000000 / $2}'
}

# The player's stream lets the server sleep. PulseAudio: the sink is
# configured for at least 400 ms (the stream asks for 500) and the stream
# buffers at most 2 s. PipeWire: the stream never asks the graph for less
# than its largest quantum (2048 frames at 48 kHz).
buffering_is_relaxed() {
    if [ "$SOUND" = pipewire ]; then
        local asked
        asked=$(node_latencies_usec | sort -n | head -n1)
        echo "the stream asks the graph for ${asked:-?} usec" >"$WORK/latency"
        [ -n "$asked" ] && [ "$asked" -ge 42666 ]
        return
    fi
    local sink input
    sink=$(sink_configured_usec)
    input=$(input_buffer_usec)
    echo "sink configured ${sink:-?} usec, stream buffer ${input:-?} usec" >"$WORK/latency"
    [ -n "$sink" ] && [ -n "$input" ] && [ "$sink" -ge 400000 ] && [ "$input" -le 2000000 ]
}
# The sink (PipeWire: the most demanding stream) runs at no more than USEC.
sink_at_most() {  # USEC
    local sink
    if [ "$SOUND" = pipewire ]; then sink=$(node_latencies_usec | sort -n | head -n1); else sink=$(sink_configured_usec); fi
    echo "sink at ${sink:-?} usec" >"$WORK/latency"
    [ -n "$sink" ] && [ "$sink" -le "$1" ]
}

check_ostrel_sound_server_buffering() {
    # The player asks the server for little work; another program on the
    # same sink that asks for 40 ms still gets its latency, and the player
    # plays on beside it without running dry; once it is gone the sink is
    # relaxed again.
    start_ostrel && drop_tone || return 1
    wait_for 10 buffering_is_relaxed || { fail "the stream keeps the server busy: $(cat "$WORK/latency")"; return 1; }
    log "$(cat "$WORK/latency")"
    spawn sh -c 'exec pacat --playback --latency-msec=40 --device=e2e </dev/zero'
    local other=$LAST_PID
    wait_for 10 sink_at_most 40000 || fail "another program's 40 ms were not honoured: $(cat "$WORK/latency")"
    log "beside a program asking 40 ms: $(cat "$WORK/latency")"
    wait_for 5 sink_sounds 523 || fail "the player is not heard beside the other program: $(cat "$WORK/verdict")"
    kill "$other"
    wait_for 10 buffering_is_relaxed || fail "the sink stays busy once the other program is gone: $(cat "$WORK/latency")"
    close_cleanly "$PID" "$ID"
    ! grep "ran dry" "$WORK/ostrel.log" || fail "the stream ran dry while playing"
}

# Records the sink's monitor in the background, each 10 ms block stamped.
WATCH=$(dirname "$0")/tools/sink_watch.py
start_watch() {
    spawn python3 "$WATCH" record e2e.monitor "$WORK/watch.log"
    wait_for 10 line_count "$WORK/watch.log" 20 || { fail "the monitor recording did not start"; return 1; }
}
now() { date +%s.%N; }
corked() { pactl list sink-inputs | grep -q "Corked: $1"; }

check_ostrel_pause_and_stop_are_prompt() {
    # Pause and stop silence the sink at once rather than after the buffer
    # has played out, resume brings the sound back, and the stream is corked
    # while paused. The figures are logged; the bounds are generous.
    start_ostrel && drop_tone && start_watch || return 1
    local t ms
    t=$(now)
    click_at 267 115
    wait_for 5 python3 "$WATCH" silent-after "$t" "$WORK/watch.log" >/dev/null ||
        { fail "still heard after pausing"; return 1; }
    ms=$(python3 "$WATCH" silent-after "$t" "$WORK/watch.log")
    log "pause: silent ${ms} ms after the click"
    [ "$ms" -le 2000 ] || fail "pausing took ${ms} ms to silence the sink"
    corked yes || fail "the stream is not corked while paused"
    t=$(now)
    click_at 267 115
    wait_for 5 python3 "$WATCH" sound-after "$t" "$WORK/watch.log" >/dev/null ||
        { fail "not heard after resuming ($(pactl list sink-inputs | grep -o 'Corked: [a-z]*'))"; return 1; }
    log "resume: heard $(python3 "$WATCH" sound-after "$t" "$WORK/watch.log") ms after the click"
    wait_for 5 line_count "$WORK/watch.log" $(($(wc -l <"$WORK/watch.log") + 50))
    t=$(now)
    click_at 212 115
    wait_for 5 python3 "$WATCH" silent-after "$t" "$WORK/watch.log" >/dev/null ||
        { fail "still heard after stop"; return 1; }
    ms=$(python3 "$WATCH" silent-after "$t" "$WORK/watch.log")
    log "stop: silent ${ms} ms after the click"
    [ "$ms" -le 2000 ] || fail "stop took ${ms} ms to silence the sink"
    close_cleanly "$PID" "$ID"
}

# The progress track's area, as a file.
track_shot() { import -window root -crop 480x8+$((OX + 20))+$((OY + 124)) +repage "$WORK/$1.png" 2>/dev/null; }
track_moves() {
    track_shot a && sleep 0.3 && track_shot b && ! faces_equal a b
}

# Like sink_sounds, over at least half a second of recording: a recorder
# started on a fresh server may take a while to begin.
heard_long() {
    timeout 2 parec "${REC_LATENCY[@]}" --device=e2e.monitor --format=s16le --rate=44100 --channels=1 >"$WORK/heard.raw" 2>>"$WORK/parec.log"
    python3 "$(dirname "$0")/tools/tone_check.py" "$WORK/heard.raw" "$1" >"$WORK/verdict" 2>&1 &&
        [ "$(stat -c %s "$WORK/heard.raw")" -ge 44100 ]
}

check_ostrel_survives_server_restart() {
    # The server is killed mid-play: the player lives on, its progress goes
    # on, and once a server is back the looping file is heard again without
    # a new drop.
    start_ostrel && drop_tone || return 1
    stop_sound_server
    wait_for 10 grep -q "lost the sound server" "$WORK/ostrel.log" || fail "the loss of the server went unnoticed"
    sleep 1
    kill -0 "$PID" 2>/dev/null || { fail "ostrel died with the server"; return 1; }
    wait_for 5 track_moves || fail "the progress stands still without a server"
    spawn_sound_server || return 1
    wait_for 10 heard_long 523 || { fail "not heard again after the server came back: $(cat "$WORK/verdict")"; return 1; }
    log "heard again: $(cat "$WORK/verdict")"
    grep -q "the sound server is back" "$WORK/ostrel.log" || fail "no word of the server coming back"
    close_cleanly "$PID" "$ID"
}

# --- main ---------------------------------------------------------------------------

ALL_CHECKS=$(declare -F | awk '{print $3}' | sed -n 's/^check_//p')
[ $# -eq 0 ] && set -- $ALL_CHECKS
for check in "$@"; do
    if ! declare -F "check_$check" >/dev/null; then
        log "no such check: $check"
        FAILED=1
        continue
    fi
    WORK=$(mktemp -d)
    # No desktop bus but the one a check starts: a watcher on the session
    # that runs the tests would take the tray icons.
    unset DBUS_SESSION_BUS_ADDRESS
    export XDG_RUNTIME_DIR=$WORK
    log "running $check"
    before=$FAILED
    FAILED=0
    "check_$check"
    [ $FAILED -eq 0 ] && log "ok: $check" || log "failed: $check (logs were in $WORK)"
    for f in "$WORK"/*.log; do [ -s "$f" ] && [ $FAILED -ne 0 ] && { echo "--- $f" >&2; cat "$f" >&2; }; done
    FAILED=$((FAILED | before))
    cleanup
done
exit $FAILED
