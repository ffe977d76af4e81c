// A run seen from the page: compile, then the run's panel updates, waits and
// end. The run goes to a worker when the page is cross-origin isolated
// (SharedArrayBuffer for Stop, Step and the waits), otherwise it runs in
// slices on the page itself.
import { CompileResult, Core, PanelEvent } from "./core";
import { RunEnd, RunHost, runLoop } from "./runloop";

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
  /** Compiles; on success the run starts and the callbacks follow. */
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
  private stopFlag = false;
  private wake: (() => void) | null = null;
  private pendingInput: string | null = null;
  private stepFlag = false;

  constructor(private readonly core: Core) {}

  async start(bytes: Uint8Array, step: boolean, cb: RunCallbacks): Promise<CompileResult> {
    const result = this.core.compile(bytes, step);
    if (!result.ok) return result;
    this.stopFlag = false;
    this.stepFlag = false;
    this.pendingInput = null;
    this.core.start(step);
    cb.started();
    const collector = new UpdateCollector(this.core, step);
    const host: RunHost = {
      stopRequested: () => this.stopFlag,
      input: async () => {
        cb.wantsInput();
        while (this.pendingInput === null && !this.stopFlag) await this.sleep(Infinity);
        const entry = this.stopFlag ? null : this.pendingInput;
        this.pendingInput = null;
        return entry;
      },
      pause: (ms) => this.sleep(ms),
      stepWait: async () => {
        while (!this.stepFlag && !this.stopFlag) await this.sleep(Infinity);
        const s = this.stepFlag && !this.stopFlag;
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
    void host.yieldNow().then(() => runLoop(this.core, host)).then((end) => { cb.update(collector.collect()); cb.ended(end); },
      (e: unknown) => cb.ended({ kind: "fault", text: String(e), line: -1 }));
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

// Shared words between the page and the worker.
export const Ctl = { Stop: 0, Step: 1, Signal: 2, InputLength: 3 } as const;
export const CtlWords = 4;
export const EntryBytes = 256;

/** The run in a worker; Stop, Step and the entry go through shared memory. */
export class WorkerSession implements RunSession {
  private readonly ctl: Int32Array;
  private readonly entry: Uint8Array;
  private cb: RunCallbacks | null = null;
  private compiled: ((r: CompileResult) => void) | null = null;

  private constructor(private readonly worker: Worker, sab: SharedArrayBuffer) {
    this.ctl = new Int32Array(sab, 0, CtlWords);
    this.entry = new Uint8Array(sab, CtlWords * 4, EntryBytes);
  }

  static async create(wasm: ArrayBuffer, glue: string): Promise<WorkerSession> {
    const worker = new Worker("worker.js");
    const sab = new SharedArrayBuffer(CtlWords * 4 + EntryBytes);
    const s = new WorkerSession(worker, sab);
    await new Promise<void>((resolve, reject) => {
      worker.onmessage = (e: MessageEvent) => {
        const m = e.data as WorkerMessage;
        if (m.type === "ready") resolve(); else reject(new Error(m.type === "error" ? m.text : "worker"));
        // From now on every message belongs to a run.
        worker.onmessage = (ev: MessageEvent) => s.message(ev.data as WorkerMessage);
      };
      worker.onerror = (e) => reject(new Error(e.message));
      worker.postMessage({ type: "init", wasm, glue, sab });
    });
    return s;
  }

  private message(m: WorkerMessage): void {
    switch (m.type) {
      case "compiled": this.compiled?.(m.result); this.compiled = null; break;
      case "update": this.cb?.update(m.update); break;
      case "input": this.cb?.wantsInput(); break;
      case "end": { const cb = this.cb; this.cb = null; cb?.ended(m.end); break; }
      default: break;
    }
  }

  start(bytes: Uint8Array, step: boolean, cb: RunCallbacks): Promise<CompileResult> {
    Atomics.store(this.ctl, Ctl.Stop, 0);
    Atomics.store(this.ctl, Ctl.Step, 0);
    Atomics.store(this.ctl, Ctl.InputLength, -1);
    this.cb = cb;
    return new Promise((resolve) => {
      this.compiled = (r) => {
        if (r.ok) cb.started(); else this.cb = null;
        resolve(r);
      };
      this.worker.postMessage({ type: "run", bytes, step });
    });
  }

  private signal(): void {
    Atomics.add(this.ctl, Ctl.Signal, 1);
    Atomics.notify(this.ctl, Ctl.Signal);
  }

  stop(): void { Atomics.store(this.ctl, Ctl.Stop, 1); this.signal(); }
  step(): void { Atomics.store(this.ctl, Ctl.Step, 1); this.signal(); }
  input(entry: string): void {
    const bytes = new TextEncoder().encode(entry); // digits, comma, minus: ASCII
    this.entry.set(bytes.subarray(0, EntryBytes));
    Atomics.store(this.ctl, Ctl.InputLength, Math.min(bytes.length, EntryBytes));
    this.signal();
  }
}

export type WorkerMessage =
  | { type: "ready" }
  | { type: "error"; text: string }
  | { type: "compiled"; result: CompileResult }
  | { type: "update"; update: PanelUpdate }
  | { type: "input" }
  | { type: "end"; end: RunEnd };
