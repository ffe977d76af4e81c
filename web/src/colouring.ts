// Colours of the program editors from the core's colour rules, asked for
// the visible lines only.
import { RangeSetBuilder, StateEffect, StateField, Extension } from "@codemirror/state";
import { Decoration, DecorationSet, EditorView, ViewPlugin, ViewUpdate } from "@codemirror/view";
import { ColourRun } from "./core";
import { encode, OffsetMap } from "./cp1252";

export type Colourer = (bytes: Uint8Array, windows: [number, number][], unchangedBefore: number) => ColourRun[];

/** The core remembers only the text of its last call: `unchangedBefore`
 *  holds only when that call was for the same editor. */
export function sharedColourer(colour: Colourer): (owner: object) => Colourer {
  let last: object | null = null;
  return (owner) => (bytes, windows, unchangedBefore) => {
    const same = last === owner;
    last = owner;
    return colour(bytes, windows, same ? unchangedBefore : 0);
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
    constructor(view: EditorView) { this.decorations = this.build(view, 0); }
    update(u: ViewUpdate): void {
      const asked = u.transactions.some((tr) => tr.effects.some((e) => e.is(recolour)));
      if (!u.docChanged && !u.viewportChanged && !asked) return;
      let unchanged = Infinity;
      u.changes.iterChangedRanges((fromA) => { unchanged = Math.min(unchanged, fromA); });
      const before = u.docChanged ? u.startState.doc : null;
      // Bytes before the first change are the same as in the last call.
      const keep = before && Number.isFinite(unchanged) ? before.lineAt(unchanged).from : u.docChanged ? 0 : -1;
      this.decorations = this.build(u.view, keep < 0 ? Infinity : keep);
    }
    build(view: EditorView, unchangedPos: number): DecorationSet {
      const c = colourer(view);
      if (!c) return Decoration.none;
      const text = view.state.doc.toString();
      const map = new OffsetMap(text, 0);
      const byteAt = (pos: number) => pos + view.state.doc.lineAt(pos).number - 1;
      const windows: [number, number][] = [];
      for (const r of view.visibleRanges) {
        const from = byteAt(view.state.doc.lineAt(r.from).from);
        const to = byteAt(view.state.doc.lineAt(r.to).to);
        const last = windows[windows.length - 1];
        if (last && from <= last[1] + 2) last[1] = Math.max(last[1], to);
        else windows.push([from, Math.max(from, to)]);
      }
      // A hidden tab has no visible lines (and no call would mean the whole text).
      if (windows.length === 0) return Decoration.none;
      const unchangedBefore = Number.isFinite(unchangedPos) ? byteAt(Math.min(unchangedPos, text.length)) : byteAt(text.length);
      const runs = c(encode(text), windows, unchangedBefore);
      const b = new RangeSetBuilder<Decoration>();
      for (const r of runs) {
        const from = map.pos(r.from), to = map.pos(r.to + 1);
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
