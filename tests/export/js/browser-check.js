// Opens a kavrit-export .html page in headless Chromium and checks it:
// the page loads without console errors or page errors, every hinged
// structure has a slider, and moving the slider of one structure changes
// the picture around that structure but not around a point of the anchored
// frame far from it.  Keeps both screenshots.
//
// usage: node browser-check.js --chromium PATH --page PAGE.html --out DIR
//            --turn N=DEG --moved X0,Y0,X1,Y1,Z --still X,Y,Z
// --moved: a rectangle of the turning structure (layout coordinates, at
// height Z); --still: a point of the anchored frame.
"use strict";
const fs = require("fs");
const path = require("path");
const harness = require("./browser-harness");
const puppeteer = harness.loadPuppeteer();

// Share of pixels in a rectangle of the picture that differ between two
// pixel arrays by more than a little in some channel.
function changed(a, b, width, rect) {
  let n = 0, total = 0;
  for (let y = Math.max(0, rect.y0); y < rect.y1; ++y)
    for (let x = Math.max(0, rect.x0); x < Math.min(width, rect.x1); ++x) {
      const i = (y * width + x) * 4;
      ++total;
      if (Math.abs(a[i] - b[i]) > 24 || Math.abs(a[i + 1] - b[i + 1]) > 24 || Math.abs(a[i + 2] - b[i + 2]) > 24) ++n;
    }
  return total ? n / total : 0;
}

harness.main("browser-check", async () => {
  const o = harness.parseArgs("browser-check", ["chromium", "page", "out", "turn", "moved", "still"]);
  harness.needChromium(o.chromium);
  const [number, degrees] = o.turn.split("=").map(Number);
  const [mx0, my0, mx1, my1, mz] = o.moved.split(",").map(Number);
  const [sx, sy, sz] = o.still.split(",").map(Number);
  fs.mkdirSync(o.out, { recursive: true });
  const browser = await harness.launch(puppeteer, o.chromium);
  const problems = [];
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 900, height: 650 });
    harness.watchErrors(page, problems);
    page.on("requestfailed", (r) => problems.push("request failed: " + r.url()));
    await page.goto("file://" + path.resolve(o.page), { waitUntil: "load" });
    await page.waitForFunction("window.kavrit && window.kavrit.ready", { timeout: 20000 });

    const pixels = () =>
      page.evaluate(() => {
        const gl = document.querySelector("canvas");
        const c = document.createElement("canvas");
        c.width = window.innerWidth;
        c.height = window.innerHeight;
        const g = c.getContext("2d");
        g.drawImage(gl, 0, 0, c.width, c.height);
        return Array.from(g.getImageData(0, 0, c.width, c.height).data);
      });
    const sliders = await page.$$eval("input[type=range]", (l) => l.map((e) => e.id));
    if (!sliders.includes("structure-" + number)) problems.push("no slider for structure " + number + ": " + sliders);

    const at = (x, y, z) => page.evaluate((x, y, z) => window.kavrit.project(x, y, z), x, y, z);
    const corners = [await at(mx0, my0, mz), await at(mx1, my0, mz), await at(mx0, my1, mz), await at(mx1, my1, mz)];
    // The middle half of the structure's picture, and a small square about the frame point.
    const xs = corners.map((p) => p.x), ys = corners.map((p) => p.y);
    const cx = (Math.min(...xs) + Math.max(...xs)) / 2, cy = (Math.min(...ys) + Math.max(...ys)) / 2;
    const hw = (Math.max(...xs) - Math.min(...xs)) / 4, hh = (Math.max(...ys) - Math.min(...ys)) / 4;
    const moved = { x0: Math.round(cx - hw), x1: Math.round(cx + hw), y0: Math.round(cy - hh), y1: Math.round(cy + hh) };
    const s = await at(sx, sy, sz);
    const still = { x0: Math.round(s.x - 12), x1: Math.round(s.x + 12), y0: Math.round(s.y - 12), y1: Math.round(s.y + 12) };

    await page.screenshot({ path: path.join(o.out, "viewer-rest.png") });
    const rest = await pixels();
    // Move the slider as a user would: set its value and send the input event.
    await page.$eval("#structure-" + number, (e, d) => {
      e.value = d;
      e.dispatchEvent(new Event("input", { bubbles: true }));
    }, degrees);
    await page.screenshot({ path: path.join(o.out, "viewer-turned.png") });
    const turned = await pixels();

    const width = await page.evaluate(() => window.innerWidth);
    const inMoved = changed(rest, turned, width, moved);
    const inStill = changed(rest, turned, width, still);
    console.log(`sliders: ${sliders.join(" ")}`);
    console.log(`changed pixels: ${(inMoved * 100).toFixed(1)}% around structure ${number} ` +
                `(${JSON.stringify(moved)}), ${(inStill * 100).toFixed(1)}% around the frame point (${JSON.stringify(still)})`);
    if (inMoved < 0.3) problems.push("the picture hardly changed around the turned structure");
    if (inStill > 0.02) problems.push("the picture changed around the anchored frame");
  } finally {
    await browser.close();
  }
  return problems;
});
