# The notification area: the probe's and the player's icon in an XEmbed
# tray, minimize into it or, with none, to an icon, and the player's
# StatusNotifierItem on a private bus.

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
    bring_back "$id" "$PROBE_WHITE" "a click on the tray icon did not bring the window back" click_icon "$icon"
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
    bring_back "$id" "$PROBE_WHITE" "wmctrl -a did not bring the window back" wmctrl -i -a "$id" || return 1
    wait_for 5 sh -c "xprop -id $id _NET_WM_STATE | grep -q SKIP_TASKBAR" || fail "restored but on the taskbar"
    net_wm_state "$id" | grep -q _NET_WM_STATE_ABOVE || fail "restored but not above"
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
    bring_back "$id" "$PROBE_WHITE" "a click on the icon did not bring the iconified window back" click_icon "$icon" ||
        return 1
    wait_for 5 sh -c "xprop -id $id _NET_WM_STATE | grep -q SKIP_TASKBAR" || fail "shown again but on the taskbar"
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
    local pid=$LAST_PID id icon ix iy
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
    bring_back "$id" "$STRIP_GLASS" "a second click did not bring the strip back" click_icon "$icon" || return 1
    [ "$(window_origin "$id")" = "$before" ] || fail "shown at $(window_origin "$id"), hidden at $before"
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
    bring_back "$id" - "a second click did not bring the strip back" click_icon "$icon"
    close_cleanly "$pid" "$id"
}

check_ostrel_tray_lost_while_hidden() {
    # Hidden through the tray, then the tray goes: the strip is iconified at
    # once, so the window manager can bring it back as it was.
    start_display && start_wm && start_sound && start_trayer || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    local pid=$LAST_PID id icon props
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    icon=$(docked_icon "OstPlayer \[Preview\]") || { fail "the icon did not dock"; return 1; }
    click_icon "$icon"
    wait_for 5 is_unmapped "$id" || { fail "a click on the icon did not hide the strip"; return 1; }
    stop_trayer
    wait_for 5 is_iconic "$id" || { fail "losing the tray did not iconify the hidden strip"; return 1; }
    net_wm_state "$id" | grep -q SKIP_TASKBAR && fail "iconified but still off the taskbar"
    bring_back "$id" "$STRIP_GLASS" "wmctrl -a did not bring the strip back" wmctrl -i -a "$id" || return 1
    wait_for 5 sh -c "xprop -id $id _NET_WM_STATE | grep -q SKIP_TASKBAR" || fail "restored but on the taskbar"
    props=$(xprop -id "$id")
    grep -q '_NET_WM_STATE(ATOM) = .*_NET_WM_STATE_ABOVE' <<<"$props" || fail "restored but not above"
    grep -q '_NET_FRAME_EXTENTS(CARDINAL) = 0, 0, 0, 0' <<<"$props" || fail "restored with a frame"
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
    bring_back "$id" - "a second click did not bring the strip back" click_icon "$icon"
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
    bring_back "$id" - "a second click did not bring the strip back" click_icon "$icon"
    close_cleanly "$pid" "$id"
}

# --- StatusNotifierItem -----------------------------------------------------------

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
item_property() {  # NAME PROPERTY
    dbus-send --session --print-reply --dest="$1" /StatusNotifierItem org.freedesktop.DBus.Properties.Get \
        string:org.kde.StatusNotifierItem "string:$2" 2>/dev/null
}
# WIDTHxHEIGHT:BYTES of each pixmap in dbus-send's print of an a(iiay).
pixmap_sizes() {
    awk '/int32/ {side[n++ % 2] = $2}
         /array of bytes \[/ {bytes = 1; count = 0; next}
         bytes && /\]/ {bytes = 0; printf "%sx%s:%d ", side[0], side[1], count; next}
         bytes {count += NF}'
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
    local pid=$LAST_PID id name
    name=org.kde.StatusNotifierItem-$pid-1
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 10 item_registered "$name" || { fail "the item did not register with the watcher"; return 1; }
    item_property "$name" Title | grep -q '"Ostrel"' || fail "Title is not Ostrel"
    item_property "$name" Category | grep -q '"ApplicationStatus"' || fail "Category is not ApplicationStatus"
    item_property "$name" ToolTip | grep -q '"OstPlayer \[Preview\]"' || fail "the tooltip is not the tip"
    local pixmaps
    pixmaps=$(item_property "$name" IconPixmap | pixmap_sizes)
    [ "$pixmaps" = "16x16:1024 22x22:1936 24x24:2304 32x32:4096 48x48:9216 64x64:16384 128x128:65536 " ] ||
        fail "IconPixmap is not the icon once at each tray size: $pixmaps"
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
    bring_back "$id" "$STRIP_GLASS" "a second Activate did not bring the strip back" activate "$name" || return 1
    # A click on the host's icon is an Activate too.
    xdotool mousemove 14 14 click 1
    wait_for 5 is_unmapped "$id" || fail "a click on the host's icon did not hide the strip"
    sleep 0.6  # longer than the double-click time: two single clicks, not one double
    bring_back "$id" - "a second click on the host's icon did not bring it back" xdotool mousemove 14 14 click 1

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
    bring_back "$id" - "a second click did not bring the strip back" click_icon "$icon"
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
    bring_back "$id" - "wmctrl -a did not bring the strip back" wmctrl -i -a "$id"
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
    bring_back "$id" - "wmctrl -a did not bring the strip back" wmctrl -i -a "$id" || return 1
    wait_for 10 painted_at "$id" 60 110 || { fail "the strip came back unpainted"; return 1; }
    start_host || return 1
    wait_for 10 host_shows_icon || { fail "the host does not show the icon"; return 1; }
    click_minimize "$id"
    wait_for 5 is_unmapped "$id" || { fail "minimize did not hide the strip into the host's icon"; return 1; }
    is_iconic "$id" && fail "minimize iconified the strip although a host shows its icon"
    bring_back "$id" - "a click on the host's icon did not bring the strip back" xdotool mousemove 14 14 click 1
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
    bring_back "$id" - "a click on the tray's icon did not bring the strip back" click_icon "$icon" || return 1
    start_host || return 1
    wait_for 5 no_window_named "OstPlayer \[Preview\]" || fail "the tray's icon stays next to the host's item"
    close_cleanly "$pid" "$id"
}
