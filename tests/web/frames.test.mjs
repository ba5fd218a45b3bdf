// Pictures rendered in the page against tarnix-capture's on Vulkan at the same small size and
// the same fixed clock, at frames across both scenes: PSNR per frame. Float maths differs between
// drivers, so the pictures are close, not equal; the table goes to build-web/psnr-<size>.txt.
// Then the page again on an adapter without subgroup operations: the same pictures.
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
// The frames the run without subgroup operations renders again.
const kPerLaneFrames = frames.filter((f) => f <= 1000);

// The page's pictures of `list` (with `prepare` run in the page first).
async function pagePictures(browser, address, list, prepare) {
  const page = await openPage(browser, address, `?render=${size}&capture=${list.join(",")}`, prepare);
  await page.click("#start");
  await waitForEnd(page, 3600000);
  assert.equal(await page.evaluate("TarnixGpu.errors"), 0, "WebGPU reported errors");
  const pictures = new Map();
  for (const frame of list) {
    const picture = await page.evaluate((f) => ({ width: tarnixPage.frames[f].width, height: tarnixPage.frames[f].height }), frame);
    picture.pixels = await readArray(page, `tarnixPage.frames[${frame}].pixels`, Uint8Array);
    pictures.set(frame, picture);
  }
  return { pictures, subgroups: await page.evaluate("TarnixGpu.hasSubgroups()") };
}

// The adapter without subgroup operations, as many are.
function hideSubgroups() {
  const has = GPUSupportedFeatures.prototype.has;
  GPUSupportedFeatures.prototype.has = function (name) {
    return name === "subgroups" ? false : has.call(this, name);
  };
}

test(`frames at ${size} match tarnix-capture's (PSNR per frame)`, async () => {
  const folder = mkdtempSync(join(tmpdir(), "tarnix-frames-"));
  const site = await startSite();
  const browser = await launch();
  try {
    const last = Math.max(...frames);
    runTool("tools/capture/tarnix-capture",
            ["--render-size", size, "--from", String(Math.min(...frames)), "--to", String(last), "--out", folder]);
    const { pictures } = await pagePictures(browser, site.address, frames);
    const rows = [];
    for (const frame of frames) {
      const web = pictures.get(frame);
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

    // Without subgroups each lane walks the hierarchy on its own: the same hits, so the same
    // pictures, pixel for pixel.
    const perLane = await pagePictures(browser, site.address, kPerLaneFrames, hideSubgroups);
    assert.equal(perLane.subgroups, false, "the device still has subgroups");
    for (const frame of kPerLaneFrames)
      assert.equal(psnr(perLane.pictures.get(frame), pictures.get(frame)), Infinity, `frame ${frame} per lane`);
  } finally {
    await browser.close();
    site.stop();
    rmSync(folder, { recursive: true, force: true });
  }
});
