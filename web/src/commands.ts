// The commands of the tool bar and the keyboard, their enabling, the window
// caption and the status bar.
import type { App } from "./main";
import { RunState } from "./session";
import { captionOf, NewProgramName, TabCount } from "./editors";
import { decode, encode } from "./cp1252";
import { download, openProgram, readProgram, saveProgram } from "./files";
import type { RecentFile } from "./store";
import * as dialogs from "./dialogs";
import { listingText, showOptions } from "./options";
import { $ } from "./dom";
import { Search } from "./search";

// Buttons enabled only while idle (the run state overrides everything else).
const IdleOnly = ["Zuletzt", "Optionen2", "Neu2", "Oeffnen2", "Speichern2", "Drucken2", "Ausschneiden2", "Kopieren2", "Einfuegen2",
  "Suchen2", "Ersetzen2", "Run2", "Schliessen2", "AllesSchliessen2", "SpeichernUnter2", "Beispiele", "LinkKopieren2", "LinkQr2"];

export class Commands {
  private readonly search: Search;

  constructor(private readonly app: App) {
    this.search = new Search(() => (app.runState === RunState.Idle && app.editors.lastTab >= 0 ? app.editors.view : null), () => app.core);
    const on = (id: string, f: () => unknown) => $(id).addEventListener("click", () => void f());
    on("Neu2", () => this.newProgram());
    on("Oeffnen2", () => this.open());
    on("Speichern2", () => this.save(false));
    on("SpeichernUnter2", () => this.save(true));
    on("Schliessen2", () => this.closeCurrentTab());
    on("AllesSchliessen2", () => this.closeAll());
    on("Drucken2", () => this.printListing());
    on("Optionen2", () => showOptions(app.options, app.print, () => app.editors.setTabWidth(app.options.tabs)));
    on("Ausschneiden2", () => this.clipboard("cut"));
    on("Kopieren2", () => this.clipboard("copy"));
    on("Einfuegen2", () => this.clipboard("paste"));
    on("Suchen2", () => this.find(false));
    on("Ersetzen2", () => this.find(true));
    on("Run2", () => app.compileAndRun(RunState.Run));
    on("Break2", () => app.stop());
    on("Step2", () => app.step());
    on("Hilfe2", () => this.help());
    $<HTMLSelectElement>("Zuletzt").addEventListener("change", (e) => {
      const sel = e.target as HTMLSelectElement;
      const i = sel.selectedIndex - 1;
      sel.selectedIndex = 0;
      if (i >= 0) void this.openRecent(i);
    });
    void app.keeper.recent().then((list) => this.showRecent(list));
    $<HTMLSelectElement>("Beispiele").addEventListener("change", (e) => {
      const sel = e.target as HTMLSelectElement;
      const name = sel.value;
      sel.value = "";
      if (name) void this.example(name);
    });
    // Keys before the focused control sees them, as the desktop's window does.
    document.addEventListener("keydown", (e) => this.key(e), true);
    window.addEventListener("beforeunload", (e) => {
      if (!app.leavingQuietly && app.editors.views.some((_, i) => i <= app.editors.lastTab && app.editors.isModified(i))) e.preventDefault();
    });
  }

  private key(e: KeyboardEvent): void {
    const app = this.app;
    const ctrl = e.ctrlKey || e.metaKey;
    let done = true;
    if (e.key === "F9" && ctrl) app.step();
    else if (e.key === "F9" && !e.altKey && !e.shiftKey) { if (app.runState === RunState.Idle) void app.compileAndRun(RunState.Run); }
    else if (e.key === "Escape" && app.runState !== RunState.Idle) app.stop();
    else if (e.key === "F1") this.help();
    else if (app.runState === RunState.Run && app.device.keyboard(e)) done = true;
    else if (app.runState !== RunState.Idle) done = false;
    else if (ctrl && e.key.toLowerCase() === "o") void this.open();
    else if (ctrl && !e.shiftKey && e.key.toLowerCase() === "s") void this.save(false);
    else if (e.altKey && e.key.toLowerCase() === "n") void this.newProgram();
    else if (e.altKey && e.key.toLowerCase() === "c") void this.closeCurrentTab();
    else if (ctrl && !e.altKey && e.key.toLowerCase() === "f") this.find(false);
    else if (ctrl && !e.altKey && e.key.toLowerCase() === "r") this.find(true);
    else if ((e.key === "F3" && !ctrl) || (ctrl && !e.shiftKey && e.key.toLowerCase() === "g")) this.findAgain(e.target);
    else if (ctrl && e.key.toLowerCase() === "p") this.printListing();
    else done = false;
    if (done) { e.preventDefault(); e.stopPropagation(); }
  }

  setRunState(state: RunState): void {
    const idle = state === RunState.Idle;
    for (const id of IdleOnly) ($(id) as HTMLButtonElement).disabled = !idle;
    $<HTMLButtonElement>("Break2").disabled = idle;
    $<HTMLButtonElement>("Step2").disabled = state === RunState.Run;
    this.app.tasks?.update();
  }

  updateCaptionAndCommands(): void {
    const e = this.app.editors;
    document.title = `Tarko - ${captionOf(e.fileNames[e.current]!)}`;
    $("StatusPanel1").textContent = e.lastTab >= 0 && e.isModified() ? "Geändert" : "";
    this.app.tasks?.update();
    this.showCaretPosition();
    if (this.app.runState !== 1) return;
    const open = e.lastTab >= 0;
    const hasText = open && e.view.state.doc.length > 0;
    const sel = open && !e.view.state.selection.main.empty;
    const set = (ids: string[], on: boolean) => ids.forEach((id) => { ($(id) as HTMLButtonElement).disabled = !on; });
    set(["Speichern2", "SpeichernUnter2", "Drucken2", "Suchen2", "Ersetzen2", "Run2", "LinkKopieren2", "LinkQr2"], hasText);
    set(["Schliessen2", "AllesSchliessen2", "Einfuegen2"], open);
    set(["Ausschneiden2", "Kopieren2"], sel);
    $<HTMLButtonElement>("Step2").disabled = !hasText;
  }

  showCaretPosition(): void {
    const e = this.app.editors;
    if (e.lastTab < 0) { $("StatusPanel0").textContent = ""; return; }
    const [line, col] = e.caretLineColumn();
    $("StatusPanel0").textContent = `${String(line).padStart(3)}: ${String(col).padStart(3)}`;
  }

  /** When all five tabs are in use, the fifth is replaced: offer its changes first. */
  private async fifthTabMayGo(): Promise<boolean> {
    const e = this.app.editors;
    if (e.lastTab < TabCount - 1 || !e.isModified(TabCount - 1)) return true;
    return this.askSave(TabCount - 1);
  }

  private async askSave(i: number): Promise<boolean> {
    const e = this.app.editors;
    const a = await dialogs.confirm(`Änderungen speichern in ${e.fileNames[i]}?`);
    if (a === "abbrechen") return false;
    if (a === "ja") return this.saveTab(i, false);
    return true;
  }

  async newProgram(): Promise<void> {
    if (this.app.runState !== 1 || !(await this.fifthTabMayGo())) return;
    this.app.showMessageLine(1, "");
    this.app.editors.openTab(NewProgramName, "");
    this.afterOpen();
  }

  private afterOpen(): void {
    this.app.keep();
    this.updateCaptionAndCommands();
    this.app.editors.focus();
  }

  async open(): Promise<void> {
    if (this.app.runState !== 1 || !(await this.fifthTabMayGo())) return;
    const f = await openProgram();
    if (f === null) return;
    if (typeof f === "string") { await dialogs.error(f); return; }
    this.app.showMessageLine(1, "");
    if (f.task) await this.app.tasks.open(f.name, f.task);
    else this.app.editors.openTab(f.name, f.text, f.handle);
    this.afterOpen();
  }

  private recentFiles: RecentFile[] = [];

  private showRecent(list: RecentFile[]): void {
    this.recentFiles = list;
    const sel = $<HTMLSelectElement>("Zuletzt");
    sel.replaceChildren(new Option("Zuletzt gespeichert", ""), ...list.map((r) => new Option(r.name)));
    sel.hidden = list.length === 0;
  }

  /** Opens a recently saved file again (the browser asks for permission). */
  private async openRecent(i: number): Promise<void> {
    const r = this.recentFiles[i];
    if (!r || this.app.runState !== 1 || !(await this.fifthTabMayGo())) return;
    type Permissive = FileSystemFileHandle & { requestPermission?(o: object): Promise<string> };
    try {
      const h = r.handle as Permissive;
      if (h.requestPermission && (await h.requestPermission({ mode: "readwrite" })) !== "granted") return;
      const read = await readProgram(await h.getFile());
      if (typeof read === "string") { await dialogs.error(read); return; }
      this.app.showMessageLine(1, "");
      this.app.editors.openTab(r.name, read.text, h);
      this.afterOpen();
    } catch {
      await dialogs.message("Datei konnte nicht geöffnet werden");
    }
  }

  async example(name: string): Promise<void> {
    if (this.app.runState !== 1 || !(await this.fifthTabMayGo())) return;
    const bytes = new Uint8Array(await (await fetch(`examples/${name}.trk`)).arrayBuffer());
    this.app.showMessageLine(1, "");
    this.app.editors.openTab(`${name}.trk`, decode(bytes));
    this.afterOpen();
  }

  /** A new program holding the given text (an example from the help). */
  async openText(text: string): Promise<void> {
    if (this.app.runState !== 1 || !(await this.fifthTabMayGo())) return;
    this.app.editors.openTab(NewProgramName, text);
    this.app.editors.setModified(this.app.editors.current, true);
    this.afterOpen();
    window.focus();
  }

  async save(ask: boolean): Promise<void> {
    if (this.app.runState === 1 && this.app.editors.lastTab >= 0) await this.saveTab(this.app.editors.current, ask);
  }

  /** Saves tab i; a never-saved program (or `ask`) chooses a name first. */
  async saveTab(i: number, ask: boolean): Promise<boolean> {
    const e = this.app.editors;
    const status = $("StatusPanel2");
    const before = status.textContent;
    status.textContent = "Speichern";
    const handle = e.handles[i] as FileSystemFileHandle | null;
    const r = await saveProgram(e.text(i), e.fileNames[i]!, handle, ask || !handle);
    if (!r.saved) {
      // A cancelled picker leaves everything as it was; a refused or failed
      // write leaves "Speichern" standing, as on the desktop.
      if (r.message) await dialogs.error(r.message);
      else status.textContent = before;
      return false;
    }
    status.textContent = "Fertig";
    e.handles[i] = r.handle;
    e.rename(i, r.name);
    if (r.handle) void this.app.keeper.addRecent({ name: r.name, handle: r.handle }).then((list) => this.showRecent(list));
    e.setModified(i, false);
    this.app.keep();
    this.updateCaptionAndCommands();
    return true;
  }

  async closeCurrentTab(): Promise<boolean> {
    const e = this.app.editors;
    if (this.app.runState !== 1 || e.lastTab < 0) return false;
    if (e.isModified() && !(await this.askSave(e.current))) return false;
    e.removeCurrent();
    this.app.keep();
    this.updateCaptionAndCommands();
    e.focus();
    return true;
  }

  /** One close per open tab, whatever each gives: a tab whose question was
   *  cancelled stays while the later closes take the then active tab. */
  async closeAll(): Promise<void> {
    const e = this.app.editors;
    if (this.app.runState !== 1) return;
    for (let n = e.lastTab + 1; n > 0; n--) await this.closeCurrentTab();
  }

  /** Prints through the browser, or writes the listing as a text file. */
  private printListing(): void {
    const e = this.app.editors;
    if (e.lastTab < 0) return;
    if (!this.app.print.toFile) { window.print(); return; }
    download(encode(listingText(e.text(), this.app.print)), `${captionOf(e.fileNames[e.current]!)}.txt`, "text/plain");
  }

  /** Suchen and Ersetzen, enabled while the program holds text. */
  private find(replace: boolean): void {
    const e = this.app.editors;
    if (e.lastTab < 0 || e.view.state.doc.length === 0) return;
    if (replace) this.search.showReplace(); else this.search.showFind();
  }

  private findAgain(target: EventTarget | null): void {
    if (this.app.editors.lastTab >= 0) this.search.findAgain(target);
  }

  private async clipboard(what: "cut" | "copy" | "paste"): Promise<void> {
    const v = this.app.editors.view;
    const sel = v.state.selection.main;
    try {
      if (what === "paste") {
        const t = await navigator.clipboard.readText();
        v.dispatch(v.state.replaceSelection(t), { userEvent: "input.paste" });
      } else {
        await navigator.clipboard.writeText(v.state.sliceDoc(sel.from, sel.to));
        if (what === "cut") v.dispatch({ changes: { from: sel.from, to: sel.to }, userEvent: "delete.cut" });
      }
    } catch {
      await dialogs.message("Die Zwischenablage ist in diesem Browser nur mit Strg+X, Strg+C und Strg+V erreichbar.");
    }
    v.focus();
  }

  private help(): void {
    window.open("hilfe.html", "_blank", "noopener");
  }
}
