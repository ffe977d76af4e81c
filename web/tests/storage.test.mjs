// What the browser keeps of the pupil's programs: nothing typed may be lost
// silently, whatever reloads, other tabs or a failing store do.
import { test } from "node:test";
import assert from "node:assert/strict";
import { open } from "./harness.mjs";

const tabTexts = (page) => page.evaluate(() => window.tarko.editors.views.slice(0, window.tarko.editors.lastTab + 1).map((v) => v.state.doc.toString()));

/** A further page of the same browser on the site, loaded. */
async function secondPage(t) {
  const page = await t.browser.newPage();
  const dialogs = [];
  page.on("dialog", (d) => { dialogs.push(d.type()); void d.accept(); });
  await page.setViewport({ width: 1000, height: 640 });
  await page.goto(t.url, { waitUntil: "load" });
  await page.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
  return { page, dialogs };
}

/** What a page said about its programs not being kept: the message line's
 *  texts and the dialogs' texts, in order. */
function recordTelling(page) {
  return page.evaluateOnNewDocument(() => {
    window.told = [];
    addEventListener("DOMContentLoaded", () => {
      const line = document.getElementById("L_Meldung"), box = document.getElementById("MessageText");
      new MutationObserver(() => { if (line.textContent) window.told.push(line.textContent); }).observe(line, { childList: true, characterData: true, subtree: true });
      new MutationObserver(() => { if (box.textContent) window.told.push(box.textContent); }).observe(box, { childList: true, characterData: true, subtree: true });
    });
  });
}

const told = (page) => page.evaluate(() => window.told);

async function typeAtEnd(page, text) {
  await page.bringToFront();
  const caption = await page.$eval("[role=tab][aria-selected=true]", (e) => e.textContent);
  await (await page.waitForSelector(`aria/Programmtext: ${caption}`)).click();
  await page.keyboard.down("Control"); await page.keyboard.press("End"); await page.keyboard.up("Control");
  await page.keyboard.type(text.replace(/\n/g, "\r"));
  await page.evaluate(() => window.tarko.keeper.settled());
}

test("typing then an immediate reload keeps every key", async () => {
  const t = await open();
  try {
    await recordTelling(t.page);
    await t.page.evaluateOnNewDocument(() => {
      const persist = StorageManager.prototype.persist;
      StorageManager.prototype.persist = function () { window.askedToPersist = true; return persist.call(this); };
    });
    await t.load();
    // A long program makes each write take a while, as on a slow disk.
    let expected = "/ Kommentar, der nur Platz braucht: 0123456789 äöüß\n".repeat(6000);
    await t.page.evaluate((text) => window.tarko.editors.view.dispatch({ changes: { from: 0, insert: text } }), expected);
    await (await t.byName(`Programmtext: ${await t.currentCaption()}`)).click();
    await t.page.keyboard.down("Control"); await t.page.keyboard.press("End"); await t.page.keyboard.up("Control");
    for (let round = 0; round < 6; round++) {
      const line = `Ausgabe "Runde ${round} abcdefghijklmnopqrstuvwxyz"`;
      await t.page.keyboard.type(`${round ? "\r" : ""}${line}`);
      expected += (round ? "\n" : "") + line;
      // The last keys come at machine speed, the reload right behind them.
      const burst = `/${round}${round}`;
      expected += burst;
      await Promise.all([t.page.waitForNavigation({ waitUntil: "load" }), t.page.evaluate((keys) => {
        const v = window.tarko.editors.view;
        for (const k of keys) v.dispatch(v.state.replaceSelection(k), { userEvent: "input.type" });
        location.reload();
      }, burst)]);
      await t.page.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
      assert.deepEqual(await told(t.page), [], `after reload ${round}`);
      assert.equal(await t.editorText(), expected, `after reload ${round}`);
      await (await t.byName(`Programmtext: ${await t.currentCaption()}`)).click();
      await t.page.keyboard.down("Control"); await t.page.keyboard.press("End"); await t.page.keyboard.up("Control");
    }
    assert.deepEqual(t.errors, []);
    assert.equal(await t.page.evaluate(() => window.askedToPersist), true, "asks the browser to keep the site's storage");
  } finally {
    await t.close();
  }
});

test("a page restored from the back/forward cache never writes its old texts over newer ones", async () => {
  const t = await open();
  try {
    await t.page.evaluateOnNewDocument(() => addEventListener("pageshow", (e) => { if (e.persisted) sessionStorage.setItem("restored", "1"); }));
    await t.load();
    await t.typeProgram('Ausgabe "alt"');
    await t.page.evaluate(() => window.tarko.keeper.settled());
    await t.page.goto(`${t.origin}/hilfe.html`, { waitUntil: "load" });
    // Meanwhile another page of the site changes the program and is closed.
    const b = await secondPage(t);
    await (await b.page.waitForSelector("aria/Programmtext: Programm")).click();
    await b.page.keyboard.down("Control"); await b.page.keyboard.press("End"); await b.page.keyboard.up("Control");
    await b.page.keyboard.type("\rAusgabe \"neu\"");
    await b.page.evaluate(() => window.tarko.keeper.settled());
    await b.page.close();
    // Back to the first page: the browser shows it from its cache.
    await t.page.goBack({ waitUntil: "load" });
    await t.page.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
    assert.equal(await t.page.evaluate(() => sessionStorage.getItem("restored")), "1", "the browser restored the page from its cache");
    await (await t.byName("Programmtext: Programm")).click();
    await t.page.keyboard.type("x");
    await t.page.evaluate(() => window.tarko.keeper.settled());
    const c = await secondPage(t);
    assert.match((await tabTexts(c.page)).join("\n"), /Ausgabe "neu"/);
  } finally {
    await t.close();
  }
});

for (const locks of [true, false]) {
  test(`two pages of one browser lose nothing to each other (${locks ? "with" : "without"} Web Locks)`, async () => {
    const t = await open();
    try {
      const noLocks = () => { delete Navigator.prototype.locks; };
      if (!locks) await t.page.evaluateOnNewDocument(noLocks);
      await recordTelling(t.page);
      await t.load();
      await t.typeProgram('Ausgabe "A1"');
      await t.page.evaluate(() => window.tarko.keeper.settled());
      const b = await t.browser.newPage();
      const bDialogs = [];
      b.on("dialog", (d) => { bDialogs.push(d.type()); void d.accept(); });
      await recordTelling(b);
      if (!locks) await b.evaluateOnNewDocument(noLocks);
      await b.goto(t.url, { waitUntil: "load" });
      await b.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
      assert.deepEqual(await tabTexts(b), ['Ausgabe "A1"'], "the second page shows the kept programs");
      // Both pages go on typing, the first one first.
      await typeAtEnd(t.page, '\nAusgabe "A2"');
      await b.bringToFront();
      if (await b.$eval("#MessageBox", (d) => d.open)) await b.keyboard.press("Enter");
      await typeAtEnd(b, '\nAusgabe "B"');
      await typeAtEnd(t.page, '\nAusgabe "A3"');
      const texts = { first: (await tabTexts(t.page))[0], second: (await tabTexts(b))[0] };
      const said = { first: await told(t.page), second: await told(b) };
      await b.close({ runBeforeUnload: true });
      await t.page.close({ runBeforeUnload: true });
      await new Promise((r) => setTimeout(r, 300));
      const asked = { first: t.dialogs, second: bDialogs };
      // What is kept is one page's text, whole; the other page said (once, in
      // German) that its typing is not kept, and asked before it was left.
      const c = await secondPage(t);
      const [kept] = await tabTexts(c.page);
      const keeper = Object.keys(texts).find((k) => texts[k] === kept);
      assert.ok(keeper, `kept: ${JSON.stringify(kept)}, typed: ${JSON.stringify(texts)}`);
      if (locks) assert.equal(keeper, "first", "the page that was open first keeps the programs");
      const other = keeper === "first" ? "second" : "first";
      assert.equal(said[other].filter((m) => /anderen Tab/.test(m) && /Speichern/.test(m)).length, 1, `told: ${JSON.stringify(said)}`);
      assert.deepEqual(asked[other], ["beforeunload"]);
      assert.deepEqual(said[keeper], []);
    } finally {
      await t.close();
    }
  });
}

test("a store that fails is said once, in German, pointing to Speichern; the page works on", async () => {
  // Each row breaks the browser's store in the page before anything runs.
  const rows = [
    ["no IndexedDB at all", () => { delete window.indexedDB; }, /nicht auf/],
    ["opening fails", () => {
      IDBFactory.prototype.open = function () {
        const r = { result: undefined, error: new DOMException("gesperrt", "InvalidStateError") };
        setTimeout(() => r.onerror?.({ target: r }), 0);
        return r;
      };
    }, /nicht auf/],
    ["every write is aborted", () => {
      const put = IDBObjectStore.prototype.put;
      IDBObjectStore.prototype.put = function (...a) { const r = put.apply(this, a); this.transaction.abort(); return r; };
    }, /nicht auf/],
    ["the store is full", () => {
      IDBObjectStore.prototype.put = function () { throw new DOMException("voll", "QuotaExceededError"); };
    }, /voll/],
  ];
  const t = await open();
  try {
    for (const [name, breakStore, text] of rows) {
      const page = await t.browser.newPage();
      try {
        await recordTelling(page);
        await page.evaluateOnNewDocument(breakStore);
        await page.goto(t.url, { waitUntil: "load" });
        await page.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
        for (const line of ['Ausgabe "eins"', '\nAusgabe "zwei"', '\nAusgabe "drei"']) await typeAtEnd(page, line);
        const said = await told(page);
        assert.equal(said.length, 1, `${name}: ${JSON.stringify(said)}`);
        assert.match(said[0], text, name);
        assert.match(said[0], /Speichern/, name);
        assert.equal(await page.evaluate(() => window.tarko.editors.text()), 'Ausgabe "eins"\nAusgabe "zwei"\nAusgabe "drei"', name);
      } finally {
        await page.close();
      }
    }
  } finally {
    await t.close();
  }
});

test("the first visit's isolating reload comes before the editor takes input", async () => {
  const t = await open({ isolation: false, serviceWorker: true });
  try {
    await t.page.evaluateOnNewDocument(() => addEventListener("pagehide", () => {
      const left = JSON.parse(sessionStorage.getItem("left") ?? "[]");
      left.push({ inert: document.getElementById("window").inert, ready: document.body.dataset.ready ?? null });
      sessionStorage.setItem("left", JSON.stringify(left));
    }));
    await t.page.goto(t.url, { waitUntil: "load" });
    await t.page.waitForFunction(() => document.body.dataset.ready === "worker", { timeout: 20000 });
    assert.deepEqual(await t.page.evaluate(() => JSON.parse(sessionStorage.getItem("left"))), [{ inert: true, ready: null }]);
    await t.typeProgram('Ausgabe "isoliert"');
    await t.runOver(() => t.page.keyboard.press("F9"));
    assert.equal(await t.consoleText(), "isoliert\n");
    // Later reloads bring the isolated page with its text, never the one
    // from before the isolating reload.
    await t.click("Neue Datei");
    await t.typeProgram('Ausgabe "zwei"');
    for (let i = 0; i < 3; i++) {
      await t.page.reload({ waitUntil: "load" });
      await t.page.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
      assert.deepEqual(await t.page.evaluate(() => document.body.dataset.ready), "worker", `reload ${i}`);
      assert.deepEqual(await tabTexts(t.page), ['Ausgabe "isoliert"', 'Ausgabe "zwei"'], `reload ${i}`);
    }
  } finally {
    await t.close();
  }
});
