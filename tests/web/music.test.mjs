// The music the page synthesises on WebGPU against tarnix-music's on Vulkan, and the sound
// worklet playing exactly what it is handed.
import assert from "node:assert/strict";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, before, test } from "node:test";

import { launch, openPage, readArray, runTool, startSite, waitForEnd } from "./browser.mjs";

const kRate = 44100;

// The samples of a 32-bit float WAV file.
function readFloatWav(path) {
  const file = readFileSync(path);
  for (let at = 12; at < file.length;) {
    const size = file.readUInt32LE(at + 4);
    if (file.toString("ascii", at, at + 4) === "data")
      return new Float32Array(file.buffer.slice(file.byteOffset + at + 8, file.byteOffset + at + 8 + size));
    at += 8 + size + (size & 1);
  }
  throw new Error(`${path}: no data chunk`);
}

let site, browser, page;
before(async () => {
  site = await startSite();
  browser = await launch();
  page = await openPage(browser, site.address, "?render=32x18&capture=0");
  await page.click("#start");
  await waitForEnd(page, 300000);
});
after(async () => {
  await browser?.close();
  site?.stop();
});

test("the page's music equals tarnix-music's within 0.1 % RMS in every second", async () => {
  const folder = mkdtempSync(join(tmpdir(), "tarnix-music-"));
  try {
    runTool("tools/music/tarnix-music", [join(folder, "music.wav")]);
    const native = readFloatWav(join(folder, "music.wav"));
    const web = await readArray(page, "tarnixPage.music", Float32Array);
    assert.equal(web.length, native.length, "samples");
    let worst = 0;
    for (let second = 0; second * kRate * 2 < native.length; ++second) {
      let difference = 0, reference = 0;
      const end = Math.min(native.length, (second + 1) * kRate * 2);
      for (let i = second * kRate * 2; i < end; ++i) {
        difference += (web[i] - native[i]) ** 2;
        reference += native[i] ** 2;
      }
      const share = reference > 0 ? Math.sqrt(difference / reference) : Math.sqrt(difference);
      worst = Math.max(worst, share);
      assert.ok(share <= 0.001, `second ${second}: the difference is ${(share * 100).toFixed(4)} % RMS`);
    }
    console.log(`music: worst second ${(worst * 100).toFixed(5)} % RMS`);
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

test("the worklet plays the piece it is handed sample for sample and reports where it is", async () => {
  const result = await page.evaluate(async () => {
    const frames = 48000;
    const context = new OfflineAudioContext({ numberOfChannels: 2, length: frames, sampleRate: 44100 });
    await context.audioWorklet.addModule("music_worklet.js");
    const piece = tarnixPage.music.slice(2 * 44100 * 30, 2 * (44100 * 30 + 40000));  // 40000 frames
    // In its options: a message may reach the processor only after rendering has begun.
    const node = new AudioWorkletNode(context, "tarnix-music", { numberOfInputs: 0, outputChannelCount: [2],
                                                                  processorOptions: { samples: piece.slice() } });
    node.connect(context.destination);
    const positions = [];
    node.port.onmessage = (event) => positions.push(event.data);
    const rendered = await context.startRendering();
    const left = rendered.getChannelData(0), right = rendered.getChannelData(1);
    let worst = 0, afterEnd = 0;
    for (let i = 0; i < frames; ++i) {
      if (i < 40000) worst = Math.max(worst, Math.abs(left[i] - piece[2 * i]), Math.abs(right[i] - piece[2 * i + 1]));
      else afterEnd = Math.max(afterEnd, Math.abs(left[i]), Math.abs(right[i]));
    }
    await new Promise((resolve) => setTimeout(resolve, 100));  // the last messages
    return { worst, afterEnd, last: positions[positions.length - 1], count: positions.length };
  });
  assert.equal(result.worst, 0, "played samples differ from the piece");
  assert.equal(result.afterEnd, 0, "sound after the piece's end");
  // The piece began with the context's first frame.
  assert.deepEqual(result.last, { position: 40000, ended: true, startFrame: 0 });
});
