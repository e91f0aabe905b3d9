# The program installed, from the build tree and as a package, and the strip
# on a Wayland desktop through Xwayland.

# --- installation -------------------------------------------------------------

sink_loud() { ! sink_sounds silent; }

# The desktop entry is valid and names the program and an icon of 128x128.
desktop_files_valid() {  # PREFIX
    local entry=$1/share/applications/ostrel.desktop icon=$1/share/icons/hicolor/128x128/apps/ostrel.png
    desktop-file-validate "$entry" >&2 || fail "desktop-file-validate rejects $entry"
    grep -qx "Exec=ostrel" "$entry" || fail "the entry does not start ostrel"
    grep -qx "Icon=ostrel" "$entry" || fail "the entry does not name the ostrel icon"
    [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = 128x128 ] || fail "no 128x128 icon at $icon"
    local metainfo=$1/share/metainfo/org.example.ostrel.metainfo.xml
    appstreamcli validate --no-net --pedantic "$metainfo" >&2 || fail "appstreamcli rejects $metainfo"
    grep -q '<launchable type="desktop-id">ostrel.desktop</launchable>' "$metainfo" ||
        fail "the AppStream metadata does not name the desktop entry"
    [ -s "$1/share/man/man1/ostrel.1.gz" ] || fail "no manual page"
}

# The installed program starts, and plays a tracker module through the
# decoder module installed beside it, not the build tree's.
run_installed() {  # PROGRAM MODULE_DIR
    start_display && start_wm && start_sound || return 1
    spawn "$1" >"$WORK/out" 2>"$WORK/ostrel.log"
    PID=$LAST_PID
    ID=$(window_named "Ostrel") || { fail "the installed program shows no window"; return 1; }
    wait_for 5 is_viewable "$ID" || { fail "the window is not shown"; return 1; }
    read -r OX OY < <(window_origin "$ID")
    wait_for 10 lit_at 60 110 || { fail "the strip is not painted"; return 1; }
    drop_file "$FIXTURES/audio/tiny.mod" || return 1
    wait_for 10 grep -q "$2/ostaudio_ffmpeg.so" "/proc/$PID/maps" ||
        { fail "the decoder module in $2 was not loaded: $(grep -o '/[^ ]*ostaudio[^ ]*' "/proc/$PID/maps" | head -n1)"; return 1; }
    wait_for 10 sink_loud || fail "the module is not heard"
    close_cleanly "$PID" "$ID"
}

check_ostrel_installed() {
    # cmake --install into a fresh prefix, then the copy there is run.
    local prefix=$WORK/prefix
    cmake --install "$BUILD" --prefix "$prefix" >"$WORK/install.log" 2>&1 || { fail "cmake --install failed"; cat "$WORK/install.log" >&2; return 1; }
    [ -x "$prefix/bin/ostrel" ] || { fail "no bin/ostrel"; return 1; }
    desktop_files_valid "$prefix"
    run_installed "$prefix/bin/ostrel" "$prefix/lib/ostrel"
}

check_ostrel_debian_package() {  # ctest: not registered
    # The package scripts/package.sh built in BUILD_DIR installs with apt,
    # declares its libraries, and the installed player starts and plays.
    # Not among the ctest checks: it installs into /usr (test.sh runs it).
    local deb
    deb=$(ls "$BUILD"/ostrel_*.deb 2>/dev/null | head -n1)
    [ -n "$deb" ] || { fail "no package in $BUILD (scripts/package.sh builds it)"; return 1; }
    # Debian's own checks: any error or warning fails (a warning that cannot
    # be fixed belongs in an override the package ships).
    lintian --fail-on error,warning "$deb" >"$WORK/lintian.log" 2>&1 ||
        fail "lintian: $(grep -E '^[EW]:' "$WORK/lintian.log" | tr '\n' ' ')"
    if [ "$(id -u)" -ne 0 ]; then
        log "skipped: installing $deb needs root"
        return 0
    fi
    local depends
    depends=$(dpkg-deb -f "$deb" Depends)
    local lib
    for lib in libpulse0 libavformat libmpg123 libsndfile1 libcairo2 libx11-6 libsystemd0; do
        grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
    done
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq "$deb" >"$WORK/apt.log" 2>&1 ||
        { fail "apt-get install $deb failed"; return 1; }
    desktop_files_valid /usr
    run_installed /usr/bin/ostrel /usr/lib/ostrel
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 purge -y -qq ostrel >>"$WORK/apt.log" 2>&1 || fail "apt-get purge failed"
}

# --- Wayland desktops, through Xwayland -------------------------------------------

# weston's headless compositor with Xwayland, DISPLAY set to its X server.
# No input devices: XTest input would bring Xwayland down, so nothing here
# moves or clicks the pointer.
start_weston() {
    spawn env XDG_RUNTIME_DIR="$WORK" weston --backend=headless-backend.so --use-pixman --xwayland --debug \
        --socket=wayland-e2e --width=1280 --height=800 --log="$WORK/weston.log" >"$WORK/weston-out.log" 2>&1
    wait_for 10 grep -q "xserver listening on display" "$WORK/weston.log" ||
        { fail "weston did not offer an X display"; return 1; }
    DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$WORK/weston.log" | tail -n1)
    export DISPLAY
}

# The compositor's own picture of its output (Xwayland's root shows none).
weston_shot() {
    rm -f "$WORK"/wayland-screenshot-*.png
    (cd "$WORK" && XDG_RUNTIME_DIR=$WORK WAYLAND_DISPLAY=wayland-e2e timeout 10 weston-screenshooter) || return 1
    mv "$WORK"/wayland-screenshot-*.png "$WORK/weston.png"
}
# Pixels of the strip's glass in the compositor's picture.
glass_pixels() {
    convert "$WORK/weston.png" -format %c histogram:info:- 2>/dev/null |
        awk '/\(210,210,210[,)]/ {n += $1} END {print n + 0}'
}
glass_shown() { weston_shot && [ "$(glass_pixels)" -gt 10000 ]; }
glass_gone() { weston_shot && [ "$(glass_pixels)" -lt 1000 ]; }  # the clock has a few
# A patch of the window's keyed area in the compositor's picture, WxH+X+Y:
# half the strip's width, 20 rows from 50 above the strip (the shadow the
# compositor draws along the window's edges stays out of it). The strip is
# the solid run of glass; the erosion drops the clock's antialiased text.
keyed_patch() {
    local box w h x y
    box=$(convert "$WORK/weston.png" -fill black +opaque "rgb(210,210,210)" -fill white -opaque "rgb(210,210,210)" \
        -morphology Erode Square:2 -format %@ info: 2>/dev/null)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    w=${BASH_REMATCH[1]} h=${BASH_REMATCH[2]} x=${BASH_REMATCH[3]} y=${BASH_REMATCH[4]}
    [ "$w" -gt 400 ] && [ "$h" -gt 10 ] && [ "$y" -gt 75 ] || return 1
    echo "$((w / 2))x20+$((x + w / 4))+$((y - 50))"
}

check_ostrel_under_xwayland() {  # ctest: weston only
    # The strip under weston through Xwayland: it appears, takes a drop, is
    # heard, and the media controls drive it and end it.
    start_weston && start_sound && start_bus || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    PID=$LAST_PID
    ID=$(window_named "Ostrel") || { fail "no window titled Ostrel under Xwayland"; return 1; }
    wait_for 5 is_viewable "$ID" || { fail "the window is not shown"; return 1; }
    local props
    props=$(xprop -id "$ID")
    grep -q 'Icon (128 x 128)' <<<"$props" || fail "no 128x128 _NET_WM_ICON"
    grep -q '_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x2, 0x0' <<<"$props" || fail "decorations not turned off"
    log "the compositor's window states: $(grep '^_NET_WM_STATE' <<<"$props")"
    wait_for 10 glass_shown || { fail "the compositor does not show the strip"; return 1; }
    [ -n "${E2E_SHOT:-}" ] && cp "$WORK/weston.png" "$E2E_SHOT"
    local patch
    patch=$(keyed_patch) || { fail "no strip-sized run of glass alone: is the keyed area drawn opaque?"; return 1; }
    cp "$WORK/weston.png" "$WORK/with-window.png"
    drop_tone || return 1
    wait_for 10 listed || { fail "playerctl does not list the player"; return 1; }
    wait_for 5 status_is Playing || fail "status $(player status) after the drop"
    player play-pause
    wait_for 5 status_is Paused || fail "play-pause: status $(player status)"
    wait_for 5 sink_sounds silent || fail "still heard after play-pause: $(cat "$WORK/verdict")"
    player play
    wait_for 5 sink_sounds 523 || fail "not heard again after play: $(cat "$WORK/verdict")"
    mpris_call org.mpris.MediaPlayer2 Quit || fail "Quit failed"
    wait_exit "$PID" 10 || { fail "still running after Quit"; return 1; }
    [ "$EXIT_STATUS" -eq 0 ] || fail "exited with $EXIT_STATUS after Quit"
    # The keyed pixels above the strip showed the desktop that shows there
    # now, not black (nor anything else the compositor might put there).
    wait_for 10 glass_gone || { fail "the strip is still shown after Quit"; return 1; }
    convert "$WORK/with-window.png" -crop "$patch" +repage "$WORK/keyed.png"
    convert "$WORK/weston.png" -crop "$patch" +repage "$WORK/desktop.png"
    local differ
    differ=$(compare -metric AE "$WORK/keyed.png" "$WORK/desktop.png" null: 2>&1)
    [ "$differ" = 0 ] || fail "the keyed area $patch is not see-through: $differ pixels differ from the desktop"
}
