// A run seen from the page: compile, then the run's panel updates, waits and
// end. The run goes to a worker when the page is cross-origin isolated and
// the engine has SharedArrayBuffer (for Stop, Step and the waits), otherwise
// it runs in slices on the page itself.
import { CompileResult, Core, PanelEvent } from "./core";
import { RunEnd, RunHost, runLoop } from "./runloop";

/** The workbench's run states, numbered as on the desktop. */
export const RunState = { Idle: 1, Step: 2, Run: 3 } as const;
export type RunState = (typeof RunState)[keyof typeof RunState];
export type RunMode = typeof RunState.Step | typeof RunState.Run;

/** What the pupil is told when the machinery fails rather than the program. */
export const FailureText = {
  lost: "Der Programmlauf wurde unerwartet beendet, weil der Browser die Ausführung abgebrochen hat. Das Programm kann neu gestartet werden.",
  unstoppable: "Das Programm ließ sich nicht anhalten und wurde abgebrochen. Es kann neu gestartet werden.",
  load: "Der Programmkern von Tarko konnte nicht geladen werden. Bitte die Seite neu laden.",
} as const;

export function internalError(e: unknown): string {
  return `Interner Fehler: ${e instanceof Error ? e.message : String(e)}\nBitte benachrichtigen Sie den Programmierer von TARKO.`;
}

/** A start that failed for a reason the pupil cannot change; its message is
 *  German. `workerGone`: the worker ended before the program started, so
 *  starting it again on a new one is safe. */
export class RunFailure extends Error {
  constructor(message: string, readonly workerGone = false) { super(message); }
}

export interface PanelUpdate {
  events: PanelEvent[];
  pixels?: Uint8ClampedArray<ArrayBuffer>;
  views?: string[];
  stepLine?: number;
}

export interface RunCallbacks {
  /** The program compiled and runs; comes before any update. */
  started(): void;
  update(u: PanelUpdate): void;
  /** The program waits for a number. */
  wantsInput(): void;
  ended(end: RunEnd): void;
}

export interface RunSession {
  readonly kind: "worker" | "page";
  /** False once the session can run nothing more (its worker is gone). */
  readonly usable: boolean;
  /** Called once when the session stops being usable. */
  onLost: (() => void) | null;
  /** Compiles; on success the run starts and the callbacks follow, ending
   *  with exactly one `ended`. Rejects (a RunFailure where the cause is
   *  known) when the compile itself failed. One run at a time: a start
   *  during a run ends that run without a word to its callbacks. */
  start(bytes: Uint8Array, step: boolean, cb: RunCallbacks): Promise<CompileResult>;
  stop(): void;
  step(): void;
  input(entry: string): void;
}

/** Collects what changed on the panel since the last call. */
export class UpdateCollector {
  private canvasRev = -1;
  private viewRev = -1;
  private last = 0;
  constructor(private readonly core: Core, private readonly stepping: boolean) {}

  due(final: boolean): boolean {
    const now = performance.now();
    if (!final && now - this.last < 16) return false;
    this.last = now;
    return true;
  }

  collect(): PanelUpdate {
    const u: PanelUpdate = { events: this.core.takeEvents() };
    const rev = this.core.canvasRevision();
    if (rev !== this.canvasRev) { this.canvasRev = rev; u.pixels = this.core.canvasPixels(); }
    if (this.stepping) {
      const vr = this.core.viewRevision();
      if (vr !== this.viewRev) { this.viewRev = vr; u.views = [0, 1, 2, 3].map((v) => this.core.viewText(v)); }
      u.stepLine = this.core.stepLine();
    }
    return u;
  }
}

/** The fallback: slices on the page, each wait a promise. */
export class PageSession implements RunSession {
  readonly kind = "page";
  readonly usable = true;
  onLost: (() => void) | null = null;
  private run = 0;
  private stopFlag = false;
  private wake: (() => void) | null = null;
  private pendingInput: string | null = null;
  private stepFlag = false;
  /** The run loop in progress; the core holds one program at a time. */
  private loop: Promise<unknown> = Promise.resolve();

  constructor(private readonly core: Core) {}

  async start(bytes: Uint8Array, step: boolean, cb: RunCallbacks): Promise<CompileResult> {
    const run = ++this.run;
    this.poke();
    await this.loop;
    if (run !== this.run) throw new Error("superseded");
    const result = this.core.compile(bytes, step);
    if (!result.ok) return result;
    this.stopFlag = false;
    this.stepFlag = false;
    this.pendingInput = null;
    this.core.start(step);
    cb.started();
    const stopped = () => this.stopFlag || run !== this.run;
    const collector = new UpdateCollector(this.core, step);
    const host: RunHost = {
      stopRequested: stopped,
      input: async () => {
        cb.wantsInput();
        while (this.pendingInput === null && !stopped()) await this.sleep(Infinity);
        const entry = stopped() ? null : this.pendingInput;
        this.pendingInput = null;
        return entry;
      },
      pause: (ms) => this.sleep(ms),
      stepWait: async () => {
        while (!this.stepFlag && !stopped()) await this.sleep(Infinity);
        const s = this.stepFlag && !stopped();
        this.stepFlag = false;
        return s;
      },
      yieldNow: () => new Promise((resolve) => {
        const ch = new MessageChannel();
        ch.port1.onmessage = () => resolve();
        ch.port2.postMessage(0);
      }),
      flush: (final) => { if (collector.due(final)) cb.update(collector.collect()); },
    };
    // The caller sees the compile result before the first slice runs.
    this.loop = host.yieldNow().then(() => runLoop(this.core, host)).then((end) => {
      if (run !== this.run) return;
      cb.update(collector.collect());
      cb.ended(end);
    }, (e: unknown) => { if (run === this.run) cb.ended({ kind: "failed", text: internalError(e) }); });
    return result;
  }

  private sleep(ms: number): Promise<void> {
    return new Promise((resolve) => {
      const t = Number.isFinite(ms) ? setTimeout(() => { this.wake = null; resolve(); }, ms) : undefined;
      this.wake = () => { clearTimeout(t); this.wake = null; resolve(); };
    });
  }

  private poke(): void { this.wake?.(); }
  stop(): void { this.stopFlag = true; this.poke(); }
  step(): void { this.stepFlag = true; this.poke(); }
  input(entry: string): void { this.pendingInput = entry; this.poke(); }
}

// Shared words between the page and the worker. Run holds the id of the
// current run: a run in the worker whose id differs ends at its next check.
export const Ctl = { Stop: 0, Step: 1, Signal: 2, InputLength: 3, Run: 4 } as const;
export const CtlWords = 5;
export const EntryBytes = 256;

/** How long a stopped run may take to end before its worker is given up. */
const StopGraceMs = 3000;
/** How long a new worker may take to load the core. */
const ReadyMs = 20000;

/** Everything the worker needs, so that an engine lacking a part (WebKit
 *  has no global SharedArrayBuffer even when isolated) runs on the page. */
function workerPossible(): boolean {
  return globalThis.crossOriginIsolated === true && typeof SharedArrayBuffer === "function" && typeof Worker === "function"
    && typeof Atomics === "object" && typeof Atomics.wait === "function" && typeof Atomics.notify === "function";
}

/** The worker where the engine has all it needs and it starts, else the page. */
export async function chooseSession(core: Core, wasm: ArrayBuffer, glue: string): Promise<RunSession> {
  if (workerPossible()) {
    try {
      return await WorkerSession.create(wasm, glue);
    } catch { /* the page runs the programs instead */ }
  }
  return new PageSession(core);
}

/** The run in a worker; Stop, Step and the entry go through shared memory.
 *  A worker that ends (crash, out of memory, the browser's doing) or fails
 *  ends the run with a message and leaves the session unusable. */
export class WorkerSession implements RunSession {
  readonly kind = "worker";
  onLost: (() => void) | null = null;
  private readonly ctl: Int32Array;
  private readonly entry: Uint8Array;
  private run = 0;
  private cb: RunCallbacks | null = null;
  private compiled: { resolve(r: CompileResult): void; reject(e: Error): void } | null = null;
  private lost = false;
  private stopTimer: ReturnType<typeof setTimeout> | undefined;

  private constructor(private readonly worker: Worker, sab: SharedArrayBuffer) {
    this.ctl = new Int32Array(sab, 0, CtlWords);
    this.entry = new Uint8Array(sab, CtlWords * 4, EntryBytes);
  }

  get usable(): boolean { return !this.lost; }

  static async create(wasm: ArrayBuffer, glue: string): Promise<WorkerSession> {
    const worker = new Worker("worker.js");
    try {
      const sab = new SharedArrayBuffer(CtlWords * 4 + EntryBytes);
      // The worker holds this lock for its whole life; the page's request
      // for it is granted when the worker is gone, however it went.
      const lock = navigator.locks ? `tarko-worker-${Date.now()}-${Math.random()}` : null;
      const locked = await new Promise<boolean>((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error("worker timeout")), ReadyMs);
        worker.onmessage = (e: MessageEvent) => {
          clearTimeout(timer);
          const m = e.data as WorkerMessage;
          if (m.type === "ready") resolve(m.locked); else reject(new Error(m.type === "error" ? m.text : "worker"));
        };
        worker.onerror = (e) => { clearTimeout(timer); reject(new Error(e.message)); };
        worker.postMessage({ type: "init", wasm, glue, sab, lock } satisfies WorkerRequest);
      });
      const s = new WorkerSession(worker, sab);
      worker.onmessage = (e: MessageEvent) => s.message(e.data as WorkerMessage);
      worker.onerror = (e) => { e.preventDefault(); s.lose(internalError(e.message)); };
      if (lock && locked) void navigator.locks.request(lock, () => s.lose(FailureText.lost, true));
      return s;
    } catch (e) {
      worker.terminate();
      throw e;
    }
  }

  /** Gives the worker up: the run in progress ends with `text`. */
  private lose(text: string, gone = false): void {
    if (this.lost) return;
    this.lost = true;
    clearTimeout(this.stopTimer);
    this.worker.terminate();
    const compiled = this.compiled, cb = this.cb;
    this.compiled = null;
    this.cb = null;
    if (compiled) compiled.reject(new RunFailure(text, gone));
    else cb?.ended({ kind: "failed", text });
    this.onLost?.();
  }

  private message(m: WorkerMessage): void {
    // Answers of a run that is no longer current are dropped.
    if (!("run" in m) || m.run !== this.run) return;
    switch (m.type) {
      case "compiled": {
        const compiled = this.compiled;
        this.compiled = null;
        if (m.result.ok) this.cb?.started(); else this.cb = null;
        compiled?.resolve(m.result);
        break;
      }
      case "update": this.cb?.update(m.update); break;
      case "input": this.cb?.wantsInput(); break;
      case "end": {
        clearTimeout(this.stopTimer);
        const cb = this.cb;
        this.cb = null;
        cb?.ended(m.end);
        break;
      }
      case "failed": this.lose(internalError(m.text)); break;
      default: break;
    }
  }

  start(bytes: Uint8Array, step: boolean, cb: RunCallbacks): Promise<CompileResult> {
    if (this.lost) return Promise.reject(new RunFailure(FailureText.lost, true));
    const run = ++this.run;
    clearTimeout(this.stopTimer);
    this.stopTimer = undefined;
    this.compiled?.reject(new Error("superseded"));
    Atomics.store(this.ctl, Ctl.Run, run);
    Atomics.store(this.ctl, Ctl.Stop, 0);
    Atomics.store(this.ctl, Ctl.Step, 0);
    Atomics.store(this.ctl, Ctl.InputLength, -1);
    this.signal();
    this.cb = cb;
    return new Promise((resolve, reject) => {
      this.compiled = { resolve, reject };
      this.worker.postMessage({ type: "run", run, bytes, step } satisfies WorkerRequest);
    });
  }

  private signal(): void {
    Atomics.add(this.ctl, Ctl.Signal, 1);
    Atomics.notify(this.ctl, Ctl.Signal);
  }

  stop(): void {
    Atomics.store(this.ctl, Ctl.Stop, 1);
    this.signal();
    if (this.cb && this.stopTimer === undefined) this.stopTimer = setTimeout(() => this.lose(FailureText.unstoppable), StopGraceMs);
  }
  step(): void { Atomics.store(this.ctl, Ctl.Step, 1); this.signal(); }
  input(entry: string): void {
    const bytes = new TextEncoder().encode(entry); // digits, comma, minus: ASCII
    this.entry.set(bytes.subarray(0, EntryBytes));
    Atomics.store(this.ctl, Ctl.InputLength, Math.min(bytes.length, EntryBytes));
    this.signal();
  }
}

/** The worker's messages; all but the first answer carry their run's id. */
export type WorkerMessage =
  | { type: "ready"; locked: boolean }
  | { type: "error"; text: string }
  | { type: "compiled"; run: number; result: CompileResult }
  | { type: "update"; run: number; update: PanelUpdate }
  | { type: "input"; run: number }
  | { type: "end"; run: number; end: RunEnd }
  | { type: "failed"; run: number; text: string };

/** What the page sends the worker. */
export type WorkerRequest =
  | { type: "init"; wasm: ArrayBuffer; glue: string; sab: SharedArrayBuffer; lock: string | null }
  | { type: "run"; run: number; bytes: Uint8Array; step: boolean };
