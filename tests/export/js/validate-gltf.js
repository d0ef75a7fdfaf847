// Validates .glb files with the Khronos glTF validator and prints every
// message; fails (status 1) on any error or warning.
// usage: node validate-gltf.js FILE.glb...
"use strict";
const fs = require("fs");
const path = require("path");
const validator = require("gltf-validator");

async function check(file) {
  const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,
  });
  const issues = report.issues;
  for (const m of issues.messages)
    console.log(`${file}: ${["error", "warning", "info", "hint"][m.severity]} ${m.code} ${m.pointer || ""}: ${m.message}`);
  console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos, ${issues.numHints} hints`);
  return issues.numErrors === 0 && issues.numWarnings === 0;
}

(async () => {
  const files = process.argv.slice(2);
  if (files.length === 0) {
    console.error("usage: node validate-gltf.js FILE.glb...");
    process.exit(2);
  }
  let ok = true;
  for (const f of files) ok = (await check(f)) && ok;
  process.exit(ok ? 0 : 1);
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
