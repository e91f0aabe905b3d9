#!/usr/bin/python3
"""A native Wayland window that reports what reaches it, for the desktop checks.

    wayland_window.py TITLE [--maximize]

Prints one line per event, flushed at once: "mapped", "focus-in", "focus-out",
"press X Y" (window coordinates). Forced onto Wayland (GDK_BACKEND=wayland),
so the compositor, not Xwayland, delivers its input.
"""
import os
import sys

os.environ["GDK_BACKEND"] = "wayland"
import gi  # noqa: E402

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402


def say(*words):
    print(*words, flush=True)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    win = Gtk.Window(title=sys.argv[1])
    win.set_default_size(400, 300)
    area = Gtk.EventBox()
    win.add(area)
    area.connect("button-press-event", lambda _w, e: say("press", int(e.x), int(e.y)))
    win.connect("focus-in-event", lambda *_: say("focus-in"))
    win.connect("focus-out-event", lambda *_: say("focus-out"))
    win.connect("map-event", lambda *_: say("mapped"))
    win.connect("destroy", Gtk.main_quit)
    if "--maximize" in sys.argv:
        win.maximize()
    win.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
