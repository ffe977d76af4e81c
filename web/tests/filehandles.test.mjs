// Opening and saving through file handles, as in browsers with the File
// System Access API. Headless Chromium cannot answer a real file picker, so
// the two pickers are replaced by ones that hand out real handles from the
// origin's private file system, chosen by name, or cancel as a user would.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { open } from "./harness.mjs";

/** A browser whose pickers answer with `pick(name)` or `pick("cancel")`. */
async function openWithPickers() {
  const t = await open({ filePickers: true });
  await t.page.evaluateOnNewDocument(() => {
    const calls = { open: 0, save: 0, saveOptions: [], permissions: [] };
    window.pickerCalls = calls;
    window.nextPick = null;
    const choose = async () => {
      const name = window.nextPick;
      window.nextPick = null;
      if (name === null || name === "cancel") throw new DOMException("The user aborted a request.", "AbortError");
      return (await navigator.storage.getDirectory()).getFileHandle(name, { create: true });
    };
    window.showOpenFilePicker = async () => { calls.open++; return [await choose()]; };
    window.showSaveFilePicker = async (options) => { calls.save++; calls.saveOptions.push(options); return choose(); };
    // Counted, not replaced: the browser's own answer is the one used.
    const request = FileSystemHandle.prototype.requestPermission;
    if (request) {
      FileSystemHandle.prototype.requestPermission = async function (options) {
        const answer = await request.call(this, options);
        calls.permissions.push(answer);
        return answer;
      };
    }
  });
  await t.load();
  const page = t.page;
  Object.assign(t, {
    pick: (name) => page.evaluate((n) => { window.nextPick = n; }, name),
    calls: () => page.evaluate(() => ({ ...window.pickerCalls })),
    /** The file's bytes, read through the private file system. */
    bytes: (name) => page.evaluate(async (n) => {
      const h = await (await navigator.storage.getDirectory()).getFileHandle(n);
      return Array.from(new Uint8Array(await (await h.getFile()).arrayBuffer()));
    }, name),
    write: (name, bytes) => page.evaluate(async (n, b) => {
      const w = await (await (await navigator.storage.getDirectory()).getFileHandle(n, { create: true })).createWritable();
      await w.write(new Uint8Array(b));
      await w.close();
    }, name, bytes),
    remove: (name) => page.evaluate(async (n) => (await navigator.storage.getDirectory()).removeEntry(n), name),
    /** Does the active tab keep the handle of this file? */
    tabHoldsFile: (name) => page.evaluate(async (n) => {
      const e = window.tarko.editors;
      const h = e.handles[e.current];
      return h !== null && h.isSameEntry(await (await navigator.storage.getDirectory()).getFileHandle(n));
    }, name),
    state: () => page.evaluate(() => {
      const e = window.tarko.editors;
      return { tabs: e.lastTab + 1, title: document.title, modified: document.getElementById("StatusPanel1").textContent,
        status: document.getElementById("StatusPanel2").textContent, message: document.getElementById("MessageBox").open };
    }),
    recentList: () => page.$eval("#Zuletzt", (s) => (s.hidden ? null : [...s.options].slice(1).map((o) => o.text))),
    /** Lets a command's promises run out after the picker answered. */
    settle: () => page.evaluate(() => new Promise((r) => setTimeout(r, 100))),
    append: (text) => page.evaluate((s) => { const v = window.tarko.editors.view; v.dispatch({ changes: { from: v.state.doc.length, insert: s } }); }, text),
  });
  return t;
}

const crlf = (s) => [...Buffer.from(s.replace(/\n/g, "\r\n"), "latin1")];

// Every byte a program file can hold, lines ended by CR LF.
const everyByte = [];
for (let b = 1; b <= 255; b++) {
  if (b === 10 || b === 13) continue;
  everyByte.push(b);
  if (b % 32 === 0) everyByte.push(13, 10);
}

describe("a file chosen through the picker", () => {
  let t;
  before(async () => { t = await openWithPickers(); });
  after(async () => { await t?.close(); });

  test("opens in its own tab; Speichern writes into that file without asking, Speichern unter moves the tab to the new file", async () => {
    await t.write("Alle.trk", everyByte);
    const tabs = (await t.state()).tabs;
    await t.pick("Alle.trk");
    await t.click("Datei öffnen");
    await t.page.waitForFunction(() => document.title === "Tarko - Alle");
    assert.equal(await t.currentCaption(), "Alle");
    assert.deepEqual(await t.state(), { tabs: tabs + 1, title: "Tarko - Alle", modified: "", status: "", message: false });
    assert.equal(await t.tabHoldsFile("Alle.trk"), true);

    // Spoil the file behind the tab's back: Speichern must put every byte back.
    await t.write("Alle.trk", [0x78]);
    await t.click("Datei speichern");
    await t.page.waitForFunction(() => document.getElementById("StatusPanel2").textContent === "Fertig");
    assert.deepEqual(await t.bytes("Alle.trk"), everyByte);
    assert.deepEqual(await t.calls(), { open: 1, save: 0, saveOptions: [], permissions: [] }, "saved into the opened file");

    await t.pick("Kopie.trk");
    await t.click("Speichern unter...");
    await t.page.waitForFunction(() => document.title === "Tarko - Kopie");
    assert.equal(await t.currentCaption(), "Kopie");
    assert.equal((await t.calls()).saveOptions[0].suggestedName, "Alle.trk", "the dialog suggests the tab's name");
    assert.deepEqual(await t.bytes("Kopie.trk"), everyByte);
    assert.equal(await t.tabHoldsFile("Kopie.trk"), true);

    // From now on Speichern goes to the copy; the original stays as it was.
    await t.append("\nAusgabe 1");
    assert.equal((await t.state()).modified, "Geändert");
    await t.page.keyboard.down("Control"); await t.page.keyboard.press("s"); await t.page.keyboard.up("Control");
    await t.page.waitForFunction(() => document.getElementById("StatusPanel1").textContent === "");
    assert.deepEqual(await t.bytes("Kopie.trk"), [...everyByte, ...crlf("\nAusgabe 1")]);
    assert.deepEqual(await t.bytes("Alle.trk"), everyByte);
    assert.equal((await t.calls()).save, 1, "Speichern asked no second time");
  });

  test("cancelling either picker changes nothing", async () => {
    // A never-saved program with changes, after a successful save elsewhere.
    await t.click("Neue Datei");
    await t.typeProgram('Ausgabe "neu"');
    const before = await t.state();
    assert.equal(before.modified, "Geändert");
    const rows = [
      ["Öffnen", "Datei öffnen", "open"],
      ["Speichern of a new program", "Datei speichern", "save"],
      ["Speichern unter", "Speichern unter...", "save"],
    ];
    for (const [name, button, picker] of rows) {
      const calls = (await t.calls())[picker];
      await t.pick("cancel");
      await t.click(button);
      await t.page.waitForFunction((p, n) => window.pickerCalls[p] > n, {}, picker, calls);
      await t.settle();
      assert.deepEqual(await t.state(), before, name);
      assert.equal(await t.currentCaption(), "Programm", name);
      assert.equal(await t.editorText(), 'Ausgabe "neu"', name);
      assert.equal(await t.page.evaluate(() => window.tarko.editors.handles[window.tarko.editors.current]), null, name);
    }
  });

  test("a character without a Windows-1252 byte refuses the save before any picker, the file untouched", async () => {
    await t.pick("Zeichen.trk");
    await t.click("Datei speichern");
    await t.page.waitForFunction(() => document.title === "Tarko - Zeichen");
    const saved = await t.bytes("Zeichen.trk");
    assert.deepEqual(saved, crlf('Ausgabe "neu"'));
    await t.append('\nAusgabe "→"');
    const calls = await t.calls();
    for (const button of ["Datei speichern", "Speichern unter..."]) {
      await t.click(button);
      await t.page.waitForSelector("#MessageBox[open]");
      assert.equal(await t.page.$eval("#MessageText", (e) => e.textContent),
        "Das Zeichen „→“ in Zeile 2 kann in einer Tarko-Datei nicht gespeichert werden.", button);
      await t.page.keyboard.press("Enter");
      await t.page.waitForSelector("#MessageBox:not([open])");
      assert.deepEqual(await t.bytes("Zeichen.trk"), saved, button);
      const { modified, status } = await t.state();
      assert.deepEqual([modified, status], ["Geändert", "Speichern"], button);
    }
    assert.deepEqual(await t.calls(), calls, "no picker asked");
    assert.equal(await t.tabHoldsFile("Zeichen.trk"), true);
  });
});

describe("recently saved files", () => {
  let t;
  before(async () => { t = await openWithPickers(); });
  after(async () => { await t?.close(); });

  const saveAs = async (name, text) => {
    await t.click("Neue Datei");
    await t.typeProgram(text);
    await t.pick(name);
    await t.click("Datei speichern");
    await t.page.waitForFunction((n) => [...document.getElementById("Zuletzt").options].some((o) => o.text === n), {}, name);
  };

  test("the newest five, newest first; kept over a reload, with each tab's file", async () => {
    assert.equal(await t.recentList(), null, "hidden while empty");
    await saveAs("Eins.trk", "Ausgabe 1");
    await saveAs("Zwei.trk", "Ausgabe 2");
    assert.deepEqual(await t.recentList(), ["Zwei.trk", "Eins.trk"]);
    for (const name of ["Drei", "Vier", "Fünf", "Sechs"]) await saveAs(`${name}.trk`, `Ausgabe "${name}"`);
    const five = ["Sechs.trk", "Fünf.trk", "Vier.trk", "Drei.trk", "Zwei.trk"];
    assert.deepEqual(await t.recentList(), five, "the sixth file drops the oldest");

    await t.page.evaluate(() => window.tarko.keeper.settled());
    await t.load();
    await t.page.waitForFunction(() => !document.getElementById("Zuletzt").hidden);
    assert.deepEqual(await t.recentList(), five);
    // The tab restored from the browser still writes into its file.
    assert.equal(await t.currentCaption(), "Sechs");
    await t.append("\nAusgabe 6");
    const saves = (await t.calls()).save;
    await t.click("Datei speichern");
    await t.page.waitForFunction(() => document.getElementById("StatusPanel1").textContent === "");
    assert.deepEqual(await t.bytes("Sechs.trk"), crlf('Ausgabe "Sechs"\nAusgabe 6'));
    assert.equal((await t.calls()).save, saves, "no picker after the reload");
  });

  test("choosing an entry opens the file as it is now, asking the browser for permission first", async () => {
    await t.write("Zwei.trk", crlf("Ausgabe 22\nAusgabe \"\xe4\""));
    const tabs = (await t.state()).tabs;
    await t.page.select("#Zuletzt", "Zwei.trk");
    await t.page.waitForFunction(() => document.title === "Tarko - Zwei");
    assert.equal(await t.editorText(), 'Ausgabe 22\nAusgabe "ä"');
    const state = await t.state();
    delete state.status; // "Fertig" from the last save: opening leaves it
    assert.deepEqual(state, { tabs: Math.min(tabs + 1, 5), title: "Tarko - Zwei", modified: "", message: false });
    assert.deepEqual((await t.calls()).permissions, ["granted"]);
    assert.equal(await t.page.$eval("#Zuletzt", (s) => s.selectedIndex), 0, "the list shows its heading again");
    assert.equal(await t.tabHoldsFile("Zwei.trk"), true);
    assert.deepEqual(await t.recentList(), ["Sechs.trk", "Fünf.trk", "Vier.trk", "Drei.trk", "Zwei.trk"], "opening leaves the list as it is");
    await t.append("\nAusgabe 3");
    await t.click("Datei speichern");
    await t.page.waitForFunction(() => document.getElementById("StatusPanel1").textContent === "");
    await t.page.evaluate(() => window.tarko.keeper.settled());
    assert.deepEqual(await t.recentList(), ["Sechs.trk", "Fünf.trk", "Vier.trk", "Drei.trk", "Zwei.trk"], "a listed file saved again keeps its place");
  });

  test("an entry whose file is gone: the desktop's message, no tab, the entry kept", async () => {
    await t.remove("Drei.trk");
    const before = await t.state();
    await t.page.select("#Zuletzt", "Drei.trk");
    await t.page.waitForSelector("#MessageBox[open]");
    assert.equal(await t.page.$eval("#MessageText", (e) => e.textContent), "Datei konnte nicht geöffnet werden");
    await t.page.keyboard.press("Enter");
    await t.page.waitForSelector("#MessageBox:not([open])");
    assert.deepEqual(await t.state(), before);
    assert.ok((await t.recentList()).includes("Drei.trk"));
    assert.deepEqual(t.errors, []);
  });

  test("Alles Schließen with Ja writes each changed tab into its own file without asking", async () => {
    await t.click("Alles Schließen");
    await t.page.waitForFunction(() => window.tarko.editors.lastTab === -1);
    for (const name of ["A", "B", "C"]) await saveAs(`${name}.trk`, `Ausgabe "${name}"`);
    for (let i = 0; i < 3; i++) await t.page.evaluate((k) => { const v = window.tarko.editors.views[k]; v.dispatch({ changes: { from: 0, insert: "x <= 1\n" } }); }, i);
    const saves = (await t.calls()).save;
    await t.click("Alles Schließen");
    for (let i = 0; i < 3; i++) {
      await t.page.waitForSelector("#MessageBox[open]");
      await t.page.keyboard.press("Enter");
    }
    await t.page.waitForFunction(() => window.tarko.editors.lastTab === -1);
    for (const name of ["A", "B", "C"]) assert.deepEqual(await t.bytes(`${name}.trk`), crlf(`x <= 1\nAusgabe "${name}"`), name);
    assert.equal((await t.calls()).save, saves);
  });

  test("saves finishing together all reach the list", async () => {
    const list = await t.page.evaluate(async () => {
      const dir = await navigator.storage.getDirectory();
      const handles = await Promise.all(["P.trk", "Q.trk", "R.trk"].map((n) => dir.getFileHandle(n, { create: true })));
      await Promise.all(handles.map((h) => window.tarko.keeper.addRecent({ name: h.name, handle: h })));
      return (await window.tarko.keeper.recent()).map((r) => r.name);
    });
    assert.deepEqual(list.slice(0, 3), ["R.trk", "Q.trk", "P.trk"]);
    assert.equal(list.length, 5);
  });
});
