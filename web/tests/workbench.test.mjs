// The workbench in the browser as a pupil uses it, compared where possible
// with the desktop's own tarko-run on the same program.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync, writeFileSync, mkdtempSync, existsSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { open, native, decodePng, root } from "./harness.mjs";

let t;
before(async () => { t = await open(); await t.load(); });
after(async () => { await t?.close(); });

async function run(program, inputs = []) {
  await t.typeProgram(program);
  await t.runOver(async () => {
    await t.page.keyboard.press("F9");
    for (const entry of inputs) {
      await t.waitInput();
      await t.page.keyboard.type(entry);
      await t.page.keyboard.press("Enter");
    }
  });
  return t.consoleText();
}

describe("console", () => {
  // Each row runs in the page (inputs typed on the keyboard) and in
  // tarko-run; the two transcripts must be the same text.
  const rows = [
    ["numbers in the general format", 'Ausgabe "Summe: " 2+3\nAusgabe 1:3 -2,5\nAusgabe 0,00001 10*10 0,0001\nAusgabe 100000000000000000000', []],
    ["loop and variables", "x <= 1\nSolange x < 6\nAusgabe x*x\nx <= x+1\nSolangeende", []],
    ["input typed on the keyboard", 'Eingabe "Zahl" x\nEingabe y\nAusgabe "Summe: " x+y', ["-2,5", "12,"]],
    ["Löschen empties the console", 'Ausgabe "weg"\nLöschen\nAusgabe "da"\nEingabe x\nLöschen\nAusgabe x', ["7"]],
    ["the line limit ends an endless printer", 'Wiederhole\nAusgabe "Zeile"\nBis 1 = 2', []],
  ];
  for (const [name, program, inputs] of rows) {
    test(name, async () => {
      const page = await run(program, inputs);
      // tarko-run's transcript marks each Löschen with a form feed; the
      // console shows what followed the last one.
      const expected = native(program, inputs).out.split("\f").pop();
      assert.equal(page, expected);
    });
  }
});

describe("canvas", () => {
  // The page's image must be pixel for pixel the one tarko-run --png writes.
  const rows = [
    ["house with sun", '/ Ein Haus mit Sonne\nGelb\nRechteck (-4; -6) (4; 2)\nRot\nLinie (-5; 2) (0; 7)\nLinie (0; 7) (5; 2)\nBlau\nRechteck (-1; -6) (1; -2)\nWeiß\nKreis (6; 7; 1,5)\nGrau\nPunkt (-8; 8)'],
    ["Grafiktext", 'Grün\nGrafiktext (-9; -9) "Mein Haus"\nRot\nGrafiktext (0; 0) "ÄÖÜß äöü 0123"'],
    ["edges, far coordinates, reversed corners", "Punkt (0; 0)\nPunkt (-0,15; 0)\nLinie (-10; 0) (10; 0)\nLinie (-1000; -1000) (1000; 1000)\nRechteck (3; 3) (1; 1)\nKreis (0; -5; 1)\nKreis (20; 20; 15)"],
    ["a curve of points after text output", 'Ausgabe "vorher"\nRot\nx <= -3\nWiederhole\nPunkt (x; x * x - 5)\nx <= x + 0,1\nBis x > 3'],
  ];
  for (const [name, program, options = {}] of rows) {
    test(name, options, async () => {
      await run(program);
      const page = await t.page.$eval("#RunImage", (c) => Array.from(c.getContext("2d").getImageData(0, 0, 200, 200).data));
      const dir = mkdtempSync(join(tmpdir(), "tarko-png-"));
      const png = join(dir, "bild.png");
      native(program, [], ["--no-pause", "--png", png]);
      const expected = decodePng(readFileSync(png));
      assert.equal(expected.width, 200);
      const differing = page.reduce((n, v, i) => n + (i % 4 !== 3 && v !== expected.pixels[i] ? 1 : 0), 0);
      assert.equal(differing, 0, `${differing} Farbwerte weichen ab`);
    });
  }
});

describe("keypad", () => {
  test("digits, C, minus and comma build the entry; OK only for a number", async () => {
    await t.typeProgram('Eingabe "Zahl" x\nAusgabe x*2');
    await t.page.keyboard.press("F9");
    await t.waitInput();
    const ok = await t.byName("Taste OK");
    const okDisabled = () => ok.evaluate((b) => b.disabled);
    assert.equal(await okDisabled(), true, "OK at the start");
    for (const k of ["1", "7", "0"]) await t.click(`Taste ${k}`);
    assert.match(await t.consoleText(), /Zahl170$/);
    await t.click("Taste C"); await t.click("Taste C");
    assert.match(await t.consoleText(), /Zahl1$/);
    await t.click("Taste Minus");
    assert.equal(await okDisabled(), true, "1- is no number");
    await t.click("Taste C");
    await t.click("Taste Komma"); await t.click("Taste 5");
    assert.equal(await okDisabled(), false, "1,5 is a number");
    await t.runOver(() => ok.click());
    assert.equal(await t.consoleText(), native('Eingabe "Zahl" x\nAusgabe x*2', ["1,5"]).out);
    assert.equal(await t.byName("Taste 1").then((b) => b.evaluate((e) => e.disabled)), true, "keypad off after the run");
  });
});

describe("stop", () => {
  const rows = [
    ["an endless loop", "x <= 0\nWiederhole\nx <= x + 1\nBis x < 0", false],
    ["a pending Eingabe", 'Eingabe "Zahl" x\nAusgabe x', true],
    ["a long Pause", "Ausgabe 1\nPause 1000\nAusgabe 2", false],
  ];
  for (const [name, program, waitsForInput] of rows) {
    test(`Stop ends ${name}`, async () => {
      await t.typeProgram(program);
      await t.page.keyboard.press("F9");
      if (waitsForInput) await t.waitInput();
      else await t.page.waitForFunction(() => window.tarko.runState === 3);
      await new Promise((r) => setTimeout(r, 300));
      assert.equal(await t.messageLine(), "Programm läuft");
      const t0 = Date.now();
      await t.click("Stop");
      await t.page.waitForFunction(() => !window.tarko.sessionBusy(), { timeout: 3000 });
      const ms = Date.now() - t0;
      assert.equal(await t.runState(), 1);
      assert.equal(await t.messageLine(), "");
      console.log(`# Stop (${name}): ${ms} ms bis zum Ende des Laufs`);
    });
  }
  test("Esc stops, and the next run starts afresh", async () => {
    await t.typeProgram("Wiederhole\nBis 1 = 2");
    await t.page.keyboard.press("F9");
    await t.page.waitForFunction(() => window.tarko.runState === 3);
    await t.page.keyboard.press("Escape");
    await t.page.waitForFunction(() => !window.tarko.sessionBusy(), { timeout: 3000 });
    assert.equal(await run('Ausgabe "wieder"'), "wieder\n");
  });
});

describe("faults", () => {
  test("a compile error: German message in red, caret right behind the fault", async () => {
    const program = 'Ausgabe "a"\nFalls x = 1\nFallsende';
    await t.typeProgram(program);
    await t.page.keyboard.press("F9");
    await t.page.waitForFunction(() => document.getElementById("P_Meldung").className === "k0");
    const n = native(program);
    const [, line, column, message] = /:(\d+):(\d+): (.*)\n/.exec(n.err);
    assert.equal(await t.messageLine(), message);
    assert.equal(await t.statusCaret(), `${line.padStart(3)}: ${String(Number(column) + 1).padStart(3)}`);
    assert.equal(await t.runState(), 1);
    assert.equal(await t.page.evaluate(() => document.activeElement.closest(".cm-editor") !== null), true, "focus in the editor");
  });
  test("a run-time fault: the error box with the desktop's text, the line marked", async () => {
    const program = "Ausgabe 1\nx <= 0\nAusgabe 1 : x";
    await t.typeProgram(program);
    await t.page.keyboard.press("F9");
    await t.page.waitForSelector("#MessageBox[open]");
    const n = native(program);
    assert.equal(n.status, 3);
    assert.equal(await t.page.$eval("#MessageText", (e) => e.textContent), /: (.*)\n/.exec(n.err)[1]);
    assert.equal(await t.page.$eval("#MessageTitle", (e) => e.textContent), "Fehler");
    await t.page.keyboard.press("Enter");
    await t.waitIdle();
    assert.equal(await t.page.$eval(".fault-line", (e) => e.textContent), "Ausgabe 1 : x");
  });
});

describe("single step", () => {
  test("Ctrl+F9 starts, each further Ctrl+F9 runs one instruction, Esc ends", async () => {
    await t.typeProgram("x <= 7\nAusgabe x");
    const ctrlF9 = async () => { await t.page.keyboard.down("Control"); await t.page.keyboard.press("F9"); await t.page.keyboard.up("Control"); };
    await ctrlF9();
    await t.page.waitForFunction(() => window.tarko.runState === 2);
    assert.equal(await t.messageLine(), "Programmschritt mit F9");
    await t.page.waitForSelector("#IdeForm:not([hidden])");
    await t.page.waitForFunction(() => document.getElementById("DebugMemo").value.includes("Einzelschritt mit <Leertaste>..."));
    const executed = () => t.page.$eval("#CodeMemo", (e) => e.value.split("\n").filter((l) => /^\s*\d+: /.test(l)).length);
    await t.page.waitForSelector(".step-line");
    const before = await executed();
    await ctrlF9();
    await t.page.waitForFunction((n) => document.getElementById("CodeMemo").value.split("\n").filter((l) => /^\s*\d+: /.test(l)).length === n + 1, {}, before);
    await t.page.keyboard.press("Escape");
    await t.page.waitForFunction(() => !window.tarko.sessionBusy());
    assert.equal(await t.page.$eval("#IdeForm", (e) => e.hidden), true);
  });
});

describe("files", () => {
  test("every storable byte survives open and save unchanged", async () => {
    const bytes = [];
    for (let b = 1; b <= 255; b++) {
      if (b === 10 || b === 13) continue;
      bytes.push(b);
      if (b % 32 === 0) bytes.push(13, 10);
    }
    const dir = mkdtempSync(join(tmpdir(), "tarko-file-"));
    const file = join(dir, "Alle.trk");
    writeFileSync(file, Buffer.from(bytes));
    const [chooser] = await Promise.all([t.page.waitForFileChooser(), t.click("Datei öffnen")]);
    await chooser.accept([file]);
    await t.page.waitForFunction(() => document.title === "Tarko - Alle");
    await t.click("Datei speichern");
    const saved = join(t.downloads, "Alle.trk");
    for (let i = 0; i < 100 && !existsSync(saved); i++) await new Promise((r) => setTimeout(r, 50));
    assert.deepEqual(readFileSync(saved), Buffer.from(bytes));
  });
  test("a file over 4 MB is refused with the desktop's message, no tab taken", async () => {
    const dir = mkdtempSync(join(tmpdir(), "tarko-file-"));
    const file = join(dir, "Riesig.trk");
    writeFileSync(file, Buffer.alloc(4 * 1024 * 1024 + 1, 0x41));
    const tabs = await t.page.evaluate(() => window.tarko.editors.lastTab);
    const [chooser] = await Promise.all([t.page.waitForFileChooser(), t.click("Datei öffnen")]);
    await chooser.accept([file]);
    await t.page.waitForSelector("#MessageBox[open]");
    assert.equal(await t.page.$eval("#MessageText", (e) => e.textContent),
      "Datei Riesig.trk kann nicht geöffnet werden: Sie ist größer als 4 MB. So große Programme kann Tarko nicht laden.");
    await t.page.keyboard.press("Enter");
    assert.equal(await t.page.evaluate(() => window.tarko.editors.lastTab), tabs);
  });
  test("a character without a Windows-1252 byte refuses the save", async () => {
    await t.typeProgram('Ausgabe "ok"\nAusgabe "→"');
    await t.click("Datei speichern");
    await t.page.waitForSelector("#MessageBox[open]");
    assert.equal(await t.page.$eval("#MessageText", (e) => e.textContent),
      "Das Zeichen „→“ in Zeile 2 kann in einer Tarko-Datei nicht gespeichert werden.");
    await t.page.keyboard.press("Enter");
  });
});

describe("hostile files", () => {
  // Opened from disk, then F9: the verdict (message line, console, the
  // line the caret is put on) must be tarko-run's for the same bytes.
  const deep = (n) => "x <= 0\r\n" + "Solange x < 1\r\n".repeat(n) + "x <= 1\r\nAusgabe \"tief\"\r\n" + "Solangeende\r\n".repeat(n);
  let seed = 7;
  const noise = Buffer.alloc(100000).map(() => (seed = (seed * 1103515245 + 12345) >>> 0) >>> 24);
  const rows = [
    ["random bytes", noise],
    ["a line of 50,000 characters", Buffer.from('Ausgabe "x" / ' + "abc ".repeat(12500) + "\r\nAusgabe 1\r\n", "latin1")],
    ["blocks nested as deep as allowed", Buffer.from(deep(1000), "latin1")],
    ["blocks nested one too deep", Buffer.from(deep(1001), "latin1")],
    ["parentheses nested as deep as allowed", Buffer.from("a <= " + "(".repeat(1000) + "1" + ")".repeat(1000) + "\r\nAusgabe a\r\n", "latin1")],
  ];
  rows.forEach(([name, bytes], i) => {
    test(name, async () => {
      const dir = mkdtempSync(join(tmpdir(), "tarko-file-"));
      const file = join(dir, `Datei${i}.trk`);
      writeFileSync(file, bytes);
      const [chooser] = await Promise.all([t.page.waitForFileChooser(), t.click("Datei öffnen")]);
      await chooser.accept([file]);
      await t.page.waitForFunction((n) => document.title === `Tarko - ${n}`, {}, `Datei${i}`);
      await t.page.evaluate(() => { document.getElementById("RunMemo").textContent = ""; });
      await t.runOver(() => t.page.keyboard.press("F9"), 30000);
      const expected = native(bytes.toString("latin1").replace(/\r\n/g, "\n"), [], ["--check"]);
      const fault = /^.*?:(\d+):\d+: (.*)$/m.exec(expected.err ?? "");
      assert.equal(await t.messageLine(), fault ? fault[2] : "");
      if (fault) assert.equal(Number((await t.statusCaret()).split(":")[0]), Number(fault[1]));
      else assert.equal(await t.consoleText(), native(bytes.toString("latin1").replace(/\r\n/g, "\n")).out);
    });
  });
});

describe("editor commands", () => {
  const caretAt = async (line, column) => t.page.evaluate((l, c) => {
    const e = window.tarko.editors;
    e.placeCaret(e.view.state.doc.line(l).from + c - 1);
  }, line, column);

  test("formatting at the start: the desktop's indentation, one undo step, the caret kept; off leaves the text", async () => {
    const program = "i <= 0\nWiederhole\n  i <= i + 1\nfalls i = 1\nAusgabe i\nansonsten\nFallsende\nBis i = 2";
    await t.typeProgram("x");
    // Set whole: typing would indent each line like the one before it.
    await t.page.evaluate((p) => { const v = window.tarko.editors.view; v.dispatch({ changes: { from: 0, to: v.state.doc.length, insert: p } }); }, program);
    await caretAt(3, 5);
    await t.runOver(() => t.page.keyboard.press("F9"));
    assert.equal(await t.editorText(), "i <= 0\nWiederhole\n\ti <= i + 1\n\tfalls i = 1\n\t\tAusgabe i\n\tansonsten\n\tFallsende\nBis i = 2");
    assert.equal(await t.statusCaret(), "  3:   5");
    await t.page.keyboard.down("Alt"); await t.page.keyboard.press("Backspace"); await t.page.keyboard.up("Alt");
    assert.equal(await t.editorText(), program, "one Rückgängig restores the whole program");

    await t.click("Optionen");
    const box = await t.byName("Text nach dem Start automatisch formatieren");
    assert.equal(await box.evaluate((b) => b.checked), true, "on by default");
    await box.click();
    await t.click("OK");
    await t.runOver(() => t.page.keyboard.press("F9"));
    assert.equal(await t.editorText(), program);
    assert.equal(await t.page.evaluate(() => JSON.parse(localStorage.getItem("tarko.options")).autoFormat), false);
    await t.page.evaluate(() => { window.tarko.options.autoFormat = true; });
  });

  test("Alles Schließen: one close per tab, asking for each changed one; Abbrechen keeps that tab", async () => {
    const e = () => t.page.evaluate(() => ({ last: window.tarko.editors.lastTab, text: window.tarko.editors.text() }));
    await t.page.evaluate(() => { for (let i = 0; i <= window.tarko.editors.lastTab; i++) window.tarko.editors.setModified(i, false); });
    await t.click("Alles Schließen");
    assert.equal((await e()).last, -1, "unchanged tabs close without a question");
    assert.equal(await t.page.$eval("#AllesSchliessen2", (b) => b.disabled), true);
    const questions = [];
    const answer = async (button) => {
      await t.page.waitForSelector("#MessageBox[open]");
      questions.push(await t.page.$eval("#MessageText", (m) => m.textContent));
      await t.click(button);
    };
    for (const text of ["a", "", "c"]) {
      await t.click("Neue Datei");
      if (text) await t.typeProgram(text);
    }
    await t.click("Alles Schließen");
    await answer("Abbrechen");
    await answer("Nein");
    await t.page.waitForFunction(() => window.tarko.editors.lastTab === 0);
    assert.deepEqual(questions, ["Änderungen speichern in Programm.trk?", "Änderungen speichern in Programm.trk?"]);
    assert.deepEqual(await e(), { last: 0, text: "a" }, "the cancelled close and the two after it took tabs 3 and 2");
    await t.click("Alles Schließen");
    await answer("Nein");
    await t.page.waitForFunction(() => window.tarko.editors.lastTab === -1);
    await t.click("Neue Datei");
  });

  test("Befehl einfügen: the desktop's entries by right-click and by keyboard", async () => {
    // The desktop's table of entries, read from its menu source.
    const keyNames = { Odiaeresis: "Ö" };
    const source = readFileSync(join(root, "src/workbench/MainMenus.cpp"), "utf8");
    const table = source.slice(source.indexOf("const Entry entries[] = {"));
    const desktop = [...table.slice(0, table.indexOf("};"))
      .matchAll(/\{"\w+4?", "([^"]*)", (?:Qt::ALT \| Qt::Key_(\w+)|\{\})\}/g)]
      .map(([, caption, key]) => (key ? [caption, `Alt+${keyNames[key] ?? key}`] : ["-", ""]));
    assert.equal(desktop.filter(([c]) => c !== "-").length, 24);
    await t.typeProgram("x\n");
    const editor = await t.byName(`Programmtext: ${await t.currentCaption()}`);
    await editor.click({ button: "right" });
    const menu = await t.byName("Befehl einfügen");
    const entries = await menu.evaluate((m) => [...m.children].map((c) => (c.getAttribute("role") === "separator" ? ["-", ""]
      : [c.firstChild.data, c.getAttribute("aria-keyshortcuts")])));
    assert.deepEqual(entries, desktop);
    await t.page.keyboard.press("Escape");
    assert.equal(await menu.evaluate((m) => m.hidden), true);

    await t.page.keyboard.down("Shift"); await t.page.keyboard.press("F10"); await t.page.keyboard.up("Shift");
    assert.equal(await t.page.evaluate(() => document.activeElement.textContent), "Eingabe Alt+E");
    await t.page.keyboard.press("ArrowUp");
    await t.page.keyboard.press("ArrowUp");
    await t.page.keyboard.press("Enter");
    await t.page.keyboard.press("ContextMenu");
    await (await t.byName("Falls ..Ansonsten..Fallsende")).click();
    assert.equal(await t.editorText(), "x\nUndFalls \n\nAnsonsten\n\nFallsende");
    assert.equal(await t.page.evaluate(() => document.activeElement.classList.contains("cm-content")), true);
  });
});

describe("browser", () => {
  test("every control a screen reader needs has the desktop's German name", async () => {
    // The image is in the tree while it is shown, after a drawing.
    await run("Punkt (0; 0)");
    assert.equal((await t.page.$$("aria/Grafikbildschirm")).length, 1);
    await run('Ausgabe "Text"');
    const names = ["Programm starten", "Stop", "Neue Datei", "Datei öffnen", "Datei speichern", "Datei drucken",
      "Hilfe zum Programm", "Ausgabe des Programms", "Meldungszeile", `Programmtext: ${await t.currentCaption()}`,
      ...["0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "Minus", "Komma", "C", "OK"].map((k) => `Taste ${k}`)];
    const missing = [];
    for (const name of names) if ((await t.page.$$(`aria/${name}`)).length === 0) missing.push(name);
    assert.deepEqual(missing, []);
  });
  test("keyboard alone: Tab reaches the run button, Enter runs, the console shows the result", async () => {
    await t.typeProgram('Ausgabe "Tastatur"');
    await t.page.focus("#Run2");
    await t.runOver(() => t.page.keyboard.press("Enter"));
    assert.equal(await t.consoleText(), "Tastatur\n");
    // Ctrl+M lets Tab leave the editor instead of inserting a tab.
    await (await t.byName(`Programmtext: ${await t.currentCaption()}`)).click();
    await t.page.keyboard.down("Control"); await t.page.keyboard.press("m"); await t.page.keyboard.up("Control");
    await t.page.keyboard.press("Tab");
    assert.equal(await t.page.evaluate(() => document.activeElement.closest(".cm-editor") === null), true);
  });

  test("a reload keeps every tab's text as typed", async () => {
    await t.typeProgram('Ausgabe "erster"');
    await t.click("Neue Datei");
    await t.typeProgram('Ausgabe "zweiter"');
    await t.page.evaluate(() => window.tarko.keeper.settled());
    await t.load();
    const texts = await t.page.evaluate(() => window.tarko.editors.views.slice(0, window.tarko.editors.lastTab + 1).map((v) => v.state.doc.toString()));
    assert.deepEqual(texts.slice(-2), ['Ausgabe "erster"', 'Ausgabe "zweiter"']);
    assert.ok(t.dialogs.includes("beforeunload"), "leaving with unsaved changes asks first");
  });
  test("the page asks no other host for anything", async () => {
    assert.ok(t.requests.length > 5);
    const foreign = t.requests.filter((u) => !u.startsWith(t.origin + "/") && !u.startsWith("blob:") && !u.startsWith("data:"));
    assert.deepEqual(foreign, []);
    assert.deepEqual(t.errors, []);
  });
});
