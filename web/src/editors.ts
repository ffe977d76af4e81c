// The five program tabs, one CodeMirror view each, and the tab model of the
// workbench: open tabs are 0..lastTab without gaps; closing one moves the
// later programs one tab to the left.
import { EditorState, Extension, Compartment, Transaction, TransactionSpec, ChangeSpec } from "@codemirror/state";
import { EditorView, keymap, drawSelection, highlightSpecialChars } from "@codemirror/view";
import { defaultKeymap, history, historyKeymap, isolateHistory, undo } from "@codemirror/commands";
import { indentUnit } from "@codemirror/language";
import { colouring, Colourer, markedLine, setMarkedLine } from "./colouring";
import { insertCommand, InsertCommands } from "./insertcommands";

export const TabCount = 5;
export const NewProgramName = "Programm.trk";

export interface TabState { text: string; fileName: string; modified: boolean }

export interface EditorHooks {
  colourer(owner: object): Colourer | null;
  changed(index: number): void;
  autoIndent(): boolean;
  /** Umschalt+Tab in the editor: the focus goes elsewhere. */
  backTab?(): void;
}

/** The file part of a name without directory and extension. */
export function captionOf(name: string): string {
  const file = name.replace(/^.*[\\/]/, "");
  const dot = file.lastIndexOf(".");
  return dot > 0 ? file.slice(0, dot) : file;
}

// Enter: a new line indented like the caret's line, when automatic indenting is on.
function enterKey(autoIndent: () => boolean) {
  return (view: EditorView): boolean => {
    const sel = view.state.selection.main;
    const line = view.state.doc.lineAt(sel.from);
    const indent = autoIndent() ? /^[ \t]*/.exec(line.text)![0].slice(0, sel.from - line.from) : "";
    view.dispatch(view.state.replaceSelection("\n" + indent), { scrollIntoView: true, userEvent: "input" });
    return true;
  };
}

// The Unicode line and paragraph separators become ordinary line breaks as
// they come in, so every line break of the text is the editor's own (and one
// CR LF in the program's bytes).
const separators = /[\u2028\u2029]/g;
const plainLineBreaks = EditorState.transactionFilter.of((tr): Transaction | TransactionSpec => {
  if (!tr.docChanged) return tr;
  let found = false;
  tr.changes.iterChanges((_a, _b, _c, _d, ins) => { if (separators.test(ins.toString())) found = true; separators.lastIndex = 0; });
  if (!found) return tr;
  const changes: { from: number; to: number; insert: string }[] = [];
  tr.changes.iterChanges((from, to, _c, _d, ins) => changes.push({ from, to, insert: ins.toString().replace(separators, "\n") }));
  const userEvent = tr.annotation(Transaction.userEvent);
  return { changes, selection: tr.selection, effects: tr.effects, scrollIntoView: tr.scrollIntoView, ...(userEvent ? { userEvent } : {}) };
});

// A typed character replaces the selection here, as in the desktop's edit
// control. Left to the browser, Chromium edits the lines' DOM itself and the
// editor then reads one line break too many (`a⏎b`, Ctrl+A, `x` gave `x⏎`).
const typeOverSelection = EditorView.domEventHandlers({
  beforeinput(e, view) {
    const sel = view.state.selection;
    if (e.inputType !== "insertText" || !e.data || !e.cancelable || e.isComposing || view.composing
      || sel.ranges.length > 1 || sel.main.empty || /Android/.test(navigator.userAgent)) return false;
    view.dispatch(view.state.replaceSelection(e.data), { scrollIntoView: true, userEvent: "input.type" });
    return true;
  },
});

// Ctrl+Y deletes the caret line.
function deleteLine(view: EditorView): boolean {
  const line = view.state.doc.lineAt(view.state.selection.main.head);
  const to = line.to < view.state.doc.length ? line.to + 1 : line.to;
  const from = to === line.to && line.from > 0 ? line.from - 1 : line.from;
  view.dispatch({ changes: { from, to }, selection: { anchor: from === line.from ? from : Math.min(from + 1, view.state.doc.length - (to - from)) }, userEvent: "delete" });
  return true;
}

export class Editors {
  readonly views: EditorView[] = [];
  readonly fileNames: string[] = Array(TabCount).fill(NewProgramName);
  readonly handles: (unknown | null)[] = Array(TabCount).fill(null);
  private readonly modified: boolean[] = Array(TabCount).fill(false);
  private readonly tabButtons: HTMLButtonElement[] = [];
  private readonly pages: HTMLElement[] = [];
  private readonly editable = new Compartment();
  private readonly tabSize = new Compartment();
  lastTab = -1;
  private active = 0;
  private filling = false;

  constructor(private readonly tabList: HTMLElement, pagesEl: HTMLElement, private readonly hooks: EditorHooks, tabWidth: number) {
    for (let i = 0; i < TabCount; i++) {
      const tab = document.createElement("button");
      tab.setAttribute("role", "tab");
      tab.id = `tab${i}`;
      tab.hidden = true;
      tab.addEventListener("click", () => this.activate(i));
      tab.addEventListener("keydown", (e) => this.tabKey(e, i));
      tabList.appendChild(tab);
      this.tabButtons.push(tab);
      const page = document.createElement("div");
      page.className = "page";
      page.setAttribute("role", "tabpanel");
      page.setAttribute("aria-labelledby", tab.id);
      page.hidden = true;
      pagesEl.appendChild(page);
      this.pages.push(page);
      const view = new EditorView({ parent: page, state: EditorState.create({ extensions: this.extensions(i, tabWidth) }) });
      this.views.push(view);
      this.setCaption(i, captionOf(NewProgramName));
    }
    this.tabList.parentElement!.classList.add("none");
    this.showHint(true);
  }

  private extensions(i: number, tabWidth: number): Extension[] {
    return [
      history(),
      plainLineBreaks,
      typeOverSelection,
      drawSelection(),
      highlightSpecialChars(),
      this.editable.of(EditorView.editable.of(true)),
      this.tabSize.of([EditorState.tabSize.of(tabWidth), indentUnit.of("\t")]),
      keymap.of([
        { key: "Enter", run: enterKey(() => this.hooks.autoIndent()) },
        { key: "Tab", run: (v) => { v.dispatch(v.state.replaceSelection("\t"), { userEvent: "input" }); return true; } },
        { key: "Shift-Tab", run: () => { if (!this.hooks.backTab) return false; this.hooks.backTab(); return true; } },
        { key: "Mod-y", run: deleteLine, preventDefault: true },
        { key: "Alt-Backspace", run: undo },
        ...InsertCommands.filter(([key]) => key).map(([key, caption]) => ({ key, run: (v: EditorView) => insertCommand(v, caption), preventDefault: true })),
        ...historyKeymap, ...defaultKeymap,
      ]),
      colouring(this.hooks.colourer),
      markedLine,
      EditorView.updateListener.of((u) => {
        if (u.docChanged && !this.filling) { this.modified[i] = true; this.hooks.changed(i); }
        else if (u.selectionSet) this.hooks.changed(i);
      }),
    ];
  }

  setTabWidth(width: number): void {
    for (const v of this.views) v.dispatch({ effects: this.tabSize.reconfigure([EditorState.tabSize.of(width), indentUnit.of("\t")]) });
  }

  private tabKey(e: KeyboardEvent, i: number): void {
    const d = e.key === "ArrowRight" ? 1 : e.key === "ArrowLeft" ? -1 : 0;
    if (!d || this.lastTab < 0) return;
    const next = (i + d + this.lastTab + 1) % (this.lastTab + 1);
    this.activate(next);
    this.tabButtons[next]!.focus();
    e.preventDefault();
  }

  private setCaption(i: number, caption: string): void {
    this.tabButtons[i]!.textContent = caption;
    this.views[i]!.contentDOM.setAttribute("aria-label", `Programmtext: ${caption}`);
    // How the keyboard leaves the editor (Tab types a TAB there).
    this.views[i]!.contentDOM.setAttribute("aria-describedby", "EditorHinweis");
  }

  get current(): number { return this.lastTab < 0 ? 0 : this.active; }
  get view(): EditorView { return this.views[this.current]!; }
  isModified(i = this.current): boolean { return this.modified[i]!; }
  setModified(i: number, m: boolean): void { this.modified[i] = m; }
  text(i = this.current): string { return this.views[i]!.state.doc.toString(); }

  activate(i: number): void {
    if (i < 0) { this.tabList.parentElement!.classList.add("none"); this.showHint(true); return; }
    this.tabList.parentElement!.classList.remove("none");
    this.showHint(false);
    this.active = i;
    this.tabButtons.forEach((t, k) => { t.setAttribute("aria-selected", String(k === i)); t.tabIndex = k === i ? 0 : -1; });
    this.pages.forEach((p, k) => { p.hidden = k !== i; p.classList.toggle("active", k === i); });
    this.hooks.changed(i);
  }

  /** Takes a tab for a program (the fifth is reused when all are open);
   *  `handle` is its file, where the browser gives one. */
  openTab(name: string, text: string, handle: unknown = null): number {
    if (this.lastTab < TabCount - 1) this.lastTab++;
    const i = this.lastTab;
    this.tabButtons[i]!.hidden = false;
    this.fileNames[i] = name;
    this.handles[i] = handle;
    this.setCaption(i, captionOf(name));
    this.fill(i, text);
    this.modified[i] = false;
    this.activate(i);
    return i;
  }

  fill(i: number, text: string): void {
    const v = this.views[i]!;
    this.filling = true;
    try {
      v.setState(EditorState.create({ doc: text, extensions: this.extensions(i, v.state.tabSize) }));
    } finally {
      this.filling = false;
    }
  }

  rename(i: number, name: string): void {
    this.fileNames[i] = name;
    this.setCaption(i, captionOf(name));
  }

  /** Removes the current tab; the later ones move one to the left. */
  removeCurrent(): void {
    if (this.lastTab < 0) return;
    this.tabButtons[this.lastTab]!.hidden = true;
    for (let i = this.current; i < this.lastTab; i++) {
      const from = this.views[i + 1]!;
      this.fill(i, from.state.doc.toString());
      this.views[i]!.dispatch({ selection: from.state.selection });
      this.modified[i] = this.modified[i + 1]!;
      this.fileNames[i] = this.fileNames[i + 1]!;
      this.handles[i] = this.handles[i + 1]!;
      this.setCaption(i, this.tabButtons[i + 1]!.textContent ?? "");
    }
    this.pages[this.lastTab]!.hidden = true;
    this.lastTab--;
    this.activate(this.lastTab);
  }

  setEditable(on: boolean): void {
    for (const v of this.views) v.dispatch({ effects: this.editable.reconfigure(EditorView.editable.of(on)) });
    for (const t of this.tabButtons) t.disabled = !on;
  }

  /** With no program open the hint takes the focus, so that a screen
   *  reader reads what to do rather than nothing. */
  focus(): void {
    if (this.lastTab >= 0) this.view.focus();
    else document.getElementById("EmptyHint")?.focus();
  }

  /** The active program's tab takes the focus; false when none is open. */
  focusTab(): boolean {
    if (this.lastTab < 0) return false;
    this.tabButtons[this.current]!.focus();
    return true;
  }

  private showHint(on: boolean): void {
    const hint = document.getElementById("EmptyHint");
    if (!hint) return;
    const had = hint.contains(document.activeElement);
    hint.hidden = !on;
    if (on && (document.activeElement === document.body || this.pages.some((p) => p.contains(document.activeElement)))) hint.focus();
    if (!on && had) this.view.focus();
  }

  /** Caret to a byte-mapped position, focus to the editor. */
  placeCaret(pos: number): void {
    const v = this.view;
    v.dispatch({ selection: { anchor: Math.min(pos, v.state.doc.length) }, scrollIntoView: true });
    v.focus();
  }

  markLine(line: number, cls: string): void {
    this.view.dispatch({ effects: setMarkedLine.of(line < 0 ? null : { line, cls }), scrollIntoView: false });
    if (line >= 0 && line < this.view.state.doc.lines)
      this.view.dispatch({ effects: EditorView.scrollIntoView(this.view.state.doc.line(line + 1).from) });
  }

  /** Takes over the indentation of `formatted` (the current text with only
   *  its lines' leading blanks and TABs changed) as one undo step of its own;
   *  the caret keeps its line and column, as the desktop's formatter leaves it. */
  reindent(formatted: string): void {
    const v = this.view;
    const doc = v.state.doc;
    const lines = formatted.split("\n");
    if (lines.length !== doc.lines) return;
    const changes: ChangeSpec[] = [];
    lines.forEach((f, k) => {
      const line = doc.line(k + 1);
      const was = /^[ \t]*/.exec(line.text)![0];
      const now = /^[ \t]*/.exec(f)![0];
      if (was !== now) changes.push({ from: line.from, to: line.from + was.length, insert: now });
    });
    if (!changes.length) return;
    const head = v.state.selection.main.head;
    const caretLine = doc.lineAt(head);
    const column = head - caretLine.from;
    const set = v.state.changes(changes);
    const line = set.apply(doc).line(caretLine.number);
    v.dispatch({ changes: set, selection: { anchor: line.from + Math.min(column, line.length) },
      annotations: isolateHistory.of("full"), userEvent: "format" });
  }

  caretLineColumn(): [number, number] {
    const v = this.view;
    const head = v.state.selection.main.head;
    const line = v.state.doc.lineAt(head);
    return [line.number, head - line.from + 1];
  }
}
