// Suchen and Ersetzen in the browser with the desktop's texts and rules:
// forward, case counts, no options.
// And the help page, which must give browser users the browser's ways.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { open, root, site } from "./harness.mjs";

// The desktop's texts (its access letters left out) and messages.
const desktop = {
  findTitle: "Suchen", replaceTitle: "Ersetzen", labels: ["Suchen nach:", "Ersetzen durch:"],
  buttons: { FindNext: "Weitersuchen", Replace: "Ersetzen", ReplaceAll: "Alle ersetzen", Cancel: "Abbrechen" },
  notFound: (what) => `Der Suchtext "${what}" konnte nicht gefunden werden.`,
  unstorable: (c) => `Das Zeichen „${c}“ kann in einer Tarko-Datei nicht gespeichert werden.`,
};

let t;
before(async () => { t = await open(); await t.load(); });
after(async () => { await t?.close(); });

const ctrl = async (key) => {
  await t.page.keyboard.down("Control"); await t.page.keyboard.press(key); await t.page.keyboard.up("Control");
};

/** The program (unchanged since saved) and its selection, set directly;
 *  the editor has the keyboard. */
async function program(text, anchor = 0, head = anchor) {
  await t.page.evaluate((text, anchor, head) => {
    const app = window.tarko, e = app.editors, v = e.view;
    v.dispatch({ changes: { from: 0, to: v.state.doc.length, insert: text }, selection: { anchor, head } });
    e.setModified(e.current, false);
    app.commands.updateCaptionAndCommands();
    v.focus();
  }, text, anchor, head);
}

/** Types into a dialog's field, replacing what it held. */
async function fill(dialog, name, text) {
  const field = await t.page.$(`#${dialog} input[name=${name}]`);
  await field.click({ clickCount: 3 });
  await ctrl("a");
  await t.page.keyboard.press("Delete");
  if (text) await t.page.keyboard.type(text);
}

const press = async (dialog, name) => (await t.page.$(`#${dialog} button[name=${name}]`)).click();

/** Text, selection, and the message box if one came up (answered with OK). */
async function outcome() {
  await new Promise((r) => setTimeout(r, 100));
  const state = await t.page.evaluate(() => {
    const v = window.tarko.editors.view;
    const box = document.getElementById("MessageBox");
    const message = box.open ? `${document.getElementById("MessageTitle").textContent}: ${document.getElementById("MessageText").textContent}` : null;
    return { text: v.state.doc.toString(), sel: [v.state.selection.main.from, v.state.selection.main.to], message };
  });
  if (state.message) await (await t.page.$("#MessageButtons button")).click();
  return state;
}

/** A dialog's visible texts and the kinds of control it holds. */
const dialogShown = (id) => t.page.$eval(`#${id}`, (d) => ({
  open: d.open && d.getBoundingClientRect().width > 0,
  modal: d.matches(":modal"),
  name: document.getElementById(d.getAttribute("aria-labelledby")).textContent,
  labels: [...d.querySelectorAll("label")].map((l) => l.textContent),
  buttons: [...d.querySelectorAll("button")].map((b) => b.textContent),
  controls: [...d.querySelectorAll("input, select, textarea")].map((c) => c.type),
}));

describe("Suchen and Ersetzen", () => {
  test("the desktop's dialogs: its titles, fields and buttons, no options, not modal", async () => {
    await program("Ausgabe 1");
    await ctrl("f");
    assert.deepEqual(await dialogShown("FindDialog"), {
      open: true, modal: false, name: desktop.findTitle, labels: [desktop.labels[0]],
      buttons: [desktop.buttons.FindNext, desktop.buttons.Cancel], controls: ["text"],
    });
    // The search text has the keyboard.
    assert.equal(await t.page.evaluate(() => document.activeElement.name), "FindText");
    await t.click("Ersetzen");
    assert.deepEqual(await dialogShown("ReplaceDialog"), {
      open: true, modal: false, name: desktop.replaceTitle, labels: desktop.labels,
      buttons: [desktop.buttons.FindNext, desktop.buttons.Replace, desktop.buttons.ReplaceAll, desktop.buttons.Cancel],
      controls: ["text", "text"],
    });
    // Nothing of the editor's own English search panel is left.
    assert.equal(await t.page.$(".cm-panels, .cm-search"), null);
    await press("ReplaceDialog", "Cancel");
    await ctrl("f");
    await t.page.keyboard.press("Escape");
    assert.deepEqual(await t.page.$$eval("dialog.search", (ds) => ds.map((d) => d.open)), [false, false]);
  });

  // Positions count a line break as one (the browser editor's own count).
  const text = "Ausgabe 1\nAusgabe 2\nausgabe 3";
  const finds = [
    ["caret in the middle, nothing selected: the first in the text", [12, 12], "Ausgabe", [0, 7]],
    ["an occurrence selected: the next one", [0, 7], "Ausgabe", [10, 17]],
    ["the last occurrence selected: nothing more, and no word", [10, 17], "Ausgabe", [10, 17]],
    ["case counts", [0, 0], "ausgabe", [20, 27]],
    ["the wrong case finds nothing", [3, 3], "AUSGABE", [3, 3]],
  ];
  for (const [name, [anchor, head], what, sel] of finds) {
    test(`find: ${name}`, async () => {
      await program(text, anchor, head);
      await ctrl("f");
      await fill("FindDialog", "FindText", what);
      await t.page.keyboard.press("Enter");
      assert.deepEqual(await outcome(), { text, sel, message: null });
    });
  }

  test("find gives the editor the keyboard; F3 goes on with the same text", async () => {
    await program("ab ab ab", 5);
    await t.click("Suchen");
    await fill("FindDialog", "FindText", "ab");
    await press("FindDialog", "FindNext");
    assert.deepEqual((await outcome()).sel, [0, 2]);
    assert.equal(await t.page.evaluate(() => window.tarko.editors.view.hasFocus), true);
    await t.page.keyboard.press("F3");
    assert.deepEqual((await outcome()).sel, [3, 5]);
    await t.page.keyboard.press("F3");
    await t.page.keyboard.press("F3");
    assert.deepEqual(await outcome(), { text: "ab ab ab", sel: [6, 8], message: null });
  });

  const replaces = [
    ["once: the first even with the caret behind it", "x1 x2", 5, "x", "y", false, "y1 x2", [1, 1]],
    ["all: x1 x2 gives y1 y2, the caret behind the last", "x1 x2", 0, "x", "y", true, "y1 y2", [4, 4]],
    ["all ends when the replacement holds the search text", "a-a", 0, "a", "aa", true, "aa-aa", [5, 5]],
    ["all: occurrences do not overlap", "aaaaa", 0, "aa", "b", true, "bba", [2, 2]],
    ["all: over several lines, longer", "x1\nx2\nxx", 0, "x", "yz", true, "yz1\nyz2\nyzyz", [12, 12]],
    ["the wrong case: the desktop's error, nothing changed", "Ausgabe 1", 3, "ausgabe", "x", false, "Ausgabe 1", [3, 3],
      `Fehler: ${desktop.notFound("ausgabe")}`],
    ["an empty search text: the same error", "Ausgabe 1", 0, "", "x", true, "Ausgabe 1", [0, 0], `Fehler: ${desktop.notFound("")}`],
    ["a replacement a program file cannot hold is refused", "x1", 0, "x", "→ 😀", true, "x1", [0, 0],
      `Fehler: ${desktop.unstorable("→")}`],
  ];
  for (const [name, before, caret, what, by, all, text, sel, message = null] of replaces) {
    test(`replace: ${name}`, async () => {
      await program(before, caret);
      await ctrl("r");
      await fill("ReplaceDialog", "FindText", what);
      await fill("ReplaceDialog", "ReplaceText", by);
      await press("ReplaceDialog", all ? "ReplaceAll" : "Replace");
      assert.deepEqual(await outcome(), { text, sel, message });
      // A replacement is a change of the program.
      assert.equal(await t.page.$eval("#StatusPanel1", (s) => s.textContent), message ? "" : "Geändert");
    });
  }
});

test("the help page gives the browser's ways, not the desktop's menu", () => {
  const help = readFileSync(join(site, "hilfe.html"), "utf8");
  const readme = readFileSync(join(root, "README.md"), "utf8");
  // The desktop's README keeps its menu; the browser's help names none.
  assert.match(readme, /\*\*Datei → Neu\*\* \(Strg\+N\)/);
  assert.doesNotMatch(help, /Datei →/);
  assert.match(help, /<li value="1"><strong>Neue Datei<\/strong> \(Alt\+N /);
  assert.match(help, /Die Liste <strong>Beispielprogramm öffnen<\/strong> in der Werkzeugleiste/);
  // Strg+N only where the help says that the browser keeps it.
  assert.deepEqual(help.match(/[^.>]*Strg\+N[^.<]*/g).map((s) => s.trim()),
    ["neues Programm (Strg+N behält der Browser für ein neues Fenster)", "Der Browser behält Strg+N, Strg+W und Strg+Tab für sich; dafür gibt es die Knöpfe „Neue Datei“ und „Schließen“ und die Tasten oben"]);
});
