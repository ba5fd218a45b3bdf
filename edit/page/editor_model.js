// The editor page's model: the timeline as the program sent it, the selection, and the change
// steps the page sends (each says what it expects to find, so the program can refuse a change
// that an edit made elsewhere has overtaken). No drawing, no network: node's suites load it.
"use strict";
(function (editor) {
  const kComponents = { FLOAT: 1, FLOAT3: 3, UINT: 1 };

  // The timeline of a "state" answer: tracks with keys as {frame, easing, value: [numbers]}.
  function readTimeline(timeline) {
    return {
      frameCount: timeline.frameCount,
      bookmarks: timeline.bookmarks.slice(),
      tracks: timeline.tracks.map((track) => ({
        name: track.name,
        type: track.type,
        inFile: track.inFile,
        components: kComponents[track.type],
        keys: track.keys.map(([frame, easing, ...value]) => ({ frame, easing, value })),
      })),
    };
  }

  function findKey(track, frame) {
    return track.keys.find((key) => key.frame === frame) || null;
  }

  // A key as a change states it: {"frame", "easing" (a name), "value"} as a file holds it.
  function keyJson(track, key, easingNames) {
    const value = track.type === "FLOAT3" ? key.value.slice(0, 3) : key.value[0];
    return { frame: key.frame, easing: easingNames[key.easing], value };
  }

  function keyStep(track, frame, was, now, easingNames) {
    return {
      track: track.name,
      frame,
      was: was ? keyJson(track, was, easingNames) : null,
      now: now ? keyJson(track, now, easingNames) : null,
    };
  }

  // Selection entries are "trackIndex:frame".
  const selectionId = (trackIndex, frame) => `${trackIndex}:${frame}`;
  function selectedKeys(model, selection) {
    const keys = [];
    for (const id of selection) {
      const [trackIndex, frame] = id.split(":").map(Number);
      const track = model.tracks[trackIndex];
      const key = track && findKey(track, frame);
      if (key) keys.push({ trackIndex, track, key });
    }
    return keys.sort((a, b) => a.trackIndex - b.trackIndex || a.key.frame - b.key.frame);
  }

  // How far the selected keys may move together, in whole frames: never onto or past a key that
  // stays, never out of the timeline. The wanted delta clamped to that.
  function clampMove(model, selection, wanted) {
    let low = -Infinity, high = Infinity;
    for (const { trackIndex, track, key } of selectedKeys(model, selection)) {
      low = Math.max(low, -key.frame);
      high = Math.min(high, model.frameCount - 1 - key.frame);
      for (const other of track.keys) {
        if (selection.has(selectionId(trackIndex, other.frame))) continue;
        if (other.frame < key.frame) low = Math.max(low, other.frame + 1 - key.frame);
        if (other.frame > key.frame) high = Math.min(high, other.frame - 1 - key.frame);
      }
    }
    if (low > high) return 0;
    return Math.max(low, Math.min(high, Math.round(wanted)));
  }

  // Steps that move the selected keys by delta frames, in an order where no key lands on one
  // that has yet to move (the program checks every step against the file as it goes).
  function moveSteps(model, selection, delta, easingNames) {
    const keys = selectedKeys(model, selection);
    keys.sort((a, b) => (delta > 0 ? b.key.frame - a.key.frame : a.key.frame - b.key.frame));
    return keys.map(({ track, key }) => keyStep(track, key.frame, key, { ...key, frame: key.frame + delta }, easingNames));
  }

  function deleteSteps(model, selection, easingNames) {
    return selectedKeys(model, selection).map(({ track, key }) => keyStep(track, key.frame, key, null, easingNames));
  }

  // A key given a new value or easing, in place.
  function editStep(track, key, changes, easingNames) {
    return keyStep(track, key.frame, key, { ...key, ...changes }, easingNames);
  }

  // Copied keys: their tracks and their distance from the earliest of them.
  function copyKeys(model, selection) {
    const keys = selectedKeys(model, selection);
    if (!keys.length) return [];
    const first = Math.min(...keys.map(({ key }) => key.frame));
    return keys.map(({ trackIndex, key }) => ({ trackIndex, offset: key.frame - first, easing: key.easing, value: key.value.slice() }));
  }

  // Pasting at `frame`: each key replaces whatever its track holds there. Keys beyond the
  // timeline's end are left out.
  function pasteSteps(model, copied, frame, easingNames) {
    const steps = [];
    for (const { trackIndex, offset, easing, value } of copied) {
      const track = model.tracks[trackIndex];
      const at = frame + offset;
      if (!track || at >= model.frameCount) continue;
      steps.push(keyStep(track, at, findKey(track, at), { frame: at, easing, value }, easingNames));
    }
    return steps;
  }

  function bookmarkStep(model, frame) {
    const present = model.bookmarks.includes(frame);
    return { bookmark: frame, was: present, now: !present };
  }

  // The section between the bookmarks around a frame: [start, end).
  function sectionAround(model, frame, lastFrame) {
    let start = 0, end = lastFrame + 1;
    for (const bookmark of model.bookmarks) {
      if (bookmark <= frame) start = Math.max(start, bookmark);
      if (bookmark > frame) end = Math.min(end, bookmark);
    }
    return { start, end };
  }

  // The number a value field holds, as the track's type takes it; null when it is not one.
  function parseComponent(type, text) {
    const trimmed = String(text).trim();
    if (!/^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$/.test(trimmed)) return null;
    const number = Number(trimmed);
    if (type === "UINT") return Number.isInteger(number) && number >= 0 && number <= 4294967295 ? number : null;
    return Number.isFinite(Math.fround(number)) ? number : null;
  }

  Object.assign(editor, {
    readTimeline, findKey, keyStep, selectionId, selectedKeys, clampMove, moveSteps, deleteSteps, editStep, copyKeys,
    pasteSteps, bookmarkStep, sectionAround, parseComponent,
  });
})(globalThis.TarnixEditor = globalThis.TarnixEditor || {});
