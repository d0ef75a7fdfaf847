// What the two browser checks (browser-check.js, viewer-agree.js) share: the
// command line, skipping when puppeteer-core or Chromium is missing,
// headless Chromium, the page's errors gathered as problems, and the end of
// the run with its status.
"use strict";
const fs = require("fs");

// Under CI everything the checks need is installed on purpose, so a missing
// piece fails a check there instead of skipping it.
const SKIP = process.env.CI ? 1 : 77;

function skip(why) {
  console.log("skipped: " + why);
  process.exit(SKIP);
}

function loadPuppeteer() {
  try {
    return require("puppeteer-core");
  } catch (e) {
    return skip("puppeteer-core is not installed (npm ci in tests/export/js)");
  }
}

// "--key value" pairs into an object; the keys in `repeated` collect every
// value in a list.  A missing required key ends the run with status 2.
function parseArgs(name, required, repeated = []) {
  const a = {};
  for (const k of repeated) a[k] = [];
  const v = process.argv.slice(2);
  for (let i = 0; i + 1 < v.length; i += 2) {
    const k = v[i].replace(/^--/, "");
    if (repeated.includes(k)) a[k].push(v[i + 1]);
    else a[k] = v[i + 1];
  }
  for (const k of required)
    if (!a[k]) {
      console.error(name + ": missing --" + k);
      process.exit(2);
    }
  return a;
}

function needChromium(chromium) {
  if (!fs.existsSync(chromium)) skip("no Chromium at \"" + chromium + "\" (Debian package chromium)");
}

// Headless Chromium with software WebGL.
function launch(puppeteer, chromium) {
  return puppeteer.launch({
    executablePath: chromium,
    headless: true,
    args: ["--no-sandbox", "--enable-unsafe-swiftshader", "--use-angle=swiftshader", "--ignore-gpu-blocklist"],
  });
}

// Console errors and uncaught page errors of `page` become problems,
// each led by `prefix`.
function watchErrors(page, problems, prefix = "") {
  page.on("console", (m) => {
    if (m.type() === "error") problems.push(prefix + "console error: " + m.text());
  });
  page.on("pageerror", (e) => problems.push(prefix + "page error: " + e.message));
}

// Runs the check `body` (an async function that returns its problems) and
// ends the process: status 0 without problems, 1 with any (the first
// `shown` printed) or when the check itself fails.
function main(name, body, shown = Infinity) {
  body()
    .then((problems) => {
      for (const p of problems.slice(0, shown)) console.error(name + ": " + p);
      process.exit(problems.length ? 1 : 0);
    })
    .catch((e) => {
      console.error(name + ": " + (e && e.stack ? e.stack : e));
      process.exit(1);
    });
}

module.exports = { loadPuppeteer, parseArgs, needChromium, launch, watchErrors, main };
