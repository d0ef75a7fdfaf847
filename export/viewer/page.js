// The script of kavrit-export's viewer page.  The first part, the geometry
// of posing, collisions and hinge ranges, follows collide.cpp and ranges.cpp
// step for step so that the page and --check and --ranges agree; under node
// (module.exports) the file gives that part alone, for the tests.
(function () {
  "use strict";

  // @insert geometry.js: the geometry, its own file so that node can load it alone for the tests
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
