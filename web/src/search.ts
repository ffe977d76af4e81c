// Suchen and Ersetzen as on the desktop: two dialogs that stay open while the
// pupil works in the editor, each action applying to the program then shown.
// The search always runs forward and case always counts; there are no options.
import type { EditorView } from "@codemirror/view";
import { firstUnstorable } from "./cp1252";
import * as dialogs from "./dialogs";

/** The desktop's texts (its access letters left out). */
export const SearchTexts = {
  find: "Suchen",
  replace: "Ersetzen",
  findLabel: "Suchen nach:",
  replaceLabel: "Ersetzen durch:",
  findNext: "Weitersuchen",
  replaceOnce: "Ersetzen",
  replaceAll: "Alle ersetzen",
  cancel: "Abbrechen",
} as const;

export const notFoundMessage = (what: string) => `Der Suchtext "${what}" konnte nicht gefunden werden.`;
export const unstorableReplacement = (c: string) => `Das Zeichen „${c}“ kann in einer Tarko-Datei nicht gespeichert werden.`;

/** The first exact occurrence of `what` in `text` at or after `from`; -1 if none. */
export function findFrom(text: string, what: string, from: number): number {
  return what ? text.indexOf(what, from) : -1;
}

/** The occurrences that replace all takes, left to right; each search goes
 *  on behind the last occurrence, so a replacement that holds the search
 *  text is not searched again and the replacing ends. */
export function occurrences(text: string, what: string): number[] {
  const found: number[] = [];
  for (let at = findFrom(text, what, 0); at >= 0; at = findFrom(text, what, at + what.length)) found.push(at);
  return found;
}

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

  constructor(private readonly editor: CurrentEditor) {}

  showFind(): void { this.show(this.findDialog ??= this.create(false)); }
  showReplace(): void { this.show(this.replaceDialog ??= this.create(true)); }

  /** Weitersuchen from the keyboard: on with the text last searched for;
   *  with none yet, the find dialog asks for one. */
  findAgain(): void {
    const d = this.last ?? this.findDialog;
    if (d && d.what.value) this.findNext(d.what.value);
    else this.showFind();
  }

  private show(d: Dialog): void {
    if (!d.el.open) d.el.show();
    d.what.focus();
    d.what.select();
  }

  private create(replace: boolean): Dialog {
    const t = SearchTexts;
    const el = document.createElement("dialog");
    el.id = replace ? "ReplaceDialog" : "FindDialog";
    el.className = "search";
    const title = document.createElement("div");
    title.className = "title";
    title.id = `${el.id}Title`;
    title.textContent = replace ? t.replace : t.find;
    el.setAttribute("aria-labelledby", title.id);
    const fields = document.createElement("div");
    fields.className = "fields";
    const field = (caption: string, name: string) => {
      const label = document.createElement("label");
      const input = document.createElement("input");
      input.type = "text";
      input.name = name;
      input.spellcheck = false;
      input.autocomplete = "off";
      label.append(caption, input);
      fields.append(label);
      return input;
    };
    const d: Dialog = { el, what: field(t.findLabel, "FindText") };
    if (replace) d.with = field(t.replaceLabel, "ReplaceText");
    const buttons = document.createElement("div");
    buttons.className = "buttons";
    const button = (caption: string, name: string, action: () => void) => {
      const b = document.createElement("button");
      b.type = "button";
      b.name = name;
      b.textContent = caption;
      b.addEventListener("click", action);
      buttons.append(b);
    };
    // The replace dialog's Weitersuchen searches like the find dialog's.
    button(t.findNext, "FindNext", () => { this.last = d; this.findNext(d.what.value); });
    if (replace) {
      button(t.replaceOnce, "Replace", () => void this.replace(d, false));
      button(t.replaceAll, "ReplaceAll", () => void this.replace(d, true));
    }
    button(t.cancel, "Cancel", () => el.close());
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
    if (!v || !what) return;
    const sel = v.state.selection.main;
    const at = findFrom(v.state.doc.toString(), what, sel.empty ? 0 : sel.to);
    if (at < 0) return;
    v.focus();
    v.dispatch({ selection: { anchor: at, head: at + what.length }, scrollIntoView: true });
  }

  /** Always the first occurrence of the whole text, wherever the caret is. */
  private async replace(d: Dialog, all: boolean): Promise<void> {
    const v = this.editor();
    if (!v) return;
    const what = d.what.value;
    const by = d.with!.value;
    const bad = firstUnstorable(by);
    if (bad) { await dialogs.error(unstorableReplacement(bad.char)); return; }
    const text = v.state.doc.toString();
    const found = all ? occurrences(text, what) : [findFrom(text, what, 0)].filter((at) => at >= 0);
    if (!found.length) { await dialogs.error(notFoundMessage(what)); return; }
    const moved = (found.length - 1) * (by.length - what.length);
    v.dispatch({
      changes: found.map((at) => ({ from: at, to: at + what.length, insert: by })),
      selection: { anchor: found[found.length - 1]! + moved + by.length },
      scrollIntoView: true,
      userEvent: "input.replace",
    });
  }
}
