// A second engine: the site in Debian's Firefox ESR, driven by puppeteer-core
// over WebDriver BiDi, as a pupil uses it: type, F9, Eingabe on the keypad,
// Stop, and the text is still there after a reload.
import { after, before, test } from "node:test";
import assert from "node:assert/strict";
import { existsSync } from "node:fs";
import { join } from "node:path";
import puppeteer from "puppeteer-core";
import { native, site } from "./harness.mjs";
import { serve } from "../serve.mjs";

const firefox = process.env.FIREFOX ?? "/usr/bin/firefox-esr";
let server, browser, page;

before(async () => {
  // A missing engine fails, as a missing Chromium does.
  if (!existsSync(firefox)) throw new Error(`Firefox fehlt (${firefox}): scripts/setup.sh installiert firefox-esr`);
  if (!existsSync(join(site, "index.html"))) throw new Error(`Die Seite fehlt (${site}): erst make web`);
  server = await serve(site, { port: 0 });
  browser = await puppeteer.launch({ browser: "firefox", executablePath: firefox, headless: true });
  page = await browser.newPage();
  // Leaving with unsaved changes asks first; the test leaves anyway.
  page.on("dialog", (d) => void d.accept());
});
after(async () => {
  await browser?.close();
  server?.close();
});

test("Firefox ESR: type, F9, Eingabe on the keypad, Stop; a reload keeps the text", async () => {
  const url = `http://127.0.0.1:${server.address().port}/?nosw`;
  await page.goto(url);
  // Isolated by the server's headers: the run goes to the worker.
  await page.waitForFunction(() => document.body.dataset.ready, { timeout: 30000 });
  assert.equal(await page.evaluate(() => document.body.dataset.ready), "worker");

  const start = 'Eingabe "Zahl" x\nAusgabe "Doppelt: " x*2';
  const program = `${start}\nWiederhole\nx <= x + 1\nBis x < 0`;
  await (await page.waitForSelector("aria/Programmtext: Programm")).click();
  await page.keyboard.type(program.replace(/\n/g, "\r"));
  assert.equal(await page.evaluate(() => window.tarko.editors.text()), program);

  await page.keyboard.press("F9");
  await page.waitForFunction(() => window.tarko.device.inputActive, { timeout: 20000 });
  for (const key of ["Taste 2", "Taste 1", "Taste Komma", "Taste 5", "Taste OK"]) await (await page.waitForSelector(`aria/${key}`)).click();
  // The loop runs on after the output until Stop.
  await page.waitForFunction(() => document.getElementById("RunMemo").textContent.includes("Doppelt"), { timeout: 20000 });
  assert.equal(await page.evaluate(() => window.tarko.runState), 3);
  await (await page.waitForSelector("aria/Stop")).click();
  await page.waitForFunction(() => window.tarko.runState === 1, { timeout: 10000 });
  assert.equal(await page.$eval("#RunMemo", (e) => e.textContent), native(start, ["21,5"]).out);

  // The run formatted the text (the default option): that is what is kept.
  const kept = await page.evaluate(() => window.tarko.editors.text());
  assert.equal(kept, program.replace("x <= x", "\tx <= x"));
  await page.evaluate(() => window.tarko.keeper.settled());
  await page.reload();
  await page.waitForFunction(() => document.body.dataset.ready, { timeout: 30000 });
  assert.equal(await page.evaluate(() => window.tarko.editors.text()), kept);
  assert.equal(await page.$eval("#StatusPanel1", (e) => e.textContent), "Geändert");
});
