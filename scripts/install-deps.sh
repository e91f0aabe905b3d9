#!/usr/bin/env bash
# Installs the Debian 12 packages Ostrel needs. `run` is enough to build and
# start the player; `test` adds what the tests, sanitizers, fuzzing and the
# end-to-end checks under Xvfb use. As root it installs what is missing;
# otherwise it prints the command to run and stops.
set -euo pipefail

set_name=${1:-run}
run_packages=(
    build-essential cmake pkg-config
    libcairo2-dev libx11-dev libxext-dev
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
    libmpg123-dev libsndfile1-dev
    libpulse-dev
    libsystemd-dev
)
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    xvfb xauth openbox xdotool x11-utils x11-apps imagemagick
    pulseaudio pulseaudio-utils sox python3 ffmpeg
    trayer picom wmctrl dbus-daemon dbus-bin
    haskell-status-notifier-item-utils haskell-gtk-sni-tray-utils
    playerctl desktop-file-utils weston xwayland
    lintian appstream
    pipewire pipewire-pulse wireplumber libglib2.0-bin systemd
)
# The desktops the end-to-end checks bring up headless (tests/desktops), with
# what builds their pointer tools; without recommends, which are whole
# desktop sessions.
desktop_packages=(
    gnome-shell gnome-shell-extension-appindicator
    kwin-wayland plasma-workspace plasma-desktop kded5 kactivitymanagerd kde-spectacle
    qml-module-org-kde-kirigami2 qtwayland5 libkf5config-bin libkf5service-bin
    kde-config-gtk-style xsettingsd
    sway swaybg grim x11-xserver-utils
    dbus-daemon libglib2.0-bin procps python3-gi gir1.2-gtk-3.0
    gcc libc6-dev pkgconf libwayland-dev libwayland-bin plasma-wayland-protocols
)

packages=("${run_packages[@]}")
[[ $set_name == test ]] && packages+=("${test_packages[@]}")
lean=()
[[ $set_name == test ]] && lean=("${desktop_packages[@]}")

not_installed() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
    done
}
mapfile -t missing < <(not_installed "${packages[@]}")
mapfile -t missing_lean < <(not_installed "${lean[@]}")
[[ ${#missing[@]} -eq 0 && ${#missing_lean[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
    echo "Ostrel needs these Debian packages; install them with:" >&2
    [[ ${#missing[@]} -eq 0 ]] || echo "  sudo apt-get -o DPkg::Lock::Timeout=900 install -y ${missing[*]}" >&2
    [[ ${#missing_lean[@]} -eq 0 ]] ||
        echo "  sudo apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends ${missing_lean[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# Wait for another apt or dpkg (an unattended upgrade, a parallel job) to
# finish instead of failing on its lock.
apt=(apt-get -o DPkg::Lock::Timeout=900)
"${apt[@]}" update -qq || true
[[ ${#missing[@]} -eq 0 ]] || "${apt[@]}" install -y -qq "${missing[@]}"
[[ ${#missing_lean[@]} -eq 0 ]] || "${apt[@]}" install -y -qq --no-install-recommends "${missing_lean[@]}"
