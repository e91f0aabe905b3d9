#!/usr/bin/python3
"""A native Wayland window that reports what reaches it, for the desktop checks.

    wayland_window.py TITLE [--maximize]

Prints one line per event, flushed at once: "mapped", "focus-in", "focus-out",
"enter", "leave", "motion X Y", "press X Y" (window coordinates), and "active"
or "inactive" as the compositor activates it (a headless seat may have no
keyboard, so no focus events). Forced onto Wayland (GDK_BACKEND=wayland),
so the compositor, not Xwayland, delivers its input.
"""
import os
import sys

os.environ["GDK_BACKEND"] = "wayland"
import gi  # noqa: E402

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402


def say(*words):
    print(*words, flush=True)


def on_state(_win, event):
    # The compositor's "activated" state of the toplevel.
    if event.changed_mask & Gdk.WindowState.FOCUSED:
        say("active" if event.new_window_state & Gdk.WindowState.FOCUSED else "inactive")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    win = Gtk.Window(title=sys.argv[1])
    win.set_default_size(400, 300)
    area = Gtk.EventBox()
    area.add_events(Gdk.EventMask.POINTER_MOTION_MASK | Gdk.EventMask.ENTER_NOTIFY_MASK | Gdk.EventMask.LEAVE_NOTIFY_MASK)
    win.add(area)
    area.connect("enter-notify-event", lambda *_: say("enter"))
    area.connect("leave-notify-event", lambda *_: say("leave"))
    area.connect("motion-notify-event", lambda _w, e: say("motion", int(e.x), int(e.y)))
    area.connect("button-press-event", lambda _w, e: say("press", int(e.x), int(e.y)))
    win.connect("focus-in-event", lambda *_: say("focus-in"))
    win.connect("focus-out-event", lambda *_: say("focus-out"))
    win.connect("map-event", lambda *_: say("mapped"))
    win.connect("window-state-event", on_state)
    win.connect("destroy", Gtk.main_quit)
    if "--maximize" in sys.argv:
        win.maximize()
    win.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
