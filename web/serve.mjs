// A small static server for the built site:
//   node serve.mjs [DIR] [--port N] [--no-isolation]
// It sends the two cross-origin-isolation headers unless told not to (to try
// the site as a plain web server would serve it).
import { createReadStream, statSync } from "node:fs";
import { createServer } from "node:http";
import { extname, join, normalize, resolve } from "node:path";

const Types = {
  ".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8", ".css": "text/css; charset=utf-8",
  ".wasm": "application/wasm", ".png": "image/png", ".svg": "image/svg+xml", ".webmanifest": "application/manifest+json",
  ".trk": "text/plain; charset=windows-1252", ".json": "application/json",
};

export function serve(dir, { port = 8080, host = "127.0.0.1", isolation = true } = {}) {
  const root = resolve(dir);
  const server = createServer((req, res) => {
    const path = decodeURIComponent(new URL(req.url ?? "/", "http://x").pathname);
    let file = normalize(join(root, path));
    if (!file.startsWith(root)) { res.writeHead(403).end(); return; }
    try {
      if (statSync(file).isDirectory()) file = join(file, "index.html");
      statSync(file);
    } catch {
      res.writeHead(404, { "Content-Type": "text/plain" }).end("Nicht gefunden");
      return;
    }
    const headers = { "Content-Type": Types[extname(file)] ?? "application/octet-stream", "Cache-Control": "no-cache" };
    if (isolation) Object.assign(headers, { "Cross-Origin-Opener-Policy": "same-origin", "Cross-Origin-Embedder-Policy": "require-corp" });
    res.writeHead(200, headers);
    if (req.method === "HEAD") res.end(); else createReadStream(file).pipe(res);
  });
  return new Promise((ok) => server.listen(port, host, () => ok(server)));
}

if (import.meta.url === `file://${process.argv[1]}`) {
  const args = process.argv.slice(2);
  const dir = args.find((a, i) => !a.startsWith("--") && args[i - 1] !== "--port") ?? "build-web/site";
  const p = args.indexOf("--port");
  const server = await serve(dir, { port: p >= 0 ? Number(args[p + 1]) : 8080, isolation: !args.includes("--no-isolation") });
  const a = server.address();
  console.log(`Tarko im Browser: http://${a.address}:${a.port}/  (Strg+C beendet)`);
}
