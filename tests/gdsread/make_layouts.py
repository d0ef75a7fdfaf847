#!/usr/bin/env python3
"""Writes GDSII test layouts with gdspy and, beside each, the same layout as
a flat CIF file, placed here with exact fractions (an implementation of the
GDSII placing rules of its own, independent of the converter's).

    make_layouts.py OUTDIR

For each case NAME: NAME.gds, NAME.cif (the CIF layers named as the map
names them), NAME.map, and NAME.counts (per layer, the shapes that are not
rectilinear and so make no boxes: "LAYER COUNT" lines).
"""
import os
import struct
import sys
from fractions import Fraction as F
from math import lcm

import gdspy

LAYERS = {(1, 0): "COL", (2, None): "CPS", (3, 0): "CPT", (4, 7): "CCM", (5, 0): "CMB"}


def layer_name(layer, dt):
    return LAYERS.get((layer, dt)) or LAYERS[(layer, None)]
MAP_TEXT = "# GDSII layer/datatype -> process layer\n1/0 COL\n2 CPS   # every data type\n3/0 CPT\n4/7 CCM\n5/0 CMB\n"


class Ref:
    def __init__(self, cell, origin, angle=0, mag="1", reflect=False, absmag=False, absangle=False, array=None):
        self.cell = cell
        self.origin = origin
        self.angle = angle  # degrees
        self.mag = mag  # decimal text, exact
        self.reflect = reflect
        self.absmag = absmag
        self.absangle = absangle
        self.array = array  # (columns, rows, column end point, row end point)


class Cell:
    def __init__(self, name):
        self.name = name
        self.polygons = []  # (layer, datatype, points)
        self.paths = []  # (layer, datatype, width, pathtype, points, (begin, end) extensions)
        self.refs = []


# ------------------------------------------------------------ GDSII side --
def _real8(value):
    # gdspy's own conversion of reals, through a throw-away reference.
    return gdspy._eight_byte_real(value)


class FlaggedReference(gdspy.CellReference):
    """An SREF or AREF written with exactly the given lattice points and
    STRANS bits (gdspy's own writers leave out ABSMAG and ABSANGLE and derive
    orthogonal lattices)."""

    def __init__(self, cell, ref):
        super().__init__(cell, ref.origin)
        self.ref = ref

    def to_gds(self, multiplier):
        r = self.ref
        name = self.ref_cell.name
        if len(name) % 2:
            name += "\0"
        kind = 0x0B00 if r.array else 0x0A00
        data = struct.pack(">4H", 4, kind, 4 + len(name), 0x1206) + name.encode("ascii")
        word = (0x8000 if r.reflect else 0) | (0x0004 if r.absmag else 0) | (0x0002 if r.absangle else 0)
        data += struct.pack(">3H", 6, 0x1A01, word)
        data += struct.pack(">2H", 12, 0x1B05) + _real8(float(F(r.mag)))
        data += struct.pack(">2H", 12, 0x1C05) + _real8(float(r.angle))
        points = [r.origin]
        if r.array:
            cols, rows, p2, p3 = r.array
            data += struct.pack(">2H2h", 8, 0x1302, cols, rows)
            points += [p2, p3]
        data += struct.pack(">2H", 4 + 8 * len(points), 0x1003)
        for x, y in points:
            data += struct.pack(">2l", x, y)
        return data + struct.pack(">2H", 4, 0x1100)


def write_gds(path, unit, cells):
    lib = gdspy.GdsLibrary(name="LIB", unit=unit, precision=unit)
    made = {}
    for cell in cells:  # callees first
        c = gdspy.Cell(cell.name, exclude_from_current=True)
        for layer, dt, pts in cell.polygons:
            c.add(gdspy.Polygon(pts, layer=layer, datatype=dt))
        for layer, dt, width, ptype, pts, ext in cell.paths:
            ends = {0: "flush", 1: "round", 2: "extended", 4: ext}[ptype]
            c.add(gdspy.FlexPath(pts, abs(width), ends=ends, gdsii_path=True, width_transform=width > 0,
                                 layer=layer, datatype=dt))
        for r in cell.refs:
            target = made[r.cell.name]
            plain = not r.array and not r.absmag and not r.absangle
            if plain:
                c.add(gdspy.CellReference(target, r.origin, rotation=r.angle or None,
                                          magnification=float(F(r.mag)) if r.mag != "1" else None,
                                          x_reflection=r.reflect))
            else:
                c.add(FlaggedReference(target, r))
        made[cell.name] = c
        lib.add(c)
    lib.write_gds(path)


# -------------------------------------------------------------- CIF side --
def turn(angle):
    q = (angle // 90) % 4
    return [((1, 0), (0, 1)), ((0, -1), (1, 0)), ((-1, 0), (0, -1)), ((0, 1), (-1, 0))][q]


def mat_mul(a, b):
    return tuple(tuple(sum(a[i][k] * b[k][j] for k in range(2)) for j in range(2)) for i in range(2))


MIRROR = ((1, 0), (0, -1))
IDENTITY = ((1, 0), (0, 1))


class Placement:
    """p -> t + s * O p, in CIF units (s a Fraction, O a right-angle matrix)."""

    def __init__(self, t, s, o):
        self.t, self.s, self.o = t, s, o

    def apply(self, p):
        x = self.o[0][0] * p[0] + self.o[0][1] * p[1]
        y = self.o[1][0] * p[0] + self.o[1][1] * p[1]
        return (self.t[0] + self.s * x, self.t[1] + self.s * y)

    def mirrored(self):
        return self.o[0][0] * self.o[1][1] - self.o[0][1] * self.o[1][0] < 0


def path_rects(width, ptype, pts, ext, scale_back):
    """The rectangles of a rectilinear path in its cell's coordinates;
    scale_back divides an absolute width (and its extensions)."""
    dedup = [p for i, p in enumerate(pts) if i == 0 or p != pts[i - 1]]
    half = F(abs(width), 2) / (scale_back if width < 0 else 1)
    unit = F(1) / (scale_back if width < 0 else 1)
    begin, end = {0: (0, 0), 2: (half, half), 4: (ext[0] * unit, ext[1] * unit) if ptype == 4 else (0, 0)}[ptype]
    rects = []
    for i in range(len(dedup) - 1):
        a, b = dedup[i], dedup[i + 1]
        before = begin if i == 0 else half
        after = end if i == len(dedup) - 2 else half
        if a[1] == b[1]:
            d = 1 if b[0] > a[0] else -1
            x0, x1 = a[0] - d * before, b[0] + d * after
            rects.append((min(x0, x1), a[1] - half, max(x0, x1), a[1] + half))
        else:
            d = 1 if b[1] > a[1] else -1
            y0, y1 = a[1] - d * before, b[1] + d * after
            rects.append((a[0] - half, min(y0, y1), a[0] + half, max(y0, y1)))
    return rects


def flatten(top, unit_cif, shapes, counts):
    """Every placed shape of top as a polygon of exact CIF coordinates."""
    stack = [(top, Placement((F(0), F(0)), unit_cif, IDENTITY), F(1))]
    while stack:
        cell, at, mag = stack.pop()
        for layer, dt, pts in cell.polygons:
            name = layer_name(layer, dt)
            if at.o is None:
                counts[name] = counts.get(name, 0) + 1
                continue
            shapes.setdefault(name, []).append([at.apply(p) for p in pts])
        for layer, dt, width, ptype, pts, ext in cell.paths:
            name = layer_name(layer, dt)
            if width == 0:
                continue
            slanted = any(a[0] != b[0] and a[1] != b[1] for a, b in zip(pts, pts[1:]))
            if ptype == 1 or slanted or at.o is None:
                counts[name] = counts.get(name, 0) + 1
                continue
            for x0, y0, x1, y1 in path_rects(width, ptype, pts, ext, mag):
                shapes.setdefault(name, []).append([at.apply(p) for p in ((x0, y0), (x1, y0), (x1, y1), (x0, y1))])
        for r in cell.refs:
            own_mag = F(r.mag)
            child_mag = own_mag if r.absmag else mag * own_mag
            s = unit_cif * child_mag
            if at.o is None or r.angle % 90 != 0:
                o = None
            elif r.absangle:
                o = mat_mul(turn(r.angle), MIRROR if (at.mirrored() != r.reflect) else IDENTITY)
            else:
                o = mat_mul(at.o, mat_mul(turn(r.angle), MIRROR if r.reflect else IDENTITY))
            lattice = [(0, 0)]
            if r.array:
                cols, rows, p2, p3 = r.array
                lattice = [(F(c * (p2[0] - r.origin[0]), cols) + F(w * (p3[0] - r.origin[0]), rows),
                            F(c * (p2[1] - r.origin[1]), cols) + F(w * (p3[1] - r.origin[1]), rows))
                           for c in range(cols) for w in range(rows)]
            for dx, dy in lattice:
                where = (r.origin[0] + dx, r.origin[1] + dy) if at.o is not None else (0, 0)
                t = at.apply(where) if at.o is not None else (F(0), F(0))
                stack.append((r.cell, Placement(t, s, o), child_mag))


def write_cif(path, shapes):
    den = 1
    for polys in shapes.values():
        for poly in polys:
            for x, y in poly:
                den = lcm(den, F(x).denominator, F(y).denominator)
    lines = ["(flat CIF written with exact fractions);", "DS 1 1 %d;" % den]
    for name in sorted(shapes):
        lines.append("L %s;" % name)
        for poly in shapes[name]:
            nums = []
            for x, y in poly:
                for v in (x, y):
                    n = v * den
                    assert n.denominator == 1 and abs(n) < 2 ** 31, "coordinate out of CIF range"
                    nums.append(str(n.numerator))
            lines.append("P " + " ".join(nums) + ";")
    lines += ["DF;", "C 1;", "E"]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def write_case(outdir, name, unit_text, cells, top):
    unit = float(unit_text)
    write_gds(os.path.join(outdir, name + ".gds"), unit, cells)
    shapes, counts = {}, {}
    flatten(top, F(unit_text) / F("1e-8"), shapes, counts)
    write_cif(os.path.join(outdir, name + ".cif"), shapes)
    with open(os.path.join(outdir, name + ".map"), "w") as f:
        f.write(MAP_TEXT)
    with open(os.path.join(outdir, name + ".counts"), "w") as f:
        for layer in sorted(counts):
            f.write("%s %d\n" % (layer, counts[layer]))


# ------------------------------------------------------------------ cases --
def leaf(name, s):
    """An asymmetric cell: an L of anchor, a plate bar with an odd size."""
    c = Cell(name)
    c.polygons.append((1, 0, [(0, 0), (4 * s, 0), (4 * s, s), (s, s), (s, 3 * s), (0, 3 * s)]))
    c.polygons.append((2, 0, [(s, 0), (3 * s + 1, 0), (3 * s + 1, 2 * s - 1), (s, 2 * s - 1)]))
    c.polygons.append((2, 5, [(2 * s, 2 * s), (2 * s + 7, 2 * s), (2 * s + 7, 4 * s), (2 * s, 4 * s)]))
    return c


def case_strans(s):
    """Every STRANS combination (reflection, four magnifications, four right
    angles) of one leaf, three levels deep."""
    lf = leaf("LEAF", s)
    mid = Cell("MID")
    i = 0
    for reflect in (False, True):
        for mag in ("1", "2", "0.5", "1.5"):
            for angle in (0, 90, 180, 270):
                mid.refs.append(Ref(lf, ((i % 8) * 12 * s + 3, (i // 8) * 12 * s - 7), angle, mag, reflect))
                i += 1
    top = Cell("TOP")
    top.refs.append(Ref(mid, (0, 0)))
    top.refs.append(Ref(mid, (101 * s + 1, 3 * s), 90, "1.5", True))
    top.refs.append(Ref(mid, (-7, 150 * s), 180, "0.5"))
    return [lf, mid, top], top


def case_arrays(s):
    """Skewed AREF lattices whose steps do not divide evenly, with STRANS,
    nested two deep, beside an orthogonal one."""
    lf = leaf("CELL", s)
    inner = Cell("INNER")
    inner.refs.append(Ref(lf, (0, 0), 0, "1", False, array=(3, 2, (3 * 700 * s // 100 + 1, 130 * s // 10), (-90 * s // 10, 1000 * s // 10 + 1))))
    outer = Cell("OUTER")
    outer.refs.append(Ref(inner, (5, -3), 90, "1.5", True, array=(2, 3, (400 * s // 10, 41 * s), (17 * s, 900 * s // 10))))
    outer.refs.append(Ref(lf, (-200 * s, 0), 270, "2", False, array=(4, 1, (-100 * s - 3, 0), (0, 10))))
    top = Cell("TOP")
    top.refs.append(Ref(outer, (0, 0)))
    top.refs.append(Ref(outer, (500 * s, 20 * s), 180, "0.5", True))
    return [lf, inner, outer, top], top


def case_paths(s):
    """Each path type, bends, odd widths, an absolute width under
    magnification, a round-ended path and a slanted one (no boxes)."""
    p = Cell("PATHS")
    bend = [(0, 0), (10 * s, 0), (10 * s, 8 * s), (4 * s, 8 * s)]
    p.paths.append((1, 0, 2 * s + 1, 0, bend, None))
    p.paths.append((2, 0, 3, 2, [(20 * s, 0), (20 * s, 9 * s + 1)], None))
    p.paths.append((2, 3, s, 4, [(30 * s, 0), (40 * s, 0), (40 * s, 6 * s)], (3 * s // 2, -(s // 3))))
    p.paths.append((3, 0, -(2 * s + 1), 2, [(0, 20 * s), (0, 30 * s), (7 * s, 30 * s)], None))
    p.paths.append((1, 0, s, 1, [(50 * s, 0), (60 * s, 0)], None))
    p.paths.append((1, 0, s, 0, [(50 * s, 10 * s), (60 * s, 20 * s)], None))
    p.paths.append((2, 0, 0, 0, [(50 * s, 30 * s), (60 * s, 30 * s)], None))
    top = Cell("TOP")
    top.refs.append(Ref(p, (0, 0)))
    top.refs.append(Ref(p, (3, 100 * s), 90, "2", True))
    top.refs.append(Ref(p, (200 * s, 0), 0, "0.5"))
    return [p, top], top


def case_absolute(s):
    """ABSMAG and ABSANGLE below a turned, mirrored, magnified placement, and
    a placement turned by 45 degrees (its shapes make no boxes)."""
    lf = leaf("LEAF", s)
    mid = Cell("MID")
    mid.refs.append(Ref(lf, (0, 0)))
    mid.refs.append(Ref(lf, (20 * s, 0), 90, "1", False, absangle=True))
    mid.refs.append(Ref(lf, (0, 20 * s), 0, "1.5", False, absmag=True))
    mid.refs.append(Ref(lf, (20 * s, 20 * s), 270, "0.5", True, absmag=True, absangle=True))
    top = Cell("TOP")
    top.refs.append(Ref(mid, (0, 0), 90, "2", True))
    top.refs.append(Ref(mid, (100 * s, 0), 180, "1"))
    top.refs.append(Ref(lf, (0, -100 * s), 45))
    return [lf, mid, top], top


CASES = [
    ("strans_1nm", "1e-9", case_strans, 1000),
    ("strans_1um", "1e-6", case_strans, 3),
    ("arrays_5nm", "5e-9", case_arrays, 200),
    ("arrays_25nm", "25e-9", case_arrays, 40),
    ("paths_half_nm", "0.5e-9", case_paths, 2000),
    ("paths_100nm", "1e-7", case_paths, 10),
    ("absolute_1nm", "1e-9", case_absolute, 1000),
]


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    for name, unit, make, s in CASES:
        cells, top = make(s)
        write_case(outdir, name, unit, cells, top)


if __name__ == "__main__":
    main()
