// The geometry of the viewer page (export/viewer/geometry.js) on its own, under
// node: posing, collisions and hinge ranges on small layouts whose answers
// are worked out here from their geometry.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const path = require("path");
const G = require(path.join(__dirname, "..", "..", "..", "export", "viewer", "geometry.js"));

const DEG = 180 / Math.PI;
const H = 10;  // hinge axes at this height; plates 2 thick about them

// A box from its bounds: [x0, x1, y0, y1, z0, z1].
function box(s, line, b, pin) {
  return [s, line, pin ? 1 : 0, (b[0] + b[1]) / 2, (b[2] + b[3]) / 2, (b[4] + b[5]) / 2,
          (b[1] - b[0]) / 2, (b[3] - b[2]) / 2, (b[5] - b[4]) / 2];
}
function structure(n, fields) {
  return Object.assign({ n, c: "#888888", t: 0, p: -1, a: "x", pt: [0, 0, 0], d: 0, pp: -1, pa: [] }, fields);
}
function layout(structures, boxes) {
  const m = G.makeModel({ structures, boxes: [].concat(...boxes), min_step: 0.002 });
  G.pose(m);
  return m;
}
// Structure 0: an anchored frame (its boxes given); structure 1: a plate on
// a +x axis at (0, 0, H), its pin from y -1 to 1, the plate from y 1 to 1 + L.
function plateLayout(length, frame, pinAnchors) {
  const S = [structure(1, {}), structure(2, { t: 1, pt: [0, 0, H], pa: pinAnchors || [] })];
  const boxes = frame.map((b, k) => box(0, 10 + k, b));
  boxes.push(box(1, 20, [0, 30, -1, 1, H - 1, H + 1], true));
  boxes.push(box(1, 21, [0, 30, 1, 1 + length, H - 1, H + 1]));
  return layout(S, boxes);
}

test("turns by multiples of 90 degrees are exact", () => {
  for (const [d, c, s] of [[0, 1, 0], [90, 0, 1], [180, -1, 0], [270, 0, -1], [-90, 0, -1], [450, 0, 1], [-360, 1, 0]])
    assert.deepStrictEqual(G.cosSin(d), [c, s], String(d));
});

// Turned down by t, the plate's far lower corner (1 + L, -1) is at
// z = H - (1 + L) sin t - cos t: it reaches 0 at t = asin(H / rho) - atan(1 / (1 + L)),
// rho = |(1 + L, 1)|.  Turned up past the upright it comes down on the far side at 180 + t.
test("a plate turned down meets the substrate at the angle of its thick corner", () => {
  for (const length of [40, 100, 500]) {
    const m = plateLayout(length, []);
    const r = 1 + length, t = (Math.asin(H / Math.hypot(r, 1)) - Math.atan(1 / r)) * DEG;
    const range = G.hingeRange(m, 1, 1e9);
    assert.ok(Math.abs(range.down.degrees - t) < 2e-4, `${length}: down ${range.down.degrees}, worked out ${t}`);
    assert.ok(Math.abs(range.up.degrees - (180 + t)) < 2e-4, `${length}: up ${range.up.degrees}`);
    assert.strictEqual(range.down.hit, -1);
    // Posed 1 degree short of the substrate: 1 left down.
    m.degrees[1] = -t + 1;
    G.pose(m);
    const posed = G.hingeRange(m, 1, 1e9);
    assert.ok(Math.abs(posed.down.degrees - 1) < 2e-4, String(posed.down.degrees));
    // And turned beyond it, the plate stands in the substrate by (1 + L) sin t' + cos t' - H.
    m.degrees[1] = -t - 2;
    G.pose(m);
    const hits = G.collisions(m);
    const u = (t + 2) / DEG;
    assert.strictEqual(hits.length, 1);
    assert.strictEqual(hits[0].other, -1);
    assert.ok(Math.abs(hits[0].depth - (r * Math.sin(u) + Math.cos(u) - H)) < 1e-9);
  }
});

// A sheet 0.5 thick (y -10 to -9.5, z 105 to 130) beyond the upright: the
// plate's far upper corner (101, 1) meets its face y = -9.5 when
// rho cos(u + atan(1/101)) = -9.5.  A 2 degree step would carry that corner
// 3.5 and over the sheet.
test("a thin sheet is not stepped over", () => {
  const m = plateLayout(100, [[5, 25, -10, -9.5, 105, 130]]);
  const rho = Math.hypot(101, 1);
  const up = (Math.acos(-9.5 / rho) - Math.atan(1 / 101)) * DEG;
  const range = G.hingeRange(m, 1, 1e9);
  assert.ok(Math.abs(range.up.degrees - up) < 2e-4, `up ${range.up.degrees}, worked out ${up}`);
  assert.strictEqual(m.posed[range.up.hit].line, 10);
});

// The pin (x 0 to 30, y -1 to 1, z H - 1 to H + 1) turns in a staple of the
// anchor (x 2 to 6, y -2 to 0.5, z H - 2 to H + 2), clear of the plate
// (from y 1): exempt when the anchor is its own, a collision when not, as
// deep as the least overlap: 4 in x, 1.5 in y, 2 in z.
test("pins turning in their staples do not collide with the structure they hang from", () => {
  const staple = [[2, 6, -2, 0.5, H - 2, H + 2]];
  const own = plateLayout(60, staple, [0]);
  assert.deepStrictEqual(G.collisions(own), []);
  const range = G.hingeRange(own, 1, 1e9);
  assert.strictEqual(range.atStart.length, 0);
  const other = plateLayout(60, staple, []);
  const hits = G.collisions(other);
  assert.strictEqual(hits.length, 1);
  assert.strictEqual(other.posed[hits[0].box].line, 10);
  assert.strictEqual(other.posed[hits[0].other].line, 20);
  assert.ok(Math.abs(hits[0].depth - 1.5) < 1e-12);
});

// Boxes that only touch do not collide; overlapping boxes do, as deep as
// their least overlap along an axis; a box of one structure never collides
// with its own structure.
test("touching is not colliding; the depth is the least overlap", () => {
  const S = [structure(1, {}), structure(2, {}), structure(3, {})];
  const cases = [
    { b: [10, 20, 0, 10, 0, 10], hits: [] },                  // shares the face x = 10
    { b: [10, 20, 10, 20, 10, 20], hits: [] },                // shares a corner
    { b: [9, 20, 2, 5, 3, 4], hits: [[10, 11, 1]] },          // 1 into x, 3 in y, 1 in z
    { b: [8.5, 9, -5, 15, 9.75, 30], hits: [[10, 11, 0.25]] },  // 0.5, 10, 0.25
  ];
  for (const c of cases) {
    const m = layout(S, [box(0, 10, [0, 10, 0, 10, 0, 10]), box(1, 11, c.b), box(0, 12, [5, 9, 0, 1, 0, 1])]);
    const found = G.collisions(m).map((h) => [m.posed[h.box].line, m.posed[h.other].line, h.depth]);
    assert.strictEqual(found.length, c.hits.length, JSON.stringify(c.b));
    for (let k = 0; k < found.length; ++k) {
      assert.deepStrictEqual(found[k].slice(0, 2), c.hits[k].slice(0, 2));
      assert.ok(Math.abs(found[k][2] - c.hits[k][2]) < 1e-12, JSON.stringify(found[k]));
    }
  }
});

// A flap (structure 3) hangs from the plate (structure 2) on a +y axis at
// x = 40, z = H; a wall stands at y 10 to 12 beside the flap's path only
// when the plate is raised.  The parent's turn carries the flap's axis: the
// flap's boxes are where the plate's turn puts them, then the flap's own.
test("a child turns about its parent's turned axis", () => {
  const S = [structure(1, {}), structure(2, { t: 1, a: "x", pt: [0, 0, H] }),
             structure(3, { t: 1, a: "y", p: 1, pt: [40, 0, H], pp: 1 })];
  const m = layout(S, [box(1, 20, [0, 40, 1, 30, H - 1, H + 1]), box(2, 30, [43, 63, 1, 30, H - 1, H + 1])]);
  m.degrees[1] = 90;  // the plate up: y -> -z, z -> y about (0, 0, H)
  m.degrees[2] = 90;  // the flap about its own y axis, which the plate turned to -z
  G.pose(m);
  // The flap's centre (53, 15.5, H) relative to its axis point (40, 0, H):
  // (13, 15.5, 0); its own turn by 90 about +y: (x, y, z) -> (z, y, -x) =
  // (0, 15.5, -13); the plate's turn by 90 about +x: (x, y, z) -> (x, -z, y)
  // = (0, 13, 15.5); plus the axis point (40, 0, H).
  assert.deepStrictEqual(m.posed[1].c.map((v) => Math.round(v * 1e9) / 1e9), [40, 13, H + 15.5]);
});

// The grid finds every pair whose bounds meet, as a test of every pair does.
test("the grid finds what a test of every pair finds", () => {
  let seed = 12345;
  const rnd = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
  const boxes = [];
  for (let k = 0; k < 400; ++k) {
    const x = rnd() * 1000, y = rnd() * 1000, w = rnd() < 0.05 ? 600 : rnd() * 30, d = rnd() * 30;
    boxes.push({ lo: [x, y, 0], hi: [x + w, y + d, rnd() * 10] });
  }
  const grid = G.makeGrid(boxes);
  for (let k = 0; k < 60; ++k) {
    const x = rnd() * 1000, y = rnd() * 1000;
    const region = { lo: [x, y, 0], hi: [x + rnd() * 100, y + rnd() * 100, 5] };
    const seen = [];
    G.query(grid, region, (i) => seen.push(i));
    const all = boxes.map((b, i) => i).filter((i) => !(boxes[i].hi[0] < region.lo[0] || region.hi[0] < boxes[i].lo[0] ||
      boxes[i].hi[1] < region.lo[1] || region.hi[1] < boxes[i].lo[1] || boxes[i].hi[2] < region.lo[2] || region.hi[2] < boxes[i].lo[2]));
    assert.deepStrictEqual(seen.sort((a, b) => a - b), all);
  }
});

// A search that would test more pairs than allowed gives up instead of running on.
test("the range search keeps within its bound of work", () => {
  const m = plateLayout(100, [[5, 25, -10, -9.5, 105, 130]]);
  const range = G.hingeRange(m, 1, 50);
  assert.strictEqual(range.down, null);
  assert.strictEqual(range.up, null);
});
