// The editor page against a real `tarnix --edit` under Xvfb, in Debian's headless Chromium
// (puppeteer-core): a drag of a "CM::Bright" key lands in the file as exactly that edit and
// changes the window's picture, undo gives back the file's bytes, a click on the ruler moves
// the program's frame, a text editor's save shows on the page, a conflicting change is refused.
// It also measures the time from a drag's release to the picture on screen and the page's
// frame time while dragging with all 13 tracks shown, and leaves a screenshot of the page.
//   TARNIX_PROGRAM  the tarnix to run (build/app/tarnix)
//   TARNIX_EDITOR_SCREENSHOT  where the page's picture goes (default: beside the program)
import assert from "node:assert/strict";
import { spawn, spawnSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { after, before, test } from "node:test";
import { fileURLToPath } from "node:url";

import puppeteer from "puppeteer-core";

const root = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
const program = process.env.TARNIX_PROGRAM || join(root, "build/app/tarnix");
const screenshot = process.env.TARNIX_EDITOR_SCREENSHOT || join(dirname(program), "editor-page.png");
const work = mkdtempSync(join(tmpdir(), "tarnix-editor-page-"));
const file = join(work, "show.json");
const kBrightAt579 = /("CM::Bright".*?\{"frame":579,"easing":"None","value":)([^}]*)\}/;

let tarnix, browser, page, output = "";
const read = () => readFileSync(file, "utf8");
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

async function until(what, check, timeoutMs = 20000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) {
      const state = page ? await page.evaluate(() => JSON.stringify({ ...tarnixEditor.state, drawMs: undefined, frameGaps: undefined })) : "";
      throw new Error(`timed out waiting for ${what}\npage: ${state}\n${output.slice(-2000)}`);
    }
    await sleep(50);
  }
}

// The mean level (0-1) of the program's window, from an X screenshot.
function windowMean() {
  const id = spawnSync("xdotool", ["search", "--name", "^TARNIX$"], { encoding: "utf8" }).stdout.trim().split("\n")[0];
  const shot = spawnSync("bash", ["-c", `xwd -silent -id ${id} | convert xwd:- -format '%[fx:mean]' info:`], { encoding: "utf8" });
  return Number(shot.stdout);
}

const evaluate = (f, ...args) => page.evaluate(f, ...args);
// Where a key of a track is in the rows, in page coordinates.
const keyPoint = (track, frame) => evaluate((track, frame) => {
  const app = window.tarnixEditor, view = app.timelineView;
  const index = app.model.tracks.findIndex((t) => t.name === track);
  const rect = view.canvas.getBoundingClientRect();
  return { x: rect.left + view.x(frame), y: rect.top + view.rowTop(index) + 12 };
}, track, frame);

before(async () => {
  tarnix = spawn(program, ["--edit", file, "--render-size", "64x36", "--windowed=320x180"],
                 { env: { ...process.env, SDL_AUDIODRIVER: process.env.SDL_AUDIODRIVER || "dummy" } });
  tarnix.stdout.on("data", (data) => { output += data; });
  tarnix.stderr.on("data", (data) => { output += data; });
  const address = await until("the editor's address", () => (output.match(/editor: (http:\/\/127\.0\.0\.1:\d+\/\?token=\w+)/) || [])[1]);
  // Past the music's synthesis: the first frame is shown.
  await until("the window", () => spawnSync("xdotool", ["search", "--name", "^TARNIX$"]).status === 0, 30000);
  const profile = mkdtempSync(join(tmpdir(), "tarnix-chromium-"));
  browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium", headless: "new", defaultViewport: { width: 1400, height: 900 },
    args: ["--no-sandbox", "--disable-background-networking", "--disable-component-update", "--no-first-run", `--user-data-dir=${profile}`],
  });
  page = await browser.newPage();
  page.on("pageerror", (error) => { output += `page error: ${error.message}\n`; });
  await page.goto(address);
  await until("the page", () => evaluate(() => window.tarnixEditor && tarnixEditor.state.connected && tarnixEditor.model.tracks.length === 13));
});

after(async () => {
  if (browser) await browser.close();
  if (tarnix) tarnix.kill("SIGTERM");
  rmSync(work, { recursive: true, force: true });
});

test("clicking the ruler moves the frame the program shows, and the keys pause it", async () => {
  await page.keyboard.press("Space");
  await until("the pause", () => evaluate(() => tarnixEditor.state.reported && tarnixEditor.state.reported.paused));
  const { x, y } = await evaluate(() => {
    const view = tarnixEditor.timelineView, rect = view.canvas.getBoundingClientRect();
    return { x: rect.left + view.x(1000), y: rect.top + 10 };
  });
  await page.mouse.click(x, y);
  const target = await evaluate(() => tarnixEditor.playhead.frame);
  assert.ok(Math.abs(target - 1000) <= 10, `clicked at ${target}`);
  await until("the program at the frame clicked", () => evaluate((t) => tarnixEditor.state.reported.frame === t, target));
});

test("a dragged key lands in the file as exactly that edit, changes the picture, and undo restores the bytes", async () => {
  const before = read();
  await sleep(1500);  // the picture settles at the frame
  const darkBefore = windowMean();
  const key = await keyPoint("CM::Bright", 579);
  await page.mouse.click(key.x, key.y);
  await until("its curve", () => evaluate(() => tarnixEditor.curveView.laneRanges && tarnixEditor.curveView.laneRanges[0]));
  // Its mark on the curve, dragged down.
  const mark = await evaluate(() => {
    const curve = tarnixEditor.curveView, rect = curve.canvas.getBoundingClientRect();
    const range = curve.laneRanges[0], { y } = curve.lane(0);
    return { x: rect.left + tarnixEditor.timelineView.x(579), y: rect.top + y(1, range) };
  });
  await page.mouse.move(mark.x, mark.y);
  await page.mouse.down();
  for (let step = 1; step <= 30; ++step) await page.mouse.move(mark.x, mark.y + step * 3);
  await evaluate(() => { tarnixEditor.state.drawMs.length = 0; });
  await page.mouse.up();
  const written = await until("the change", () => evaluate(() => tarnixEditor.state.changes === 1 && tarnixEditor.model.tracks.find((t) => t.name === "CM::Bright").keys));
  const value = Math.fround(written.find((k) => k.frame === 579).value[0]);
  assert.ok(value < 0.9, `dragged to ${value}`);
  const after = read();
  const [, , text] = after.match(kBrightAt579);
  assert.equal(Math.fround(Number(text)), value);
  assert.equal(after.replace(kBrightAt579, "$1V}"), before.replace(kBrightAt579, "$1V}"));
  await until("the new version on screen", () => evaluate(() => tarnixEditor.state.latencies.length === 1));
  await sleep(1500);
  const darkAfter = windowMean();
  assert.ok(darkAfter < darkBefore - 0.01, `the window's mean went from ${darkBefore} to ${darkAfter}`);

  await page.keyboard.down("Control");
  await page.keyboard.press("z");
  await page.keyboard.up("Control");
  await until("the undo", () => read() === before);
});

test("a text editor's save shows on the page, and a change it overtook is refused", async () => {
  const seen = await evaluate(() => ({ version: tarnixEditor.version, key: TarnixEditor.findKey(tarnixEditor.model.tracks.find((t) => t.name === "CM::Bright"), 579) }));
  writeFileSync(file, read().replace(kBrightAt579, "$10.25}"));
  await until("the save on the page", () => evaluate(() => TarnixEditor.findKey(tarnixEditor.model.tracks.find((t) => t.name === "CM::Bright"), 579).value[0] === 0.25));
  const edited = read();
  const answer = await evaluate(async (seen) => {
    const app = tarnixEditor, track = app.model.tracks.find((t) => t.name === "CM::Bright");
    const step = TarnixEditor.keyStep(track, 579, seen.key, { ...seen.key, value: [0.5] }, app.easingNames);
    return app.backend.change(seen.version, { label: "stale", steps: [step] });
  }, seen);
  assert.equal(answer.ok, false);
  assert.match(answer.message, /CM::Bright: the key at frame 579 was changed in the file/);
  assert.equal(read(), edited);
});

test("measured: release to picture, and the page's frame time while dragging with 13 tracks shown", async () => {
  // Every track's curve in view, the whole timeline.
  await evaluate(() => {
    const app = tarnixEditor;
    app.model.tracks.forEach((_, index) => app.tracksChosen.add(index));
    app.timelineView.fit();
    app.redraw();
  });
  await until("every curve", () => evaluate(() => tarnixEditor.curveView.laneRanges.filter(Boolean).length === 13));
  const latencies = [];
  for (let round = 0; round < 5; ++round) {
    // The curve of the version now in the file drawn, so that the key's mark is where it shows.
    await until("the curve of the new version", () => evaluate(() => {
      const curve = tarnixEditor.curveView, values = curve.values.get("CM::Bright");
      return values && values.version === tarnixEditor.version && !curve.preview;
    }));
    await sleep(200);
    const point = await evaluate((round) => {
      const app = tarnixEditor, curve = app.curveView;
      const lane = curve.lanes().indexOf(app.model.tracks.findIndex((t) => t.name === "CM::Bright")), range = curve.laneRanges[lane], { y } = curve.lane(lane);
      const key = TarnixEditor.findKey(app.model.tracks.find((t) => t.name === "CM::Bright"), 3421);
      curve.canvas.parentElement.scrollTop = curve.canvas.offsetTop + y(key.value[0], range) - 300;  // the lane in view
      const rect = curve.canvas.getBoundingClientRect();
      app.state.drawMs.length = 0;
      app.state.frameGaps.length = 0;
      return { x: rect.left + app.timelineView.x(3421), y: rect.top + y(key.value[0], range) };
    }, round);
    await page.mouse.move(point.x, point.y);
    await page.mouse.down();
    for (let step = 1; step <= 20; ++step) await page.mouse.move(point.x, point.y + step * (round % 2 ? -1 : 1));
    const count = await evaluate(() => tarnixEditor.state.latencies.length);
    await page.mouse.up();
    await until("the version on screen", () => evaluate((n) => tarnixEditor.state.latencies.length > n, count));
    latencies.push(await evaluate(() => tarnixEditor.state.latencies.at(-1)));
  }
  const draw = await evaluate(() => tarnixEditor.state.drawMs.slice());
  const median = (list) => list.slice().sort((a, b) => a - b)[Math.floor(list.length / 2)];
  console.log(`editor: release to picture ${latencies.map((ms) => ms.toFixed(0)).join(", ")} ms (median ${median(latencies).toFixed(0)}); ` +
              `page draw while dragging, 13 tracks: median ${median(draw).toFixed(1)} ms, longest ${Math.max(...draw).toFixed(1)} ms`);
  // The picture of the page for the README: two tracks' curves, a key selected.
  await evaluate(() => {
    const app = tarnixEditor, index = (name) => app.model.tracks.findIndex((t) => t.name === name);
    app.tracksChosen.clear();
    app.tracksChosen.add(index("CM::Pos"));
    app.select([TarnixEditor.selectionId(index("CM::Bright"), 3421)], false);
    app.curveView.canvas.parentElement.scrollTop = 0;
    app.redraw();
  });
  await until("the curves", () => evaluate(() => tarnixEditor.curveView.laneRanges.filter(Boolean).length === 2));
  await sleep(500);
  await page.screenshot({ path: screenshot });
});
