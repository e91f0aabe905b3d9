# The strip's buttons under the pointer: the hint bubble, play/pause, stop,
# previous, close and minimize.

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

# --- the minimize button --------------------------------------------------------

check_ostrel_minimize_to_tray() {
    # The minimize button fades the strip out into the tray; a click on the
    # icon brings it back, painted.
    start_display && start_wm && start_sound && start_trayer || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id icon
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    icon=$(docked_icon "OstPlayer \[Preview\]") || { fail "the icon did not dock in trayer"; return 1; }
    click_minimize "$id"
    wait_for 5 is_unmapped "$id" || { fail "the minimize button did not hide the strip"; return 1; }
    is_iconic "$id" && fail "minimize iconified the strip although the tray shows its icon"
    bring_back "$id" "$STRIP_GLASS" "a click on the icon did not bring the strip back" click_icon "$icon" || return 1
    close_cleanly "$pid" "$id"
}

check_ostrel_minimize_without_tray() {
    # No tray: the minimize button iconifies the strip, and the window
    # manager brings it back borderless, above and off the taskbar.
    start_display && start_wm && start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id props
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 painted_at "$id" 60 110 || { fail "the strip is not painted"; return 1; }
    click_minimize "$id"
    wait_for 5 is_iconic "$id" || { fail "with no tray, minimize did not iconify"; return 1; }
    net_wm_state "$id" | grep -q SKIP_TASKBAR && fail "iconified but still off the taskbar"
    wmctrl -l | grep -q "Ostrel" || fail "the window manager does not list the iconified strip"
    bring_back "$id" "$STRIP_GLASS" "wmctrl -a did not bring the strip back" wmctrl -i -a "$id" || return 1
    wait_for 5 sh -c "xprop -id $id _NET_WM_STATE | grep -q SKIP_TASKBAR" || fail "restored but on the taskbar"
    props=$(xprop -id "$id")
    grep -q '_NET_WM_STATE(ATOM) = .*_NET_WM_STATE_ABOVE' <<<"$props" || fail "restored but not above"
    grep -q '_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0' <<<"$props" || fail "restored with a frame"
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
    bring_back "$id" - "wmctrl -a did not bring the strip back" wmctrl -i -a "$id"
    close_cleanly "$pid" "$id"
}
