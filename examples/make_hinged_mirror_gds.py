#!/usr/bin/env python3
"""Writes hinged_mirror.gds, the GDSII version of hinged_mirror.cif, with
gdspy (Debian's python3-gdspy). Run once from this folder; the .gds file is
committed beside this script and hinged_mirror.map.

The boxes are read from hinged_mirror.cif (its own B commands, 1/100 um
units) and written in a 1 nm database unit, on the GDSII layers of
hinged_mirror.map; the latch anchor symbol becomes the structure
LATCH_ANCHOR, placed once by the top structure HINGED_MIRROR.

    python3 make_hinged_mirror_gds.py
"""
import datetime
import re

import gdspy

LAYERS = {"COL": 1, "COF": 2, "COT": 3, "CPS": 11, "CPT": 12, "CHO": 21, "CHT": 22, "CMB": 31, "CCM": 32, "CHM": 33}
NM_PER_CIF_UNIT = 10


def main():
    with open("hinged_mirror.cif") as f:
        text = re.sub(r"\([^)]*\)", "", f.read())  # comments do not nest in this file
    lib = gdspy.GdsLibrary(name="HINGED_MIRROR", unit=1e-9, precision=1e-9)
    top = gdspy.Cell("HINGED_MIRROR", exclude_from_current=True)
    anchor = gdspy.Cell("LATCH_ANCHOR", exclude_from_current=True)
    cell, layer = top, None
    for command in text.split(";"):
        words = command.split()
        if not words:
            continue
        if words[0] == "L":
            layer = LAYERS[words[1]]
        elif words[0] == "B":
            length, width, x, y = (int(w) * NM_PER_CIF_UNIT for w in words[1:5])
            cell.add(gdspy.Rectangle((x - length // 2, y - width // 2), (x + length // 2, y + width // 2),
                                     layer=layer))
        elif words[0] == "DS":
            cell, layer = anchor, None
        elif words[0] == "DF":
            cell = top
        elif words[0] == "C":
            top.add(gdspy.CellReference(anchor, (0, 0)))
    lib.add(anchor)
    lib.add(top)
    # A fixed time stamp, so that writing it again gives the same bytes.
    lib.write_gds("hinged_mirror.gds", timestamp=datetime.datetime(2026, 1, 1))


if __name__ == "__main__":
    main()
