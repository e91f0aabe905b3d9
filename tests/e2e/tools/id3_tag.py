#!/usr/bin/env python3
"""Writes a copy of an audio file with an ID3v2.3 tag in front of it, holding
the text frames given as FRAME=ENCODING:TEXT, where ENCODING is latin1, gbk
(encoding 0 bytes in code page 936), utf16 (encoding 1, with a byte-order
mark) or utf8 (encoding 3).
usage: id3_tag.py SOURCE DEST [FRAME=ENCODING:TEXT ...]"""
import sys

ENCODINGS = {
    "latin1": (0, lambda t: t.encode("latin-1")),
    "gbk": (0, lambda t: t.encode("gbk")),
    "utf16": (1, lambda t: b"\xff\xfe" + t.encode("utf-16-le")),
    "utf8": (3, lambda t: t.encode("utf-8")),
}


def frame(argument):
    name, rest = argument.split("=", 1)
    encoding, text = rest.split(":", 1)
    code, encode = ENCODINGS[encoding]
    body = bytes([code]) + encode(text)
    return name.encode("ascii") + len(body).to_bytes(4, "big") + b"\0\0" + body


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


source, dest, arguments = sys.argv[1], sys.argv[2], sys.argv[3:]
frames = b"".join(frame(a) for a in arguments) + b"\0" * 64  # some padding, as taggers leave
audio = open(source, "rb").read()
with open(dest, "wb") as out:
    out.write(b"ID3\x03\x00\x00" + synchsafe(len(frames)) + frames + audio)
