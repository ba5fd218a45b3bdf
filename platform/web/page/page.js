// The page around the program: it checks for WebGPU and what the program needs of it, starts
// the sound and the program on the start button, shows the progress while the music is
// synthesised, then the show (full window; full screen on the button or F; Escape stops it).
// ?render=WxH picks the render size (960x540 unless given); ?capture=F1,F2,... runs the program
// without window or sound and keeps the pictures of those frames (the web suites read
// window.tarnixPage); ?edit shows the timeline's editor beside the show (editor_panel.js).
"use strict";

const kNeededFeatures = ["float32-filterable"];
// What the passes and the music's buffers need at least.
const kNeededLimits = {
  maxComputeInvocationsPerWorkgroup: 256,
  maxComputeWorkgroupSizeX: 256,
  maxStorageTexturesPerShaderStage: 4,
  maxStorageBuffersPerShaderStage: 2,
  maxSampledTexturesPerShaderStage: 11,
  maxStorageBufferBindingSize: 63504000,
  maxBufferSize: 63504000,
  maxComputeWorkgroupStorageSize: 16384,
};

const parameters = new URLSearchParams(location.search);
const element = (id) => document.getElementById(id);

const tarnixPage = {
  state: "checking",  // checking, unsupported, ready, starting, running, ended, failed
  problem: "",
  status: null,
  frames: {},
  music: null,
  summary: null,
  output: [],
  started: 0,
};
window.tarnixPage = tarnixPage;

var Module = {
  noInitialRun: true,
  print: (text) => { tarnixPage.output.push(text); console.log(text); },
  printErr: (text) => { tarnixPage.output.push(text); console.error(text); },
  onRuntimeInitialized: () => { tarnixPage.runtimeReady = true; },
};

function say(text, problem = false) {
  element("message").textContent = text;
  element("message").classList.toggle("problem", problem);
}

function renderArguments() {
  const args = [];
  const render = parameters.get("render");
  if (render) args.push("--render-size", render);
  const capture = parameters.get("capture");
  if (capture) args.push("--capture", capture);
  return args;
}

// A sentence naming what the browser lacks, or "" when it has everything.
async function missingWebGpu() {
  if (!navigator.gpu) return "This browser offers no WebGPU. The show needs a browser with WebGPU enabled (for example a current Chrome, Edge or Safari).";
  let adapter = null;
  try {
    adapter = await navigator.gpu.requestAdapter();
  } catch (error) {
    adapter = null;
  }
  if (!adapter) return "This browser has WebGPU but no graphics adapter for it (it may be switched off, or the graphics driver is blocked).";
  const lacking = kNeededFeatures.filter((feature) => !adapter.features.has(feature));
  for (const [name, least] of Object.entries(kNeededLimits))
    if (!(adapter.limits[name] >= least)) lacking.push(`${name} ${adapter.limits[name]} (needs ${least})`);
  if (lacking.length) return `This graphics adapter lacks what the show needs: ${lacking.join(", ")}.`;
  TarnixGpu.adapter = adapter;
  return "";
}

function showProgress() {
  const seconds = ((performance.now() - tarnixPage.started) / 1000).toFixed(1);
  const state = tarnixPage.status ? tarnixPage.status.audioState : -1;
  const text = state < 0 ? "Setting up the GPU…" : state < 3 ? "Synthesising the music on the GPU…" : "Starting…";
  element("progress").textContent = `${text} ${seconds} s`;
}

function enterShow() {
  element("panel").hidden = true;
  element("tarnix-canvas").style.display = "block";
  element("controls").style.display = "flex";
}

function toggleFullScreen() {
  if (document.fullscreenElement) {
    document.exitFullscreen();
    return;
  }
  document.documentElement.requestFullscreen().then(() => {
    // Escape then reaches the show (a long press still leaves full screen).
    if (navigator.keyboard && navigator.keyboard.lock) navigator.keyboard.lock(["Escape"]).catch(() => {});
  }).catch(() => {});
}

function endShow(summary) {
  tarnixPage.summary = summary;
  tarnixPage.state = "ended";
  clearInterval(tarnixPage.timer);
  if (document.fullscreenElement) document.exitFullscreen();
  element("tarnix-canvas").style.display = "none";
  element("controls").style.display = "none";
  element("panel").hidden = false;
  element("progress").hidden = true;
  element("hint").hidden = true;
  say(`The show ended after ${summary.framesShown} frames (timeline frame ${summary.lastFrame}, ${summary.musicSeconds.toFixed(1)} s of music). Reload the page to watch it again.`);
}

const pageHooks = {
  fontUrl: "fonts/title.ttf",
  status(status) {
    tarnixPage.status = status;
    if (window.tarnixEditor && status.audioState === 3) tarnixEditor.movePlayhead({ ...tarnixEditor.playhead, frame: status.frame });
    if (status.audioState === 3 && tarnixPage.state === "starting" && !parameters.get("capture")) {
      tarnixPage.state = "running";
      clearInterval(tarnixPage.timer);
      enterShow();
    }
  },
  frame(frame, pixels, width, height) {
    tarnixPage.frames[frame] = { pixels, width, height };
  },
  music(samples) {
    tarnixPage.music = samples;
  },
  ended: endShow,
  tellMissing(detail) {
    say(detail, true);
  },
  fatal() {
    tarnixPage.state = "failed";
    clearInterval(tarnixPage.timer);
    element("panel").hidden = false;
    say(`The program stopped: ${tarnixPage.output.slice(-3).join(" ")}`, true);
  },
};

async function start() {
  element("start").hidden = true;
  tarnixPage.state = "starting";
  tarnixPage.started = performance.now();
  element("progress").hidden = false;
  tarnixPage.timer = setInterval(showProgress, 100);
  showProgress();
  const capture = parameters.get("capture");
  try {
    if (!capture) await TarnixWeb.startAudio("music_worklet.js");
  } catch (error) {
    console.error(`sound: ${error.message}`);  // the show goes on, clocked without sound
  }
  while (!tarnixPage.runtimeReady) await new Promise((resolve) => setTimeout(resolve, 20));
  // ?profile: every pass timed on its own (TarnixGpu.profile), once the device exists.
  if (parameters.has("profile")) TarnixGpu.profileWanted = true;
  if (!capture) element("hint").hidden = false;
  Module.callMain(renderArguments());
}

// tarnix.js (loaded after this file) defines TarnixWeb and TarnixGpu.
window.addEventListener("DOMContentLoaded", () => {
  TarnixWeb.page = pageHooks;
  if (parameters.has("edit")) {
    (async () => {
      while (!tarnixPage.runtimeReady) await new Promise((resolve) => setTimeout(resolve, 20));
      tarnixPage.editor = await startEditorPanel();
    })().catch((error) => console.error(`editor: ${error.message}`));
  }
  missingWebGpu().catch((error) => `This browser's WebGPU could not be asked what it offers (${error.message}).`).then((problem) => {
    tarnixPage.problem = problem;
    if (problem) {
      tarnixPage.state = "unsupported";
      say(problem, true);
      return;
    }
    tarnixPage.state = "ready";
    say("A real-time path-traced show with music synthesised on your GPU. Best with sound, full screen.");
    element("start").hidden = false;
  });
});

window.addEventListener("keydown", (event) => {
  if ((event.key === "f" || event.key === "F") && tarnixPage.state === "running") toggleFullScreen();
});
element("fullscreen").addEventListener("click", toggleFullScreen);
element("stop").addEventListener("click", () => TarnixWeb.requestClose());
element("start").addEventListener("click", start);
