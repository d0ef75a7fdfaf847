// page_timing.js: how long a slider move of the viewer page takes to redraw,
// beside the same move on the page of a baseline kavrit-export, in the same
// run and the same headless Chromium (software GL).
//
// usage: NODE_PATH=tests/export/js/node_modules node bench/viewer/page_timing.js
//            --chromium PATH --export KAVRIT_EXPORT --baseline BASELINE_KAVRIT_EXPORT
//            [--moves N] LAYOUT.kav...
//
// For each layout both programs write a page; in each page the slider of the
// hinged structure that carries the most boxes is moved N times (20 ms
// apart, as a drag sends them), and each move is timed from the input event
// to the picture read back from the GL context (so the drawing has finished).
// The new page's move includes posing every box, finding every colliding
// pair and redrawing; its ranges follow in slices afterwards, and the time
// until all of them are back after the last move is printed too.
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const { spawnSync } = require("child_process");
const puppeteer = require("puppeteer-core");

const a = { moves: "40", layouts: [] };
const v = process.argv.slice(2);
for (let i = 0; i < v.length; ++i) {
  if (v[i].startsWith("--")) a[v[i].slice(2)] = v[++i];
  else a.layouts.push(v[i]);
}
if (!a.chromium || !a.export || !a.baseline || a.layouts.length === 0) {
  console.error("usage: page_timing.js --chromium PATH --export NEW --baseline OLD [--moves N] LAYOUT.kav...");
  process.exit(2);
}
const moves = Number(a.moves);
const dir = fs.mkdtempSync(path.join(os.tmpdir(), "page-timing-"));
const sorted = (xs) => xs.slice().sort((x, y) => x - y);
const median = (xs) => sorted(xs)[Math.floor(xs.length / 2)];
const ms = (x) => x.toFixed(1).padStart(7);

async function time(browser, program, layout, tag) {
  const page = path.join(dir, tag + ".html");
  const made = spawnSync(program, [layout, page], { encoding: "utf8" });
  if (made.status !== 0) throw new Error(program + ": " + made.stderr);
  const tab = await browser.newPage();
  await tab.setViewport({ width: 1100, height: 700 });
  const t0 = Date.now();
  await tab.goto("file://" + page, { waitUntil: "load" });
  await tab.waitForFunction("window.kavrit && window.kavrit.ready", { timeout: 120000 });
  const load = Date.now() - t0;
  const isNew = await tab.evaluate(() => typeof window.kavrit.rangesPending === "function");
  if (isNew) await tab.waitForFunction("window.kavrit.rangesPending() === 0", { timeout: 300000 });
  // The slider of the structure with the most boxes (the first of the file's hinges on the old page).
  const id = await tab.evaluate(() => {
    const data = JSON.parse(document.getElementById("kavrit-data").textContent);
    if (!data.boxes) return "structure-" + data.hinges[0].number;
    const count = new Map();
    for (let k = 0; k < data.boxes.length; k += 9) count.set(data.boxes[k], (count.get(data.boxes[k]) || 0) + 1);
    let best = -1, most = -1;
    data.structures.forEach((s, i) => { if (s.t && (count.get(i) || 0) > most) most = count.get(i) || 0, best = s.n; });
    return "structure-" + best;
  });
  const times = [], parts = [];
  for (let k = 0; k < moves; ++k) {
    const degrees = Math.round(Math.sin(k / 5) * 80);
    const r = await tab.evaluate((id, d) => {
      window.kavrit.measure = true;
      const input = document.getElementById(id);
      const gl = document.querySelector("canvas").getContext("webgl");
      const t = performance.now();
      input.value = d;
      input.dispatchEvent(new Event("input", { bubbles: true }));
      gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, new Uint8Array(4));
      return { total: performance.now() - t, parts: window.kavrit.lastMove };
    }, id, degrees);
    times.push(r.total);
    if (r.parts) parts.push(r.parts);
    await new Promise((done) => setTimeout(done, 20));
  }
  let rangesBack = null;
  if (isNew) {
    const t = Date.now();
    await tab.waitForFunction("window.kavrit.rangesPending() === 0", { timeout: 300000, polling: 5 });
    rangesBack = Date.now() - t;
  }
  const boxes = await tab.evaluate(() => JSON.parse(document.getElementById("kavrit-data").textContent).boxes);
  await tab.close();
  return { times, parts, load, rangesBack, id, boxes: boxes ? boxes.length / 9 : null };
}

(async () => {
  const browser = await puppeteer.launch({
    executablePath: a.chromium,
    headless: true,
    args: ["--no-sandbox", "--enable-unsafe-swiftshader", "--use-angle=swiftshader", "--ignore-gpu-blocklist"],
  });
  console.log("milliseconds per slider move (input event to picture read back), " + moves + " moves");
  console.log("layout                     boxes  slider        | baseline med    max | page med    max |" +
              "  pose collide   draw (med) | ranges back  load base/page");
  try {
    for (const layout of a.layouts) {
      const old = await time(browser, a.baseline, layout, "baseline");
      const now = await time(browser, a.export, layout, "page");
      const part = (k) => median(now.parts.map((p) => p[k]));
      console.log(path.basename(layout).padEnd(24) + String(now.boxes).padStart(8) + "  " + now.id.padEnd(14) + "|" +
                  ms(median(old.times)) + ms(Math.max(...old.times)) + "     |" +
                  ms(median(now.times)) + ms(Math.max(...now.times)) + " |" +
                  ms(part("pose")) + ms(part("collide")) + ms(part("draw")) + "       |" +
                  String(now.rangesBack).padStart(8) + " ms " + String(old.load).padStart(6) + "/" + now.load + " ms");
    }
  } finally {
    await browser.close();
    fs.rmSync(dir, { recursive: true, force: true });
  }
})().catch((e) => {
  console.error("page_timing: " + (e && e.stack ? e.stack : e));
  process.exit(1);
});
