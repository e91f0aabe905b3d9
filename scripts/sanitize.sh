#!/usr/bin/env bash
# Two sanitizer stages, each a build of its own:
# - AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer (build-asan):
#   every unit suite and the whole-program tests, then the real program and
#   the X11 backend through the end-to-end checks;
# - ThreadSanitizer (build-tsan): the layers with threads of their own, the
#   message queue and timers, the audio library, the engine, the program.
# The suites are run test by test; the shuffled whole-suite runs are left to
# the plain build. Exits nonzero if a build or a test fails.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${SANITIZE_BUILD_DIR:-$root/build-asan}
. "$root/scripts/lib/jobs.sh"

unit_suites=(win32_tests gdi_tests x11_tests bus_tests audio_tests playback_tests playback_engine_tests skin_tests controls_tests menus_tests
    app_tests)
e2e_programs=(ostrel ostrel_docs xdnd_send wm_close x11_probe argb_tray deaf_wm scale_watch_tests)
threaded_suites=(win32_tests audio_tests playback_engine_tests app_tests)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=address,undefined
echo "sanitize.sh: building ${unit_suites[*]}"
cmake --build "$build" -j"$JOBS" --target "${unit_suites[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Leaks of the libraries we link are suppressed by name, each with its
# upstream report (the end-to-end checks keep a list of their own). A hung
# test fails after TEST_TIMEOUT seconds instead of stalling the run.
LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0} \
    ctest --test-dir "$build/tests" -LE 'e2e|shuffled|desktops' --output-on-failure -j"$JOBS" --timeout "${TEST_TIMEOUT:-300}"

# The real program and the X11 backend under the same sanitizers: every
# end-to-end check that closes the program cleanly also proves it leak-free.
cmake --build "$build" -j"$JOBS" --target "${e2e_programs[@]}"
ctest --test-dir "$build/tests/e2e" --output-on-failure -j"$JOBS" --timeout "${TEST_TIMEOUT:-300}"

# ThreadSanitizer on the layers with threads of their own.
tsan=${TSAN_BUILD_DIR:-$root/build-tsan}
cmake -S "$root" -B "$tsan" -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=thread
cmake --build "$tsan" -j"$JOBS" --target "${threaded_suites[@]}"
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp} \
    ctest --test-dir "$tsan/tests" -LE 'e2e|shuffled|desktops' -E '_NOT_BUILT$' --output-on-failure -j"$JOBS" --timeout "${TEST_TIMEOUT:-300}"
