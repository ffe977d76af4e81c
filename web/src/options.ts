// The options dialog: tab width, automatic indenting and formatting (kept in the
// browser), and the listing's margin, line numbers and file output (kept
// for this visit only, as on the desktop).
import { isTabWidth, Options, saveOptions, TabKeeper } from "./store";
import * as dialogs from "./dialogs";
import { $ } from "./dom";

export interface PrintOptions { margin: string; lineNumbers: boolean; toFile: boolean }

export function showOptions(o: Options, print: PrintOptions, applied: () => void): void {
  const dlg = $<HTMLDialogElement>("OptionForm");
  $<HTMLInputElement>("E_Tabs").value = String(o.tabs);
  $<HTMLInputElement>("CB_AutoTab").checked = o.autoTab;
  $<HTMLInputElement>("CB_AutoFormat").checked = o.autoFormat;
  $<HTMLInputElement>("E_LinkerRand").value = print.margin;
  $<HTMLInputElement>("CB_ZeilenNr").checked = print.lineNumbers;
  $<HTMLInputElement>("CB_DateiDruck").checked = print.toFile;
  $<HTMLInputElement>("CB_Kontrast").checked = o.contrast;
  dlg.onclose = () => {
    if (dlg.returnValue !== "ok") return;
    const tabs = Number.parseInt($<HTMLInputElement>("E_Tabs").value, 10);
    if (isTabWidth(tabs)) o.tabs = tabs;
    o.autoTab = $<HTMLInputElement>("CB_AutoTab").checked;
    o.autoFormat = $<HTMLInputElement>("CB_AutoFormat").checked;
    print.margin = $<HTMLInputElement>("E_LinkerRand").value;
    print.lineNumbers = $<HTMLInputElement>("CB_ZeilenNr").checked;
    print.toFile = $<HTMLInputElement>("CB_DateiDruck").checked;
    o.contrast = $<HTMLInputElement>("CB_Kontrast").checked;
    applyContrast(o);
    saveOptions(o);
    applied();
  };
  dlg.returnValue = "";
  dlg.showModal();
}

/** "Kontrastreiche Farben": the darker scheme of the style sheet. */
export function applyContrast(o: Options): void {
  document.documentElement.classList.toggle("kontrast", o.contrast);
}

/** The listing's lines: line number ("%.4d") when asked, the margin of
 *  blanks (the number modulo 256; no whole number gives none), the line. */
export function listing(text: string, p: PrintOptions): string[] {
  const lines = text.split("\n");
  if (lines.length && lines[lines.length - 1] === "") lines.pop();
  const m = /^\s*[-+]?\d+\s*$/.test(p.margin) ? ((Number.parseInt(p.margin, 10) % 256) + 256) % 256 : 0;
  const margin = " ".repeat(m);
  return lines.map((l, i) => `${p.lineNumbers ? String(i + 1).padStart(4, "0") : ""}${margin}${l}`);
}

/** The listing as one text, each line ended by a line break. */
export function listingText(text: string, p: PrintOptions): string {
  return listing(text, p).map((l) => `${l}\n`).join("");
}

export const ForgetQuestion = "Alles, was Tarko in diesem Browser aufbewahrt, wird gelöscht: die Programme in allen Karteireitern "
  + "(ungespeicherte Programme und Änderungen sind dann verloren), die Liste der zuletzt gespeicherten Dateien und die Optionen. "
  + "Mit Speichern gesicherte Dateien bleiben erhalten. Wirklich alles löschen?";

/** "Alles in diesem Browser löschen" (for shared devices): after the
 *  question, the other open pages of the site are told to keep nothing more,
 *  the store is cleared and this page starts afresh. */
export async function forgetAll(keeper: TabKeeper, leaveQuietly: () => void): Promise<void> {
  const dlg = $<HTMLDialogElement>("OptionForm");
  dlg.returnValue = "cancel";
  dlg.close();
  if (await dialogs.confirm(ForgetQuestion) !== "ja") return;
  try {
    const channel = new BroadcastChannel("tarko");
    channel.postMessage({ type: "forget" });
    channel.close();
  } catch { /* no other pages to tell */ }
  await keeper.forget();
  leaveQuietly();
  location.replace(location.href.replace(/#.*$/, ""));
}
