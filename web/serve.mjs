// A small static server for the built site:
//   node serve.mjs [DIR] [--port N] [--no-isolation]
// It sends the two cross-origin-isolation headers unless told not to (to try
// the site as a plain web server would serve it). Text and the module go out
// gzipped to clients that accept it.
import { createReadStream, statSync } from "node:fs";
import { createServer } from "node:http";
import { extname, join, normalize, resolve, sep } from "node:path";
import { createGzip } from "node:zlib";

const Types = {
  ".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8", ".css": "text/css; charset=utf-8",
  ".wasm": "application/wasm", ".png": "image/png", ".svg": "image/svg+xml", ".webmanifest": "application/manifest+json",
  ".trk": "text/plain; charset=windows-1252", ".json": "application/json",
};

// Images are compressed already; everything else of the site shrinks well.
const Compressible = new Set([".html", ".js", ".css", ".wasm", ".svg", ".webmanifest", ".trk", ".json"]);

/** Does the client take gzip (and not refuse it with q=0)? */
function acceptsGzip(header) {
  return (header ?? "").split(",").some((part) => {
    const [coding, ...params] = part.trim().toLowerCase().split(";").map((x) => x.trim());
    const q = params.find((x) => x.startsWith("q="));
    return (coding === "gzip" || coding === "*") && !(q && Number(q.slice(2)) === 0);
  });
}

export function serve(dir, { port = 8080, host = "127.0.0.1", isolation = true } = {}) {
  const root = resolve(dir);
  // A bare prefix test would let "/..%2fsite-x/" into a sibling "site-x".
  const inside = root.endsWith(sep) ? root : root + sep;
  const server = createServer((req, res) => {
    if (req.method !== "GET" && req.method !== "HEAD") { res.writeHead(405, { Allow: "GET, HEAD" }).end(); return; }
    let path;
    try {
      path = decodeURIComponent(new URL(req.url ?? "/", "http://x").pathname);
    } catch {
      res.writeHead(400, { "Content-Type": "text/plain; charset=utf-8" }).end("Ungültige Adresse");
      return;
    }
    let file = normalize(join(root, path));
    if (file !== root && !file.startsWith(inside)) { res.writeHead(403).end(); return; }
    try {
      if (statSync(file).isDirectory()) file = join(file, "index.html");
      statSync(file);
    } catch {
      res.writeHead(404, { "Content-Type": "text/plain" }).end("Nicht gefunden");
      return;
    }
    const headers = { "Content-Type": Types[extname(file)] ?? "application/octet-stream", "Cache-Control": "no-cache" };
    if (isolation) Object.assign(headers, { "Cross-Origin-Opener-Policy": "same-origin", "Cross-Origin-Embedder-Policy": "require-corp" });
    const gzip = Compressible.has(extname(file)) && acceptsGzip(req.headers["accept-encoding"]);
    if (Compressible.has(extname(file))) headers["Vary"] = "Accept-Encoding";
    if (gzip) headers["Content-Encoding"] = "gzip";
    res.writeHead(200, headers);
    if (req.method === "HEAD") { res.end(); return; }
    const body = createReadStream(file);
    body.on("error", () => res.destroy());
    (gzip ? body.pipe(createGzip()) : body).pipe(res);
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
