// Tasks in the browser: a task made by tarko-run --task-create, opened in the
// page and checked by "Prüfen" and "Klasse prüfen"; every verdict line must
// equal what tarko-run --task prints for the same files.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { open, tarkoRun } from "./harness.mjs";

const dir = mkdtempSync(join(tmpdir(), "tarko-tasks-"));
const file = (name, text) => { const p = join(dir, name); writeFileSync(p, Buffer.from(text.replace(/\n/g, "\r\n"), "latin1")); return p; };

const programs = {
  "richtig.trk": 'Eingabe "Zahl" x\nAusgabe "Doppelt:"\nAusgabe x * 2',
  "falsch.trk": 'Eingabe "Zahl" x\nAusgabe "Doppelt:"\nAusgabe x * 3',
  // Knows the visible test's answer only.
  "fest.trk": 'Eingabe "Zahl" x\nAusgabe "Doppelt:"\nAusgabe 8',
  "ewig.trk": "x <= 1\nSolange x > 0\n  x <= x + 1\nSolangeende",
};
const starter = "/ Dein Programm\nEingabe \"Zahl\" x";

function makeTask(name, cases) {
  const out = join(dir, name);
  execFileSync(tarkoRun, ["--task-create", file("muster.trk", programs["richtig.trk"]), "--title", "Verdoppeln",
    "--text", file("text.txt", "Frage nach einer Zahl\nund gib das Doppelte aus."), "--starter", file("start.trk", starter),
    ...cases.flatMap(([kind, input]) => [kind, file(`ein${input}.txt`, `${input}\n`)]), "-o", out]);
  return out;
}

/** tarko-run --task's lines per file, without the file name. */
function nativeVerdicts(task, names) {
  let out;
  try {
    out = execFileSync(tarkoRun, ["--task", task, ...names.map((n) => file(n, programs[n]))], { cwd: dir }).toString("utf8");
  } catch (e) {
    out = e.stdout.toString("utf8");
  }
  const byFile = {};
  for (const line of out.trimEnd().split("\n")) {
    const [, path, verdict] = /^(.*?\.trk): (.*)$/.exec(line);
    (byFile[path.split("/").pop()] ??= []).push(verdict);
  }
  return byFile;
}

async function openTask(t, path) {
  const [chooser] = await Promise.all([t.page.waitForFileChooser(), t.click("Datei öffnen")]);
  await chooser.accept([path]);
  await t.page.waitForSelector("#TaskPanel:not([hidden])");
}

/** Clicks "Prüfen" and waits for the last verdict; the lines shown. */
async function check(t) {
  await t.page.$eval("#TaskPanel .summary", (e) => { e.textContent = ""; });
  await t.click("Prüfen");
  await t.page.waitForFunction(() => /bestanden/.test(document.querySelector("#TaskPanel .summary").textContent), { timeout: 30000 });
  return t.page.$$eval("[aria-label='Ergebnis der Prüfung'] li", (l) => l.map((e) => e.textContent));
}

after(() => rmSync(dir, { recursive: true, force: true }));

describe("Aufgaben prüfen", () => {
  let t;
  before(async () => { t = await open(); await t.load(); });
  after(() => t?.close());

  test("Prüfen und Klasse prüfen sagen, was tarko-run --task sagt", async () => {
    const task = makeTask("Verdoppeln.tarko-aufgabe", [["--case", 4], ["--hidden", 21], ["--hidden", -3]]);
    const names = ["richtig.trk", "falsch.trk", "fest.trk"];
    const expected = nativeVerdicts(task, names);
    assert.deepEqual(expected["fest.trk"].map((l) => l[0]), ["✓", "✗", "✗"], "the hard-coded program passes the visible test only");

    await openTask(t, task);
    assert.equal(await t.page.$eval("#TaskPanel h2", (e) => e.textContent), "Verdoppeln");
    assert.equal(await t.page.$eval("#TaskPanel .text", (e) => e.textContent), "Frage nach einer Zahl\nund gib das Doppelte aus.");
    assert.equal(await t.currentCaption(), "Verdoppeln");
    assert.equal(await t.editorText(), starter);
    for (const name of names) {
      await t.typeProgram(programs[name]);
      assert.deepEqual(await check(t), expected[name], name);
    }
    assert.match(await t.page.$eval("#TaskPanel .summary", (e) => e.textContent), /^1 von 3 Tests bestanden$/);

    // The teacher's table and its CSV, from the same files.
    await t.click("Optionen");
    await t.click("Klasse prüfen …");
    const [taskInput, filesInput] = await t.page.$$("#ClassCheck input[type=file]");
    await taskInput.uploadFile(task);
    await filesInput.uploadFile(...names.map((n) => join(dir, n)));
    await t.click("Programme prüfen");
    await t.page.waitForFunction(() => /geprüft/.test(document.querySelector("#ClassCheck .summary").textContent), { timeout: 30000 });
    const table = await t.page.$$eval("#ClassCheck tbody tr", (rows) => rows.map((r) => [r.cells[0].textContent, [...r.cells].slice(1, -1).map((c) => c.title)]));
    assert.deepEqual(Object.fromEntries(table), expected);
    await t.click("Als CSV speichern");
    const csvPath = join(t.downloads, "Verdoppeln - Ergebnisse.csv");
    for (let i = 0; i < 50 && !existsSync(csvPath); i++) await new Promise((r) => setTimeout(r, 100));
    const csv = readFileSync(csvPath);
    assert.deepEqual([...csv.subarray(0, 3)], [0xef, 0xbb, 0xbf]);
    const rows = csv.toString("utf8").slice(1).trimEnd().split("\r\n");
    assert.equal(rows[0], "Datei;Test 1;Test 2 (versteckt);Test 3 (versteckt);Bestanden");
    const quote = (s) => (/[;"]/.test(s) ? `"${s.replace(/"/g, '""')}"` : s);
    assert.equal(rows[2], ["falsch.trk", ...expected["falsch.trk"].map(quote), "0 von 3"].join(";"));
    assert.equal(rows[3], ["fest.trk", ...expected["fest.trk"].map(quote), "1 von 3"].join(";"));
    await t.click("Schließen");
    assert.deepEqual(t.errors, []);
  });
});

describe("Aufgabe erstellen", () => {
  let t;
  before(async () => { t = await open(); await t.load(); });
  after(() => t?.close());

  test("macht aus dem aktiven Programm dieselbe Datei wie tarko-run --task-create", async () => {
    const expected = readFileSync(makeTask("Erwartet.tarko-aufgabe", [["--case", 4], ["--hidden", 21]]));
    await t.typeProgram(programs["richtig.trk"]);
    await t.click("Optionen");
    await t.click("Aufgabe erstellen …");
    const type = async (name, text) => { const h = await t.byName(name); await h.click(); await h.type(text); };
    await type("Titel:", "Verdoppeln");
    await type("Aufgabentext:", "Frage nach einer Zahl\nund gib das Doppelte aus.");
    await type("Startprogramm:", starter);
    await t.click("Test hinzufügen");
    await type("Eingabe für Test 2", "21");
    await t.click("Test 2 versteckt");
    // No input for the first test: the model wants a number and fails.
    await t.click("Aufgabe speichern");
    const status = () => t.page.$eval("#TaskCreate .summary", (e) => e.textContent);
    await t.page.waitForFunction(() => /besteht|gespeichert/.test(document.querySelector("#TaskCreate .summary").textContent));
    assert.match(await status(), /^Die Musterlösung besteht Test 1 nicht: Eingabe zu Ende in Zeile 1: /);
    await type("Eingabe für Test 1", "4");
    await t.click("Aufgabe speichern");
    await t.page.waitForFunction(() => /gespeichert/.test(document.querySelector("#TaskCreate .summary").textContent));
    const made = join(t.downloads, "Verdoppeln.tarko-aufgabe");
    for (let i = 0; i < 50 && !existsSync(made); i++) await new Promise((r) => setTimeout(r, 100));
    assert.equal(readFileSync(made, "utf8"), expected.toString("utf8"));
  });
});

describe("Ein Programm, das nie endet", () => {
  let t;
  // Without cross-origin isolation: the checks need no shared memory.
  before(async () => { t = await open({ isolation: false }); await t.load(); });
  after(() => t?.close());

  test("besteht seinen Test nach dem Zeitlimit nicht, und die Seite antwortet derweil", async () => {
    const task = makeTask("Einmal.tarko-aufgabe", [["--case", 4]]);
    const [expected] = nativeVerdicts(task, ["ewig.trk"])["ewig.trk"];
    await openTask(t, task);
    const button = await t.byName("Prüfen");

    // While a program runs there is nothing to check.
    await t.typeProgram("Eingabe x\nAusgabe x");
    await t.click("Programm starten");
    await t.waitInput();
    assert.equal(await button.evaluate((b) => b.disabled), true);
    await t.click("Stop");
    await t.waitIdle();
    assert.equal(await button.evaluate((b) => b.disabled), false);

    await t.typeProgram(programs["ewig.trk"]);
    const started = Date.now();
    const lines = check(t);
    await t.page.waitForFunction(() => document.querySelector("#TaskPanel .summary").textContent === "Prüfe …");
    assert.equal(await button.evaluate((b) => b.disabled), true);
    // A 10 ms timer keeps firing while the worker checks.
    const ticks = await t.page.evaluate(() => new Promise((resolve) => {
      let n = 0;
      const id = setInterval(() => n++, 10);
      setTimeout(() => { clearInterval(id); resolve(n); }, 2000);
    }));
    assert.ok(ticks >= 100, `${ticks} timer ticks in 2 s`);
    const [line] = await lines;
    const seconds = (Date.now() - started) / 1000;
    assert.ok(seconds >= 9.5 && seconds < 16, `${seconds} s`);
    const anyLine = (s) => s.replace(/Zeile \d+/, "Zeile N");
    assert.match(line, /^✗ Test 1: Zeitlimit überschritten in Zeile \d+: /);
    assert.equal(anyLine(line), anyLine(expected));
    assert.equal(await button.evaluate((b) => b.disabled), false);
  });
});
