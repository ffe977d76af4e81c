// Run control under stress: starts given twice before the first has
// compiled, a worker that dies in the middle of a run, a core that cannot
// be loaded and an engine without a global SharedArrayBuffer. Every case
// must end in the idle state, say what happened in German, and leave the
// next F9 working.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { open, native } from "./harness.mjs";

/** Keys sent as one burst, none waiting for the page to take the last. */
const burst = (page, ...keys) => Promise.all(keys.map(([how, key]) => page.keyboard[how](key)));

/** A normal run of a fresh program, which must start and end on its own. */
async function runOk(t) {
  await t.typeProgram('Ausgabe "OK"');
  await t.runOver(() => t.page.keyboard.press("F9"), 5000);
  assert.equal(await t.consoleText(), "OK\n");
  assert.equal(await t.runState(), 1);
}

describe("one page", () => {
  let t;
  before(async () => { t = await open(); await t.load(); });
  after(async () => { await t?.close(); });

  // A thousand lines take a pupil's program's compile time (tens of ms),
  // so each burst reaches the page while the first start is compiling.
  const program = "y <= 1\n".repeat(1000) + "Eingabe x\nAusgabe x";
  const rows = [
    ["a double-click on Programm starten", async () => (await t.byName("Programm starten")).click({ count: 2 }), false],
    ["F9 F9", () => burst(t.page, ["press", "F9"], ["press", "F9"]), false],
    ["Strg+F9 then F9", () => burst(t.page, ["down", "Control"], ["press", "F9"], ["up", "Control"], ["press", "F9"]), true],
  ];
  for (const [name, start, stepping] of rows) {
    test(`${name} starts one run, and the next F9 runs normally`, async () => {
      await t.typeProgram("");
      await t.page.evaluate((text) => window.tarko.editors.view.dispatch({ changes: { from: 0, insert: text } }), program);
      const before = await t.page.evaluate(() => window.tarko.finishedRuns);
      await start();
      if (stepping) {
        await t.page.waitForFunction(() => window.tarko.runState === 2);
        await t.page.keyboard.press("Escape");
      } else {
        await t.waitInput();
        await t.page.keyboard.type("5");
        await t.page.keyboard.press("Enter");
      }
      await t.page.waitForFunction(() => !window.tarko.sessionBusy(), { timeout: 5000 });
      if (!stepping) assert.equal(await t.consoleText(), native(program, ["5"]).out);
      assert.equal(await t.page.evaluate(() => window.tarko.finishedRuns), before + 1, "exactly one run");
      await runOk(t);
    });
  }

  test("a typed character replaces a selection across lines, as on the desktop", async () => {
    const combo = async (mod, key) => { await t.page.keyboard.down(mod); await t.page.keyboard.press(key); await t.page.keyboard.up(mod); };
    const selectAll = () => combo("Control", "a");
    const rows = [
      ["a\nb", selectAll, "x"],
      ["a\n\nb", selectAll, "x"],
      ["Ausgabe 1\nAusgabe 2", selectAll, "x"],
      ["a\nb\n", selectAll, "x"],
      ["ab\ncd", async () => { await combo("Control", "Home"); await t.page.keyboard.press("ArrowRight"); await combo("Shift", "ArrowDown"); }, "axd"],
      ["ab\ncd\nef", async () => { await combo("Control", "End"); await combo("Shift", "ArrowUp"); }, "ab\ncdx"],
    ];
    for (const [text, select, want] of rows) {
      await t.typeProgram("");
      await t.page.evaluate((s) => window.tarko.editors.view.dispatch({ changes: { from: 0, insert: s } }), text);
      await select();
      await t.page.keyboard.type("x");
      assert.equal(await t.editorText(), want, JSON.stringify(text));
      await combo("Control", "z");
      assert.equal(await t.editorText(), text, "one undo step");
    }
  });
});

test("the worker dies in a run or while idle, or fails in its compile: German message, then F9 runs again", async () => {
  const t = await open();
  try {
    // Keeps every worker the page makes, so the test can end it as a crash would.
    await t.page.evaluateOnNewDocument(() => {
      const Base = window.Worker;
      window.workers = [];
      window.Worker = class extends Base { constructor(...a) { super(...a); window.workers.push(this); } };
    });
    await t.load();
    assert.equal(await t.page.evaluate(() => document.body.dataset.ready), "worker");
    await t.typeProgram("Eingabe x\nAusgabe x");
    await t.page.keyboard.press("F9");
    await t.waitInput();
    await t.page.evaluate(() => window.workers.at(-1).terminate());
    await t.page.waitForSelector("#MessageBox[open]", { timeout: 5000 });
    assert.equal(await t.page.$eval("#MessageTitle", (e) => e.textContent), "Fehler");
    assert.match(await t.page.$eval("#MessageText", (e) => e.textContent), /^Der Programmlauf wurde unerwartet beendet/);
    await t.page.keyboard.press("Enter");
    assert.equal(await t.runState(), 1);
    assert.equal(await t.page.evaluate(() => window.tarko.device.inputActive), false, "keypad off");
    await runOk(t);
    assert.equal(await t.page.evaluate(() => document.body.dataset.ready), "worker");
    // Ended between runs: nothing to say, the next start simply works.
    await t.page.evaluate(() => window.workers.at(-1).terminate());
    await runOk(t);
    assert.equal(await t.page.$("#MessageBox[open]"), null);
    // An exception where the worker copies the program into the core.
    const live = t.page.workers();
    assert.equal(live.length, 1);
    await live[0].evaluate(() => {
      const set = Uint8Array.prototype.set;
      Uint8Array.prototype.set = function (...a) { Uint8Array.prototype.set = set; throw new Error("Testfehler"); };
    });
    await t.typeProgram('Ausgabe "nie"');
    await t.page.keyboard.press("F9");
    await t.page.waitForSelector("#MessageBox[open]", { timeout: 5000 });
    assert.equal(await t.page.$eval("#MessageText", (e) => e.textContent), "Interner Fehler: Testfehler\nBitte benachrichtigen Sie den Programmierer von TARKO.");
    await t.page.keyboard.press("Enter");
    assert.equal(await t.consoleText(), "OK\n", "the program did not run");
    await runOk(t);
  } finally {
    await t.close();
  }
});

test("the core cannot be loaded: the message line and F9 say so in German; once it loads, F9 runs", async () => {
  const t = await open();
  try {
    let refuse = true;
    await t.page.setRequestInterception(true);
    t.page.on("request", (r) => { if (refuse && r.url().endsWith("/tarko.wasm")) void r.abort(); else void r.continue(); });
    await t.page.goto(t.url, { waitUntil: "load" });
    await t.page.waitForFunction(() => document.getElementById("P_Meldung").className === "k0", { timeout: 10000 });
    const text = await t.messageLine();
    assert.match(text, /^Der Programmkern von Tarko konnte nicht geladen werden/);
    await t.typeProgram('Ausgabe "OK"');
    await t.page.keyboard.press("F9");
    await t.page.waitForSelector("#MessageBox[open]", { timeout: 5000 });
    assert.equal(await t.page.$eval("#MessageText", (e) => e.textContent), text);
    await t.page.keyboard.press("Enter");
    assert.equal(await t.runState(), 1);
    assert.equal(await t.messageLine(), text, "still said where the pupil looks");
    refuse = false;
    await runOk(t);
    assert.equal(await t.page.evaluate(() => document.body.dataset.ready), "worker");
    assert.equal(await t.messageLine(), "");
  } finally {
    await t.close();
  }
});

test("isolated, but no global SharedArrayBuffer (as in WebKit): programs run on the page", async () => {
  const t = await open();
  try {
    await t.page.evaluateOnNewDocument(() => { delete globalThis.SharedArrayBuffer; });
    await t.page.goto(t.url, { waitUntil: "load" });
    await t.page.waitForFunction(() => document.body.dataset.ready, { timeout: 10000 });
    assert.deepEqual(await t.page.evaluate(() => [document.body.dataset.ready, crossOriginIsolated]), ["page", true]);
    const program = 'Eingabe "Zahl" x\nAusgabe x + 1';
    await t.typeProgram(program);
    await t.runOver(async () => {
      await t.page.keyboard.press("F9");
      await t.waitInput();
      await t.page.keyboard.type("41");
      await t.page.keyboard.press("Enter");
    });
    assert.equal(await t.consoleText(), native(program, ["41"]).out);
  } finally {
    await t.close();
  }
});
