// Tasks (".tarko-aufgabe"): the task panel beside the editor with "Prüfen",
// and "Klasse prüfen" for a teacher. The core judges every case in a worker
// of its own, so a program that never ends costs the time limit, never the page.
import type { App } from "./main";
import { RunState, FailureText } from "./session";
import { encode } from "./cp1252";
import { download, readProgram } from "./files";
import * as dialogs from "./dialogs";

/** Seconds per case, as tarko-run --task uses by default. */
export const TaskTimeLimit = 10;

export type TaskRequest =
  | { type: "load"; id: number; task: Uint8Array }
  | { type: "check"; id: number; task: Uint8Array; programs: Uint8Array[]; timeLimit: number }
  | { type: "create"; id: number; program: Uint8Array; title: string; text: string; starter: string;
      cases: { input: string; hidden: boolean }[]; timeLimit: number };
export type TaskReply =
  | { type: "loaded"; id: number; ok: boolean; text: string }
  | { type: "verdict"; id: number; program: number; case: number; passed: boolean; status: string; text: string }
  | { type: "done"; id: number }
  | { type: "failed"; id: number; text: string };

export interface TaskInfo { title: string; text: string; starter: string; cases: { hidden: boolean }[] }
export type Verdict = Extract<TaskReply, { type: "verdict" }>;

interface Pending { resolve(r: TaskReply): void; reject(e: Error): void; verdict?(v: Verdict): void }

/** The checking worker, started when first needed and replaced after a failure. */
class Checker {
  private worker: Promise<Worker> | null = null;
  private next = 1;
  private readonly pending = new Map<number, Pending>();

  private start(): Promise<Worker> {
    this.worker ??= (async () => {
      const r = await fetch("tarko.wasm");
      if (!r.ok) throw new Error(FailureText.load);
      const wasm = await r.arrayBuffer();
      const w = new Worker("taskworker.js");
      w.onmessage = (e: MessageEvent) => this.reply(e.data as TaskReply);
      w.onerror = () => this.lose(FailureText.load);
      w.postMessage({ type: "init", wasm, glue: new URL("tarko.js", location.href).href }, [wasm]);
      return w;
    })().catch((e: unknown) => { this.worker = null; throw e instanceof Error ? e : new Error(String(e)); });
    return this.worker;
  }

  private reply(r: TaskReply): void {
    const p = this.pending.get(r.id);
    if (!p) return;
    if (r.type === "verdict") { p.verdict?.(r); return; }
    this.pending.delete(r.id);
    if (r.type === "failed") p.reject(new Error(r.text));
    else p.resolve(r);
  }

  private lose(text: string): void {
    void this.worker?.then((w) => w.terminate());
    this.worker = null;
    const waiting = [...this.pending.values()];
    this.pending.clear();
    for (const p of waiting) p.reject(new Error(text));
  }

  private async ask(r: TaskRequest, verdict?: (v: Verdict) => void): Promise<TaskReply> {
    const w = await this.start();
    return new Promise((resolve, reject) => {
      this.pending.set(r.id, { resolve, reject, verdict });
      w.postMessage(r);
    });
  }

  async load(task: Uint8Array): Promise<{ ok: boolean; text: string }> {
    const r = await this.ask({ type: "load", id: this.next++, task });
    return r.type === "loaded" ? r : { ok: false, text: "" };
  }

  /** Runs every program on every case; a task the core refuses gives its reason. */
  async check(task: Uint8Array, programs: Uint8Array[], verdict: (v: Verdict) => void): Promise<string | null> {
    const r = await this.ask({ type: "check", id: this.next++, task, programs, timeLimit: TaskTimeLimit }, verdict);
    return r.type === "loaded" ? r.text : null;
  }

  /** A task file's text from the model program, or the German reason it cannot be made. */
  async create(program: Uint8Array, title: string, text: string, starter: string, cases: { input: string; hidden: boolean }[]): Promise<{ ok: boolean; text: string }> {
    const r = await this.ask({ type: "create", id: this.next++, program, title, text, starter, cases, timeLimit: TaskTimeLimit });
    return r.type === "loaded" ? r : { ok: false, text: "" };
  }

  /** Ends the checks under way (the panel was closed). */
  cancel(): void { if (this.pending.size) this.lose(""); }
}

function el<K extends keyof HTMLElementTagNameMap>(tag: K, props: Partial<HTMLElementTagNameMap[K]> = {}, ...children: (Node | string)[]): HTMLElementTagNameMap[K] {
  const e = Object.assign(document.createElement(tag), props);
  e.append(...children);
  return e;
}

const baseName = (name: string) => name.replace(/\.[^.]*$/, "");
const caseName = (i: number, t: TaskInfo) => `Test ${i + 1}${t.cases[i]!.hidden ? " (versteckt)" : ""}`;

export class Tasks {
  private readonly checker = new Checker();
  /** Its own worker, so a task opened or closed meanwhile leaves the class check alone. */
  private readonly classChecker = new Checker();
  private task: { name: string; bytes: Uint8Array; info: TaskInfo } | null = null;
  private checking = false;
  private readonly panel: HTMLElement;
  private readonly title = el("h2", { id: "TaskTitle" });
  private readonly text = el("div", { className: "text" });
  private readonly check = el("button", { type: "button", textContent: "Prüfen", title: "Das Programm mit allen Tests der Aufgabe prüfen" });
  private readonly results = el("ul", { className: "results" });
  private readonly summary = el("p", { className: "summary" });
  private readonly classDialog: HTMLDialogElement;

  constructor(private readonly app: App) {
    const close = el("button", { type: "button", textContent: "×", title: "Aufgabe schließen", className: "close" });
    close.setAttribute("aria-label", "Aufgabe schließen");
    this.results.setAttribute("aria-label", "Ergebnis der Prüfung");
    this.summary.setAttribute("role", "status");
    this.panel = el("aside", { id: "TaskPanel", hidden: true },
      el("div", { className: "head" }, this.title, close), this.text, el("div", { className: "buttons" }, this.check), this.results, this.summary);
    this.panel.setAttribute("aria-labelledby", "TaskTitle");
    document.getElementById("P_Run")!.before(this.panel);
    close.addEventListener("click", () => this.close());
    this.check.addEventListener("click", () => void this.checkProgram());
    this.classDialog = this.buildClassDialog();
    document.getElementById("B_KlassePruefen")?.addEventListener("click", () => this.showClassCheck());
    this.createDialog = this.buildCreateDialog();
    document.getElementById("B_AufgabeErstellen")?.addEventListener("click", () => this.showCreate());
  }

  /** "Prüfen" only while nothing runs or is checked and a program is open. */
  update(): void {
    this.check.disabled = this.checking || this.app.runState !== RunState.Idle || this.app.editors.lastTab < 0;
  }

  /** Opens a task file: its text beside the editor, its starter program in a
   *  new tab. The caller has made room for that tab. */
  async open(name: string, bytes: Uint8Array): Promise<void> {
    let loaded: { ok: boolean; text: string };
    // A check under way (perhaps of a program that never ends) would make the load wait.
    this.checker.cancel();
    try {
      loaded = await this.checker.load(bytes);
    } catch (e) {
      await dialogs.error(e instanceof Error && e.message ? e.message : FailureText.load);
      return;
    }
    if (!loaded.ok) { await dialogs.error(`Aufgabe ${name} kann nicht geöffnet werden: ${loaded.text}`); return; }
    const info = JSON.parse(loaded.text) as TaskInfo;
    this.checking = false;
    this.task = { name, bytes, info };
    this.title.textContent = info.title;
    this.text.textContent = info.text;
    this.results.replaceChildren();
    this.results.removeAttribute("aria-busy");
    this.summary.textContent = "";
    this.panel.hidden = false;
    this.app.editors.openTab(`${baseName(name)}.trk`, info.starter.replace(/\r\n?/g, "\n"));
    this.update();
  }

  close(): void {
    this.checker.cancel();
    this.checking = false;
    this.task = null;
    this.panel.hidden = true;
    this.update();
    this.app.editors.focus();
  }

  /** Runs every case against the current tab's program, a line per case. */
  private async checkProgram(): Promise<void> {
    const t = this.task;
    if (!t || this.check.disabled) return;
    this.checking = true;
    this.update();
    this.results.replaceChildren();
    this.results.setAttribute("aria-busy", "true");
    this.summary.textContent = "Prüfe …";
    let passed = 0;
    try {
      await this.checker.check(t.bytes, [encode(this.app.editors.text())], (v) => {
        if (v.passed) passed++;
        this.results.append(el("li", { className: v.passed ? "ok" : "failed", textContent: v.text }));
      });
      this.summary.textContent = `${passed} von ${t.info.cases.length} Tests bestanden`;
    } catch (e) {
      if (this.task !== t) return;
      // An empty reason: the check was given up for another task.
      this.summary.textContent = e instanceof Error && e.message ? e.message : "Abgebrochen";
    } finally {
      if (this.task === t) {
        this.checking = false;
        this.results.removeAttribute("aria-busy");
        this.update();
      }
    }
  }

  // ---- Klasse prüfen: one task, the programs of a class, a table ----------

  private classTask: HTMLInputElement | null = null;
  private classFiles: HTMLInputElement | null = null;
  private classTable = el("table");
  private classStatus = el("p", { className: "summary" });
  private csv: string[][] = [];
  private csvName = "";

  private buildClassDialog(): HTMLDialogElement {
    this.classTask = el("input", { type: "file", accept: ".tarko-aufgabe" });
    this.classFiles = el("input", { type: "file", accept: ".trk,.TRK", multiple: true });
    const run = el("button", { type: "button", textContent: "Programme prüfen" });
    const save = el("button", { type: "button", textContent: "Als CSV speichern", disabled: true });
    const close = el("button", { type: "button", textContent: "Schließen" });
    this.classStatus.setAttribute("role", "status");
    this.classTable.setAttribute("aria-label", "Ergebnisse der Klasse");
    const dlg = el("dialog", { id: "ClassCheck" },
      el("div", { className: "title" }, "Klasse prüfen"),
      el("label", {}, "Aufgabe: ", this.classTask), el("label", {}, "Programme der Klasse: ", this.classFiles),
      el("div", { className: "buttons" }, run, save, close),
      this.classStatus, el("div", { className: "table" }, this.classTable));
    dlg.setAttribute("aria-label", "Klasse prüfen");
    document.body.append(dlg);
    run.addEventListener("click", () => {
      run.disabled = save.disabled = true;
      void this.checkClass().finally(() => { run.disabled = false; save.disabled = this.csv.length === 0; });
    });
    save.addEventListener("click", () => this.saveCsv());
    close.addEventListener("click", () => dlg.close());
    return dlg;
  }

  showClassCheck(): void {
    if (!this.classDialog.open) this.classDialog.showModal();
  }

  private async checkClass(): Promise<void> {
    const taskFile = this.classTask!.files?.[0];
    const files = [...(this.classFiles!.files ?? [])];
    this.csv = [];
    this.classTable.replaceChildren();
    if (!taskFile || files.length === 0) { this.classStatus.textContent = "Bitte eine Aufgabe und die Programme der Klasse wählen."; return; }
    const bytes = new Uint8Array(await taskFile.arrayBuffer());
    const programs: Uint8Array[] = [];
    const unreadable = new Map<number, string>();
    for (const [i, f] of files.entries()) {
      const r = await readProgram(f);
      if (typeof r === "string") unreadable.set(i, r);
      programs.push(typeof r === "string" ? new Uint8Array() : encode(r.text));
    }
    let info: TaskInfo;
    try {
      const loaded = await this.classChecker.load(bytes);
      if (!loaded.ok) { this.classStatus.textContent = `Aufgabe ${taskFile.name} kann nicht geöffnet werden: ${loaded.text}`; return; }
      info = JSON.parse(loaded.text) as TaskInfo;
    } catch (e) {
      this.classStatus.textContent = e instanceof Error && e.message ? e.message : FailureText.load;
      return;
    }
    const header = ["Datei", ...info.cases.map((_, i) => caseName(i, info)), "Bestanden"];
    this.classTable.append(el("thead", {}, el("tr", {}, ...header.map((h) => el("th", { scope: "col", textContent: h })))));
    const body = el("tbody");
    this.classTable.append(body);
    const rows = files.map((f, i) => {
      const cells = info.cases.map(() => el("td", { textContent: "…" }));
      const total = el("td");
      body.append(el("tr", {}, el("th", { scope: "row", textContent: f.name }), ...cells, total));
      const csv = [f.name, ...info.cases.map(() => ""), ""];
      if (unreadable.has(i)) cells.forEach((c, k) => { c.textContent = "✗"; c.title = unreadable.get(i)!; csv[k + 1] = `✗ ${unreadable.get(i)!}`; });
      return { cells, total, csv, passed: 0 };
    });
    this.classStatus.textContent = `Prüfe ${files.length} Programme …`;
    const checked = programs.map((p, i) => ({ p, i })).filter((x) => !unreadable.has(x.i));
    try {
      await this.classChecker.check(bytes, checked.map((x) => x.p), (v) => {
        const row = rows[checked[v.program]!.i]!;
        const cell = row.cells[v.case]!;
        cell.textContent = v.passed ? "✓" : "✗";
        cell.title = v.text;
        cell.className = v.passed ? "ok" : "failed";
        row.csv[v.case + 1] = v.text;
        if (v.passed) row.passed++;
      });
    } catch (e) {
      this.classStatus.textContent = e instanceof Error && e.message ? e.message : FailureText.load;
      return;
    }
    for (const r of rows) {
      r.total.textContent = `${r.passed} von ${info.cases.length}`;
      r.csv[r.csv.length - 1] = r.total.textContent;
    }
    this.csv = [header, ...rows.map((r) => r.csv)];
    this.csvName = `${baseName(taskFile.name)} - Ergebnisse.csv`;
    this.classStatus.textContent = `${files.length} Programme geprüft`;
  }

  /** UTF-8 with a byte order mark and semicolons, as spreadsheets here expect. */
  private saveCsv(): void {
    if (!this.csv.length) return;
    const field = (s: string) => (/[;"\r\n]/.test(s) ? `"${s.replace(/"/g, '""')}"` : s);
    const text = `\uFEFF${this.csv.map((r) => r.map(field).join(";")).join("\r\n")}\r\n`;
    download(new Blob([text], { type: "text/csv;charset=utf-8" }), this.csvName, "text/csv");
  }

  // ---- Aufgabe erstellen: the current program as the model solution -------

  private readonly createDialog: HTMLDialogElement;
  private readonly createTitle = el("input", { type: "text", size: 30 });
  private readonly createText = el("textarea", { rows: 4, cols: 40 });
  private readonly createStarter = el("textarea", { rows: 2, cols: 40 });
  private readonly createCases = el("div", { className: "cases" });
  private readonly createStatus = el("p", { className: "summary" });

  private addCase(): void {
    const n = this.createCases.children.length + 1;
    const input = el("textarea", { rows: 2, cols: 20 });
    input.setAttribute("aria-label", `Eingabe für Test ${n}`);
    const hidden = el("input", { type: "checkbox" });
    hidden.setAttribute("aria-label", `Test ${n} versteckt`);
    this.createCases.append(el("div", { className: "case" }, `Test ${n}: `, input, el("label", {}, hidden, " versteckt")));
  }

  private buildCreateDialog(): HTMLDialogElement {
    const more = el("button", { type: "button", textContent: "Test hinzufügen" });
    const make = el("button", { type: "button", textContent: "Aufgabe speichern" });
    const close = el("button", { type: "button", textContent: "Schließen" });
    this.createStatus.setAttribute("role", "status");
    const dlg = el("dialog", { id: "TaskCreate" },
      el("div", { className: "title" }, "Aufgabe erstellen"),
      el("p", { className: "hint" }, "Das Programm im aktiven Karteireiter ist die Musterlösung. Eingabe: eine Zahl je Zeile."),
      el("label", {}, "Titel: ", this.createTitle), el("label", {}, "Aufgabentext:", this.createText),
      el("label", {}, "Startprogramm:", this.createStarter), this.createCases,
      el("div", { className: "buttons" }, more, make, close), this.createStatus);
    dlg.setAttribute("aria-label", "Aufgabe erstellen");
    document.body.append(dlg);
    this.addCase();
    more.addEventListener("click", () => this.addCase());
    make.addEventListener("click", () => {
      make.disabled = true;
      void this.createTask().finally(() => { make.disabled = false; });
    });
    close.addEventListener("click", () => dlg.close());
    return dlg;
  }

  showCreate(): void {
    if (!this.createDialog.open) this.createDialog.showModal();
  }

  /** Runs the model on each input in the worker and downloads the task file. */
  private async createTask(): Promise<void> {
    const title = this.createTitle.value.trim();
    const cases = [...this.createCases.querySelectorAll(".case")].map((c) => ({
      input: c.querySelector("textarea")!.value, hidden: c.querySelector("input")!.checked,
    }));
    if (this.app.editors.lastTab < 0) { this.createStatus.textContent = "Es ist kein Programm geöffnet."; return; }
    if (!title || /[\r\n]/.test(title)) { this.createStatus.textContent = "Bitte einen Titel (eine Zeile) angeben."; return; }
    this.createStatus.textContent = "Die Musterlösung läuft …";
    try {
      const r = await this.classChecker.create(encode(this.app.editors.text()), title,
        this.createText.value.replace(/\r\n?/g, "\n").replace(/\n+$/, ""), this.createStarter.value.replace(/\r\n?/g, "\n").replace(/\n+$/, ""), cases);
      if (!r.ok) { this.createStatus.textContent = r.text; return; }
      const name = `${title.replace(/[\\/:*?"<>|]/g, "_")}.tarko-aufgabe`;
      download(new Blob([r.text], { type: "text/plain;charset=utf-8" }), name, "text/plain");
      this.createStatus.textContent = `${name} gespeichert`;
    } catch (e) {
      this.createStatus.textContent = e instanceof Error && e.message ? e.message : FailureText.load;
    }
  }
}
