#!/usr/bin/env python3
"""Writes the replay files that the model comparison plays, from fixed seeds, so the same
files come out on every run:

    make_replays.py OUTDIR [NAME...]

zero       no input at all (the ship sits where it flies in)
wander     held directions of random length, a bomb every few hundred frames
taps       quick taps of opposite directions (the speed boost) while moving about
hunter     steers under the nearest enemy and gets hit (misses, re-entries, chains reset)
offscreen  leaves the screen over every edge and corner and comes back (the off-screen marker)
pilot      dodges bullets and lasers, bombs when cornered, to live long and see the bosses
pilot2     the same player with another seed; it lives into the last boss's ring phase
farout     runs right with the boost until the ship's x wraps round, then far upward
oddbytes   3000 frames of random bytes (high bits, bombs), garbage after the last entry
fullbuffer input in all 25001 entries, also after the end of the game (compare with --until)

The last three read the world while they play, through the model, so the ship goes where the
game's state says.
"""
import os
import random
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import tolvane_model as model  # noqa: E402

FRAMES = 24401          # the count N of a full-length game
UP, DOWN, LEFT, RIGHT, BOMB = 1, 2, 4, 8, 16
ENEMY_KINDS = {1, 3, 5, 6, 7, 11, 12, 14, 16, 17}


def write(path, data):
    """data: the N + 1 input bytes, or (bytes, trailing) with bytes past entry N to append."""
    trailing = b''
    if isinstance(data, tuple):
        data, trailing = data
    n = len(data) - 1
    with open(path, 'wb') as fh:
        fh.write(struct.pack('<i', n) + bytes(data) + bytes(trailing))


def steer(dx, dy, dead=2):
    b = 0
    if dx > dead:
        b |= RIGHT
    elif dx < -dead:
        b |= LEFT
    if dy > dead:
        b |= DOWN
    elif dy < -dead:
        b |= UP
    return b


def zero():
    return bytearray(FRAMES + 1)


def wander():
    rng = random.Random(1)
    data = bytearray(FRAMES + 1)
    dirs = [0, UP, DOWN, LEFT, RIGHT, UP | LEFT, UP | RIGHT, DOWN | LEFT, DOWN | RIGHT, UP | DOWN]
    f = 0
    next_bomb = rng.randint(200, 500)
    while f < FRAMES:
        d = rng.choice(dirs)
        for _ in range(rng.randint(3, 60)):
            if f >= FRAMES:
                break
            data[f] = d
            f += 1
    f = next_bomb
    while f < FRAMES:
        data[f] |= BOMB
        f += rng.randint(250, 600)
    return data


def taps():
    rng = random.Random(2)
    data = bytearray(FRAMES + 1)
    f = 0
    while f < FRAMES:
        mode = rng.randrange(4)
        if mode == 0:      # left-right shaking
            for _ in range(rng.randint(2, 10)):
                for d in (LEFT, 0, RIGHT, 0):
                    for _ in range(rng.randint(1, 4)):
                        if f < FRAMES:
                            data[f] = d
                            f += 1
        elif mode == 1:    # up-down shaking while drifting sideways
            side = rng.choice((0, LEFT, RIGHT))
            for _ in range(rng.randint(2, 10)):
                for d in (UP, side, DOWN, side):
                    for _ in range(rng.randint(1, 3)):
                        if f < FRAMES:
                            data[f] = d
                            f += 1
        elif mode == 2:    # a boosted run: a tap each way, then hold a direction
            for d in (rng.choice((UP, DOWN)), 0, 0):
                if f < FRAMES:
                    data[f] = d
                    f += 1
            hold = rng.choice((LEFT, RIGHT, UP, DOWN))
            opp = {LEFT: RIGHT, RIGHT: LEFT, UP: DOWN, DOWN: UP}[hold]
            if f < FRAMES:
                data[f] = opp
                f += 1
            for _ in range(rng.randint(5, 40)):
                if f < FRAMES:
                    data[f] = hold
                    f += 1
        else:              # a pause, sometimes with a bomb
            n = rng.randint(5, 80)
            if rng.random() < 0.2 and f < FRAMES:
                data[f] = BOMB
            f += n
    return data


class Driven:
    """Plays a world frame by frame while the input is chosen from its state."""

    def __init__(self):
        self.data = bytearray(model.REPLAY_SLOTS)
        self.world = model.World(self.data)

    def run(self, choose):
        w = self.world
        for f in range(FRAMES):
            if w.gameEnded:
                break
            self.data[f] = choose(w, f) & 31
            w.frame()
        return self.data[:FRAMES + 1]


def nearest_enemy(w):
    best, bd = None, None
    for i in range(w.top):
        if w.objKind[i] in ENEMY_KINDS:
            d = abs(w.objX[i] - w.shipX) + abs(w.objY[i] - w.shipY)
            if bd is None or d < bd:
                best, bd = i, d
    return best


def hunter():
    rng = random.Random(3)
    drv = Driven()
    state = {'bomb': rng.randint(300, 900)}

    def choose(w, f):
        b = 0
        if f == state['bomb']:
            b |= BOMB
            state['bomb'] += rng.randint(400, 1200)
        i = nearest_enemy(w)
        if i is None:
            return b | steer(320 - w.shipX, 400 - w.shipY)
        ty = w.objY[i] + rng.choice((30, 60, 90))
        return b | steer(w.objX[i] - w.shipX, min(ty, 470) - w.shipY)

    return drv.run(choose)


def offscreen():
    rng = random.Random(4)
    drv = Driven()
    targets = [(-60, 240), (700, 240), (320, -60), (320, 560), (-40, -40), (690, 520),
               (-100, 500), (720, -30), (-20, 240), (660, 240), (320, -20), (320, 500)]
    st = {'target': (320, 300), 'hold': 0}

    def choose(w, f):
        tx, ty = st['target']
        if abs(w.shipX - tx) <= 3 and abs(w.shipY - ty) <= 3:
            st['hold'] += 1
            if st['hold'] > st.get('stay', 0):
                st['hold'] = 0
                st['stay'] = rng.randint(10, 200)
                st['target'] = rng.choice(targets) if rng.random() < 0.6 else \
                    (rng.randint(40, 600), rng.randint(60, 440))
            # wander a little while waiting out there
            return rng.choice((0, 0, 0, UP, DOWN, LEFT, RIGHT))
        return steer(tx - w.shipX, ty - w.shipY)

    return drv.run(choose)


def pilot(seed=5, horizon=10, graze=2.0, crowd=100):
    """A cautious player: picks the move whose next frames keep the core box away from every
    object's predicted hitbox, grazes bullets with the barrier, dives into them while a bomb
    or a level-up burst shields the core, and bombs when cornered or crowded."""
    rng = random.Random(seed)
    drv = Driven()
    moves = [0, UP, DOWN, LEFT, RIGHT, UP | LEFT, UP | RIGHT, DOWN | LEFT, DOWN | RIGHT]
    vec = {0: (0, 0), UP: (0, -1), DOWN: (0, 1), LEFT: (-1, 0), RIGHT: (1, 0)}
    mv = []
    for m in moves:
        dx = vec[m & (LEFT | RIGHT)][0] if m & (LEFT | RIGHT) else 0
        dy = vec[m & (UP | DOWN)][1] if m & (UP | DOWN) else 0
        mv.append((m, dx, dy))
    st = {'home': (320, 380), 'retarget': 0}

    def choose(w, f):
        if w.entryTimer != 0:
            return 0
        sx, sy = w.shipX, w.shipY
        kinds = w.objKind
        ox, oy, vx, vy = w.objX, w.objY, w.objVx, w.objVy
        hl, hr, ht, hb = w.objHitLeft, w.objHitRight, w.objHitTop, w.objHitBottom
        threats = []
        lasers = []
        bullets = []
        for i in range(w.top):
            k = kinds[i]
            if k == 0 or k in (8, 9, 10):
                continue
            x, y = ox[i], oy[i]
            if k in (2, 4, 15):
                if abs(x - sx) > 160 or abs(y - sy) > 160:
                    continue
                bullets.append((x, y))
                if abs(x - sx) > 70 or abs(y - sy) > 70:
                    continue
                threats.append((x, y, vx[i], vy[i], hl[i] - 3, hr[i] + 3, ht[i] - 3, hb[i] + 3))
            else:
                if k == 16 and w.objPhase[i] == 2 and w.objParamC[i] != 0:
                    lasers.append(w.objParamB[i])
                if k == 17 and w.objPhase[i] == 5 and w.objParamB[i] != 0:
                    lasers.append(w.objParamC[i])
                if k == 12 and w.objPhase[i] in (1, 2):
                    lasers.append(x)
                if abs(x - sx) > 200 or abs(y - sy) > 200:
                    continue
                threats.append((x, y, 0.0, 0.0, hl[i] - 8, hr[i] + 8, ht[i] - 8, hb[i] + 8))
        protected = w.bombTimer > 2 or w.burstTimer > 4
        # frames in which the core is still shielded by a bomb or a level-up burst
        safe = max(w.bombTimer - 1, w.burstTimer // 2 - 1)
        if safe > 0 and bullets:
            # shielded: head for the bullets to collect them
            hx = sum(b[0] for b in bullets) / len(bullets)
            hy = sum(b[1] for b in bullets) / len(bullets)
            st['home'] = (hx, hy)
            st['retarget'] = f + 30
        if st['retarget'] <= f:
            st['retarget'] = f + rng.randint(60, 240)
            st['home'] = (rng.randint(120, 520), rng.randint(300, 430))
        hx, hy = st['home']
        best, best_score = 0, None
        step = 3 + w.shakeBoost
        worst_all = True
        for m, dx, dy in mv:
            danger = 0.0
            px, py = sx, sy
            for t in range(1, horizon + 1):
                px += dx * step
                py += dy * step
                if t <= safe:
                    continue
                for (x, y, ux, uy, l, r, tp, bt) in threats:
                    qx = x + ux * t
                    qy = y + uy * t
                    if px + 3 >= qx + l and px - 2 <= qx + r and py + 3 >= qy + tp and py - 2 <= qy + bt:
                        danger += 100.0 / t
                for lx in lasers:
                    if abs(px - lx) < 30:
                        danger += 30.0 / t
            if px < 16 or px > 624 or py < 40 or py > 464:
                danger += 50
            # grazing: bullets that the barrier touches after the first step pay
            gx, gy = sx + dx * step, sy + dy * step
            h = (w.shakeBoost + 2) * 12
            for (x, y, ux, uy, l, r, tp, bt) in threats:
                qx, qy = x + ux, y + uy
                if gx + h >= qx + l and gx - h <= qx + r and gy + h >= qy + tp and gy - h <= qy + bt:
                    danger -= graze
            if danger < 100 / 3:
                worst_all = False
            score = danger + (0.2 if safe > 0 else 0.02) * (abs(px - hx) + abs(py - hy))
            if best_score is None or score < best_score:
                best, best_score = m, score
        if ((worst_all or len(bullets) >= crowd) and not protected and w.bombStock > 0 and
                w.bombTimer == 0):
            best |= BOMB
        return best

    return drv.run(choose)


def farout():
    """Holds right for the whole game while tapping up and down for the boost, so the ship's
    16-bit x runs past 32767 and wraps round (the game times out before the last 12400
    frames, which turn upward, are played)."""
    data = bytearray(FRAMES + 1)
    for f in range(FRAMES):
        b = RIGHT if f < 12000 else UP
        phase = f % 16
        if phase == 0:
            b |= UP if b != UP else LEFT
        elif phase == 8:
            b |= DOWN if b != UP else RIGHT
        data[f] = b
    return data


def oddbytes():
    """A short file of random bytes, with the unused high bits and bomb presses in them, and
    garbage after entry N; past N the game plays on with no input."""
    rng = random.Random(6)
    n = 3000
    data = bytearray(rng.randrange(256) if rng.random() < 0.3 else rng.choice((0, 1, 2, 4, 8, 5, 10))
                     for _ in range(n + 1))
    trailing = bytes(rng.randrange(256) for _ in range(100))
    return data, trailing


def fullbuffer():
    """All 25001 entries used: random taps and holds to the very last entry, so the frames
    after the end of the game still carry input (the tap windows and the boost go on)."""
    rng = random.Random(7)
    data = bytearray(25001)
    f = 0
    while f < len(data):
        d = rng.choice((0, UP, DOWN, LEFT, RIGHT, UP | DOWN, LEFT | RIGHT, BOMB))
        for _ in range(rng.randint(1, 12)):
            if f < len(data):
                data[f] = d if d != BOMB or rng.random() < 0.3 else 0
                f += 1
    data[-1] = 0
    return data


MAKERS = {'zero': zero, 'wander': wander, 'taps': taps, 'hunter': hunter, 'offscreen': offscreen,
          'pilot': pilot, 'farout': farout, 'oddbytes': oddbytes,
          'fullbuffer': fullbuffer,
          'pilot2': lambda: pilot(seed=9)}


def main(argv):
    if len(argv) < 2:
        sys.stderr.write('usage: make_replays.py OUTDIR [NAME...]\n')
        return 1
    out = argv[1]
    names = argv[2:] or list(MAKERS)
    os.makedirs(out, exist_ok=True)
    for name in names:
        if name not in MAKERS:
            sys.stderr.write('unknown replay %s (known: %s)\n' % (name, ' '.join(MAKERS)))
            return 1
        write(os.path.join(out, name + '.rep'), MAKERS[name]())
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
