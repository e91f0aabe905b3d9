# The desktop's scale as the X11 backend reads it and follows its changes.

# Against a settings manager and X resources of the tests' own, on a bare
# X server: no window manager publishes either.
check_display_scale() {
    start_display || return 1
    "$BUILD/tests/e2e/scale_watch_tests" >"$WORK/scale_watch.log" 2>&1 || fail "the scale tests failed"
}
