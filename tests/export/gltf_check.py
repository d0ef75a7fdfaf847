#!/usr/bin/env python3
"""Checks kavrit-export's .glb against the kavrit file it came from.

Converts a CIF file with cif2kavrit (with -s, and with -s -r so that block
numbers and structure numbers differ), or takes a kavrit file, writes the
.glb flat and posed (--raise), validates every .glb with the Khronos glTF
validator (0 errors, 0 warnings) and checks that the node tree equals the
link chains: one node structure_N per structure; a structure with two or
more link lines is a child of the node of its second link line, and its
ancestors are the rest of its chain in order; any other structure is a child
of the root.  The kavrit file is read here on its own, not by the program.
"""
import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source folder
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
# the kavrit file read here, not by the program
from export_files import box_bbox, check, failures, generate_layout, read_kavrit  # noqa: E402


def read_glb(path):
    with open(path, "rb") as f:
        data = f.read()
    magic, version, length = struct.unpack_from("<4sII", data, 0)
    check(magic == b"glTF" and version == 2 and length == len(data), path + ": GLB header")
    chunk_length, chunk_type = struct.unpack_from("<II", data, 12)
    check(chunk_type == 0x4E4F534A, path + ": first chunk is JSON")
    return json.loads(data[20:20 + chunk_length])


def structure_nodes(gltf):
    """The index of each node named structure_N, by N."""
    by_number = {}
    for i, n in enumerate(gltf["nodes"]):
        m = re.fullmatch(r"structure_(\d+)", n.get("name", ""))
        if m:
            by_number[int(m.group(1))] = i
    return by_number


def check_tree(gltf, chains, label):
    nodes = gltf["nodes"]
    scene = gltf["scenes"][gltf.get("scene", 0)]
    check(len(scene["nodes"]) == 1, label + ": one root node")
    root = scene["nodes"][0]
    parent_of = {}
    for i, n in enumerate(nodes):
        for c in n.get("children", []):
            check(c not in parent_of, label + ": node %d has one parent" % c)
            parent_of[c] = i
    by_number = structure_nodes(gltf)
    for number, i in by_number.items():
        check(nodes[i].get("extras", {}).get("structure") == number, label + ": extras of " + nodes[i]["name"])
    check(sorted(by_number) == sorted(chains), label + ": one node per structure")
    for number, chain in chains.items():
        if number not in by_number:
            continue
        node = by_number[number]
        ancestors = []
        at = parent_of.get(node)
        while at is not None and at != root:
            m = re.fullmatch(r"structure_(\d+)", nodes[at].get("name", ""))
            ancestors.append(int(m.group(1)) if m else None)
            at = parent_of.get(at)
        check(at == root, label + ": structure %d hangs under the root" % number)
        if len(chain) >= 2:
            check(ancestors == chain[1:], label + ": ancestors of %d are %s, its chain %s" % (number, ancestors, chain))
            # A hinged node turns about one local axis: no rotation but about x or y.
            r = nodes[node].get("rotation", [0, 0, 0, 1])
            check(r[2] == 0 and (r[0] == 0 or r[1] == 0), label + ": node of %d turns about x or y" % number)
        elif chain:
            check(ancestors == [], label + ": structure %d hangs from its anchor, under the root" % number)
        else:
            check(ancestors == [], label + ": structure %d without links is under the root" % number)
            check("rotation" not in nodes[node] and "translation" not in nodes[node],
                  label + ": structure %d does not move" % number)


def check_positions(gltf, structures, label):
    """In an unposed file, each structure's mesh, moved by the translations of
    its node and of every ancestor below the root, must cover exactly the
    boxes of the structure in the kavrit file: a translation taken relative
    to the wrong node shows up here as a shifted structure."""
    nodes = gltf["nodes"]
    root = gltf["scenes"][gltf.get("scene", 0)]["nodes"][0]
    parent_of = {c: i for i, n in enumerate(nodes) for c in n.get("children", [])}
    by_number = structure_nodes(gltf)
    for s in structures:
        node = by_number.get(s["number"])
        boxes = s["boxes"] + ([s["reflector"]] if s["reflector"] else [])
        # A box without extent along two axes has no face with an area and no mesh.
        if node is None or not boxes or any(sum(lo[k] == hi[k] for k in range(3)) >= 2 for lo, hi in boxes):
            continue
        offset = [0.0, 0.0, 0.0]
        at = node
        while at is not None and at != root:
            check("rotation" not in nodes[at], label + ": unposed node %d has no rotation" % at)
            t = nodes[at].get("translation", [0, 0, 0])
            offset = [offset[k] + t[k] for k in range(3)]
            at = parent_of.get(at)
        if "mesh" not in nodes[node]:
            check(False, label + ": structure %d has no mesh" % s["number"])
            continue
        accessors = [gltf["accessors"][prim["attributes"]["POSITION"]]
                     for prim in gltf["meshes"][nodes[node]["mesh"]]["primitives"]]
        placed = [([a["min"][k] + offset[k] for k in range(3)], [a["max"][k] + offset[k] for k in range(3)])
                  for a in accessors]
        if not placed:
            check(False, label + ": structure %d has a mesh without primitives" % s["number"])
            continue
        lo, hi = box_bbox(placed)
        want_lo, want_hi = box_bbox(boxes)
        close = all(abs(a - b) <= 1e-3 * max(1.0, abs(b)) for a, b in zip(lo + hi, want_lo + want_hi))
        check(close, label + ": structure %d lies at %s..%s, its boxes at %s..%s" %
              (s["number"], lo, hi, want_lo, want_hi))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--export", required=True)
    p.add_argument("--node", required=True)
    p.add_argument("--validator", required=True, help="validate-gltf.js")
    p.add_argument("--node-path", required=True, help="node_modules holding gltf-validator")
    p.add_argument("--convert")
    p.add_argument("--cif")
    p.add_argument("--kavrit")
    p.add_argument("--generate", nargs=2, metavar=("BENCH_SCALE", "BOXES"),
                   help="make the CIF file with bench-scale --layout BOXES")
    p.add_argument("--work", required=True)
    a = p.parse_args()
    if not os.path.isdir(os.path.join(a.node_path, "gltf-validator")):
        print("skipped: the glTF validator is not installed in %s (npm ci in tests/export/js)" % a.node_path)
        # Under CI the validator is installed on purpose: its absence is a fault.
        return 1 if os.environ.get("CI") else 77
    os.makedirs(a.work, exist_ok=True)
    if a.generate:
        a.cif = os.path.join(a.work, "generated_%s.cif" % a.generate[1])
        generate_layout(a.generate[0], a.generate[1], a.cif)
    kavrits = []
    if a.cif:
        # Short names in the work folder: cif2kavrit keeps names of up to 79 characters.
        name = os.path.basename(a.cif)
        if os.path.abspath(a.cif) != os.path.abspath(os.path.join(a.work, name)):
            shutil.copyfile(a.cif, os.path.join(a.work, name))
        stem = os.path.splitext(name)[0]
        for options in (["-s"], ["-s", "-r"]):
            out = stem + "".join(options).replace("-", "_") + ".kav"
            r = subprocess.run([os.path.abspath(a.convert)] + options + ["-o", out, name], cwd=a.work,
                               capture_output=True, text=True)
            out = os.path.join(a.work, out)
            check(r.returncode == 0, "cif2kavrit %s: %s" % (options, r.stderr))
            kavrits.append(out)
    if a.kavrit:
        kavrits.append(a.kavrit)
    glbs = []
    for kav in kavrits:
        structures = read_kavrit(kav)
        chains = {s["number"]: s["chain"] for s in structures}
        stem = os.path.join(a.work, os.path.splitext(os.path.basename(kav))[0])
        for suffix, options in (("", []), ("-raised", ["--raise", "40"])):
            glb = stem + suffix + ".glb"
            r = subprocess.run([a.export] + options + [kav, glb], capture_output=True, text=True)
            check(r.returncode == 0, "kavrit-export %s: %s" % (glb, r.stderr))
            if r.returncode == 0:
                gltf = read_glb(glb)
                check_tree(gltf, chains, glb)
                if not options:
                    check_positions(gltf, structures, glb)
                glbs.append(glb)
    if glbs:
        env = dict(os.environ, NODE_PATH=a.node_path)
        r = subprocess.run([a.node, a.validator] + glbs, capture_output=True, text=True, env=env)
        sys.stdout.write(r.stdout)
        sys.stderr.write(r.stderr)
        check(r.returncode == 0, "glTF validator: errors or warnings")
    for f in failures:
        print("FAIL: " + f)
    print("%d glTF files, %d failures" % (len(glbs), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
