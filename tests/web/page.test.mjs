// The page as a person meets it: it plays with its music (the worklet's position advancing
// with wall time, the timeline frame following it at 60 per second of music), Escape stops it,
// it plays the timeline it is given (and says why it cannot), and a browser without WebGPU, or
// an adapter short of what the show needs, gets a message.
import assert from "node:assert/strict";
import { after, before, test } from "node:test";

import { launch, openPage, startSite, waitForEnd } from "./browser.mjs";

let site;
before(async () => {
  site = await startSite();
});
after(() => site?.stop());

const sample = (page) =>
  page.evaluate(() => ({ wall: performance.now() / 1000, position: TarnixWeb.audioPosition() / 44100,
                         frame: tarnixPage.status.frame, music: tarnixPage.status.musicSeconds,
                         shown: tarnixPage.status.framesShown }));

test("the show plays in step with its music, and Escape stops it", async () => {
  const browser = await launch({ autoplay: true });
  try {
    const page = await openPage(browser, site.address, "?render=32x18");
    assert.equal(await page.evaluate("tarnixPage.state"), "ready", page.consoleLines.join(" | "));
    await page.click("#start");
    await page.waitForFunction("tarnixPage.state === 'running' && tarnixPage.status.framesShown > 5", { timeout: 300000 });
    const first = await sample(page);
    await new Promise((resolve) => setTimeout(resolve, 4000));
    const second = await sample(page);
    const played = second.position - first.position, waited = second.wall - first.wall;
    assert.ok(Math.abs(played - waited) < 0.1 * waited, `the worklet played ${played.toFixed(2)} s in ${waited.toFixed(2)} s`);
    assert.ok(second.shown > first.shown, "no frame was shown in four seconds");
    // The timeline frame is the music's position at 60 frames per second (the one the clock read).
    for (const s of [first, second])
      assert.ok(Math.abs(s.frame - s.music * 60) <= 1, `frame ${s.frame} at ${s.music.toFixed(3)} s of music`);
    // Each picture is chosen for when it will be seen, some frames after what is heard; on a busy
    // machine that lead changes from picture to picture, so the chosen music time moves on by less
    // than was heard, but by more than half of it.
    assert.ok(second.music - first.music > 0.5 * played, `the clock went from ${first.music.toFixed(2)} to ${second.music.toFixed(2)} s of music in ${waited.toFixed(2)} s (heard ${first.position.toFixed(2)} to ${second.position.toFixed(2)} s, frames ${first.shown} to ${second.shown})`);

    await page.keyboard.press("Escape");
    await page.waitForFunction("tarnixPage.state === 'ended'", { timeout: 60000 });
    const stopped = await page.evaluate("TarnixWeb.audioPosition()");
    await new Promise((resolve) => setTimeout(resolve, 500));
    assert.equal(await page.evaluate("TarnixWeb.audioPosition()"), stopped, "the music goes on after Escape");
    assert.match(await page.$eval("#message", (e) => e.textContent), /The show ended after \d+ frames/);
    assert.equal(await page.evaluate("TarnixGpu.errors"), 0, "WebGPU reported errors");
  } finally {
    await browser.close();
  }
});

// ?timeline: the timeline file the page fetches and hands to the program, here inside the address.
const timelineQuery = (text) => `timeline=${encodeURIComponent(`data:application/json,${encodeURIComponent(text)}`)}`;

test("a timeline given to the page is played; one the program cannot use stops it with the reason", async () => {
  const browser = await launch();
  try {
    // Bright from the first frame on, where the built-in timeline is still dark.
    const bright = '{"CM::Bright": {"type": "FLOAT", "frames": [{"frame": 0, "easing": "None", "value": 3}]}}';
    const page = await openPage(browser, site.address, `?render=32x18&capture=2&${timelineQuery(bright)}`);
    await page.click("#start");
    await waitForEnd(page, 600000);
    const lit = await page.evaluate(() => tarnixPage.frames[2].pixels.some((v, i) => i % 4 !== 3 && v > 0));
    assert.ok(lit, "frame 2 is black: the page's timeline was not played");

    const broken = await openPage(browser, site.address, `?render=32x18&${timelineQuery('{"CM::Bright": 3}')}`);
    await broken.click("#start");
    await broken.waitForFunction("tarnixPage.state === 'failed'", { timeout: 120000 });
    assert.match(await broken.$eval("#message", (e) => e.textContent), /The show cannot start: .*timeline\.json:1:/);
  } finally {
    await browser.close();
  }
});

// What the page says when it cannot show anything, for a browser changed before the page loads.
async function messageFor(prepare) {
  const browser = await launch();
  try {
    const page = await openPage(browser, site.address, "", prepare);
    return {
      state: await page.evaluate("tarnixPage.state"),
      message: await page.$eval("#message", (e) => e.textContent),
      startShown: await page.$eval("#start", (e) => !e.hidden),
    };
  } finally {
    await browser.close();
  }
}

test("without WebGPU, or without an adapter, or short of a limit, the page says so and offers no start", async () => {
  const none = await messageFor(() => Object.defineProperty(Navigator.prototype, "gpu", { get: () => undefined }));
  assert.deepEqual([none.state, none.startShown], ["unsupported", false]);
  assert.match(none.message, /offers no WebGPU/);

  const noAdapter = await messageFor(() => { GPU.prototype.requestAdapter = async () => null; });
  assert.deepEqual([noAdapter.state, noAdapter.startShown], ["unsupported", false]);
  assert.match(noAdapter.message, /no graphics adapter/);

  const short = await messageFor(() => {
    const limits = Object.getOwnPropertyDescriptor(GPUAdapter.prototype, "limits").get;
    Object.defineProperty(GPUAdapter.prototype, "limits", {
      get() {
        return new Proxy(limits.call(this), {
          get: (real, name) => (name === "maxStorageTexturesPerShaderStage" ? 2 : Reflect.get(real, name)),
        });
      },
    });
  });
  assert.deepEqual([short.state, short.startShown], ["unsupported", false]);
  assert.match(short.message, /maxStorageTexturesPerShaderStage 2 \(needs 4\)/);
});
