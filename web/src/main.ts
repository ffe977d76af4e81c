// The page: editor tabs, the device and the commands between them.
import { CompileResult, Core, loadCore, ModuleFactory } from "./core";
import { encode, OffsetMap } from "./cp1252";
import { Device } from "./device";
import { captionOf, Editors, NewProgramName } from "./editors";
import { recolour, sharedColourer } from "./colouring";
import { chooseSession, FailureText, internalError, RunCallbacks, RunFailure, RunMode, RunSession, RunState } from "./session";
import { RunEnd } from "./runloop";
import { loadOptions, TabKeeper, Trouble } from "./store";
import { Commands } from "./commands";
import { Tasks } from "./tasks";
import * as dialogs from "./dialogs";
import { screenMenu } from "./screenmenu";
import { insertMenu } from "./insertcommands";
import { applyContrast, forgetAll, listingText, PrintOptions } from "./options";
import { Links } from "./links";
import { $ } from "./dom";
import { announceUpdates } from "./updates";
import { Announcer } from "./speech";

function loadGlue(): Promise<ModuleFactory> {
  return new Promise((resolve, reject) => {
    const s = document.createElement("script");
    s.src = "tarko.js";
    s.onload = () => resolve((window as unknown as { createTarko: ModuleFactory }).createTarko);
    s.onerror = () => { s.remove(); reject(new Error("tarko.js")); };
    document.head.appendChild(s);
  });
}

async function fetchModule(): Promise<ArrayBuffer> {
  const r = await fetch("tarko.wasm");
  if (!r.ok) throw new Error(`tarko.wasm: ${r.status}`);
  return r.arrayBuffer();
}

/** One start, from the moment it was accepted until its run has ended. */
interface Run {
  /** Stop was given; a new start may follow at once and waits for the end. */
  stopping: boolean;
  done: boolean;
  over: Promise<void>;
  finish(): void;
}

export class App {
  core: Core | null = null;
  session: RunSession | null = null;
  runState: RunState = RunState.Idle;
  /** Set before anything is awaited, so a second start during the compile
   *  (a double-click, F9 F9) finds it and does nothing. */
  private run: Run | null = null;
  private glue: Promise<ModuleFactory> | null = null;
  private wasm: ArrayBuffer | null = null;
  private loading: Promise<RunSession> | null = null;
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
  readonly tasks: Tasks;
  readonly links: Links;
  readonly announcer = new Announcer($("Ansage"), () => this.core);

  constructor() {
    applyContrast(this.options);
    const colourFor = sharedColourer(() => this.core);
    this.editors = new Editors($("tabs"), $("pages"), {
      colourer: colourFor,
      changed: (i) => this.changed(i),
      autoIndent: () => this.options.autoTab,
      // Umschalt+Tab leads from the editor to the device's screen, as on the desktop.
      backTab: () => { ($("RunMemo").hidden ? $("RunImage") : $("RunMemo")).focus(); },
    }, this.options.tabs);
    this.device = new Device($("RunMemo"), $<HTMLCanvasElement>("RunImage"), $("keypad"),
      (entry) => this.core?.numberValid(entry) ?? false,
      (entry) => {
        this.session?.input(entry);
        // In the debug view the space bar steps on at once.
        if (this.runState === RunState.Step) $("IdeForm").focus();
      },
      $<HTMLInputElement>("RunEntry"), this.announcer);
    // ... and from the screen on to the tab of the program.
    for (const id of ["RunMemo", "RunImage"]) $(id).addEventListener("keydown", (e) => {
      if (e.key === "Tab" && e.shiftKey && !e.ctrlKey && !e.altKey && this.editors.focusTab()) e.preventDefault();
    });
    this.commands = new Commands(this);
    this.tasks = new Tasks(this);
    this.links = new Links(this);
    $("B_AllesLoeschen").addEventListener("click", () => void forgetAll(this.keeper, () => { this.leavingQuietly = true; }));
    // The browser's print (Ctrl+P too) gives the listing of the active program.
    window.addEventListener("beforeprint", () => {
      $("PrintListing").textContent = listingText(this.editors.lastTab < 0 ? "" : this.editors.text(), this.print);
    });
    // In the debug view the space bar steps as well.
    $("IdeForm").addEventListener("keydown", (e) => {
      if (e.key === " " && this.runState === RunState.Step) { e.preventDefault(); this.step(); }
    });
    insertMenu(this.editors.views, () => this.runState === RunState.Idle && this.editors.lastTab >= 0);
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
    this.setRunState(RunState.Idle);
    frame.inert = false;
    this.editors.focus();
    this.keeper.onTrouble = (t) => this.tell(t);
    if (trouble) this.tell(trouble);
    await this.links.openFromAddress();
    try {
      await this.sessionReady();
    } catch (e) {
      this.showMessageLine(0, e instanceof RunFailure ? e.message : internalError(e));
    }
  }

  /** The session that runs programs; loads the core first where that has not
   *  succeeded yet (so F9 tries again), and replaces a lost worker. */
  private sessionReady(): Promise<RunSession> {
    if (this.session?.usable) return Promise.resolve(this.session);
    this.loading ??= this.loadSession().finally(() => { this.loading = null; });
    return this.loading;
  }

  private async loadSession(): Promise<RunSession> {
    if (!this.core || !this.wasm) {
      try {
        this.glue ??= loadGlue().catch((e: unknown) => { this.glue = null; throw e; });
        const [factory, wasm] = await Promise.all([this.glue, fetchModule()]);
        this.core = await loadCore(factory, wasm.slice(0));
        this.wasm = wasm;
      } catch (e) {
        console.error(e);
        throw new RunFailure(FailureText.load);
      }
      for (const v of this.editors.views) v.dispatch({ effects: recolour.of(null) });
    }
    const session = await chooseSession(this.core, this.wasm, new URL("tarko.js", location.href).href);
    // A worker lost between runs is replaced at once, not at the next F9.
    session.onLost = () => { void this.sessionReady().catch(() => { /* said at the next start */ }); };
    this.session = session;
    document.body.dataset["ready"] = session.kind;
    return session;
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

  setRunState(state: RunState): void {
    const idle = state === RunState.Idle;
    this.runState = state;
    this.showMessageLine(state, "");
    this.device.setRunning(!idle);
    this.editors.setEditable(idle);
    this.commands.setRunState(state);
    if (idle) this.commands.updateCaptionAndCommands();
  }

  /** A start was accepted and its run has not ended yet. */
  sessionBusy(): boolean { return this.run !== null; }

  async compileAndRun(mode: RunMode): Promise<void> {
    const previous = this.run;
    if ((previous && !previous.stopping) || this.editors.lastTab < 0) return;
    let finish = () => {};
    const run: Run = { stopping: false, done: false, over: new Promise<void>((r) => { finish = r; }), finish: () => finish() };
    this.run = run;
    try {
      // F9 right after Stop: the stopped run ends first.
      if (previous) await previous.over;
      if (mode === RunState.Run) this.showIde(false);
      this.editors.markLine(-1, "");
      const [result, text] = await this.startOn(run, mode, true);
      if (!result.ok) {
        this.endRun(run);
        this.showMessageLine(0, result.message);
        this.editors.placeCaret(new OffsetMap(text, 0).pos(result.offset));
        this.commands.showCaretPosition();
      }
    } catch (e) {
      this.ended(run, { kind: "failed", text: e instanceof RunFailure ? e.message : internalError(e) });
    }
  }

  /** Compiles the current text and, if that succeeds, starts it. */
  private async startOn(run: Run, mode: RunMode, again: boolean): Promise<[CompileResult, string]> {
    const session = await this.sessionReady();
    const text = this.editors.text();
    try {
      return [await session.start(encode(text), mode === RunState.Step, this.callbacks(run, mode)), text];
    } catch (e) {
      // A worker lost before this program started: once more on a new one.
      if (!again || !(e instanceof RunFailure && e.workerGone)) throw e;
      return this.startOn(run, mode, false);
    }
  }

  private callbacks(run: Run, mode: RunMode): RunCallbacks {
    return {
      started: () => {
        if (run.done) return;
        this.setRunState(mode);
        // As on the desktop: after the program compiled, before it runs.
        if (this.options.autoFormat) this.editors.reindent(this.core!.format(encode(this.editors.text())));
        this.device.startRun();
        if (mode === RunState.Step) {
          this.showIde(true);
          // The space bar steps at once.
          $("IdeForm").focus();
        }
      },
      update: (u) => {
        if (run.done) return;
        this.device.apply(u.events, u.pixels);
        if (u.views) ["DebugMemo", "StackMemo", "DataMemo", "CodeMemo"].forEach((id, k) => this.setMemo(id, u.views![k]!));
        if (u.stepLine !== undefined) this.editors.markLine(u.stepLine, "step-line");
      },
      wantsInput: () => { if (!run.done) this.device.setInputMode(true, mode === RunState.Run); },
      ended: (end) => this.ended(run, end),
    };
  }

  /** The start is over; the next may begin. */
  private endRun(run: Run): void {
    run.done = true;
    this.finishedRuns++;
    if (this.run === run) this.run = null;
    run.finish();
  }

  private ended(run: Run, end: RunEnd): void {
    if (run.done) return;
    this.device.setInputMode(false);
    this.setRunState(RunState.Idle);
    this.showIde(false);
    this.editors.markLine(-1, "");
    this.editors.focus();
    // Told once the focus is back, or the focus change would cut it short.
    this.announcer.output();
    if (end.kind === "fault") {
      if (end.line >= 0) {
        this.editors.markLine(end.line, "fault-line");
        const doc = this.editors.view.state.doc;
        if (end.line < doc.lines) this.editors.placeCaret(doc.line(end.line + 1).from);
        this.commands.showCaretPosition();
      }
    }
    // Without a core nothing can run: the message line keeps saying so.
    if (end.kind === "failed" && !this.session) this.showMessageLine(0, end.text);
    if (end.kind !== "ended") void dialogs.error(end.text);
    this.endRun(run);
  }

  stop(): void {
    if (this.runState === RunState.Idle) return;
    if (this.run) this.run.stopping = true;
    this.setRunState(RunState.Idle);
    this.editors.focus();
    this.session?.stop();
  }

  step(): void {
    if (this.runState === RunState.Idle) void this.compileAndRun(RunState.Step);
    else if (this.runState === RunState.Step) this.session?.step();
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
    // Everything was deleted in another page: write nothing back.
    if (m.type === "forget") { app.keeper.stopKeeping(); app.showMessageLine(0, "In einem anderen Tab wurde alles gelöscht – hier bitte Speichern"); }
    if (m.type === "example" && typeof m.text === "string" && app.runState === RunState.Idle) void app.commands.openText(m.text);
  };
}

const app = new App();
const isolating = registerServiceWorker(app);
announceUpdates(app);
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
