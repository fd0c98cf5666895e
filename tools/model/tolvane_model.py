#!/usr/bin/env python3
"""A second, independent model of Tolvane's world simulation, written from the game's
written rules alone, used to check the C++ game frame by frame.

It plays a replay file back the way the game does (playback mode, no pictures, no sound),
keeping every change of state and every random draw, and prints the same reports as
tolvane-replay:

    tolvane_model.py verify FILE
    tolvane_model.py trace FILE [--objects] [--every K] [--until F]

Arithmetic follows the game's rules for its world: integers wrap to their declared width on
every store, positions and velocities are 32-bit floats (rounded on every store), arithmetic
in between is double precision, reals stored into integers round half to even, Int() rounds
down, mod keeps the dividend's sign, degrees become radians as (a * 3.14) / 180.
"""
import math
import struct
import sys
from array import array

# ----------------------------------------------------------------------------- arithmetic

_F32 = struct.Struct('<f')


def f32(x):
    """x rounded to a 32-bit float (overflow gives an infinity, as a C cast does)."""
    try:
        return _F32.unpack(_F32.pack(x))[0]
    except OverflowError:
        return math.copysign(math.inf, x)


def w8(v):
    return v & 0xFF


def w16(v):
    return ((v + 0x8000) & 0xFFFF) - 0x8000


def w32(v):
    return ((v + 0x80000000) & 0xFFFFFFFF) - 0x80000000


def rnd(x):
    """A real taken to the nearest integer, ties to even."""
    return round(x)


def imod(a, b):
    """Remainder of integers with the sign of the dividend."""
    r = abs(a) % abs(b)
    return -r if a < 0 else r


_sin = math.sin
_cos = math.cos
_atan = math.atan
_floor = math.floor


def rad(a):
    return (a * 3.14) / 180


# ----------------------------------------------------------------------------- random numbers

_M64 = 0xFFFFFFFFFFFFFFFF
_MULT = 6364136223846793005


class Pcg32:
    """PCG32 (XSH-RR), seeded as pcg32_srandom_r(rng, 0, 0)."""

    def __init__(self):
        self.state = 0
        self.inc = 1
        self.next()
        self.state = (self.state + 0) & _M64
        self.next()

    def next(self):
        old = self.state
        self.state = (old * _MULT + self.inc) & _M64
        xs = (((old >> 18) ^ old) >> 27) & 0xFFFFFFFF
        rot = old >> 59
        return ((xs >> rot) | (xs << ((-rot) & 31))) & 0xFFFFFFFF

    def draw(self):
        return (self.next() >> 8) * (1.0 / 16777216.0)


# ----------------------------------------------------------------------------- tables

OBJ_SLOTS = 2025
STAR_SLOTS = 151
SPARK_SLOTS = 21
REPLAY_SLOTS = 25001

# kind: (cellX, cellY, width, height, hitLeft, hitRight, hitTop, hitBottom)
PRESETS = {
    1: (0, 12, 48, 48, -18, 18, -18, 18),
    2: (0, 0, 12, 12, -1, 2, -1, 2),
    3: (48, 0, 160, 96, -70, 70, -40, 40),
    4: (0, 96, 16, 16, -1, 2, -1, 2),
    5: (0, 240, 80, 160, -30, 30, -75, 75),
    6: (0, 12, 48, 48, -18, 18, -18, 18),
    7: (208, 0, 48, 64, -12, 12, -28, 28),
    8: (0, 0, 0, 0, 0, 0, 0, 0),
    9: (0, 0, 0, 0, 0, 0, 0, 0),
    10: (0, 0, 0, 0, 0, 0, 0, 0),
    11: (80, 240, 160, 240, -70, 70, -120, 120),
    12: (240, 240, 80, 160, -30, 30, -70, 70),
    13: (240, 400, 32, 32, -16, 16, -16, 16),
    14: (272, 400, 160, 80, -80, 80, -40, 40),
    15: (240, 432, 32, 32, -8, 8, -8, 8),
    16: (256, 0, 240, 96, -100, 100, -40, 40),
    17: (0, 400, 80, 80, -30, 30, -30, 30),
}


def stage_script_entries():
    """The 94 entries in the order they are appended: (time, kind, x, y)."""
    e = []
    add = lambda t, k, pts: e.extend((t, k, x, y) for x, y in pts)
    add(1, 9, [(5, 0)])
    add(250, 3, [(320, -96)])
    add(400, 5, [(260, -128), (380, -128), (140, -96), (500, -96)])
    add(1050, 1, [(320, -160), (200, -128), (440, -128), (80, -96), (560, -96)])
    for t in (1600, 1610, 1620, 1630, 1640):
        add(t, 6, [(670, 180)])
    add(1800, 7, [(440, -96)])
    add(1900, 7, [(200, -96)])
    for t in (2400, 2410, 2420, 2430, 2440):
        add(t, 6, [(-30, 180)])
    add(2600, 7, [(440, -96)])
    add(2700, 7, [(200, -96)])
    add(3200, 3, [(160, -96), (480, -96)])
    add(3700, 11, [(320, -240)])
    add(5250, 10, [(6, 0)])
    add(5500, 9, [(6, 0)])
    add(5900, 7, [(440, -96), (380, -96), (260, -96), (200, -96)])
    add(6200, 12, [(320, -160)])
    add(6350, 1, [(200, -128), (440, -128), (80, -96), (560, -96)])
    add(6900, 1, [(200, -128), (440, -128), (80, -96), (560, -96)])
    add(6950, 12, [(320, -160)])
    add(7200, 5, [(260, -128), (380, -128), (140, -96), (500, -96)])
    for t in (7900, 7910, 7920, 7930, 7940):
        add(t, 6, [(-30, 180)])
    for t in (7900, 7910, 7920, 7930, 7940):
        add(t, 6, [(670, 180)])
    add(8150, 14, [(-100, 200), (740, 200)])
    add(8300, 1, [(320, -160), (200, -128), (440, -128), (80, -96), (560, -96)])
    add(8850, 14, [(-100, 200), (740, 200)])
    add(9000, 1, [(320, -160), (200, -128), (440, -128), (80, -96), (560, -96)])
    add(9550, 14, [(-100, 200), (740, 200)])
    add(9700, 1, [(320, -160), (200, -128), (440, -128), (80, -96), (560, -96)])
    add(10000, 5, [(260, -128), (380, -128), (140, -96), (500, -96)])
    add(10600, 16, [(320, -96)])
    add(14000, 10, [(6, 0)])
    add(14250, 9, [(7, 0)])
    add(14500, 1, [(320, -160)])
    add(14650, 1, [(200, -128)])
    add(14800, 1, [(440, -128)])
    add(14950, 1, [(80, -96)])
    add(15100, 1, [(560, -96)])
    add(15600, 10, [(6, 0)])
    add(15700, 17, [(320, -96)])
    add(24400, 8, [(6, 0)])
    assert len(e) == 94
    return e


# ----------------------------------------------------------------------------- replay files

class ReplayError(Exception):
    pass


def load_replay(path):
    """The input bytes of a replay file, as a buffer of 25001 entries (the rest 0)."""
    import os
    if not os.path.exists(path):
        raise ReplayError("%s: no such file" % path)
    if os.path.isdir(path):
        raise ReplayError("%s: is a directory" % path)
    try:
        with open(path, 'rb') as fh:
            data = fh.read()
    except OSError as e:
        raise ReplayError("%s: cannot be read (%s)" % (path, e.strerror))
    if len(data) < 4:
        raise ReplayError("%s: shorter than 4 bytes" % path)
    n = struct.unpack_from('<i', data, 0)[0]
    if n < 0 or n > 25000:
        raise ReplayError("%s: frame count %d out of range" % (path, n))
    if len(data) < n + 5:
        raise ReplayError("%s: shorter than its frame count says" % path)
    buf = bytearray(REPLAY_SLOTS)
    buf[0:n + 1] = data[4:n + 5]
    return buf


# ----------------------------------------------------------------------------- the world

class World:
    def __init__(self, replay):
        # stage script: appended, then the exchange sort
        st = [0] * 10001
        sk = [0] * 10001
        sx = [0] * 10001
        sy = [0] * 10001
        count = 0
        for t, k, x, y in stage_script_entries():
            if count > 10000:
                continue
            st[count], sk[count], sx[count], sy[count] = t, k, x, y
            count += 1
        for i in range(count):
            for j in range(i + 1, count):
                if st[i] > st[j]:
                    st[i], st[j] = st[j], st[i]
                    sk[i], sk[j] = sk[j], sk[i]
                    sx[i], sx[j] = sx[j], sx[i]
                    sy[i], sy[j] = sy[j], sy[i]
        self.scriptTime, self.scriptKind, self.scriptX, self.scriptY = st, sk, sx, sy
        self.scriptCount = count
        self.scriptCursor = 0

        self.replayInput = replay
        self.replayFrame = 0
        self.replayMode = 1
        self.frameSkip = 0
        self.playbackSpeed = 0

        # objects
        self.objKind = [0] * OBJ_SLOTS
        self.objX = array('f', bytes(4 * OBJ_SLOTS))
        self.objY = array('f', bytes(4 * OBJ_SLOTS))
        self.objVx = array('f', bytes(4 * OBJ_SLOTS))
        self.objVy = array('f', bytes(4 * OBJ_SLOTS))
        self.objPhase = [0] * OBJ_SLOTS
        self.objTimer = [0] * OBJ_SLOTS
        self.objParamA = [0] * OBJ_SLOTS
        self.objParamB = [0] * OBJ_SLOTS
        self.objParamC = [0] * OBJ_SLOTS
        self.objCellX = array('f', bytes(4 * OBJ_SLOTS))
        self.objCellY = array('f', bytes(4 * OBJ_SLOTS))
        self.objWidth = array('f', bytes(4 * OBJ_SLOTS))
        self.objHeight = array('f', bytes(4 * OBJ_SLOTS))
        self.objFrameX = array('f', bytes(4 * OBJ_SLOTS))
        self.objFrameY = array('f', bytes(4 * OBJ_SLOTS))
        self.objContactWait = [0] * OBJ_SLOTS
        self.objHitLeft = [0] * OBJ_SLOTS
        self.objHitRight = [0] * OBJ_SLOTS
        self.objHitTop = [0] * OBJ_SLOTS
        self.objHitBottom = [0] * OBJ_SLOTS
        self.top = 0  # every slot at or above this index is free

        # streaks and sparks
        self.starActive = [0] * STAR_SLOTS
        self.starX = [0] * STAR_SLOTS
        self.starY = array('f', bytes(4 * STAR_SLOTS))
        self.starSpeed = 0.0
        self.sparkActive = [0] * SPARK_SLOTS
        self.sparkX = [0] * SPARK_SLOTS
        self.sparkY = [0] * SPARK_SLOTS
        self.sparkVx = array('f', bytes(4 * SPARK_SLOTS))
        self.sparkVy = array('f', bytes(4 * SPARK_SLOTS))
        self.sparkAge = [0] * SPARK_SLOTS

        # scalars
        for name in ('frameCounter', 'timeLeft', 'gameEnded', 'timeUpDone', 'hiscoreRank',
                     'inUp', 'inDown', 'inLeft', 'inRight', 'inUpPressed', 'inDownPressed',
                     'inLeftPressed', 'inRightPressed', 'inBombPressed',
                     'prevUp', 'prevDown', 'prevLeft', 'prevRight',
                     'tapWindowUp', 'tapWindowDown', 'tapWindowLeft', 'tapWindowRight', 'shakeBoost',
                     'shipX', 'shipY', 'shipCellX', 'shipCellY', 'entryTimer', 'blinkTimer',
                     'bombStock', 'bombTimer', 'aimAngle', 'score', 'chain', 'chainBase', 'maxChain',
                     'totalContacts', 'gauge', 'level', 'gaugePenalty', 'finalBonus', 'timeBonus',
                     'bombBonus', 'bombBonusTimer', 'burstTimer', 'burstToggle', 'burstRadius',
                     'shakeBoostFrame', 'wreckTimer', 'wreckX', 'wreckY', 'chainPopupX', 'chainPopupY',
                     'chainPopupTimer', 'chainPopupValue', 'levelPopupValue', 'levelPopupTimer'):
            setattr(self, name, 0)

        self.behaviour = {
            1: self.kind1, 2: self.straight, 3: self.kind3, 4: self.straight, 5: self.kind5,
            6: self.kind6, 7: self.kind7, 8: self.kind8, 9: self.kind9, 10: self.kind10,
            11: self.kind11, 12: self.kind12, 13: self.kind13, 14: self.kind14, 15: self.straight,
            16: self.kind16, 17: self.kind17,
        }
        self.new_game()

    # ------------------------------------------------------------------------- new game

    def new_game(self):
        # the burst pattern only shapes the lightning; nothing else reads it
        self.rng = Pcg32()
        self.shipX = 320
        self.shipY = 540
        self.level = 1
        self.entryTimer = 80
        self.blinkTimer = 120
        self.starSpeed = 2400.0
        self.timeLeft = 10800
        self.bombStock = 1
        self.frameCounter = 0
        self.hiscoreRank = -1

    # ------------------------------------------------------------------------- the frame

    def frame(self):
        draw = self.rng.draw
        # 1. clear; a bomb flashes in a random colour
        if self.bombTimer != 0:
            draw()
            self.bombTimer = w16(self.bombTimer - 1)
        # 2. time limit
        if self.gameEnded == 0 and self.timeLeft != 0:
            self.timeLeft = w32(self.timeLeft - 1)
        # 4. input from the replay
        rf = self.replayFrame
        b = self.replayInput[rf] if 0 <= rf < REPLAY_SLOTS else 0
        up = -1 if b & 1 else 0
        down = -1 if b & 2 else 0
        left = -1 if b & 4 else 0
        right = -1 if b & 8 else 0
        self.inUp, self.inDown, self.inLeft, self.inRight = up, down, left, right
        self.inBombPressed = -1 if b & 16 else 0
        self.inUpPressed = -1 if (up == -1 and self.prevUp == 0) else 0
        self.inDownPressed = -1 if (down == -1 and self.prevDown == 0) else 0
        self.inLeftPressed = -1 if (left == -1 and self.prevLeft == 0) else 0
        self.inRightPressed = -1 if (right == -1 and self.prevRight == 0) else 0
        self.prevUp, self.prevDown, self.prevLeft, self.prevRight = up, down, left, right
        # 5.
        self.replayFrame = w32(rf + 1)
        # 6. time out
        if self.timeLeft == 0 and self.timeUpDone == 0:
            self.spawn(8, -10.0, -10.0, 0.0, 0.0, 0)
            self.timeUpDone = 1
        # 7.
        if self.gameEnded == 0:
            self.draw_background()
        # 9.
        if self.blinkTimer > 0:
            self.blinkTimer = w16(self.blinkTimer - 1)
        # 10.
        self.update_world()
        # 11. tap windows
        if self.inUpPressed:
            self.tapWindowUp = 30
        if self.inDownPressed:
            self.tapWindowDown = 30
        if self.inLeftPressed:
            self.tapWindowLeft = 30
        if self.inRightPressed:
            self.tapWindowRight = 30
        if self.tapWindowUp != 0:
            self.tapWindowUp = w16(self.tapWindowUp - 1)
        if self.tapWindowDown != 0:
            self.tapWindowDown = w16(self.tapWindowDown - 1)
        if self.tapWindowLeft != 0:
            self.tapWindowLeft = w16(self.tapWindowLeft - 1)
        if self.tapWindowRight != 0:
            self.tapWindowRight = w16(self.tapWindowRight - 1)
        # 12.
        self.shakeBoost = 1 if ((self.tapWindowRight & self.tapWindowLeft) |
                                (self.tapWindowDown & self.tapWindowUp)) != 0 else 0
        # 13.
        if self.gameEnded == 0:
            self.draw_frame()
        # 14. the ship
        if self.entryTimer != 0:
            self.shipY = w16(self.shipY - 2)
            self.entryTimer = w16(self.entryTimer - 1)
        else:
            step = 3 + self.shakeBoost
            if self.inUp:
                self.shipY = w16(self.shipY - step)
            if self.inDown:
                self.shipY = w16(self.shipY + step)
            if self.inRight:
                self.shipX = w16(self.shipX + step)
            if self.inLeft:
                self.shipX = w16(self.shipX - step)
            if self.bombTimer == 0 and self.inBombPressed and self.bombStock != 0:
                self.bombTimer = 60
                self.bombStock = w16(self.bombStock - 1)
                n = OBJ_SLOTS - self.objKind.count(0)
                self.bombBonusTimer = 120
                self.bombBonus = w32(50 * n)
                self.score = w32(self.score + 50 * n)
            sx, sy = self.shipX, self.shipY
            if sx < -16 or sy < -16 or sx > 656 or sy > 496:
                self.aim(320.0, 240.0)  # the rest of the marker is only drawn
        # 15. star tries
        for _ in range(4):
            r = draw()
            if r * 100 > 100 - self.starSpeed:
                self.spawn_star()
        # 16. stage script
        st = self.scriptTime
        while True:
            c = self.scriptCursor
            t = st[c] if c < 10001 else 0
            if not (1 <= t <= self.frameCounter):
                break
            self.spawn(self.scriptKind[c], float(self.scriptX[c]), float(self.scriptY[c]), 0.0, 0.0, 0)
            self.scriptCursor = w16(c + 1)
        # 17.
        self.frameCounter = w32(self.frameCounter + 1)
        # keep the upper bound of used object slots tight
        ok = self.objKind
        top = self.top
        while top > 0 and ok[top - 1] == 0:
            top -= 1
        self.top = top

    # ------------------------------------------------------------------------- streaks, overlay

    def draw_background(self):
        act = self.starActive
        sy = self.starY
        d = self.starSpeed / 10
        for i in range(STAR_SLOTS):
            if act[i]:
                sy[i] = sy[i] + d
                if sy[i] > 480:
                    act[i] = 0

    def spawn_star(self):
        act = self.starActive
        for i in range(STAR_SLOTS):
            if act[i] == 0:
                act[i] = 1
                self.starX[i] = w16(rnd(640 * self.rng.draw()))
                self.starY[i] = -self.starSpeed / 10
                return

    def draw_frame(self):
        # 1. level-up burst
        if self.burstTimer != 0:
            self.burstRadius = w16(self.burstRadius + 16)
            self.burstTimer = w16(self.burstTimer - 2)
            self.burstToggle = w16(1 - self.burstToggle)
        # 2. sparks
        act = self.sparkActive
        for i in range(SPARK_SLOTS):
            if act[i]:
                self.sparkX[i] = w16(rnd(self.sparkX[i] + self.sparkVx[i]))
                self.sparkY[i] = w16(rnd(self.sparkY[i] + self.sparkVy[i]))
                self.sparkAge[i] = w16(self.sparkAge[i] + 1)
                if self.sparkAge[i] == 8:
                    act[i] = 0
        # 5. speed ring
        if self.shakeBoost != 0:
            self.shakeBoostFrame = imod(self.shakeBoostFrame + 1, 3)
        # 6. wreck
        if self.wreckTimer != 0:
            self.wreckTimer = w16(self.wreckTimer - 4)
        # 8. contact and level popups
        if self.chainPopupTimer != 0:
            self.chainPopupTimer = w16(self.chainPopupTimer - 1)
            if self.chainPopupTimer & 1:
                if self.levelPopupTimer != 0:
                    self.levelPopupTimer = w32(self.levelPopupTimer - 1)
        # 9. bomb bonus
        if self.bombBonusTimer != 0:
            self.bombBonusTimer = w16(self.bombBonusTimer - 1)

    def spawn_spark(self, x, y):
        x = f32(x)
        y = f32(y)
        act = self.sparkActive
        for i in range(SPARK_SLOTS):
            if act[i] == 0:
                act[i] = 1
                self.sparkX[i] = w16(rnd(x))
                self.sparkY[i] = w16(rnd(y))
                self.sparkVx[i] = (x - self.shipX) / 2
                self.sparkVy[i] = (y - self.shipY) / 2
                self.sparkAge[i] = 0
                return

    # ------------------------------------------------------------------------- objects

    def spawn(self, kind, x, y, vx, vy, heading):
        """Creates one object; returns the heading as spawnObject leaves it in the caller's
        variable (corrected only for kind 4 when a slot was found)."""
        if self.timeUpDone:
            return heading
        ok = self.objKind
        try:
            i = ok.index(0)
        except ValueError:
            return heading
        if i >= self.top:
            self.top = i + 1
        ok[i] = kind
        self.objFrameX[i] = 0.0
        self.objFrameY[i] = 0.0
        self.objX[i] = x
        self.objY[i] = y
        self.objVx[i] = vx
        self.objVy[i] = vy
        self.objPhase[i] = 0
        self.objTimer[i] = 0
        self.objParamA[i] = 0
        self.objParamB[i] = 0
        self.objParamC[i] = 0
        self.objContactWait[i] = 0
        p = PRESETS[kind]
        self.objCellX[i], self.objCellY[i], self.objWidth[i], self.objHeight[i] = p[0], p[1], p[2], p[3]
        self.objHitLeft[i], self.objHitRight[i], self.objHitTop[i], self.objHitBottom[i] = p[4], p[5], p[6], p[7]
        if kind == 4:
            if heading < 0:
                heading = w16(heading + 360)
            self.objFrameX[i] = imod(heading, 40) * 16
            self.objFrameY[i] = _floor(imod(heading, 360) / 40) * 16
        elif kind == 6:
            self.objTimer[i] = 280
            self.objParamA[i] = 80
            self.objParamC[i] = 1 if f32(x) > 320 else 0
        elif kind == 12:
            self.objTimer[i] = 90
        elif kind == 14:
            self.objTimer[i] = 90
            self.objParamA[i] = -1 if f32(x) >= 320 else 1
        elif kind == 11 or kind == 16:
            self.gaugePenalty = 16
        elif kind == 17:
            self.gaugePenalty = 19
        elif kind == 9 or kind == 10:
            self.objParamC[i] = w16(rnd(f32(x)))
            self.objX[i] = -10.0
            self.objY[i] = -10.0
            if kind == 9:
                self.chainBase = self.chain
        elif kind == 8:
            for j in range(OBJ_SLOTS):
                if ok[j] != 8:
                    ok[j] = 0
            self.objX[i] = -10.0
            self.objY[i] = -10.0
            if self.maxChain < self.chain:
                self.maxChain = self.chain
            self.totalContacts = w32(self.totalContacts + self.chain)
            self.timeBonus = w32(rnd(self.timeLeft / 60 * 100000))
            self.finalBonus = w32(self.timeBonus + self.totalContacts + self.level * self.maxChain)
            self.score = w32(self.score + self.finalBonus)
            self.gameEnded = 1
        return heading

    def fire(self, kind, x, y, a, s, heading=0):
        """Fires kind from (x, y) at heading a with speed s; returns spawnObject's heading."""
        r = (a * 3.14) / 180
        return self.spawn(kind, x, y, -_sin(r) * s, _cos(r) * s, heading)

    def aim(self, x, y):
        """aimAtPlayer: x, y are singles; sets aimAngle to the heading toward the ship."""
        sx = self.shipX
        sy = self.shipY
        if abs(sy - y) >= 32:
            r = (_atan((sx - x) / (sy + 2 - y)) * 180) / 3.14
            if sy < y:
                r = r - 180
            a = rnd(r)
            if a < 0:
                a += 360
            a = 360 - a
        else:
            if sx - x == 0:
                a = 180 if sy <= y else 0
            else:
                r = (_atan((sy + 2 - y) / (sx - x)) * 180) / 3.14
                if sx < x:
                    r = r - 180
                a = rnd(r - 90)
                if a < 0:
                    a += 360
        if a >= 360:
            a -= 360
        self.aimAngle = w16(a)

    def update_world(self):
        ok = self.objKind
        objX, objY = self.objX, self.objY
        wait = self.objContactWait
        hl, hr, ht, hb = self.objHitLeft, self.objHitRight, self.objHitTop, self.objHitBottom
        behaviour = self.behaviour
        li = 0
        while li < self.top:
            kind = ok[li]
            if kind == 0:
                li += 1
                continue
            self.loopIndex = li
            if wait[li] > 0:
                wait[li] -= 1
            h = (self.shakeBoost + 2) * 12
            m = self.bombTimer
            shipX, shipY = self.shipX, self.shipY
            x, y = objX[li], objY[li]
            if (w16(shipX + h) >= x + hl[li] - m and w16(shipX - h) <= x + hr[li] + m and
                    w16(shipY + h) >= y + ht[li] - m and w16(shipY - h) <= y + hb[li] + m and
                    self.blinkTimer == 0):
                if wait[li] == 0:
                    self.contact(li)
                # miss test
                shipX, shipY = self.shipX, self.shipY
                if (w16(shipX + 3) >= x + hl[li] and w16(shipX - 2) <= x + hr[li] and
                        w16(shipY + 3) >= y + ht[li] and w16(shipY - 2) <= y + hb[li] and
                        self.bombTimer == 0 and self.burstTimer == 0):
                    self.miss()
            behaviour[kind](li)
            li += 1

    def contact(self, i):
        self.objContactWait[i] = 20
        self.gauge = w16(self.gauge + 20 - self.gaugePenalty)
        self.chain = w32(self.chain + 1)
        self.aim(self.objX[i], self.objY[i])
        a = self.aimAngle + 180
        r = (a * 3.14) / 180
        u1 = self.rng.draw()
        u2 = self.rng.draw()
        x = self.shipX - 16 * _sin(r) + 2 * u1 - 1
        y = self.shipY + 16 * _cos(r) + 2 * u2 - 1
        self.spawn_spark(x, y)
        self.chainPopupValue = self.chain
        self.score = w32(self.score + self.chain - self.chainBase)
        self.chainPopupX = w16(self.shipX + 16)
        self.chainPopupY = self.shipY
        self.chainPopupTimer = 60
        if self.gauge > 640:
            self.level = w16(self.level + 1)
            self.gauge = w16(self.gauge - 640)
            self.levelPopupTimer = 60
            self.levelPopupValue = self.level
            if imod(self.level, 8) != 0:
                if self.burstTimer < 120:
                    self.burstTimer = 120
                self.score = w32(self.score + 1000)
                self.timeLeft = w32(self.timeLeft + 60)
            else:
                self.shipCellX = w16(self.shipCellX + 32)
                if self.shipCellX > 639:
                    self.shipCellX = 0
                self.burstTimer = 180
                self.score = w32(rnd(self.score + 10000 * (self.level / 8)))
                self.timeLeft = w32(self.timeLeft + 300)
                self.bombStock = w16(self.bombStock + 1)
            self.burstRadius = 0
            self.burstToggle = 0

    def miss(self):
        self.wreckX = self.shipX
        self.wreckY = self.shipY
        self.wreckTimer = 80
        self.shipX = 320
        self.shipY = 540
        self.entryTimer = 80
        self.blinkTimer = 160
        self.timeLeft = w32(self.timeLeft - 300)
        if self.timeLeft < 0:
            self.timeLeft = 0
        if self.maxChain < self.chain:
            self.maxChain = self.chain
        self.totalContacts = w32(self.totalContacts + self.chain)
        self.chain = 0
        self.chainBase = 0

    # ------------------------------------------------------------------------- behaviours

    def straight(self, i):
        objX, objY = self.objX, self.objY
        objX[i] = objX[i] + self.objVx[i]
        objY[i] = objY[i] + self.objVy[i]
        x = objX[i]
        y = objY[i]
        kind = self.objKind[i]
        if y > 500 or x > 660 or y < -20 or x < -20:
            self.objKind[i] = 0
        if kind == 2:
            fx = self.objFrameX[i] = self.objFrameX[i] + 12
            if fx == 48:
                self.objFrameX[i] = 0.0

    def kind13(self, i):
        self.objKind[i] = 0

    def kind1(self, i):
        objY = self.objY
        objY[i] = objY[i] + 1
        y = objY[i]
        if y == 32 or y == 160:
            self.aim(self.objX[i], objY[i])
            for k in range(5):
                self.fire(2, self.objX[i], objY[i], self.aimAngle, 2 + k / 10)
        if objY[i] > 520:
            self.objKind[i] = 0

    def kind3(self, i):
        objX, objY = self.objX, self.objY
        ph = self.objPhase[i]
        if ph == 0:
            objY[i] = objY[i] + 2
            if objY[i] == 100:
                self.objPhase[i] = 1
        elif ph == 1:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if imod(t, 4) == 0:
                self.spawn(4, objX[i] + 24, objY[i], 0.0, 4.0, 0)
                self.spawn(4, objX[i] - 24, objY[i], 0.0, 4.0, 0)
            if imod(t, 8) == 0:
                draw = self.rng.draw
                for k in range(4):
                    u1 = draw()
                    u2 = draw()
                    self.spawn(2, objX[i] + 38 + 16 * k, objY[i], (u1 - 0.5) / 16, 2 + (u2 - 0.5) / 16, 0)
                    u1 = draw()
                    u2 = draw()
                    self.spawn(2, objX[i] - 38 - 16 * k, objY[i], (u1 - 0.5) / 16, 2 + (u2 - 0.5) / 16, 0)
                if t == 48:
                    self.objPhase[i] = 2
        elif ph == 2:
            objY[i] = objY[i] + 1
            if objY[i] > 200:
                for dx in (0, 24, -24):
                    self.aim(f32(objX[i] + dx), objY[i])
                    for k in range(8):
                        self.aimAngle = self.fire(4, objX[i] + dx, objY[i], self.aimAngle, 2 + k / 8,
                                                  self.aimAngle)
                self.objPhase[i] = 3
        elif ph == 3:
            objY[i] = objY[i] + 2
            if objX[i] >= 320:
                objX[i] = objX[i] + 1
            else:
                objX[i] = objX[i] - 1
            if objY[i] > 560:
                self.objKind[i] = 0

    def kind5(self, i):
        objY = self.objY
        ph = self.objPhase[i]
        if ph == 0:
            objY[i] = objY[i] + 1
            if objY[i] == 100:
                self.objPhase[i] = 1
        elif ph == 1:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if imod(t, 20) == 0:
                shift = 15 if imod(self.objParamA[i], 2) != 0 else 0
                for j in range(12):
                    self.aimAngle = w16(30 * j + shift)
                    self.aimAngle = self.fire(4, self.objX[i], objY[i], self.aimAngle, 2, self.aimAngle)
                self.objParamA[i] = w16(self.objParamA[i] + 1)
            if self.objParamA[i] == 5:
                self.objPhase[i] = 2
        elif ph == 2:
            objY[i] = objY[i] + 1
            if objY[i] == 580:
                self.objKind[i] = 0

    def kind6(self, i):
        objX, objY = self.objX, self.objY
        r = (self.objTimer[i] * 3.14) / 180
        v = self.objParamA[i] / 10
        right = self.objParamC[i] == 1
        if right:
            objX[i] = objX[i] + _sin(r) * v
        else:
            objX[i] = objX[i] - _sin(r) * v
        objY[i] = objY[i] + _cos(r) * v
        ph = self.objPhase[i]
        if ph == 0:
            b = self.objParamB[i] = w16(self.objParamB[i] + 1)
            if imod(b, 2) == 0:
                self.objParamA[i] = w16(self.objParamA[i] - 1)
            if (objX[i] < 320) if right else (objX[i] > 320):
                self.objPhase[i] = 1
        elif ph == 1:
            t = self.objTimer[i] = w16(self.objTimer[i] - 4)
            if t <= 29:
                self.objPhase[i] = 2
                self.aim(objX[i], objY[i])
                draw = self.rng.draw
                u1 = draw()
                u2 = draw()
                a = (self.aimAngle * 3.14) / 180
                self.spawn(2, objX[i], objY[i], -2 * _sin(a) + (u1 - 0.5) / 10,
                           2 * _cos(a) + (u2 - 0.5) / 10, 0)
        elif ph == 2:
            b = self.objParamB[i] = w16(self.objParamB[i] + 1)
            if imod(b, 2) == 0:
                self.objParamA[i] = w16(self.objParamA[i] + 1)
            if (objX[i] > 680) if right else (objX[i] < -40):
                self.objKind[i] = 0

    def kind7(self, i):
        objX, objY = self.objX, self.objY
        ph = self.objPhase[i]
        if ph == 0:
            objY[i] = objY[i] + 2
            if objY[i] > 120:
                self.objPhase[i] = 1
        elif ph == 1:
            self.spawn(4, objX[i] + 10, objY[i], 0.0, 3.0, 0)
            self.spawn(4, objX[i] - 10, objY[i], 0.0, 3.0, 0)
            self.objPhase[i] = 2
        elif ph == 2:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if t == 60:
                self.objPhase[i] = 3
        elif ph == 3:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if imod(t, 20) == 0:
                self.aim(objX[i], objY[i])
                a = (self.aimAngle * 3.14) / 180
                self.aimAngle = self.spawn(4, objX[i] + 10 * _cos(a), objY[i] + 10 * _sin(a),
                                           -_sin(a), _cos(a), self.aimAngle)
                self.aimAngle = self.spawn(4, objX[i] - 10 * _cos(a), objY[i] - 10 * _sin(a),
                                           -_sin(a), _cos(a), self.aimAngle)
                self.objParamA[i] = w16(self.objParamA[i] + 1)
            if self.objParamA[i] == 5:
                self.objPhase[i] = 4
        elif ph == 4:
            objY[i] = objY[i] - 2
            if objY[i] < -96:
                self.objKind[i] = 0

    def kind8(self, i):
        self.shipX = 320
        self.shipY = 540
        self.entryTimer = 80
        self.blinkTimer = 120

    def kind9(self, i):
        if self.starSpeed > 10:
            s = f32(self.starSpeed - 10)
            if s < 10:
                s = 10.0
            self.starSpeed = s
        self.objPhase[i] = w16(self.objPhase[i] + 1)
        if self.objParamC[i] == 5:
            self.shipX = 320
            self.shipY = 540
            self.entryTimer = 80
            self.blinkTimer = 120
        if self.objPhase[i] == 240:
            self.objKind[i] = 0

    def kind10(self, i):
        if self.starSpeed < 2400:
            self.starSpeed = f32(self.starSpeed + 10)
        else:
            self.objKind[i] = 0

    def kind12(self, i):
        objY = self.objY
        ph = self.objPhase[i]
        if ph == 0:
            objY[i] = objY[i] + self.objTimer[i] / 16
            t = self.objTimer[i] = w16(self.objTimer[i] - 1)
            if t == 0:
                self.objPhase[i] = 1
        elif ph == 1:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if t == 100:
                self.objPhase[i] = 2
                self.objTimer[i] = 0
        elif ph == 2:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            y = rnd(objY[i] - 32)
            while y <= 480:
                self.spawn(13, self.objX[i], float(y), 0.0, 0.0, 0)
                y += 32
            if self.objTimer[i] == 60:
                self.objPhase[i] = 3
                self.objTimer[i] = 0
        elif ph == 3:
            objY[i] = objY[i] - self.objTimer[i] / 16
            self.objTimer[i] = w16(self.objTimer[i] - 1)
            if objY[i] > 560:
                self.objKind[i] = 0

    def kind14(self, i):
        objX, objY = self.objX, self.objY
        ph = self.objPhase[i]
        if ph == 0:
            objX[i] = objX[i] + (self.objTimer[i] / 16) * self.objParamA[i]
            t = self.objTimer[i] = w16(self.objTimer[i] - 1)
            if t == 0:
                self.objPhase[i] = 1
        elif 1 <= ph <= 3:
            if imod(self.objTimer[i], 2) != 0:
                objY[i] = objY[i] + 1
            self.objTimer[i] = w16(self.objTimer[i] + 1)
            b = self.objParamB[i]
            if b != 0 and imod(b, 8) == 0:
                a = self.objParamC[i]
                r = (a * 3.14) / 180
                vx = -5 * _sin(r)
                vy = 5 * _cos(r)
                r1 = ((a + 90) * 3.14) / 180
                self.spawn(15, objX[i] - 16 * _sin(r1), objY[i] + 16 * _cos(r1), vx, vy, 0)
                r2 = ((a - 90) * 3.14) / 180
                self.spawn(15, objX[i] - 16 * _sin(r2), objY[i] + 16 * _cos(r2), vx, vy, 0)
            if self.objParamB[i] > 0:
                self.objParamB[i] = w16(self.objParamB[i] - 1)
            if imod(self.objTimer[i], 80) == 0:
                self.objParamB[i] = 40
                self.aim(objX[i], objY[i])
                self.objParamC[i] = self.aimAngle
                self.objPhase[i] = w16(self.objPhase[i] + 1)
        elif ph == 4:
            objY[i] = objY[i] + 1
            if objY[i] > 530:
                self.objKind[i] = 0

    def laser_column(self, x):
        for k in range(16):
            self.spawn(13, float(x), float(32 * k), 0.0, 0.0, 0)

    def kind11(self, i):
        objX, objY = self.objX, self.objY
        ph = self.objPhase[i]
        if ph == 0:
            objY[i] = objY[i] + 1
            if objY[i] == 130:
                self.objPhase[i] = 1
        elif ph == 1:
            self.aim(objX[i], objY[i])
            for n in range(8):
                c = imod(n, 2)
                h = self.aimAngle - 30 + 3 * c
                while h <= self.aimAngle + 30 - 3 * c:
                    self.fire(2, objX[i], objY[i], h, 1 + n / 8)
                    h += 6
            self.objPhase[i] = 2
        elif ph == 2:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if t == 180:
                self.objPhase[i] = 3
                self.objTimer[i] = 0
        elif ph == 3:
            for k in range(5):
                self.objTimer[i] = w16(self.fire(4, objX[i], objY[i], self.objTimer[i], 3 + k / 8,
                                                 self.objTimer[i]))
            for k in range(5):
                h = self.objTimer[i] + 5
                self.fire(4, objX[i], objY[i], h, 4 + k / 8, h)
            t = self.objTimer[i] = w16(self.objTimer[i] + 10)
            if t == 1440:
                self.objPhase[i] = 4
                self.objTimer[i] = 0
        elif ph == 4:
            a = self.objParamA[i] = w16(self.objParamA[i] + 1)
            if imod(a, 10) == 0:
                for j in range(24):
                    h = self.objTimer[i] + 15 * j
                    self.fire(4, objX[i], objY[i], h, 2, h)
                self.objTimer[i] = w16(self.objTimer[i] + 5)
            draw = self.rng.draw
            u1 = draw()
            u2 = draw()
            self.spawn(4, 640 * u1, -8.0, 0.0, 1 + 2 * u2, 0)
            if self.objParamA[i] == 600:
                self.objPhase[i] = 5
        elif ph == 5:
            objY[i] = objY[i] - 1
            if objY[i] < -140:
                self.objKind[i] = 0
                self.gaugePenalty = 0

    def kind16(self, i):
        objX, objY = self.objX, self.objY
        ph = self.objPhase[i]
        if ph == 0:
            objY[i] = objY[i] + 1
            if objY[i] == 140:
                self.objPhase[i] = 1
        elif ph == 1:
            a = self.objParamA[i] = w16(self.objParamA[i] + 1)
            if imod(a, 60) == 0:
                for d in (-40, -20, 0, 20, 40, 60, 80):
                    for k in range(16):
                        h = self.objTimer[i] + d
                        self.fire(4, objX[i] + 106, objY[i] - 38, h, 2 + k / 7, h)
                for d in (40, 20, 0, -20, -40, -60, -80):
                    for k in range(16):
                        h = self.objTimer[i] + d
                        self.fire(4, objX[i] - 106, objY[i] - 38, h, 2 + k / 7, h)
                self.objTimer[i] = w16(10 - self.objTimer[i])
            if a > 360 and imod(a, 2) != 0:
                draw = self.rng.draw
                u1 = draw()
                u2 = draw()
                h = w16(_floor(3 * u1) + 10 * _floor(18 * u2 - 9) - 1)
                h = self.fire(4, objX[i] + 106, objY[i] - 38, h, 2, h)
                h = self.fire(4, objX[i] - 106, objY[i] - 38, h, 2, h)
            if self.objParamA[i] == 720:
                self.objPhase[i] = 2
                self.objTimer[i] = 0
                self.objParamA[i] = 0
        elif ph == 2:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if imod(t, 30) == 0:
                a0 = self.objParamA[i]
                g = a0
                while g <= a0 + 359:
                    for k in (0, 2, 4, 6, 8):
                        self.fire(2, objX[i], objY[i], g + k, 2)
                    g += 20
                self.objParamA[i] = w16(10 - self.objParamA[i])
            if imod(t, 180) == 0 and t > 360:
                self.objParamC[i] = 90
                self.objParamB[i] = self.shipX
            if self.objParamC[i] != 0:
                if self.objParamC[i] < 60:
                    self.laser_column(self.objParamB[i])
                self.objParamC[i] = w16(self.objParamC[i] - 1)
            if self.objTimer[i] == 1430:
                self.objPhase[i] = 3
                self.objTimer[i] = 0
                self.objParamA[i] = 0
                self.objParamB[i] = 0
                self.objParamC[i] = 0
        elif ph == 3:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if imod(t, 30) == 0:
                a0 = self.objParamA[i]
                g = a0
                while g <= a0 + 359:
                    for k in (0, 3, 6, 9):
                        self.fire(2, objX[i] + 106, objY[i] - 38, g + k, 2)
                        h = g + k
                        self.fire(4, objX[i] - 106, objY[i] - 38, h, 2, h)
                    g += 40
                self.objParamA[i] = w16(imod(self.objParamA[i] + 10, 40))
            if self.objTimer[i] == 900:
                self.objPhase[i] = 4
        elif ph == 4:
            objY[i] = objY[i] - 2
            if objY[i] == -100:
                self.objKind[i] = 0
                self.gaugePenalty = 0

    def kind17(self, i):
        objX, objY = self.objX, self.objY
        ph = self.objPhase[i]
        if ph == 0:
            objY[i] = self.objTimer[i] * 200 - 50
            self.objTimer[i] = w16(1 - self.objTimer[i])
            a = self.objParamA[i] = w16(self.objParamA[i] + 1)
            if a == 120:
                objY[i] = 150.0
                self.objPhase[i] = 1
                self.objTimer[i] = 0
                self.objParamA[i] = 0
        elif ph == 1:
            r = (self.objTimer[i] * 3.14) / 180
            if imod(self.objParamA[i], 2) == 0:
                objX[i] = objX[i] + _sin(r)
            else:
                objX[i] = objX[i] - _sin(r)
            objY[i] = objY[i] + _cos(r)
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if t == 360:
                self.objTimer[i] = 0
                self.objParamA[i] = w16(self.objParamA[i] + 1)
            if imod(self.objTimer[i], 8) == 0 and self.objParamA[i] >= 2:
                for j in range(60):
                    h = 6 * j
                    self.fire(4, objX[i], objY[i], h, 2, h)
            if self.objParamA[i] == 4:
                self.objPhase[i] = 2
                self.objParamA[i] = 0
        elif ph == 2:
            objX[i] = objX[i] + self.objTimer[i] / 16
            objY[i] = objY[i] + self.objParamA[i] / 16
            sx, sy = self.shipX, self.shipY
            if sx > objX[i] and self.objTimer[i] < 32:
                self.objTimer[i] = w16(self.objTimer[i] + 1)
            if sx < objX[i] and self.objTimer[i] >= -31:
                self.objTimer[i] = w16(self.objTimer[i] - 1)
            if sy > objY[i] and self.objParamA[i] < 32:
                self.objParamA[i] = w16(self.objParamA[i] + 1)
            if sy < objY[i] and self.objParamA[i] >= -31:
                self.objParamA[i] = w16(self.objParamA[i] - 1)
            b = self.objParamB[i]
            if imod(b, 10) == 0:
                for j in range(7):
                    h = self.objParamB[i] - 15 + 5 * j
                    self.fire(4, objX[i], objY[i], h, 3, h)
            b = self.objParamB[i] = w16(self.objParamB[i] + 1)
            if b == 360:
                self.objPhase[i] = 3
                self.objTimer[i] = 0
                self.objParamA[i] = 0
                self.objParamB[i] = 0
        elif ph == 3:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            objX[i] = 640 * _floor(imod(t, 4) / 2)
            objY[i] = 480 * imod(t, 2)
            if t > 120:
                for j in range(12):
                    self.fire(2, objX[i], objY[i], 10 * self.objTimer[i] + 30 * j, 2)
            if self.objTimer[i] == 901:
                self.objPhase[i] = 4
                self.objTimer[i] = 0
                self.objParamA[i] = 0
                self.objParamB[i] = 0
        elif ph == 4:
            objY[i] = objY[i] - self.objTimer[i] / 16
            objX[i] = objX[i] + 1
            self.objTimer[i] = w16(self.objTimer[i] + 1)
            if objY[i] < -80:
                self.objPhase[i] = 5
                self.objTimer[i] = 0
                self.objParamA[i] = 120
        elif ph == 5:
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if t == self.objParamA[i] + 120:
                self.objTimer[i] = 0
                self.objParamA[i] = w16(self.objParamA[i] - 5)
                self.objParamB[i] = 120
                u = self.rng.draw()
                self.objParamC[i] = w16(rnd(320 * u + self.shipX - 160))
                for k in range(16):
                    c = self.objParamC[i]
                    self.spawn(4, float(c - 16), -4.0, 0.0, float(k + 1), 0)
                    c = self.objParamC[i]
                    self.spawn(4, float(c + 16), -4.0, 0.0, float(k + 1), 0)
            if self.objParamB[i] != 0:
                b = self.objParamB[i] = w16(self.objParamB[i] - 1)
                if b < 60:
                    self.laser_column(self.objParamC[i])
            if self.objParamA[i] == 0:
                self.objPhase[i] = 6
                self.objTimer[i] = 0
                self.objParamA[i] = 7
                self.objParamB[i] = 0
                self.objParamC[i] = 0
                objX[i] = 320.0
                objY[i] = -80.0
        elif ph == 6:
            objX[i] = objX[i] + self.objTimer[i]
            objY[i] = objY[i] + self.objParamA[i]
            b = self.objParamB[i] = w16(self.objParamB[i] + 1)
            if b == 30:
                for n in range(8):
                    for j in range(36):
                        self.fire(2, objX[i], objY[i], 5 * imod(n, 2) + 10 * j, 2 + n / 8)
                self.objParamB[i] = 0
                if self.objParamC[i] > 12:
                    self.objTimer[i] = w16(rnd((320 - objX[i]) / 30))
                    self.objParamA[i] = w16(rnd((240 - objY[i]) / 30))
                else:
                    u1 = self.rng.draw()
                    self.objTimer[i] = w16(rnd((640 * u1 - objX[i]) / 30))
                    u2 = self.rng.draw()
                    self.objParamA[i] = w16(rnd((480 * u2 - objY[i]) / 30))
                self.objParamC[i] = w16(self.objParamC[i] + 1)
            if self.objParamC[i] == 16:
                self.objPhase[i] = 7
                self.objTimer[i] = 0
                self.objParamA[i] = 0
                self.objParamB[i] = 0
                self.objParamC[i] = 0
        elif ph == 7:
            if imod(self.objTimer[i], 10) == 0:
                self.volley15(i)
            t = self.objTimer[i] = w16(self.objTimer[i] + 1)
            if t == 360:
                self.objPhase[i] = 8
                self.objTimer[i] = 64
        elif ph == 8:
            objY[i] = objY[i] + self.objTimer[i] / 32
            self.objTimer[i] = w16(self.objTimer[i] - 1)
            if objY[i] < -80:
                self.objKind[i] = 0
            if imod(self.objTimer[i], 10) == 0:
                self.volley15(i)

    def volley15(self, i):
        # reads the slot on every shot: a first shot that lands in a freed boss slot changes
        # what the later shots read
        for j in range(12):
            self.fire(15, self.objX[i], self.objY[i], self.objTimer[i] + 30 * j, 3)


# ----------------------------------------------------------------------------- reports

def _g(v):
    return '%.9g' % v


def trace_line(w, frame, objects):
    ok = w.objKind
    live = OBJ_SLOTS - ok.count(0)
    stars = STAR_SLOTS - w.starActive.count(0)
    sparks = SPARK_SLOTS - w.sparkActive.count(0)
    parts = ['{"frame": %d' % frame]
    for name in ('score', 'chain', 'chainBase', 'maxChain', 'totalContacts', 'gauge', 'level',
                 'gaugePenalty', 'timeLeft', 'shipX', 'shipY', 'shipCellX', 'entryTimer', 'blinkTimer',
                 'bombStock', 'bombTimer', 'bombBonus', 'burstTimer', 'shakeBoost'):
        parts.append('"%s": %d' % (name, getattr(w, name)))
    parts.append('"starSpeed": %s' % _g(w.starSpeed))
    for name in ('gameEnded', 'timeUpDone', 'timeBonus', 'finalBonus', 'scriptCursor', 'aimAngle'):
        parts.append('"%s": %d' % (name, getattr(w, name)))
    parts.append('"liveObjects": %d' % live)
    parts.append('"liveStars": %d' % stars)
    parts.append('"liveSparks": %d' % sparks)
    line = ', '.join(parts)
    if objects:
        objs = []
        for i in range(w.top):
            k = ok[i]
            if k:
                objs.append('[%d, %d, %s, %s, %d, %d, %d, %d, %d]' % (
                    i, k, _g(w.objX[i]), _g(w.objY[i]), w.objPhase[i], w.objTimer[i],
                    w.objParamA[i], w.objParamB[i], w.objParamC[i]))
        line += ', "objects": [' + ', '.join(objs) + ']'
    return line + '}'


MAX_FRAMES = 1000000


def cmd_verify(path):
    w = World(load_replay(path))
    for _ in range(MAX_FRAMES):
        index = w.frameCounter
        before = w.gameEnded
        w.frame()
        if before == 0 and w.gameEnded != 0:
            print('{"frames": %d, "endFrame": %d, "score": %d, "level": %d, "maxChain": %d, '
                  '"totalContacts": %d, "timeBonus": %d, "finalBonus": %d, "timeLeft": %d}' % (
                      index + 1, index, w.score, w.level, w.maxChain, w.totalContacts, w.timeBonus,
                      w.finalBonus, w.timeLeft))
            return 0
    sys.stderr.write('tolvane_model: the game did not end\n')
    return 1


def cmd_trace(path, objects, every, until):
    w = World(load_replay(path))
    out = sys.stdout
    for _ in range(MAX_FRAMES):
        index = w.frameCounter
        before = w.gameEnded
        w.frame()
        ended = before == 0 and w.gameEnded != 0
        if index % every == 0:
            out.write(trace_line(w, index, objects))
            out.write('\n')
        if (index >= until) if until >= 0 else ended:
            out.flush()
            return 0
    return 1


def usage():
    sys.stderr.write('usage: tolvane_model.py verify FILE\n'
                     '       tolvane_model.py trace FILE [--objects] [--every K] [--until F]\n')
    return 1


def main(argv):
    if len(argv) < 3:
        return usage()
    cmd, path = argv[1], argv[2]
    try:
        if cmd == 'verify' and len(argv) == 3:
            return cmd_verify(path)
        if cmd == 'trace':
            objects, every, until = False, 1, -1
            i = 3
            while i < len(argv):
                a = argv[i]
                if a == '--objects':
                    objects = True
                elif a in ('--every', '--until') and i + 1 < len(argv) and argv[i + 1].isdigit():
                    v = int(argv[i + 1])
                    if a == '--every':
                        if v <= 0:
                            return usage()
                        every = v
                    else:
                        until = v
                    i += 1
                else:
                    return usage()
                i += 1
            return cmd_trace(path, objects, every, until)
    except ReplayError as e:
        sys.stderr.write('tolvane_model: %s\n' % e)
        return 2
    return usage()


if __name__ == '__main__':
    sys.exit(main(sys.argv))
