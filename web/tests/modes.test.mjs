// The site served as a plain web server would: the service worker supplies
// cross-origin isolation and offline use; without it, runs go on the page.
import { test } from "node:test";
import assert from "node:assert/strict";
import { open } from "./harness.mjs";

test("without isolation headers: the service worker isolates the page, and it works offline", async () => {
  const t = await open({ isolation: false, serviceWorker: true });
  try {
    await t.page.goto(t.url, { waitUntil: "load" });
    await t.page.waitForFunction(() => document.body.dataset.ready === "worker" && navigator.serviceWorker.controller, { timeout: 20000 });
    await t.page.setOfflineMode(true);
    await Promise.all([t.page.waitForNavigation({ waitUntil: "load" }), t.page.evaluate(() => location.reload())]);
    await t.page.waitForFunction(() => document.body.dataset.ready, { timeout: 20000 });
    assert.deepEqual(await t.page.evaluate(() => [document.body.dataset.ready, crossOriginIsolated]), ["worker", true]);
    await t.typeProgram('Ausgabe "offline"');
    await t.runOver(() => t.page.keyboard.press("F9"));
    assert.equal(await t.consoleText(), "offline\n");
  } finally {
    await t.close();
  }
});

test("without isolation and service worker: runs in slices on the page, Stop and Eingabe work", async () => {
  const t = await open({ isolation: false });
  try {
    await t.load();
    assert.equal(await t.page.evaluate(() => document.body.dataset.ready), "page");
    await t.typeProgram('Eingabe "Zahl" x\nAusgabe x + 1');
    await t.page.keyboard.press("F9");
    await t.waitInput();
    await t.click("Taste 4");
    await t.click("Taste OK");
    await t.waitIdle();
    assert.equal(await t.consoleText(), "Zahl4\n5 \n");
    await t.typeProgram("Wiederhole\nBis 1 = 2");
    await t.page.keyboard.press("F9");
    await t.page.waitForFunction(() => window.tarko.runState === 3);
    // The page must stay responsive during the run: timers keep firing.
    const ticks = await t.page.evaluate(() => new Promise((r) => { let n = 0; const id = setInterval(() => { if (++n === 10) { clearInterval(id); r(n); } }, 10); }));
    assert.equal(ticks, 10);
    const t0 = Date.now();
    await t.click("Stop");
    await t.page.waitForFunction(() => !window.tarko.sessionBusy(), { timeout: 3000 });
    console.log(`# Stop auf der Seite: ${Date.now() - t0} ms`);
  } finally {
    await t.close();
  }
});
