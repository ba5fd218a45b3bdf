// Plays the show in a Chromium window filling the screen of the environment's display
// (DISPLAY; its sound goes where PULSE_SERVER says), as a person watches it: the page opened,
// Start pressed, SECONDS of the show, Escape. Then prints what it showed in the native
// program's words, "tarnix: N frames presented, last timeline frame F at music time S s".
//   node scripts/web/play-show.mjs --seconds S --screen WxH [--render WxH] [--timeline FILE]
// --render and --timeline become the page's ?render and ?timeline (the file's text inside the
// address). scripts/measure-sync --web records it. Needs the site (bash scripts/build-web).
import { readFileSync } from "node:fs";
import { parseArgs } from "node:util";

import { launch, openPage, startSite } from "../../tests/web/browser.mjs";

const usage = "usage: node scripts/web/play-show.mjs --seconds S --screen WxH [--render WxH] [--timeline FILE]";
let options;
try {
  const string = { type: "string" };
  options = parseArgs({ options: { seconds: string, screen: string, render: string, timeline: string } }).values;
} catch (error) {
  console.error(`${error.message}\n${usage}`);
  process.exit(2);
}
const [width, height] = (options.screen || "").split("x").map(Number);
if (!(Number(options.seconds) > 0) || !(width > 0) || !(height > 0)) {
  console.error(usage);
  process.exit(2);
}
const query = new URLSearchParams();
if (options.render) query.set("render", options.render);
if (options.timeline) query.set("timeline", `data:application/json,${encodeURIComponent(readFileSync(options.timeline, "utf8"))}`);

const site = await startSite();
const browser = await launch({ autoplay: true, screen: { width, height } });
let status = 0;
try {
  const page = await openPage(browser, site.address, `?${query}`);
  const state = await page.evaluate("tarnixPage.state");
  if (state !== "ready") throw new Error(`the page is ${state}: ${await page.$eval("#message", (e) => e.textContent)}`);
  await page.click("#start");
  await page.waitForFunction("['running', 'failed'].includes(tarnixPage.state)", { timeout: 600000, polling: 100 });
  if ((await page.evaluate("tarnixPage.state")) === "failed") throw new Error(await page.$eval("#message", (e) => e.textContent));
  await new Promise((resolve) => setTimeout(resolve, Number(options.seconds) * 1000));
  await page.keyboard.press("Escape");
  await page.waitForFunction("tarnixPage.state === 'ended'", { timeout: 120000, polling: 100 });
  const summary = await page.evaluate("tarnixPage.summary");
  console.log(`tarnix: ${summary.framesShown} frames presented, last timeline frame ${summary.lastFrame} at music time ${summary.musicSeconds.toFixed(1)} s`);
} catch (error) {
  console.error(`play-show: ${error.message}`);
  status = 1;
} finally {
  await browser.close();
  site.stop();
}
process.exit(status);
