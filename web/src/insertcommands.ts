// "Befehl einfügen": the keywords and statement skeletons, one table for the
// Alt keys and the editor's pop-up menu. ".." stands for two line breaks;
// a row without a key is a separator.
import type { EditorView } from "@codemirror/view";
import { openOn, PopupMenu } from "./popup";

export const InsertCommands: readonly [key: string, caption: string][] = [
  ["Alt-e", "Eingabe "], ["Alt-a", "Ausgabe "], ["Alt-z", "Zufallseingabe "], ["Alt-ö", "Löschen"], ["Alt-b", "Pause "],
  ["", "-"],
  ["Alt-p", "Punkt "], ["Alt-l", "Linie "], ["Alt-r", "Rechteck "], ["Alt-k", "Kreis "], ["Alt-t", "Grafiktext "],
  ["Alt-1", "Schwarz"], ["Alt-2", "Grau"], ["Alt-3", "Weiß"], ["Alt-4", "Rot"], ["Alt-5", "Gelb"], ["Alt-6", "Grün"], ["Alt-7", "Blau"],
  ["", "-"],
  ["Alt-w", "Wiederhole..Bis "], ["Alt-s", "Solange ..Solangeende"], ["Alt-f", "Falls ..Fallsende"],
  ["Alt-h", "Falls ..Ansonsten..Fallsende"],
  ["", "-"],
  ["Alt-g", "<= "], ["Alt-u", "Und"], ["Alt-o", "Oder"],
];

export function insertCommand(view: EditorView, caption: string): boolean {
  view.dispatch(view.state.replaceSelection(caption.replace(/\.\./g, "\n\n")), { scrollIntoView: true, userEvent: "input" });
  return true;
}

/** The editors' pop-up menu "Befehl einfügen"; entries insert into the view
 *  that opened it, only while `idle` says the editor may change. */
export function insertMenu(views: EditorView[], idle: () => boolean): void {
  const menu = new PopupMenu("Keywords3", "Befehl einfügen");
  let target: EditorView | null = null;
  for (const [key, caption] of InsertCommands) {
    if (!key) { menu.separator(); continue; }
    const shortcut = `Alt+${key.slice(4).toUpperCase()}`;
    menu.item(caption, () => { if (target && idle()) { insertCommand(target, caption); target.focus(); } }, shortcut);
  }
  for (const v of views) {
    const at = (): [number, number] => {
      target = v;
      const c = v.coordsAtPos(v.state.selection.main.head);
      const r = v.contentDOM.getBoundingClientRect();
      return c ? [c.left, c.bottom] : [r.left + 10, r.top + 10];
    };
    openOn(v.contentDOM, menu, at, () => { target = v; return idle(); });
  }
}
