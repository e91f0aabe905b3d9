#!/usr/bin/env python3
"""Records a PulseAudio source (a sink's monitor) and stamps what it hears.

  sink_watch.py record DEVICE LOG      writes "TIME PEAK" a line per 10 ms
                                       block, TIME the wall clock (seconds)
                                       when the block arrived, until killed
  sink_watch.py silent-after T LOG     ms from T to the end of the last loud
                                       block; fails unless at least 300 ms of
                                       silence follow it
  sink_watch.py sound-after T LOG      ms from T to the first loud block
  sink_watch.py gap-after T LOG        ms from T to the first silence of at
                                       least 200 ms
  sink_watch.py loud-between A B LOG   share (0-1) of loud blocks in [A, B]
  sink_watch.py peak-between A B LOG   the median peak of the blocks in [A, B]
  sink_watch.py level-after T PEAK LOG ms from T to the first of ten blocks
                                       in a row that peak within 10 % of PEAK
  sink_watch.py ahead T POSITIONS LOG  the most a reported position ran ahead
                                       of what was heard since the first loud
                                       block after T, in ms; POSITIONS holds
                                       "BEFORE AFTER POSITION_MS" lines, the
                                       wall clock around each reading

Arrival times include the monitor's own delay, so the figures are upper
bounds of what a listener would notice."""
import signal
import subprocess
import sys
import time

RATE = 44100
BLOCK = RATE // 100
LOUD = 1000


def record(device, path):
    proc = subprocess.Popen(
        ["parec", "--device=" + device, "--format=s16le", "--rate=%d" % RATE, "--channels=1",
         "--latency-msec=10"], stdout=subprocess.PIPE)
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))
    out = open(path, "w", buffering=1)
    pending = b""
    while not stop:
        try:
            data = proc.stdout.read1(BLOCK * 2)
        except InterruptedError:
            continue
        if not data:
            break
        now = time.time()
        pending += data
        blocks = len(pending) // (BLOCK * 2)
        for i in range(blocks):
            chunk = memoryview(pending)[i * BLOCK * 2:(i + 1) * BLOCK * 2].cast("h")
            peak = max(max(chunk), -min(chunk))
            # Earlier blocks of one read arrived together; space them out.
            out.write("%.4f %d\n" % (now - (blocks - 1 - i) * BLOCK / RATE, peak))
        pending = pending[blocks * BLOCK * 2:]
    proc.terminate()
    proc.wait()


def load(path):
    rows = []
    for line in open(path):
        parts = line.split()
        if len(parts) == 2:
            rows.append((float(parts[0]), int(parts[1]) > LOUD))
    return rows


def load_peaks(path):
    rows = []
    for line in open(path):
        parts = line.split()
        if len(parts) == 2:
            rows.append((float(parts[0]), int(parts[1])))
    return rows


def ahead(start, positions, path):
    """A block is stamped when it arrived, at the end of its 10 ms: the sound
    began at most a block before. A reading was taken somewhere between its
    two stamps; it is set against the later one, the most that can have been
    heard by then."""
    onset = next((t for t, loud in load(path) if t >= start and loud), None)
    if onset is None:
        print("nothing heard")
        return 1
    onset -= BLOCK / RATE
    worst = None
    for line in open(positions):
        parts = line.split()
        if len(parts) != 3:
            continue
        after, position = float(parts[1]), int(parts[2])
        heard = max(0.0, (after - onset) * 1000)
        worst = position - heard if worst is None else max(worst, position - heard)
    if worst is None:
        print("no readings")
        return 1
    print("%.0f" % worst)
    return 0


def main():
    cmd = sys.argv[1]
    if cmd == "record":
        record(sys.argv[2], sys.argv[3])
        return 0
    if cmd == "loud-between":
        a, b = float(sys.argv[2]), float(sys.argv[3])
        rows = [loud for t, loud in load(sys.argv[4]) if a <= t <= b]
        share = sum(rows) / len(rows) if rows else 0.0
        print("%.2f" % share)
        return 0 if rows else 1
    if cmd == "peak-between":
        a, b = float(sys.argv[2]), float(sys.argv[3])
        peaks = sorted(peak for t, peak in load_peaks(sys.argv[4]) if a <= t <= b)
        if not peaks:
            return 1
        print(peaks[len(peaks) // 2])
        return 0
    if cmd == "level-after":
        start, want = float(sys.argv[2]), int(sys.argv[3])
        run = 0
        for t, peak in load_peaks(sys.argv[4]):
            if t < start:
                continue
            run = run + 1 if abs(peak - want) <= want / 10 else 0
            if run == 10:
                print("%.0f" % ((t - 0.09 - start) * 1000))
                return 0
        print("never")
        return 1
    if cmd == "ahead":
        return ahead(float(sys.argv[2]), sys.argv[3], sys.argv[4])
    start = float(sys.argv[2])
    rows = [(t, loud) for t, loud in load(sys.argv[3]) if t >= start]
    if cmd == "sound-after":
        for t, loud in rows:
            if loud:
                print("%.0f" % ((t - start) * 1000))
                return 0
        print("never")
        return 1
    if cmd == "gap-after":
        quiet_since = None
        for t, loud in rows:
            if loud:
                quiet_since = None
            elif quiet_since is None:
                quiet_since = t
            elif t - quiet_since >= 0.2:
                print("%.0f" % max(0.0, (quiet_since - start) * 1000))
                return 0
        print("no gap")
        return 1
    if cmd == "silent-after":
        last = start
        for t, loud in rows:
            if loud:
                last = t
        if not rows or rows[-1][0] - last < 0.3:
            print("still sounding")
            return 1
        print("%.0f" % ((last - start) * 1000))
        return 0
    print(__doc__)
    return 2


sys.exit(main())
