#!/usr/bin/env python3
"""stagegen: writes game/StageTables.cpp, ZARNOVIK's seven stages as data.

Run from the repository root, then commit the result with this script:

    python3 tools/stagegen/stagegen.py

The stages are written below as waves on the timeline of the scroll. Units:

- Enemy time t: a row comes due once the map has scrolled 12 t - 480 px, so t 40 is the
  stage start and one unit is 12 px, 24 frames. Stages 1-6 stop scrolling at t 210,
  stage 7 at t 310; the boss rows close every stage.
- Terrain time T: due at 120 T - 480 px, one 120-px band per unit; T 4 is the start.
  A terrain piece due at T lies in the band that enemy rows due at 10 T enter.
- Positions in px from the field centre, y down. The view is 480 px wide around the
  player's pan (at most 120 px either side) and 480 px high; the field is 720 px wide.
  Rows start above the view at y -300 (ground) or -300 to -360 (air) unless their
  enemy enters from a side, and always inside the cull bounds (|x| <= 480, |y| <= 360).
- Angles in 1024ths of a turn: 256 faces down the field, 0 right, 512 left, 768 up.

Spawn gates: a large enemy holds a gate while it lives, and the rows of that gate's
thousand are passed over meanwhile. The waves after a large enemy that are written
inside `with s.gated(n)` are its reinforcements: they come only once it is down.
"""

import contextlib
import os
import sys

# ---- the background: tiles and patterns ---------------------------------------------------
#
# Tile ids of the three background sets, as the stages use them:
#   group 1 (stages 1-3): 1 road, 2 worn road, 3 crossing, 4 west shoulder, 5 east shoulder,
#     6 fork, 7 river, 8 west bank, 9 east bank, 10 bridge, 11 ploughed field, 12 field
#     border, 13 forest, 14 west forest edge, 15 east forest edge, 16 grass, 17 shrubs,
#     18 rocks, 19 apron, 20 apron edge, 21 runway, 22 crater, 23 sand
#   group 2 (stages 4-6): 24 sea, 25 swell, 26 west coast, 27 east coast, 28 beach, 29 reef,
#     30 deck, 31 riveted deck, 32 west deck edge, 33 east deck edge, 34 vents, 35 rails,
#     36 pipes, 37 hatch floor, 38 hangar door, 39 snowfield, 40 snow ridge, 41 ice,
#     42 crevasse
#   group 3 (stage 7): 1-35 the fortress sheet (seven columns of five: 1-5 outer wall,
#     6-10 plating, 11-15 conduits, 16-20 trenches, 21-25 core floor, 26-30 machinery,
#     31-35 reactor ring), 36 shaft, 37 gate

PATTERNS = [
    # group 1: 0-27
    ((16, 16, 1, 1, 16, 16), 'road through grass'),  # 0
    ((17, 16, 1, 1, 16, 17), 'road, shrubs at the sides'),  # 1
    ((16, 18, 2, 2, 17, 16), 'worn road, rocks and shrubs'),  # 2
    ((16, 4, 1, 1, 5, 16), 'road with shoulders'),  # 3
    ((13, 15, 1, 1, 14, 13), 'road through forest'),  # 4
    ((13, 13, 15, 14, 13, 13), 'forest closing over the road'),  # 5
    ((13, 13, 13, 13, 13, 13), 'deep forest'),  # 6
    ((11, 12, 1, 1, 12, 11), 'fields along the road'),  # 7
    ((11, 11, 2, 2, 11, 11), 'fields, worn road'),  # 8
    ((3, 3, 3, 3, 3, 3), 'crossing'),  # 9
    ((16, 16, 6, 6, 16, 16), 'fork'),  # 10
    ((16, 8, 7, 7, 9, 16), 'river'),  # 11
    ((8, 7, 10, 10, 7, 9), 'bridge over the river'),  # 12
    ((7, 7, 7, 7, 7, 7), 'open water'),  # 13
    ((17, 8, 7, 7, 9, 17), 'river between shrubs'),  # 14
    ((20, 19, 21, 21, 19, 20), 'airfield'),  # 15
    ((19, 19, 21, 21, 19, 19), 'airfield apron'),  # 16
    ((22, 19, 21, 21, 19, 22), 'bombed apron'),  # 17
    ((20, 20, 6, 6, 20, 20), 'airfield gate'),  # 18
    ((23, 23, 1, 1, 23, 23), 'road through sand'),  # 19
    ((23, 22, 2, 2, 22, 23), 'cratered desert road'),  # 20
    ((23, 18, 1, 1, 18, 23), 'rocky desert road'),  # 21
    ((23, 23, 23, 23, 23, 23), 'open sand'),  # 22
    ((22, 23, 23, 22, 23, 22), 'crater field'),  # 23
    ((23, 20, 19, 19, 20, 23), 'desert base'),  # 24
    ((0, 16, 1, 1, 16, 0), 'road, unmapped flanks'),  # 25
    ((12, 11, 3, 3, 11, 12), 'fields at a crossing'),  # 26
    ((18, 23, 6, 6, 23, 18), 'desert fork'),  # 27
    # group 2: 28-50
    ((24, 24, 25, 25, 24, 24), 'open sea'),  # 28
    ((24, 25, 24, 24, 25, 24), 'swell'),  # 29
    ((28, 26, 24, 24, 27, 28), 'strait between beaches'),  # 30
    ((29, 24, 25, 24, 24, 29), 'reefs'),  # 31
    ((28, 28, 26, 27, 28, 28), 'inlet'),  # 32
    ((28, 28, 28, 28, 28, 28), 'beach'),  # 33
    ((32, 30, 30, 30, 30, 33), 'deck'),  # 34
    ((32, 31, 35, 35, 31, 33), 'deck with rails'),  # 35
    ((32, 34, 30, 30, 34, 33), 'vented deck'),  # 36
    ((32, 36, 36, 36, 36, 33), 'pipe deck'),  # 37
    ((32, 37, 38, 38, 37, 33), 'hangar doors'),  # 38
    ((26, 32, 30, 30, 33, 27), 'deck meets the sea'),  # 39
    ((24, 32, 31, 31, 33, 24), 'narrow deck over water'),  # 40
    ((39, 39, 39, 39, 39, 39), 'snowfield'),  # 41
    ((39, 40, 39, 39, 40, 39), 'snow ridges'),  # 42
    ((41, 39, 39, 39, 39, 41), 'ice flanks'),  # 43
    ((39, 42, 39, 39, 42, 39), 'crevasses'),  # 44
    ((40, 40, 41, 41, 40, 40), 'frozen channel'),  # 45
    ((39, 39, 35, 35, 39, 39), 'rails across the snow'),  # 46
    ((41, 41, 41, 41, 41, 41), 'ice sheet'),  # 47
    ((39, 32, 30, 30, 33, 39), 'snowbound deck'),  # 48
    ((42, 39, 40, 40, 39, 42), 'broken ridge'),  # 49
    ((39, 36, 35, 35, 36, 39), 'pipeline yard'),  # 50
    # group 3: 51-68
    ((1, 6, 6, 6, 6, 2), 'outer plating'),  # 51
    ((2, 7, 11, 11, 7, 1), 'conduits in the plating'),  # 52
    ((3, 8, 16, 16, 8, 4), 'trench'),  # 53
    ((4, 9, 17, 17, 9, 3), 'deep trench'),  # 54
    ((5, 10, 12, 12, 10, 5), 'conduit junction'),  # 55
    ((1, 26, 21, 21, 27, 2), 'machinery court'),  # 56
    ((3, 28, 22, 22, 29, 4), 'machinery rows'),  # 57
    ((2, 30, 23, 23, 30, 1), 'core floor'),  # 58
    ((5, 18, 24, 24, 19, 5), 'trenches at the core'),  # 59
    ((4, 13, 25, 25, 14, 3), 'conduits at the core'),  # 60
    ((31, 32, 33, 34, 35, 31), 'reactor ring'),  # 61
    ((36, 21, 22, 23, 24, 36), 'shafts at the core floor'),  # 62
    ((1, 37, 20, 20, 37, 2), 'inner gate'),  # 63
    ((6, 7, 8, 9, 10, 6), 'plating seams'),  # 64
    ((11, 12, 13, 14, 15, 11), 'conduit field'),  # 65
    ((16, 17, 18, 19, 20, 16), 'trench field'),  # 66
    ((26, 27, 28, 29, 30, 26), 'machinery hall'),  # 67
    ((32, 33, 36, 36, 34, 35), 'reactor shafts'),  # 68
]

GROUP_TILES = {1: range(1, 24), 2: range(24, 43), 3: range(1, 38)}
GROUP_TERRAIN = {1: set(range(1, 13)) | {52, 53, 54}, 2: set(range(13, 52)), 3: {1, 2}}

# ---- enemy codes ---------------------------------------------------------------------------

def G(n):
    """Code of ground-enemy type n."""
    return n


def A(n):
    """Code of air-enemy type n."""
    return 100 + n


TOP = -300          # ground rows enter here, just above the view
AIR_TOP = -320      # heavy air enemies sink in from here
SIDE = 420          # side entrants wait here, beyond the view


def mirror(angle):
    """The heading reflected across the field's centre line."""
    return (512 - angle) % 1024


class Stage:
    def __init__(self, number, group, enemy_rows, terrain_rows, bands, boss):
        self.number = number
        self.group = group
        self.enemy_rows = enemy_rows
        self.terrain_rows = terrain_rows
        self.band_count = bands
        self.boss = boss            # the closing rows, (code, x, y, angle, time)
        self.enemies = []           # (time, order, code, x, y, angle, note)
        self.terrain = []           # (time, order, kind, x, y)
        self.bands = []
        self._gate = 0
        self._note = None

    # One row; the first row of a wave carries the wave's note.
    def put(self, t, code, x, y=TOP, a=256):
        if self._gate:
            code += self._gate * 1000
        note, self._note = self._note, None
        self.enemies.append((t, len(self.enemies), code, x, y, a, note))

    def wave(self, note):
        self._note = note
        return self

    @contextlib.contextmanager
    def gated(self, thousand):
        self._gate = thousand
        yield
        self._gate = 0

    # ---- formations ----
    def one(self, t, code, x, y=TOP, a=256):
        self.put(t, code, x, y, a)

    def pair(self, t, code, x, y=TOP, a=256):
        """Two at once, mirrored: the left one at -x with heading a."""
        self.put(t, code, -x, y, a)
        self.put(t, code, x, y, mirror(a))

    def line(self, t, code, xs, y=TOP, a=256):
        for x in xs:
            self.put(t, code, x, y, a)

    def vee(self, t, air, xc=0, n=5, dx=48, dy=20):
        """A V of fighters pointing down the field, the leader first."""
        self.put(t, A(air), xc, -300)
        for k in range(1, n // 2 + 1):
            self.put(t, A(air), xc - dx * k, -300 - dy * k)
            self.put(t, A(air), xc + dx * k, -300 - dy * k)

    def echelon(self, t, code, x0, dx, n, dt=2, y=-320):
        """A string that sweeps across: one every dt units, dx px apart."""
        for k in range(n):
            self.put(t + k * dt, code, x0 + dx * k, y)

    def column(self, t, code, x, n, dt=2, y=TOP, a=256):
        """One after another on the same track."""
        for k in range(n):
            self.put(t + k * dt, code, x, y, a)

    def columns(self, t, code, x, n, dt=2, y=TOP):
        """Two mirrored tracks, side by side in time."""
        for k in range(n):
            self.pair(t + k * dt, code, x, y)

    def convoy(self, t, code, side, n, dt=3, y=TOP):
        """Vehicles from beyond one edge, driving across: side -1 left, +1 right."""
        for k in range(n):
            self.put(t + k * dt, code, side * SIDE, y, 0 if side < 0 else 512)

    # ---- terrain ----
    def land(self, T, kind, x, y=None):
        if y is None:
            y = -360 if kind in (52, 53, 54) else -300
        self.terrain.append((T, len(self.terrain), kind, x, y))

    def land_row(self, T, kinds_by_x, y=None):
        for x, kind in kinds_by_x:
            self.land(T, kind, x, y)


# ---- the stages ----------------------------------------------------------------------------
# Column centres of the 720-px field: -300, -180, -60, 60, 180, 300.

def stage1():
    s = Stage(1, 1, 159, 19, 21, [(G(20), 0, -360, 256, 190)])
    s.bands = [0, 0, 1, 3, 0, 2, 7, 8, 7, 26, 4, 5, 6, 4, 1, 12, 14, 3, 18, 15, 16]
    # Farmland: light vehicles and fighters, a carrier at each third, the airfield's guard.
    s.wave('a supply base at the roadside').one(40, G(17), -180)
    s.wave('patrol down the east lane').column(42, G(1), 60, 3)
    s.wave('fighters sweep in from the west').echelon(45, A(1), -240, 60, 4, y=-300)
    s.wave('supply base').one(47, G(17), 180)
    s.wave('patrol down the west lane').column(50, G(1), -60, 3)
    s.wave('first V').vee(53, 1, 120, 5)
    s.wave('gun posts at the field edges').pair(56, G(13), 120)
    s.wave('armoured convoy from the west').convoy(58, G(3), -1, 3)
    s.wave('second V').vee(60, 1, -100, 5)
    s.wave('supply base').one(63, G(17), 0)
    s.wave('rotor craft from the east').one(66, A(4), SIDE, -120)
    s.wave('tank-hunter convoy from the east').convoy(66, G(8), +1, 3)
    s.wave('rotor craft from the west').one(68, A(4), -SIDE, -60)
    s.wave('centre V').vee(70, 1, 0, 5)
    s.wave('twin patrols').columns(74, G(1), 150, 3)
    s.wave('emplacements in the fields').pair(79, G(29), 210)
    s.wave('fighters sweep from the east').echelon(80, A(1), 200, -60, 5)
    s.wave('fighters dive past the carrier').pair(83, A(1), 60, -360)
    s.wave('carrier over the west lane: holds the 2000 rows').one(85, G(4), -120)
    with s.gated(2):
        s.wave('reinforcements: V').vee(90, 1, 120, 5)
        s.wave('reinforcements: patrol').column(95, G(1), 180, 3)
        s.wave('reinforcements: convoy from the east').convoy(100, G(3), +1, 2)
        s.wave('reinforcements: rotor craft').pair(105, A(4), SIDE, -150)
        s.wave('reinforcements: gun post').one(110, G(13), 120)
        s.wave('reinforcements: sweep').echelon(115, A(1), -180, 60, 4)
        s.wave('reinforcements: emplacements').one(120, G(29), -180)
        s.one(120, G(29), 180)
        s.wave('reinforcements: V').vee(125, 1, 0, 5)
    s.wave('fighters high on both flanks').pair(92, A(1), 200, -340)
    s.wave('grid guns wait at the edges').one(100, G(18), -SIDE, -250, 0)
    s.one(100, G(19), SIDE, -250, 512)
    s.wave('supply base').one(97, G(17), -240)
    s.wave('V over the east lane').vee(103, 1, 120, 5)
    s.wave('supply base').one(108, G(17), 60)
    s.wave('V').vee(112, 1, -60, 5)
    s.wave('convoy from the west').convoy(118, G(8), -1, 3)
    s.wave('gunship down the centre').one(127, A(3), 0, -300)
    s.wave('rotor craft from both sides').pair(128, A(4), SIDE, -120)
    s.wave('twin patrols').columns(132, G(1), 90, 3)
    s.wave('sweep from the west').echelon(135, A(1), -200, 60, 4)
    s.wave('carrier over the west lane: holds the 1000 rows').one(140, G(7), -120)
    with s.gated(1):
        s.wave('reinforcements: V').vee(145, 1, 100, 5)
        s.wave('reinforcements: convoy').convoy(150, G(3), -1, 3)
        s.wave('reinforcements: rotor craft').pair(155, A(4), SIDE, -90)
        s.wave('reinforcements: gun posts').pair(160, G(13), 60)
        s.wave('reinforcements: sweep').echelon(165, A(1), 180, -60, 4)
        s.wave('reinforcements: convoy').convoy(170, G(8), +1, 2)
    s.wave('grid guns wait at the edges').one(143, G(18), -SIDE, -240, 0)
    s.one(143, G(19), SIDE, -240, 512)
    s.wave('V').vee(148, 1, -120, 5)
    s.wave('emplacements at the view edge').pair(153, G(29), 240)
    s.wave('gunship from the west').one(158, A(3), -160, -300)
    s.wave('supply base').one(163, G(17), -60)
    s.wave('patrols').columns(168, G(1), 120, 3)
    s.wave('V').vee(172, 1, 0, 5)
    s.wave('gunship from the east').one(176, A(3), 160, -300)
    s.wave('convoy from the west').convoy(174, G(8), -1, 2)
    s.wave('last fighters').pair(180, A(1), 120, -330)
    s.wave('escort ahead of the boss').pair(184, A(1), 200, -350)

    s.land(4, 1, -180, 180)
    s.land(4, 2, 180, 60)
    s.land(4, 7, -300, -180)
    s.land(5, 3, 300)
    s.land(6, 8, -300)
    s.land(7, 4, 180)
    s.land(8, 9, -300)
    s.land(9, 54, 300)
    s.land(10, 5, -300)
    s.land(11, 10, 180)
    s.land(12, 6, -300)
    s.land(13, 11, 300)
    s.land(14, 12, -300)
    s.land(15, 1, 300)
    s.land(16, 2, -300)
    s.land(17, 52, 240)
    s.land(18, 53, -240)
    s.land(19, 3, 300)
    s.land(20, 7, -300)
    return s


def stage2():
    s = Stage(2, 1, 164, 19, 21, [(G(32), 0, -360, 256, 190)])
    s.bands = [0, 1, 10, 11, 14, 12, 11, 13, 13, 12, 14, 4, 6, 5, 4, 11, 12, 14, 9, 3, 25]
    # The river valley: the swinging gunships hold the rows behind them, dive craft strike.
    s.wave('supply base').one(40, G(17), 60)
    s.wave('V').vee(42, 1, -80, 5)
    s.wave('convoy from the west').convoy(44, G(8), -1, 3)
    s.wave('fighters on the flanks').pair(46, A(1), 240, -340)
    s.wave('gunship swings east: holds the 3000 rows').one(48, A(6), 245, AIR_TOP)
    with s.gated(3):
        s.wave('reinforcements: V').vee(52, 1, -120, 5)
        s.wave('reinforcements: emplacement').one(56, G(29), -120)
        s.wave('reinforcements: dive craft').one(60, A(7), 240)
        s.one(64, A(7), -200)
        s.wave('reinforcements: convoy').convoy(68, G(3), -1, 2)
        s.wave('reinforcements: sweep').echelon(72, A(1), -200, 60, 4)
        s.wave('reinforcements: emplacements').pair(76, G(29), 150)
    s.wave('half-track from the west bank').one(50, G(34), -360, TOP, 0)
    s.wave('half-track from the east bank').one(54, G(30), SIDE, TOP, 512)
    s.wave('fighters high on both flanks').pair(58, A(1), 180, -340)
    s.wave('crawler').one(62, G(44), 120)
    s.wave('gunship from the west').one(66, A(3), -160, -300)
    s.wave('supply base').one(70, G(17), -60)
    s.wave('V').vee(74, 1, 60, 5)
    s.wave('centre V').vee(80, 1, 0, 5)
    s.wave('convoy from the east').convoy(84, G(8), +1, 3)
    s.wave('sweep from the west').echelon(86, A(1), -200, 60, 4)
    s.wave('heavy gunship down the river: holds the 1000 rows').one(90, A(5), 0, AIR_TOP)
    with s.gated(1):
        s.wave('reinforcements: dive craft').pair(94, A(7), 150)
        s.wave('reinforcements: emplacements').pair(98, G(29), 150)
        s.wave('reinforcements: V').vee(102, 1, 0, 5)
        s.wave('reinforcements: crawler').one(106, G(44), -60)
        s.wave('reinforcements: dive craft').one(110, A(7), 0)
        s.wave('reinforcements: sweep').echelon(114, A(1), 200, -60, 4)
    s.wave('half-track from the east bank').one(92, G(30), SIDE, TOP, 512)
    s.wave('half-track from the west bank').one(96, G(34), -360, TOP, 0)
    s.wave('gunships on both flanks').pair(100, A(3), 200, -300)
    s.wave('armour down the west bank').column(104, G(3), -180, 3)
    s.wave('convoy from the east').convoy(107, G(3), +1, 2)
    s.wave('supply base').one(108, G(17), 180)
    s.wave('tank hunters down both banks').columns(112, G(8), 100, 2)
    s.wave('V').vee(117, 1, -100, 5)
    s.wave('gunship swings west: holds the 2000 rows').one(120, A(6), -245, AIR_TOP)
    with s.gated(2):
        s.wave('reinforcements: V').vee(124, 1, 100, 5)
        s.wave('reinforcements: convoy').convoy(128, G(3), +1, 2)
        s.wave('reinforcements: dive craft').pair(132, A(7), 120)
        s.wave('reinforcements: crawlers').pair(136, G(44), 120)
        s.wave('reinforcements: sweep').echelon(140, A(1), -200, 60, 4)
        s.wave('reinforcements: emplacement').one(144, G(29), 0)
    s.wave('half-track from the west bank').one(122, G(34), -360, TOP, 0)
    s.wave('gunship from the east').one(126, A(3), 160, -300)
    s.wave('supply base').one(130, G(17), -120)
    s.wave('tank hunters down the east bank').column(134, G(8), 60, 3)
    s.wave('V').vee(138, 1, 0, 5)
    s.wave('half-track from the east bank').one(142, G(30), SIDE, TOP, 512)
    s.wave('gunships on both flanks').pair(146, A(3), 200, -300)
    s.wave('dive craft').pair(148, A(7), 220)
    s.wave('gunship swings east: holds the 3000 rows').one(150, A(6), 250, AIR_TOP)
    with s.gated(3):
        s.wave('reinforcements: V').vee(154, 1, -100, 5)
        s.wave('reinforcements: crawler').one(158, G(44), -120)
        s.wave('reinforcements: dive craft').pair(162, A(7), 100)
        s.wave('reinforcements: convoy').convoy(166, G(8), -1, 3)
        s.wave('reinforcements: sweep').echelon(170, A(1), 200, -60, 4)
    s.wave('half-track from the west bank').one(152, G(34), -360, TOP, 0)
    s.wave('emplacements at the view edge').pair(156, G(29), 200)
    s.wave('gunship down the centre').one(160, A(3), 0, -300)
    s.wave('supply base').one(164, G(17), 60)
    s.wave('armour down both banks').columns(168, G(3), 150, 2)
    s.wave('V').vee(172, 1, 0, 5)
    s.wave('dive craft').pair(176, A(7), 180)
    s.wave('crawlers').pair(174, G(44), 100)
    s.wave('sweep from the west').echelon(178, A(1), -180, 60, 4)
    s.wave('half-track from the east bank').one(180, G(30), SIDE, TOP, 512)
    s.wave('escort ahead of the boss').pair(182, A(1), 100, -330)
    s.wave('emplacements guard the boss area').pair(186, G(29), 120)

    s.land(4, 1, -300, 180)
    s.land(4, 9, 300, -60)
    s.land(5, 2, -300)
    s.land(6, 10, 180)
    s.land(7, 3, -300)
    s.land(8, 54, -300)
    s.land(9, 11, 180)
    s.land(10, 4, 300)
    s.land(11, 12, -300)
    s.land(12, 5, 300)
    s.land(13, 52, -240)
    s.land(14, 6, 180)
    s.land(15, 7, -300)
    s.land(16, 8, 300)
    s.land(17, 9, -300)
    s.land(18, 53, -240)
    s.land(19, 10, 180)
    s.land(20, 1, 300)
    s.land(20, 2, -300)
    return s


def stage3():
    boss = [(G(22), -120, -360, 256, 190), (G(22), 120, -360, 256, 195)]
    s = Stage(3, 1, 170, 21, 21, boss)
    s.bands = [19, 19, 21, 20, 22, 23, 19, 27, 21, 20, 22, 24, 24, 23, 19, 20, 27, 24, 17, 16, 15]
    # The desert base: volley tanks and emplacements, carriers that always hold the 1000 rows.
    s.wave('supply base').one(40, G(17), -60)
    s.wave('patrol').column(41, G(1), 120, 3)
    s.wave('sweep from the west').echelon(43, A(1), -240, 60, 4)
    s.wave('patrol').column(46, G(1), 180, 2)
    s.wave('volley tanks climb in').pair(48, G(23), 90)
    s.wave('V').vee(52, 1, 0, 5)
    s.wave('emplacements').pair(55, G(6), 180)
    s.wave('convoy from the west').convoy(58, G(3), -1, 3)
    s.wave('rotor craft from the east').one(60, A(4), SIDE, -90)
    s.wave('rotor craft from the west').one(62, A(4), -SIDE, -30)
    s.wave('tanks rise from the silos').pair(64, G(24), 120, -60, 768)
    s.wave('V').vee(66, 1, -120, 5)
    s.wave('volley tank').one(68, G(2), 60)
    s.wave('patrol').column(70, G(1), -180, 3)
    s.wave('dive craft').pair(72, A(7), 160)
    s.wave('fighters on the flanks').pair(74, A(1), 240, -340)
    s.wave('heavy turret').one(76, G(10), 0)
    s.wave('V').vee(78, 1, 120, 5)
    s.wave('carrier over the west lane: holds the 1000 rows').one(80, G(21), -60)
    with s.gated(1):
        s.wave('reinforcements: V').vee(84, 1, 120, 5)
        s.wave('reinforcements: emplacements').pair(88, G(6), 150)
        s.wave('reinforcements: convoy').convoy(92, G(8), +1, 3)
        s.wave('reinforcements: dive craft').pair(96, A(7), 200)
        s.wave('reinforcements: grid gun').one(100, G(5), 120)
        s.wave('reinforcements: sweep').echelon(104, A(1), -200, 60, 5)
        s.wave('reinforcements: volley tanks').pair(110, G(23), 180)
        s.wave('reinforcements: rotor craft').pair(116, A(4), SIDE, -150)
        s.wave('reinforcements: V').vee(122, 1, 0, 5)
        s.wave('reinforcements: heavy turret').one(128, G(10), -150)
        s.wave('reinforcements: silo tanks').pair(134, G(24), 150, -40, 768)
    s.wave('fighters on the flanks').pair(82, A(1), 220, -340)
    s.wave('supply base').one(86, G(17), 180)
    s.wave('patrol').column(90, G(1), -200, 3)
    s.wave('volley tank').one(94, G(2), -120)
    s.wave('gunship down the centre').one(98, A(3), 0, -300)
    s.wave('V').vee(102, 1, -60, 5)
    s.wave('emplacements at the view edge').pair(106, G(6), 240)
    s.wave('tank hunters').column(108, G(8), 60, 3)
    s.wave('grid gun').one(114, G(5), -150)
    s.wave('dive craft').pair(112, A(7), 120)
    s.wave('dive craft').one(118, A(7), 0)
    s.wave('patrols').columns(124, G(1), 120, 2)
    s.wave('volley tanks climb in').pair(127, G(23), 150)
    s.wave('gunship from the west').one(130, A(3), -200, -300)
    s.wave('V').vee(136, 1, 60, 5)
    s.wave('carrier over the east lane: holds the 1000 rows').one(140, G(21), 120)
    with s.gated(1):
        s.wave('reinforcements: V').vee(144, 1, -100, 5)
        s.wave('reinforcements: heavy turrets').pair(148, G(10), 180)
        s.wave('reinforcements: dive craft').pair(152, A(7), 150)
        s.wave('reinforcements: convoy').convoy(156, G(3), -1, 3)
        s.wave('reinforcements: sweep').echelon(160, A(1), 200, -60, 5)
        s.wave('reinforcements: grid gun').one(166, G(5), 0)
        s.wave('reinforcements: rotor craft').pair(170, A(4), SIDE, -60)
        s.wave('reinforcements: V').vee(174, 1, 0, 5)
    s.wave('supply base').one(142, G(17), -180)
    s.wave('volley tanks climb in').pair(146, G(23), 200)
    s.wave('gunship from the east').one(150, A(3), 200, -300)
    s.wave('patrol').column(154, G(1), -60, 3)
    s.wave('V').vee(158, 1, 100, 5)
    s.wave('silo tanks').pair(162, G(24), 100, -80, 768)
    s.wave('volley tank').one(164, G(2), 180)
    s.wave('fighters on the flanks').pair(168, A(1), 150, -340)
    s.wave('emplacements').pair(172, G(6), 120)
    s.wave('dive craft').pair(176, A(7), 220)
    s.wave('sweep from the west').echelon(178, A(1), -200, 60, 3)
    s.wave('V').vee(180, 1, 0, 5)
    s.wave('supply base').one(184, G(17), 0)
    s.wave('rotor craft from both sides').pair(186, A(4), SIDE, -120)

    s.land(4, 3, -300, 60)
    s.land(4, 8, 300, -180)
    s.land(5, 1, 300)
    s.land(6, 7, -300)
    s.land(7, 54, 300)
    s.land(8, 2, -300)
    s.land(9, 9, 300)
    s.land(10, 5, -300)
    s.land(11, 4, 300)
    s.land(12, 10, -300)
    s.land(13, 12, 300)
    s.land(14, 5, -300)
    s.land(15, 11, 300)
    s.land(15, 6, -300)
    s.land(16, 12, 300)
    s.land(17, 54, -300)
    s.land(18, 1, 300)
    s.land(18, 7, -300)
    s.land(19, 2, 300)
    s.land(20, 8, -300)
    s.land(20, 3, 300)
    return s


def stage4():
    boss = [(G(28), -120, -360, 256, 190), (G(28), 120, -360, 256, 195)]
    s = Stage(4, 2, 109, 26, 21, boss)
    s.bands = [33, 32, 30, 28, 29, 31, 28, 30, 32, 33, 39, 40, 34, 35, 36, 40, 39, 28, 29, 31, 30]
    # The coast: fewer, heavier enemies; tanks hold the beaches, fighters of a new kind.
    s.wave('supply base').one(40, G(17), 0)
    s.wave('V').vee(42, 1, 0, 5)
    s.wave('twin-gun cars climb the beach').pair(45, G(27), 120)
    s.wave('tanks wait on both beaches').one(48, G(25), -SIDE, TOP, 0)
    s.one(48, G(26), SIDE, TOP, 512)
    s.wave('new fighters').vee(52, 2, -100, 3)
    s.wave('twin-gun cars').column(56, G(9), 60, 2, dt=3)
    s.wave('fighters on the flanks').pair(58, A(1), 200, -340)
    s.wave('heavy turrets').pair(60, G(10), 180)
    s.wave('gunship down the centre').one(64, A(3), 0, -300)
    s.wave('convoy from the west').convoy(68, G(8), -1, 2)
    s.wave('tanks rise from the dunes').pair(72, G(24), 120, -60, 768)
    s.wave('carrier over the west: holds the 1000 rows').one(75, G(12), -100)
    with s.gated(1):
        s.wave('reinforcements: V').vee(80, 2, 100, 5)
        s.wave('reinforcements: emplacements').pair(86, G(6), 150)
        s.wave('reinforcements: convoy').convoy(92, G(3), +1, 2)
        s.wave('reinforcements: fighters').pair(98, A(1), 200, -330)
        s.wave('reinforcements: heavy turret').one(104, G(10), 0)
        s.wave('reinforcements: V').vee(110, 2, -60, 3)
    s.wave('twin-gun cars').pair(78, G(9), 200)
    s.wave('V').vee(84, 1, 0, 5)
    s.wave('supply base').one(90, G(17), 180)
    s.wave('gunship from the west').one(96, A(3), -200, -300)
    s.wave('tanks wait on both beaches').one(102, G(25), -SIDE, -200, 0)
    s.one(102, G(26), SIDE, -200, 512)
    s.wave('twin-gun cars climb in').column(108, G(27), -150, 2, dt=3)
    s.wave('tank hunters').column(112, G(8), -60, 2, dt=3)
    s.wave('V').vee(114, 2, 0, 5)
    s.wave('dune tanks').pair(118, G(24), 160, -40, 768)
    s.wave('gunship from the east').one(122, A(3), 200, -300)
    s.wave('heavy turrets').pair(126, G(10), 120)
    s.wave('V').vee(130, 1, 0, 3)
    s.wave('carrier over the east: holds the 2000 rows').one(135, G(12), 100)
    with s.gated(2):
        s.wave('reinforcements: V').vee(140, 2, 0, 5)
        s.wave('reinforcements: twin-gun cars').pair(146, G(9), 180)
        s.wave('reinforcements: convoy').convoy(152, G(8), +1, 2)
        s.wave('reinforcements: V').vee(158, 1, -100, 3)
        s.wave('reinforcements: emplacements').pair(164, G(6), 200)
        s.wave('reinforcements: gunship').one(170, A(3), 0, -300)
    s.wave('tanks wait on both beaches').one(138, G(25), -SIDE, -260, 0)
    s.one(138, G(26), SIDE, -260, 512)
    s.wave('supply base').one(144, G(17), -120)
    s.wave('V').vee(150, 2, 100, 5)
    s.wave('twin-gun cars climb in').pair(156, G(27), 100)
    s.wave('gunship from the west').one(162, A(3), -180, -300)
    s.wave('dune tanks').pair(168, G(24), 140, -60, 768)
    s.wave('V').vee(172, 2, 0, 5)
    s.wave('fighters on the flanks').pair(178, A(1), 150, -340)
    s.wave('heavy turret').one(182, G(10), 0)
    s.wave('escort ahead of the boss').pair(186, A(2), 120, -340)

    s.land(4, 13, -300, 180)
    s.land(4, 14, 300, 60)
    s.land(4, 15, -300, -180)
    s.land(5, 16, 300)
    s.land(6, 17, -300)
    s.land(7, 18, 300)
    s.land(8, 19, -300)
    s.land(9, 20, 300)
    s.land(10, 21, -300)
    s.land(10, 22, 300)
    s.land(11, 23, -300)
    s.land(12, 24, 300)
    s.land(12, 25, -300)
    s.land(13, 26, -180)
    s.land(13, 27, 300)
    s.land(14, 28, -300)
    s.land(14, 29, 180)
    s.land(15, 30, -300)
    s.land(15, 31, 300)
    s.land(16, 32, -300)
    s.land(17, 33, 300)
    s.land(17, 34, -300)
    s.land(18, 35, 300)
    s.land(19, 36, -300)
    s.land(20, 37, 300)
    s.land(20, 38, -300)
    return s


def stage5():
    boss = [(G(37), -120, -360, 256, 190), (G(37), 120, -360, 256, 195)]
    s = Stage(5, 2, 137, 90, 21, boss)
    s.bands = [39, 34, 35, 36, 37, 38, 34, 36, 35, 37, 38, 40, 34, 35, 36, 37, 38, 35, 34, 36, 34]
    # The sea fortress: walls on both sides, carriers hold the 5000 rows, flagships by
    # where they enter; ground fights along the centre corridor.
    s.wave('supply base').one(40, G(17), -60)
    s.wave('fighters of the fortress').vee(42, 10, 0, 5)
    s.wave('half-tracks leave the wall gates').one(45, G(33), 360, TOP, 512)
    s.one(45, G(34), -360, TOP, 0)
    s.wave('armour down the corridor').column(48, G(3), 60, 3)
    s.wave('V').vee(52, 2, -100, 5)
    s.wave('fighters on the flanks').pair(50, A(1), 200, -340)
    s.wave('crawlers').pair(56, G(44), 60)
    s.wave('half-track from the west gate').one(60, G(31), -SIDE, TOP, 0)
    s.wave('gunship down the centre').one(62, A(3), 0, -300)
    s.wave('carrier: holds the 5000 rows').one(65, G(12), 60)
    with s.gated(5):
        s.wave('reinforcements: V').vee(70, 10, 60, 5)
        s.wave('reinforcements: grid guns').pair(76, G(5), 90)
        s.wave('reinforcements: convoy').convoy(82, G(3), -1, 2)
        s.wave('reinforcements: fighters').pair(88, A(1), 200, -340)
    s.wave('tanks rise from the deck').pair(68, G(24), 100, -60, 768)
    s.wave('supply base').one(72, G(17), -120)
    s.wave('sweep from the west').echelon(74, A(10), -200, 60, 4)
    s.wave('V').vee(79, 2, -60, 5)
    s.wave('heavy crawler').one(84, G(35), -90)
    s.wave('half-tracks leave the wall gates').one(90, G(34), -360, TOP, 0)
    s.one(90, G(33), 360, TOP, 512)
    s.wave('fighters on the flanks').pair(92, A(2), 150, -340)
    s.wave('flagship down the centre: holds the 1000 rows').one(95, A(9), 0, AIR_TOP)
    with s.gated(1):
        s.wave('reinforcements: V').vee(100, 10, 0, 5)
        s.wave('reinforcements: crawlers').pair(106, G(44), 90)
        s.wave('reinforcements: fighters').pair(112, A(2), 200, -330)
        s.wave('reinforcements: grid gun').one(118, G(5), 0)
    s.wave('half-track from the west gate').one(98, G(31), -SIDE, TOP, 0)
    s.wave('V').vee(104, 1, -120, 5)
    s.wave('supply base').one(110, G(17), 60)
    s.wave('heavy crawler').one(108, G(35), 60)
    s.wave('armour down the corridor').column(114, G(3), -60, 2)
    s.wave('fighters on the flanks').pair(116, A(10), 200, -330)
    s.wave('carrier: holds the 5000 rows').one(120, G(4), 90)
    with s.gated(5):
        s.wave('reinforcements: V').vee(124, 2, 0, 5)
        s.wave('reinforcements: deck tanks').pair(130, G(24), 110, -80, 768)
        s.wave('reinforcements: convoy').convoy(136, G(3), +1, 2)
    s.wave('fighters on the flanks').pair(122, A(1), 220, -340)
    s.wave('gunship from the west').one(128, A(3), -200, -300)
    s.wave('supply base').one(126, G(17), -90)
    s.wave('heavy crawler').one(134, G(35), -60)
    s.wave('sweep from the east').echelon(138, A(1), 200, -60, 4)
    s.wave('V').vee(140, 10, -100, 5)
    s.wave('half-tracks leave the wall gates').one(145, G(33), 360, TOP, 512)
    s.one(145, G(34), -360, TOP, 0)
    s.wave('flagship over the west: holds the 2000 rows').one(150, A(8), -160, AIR_TOP)
    with s.gated(2):
        s.wave('reinforcements: V').vee(154, 10, 100, 5)
        s.wave('reinforcements: crawlers').pair(160, G(44), 60)
        s.wave('reinforcements: sweep').echelon(166, A(2), -200, 60, 4)
        s.wave('reinforcements: grid guns').pair(172, G(5), 120)
    s.wave('supply base').one(152, G(17), 90)
    s.wave('gunship from the east').one(158, A(3), 200, -300)
    s.wave('armour down the corridor').column(156, G(3), 60, 2)
    s.wave('half-track from the west gate').one(164, G(31), -SIDE, TOP, 0)
    s.wave('V').vee(171, 1, 0, 5)
    s.wave('sweep from the west').echelon(174, A(10), -200, 60, 3)
    s.wave('fighters on the flanks').pair(178, A(2), 150, -340)
    s.wave('deck tanks').pair(182, G(24), 90, -60, 768)
    s.wave('fighters on the flanks').pair(184, A(1), 240, -340)
    s.wave('escort ahead of the boss').pair(186, A(10), 100, -350)

    # The fortress: a launch deck at the start, walls all along both sides, gate towers.
    for y in (180, 60, -60):
        s.land_row(4, [(-300, 13), (-180, 14), (-60, 15), (60, 15), (180, 14), (300, 13)], y)
    for y in (-180, -300):
        s.land_row(4, [(-300, 16), (-180, 17), (180, 17), (300, 16)], y)
    for T in range(5, 21):
        s.land_row(T, [(-300, 18 + T % 6), (300, 18 + (T + 3) % 6)])
    for T in range(5, 16):
        s.land_row(T, [(-180, 24 + T % 14), (180, 24 + (T + 7) % 14)])
    for T in range(16, 21):
        s.land_row(T, [(-180, 38 + T % 14), (180, 38 + (T + 7) % 14)])
    return s


def stage6():
    s = Stage(6, 2, 163, 43, 21, [(G(16), 0, -360, 256, 190)])
    s.bands = [41, 42, 43, 44, 41, 46, 45, 47, 49, 42, 50, 48, 41, 44, 43, 46, 49, 45, 47, 41, 42]
    # The snowfield: carriers with turrets, grid drivers, the drifting square guns.
    s.wave('supply base').one(40, G(17), 0)
    s.wave('V').vee(42, 2, 0, 5)
    s.wave('fighters on the flanks').pair(44, A(1), 240, -340)
    s.wave('tank hunters').column(46, G(8), -120, 3)
    s.wave('twin-gun cars climb in').pair(48, G(27), 200)
    s.wave('V').vee(52, 10, 120, 5)
    s.wave('grid driver').one(56, G(14), -60)
    s.wave('sweep from the west').echelon(58, A(2), -200, 60, 4)
    s.wave('convoy from the east').convoy(60, G(8), +1, 3)
    s.wave('gunship from the west').one(62, A(3), -200, -300)
    s.wave('tanks rise from the ice').pair(66, G(24), 150, -60, 768)
    s.wave('tank hunters on both tracks').columns(68, G(8), 60, 2)
    s.wave('carrier over the west: holds the 1000 rows').one(70, G(7), -120)
    with s.gated(1):
        s.wave('reinforcements: V').vee(74, 10, -60, 5)
        s.wave('reinforcements: grid drivers').pair(80, G(14), 150)
        s.wave('reinforcements: sweep').echelon(86, A(2), 200, -60, 5)
        s.wave('reinforcements: convoy').convoy(92, G(8), -1, 3)
        s.wave('reinforcements: twin-gun cars').pair(98, G(27), 200)
        s.wave('reinforcements: V').vee(104, 1, 0, 5)
        s.wave('reinforcements: square gun').one(110, G(15), -200)
    s.wave('gunships on both flanks').pair(72, A(3), 200, -300)
    s.wave('sweep from the east').echelon(76, A(10), 200, -60, 4)
    s.wave('supply base').one(78, G(17), 180)
    s.wave('V').vee(84, 2, 100, 5)
    s.wave('twin-gun cars climb in').pair(88, G(27), 100)
    s.wave('square gun drifts west').one(90, G(15), 200)
    s.wave('V').vee(94, 1, 100, 5)
    s.wave('gunship down the centre').one(96, A(3), 0, -300)
    s.wave('tank hunters').column(102, G(8), 60, 3)
    s.wave('fighters on the flanks').pair(106, A(2), 220, -340)
    s.wave('ice tanks').pair(108, G(24), 100, -40, 768)
    s.wave('grid drivers').pair(112, G(14), 180)
    s.wave('V').vee(114, 10, -100, 5)
    s.wave('grid driver').one(118, G(14), 0)
    s.wave('fighters on the flanks').pair(122, A(2), 160, -330)
    s.wave('V').vee(126, 2, 0, 5)
    s.wave('carrier over the east: holds the 2000 rows').one(130, G(7), 120)
    with s.gated(2):
        s.wave('reinforcements: V').vee(134, 10, 100, 5)
        s.wave('reinforcements: twin-gun cars').pair(140, G(27), 120)
        s.wave('reinforcements: sweep').echelon(146, A(2), -200, 60, 5)
        s.wave('reinforcements: square gun').one(152, G(15), -240)
        s.wave('reinforcements: convoy').convoy(158, G(8), +1, 3)
        s.wave('reinforcements: V').vee(164, 1, 0, 5)
        s.wave('reinforcements: grid drivers').pair(170, G(14), 150)
    s.wave('supply base').one(132, G(17), -180)
    s.wave('gunships on both flanks').pair(136, A(3), 200, -300)
    s.wave('tank hunters').column(138, G(8), 0, 3)
    s.wave('gunship from the west').one(142, A(3), -180, -300)
    s.wave('fighters on the flanks').pair(144, A(10), 180, -340)
    s.wave('V').vee(149, 2, -100, 5)
    s.wave('twin-gun cars climb in').pair(152, G(27), 180)
    s.wave('ice tanks').pair(154, G(24), 140, -60, 768)
    s.wave('gunship from the east').one(160, A(3), 180, -300)
    s.wave('sweep from the west').echelon(162, A(1), -200, 60, 4)
    s.wave('tank hunters').column(166, G(8), -60, 3)
    s.wave('V').vee(172, 10, 0, 5)
    s.wave('fighters on the flanks').pair(176, A(2), 120, -320)
    s.wave('square gun drifts east').one(180, G(15), 0)
    s.wave('ice tanks').pair(182, G(24), 120, -60, 768)
    s.wave('escort ahead of the boss').pair(184, A(1), 240, -340)

    s.land(4, 39, -300, 180)
    s.land(4, 40, 300, 180)
    s.land(4, 41, -180, 60)
    s.land(4, 42, 300, -60)
    s.land(4, 43, -300, -180)
    for T in range(5, 21):
        s.land(T, 13 + T % 26, -300)
        s.land(T, 39 + T % 13, 300)
    for T in (5, 8, 11, 13, 17, 19):
        s.land(T, 44 + T % 8, 180 if T % 2 else -180)
    return s


def stage7():
    boss = [(G(41), -120, -384, 256, 290), (G(41), 120, -384, 256, 290),
            (G(42), -300, -300, 256, 300), (G(42), 300, -300, 256, 300)]
    s = Stage(7, 3, 205, 5, 31, boss)
    s.bands = [51, 52, 64, 53, 54, 55, 65, 56, 57, 66, 53, 59, 60, 58, 67, 56,
               62, 61, 68, 61, 55, 65, 54, 57, 66, 67, 59, 60, 63, 58, 61]
    # The fortress: garages, hatch guns and crawlers on the ground, everything in the air.
    s.wave('supply base').one(40, G(17), 0)
    s.wave('V').vee(42, 10, 0, 5)
    s.wave('hatch guns').line(46, G(36), (-150, 150), TOP, 512)
    s.wave('V').vee(50, 2, -120, 5)
    s.wave('half-tracks from both gates').one(54, G(30), SIDE, TOP, 512)
    s.one(54, G(31), -SIDE, TOP, 0)
    s.wave('heavy crawler').one(58, G(35), -100)
    s.wave('fighters on the flanks').pair(60, A(1), 220, -340)
    s.wave('V').vee(62, 1, 120, 5)
    s.wave('garage on the west wall').one(66, G(40), -300)
    s.wave('gunship down the centre').one(70, A(3), 0, -300)
    s.wave('tank waits at the east wall').one(74, G(26), SIDE, TOP, 512)
    s.wave('sweep from the west').echelon(76, A(10), -200, 60, 5)
    s.wave('supply base').one(80, G(17), -180)
    s.wave('carrier over the west: holds the 2000 rows').one(86, G(4), -120)
    with s.gated(2):
        s.wave('reinforcements: V').vee(90, 2, 120, 5)
        s.wave('reinforcements: hatch guns').line(96, G(36), (-180, 60), TOP, 512)
        s.wave('reinforcements: heavy crawler').one(102, G(35), 120)
        s.wave('reinforcements: V').vee(108, 10, -60, 5)
        s.wave('reinforcements: half-tracks').one(114, G(31), -SIDE, TOP, 0)
        s.one(114, G(30), SIDE, TOP, 512)
        s.wave('reinforcements: sweep').echelon(118, A(1), 200, -60, 5)
        s.wave('reinforcements: fortress gun').one(126, G(43), 0)
        s.wave('reinforcements: fighters').pair(130, A(2), 200, -340)
    s.wave('supply base').one(88, G(17), 180)
    s.wave('gunships on both flanks').pair(92, A(3), 200, -300)
    s.wave('garage on the east wall').one(98, G(40), 300)
    s.wave('V').vee(104, 2, 0, 5)
    s.wave('gunship from the west').one(110, A(3), -200, -300)
    s.wave('heavy crawler with its successors').one(116, G(42), -150)
    s.wave('V').vee(123, 10, 100, 5)
    s.wave('tank waits at the east wall').one(128, G(26), SIDE, TOP, 512)
    s.wave('hatch guns').line(132, G(36), (-200, 200), TOP, 512)
    s.wave('V').vee(136, 1, 0, 5)
    s.wave('flagship down the centre: holds the 1000 rows').one(140, A(8), 0, AIR_TOP)
    with s.gated(1):
        s.wave('reinforcements: V').vee(146, 10, 0, 5)
        s.wave('reinforcements: heavy crawler').one(152, G(35), -150)
        s.wave('reinforcements: sweep').echelon(158, A(2), -200, 60, 5)
        s.wave('reinforcements: supply bases').pair(164, G(17), 200)
        s.wave('reinforcements: V').vee(170, 1, 0, 5)
        s.wave('reinforcements: fortress gun').one(176, G(43), 120)
        s.wave('reinforcements: fighters').pair(182, A(10), 220, -340)
    s.wave('half-track from the west gate').one(144, G(31), -SIDE, TOP, 0)
    s.wave('half-track from the east gate').one(150, G(30), SIDE, TOP, 512)
    s.wave('V').vee(156, 2, 100, 5)
    s.wave('hatch gun').one(162, G(36), 0, TOP, 512)
    s.wave('gunship from the west').one(168, A(3), -200, -300)
    s.wave('garage on the west wall').one(174, G(40), -300)
    s.wave('fighters on the flanks').pair(180, A(1), 180, -340)
    s.wave('tank waits at the east wall').one(186, G(26), SIDE, TOP, 512)
    s.wave('half-track from the west gate').one(188, G(31), -SIDE, TOP, 0)
    s.wave('V').vee(190, 10, -100, 5)
    s.wave('supply base').one(196, G(17), -60)
    s.wave('carrier over the east: holds the 3000 rows').one(200, G(4), 120)
    with s.gated(3):
        s.wave('reinforcements: V').vee(206, 2, -100, 5)
        s.wave('reinforcements: heavy crawler').one(212, G(35), -150)
        s.wave('reinforcements: hatch guns').line(218, G(36), (-180, 180), TOP, 512)
        s.wave('reinforcements: sweep').echelon(224, A(10), 200, -60, 5)
        s.wave('reinforcements: fortress gun').one(230, G(43), -60, TOP, 512)
        s.wave('reinforcements: V').vee(236, 1, 0, 5)
        s.wave('reinforcements: half-tracks').one(242, G(31), -SIDE, TOP, 0)
        s.one(242, G(30), SIDE, TOP, 512)
    s.wave('gunships on both flanks').pair(202, A(3), 200, -300)
    s.wave('gunship from the east').one(208, A(3), 200, -300)
    s.wave('V').vee(214, 10, 0, 5)
    s.wave('heavy crawler with its successors').one(220, G(42), 150)
    s.wave('fighters on the flanks').pair(227, A(2), 160, -330)
    s.wave('garage on the east wall').one(232, G(40), 300)
    s.wave('V').vee(238, 2, 0, 5)
    s.wave('flagship over the west: holds the 2000 rows').one(244, A(8), -160, AIR_TOP)
    with s.gated(2):
        s.wave('reinforcements: V').vee(250, 10, 100, 5)
        s.wave('reinforcements: hatch guns').line(256, G(36), (-100, 100), TOP, 512)
        s.wave('reinforcements: sweep').echelon(262, A(1), -200, 60, 5)
        s.wave('reinforcements: heavy crawler').one(268, G(35), 0)
        s.wave('reinforcements: V').vee(274, 2, 0, 5)
    s.wave('tank waits at the east wall').one(248, G(26), SIDE, TOP, 512)
    s.wave('fighters high on the flanks').pair(254, A(10), 120, -350)
    s.wave('fighters on the flanks').pair(252, A(1), 200, -340)
    s.wave('gunship from the east').one(258, A(3), 180, -300)
    s.wave('supply base').one(264, G(17), 60)
    s.wave('V').vee(270, 10, -100, 5)
    s.wave('half-tracks from both gates').one(276, G(31), -SIDE, TOP, 0)
    s.one(276, G(30), SIDE, TOP, 512)
    s.wave('fighters on the flanks').pair(280, A(2), 150, -330)
    s.wave('last V').vee(284, 1, 0, 5)

    s.land(4, 1, -300, 60)
    s.land(10, 2, 180)
    s.land(16, 1, 60)
    s.land(22, 2, -60)
    s.land(28, 1, -180)
    return s


STAGES = [stage1, stage2, stage3, stage4, stage5, stage6, stage7]


# ---- design checks -------------------------------------------------------------------------

# Where a ground enemy comes to rest, relative to the ground it rides: (dx, dy) from its row,
# or a function of the row. Types missing here keep moving and are not checked.
def _slide_in(x, y, stage):
    return (240 if x > 0 else -240), y


def _half_track(x, y, stage):
    stop = 300 if stage in (2, 7) else 240
    return (stop if x > 0 else -stop), y


REST = {
    6: (0, 0), 10: (0, 0), 13: (0, 0), 17: (0, 0), 29: (0, 0), 36: (0, 0), 40: (0, 0),
    43: (0, 0), 5: (0, 120), 14: (0, 120), 23: (0, 120), 27: (0, 120), 35: (0, 120),
    44: (0, 120), 42: (0, 60), 24: (0, -120), 33: (-120, 0), 34: (120, 0),
    18: _slide_in, 19: _slide_in, 25: _slide_in, 26: _slide_in,
    30: _half_track, 31: _half_track,
}


def terrain_half(kind):
    return {52: (120, 120), 53: (120, 120), 54: (60, 120)}.get(kind, (60, 60))


def check_design(s):
    """Formations that do not stack on one spot, and no resting ground enemy hidden under
    terrain (terrain is drawn over the ground enemies)."""
    problems = []
    seen = {}
    for t, _, code, x, y, a, _ in s.enemies:
        kind = code % 1000
        layer = "air" if kind >= 100 else "ground"
        for ox, oy in seen.get((t, layer), []):
            if abs(ox - x) < 40 and abs(oy - y) < 40:
                problems.append(f"two {layer} rows at time {t} near ({x}, {y})")
        seen.setdefault((t, layer), []).append((x, y))
        rest = REST.get(kind)
        if rest is None:
            continue
        rx, ry = rest(x, y, s.number) if callable(rest) else (x + rest[0], y + rest[1])
        scrolled = 12 * t - 480
        for T, _, tk, tx, ty in s.terrain:
            ground_y = ty + scrolled - (120 * T - 480)
            hw, hh = terrain_half(tk)
            if ground_y <= 300 and abs(rx - tx) < hw and abs(ry - ground_y) < hh:
                problems.append(f"type {kind} of time {t} rests under terrain {tk} of time {T}")
    return [f"stage {s.number}: {p}" for p in problems]


# ---- checks the game relies on, and the writer ------------------------------------------------

def fail(stage, message):
    sys.exit(f"stagegen: stage {stage.number}: {message}")


def finish(s):
    s.enemies.sort(key=lambda r: (r[0], r[1]))
    last = s.boss[0][4]
    for t, _, code, x, y, a, _ in s.enemies:
        if t < 40 or t > last:
            fail(s, f"row {code} at time {t} outside 40-{last}")
        if abs(x) > 480 or abs(y) > 360:
            fail(s, f"row {code} at ({x}, {y}) outside the cull bounds")
    rows = [r[2:6] + (r[0],) for r in s.enemies]
    rows += [tuple(b) for b in s.boss]
    if len(rows) != s.enemy_rows:
        fail(s, f"{len(rows)} enemy rows, want {s.enemy_rows}")
    s.terrain.sort(key=lambda r: (r[0], r[1]))
    if len(s.terrain) != s.terrain_rows:
        fail(s, f"{len(s.terrain)} terrain rows, want {s.terrain_rows}")
    for T, _, kind, x, y in s.terrain:
        if kind not in GROUP_TERRAIN[s.group]:
            fail(s, f"terrain kind {kind} not in group {s.group}")
    if len(s.bands) != s.band_count:
        fail(s, f"{len(s.bands)} bands, want {s.band_count}")
    for p in s.bands:
        if any(tile and tile not in GROUP_TILES[s.group] for tile in PATTERNS[p][0]):
            fail(s, f"pattern {p} uses tiles outside group {s.group}")
    return rows


def emit(stages, path):
    out = []
    w = out.append
    w("// Generated by tools/stagegen/stagegen.py: regenerate, never edit.")
    w("// StageTables.cpp: the seven stages as data: enemy rows, terrain rows, background")
    w("// bands and the background patterns. The waves and their design are in the generator.")
    w('#include "StageTables.h"')
    w("")
    w("const int32_t StageEnemyTable[kStageCount][kEnemyRowsPerStage][5] = {")
    for s in stages:
        w(f"    // Stage {s.number}: {s.enemy_rows} rows")
        w("    {")
        notes = [r[6] for r in s.enemies] + ["boss"] + [None] * (len(s.boss) - 1)
        for row, note in zip(s.rows, notes):
            text = "        {" + ", ".join(str(v) for v in row) + "},"
            w(f"{text:<40}// {note}" if note else text)
        w("    },")
    w("};")
    w("")
    w("const int32_t StageTerrainTable[kStageCount][kTerrainRowsPerStage][4] = {")
    for s in stages:
        w(f"    // Stage {s.number}: {s.terrain_rows} rows")
        w("    {")
        for T, _, kind, x, y in s.terrain:
            w(f"        {{{kind}, {x}, {y}, {T}}},")
        w("    },")
    w("};")
    w("")
    w("const int32_t StageBgTable[kStageCount][kBgBandsPerStage] = {")
    for s in stages:
        w(f"    // Stage {s.number}: {s.band_count} bands, then the end of the map")
        ids = [str(p) for p in s.bands] + ["kBgEndMarker"]
        lines = [ids[i:i + 16] for i in range(0, len(ids), 16)]
        w("    {")
        for chunk in lines:
            w("        " + ", ".join(chunk) + ",")
        w("    },")
    w("};")
    w("")
    w("const int32_t BgPatternTable[kBgPatternCount][kBgColumns] = {")
    for i, (tiles, name) in enumerate(PATTERNS):
        text = "    {" + ", ".join(str(t) for t in tiles) + "},"
        w(f"{text:<32}// {i}: {name}")
    w("};")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


def main():
    if len(PATTERNS) != 69:
        sys.exit(f"stagegen: {len(PATTERNS)} patterns, want 69")
    stages = [make() for make in STAGES]
    for s in stages:
        s.rows = finish(s)
    problems = [p for s in stages for p in check_design(s)]
    unused = set(range(len(PATTERNS))) - {p for s in stages for p in s.bands}
    if unused:
        problems.append(f"patterns {sorted(unused)} used by no stage")
    if problems:
        sys.exit("stagegen: " + "\nstagegen: ".join(problems))
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    emit(stages, os.path.join(root, "game", "StageTables.cpp"))


if __name__ == "__main__":
    main()
