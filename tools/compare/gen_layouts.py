#!/usr/bin/env python3
"""Writes generated CIF layouts for comparing two builds of cif2kavrit.

    gen_layouts.py OUT_DIR [--count N] [--seed S] [--kinds device,random,syntax,symbols]

Kinds:
  device   rows of hinged-mirror devices (frame, posts, pins, plate with holes,
           reflector, flap, metal pad, latch) with parts dropped and moved at random
  random   random boxes on random process layers, dense and overlapping, on
           coarse and fine grids, odd sizes, negative coordinates
  syntax   the byte scanner's corner cases: comments over several lines, letters
           inside comments, polygons, wires, user extensions, lower case, missing
           blanks, repeated layers, text after the end command, CRLF, odd names,
           huge and malformed numbers
  symbols  symbol definitions and calls with transformations and scale factors

The same seed gives the same files.
"""
import argparse
import os
import random

LAYERS = ["COL", "COF", "COT", "CPS", "CPT", "CMB", "CCM", "CHM", "CHO", "CHT"]

# One device in micrometres: (layer, xmin, ymin, xmax, ymax).
DEVICE = [
    ("COL", 0, 0, 200, 10), ("COL", 0, 150, 200, 160), ("COL", 0, 10, 10, 150),
    ("COL", 190, 10, 200, 150), ("COL", 40, 20, 50, 30), ("COL", 150, 20, 160, 30),
    ("CPS", 36, 26, 54, 34), ("CPS", 146, 26, 164, 34),
    ("CPT", 30, 60, 100, 95), ("CPT", 100, 60, 170, 95), ("CPT", 30, 95, 100, 130),
    ("CPT", 100, 95, 170, 130), ("CPT", 41, 31, 49, 60), ("CPT", 151, 31, 159, 60),
    ("CHT", 38, 68, 42, 72), ("CHT", 38, 118, 42, 122), ("CHT", 146, 68, 150, 72),
    ("CHT", 146, 118, 150, 122),
    ("CMB", 60, 75, 140, 115), ("CCM", 65, 80, 135, 110),
    ("CPS", 160, 70, 185, 120), ("CMB", 162, 75, 168, 115), ("CHO", 175, 90, 180, 100),
    ("CCM", 20, 140, 60, 150), ("CHM", 35, 143, 45, 147), ("COF", 70, 140, 80, 146),
    ("CPS", 175, 40, 185, 55), ("COT", 25, 142, 35, 148),
]


def box_cmd(layer_boxes_um):
    """CIF box commands (hundredths of a micrometre) for corner boxes in micrometres."""
    lines = []
    for x0, y0, x1, y1 in layer_boxes_um:
        length, width = round((x1 - x0) * 100), round((y1 - y0) * 100)
        cx, cy = round((x0 + x1) * 50), round((y0 + y1) * 50)
        lines.append(f"B {length} {width} {cx} {cy};")
    return lines


def write_layers(rng, by_layer, eol="\n"):
    out = []
    order = list(by_layer)
    rng.shuffle(order)
    for layer in order:
        if not by_layer[layer]:
            continue
        out.append(f"L {layer};")
        out.extend(box_cmd(by_layer[layer]))
    out.append("E")
    return eol.join(out) + eol


def gen_device(rng):
    by_layer = {}
    cols, rows = rng.randint(1, 4), rng.randint(1, 3)
    drop = rng.random() * 0.15
    for i in range(cols):
        for j in range(rows):
            ox, oy = i * rng.choice([200, 210, 260]), j * rng.choice([160, 170, 220])
            for layer, x0, y0, x1, y1 in DEVICE:
                if rng.random() < drop:
                    continue
                dx = dy = 0
                if layer in ("CHT", "CHO", "CHM") or rng.random() < 0.05:
                    dx, dy = rng.randint(-3, 3), rng.randint(-3, 3)
                by_layer.setdefault(layer, []).append((ox + x0 + dx, oy + y0 + dy, ox + x1 + dx, oy + y1 + dy))
    for boxes in by_layer.values():
        rng.shuffle(boxes)
    return write_layers(rng, by_layer)


def gen_random(rng):
    by_layer = {}
    grid = rng.choice([1, 2, 5, 10, 0.5, 0.25, 0.01])
    span = rng.choice([20, 50, 100, 400])
    for layer in rng.sample(LAYERS, rng.randint(1, len(LAYERS))):
        boxes = []
        for _ in range(rng.randint(1, 25)):
            x0 = rng.randint(-span // 4, span) * grid
            y0 = rng.randint(-span // 4, span) * grid
            w = rng.randint(1, max(2, span // 3)) * grid
            h = rng.randint(1, max(2, span // 3)) * grid
            boxes.append((x0, y0, x0 + w, y0 + h))
            if rng.random() < 0.2 and boxes:  # abutting or duplicated neighbours
                a = rng.choice(boxes)
                boxes.append(rng.choice([a, (a[2], a[1], a[2] + w, a[3]), (a[0], a[3], a[2], a[3] + h)]))
        by_layer[layer] = boxes
    text = write_layers(rng, by_layer)
    if rng.random() < 0.3:  # odd lengths: corners on halves of a CIF unit
        text = text.replace("B 1000 ", "B 1001 ").replace(" 500 ", " 499 ")
    return text


def noise(rng):
    return rng.choice([
        "(comment with B 10 10 0 0 inside);",
        "(a comment\nover two lines with an E in it);",
        "(nested (comment) here);",
        "9 user extension L CPS;",
        "94 label 10 20;",
        "P 0 0 100 0 100 100 0 100;",
        "W 20 0 0 500 0 500 300;",
        "R 100 50 50;",
        "DS 3 1 1;", "DF;", "C 3 T 100 200;", "DD 2;",
        "l cps;", "b 100 100 0 0;",
        "B100 100 0 0;", "LCPS;", "B 100  100 0 0;", "B +100 100 0 0;", "B 100 100 0 0 1 0;",
        "B 99999999999 10 0 0;", "B 2147483647 2147483647 2147483647 -2147483648;",
        "(" + "x" * rng.randint(90, 130) + " B 200 200 0 0;",
        "\x01\x7f\xfe;",
    ])


def gen_syntax(rng):
    names = LAYERS + ["CPS ", "Cps", "a/b", "", "VERYLONGLAYERNAME", "ply1", "empty", "X:Y"]
    out = []
    for _ in range(rng.randint(1, 14)):
        r = rng.random()
        if r < 0.45:
            out.append(f"L {rng.choice(names)};")
            for _ in range(rng.randint(0, 6)):
                out.append(f"B {rng.randint(1, 3000)} {rng.randint(1, 3000)} "
                           f"{rng.randint(-2000, 6000)} {rng.randint(-2000, 6000)};")
        elif r < 0.85:
            out.append(noise(rng))
        else:
            out.append("E" + rng.choice(["", " trailing text", "\nL CPS;\nB 400 200 1000 500;"]))
    if rng.random() < 0.8:
        out.append("E" + rng.choice(["", " end", "  "]))
    eol = rng.choice(["\n", "\n", "\r\n", " "])
    sep = rng.choice([eol, " ", ""])
    text = sep.join(out) + (eol if rng.random() < 0.8 else "")
    return text


def gen_symbols(rng):
    out = []
    order = list(range(1, 4))
    for n in order:
        a, b = rng.choice([(1, 1), (2, 1), (1, 2), (50, 2), (1, 10)])
        out.append(f"DS {n} {a} {b};")
        layer = rng.choice(LAYERS)
        out.append(f"L {layer};")
        for _ in range(rng.randint(1, 5)):
            out.append(f"B {rng.randint(1, 40) * 100} {rng.randint(1, 40) * 100} "
                       f"{rng.randint(-50, 50) * 100} {rng.randint(-50, 50) * 100};")
        if n > 1 and rng.random() < 0.7:
            out.append(f"C {n - 1} {rng.choice(['T 500 0', 'M X', 'M Y', 'R 0 1', 'R -1 0', 'M X T 100 100'])};")
        out.append("DF;")
    for _ in range(rng.randint(0, 4)):
        out.append(f"C {rng.choice(order)} T {rng.randint(-5, 5) * 1000} {rng.randint(-5, 5) * 1000};")
    if rng.random() < 0.5:
        out.append("L CPT;")
        out.append("B 3000 2000 0 0;")
    out.append("E")
    return "\n".join(out) + "\n"


GENERATORS = {"device": gen_device, "random": gen_random, "syntax": gen_syntax, "symbols": gen_symbols}


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("out_dir")
    ap.add_argument("--count", type=int, default=1000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--kinds", default=",".join(GENERATORS))
    args = ap.parse_args()
    kinds = args.kinds.split(",")
    os.makedirs(args.out_dir, exist_ok=True)
    rng = random.Random(args.seed)
    for i in range(args.count):
        kind = kinds[i % len(kinds)]
        text = GENERATORS[kind](rng)
        with open(os.path.join(args.out_dir, f"{kind}-{i:05d}.cif"), "w", newline="") as f:
            f.write(text)


if __name__ == "__main__":
    main()
