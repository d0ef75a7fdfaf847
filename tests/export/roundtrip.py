#!/usr/bin/env python3
"""Round trip through kavrit-export, checked independently of its code.

Optionally converts a CIF file with cif2kavrit first (plain, with -s, with
-s -r and with -nolinkage), then exports each kavrit file to OBJ, STL and SVG
in all four views and checks them against a reading of the kavrit file made
here: object, box, vertex, face and triangle counts, the materials, the
bounding box, and an SVG that an XML parser accepts and that shows every
structure.  With --rsvg the isometric SVG is also rendered to PNG.
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from export_files import all_boxes, bbox, box_bbox, check, failures, read_kavrit, read_obj, same_bbox  # noqa: E402

SVG_NS = "{http://www.w3.org/2000/svg}"


def export(exe, kavrit, out, *options):
    r = subprocess.run([exe, *options, kavrit, out], capture_output=True, text=True)
    check(r.returncode == 0, "kavrit-export %s %s: status %d: %s" % (" ".join(options), out, r.returncode, r.stderr))
    return r.returncode == 0


def check_obj(path, structures, label):
    boxes = all_boxes(structures)
    obj = read_obj(path)
    objects, faces, materials = obj["objects"], obj["faces"], obj["materials"]
    vertices = [v[0] for v in obj["vertices"]]
    check([o[0] for o in objects] == ["structure_%d" % s["number"] for s in structures], label + ": OBJ objects")
    check([o[1] for o in objects] == [8 * (len(s["boxes"]) + (1 if s["reflector"] else 0)) for s in structures],
          label + ": OBJ vertices per object")
    check(len(vertices) == 8 * len(boxes), label + ": OBJ vertex count")
    check(len(faces) == 6 * len(boxes), label + ": OBJ face count")
    check(all(len(f) == 4 and all(1 <= i <= len(vertices) for i in f) for f in faces), label + ": OBJ face indices")
    check(same_bbox(bbox(vertices), box_bbox(boxes)), label + ": OBJ bounding box")
    expected = []
    for s in structures:
        if s["boxes"]:
            expected.append(s["kind"])
        if s["reflector"]:
            expected.append("reflector")
    check(materials == expected, label + ": OBJ materials %s, expected %s" % (materials, expected))
    mtl = os.path.splitext(path)[0] + ".mtl"
    with open(mtl) as f:
        defined = re.findall(r"^newmtl (\S+)$", f.read(), re.M)
    check(sorted(defined) == ["anchored", "free", "hinged", "reflector"], label + ": MTL materials")


def check_stl(path, structures, label):
    boxes = all_boxes(structures)
    with open(path, "rb") as f:
        data = f.read()
    check(not data.startswith(b"solid"), label + ": STL header")
    (count,) = struct.unpack_from("<I", data, 80)
    check(count == 12 * len(boxes), label + ": STL triangle count")
    check(len(data) == 84 + 50 * count, label + ": STL size")
    points = []
    for t in range(min(count, (len(data) - 84) // 50)):
        v = struct.unpack_from("<12f", data, 84 + 50 * t)
        points += [v[3:6], v[6:9], v[9:12]]
    check(same_bbox(bbox(points), box_bbox(boxes), 1e-5), label + ": STL bounding box")


def check_svg(path, structures, label):
    try:
        root = ET.parse(path).getroot()
    except ET.ParseError as e:
        check(False, label + ": SVG is not well-formed XML: %s" % e)
        return
    check(root.tag == SVG_NS + "svg", label + ": SVG root")
    width, height = float(root.get("width")), float(root.get("height"))
    drawn = [g for g in root.iter(SVG_NS + "g") if (g.get("class") or "").split()[:1] == ["box"]]
    check(len(drawn) == len(all_boxes(structures)), label + ": SVG box count")
    check(sum("reflector" in g.get("class").split() for g in drawn) == sum(bool(s["reflector"]) for s in structures),
          label + ": SVG reflector count")
    with_boxes = sorted(s["number"] for s in structures if s["boxes"] or s["reflector"])
    check(sorted({int(g.get("data-structure")) for g in drawn}) == with_boxes, label + ": SVG structures drawn")
    legend = [int(g.get("data-structure")) for g in root.iter(SVG_NS + "g") if g.get("class") == "legend-entry"]
    check(sorted(legend) == sorted(s["number"] for s in structures), label + ": SVG legend entries")
    axes = {int(g.get("data-structure")) for g in root.iter(SVG_NS + "g") if g.get("class") == "axis"}
    check({s["number"] for s in structures if s["kind"] == "hinged"} <= axes, label + ": SVG axes of hinged structures")
    for poly in root.iter(SVG_NS + "polygon"):
        for pair in poly.get("points").split():
            x, y = (float(c) for c in pair.split(","))
            if not (0 <= x <= width and 0 <= y <= height):
                check(False, label + ": SVG point %s outside the picture" % pair)
                return
    return width, height


def check_png(rsvg, svg, size, label):
    png = svg[:-4] + ".png"
    r = subprocess.run([rsvg, "-o", png, svg], capture_output=True, text=True)
    check(r.returncode == 0, label + ": rsvg-convert: " + r.stderr)
    if r.returncode != 0:
        return
    with open(png, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", label + ": PNG signature")
    w, h = struct.unpack(">II", head[16:24])
    check((w, h) == (round(size[0]), round(size[1])), label + ": PNG size %dx%d" % (w, h))


def round_trip(args, kavrit, work, label):
    structures = read_kavrit(kavrit)
    check(len(structures) > 0 or args.expect_structures == 0, label + ": no structure in the kavrit file")
    if args.expect_structures is not None:
        check(len(structures) == args.expect_structures, label + ": %d structures" % len(structures))
    if args.expect_boxes is not None:
        check(len(all_boxes(structures)) == args.expect_boxes, label + ": %d boxes" % len(all_boxes(structures)))
    if args.expect_bbox:
        b = args.expect_bbox
        check(same_bbox(box_bbox(all_boxes(structures)), ([b[0], b[2], b[4]], [b[1], b[3], b[5]])),
              label + ": layout bounding box %s" % (box_bbox(all_boxes(structures)),))
    stem = os.path.join(work, label)
    if export(args.export, kavrit, stem + ".obj"):
        check_obj(stem + ".obj", structures, label)
    if export(args.export, kavrit, stem + ".stl"):
        check_stl(stem + ".stl", structures, label)
    for view in ("iso", "top", "front", "side"):
        svg = "%s-%s.svg" % (stem, view)
        if export(args.export, kavrit, svg, "--view", view):
            size = check_svg(svg, structures, label + " " + view)
            if view == "iso" and args.rsvg and size:
                check_png(args.rsvg, svg, size, label)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--export", required=True)
    p.add_argument("--kavrit")
    p.add_argument("--convert")
    p.add_argument("--cif")
    p.add_argument("--rsvg")
    p.add_argument("--expect-bbox", type=float, nargs=6)
    p.add_argument("--expect-structures", type=int)
    p.add_argument("--expect-boxes", type=int)
    args = p.parse_args()

    with tempfile.TemporaryDirectory(prefix="kavrit-roundtrip-") as work:
        if args.kavrit:
            round_trip(args, args.kavrit, work, "given")
        if args.cif:
            cif = os.path.abspath(args.cif)
            for label, options in (("plain", []), ("summary", ["-s"]), ("grouped", ["-s", "-r"]),
                                   ("nolinkage", ["-nolinkage"])):
                kavrit = os.path.join(work, label + ".kavrit")
                # The converter works in its current folder: give it one of its own.
                run_dir = os.path.join(work, "run-" + label)
                os.mkdir(run_dir)
                r = subprocess.run([args.convert, *options, "-o", kavrit, cif], cwd=run_dir,
                                   capture_output=True, text=True)
                check(r.returncode == 0 and os.path.exists(kavrit),
                      "cif2kavrit %s: status %d: %s" % (" ".join(options), r.returncode, r.stderr))
                if os.path.exists(kavrit):
                    round_trip(args, kavrit, work, label)

    for f in failures:
        print("FAIL: " + f)
    print("%d failed" % len(failures) if failures else "round trip passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
