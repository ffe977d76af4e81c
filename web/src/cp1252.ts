// Program text crosses here between the editor (UTF-16, one LF per line
// break) and the language system and files (Windows-1252 bytes, CR LF).

// Code points of bytes 0x80–0x9F; every other byte equals Latin-1. The
// unassigned bytes stand for U+0081 … so every byte survives a round trip.
const High: readonly number[] = [
  0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
  0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f,
  0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
  0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178,
];
const ByteOf = new Map<number, number>(High.map((cp, i) => [cp, 0x80 + i]));

function isLineBreak(unit: number): boolean {
  return unit === 0x0a || unit === 0x2028 || unit === 0x2029;
}

/** The Windows-1252 byte of one UTF-16 unit; -1 when it cannot be stored. */
function byteOf(unit: number): number {
  if (unit < 0x80 || (unit >= 0xa0 && unit <= 0xff)) return unit;
  return ByteOf.get(unit) ?? -1;
}

/** Bytes of an editor text: every line break as CR LF, an unstorable
 *  character as '?' per UTF-16 unit (so offsets stay in step). */
export function encode(text: string): Uint8Array {
  let breaks = 0;
  for (let i = 0; i < text.length; i++) if (isLineBreak(text.charCodeAt(i))) breaks++;
  const out = new Uint8Array(text.length + breaks);
  encodeInto(text, out, 0);
  return out;
}

/** Writes the bytes of `text` (as `encode` gives them) into `out` from
 *  `at`; returns the offset after them. */
export function encodeInto(text: string, out: Uint8Array, at: number): number {
  let o = at;
  for (let i = 0; i < text.length; i++) {
    const u = text.charCodeAt(i);
    // Most characters are their own byte: the common case without a call.
    if (u < 0x80 ? u !== 0x0a : u >= 0xa0 && u <= 0xff) { out[o++] = u; continue; }
    if (isLineBreak(u)) { out[o++] = 13; out[o++] = 10; continue; }
    const b = byteOf(u);
    out[o++] = b < 0 ? 0x3f : b;
  }
  return o;
}

/** Editor text from file bytes: CR LF, lone CR and lone LF become LF. */
export function decode(bytes: Uint8Array): string {
  const parts: string[] = [];
  let chunk: number[] = [];
  const flush = () => { parts.push(String.fromCharCode(...chunk)); chunk = []; };
  for (let i = 0; i < bytes.length; i++) {
    const b = bytes[i]!;
    if (b === 13) {
      chunk.push(10);
      if (bytes[i + 1] === 10) i++;
    } else {
      chunk.push(b >= 0x80 && b <= 0x9f ? High[b - 0x80]! : b);
    }
    if (chunk.length >= 8192) flush();
  }
  flush();
  return parts.join("");
}

/** The first character that a program file cannot hold, with its line
 *  (1-based), or null. Line breaks of every kind are storable. */
export function firstUnstorable(text: string): { char: string; line: number } | null {
  let line = 1;
  for (let i = 0; i < text.length; i++) {
    const u = text.charCodeAt(i);
    if (isLineBreak(u)) { line++; continue; }
    if (byteOf(u) >= 0) continue;
    const pair = u >= 0xd800 && u <= 0xdbff && i + 1 < text.length;
    return { char: text.slice(i, pair ? i + 2 : i + 1), line };
  }
  return null;
}

/** The message the workbench shows when a save meets such a character. */
export function unstorableMessage(u: { char: string; line: number }): string {
  return `Das Zeichen „${u.char}“ in Zeile ${u.line} kann in einer Tarko-Datei nicht gespeichert werden.`;
}

/** Maps byte offsets of one piece of text (starting at a line start) back to
 *  editor positions; an offset on the LF of a CR LF maps to the line end. */
export class OffsetMap {
  private readonly breaks: number[] = [];
  constructor(private readonly text: string, private readonly base: number) {
    for (let i = 0; i < text.length; i++) if (isLineBreak(text.charCodeAt(i))) this.breaks.push(i);
  }
  /** Editor position for byte offset `b` counted from the piece's start. */
  pos(b: number): number {
    // Before the k-th break (0-based) the bytes run one ahead per earlier break.
    let lo = 0, hi = this.breaks.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (this.breaks[mid]! + mid < b) lo = mid + 1; else hi = mid;
    }
    // lo breaks lie wholly before b, unless b is the LF of break lo-1's CR LF.
    let p = b - lo;
    if (lo > 0 && this.breaks[lo - 1]! + (lo - 1) + 1 === b) p = this.breaks[lo - 1]!;
    return this.base + Math.min(p, this.text.length);
  }
}
