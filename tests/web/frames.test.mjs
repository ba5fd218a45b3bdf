// Pictures rendered in the page against tarnix-capture's on Vulkan at the same small size and
// the same fixed clock, at frames across both scenes: PSNR per frame. Float maths differs between
// drivers, so the pictures are close, not equal; the table goes to build-web/psnr-<size>.txt.
// TARNIX_WEB_FRAMES_SIZE and TARNIX_WEB_FRAMES pick another size and other frames.
import assert from "node:assert/strict";
import { mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

import { launch, openPage, readArray, root, runTool, startSite, waitForEnd } from "./browser.mjs";
import { psnr, readPng, writePng } from "./images.mjs";

const size = process.env.TARNIX_WEB_FRAMES_SIZE || "32x18";
// Scene 0 from its fade-in to the title, the last frame before the switch, then scene 1.
const frames = (process.env.TARNIX_WEB_FRAMES || "600,1000,1650,2400,3000,3253,3256,3300").split(",").map(Number);
// Below this a frame is wrong, not merely rounded differently.
const kFloorDb = 35;

test(`frames at ${size} match tarnix-capture's (PSNR per frame)`, async () => {
  const folder = mkdtempSync(join(tmpdir(), "tarnix-frames-"));
  const site = await startSite();
  const browser = await launch();
  try {
    const last = Math.max(...frames);
    runTool("tools/capture/tarnix-capture",
            ["--render-size", size, "--from", String(Math.min(...frames)), "--to", String(last), "--out", folder]);
    const page = await openPage(browser, site.address, `?render=${size}&capture=${frames.join(",")}`);
    await page.click("#start");
    await waitForEnd(page, 3600000);
    assert.equal(await page.evaluate("TarnixGpu.errors"), 0, "WebGPU reported errors");
    const rows = [];
    for (const frame of frames) {
      const web = await page.evaluate((f) => ({ width: tarnixPage.frames[f].width, height: tarnixPage.frames[f].height }), frame);
      web.pixels = await readArray(page, `tarnixPage.frames[${frame}].pixels`, Uint8Array);
      const native = readPng(join(folder, `frame_${String(frame).padStart(4, "0")}.png`));
      rows.push({ frame, db: psnr(web, native) });
      if (frame === 1650) {
        writePng(join(root, `build-web/frame1650-web-${size}.png`), web, 4);
        writePng(join(root, `build-web/frame1650-native-${size}.png`), native, 4);
      }
    }
    const table = rows.map((r) => `${String(r.frame).padStart(5)}  ${r.db === Infinity ? "identical" : `${r.db.toFixed(2)} dB`}`);
    writeFileSync(join(root, `build-web/psnr-${size}.txt`), `frame  PSNR (${size}, page vs tarnix-capture)\n${table.join("\n")}\n`);
    console.log(`PSNR at ${size}:\n${table.join("\n")}`);
    for (const r of rows) assert.ok(r.db >= kFloorDb, `frame ${r.frame}: ${r.db.toFixed(2)} dB`);
  } finally {
    await browser.close();
    site.stop();
    rmSync(folder, { recursive: true, force: true });
  }
});
