# The volume menu that hangs from the strip, and the README's pictures of it.

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
# Hovers the volume button until the menu shows, SHOWN X Y (glass_at or
# player_at) telling that its frame is drawn. Now and then, on a loaded
# machine, a menu that was mapped showed no frame; the cause is not known
# yet, so what the window was is logged and the hover made once more from
# the strip, as a person would.
hover_volume_menu() {
    local try
    for try in 1 2; do
        pointer_at 370 108
        pointer_at 377 110
        MENU=$(window_named ostmenu) || { fail "no menu window"; return 1; }
        wait_for 5 is_viewable "$MENU" || { fail "hovering the volume button shows no menu"; return 1; }
        wait_for 5 "$1" 420 160 && return 0
        log "NOTE: no menu frame after hovering (try $try): map state $(map_state "$MENU"), $(xwininfo -id "$MENU" 2>/dev/null | awk '/-geometry/ {print $2}'), pixel $(client_pixel 420 160)"
        pointer_at 100 115
        wait_for 5 is_unmapped "$MENU"
    done
    return 1
}

open_volume_menu() { hover_volume_menu glass_at || { fail "the menu's frame is not painted"; return 1; }; }

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
# As a hand moves a mouse: from the lit second item, 5 or 7 pixels at a time.
pointer_steps() {  # DX DY COUNT, from client point (420, 166)
    local i
    for ((i = 1; i <= $3; i++)); do pointer_at $((420 + i * $1)) $((166 + i * $2)); done
}
check_ostrel_volume_menu_left_downward_in_small_steps() { volume_menu_left_by small-steps-down pointer_steps 0 5 8; }
check_ostrel_volume_menu_left_sideways_in_small_steps() { volume_menu_left_by small-steps-right pointer_steps 7 0 20; }
check_ostrel_volume_menu_left_far_away() { volume_menu_left_by far-away xdotool mousemove 5 5; }

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

    hover_volume_menu player_at || { fail "the menu is not painted"; return 1; }
    desktop_at 267 60 || fail "the bubble stays with the pointer on the volume button"
    desktop_at 300 160 || fail "the desktop does not show left of the menu"
    keep_picture volume-menu 520x110+10+90
    close_cleanly "$PID" "$ID"
}
