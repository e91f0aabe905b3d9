#!/usr/bin/env bash
# Builds every unit test executable (playback_tests, audio_tests and the
# rest under tests/unit), the whole-program tests and the end-to-end checks
# with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer in
# build-asan, and runs them with ctest.
# Exits nonzero if a build or a test fails.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${SANITIZE_BUILD_DIR:-$root/build-asan}
jobs=${JOBS:-2}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=address,undefined

# The targets this build knows, so that a layer not written yet is skipped.
known=$(cmake --build "$build" --target help | sed -n 's/^\.\.\. \([A-Za-z0-9_]*\).*/\1/p; s/^\([A-Za-z0-9_]*\): phony$/\1/p')
wanted=$(sed -n 's/^ *add_executable( *\([A-Za-z0-9_]*\).*/\1/p' "$root"/tests/unit/*/CMakeLists.txt "$root"/tests/app/CMakeLists.txt 2>/dev/null || true)
targets=()
for t in playback_tests audio_tests $wanted; do
    if grep -qx "$t" <<<"$known" && [[ " ${targets[*]-} " != *" $t "* ]]; then
        targets+=("$t")
    fi
done
if [[ ${#targets[@]} -eq 0 ]]; then
    echo "sanitize.sh: no unit test targets found" >&2
    exit 1
fi

echo "sanitize.sh: building ${targets[*]}"
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# A hung test fails after TEST_TIMEOUT seconds instead of stalling the run.
ctest --test-dir "$build/tests" -LE e2e --output-on-failure -j"$jobs" --timeout "${TEST_TIMEOUT:-300}"

# The real program and the X11 backend under the same sanitizers: every
# end-to-end check that closes the program cleanly also proves it leak-free.
e2e_targets=()
for t in ostrel xdnd_send wm_close x11_probe; do grep -qx "$t" <<<"$known" && e2e_targets+=("$t"); done
if [[ ${#e2e_targets[@]} -eq 4 ]]; then
    cmake --build "$build" -j"$jobs" --target "${e2e_targets[@]}"
    ctest --test-dir "$build/tests/e2e" --output-on-failure -j"$jobs" --timeout "${TEST_TIMEOUT:-300}"
fi

# ThreadSanitizer on the layers with threads of their own: the message queue
# and timers, the audio library, the engine and the whole program.
tsan=${TSAN_BUILD_DIR:-$root/build-tsan}
cmake -S "$root" -B "$tsan" -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=thread
cmake --build "$tsan" -j"$jobs" --target win32_tests audio_tests playback_engine_tests app_tests
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp} \
    ctest --test-dir "$tsan/tests" -LE e2e -E '_NOT_BUILT$' --output-on-failure -j"$jobs" --timeout "${TEST_TIMEOUT:-300}"
