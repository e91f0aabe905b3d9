#!/usr/bin/env bash
# Builds Ostrel and runs every test: the unit and whole-program tests, the
# end-to-end checks of the real program under Xvfb, the sanitizer build and
# bounded fuzzing runs of the tag reader and the decoders.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
. "$root/scripts/lib/jobs.sh"
"$root/scripts/install-deps.sh" test
"$root/scripts/format.sh" --check

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_TESTS=ON -DOSTREL_WERROR=ON
cmake --build "$build" -j"$JOBS"
# Every suite also runs whole in shuffled order; the seed is printed so that
# a failing order can be repeated with GTEST_RANDOM_SEED=N.
export GTEST_RANDOM_SEED=${GTEST_RANDOM_SEED:-$((RANDOM % 99999 + 1))}
echo "test.sh: shuffled suites run with GTEST_RANDOM_SEED=$GTEST_RANDOM_SEED"
ctest --test-dir "$build" --output-on-failure -j"$JOBS" --timeout 300 -LE desktops
# The player under GNOME Shell, KDE Plasma and sway, one desktop at a time.
ctest --test-dir "$build" --output-on-failure --timeout 300 -L desktops
# The Debian package of the same build, installed with apt and started.
"$root/scripts/package.sh" "$build"
"$root/tests/e2e/run.sh" "$build" ostrel_debian_package

"$root/scripts/sanitize.sh"
FUZZ_SECONDS=${FUZZ_SECONDS:-60} DECODER_FUZZ_SECONDS=${DECODER_FUZZ_SECONDS:-60} "$root/scripts/fuzz.sh"
echo "All tests passed."
