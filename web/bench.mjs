// Speed of the browser edition in headless Chromium, reported as figures and
// ratios to the native tarko-run (never asserted):
//   node bench.mjs SITE_DIR TARKO_RUN
import { execFileSync } from "node:child_process";
import { readFileSync, readdirSync, statSync } from "node:fs";
import { join, resolve, dirname } from "node:path";
import { fileURLToPath } from "node:url";
import { gzipSync } from "node:zlib";
import { open } from "./tests/harness.mjs";

const here = dirname(fileURLToPath(import.meta.url));
const site = resolve(process.argv[2] ?? join(here, "../build-web/site"));
const tarkoRun = resolve(process.argv[3] ?? join(here, "../build/src/cli/tarko-run"));
process.env.TARKO_SITE = site;
const programs = join(here, "../bench/programs");
const median = (xs) => xs.slice().sort((a, b) => a - b)[xs.length >> 1];
const Runs = Number(process.env.BENCH_RUNS ?? 3);

function nativeSeconds(file) {
  const runs = [];
  for (let i = 0; i < Runs; i++) {
    const t0 = process.hrtime.bigint();
    execFileSync(tarkoRun, ["--no-pause", file], { stdio: "ignore" });
    runs.push(Number(process.hrtime.bigint() - t0) / 1e9);
  }
  return median(runs);
}

/** Seconds from F9 to the end of the run, measured in the page. */
async function pageSeconds(t, text) {
  await t.page.evaluate((s) => window.tarko.editors.fill(window.tarko.editors.current, s), text);
  const runs = [];
  for (let i = 0; i < Runs; i++) {
    runs.push(await t.page.evaluate(async () => {
      const app = window.tarko;
      const t0 = performance.now();
      await app.compileAndRun(3);
      while (app.sessionBusy()) await new Promise((r) => setTimeout(r, 1));
      return (performance.now() - t0) / 1000;
    }));
  }
  return median(runs);
}

const lines = [];
const report = (s) => { lines.push(s); console.log(s); };
for (const isolation of [true, false]) {
  const t = await open({ isolation });
  const t0 = Date.now();
  await t.load();
  const mode = await t.page.evaluate(() => document.body.dataset.ready);
  report(`Modus ${mode === "worker" ? "Worker (isoliert)" : "Seite (ohne Isolation)"}: bereit ${Date.now() - t0} ms nach dem Aufruf`);
  for (const name of ["count", "mandel"]) {
    const file = join(programs, `${name}.trk`);
    const text = readFileSync(file, "latin1").replace(/\r\n/g, "\n");
    const web = await pageSeconds(t, text);
    const nat = nativeSeconds(file);
    report(`  ${name}: Browser ${web.toFixed(2)} s, tarko-run ${nat.toFixed(2)} s, Verhältnis ${(nat / web).toFixed(2)} der nativen Geschwindigkeit`);
  }
  const stops = [];
  for (let i = 0; i < 5; i++) {
    stops.push(await t.page.evaluate(async () => {
      const app = window.tarko;
      app.editors.fill(app.editors.current, "Wiederhole\nBis 1 = 2");
      await app.compileAndRun(3);
      await new Promise((r) => setTimeout(r, 200));
      const t0 = performance.now();
      app.stop();
      while (app.sessionBusy()) await new Promise((r) => setTimeout(r, 1));
      return performance.now() - t0;
    }));
  }
  report(`  Stopp: Median ${median(stops).toFixed(0)} ms, höchstens ${Math.max(...stops).toFixed(0)} ms (5 Läufe)`);
  if (isolation) {
    const keys = await t.page.evaluate(async () => {
      const app = window.tarko;
      const line = 'Falls x = 1 / Vergleich\n  Ausgabe "Hallo / Welt" x\nFallsende\n';
      app.editors.fill(app.editors.current, line.repeat(700));
      const v = app.editors.view;
      v.focus();
      const work = [], frames = [];
      for (let i = 0; i < 20; i++) {
        await new Promise((r) => requestAnimationFrame(() => r()));
        const t0 = performance.now();
        v.dispatch({ changes: { from: v.state.selection.main.head, insert: "a" }, selection: { anchor: v.state.selection.main.head + 1 }, userEvent: "input.type" });
        work.push(performance.now() - t0);
        // The key is on screen with the next frame unless the work overran it.
        await new Promise((r) => requestAnimationFrame(() => r()));
        frames.push(performance.now() - t0);
      }
      return { work: work.sort((a, b) => a - b), frames: frames.sort((a, b) => a - b) };
    });
    report(`  Taste in 2.100 Zeilen: Arbeit (Färben und Editor) Median ${keys.work[10].toFixed(1)} ms, höchstens ${keys.work[19].toFixed(1)} ms; bis zum nächsten Bild Median ${keys.frames[10].toFixed(1)} ms`);
    // A program near the 4 MB limit: a key's own work (what runs before the
    // browser may draw), the colouring's and the kept tabs' shares of it, and
    // the time up to the next frame, every other key without keeping the
    // tabs in the browser (its writing runs after the key's own work).
    const big = await t.page.evaluate(async () => {
      const app = window.tarko;
      let colourMs = 0, keepMs = 0;
      const hooks = app.editors.hooks, colourer = hooks.colourer;
      hooks.colourer = (owner) => {
        const c = colourer(owner);
        return c && ((...a) => { const t0 = performance.now(); try { return c(...a); } finally { colourMs += performance.now() - t0; } });
      };
      const keep = app.keep.bind(app);
      app.keep = () => { const t0 = performance.now(); keep(); keepMs += performance.now() - t0; };
      const line = 'Falls x = 1 / Vergleich\n  Ausgabe "Hallo / Welt" x\nFallsende\n';
      app.editors.fill(app.editors.current, line.repeat(Math.floor(3.9e6 / (line.length + 3))));
      const v = app.editors.view;
      v.focus();
      v.dispatch({ selection: { anchor: v.state.doc.line(v.state.doc.lines >> 1).from }, scrollIntoView: true });
      const frame = () => new Promise((r) => requestAnimationFrame(() => r()));
      const median = (xs) => xs.sort((a, b) => a - b)[xs.length >> 1];
      const keeper = app.keeper.keep;
      const r = { work: [], colour: [], keep: [], frame: [], frameNoStore: [] };
      for (let i = 0; i < 64; i++) {
        const store = i % 2 === 0;
        app.keeper.keep = store ? keeper : () => {};
        await frame();
        await new Promise((r) => setTimeout(r, 20));
        colourMs = keepMs = 0;
        const t0 = performance.now();
        v.dispatch({ changes: { from: v.state.selection.main.head, insert: "a" }, selection: { anchor: v.state.selection.main.head + 1 }, userEvent: "input.type" });
        const work = performance.now() - t0;
        await frame();
        if (i < 4) continue; // warming up
        if (!store) { r.frameNoStore.push(performance.now() - t0); continue; }
        r.frame.push(performance.now() - t0);
        r.work.push(work);
        r.colour.push(colourMs);
        r.keep.push(keepMs);
      }
      app.keeper.keep = keeper;
      hooks.colourer = colourer;
      delete app.keep;
      const out = { bytes: v.state.doc.length + v.state.doc.lines - 1 };
      for (const k of Object.keys(r)) out[k] = median(r[k]);
      return out;
    });
    const ms = (x) => `${x.toFixed(1)} ms`;
    report(`  Taste in ${(big.bytes / 1e6).toFixed(1).replace(".", ",")} MB: Arbeit Median ${ms(big.work)} (davon Färben ${ms(big.colour)}, Karteireiter merken ${ms(big.keep)}); bis zum nächsten Bild ${ms(big.frame)}, ohne Speichern der Karteireiter ${ms(big.frameNoStore)}`);
  }
  await t.close();
}
let gz = 0, raw = 0;
const walk = (d) => { for (const f of readdirSync(d)) { const p = join(d, f); if (statSync(p).isDirectory()) walk(p); else { const b = readFileSync(p); raw += b.length; gz += gzipSync(b, { level: 9 }).length; } } };
walk(site);
report(`Seite: ${(raw / 1024).toFixed(0)} KB, gzip ${(gz / 1024).toFixed(0)} KB`);
