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
