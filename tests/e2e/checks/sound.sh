# What the player plays to the sound server: dropped files heard on the sink,
# no server at all, the server's work, prompt pause and stop, a server
# that restarts.

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

check_ostrel_plays_dropped_file() {  # ctest: pipewire too
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

check_ostrel_sound_server_buffering() {  # ctest: pipewire too
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

corked() { pactl list sink-inputs | grep -q "Corked: $1"; }

check_ostrel_pause_and_stop_are_prompt() {  # ctest: pipewire too
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

check_ostrel_survives_server_restart() {  # ctest: pipewire too
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
