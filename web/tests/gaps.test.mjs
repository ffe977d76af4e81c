// What a pupil sees that the other web tests leave open: a big program file,
// the console's colour, the tab strip and its captions, and the file type
// both file pickers offer.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { open } from "./harness.mjs";

let t;
before(async () => {
  t = await open({ filePickers: true });
  // Pickers that record what they were asked and hand out a file of the
  // origin's private file system (or cancel, as a user would).
  await t.page.evaluateOnNewDocument(() => {
    window.pickerOptions = [];
    window.nextPick = null;
    const choose = async () => {
      const name = window.nextPick;
      window.nextPick = null;
      if (!name) throw new DOMException("The user aborted a request.", "AbortError");
      return (await navigator.storage.getDirectory()).getFileHandle(name);
    };
    window.showOpenFilePicker = async (o) => { window.pickerOptions.push(["open", o]); return [await choose()]; };
    window.showSaveFilePicker = async (o) => { window.pickerOptions.push(["save", o]); return choose(); };
  });
  await t.load();
});
after(async () => { await t?.close(); });

const captions = () => t.page.$$eval("[role=tab]:not([hidden])", (tabs) => tabs.map((b) => b.textContent));
const stripVisible = async () => (await t.page.$("[role=tablist]")).isVisible();
const pickExample = async (name) => {
  await t.page.select("#Beispiele", name);
  await t.page.waitForFunction((n) => document.title === `Tarko - ${n}`, {}, name);
};

test("the tab strip shows after loading, hides with no tab open and shows again for Neue Datei", async () => {
  assert.deepEqual([await stripVisible(), await captions()], [true, ["Programm"]], "after loading");
  await t.click("Alles Schließen");
  await t.page.waitForFunction(() => window.tarko.editors.lastTab === -1);
  assert.deepEqual([await stripVisible(), await captions()], [false, []], "all closed");
  await t.click("Neue Datei");
  assert.deepEqual([await stripVisible(), await captions()], [true, ["Programm"]], "after Neue Datei");
  assert.ok(await (await t.byName("Programmtext: Programm")).isVisible());
});

test("closing a middle tab moves the later captions, names and texts one to the left", async () => {
  for (const name of ["Idealgewicht", "Memory", "Koordinatensystem"]) await pickExample(name);
  await t.page.$$eval("[role=tab]", (tabs) => tabs.find((b) => b.textContent === "Memory").click());
  await t.click("Schließen");
  await t.page.waitForFunction(() => window.tarko.editors.lastTab === 2);
  assert.deepEqual(await captions(), ["Programm", "Idealgewicht", "Koordinatensystem"]);
  const tabs = await t.page.evaluate(() => {
    const e = window.tarko.editors;
    return e.views.slice(0, e.lastTab + 1).map((v, i) => [e.fileNames[i], v.contentDOM.getAttribute("aria-label"), v.state.doc.toString().length > 0]);
  });
  assert.deepEqual(tabs, [
    ["Programm.trk", "Programmtext: Programm", false],
    ["Idealgewicht.trk", "Programmtext: Idealgewicht", true],
    ["Koordinatensystem.trk", "Programmtext: Koordinatensystem", true],
  ]);
  assert.match(await t.page.evaluate(() => window.tarko.editors.text(2)), /Koordinatensystem|Linie/);
});

test("the console's font takes each colour instruction and is black again at the next run", async () => {
  const rows = [
    ["Rot", "rgb(255, 0, 0)"],
    ["Grün", "rgb(0, 128, 0)"],
    ["Blau", "rgb(0, 0, 255)"],
    ["", "rgb(0, 0, 0)"], // after the blue run
  ];
  for (const [colour, css] of rows) {
    await t.typeProgram(`Ausgabe "vorher"\n${colour}\nAusgabe "nachher"`);
    await t.runOver(() => t.page.keyboard.press("F9"));
    assert.equal(await t.page.$eval("#RunMemo", (e) => getComputedStyle(e).color), css, colour || "no colour");
  }
});

test("both file pickers offer Tarko programs (.trk), Öffnen tasks as well", async () => {
  await t.click("Datei öffnen");
  await t.click("Speichern unter...");
  await t.page.waitForFunction(() => window.pickerOptions.length === 2);
  const types = [{ description: "Tarko-Programme", accept: { "text/plain": [".trk"] } }];
  const asked = await t.page.evaluate(() => window.pickerOptions);
  const tasks = { description: "Tarko-Aufgaben", accept: { "text/plain": [".tarko-aufgabe"] } };
  assert.deepEqual(asked.map(([picker, o]) => [picker, o.types]), [["open", [...types, tasks]], ["save", types]]);
});

test("a program file of about 1 MB opens whole", async () => {
  // Windows-1252 bytes (ü, ß, € = 0x80) with CR LF; the text the editor must show.
  const line = 'Ausgabe "Grüße aus dem Süden: 12,50 €"';
  const count = 26000;
  const expected = Array(count).fill(line).join("\n");
  const bytes = Buffer.from(line, "latin1");
  bytes[bytes.indexOf(0xac)] = 0x80; // latin1 wrote € as 0xAC
  await t.page.evaluate(async (b, n) => {
    const one = new Uint8Array([...b, 13, 10]);
    const all = new Uint8Array(one.length * n - 2);
    for (let i = 0; i < n; i++) all.set(i < n - 1 ? one : one.subarray(0, one.length - 2), i * one.length);
    const w = await (await (await navigator.storage.getDirectory()).getFileHandle("Gross.trk", { create: true })).createWritable();
    await w.write(all);
    await w.close();
  }, [...bytes], count);
  await t.page.evaluate(() => { window.nextPick = "Gross.trk"; });
  await t.click("Datei öffnen");
  await t.page.waitForFunction(() => document.title === "Tarko - Gross", { timeout: 20000 });
  assert.ok(expected.length > 1e6);
  assert.equal(await t.editorText(), expected);
  assert.deepEqual(t.errors, []);
});
