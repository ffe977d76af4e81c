// The page: editor tabs, the device and the commands between them.
import { Core, loadCore, ModuleFactory } from "./core";
import { encode, OffsetMap } from "./cp1252";
import { Device } from "./device";
import { captionOf, Editors, NewProgramName } from "./editors";
import { recolour, sharedColourer } from "./colouring";
import { PageSession, RunCallbacks, RunSession, WorkerSession } from "./session";
import { loadOptions, TabKeeper } from "./store";
import { Commands } from "./commands";
import * as dialogs from "./dialogs";
import { screenMenu } from "./screenmenu";
import { insertMenu } from "./insertcommands";
import { listingText, PrintOptions } from "./options";
import { $ } from "./dom";

function loadGlue(): Promise<ModuleFactory> {
  return new Promise((resolve, reject) => {
    const s = document.createElement("script");
    s.src = "tarko.js";
    s.onload = () => resolve((window as unknown as { createTarko: ModuleFactory }).createTarko);
    s.onerror = () => reject(new Error("tarko.js"));
    document.head.appendChild(s);
  });
}

export class App {
  core: Core | null = null;
  session: RunSession | null = null;
  runState = 1;
  /** From a successful compile until the run has really ended. */
  private busy = false;
  /** The reload that makes the page cross-origin isolated asks nothing
   *  (every tab's text is kept in the browser anyway). */
  leavingQuietly = false;
  /** Counts the starts that are over (run ended or compile error). */
  finishedRuns = 0;
  readonly options = loadOptions();
  readonly print: PrintOptions = { margin: "5", lineNumbers: false, toFile: false };
  readonly keeper = new TabKeeper();
  readonly editors: Editors;
  readonly device: Device;
  readonly commands: Commands;

  constructor() {
    const colourFor = sharedColourer(() => this.core);
    this.editors = new Editors($("tabs"), $("pages"), {
      colourer: colourFor,
      changed: (i) => this.changed(i),
      autoIndent: () => this.options.autoTab,
    }, this.options.tabs);
    this.device = new Device($("RunMemo"), $<HTMLCanvasElement>("RunImage"), $("keypad"),
      (entry) => this.core?.numberValid(entry) ?? false,
      (entry) => this.session?.input(entry));
    this.commands = new Commands(this);
    // The browser's print (Ctrl+P too) gives the listing of the active program.
    window.addEventListener("beforeprint", () => {
      $("PrintListing").textContent = listingText(this.editors.lastTab < 0 ? "" : this.editors.text(), this.print);
    });
    // In the debug view the space bar steps as well.
    $("IdeForm").addEventListener("keydown", (e) => {
      if (e.key === " " && this.runState === 2) { e.preventDefault(); this.step(); }
    });
    insertMenu(this.editors.views, () => this.runState === 1 && this.editors.lastTab >= 0);
    screenMenu([$("RunMemo"), $("RunImage")],
      () => `${this.editors.lastTab < 0 ? "Bild" : captionOf(this.editors.fileNames[this.editors.current]!)}.png`,
      $<HTMLCanvasElement>("RunImage"), () => this.device.consoleContent());
  }

  async start(): Promise<void> {
    const saved = await this.keeper.load();
    if (saved && saved.lastTab >= 0) {
      for (let i = 0; i <= saved.lastTab; i++) {
        const t = saved.tabs[i]!;
        this.editors.openTab(t.fileName, t.text, t.handle ?? null);
        this.editors.setModified(i, t.modified);
      }
      this.editors.activate(Math.min(saved.active, saved.lastTab));
    } else if (!saved) {
      this.editors.openTab(NewProgramName, "");
    }
    this.setRunState(1);
    this.editors.focus();
    const [factory, wasm] = await Promise.all([loadGlue(), fetch("tarko.wasm").then((r) => r.arrayBuffer())]);
    this.core = await loadCore(factory, wasm.slice(0));
    this.session = crossOriginIsolated ? await WorkerSession.create(wasm, new URL("tarko.js", location.href).href) : new PageSession(this.core);
    for (const v of this.editors.views) v.dispatch({ effects: recolour.of(null) });
    document.body.dataset["ready"] = crossOriginIsolated ? "worker" : "page";
  }

  /** Every change of text or caret: caption, commands, status, and the
   *  tabs kept in the browser. */
  changed(i: number): void {
    if (i === this.editors.current) this.commands.updateCaptionAndCommands();
    this.keep();
  }

  keep(): void {
    const e = this.editors;
    this.keeper.keep({
      lastTab: e.lastTab,
      active: e.current,
      tabs: e.views.map((_, i) => ({ text: e.text(i), fileName: e.fileNames[i]!, modified: e.isModified(i), handle: e.handles[i] ?? undefined })),
    });
  }

  showMessageLine(kind: number, text: string): void {
    const texts = ["", "", "Programmschritt mit F9", "Programm läuft"];
    if (kind < 0 || kind > 3) return;
    const p = $("P_Meldung");
    p.className = `k${kind}`;
    $("L_Meldung").textContent = kind === 0 ? text : texts[kind]!;
    p.title = $("L_Meldung").textContent ?? "";
  }

  setRunState(state: number): void {
    this.runState = state;
    this.showMessageLine(state, "");
    this.device.setRunning(state !== 1);
    this.editors.setEditable(state === 1);
    this.commands.setRunState(state);
    if (state === 1) this.commands.updateCaptionAndCommands();
  }

  sessionBusy(): boolean { return this.busy; }

  async compileAndRun(mode: 2 | 3): Promise<void> {
    if (!this.session || this.busy || this.editors.lastTab < 0) return;
    if (mode === 3) this.showIde(false);
    const text = this.editors.text();
    this.editors.markLine(-1, "");
    const cb: RunCallbacks = {
      started: () => {
        this.busy = true;
        this.setRunState(mode);
        // As on the desktop: after the program compiled, before it runs.
        if (this.options.autoFormat) this.editors.reindent(this.core!.format(encode(this.editors.text())));
        this.device.startRun();
        if (mode === 2) this.showIde(true);
      },
      update: (u) => {
        this.device.apply(u.events, u.pixels);
        if (u.views) ["DebugMemo", "StackMemo", "DataMemo", "CodeMemo"].forEach((id, k) => this.setMemo(id, u.views![k]!));
        if (u.stepLine !== undefined) this.editors.markLine(u.stepLine, "step-line");
      },
      wantsInput: () => this.device.setInputMode(true),
      ended: (end) => {
        this.busy = false;
        this.finishedRuns++;
        this.device.setInputMode(false);
        this.setRunState(1);
        this.showIde(false);
        this.editors.markLine(-1, "");
        this.editors.focus();
        if (end.kind === "fault") {
          if (end.line >= 0) {
            this.editors.markLine(end.line, "fault-line");
            const doc = this.editors.view.state.doc;
            if (end.line < doc.lines) this.editors.placeCaret(doc.line(end.line + 1).from);
            this.commands.showCaretPosition();
          }
          void dialogs.error(end.text);
        }
      },
    };
    const result = await this.session.start(encode(text), mode === 2, cb);
    if (!result.ok) {
      this.finishedRuns++;
      this.showMessageLine(0, result.message);
      this.editors.placeCaret(new OffsetMap(text, 0).pos(result.offset));
      this.commands.showCaretPosition();
    }
  }

  stop(): void {
    if (this.runState === 1) return;
    this.setRunState(1);
    this.editors.focus();
    this.session?.stop();
  }

  step(): void {
    if (this.runState === 1) void this.compileAndRun(2);
    else if (this.runState === 2) this.session?.step();
  }

  private setMemo(id: string, text: string): void {
    const m = $<HTMLTextAreaElement>(id);
    m.value = text;
    m.scrollTop = m.scrollHeight;
  }

  private showIde(on: boolean): void { $("IdeForm").hidden = !on; }
}

/** Offline use; where the server sends no isolation headers the service
 *  worker supplies them, which takes one reload on the first visit. */
function registerServiceWorker(app: App): void {
  if (!("serviceWorker" in navigator) || new URLSearchParams(location.search).has("nosw")) return;
  const sw = navigator.serviceWorker;
  const wasControlled = sw.controller !== null;
  sw.addEventListener("controllerchange", () => {
    if (crossOriginIsolated || wasControlled || sessionStorage.getItem("tarko.isolating")) return;
    sessionStorage.setItem("tarko.isolating", "1");
    app.leavingQuietly = true;
    void app.keeper.settled().then(() => location.reload());
  });
  sw.register("sw.js").catch(() => { /* no offline use, the page works on */ });
}

// The help page opens its examples here as new programs.
function listenToHelp(app: App): void {
  const channel = new BroadcastChannel("tarko");
  channel.onmessage = (e: MessageEvent) => {
    const m = e.data as { type?: string; text?: string };
    if (m.type === "example" && typeof m.text === "string" && app.runState === 1) void app.commands.openText(m.text);
  };
}

const app = new App();
registerServiceWorker(app);
listenToHelp(app);
(window as unknown as { tarko: App }).tarko = app;
void app.start();
