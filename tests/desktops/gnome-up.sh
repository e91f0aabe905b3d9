#!/bin/bash
# gnome-up.sh DIR: start a headless GNOME Shell 43 session (Wayland compositor + Xwayland) in DIR,
# with a private session bus, an empty private system bus, the appindicator extension and the
# e2e-harness extension. Returns once the session is ready and DIR/env is written.
# Env: DESKTOP_SIZE (default 1280x800), DESKTOP_TIMEOUT (seconds, default 120), GNOME_SCALE,
# GNOME_FEATURES (below), GNOME_XSETTINGS (default 1: start gsd-xsettings).
set -euo pipefail
KIT=$(cd "$(dirname "$0")" && pwd)
. "$KIT/common.sh"
DIR=$(kit_dir "${1:-}")
TIMEOUT=${DESKTOP_TIMEOUT:-120}
[ -e "$DIR/pid/shell.pid" ] && kit_alive "$DIR/pid/shell.pid" && kit_die "a desktop is already running in $DIR"
t0=$(date +%s%N)
kit_x11_socket_dir

kit_private_env GNOME
export XDG_SESSION_DESKTOP=gnome
kit_buses

ext=$XDG_DATA_HOME/gnome-shell/extensions/e2e-harness@ostrel.local
mkdir -p "$ext" && cp "$KIT/gnome-extension/e2e-harness@ostrel.local/"* "$ext/"
gsettings set org.gnome.shell disable-user-extensions false
gsettings set org.gnome.shell enabled-extensions "['ubuntu-appindicators@ubuntu.com', 'e2e-harness@ostrel.local']"
gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'
gsettings set org.gnome.desktop.interface enable-animations false
gsettings set org.gnome.desktop.interface enable-hot-corners false
gsettings set org.gnome.desktop.screensaver lock-enabled false
gsettings set org.gnome.desktop.session idle-delay 0
# Scale (HiDPI): GNOME_SCALE=2 gives an integer monitor scale; GNOME_FEATURES="['scale-monitor-framebuffer']"
# switches to the logical layout (fractional scaling), where X11 windows are enlarged by the compositor.
[ -n "${GNOME_SCALE:-}" ] && gsettings set org.gnome.desktop.interface scaling-factor "$GNOME_SCALE"
[ -n "${GNOME_FEATURES:-}" ] && gsettings set org.gnome.mutter experimental-features "$GNOME_FEATURES"

export WAYLAND_DISPLAY=wayland-e2e
kit_start shell gnome-shell --headless --wayland --virtual-monitor "${DESKTOP_SIZE:-1280x800}" --wayland-display="$WAYLAND_DISPLAY"
shell=$(cat "$DIR/pid/shell.pid")

fail() { echo "gnome-up: $*; last lines of $DIR/log/shell.log:" >&2; tail -n 20 "$DIR/log/shell.log" >&2; exit 1; }
shell_eval() {   # prints the JS result; fails unless Eval reports success
    local out
    out=$(gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell --method org.gnome.Shell.Eval "$1") || return 1
    case $out in "(true, "*) out=${out#(true, \'}; echo "${out%\')}" ;; *) return 1 ;; esac
}
ext_enabled() {  # extension state 1 = ENABLED
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Extensions.GetExtensionInfo "$1" | grep -q "'state': <1.0>"
}
startup_done() {  # start-up over, overview hidden, start-up notifications cleared (see the harness extension)
    local m=imports.ui.main
    [ "$(shell_eval "$m.layoutManager._startingUp || $m.overview.visible || $m.messageTray.getSources().length > 0")" = false ]
}
step() { kit_wait "$(kit_left)" "$@" || fail "not ready: $1"; }

kit_deadline "$TIMEOUT"
export KIT_GUARD_PID=$shell
step "org.gnome.Shell on the session bus" kit_has_name org.gnome.Shell
step "Xwayland started by gnome-shell" kit_xwayland "$shell"
read -r DISPLAY XAUTHORITY < <(kit_xwayland "$shell")
export DISPLAY XAUTHORITY
step "Xwayland $DISPLAY answering" xdpyinfo
step "e2e-harness extension enabled (unsafe mode, Eval)" shell_eval true
step "appindicator extension enabled" ext_enabled ubuntu-appindicators@ubuntu.com
step "org.kde.StatusNotifierWatcher owned (appindicator)" kit_has_name org.kde.StatusNotifierWatcher
step "start-up complete, overview hidden, no notifications" startup_done
# Once Xwayland is up, gnome-shell has systemd start gnome-session-x11-services-ready.target (without
# systemd, gnome-session starts the same from its autostart entry): gsd-xsettings, which publishes
# the XSETTINGS (Xft/DPI, Gdk/WindowScalingFactor from the session's scale) and merges Xft.* into the
# X resources. This session has neither, so it starts gsd-xsettings as the unit does. GNOME_XSETTINGS=0 leaves it out.
if [ "${GNOME_XSETTINGS:-1}" = 1 ] && [ -x /usr/libexec/gsd-xsettings ]; then
    kit_start gsd-xsettings /usr/libexec/gsd-xsettings
    export KIT_GUARD_PID=$(cat "$DIR/pid/gsd-xsettings.pid")
    step "gsd-xsettings on the session bus" kit_has_name org.gnome.SettingsDaemon.XSettings
    step "XSETTINGS published" "$KIT/xsettings.py"
fi
unset KIT_GUARD_PID

kit_write_env XDG_SESSION_DESKTOP
echo "gnome-up: ready in $(( ($(date +%s%N) - t0) / 1000000 )) ms: DISPLAY=$DISPLAY WAYLAND_DISPLAY=$WAYLAND_DISPLAY env=$DIR/env"
