// The editor page's model (edit/page/editor_model.js) in node: moves never put a key onto or
// past another, the steps come in an order the program can apply one by one, pastes replace
// what is there, typed values are taken as the track's type takes them.
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import vm from "node:vm";

const source = readFileSync(new URL("../../edit/page/editor_model.js", import.meta.url), "utf8");
const context = vm.createContext({});
vm.runInContext(source, context);
const editor = context.TarnixEditor;
const names = ["None", "Linear"];
// Values made in the model's own realm, compared as plain data.
const plain = (value) => JSON.parse(JSON.stringify(value));

// Two tracks: a FLOAT with keys at 10, 20, 30 and a FLOAT3 with keys at 0 and 25.
function model() {
  return editor.readTimeline({
    frameCount: 100, bookmarks: [0, 50],
    tracks: [
      { name: "CM::Bright", type: "FLOAT", inFile: true, keys: [[10, 1, 0.5], [20, 0, 1], [30, 1, 2]] },
      { name: "CM::Pos", type: "FLOAT3", inFile: true, keys: [[0, 0, 1, 2, 3], [25, 1, 4, 5, 6]] },
    ],
  });
}

test("a move stops short of the keys that stay and of the timeline's ends", () => {
  const m = model();
  const just20 = new Set([editor.selectionId(0, 20)]);
  assert.equal(editor.clampMove(m, just20, 50), 9);
  assert.equal(editor.clampMove(m, just20, -50), -9);
  assert.equal(editor.clampMove(m, just20, 3.4), 3);
  const both = new Set([editor.selectionId(0, 20), editor.selectionId(0, 30)]);
  assert.equal(editor.clampMove(m, both, 500), 69);   // 30 goes to 99, the last frame
  assert.equal(editor.clampMove(m, both, -500), -9);  // 20 stops after 10
  // Keys of two tracks move together within the tighter room.
  const twoTracks = new Set([editor.selectionId(0, 10), editor.selectionId(1, 25)]);
  assert.equal(editor.clampMove(m, twoTracks, -50), -10);
  assert.equal(editor.clampMove(m, twoTracks, 50), 9);
});

test("moved keys are stepped so that none lands on one yet to move", () => {
  const m = model();
  const both = new Set([editor.selectionId(0, 20), editor.selectionId(0, 30)]);
  const right = editor.moveSteps(m, both, 15, names);
  assert.deepEqual(plain(right.map((s) => [s.frame, s.now.frame])), [[30, 45], [20, 35]]);
  const left = editor.moveSteps(m, both, -5, names);
  assert.deepEqual(plain(left.map((s) => [s.frame, s.now.frame])), [[20, 15], [30, 25]]);
  assert.deepEqual(plain(right[0].was), { frame: 30, easing: "Linear", value: 2 });
  const pos = editor.moveSteps(m, new Set([editor.selectionId(1, 25)]), 1, names)[0];
  assert.deepEqual(plain(pos.now), { frame: 26, easing: "Linear", value: [4, 5, 6] });
});

test("a paste at the playhead replaces the keys there and leaves out what falls past the end", () => {
  const m = model();
  const copied = editor.copyKeys(m, new Set([editor.selectionId(0, 10), editor.selectionId(0, 20)]));
  const steps = editor.pasteSteps(m, copied, 20, names);
  assert.deepEqual(plain(steps.map((s) => [s.frame, s.was && s.was.value, s.now.value])), [[20, 1, 0.5], [30, 2, 1]]);
  assert.equal(editor.pasteSteps(m, copied, 95, names).length, 1);
  assert.deepEqual(plain(editor.bookmarkStep(m, 50)), { bookmark: 50, was: true, now: false });
  assert.deepEqual(plain(editor.bookmarkStep(m, 51)), { bookmark: 51, was: false, now: true });
});

test("typed values are numbers of the track's type", () => {
  assert.equal(editor.parseComponent("FLOAT", " 1.5e2 "), 150);
  assert.equal(editor.parseComponent("FLOAT", "-.25"), -0.25);
  for (const bad of ["", "1,5", "0x10", "NaN", "Infinity", "1e39", "2 3"]) assert.equal(editor.parseComponent("FLOAT", bad), null, bad);
  assert.equal(editor.parseComponent("UINT", "4294967295"), 4294967295);
  for (const bad of ["-1", "1.5", "4294967296"]) assert.equal(editor.parseComponent("UINT", bad), null, bad);
});
