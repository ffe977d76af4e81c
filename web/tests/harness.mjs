// Drives the built site in Debian's Chromium through puppeteer-core: a
// local server, a fresh browser profile, every request recorded, controls
// found by their accessible names as a screen reader would.
import { existsSync, mkdtempSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, resolve, dirname } from "node:path";
import { fileURLToPath } from "node:url";
import { execFileSync } from "node:child_process";
import puppeteer from "puppeteer-core";
import zlib from "node:zlib";
import { serve } from "../serve.mjs";

const here = dirname(fileURLToPath(import.meta.url));
export const root = resolve(here, "../..");
export const site = process.env.TARKO_SITE ?? join(root, "build-web/site");
export const chromium = process.env.CHROMIUM ?? "/usr/bin/chromium";
export const tarkoRun = process.env.TARKO_RUN ?? join(root, "build/src/cli/tarko-run");

/** A browser on a served site. Missing Chromium or site fails loudly. */
export async function open({ isolation = true, serviceWorker = false, filePickers = false } = {}) {
  if (!existsSync(chromium)) throw new Error(`Chromium fehlt (${chromium}): scripts/setup.sh installiert es`);
  if (!existsSync(join(site, "index.html"))) throw new Error(`Die Seite fehlt (${site}): erst make web`);
  const server = await serve(site, { port: 0, isolation });
  const origin = `http://127.0.0.1:${server.address().port}`;
  const profile = mkdtempSync(join(tmpdir(), "tarko-chromium-"));
  const downloads = mkdtempSync(join(tmpdir(), "tarko-downloads-"));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    headless: true,
    userDataDir: profile,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-features=Translate,MediaRouter", "--disable-background-networking"],
  });
  const page = await browser.newPage();
  const requests = [];
  page.on("request", (r) => requests.push(r.url()));
  // Leaving with unsaved changes asks first; the tests leave anyway.
  const dialogs = [];
  page.on("dialog", (d) => { dialogs.push(d.type()); void d.accept(); });
  const errors = [];
  page.on("pageerror", (e) => errors.push(e.message));
  await page.setViewport({ width: 1000, height: 640 });
  const cdp = await page.createCDPSession();
  await cdp.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  if (!filePickers) {
    // Upload and download, as in browsers without the File System Access API.
    await page.evaluateOnNewDocument(() => { delete window.showOpenFilePicker; delete window.showSaveFilePicker; });
  }
  const url = `${origin}/${serviceWorker ? "" : "?nosw"}`;
  const t = {
    page, browser, origin, url, requests, errors, downloads, dialogs,
    async load() {
      await page.goto(url, { waitUntil: "load" });
      await page.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
    },
    async close() {
      await browser.close();
      server.close();
      rmSync(profile, { recursive: true, force: true });
      rmSync(downloads, { recursive: true, force: true });
    },
    /** The control with this accessible name. */
    async byName(name) {
      const h = await page.waitForSelector(`aria/${name}`, { timeout: 5000 });
      if (!h) throw new Error(`kein Bedienelement „${name}“`);
      return h;
    },
    async click(name) { await (await t.byName(name)).click(); },
    /** Replaces the current program by typing it (a line at a time). */
    async typeProgram(text) {
      const editor = await t.byName(`Programmtext: ${await t.currentCaption()}`);
      await editor.click();
      await page.keyboard.down("Control"); await page.keyboard.press("a"); await page.keyboard.up("Control");
      await page.keyboard.press("Delete");
      await page.keyboard.type(text.replace(/\n/g, "\r"));
    },
    async currentCaption() { return page.$eval("[role=tab][aria-selected=true]", (e) => e.textContent); },
    editorText() { return page.evaluate(() => window.tarko.editors.text()); },
    consoleText() { return page.$eval("#RunMemo", (e) => e.textContent); },
    messageLine() { return page.$eval("#L_Meldung", (e) => e.textContent); },
    statusCaret() { return page.$eval("#StatusPanel0", (e) => e.textContent); },
    runState() { return page.evaluate(() => window.tarko.runState); },
    /** Does what starts a run and waits until that run is over. */
    async runOver(start, timeout = 15000) {
      const before = await page.evaluate(() => window.tarko.finishedRuns);
      await start();
      await page.waitForFunction((n) => window.tarko.finishedRuns > n, { timeout }, before);
    },
    async waitIdle(timeout = 10000) { await page.waitForFunction(() => window.tarko.runState === 1, { timeout }); },
    async waitInput() { await page.waitForFunction(() => window.tarko.device.inputActive, { timeout: 10000 }); },
  };
  return t;
}

/** What the desktop's tarko-run prints for a program and its inputs, and its exit status. */
export function native(program, inputs = [], extra = []) {
  const dir = mkdtempSync(join(tmpdir(), "tarko-native-"));
  const file = join(dir, "p.trk");
  try {
    writeFileSync(file, Buffer.from(program.replace(/\n/g, "\r\n"), "latin1"));
    try {
      const out = execFileSync(tarkoRun, [...extra, file], { input: inputs.map((i) => `${i}\n`).join(""), timeout: 20000, stdio: "pipe" });
      return { out: out.toString("utf8"), status: 0 };
    } catch (e) {
      return { out: (e.stdout ?? "").toString("utf8"), err: (e.stderr ?? "").toString("utf8"), status: e.status };
    }
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

/** RGBA pixels of an 8-bit, non-interlaced PNG (as tarko-run --png writes it). */
export function decodePng(buf) {
  const { inflateSync } = zlib;
  let pos = 8, width = 0, height = 0, channels = 0;
  const idat = [];
  while (pos < buf.length) {
    const len = buf.readUInt32BE(pos), type = buf.toString("ascii", pos + 4, pos + 8), data = buf.subarray(pos + 8, pos + 8 + len);
    if (type === "IHDR") {
      width = data.readUInt32BE(0); height = data.readUInt32BE(4);
      if (data[8] !== 8 || data[12] !== 0) throw new Error("PNG: nur 8 Bit ohne Interlacing");
      channels = { 2: 3, 6: 4, 0: 1, 4: 2 }[data[9]];
    } else if (type === "IDAT") idat.push(data);
    pos += 12 + len;
  }
  const raw = inflateSync(Buffer.concat(idat));
  const stride = width * channels, out = Buffer.alloc(width * height * 4), prev = Buffer.alloc(stride), cur = Buffer.alloc(stride);
  for (let y = 0; y < height; y++) {
    const f = raw[y * (stride + 1)], line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let i = 0; i < stride; i++) {
      const a = i >= channels ? cur[i - channels] : 0, b = prev[i], c = i >= channels ? prev[i - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const pred = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][f];
      cur[i] = (line[i] + pred) & 255;
    }
    for (let x = 0; x < width; x++) {
      const s = x * channels, d = (y * width + x) * 4;
      const g = channels <= 2;
      out[d] = cur[s]; out[d + 1] = g ? cur[s] : cur[s + 1]; out[d + 2] = g ? cur[s] : cur[s + 2];
      out[d + 3] = channels === 4 ? cur[s + 3] : channels === 2 ? cur[s + 1] : 255;
    }
    cur.copy(prev);
  }
  return { width, height, pixels: out };
}
