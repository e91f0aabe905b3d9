#!/usr/bin/env bash
# Builds Ostrel and starts it on the current X display.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/lib/jobs.sh"
build=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh" run
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF
cmake --build "$build" -j"$JOBS" --target ostrel
exec "$build/src/app/ostrel"
