#!/usr/bin/env bash
# End-to-end checks under Xvfb.
#
#   run.sh BUILD_DIR [CHECK...]     (no CHECK: every check)
#
# Each check runs on a fresh X server of its own (with openbox unless the
# check says otherwise) and is a shell function named check_<name> in one of
# checks/*.sh, by area; lib.sh holds what they share. A check fails by
# calling `fail`. With E2E_KEEP set, the work directories (logs, output)
# are left behind.
#
# CMakeLists.txt registers each check defined there as the test e2e_<name>;
# a comment on the line that defines it says otherwise:
#   # ctest: pipewire too     also as e2e_pipewire_<name>, played to PipeWire
#   # ctest: weston only      only where weston and Xwayland are installed
#   # ctest: not registered   run by hand or by a script of its own
#   # ctest: alone            with no other test beside it (it loads the machine)
set -u

BUILD=$(cd "${1:?usage: run.sh BUILD_DIR [CHECK...]}" && pwd)
shift
PROBE=$BUILD/tests/e2e/x11_probe
SEND=$BUILD/tests/e2e/xdnd_send
CLOSE=$BUILD/tests/e2e/wm_close
ARGB_TRAY=$BUILD/tests/e2e/argb_tray
DEAF_WM=$BUILD/tests/e2e/deaf_wm
OSTREL=$BUILD/src/app/ostrel
FIXTURES=$(cd "$(dirname "$0")/../fixtures" && pwd)

# Sanitizer builds: library caches that live until exit are not our leaks.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0}

WORK=""
PIDS=()
FAILED=0

HERE=$(dirname "$0")
source "$HERE/lib.sh"
for checks in "$HERE"/checks/*.sh; do source "$checks"; done

# --- main ---------------------------------------------------------------------------

ALL_CHECKS=$(declare -F | awk '{print $3}' | sed -n 's/^check_//p')
[ $# -eq 0 ] && set -- $ALL_CHECKS
for check in "$@"; do
    if ! declare -F "check_$check" >/dev/null; then
        log "no such check: $check"
        FAILED=1
        continue
    fi
    WORK=$(mktemp -d)
    # No desktop bus but the one a check starts: a watcher on the session
    # that runs the tests would take the tray icons.
    unset DBUS_SESSION_BUS_ADDRESS
    export XDG_RUNTIME_DIR=$WORK
    log "running $check"
    before=$FAILED
    FAILED=0
    "check_$check"
    [ $FAILED -eq 0 ] && log "ok: $check" || log "failed: $check (logs were in $WORK)"
    for f in "$WORK"/*.log; do [ -s "$f" ] && [ $FAILED -ne 0 ] && { echo "--- $f" >&2; cat "$f" >&2; }; done
    FAILED=$((FAILED | before))
    cleanup
done
exit $FAILED
