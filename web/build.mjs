// Builds the site into one folder that any static web server can serve:
//   node build.mjs OUT_DIR MODULE_DIR
// MODULE_DIR holds tarko.js and tarko.wasm from ../web/build-wasm.sh.
import { build } from "esbuild";
import { createHash } from "node:crypto";
import { copyFileSync, existsSync, mkdirSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from "node:fs";
import { dirname, join, relative, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import { helpPage } from "./help.mjs";

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, "..");
const out = resolve(process.argv[2] ?? join(root, "build-web/site"));
const moduleDir = resolve(process.argv[3] ?? join(root, "build-web"));

for (const f of ["tarko.js", "tarko.wasm"]) {
  if (!existsSync(join(moduleDir, f))) {
    console.error(`${join(moduleDir, f)} fehlt: erst web/build-wasm.sh ausführen`);
    process.exit(1);
  }
}
rmSync(out, { recursive: true, force: true });
mkdirSync(join(out, "icons"), { recursive: true });
mkdirSync(join(out, "examples"), { recursive: true });

const common = { bundle: true, minify: true, target: "es2022", legalComments: "none", logLevel: "warning" };
await build({
  ...common, outdir: out, format: "iife",
  entryPoints: { app: join(here, "src/main.ts"), worker: join(here, "src/worker.ts"), taskworker: join(here, "src/taskworker.ts"), hilfe: join(here, "src/help.ts") },
});

const copy = (from, to) => copyFileSync(from, join(out, to));
for (const f of readdirSync(join(here, "static"))) copy(join(here, "static", f), f);
for (const f of readdirSync(join(root, "resources/icons")).filter((f) => f.endsWith(".png"))) copy(join(root, "resources/icons", f), `icons/${f}`);
for (const size of [32, 128, 256]) copy(join(root, `packaging/icons/${size}x${size}/tarko.png`), `icons/tarko-${size}.png`);
copy(join(root, "packaging/icons/tarko.svg"), "icons/tarko.svg");
for (const f of readdirSync(join(root, "resources/examples"))) copy(join(root, "resources/examples", f), `examples/${f}`);
copy(join(moduleDir, "tarko.js"), "tarko.js");
copy(join(moduleDir, "tarko.wasm"), "tarko.wasm");
writeFileSync(join(out, "hilfe.html"), helpPage(readFileSync(join(root, "README.md"), "utf8")));

// The service worker caches exactly the files of this build; their hash
// names the cache, so a new build replaces the old one.
const files = [];
const walk = (d) => { for (const f of readdirSync(d)) { const p = join(d, f); statSync(p).isDirectory() ? walk(p) : files.push(p); } };
walk(out);
const hash = createHash("sha256");
for (const f of files.sort()) hash.update(relative(out, f)).update(readFileSync(f));
const list = ["./", ...files.map((f) => relative(out, f).split("\\").join("/"))];
await build({
  ...common, entryPoints: [join(here, "src/sw.ts")], outfile: join(out, "sw.js"), format: "iife",
  define: { SITE_FILES: JSON.stringify(list), SITE_VERSION: JSON.stringify(hash.digest("hex").slice(0, 16)) },
});
console.log(`Web-Ausgabe: ${out}`);
