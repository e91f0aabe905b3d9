#!/bin/bash
# kde-up.sh DIR: start a headless KDE Plasma 5.27 session in DIR: kwin_wayland (virtual backend,
# Xwayland), kded5 (hosts org.kde.StatusNotifierWatcher), kactivitymanagerd and plasmashell, on a
# private session bus plus an empty private system bus. Copies kde-pointer to DIR/bin and registers
# it for org_kde_kwin_fake_input. Returns once plasmashell's tray host is registered and DIR/env is written.
# Env: DESKTOP_TOOLS (the build's tests/desktops, where kde-pointer is),
#      DESKTOP_SIZE (default 1280x800), DESKTOP_TIMEOUT (seconds, default 120), KWIN_EXTRA_ARGS,
# KWIN_XWAYLAND_SCALE (below).
set -euo pipefail
KIT=$(cd "$(dirname "$0")" && pwd)
. "$KIT/common.sh"
DIR=$(kit_dir "${1:-}")
TIMEOUT=${DESKTOP_TIMEOUT:-120}
SIZE=${DESKTOP_SIZE:-1280x800}
[ -e "$DIR/pid/kwin.pid" ] && kit_alive "$DIR/pid/kwin.pid" && kit_die "a desktop is already running in $DIR"
t0=$(date +%s%N)
kit_x11_socket_dir

kit_private_env KDE
export XDG_SESSION_DESKTOP=KDE KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
kit_buses

# Fixed, quiet behaviour for tests: no animations, no screen locker, no top-left overview corner.
kwriteconfig5 --file kdeglobals --group KDE --key AnimationDurationFactor 0
kwriteconfig5 --file kwinrc --group Effect-overview --key BorderActivate 9
kwriteconfig5 --file kscreenlockerrc --group Daemon --key Autolock false
kwriteconfig5 --file kscreenlockerrc --group Daemon --key LockOnResume false
# Scale (HiDPI): KWIN_EXTRA_ARGS="--scale 2" (then DESKTOP_SIZE is logical); KWIN_XWAYLAND_SCALE=2 makes
# X11 programs "apply scaling themselves" (Xwayland at the output's scale), 1 leaves them "scaled by the system".
[ -n "${KWIN_XWAYLAND_SCALE:-}" ] && kwriteconfig5 --file kwinrc --group Xwayland --key Scale "$KWIN_XWAYLAND_SCALE"

# kde-pointer (built with the tests, in DESKTOP_TOOLS), registered so KWin offers it
# org_kde_kwin_fake_input (KWin matches the client's executable against Exec=).
ptr=$DIR/bin/kde-pointer
kit_tool kde-pointer "$ptr"
mkdir -p "$XDG_DATA_HOME/applications"
cat >"$XDG_DATA_HOME/applications/e2e-kde-pointer.desktop" <<EOT
[Desktop Entry]
Type=Application
Name=E2E pointer input
Exec=$ptr
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input
EOT
kbuildsycoca5 >"$DIR/log/kbuildsycoca5.log" 2>&1

# /usr/bin/kwin_wayland carries the file capability cap_sys_resource; where the bounding set lacks it
# (containers), exec fails with EPERM (shell status 126). A plain copy has no capabilities.
kwin=/usr/bin/kwin_wayland
set +e; timeout 10 "$kwin" --help >/dev/null 2>&1; rc=$?; set -e
if [ "$rc" = 126 ]; then
    cp /usr/bin/kwin_wayland "$DIR/bin/kwin_wayland"
    kwin=$DIR/bin/kwin_wayland
fi

export WAYLAND_DISPLAY=wayland-e2e
kit_start kwin "$kwin" --virtual --xwayland --width "${SIZE%x*}" --height "${SIZE#*x}" \
    --socket "$WAYLAND_DISPLAY" --no-lockscreen ${KWIN_EXTRA_ARGS:-}
kwinpid=$(cat "$DIR/pid/kwin.pid")

fail() { echo "kde-up: not ready: $*; see $DIR/log/*.log. Last lines of kwin.log:" >&2; tail -n 15 "$DIR/log/kwin.log" >&2; exit 1; }
step() { kit_wait "$(kit_left)" "$@" || fail "$1"; }
tray_host() {
    gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered |
        grep -q true
}
plasma_windows() {
    [ "$(kit_kwin_script 'const c = workspace.clientList(); print(c.some(w => w.desktopWindow) && c.some(w => w.dock))')" = true ]
}

kit_deadline "$TIMEOUT"
export KIT_GUARD_PID=$kwinpid
step "org.kde.KWin on the session bus" kit_has_name org.kde.KWin
step "Xwayland started by kwin_wayland" kit_xwayland "$kwinpid"
read -r DISPLAY XAUTHORITY < <(kit_xwayland "$kwinpid")
export DISPLAY XAUTHORITY
step "Xwayland $DISPLAY answering" xdpyinfo

# The Plasma side talks Wayland. kded5 hosts org.kde.StatusNotifierWatcher; plasmashell aborts without
# kactivitymanagerd (libexec path is multiarch).
kamd=$(ls /usr/lib/*/libexec/kactivitymanagerd | head -n 1)
QT_QPA_PLATFORM=wayland kit_start kded5 kded5
QT_QPA_PLATFORM=wayland kit_start kactivitymanagerd "$kamd"
KIT_GUARD_PID=$(cat "$DIR/pid/kded5.pid") step "org.kde.StatusNotifierWatcher (kded5)" kit_has_name org.kde.StatusNotifierWatcher
KIT_GUARD_PID=$(cat "$DIR/pid/kactivitymanagerd.pid") step "org.kde.ActivityManager" kit_has_name org.kde.ActivityManager
QT_QPA_PLATFORM=wayland kit_start plasmashell plasmashell --no-respawn
KIT_GUARD_PID=$(cat "$DIR/pid/plasmashell.pid") step "org.kde.plasmashell on the session bus" kit_has_name org.kde.plasmashell
KIT_GUARD_PID=$(cat "$DIR/pid/plasmashell.pid") step "plasmashell tray host registered on the StatusNotifierWatcher" tray_host
# The tray host registers before plasmashell maps its desktop window; when that window maps, KWin
# gives it the focus, which would take the focus from a test window mapped just before.
KIT_GUARD_PID=$(cat "$DIR/pid/plasmashell.pid") step "plasmashell desktop and panel windows mapped" plasma_windows

# What Plasma's start-up gives X clients: kcminit_startup's first phase (style, then fonts) merges
# Xft.* into the X resources, Xft.dpi from the Xwayland scale; it then stays for a second phase that
# nobody asks for here. kded's gtkconfig (kde-config-gtk-style) publishes XSETTINGS through
# xsettingsd, which it signals after each line it writes: a reload in the middle of a write
# publishes nothing, so it is signalled once more until it publishes the whole file.
QT_QPA_PLATFORM=wayland kit_start kcminit kcminit_startup
KIT_GUARD_PID=$(cat "$DIR/pid/kcminit.pid") step "kcminit's first phase done" kit_has_name org.kde.kcminit
step "Xft.dpi in the X resources" sh -c 'xrdb -query | grep -q "^Xft.dpi:"'
xsettings_whole() {
    local conf=$XDG_CONFIG_HOME/xsettingsd/xsettingsd.conf
    [ "$("$KIT/xsettings.py" | wc -l)" = "$(grep -c . "$conf")" ] && return 0
    local p
    for p in $(kit_home_pids); do
        [ "$(cat "/proc/$p/comm" 2>/dev/null)" = xsettingsd ] && kill -HUP "$p"
    done
    return 1
}
if kit_has_name org.kde.kded5 && gdbus call --session --dest org.kde.kded5 --object-path /kded \
    --method org.kde.kded5.loadedModules | grep -q "'gtkconfig'"; then
    step "xsettingsd publishes gtkconfig's settings" xsettings_whole
fi
unset KIT_GUARD_PID
for p in kwin kded5 kactivitymanagerd plasmashell; do kit_alive "$DIR/pid/$p.pid" || fail "$p exited"; done

kit_write_env XDG_SESSION_DESKTOP KDE_FULL_SESSION KDE_SESSION_VERSION
echo "kde-up: ready in $(( ($(date +%s%N) - t0) / 1000000 )) ms: DISPLAY=$DISPLAY WAYLAND_DISPLAY=$WAYLAND_DISPLAY env=$DIR/env"
