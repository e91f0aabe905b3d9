#!/usr/bin/env bash
# How the player looks on a desktop at a scale, and what X clients see there.
#
#   scale_look.sh BUILD_DIR MODE OUTDIR
#
# MODE is one of
#   gnome-1       GNOME at scale 1
#   gnome-int2    GNOME, integer monitor scale 2 (X11 windows not enlarged)
#   gnome-frac2   GNOME with scale-monitor-framebuffer at 2 (logical layout, X11 enlarged)
#   kde-1         Plasma at scale 1
#   kde-sys2      Plasma at 2, X11 programs scaled by the system (Xwayland at 1)
#   kde-self2     Plasma at 2, X11 programs scale themselves (Xwayland at 2)
#   kde-sys1.5, kde-self1.5  the same at 1.5
#
# Brings the desktop up (2560x1600 device pixels, 1280x800 logical), starts
# the player with a private PulseAudio null sink, drops a tone on it, waits
# until the tone is heard, rests the desktop's pointer on the play/pause
# button until the hint bubble shows, and writes into OUTDIR: screen.png
# (the compositor's picture), strip.png (the player's window cut out of it)
# and seen.txt (what X clients saw: XSETTINGS, Xft.dpi, the X screen, the
# player's window, where the pointer reached X, timings). Not a check: it
# exits non-zero only when it could not get that far. E2E_KEEP=1 keeps the
# work directory.
set -u

HERE=$(cd "$(dirname "$0")" && pwd)
usage="usage: scale_look.sh BUILD_DIR gnome-1|gnome-int2|gnome-frac2|kde-1|kde-sys2|kde-self2|kde-sys1.5|kde-self1.5 OUTDIR"
BUILD=$(cd "${1:?$usage}" && pwd)
MODE=${2:?$usage}
OUT=${3:?$usage}
OSTREL=$BUILD/src/app/ostrel
SEND=$BUILD/tests/e2e/xdnd_send
# The desktops' pointer tools, for the -up scripts.
export DESKTOP_TOOLS=$BUILD/tests/desktops
TOOLS=$(cd "$HERE/../e2e/tools" && pwd)
TONE=$(cd "$HERE/../fixtures/audio" && pwd)/tone.ogg

# Pointer coordinates are the compositor's; X root coordinates are device
# pixels where Xwayland runs at the output's scale (kde-self2), so there a
# logical pixel is two X pixels.
POINTER_DIV=1
case $MODE in
gnome-1) DESKTOP=gnome SIZE=1280x800 ;;
gnome-int2) DESKTOP=gnome SIZE=2560x1600 GNOME_SCALE=2 ;;
gnome-frac2) DESKTOP=gnome SIZE=2560x1600 GNOME_SCALE=2 GNOME_FEATURES="['scale-monitor-framebuffer']" ;;
kde-1) DESKTOP=kde SIZE=1280x800 ;;
kde-sys2) DESKTOP=kde SIZE=1280x800 KWIN_EXTRA_ARGS="--scale 2" KWIN_XWAYLAND_SCALE=1 ;;
kde-self2) DESKTOP=kde SIZE=1280x800 KWIN_EXTRA_ARGS="--scale 2" KWIN_XWAYLAND_SCALE=2 POINTER_DIV=2 ;;
kde-sys1.5) DESKTOP=kde SIZE=1280x800 KWIN_EXTRA_ARGS="--scale 1.5" KWIN_XWAYLAND_SCALE=1 ;;
kde-self1.5) DESKTOP=kde SIZE=1280x800 KWIN_EXTRA_ARGS="--scale 1.5" KWIN_XWAYLAND_SCALE=1.5 POINTER_DIV=1.5 ;;
*) echo "$usage" >&2; exit 2 ;;
esac
export GNOME_SCALE GNOME_FEATURES KWIN_EXTRA_ARGS KWIN_XWAYLAND_SCALE
# mutter's virtual monitor is in device pixels, KWin's --width/--height logical.
export DESKTOP_SIZE=${DESKTOP_SIZE:-$SIZE}
# V times the player's scale S (or divided by D), rounded: the player's own
# pixels on the X grid.
mul() { awk -v v="$1" -v s="$S" 'BEGIN { printf "%d", int(v * s + (v < 0 ? -0.5 : 0.5)) }'; }
div() { awk -v v="$1" -v d="$2" 'BEGIN { printf "%d", int(v / d + 0.5) }'; }

log() { echo "[$MODE] $*" >&2; }
fail() { log "$*"; return 1; }
die() { log "$*"; exit 1; }
DIR=$(mktemp -d /tmp/e2e.XXXX)
. "$HERE/session.sh"
cleanup() {
    stop_spawned
    "$HERE/$DESKTOP-down.sh" "$DIR" >"$DIR/down.out" 2>&1 || log "$DESKTOP-down.sh failed: $(tail -n 3 "$DIR/down.out")"
    if [ -n "${E2E_KEEP:-}" ]; then log "work directory kept: $DIR"; else rm -rf "$DIR"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir -p "$OUT"
rm -f "$OUT/screen.png" "$OUT/strip.png" "$OUT/seen.txt"

t0=$(now_ms)
"$HERE/$DESKTOP-up.sh" "$DIR" >"$DIR/up.out" 2>&1 || { cat "$DIR/up.out" >&2; die "$DESKTOP did not come up"; }
UP_MS=$(($(now_ms) - t0))
log "up in $UP_MS ms"
. "$DIR/env"
# The player finds its scale from the desktop alone.
unset PULSE_SERVER GDK_SCALE GDK_DPI_SCALE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS OSTREL_SCALE

start_sound || exit 1

# --- the player
spawn "$OSTREL" >"$DIR/log/ostrel.log" 2>&1
PID=$LAST_PID
wait_quiet 10 sh -c "xdotool search --all --pid $PID --name '^Ostrel\$'" || die "no window titled Ostrel"
ID=$(xdotool search --all --pid "$PID" --name '^Ostrel$' | head -n1)
geometry() { xwininfo -id "$ID" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'; }

# The X window covers one of the player's boxes (WINDOW_BOXES), in the
# player's pixels times its scale S. Prints "S ORIGIN_X ORIGIN_Y BOX" from
# the window's geometry, or fails.
placed() {
    local x y w h
    read -r x y w h < <(geometry)
    awk -v x="$x" -v y="$y" -v w="$w" -v h="$h" -v boxes="$WINDOW_BOXES" 'BEGIN {
        n = split(boxes, line, "\n")
        m = split("1 1.25 1.5 1.75 2 3", scales, " ")
        for (k = 1; k <= m; k++) for (i = 1; i <= n; i++) {
            s = scales[k]
            split(line[i], f, " ")
            if (int(f[2] * s + 0.5) == w && int(f[3] * s + 0.5) == h) {
                print s, x - int(f[4] * s + 0.5), y - int(f[5] * s + 0.5), f[1]; exit 0
            }
        }
        exit 1 }'
}
idle_strip() { placed | grep -q ' strip$'; }
# The bubble's X window: another of the player's that shows.
bubble() { xdotool search --onlyvisible --pid "$PID" 2>/dev/null | grep -vx "$ID" | head -n1; }
hint_shown() { [ -n "$(bubble)" ]; }
wait_quiet 10 idle_strip || die "the player's window never became the idle strip: $(geometry)"
read -r S OX OY _ < <(placed)
IDLE_GEOMETRY=$(geometry)
log "player's scale $S, client origin $OX,$OY, X window $IDLE_GEOMETRY"

"$SEND" --window "$ID" --at "$(mul 93),$(mul 18)" -- "$TONE" >"$DIR/log/xdnd_send.log" 2>&1 || die "the drop was not taken"
wait_quiet 10 sink_sounds 523 && HEARD="yes ($(cat "$DIR/verdict"))" || HEARD="no ($(cat "$DIR/verdict"))"
log "tone heard: $HEARD"

# --- rest the pointer on play/pause (its box is 240,100 55x30 in the
# client area, in the player's pixels), left of its centre and high: see below
BX=$((OX + $(mul 255))) BY=$((OY + $(mul 106)))
PX=$(div "$BX" "$POINTER_DIV") PY=$(div "$BY" "$POINTER_DIV")
pointer() { "$HERE/$DESKTOP-pointer.sh" "$DIR" "$@"; }
x_pointer() { xdotool getmouselocation --shell | awk -F= '/^X=/ {x=$2} /^Y=/ {y=$2} END {print x, y}'; }
x_at_button() {
    local x y near
    near=$(mul 1)
    read -r x y < <(x_pointer)
    [ $((x - BX)) -ge -"$near" ] && [ $((x - BX)) -le "$near" ] && [ $((y - BY)) -ge -"$near" ] && [ $((y - BY)) -le "$near" ]
}
# Arrive next to the button, then on it, as a hand does.
pointer $((PX - 4)) $((PY - 2)) move
sleep 0.2
pointer "$PX" "$PY" move
POINTER_NOTE="moves only"
if ! wait_quiet 2 x_at_button; then
    # KWin 5.27 with Xwayland at 2: X takes no motion of the fake pointer,
    # only the place of a button event, and that with the offset into the
    # window's surface in logical pixels taken as X pixels. So the side
    # button (X button 8, which the player ignores) is clicked, and the place
    # corrected by what X reports (X pixels per pointer pixel measured on the
    # first step). The offset must stay inside the surface's logical size,
    # half the X window: hence the point high and left on the button.
    gain=1 last_px="" last_x=""
    for _ in 1 2 3; do
        pointer "$PX" "$PY" click side
        sleep 0.2
        read -r x y < <(x_pointer)
        POINTER_NOTE="$POINTER_NOTE; side-button click at $PX,$PY: X at $x,$y"
        x_at_button && break
        if [ -n "$last_px" ] && [ "$PX" -ne "$last_px" ] && [ $(((x - last_x) / (PX - last_px))) -ge 1 ]; then
            gain=$(((x - last_x) / (PX - last_px)))
        fi
        last_px=$PX last_x=$x
        PX=$((PX + (BX - x) / gain)) PY=$((PY + (BY - y) / gain))
    done
fi
wait_quiet 5 hint_shown || log "no hint bubble after 5 s"
X_POINTER=$(x_pointer)
HINT_GEOMETRY="$(geometry), bubble $(xwininfo -id "$(bubble)" 2>/dev/null | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')"
log "pointer: $POINTER_NOTE; sent last to $PX,$PY (compositor), X has it at $X_POINTER, button point $BX,$BY (X)"

"$HERE/$DESKTOP-screenshot.sh" "$DIR" "$OUT/screen.png" >/dev/null || die "no screenshot"
read -r SHOT_W SHOT_H < <(identify -format '%w %h' "$OUT/screen.png")
read -r SCREEN_W SCREEN_H < <(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1], d[2]}')
# The client area plus a margin, from X pixels into the picture's.
F=$((SHOT_W / SCREEN_W))
convert "$OUT/screen.png" -crop "$((($(mul 540) + 40) * F))x$((($(mul 200) + 40) * F))+$(((OX - 20) * F))+$(((OY - 20) * F))" +repage "$OUT/strip.png"

{
    echo "mode: $MODE ($DESKTOP, DESKTOP_SIZE=$DESKTOP_SIZE)"
    echo "XSETTINGS (scale and DPI; all of them in xsettings.txt):"
    "$HERE/xsettings.py" >"$OUT/xsettings.txt" 2>&1
    grep -E '^(Xft/DPI|Gdk/WindowScalingFactor|Gdk/UnscaledDPI) ' "$OUT/xsettings.txt" | sed 's/^/  /' || echo "  (none: $(head -n1 "$OUT/xsettings.txt"))"
    echo "X resources: $(xrdb -query | grep -E '^Xft\.dpi:' | tr -s '\t' ' ' || echo 'no Xft.dpi')"
    echo "X screen: $(xdpyinfo | awk '/dimensions:/ {print $2} /resolution:/ {print $2, "dpi"}' | paste -sd ' ')"
    echo "screenshot: ${SHOT_W}x$SHOT_H (picture pixels per X pixel: $F)"
    echo "player: scale $S, client origin $OX,$OY; X window x y w h: idle $IDLE_GEOMETRY, hinted $HINT_GEOMETRY"
    echo "tone heard: $HEARD"
    echo "pointer: $POINTER_NOTE; sent last to $PX,$PY (compositor), X has it at $X_POINTER, aimed at $BX,$BY (X)"
    echo "focus: $(xdotool getwindowfocus 2>/dev/null) (the player's window: $ID)"
    echo "time: desktop up $UP_MS ms, whole run $(($(now_ms) - t0)) ms before going down"
} >"$OUT/seen.txt"
cat "$OUT/seen.txt"
