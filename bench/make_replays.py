#!/usr/bin/env python3
"""Writes COUNT different replay files into DIR, made from the golden replays: each is a
golden game whose recorded input stops early (the rest of the game plays with no input),
so every file is a whole game with a result of its own. The files get modification times
a few hours apart, the first one newest.

usage: make_replays.py DIR COUNT [--bad K]   (--bad: also K files the game cannot use)
"""
import os
import struct
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
data = os.path.join(here, "..", "tests", "data")
goldens = ["autoplay", "zero", "wander", "boost", "hunter"]


def entries(name):
    with open(os.path.join(data, name + ".rep"), "rb") as f:
        raw = f.read()
    (n,) = struct.unpack("<i", raw[:4])
    return raw[4 : 4 + n + 1]


def main():
    out, count = sys.argv[1], int(sys.argv[2])
    bad = int(sys.argv[sys.argv.index("--bad") + 1]) if "--bad" in sys.argv else 0
    os.makedirs(out, exist_ok=True)
    inputs = [entries(g) for g in goldens]
    rounds = count // len(goldens) + 1
    now = time.time()
    for i in range(count):
        g = i % len(goldens)
        full = inputs[g]
        k = i // len(goldens)
        # Round 0 keeps the whole game; later rounds cut the input shorter and shorter.
        cut = len(full) - 1 - (len(full) - 2) * k // rounds
        body = full[:cut] + b"\0"
        name = "%s-%04d.rep" % (goldens[g], i)
        path = os.path.join(out, name)
        with open(path, "wb") as f:
            f.write(struct.pack("<i", len(body) - 1) + body)
        t = now - i * 3 * 3600
        os.utime(path, (t, t))
    for j in range(bad):
        path = os.path.join(out, "broken-%02d.rep" % j)
        with open(path, "wb") as f:
            f.write(b"\x01\0\0" if j % 2 == 0 else struct.pack("<i", 30000) + b"\0" * 16)
        t = now - (count + j) * 3 * 3600
        os.utime(path, (t, t))


main()
