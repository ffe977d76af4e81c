// Programs passed on by link (the program lives in the fragment only), and
// forgetting everything the site keeps in a browser.
import { test } from "node:test";
import assert from "node:assert/strict";
import { open } from "./harness.mjs";
import jsQR from "jsqr";

const state = (page) => page.evaluate(() => {
  const e = window.tarko.editors;
  return {
    texts: e.views.slice(0, e.lastTab + 1).map((v) => v.state.doc.toString()),
    names: e.fileNames.slice(0, e.lastTab + 1),
    modified: e.views.slice(0, e.lastTab + 1).map((_, i) => e.isModified(i)),
    current: e.current,
    hash: location.hash,
    runs: window.tarko.finishedRuns,
    status: document.getElementById("StatusPanel1").textContent,
  };
});

/** The text of the open message box, after it appeared. */
async function messageBox(page) {
  await page.waitForFunction(() => document.getElementById("MessageBox").open, { timeout: 5000 });
  return page.$eval("#MessageText", (e) => e.textContent);
}

async function closeMessageBox(page) {
  await (await page.waitForSelector("#MessageButtons button")).click();
}

/** What "Link kopieren" put on the clipboard (as plain text). */
async function copyLink(t) {
  await t.page.evaluate(() => {
    window.copied = [];
    navigator.clipboard.write = async (items) => {
      for (const item of items) window.copied.push(await (await item.getType("text/plain")).text());
    };
    navigator.clipboard.writeText = async (s) => { window.copied.push(s); };
  });
  await t.click("Optionen");
  await t.click("Link kopieren");
  await t.page.waitForFunction(() => window.copied.length > 0, { timeout: 5000 });
  return t.page.evaluate(() => window.copied[0]);
}

async function loadAt(t, url) {
  await t.page.goto(url, { waitUntil: "load" });
  await t.page.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
}

// Characters of every kind a program file holds: umlauts, the bytes 0x80–0x9F
// (€, „“), tabs, a line break at the end, and 300 lines in all.
const Program = `/ Zinsen für „Sparer“ – 100 € ÄÖÜäöüß\n`
  + Array.from({ length: 298 }, (_, i) => `\tAusgabe "Zeile ${i}: ${"x".repeat(i % 37)}"`).join("\n") + "\nEnde\n";

test("a link carries a program byte for byte into a fresh browser, as an unsaved copy that does not run", async () => {
  const a = await open();
  const b = await open();
  try {
    await a.load();
    await a.page.evaluate((text) => {
      const e = window.tarko.editors;
      e.view.dispatch({ changes: { from: 0, insert: text } });
      e.rename(e.current, "Zinsen.trk");
    }, Program);
    const link = await copyLink(a);
    assert.ok(link.startsWith(`${a.url}#`), link);
    // The program is not readable in the link, and nothing of it before the '#'.
    assert.ok(!link.includes("Ausgabe") && link.length < 4000, `${link.length}`);

    await loadAt(b, link);
    await b.page.waitForFunction(() => window.tarko.editors.lastTab === 1, { timeout: 5000 });
    const s = await state(b.page);
    assert.equal(s.texts[1], Program);
    assert.deepEqual(await b.page.evaluate(() => Array.from(window.tarko.editors.views[1].state.doc.toString(), (c) => c.charCodeAt(0)).filter((c) => c > 127)),
      Array.from(Program, (c) => c.charCodeAt(0)).filter((c) => c > 127));
    assert.deepEqual(s.names, ["Programm.trk", "Zinsen.trk"]);
    assert.deepEqual(s.modified, [false, true]);
    assert.equal(s.current, 1);
    assert.equal(s.status, "Geändert");
    assert.equal(await b.currentCaption(), "Zinsen");
    assert.equal(s.runs, 0);
    assert.equal(await b.runState(), 1);
    assert.equal(s.hash, "");
    // A reload keeps the copy but does not open it a second time.
    await b.page.evaluate(() => window.tarko.keeper.settled());
    await b.page.reload({ waitUntil: "load" });
    await b.page.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
    assert.deepEqual((await state(b.page)).names, ["Programm.trk", "Zinsen.trk"]);
    assert.deepEqual(b.errors, []);
  } finally {
    await b.close();
    await a.close();
  }
});

test("a damaged or too long link says so and opens nothing; with five tabs full the link waits", async () => {
  const t = await open();
  try {
    await t.load();
    const cases = [
      [`${t.url}#trk=AAAA&name=Kaputt.trk`, /^Der Link ist beschädigt/],
      [`${t.url}#trk=%%%&name=Kaputt.trk`, /^Der Link ist beschädigt/],
      [`${t.url}#trk=${"A".repeat(70000)}`, /^Der Link ist zu lang/],
    ];
    for (const [url, said] of cases) {
      await loadAt(t, url);
      assert.match(await messageBox(t.page), said);
      await closeMessageBox(t.page);
      const s = await state(t.page);
      assert.deepEqual(s.names, ["Programm.trk"], url.slice(0, 80));
      assert.equal(s.hash, "");
    }
    assert.deepEqual(t.errors, []);

    // A real link, with all five tabs in use: nothing is replaced.
    await t.page.evaluate(() => window.tarko.editors.view.dispatch({ changes: { from: 0, insert: "Ausgabe 1" } }));
    const link = await copyLink(t);
    await t.page.evaluate(() => {
      for (let i = 2; i <= 5; i++) window.tarko.editors.openTab(`P${i}.trk`, `Ausgabe ${i}`);
      window.tarko.keep();
    });
    const before = await state(t.page);
    await t.page.goto(link);
    assert.match(await messageBox(t.page), /^Alle fünf Karteireiter sind belegt/);
    await closeMessageBox(t.page);
    const after = await state(t.page);
    assert.deepEqual(after.texts, before.texts);
    assert.deepEqual(after.names, before.names);
  } finally {
    await t.close();
  }
});

test("Alles in diesem Browser löschen forgets tabs and options, also against a second open page", async () => {
  const t = await open();
  try {
    await t.load();
    await t.page.evaluate(() => {
      window.tarko.editors.view.dispatch({ changes: { from: 0, insert: "Ausgabe \"Geheim\"" } });
      window.tarko.editors.openTab("Zwei.trk", "Ausgabe 2");
      window.tarko.keep();
      localStorage.setItem("tarko.options", JSON.stringify({ tabs: 7, autoTab: false, autoFormat: false }));
    });
    await t.page.evaluate(() => window.tarko.keeper.settled());
    // A second page of the site (it does not keep; the first one does).
    const other = await t.browser.newPage();
    other.on("dialog", (d) => void d.accept());
    await other.goto(t.url, { waitUntil: "load" });
    await other.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
    assert.match(await messageBox(other), /anderen Tab/);
    await closeMessageBox(other);

    // Deleting from the second page; the first must not write its tabs back.
    await (await other.waitForSelector("aria/Optionen")).click();
    await (await other.waitForSelector("aria/Alles in diesem Browser löschen")).click();
    assert.match(await messageBox(other), /ungespeicherte Programme und Änderungen sind dann verloren/);
    const reloaded = other.waitForNavigation({ waitUntil: "load" });
    await (await other.waitForSelector("#MessageButtons button")).click();
    await reloaded;
    await other.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
    await t.page.bringToFront();
    await t.page.evaluate(() => { window.tarko.editors.view.dispatch({ changes: { from: 0, insert: "/ noch mehr\n" } }); });
    await t.page.evaluate(() => window.tarko.keeper.settled());
    await t.page.close();

    await other.reload({ waitUntil: "load" });
    await other.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
    const s = await state(other);
    assert.deepEqual(s.texts, [""]);
    assert.deepEqual(s.names, ["Programm.trk"]);
    assert.deepEqual(await other.evaluate(() => [localStorage.getItem("tarko.options"), localStorage.getItem("tarko.journal"), window.tarko.options.tabs]),
      [null, null, 2]);
    assert.equal(await other.evaluate(() => document.getElementById("MessageBox").open), false);
  } finally {
    await t.close();
  }
});

test("Link als QR-Code draws the same link, module for module, and refuses a link too long for a code", async () => {
  const t = await open();
  try {
    await t.load();
    await t.page.evaluate((text) => window.tarko.editors.view.dispatch({ changes: { from: 0, insert: text } }), Program.slice(0, 1500));
    const link = await copyLink(t);
    await t.click("Optionen");
    await t.click("Link als QR-Code");
    await t.page.waitForFunction(() => document.getElementById("QrForm").open, { timeout: 5000 });
    assert.equal((await t.byName("QR-Code des Links zum Programm Programm")) !== null, true);
    const { width, data, cell } = await t.page.evaluate(() => {
      const c = document.getElementById("QrCode");
      const d = c.getContext("2d").getImageData(0, 0, c.width, c.height).data;
      // Every pixel pure black or white: whole pixels per module.
      const grey = Array.from(d).some((v, i) => i % 4 !== 3 && v !== 0 && v !== 255);
      return { width: c.width, data: Array.from(d), cell: grey ? 0 : c.width };
    });
    assert.ok(cell > 0, "Graustufen im QR-Code");
    assert.ok(width >= 400, `${width}`);
    const read = jsQR(Uint8ClampedArray.from(data), width, width);
    assert.equal(read?.data, link);
    await t.click("Schließen");

    // Incompressible text makes a link longer than any QR code holds.
    let x = 12345;
    const noise = Array.from({ length: 4000 }, () => { x = (x * 1103515245 + 12345) % 2147483648; return String.fromCharCode(65 + (x >> 16) % 58); }).join("");
    await t.page.evaluate((text) => window.tarko.editors.view.dispatch({ changes: { from: 0, insert: text } }), noise);
    await t.click("Optionen");
    await t.click("Link als QR-Code");
    assert.match(await messageBox(t.page), /^Das Programm ist für einen QR-Code zu lang: .* höchstens 2953 Zeichen/);
    assert.equal(await t.page.evaluate(() => document.getElementById("QrForm").open), false);
  } finally {
    await t.close();
  }
});
