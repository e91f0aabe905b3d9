#!/bin/bash
# gnome-pointer.sh DIR X Y [move|press|release|click|double] [left|middle|right|side]: real pointer input in GNOME Shell.
# Moves a Clutter virtual pointer to stage coordinates (X, Y) and optionally presses/releases a button,
# through org.gnome.Shell.Eval (unsafe mode from the e2e-harness extension). The events go through the
# compositor exactly like a mouse: focus, stacking, shapes and Xwayland delivery all apply.
# Stage coordinates equal X root coordinates on the single virtual monitor.
set -euo pipefail
KIT=$(cd "$(dirname "$0")" && pwd)
. "$KIT/common.sh"
DIR=$(kit_dir "${1:-}")
[ $# -ge 3 ] || kit_die "usage: gnome-pointer.sh DIR X Y [move|press|release|click|double] [left|middle|right|side]"
x=$2 y=$3 act=${4:-click} btn=${5:-left}
[[ $x =~ ^-?[0-9]+$ && $y =~ ^-?[0-9]+$ ]] || kit_die "X and Y must be integers"
case $act in move|press|release|click|double) ;; *) kit_die "unknown action $act" ;; esac
# side: the first extra button (BTN_SIDE, X button 8), which mutter numbers 8 too.
case $btn in left) b=Clutter.BUTTON_PRIMARY ;; middle) b=Clutter.BUTTON_MIDDLE ;; right) b=Clutter.BUTTON_SECONDARY ;; side) b=8 ;; *) kit_die "unknown button $btn" ;; esac
kit_load_env
# A double click as a hand makes it: two clicks 150 ms apart, each delivered on its own.
if [ "$act" = double ]; then
    "$0" "$1" "$x" "$y" click "$btn" && sleep 0.15 && exec "$0" "$1" "$x" "$y" click "$btn"
fi
# One virtual device per shell, kept on `global` so repeated calls move the same pointer.
js="
const Clutter = imports.gi.Clutter; const GLib = imports.gi.GLib;
if (!global._e2ePointer)
    global._e2ePointer = Clutter.get_default_backend().get_default_seat()
        .create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
const d = global._e2ePointer, t = GLib.get_monotonic_time(), act = '$act';
d.notify_absolute_motion(t, $x, $y);
if (act == 'press' || act == 'click') d.notify_button(t + 1000, $b, Clutter.ButtonState.PRESSED);
if (act == 'release' || act == 'click') d.notify_button(t + 2000, $b, Clutter.ButtonState.RELEASED);
'ok'"
out=$(gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell --method org.gnome.Shell.Eval "$js")
case $out in "(true, "*) ;; *) kit_die "Eval failed: $out" ;; esac
