# Drops on the probe window and on the player, the probe's shape, move,
# message box, close and pop-up, and the player's window as it shows.

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

# --- the player's window ---------------------------------------------------------

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

check_ostrel_glass_strip() {
    # The screenshot shows the glass strip with its blue track and glow, and
    # everything black around it lets the pointer through to what is below.
    start_display && start_wm && start_sound || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id x y
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 painted_at "$id" 60 110 || { fail "the strip is not painted"; return 1; }
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

check_ostrel_no_display() {
    local status
    env -u DISPLAY -u WAYLAND_DISPLAY "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    status=$?
    [ $status -eq 1 ] || fail "exit status $status, expected 1"
    grep -q "Ostrel failed to load!" "$WORK/ostrel.log" || fail "no 'Ostrel failed to load!' on stderr"
}

# The shown X windows of process PID, one "X Y WIDTH HEIGHT" a line.
shown_windows_of() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
            /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}'
    done
}

# True when one of those X windows takes the client point DX DY of the strip.
ours_at() {
    local x=$((OX + $1)) y=$((OY + $2)) wx wy w h
    while read -r wx wy w h; do
        [ "$x" -ge "$wx" ] && [ "$x" -lt $((wx + w)) ] && [ "$y" -ge "$wy" ] && [ "$y" -lt $((wy + h)) ] && return 0
    done < <(shown_windows_of "$PID")
    return 1
}

check_ostrel_window_covers_what_shows() {
    # The X windows cover the strip and its glow, and the hint bubble while
    # it shows, and nothing beside them: compositors that ignore the input
    # shape and pick a window by its rectangle pass clicks there through.
    # The strip's X window keeps its box and place throughout.
    start_ostrel || return 1
    wait_for 5 covers_box "$ID" "$STRIP_BOX" || fail "the X window is not the strip's box"
    pointer_at 267 115
    wait_for 5 lit_at 267 60 || { fail "no bubble over play/pause"; return 1; }
    wait_for 5 ours_at 267 60 || fail "no X window of ours under the bubble"
    local point
    # The corners of the box around the strip and the bubble, and beside the
    # bubble's tip.
    for point in "20 25" "520 25" "140 60" "395 60" "200 93" "330 93"; do
        ours_at $point && fail "client point $point beside the bubble is in an X window of ours"
    done
    covers_box "$ID" "$STRIP_BOX" || fail "the strip's X window changed its box for the bubble"
    [ "$(x_window_origin "$ID")" = "$((OX + 17)) $((OY + 97))" ] || fail "the strip's X window moved for the bubble"
    pointer_at 157 115
    wait_for 5 dark_at 267 60 || fail "the bubble stays after moving onto previous"
    wait_for 5 sh -c "! xdotool search --onlyvisible --pid $PID | grep -vx $ID | grep -q ." ||
        fail "an X window other than the strip's still shows without the bubble"
    [ "$(window_origin "$ID")" = "$OX $OY" ] || fail "the client area moved from $OX,$OY to $(window_origin "$ID")"
    close_cleanly "$PID" "$ID"
}

blur_of() { xprop -id "$1" _KDE_NET_WM_BLUR_BEHIND_REGION | sed -n 's/.* = //p'; }

check_ostrel_blur_follows_box() {
    # Under a compositor the blur behind the glass is asked for where the
    # strip lies in the X window, which starts at the box, also while the
    # bubble shows in an X window of its own.
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
    wait_for 5 lit_at 267 60 || { fail "no bubble over play/pause"; return 1; }
    [ "$(blur_of "$ID")" = "3, 3, 500, 30" ] || fail "with the bubble the blur region is $(blur_of "$ID")"
    # The bubble's X window: no glass of the strip in it to blur.
    local bubble
    bubble=$(xdotool search --onlyvisible --pid "$PID" | grep -vx "$ID" | head -n1)
    [ -n "$bubble" ] || { fail "the bubble has no X window of its own"; return 1; }
    [ -z "$(blur_of "$bubble")" ] || fail "the bubble's X window asks for blur $(blur_of "$bubble")"
    close_cleanly "$PID" "$ID"
}

restart_wm() {
    spawn openbox --sm-disable --replace >"$WORK/openbox2.log" 2>&1
    # The new one has its own check window, and has taken the strip back.
    wait_for 10 sh -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -qv '$1'" || { fail "openbox did not restart"; return 1; }
    wait_for 10 sh -c "xprop -root _NET_CLIENT_LIST | grep -qi '$(printf '0x%x' "$ID")'" ||
        { fail "the new openbox does not manage the strip"; return 1; }
}

check_ostrel_window_manager_restart() {
    # A new window manager takes the strip where it was: the next box
    # change (the bubble showing and going) keeps the client area in
    # place, and a click right after the restart reaches the strip.
    start_ostrel || return 1
    log "strip at $OX,$OY"
    restart_wm "$(xprop -root _NET_SUPPORTING_WM_CHECK)" || return 1
    [ "$(window_origin "$ID")" = "$OX $OY" ] || fail "the restart moved the strip to $(window_origin "$ID")"
    click_at 157 115
    pointer_at 157 60
    wait_for 5 sh -c "import -window root '$WORK/screen.png' 2>/dev/null &&
        convert '$WORK/screen.png' -format '%[fx:int(255*u.r)] %[fx:int(255*u.g)] %[fx:int(255*u.b)]' \
            -crop 1x1+$((OX + 133))+$((OY + 112)) +repage info: | grep -qx '18[2-4] 20[6-8] 23[0-2]'" ||
        fail "the click right after the restart did not reach previous"
    pointer_at 267 115
    wait_for 5 lit_at 267 60 || { fail "no bubble over play/pause after the restart"; return 1; }
    pointer_at 267 60
    wait_for 5 dark_at 267 60 || fail "the bubble stays"
    local x y
    read -r x y < <(x_window_origin "$ID")
    [ "$x $y" = "$((OX + 17)) $((OY + 97))" ] || fail "after the bubble the strip is at $x,$y, not $((OX + 17)),$((OY + 97))"
    close_cleanly "$PID" "$ID"
}

check_ostrel_drag_while_the_bubble_shows() {
    # The press that starts the drag ends the hover and the bubble goes with
    # it while the window manager's move begins: the strip still follows the
    # pointer exactly.
    start_ostrel || return 1
    pointer_at 212 115
    wait_for 5 lit_at 212 60 || { fail "no bubble over stop"; return 1; }
    # Out in one jump, crossing nothing of the strip: the hover stays.
    xdotool mousemove 5 5
    lit_at 212 60 || { fail "the bubble went with the pointer"; return 1; }
    # The glass right of the volume button.
    xdotool mousemove $((OX + 440)) $((OY + 115)) mousedown 1
    local step
    for step in 1 2 3 4 5; do
        xdotool mousemove $((OX + 440 + step * 20)) $((OY + 115 + step * 16))
        sleep 0.1
    done
    xdotool mouseup 1
    wait_for 5 origin_is "$ID" "$((OX + 100)) $((OY + 80))" ||
        fail "dragged by +100,+80 the strip moved from $OX,$OY to $(window_origin "$ID")"
    close_cleanly "$PID" "$ID"
}
