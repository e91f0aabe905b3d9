#!/usr/bin/env bash
# The player on a desktop at 200 % where X programs scale themselves: it
# takes the scale the desktop publishes, its strip is 1012 x 72 on screen,
# a drop is heard, and the desktop's own pointer resting on play/pause
# shows the hint bubble (in an X window of its own, the strip's unchanged).
#
#   scale_check.sh BUILD_DIR MODE    (gnome-int2 or kde-self2)
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=${1:?usage: scale_check.sh BUILD_DIR MODE}
MODE=${2:?usage: scale_check.sh BUILD_DIR MODE}
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
"$HERE/scale_look.sh" "$BUILD" "$MODE" "$OUT" || exit 1
failed=0
expect() {  # WHAT PATTERN
    grep -Eq "$2" "$OUT/seen.txt" || { echo "FAIL: $1" >&2; failed=1; }
}
expect "the player did not take scale 2" '^player: scale 2,'
expect "the idle strip is not 1012 x 72" 'idle [0-9-]+ [0-9-]+ 1012 72,'
expect "no hint bubble under the pointer at play/pause" 'hinted [0-9-]+ [0-9-]+ 1012 72, bubble [0-9-]+ [0-9-]+ 46[0-2] 13[6-8]$'
expect "the dropped tone was not heard" '^tone heard: yes'
[ $failed = 0 ] && echo "ok: $MODE"
exit $failed
