// The page: editor tabs, the device and the commands between them.
import { CompileResult, Core, loadCore, ModuleFactory } from "./core";
import { encode, OffsetMap } from "./cp1252";
import { Device } from "./device";
import { captionOf, Editors, NewProgramName } from "./editors";
import { recolour, sharedColourer } from "./colouring";
import { chooseSession, FailureText, internalError, RunCallbacks, RunFailure, RunMode, RunSession, RunState } from "./session";
import { RunEnd } from "./runloop";
import { loadOptions, TabKeeper } from "./store";
import { Commands } from "./commands";
import * as dialogs from "./dialogs";
import { screenMenu } from "./screenmenu";
import { insertMenu } from "./insertcommands";
import { listingText, PrintOptions } from "./options";
import { $ } from "./dom";
import { announceUpdates } from "./updates";

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
      if (e.key === " " && this.runState === RunState.Step) { e.preventDefault(); this.step(); }
    });
    insertMenu(this.editors.views, () => this.runState === RunState.Idle && this.editors.lastTab >= 0);
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
    this.setRunState(RunState.Idle);
    this.editors.focus();
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
        if (mode === RunState.Step) this.showIde(true);
      },
      update: (u) => {
        if (run.done) return;
        this.device.apply(u.events, u.pixels);
        if (u.views) ["DebugMemo", "StackMemo", "DataMemo", "CodeMemo"].forEach((id, k) => this.setMemo(id, u.views![k]!));
        if (u.stepLine !== undefined) this.editors.markLine(u.stepLine, "step-line");
      },
      wantsInput: () => { if (!run.done) this.device.setInputMode(true); },
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
    if (m.type === "example" && typeof m.text === "string" && app.runState === RunState.Idle) void app.commands.openText(m.text);
  };
}

const app = new App();
registerServiceWorker(app);
announceUpdates(app);
listenToHelp(app);
(window as unknown as { tarko: App }).tarko = app;
void app.start();
