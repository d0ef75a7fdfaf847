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
