// Windows-1252 and offsets: the code page's own points, round trips of every
// byte, and byte offsets against editor positions on generated texts.
import { test } from "node:test";
import assert from "node:assert/strict";
import { buildSync } from "esbuild";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join, dirname } from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const dir = mkdtempSync(join(tmpdir(), "tarko-ts-"));
async function load(name) {
  const out = join(dir, `${name}.mjs`);
  buildSync({ entryPoints: [join(dirname(fileURLToPath(import.meta.url)), `../src/${name}.ts`)], outfile: out, format: "esm", bundle: true, logLevel: "error" });
  return import(pathToFileURL(out).href);
}
const cp = await load("cp1252");
const { listing } = await load("options");
rmSync(dir, { recursive: true, force: true });

test("every byte decodes to its Windows-1252 character and encodes back", () => {
  const all = Uint8Array.from({ length: 256 }, (_, i) => i).filter((b) => b !== 10 && b !== 13);
  const text = cp.decode(all);
  const points = { 0x41: "A", 0x80: "€", 0x81: "\u0081", 0x8a: "Š", 0x8d: "\u008d", 0x96: "–", 0x9f: "Ÿ", 0xa0: "\u00a0", 0xc4: "Ä", 0xdf: "ß", 0xff: "ÿ" };
  for (const [b, ch] of Object.entries(points)) assert.equal(cp.decode(Uint8Array.of(Number(b))), ch, `byte ${b}`);
  assert.equal(text.length, all.length);
  assert.deepEqual(cp.encode(text), all);
  assert.equal(cp.firstUnstorable(text), null);
});

test("line breaks: CR LF, lone CR and lone LF read as one; written as CR LF", () => {
  const rows = [
    ["a\r\nb", "a\nb"], ["a\rb", "a\nb"], ["a\nb", "a\nb"], ["a\r\r\nb", "a\n\nb"], ["\r\n\r\n", "\n\n"], ["a\r", "a\n"],
  ];
  for (const [bytes, text] of rows) {
    assert.equal(cp.decode(Buffer.from(bytes, "latin1")), text, JSON.stringify(bytes));
    assert.equal(Buffer.from(cp.encode(text)).toString("latin1"), text.replace(/\n/g, "\r\n"));
  }
  assert.equal(Buffer.from(cp.encode("a\u2028b")).toString("latin1"), "a\r\nb");
});

test("unstorable characters: the first one with its line, '?' per UTF-16 unit", () => {
  assert.deepEqual(cp.firstUnstorable("ok €\nzwei → drei"), { char: "→", line: 2 });
  assert.deepEqual(cp.firstUnstorable("\n\n😀"), { char: "😀", line: 3 });
  assert.equal(Buffer.from(cp.encode("x😀y")).toString("latin1"), "x??y");
});

test("offsets: byte offsets map back to editor positions on generated texts", () => {
  let seed = 7;
  const rnd = (n) => { seed = (seed * 1103515245 + 12345) & 0x7fffffff; return seed % n; };
  for (let round = 0; round < 200; round++) {
    const text = Array.from({ length: rnd(40) }, () => "ab\n€\u2028x"[rnd(6)]).join("");
    const map = new cp.OffsetMap(text, 0);
    const bytes = cp.encode(text);
    for (let pos = 0; pos <= text.length; pos++) {
      const b = cp.encode(text.slice(0, pos)).length; // as the module counts the bytes it was given
      assert.equal(map.pos(b), pos, `${JSON.stringify(text)} at ${pos}`);
      if (b < bytes.length && bytes[b] === 13) assert.equal(map.pos(b + 1), pos, "the LF of a CR LF maps to the line end");
    }
  }
});

test("printed listing: line numbers, margin modulo 256, no line for a final line break", () => {
  const rows = [
    ["margin 0, no numbers", "a\n\tb\n", { margin: "0", lineNumbers: false }, ["a", "\tb"]],
    ["numbers and margin 5", "Ausgabe\n", { margin: "5", lineNumbers: true }, ["0001     Ausgabe"]],
    ["margin 3 before a tab", "\tx", { margin: "3", lineNumbers: false }, ["   \tx"]],
    ["300 gives 44 blanks", "x", { margin: "300", lineNumbers: false }, [" ".repeat(44) + "x"]],
    ["256 gives none", "x", { margin: "256", lineNumbers: false }, ["x"]],
    ["-1 gives 255", "x", { margin: "-1", lineNumbers: false }, [" ".repeat(255) + "x"]],
    ["no whole number gives none", "x", { margin: "5a", lineNumbers: false }, ["x"]],
    ["only empty lines", "\n\n", { margin: "0", lineNumbers: false }, ["", ""]],
  ];
  for (const [name, text, p, expected] of rows) assert.deepEqual(listing(text, { toFile: false, ...p }), expected, name);
  const long = listing("x\n".repeat(10000), { margin: "0", lineNumbers: true, toFile: false });
  assert.equal(long[9999], "10000x");
});
