#!/usr/bin/env bash
# Takes the README's pictures from the real player under Xvfb, with openbox
# and a private PulseAudio sink, a file dropped on it so that it plays:
# docs/strip-playing.png (the pointer on play/pause, its hint bubble shown)
# and docs/volume-menu.png (the volume menu open). The build directory is the
# first argument, else BUILD_DIR, else build/.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/lib/jobs.sh"
build=${1:-${BUILD_DIR:-$root/build}}
"$root/scripts/install-deps.sh" test
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_TESTS=ON
fi
cmake --build "$build" -j"$JOBS" --target ostrel xdnd_send wm_close
README_PICTURES=$root/docs "$root/tests/e2e/run.sh" "$build" ostrel_readme_pictures
ls "$root"/docs/strip-playing.png "$root"/docs/volume-menu.png
