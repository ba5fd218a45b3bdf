// The rows: one per track under a ruler of frames and seconds, the bookmarks and their
// sections, every key as a mark, the playhead. Zoom with the wheel (at the pointer), pan with
// Shift+wheel or by dragging with the middle button; click the ruler to seek; click, Shift- or
// Ctrl-click and drag a box to select keys; drag selected keys along their rows.
"use strict";
(function (editor) {
  const kLabelWidth = 130, kRulerHeight = 30, kBookmarkHeight = 16, kRowHeight = 24, kKeyRadius = 5;
  const kFramesPerSecond = 60;
  const kColors = {
    background: "#15171c", row: "#1b1e24", rowAlt: "#181a20", selectedRow: "#243040", text: "#c9ccd3", dim: "#7d828c",
    grid: "#2a2e36", key: "#d8b25a", keySelected: "#ffffff", keyOutline: "#000", playhead: "#ff5a5a",
    bookmark: "#6cc3ff", section: "rgba(108,195,255,0.07)", box: "rgba(120,170,255,0.25)", loop: "rgba(255,220,120,0.10)",
  };

  // Ruler steps: the first that leaves at least 70 pixels between labels.
  const kSteps = [1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600];

  class TimelineView {
    constructor(canvas, app) {
      this.canvas = canvas;
      this.app = app;
      this.start = 0;           // the frame at the left edge of the rows
      this.framesPerPixel = 10;
      this.drag = null;
      this.hover = null;
      canvas.addEventListener("mousedown", (event) => this.mouseDown(event));
      window.addEventListener("mousemove", (event) => this.mouseMove(event));
      window.addEventListener("mouseup", (event) => this.mouseUp(event));
      canvas.addEventListener("wheel", (event) => this.wheel(event), { passive: false });
    }

    get height() { return kRulerHeight + kBookmarkHeight + this.app.model.tracks.length * kRowHeight + 2; }
    rowsWidth() { return this.canvas.clientWidth - kLabelWidth; }
    x(frame) { return kLabelWidth + (frame - this.start) / this.framesPerPixel; }
    frameAt(x) { return this.start + (x - kLabelWidth) * this.framesPerPixel; }
    rowTop(index) { return kRulerHeight + kBookmarkHeight + index * kRowHeight; }
    rowAt(y) {
      const index = Math.floor((y - kRulerHeight - kBookmarkHeight) / kRowHeight);
      return index >= 0 && index < this.app.model.tracks.length ? index : -1;
    }
    visibleFrames() { return { from: this.frameAt(kLabelWidth), to: this.frameAt(this.canvas.clientWidth) }; }

    // The whole timeline in view (its last frame at the right edge).
    fit() {
      const width = Math.max(100, this.rowsWidth() - 2 * kKeyRadius);
      this.framesPerPixel = this.app.model.frameCount / width;
      this.start = -kKeyRadius * this.framesPerPixel;  // the keys at frame 0 whole
    }

    clampView() {
      const count = this.app.model.frameCount;
      this.framesPerPixel = Math.min(Math.max(this.framesPerPixel, 1 / 40), count / Math.max(100, this.rowsWidth()) * 1.5);
      const span = this.rowsWidth() * this.framesPerPixel;
      this.start = Math.min(Math.max(this.start, -span * 0.05), count - span * 0.95);
    }

    // The key nearest the point within reach, as {trackIndex, frame}.
    keyAt(x, y) {
      const row = this.rowAt(y);
      if (row < 0 || x < kLabelWidth) return null;
      let best = null, bestDistance = kKeyRadius + 3;
      for (const key of this.app.model.tracks[row].keys) {
        const distance = Math.abs(this.x(key.frame + this.dragDelta(row, key.frame)) - x);
        if (distance < bestDistance) {
          best = { trackIndex: row, frame: key.frame };
          bestDistance = distance;
        }
      }
      return best;
    }

    dragDelta(trackIndex, frame) {
      return this.drag && this.drag.kind === "move" && this.app.selection.has(editor.selectionId(trackIndex, frame)) ? this.drag.delta : 0;
    }

    point(event) {
      const rect = this.canvas.getBoundingClientRect();
      return { x: event.clientX - rect.left, y: event.clientY - rect.top };
    }

    mouseDown(event) {
      const { x, y } = this.point(event);
      const app = this.app;
      if (event.button === 1) {
        this.drag = { kind: "pan", x, start: this.start };
        event.preventDefault();
        return;
      }
      if (event.button !== 0) return;
      if (y < kRulerHeight + kBookmarkHeight && x >= kLabelWidth) {
        this.drag = { kind: "seek" };
        app.seek(this.frameAt(x));
        return;
      }
      if (x < kLabelWidth) {
        const row = this.rowAt(y);
        if (row >= 0) app.toggleTrack(row, event.shiftKey || event.ctrlKey || event.metaKey);
        return;
      }
      const hit = this.keyAt(x, y);
      const adding = event.shiftKey || event.ctrlKey || event.metaKey;
      if (hit) {
        const id = editor.selectionId(hit.trackIndex, hit.frame);
        if (adding && app.selection.has(id)) {
          app.selection.delete(id);
          app.selectionChanged();
          return;
        }
        if (!app.selection.has(id)) app.select([id], adding);
        this.drag = { kind: "move", x, delta: 0 };
        return;
      }
      this.drag = { kind: "box", x0: x, y0: y, x1: x, y1: y, adding };
      if (!adding) app.select([], false);
    }

    mouseMove(event) {
      if (!this.drag) return;
      const { x, y } = this.point(event);
      const drag = this.drag;
      if (drag.kind === "pan") {
        this.start = drag.start - (x - drag.x) * this.framesPerPixel;
        this.clampView();
      } else if (drag.kind === "seek") {
        this.app.seek(this.frameAt(x));
      } else if (drag.kind === "move") {
        drag.delta = editor.clampMove(this.app.model, this.app.selection, (x - drag.x) * this.framesPerPixel);
      } else {
        drag.x1 = x;
        drag.y1 = y;
      }
      this.app.redraw();
    }

    mouseUp() {
      const drag = this.drag;
      this.drag = null;
      if (!drag) return;
      if (drag.kind === "move" && drag.delta !== 0) this.app.moveSelection(drag.delta);
      if (drag.kind === "box") this.app.select(this.keysInBox(drag), drag.adding);
      this.app.redraw();
    }

    keysInBox({ x0, y0, x1, y1 }) {
      const [left, right] = [Math.min(x0, x1), Math.max(x0, x1)], [top, bottom] = [Math.min(y0, y1), Math.max(y0, y1)];
      const ids = [];
      this.app.model.tracks.forEach((track, index) => {
        const middle = this.rowTop(index) + kRowHeight / 2;
        if (middle < top || middle > bottom) return;
        for (const key of track.keys) {
          const kx = this.x(key.frame);
          if (kx >= left && kx <= right) ids.push(editor.selectionId(index, key.frame));
        }
      });
      return ids;
    }

    wheel(event) {
      event.preventDefault();
      const { x } = this.point(event);
      if (event.shiftKey || Math.abs(event.deltaX) > Math.abs(event.deltaY)) {
        this.start += (event.deltaX || event.deltaY) * this.framesPerPixel;
      } else {
        const anchor = this.frameAt(Math.max(x, kLabelWidth));
        this.framesPerPixel *= Math.exp(event.deltaY * 0.002);
        this.clampView();
        this.start = anchor - (Math.max(x, kLabelWidth) - kLabelWidth) * this.framesPerPixel;
      }
      this.clampView();
      this.app.redraw();
    }

    draw() {
      const { canvas } = this;
      const context = editor.prepareCanvas(canvas, this.height);
      const width = canvas.clientWidth;
      context.fillStyle = kColors.background;
      context.fillRect(0, 0, width, this.height);
      this.drawSections(context, width);
      this.drawRows(context, width);
      this.drawRuler(context, width);
      this.drawPlayhead(context);
      if (this.drag && this.drag.kind === "box") {
        const { x0, y0, x1, y1 } = this.drag;
        context.fillStyle = kColors.box;
        context.fillRect(Math.min(x0, x1), Math.min(y0, y1), Math.abs(x1 - x0), Math.abs(y1 - y0));
      }
    }

    drawRuler(context, width) {
      const app = this.app;
      const step = kSteps.find((s) => s / this.framesPerPixel >= 70) || 7200;
      context.fillStyle = kColors.background;
      context.fillRect(0, 0, width, kRulerHeight);
      context.font = "11px sans-serif";
      context.textBaseline = "top";
      const { from, to } = this.visibleFrames();
      for (let frame = Math.max(0, Math.ceil(from / step) * step); frame <= Math.min(to, app.model.frameCount - 1); frame += step) {
        const x = Math.round(this.x(frame)) + 0.5;
        context.strokeStyle = kColors.grid;
        context.beginPath();
        context.moveTo(x, kRulerHeight - 8);
        context.lineTo(x, this.height);
        context.stroke();
        context.fillStyle = kColors.text;
        context.fillText(String(frame), x + 3, 3);
        context.fillStyle = kColors.dim;
        context.fillText(`${(frame / kFramesPerSecond).toFixed(step < 60 ? 2 : 1)} s`, x + 3, 15);
      }
      context.fillStyle = kColors.background;
      context.fillRect(0, 0, kLabelWidth, kRulerHeight + kBookmarkHeight);
      context.fillStyle = kColors.dim;
      context.fillText("frame / time", 8, 3);
      context.fillText("bookmarks", 8, kRulerHeight + 2);
    }

    drawSections(context) {
      const app = this.app;
      const top = kRulerHeight, bottom = this.height;
      const section = editor.sectionAround(app.model, app.playhead.frame, app.lastFrame);
      context.fillStyle = kColors.section;
      context.fillRect(this.x(section.start), top, (section.end - section.start) / this.framesPerPixel, bottom - top);
      if (app.playhead.looping) {
        context.fillStyle = kColors.loop;
        const { loopStart, loopEnd } = app.playhead;
        context.fillRect(this.x(loopStart), top, (loopEnd - loopStart) / this.framesPerPixel, bottom - top);
      }
      for (const bookmark of app.model.bookmarks) {
        const x = Math.round(this.x(bookmark)) + 0.5;
        if (x < kLabelWidth) continue;
        context.strokeStyle = kColors.bookmark;
        context.beginPath();
        context.moveTo(x, top + 2);
        context.lineTo(x, bottom);
        context.stroke();
        context.fillStyle = kColors.bookmark;
        context.beginPath();
        context.moveTo(x - 5, top + 2);
        context.lineTo(x + 5, top + 2);
        context.lineTo(x, top + 12);
        context.fill();
      }
    }

    drawRows(context, width) {
      const app = this.app;
      context.font = "12px sans-serif";
      context.textBaseline = "middle";
      app.model.tracks.forEach((track, index) => {
        const top = this.rowTop(index);
        const chosen = app.tracksChosen.has(index);
        context.fillStyle = chosen ? kColors.selectedRow : index % 2 ? kColors.rowAlt : kColors.row;
        context.fillRect(0, top, width, kRowHeight - 1);
        context.fillStyle = track.inFile ? kColors.text : kColors.dim;
        context.fillText(track.name, 8, top + kRowHeight / 2);
        context.save();
        context.beginPath();
        context.rect(kLabelWidth, top, width - kLabelWidth, kRowHeight);
        context.clip();
        for (const key of track.keys) this.drawKey(context, index, key, top + kRowHeight / 2);
        context.restore();
      });
    }

    drawKey(context, trackIndex, key, middle) {
      const x = this.x(key.frame + this.dragDelta(trackIndex, key.frame));
      if (x < kLabelWidth - kKeyRadius || x > this.canvas.clientWidth + kKeyRadius) return;
      const selected = this.app.selection.has(editor.selectionId(trackIndex, key.frame));
      context.fillStyle = selected ? kColors.keySelected : kColors.key;
      context.strokeStyle = kColors.keyOutline;
      context.beginPath();
      context.moveTo(x, middle - kKeyRadius);
      context.lineTo(x + kKeyRadius, middle);
      context.lineTo(x, middle + kKeyRadius);
      context.lineTo(x - kKeyRadius, middle);
      context.closePath();
      context.fill();
      context.stroke();
    }

    drawPlayhead(context) {
      const x = Math.round(this.x(this.app.playhead.frame)) + 0.5;
      if (x < kLabelWidth) return;
      context.strokeStyle = kColors.playhead;
      context.lineWidth = 1.5;
      context.beginPath();
      context.moveTo(x, 0);
      context.lineTo(x, this.height);
      context.stroke();
      context.lineWidth = 1;
    }
  }

  // Sizes the canvas's backing store for the display's pixel ratio; the context draws in CSS pixels.
  function prepareCanvas(canvas, height) {
    const ratio = window.devicePixelRatio || 1;
    if (height !== undefined) canvas.style.height = `${height}px`;
    const width = canvas.clientWidth, cssHeight = canvas.clientHeight;
    if (canvas.width !== Math.round(width * ratio) || canvas.height !== Math.round(cssHeight * ratio)) {
      canvas.width = Math.round(width * ratio);
      canvas.height = Math.round(cssHeight * ratio);
    }
    const context = canvas.getContext("2d");
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    return context;
  }

  Object.assign(editor, { TimelineView, prepareCanvas, kLabelWidth });
})(globalThis.TarnixEditor = globalThis.TarnixEditor || {});
