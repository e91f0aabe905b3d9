#!/usr/bin/env bash
# Builds the Debian package, ostrel_<version>_<architecture>.deb, in the build
# directory (the first argument, else BUILD_DIR, else build/) and prints its
# path. A build directory that is already configured is used as it is;
# otherwise a release build of the program alone is configured there.
# Install the package with: sudo apt install ./ostrel_*.deb
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/lib/jobs.sh"
build=${1:-${BUILD_DIR:-$root/build}}
if [[ ! -f $build/CMakeCache.txt ]]; then
    "$root/scripts/install-deps.sh" run
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DOSTREL_TESTS=OFF
fi
build=$(cd "$build" && pwd)
cmake --build "$build" -j"$JOBS" --target ostrel ostrel_docs
rm -f "$build"/ostrel_*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log") || { cat "$build/cpack.log" >&2; exit 1; }
ls "$build"/ostrel_*.deb
