#!/usr/bin/env python3
"""Reads 16-bit mono little-endian PCM at 44100 Hz from a file and checks that
it carries a steady tone near the expected frequency: prints the loud share
and the tone's frequency, and exits 1 when the sound has gaps or the wrong
pitch. With "silent" instead of a frequency, exits 1 unless nothing loud was
recorded.  usage: tone_check.py RAW_FILE EXPECTED_HZ|silent"""
import struct
import sys

RATE = 44100
WINDOW = RATE // 20  # 50 ms

data = open(sys.argv[1], "rb").read()
silent = sys.argv[2] == "silent"
expected = 0.0 if silent else float(sys.argv[2])
samples = struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])
windows = [samples[i : i + WINDOW] for i in range(0, len(samples) - WINDOW + 1, WINDOW)]
if not windows:
    print("nothing recorded")
    sys.exit(1)
loud = [w for w in windows if max(abs(x) for x in w) > 1000]
crossings = sum(sum(1 for a, b in zip(w, w[1:]) if (a < 0) != (b < 0)) for w in loud)
frequency = crossings / 2 / (len(loud) * WINDOW / RATE) if loud else 0.0
share = len(loud) / len(windows)
print("loud %.0f%% of %d windows, %.0f Hz" % (100 * share, len(windows), frequency))
if silent:
    ok = not loud
else:
    ok = share >= 0.95 and abs(frequency - expected) < expected * 0.05
sys.exit(0 if ok else 1)
