# The media controls (MPRIS) on a private session bus, driven with playerctl
# as the desktop's media keys and widgets would, and the one player a
# session bus allows.

MPRIS_NAME=org.mpris.MediaPlayer2.ostrel
MPRIS_PATH=/org/mpris/MediaPlayer2

player() { playerctl --player=ostrel "$@" 2>/dev/null; }
status_is() { [ "$(player status)" = "$1" ]; }
listed() { playerctl --list-all 2>/dev/null | grep -qx ostrel; }
meta() { player metadata "$1"; }
meta_is() { [ "$(meta "$1")" = "$2" ]; }

mpris_call() {  # INTERFACE METHOD
    dbus-send --session --print-reply --dest=$MPRIS_NAME $MPRIS_PATH "$1.$2" >/dev/null
}

# Records every PropertiesChanged the player sends into $WORK/changes.
monitor_changes() {
    spawn dbus-monitor --session "type='signal',member='PropertiesChanged',path='$MPRIS_PATH'" >"$WORK/changes"
    wait_for 10 grep -q "member=NameAcquired" "$WORK/changes" || { fail "dbus-monitor did not start"; return 1; }
}
change_count() { grep -c "member=PropertiesChanged" "$WORK/changes"; }
# The PlaybackStatus values announced, in order, one a line.
announced_states() {
    awk '/string "PlaybackStatus"/ { getline; sub(/.*string "/, ""); sub(/"$/, ""); print }' "$WORK/changes"
}
announced() { [ "$(announced_states | tr '\n' ' ')" = "$1" ]; }

# An MPRIS call and what it must lead to: the status, the sink, and exactly
# one more PropertiesChanged, carrying the new status.
expect_step() {  # PLAYERCTL-COMMAND STATUS SOUND(523|silent) STATES-SO-FAR
    local before
    before=$(change_count)
    player "$1"
    wait_for 5 status_is "$2" || { fail "$1: status $(player status), expected $2"; return 1; }
    wait_for 5 sink_sounds "$3" || { fail "$1: the sink is not $3: $(cat "$WORK/verdict")"; return 1; }
    wait_for 5 announced "$4" || { fail "$1: announced '$(announced_states | tr '\n' ' ')', expected '$4'"; return 1; }
    [ "$(change_count)" -eq $((before + 1)) ] || fail "$1: $(($(change_count) - before)) PropertiesChanged for one change"
}

check_ostrel_mpris_metadata() {
    # The tags of a dropped MP3 (UTF-16 with a character beyond the BMP, and
    # GBK), its URI and length; nothing from a file without a tag.
    start_bus && start_ostrel || return 1
    wait_for 10 listed || { fail "playerctl does not list the player"; return 1; }
    status_is Stopped || fail "status $(player status) before anything was dropped, expected Stopped"
    [ -z "$(player metadata)" ] || fail "metadata before anything was dropped: $(player metadata)"
    local dir=$WORK/files
    mkdir -p "$dir"
    python3 "$(dirname "$0")/tools/id3_tag.py" "$FIXTURES/audio/tone.mp3" "$dir/utf16 歌 #1.mp3" \
        "TIT2=utf16:Ünïcode 歌曲 𝄞" "TPE1=utf16:Ärtist" "TALB=latin1:Album One" || return 1
    python3 "$(dirname "$0")/tools/id3_tag.py" "$FIXTURES/audio/tone.mp3" "$dir/gbk.mp3" \
        "TIT2=gbk:中文标题" "TPE1=gbk:歌手" "TALB=gbk:专辑" || return 1

    drop_file "$dir/utf16 歌 #1.mp3" || return 1
    wait_for 10 meta_is xesam:title "Ünïcode 歌曲 𝄞" || { fail "title '$(meta xesam:title)'"; return 1; }
    meta_is xesam:artist "Ärtist" || fail "artist '$(meta xesam:artist)'"
    meta_is xesam:album "Album One" || fail "album '$(meta xesam:album)'"
    meta_is xesam:url "file://$dir/utf16%20%E6%AD%8C%20%231.mp3" || fail "url '$(meta xesam:url)'"
    local length
    length=$(meta mpris:length)
    [ "${length:-0}" -gt 1900000 ] && [ "$length" -lt 2300000 ] || fail "length '$length' µs for a 2 s file"
    status_is Playing || fail "status $(player status) after the drop"

    drop_file "$dir/gbk.mp3" || return 1
    wait_for 10 meta_is xesam:title "中文标题" || { fail "GBK title '$(meta xesam:title)'"; return 1; }
    meta_is xesam:artist "歌手" || fail "GBK artist '$(meta xesam:artist)'"
    meta_is xesam:album "专辑" || fail "GBK album '$(meta xesam:album)'"

    # A name that is not UTF-8, in a path longer than 259 characters: the URL
    # names that file, byte by byte.
    local deep latin
    deep=$dir/$(printf 'd%.0s' {1..120})/$(printf 'e%.0s' {1..120})
    mkdir -p "$deep"
    latin=$(printf '%s/caf\xe9.mp3' "$deep")
    cp "$FIXTURES/audio/tone.mp3" "$latin"
    drop_file "$latin" || return 1
    wait_for 10 meta_is xesam:url "file://$deep/caf%E9.mp3" || { fail "url '$(meta xesam:url)'"; return 1; }

    drop_file "$FIXTURES/audio/tone.mp3" || return 1
    wait_for 10 meta_is xesam:url "file://$FIXTURES/audio/tone.mp3" || { fail "url '$(meta xesam:url)'"; return 1; }
    local key
    for key in xesam:title xesam:artist xesam:album; do
        [ -z "$(meta $key)" ] || fail "$key '$(meta $key)' for a file without a tag"
    done
    close_cleanly "$PID" "$ID"
}

check_ostrel_mpris_controls() {
    # playerctl's play-pause, pause, play and stop do what the buttons do:
    # the sink follows, the play/pause glyph follows, and each change is
    # announced once.
    start_bus && start_ostrel || return 1
    wait_for 10 listed || { fail "playerctl does not list the player"; return 1; }
    monitor_changes || return 1
    play_face stopped
    player play-pause
    player play
    status_is Stopped || fail "play with nothing loaded: status $(player status)"
    [ "$(change_count)" -eq 0 ] || fail "changes announced with nothing loaded"
    drop_tone || return 1
    wait_for 5 announced "Playing " || { fail "the drop announced '$(announced_states)'"; return 1; }
    [ "$(change_count)" -eq 1 ] || fail "$(change_count) PropertiesChanged for one drop"
    play_face playing
    faces_equal stopped playing && fail "play/pause shows no pause glyph while playing"

    expect_step play-pause Paused silent "Playing Paused " || return 1
    wait_for 5 sh -c "import -window root -crop 55x26+$((OX + 240))+$((OY + 100)) +repage '$WORK/paused.png' 2>/dev/null &&
        [ \"\$(compare -metric AE '$WORK/stopped.png' '$WORK/paused.png' null: 2>&1)\" = 0 ]" ||
        fail "play/pause does not show the play glyph after play-pause"
    expect_step play-pause Playing 523 "Playing Paused Playing " || return 1
    wait_for 5 sh -c "import -window root -crop 55x26+$((OX + 240))+$((OY + 100)) +repage '$WORK/again.png' 2>/dev/null &&
        [ \"\$(compare -metric AE '$WORK/playing.png' '$WORK/again.png' null: 2>&1)\" = 0 ]" ||
        fail "play/pause does not show the pause glyph after resuming"
    [ -n "${E2E_SHOT:-}" ] && import -window root "$E2E_SHOT"
    expect_step pause Paused silent "Playing Paused Playing Paused " || return 1
    expect_step play Playing 523 "Playing Paused Playing Paused Playing " || return 1
    expect_step stop Stopped silent "Playing Paused Playing Paused Playing Stopped " || return 1
    wait_for 5 sh -c "import -window root -crop 55x26+$((OX + 240))+$((OY + 100)) +repage '$WORK/after.png' 2>/dev/null &&
        [ \"\$(compare -metric AE '$WORK/stopped.png' '$WORK/after.png' null: 2>&1)\" = 0 ]" ||
        fail "play/pause does not show the play glyph after stop"
    # The button never starts a stopped file; play starts it from the top.
    player play-pause
    status_is Stopped || fail "play-pause started a stopped file"
    expect_step play Playing 523 "Playing Paused Playing Paused Playing Stopped Playing " || return 1
    # Nothing is announced while nothing changes.
    local count
    count=$(change_count)
    sleep 1.5
    [ "$(change_count)" -eq "$count" ] || fail "PropertiesChanged sent while nothing changed"
    close_cleanly "$PID" "$ID"
}

check_ostrel_mpris_raise_and_quit() {
    # Raise brings back the strip iconified by the window manager and the
    # one the minimize button put away; Quit ends the program with status 0.
    start_bus && start_ostrel || return 1
    wait_for 10 listed || { fail "playerctl does not list the player"; return 1; }
    xdotool windowminimize "$ID"
    wait_for 5 is_iconic "$ID" || { fail "the window manager did not iconify the strip"; return 1; }
    mpris_call org.mpris.MediaPlayer2 Raise || fail "Raise failed"
    wait_for 5 is_viewable "$ID" || { fail "Raise did not bring back the iconified strip"; return 1; }
    click_minimize "$ID"
    wait_for 5 sh -c "! xwininfo -id $ID | grep -q IsViewable" || { fail "the minimize button did not put the strip away"; return 1; }
    mpris_call org.mpris.MediaPlayer2 Raise || fail "Raise failed"
    wait_for 5 is_viewable "$ID" || { fail "Raise did not bring back the minimized strip"; return 1; }
    wait_for 10 lit_at 60 110 || fail "the strip came back unpainted"
    mpris_call org.mpris.MediaPlayer2 Quit || fail "Quit failed"
    wait_exit "$PID" 10 || { fail "still running after Quit"; return 1; }
    [ "$EXIT_STATUS" -eq 0 ] || fail "exited with $EXIT_STATUS after Quit"
    wait_for 5 sh -c "! dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:$MPRIS_NAME | grep -q 'boolean true'" ||
        fail "the player's name is still owned after exit"
}

mpris_get() {  # PROPERTY: its value alone
    busctl --user get-property $MPRIS_NAME $MPRIS_PATH org.mpris.MediaPlayer2.Player "$1" 2>/dev/null | cut -d' ' -f2
}
mpris_set() {  # PROPERTY SIGNATURE VALUE
    busctl --user set-property -- $MPRIS_NAME $MPRIS_PATH org.mpris.MediaPlayer2.Player "$@"
}

check_ostrel_mpris_position_from_the_start() {  # ctest: pipewire too
    # From the first reading after a drop, Position never runs ahead of what
    # the sink's monitor has carried (30 ms allowed): read for two seconds.
    start_bus && start_ostrel || return 1
    wait_for 10 listed || { fail "playerctl does not list the player"; return 1; }
    start_watch || return 1
    local t before after position worst
    t=$(now)
    drop_file "$FIXTURES/audio/tone.ogg" || return 1
    : >"$WORK/positions"
    while awk -v now="$(now)" -v t="$t" 'BEGIN { exit !(now < t + 2) }'; do
        before=$(now)
        position=$(mpris_get Position)
        after=$(now)
        [ -n "$position" ] && echo "$before $after $((position / 1000))" >>"$WORK/positions"
    done
    wait_for 5 python3 "$WATCH" sound-after "$t" "$WORK/watch.log" >/dev/null || { fail "the drop was not heard"; return 1; }
    worst=$(python3 "$WATCH" ahead "$t" "$WORK/positions" "$WORK/watch.log") ||
        { fail "no position to compare: $worst"; return 1; }
    log "$(wc -l <"$WORK/positions") readings; at most ${worst} ms ahead of the monitor"
    [ "$worst" -le 30 ] || fail "Position ran ${worst} ms ahead of what was heard"
    close_cleanly "$PID" "$ID"
}

check_ostrel_first_drop_as_the_window_shows() {  # ctest: pipewire too
    # A sound server just started, the monitor recorded from then on, and a
    # drop the moment the window shows: it is heard promptly, and from the
    # first reading on Position never runs ahead of what is heard. The
    # figures are logged; the bound on the start is generous.
    start_bus && start_display && start_wm && start_sound || return 1
    spawn python3 "$WATCH" record e2e.monitor "$WORK/watch.log"
    wait_for 10 sh -c "pactl list short source-outputs | grep -q ." || { fail "the monitor recording did not start"; return 1; }
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    PID=$LAST_PID
    ID=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    wait_for 5 is_viewable "$ID" || { fail "the window is not shown"; return 1; }
    local t ms before after position worst
    t=$(now)
    drop_file "$FIXTURES/audio/tone.ogg" || return 1
    : >"$WORK/positions"
    while awk -v now="$(now)" -v t="$t" 'BEGIN { exit !(now < t + 3) }'; do
        before=$(now)
        position=$(mpris_get Position)
        after=$(now)
        [ -n "$position" ] && echo "$before $after $((position / 1000))" >>"$WORK/positions"
    done
    wait_for 5 python3 "$WATCH" sound-after "$t" "$WORK/watch.log" >/dev/null || { fail "the drop was not heard"; return 1; }
    ms=$(python3 "$WATCH" sound-after "$t" "$WORK/watch.log")
    worst=$(python3 "$WATCH" ahead "$t" "$WORK/positions" "$WORK/watch.log") ||
        { fail "no position to compare: $worst"; return 1; }
    log "heard ${ms} ms after the drop; $(wc -l <"$WORK/positions") readings, at most ${worst} ms ahead"
    [ "$ms" -le 500 ] || fail "the first drop was heard only ${ms} ms after it"
    [ "$worst" -le 30 ] || fail "Position ran ${worst} ms ahead of what was heard"
    close_cleanly "$PID" "$ID"
}

check_ostrel_mpris_volume() {  # ctest: pipewire too
    # Volume and Rate are read/write; a Volume set over the bus is heard on
    # the sink and announced once, and held to [0, 1]; Rate 1.0 is taken,
    # others are ignored.
    start_bus && start_ostrel || return 1
    wait_for 10 listed || { fail "playerctl does not list the player"; return 1; }
    local intro
    intro=$(gdbus introspect --session --dest $MPRIS_NAME --object-path $MPRIS_PATH)
    grep -q "readwrite d Volume" <<<"$intro" || fail "Volume is not read/write: $(grep Volume <<<"$intro")"
    grep -q "readwrite d Rate" <<<"$intro" || fail "Rate is not read/write: $(grep -w Rate <<<"$intro")"
    [ "$(mpris_get Volume)" = 1 ] || fail "Volume $(mpris_get Volume) at start, expected 1"
    monitor_changes || return 1
    drop_tone && start_watch || return 1
    local t full count ms quiet loud
    t=$(now)
    wait_for 5 python3 "$WATCH" sound-after "$t" "$WORK/watch.log" >/dev/null || { fail "the monitor hears nothing"; return 1; }
    t=$(now)
    wait_for 5 line_count "$WORK/watch.log" $(($(wc -l <"$WORK/watch.log") + 30))
    full=$(python3 "$WATCH" peak-between "$t" "$(now)" "$WORK/watch.log")
    count=$(change_count)
    t=$(now)
    mpris_set Volume d 0.25 || fail "setting Volume failed"
    wait_for 5 python3 "$WATCH" level-after "$t" $((full / 4)) "$WORK/watch.log" >/dev/null ||
        { fail "the sink does not play at a quarter of $full after Volume 0.25"; return 1; }
    ms=$(python3 "$WATCH" level-after "$t" $((full / 4)) "$WORK/watch.log")
    log "Volume 0.25: peak $full down to a quarter ${ms} ms after the call"
    # The figure is logged; the bound allows for a loaded machine.
    [ "$ms" -le 1000 ] || fail "Volume took ${ms} ms to be heard"
    [ "$(mpris_get Volume)" = 0.25 ] || fail "Volume reads $(mpris_get Volume) after setting 0.25"
    wait_for 5 grep -q 'string "Volume"' "$WORK/changes" || fail "the new Volume was not announced"
    [ "$(change_count)" -eq $((count + 1)) ] || fail "$(($(change_count) - count)) PropertiesChanged for one Volume"

    # Negative is silence; 1 again is the file as it is.
    mpris_set Volume d -0.5 || fail "setting a negative Volume failed"
    [ "$(mpris_get Volume)" = 0 ] || fail "Volume reads $(mpris_get Volume) after setting -0.5"
    wait_for 5 sink_sounds silent || fail "Volume 0 is still heard: $(cat "$WORK/verdict")"
    t=$(now)
    mpris_set Volume d 1 || fail "setting Volume 1 failed"
    wait_for 5 python3 "$WATCH" level-after "$t" "$full" "$WORK/watch.log" >/dev/null ||
        fail "Volume 1 does not bring back the full level $full"
    # Above 1 is 1: a bus client cannot add gain that clips.
    mpris_set Volume d 10 || fail "setting Volume 10 failed"
    [ "$(mpris_get Volume)" = 1 ] || fail "Volume reads $(mpris_get Volume) after setting 10"
    t=$(now)
    wait_for 5 line_count "$WORK/watch.log" $(($(wc -l <"$WORK/watch.log") + 30))
    loud=$(python3 "$WATCH" peak-between "$t" "$(now)" "$WORK/watch.log")
    [ $((loud * 10)) -le $((full * 11)) ] || fail "Volume 10 peaks at $loud, above the full level $full"
    # A new drop keeps the volume the desktop set.
    mpris_set Volume d 0.5 || fail "setting Volume 0.5 failed"
    drop_tone || return 1
    t=$(now)
    wait_for 5 line_count "$WORK/watch.log" $(($(wc -l <"$WORK/watch.log") + 30))
    quiet=$(python3 "$WATCH" peak-between "$t" "$(now)" "$WORK/watch.log")
    [ $((quiet * 10)) -ge $((full * 4)) ] && [ $((quiet * 10)) -le $((full * 6)) ] ||
        fail "after a new drop the sink peaks at $quiet, not half of $full"

    count=$(change_count)
    mpris_set Rate d 1 || fail "setting Rate 1.0 was refused"
    mpris_set Rate d 2 2>/dev/null
    [ "$(mpris_get Rate)" = 1 ] || fail "Rate reads $(mpris_get Rate)"
    sleep 0.5
    [ "$(change_count)" -eq "$count" ] || fail "Rate announced a change that did not happen"
    close_cleanly "$PID" "$ID"
}

check_ostrel_mpris_without_bus() {
    # No session bus: the player starts, plays and stops as before and says
    # nothing about it. A bus that goes away later changes nothing either.
    start_ostrel || return 1
    drop_tone || return 1
    click_at 212 115
    wait_for 5 sink_sounds silent || fail "stop did not silence the sink: $(cat "$WORK/verdict")"
    grep -iE "bus|mpris" "$WORK/ostrel.log" && fail "the player spoke of the missing bus"
    close_cleanly "$PID" "$ID"

    start_bus || return 1
    spawn "$OSTREL" >"$WORK/out" 2>"$WORK/ostrel.log"
    PID=$LAST_PID
    ID=$(window_named "Ostrel") || { fail "no window titled Ostrel on a bus"; return 1; }
    wait_for 5 is_viewable "$ID" || { fail "the window is not shown"; return 1; }
    read -r OX OY < <(window_origin "$ID")
    wait_for 10 lit_at 60 110 || { fail "the strip is not painted"; return 1; }
    wait_for 10 listed || { fail "playerctl does not list the player"; return 1; }
    local bus_pid
    bus_pid=$(pgrep -f "dbus-daemon --session --nofork --address=unix:path=$WORK/bus" | head -n1)
    kill "$bus_pid"
    wait_for 5 sh -c "! kill -0 $bus_pid 2>/dev/null"
    drop_tone || return 1
    click_at 267 115
    wait_for 5 sink_sounds silent || fail "play/pause did not pause once the bus was gone"
    close_cleanly "$PID" "$ID"
}

# mpris:length of the current track, within 30 ms of `MS`.
length_near() { local us; us=$(meta mpris:length) && [ "${us:-0}" -ge $(($1 * 1000 - 30000)) ] && [ "$us" -le $(($1 * 1000 + 30000)) ]; }

check_ostrel_mpris_mp3_length() {
    # MP3s with no header that counts their frames: a VBR one behind a tag
    # with a 2 MB cover picture, and a 60 MB one, whose length is estimated
    # until a walk through the whole file finds it. Each piece of the
    # fixture is 116 frames of 1152 samples at 44.1 kHz.
    start_bus && start_ostrel || return 1
    wait_for 10 listed || { fail "playerctl does not list the player"; return 1; }
    local dir=$WORK/files piece=$FIXTURES/audio/noheader_vbr.mp3
    mkdir -p "$dir"
    python3 - "$piece" "$dir/cover.mp3" <<'PY' || return 1
import sys
def synchsafe(n): return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])
picture = b"\0image/jpeg\0\3\0" + b"\xAB" * 2000000
frame = b"APIC" + len(picture).to_bytes(4, "big") + b"\0\0" + picture
open(sys.argv[2], "wb").write(b"ID3\3\0\0" + synchsafe(len(frame)) + frame + open(sys.argv[1], "rb").read())
PY
    local pieces=3000
    python3 -c 'import sys; open(sys.argv[2], "wb").write(open(sys.argv[1], "rb").read() * int(sys.argv[3]))' \
        "$piece" "$dir/long.mp3" $pieces || return 1

    drop_file "$dir/cover.mp3" || return 1
    wait_for 10 length_near 3030 || fail "length $(meta mpris:length) µs behind a 2 MB tag, expected 3030 ms"
    drop_file "$dir/long.mp3" || return 1
    local expected=$((pieces * 116 * 1152 * 1000 / 44100))
    wait_for 10 length_near $expected || fail "length $(meta mpris:length) µs of a 60 MB file, expected $expected ms"
    status_is Playing || fail "status $(player status) after the drop"
    close_cleanly "$PID" "$ID"
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

at_most_one_running() {
    local pid n=0
    for pid in "${STARTS[@]}"; do kill -0 "$pid" 2>/dev/null && n=$((n + 1)); done
    [ $n -le 1 ]
}

check_ostrel_one_player_from_many_starts() {  # ctest: alone
    # Twenty starts at the same moment on a session bus with no player: one
    # takes the name and shows the strip, every other raises it and ends
    # with 0. One process, one strip, one media-controls name remain.
    start_display && start_wm && start_sound && start_bus || return 1
    local pid alive=() names
    STARTS=()
    for _ in $(seq 20); do
        spawn "$OSTREL" >>"$WORK/out" 2>>"$WORK/ostrel.log"
        STARTS+=("$LAST_PID")
    done
    wait_for 30 at_most_one_running
    for pid in "${STARTS[@]}"; do
        if kill -0 "$pid" 2>/dev/null; then
            alive+=("$pid")
        else
            wait "$pid"
            EXIT_STATUS=$?
            [ "$EXIT_STATUS" -eq 0 ] || fail "a start that found the player exited with $EXIT_STATUS"
        fi
    done
    [ ${#alive[@]} -eq 1 ] || { fail "${#alive[@]} players still run after 20 starts"; return 1; }
    wait_for 10 name_owned $MPRIS_NAME || { fail "the player's name is not owned"; return 1; }
    names=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.ListNames | grep -c "$MPRIS_NAME")
    [ "$names" -eq 1 ] || fail "$names media-controls names on the bus"
    local id
    id=$(window_named "Ostrel") || { fail "no window titled Ostrel"; return 1; }
    [ "$(xdotool search --name '^Ostrel$' | wc -l)" -eq 1 ] || fail "more than one strip"
    close_cleanly "${alive[0]}" "$id"
}

check_ostrel_bus_calls_no_client_sends() {
    # A 100 MiB argument to the media controls and a tray menu call naming
    # 200,000 items: both are answered with an error, and the player goes on
    # playing and taking clicks.
    start_bus && start_ostrel || return 1
    wait_for 10 listed || { fail "playerctl does not list the player"; return 1; }
    drop_tone || return 1
    local answer
    answer=$(/usr/bin/python3 "$HERE/tools/huge_call.py" uri $((100 * 1024 * 1024)))
    [ "$answer" = org.freedesktop.DBus.Error.NotSupported ] || fail "a 100 MiB URI was answered with '$answer'"
    answer=$(/usr/bin/python3 "$HERE/tools/huge_call.py" menu 200000)
    [ "$answer" = org.freedesktop.DBus.Error.LimitsExceeded ] || fail "200,000 menu items were answered with '$answer'"
    status_is Playing || fail "status $(player status) after the calls"
    click_at 212 115
    wait_for 5 sink_sounds silent || fail "stop did not silence the sink after the calls: $(cat "$WORK/verdict")"
    close_cleanly "$PID" "$ID"
}
