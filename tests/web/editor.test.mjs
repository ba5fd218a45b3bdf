// The timeline's editor beside the show (?edit): the same editor as tarnix --edit's page, on the
// timeline the page holds. A typed value changes the text and the show plays it; a dropped file
// that does not load is refused with its line and column and changes nothing; a good one
// replaces the text and undo brings the old one back; the download is the text.
import assert from "node:assert/strict";
import { mkdtempSync, readFileSync, readdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { test } from "node:test";

import { launch, openPage, readArray, startSite, waitForEnd } from "./browser.mjs";

const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const kBrightAtZero = /("CM::Bright":\{"type":"FLOAT","frames":\[\{"frame":0,"easing":"None","value":)([^}]*)\}/;

async function until(page, what, expression, timeoutMs = 30000) {
  await page.waitForFunction(expression, { timeout: timeoutMs, polling: 50 }).catch(() => {
    throw new Error(`timed out waiting for ${what}: ${page.consoleLines.slice(-5).join(" | ")}`);
  });
}

// A file dropped on the page, as a browser hands it over.
const drop = (page, name, text) => page.evaluate((name, text) => {
  const transfer = new DataTransfer();
  transfer.items.add(new File([text], name, { type: "application/json" }));
  window.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
}, name, text);

test("the editor beside the show: a typed value, dropped files, undo, the download, and the show plays the edit", async () => {
  const site = await startSite();
  const browser = await launch();
  const downloads = mkdtempSync(join(tmpdir(), "tarnix-downloads-"));
  try {
    const page = await openPage(browser, site.address, "?edit&render=32x18&capture=20");
    await until(page, "the editor", "window.tarnixEditor && tarnixEditor.model.tracks.length === 13");
    const text = () => page.evaluate(() => tarnixEditor.backend.fileText());
    const builtIn = await text();
    assert.match(builtIn, kBrightAtZero);

    // The key of CM::Bright at frame 0 (0, black), typed to 1.
    const key = await page.evaluate(() => {
      const view = tarnixEditor.timelineView, rect = view.canvas.getBoundingClientRect();
      view.start = -2;
      view.framesPerPixel = 0.5;
      const index = tarnixEditor.model.tracks.findIndex((t) => t.name === "CM::Bright");
      return { x: rect.left + view.x(0), y: rect.top + view.rowTop(index) + 12 };
    });
    await page.mouse.click(key.x, key.y);
    await until(page, "the key panel", "document.querySelector('input.value')");
    await page.click("input.value", { clickCount: 3 });
    await page.keyboard.type("1");
    await page.keyboard.press("Enter");
    await until(page, "the change", "tarnixEditor.state.changes === 1");
    const edited = await text();
    assert.equal(edited, builtIn.replace(kBrightAtZero, "$11.000000}"));

    // A file that does not load: its line and column, and nothing changes.
    await drop(page, "broken.json", '{"CM::Bright": {"type": "FLOAT", "frames": [\n {"frame": 0, "easing": "Lineer", "value": 1}]}}');
    await until(page, "the refusal", "tarnixEditor.state.refusals === 1");
    assert.match(await page.evaluate(() => tarnixEditor.state.message), /^broken\.json:2:25: unknown easing "Lineer"/);
    assert.equal(await text(), edited);
    // A good one replaces the text; undo brings the edited text back.
    const dropped = '{"CM::Fov": {"type": "FLOAT", "frames": [{"frame": 0, "easing": "None", "value": 75}]}}';
    await drop(page, "wide.json", dropped);
    await until(page, "the dropped file", "tarnixEditor.model.tracks.find((t) => t.name === 'CM::Fov').keys[0].value[0] === 75");
    assert.equal(await text(), dropped);
    await page.keyboard.down("Control");
    await page.keyboard.press("z");
    await page.keyboard.up("Control");
    await until(page, "the undo", "tarnixEditor.state.changes === 3");
    assert.equal(await text(), edited);

    // The download is the text.
    const cdp = await page.createCDPSession();
    await cdp.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
    await page.click("#editor-download");
    for (let i = 0; i < 100 && !readdirSync(downloads).includes("tarnix_timeline.json"); ++i) await sleep(100);
    assert.equal(readFileSync(join(downloads, "tarnix_timeline.json"), "utf8"), edited);

    // The show plays the edit: frame 20, black with the built-in timeline, is lit.
    await page.click("#start");
    await waitForEnd(page, 600000);
    const pixels = await readArray(page, "tarnixPage.frames[20].pixels", Uint8Array);
    let sum = 0;
    for (let i = 0; i < pixels.length; i += 4) sum += pixels[i] + pixels[i + 1] + pixels[i + 2];
    assert.ok(sum / (pixels.length / 4) / 3 > 10, `frame 20's mean level is ${sum / (pixels.length / 4) / 3}`);
  } finally {
    await browser.close();
    site.stop();
    rmSync(downloads, { recursive: true, force: true });
  }
});
