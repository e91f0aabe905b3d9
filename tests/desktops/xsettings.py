#!/usr/bin/env python3
"""Prints the XSETTINGS of screen 0 of $DISPLAY, one "Name value" a line.

The manager owns the selection _XSETTINGS_S0; its window carries the
settings in _XSETTINGS_SETTINGS. With no manager it prints nothing and
exits 1. Colours print as r,g,b,a.
"""
import ctypes
import ctypes.util
import struct
import sys

xlib = ctypes.CDLL(ctypes.util.find_library("X11"))
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XInternAtom.restype = ctypes.c_ulong
xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
xlib.XGetSelectionOwner.restype = ctypes.c_ulong
xlib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
xlib.XGetWindowProperty.argtypes = [
    ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
    ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
    ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
xlib.XFree.argtypes = [ctypes.c_void_p]


def read_property(display, window, name):
    atom = xlib.XInternAtom(display, name, False)
    kind, fmt = ctypes.c_ulong(), ctypes.c_int()
    count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
    if xlib.XGetWindowProperty(display, window, atom, 0, 1 << 20, False, 0, ctypes.byref(kind), ctypes.byref(fmt),
                               ctypes.byref(count), ctypes.byref(after), ctypes.byref(data)) != 0 or not data:
        return None
    raw = ctypes.string_at(data, count.value) if fmt.value == 8 else None
    xlib.XFree(data)
    return raw


def parse(raw):
    """(name, value) pairs of an _XSETTINGS_SETTINGS property; ValueError if it is cut short or malformed."""
    pos = 0

    def take(size):
        nonlocal pos
        if pos + size > len(raw):
            raise ValueError(f"the property ends at byte {len(raw)}, inside a field at {pos}")
        pos += size
        return raw[pos - size:pos]

    def pad(size):
        return (size + 3) & ~3

    order = ">" if take(4)[0] else "<"
    _serial, count = struct.unpack(order + "II", take(8))
    out = []
    for _ in range(count):
        kind, name_len = struct.unpack(order + "BxH", take(4))
        name = take(pad(name_len))[:name_len].decode("utf-8", "replace")
        take(4)  # the serial of its last change
        if kind == 0:
            (value,) = struct.unpack(order + "i", take(4))
        elif kind == 1:
            (length,) = struct.unpack(order + "I", take(4))
            value = '"' + take(pad(length))[:length].decode("utf-8", "replace") + '"'
        elif kind == 2:
            red, blue, green, alpha = struct.unpack(order + "HHHH", take(8))
            value = f"{red},{green},{blue},{alpha}"
        else:
            raise ValueError(f"setting {name} has unknown type {kind}")
        out.append((name, value))
    return out


def main():
    display = xlib.XOpenDisplay(None)
    if not display:
        sys.exit("cannot open the display")
    owner = xlib.XGetSelectionOwner(display, xlib.XInternAtom(display, b"_XSETTINGS_S0", False))
    if not owner:
        print("no XSETTINGS manager", file=sys.stderr)
        return 1
    raw = read_property(display, owner, b"_XSETTINGS_SETTINGS")
    if raw is None:
        print(f"the manager 0x{owner:x} has no _XSETTINGS_SETTINGS", file=sys.stderr)
        return 1
    for name, value in sorted(parse(raw)):
        print(name, value)
    return 0


if __name__ == "__main__":
    sys.exit(main())
