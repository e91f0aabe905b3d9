"""A hostile client's calls to the player over the session bus.

    huge_call.py uri BYTES     OpenUri with a string of BYTES bytes
    huge_call.py menu IDS      the tray menu's GetGroupProperties with IDS ids

Prints the D-Bus error name the player answered with, or "ok".
"""
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PLAYER = "org.mpris.MediaPlayer2.ostrel"


def call(path, interface, method, args):
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    try:
        bus.call_sync(PLAYER, path, interface, method, args, None, Gio.DBusCallFlags.NONE, 60000, None)
        return "ok"
    except GLib.Error as error:
        return Gio.DBusError.get_remote_error(error) or error.message


what, count = sys.argv[1], int(sys.argv[2])
if what == "uri":
    print(call("/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Player", "OpenUri",
               GLib.Variant("(s)", ("a" * count,))))
else:
    print(call("/MenuBar", "com.canonical.dbusmenu", "GetGroupProperties",
               GLib.Variant("(aias)", ([7] * count, []))))
