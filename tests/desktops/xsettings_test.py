#!/usr/bin/env python3
"""The XSETTINGS decoding of xsettings.py, on properties built here by hand."""
import os
import struct
import sys
import unittest

sys.dont_write_bytecode = True  # nothing left in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsettings  # noqa: E402  (next to this file, not installed)


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def setting(order, kind, name, value):
    head = struct.pack(order + "BxH", kind, len(name)) + padded(name) + struct.pack(order + "I", 7)
    if kind == 0:
        return head + struct.pack(order + "i", value)
    if kind == 1:
        return head + struct.pack(order + "I", len(value)) + padded(value)
    return head + struct.pack(order + "HHHH", *value)


def prop(order, *settings):
    return bytes([order == ">"]) + b"\0\0\0" + struct.pack(order + "II", 3, len(settings)) + b"".join(settings)


class Parse(unittest.TestCase):
    def test_values_in_both_byte_orders(self):
        # (type, name, value as stored, value as printed); names and strings of every length mod 4
        cases = [
            (0, b"Xft/DPI", 196608, 196608),
            (0, b"Gdk/WindowScalingFactor", 2, 2),
            (0, b"Gtk/RecentFilesMaxAge", -1, -1),
            (1, b"Net/ThemeName", b"Adwaita", '"Adwaita"'),
            (1, b"Gtk/ColorScheme", b"", '""'),
            (1, b"Xft/RGBA", b"rgba", '"rgba"'),
            (1, b"Gtk/FontName", b"Noto Sans,  10", '"Noto Sans,  10"'),
            (2, b"Gtk/Colour", (65535, 0, 32768, 65535), "65535,32768,0,65535"),  # stored red, blue, green, alpha
        ]
        for order in "<>":
            raw = prop(order, *(setting(order, kind, name, stored) for kind, name, stored, _ in cases))
            with self.subTest(order=order):
                self.assertEqual(xsettings.parse(raw), [(name.decode(), shown) for _, name, _, shown in cases])

    def test_no_settings(self):
        self.assertEqual(xsettings.parse(prop("<")), [])

    def test_bad_properties_raise(self):
        whole = prop("<", setting("<", 1, b"Net/ThemeName", b"Adwaita"))
        unknown = bytearray(prop("<", setting("<", 0, b"Xft/DPI", 1)))
        unknown[12] = 5  # the first setting's type
        cases = [
            ("cut in a string", whole[:-4]),
            ("cut in a name", whole[:20]),
            ("cut in the header", whole[:8]),
            ("more settings counted than held", b"\0\0\0\0" + struct.pack("<II", 3, 2) + setting("<", 0, b"Xft/DPI", 1)),
            ("unknown type", bytes(unknown)),
        ]
        for name, raw in cases:
            with self.subTest(name):
                self.assertRaises(ValueError, xsettings.parse, raw)


if __name__ == "__main__":
    unittest.main()
