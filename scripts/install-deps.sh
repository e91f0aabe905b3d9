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
    pulseaudio pulseaudio-utils sox python3
    trayer picom wmctrl dbus-daemon dbus-bin
    haskell-status-notifier-item-utils haskell-gtk-sni-tray-utils
    playerctl desktop-file-utils weston xwayland
    pipewire pipewire-pulse wireplumber libglib2.0-bin systemd
)

packages=("${run_packages[@]}")
[[ $set_name == test ]] && packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -ne 0 ]]; then
    echo "Ostrel needs these Debian packages; install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq || true
apt-get install -y -qq "${missing[@]}"
