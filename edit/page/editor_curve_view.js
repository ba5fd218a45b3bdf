// The curves of the chosen tracks, one lane each under the rows and on their time axis: the
// value the show uses at every frame, as the program evaluates it, each component in its own
// colour, with the keys on it. Dragging a key up or down changes its value: the curve follows
// (the program evaluates the key's segments with the new value, nothing written) and the
// release writes it.
"use strict";
(function (editor) {
  const kLaneHeight = 150, kPad = 12, kHandle = 5;
  const kComponentColors = [["#ffcc55"], ["#ff6b6b", "#6bdc6b", "#6ba8ff"]];
  const kColors = { background: "#111318", lane: "#15171c", grid: "#262a31", text: "#9aa0aa", key: "#ffffff" };

  class CurveView {
    constructor(canvas, app) {
      this.canvas = canvas;
      this.app = app;
      this.values = new Map();   // track name -> {version, values: Float64Array over every frame}
      this.preview = null;       // {trackIndex, from, values} while a key is dragged
      this.drag = null;
      this.pending = null;       // the newest preview not sent yet
      this.inFlight = false;
      canvas.addEventListener("mousedown", (event) => this.mouseDown(event));
      window.addEventListener("mousemove", (event) => this.mouseMove(event));
      window.addEventListener("mouseup", () => this.mouseUp());
    }

    lanes() { return [...this.app.curveTracks()]; }
    laneTop(index) { return index * kLaneHeight; }

    // The program's values of a track for the version shown, fetched once per version; the
    // last version's stay in view until they arrive (and with them the end of a preview).
    valuesOf(trackIndex) {
      const track = this.app.model.tracks[trackIndex];
      const version = this.app.version;
      const entry = this.values.get(track.name) || { version: null, values: null, loading: null };
      this.values.set(track.name, entry);
      if (entry.version !== version && entry.loading !== version) {
        entry.loading = version;
        this.app.backend.values(track.name, 0, this.app.model.frameCount, null).then((values) => {
          if (values && version === this.app.version) {
            Object.assign(entry, { version, values, loading: null });
            if (this.preview && this.preview.trackIndex === trackIndex && !this.drag) this.preview = null;
          }
          this.app.redraw();
        });
      }
      return entry.values;
    }

    // The range of the values in view, with some room.
    range(values, components, from, to, extra) {
      let low = Infinity, high = -Infinity;
      for (let frame = Math.max(0, from); frame <= to; ++frame)
        for (let c = 0; c < components; ++c) {
          const v = values[frame * components + c];
          if (v < low) low = v;
          if (v > high) high = v;
        }
      for (const v of extra) {
        low = Math.min(low, v);
        high = Math.max(high, v);
      }
      if (!Number.isFinite(low)) return { low: 0, high: 1 };
      if (high - low < 1e-6) return { low: low - 0.5, high: high + 0.5 };
      const margin = (high - low) * 0.08;
      return { low: low - margin, high: high + margin };
    }

    lane(index) {
      const top = this.laneTop(index);
      return { top, y: (value, range) => top + kPad + (1 - (value - range.low) / (range.high - range.low)) * (kLaneHeight - 2 * kPad) };
    }

    // The values shown for a track: the preview's over the program's while a key is dragged.
    shownValues(trackIndex) {
      const values = this.valuesOf(trackIndex);
      if (!values || !this.preview || this.preview.trackIndex !== trackIndex) return values;
      const merged = values.slice();
      merged.set(this.preview.values, this.preview.from * this.app.model.tracks[trackIndex].components);
      return merged;
    }

    draw() {
      const lanes = this.lanes();
      const height = Math.max(1, lanes.length) * kLaneHeight;
      const context = editor.prepareCanvas(this.canvas, height);
      const width = this.canvas.clientWidth;
      context.fillStyle = kColors.background;
      context.fillRect(0, 0, width, height);
      this.laneRanges = [];
      if (!lanes.length) {
        context.fillStyle = kColors.text;
        context.font = "12px sans-serif";
        context.fillText("Select keys or click track names to see their curves.", 12, 24);
        return;
      }
      lanes.forEach((trackIndex, index) => this.drawLane(context, width, trackIndex, index));
    }

    drawLane(context, width, trackIndex, index) {
      const view = this.app.timelineView;
      const track = this.app.model.tracks[trackIndex];
      const values = this.shownValues(trackIndex);
      const { top, y } = this.lane(index);
      context.fillStyle = kColors.lane;
      context.fillRect(0, top + 1, width, kLaneHeight - 2);
      context.fillStyle = kColors.text;
      context.font = "12px sans-serif";
      context.textBaseline = "top";
      context.fillText(track.name, 8, top + 6);
      if (!values) return;
      context.fillStyle = "#6d727c";
      const { from, to } = view.visibleFrames();
      const first = Math.max(0, Math.floor(from)), last = Math.min(this.app.model.frameCount - 1, Math.ceil(to));
      const dragged = this.drag ? [this.drag.value] : [];
      const range = this.range(values, track.components, first, last, dragged);
      this.laneRanges[index] = range;
      context.fillText(editor.formatNumber(range.high), 8, top + kPad + 14);
      context.textBaseline = "bottom";
      context.fillText(editor.formatNumber(range.low), 8, top + kLaneHeight - kPad);
      context.save();
      context.beginPath();
      context.rect(editor.kLabelWidth, top, width - editor.kLabelWidth, kLaneHeight);
      context.clip();
      const colors = kComponentColors[track.components === 3 ? 1 : 0];
      for (let c = 0; c < track.components; ++c) this.drawCurve(context, values, track.components, c, first, last, range, y, colors[c]);
      for (const key of track.keys) this.drawKeyMarks(context, trackIndex, track, key, range, y, colors, values);
      context.restore();
    }

    // One polyline point per frame, or per pixel column (its lowest and highest) when frames
    // are denser than pixels.
    drawCurve(context, values, components, c, first, last, range, y, color) {
      const view = this.app.timelineView;
      context.strokeStyle = color;
      context.lineWidth = 1.5;
      context.beginPath();
      if (view.framesPerPixel <= 1) {
        for (let frame = first; frame <= last; ++frame) {
          const px = view.x(frame), py = y(values[frame * components + c], range);
          if (frame === first) context.moveTo(px, py);
          else context.lineTo(px, py);
        }
      } else {
        const x0 = Math.floor(view.x(first)), x1 = Math.ceil(view.x(last));
        for (let px = x0; px <= x1; ++px) {
          const f0 = Math.max(first, Math.floor(view.frameAt(px))), f1 = Math.min(last, Math.floor(view.frameAt(px + 1)));
          let low = Infinity, high = -Infinity;
          for (let frame = f0; frame <= Math.max(f0, f1); ++frame) {
            const v = values[frame * components + c];
            low = Math.min(low, v);
            high = Math.max(high, v);
          }
          if (px === x0) context.moveTo(px, y(high, range));
          else context.lineTo(px, y(high, range));
          context.lineTo(px, y(low, range));
        }
      }
      context.stroke();
      context.lineWidth = 1;
    }

    drawKeyMarks(context, trackIndex, track, key, range, y, colors, values) {
      const view = this.app.timelineView;
      const x = view.x(key.frame);
      const selected = this.app.selection.has(editor.selectionId(trackIndex, key.frame));
      for (let c = 0; c < track.components; ++c) {
        const shown = this.drag && this.drag.trackIndex === trackIndex && this.drag.frame === key.frame && this.drag.component === c
          ? this.drag.value : values[key.frame * track.components + c];
        context.fillStyle = selected ? kColors.key : colors[c];
        context.strokeStyle = "#000";
        context.beginPath();
        context.arc(x, y(shown, range), selected ? kHandle + 1 : kHandle, 0, Math.PI * 2);
        context.fill();
        context.stroke();
      }
    }

    // The key mark under the point: {trackIndex, frame, component, laneIndex}.
    markAt(px, py) {
      const view = this.app.timelineView;
      const lanes = this.lanes();
      const index = Math.floor(py / kLaneHeight);
      if (index < 0 || index >= lanes.length || !this.laneRanges[index]) return null;
      const trackIndex = lanes[index];
      const track = this.app.model.tracks[trackIndex];
      const values = this.shownValues(trackIndex);
      const { y } = this.lane(index);
      let best = null, bestDistance = kHandle + 4;
      for (const key of track.keys)
        for (let c = 0; c < track.components; ++c) {
          const distance = Math.hypot(view.x(key.frame) - px, y(values[key.frame * track.components + c], this.laneRanges[index]) - py);
          if (distance < bestDistance) {
            bestDistance = distance;
            best = { trackIndex, frame: key.frame, component: c, laneIndex: index };
          }
        }
      return best;
    }

    point(event) {
      const rect = this.canvas.getBoundingClientRect();
      return { x: event.clientX - rect.left, y: event.clientY - rect.top };
    }

    mouseDown(event) {
      if (event.button !== 0) return;
      const { x, y } = this.point(event);
      const mark = this.markAt(x, y);
      if (!mark) return;
      const track = this.app.model.tracks[mark.trackIndex];
      const key = editor.findKey(track, mark.frame);
      this.app.select([editor.selectionId(mark.trackIndex, mark.frame)], false);
      this.drag = { ...mark, y0: y, value: key.value[mark.component], range: this.laneRanges[mark.laneIndex], moved: false };
      this.app.dragStarted();
      event.preventDefault();
    }

    // The value at the pointer, in the lane's scale as it was when the drag began.
    mouseMove(event) {
      if (!this.drag) return;
      const { y } = this.point(event);
      const drag = this.drag, range = drag.range;
      const track = this.app.model.tracks[drag.trackIndex];
      const span = range.high - range.low, pixels = kLaneHeight - 2 * kPad;
      let value = range.low + (1 - (y - this.laneTop(drag.laneIndex) - kPad) / pixels) * span;
      value = track.type === "UINT" ? Math.min(4294967295, Math.max(0, Math.round(value))) : Math.fround(value);
      if (value === drag.value) return;
      drag.value = value;
      drag.moved = true;
      this.requestPreview();
      this.app.redraw();
    }

    // The steps that give the dragged key its new value.
    dragSteps() {
      const { trackIndex, frame, component, value } = this.drag;
      const track = this.app.model.tracks[trackIndex];
      const key = editor.findKey(track, frame);
      const newValue = key.value.slice();
      newValue[component] = value;
      return [editor.editStep(track, key, { value: newValue }, this.app.easingNames)];
    }

    // One preview at a time; the newest waits for the one in flight.
    requestPreview() {
      const { trackIndex, frame } = this.drag;
      const track = this.app.model.tracks[trackIndex];
      const before = track.keys.filter((k) => k.frame < frame).pop();
      const after = track.keys.find((k) => k.frame > frame);
      const from = before ? before.frame : 0, to = after ? after.frame : this.app.model.frameCount - 1;
      this.pending = { trackIndex, from, count: to - from + 1, steps: this.dragSteps() };
      if (!this.inFlight) this.sendPreview();
    }

    sendPreview() {
      const request = this.pending;
      this.pending = null;
      if (!request) return;
      this.inFlight = true;
      const track = this.app.model.tracks[request.trackIndex];
      this.app.backend.values(track.name, request.from, request.count, request.steps).then((values) => {
        this.inFlight = false;
        if (values && this.drag) this.preview = { trackIndex: request.trackIndex, from: request.from, values };
        this.app.redraw();
        this.sendPreview();
      });
    }

    mouseUp() {
      const drag = this.drag;
      if (!drag) return;
      const steps = drag.moved ? this.dragSteps() : null;
      this.drag = null;
      this.pending = null;
      // The preview stays until the program's values of the new version arrive.
      if (steps)
        this.app.sendChange("set a value", steps).then((written) => {
          if (!written) this.preview = null;
          this.app.redraw();
        });
      else this.preview = null;
      this.app.redraw();
    }
  }

  // A value as the page shows it: no more digits than it needs.
  function formatNumber(value) {
    if (Number.isInteger(value)) return String(value);
    return String(Number(value.toPrecision(6)));
  }

  Object.assign(editor, { CurveView, formatNumber });
})(globalThis.TarnixEditor = globalThis.TarnixEditor || {});
