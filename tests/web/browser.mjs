// What the web suites share: the site served by scripts/web/serve.mjs, Debian's Chromium
// headless on its software WebGPU adapter (puppeteer-core), the page's state in
// window.tarnixPage, and the native build's tools to compare with.
import { spawn, spawnSync } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

import puppeteer from "puppeteer-core";

export const root = resolve(dirname(fileURLToPath(import.meta.url)), "../..");
export const site = join(root, "build-web/site");
export const nativeBuild = process.env.TARNIX_BUILD_DIR || join(root, "build");

// No network here: Chromium must not try to reach anything.
const kQuietFlags = ["--no-sandbox", "--disable-background-networking", "--disable-component-update", "--disable-sync",
  "--no-first-run", "--disable-default-apps"];
const kWebGpuFlags = ["--enable-unsafe-webgpu", "--enable-features=Vulkan", "--use-vulkan=swiftshader",
  "--use-angle=vulkan"];

export async function startSite() {
  const server = spawn(process.execPath, [join(root, "scripts/web/serve.mjs"), site, "0"], { stdio: ["ignore", "pipe", "inherit"] });
  const address = await new Promise((resolveAddress, reject) => {
    server.stdout.on("data", (data) => {
      const match = String(data).match(/http:\/\/127\.0\.0\.1:\d+\//);
      if (match) resolveAddress(match[0]);
    });
    server.on("exit", (code) => reject(new Error(`serve.mjs ended with ${code}`)));
  });
  return { address, stop: () => server.kill() };
}

// Chromium with WebGPU on its software adapter (webgpu false: as it comes), sound allowed to
// start without a click when autoplay is set. Headless, unless `screen` ({width, height}) asks
// for a window filling a screen of that size on the display of the environment (DISPLAY).
export async function launch({ webgpu = true, autoplay = false, screen = null } = {}) {
  const profile = mkdtempSync(join(tmpdir(), "tarnix-chromium-"));
  const args = [...kQuietFlags, `--user-data-dir=${profile}`, ...(webgpu ? kWebGpuFlags : [])];
  if (autoplay) args.push("--autoplay-policy=no-user-gesture-required");
  if (screen) args.push("--kiosk", "--window-position=0,0", `--window-size=${screen.width},${screen.height}`);
  // A capture waits minutes for its end: no time limit on a single DevTools call.
  const browser = await puppeteer.launch({ executablePath: "/usr/bin/chromium", headless: screen ? false : "new", args,
                                           protocolTimeout: 0, defaultViewport: screen ? null : { width: 960, height: 540 } });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    rmSync(profile, { recursive: true, force: true });
  };
  return browser;
}

// The page at query, with `prepare` (a function run in the page before its scripts) and its
// console kept for failure messages; resolves once the page has checked for WebGPU.
export async function openPage(browser, address, query, prepare) {
  const page = await browser.newPage();
  page.consoleLines = [];
  page.on("console", (message) => page.consoleLines.push(message.text()));
  page.on("pageerror", (error) => page.consoleLines.push(`page error: ${error.message}`));
  if (prepare) await page.evaluateOnNewDocument(prepare);
  await page.goto(address + query);
  await page.waitForFunction("window.tarnixPage && tarnixPage.state !== 'checking'", { timeout: 60000 });
  return page;
}

export async function waitForEnd(page, timeoutMs) {
  await page.waitForFunction("['ended', 'failed'].includes(tarnixPage.state)", { timeout: timeoutMs, polling: 500 });
  const state = await page.evaluate("tarnixPage.state");
  if (state !== "ended") throw new Error(`the program stopped: ${page.consoleLines.slice(-5).join(" | ")}`);
}

// A typed array the page holds (an expression), copied out in pieces.
export async function readArray(page, expression, Type) {
  const bytes = await page.evaluate(`${expression}.byteLength`);
  const out = new Uint8Array(bytes);
  const chunk = 4 << 20;
  for (let at = 0; at < bytes; at += chunk) {
    const text = await page.evaluate((e, at, end) => {
      const array = eval(e), view = new Uint8Array(array.buffer, array.byteOffset + at, end - at);
      let s = "";
      for (let i = 0; i < view.length; i += 0x8000) s += String.fromCharCode.apply(null, view.subarray(i, i + 0x8000));
      return btoa(s);
    }, expression, at, Math.min(bytes, at + chunk));
    out.set(Buffer.from(text, "base64"), at);
  }
  return new Type(out.buffer);
}

// Runs a native tool of the build; its failure fails the caller.
export function runTool(relativePath, args) {
  const result = spawnSync(join(nativeBuild, relativePath), args, { encoding: "utf8", timeout: 600000 });
  if (result.status !== 0) throw new Error(`${relativePath} ${args.join(" ")}: ${result.status} ${result.stderr}`);
  return result;
}
