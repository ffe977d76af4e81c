// Colours of the program editors from the core's colour rules, asked for
// the visible lines only. The core keeps its own copy of one editor's text
// (as Windows-1252 bytes, CR LF): a key changes only its bytes there, so the
// work of a key follows the change and the visible lines, not the program's
// size.
import { ChangeSet, RangeSetBuilder, StateEffect, StateField, Extension, Text } from "@codemirror/state";
import { Decoration, DecorationSet, EditorView, ViewPlugin, ViewUpdate } from "@codemirror/view";
import { ColourRun } from "./core";
import { encode, encodeInto, OffsetMap } from "./cp1252";

/** What the colouring needs of the core. */
export interface ColourCore {
  colourTextLength(): number;
  spliceColourText(at: number, removed: number, bytes: Uint8Array): void;
  colour(windows: [number, number][], unchangedBefore: number): ColourRun[];
}

/** Colour runs of `doc` in the byte windows; `before` and `changes` (when
 *  known) lead from the editor's previous text to `doc`. */
export type Colourer = (doc: Text, windows: [number, number][], before: Text | null, changes: ChangeSet | null) => ColourRun[];

/** Byte offset of an editor position: each earlier line break counts two. */
function byteAt(doc: Text, pos: number): number { return pos + doc.lineAt(pos).number - 1; }

/** The bytes of a whole editor text. */
function encodeDoc(doc: Text): Uint8Array {
  const out = new Uint8Array(doc.length + doc.lines - 1);
  let o = 0, first = true;
  for (const line of doc.iterLines()) {
    if (!first) { out[o++] = 13; out[o++] = 10; }
    first = false;
    o = encodeInto(line, out, o);
  }
  return out;
}

/** One core serves every editor; it holds the text of the one coloured
 *  last. Another editor's text (or one it has not followed) is copied in
 *  whole, and the core then knows nothing of earlier calls. */
export function sharedColourer(core: () => ColourCore | null): (owner: object) => Colourer | null {
  let last: object | null = null;
  let held: Text | null = null;
  return (owner) => {
    const c = core();
    if (!c) return null;
    return (doc, windows, before, changes) => {
      // Every byte below this is as at the core's last colouring.
      let unchangedBefore = doc.length + doc.lines - 1;
      let following = last === owner && held !== null;
      if (following && held !== doc) {
        following = held === before && changes !== null;
        changes?.iterChanges((fromA, toA, fromB, _toB, inserted) => {
          if (!following) return;
          // Everything before fromB already has its new bytes.
          const line = doc.lineAt(fromB);
          const removed = toA - fromA + before!.lineAt(toA).number - before!.lineAt(fromA).number;
          c.spliceColourText(fromB + line.number - 1, removed, encode(inserted.sliceString(0, inserted.length, "\n")));
          // The rules read a line from its start (a keyword's neighbours).
          unchangedBefore = Math.min(unchangedBefore, line.from + line.number - 1);
        });
        following &&= c.colourTextLength() === doc.length + doc.lines - 1;
      }
      if (!following) {
        c.spliceColourText(0, c.colourTextLength(), encodeDoc(doc));
        unchangedBefore = 0;
      }
      last = owner;
      held = doc;
      return c.colour(windows, unchangedBefore);
    };
  };
}

// One class per colour, in a style sheet of our own (no inline styles: the
// page runs under a strict Content-Security-Policy).
const sheet = new CSSStyleSheet();
document.adoptedStyleSheets = [...document.adoptedStyleSheets, sheet];
const classes = new Map<number, string>();
function colourClass(rgb: number): string {
  let c = classes.get(rgb);
  if (!c) {
    const hex = rgb.toString(16).padStart(6, "0");
    c = `tk-${hex}`;
    sheet.insertRule(`.cm-editor .${c} { color: #${hex}; }`, sheet.cssRules.length);
    classes.set(rgb, c);
  }
  return c;
}
const marks = new Map<number, Decoration>();
function mark(rgb: number): Decoration {
  let m = marks.get(rgb);
  if (!m) { m = Decoration.mark({ class: colourClass(rgb) }); marks.set(rgb, m); }
  return m;
}

/** Colours a view anew (the core has just become available). */
export const recolour = StateEffect.define<null>();

export function colouring(colourer: (owner: object) => Colourer | null): Extension {
  return ViewPlugin.fromClass(class {
    decorations: DecorationSet;
    constructor(view: EditorView) { this.decorations = this.build(view, null, null); }
    update(u: ViewUpdate): void {
      const asked = u.transactions.some((tr) => tr.effects.some((e) => e.is(recolour)));
      if (!u.docChanged && !u.viewportChanged && !asked) return;
      this.decorations = this.build(u.view, u.docChanged ? u.startState.doc : null, u.docChanged ? u.changes : null);
    }
    build(view: EditorView, before: Text | null, changes: ChangeSet | null): DecorationSet {
      const c = colourer(view);
      if (!c) return Decoration.none;
      const doc = view.state.doc;
      // Byte windows over whole visible lines, and the editor positions
      // where each starts and ends (to map the runs back).
      const windows: [number, number][] = [];
      const spans: { from: number; to: number }[] = [];
      for (const r of view.visibleRanges) {
        const first = doc.lineAt(r.from), lastLine = doc.lineAt(r.to);
        const from = byteAt(doc, first.from);
        const to = byteAt(doc, lastLine.to);
        const last = windows[windows.length - 1];
        if (last && from <= last[1] + 2) { last[1] = Math.max(last[1], to); spans[spans.length - 1]!.to = Math.max(spans[spans.length - 1]!.to, lastLine.to); }
        else { windows.push([from, Math.max(from, to)]); spans.push({ from: first.from, to: lastLine.to }); }
      }
      // A hidden tab has no visible lines (and no call would mean the whole text).
      if (windows.length === 0) return Decoration.none;
      const runs = c(doc, windows, before, changes);
      const maps = spans.map((s) => new OffsetMap(doc.sliceString(s.from, s.to), s.from));
      const b = new RangeSetBuilder<Decoration>();
      for (const r of runs) {
        // Runs lie inside the windows.
        let w = 0;
        while (w + 1 < windows.length && r.from > windows[w]![1]) w++;
        const base = windows[w]![0], map = maps[w]!;
        const from = map.pos(r.from - base), to = map.pos(r.to + 1 - base);
        if (to > from) b.add(from, to, mark(r.rgb));
      }
      return b.finish();
    }
  }, { decorations: (p) => p.decorations });
}

// The marked line of a single step (yellow) or a fault (light red).
export const setMarkedLine = StateEffect.define<{ line: number; cls: string } | null>();
export const markedLine = StateField.define<DecorationSet>({
  create: () => Decoration.none,
  update(deco, tr) {
    // Typing ends the mark, as on the desktop.
    if (tr.docChanged) deco = Decoration.none;
    for (const e of tr.effects) {
      if (!e.is(setMarkedLine)) continue;
      if (!e.value || e.value.line < 0 || e.value.line >= tr.state.doc.lines) { deco = Decoration.none; continue; }
      const l = tr.state.doc.line(e.value.line + 1);
      deco = Decoration.set([Decoration.line({ class: e.value.cls }).range(l.from)]);
    }
    return deco;
  },
  provide: (f) => EditorView.decorations.from(f),
});
