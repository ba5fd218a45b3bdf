// The browser's side of the web backends (platform/web/): the window's messages, the sound
// (an AudioWorklet holding the whole piece), the title's text on a canvas, and the hooks
// through which the program talks to its page (TarnixWeb.page, set by the page).
var TarnixWeb = {
  // ---- Window messages (Win32 numbers, as platform/window.h has them) ----
  messages: [],
  listeners: null,
  virtualKey(event) {
    const named = { Escape: 0x1b, Enter: 0x0d, " ": 0x20, Tab: 0x09, Backspace: 0x08, Shift: 0x10, Control: 0x11,
                    Alt: 0x12, ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28 };
    if (event.key in named) return named[event.key];
    if (/^F([1-9]|1[0-2])$/.test(event.key)) return 0x6f + Number(event.key.slice(1));
    if (event.key.length === 1) return event.key.toUpperCase().charCodeAt(0) & 0xff;
    return 0;
  },
  listen() {
    if (this.listeners) return;
    const key = (message) => (event) => {
      const code = this.virtualKey(event);
      if (code) this.messages.push({ message, wParam: code, lParam: 0 });
    };
    this.listeners = { keydown: key(0x0100), keyup: key(0x0101) };
    for (const type in this.listeners) window.addEventListener(type, this.listeners[type]);
  },
  stopListening() {
    if (!this.listeners) return;
    for (const type in this.listeners) window.removeEventListener(type, this.listeners[type]);
    this.listeners = null;
  },
  // The page's stop: a close request, as the system's close button would send.
  requestClose() {
    this.messages.push({ message: 0x0010, wParam: 0, lParam: 0 });
  },

  // ---- Sound ----
  audio: null,
  // Made on the page's start button (a gesture): the context, the worklet and its node.
  async startAudio(workletUrl) {
    const context = new AudioContext({ sampleRate: 44100, latencyHint: "playback" });
    await context.audioWorklet.addModule(workletUrl);
    const node = new AudioWorkletNode(context, "tarnix-music", { numberOfInputs: 0, outputChannelCount: [2] });
    const gain = context.createGain();
    node.connect(gain).connect(context.destination);
    this.audio = { context, node, gain, position: 0, ended: false };
    node.port.onmessage = (event) => {
      if ("position" in event.data) this.audio.position = event.data.position;
      if (event.data.ended) this.audio.ended = true;
    };
    if (context.state !== "running") context.resume();
    return context;
  },
  audioReady() {
    return this.audio !== null;
  },
  audioPlay(samples) {
    this.audio.position = 0;
    this.audio.ended = false;
    this.audio.node.port.postMessage({ samples }, [samples.buffer]);
  },
  audioStop() {
    this.audio.node.port.postMessage({ stop: true });
    this.audio.ended = true;
  },
  audioPosition() {
    return this.audio ? this.audio.position : 0;
  },
  audioEnded() {
    return this.audio ? this.audio.ended : true;
  },
  audioVolume(gain) {
    this.audio.gain.gain.value = gain;
  },

  // ---- The title's text ----
  face: "TarnixTitle",
  measure: null,
  async loadTitleFace() {
    try {
      const face = new FontFace(this.face, `url(${this.page.fontUrl || "fonts/title.ttf"})`);
      await face.load();
      document.fonts.add(face);
      this.measure = new OffscreenCanvas(1, 1).getContext("2d");
      return true;
    } catch (error) {
      console.error(`text: ${error.message}`);
      return false;
    }
  },
  faceMetrics() {
    this.measure.font = `1000px ${this.face}`;
    const m = this.measure.measureText("H");
    return { ascent: m.fontBoundingBoxAscent / 1000, descent: m.fontBoundingBoxDescent / 1000 };
  },
  advance(pixelsPerEm, character) {
    this.measure.font = `${pixelsPerEm}px ${this.face}`;
    return this.measure.measureText(character).width;
  },
  // Draws text with the top left of its cell at (x, y) into the heap's 32-bit bitmap (blue,
  // green, red, unused), blending colour 0x00BBGGRR by coverage; each glyph at a whole-pixel pen
  // position, the advances rounded, no kerning.
  drawText(pixels, width, height, x, y, text, pixelsPerEm, ascent, color) {
    const margin = Math.ceil(pixelsPerEm);
    const advances = [...text].map((c) => Math.round(this.advance(pixelsPerEm, c)));
    const canvasWidth = advances.reduce((a, b) => a + b, 0) + 2 * margin;
    const canvasHeight = Math.ceil(pixelsPerEm * 2) + 2 * margin;
    const context = new OffscreenCanvas(canvasWidth, canvasHeight).getContext("2d", { willReadFrequently: true });
    context.font = `${pixelsPerEm}px ${this.face}`;
    context.fillStyle = "#fff";
    let pen = margin;
    [...text].forEach((c, i) => {
      context.fillText(c, pen, margin + ascent);
      pen += advances[i];
    });
    const coverage = context.getImageData(0, 0, canvasWidth, canvasHeight).data;
    const rgb = [(color >> 16) & 0xff, (color >> 8) & 0xff, color & 0xff];  // blue, green, red
    for (let row = 0; row < canvasHeight; ++row) {
      const ty = y - margin + row;
      if (ty < 0 || ty >= height) continue;
      for (let column = 0; column < canvasWidth; ++column) {
        const tx = x - margin + column, a = coverage[(row * canvasWidth + column) * 4 + 3] / 255;
        if (tx < 0 || tx >= width || a === 0) continue;
        const at = pixels + (ty * width + tx) * 4;
        for (let k = 0; k < 3; ++k) HEAPU8[at + k] = Math.round(HEAPU8[at + k] * (1 - a) + rgb[k] * a);
      }
    }
    return true;
  },

  // ---- The editor panel (the page's ?edit) ----
  // A request as the native editor's server takes it, answered by the program at once:
  // {status, type, body (bytes)}. Callable before the program's main runs.
  editorRequest(method, path, body) {
    const encoder = new TextEncoder();
    const strings = [method, path].map((text) => {
      const bytes = encoder.encode(text + "\0");
      const at = _malloc(bytes.length);
      HEAPU8.set(bytes, at);
      return at;
    });
    const bytes = typeof body === "string" ? encoder.encode(body) : body;
    const at = _malloc(Math.max(1, bytes.length));
    HEAPU8.set(bytes, at);
    const status = _tarnixEditorRequest(strings[0], strings[1], at, bytes.length);
    [...strings, at].forEach((pointer) => _free(pointer));
    if (status === 503) return { status, type: "application/json", body: encoder.encode('{"ok":false,"message":"the program is not ready"}') };
    const answer = _tarnixEditorAnswerBody();
    return { status, type: UTF8ToString(_tarnixEditorAnswerType()), body: HEAPU8.slice(answer, answer + _tarnixEditorAnswerSize()) };
  },
  editorListeners: [],
  // What the program tells the panel, handed on once the request that caused it has returned.
  editorEvent(event, data) {
    setTimeout(() => this.editorListeners.forEach((listener) => listener(event, data)), 0);
  },

  // ---- The program's page ----
  page: {
    status() {},
    frame() {},
    music() {},
    ended() {},
    tellMissing(detail) {
      console.error(detail);
    },
    fatal() {},
  },
  tellMissing(detail) {
    this.page.tellMissing(detail);
  },
  fatalStop() {
    this.page.fatal();
  },
};
