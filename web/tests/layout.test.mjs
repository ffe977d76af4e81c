// The page on small and touch screens: one column without sideways
// scrolling at 320 px, every tool bar control in sight, keys a finger can
// hit; on a desktop-sized window with a mouse the desktop's layout stays.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { open } from "./harness.mjs";

let t;
before(async () => { t = await open(); });
after(async () => { await t?.close(); });

async function show(width, height, touch = false) {
  await t.page.setViewport({ width, height, hasTouch: touch });
  await t.load();
}

/** Controls whose middle is covered by something else or lies outside the
 *  window (clipped by a scrolling parent, pushed off the page); `scroll`:
 *  after scrolling the page (not the tool bar) up or down to each. */
function hiddenControls(selector, scroll = true) {
  return t.page.$$eval(selector, (els, scroll) => els.filter((e) => !e.hidden).flatMap((e) => {
    if (scroll) scrollTo(0, e.getBoundingClientRect().top + scrollY - innerHeight / 2);
    const r = e.getBoundingClientRect();
    const x = r.left + r.width / 2, y = r.top + r.height / 2;
    const hit = document.elementFromPoint(x, y);
    const inside = r.left >= 0 && r.right <= innerWidth + 0.5;
    return inside && hit && (hit === e || e.contains(hit)) ? [] : [e.id || e.getAttribute("aria-label")];
  }), scroll);
}

test("320 px wide (a phone, or 400 % zoom): no sideways scrolling, the editor, the device and the single-step panel usable", async () => {
  await show(320, 480);
  const page = await t.page.evaluate(() => ({ width: document.documentElement.scrollWidth, editor: document.getElementById("P_Edit").getBoundingClientRect().width }));
  assert.ok(page.width <= 320, `page ${page.width} px wide`);
  assert.ok(page.editor >= 280, `editor ${page.editor} px wide`);
  assert.deepEqual(await hiddenControls("#toolbar > button, #toolbar > select, #keypad button, #RunMemo"), []);
  await t.typeProgram("x <= 7\nAusgabe x");
  await t.click("Einzelschritt");
  await t.page.waitForSelector("#IdeForm:not([hidden])");
  const ide = await t.page.evaluate(() => {
    const box = (id) => { const r = document.getElementById(id).getBoundingClientRect(); return { left: r.left, right: r.right, width: r.width, height: r.height }; };
    return { panel: box("IdeForm"), texts: ["DebugMemo", "StackMemo", "DataMemo", "CodeMemo"].map((id) => [box(id).width, box(id).height]), width: document.documentElement.scrollWidth };
  });
  assert.ok(ide.width <= 320, `page ${ide.width} px wide in single step`);
  assert.ok(ide.panel.left >= 0 && ide.panel.right <= 320 && ide.panel.width >= 280, `panel ${JSON.stringify(ide.panel)}`);
  for (const [w, h] of ide.texts) assert.ok(w >= 120 && h >= 60, `a debug text only ${w} x ${h} px`);
  assert.deepEqual(await hiddenControls("#IdeForm textarea"), []);
  await t.page.keyboard.press("Escape");
  await t.page.waitForFunction(() => !window.tarko.sessionBusy());
});

test("every tool bar control in sight, from a desktop window down to a tablet upright", async () => {
  for (const [width, height, touch] of [[1000, 640, false], [768, 1024, false], [768, 1024, true], [600, 800, false]]) {
    await show(width, height, touch);
    // The list of recently saved files takes room too once there is one.
    await t.page.evaluate(() => { const z = document.getElementById("Zuletzt"); z.hidden = false; z.add(new Option("Zinsen.trk")); });
    assert.deepEqual(await hiddenControls("#toolbar > button, #toolbar > select", false), [], `${width} x ${height}${touch ? " (Touch)" : ""}`);
  }
});

test("keypad: the desktop's keys with a mouse, keys of at least 44 x 44 px for fingers, the image in whole pixels", async () => {
  const keys = () => t.page.$$eval("#keypad button", (bs) => bs.map((b) => { const r = b.getBoundingClientRect(); return { id: b.id, x: r.left, y: r.top, w: r.width, h: r.height }; }));
  await show(1000, 640);
  const desktop = await keys();
  assert.deepEqual(desktop.find((k) => k.id === "B1"), { id: "B1", x: 1000 - 315 + 52, y: 38 + 295, w: 16, h: 19 });
  assert.deepEqual(desktop.find((k) => k.id === "BOK"), { id: "BOK", x: 1000 - 315 + 142, y: 38 + 340, w: 33, h: 18 });
  for (const [width, height] of [[768, 1024], [1024, 768], [390, 844]]) {
    await show(width, height, true);
    const at = `${width} x ${height}`;
    const ks = await keys();
    for (const k of ks) assert.ok(k.w >= 44 && k.h >= 44, `${at}: ${k.id} ${k.w} x ${k.h}`);
    for (const a of ks) for (const b of ks) {
      if (a !== b) assert.ok(a.x + a.w <= b.x + 0.5 || b.x + b.w <= a.x + 0.5 || a.y + a.h <= b.y + 0.5 || b.y + b.h <= a.y + 0.5, `${at}: ${a.id} overlaps ${b.id}`);
    }
    assert.equal(await t.page.evaluate(() => document.documentElement.scrollWidth), width, `${at}: sideways scrolling`);
    assert.deepEqual(await hiddenControls("#keypad button"), [], at);
    const image = await t.page.evaluate(() => { const r = document.getElementById("RunMemo").getBoundingClientRect(); return [r.width, r.height]; });
    assert.ok(image[0] === image[1] && image[0] % 200 === 0, `${at}: screen ${image}`);
  }
});

// The colours of a long program as it is edited above, inside and below the
// lines in view, in one or several places at once, undone, and in another
// tab in between: the editor shows exactly the colours of the whole text
// coloured afresh by a second core.
test("colours while editing a long program match the whole text coloured afresh", async () => {
  await show(1000, 640);
  const mismatches = await t.page.evaluate(async () => {
    const app = window.tarko;
    const wasm = await (await fetch("tarko.wasm")).arrayBuffer();
    const fresh = await window.createTarko({ wasmBinary: wasm });
    const pieces = ['Ausgabe "Hallo / Welt" x', "Falls x = 1 / Vergleich", '  x <= "offen', "Fallsende", "Wiederhole", "Bis rot oder GRÜN", "Löschen", '"', "Solange weiß", "  // zwei Striche", "Ausgabe1 und Ausgabewert", ""];
    let seed = 12345;
    const rnd = (n) => { seed = (seed * 1103515245 + 12345) & 0x7fffffff; return seed % n; };
    const lines = Array.from({ length: 12000 }, () => pieces[rnd(pieces.length)]);
    app.editors.fill(app.editors.current, lines.join("\n"));
    const v = app.editors.view;
    v.dispatch({ selection: { anchor: v.state.doc.line(6000).from }, scrollIntoView: true });
    const frames = () => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(() => r())));
    // What the editor shows: the colour class of every character of the lines in the DOM.
    const shown = () => {
      const out = new Map();
      for (const line of v.contentDOM.querySelectorAll(".cm-line")) {
        let pos = v.posAtDOM(line, 0);
        const walk = document.createTreeWalker(line, NodeFilter.SHOW_TEXT);
        for (let n = walk.nextNode(); n; n = walk.nextNode()) {
          const cls = [...(n.parentElement.closest("[class*=tk-]")?.classList ?? [])].find((c) => c.startsWith("tk-")) ?? "";
          for (let i = 0; i < n.data.length; i++) out.set(pos++, cls);
        }
      }
      return out;
    };
    // The same from a core that has seen nothing before.
    const expected = () => {
      const doc = v.state.doc, text = doc.toString();
      const bytes = new Uint8Array(text.length + doc.lines - 1);
      let o = 0;
      for (let i = 0; i < text.length; i++) {
        const c = text.charCodeAt(i);
        if (c === 10) { bytes[o++] = 13; bytes[o++] = 10; } else bytes[o++] = c;
      }
      const byteAt = (p) => p + doc.lineAt(p).number - 1;
      const windows = v.visibleRanges.flatMap((r) => [byteAt(doc.lineAt(r.from).from), byteAt(doc.lineAt(r.to).to)]);
      const p = fresh._malloc(bytes.length), w = fresh._malloc(windows.length * 4);
      fresh.HEAPU8.set(bytes, p);
      fresh.HEAP32.set(windows, w >> 2);
      const count = fresh._tarko_colour(p, bytes.length, w, windows.length / 2, 0);
      const runs = fresh._tarko_runs() >> 2;
      const colour = new Map();
      for (let k = 0; k < count; k++) {
        const [from, to, rgb] = fresh.HEAP32.subarray(runs + 3 * k, runs + 3 * k + 3);
        for (let b = from; b <= to; b++) colour.set(b, `tk-${rgb.toString(16).padStart(6, "0")}`);
      }
      fresh._free(p); fresh._free(w);
      return (pos) => colour.get(byteAt(pos)) ?? "";
    };
    const bad = [];
    const check = async (what) => {
      await frames();
      const want = expected();
      const got = shown();
      let coloured = 0;
      for (const [pos, cls] of got) {
        if (cls) coloured++;
        if (cls !== want(pos)) { bad.push(`${what}: Position ${pos} ${cls || "schwarz"} statt ${want(pos) || "schwarz"}`); return; }
      }
      if (coloured === 0) bad.push(`${what}: nichts gefärbt`);
    };
    const inView = () => v.visibleRanges[0].from + rnd(v.visibleRanges[0].to - v.visibleRanges[0].from);
    const anywhere = () => rnd(v.state.doc.length);
    const inserts = ['"', "/", "\n", "Ausgabe", "a", '"x"\nrot "\n', "\n\n", "ß"];
    await check("geladen");
    for (let step = 0; step < 60; step++) {
      const kind = rnd(6);
      const at = kind < 2 ? inView() : anywhere();
      if (kind === 5) {
        // Two places at once: far above and in view.
        const a = rnd(1000), b = Math.max(inView(), 1001);
        v.dispatch({ changes: [{ from: a, insert: '"' }, { from: b, to: Math.min(b + rnd(40), v.state.doc.length), insert: "/ " }] });
      } else if (kind === 4) {
        v.dispatch({ changes: { from: at, to: Math.min(at + rnd(300), v.state.doc.length) } });
      } else {
        v.dispatch({ changes: { from: at, insert: inserts[rnd(inserts.length)] } });
      }
      await check(`Schritt ${step}`);
      if (step % 20 === 19) {
        // Another tab coloured in between, then back.
        const other = app.editors.openTab("Zweites.trk", 'Ausgabe "zwei"\n');
        await frames();
        app.editors.activate(0);
        await check(`zurück aus Karteireiter ${other + 1}`);
      }
    }
    for (let k = 0; k < 10; k++) { v.dispatch(v.state.update({ changes: { from: 0, insert: '"' }, userEvent: "input" })); }
    await check("zehn Anführungszeichen am Anfang");
    return bad;
  });
  assert.deepEqual(mismatches, []);
});
