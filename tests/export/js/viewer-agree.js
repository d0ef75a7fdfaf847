// The viewer page against kavrit-export --check and --ranges --json: for
// each pose, the page is written with that pose and opened in headless
// Chromium; the colliding pairs it lists (and paints red) must be those of
// --check, with the same depths, and each slider's free range must be that
// of --ranges: the same ends to 0.01 degree and the same boxes hit.  Keeps a
// screenshot per pose, panel open (and, for the first pose, folded away).
//
// usage: node viewer-agree.js --chromium PATH --export KAVRIT_EXPORT --kavrit FILE --out DIR
//            [--pose "ARGS"]... [--random N --seed S]
// --pose: the pose options of one case as one argument ("--raise 90",
// "--pose 5=30,7=-12"); --random: N more cases, each turning up to four
// hinged structures by random whole and fractional degrees.
"use strict";
const fs = require("fs");
const path = require("path");
const { execFileSync, spawnSync } = require("child_process");
const harness = require("./browser-harness");
const puppeteer = harness.loadPuppeteer();

// A small fixed generator, so that a failing case can be run again.
function random(seed) {
  let s = seed >>> 0 || 1;
  return () => {
    s ^= s << 13; s >>>= 0; s ^= s >>> 17; s ^= s << 5; s >>>= 0;
    return s / 4294967296;
  };
}

// "structure 5, line 101 and structure 2, line 57: overlap 2.5 deep"
function parseCheck(text) {
  const pairs = [];
  for (const line of text.split("\n")) {
    const m = /^structure (\d+), line (\d+) and (?:structure (\d+), line (\d+)|the substrate): overlap ([0-9.e+-]+) deep$/.exec(line);
    if (m) pairs.push({ key: m[1] + ":" + m[2] + "/" + (m[3] ? m[3] + ":" + m[4] : "substrate"), depth: Number(m[5]) });
  }
  return pairs;
}
const boxKey = (b) => (b === "substrate" ? "substrate" : b.structure + ":" + b.line);

harness.main("viewer-agree", async () => {
  const o = harness.parseArgs("viewer-agree", ["chromium", "export", "kavrit", "out"], ["pose"]);
  harness.needChromium(o.chromium);
  fs.mkdirSync(o.out, { recursive: true });
  const run = (extra) => spawnSync(o.export, extra, { encoding: "utf8", maxBuffer: 1 << 28 });

  // The hinged structures, from the flat ranges.
  const flat = JSON.parse(execFileSync(o.export, ["--ranges", "--json", o.kavrit], { encoding: "utf8", maxBuffer: 1 << 28 }));
  const hinged = flat.ranges.map((r) => r.structure);
  const cases = o.pose.map((p) => p.split(" ").filter((w) => w));
  const rnd = random(Number(o.seed || 1));
  for (let k = 0; k < Number(o.random || 0) && hinged.length; ++k) {
    const turns = new Map();
    const n = 1 + Math.floor(rnd() * Math.min(4, hinged.length));
    for (let j = 0; j < n; ++j) {
      const s = hinged[Math.floor(rnd() * hinged.length)];
      const whole = Math.round(rnd() * 200 - 100);
      turns.set(s, rnd() < 0.5 ? whole : Math.round((rnd() * 200 - 100) * 1000) / 1000);
    }
    cases.push(["--pose", Array.from(turns, ([s, d]) => s + "=" + d).join(",")]);
  }

  const browser = await harness.launch(puppeteer, o.chromium);
  const problems = [];
  let pairsCompared = 0, endsCompared = 0;
  try {
    for (let c = 0; c < cases.length; ++c) {
      const pose = cases[c];
      const what = "pose " + (pose.join(" ") || "flat");
      const check = run(["--check", ...pose, o.kavrit]);
      if (check.status !== 0 && check.status !== 3) { problems.push(what + ": --check failed: " + check.stderr); continue; }
      const expected = parseCheck(check.stdout);
      if ((check.status === 3) !== (expected.length > 0)) problems.push(what + ": --check status " + check.status + " for " + expected.length + " pairs");
      const ranges = JSON.parse(run(["--ranges", "--json", ...pose, o.kavrit]).stdout).ranges;
      const page = path.join(o.out, "pose-" + c + ".html");
      const written = run([...pose, o.kavrit, page]);
      if (written.status !== 0) { problems.push(what + ": no page: " + written.stderr); continue; }

      const tab = await browser.newPage();
      await tab.setViewport({ width: 1100, height: 700 });
      harness.watchErrors(tab, problems, what + ": ");
      await tab.goto("file://" + path.resolve(page), { waitUntil: "load" });
      await tab.waitForFunction("window.kavrit && window.kavrit.ready", { timeout: 60000 });
      await tab.waitForFunction("window.kavrit.rangesPending() === 0", { timeout: 120000 });
      const seen = await tab.evaluate(() => ({ pairs: window.kavrit.collisions(), ranges: window.kavrit.ranges,
                                               listed: document.querySelectorAll("#collisions li").length,
                                               red: document.querySelector("#collisions").className }));
      await tab.screenshot({ path: path.join(o.out, "pose-" + c + ".png") });
      if (c === 0) {
        await tab.click("#fold");
        await tab.screenshot({ path: path.join(o.out, "pose-" + c + "-folded.png") });
      }
      await tab.close();

      // Collisions: the same pairs, in either order, with the same depths.
      const got = new Map();
      for (const p of seen.pairs) {
        const k1 = boxKey(p.a) + "/" + boxKey(p.b), k2 = boxKey(p.b) + "/" + boxKey(p.a);
        got.set(p.b === "substrate" ? k1 : (k1 < k2 ? k1 : k2), p.depth);
      }
      for (const e of expected) {
        const [a, b] = e.key.split("/");
        const key = b === "substrate" ? e.key : (e.key < b + "/" + a ? e.key : b + "/" + a);
        if (!got.has(key)) problems.push(what + ": --check finds " + e.key + ", the page does not");
        else if (Math.abs(got.get(key) - e.depth) > 6e-5 + 1e-6 * e.depth) problems.push(what + ": depth of " + e.key + ": page " + got.get(key) + ", --check " + e.depth);
        got.delete(key);
        ++pairsCompared;
      }
      for (const k of got.keys()) problems.push(what + ": the page finds " + k + ", --check does not");
      if (seen.red !== (expected.length ? "bad" : "good")) problems.push(what + ": the panel's collision box is " + seen.red);
      if (seen.listed !== Math.min(expected.length, 100) + (expected.length > 100 ? 1 : 0)) problems.push(what + ": the panel lists " + seen.listed + " pairs");

      // Ranges: the same ends and the same boxes hit.
      for (const r of ranges) {
        const mine = seen.ranges[r.structure];
        if (!mine) { problems.push(what + ": the page has no range for structure " + r.structure); continue; }
        for (const side of ["down", "up"]) {
          const e = r[side], g = mine[side];
          const label = what + ": structure " + r.structure + " " + side;
          ++endsCompared;
          if (!g) { problems.push(label + ": the page did not search"); continue; }
          if (e.free !== g.free) { problems.push(label + ": free " + g.free + " on the page, " + e.free + " by --ranges"); continue; }
          if (e.free) continue;
          if (Math.abs(g.degrees - e.degrees) > 0.0051) problems.push(label + ": " + g.degrees + " on the page, " + e.degrees + " by --ranges");
          if (boxKey(g.moving) !== boxKey(e.moving) || boxKey(g.hits) !== boxKey(e.hits))
            problems.push(label + ": " + boxKey(g.moving) + " hits " + boxKey(g.hits) + " on the page, " +
                          boxKey(e.moving) + " hits " + boxKey(e.hits) + " by --ranges");
        }
      }
      console.log(`${what}: ${expected.length} colliding pairs, ${ranges.length} ranges`);
    }
  } finally {
    await browser.close();
  }
  console.log(`${cases.length} poses: ${pairsCompared} colliding pairs and ${endsCompared} range ends compared, ${problems.length} disagreements`);
  return problems;
}, 40);
