// The page: editor tabs, the device and the commands between them.
import { Core, loadCore, ModuleFactory } from "./core";
import { encode, OffsetMap } from "./cp1252";
import { Device } from "./device";
import { captionOf, Editors, NewProgramName } from "./editors";
import { recolour, sharedColourer } from "./colouring";
import { PageSession, RunCallbacks, RunSession, WorkerSession } from "./session";
import { loadOptions, TabKeeper, Trouble } from "./store";
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
  /** The page's own reloads (to become cross-origin isolated, or back from
   *  the back/forward cache) ask nothing: the first comes before any input,
   *  the second after everything typed was kept on leaving. */
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
    const colourFor = sharedColourer((b, w, u) => this.core!.colour(b, w, u));
    this.editors = new Editors($("tabs"), $("pages"), {
      colourer: (owner) => (this.core ? colourFor(owner) : null),
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

  /** `isolating` resolves true when the page is about to reload itself:
   *  then it never takes input. */
  async start(isolating: Promise<boolean> = Promise.resolve(false)): Promise<void> {
    const frame = $("window");
    frame.inert = true;
    if (await isolating) return;
    let trouble: Trouble | null = null;
    this.keeper.onTrouble = (t) => { trouble = t; };
    const saved = await this.keeper.load();
    // Showing what was read changes nothing worth writing; a page that only
    // looked then never takes the store from another.
    this.restoring = true;
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
    this.restoring = false;
    this.setRunState(1);
    frame.inert = false;
    this.editors.focus();
    this.keeper.onTrouble = (t) => this.tell(t);
    if (trouble) this.tell(trouble);
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

  private restoring = false;

  keep(): void {
    if (this.restoring) return;
    const e = this.editors;
    this.keeper.keep({
      lastTab: e.lastTab,
      active: e.current,
      tabs: e.views.map((_, i) => ({ text: e.text(i), fileName: e.fileNames[i]!, modified: e.isModified(i), handle: e.handles[i] ?? undefined })),
    });
  }

  /** Says once, where the pupil looks, that the programs are not kept. */
  private tell(t: Trouble): void {
    if (t === "elsewhere") {
      void dialogs.message("Tarko ist schon in einem anderen Tab geöffnet. Dieser Tab zeigt die Programme, wie sie dort "
        + "zuletzt aufbewahrt wurden; was du hier änderst, bewahrt der Browser nicht auf. Sichere es mit Speichern, "
        + "oder arbeite im anderen Tab weiter.");
      return;
    }
    this.showMessageLine(0, {
      unavailable: "Der Browser bewahrt die Programme nicht auf – bitte Speichern",
      full: "Der Speicher des Browsers ist voll – bitte Speichern",
      overtaken: "Tarko ist in einem anderen Tab offen – hier bitte Speichern",
    }[t]);
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
 *  worker supplies them, which takes one reload on the first visit. That
 *  reload comes before the editor takes any input (the result is true then),
 *  or not at all in this visit when the worker takes too long. */
function registerServiceWorker(app: App): Promise<boolean> {
  if (!("serviceWorker" in navigator) || new URLSearchParams(location.search).has("nosw")) return Promise.resolve(false);
  const sw = navigator.serviceWorker;
  let tried = true;
  try { tried = sessionStorage.getItem("tarko.isolating") !== null; } catch { /* no session storage: never reload */ }
  const waits = !crossOriginIsolated && sw.controller === null && !tried;
  let settle: (reload: boolean) => void = () => undefined;
  const isolating = new Promise<boolean>((resolve) => {
    if (!waits) { resolve(false); return; }
    settle = resolve;
    setTimeout(() => resolve(false), IsolationWait);
    sw.addEventListener("controllerchange", () => resolve(true), { once: true });
  }).then((reload) => {
    if (reload) {
      try { sessionStorage.setItem("tarko.isolating", "1"); } catch { /* checked above */ }
      app.leavingQuietly = true;
      // Replaced, not reloaded: Chromium keeps a reloaded document (here not
      // isolated, empty) in its back/forward cache and may show it again on
      // a later reload of the isolated page.
      location.replace(location.href);
    }
    return reload;
  });
  // A worker that cannot be installed isolates nothing: start at once.
  sw.register("sw.js").then((r) => {
    const w = r.installing ?? r.waiting;
    w?.addEventListener("statechange", () => { if (w.state === "redundant") settle(false); });
  }).catch(() => settle(false));
  return isolating;
}

/** How long a first visit waits for the service worker before it starts
 *  without isolation (runs go on the page until the next visit). */
const IsolationWait = 10000;

// The help page opens its examples here as new programs.
function listenToHelp(app: App): void {
  const channel = new BroadcastChannel("tarko");
  channel.onmessage = (e: MessageEvent) => {
    const m = e.data as { type?: string; text?: string };
    if (m.type === "example" && typeof m.text === "string" && app.runState === 1) void app.commands.openText(m.text);
  };
}

const app = new App();
const isolating = registerServiceWorker(app);
listenToHelp(app);
(window as unknown as { tarko: App }).tarko = app;
// What this page read of the store may be stale once it comes back from the
// back/forward cache: it starts afresh instead (it wrote everything on leaving).
addEventListener("pagehide", () => app.keeper.leave());
addEventListener("pageshow", (e) => {
  if (!e.persisted) return;
  app.leavingQuietly = true;
  location.replace(location.href);
});
void app.start(isolating);
