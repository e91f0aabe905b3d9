#!/bin/bash
# sway-up.sh DIR: start a headless sway 1.7 session (wlroots headless backend, pixman renderer) in DIR,
# with Xwayland, swaybar (StatusNotifierItem watcher and tray host), a private session bus open to all
# local uids, an empty private system bus, and a virtual pointer (sway-pointer, copied to DIR/bin).
# sway refuses to run as root, so it runs as uid SWAY_UID (default 65534, nobody); Xwayland and swaybar
# inherit that uid. Returns once the session is ready and DIR/env is written.
# Env: DESKTOP_TOOLS (the build's tests/desktops, where sway-pointer is),
#      DESKTOP_SIZE (default 1280x800), DESKTOP_TIMEOUT (seconds, default 120), SWAY_UID,
#      SWAY_DEBUG=1 (sway -d: wlroots debug log in DIR/log/sway.log).
set -euo pipefail
KIT=$(cd "$(dirname "$0")" && pwd)
. "$KIT/common.sh"
DIR=$(kit_dir "${1:-}")
TIMEOUT=${DESKTOP_TIMEOUT:-120}
SIZE=${DESKTOP_SIZE:-1280x800}
SWAY_UID=${SWAY_UID:-65534}
[ -e "$DIR/pid/sway.pid" ] && kit_alive "$DIR/pid/sway.pid" && kit_die "a desktop is already running in $DIR"
t0=$(date +%s%N)
kit_x11_socket_dir

kit_private_env sway
export XDG_SESSION_DESKTOP=sway
as_sway() { setpriv --reuid="$SWAY_UID" --regid="$SWAY_UID" --clear-groups "$@"; }
# sway's uid needs DIR/run (Wayland, IPC and X sockets, the session file) and its HOME.
chmod a+x "$DIR"
chown "$SWAY_UID:$SWAY_UID" "$DIR/run"
chown -R "$SWAY_UID:$SWAY_UID" "$DIR/home"
as_sway test -w "$DIR/run" || kit_die "uid $SWAY_UID cannot write $DIR/run: make the directories above $DIR searchable (chmod a+x)"
kit_buses any-user
chmod 666 "$XDG_RUNTIME_DIR/bus"   # created by root with its umask; sway's uid must connect too

ptr=$DIR/bin/sway-pointer
kit_tool sway-pointer "$ptr"

# sway exports WAYLAND_DISPLAY, DISPLAY (Xwayland, started lazily on the first X client) and SWAYSOCK
# to what it runs; the exec line hands them to this script. No status_command: a static bar.
# focus_follows_mouse no: only clicks move the focus, as in the other desktops.
session=$XDG_RUNTIME_DIR/sway-session
mkdir -p "$XDG_CONFIG_HOME/sway"
conf=$XDG_CONFIG_HOME/sway/config
cat >"$conf" <<EOT
xwayland enable
output HEADLESS-1 mode $SIZE position 0 0 bg #2e6b8f solid_color
focus_follows_mouse no
exec echo \$WAYLAND_DISPLAY \$DISPLAY \$SWAYSOCK >$session
bar {
    position top
    tray_output *
}
EOT
dbg=(); [ "${SWAY_DEBUG:-}" = 1 ] && dbg=(-d)
kit_start sway setpriv --reuid="$SWAY_UID" --regid="$SWAY_UID" --clear-groups \
    env WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1 WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$conf" "${dbg[@]}"
swaypid=$(cat "$DIR/pid/sway.pid")

fail() { echo "sway-up: not ready: $*; see $DIR/log/*.log. Last lines of sway.log:" >&2; tail -n 15 "$DIR/log/sway.log" >&2; exit 1; }
step() { kit_wait "$(kit_left)" "$@" || fail "$1"; }
session_known() { local _ sock; read -r _ _ sock <"$session" && [ -n "$sock" ]; }
tray_host() {
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered |
        grep -q true
}
has_pointer() { swaymsg -t get_inputs | grep -q '"type": "pointer"'; }

kit_deadline "$TIMEOUT"
export KIT_GUARD_PID=$swaypid
step "sway started (WAYLAND_DISPLAY, DISPLAY, SWAYSOCK from its exec line)" session_known
read -r WAYLAND_DISPLAY DISPLAY SWAYSOCK <"$session"
export WAYLAND_DISPLAY DISPLAY SWAYSOCK
unset XAUTHORITY
# The headless seat has no pointer until a virtual one exists (swaybar and Xwayland get no wl_pointer).
kit_start pointer "$ptr" serve "$XDG_RUNTIME_DIR/sway-pointer.sock" "${SIZE%x*}" "${SIZE#*x}"
step "sway IPC answering" swaymsg -t get_version
# The first X client starts Xwayland. It admits only sway's uid: let root's clients in.
step "Xwayland $DISPLAY started, root admitted (xhost as uid $SWAY_UID)" as_sway env -u XAUTHORITY xhost +si:localuser:root
step "Xwayland $DISPLAY answering" xdpyinfo
step "org.kde.StatusNotifierWatcher owned (swaybar)" kit_has_name org.kde.StatusNotifierWatcher
step "swaybar tray host registered on the StatusNotifierWatcher" tray_host
KIT_GUARD_PID=$(cat "$DIR/pid/pointer.pid") step "virtual pointer on the seat (sway-pointer)" has_pointer
KIT_GUARD_PID=$(cat "$DIR/pid/pointer.pid") step "sway-pointer socket" test -S "$XDG_RUNTIME_DIR/sway-pointer.sock"
unset KIT_GUARD_PID
for p in sway pointer; do kit_alive "$DIR/pid/$p.pid" || fail "$p exited"; done

kit_write_env XDG_SESSION_DESKTOP SWAYSOCK
echo "sway-up: ready in $(( ($(date +%s%N) - t0) / 1000000 )) ms: DISPLAY=$DISPLAY WAYLAND_DISPLAY=$WAYLAND_DISPLAY env=$DIR/env"
