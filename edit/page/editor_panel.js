// The key panel: the selected key's track and frame, its value as one to three number fields
// (as its track's type has), and its easing picked from all 32 with a drawing of each curve's
// shape, as the program samples it. With several keys selected an easing applies to them all;
// with a track chosen and no key, a key can be added at the playhead.
"use strict";
(function (editor) {
  const kAxes = ["x", "y", "z"];

  class KeyPanel {
    constructor(element, app) {
      this.element = element;
      this.app = app;
      element.innerHTML = `
        <h2>Key</h2>
        <p class="what" id="panel-what">No key selected.</p>
        <div id="panel-fields"></div>
        <div class="buttons">
          <button id="panel-add" title="A key at the playhead with the value the track has there (K)">Add key at playhead</button>
          <button id="panel-delete" title="Delete the selected keys (Delete)">Delete</button>
        </div>
        <h3>Easing <span id="panel-easing-name"></span></h3>
        <div id="panel-easings" class="easings"></div>`;
      this.what = element.querySelector("#panel-what");
      this.fields = element.querySelector("#panel-fields");
      this.easingName = element.querySelector("#panel-easing-name");
      this.easings = element.querySelector("#panel-easings");
      element.querySelector("#panel-add").addEventListener("click", () => app.addKeysAtPlayhead());
      element.querySelector("#panel-delete").addEventListener("click", () => app.deleteSelection());
    }

    // The 32 easings, each a button with its curve drawn (None: a held value).
    buildEasings(names, shapes) {
      this.easings.innerHTML = "";
      names.forEach((name, index) => {
        const button = document.createElement("button");
        button.className = "easing";
        button.title = name;
        button.dataset.easing = String(index);
        const canvas = document.createElement("canvas");
        canvas.width = 44;
        canvas.height = 30;
        drawShape(canvas, shapes[index]);
        const label = document.createElement("span");
        label.textContent = name;
        button.append(canvas, label);
        button.addEventListener("click", () => this.app.setEasing(index));
        this.easings.append(button);
      });
    }

    update() {
      const keys = editor.selectedKeys(this.app.model, this.app.selection);
      const single = keys.length === 1 ? keys[0] : null;
      const easings = new Set(keys.map(({ key }) => key.easing));
      for (const button of this.easings.children) {
        button.classList.toggle("chosen", easings.has(Number(button.dataset.easing)));
        button.disabled = keys.length === 0;
      }
      this.easingName.textContent = easings.size === 1 ? this.app.easingNames[[...easings][0]] : "";
      this.element.querySelector("#panel-delete").disabled = keys.length === 0;
      this.element.querySelector("#panel-add").disabled = this.app.tracksForNewKeys().length === 0;
      if (!single) {
        this.what.textContent = keys.length ? `${keys.length} keys selected` : "No key selected.";
        this.fields.innerHTML = "";
        this.shown = null;
        return;
      }
      const id = `${single.track.name}@${single.key.frame}:${single.key.value.join(",")}:${this.app.version}`;
      if (this.shown === id) return;  // the same key as shown: keep its fields (and what is being typed)
      this.shown = id;
      this.what.textContent = `${single.track.name} (${single.track.type}), frame ${single.key.frame} (${(single.key.frame / 60).toFixed(2)} s)`;
      this.showFields(single);
    }

    showFields({ track, key }) {
      this.fields.innerHTML = "";
      for (let c = 0; c < track.components; ++c) {
        const label = document.createElement("label");
        label.textContent = track.components === 3 ? kAxes[c] : "value";
        const input = document.createElement("input");
        input.type = "text";
        input.inputMode = "decimal";
        input.className = "value";
        input.dataset.component = String(c);
        input.value = editor.formatNumber(key.value[c]);
        input.addEventListener("keydown", (event) => {
          if (event.key === "Enter") this.commit(track, key, input);
          if (event.key === "Escape") input.value = editor.formatNumber(key.value[c]);
          event.stopPropagation();
        });
        input.addEventListener("change", () => this.commit(track, key, input));
        label.append(input);
        this.fields.append(label);
      }
    }

    // A typed value, sent when it differs from the key as the program holds it now (Enter and
    // the field's change on leaving it both come here).
    commit(shownTrack, shownKey, input) {
      const track = this.app.model.tracks.find((t) => t.name === shownTrack.name);
      const key = track && editor.findKey(track, shownKey.frame);
      if (!key) return;
      const component = Number(input.dataset.component);
      const number = editor.parseComponent(track.type, input.value);
      if (number === null) {
        input.classList.add("invalid");
        this.app.say(`"${input.value}" is not a value for ${track.name} (${track.type === "UINT" ? "a whole number from 0 to 4294967295" : "a number"})`, true);
        return;
      }
      input.classList.remove("invalid");
      if (number === key.value[component]) return;
      const value = key.value.slice();
      value[component] = number;
      this.app.sendChange("type a value", [editor.editStep(track, key, { value }, this.app.easingNames)]);
    }
  }

  // A curve's shape from the program's samples of it over 0..1; overshoot stays in view.
  function drawShape(canvas, samples) {
    const context = canvas.getContext("2d");
    const { width, height } = canvas;
    context.fillStyle = "#0e1014";
    context.fillRect(0, 0, width, height);
    const low = samples ? Math.min(0, ...samples) : 0, high = samples ? Math.max(1, ...samples) : 1;
    const y = (v) => 3 + (1 - (v - low) / (high - low)) * (height - 6);
    context.strokeStyle = "#30343c";
    context.beginPath();
    context.moveTo(0, y(0));
    context.lineTo(width, y(0));
    context.moveTo(0, y(1));
    context.lineTo(width, y(1));
    context.stroke();
    context.strokeStyle = "#ffcc55";
    context.lineWidth = 1.5;
    context.beginPath();
    if (!samples) {
      context.moveTo(3, y(0));
      context.lineTo(width - 3, y(0));
      context.lineTo(width - 3, y(1));
    } else {
      samples.forEach((v, i) => {
        const x = 3 + (i / (samples.length - 1)) * (width - 6);
        if (i === 0) context.moveTo(x, y(v));
        else context.lineTo(x, y(v));
      });
    }
    context.stroke();
  }

  editor.KeyPanel = KeyPanel;
})(globalThis.TarnixEditor = globalThis.TarnixEditor || {});
