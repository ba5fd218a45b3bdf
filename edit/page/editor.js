// The editor page: it shows what the program sends (the file's versions, where the show is)
// and sends the program changes, never a whole timeline; every change lands in the file and
// comes back as a new version. TarnixEditor.start(element, backend) builds it in an element;
// window.tarnixEditor is its state (the suites read it).
"use strict";
(function (editor) {
  const kLastFrame = 7400;

  class EditorApp {
    constructor(element, backend, options) {
      this.backend = backend;
      this.options = options;
      this.model = { frameCount: 10843, bookmarks: [], tracks: [] };
      this.version = "";
      this.selection = new Set();
      this.tracksChosen = new Set();
      this.playhead = { frame: 0, paused: false, looping: false, loopStart: 0, loopEnd: 0, fps: 0 };
      this.lastFrame = kLastFrame;
      this.easingNames = [];
      this.clipboard = [];
      this.waiting = new Map();  // version written -> performance.now() of the change that wrote it
      this.shownAt = new Map();  // version on screen before its change's answer came -> when
      this.state = { connected: false, file: "", error: null, undo: null, redo: null, message: "", problem: false,
                     latencyMs: null, latencies: [], drawMs: [], frameGaps: [], changes: 0, refusals: 0 };
      this.build(element);
      this.timelineView = new editor.TimelineView(this.rowsCanvas, this);
      this.curveView = new editor.CurveView(this.curveCanvas, this);
      this.panel = new editor.KeyPanel(this.panelElement, this);
      window.addEventListener("keydown", (event) => this.key(event));
      window.addEventListener("resize", () => this.redraw());
    }

    build(element) {
      element.classList.add("tarnix-editor");
      element.innerHTML = `
        <header class="bar">
          <span id="editor-connection" class="connection">connecting…</span>
          <span id="editor-file" class="file"></span>
          <span id="editor-latency" class="latency"></span>
          <span class="spacer"></span>
          <button id="editor-play" title="Pause or play (Space)">Pause</button>
          <span id="editor-frame" class="frame"></span>
          <button id="editor-undo" title="Undo (Ctrl+Z)">Undo</button>
          <button id="editor-redo" title="Redo (Ctrl+Shift+Z, Ctrl+Y)">Redo</button>
          <button id="editor-fit" title="The whole timeline in view">Fit</button>
          <button id="editor-download" title="The timeline as a file" hidden>Download</button>
          <button id="editor-open" title="Load a timeline file (or drop one on the page)" hidden>Open…</button>
          <input id="editor-file-input" type="file" accept=".json,application/json" hidden>
        </header>
        <div id="editor-message" class="message"></div>
        <div class="body">
          <div class="views"><canvas class="rows"></canvas><canvas class="curves"></canvas></div>
          <aside class="panel"></aside>
        </div>`;
      this.rowsCanvas = element.querySelector("canvas.rows");
      this.curveCanvas = element.querySelector("canvas.curves");
      this.panelElement = element.querySelector("aside.panel");
      const on = (id, action) => element.querySelector(id).addEventListener("click", action);
      on("#editor-play", () => this.transport("Space"));
      on("#editor-undo", () => this.undo());
      on("#editor-redo", () => this.redo());
      on("#editor-fit", () => {
        this.timelineView.fit();
        this.redraw();
      });
      this.element = element;
      if (this.backend.loadFile) this.offerFiles(element);
      if (!this.backend.transport) element.querySelector("#editor-play").hidden = true;
    }

    // Where the timeline lives in the page (the web build): download it, load a file.
    offerFiles(element) {
      const download = element.querySelector("#editor-download"), open = element.querySelector("#editor-open");
      const input = element.querySelector("#editor-file-input");
      download.hidden = open.hidden = false;
      download.addEventListener("click", () => this.download());
      open.addEventListener("click", () => input.click());
      input.addEventListener("change", () => {
        if (input.files.length) this.loadFile(input.files[0]);
        input.value = "";
      });
      window.addEventListener("dragover", (event) => event.preventDefault());
      window.addEventListener("drop", (event) => {
        event.preventDefault();
        if (event.dataTransfer.files.length) this.loadFile(event.dataTransfer.files[0]);
      });
    }

    async download() {
      const text = await this.backend.fileText();
      const link = document.createElement("a");
      link.href = URL.createObjectURL(new Blob([text], { type: "application/json" }));
      link.download = this.state.file || "tarnix_timeline.json";
      link.click();
      setTimeout(() => URL.revokeObjectURL(link.href), 1000);
    }

    async loadFile(file) {
      this.answered(await this.backend.loadFile(file.name, await file.text()), performance.now());
    }

    async begin() {
      const easings = await this.backend.easings();
      this.easingNames = easings.names;
      this.panel.buildEasings(easings.names, easings.shapes);
      this.backend.listen({
        connection: (connected) => this.connected(connected),
        version: (state) => this.showState(state),
        playhead: (playhead) => this.movePlayhead(playhead),
        shown: (shown) => this.shown(shown),
      });
      this.showState(await this.backend.state());
      this.timelineView.fit();
      this.redraw();
    }

    // ---- What the program sends ----
    connected(connected) {
      const was = this.state.connected;
      this.state.connected = connected;
      const element = this.element.querySelector("#editor-connection");
      element.textContent = !connected ? "○ connection lost, reconnecting…" : this.backend.kind === "page" ? "● in this page" : "● connected";
      element.classList.toggle("problem", !connected);
      // What happened while away comes again on reconnecting; the state is asked for anyway.
      if (connected && !was && this.version) this.backend.state().then((state) => this.showState(state)).catch(() => {});
    }

    showState(state) {
      this.state.file = state.file;
      this.state.error = state.error;
      this.state.undo = state.undo;
      this.state.redo = state.redo;
      if (state.timeline && state.version !== this.version) {
        this.model = editor.readTimeline(state.timeline);
        this.version = state.version;
        // Selected keys that are gone are no longer selected.
        for (const id of [...this.selection]) {
          const [trackIndex, frame] = id.split(":").map(Number);
          if (!this.model.tracks[trackIndex] || !editor.findKey(this.model.tracks[trackIndex], frame)) this.selection.delete(id);
        }
      }
      const file = this.element.querySelector("#editor-file");
      file.textContent = state.error ? state.error : `${state.file}: loaded`;
      file.classList.toggle("problem", Boolean(state.error));
      this.element.querySelector("#editor-undo").disabled = !state.undo;
      this.element.querySelector("#editor-undo").title = state.undo ? `Undo: ${state.undo} (Ctrl+Z)` : "Nothing to undo";
      this.element.querySelector("#editor-redo").disabled = !state.redo;
      this.element.querySelector("#editor-redo").title = state.redo ? `Redo: ${state.redo} (Ctrl+Shift+Z)` : "Nothing to redo";
      this.redraw();
    }

    movePlayhead(playhead) {
      this.playhead = playhead;
      this.state.reported = playhead;
      this.redraw();
    }

    // A version is on screen: how long after the change that wrote it. The stream and the
    // change's answer travel apart, so either may come first.
    shown({ version, ms }) {
      const sentAt = this.waiting.get(version);
      this.waiting.delete(version);
      if (sentAt !== undefined) return this.showLatency(performance.now() - sentAt, "change");
      this.shownAt.set(version, performance.now());
      if (this.shownAt.size > 20) this.shownAt.delete(this.shownAt.keys().next().value);
      this.showLatency(ms, "save");
    }

    showLatency(latency, cause) {
      this.state.latencyMs = Math.round(latency);
      if (cause === "change") this.state.latencies.push(latency);
      this.element.querySelector("#editor-latency").textContent = `on screen ${Math.round(latency)} ms after the ${cause}`;
    }

    say(message, problem = false) {
      this.state.message = message;
      this.state.problem = problem;
      const element = this.element.querySelector("#editor-message");
      element.textContent = message;
      element.classList.toggle("problem", problem);
    }

    // ---- Changes ----
    // Sends steps as one change; true once the program has written it.
    async sendChange(label, steps) {
      if (!steps.length) return false;
      const sentAt = performance.now();
      let answer;
      try {
        answer = await this.backend.change(this.version, { label, steps });
      } catch (error) {
        this.say(`not sent: ${error.message}`, true);
        return false;
      }
      return this.answered(answer, sentAt);
    }

    answered(answer, sentAt) {
      if (answer.ok) {
        this.state.changes += 1;
        const version = answer.state.version, shownAt = this.shownAt.get(version);
        this.shownAt.delete(version);
        if (shownAt !== undefined && sentAt !== undefined) this.showLatency(shownAt - sentAt, "change");
        else if (sentAt !== undefined) this.waiting.set(version, sentAt);
      } else {
        this.state.refusals += 1;
      }
      this.say(answer.message, !answer.ok);
      if (answer.state) this.showState(answer.state);
      return Boolean(answer.ok);
    }

    async undo() { this.answered(await this.backend.undo(), performance.now()); }
    async redo() { this.answered(await this.backend.redo(), performance.now()); }

    async moveSelection(delta) {
      const steps = editor.moveSteps(this.model, this.selection, delta, this.easingNames);
      const moved = [...this.selection].map((id) => {
        const [trackIndex, frame] = id.split(":").map(Number);
        return editor.selectionId(trackIndex, frame + delta);
      });
      if (await this.sendChange(steps.length > 1 ? `move ${steps.length} keys` : "move a key", steps)) this.select(moved, false);
    }

    deleteSelection() {
      const steps = editor.deleteSteps(this.model, this.selection, this.easingNames);
      this.sendChange(steps.length > 1 ? `delete ${steps.length} keys` : "delete a key", steps);
    }

    setEasing(easing) {
      const steps = editor.selectedKeys(this.model, this.selection).filter(({ key }) => key.easing !== easing)
        .map(({ track, key }) => editor.editStep(track, key, { easing }, this.easingNames));
      this.sendChange(`ease ${this.easingNames[easing]}`, steps);
    }

    copy() {
      this.clipboard = editor.copyKeys(this.model, this.selection);
      this.say(`${this.clipboard.length} keys copied`);
    }

    async paste() {
      const steps = editor.pasteSteps(this.model, this.clipboard, this.playhead.frame, this.easingNames);
      if (await this.sendChange(`paste ${steps.length} keys`, steps))
        this.select(steps.map((step) => editor.selectionId(this.model.tracks.findIndex((t) => t.name === step.track), step.now.frame)), false);
    }

    // The tracks a new key goes on: those chosen by name, else those of the selected keys.
    tracksForNewKeys() {
      if (this.tracksChosen.size) return [...this.tracksChosen];
      return [...new Set(editor.selectedKeys(this.model, this.selection).map(({ trackIndex }) => trackIndex))];
    }

    // A key at the playhead on each such track, holding the value the track has there (as the
    // program evaluates it) and easing as the key before it does.
    async addKeysAtPlayhead() {
      const frame = this.playhead.frame;
      const steps = [];
      for (const trackIndex of this.tracksForNewKeys()) {
        const track = this.model.tracks[trackIndex];
        if (editor.findKey(track, frame)) continue;
        const values = await this.backend.values(track.name, frame, 1, null);
        if (!values) continue;
        const before = track.keys.filter((key) => key.frame < frame).pop();
        steps.push(editor.keyStep(track, frame, null, { frame, easing: before ? before.easing : 0, value: [...values] }, this.easingNames));
      }
      if (!steps.length) return this.say("every chosen track has a key at the playhead already");
      if (await this.sendChange(steps.length > 1 ? `add ${steps.length} keys` : "add a key", steps))
        this.select(steps.map((step) => editor.selectionId(this.model.tracks.findIndex((t) => t.name === step.track), frame)), false);
    }

    toggleBookmark() {
      const step = editor.bookmarkStep(this.model, this.playhead.frame);
      this.sendChange(step.now ? "add a bookmark" : "remove a bookmark", [step]);
    }

    // ---- Selection and what is shown ----
    select(ids, adding) {
      if (!adding) this.selection.clear();
      for (const id of ids) this.selection.add(id);
      this.selectionChanged();
    }

    selectionChanged() { this.redraw(); }

    toggleTrack(index, adding) {
      const had = this.tracksChosen.has(index);
      if (!adding) this.tracksChosen.clear();
      if (had && adding) this.tracksChosen.delete(index);
      else this.tracksChosen.add(index);
      this.redraw();
    }

    // The curves shown: the chosen tracks and those of the selected keys.
    curveTracks() {
      const tracks = new Set(this.tracksChosen);
      for (const { trackIndex } of editor.selectedKeys(this.model, this.selection)) tracks.add(trackIndex);
      return [...tracks].sort((a, b) => a - b);
    }

    dragStarted() { this.dragFrames = []; }

    // ---- Transport ----
    transport(key, shift = false) {
      if (this.backend.transport) this.backend.transport({ key, shift }).catch(() => {});
    }
    seek(frame) {
      if (!this.backend.transport) return;
      const target = Math.max(0, Math.min(this.lastFrame, Math.round(frame)));
      if (target === this.seekSent) return;
      this.seekSent = target;
      this.playhead = { ...this.playhead, frame: target };
      this.backend.transport({ seek: target }).catch(() => {});
      this.redraw();
    }

    key(event) {
      if (event.target instanceof HTMLInputElement) return;
      const control = event.ctrlKey || event.metaKey;
      const name = { " ": "Space", ArrowLeft: "Left", ArrowRight: "Right", PageUp: "PageUp", PageDown: "PageDown", Home: "Home" }[event.key];
      const key = event.key.toLowerCase();
      if (name && !control) this.transport(name, event.shiftKey);
      else if (control && key === "z") event.shiftKey ? this.redo() : this.undo();
      else if (control && key === "y") this.redo();
      else if (control && key === "c") this.copy();
      else if (control && key === "v") this.paste();
      else if (control) return;
      else if (key === "l") this.transport("L");
      else if (key === "b") this.toggleBookmark();
      else if (key === "k") this.addKeysAtPlayhead();
      else if (event.key === "Delete" || event.key === "Backspace") this.deleteSelection();
      else if (event.key === "Escape") this.select([], false);
      else return;
      event.preventDefault();
    }

    // ---- Drawing: one pass per display frame, only when something changed ----
    redraw() {
      if (this.frameRequested) return;
      this.frameRequested = true;
      requestAnimationFrame((time) => this.draw(time));
    }

    draw(time) {
      this.frameRequested = false;
      const start = performance.now();
      this.timelineView.clampView();
      this.timelineView.draw();
      this.curveView.draw();
      this.panel.update();
      const seconds = (this.playhead.frame / 60).toFixed(2);
      this.element.querySelector("#editor-play").textContent = this.playhead.paused ? "Play" : "Pause";
      this.element.querySelector("#editor-frame").textContent =
        `frame ${this.playhead.frame}  ${seconds} s${this.playhead.paused ? "  paused" : ""}${this.playhead.looping ? "  loop" : ""}`;
      this.state.drawMs.push(performance.now() - start);
      if (this.state.drawMs.length > 600) this.state.drawMs.shift();
      if (this.lastDrawTime !== undefined) this.state.frameGaps.push(time - this.lastDrawTime);
      if (this.state.frameGaps.length > 600) this.state.frameGaps.shift();
      this.lastDrawTime = time;
    }
  }

  // Builds the editor in `element` on `backend` and starts it.
  editor.start = function (element, backend, options = {}) {
    const app = new EditorApp(element, backend, options);
    window.tarnixEditor = app;
    app.ready = app.begin().catch((error) => app.say(`the editor could not start: ${error.message}`, true));
    return app;
  };
})(globalThis.TarnixEditor = globalThis.TarnixEditor || {});
