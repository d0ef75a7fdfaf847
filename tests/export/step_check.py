#!/usr/bin/env python3
"""STEP output of kavrit-export, opened, measured and meshed by gmsh.

Exports a kavrit file (optionally converted from a CIF file, or from a layout
that bench-scale generates) to STEP and OBJ with the same options, then checks
with gmsh, against a reading of the kavrit file made here:
  - the volume names are those of the structures with boxes of volume and of
    the reflectors, and a structure has as many volumes as its boxes form
    groups joined through faces (boxes meeting along an edge stay apart);
  - each named solid's volume equals the union volume of its boxes, computed
    here by a sweep over the boxes with their z values put at their heights
    (--stack, --z-scale); a turn moves a structure rigidly, so posed or not;
  - each named solid's bounding box equals that of its boxes in the OBJ;
  - solids of different structures do not overlap (kernel intersection);
    turned, the partners of a hinge (neighbours in the file's summary, a
    structure and the one it hangs from) may, since the boxes of a hinge
    have no clearance; their common volume is reported;
  - every volume meshes in 3-D without an error.
Exit status 77 (skipped) when gmsh's Python module is missing.
"""
import argparse
import os
import re
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from export_files import bbox, box_bbox, check, failures, generate_layout, read_kavrit, read_obj  # noqa: E402  (the tests' own reading of the files)

try:
    import gmsh
except ImportError:
    print("skipped: python module gmsh not found")
    sys.exit(77)

EMPTY = 1e-7  # an extent the kernel counts as none
NEIGHBOURS = re.compile(r"^# struct (\d+):\s+\d+ neighbor\(s\):(.*)$")
def read_stack(path):
    levels = []
    with open(path) as f:
        for line in f:
            words = line.split("#", 1)[0].split()
            if words:
                levels.append((float(words[0]), float(words[1])))
    return levels


def height(levels, z):
    for (l0, h0), (l1, h1) in zip(levels, levels[1:]):
        if l0 <= z <= l1:
            return h0 + (z - l0) * (h1 - h0) / (l1 - l0)
    raise ValueError("z %g outside the stack" % z)


def placed(box, zmap):
    lo, hi = box
    return ([lo[0], lo[1], zmap(lo[2])], [hi[0], hi[1], zmap(hi[2])])


def has_volume(box):
    return all(box[1][a] - box[0][a] > EMPTY for a in range(3))


def length_of_union(intervals):
    total, end = 0.0, None
    for a, b in sorted(intervals):
        if end is None or a > end:
            total += b - a
            end = b
        elif b > end:
            total += b - end
            end = b
    return total


def union_volume(boxes):
    """Volume of a union of boxes: slabs along x, strips along y, z intervals merged."""
    xs = sorted({v for b in boxes for v in (b[0][0], b[1][0])})
    volume = 0.0
    for x0, x1 in zip(xs, xs[1:]):
        slab = [b for b in boxes if b[0][0] <= x0 and b[1][0] >= x1]
        ys = sorted({v for b in slab for v in (b[0][1], b[1][1])})
        area = 0.0
        for y0, y1 in zip(ys, ys[1:]):
            strip = [(b[0][2], b[1][2]) for b in slab if b[0][1] <= y0 and b[1][1] >= y1]
            area += (y1 - y0) * length_of_union(strip)
        volume += (x1 - x0) * area
    return volume


def face_groups(boxes):
    """Groups of boxes joined through faces or volume (not through an edge alone)."""
    parent = list(range(len(boxes)))

    def root(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    for i in range(len(boxes)):
        for j in range(i + 1, len(boxes)):
            overlaps = [min(boxes[i][1][a], boxes[j][1][a]) - max(boxes[i][0][a], boxes[j][0][a]) for a in range(3)]
            if min(overlaps) >= 0 and sum(1 for o in overlaps if o > 0) >= 2:
                parent[root(i)] = root(j)
    return len({root(i) for i in range(len(boxes))})


def neighbours(path):
    """Pairs of structure names that the summary lists as neighbours."""
    pairs = set()
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = NEIGHBOURS.match(line)
            if m:
                for n in m.group(2).split():
                    pairs.add(frozenset(("structure_" + m.group(1), "structure_" + n)))
    return pairs


def obj_boxes(path):
    """The boxes with volume in an OBJ, as bounding boxes of their corners: name -> [(lo, hi)]."""
    boxes = {}
    vertices = read_obj(path)["vertices"]
    for first in range(0, len(vertices) - 7, 8):
        corners = [v[0] for v in vertices[first:first + 8]]
        _, name, material = vertices[first + 7]
        edges = [sum((corners[k][a] - corners[0][a]) ** 2 for a in range(3)) ** 0.5 for k in (1, 2, 4)]
        if min(edges) > EMPTY:
            key = name + "_reflector" if material == "reflector" else name
            boxes.setdefault(key, []).append(bbox(corners))
    return boxes


def overlap(b1, b2, margin=1e-6):
    return all(min(b1[1][a], b2[1][a]) - max(b1[0][a], b2[0][a]) > margin for a in range(3))


def run(cmd, **kw):
    r = subprocess.run(cmd, capture_output=True, text=True, **kw)
    if r.returncode != 0:
        print("command failed (%d): %s\n%s%s" % (r.returncode, " ".join(cmd), r.stdout, r.stderr))
        sys.exit(1)
    return r


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--export", required=True)
    p.add_argument("--kavrit")
    p.add_argument("--cif")
    p.add_argument("--convert", help="cif2kavrit")
    p.add_argument("--convert-options", default="-s")
    p.add_argument("--generate", nargs=2, metavar=("BENCH_SCALE", "BOXES"))
    p.add_argument("--work", required=True)
    p.add_argument("--stack")
    p.add_argument("--z-scale", type=float)
    p.add_argument("--pose", default="", help="kavrit-export options that turn hinges, as one word list")
    p.add_argument("--no-mesh", action="store_true")
    a = p.parse_args()

    a.work = os.path.abspath(a.work)
    os.makedirs(a.work, exist_ok=True)
    if a.generate:
        a.cif = os.path.join(a.work, "generated.cif")
        generate_layout(a.generate[0], a.generate[1], a.cif)
        if failures:
            print("FAIL:", failures[0])
            return 1
    if a.cif:
        kavrit = os.path.join(a.work, "layout.kav")
        run([a.convert] + a.convert_options.split() + ["-o", kavrit, os.path.abspath(a.cif)], cwd=a.work)
    else:
        kavrit = a.kavrit

    options = a.pose.split()
    zmap = lambda z: z  # noqa: E731
    if a.stack:
        options += ["--stack", a.stack]
        levels = read_stack(a.stack)
        zmap = lambda z: height(levels, z)  # noqa: E731
    if a.z_scale:
        options += ["--z-scale", repr(a.z_scale)]
        zmap = lambda z: z * a.z_scale  # noqa: E731
    step = os.path.join(a.work, "layout.step")
    obj = os.path.join(a.work, "layout.obj")
    for out in (step, obj):
        if os.path.exists(out):
            os.remove(out)
        run([a.export] + options + [kavrit, out])

    # What the file holds, worked out here.
    expected = {}  # name -> (union volume, number of solids)
    for s in read_kavrit(kavrit):
        name = "structure_%d" % s["number"]
        boxes = [placed(b, zmap) for b in s["boxes"]]
        boxes = [b for b in boxes if has_volume(b)]
        if boxes:
            expected[name] = (union_volume(boxes), face_groups(boxes))
        if s["reflector"]:
            r = placed(s["reflector"], zmap)
            expected[name + "_reflector"] = (union_volume([r]), 1)
    obj_parts = obj_boxes(obj)
    corners = {name: box_bbox(boxes) for name, boxes in obj_parts.items()}

    gmsh.initialize()
    gmsh.option.setNumber("General.Terminal", 0)
    gmsh.option.setString("Geometry.OCCTargetUnit", "UM")
    gmsh.logger.start()
    gmsh.model.occ.importShapes(step)
    gmsh.model.occ.synchronize()
    volumes = {}  # name -> [tag]
    for _, tag in gmsh.model.getEntities(3):
        path = gmsh.model.getEntityName(3, tag).split("/")
        check(len(path) >= 2 and path[0] == "Shapes", "volume %d has no structure name: %r" % (tag, path))
        volumes.setdefault(path[1] if len(path) >= 2 else "", []).append(tag)
    check(sorted(volumes) == sorted(expected),
          "volume names %s, expected %s" % (sorted(volumes), sorted(expected)))

    boxes_of = {}
    for name, tags in volumes.items():
        if name not in expected:
            continue
        volume, solids = expected[name]
        check(len(tags) == solids, "%s: %d volumes, expected %d" % (name, len(tags), solids))
        measured = sum(gmsh.model.occ.getMass(3, t) for t in tags)
        check(abs(measured - volume) <= 1e-6 * volume,
              "%s: volume %.12g, union of its boxes %.12g" % (name, measured, volume))
        lo, hi = box_bbox([(b[:3], b[3:]) for b in (gmsh.model.getBoundingBox(3, t) for t in tags)])
        boxes_of[name] = (lo, hi)
        want = corners.get(name)
        check(want is not None, "%s: not in the OBJ" % name)
        if want:
            # gmsh widens a bounding box by the kernel's tolerance.
            size = max(want[1][a] - want[0][a] for a in range(3))
            tol = 1e-6 * size + 1e-6
            ok = all(abs(lo[a] - want[0][a]) <= tol and abs(hi[a] - want[1][a]) <= tol for a in range(3))
            check(ok, "%s: bounding box %s %s, OBJ corners %s %s" % (name, lo, hi, want[0], want[1]))

    # Solids of different structures: no common volume.
    def owner(name):
        return name[: -len("_reflector")] if name.endswith("_reflector") else name

    # Pairs whose boxes' bounding boxes (from the OBJ's corners, exact for
    # boxes along the axes) overlap go to the kernel.
    names = sorted(n for n in boxes_of if n in obj_parts)
    partners = set()
    if a.pose:
        partners = neighbours(kavrit)
        for s in read_kavrit(kavrit):  # a structure and the one its second link line names
            if len(s["chain"]) >= 2:
                partners.add(frozenset(("structure_%d" % s["chain"][0], "structure_%d" % s["chain"][1])))
    pairs = 0
    for i, m in enumerate(names):
        for n in names[i + 1:]:
            if owner(m) == owner(n) or not overlap(corners[m], corners[n]):
                continue
            if not any(overlap(b1, b2) for b1 in obj_parts[m] for b2 in obj_parts[n]):
                continue
            pairs += 1
            for t1 in volumes[m]:
                for t2 in volumes[n]:
                    out, _ = gmsh.model.occ.intersect([(3, t1)], [(3, t2)], removeObject=False, removeTool=False)
                    common = sum(gmsh.model.occ.getMass(d, t) for d, t in out if d == 3)
                    gmsh.model.occ.remove(out, recursive=True)
                    if frozenset((m, n)) in partners:
                        if common > 0:
                            print("hinge partners %s and %s, turned, share a volume of %g" % (m, n, common))
                        continue
                    check(common <= 1e-9 * min(expected[m][0], expected[n][0]) + 1e-9,
                          "%s and %s share a volume of %g" % (m, n, common))
    gmsh.model.occ.synchronize()

    if not a.no_mesh:
        # Coarse elements: the check is that every solid meshes, not how finely.
        if boxes_of:
            lo, hi = box_bbox(list(boxes_of.values()))
        gmsh.option.setNumber("Mesh.MeshSizeMax", max(hi[k] - lo[k] for k in range(3)) / 8 if boxes_of else 1)
        try:
            gmsh.model.mesh.generate(3)
        except Exception as e:  # gmsh raises on a meshing error
            check(False, "meshing failed: %s" % e)
        for _, tag in gmsh.model.getEntities(3):
            types, elements, _ = gmsh.model.mesh.getElements(3, tag)
            check(sum(len(e) for e in elements) > 0, "volume %d has no 3-D elements" % tag)
    errors = [line for line in gmsh.logger.get() if line.startswith("Error")]
    check(not errors, "gmsh reported: %s" % errors[:5])
    gmsh.finalize()

    print("%d solids of %d structures and reflectors checked, %d pairs intersected" %
          (sum(len(v) for v in volumes.values()), len(volumes), pairs))
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
