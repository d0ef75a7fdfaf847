#!/usr/bin/env python3
"""Draws the surface of a gmsh mesh of a STEP file as an SVG picture.

    render-mesh.py layout.step picture.svg [--size 0.5]

Meshes the STEP file with gmsh (python3-gmsh) in 3-D, then draws the surface
triangles of every volume seen from the front left, above, far to near, in the
colour the STEP file gives the solid (reflectors, which lie in the
surface of their plates, drawn last), shaded by the light from the viewer's
upper left, with the mesh's edges drawn thin.  rsvg-convert turns the SVG into
a PNG.  The picture of the README's simulation section is made with it.
"""
import argparse
import math
import sys

import gmsh


def main():
    p = argparse.ArgumentParser()
    p.add_argument("step")
    p.add_argument("svg")
    p.add_argument("--size", type=float, default=0, help="largest element size in micrometres (0: gmsh's own)")
    p.add_argument("--width", type=int, default=1200)
    a = p.parse_args()

    gmsh.initialize()
    gmsh.option.setNumber("General.Terminal", 0)
    gmsh.option.setString("Geometry.OCCTargetUnit", "UM")
    gmsh.model.occ.importShapes(a.step)
    gmsh.model.occ.synchronize()
    if a.size > 0:
        gmsh.option.setNumber("Mesh.MeshSizeMax", a.size)
    gmsh.model.mesh.generate(3)

    tags, coords, _ = gmsh.model.mesh.getNodes()
    point = {int(t): coords[3 * i:3 * i + 3] for i, t in enumerate(tags)}
    triangles = []  # (corners, colour, lift)
    elements = 0
    for _, volume in gmsh.model.getEntities(3):
        colour = gmsh.model.getColor(3, volume)[:3]
        # A reflector lies in the surface of its plate: drawn after the rest.
        lift = 1 if gmsh.model.getEntityName(3, volume).endswith("_reflector") else 0
        elements += sum(len(t) for t in gmsh.model.mesh.getElements(3, volume)[1])
        for _, surface in gmsh.model.getBoundary([(3, volume)], combined=False, oriented=False):
            types, _, nodes = gmsh.model.mesh.getElements(2, abs(surface))
            for kind, n in zip(types, nodes):
                if kind != 2:  # 3-node triangles
                    continue
                for i in range(0, len(n), 3):
                    triangles.append(([point[int(n[i + k])] for k in range(3)], colour, lift))
    gmsh.finalize()

    # Seen from the front left, above: turned by 35 degrees about z, tilted by 55 degrees.
    az, el = math.radians(-35), math.radians(55)

    def view(p):
        x = p[0] * math.cos(az) - p[1] * math.sin(az)
        y = p[0] * math.sin(az) + p[1] * math.cos(az)
        return (x, y * math.cos(el) + p[2] * math.sin(el), -y * math.sin(el) + p[2] * math.cos(el))

    drawn = []
    for corners, colour, lift in triangles:
        v = [view(c) for c in corners]
        e1 = [v[1][k] - v[0][k] for k in range(3)]
        e2 = [v[2][k] - v[0][k] for k in range(3)]
        n = [e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]]
        length = math.sqrt(sum(x * x for x in n)) or 1
        light = abs(-0.4 * n[0] + 0.5 * n[1] + 0.77 * n[2]) / length
        depth = (lift, sum(c[2] for c in v) / 3)  # larger: nearer the viewer
        drawn.append((depth, v, [min(255, int(c * (0.45 + 0.55 * light))) for c in colour]))
    drawn.sort(key=lambda d: d[0])  # far first: the view's third axis points at the viewer
    xs = [q[0] for d in drawn for q in d[1]]
    ys = [q[1] for d in drawn for q in d[1]]
    scale = (a.width - 40) / (max(xs) - min(xs))
    height = int((max(ys) - min(ys)) * scale) + 40
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d">' % (a.width, height),
           '<rect width="100%" height="100%" fill="white"/>']
    for _, v, rgb in drawn:
        pts = " ".join("%.2f,%.2f" % (20 + (q[0] - min(xs)) * scale, height - 20 - (q[1] - min(ys)) * scale) for q in v)
        out.append('<polygon points="%s" fill="rgb(%d,%d,%d)" stroke="#222" stroke-width="0.3"/>' % ((pts,) + tuple(rgb)))
    out.append("</svg>")
    with open(a.svg, "w") as f:
        f.write("\n".join(out) + "\n")
    print("%d surface triangles of %d tetrahedra drawn" % (len(triangles), elements), file=sys.stderr)


if __name__ == "__main__":
    main()
