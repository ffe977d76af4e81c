// The page as a screen-reader user meets it: what has the focus (and whether
// a screen reader stays in its focus mode there), what the live regions
// say, the keyboard's ways in and out of the editor, and axe-core's rules
// on the page's main states.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { open, root } from "./harness.mjs";

const axeSource = readFileSync(join(root, "web/node_modules/axe-core/axe.min.js"), "utf8");
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

/** The focused node as the accessibility tree gives it (role, name, description). */
async function focused(page) {
  const find = (n) => (n.focused ? n : (n.children ?? []).map(find).find(Boolean));
  return find(await page.accessibility.snapshot({ interestingOnly: false })) ?? null;
}

/** The text of every live region that is not off, and whether one is assertive. */
const liveText = (page) => page.evaluate(() => {
  const live = [...document.querySelectorAll("[aria-live], [role=status], [role=log], [role=alert]")]
    .filter((e) => e.getAttribute("aria-live") !== "off" && !e.closest("dialog:not([open])"));
  return { text: live.map((e) => e.innerText).filter((s) => s.trim()).join("\n"), assertive: live.filter((e) => e.getAttribute("aria-live") === "assertive").map((e) => e.id) };
});

const ctrlF9 = async (page) => { await page.keyboard.down("Control"); await page.keyboard.press("F9"); await page.keyboard.up("Control"); };

/** axe-core's violations on the page as it is now, by rule. */
async function axe(page, rules = {}) {
  if (!(await page.evaluate(() => "axe" in window))) await page.evaluate(axeSource);
  return page.evaluate(async (rules) => {
    const r = await window.axe.run(document, { rules });
    return r.violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(" ")).slice(0, 3).join(", ")}`);
  }, rules);
}

describe("a screen-reader user", () => {
  let t;
  before(async () => { t = await open(); await t.load(); });
  after(async () => { await t?.close(); });

  test("hears the Eingabe question and types the number into the device", async () => {
    await t.typeProgram('Ausgabe "Hallo!"\nEingabe "Wie alt bist du? " Alter\nAusgabe "Du bist " Alter " Jahre alt."');
    await t.page.keyboard.press("F9");
    await t.waitInput();
    // A text field keeps a screen reader in focus mode; a log or the document does not.
    const f = await focused(t.page);
    assert.equal(f?.role, "textbox");
    assert.match(f.name, /Wie alt bist du\?/);
    const heard = await liveText(t.page);
    assert.deepEqual(heard.assertive, [], "nothing assertive purges the question");
    assert.match(heard.text, /Hallo!\nWie alt bist du\?/);
    await t.page.keyboard.type("12");
    assert.equal(await t.consoleText(), "Hallo!\nWie alt bist du? 12");
    assert.equal((await focused(t.page))?.value, "12", "the field tells what the device took");
    await t.page.keyboard.press("Enter");
    await t.waitIdle();
    await sleep(50);
    assert.match((await liveText(t.page)).text, /^12\nDu bist 12 Jahre alt\.$/m);
  });

  test("hears the output in batches by the desktop's rule, and the console is only appended to", async () => {
    const rows = [
      // A burst: the newest ten lines, after how many there were.
      ['i <= 0\nWiederhole\ni <= i + 1\nAusgabe "Zeile " i\nBis i = 30', 0,
        ["Die letzten 10 von 30 Zeilen:", ...Array.from({ length: 10 }, (_, k) => `Zeile ${21 + k}`)].join("\n")],
      // Blank lines are not told, blanks collapse; what Löschen removed is not told.
      ['Ausgabe "weg"\nLöschen\nAusgabe "  a   b "\nAusgabe ""\nAusgabe "c"', 0, "a b\nc"],
      // A pause in the output tells what came before it, while the run goes on.
      ['Ausgabe "eins"\nPause 1,2\nAusgabe "zwei"', 900, "eins"],
    ];
    for (const [program, after, expected] of rows) {
      await t.typeProgram(program);
      await t.page.evaluate(() => {
        const memo = document.getElementById("RunMemo");
        window.removedText = 0;
        new MutationObserver((ms) => { for (const m of ms) for (const n of m.removedNodes) window.removedText += (n.textContent ?? "").length; })
          .observe(memo, { childList: true, subtree: true });
      });
      if (after) {
        await t.page.keyboard.press("F9");
        await sleep(after);
        assert.equal(await t.runState(), 3, program);
      } else await t.runOver(() => t.page.keyboard.press("F9"));
      await sleep(50);
      assert.equal(await t.page.$eval("#Ansage", (e) => e.innerText), expected, program);
      if (after) await t.waitIdle(5000);
      if (!program.includes("Löschen")) assert.equal(await t.page.evaluate(() => window.removedText), 0, `${program}: nothing shown is taken away`);
    }
    assert.equal(await t.page.$eval("#RunMemo", (e) => e.getAttribute("aria-live")), "off", "the console itself tells nothing");
  });

  test("Strg+F9 puts the focus on the panel Einzelschritt, where the space bar steps", async () => {
    await t.typeProgram("x <= 1\nx <= 2\nx <= 3");
    await ctrlF9(t.page);
    await t.page.waitForFunction(() => window.tarko.runState === 2);
    const f = await focused(t.page);
    assert.equal(f?.name, "Einzelschritt");
    const lines = () => t.page.$eval("#CodeMemo", (e) => e.value.split("\n").length);
    const before = await lines();
    await t.page.keyboard.press("Space");
    await t.page.waitForFunction((n) => document.getElementById("CodeMemo").value.split("\n").length > n, { timeout: 3000 }, before);
    await t.page.keyboard.press("Escape");
    await t.waitIdle();
  });

  test("finds the ways out of the editor, and a hint when no program is open", async () => {
    await t.typeProgram('Ausgabe "x"');
    const editor = await focused(t.page);
    assert.match(editor?.description ?? "", /Esc und dann Tab/);
    await t.page.keyboard.down("Shift"); await t.page.keyboard.press("Tab");
    assert.equal((await focused(t.page))?.name, "Ausgabe des Programms");
    await t.page.keyboard.press("Tab"); await t.page.keyboard.up("Shift");
    const tab = await focused(t.page);
    assert.equal(tab?.role, "tab");
    assert.equal(tab.name, await t.currentCaption());
    await t.page.keyboard.press("Tab");
    assert.match((await focused(t.page))?.name ?? "", /^Programmtext: /, "Tab goes on into the editor");
    // Closing every program: the hint holds the focus and is read.
    await t.page.evaluate(() => { const e = window.tarko.editors; for (let i = 0; i <= e.lastTab; i++) e.setModified(i, false); });
    while (await t.page.evaluate(() => window.tarko.editors.lastTab >= 0)) {
      await t.page.keyboard.down("Alt"); await t.page.keyboard.press("c"); await t.page.keyboard.up("Alt");
      await sleep(50);
    }
    const hint = await t.page.evaluate(() => [document.activeElement.id, document.activeElement.innerText, document.activeElement.offsetHeight > 0]);
    assert.deepEqual(hint, ["EmptyHint", "Neues Programm: Neue Datei (Alt+N)\nVier Beispiele: Beispielprogramm öffnen", true]);
    await t.page.keyboard.down("Alt"); await t.page.keyboard.press("n"); await t.page.keyboard.up("Alt");
    await t.page.waitForFunction(() => window.tarko.editors.lastTab === 0);
    assert.equal(await t.page.$eval("#EmptyHint", (e) => e.hidden), true);
  });
});

describe("axe-core", () => {
  let t;
  before(async () => { t = await open(); await t.load(); });
  after(async () => { await t?.close(); });

  // Keywords, strings and comments in the editor, and every message line colour.
  const program = '/ Alter\nEingabe "Wie alt bist du? " Alter\nAusgabe "Du bist " Alter';
  const states = [
    ["start", async () => {}],
    ["a run waiting for Eingabe", async () => { await t.page.keyboard.press("F9"); await t.waitInput(); }],
    ["single step", async () => {
      await t.page.keyboard.press("Escape"); await t.waitIdle();
      await ctrlF9(t.page); await t.page.waitForFunction(() => window.tarko.runState === 2);
    }],
    ["a compile error", async () => {
      await t.page.keyboard.press("Escape"); await t.waitIdle();
      await t.page.evaluate(() => window.tarko.editors.view.dispatch({ changes: { from: 0, insert: "Ausgabe (\n" } }));
      await t.runOver(() => t.page.keyboard.press("F9"));
    }],
    ["the options dialog", async () => { await t.click("Optionen"); await t.page.waitForSelector("#OptionForm[open]"); }],
  ];

  test("finds nothing but the colours of the standard scheme, and nothing with Kontrastreiche Farben", async () => {
    await t.typeProgram(program);
    for (const [name, enter] of states) {
      await enter();
      const found = await axe(t.page);
      assert.deepEqual(found.filter((v) => !v.startsWith("color-contrast:")), [], name);
    }
    await t.click("Kontrastreiche Farben");
    await t.click("OK");
    await t.typeProgram(program);
    for (const [name, enter] of states) {
      await enter();
      assert.deepEqual(await axe(t.page), [], `${name}, kontrastreich`);
    }
    await t.page.keyboard.press("Escape");
    // Kept for the next visit.
    await t.load();
    assert.equal(await t.page.evaluate(() => document.documentElement.classList.contains("kontrast")), true);
  });
});
