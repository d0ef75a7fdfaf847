// The script of kavrit-export's viewer page.  The first part, the geometry
// of posing, collisions and hinge ranges, follows collide.cpp and ranges.cpp
// step for step so that the page and --check and --ranges agree; under node
// (module.exports) the file gives that part alone, for the tests.
(function () {
  "use strict";

  // ---------------------------------------------------------------- geometry
  function geometry() {
    const dot = (a, b) => a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    const cross = (a, b) => [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];

    // cos and sin of an angle in degrees, exact at multiples of 90.
    function cosSin(degrees) {
      let d = degrees % 360;
      if (d < 0) d += 360;
      if (d === 0) return [1, 0];
      if (d === 90) return [0, 1];
      if (d === 180) return [-1, 0];
      if (d === 270) return [0, -1];
      const r = d * Math.PI / 180;
      return [Math.cos(r), Math.sin(r)];
    }
    // Affine maps x -> m x + t, m as rows.
    const identity = () => ({ m: [[1, 0, 0], [0, 1, 0], [0, 0, 1]], t: [0, 0, 0] });
    const turnVec = (a, v) => [dot(a.m[0], v), dot(a.m[1], v), dot(a.m[2], v)];
    const apply = (a, p) => { const v = turnVec(a, p); return [v[0] + a.t[0], v[1] + a.t[1], v[2] + a.t[2]]; };
    function compose(outer, inner) {
      const m = [[0, 0, 0], [0, 0, 0], [0, 0, 0]];
      for (let r = 0; r < 3; ++r)
        for (let c = 0; c < 3; ++c)
          m[r][c] = outer.m[r][0] * inner.m[0][c] + outer.m[r][1] * inner.m[1][c] + outer.m[r][2] * inner.m[2][c];
      return { m, t: apply(outer, inner.t) };
    }
    function turnAbout(axis, point, degrees) {
      const [c, s] = cosSin(degrees);
      const m = axis === "x" ? [[1, 0, 0], [0, c, -s], [0, s, c]] : [[c, 0, s], [0, 1, 0], [-s, 0, c]];
      const a = { m, t: [0, 0, 0] };
      const moved = turnVec(a, point);
      a.t = [point[0] - moved[0], point[1] - moved[1], point[2] - moved[2]];
      return a;
    }
    // The turn by `radians` about the unit direction u (right-hand rule).
    function turnMatrix(u, radians) {
      const c = Math.cos(radians), s = Math.sin(radians), t = 1 - c;
      return [[c + t * u[0] * u[0], t * u[0] * u[1] - s * u[2], t * u[0] * u[2] + s * u[1]],
              [t * u[1] * u[0] + s * u[2], c + t * u[1] * u[1], t * u[1] * u[2] - s * u[0]],
              [t * u[2] * u[0] - s * u[1], t * u[2] * u[1] + s * u[0], c + t * u[2] * u[2]]];
    }

    // Half the length of a box's shadow on `axis`.
    const shadow = (b, axis) => Math.abs(dot(b.a[0], axis)) * b.h[0] + Math.abs(dot(b.a[1], axis)) * b.h[1] +
                                Math.abs(dot(b.a[2], axis)) * b.h[2];
    const lowestZ = (b) => b.c[2] - shadow(b, [0, 0, 1]);
    function bounds(b) {
      const lo = [0, 0, 0], hi = [0, 0, 0];
      for (let k = 0; k < 3; ++k) {
        const r = Math.abs(b.a[0][k]) * b.h[0] + Math.abs(b.a[1][k]) * b.h[1] + Math.abs(b.a[2][k]) * b.h[2];
        lo[k] = b.c[k] - r;
        hi[k] = b.c[k] + r;
      }
      return { lo, hi };
    }
    const overlaps = (a, b) => !(a.hi[0] < b.lo[0] || b.hi[0] < a.lo[0] || a.hi[1] < b.lo[1] || b.hi[1] < a.lo[1] ||
                                 a.hi[2] < b.lo[2] || b.hi[2] < a.lo[2]);
    // Separating axes: the depth of the overlap of two boxes' insides, or
    // -1 when they are apart or only touch (overlap no thicker than tol).
    function overlapDepth(a, b, tol) {
      const d = [b.c[0] - a.c[0], b.c[1] - a.c[1], b.c[2] - a.c[2]];
      let depth = Infinity;
      const test = (axis) => {
        const length = Math.sqrt(dot(axis, axis));
        if (!(length > 1e-9)) return true;
        const overlap = (shadow(a, axis) + shadow(b, axis) - Math.abs(dot(d, axis))) / length;
        depth = Math.min(depth, overlap);
        return overlap > tol;
      };
      for (const axis of a.a) if (!test(axis)) return -1;
      for (const axis of b.a) if (!test(axis)) return -1;
      for (const ea of a.a)
        for (const eb of b.a)
          if (!test(cross(ea, eb))) return -1;
      return depth;
    }

    // A grid of cells in x and y over boxes' bounds.
    function makeGrid(boxes) {
      const n = boxes.length;
      const grid = { boxes, cells: [1, 1], lo: [0, 0], size: [1, 1], lists: [], everywhere: [],
                     stamp: new Uint32Array(n), round: 0 };
      if (n === 0) return grid;
      const lo = [Infinity, Infinity], hi = [-Infinity, -Infinity];
      for (const b of boxes)
        for (let k = 0; k < 2; ++k) lo[k] = Math.min(lo[k], b.lo[k]), hi[k] = Math.max(hi[k], b.hi[k]);
      const side = Math.min(2048, Math.max(1, Math.floor(Math.sqrt(n))));
      for (let k = 0; k < 2; ++k) {
        const extent = hi[k] - lo[k];
        const ok = extent > 0 && isFinite(extent);
        grid.lo[k] = lo[k];
        grid.cells[k] = ok ? side : 1;
        grid.size[k] = ok ? extent / side : 1;
      }
      grid.lists = Array.from({ length: grid.cells[0] * grid.cells[1] }, () => []);
      for (let i = 0; i < n; ++i) {
        const r = cellRange(grid, boxes[i]);
        if (!r || (r[1] - r[0] + 1) * (r[3] - r[2] + 1) > 64) { grid.everywhere.push(i); continue; }
        for (let y = r[2]; y <= r[3]; ++y)
          for (let x = r[0]; x <= r[1]; ++x) grid.lists[y * grid.cells[0] + x].push(i);
      }
      return grid;
    }
    function cellRange(grid, b) {
      const out = [0, 0, 0, 0];
      for (let k = 0; k < 2; ++k) {
        const first = Math.floor((b.lo[k] - grid.lo[k]) / grid.size[k]);
        const last = Math.floor((b.hi[k] - grid.lo[k]) / grid.size[k]);
        if (!(last >= 0) || !(first < grid.cells[k])) return null;
        const top = grid.cells[k] - 1;
        out[2 * k] = Math.min(Math.max(first, 0), top);
        out[2 * k + 1] = Math.min(Math.max(last, 0), top);
      }
      return out;
    }
    // Calls visit(i) once for each box whose bounds meet `region`.
    function query(grid, region, visit) {
      if (++grid.round > 0xfffffff0) { grid.stamp.fill(0); grid.round = 1; }
      const round = grid.round, stamp = grid.stamp, boxes = grid.boxes;
      const consider = (i) => {
        if (stamp[i] === round) return;
        stamp[i] = round;
        if (overlaps(region, boxes[i])) visit(i);
      };
      for (const i of grid.everywhere) consider(i);
      if (grid.lists.length === 0) return;
      const r = cellRange(grid, region);
      if (!r) return;
      for (let y = r[2]; y <= r[3]; ++y)
        for (let x = r[0]; x <= r[1]; ++x)
          for (const i of grid.lists[y * grid.cells[0] + x]) consider(i);
    }

    // The model of the page's data: structures by index, boxes flat.
    function makeModel(data) {
      const S = data.structures;
      const ns = S.length;
      const children = Array.from({ length: ns }, () => []);
      for (let i = 0; i < ns; ++i) if (S[i].p >= 0) children[S[i].p].push(i);
      const order = [];
      for (let i = 0; i < ns; ++i) if (S[i].p < 0) order.push(i);
      for (let k = 0; k < order.length; ++k) for (const c of children[order[k]]) order.push(c);
      const flat = [], boxesOf = Array.from({ length: ns }, () => []);
      const B = data.boxes;
      for (let k = 0; k + 8 < B.length; k += 9) {
        const b = { s: B[k], line: B[k + 1], pin: B[k + 2] === 1, c: [B[k + 3], B[k + 4], B[k + 5]],
                    h: [B[k + 6], B[k + 7], B[k + 8]] };
        boxesOf[b.s].push(flat.length);
        flat.push(b);
      }
      const posed = flat.map((b) => ({ s: b.s, line: b.line, pin: b.pin, c: b.c.slice(), h: b.h,
                                       a: [[1, 0, 0], [0, 1, 0], [0, 0, 1]], lo: [0, 0, 0], hi: [0, 0, 0] }));
      return { S, ns, children, order, flat, posed, boxesOf, degrees: S.map((s) => s.d),
               turned: S.map(identity), tol: 1e-9, grid: null, minStep: data.min_step || 0.002 };
    }

    function exempt(model, a, b) {
      const pinnedIn = (pin, other) => {
        if (!pin.pin) return false;
        const pp = model.S[pin.s].pp;
        if (pp >= 0) return pp === other.s;
        return model.S[pin.s].pa.includes(other.s);
      };
      return pinnedIn(a, b) || pinnedIn(b, a);
    }

    // Every structure where its turn and its parents' put it, the boxes
    // with them, their bounds, the tolerance and the grid.
    function pose(model) {
      const S = model.S;
      for (const i of model.order) {
        let own = identity();
        if (S[i].t) own = turnAbout(S[i].a, S[i].pt, model.degrees[i]);
        model.turned[i] = S[i].p >= 0 ? compose(model.turned[S[i].p], own) : own;
      }
      let largest = 1;
      for (let i = 0; i < model.flat.length; ++i) {
        const f = model.flat[i], p = model.posed[i], T = model.turned[f.s];
        p.c = apply(T, f.c);
        for (let a = 0; a < 3; ++a) p.a[a] = [T.m[0][a], T.m[1][a], T.m[2][a]];
        const bb = bounds(p);
        p.lo = bb.lo;
        p.hi = bb.hi;
        for (let k = 0; k < 3; ++k) largest = Math.max(largest, Math.abs(p.c[k]) + p.h[0] + p.h[1] + p.h[2]);
      }
      model.tol = 1e-9 * largest;
      model.grid = makeGrid(model.posed);
    }

    // Every colliding pair: {box, other (-1: the substrate), depth}, ordered
    // by the first box's line, then the second's.
    function collisions(model) {
      const boxes = model.posed, tol = model.tol, found = [];
      for (let i = 0; i < boxes.length; ++i) {
        const bi = boxes[i];
        const low = lowestZ(bi);
        if (low < -tol) found.push({ box: i, other: -1, depth: -low });
        query(model.grid, bi, (j) => {
          if (j <= i || boxes[j].s === bi.s || exempt(model, bi, boxes[j])) return;
          const d = overlapDepth(bi, boxes[j], tol);
          if (d >= 0) found.push({ box: i, other: j, depth: d });
        });
      }
      const key = (c) => [boxes[c.box].line, c.other >= 0 ? boxes[c.other].line : Infinity];
      found.sort((x, y) => { const a = key(x), b = key(y); return a[0] - b[0] || a[1] - b[1]; });
      return found;
    }

    // How far structure s turns each way from where it is, with everything
    // else where the pose puts it: {down, up, atStart, tests}; each end
    // {free, degrees, moving, hit (-1: substrate)}, or null when the search
    // would test more than workLimit pairs.
    function hingeRange(model, s, workLimit) {
      const S = model.S, boxes = model.posed, tol = model.tol;
      const set = [s];
      for (let k = 0; k < set.length; ++k) for (const c of model.children[set[k]]) set.push(c);
      const moves = new Set(set);
      const T = model.turned[s];
      const point = apply(T, S[s].pt);
      const direction = turnVec(T, S[s].a === "x" ? [1, 0, 0] : [0, 1, 0]);
      const moving = [], candidates = [], setAside = new Set(), atStart = [];
      let thinnest = Infinity, reach = 0;
      for (const i of set)
        for (const m of model.boxesOf[i]) {
          const b = boxes[m];
          moving.push(m);
          let tLo = Infinity, tHi = -Infinity, r = 0;
          for (let c = 0; c < 8; ++c) {
            const rel = [0, 0, 0];
            for (let k = 0; k < 3; ++k)
              rel[k] = b.c[k] - point[k] + ((c & 1) ? 1 : -1) * b.h[0] * b.a[0][k] +
                       ((c & 2) ? 1 : -1) * b.h[1] * b.a[1][k] + ((c & 4) ? 1 : -1) * b.h[2] * b.a[2][k];
            const t = dot(rel, direction);
            tLo = Math.min(tLo, t);
            tHi = Math.max(tHi, t);
            r = Math.max(r, Math.sqrt(Math.max(0, dot(rel, rel) - t * t)));
          }
          reach = Math.max(reach, r);
          for (const h of b.h) thinnest = Math.min(thinnest, 2 * h);
          const sweep = { lo: [0, 0, 0], hi: [0, 0, 0] };
          for (let k = 0; k < 3; ++k) {
            const a = point[k] + tLo * direction[k], z = point[k] + tHi * direction[k];
            const across = r * Math.sqrt(Math.max(0, 1 - direction[k] * direction[k]));
            sweep.lo[k] = Math.min(a, z) - across - tol;
            sweep.hi[k] = Math.max(a, z) + across + tol;
          }
          const near = [];
          query(model.grid, sweep, (o) => {
            if (moves.has(boxes[o].s) || exempt(model, b, boxes[o])) return;
            near.push(o);
            for (const h of boxes[o].h) thinnest = Math.min(thinnest, 2 * h);
          });
          near.sort((x, y) => x - y);
          candidates.push(near);
          if (lowestZ(b) < -tol) { setAside.add(m + ":-1"); atStart.push({ box: m, other: -1 }); }
          for (const o of near)
            if (overlapDepth(b, boxes[o], tol) >= 0) { setAside.add(m + ":" + o); atStart.push({ box: m, other: o }); }
        }
      let step = 2.0;
      if (reach > 0 && thinnest < Infinity) step = Math.min(step, thinnest / 2 / reach * 180 / Math.PI);
      step = Math.max(step, model.minStep);

      let tests = 0, work = 0;
      const hit = (degrees) => {
        ++tests;
        const R = turnMatrix(direction, degrees * Math.PI / 180);
        for (let k = 0; k < moving.length; ++k) {
          const m = moving[k], b = boxes[m];
          work += candidates[k].length + 1;
          if (work > workLimit) throw new RangeError("too much work");
          const rel = [b.c[0] - point[0], b.c[1] - point[1], b.c[2] - point[2]];
          const mv = [dot(R[0], rel), dot(R[1], rel), dot(R[2], rel)];
          const t = { c: [point[0] + mv[0], point[1] + mv[1], point[2] + mv[2]], h: b.h,
                      a: b.a.map((v) => [dot(R[0], v), dot(R[1], v), dot(R[2], v)]) };
          if (lowestZ(t) < -tol && !setAside.has(m + ":-1")) return [m, -1];
          const tb = bounds(t);
          for (const o of candidates[k]) {
            if (!overlaps(tb, boxes[o])) continue;
            if (overlapDepth(t, boxes[o], tol) >= 0 && !setAside.has(m + ":" + o)) return [m, o];
          }
        }
        return null;
      };
      const run = (sign) => {
        let freeTo = 0;
        for (let k = 1; ; ++k) {
          const at = Math.min(k * step, 360);
          const h = hit(sign * at);
          if (h) {
            let lo = freeTo, hi = at, last = h;
            while (hi - lo > 1e-4) {
              const mid = (lo + hi) / 2;
              const hm = hit(sign * mid);
              if (hm) hi = mid, last = hm;
              else lo = mid;
            }
            return { free: false, degrees: lo, moving: last[0], hit: last[1] };
          }
          freeTo = at;
          if (at >= 360) return { free: true, degrees: 360 };
        }
      };
      const free = { free: true, degrees: 360 };
      try {
        if (moving.length === 0) return { down: free, up: free, atStart, tests };
        const down = run(-1), up = run(+1);
        return { down, up, atStart, tests };
      } catch (e) {
        if (e instanceof RangeError) return { down: null, up: null, atStart, tests };
        throw e;
      }
    }

    return { cosSin, turnAbout, compose, apply, overlapDepth, lowestZ, makeGrid, query, makeModel, pose,
             collisions, hingeRange, exempt };
  }

  if (typeof module === "object" && module.exports) {
    module.exports = geometry();
    return;
  }
  const G = geometry();

  // ---------------------------------------------------------------- the page
  const data = JSON.parse(document.getElementById("kavrit-data").textContent);
  const status = { ready: false, turns: {}, ranges: {}, lastMove: null };
  window.kavrit = status;
  // The box pairs one structure's range search may test: about half a second at
  // most, for a page that must not freeze (a range of the example tests some
  // thousands, one of a 5,000-box layout some tens of thousands).
  const WORK_LIMIT = 5000000;

  const raw = atob(data.glb);
  const bytes = new Uint8Array(raw.length);
  for (let i = 0; i < raw.length; ++i) bytes[i] = raw.charCodeAt(i);

  const panel = document.getElementById("panel");
  // Smoothed edges cost much where the drawing is done without a graphics
  // card; large layouts go without them so that a slider move stays quick.
  const renderer = new THREE.WebGLRenderer({ antialias: data.boxes.length / 9 <= 1000, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setSize(window.innerWidth, window.innerHeight);
  document.body.appendChild(renderer.domElement);
  const scene = new THREE.Scene();
  scene.background = new THREE.Color(0xf3f3ef);
  scene.add(new THREE.HemisphereLight(0xffffff, 0x707080, 0.75));
  const sun = new THREE.DirectionalLight(0xffffff, 0.65);
  sun.position.set(-0.4, 1.0, 0.7);
  scene.add(sun);
  const camera = new THREE.PerspectiveCamera(35, window.innerWidth / window.innerHeight, 0.01, 1e8);
  const controls = new THREE.OrbitControls(camera, renderer.domElement);
  controls.screenSpacePanning = true;
  const render = () => renderer.render(scene, camera);
  controls.addEventListener("change", render);

  // The part of the page the panel leaves free: the picture's centre is
  // moved there by drawing the left part of a wider view.
  function freeLeft() {
    if (panel.classList.contains("folded")) return 0;
    return Math.min(panel.getBoundingClientRect().right + 10, window.innerWidth * 0.6);
  }
  function frameView() {
    const w = window.innerWidth, h = window.innerHeight, p = freeLeft();
    camera.aspect = (w + p) / h;
    if (p > 0) camera.setViewOffset(w + p, h, 0, 0, w, h);
    else camera.clearViewOffset();
    camera.updateProjectionMatrix();
    renderer.setSize(w, h);
  }
  window.addEventListener("resize", () => { frameView(); render(); });

  function fail(e) {
    document.getElementById("error").textContent = "The model could not be shown: " + e;
    throw e;
  }

  const model = G.makeModel(data);
  const S = model.S;
  const indexOf = new Map(S.map((s, i) => [s.n, i]));
  const name = (b) => "structure " + S[model.posed[b].s].n + ", line " + model.posed[b].line;
  const shown = (d) => String(Math.round(d * 100) / 100);

  new THREE.GLTFLoader().parse(bytes.buffer, "", function (gltf) {
    const whole = gltf.scene;
    scene.add(whole);
    const root = whole.children[0];  // its frame is the layout's, z up
    const nodes = {};
    const colours = S.map((s) => new THREE.Color(s.c));
    const materials = {};
    whole.traverse((o) => {
      if (o.userData && o.userData.structure !== undefined && !nodes[o.userData.structure]) nodes[o.userData.structure] = o;
    });
    whole.traverse((o) => {
      if (!o.isMesh || !o.material) return;
      if (o.material.name === "reflector") {
        o.material.emissive = new THREE.Color(0x8a5a00);
        o.add(new THREE.LineSegments(new THREE.EdgesGeometry(o.geometry), new THREE.LineBasicMaterial({ color: 0xd1232a })));
        return;
      }
      // Each structure in its own colour, as in the SVG.
      let p = o;
      while (p && (!p.userData || p.userData.structure === undefined)) p = p.parent;
      const i = p ? indexOf.get(p.userData.structure) : undefined;
      if (i === undefined) return;
      if (!materials[i]) {
        // Lambert shading is lit more brightly than the glTF materials were.
        materials[i] = new THREE.MeshLambertMaterial({ color: colours[i].clone().multiplyScalar(0.72) });
        materials[i].name = o.material.name;
      }
      o.material = materials[i];
    });
    const noRay = () => {};
    status.boxName = (b) => ({ structure: S[model.posed[b].s].n, line: model.posed[b].line });

    // The substrate: a faint plane at z = 0 under the layout.
    let lo = [Infinity, Infinity], hi = [-Infinity, -Infinity];
    for (const b of model.flat)
      for (let k = 0; k < 2; ++k) lo[k] = Math.min(lo[k], b.c[k] - b.h[k]), hi[k] = Math.max(hi[k], b.c[k] + b.h[k]);
    if (!(lo[0] <= hi[0])) lo = [0, 0], hi = [1, 1];
    const margin = 0.15 * Math.max(hi[0] - lo[0], hi[1] - lo[1], 1);
    const plane = new THREE.Mesh(new THREE.PlaneBufferGeometry(hi[0] - lo[0] + 2 * margin, hi[1] - lo[1] + 2 * margin),
                                 new THREE.MeshBasicMaterial({ color: 0x7a7a6a, transparent: true, opacity: 0.16,
                                                               side: THREE.DoubleSide, depthWrite: false }));
    plane.position.set((lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, 0);
    plane.raycast = noRay;
    root.add(plane);

    // Hinge axes: a line along each axis over its structure's length.
    const hinged = [];
    for (let i = 0; i < S.length; ++i) if (S[i].t) hinged.push(i);
    const axisEnds = hinged.map((i) => {
      const k = S[i].a === "x" ? 0 : 1;
      let a = Infinity, z = -Infinity;
      for (const b of model.boxesOf[i]) a = Math.min(a, model.flat[b].c[k] - model.flat[b].h[k]), z = Math.max(z, model.flat[b].c[k] + model.flat[b].h[k]);
      if (!(a <= z)) a = z = S[i].pt[k];
      const pad = 0.08 * (z - a) + 1;
      const p0 = S[i].pt.slice(), p1 = S[i].pt.slice();
      p0[k] = a - pad;
      p1[k] = z + pad;
      return [p0, p1];
    });
    const axisGeometry = new THREE.BufferGeometry();
    const axisPositions = new Float32Array(hinged.length * 6), axisColours = new Float32Array(hinged.length * 6);
    hinged.forEach((i, k) => {
      const c = colours[i].clone().multiplyScalar(0.55);
      for (let e = 0; e < 2; ++e) axisColours.set([c.r, c.g, c.b], 6 * k + 3 * e);
    });
    axisGeometry.setAttribute("position", new THREE.BufferAttribute(axisPositions, 3));
    axisGeometry.setAttribute("color", new THREE.BufferAttribute(axisColours, 3));
    const axisLines = new THREE.LineSegments(axisGeometry, new THREE.LineBasicMaterial({ vertexColors: THREE.VertexColors, depthTest: false, transparent: true, opacity: 0.9 }));
    axisLines.renderOrder = 2;
    axisLines.raycast = noRay;
    axisLines.frustumCulled = false;
    root.add(axisLines);

    // Colliding boxes: a red box over each.
    const red = new THREE.InstancedMesh(new THREE.BoxBufferGeometry(1, 1, 1),
                                        new THREE.MeshLambertMaterial({ color: 0xe3261f, emissive: 0x5a0000 }),
                                        Math.max(1, model.flat.length));
    red.count = 0;
    red.raycast = noRay;
    red.frustumCulled = false;
    root.add(red);

    // The panel.
    const list = document.getElementById("sliders");
    const pairsBox = document.getElementById("collisions");
    const rows = {};
    let found = [];

    function showCollisions() {
      const m = new THREE.Matrix4();
      const boxes = new Set();
      for (const c of found) { boxes.add(c.box); if (c.other >= 0) boxes.add(c.other); }
      let n = 0;
      for (const b of boxes) {
        const p = model.posed[b];
        const e = p.h.map((h) => 2 * h + Math.max(0.02, 0.01 * 2 * h));
        m.set(p.a[0][0] * e[0], p.a[1][0] * e[1], p.a[2][0] * e[2], p.c[0],
              p.a[0][1] * e[0], p.a[1][1] * e[1], p.a[2][1] * e[2], p.c[1],
              p.a[0][2] * e[0], p.a[1][2] * e[1], p.a[2][2] * e[2], p.c[2],
              0, 0, 0, 1);
        red.setMatrixAt(n++, m);
      }
      red.count = n;
      red.instanceMatrix.needsUpdate = true;
      const head = found.length === 0 ? "No collisions" : found.length + (found.length === 1 ? " colliding pair" : " colliding pairs");
      const items = found.slice(0, 100).map((c) => "<li>" + name(c.box) + " and " +
                                            (c.other >= 0 ? name(c.other) : "the substrate") + ", " + shown(c.depth) + " deep</li>");
      if (found.length > 100) items.push("<li>and " + (found.length - 100) + " more</li>");
      pairsBox.className = found.length ? "bad" : "good";
      pairsBox.innerHTML = "<b>" + head + "</b>" + (items.length ? "<ul>" + items.join("") + "</ul>" : "");
    }
    function showAxes() {
      hinged.forEach((i, k) => {
        const T = model.turned[i];
        axisPositions.set(G.apply(T, axisEnds[k][0]), 6 * k);
        axisPositions.set(G.apply(T, axisEnds[k][1]), 6 * k + 3);
      });
      axisGeometry.attributes.position.needsUpdate = true;
    }

    // Ranges, worked out a slice at a time after each change of the pose so
    // that a slider move never waits for them.
    let queue = [], timer = null;
    function scheduleRanges(first) {
      queue = hinged.slice();
      if (first !== undefined) queue.sort((a, b) => (b === first) - (a === first));
      for (const i of hinged) if (rows[i]) rows[i].row.classList.add("stale");
      if (!timer) timer = setTimeout(rangeWork, 0);
    }
    function rangeWork() {
      timer = null;
      const until = performance.now() + 12;
      while (queue.length && performance.now() < until) {
        const i = queue.shift();
        const r = G.hingeRange(model, i, WORK_LIMIT);
        const end = (e) => !e ? null : e.free ? { free: true } :
          { free: false, degrees: e.degrees, moving: status.boxName(e.moving),
            hits: e.hit >= 0 ? status.boxName(e.hit) : "substrate" };
        status.ranges[S[i].n] = { from: model.degrees[i], down: end(r.down), up: end(r.up), atStart: r.atStart.length };
        showRange(i, r);
      }
      if (queue.length) timer = setTimeout(rangeWork, 0);
    }
    status.rangesPending = () => queue.length;
    function endText(e, from, sign) {
      if (!e) return "not searched (too many boxes about it)";
      if (e.free) return "free";
      return "to " + shown(from + sign * e.degrees) + "\u00b0 (" + name(e.moving) + " hits " +
             (e.hit >= 0 ? name(e.hit) : "the substrate") + ")";
    }
    function showRange(i, r) {
      const row = rows[i];
      if (!row) return;
      row.row.classList.remove("stale");
      row.range = r;
      const at = model.degrees[i], min = Number(row.input.min), max = Number(row.input.max);
      const a = !r.down ? at : r.down.free ? -Infinity : at - r.down.degrees;
      const z = !r.up ? at : r.up.free ? Infinity : at + r.up.degrees;
      const pos = (d) => (Math.min(max, Math.max(min, d)) - min) / (max - min) * 100;
      row.band.style.left = pos(a) + "%";
      row.band.style.width = Math.max(0.6, pos(z) - pos(a)) + "%";
      row.text.textContent = "down " + endText(r.down, at, -1) + "; up " + endText(r.up, at, 1) +
                             (r.atStart.length ? "; " + r.atStart.length + " already colliding" : "");
      row.lower.disabled = !r.down || r.down.free;
      row.upper.disabled = !r.up || r.up.free;
    }

    // Turning.
    function setTurn(i, degrees, text) {
      model.degrees[i] = degrees;
      status.turns[S[i].n] = degrees;
      const node = nodes[S[i].n];
      if (node) {
        const axis = S[i].a === "x" ? new THREE.Vector3(1, 0, 0) : new THREE.Vector3(0, 1, 0);
        node.quaternion.setFromAxisAngle(axis, degrees * Math.PI / 180);
      }
      const row = rows[i];
      if (row) {
        row.input.value = degrees;
        row.readout.textContent = (text !== undefined ? text : shown(degrees)) + "\u00b0";
      }
    }
    // After a change of turns: collisions, red boxes, axes, the picture.
    function update(first, quiet) {
      const t0 = performance.now();
      G.pose(model);
      const t1 = performance.now();
      found = G.collisions(model);
      const t2 = performance.now();
      showCollisions();
      showAxes();
      if (!quiet) render();
      if (status.measure) renderer.getContext().readPixels(0, 0, 1, 1, 6408, 5121, new Uint8Array(4));
      const t3 = performance.now();
      status.lastMove = { pose: t1 - t0, collide: t2 - t1, draw: t3 - t2, total: t3 - t0 };
      scheduleRanges(first);
    }

    function row(i) {
      const s = S[i];
      const box = document.createElement("div");
      box.className = "hinge";
      box.id = "row-" + s.n;
      const label = document.createElement("div");
      const parent = s.p >= 0 ? ", on " + S[s.p].n : "";
      label.innerHTML = "<span class=\"swatch\" style=\"background:" + s.c + "\"></span>structure " + s.n +
                        " (about " + s.a + parent + ")";
      const line = document.createElement("div");
      line.className = "line";
      const lower = document.createElement("button"), upper = document.createElement("button");
      lower.textContent = "\u25c0"; lower.title = "turn down to the end of the free range";
      upper.textContent = "\u25b6"; upper.title = "turn up to the end of the free range";
      lower.className = "to-lower"; upper.className = "to-upper";
      const track = document.createElement("div");
      track.className = "track";
      const band = document.createElement("div");
      band.className = "band";
      const input = document.createElement("input");
      const reach = Math.min(3600, Math.max(180, Math.ceil(Math.abs(s.d))));
      input.type = "range"; input.min = -reach; input.max = reach; input.step = "any"; input.value = s.d;
      input.id = "structure-" + s.n;
      const readout = document.createElement("span");
      readout.className = "readout";
      track.appendChild(band);
      track.appendChild(input);
      line.append(lower, track, upper, readout);
      const text = document.createElement("div");
      text.className = "range";
      box.append(label, line, text);
      list.appendChild(box);
      rows[i] = { row: box, input, readout, band, text, lower, upper, range: null };
      input.addEventListener("input", () => { setTurn(i, Math.round(Number(input.value) * 100) / 100); update(i); });
      const toEnd = (sign) => {
        const r = rows[i].range, e = r && (sign < 0 ? r.down : r.up);
        if (!e || e.free) return;
        setTurn(i, model.degrees[i] + sign * e.degrees);
        update(i);
      };
      lower.addEventListener("click", () => toEnd(-1));
      upper.addEventListener("click", () => toEnd(1));
    }

    const first = hinged.filter((i) => S[i].p < 0 && data.hinges.some((h) => h.number === S[i].n && h.first_level));
    if (first.length > 0) {
      const all = document.createElement("label");
      all.className = "all";
      const same = first.every((i) => S[i].d === S[first[0]].d);
      const v = same ? S[first[0]].d : 0;
      all.innerHTML = "all structures hinged to their anchors<br>";
      const input = document.createElement("input");
      input.type = "range"; input.min = -180; input.max = 180; input.step = "any"; input.value = v; input.id = "raise-all";
      const out = document.createElement("span");
      out.className = "readout";
      out.textContent = String(v) + "\u00b0";
      const line = document.createElement("div");
      line.className = "line";
      line.append(input, out);
      all.appendChild(line);
      list.appendChild(all);
      input.addEventListener("input", () => {
        const d = Math.round(Number(input.value) * 100) / 100;
        out.textContent = shown(d) + "\u00b0";
        for (const i of first) setTurn(i, d);
        update();
      });
    }
    const sorted = hinged.slice().sort((a, b) => S[a].n - S[b].n);
    for (const i of sorted) row(i);
    for (const i of hinged) setTurn(i, S[i].d, String(S[i].d));
    if (hinged.length === 0) list.textContent = "No structure of this layout turns.";

    // Jump to a structure's slider.
    const jump = document.getElementById("jump");
    const jumpNote = document.getElementById("jump-note");
    function jumpTo() {
      const i = indexOf.get(Number(jump.value));
      const r = i !== undefined ? rows[i] : undefined;
      jumpNote.textContent = r ? "" : "no hinged structure " + jump.value;
      if (!r) return;
      r.row.scrollIntoView({ block: "center" });
      r.row.classList.remove("flash");
      void r.row.offsetWidth;
      r.row.classList.add("flash");
      r.input.focus();
    }
    jump.addEventListener("change", jumpTo);
    jump.addEventListener("keydown", (e) => { if (e.key === "Enter") jumpTo(); });
    if (hinged.length === 0) jump.parentNode.style.display = "none";

    // Fold the panel away and back.
    const fold = document.getElementById("fold");
    fold.addEventListener("click", () => {
      panel.classList.toggle("folded");
      fold.textContent = panel.classList.contains("folded") ? "\u00bb" : "\u00ab";
      fold.title = panel.classList.contains("folded") ? "show the panel" : "fold the panel away";
      frameView();
      render();
    });

    // The starting view: the posed layout from the front left, above, as
    // the SVG shows it, fitted into the part of the page the panel leaves.
    update(undefined, true);
    frameView();
    const bounds = new THREE.Box3();
    for (const b of model.posed) bounds.expandByPoint(new THREE.Vector3(...b.lo)).expandByPoint(new THREE.Vector3(...b.hi));
    if (bounds.isEmpty()) bounds.setFromObject(whole);
    whole.updateMatrixWorld(true);
    const sphere = bounds.applyMatrix4(root.matrixWorld).getBoundingSphere(new THREE.Sphere());
    const radius = sphere.radius || 1;
    const w = window.innerWidth, h = window.innerHeight, p = freeLeft();
    const half = 35 / 2 * Math.PI / 180;
    const across = Math.atan(Math.tan(half) * Math.max(w - p, 50) / h);
    const distance = radius / Math.sin(Math.min(half, across)) * 1.02;
    camera.position.copy(sphere.center).add(new THREE.Vector3(-0.55, 0.75, 0.95).normalize().multiplyScalar(distance));
    camera.near = distance / 1000;
    camera.far = distance * 100;
    camera.updateProjectionMatrix();
    controls.target.copy(sphere.center);
    controls.update();

    // Structure under the mouse.
    const tip = document.getElementById("tip");
    const ray = new THREE.Raycaster();
    renderer.domElement.addEventListener("mousemove", (e) => {
      const r = renderer.domElement.getBoundingClientRect();
      ray.setFromCamera(new THREE.Vector2((e.clientX - r.left) / r.width * 2 - 1, -(e.clientY - r.top) / r.height * 2 + 1), camera);
      const hit = ray.intersectObject(whole, true).find((h) => h.object.isMesh);
      if (!hit) { tip.style.display = "none"; return; }
      let o = hit.object;
      while (o && (!o.userData || o.userData.structure === undefined)) o = o.parent;
      if (!o) { tip.style.display = "none"; return; }
      tip.textContent = "structure " + o.userData.structure + ", " + o.userData.kind +
                        (hit.object.material.name === "reflector" ? " (reflector)" : "");
      tip.style.left = (e.clientX + 14) + "px";
      tip.style.top = (e.clientY + 10) + "px";
      tip.style.display = "block";
    });

    // For scripts that drive the page.
    status.project = function (x, y, z) {
      whole.updateMatrixWorld(true);
      const v = new THREE.Vector3(x, y, z).applyMatrix4(root.matrixWorld).project(camera);
      return { x: (v.x + 1) / 2 * window.innerWidth, y: (1 - v.y) / 2 * window.innerHeight };
    };
    status.turn = function (number, degrees) {
      const i = indexOf.get(number);
      if (i === undefined || !S[i].t) return;
      setTurn(i, degrees);
      update(i);
    };
    status.collisions = () => found.map((c) => ({
      a: { structure: S[model.posed[c.box].s].n, line: model.posed[c.box].line },
      b: c.other >= 0 ? { structure: S[model.posed[c.other].s].n, line: model.posed[c.other].line } : "substrate",
      depth: c.depth }));
    render();
    status.ready = true;
  }, fail);
})();
