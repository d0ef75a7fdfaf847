"""The files of kavrit-export read back by the tests, independently of its code.

The kavrit reading here follows the format as the converter writes it, not
the program's reader; the OBJ reading takes the lines the writers' checks
need. roundtrip.py, step_check.py and gltf_check.py share them, and the
list of failures that each check adds to.
"""
import re
import subprocess

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


NUMBER = r"-?\d+(?:\.\d+)?"
BOX_LINE = re.compile(r"^\s*(%s)\s+(%s)\s+(%s)\s+(%s)\s+(%s)\s+(%s)\s*$" % ((NUMBER,) * 6))
START = re.compile(r"^# structure (\d+) start -+$")
XREF = re.compile(r"^# \(struct (\d+) in the neighbor summary\.\)$")
LINK = re.compile(r"^  link (\d+) (start|member)$")

def read_kavrit(path):
    """The structures of a kavrit file: number, kind, link chain, boxes as (lo, hi), reflector."""
    structures = []
    current = None
    in_reflector = False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\r\n")
            m = START.match(line)
            if m:
                current = {"number": int(m.group(1)), "kind": "free", "chain": [], "boxes": [], "reflector": None}
                structures.append(current)
                continue
            if current is None:
                continue
            m = XREF.match(line)
            if m:
                current["number"] = int(m.group(1))
            elif line.strip() == "anchor: true":
                current["kind"] = "anchored"
            elif LINK.match(line):
                current["chain"].append(int(LINK.match(line).group(1)))
                current["kind"] = "hinged"
            elif line.strip() == "reflect start":
                in_reflector = True
            elif line.strip() == "reflect end":
                in_reflector = False
            elif line.strip() == "}":
                current = None
            else:
                m = BOX_LINE.match(line)
                if m:
                    v = [float(x) for x in m.groups()]
                    box = ([v[3 + k] - v[k] / 2 for k in range(3)], [v[3 + k] + v[k] / 2 for k in range(3)])
                    if in_reflector:
                        current["reflector"] = box
                    else:
                        current["boxes"].append(box)
    return structures


def all_boxes(structures):
    out = []
    for s in structures:
        out += s["boxes"]
        if s["reflector"]:
            out.append(s["reflector"])
    return out


def bbox(points):
    points = list(points)
    if not points:
        return None
    return [min(p[k] for p in points) for k in range(3)], [max(p[k] for p in points) for k in range(3)]


def box_bbox(boxes):
    """The bounding box of boxes given as (lo, hi); None for no box."""
    return bbox([b[0] for b in boxes] + [b[1] for b in boxes])


def same_bbox(a, b, tol=1e-6):
    if a is None or b is None:
        return a is None and b is None
    return all(abs(a[i][k] - b[i][k]) <= tol * max(1.0, abs(b[i][k])) for i in range(2) for k in range(3))


def read_obj(path):
    """An OBJ file: its objects as [name, vertex count], its vertices (each with
    the object and the material in force where it stands), faces and materials."""
    objects, vertices, faces, materials = [], [], [], []
    name = material = None
    with open(path) as f:
        for line in f:
            w = line.split()
            if not w:
                continue
            if w[0] == "o":
                name = w[1]
                objects.append([name, 0])
            elif w[0] == "v":
                vertices.append(([float(x) for x in w[1:4]], name, material))
                objects[-1][1] += 1
            elif w[0] == "f":
                faces.append([int(x) for x in w[1:]])
            elif w[0] == "usemtl":
                material = w[1]
                materials.append(material)
    return {"objects": objects, "vertices": vertices, "faces": faces, "materials": materials}


def generate_layout(bench_scale, boxes, cif):
    """Writes bench-scale's generated layout of about `boxes` boxes to `cif`."""
    with open(cif, "w") as f:
        r = subprocess.run([bench_scale, "--layout", str(boxes)], stdout=f, text=True)
    check(r.returncode == 0, "bench-scale --layout %s failed" % boxes)
