// The site as web servers deliver it: `make web-run`'s own server with
// hostile addresses, and a new build on a plain server whose files the
// browser may keep heuristically (Last-Modified, no Cache-Control).
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { cpSync, existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, utimesSync, writeFileSync } from "node:fs";
import { createServer, request } from "node:http";
import { tmpdir } from "node:os";
import { extname, join } from "node:path";
import { gunzipSync } from "node:zlib";
import puppeteer from "puppeteer-core";
import { chromium, site } from "./harness.mjs";
import { serve } from "../serve.mjs";

/** One raw request (the path sent as written); status, headers and body. */
function get(port, path, headers = {}) {
  return new Promise((resolve, reject) => {
    const r = request({ host: "127.0.0.1", port, path, headers }, (res) => {
      const parts = [];
      res.on("data", (d) => parts.push(d));
      res.on("end", () => resolve({ status: res.statusCode, headers: res.headers, body: Buffer.concat(parts) }));
    });
    r.on("error", reject);
    r.end();
  });
}

describe("make web-run's server", () => {
  let dir, server, port;
  before(async () => {
    // The site folder has a sibling whose name begins with the site's name.
    dir = mkdtempSync(join(tmpdir(), "tarko-serve-"));
    mkdirSync(join(dir, "site"));
    mkdirSync(join(dir, "site-secret"));
    writeFileSync(join(dir, "site", "index.html"), "<p>Tarko</p>".repeat(200));
    writeFileSync(join(dir, "site", "tarko.css"), "body { margin: 0 }\n".repeat(200));
    writeFileSync(join(dir, "site-secret", "noten.txt"), "geheim");
    server = await serve(join(dir, "site"), { port: 0 });
    port = server.address().port;
  });
  after(() => { server?.close(); rmSync(dir, { recursive: true, force: true }); });

  test("malformed escapes and paths out of the site are refused, and the server goes on", async () => {
    const rows = [
      ["/%E0", 400],
      ["/%zz/index.html", 400],
      ["/..%2fsite-secret/noten.txt", 403],
      ["/..%2f..%2f" + dir.slice(1).split("/").join("%2f") + "%2fsite-secret%2fnoten.txt", 403],
      ["/../site-secret/noten.txt", 404], // the URL parser already resolves a literal ".."
      ["/fehlt.html", 404],
    ];
    for (const [path, status] of rows) {
      const r = await get(port, path);
      assert.equal(r.status, status, path);
      assert.doesNotMatch(r.body.toString(), /geheim/, path);
    }
    const r = await get(port, "/");
    assert.equal(r.status, 200, "still serving after the malformed ones");
    assert.equal(r.body.toString(), "<p>Tarko</p>".repeat(200));
  });

  test("gzip only for clients that accept it, the same bytes after unpacking", async () => {
    const plain = readFileSync(join(dir, "site", "tarko.css"));
    const rows = [
      ["gzip, deflate, br", true],
      ["br;q=1.0, gzip;q=0.8", true],
      ["gzip;q=0", false],
      ["identity", false],
      [undefined, false],
    ];
    for (const [accept, zipped] of rows) {
      const r = await get(port, "/tarko.css", accept === undefined ? {} : { "Accept-Encoding": accept });
      assert.equal(r.status, 200, accept);
      assert.equal(r.headers["content-encoding"], zipped ? "gzip" : undefined, accept);
      assert.equal(r.headers["vary"], "Accept-Encoding", accept);
      assert.deepEqual(zipped ? gunzipSync(r.body) : r.body, plain, accept);
      if (zipped) assert.ok(r.body.length < plain.length / 4, `${accept}: ${r.body.length} bytes`);
    }
  });
});

// A plain static server as many schools have (python's, for one): no
// isolation headers, Last-Modified and answers to If-Modified-Since, no
// Cache-Control. `dir` can be switched to a new build while it runs.
function plainServer(initial) {
  const types = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".wasm": "application/wasm", ".webmanifest": "application/manifest+json" };
  const state = { dir: initial };
  const server = createServer((req, res) => {
    try {
      let file = join(state.dir, decodeURIComponent(new URL(req.url, "http://x").pathname));
      if (statSync(file).isDirectory()) file = join(file, "index.html");
      const modified = statSync(file).mtime;
      modified.setMilliseconds(0);
      const since = req.headers["if-modified-since"];
      if (since && new Date(since) >= modified) { res.writeHead(304).end(); return; }
      res.writeHead(200, { "Content-Type": types[extname(file)] ?? "application/octet-stream", "Last-Modified": modified.toUTCString() });
      res.end(readFileSync(file));
    } catch {
      res.writeHead(404).end();
    }
  });
  return new Promise((ok) => server.listen(0, "127.0.0.1", () => ok(Object.assign(state, { server, port: server.address().port }))));
}

/** Every file of a folder gets the given modification time. */
function touchAll(dir, time) {
  for (const f of readdirSync(dir)) {
    const p = join(dir, f);
    if (statSync(p).isDirectory()) touchAll(p, time); else utimesSync(p, time, time);
  }
}

describe("a new build on a plain server", () => {
  let dir, web, browser, profile;
  before(async () => {
    if (!existsSync(chromium)) throw new Error(`Chromium fehlt (${chromium}): scripts/setup.sh installiert es`);
    if (!existsSync(join(site, "sw.js"))) throw new Error(`Die Seite fehlt (${site}): erst make web`);
    dir = mkdtempSync(join(tmpdir(), "tarko-builds-"));
    // The first build was put on the server a year ago: the browser may keep
    // its files for weeks without asking.
    cpSync(site, join(dir, "v1"), { recursive: true });
    touchAll(join(dir, "v1"), new Date(Date.now() - 365 * 86400e3));
    // The second build differs in its page, so its service worker names a new cache.
    cpSync(join(dir, "v1"), join(dir, "v2"), { recursive: true });
    writeFileSync(join(dir, "v2", "index.html"), readFileSync(join(dir, "v2", "index.html"), "utf8") + "<!-- zweite Fassung -->\n");
    const sw = readFileSync(join(dir, "v2", "sw.js"), "utf8");
    const version = /tarko-([0-9a-f]{16})/.exec(sw)[1];
    writeFileSync(join(dir, "v2", "sw.js"), sw.replace(version, [...version].reverse().join("")));
    web = await plainServer(join(dir, "v1"));
    profile = mkdtempSync(join(tmpdir(), "tarko-chromium-"));
    browser = await puppeteer.launch({
      executablePath: chromium, headless: true, userDataDir: profile,
      args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking"],
    });
  });
  after(async () => {
    await browser?.close();
    web?.server.close();
    for (const d of [dir, profile]) if (d) rmSync(d, { recursive: true, force: true });
  });

  test("arrives whole in the service worker's cache, the open page says so in German, and the reload keeps the text", async () => {
    const url = `http://127.0.0.1:${web.port}/`;
    const first = await browser.newPage();
    first.on("dialog", (d) => void d.accept());
    await first.goto(url);
    // The first visit installs the service worker and reloads once to be isolated.
    await first.waitForFunction(() => crossOriginIsolated && document.body.dataset.ready, { timeout: 30000 });
    await first.evaluate(() => window.tarko.editors.view.dispatch({ changes: { from: 0, insert: 'Ausgabe "bleibt"' } }));
    await first.evaluate(() => window.tarko.keeper.settled());
    await first.close();

    // The second build goes up; the pupil opens Tarko again and gets the
    // first build from the cache while the browser installs the second.
    web.dir = join(dir, "v2");
    const page = await browser.newPage();
    page.on("dialog", (d) => void d.accept());
    await page.goto(url);
    await page.waitForFunction(() => document.body.dataset.ready, { timeout: 30000 });
    assert.doesNotMatch(await page.content(), /zweite Fassung/, "this visit still runs the first build");
    const note = await page.waitForSelector("[role=status]#UpdateNote", { visible: true, timeout: 30000 });
    assert.match(await note.evaluate((e) => e.textContent), /^Eine neue Version von Tarko ist bereit\. Sie wird beim nächsten Öffnen geladen\./);
    assert.equal(await page.evaluate(() => window.tarko.editors.text()), 'Ausgabe "bleibt"');
    // The new worker deletes the first build's cache once it is active.
    await page.waitForFunction(async () => (await caches.keys()).filter((k) => k.startsWith("tarko-")).length === 1);
    const inCache = await page.evaluate(async () => {
      const [name] = (await caches.keys()).filter((k) => k.startsWith("tarko-"));
      return (await (await caches.open(name)).match("index.html")).text();
    });
    assert.match(inCache, /zweite Fassung/, "the new cache holds the new build's files, not the browser's kept copies");

    await (await page.waitForSelector("aria/Jetzt neu laden")).click();
    await page.waitForFunction(() => document.body.dataset.ready && new XMLSerializer().serializeToString(document).includes("zweite Fassung"), { timeout: 30000 });
    assert.equal(await page.evaluate(() => window.tarko.editors.text()), 'Ausgabe "bleibt"');
    assert.equal(await page.$("#UpdateNote"), null, "the new version announces nothing");
  });
});
