#!/usr/bin/env python3
"""Writes the golden replays: fixed input patterns, each a replay file as the game
writes it (a 32-bit little-endian count N, then N + 1 input bytes, the last one 0).
The counts are the frames the games really last, so each file is what a live game
with that input would have saved."""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "model"))
from make_replays import BOMB, DOWN, LEFT, RIGHT, UP, write  # noqa: E402


def zero():
    return [0] * 30000


def wander():
    """Sweeps round the lower half, a bomb every 1500 frames."""
    out = []
    for t in range(30000):
        b = [UP, RIGHT, DOWN, LEFT][(t // 90) % 4]
        if t % 1500 == 700:
            b |= BOMB
        out.append(b)
    return out


def boost():
    """Taps opposite directions for the speed boost, drifts off screen now and then."""
    rng = random.Random(7)
    out = []
    t = 0
    while t < 30000:
        kind = rng.choice(["tap", "drift", "still", "offscreen"])
        if kind == "tap":
            a, b = rng.choice([(UP, DOWN), (LEFT, RIGHT)])
            out += [a, 0, b, 0] + [a | b] * rng.randint(10, 40)
        elif kind == "drift":
            d = rng.choice([UP, DOWN, LEFT, RIGHT, UP | LEFT, DOWN | RIGHT])
            out += [d] * rng.randint(20, 80)
        elif kind == "offscreen":
            d = rng.choice([LEFT, RIGHT, UP])
            out += [d] * 150 + [0] * 40 + [d ^ (LEFT | RIGHT) if d != UP else DOWN] * 150
        else:
            out += [0] * rng.randint(10, 60)
        if rng.random() < 0.08:
            out.append(BOMB)
        t = len(out)
    return out[:30000]


def hunter():
    """Random short moves with frequent bombs: many contacts, misses and level-ups."""
    rng = random.Random(42)
    out = []
    while len(out) < 30000:
        d = rng.choice([0, UP, DOWN, LEFT, RIGHT, UP | LEFT, UP | RIGHT, DOWN | LEFT, DOWN | RIGHT])
        out += [d] * rng.randint(3, 25)
        if rng.random() < 0.03:
            out[-1] |= BOMB
    return out[:30000]


PATTERNS = [("zero", zero), ("wander", wander), ("boost", boost), ("hunter", hunter)]

if __name__ == "__main__":
    if sys.argv[1:] == ["--names"]:
        print(" ".join(name for name, _ in PATTERNS))
        sys.exit(0)
    # name=frames the game lasts, filled in by regenerate.sh; the file holds entries 0..N, the last 0
    lengths = dict(arg.split("=") for arg in sys.argv[1:])
    for name, make in PATTERNS:
        frames = int(lengths.get(name, 24401))
        write(f"{name}.rep", bytes(make()[:frames]) + b"\0")
