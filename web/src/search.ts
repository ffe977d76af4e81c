// Suchen and Ersetzen as on the desktop: two dialogs that stay open while the
// pupil works in the editor, each action applying to the program then shown.
// Texts and search come from the core, as the desktop has them: always
// forward, case always counts, no options.
import type { EditorView } from "@codemirror/view";
import type { Core } from "./core";
import { encode, firstUnstorable, OffsetMap } from "./cp1252";
import * as dialogs from "./dialogs";

/** The editor the actions apply to, or null when none may change now (no
 *  program open, or a program running). Its change listener marks a
 *  replacement as a change. */
export type CurrentEditor = () => EditorView | null;

interface Dialog { el: HTMLDialogElement; what: HTMLInputElement; with?: HTMLInputElement }

export class Search {
  private findDialog: Dialog | null = null;
  private replaceDialog: Dialog | null = null;
  /** The dialog searched with last: F3 searches on with its text. */
  private last: Dialog | null = null;
  private texts = new Map<string, string>();

  constructor(private readonly editor: CurrentEditor, private readonly core: () => Core | null) {}

  showFind(): void { const d = this.dialog(false); if (d) this.show(d); }
  showReplace(): void { const d = this.dialog(true); if (d) this.show(d); }

  /** Weitersuchen from the keyboard: with the text of the dialog the key
   *  was pressed in, else the one last searched for; with none yet, the
   *  find dialog asks for one. */
  findAgain(target: EventTarget | null): void {
    const inside = [this.findDialog, this.replaceDialog].find((d) => d && target instanceof Node && d.el.contains(target));
    if (inside) this.last = inside;
    const d = this.last ?? this.findDialog;
    if (d && d.what.value) this.findNext(d.what.value);
    else this.showFind();
  }

  private dialog(replace: boolean): Dialog | null {
    if (replace) return this.replaceDialog ??= this.create(true);
    return this.findDialog ??= this.create(false);
  }

  private show(d: Dialog): void {
    if (!d.el.open) d.el.show();
    d.what.focus();
    d.what.select();
  }

  /** A text of the dialogs; an access letter's "&" is left out, since the
   *  page keeps the Alt keys for its commands. */
  private text(key: string, insert = ""): string {
    return (this.texts.get(key) ?? "").replace("&", "").replace("%1", () => insert);
  }

  /** Null until the core is there (the texts come from it). */
  private create(replace: boolean): Dialog | null {
    const core = this.core();
    if (!core) return null;
    if (!this.texts.size) this.texts = core.searchTexts();
    const el = document.createElement("dialog");
    el.id = replace ? "ReplaceDialog" : "FindDialog";
    el.className = "search";
    const title = document.createElement("div");
    title.className = "title";
    title.id = `${el.id}Title`;
    title.textContent = this.text(replace ? "ReplaceTitle" : "FindTitle");
    el.setAttribute("aria-labelledby", title.id);
    const fields = document.createElement("div");
    fields.className = "fields";
    const field = (key: string, name: string) => {
      const label = document.createElement("label");
      const input = document.createElement("input");
      input.type = "text";
      input.name = name;
      input.spellcheck = false;
      input.autocomplete = "off";
      label.append(this.text(key), input);
      fields.append(label);
      return input;
    };
    const d: Dialog = { el, what: field("FindLabel", "FindText") };
    if (replace) d.with = field("ReplaceLabel", "ReplaceText");
    const buttons = document.createElement("div");
    buttons.className = "buttons";
    const button = (name: string, action: () => void) => {
      const b = document.createElement("button");
      b.type = "button";
      b.name = name;
      b.textContent = this.text(name);
      b.addEventListener("click", action);
      buttons.append(b);
    };
    // The replace dialog's Weitersuchen searches like the find dialog's.
    button("FindNext", () => { this.last = d; this.findNext(d.what.value); });
    if (replace) {
      button("Replace", () => void this.replace(d, false));
      button("ReplaceAll", () => void this.replace(d, true));
    }
    button("Cancel", () => el.close());
    el.addEventListener("keydown", (e) => {
      if (e.key === "Enter" && e.target instanceof HTMLInputElement) {
        // Weitersuchen is the default button.
        e.preventDefault();
        this.last = d;
        this.findNext(d.what.value);
      } else if (e.key === "Escape") {
        e.preventDefault();
        el.close();
      }
    });
    const body = document.createElement("div");
    body.className = "body";
    body.append(fields, buttons);
    el.append(title, body);
    document.body.append(el);
    return d;
  }

  /** Behind the selection, or from the beginning when nothing is selected
   *  (not from the caret); nothing more to find is silent. */
  private findNext(what: string): void {
    const v = this.editor();
    const core = this.core();
    if (!v || !core || !what) return;
    const text = v.state.doc.toString();
    const sel = v.state.selection.main;
    const needle = encode(what);
    const at = core.find(encode(text), needle, sel.empty ? 0 : encode(text.slice(0, sel.to)).length);
    if (at < 0) return;
    const map = new OffsetMap(text, 0);
    v.focus();
    v.dispatch({ selection: { anchor: map.pos(at), head: map.pos(at + needle.length) }, scrollIntoView: true });
  }

  /** Always the first occurrence of the whole text, wherever the caret is. */
  private async replace(d: Dialog, all: boolean): Promise<void> {
    const v = this.editor();
    const core = this.core();
    if (!v || !core) return;
    const what = d.what.value;
    const by = d.with!.value;
    const bad = firstUnstorable(by);
    if (bad) { await dialogs.error(this.text("Unstorable", bad.char)); return; }
    const text = v.state.doc.toString();
    const bytes = encode(text), needle = encode(what);
    const found = all ? core.occurrences(bytes, needle) : [core.find(bytes, needle, 0)].filter((at) => at >= 0);
    if (!found.length) { await dialogs.error(this.text("NotFound", what)); return; }
    const map = new OffsetMap(text, 0);
    const changes = v.state.changes(found.map((b) => ({ from: map.pos(b), to: map.pos(b + needle.length), insert: by })));
    // The caret behind the last text put in, as the desktop leaves it.
    const end = map.pos(found[found.length - 1]! + needle.length);
    v.dispatch({ changes, selection: { anchor: changes.mapPos(end, 1) }, scrollIntoView: true, userEvent: "input.replace" });
  }
}
