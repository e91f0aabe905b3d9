#!/usr/bin/env bash
# End-to-end checks of the real player under real desktops, each brought up
# headless once for all its checks and driven with the compositor's own
# pointer (not XTest), so focus, stacking and input picking are the
# compositor's.
#
#   run.sh BUILD_DIR gnome|kde|sway [CHECK...]     (no CHECK: every check)
#
# The player runs on the desktop's Xwayland, on the session bus and tray of
# the desktop, with a private PulseAudio server whose null sink is recorded.
# A check is a shell function check_<name>; it fails by calling `fail`. Each
# prints its time, and the stage its total. With E2E_KEEP set, the work
# directory (logs, screenshots) is left behind; E2E_SHOTS=DIR keeps the
# screenshots the checks looked at.
set -u

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:?usage: run.sh BUILD_DIR gnome|kde|sway [CHECK...]}" && pwd)
DESKTOP=${2:?usage: run.sh BUILD_DIR gnome|kde|sway [CHECK...]}
shift 2
case $DESKTOP in gnome | kde | sway) ;; *)
    echo "run.sh: unknown desktop $DESKTOP" >&2
    exit 2
    ;;
esac
OSTREL=$BUILD/src/app/ostrel
SEND=$BUILD/tests/e2e/xdnd_send
# The desktops' pointer tools, for the -up scripts.
export DESKTOP_TOOLS=$BUILD/tests/desktops
TOOLS=$(cd "$HERE/../e2e/tools" && pwd)
FIXTURES=$(cd "$HERE/../fixtures" && pwd)
MPRIS_NAME=org.mpris.MediaPlayer2.ostrel
MPRIS_PATH=/org/mpris/MediaPlayer2

FAILED=0
DIR=""

log() { echo "[$DESKTOP] $*" >&2; }
fail() {
    log "FAIL: $*"
    FAILED=1
    return 1
}
. "$HERE/session.sh"

# A window or tool for one check only: ended after the check.
HELPERS=()
helper() {
    "$@" &
    HELPERS+=($!)
}
end_helpers() {
    [ ${#HELPERS[@]} -eq 0 ] || kill "${HELPERS[@]}" 2>/dev/null
    HELPERS=()
}

cleanup() {
    stop_spawned
    if [ -n "$DIR" ]; then
        local t
        t=$(now_ms)
        "$HERE/$DESKTOP-down.sh" "$DIR" >"$DIR/down.out" 2>&1 || log "$DESKTOP-down.sh failed: $(tail -n 3 "$DIR/down.out")"
        log "down in $(($(now_ms) - t)) ms"
        if [ -n "${E2E_KEEP:-}" ] || [ $FAILED -ne 0 ]; then log "work directory kept: $DIR"; else rm -rf "$DIR"; fi
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- the desktop -----------------------------------------------------------------

pointer() { "$HERE/$DESKTOP-pointer.sh" "$DIR" "$@"; }
shoot() { "$HERE/$DESKTOP-screenshot.sh" "$DIR" "$DIR/screen.png" >/dev/null; }
keep_shot() { [ -n "${E2E_SHOTS:-}" ] && mkdir -p "$E2E_SHOTS" && cp "$DIR/screen.png" "$E2E_SHOTS/$DESKTOP-$1.png"; return 0; }

# The pixel X Y of the last screenshot, as "R G B".
pixel() {
    convert "$DIR/screen.png" -crop "1x1+$1+$2" +repage \
        -format "%[fx:int(255*u.r)] %[fx:int(255*u.g)] %[fx:int(255*u.b)]" info: 2>/dev/null
}

# Where each desktop shows tray icons, WxH+X+Y on the screen: GNOME's top
# bar right of its clock, Plasma's bottom panel left of its clock, swaybar's
# right end.
tray_area() {
    case $DESKTOP in
    gnome) echo "$((SCREEN_W / 2 - 100))x32+$((SCREEN_W / 2 + 100))+0" ;;
    kde) echo "$((SCREEN_W / 2 - 150))x44+$((SCREEN_W / 2))+$((SCREEN_H - 44))" ;;
    sway) echo "$((SCREEN_W / 2))x26+$((SCREEN_W / 2))+0" ;;
    esac
}

# The compositor's own list of windows and places, for the log of a failure.
compositor_windows() {
    case $DESKTOP in
    kde) "$HERE/kwin-script.sh" "$DIR" 'for (const w of workspace.clientList()) print(w.resourceClass, w.caption,
        "frame", JSON.stringify(w.frameGeometry), "buffer", JSON.stringify(w.bufferGeometry), "active", w.active)' ;;
    gnome) session_call org.gnome.Shell /org/gnome/Shell org.gnome.Shell.Eval 'global.get_window_actors().map(a => {
        const w = a.meta_window, f = w.get_frame_rect(), b = w.get_buffer_rect();
        return [w.get_wm_class(), w.get_title(), "frame", f.x, f.y, f.width, f.height, "buffer", b.x, b.y, b.width, b.height,
            "focus", w.has_focus()].join(" "); }).join("; ")' ;;
    sway) swaymsg -t get_tree | python3 -c 'import json, sys
def walk(node):
    if node.get("type") in ("con", "floating_con") and node.get("name"):
        r = node["rect"]
        print(node["name"], "rect", r["x"], r["y"], r["width"], r["height"], "focused", node["focused"])
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))' ;;
    esac
}

# What a person does on the icon to show or hide the strip.
click_icon() {
    case $DESKTOP in
    gnome) press_at "$1" "$2" double ;;  # the AppIndicator host sends Activate on a double click
    *) press_at "$1" "$2" ;;
    esac
}

# Clicks the icon until the strip's window is STATE (is_viewable,
# is_unmapped). Should GNOME's host miss a double click, a person would
# click again, and so does this, once.
icon_until() {
    click_icon "$ICON_X" "$ICON_Y"
    wait_quiet 3 "$1" "$ID" && return 0
    [ "$DESKTOP" = gnome ] || return 1
    log "the double click on the icon was missed; once more"
    click_icon "$ICON_X" "$ICON_Y"
    wait_quiet 3 "$1" "$ID"
}

session_call() {  # DEST PATH INTERFACE.METHOD ARGS...
    gdbus call --session --dest "$1" --object-path "$2" --method "$3" "${@:4}"
}
name_owned() { session_call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "$1" | grep -q true; }
watcher_items() {
    session_call org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems
}

no_items() { watcher_items | grep -q "@as \[\]\|\[\]"; }

# The player's item in the watcher's list: an entry whose bus name (before
# the object path; GNOME's host writes NAME@PATH) belongs to process PID.
item_of() {
    local entry owner
    for entry in $(watcher_items | grep -o "'[^']*'" | tr -d "'"); do
        owner=$(session_call org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.GetConnectionUnixProcessID "${entry%%[/@]*}" 2>/dev/null | sed -n 's/.*uint32 \([0-9]*\).*/\1/p')
        [ "$owner" = "$1" ] && { echo "$entry"; return 0; }
    done
    return 1
}

# --- sound ---------------------------------------------------------------------------

# --- the player --------------------------------------------------------------------

map_state() { xwininfo -id "$1" 2>/dev/null | awk '/Map State:/ {print $NF}'; }
is_viewable() { [ "$(map_state "$1")" = IsViewable ]; }
is_unmapped() { [ "$(map_state "$1")" = IsUnMapped ]; }
readonly DROP_AT="93,18" # client (110, 115), on the strip

# The strip shows its glass left of the buttons in the compositor's picture,
# where it was.
strip_painted() { shoot && [ "$(pixel $((OX + 60)) $((OY + 110)))" = "210 210 210" ]; }
strip_gone() { shoot && [ "$(pixel $((OX + 60)) $((OY + 110)))" != "210 210 210" ]; }
strip_back() {
    wait_quiet 5 is_viewable "$ID" || return 1
    wait_quiet 5 strip_painted && return 0
    log "the strip is at $(client_origin "$ID") now, was at $OX $OY"
    return 1
}

# The process has exited (a zombie child counts as ended).
ended() { local st; st=$(ps -o stat= -p "$1" 2>/dev/null); [ -z "$st" ] || [ "${st#Z}" != "$st" ]; }

# Players of this session, by their environment.
players() {
    local p
    for p in $(pgrep -x ostrel); do
        { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qxF "HOME=$HOME" && echo "$p"
    done
    return 0
}
player_count_is() { [ "$(players | wc -l)" -eq "$1" ]; }

# Starts the player: sets PID, ID and the window's origin OX, OY, once the
# compositor shows the strip painted.
start_ostrel() {
    spawn "$OSTREL" >>"$DIR/log/ostrel.log" 2>&1
    PID=$LAST_PID
    wait_quiet 10 sh -c "xdotool search --all --pid $PID --name '^Ostrel\$'" || { fail "no window titled Ostrel"; return 1; }
    ID=$(xdotool search --all --pid "$PID" --name '^Ostrel$' | head -n1)
    wait_quiet 10 is_viewable "$ID" || { fail "the window is not shown"; return 1; }
    # Mapped whole, then cut to what shows (which sway re-centres): read the
    # place once the window is cut to the strip.
    wait_quiet 5 sh -c "xwininfo -id $ID | grep -q 'Width: 506\$'"
    read -r OX OY < <(client_origin "$ID")
    [[ $OX$OY =~ ^-?[0-9]+-?[0-9]+$ ]] || { fail "the player's X window is an $OX $OY"; return 1; }
    wait_quiet 10 strip_painted || { fail "the compositor does not show the strip painted at $OX,$OY"; return 1; }
}

mpris_call() { session_call "$MPRIS_NAME" "$MPRIS_PATH" "org.mpris.MediaPlayer2.$1" >/dev/null; }

# Ends the player through the media controls and every other player of the session.
stop_ostrel() {
    local p
    mpris_call Quit >/dev/null 2>&1
    wait_quiet 10 player_count_is 0 || { for p in $(players); do kill "$p"; done; }
    wait_quiet 5 player_count_is 0
}

# The X window that has the focus, and the one the window manager calls active.
focus_of() {
    xdotool getwindowfocus 2>/dev/null
    xprop -root _NET_ACTIVE_WINDOW 2>/dev/null | grep -o '0x[0-9a-f]*'
}
ostrel_unfocused() {
    local f
    f=$(focus_of)
    ! grep -qx "$ID" <<<"$f" && ! grep -qx "$(printf '0x%x' "$ID")" <<<"$f" && return 0
    log "the focus and the active window: $(echo $f), the player's window: $ID"
    return 1
}

# The player's tray icon: the centre (ICON_X, ICON_Y) of what appeared in the
# desktop's tray area since $DIR/before.png, taken at the start (all the pixels that changed there).
find_icon() {
    local area box
    shoot || return 1
    area=$(tray_area)
    box=$(convert "$DIR/before.png" "$DIR/screen.png" -crop "$area" +repage -compose difference -composite -alpha off -colorspace gray \
        -threshold 8% -define connected-components:area-threshold=40 -define connected-components:verbose=true \
        -connected-components 8 null: 2>/dev/null | awk '$NF ~ /255/ { split($2, b, /[x+]/)
            if (!n++ || b[3] < x0) x0 = b[3]; if (n == 1 || b[4] < y0) y0 = b[4]
            if (b[3] + b[1] > x1) x1 = b[3] + b[1]; if (b[4] + b[2] > y1) y1 = b[4] + b[2] }
            END { if (n) printf "%dx%d+%d+%d\n", x1 - x0, y1 - y0, x0, y0 }')
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    local w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]} x=${BASH_REMATCH[3]} y=${BASH_REMATCH[4]}
    [ "$w" -ge 8 ] && [ "$w" -le 48 ] && [ "$h" -ge 8 ] && [ "$h" -le 48 ] || return 1
    [[ $area =~ \+([0-9]+)\+([0-9]+)$ ]]
    ICON_X=$((BASH_REMATCH[1] + x + w / 2)) ICON_Y=$((BASH_REMATCH[2] + y + h / 2))
}

# --- checks ----------------------------------------------------------------------------

check_drop_heard() {
    # A file dropped on the strip through Xwayland plays on the sound server.
    start_ostrel || return 1
    "$SEND" --window "$ID" --at "$DROP_AT" -- "$FIXTURES/audio/tone.ogg" || { fail "the drop was not taken"; return 1; }
    wait_quiet 10 sink_sounds 523 || fail "the dropped file is not heard: $(cat "$DIR/verdict")"
    stop_ostrel
}

# The Wayland window reported WORD after its first SEEN lines.
wayland_saw() { tail -n +$(($2 + 1)) "$DIR/wayland.out" | grep -q "^$1"; }
# A press where a hand would make it: the pointer arrives, rests a moment,
# then the button goes down. (Both compositors pass a bare motion of their
# fake pointer on only with the next event, so there is no arrival to wait
# for; a press in the same instant as the jump is not what a person does.)
press_at() {  # X Y [click|double]
    pointer "$1" "$2" move
    sleep 0.3
    pointer "$1" "$2" "${3:-click}"
}

# Presses at X Y, on the see-through part WHERE (above|below) the strip, and
# expects the Wayland window under it to get the press; sets seen to the
# lines it had reported before.
press_on_wayland() {
    seen=$(wc -l <"$DIR/wayland.out")
    press_at "$1" "$2"
    wait_quiet 5 wayland_saw press "$seen" || fail "a press 40 px $3 the strip did not reach the Wayland window under it"
}

# True once xev's client area lies over the player's, left of its middle and
# across the row 40 px above the strip; moves it there otherwise.
xev_placed() {
    local x y
    read -r x y < <(x_window_origin "$1")
    [ "$x" -ge $((OX + 10)) ] && [ "$x" -le $((OX + 60)) ] && [ "$y" -lt $((OY + 55)) ] && [ $((y + 90)) -gt $((OY + 65)) ] && return 0
    case $DESKTOP in
    sway) swaymsg "[title=\"^e2e-xev\$\"] floating enable, move absolute position $((OX + 18)) $((OY - 10))" >/dev/null ;;
    *) xdotool windowmove "$1" $((OX + 20)) $((OY - 10)) ;;
    esac
    return 1
}

# True once the X window ID titled TITLE has the focus; asks the window
# manager to activate it (which raises it) otherwise.
activated() {
    xdotool getwindowfocus 2>/dev/null | grep -qx "$2" && return 0
    case $DESKTOP in
    gnome) shell_eval "global.display.list_all_windows().filter(w => w.get_title() == '$1')
        .forEach(w => w.activate(global.get_current_time())); true" >/dev/null ;;
    kde) "$HERE/kwin-script.sh" "$DIR" "for (const w of workspace.clientList()) if (w.caption == '$1') workspace.activeClient = w" >/dev/null ;;
    sway) swaymsg "[title=\"^$1\$\"] focus" >/dev/null ;;
    esac
    return 1
}

# After a failed press: does it pass once every window has repainted (so
# Xwayland has handed the compositor buffers of the windows' present sizes)?
diagnose_stale_surface() {
    xrefresh
    sleep 0.5
    activated e2e-xev "$(xdotool search --name '^e2e-xev$' | head -n1)"
    wait_quiet 5 activated e2e-xev "$(xdotool search --name '^e2e-xev$' | head -n1)"
    local before
    before=$(wc -l <"$DIR/wayland.out")
    press_at "$1" "$2"
    if wait_quiet 3 wayland_saw press "$before"; then log "after every window repainted, the press passes"; else log "after every window repainted, the press is still taken"; fi
}

check_clicks_pass_through() {
    # Presses on the see-through parts of the window, 40 px above the strip
    # and 40 px below it, reach the X and the Wayland window under them,
    # which take the focus; the player never does.
    start_ostrel || return 1
    helper "$HERE/wayland_window.py" e2e-wayland --maximize >"$DIR/wayland.out" 2>"$DIR/log/wayland.log"
    wait_quiet 10 grep -qx mapped "$DIR/wayland.out" || { fail "the Wayland window did not come up"; return 1; }
    # The X window covers the left half of the window above the strip.
    helper xev -geometry 220x90+$((OX + 20))+$((OY - 10)) -name e2e-xev >"$DIR/xev.out" 2>&1
    wait_quiet 10 sh -c "xdotool search --name '^e2e-xev\$'" || { fail "no xev window"; return 1; }
    local xev ax
    xev=$(xdotool search --name '^e2e-xev$' | head -n1)
    wait_quiet 10 is_viewable "$xev" || { fail "xev is not shown"; return 1; }
    # Window managers may place it elsewhere at first (mutter now and then).
    wait_quiet 5 xev_placed "$xev" || { fail "xev's client area $(x_window_origin "$xev") is not under the strip's top margin"; return 1; }
    read -r ax _ < <(x_window_origin "$xev")
    # A window mapped while another is active may be stacked below it.
    wait_quiet 5 activated e2e-xev "$xev" || { fail "xev is not activated above the Wayland window"; return 1; }

    # The X window first: a click on the Wayland window raises it above.
    local seen
    seen=$(grep -ac ButtonPress "$DIR/xev.out")
    press_at $((ax + 110)) $((OY + 60))
    wait_quiet 5 sh -c "[ \$(grep -ac ButtonPress '$DIR/xev.out') -gt $seen ]" ||
        fail "a press 40 px above the strip did not reach the X window under it"
    wait_quiet 5 sh -c "xdotool getwindowfocus | grep -qx $xev" || fail "the X window under the strip did not take the focus"
    ostrel_unfocused || fail "a press above the strip gave the player the focus"

    press_on_wayland $((OX + 270)) $((OY + 170)) below
    wait_quiet 5 wayland_saw active "$seen" || fail "the Wayland window under the strip was not activated"
    ostrel_unfocused || { fail "a press below the strip gave the player the focus"; log "$(compositor_windows)"; log "the player's X window: $(xwininfo -id "$ID" | grep -E 'Absolute|Width|Height' | tr -s ' \n' ' '), its client area taken at $OX $OY"; diagnose_stale_surface $((OX + 270)) $((OY + 170)); }
    press_on_wayland $((OX + 420)) $((OY + 60)) above
    ostrel_unfocused || fail "a press above the strip gave the player the focus"
    shoot && keep_shot pass-through
    stop_ostrel
}

# X has the pointer at X Y, give or take a pixel.
x_pointer_at() {
    local x y
    read -r x y < <(xdotool getmouselocation --shell | awk -F= '/^X=/ {x=$2} /^Y=/ {y=$2} END {print x, y}')
    [ $((x - $1)) -ge -1 ] && [ $((x - $1)) -le 1 ] && [ $((y - $2)) -ge -1 ] && [ $((y - $2)) -le 1 ]
}
# Rests the desktop's pointer on X Y; false when X never sees it arrive
# (KWin's fake pointer now and then moves nothing in X but with a button).
hover() {
    pointer $(($1 - 6)) $(($2 - 3)) move
    sleep 0.2
    pointer "$1" "$2" move
    wait_quiet 2 x_pointer_at "$1" "$2" && return 0
    log "skipped: X took no motion of the desktop's pointer (it has it at $(xdotool getmouselocation))"
    return 1
}

# The client pixel X Y of the last screenshot differs from "R G B".
pixel_changed() { shoot && [ "$(pixel $((OX + $1)) $((OY + $2)))" != "$3" ]; }

check_bubble_corners_pass_through() {
    # While the hint bubble shows over play/pause, a press beside it, inside
    # the box around the strip and the bubble, reaches the Wayland window
    # under it: no X window of the player's covers what does not show. (An
    # X window under it would get the press either way: once the compositor
    # has given it to Xwayland, X itself follows the input shape.)
    start_ostrel || return 1
    helper "$HERE/wayland_window.py" e2e-wayland --maximize >"$DIR/wayland.out" 2>"$DIR/log/wayland.log"
    wait_quiet 10 grep -qx mapped "$DIR/wayland.out" || { fail "the Wayland window did not come up"; return 1; }
    # The bubble's glass over play/pause, against what was there before.
    local before seen point
    wait_quiet 5 strip_painted || { fail "the strip is not shown over the Wayland window"; return 1; }
    before=$(pixel $((OX + 267)) $((OY + 60)))
    for point in "60 60" "480 40"; do
        hover $((OX + 267)) $((OY + 115)) || { stop_ostrel; return 0; }
        wait_quiet 5 pixel_changed 267 60 "$before" || { fail "no bubble over play/pause"; return 1; }
        seen=$(wc -l <"$DIR/wayland.out")
        read -r x y <<<"$point"
        pointer $((OX + x)) $((OY + y)) move
        sleep 0.3
        pixel_changed 267 60 "$before" || { fail "the bubble went before the press"; return 1; }
        keep_shot "bubble-corner-$x"
        pointer $((OX + x)) $((OY + y)) click
        wait_quiet 5 wayland_saw press "$seen" || fail "a press beside the bubble at client $x,$y did not reach the Wayland window under it"
    done
    ostrel_unfocused || fail "a press beside the bubble gave the player the focus"
    stop_ostrel
}

origin_at() { [ "$(client_origin "$ID")" = "$1 $2" ]; }

check_drag_with_the_bubble() {
    # A drag that starts while the hint bubble shows (the press ends the
    # hover) moves the strip exactly as far as the pointer went. Not under
    # KWin: there the kit's pointer, held down and moved, moves no strip at
    # all, before this check's fault was mended as after.
    [ "$DESKTOP" = kde ] && { log "skipped: a drag by the kit's pointer moves nothing under KWin"; return 0; }
    start_ostrel || return 1
    local before step
    before=$(pixel $((OX + 212)) $((OY + 60)))
    hover $((OX + 212)) $((OY + 115)) || { stop_ostrel; return 0; }
    wait_quiet 5 pixel_changed 212 60 "$before" || { fail "no bubble over stop"; return 1; }
    # Out in one jump over nothing of the strip: the hover stays.
    pointer 5 $((SCREEN_H - 5)) move
    sleep 0.3
    pixel_changed 212 60 "$before" || { fail "the bubble went with the pointer"; return 1; }
    # By the glass right of the volume button.
    pointer $((OX + 440)) $((OY + 115)) move
    sleep 0.3
    pointer $((OX + 440)) $((OY + 115)) press
    for step in 1 2 3 4 5; do
        sleep 0.2
        pointer $((OX + 440 + step * 20)) $((OY + 115 + step * 16)) move
    done
    sleep 0.3
    pointer $((OX + 540)) $((OY + 195)) release
    wait_quiet 5 origin_at $((OX + 100)) $((OY + 80)) ||
        fail "dragged by +100,+80 the strip moved from $OX,$OY to $(client_origin "$ID")"
    stop_ostrel
}

check_tray_icon() {
    # The desktop shows the icon; a click on it hides the strip, the next
    # brings it back painted.
    # No item left from an earlier player: the tray shows what it showed at the start.
    wait_quiet 10 no_items || fail "the watcher still lists $(watcher_items)"
    start_ostrel || return 1
    wait_quiet 10 item_of "$PID" || { fail "the watcher does not list the player's item: $(watcher_items)"; return 1; }
    log "watcher lists $(item_of "$PID")"
    wait_quiet 10 find_icon || { fail "no icon appeared in the desktop's tray ($(tray_area))"; return 1; }
    # What the host asks of the item, for the log of a failure.
    helper dbus-monitor --session "type='method_call',interface='org.kde.StatusNotifierItem'" >"$DIR/item-calls.log" 2>&1
    convert "$DIR/screen.png" -crop "$(tray_area)" +repage "$DIR/tray.png"
    keep_shot tray
    log "icon shown at $ICON_X,$ICON_Y"
    icon_until is_unmapped || { fail "a click on the icon did not hide the strip"; return 1; }
    wait_quiet 5 strip_gone || { fail "the compositor still shows the hidden strip (its X window: $(map_state "$ID"))"; keep_shot hidden; log "$(compositor_windows)"; log "the host called: $(grep -o 'member=[A-Za-z]*' "$DIR/item-calls.log" | tr '\n' ' ')"; }
    icon_until is_viewable
    strip_back || fail "a second click on the icon did not bring the strip back painted in its place"

    # The minimize button puts it into the tray, not onto the taskbar.
    press_at $((OX + 496)) $((OY + 108))
    wait_quiet 5 is_unmapped "$ID" || { fail "the minimize button did not hide the strip"; return 1; }
    xprop -id "$ID" WM_STATE | grep -q Iconic && fail "minimize iconified the strip although the tray shows its icon"
    icon_until is_viewable
    strip_back || fail "a click on the icon did not restore the minimized strip painted in its place"
    keep_shot restored
    stop_ostrel
}

# The volume menu hangs from the volume button, its second item at client
# rows 156-176 from x 353 to 507 (see tests/e2e/checks/menus.sh). Left from
# that item in small steps, as a hand moves a mouse, it closes: downward,
# then sideways.
volume_menu_open() {
    pointer $((OX + 370)) $((OY + 108)) move
    pointer $((OX + 377)) $((OY + 110)) move
    wait_quiet 5 sh -c "xdotool search --all --pid $PID --name '^ostmenu\$' >/dev/null" || return 1
    MENU=$(xdotool search --all --pid "$PID" --name '^ostmenu$' | head -n1)
    wait_quiet 5 is_viewable "$MENU" || return 1
    pointer $((OX + 420)) $((OY + 160)) move
    pointer $((OX + 420)) $((OY + 166)) move
    sleep 0.3
    is_viewable "$MENU"
}
menu_left_by_steps() {  # DX DY COUNT
    local i
    for ((i = 1; i <= $3; i++)); do pointer $((OX + 420 + i * $1)) $((OY + 166 + i * $2)) move; done
}
check_volume_menu_left_in_steps() {
    # Not on GNOME yet: there Xwayland tells the menu nothing when the
    # pointer leaves it for the shell's own background, until the pointer
    # next enters an X window, so the menu closes only then.
    [ "$DESKTOP" = gnome ] && { log "skipped: no leave reaches X on GNOME until the pointer is over X again"; return 0; }
    start_ostrel || return 1
    hover $((OX + 377)) $((OY + 110)) || { stop_ostrel; return 0; }
    volume_menu_open || { fail "hovering the volume button shows no menu"; return 1; }
    menu_left_by_steps 0 5 8
    wait_quiet 5 is_unmapped "$MENU" || fail "left downward in 5 px steps, the menu stays shown"
    pointer $((OX + 100)) $((OY + 115)) move
    wait_quiet 5 is_unmapped "$MENU"
    volume_menu_open || { fail "hovering the volume button again shows no menu"; return 1; }
    menu_left_by_steps 7 0 20
    wait_quiet 5 is_unmapped "$MENU" || fail "left sideways in 7 px steps, the menu stays shown"
    stop_ostrel
}

check_one_player() {
    # The media controls' raise, and a second start, bring back the hidden
    # strip and leave one player.
    start_ostrel || return 1
    wait_quiet 10 name_owned "$MPRIS_NAME" || { fail "the player is not on the bus as $MPRIS_NAME"; return 1; }
    press_at $((OX + 496)) $((OY + 108))
    wait_quiet 5 strip_gone || { fail "the minimize button did not put the strip away"; return 1; }
    mpris_call Raise || fail "Raise failed"
    wait_quiet 5 is_viewable "$ID" && wait_quiet 5 strip_painted || { fail "Raise did not bring back the strip"; return 1; }

    press_at $((OX + 496)) $((OY + 108))
    wait_quiet 5 strip_gone || { fail "the minimize button did not put the strip away"; return 1; }
    "$OSTREL" >>"$DIR/log/ostrel2.log" 2>&1 &
    local second=$! status
    if wait_quiet 10 ended "$second"; then
        wait "$second"
        status=$?
        [ "$status" -eq 0 ] || fail "a second start exited with $status"
    else
        fail "a second start still runs"
        kill "$second"
    fi
    wait_quiet 5 is_viewable "$ID" && wait_quiet 5 strip_painted || fail "a second start did not bring back the strip"
    player_count_is 1 || fail "$(players | wc -l) players after a second start"

    [ "$DESKTOP" = gnome ] && { gnome_media_controls_raise || return 1; }
    stop_ostrel
}

# GNOME's media controls raise a player through its desktop entry
# (Shell.App.activate), which starts the entry's program when the shell
# tracks no window of it.
shell_eval() {
    local out
    out=$(session_call org.gnome.Shell /org/gnome/Shell org.gnome.Shell.Eval "$1") || return 1
    case $out in "(true, "*) echo "$out" ;; *) return 1 ;; esac
}
gnome_media_controls_raise() {
    local apps=$XDG_DATA_HOME/applications
    mkdir -p "$apps"
    sed "s|^Exec=.*|Exec=$OSTREL|" "$HERE/../../src/resources/ostrel.desktop" >"$apps/ostrel.desktop"
    local entry
    entry=$(session_call "$MPRIS_NAME" "$MPRIS_PATH" org.freedesktop.DBus.Properties.Get org.mpris.MediaPlayer2 DesktopEntry)
    grep -q "'ostrel'" <<<"$entry" || fail "DesktopEntry is $entry, not ostrel"
    local app="imports.gi.Shell.AppSystem.get_default().lookup_app('ostrel.desktop')"
    wait_quiet 10 sh -c "gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell --method org.gnome.Shell.Eval \"$app !== null\" | grep -q \"'true'\"" ||
        { fail "the shell does not know the desktop entry"; return 1; }
    press_at $((OX + 496)) $((OY + 108))
    wait_quiet 5 strip_gone || { fail "the minimize button did not put the strip away"; return 1; }
    shell_eval "$app.activate(); true" >/dev/null || { fail "Shell.App.activate failed"; return 1; }
    # Only the started copy's Raise brings the strip back: then it ends.
    wait_quiet 10 is_viewable "$ID" && wait_quiet 5 strip_painted || fail "the desktop entry's start did not bring back the strip"
    wait_quiet 5 player_count_is 1 || fail "$(players | wc -l) players after the desktop entry's start"
}

# --- main ---------------------------------------------------------------------------

ALL_CHECKS="drop_heard clicks_pass_through bubble_corners_pass_through drag_with_the_bubble tray_icon one_player volume_menu_left_in_steps"
[ $# -eq 0 ] && set -- $ALL_CHECKS

DIR=$(mktemp -d /tmp/e2e.XXXX)
chmod a+x "$DIR"  # sway runs as another uid
t0=$(now_ms)
if ! "$HERE/$DESKTOP-up.sh" "$DIR" >"$DIR/up.out" 2>&1; then
    cat "$DIR/up.out" >&2
    fail "$DESKTOP did not come up"
    exit 1
fi
log "up in $(($(now_ms) - t0)) ms"
. "$DIR/env"
unset PULSE_SERVER
read -r SCREEN_W SCREEN_H < <(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1], d[2]}')
start_sound || exit 1
# The tray before any player, to find the player's icon in.
shoot && cp "$DIR/screen.png" "$DIR/before.png" || { fail "no screenshot of the desktop"; exit 1; }

for check in "$@"; do
    declare -F "check_$check" >/dev/null || { fail "no such check: $check"; continue; }
    log "running $check"
    before=$FAILED
    FAILED=0
    t=$(now_ms)
    "check_$check"
    [ $FAILED -eq 0 ] && log "ok: $check ($(($(now_ms) - t)) ms)" || log "failed: $check ($(($(now_ms) - t)) ms)"
    player_count_is 0 || stop_ostrel
    end_helpers
    FAILED=$((FAILED | before))
done
log "stage: $(($(now_ms) - t0)) ms before going down"
[ $FAILED -ne 0 ] && for f in "$DIR"/log/ostrel*.log; do [ -s "$f" ] && { echo "--- $f" >&2; tail -n 30 "$f" >&2; }; done
exit $FAILED
