// The worker that runs programs: its own instance of the core, blocked in
// Atomics.wait while the program waits for the user.
import { Core, loadCore, ModuleFactory } from "./core";
import { runLoop, RunHost } from "./runloop";
import { Ctl, CtlWords, EntryBytes, UpdateCollector, WorkerMessage, WorkerRequest } from "./session";

declare function importScripts(...urls: string[]): void;
declare function postMessage(m: WorkerMessage, transfer?: Transferable[]): void;

let core: Core | null = null;
let ctl: Int32Array<ArrayBufferLike> = new Int32Array(CtlWords);
let entry: Uint8Array<ArrayBufferLike> = new Uint8Array(EntryBytes);

function send(m: WorkerMessage): void {
  const transfer: Transferable[] = [];
  if (m.type === "update" && m.update.pixels) transfer.push(m.update.pixels.buffer);
  postMessage(m, transfer);
}

/** Blocks until the page signals or ms pass; the signal word's value
 *  is read first so no signal is lost. */
function waitSignal(ms: number, stopped: () => boolean): void {
  const seen = Atomics.load(ctl, Ctl.Signal);
  if (stopped()) return;
  Atomics.wait(ctl, Ctl.Signal, seen, Number.isFinite(ms) ? ms : undefined);
}

/** The run `run` is over when Stop was given or a newer run was started. */
function host(run: number, collector: UpdateCollector): RunHost {
  const stopped = () => Atomics.load(ctl, Ctl.Stop) !== 0 || Atomics.load(ctl, Ctl.Run) !== run;
  return {
    stopRequested: stopped,
    input: async () => {
      send({ type: "input", run });
      for (;;) {
        // Stop first: an entry meant for a newer run stays for that run.
        if (stopped()) return null;
        const n = Atomics.exchange(ctl, Ctl.InputLength, -1);
        if (n >= 0) return new TextDecoder().decode(entry.slice(0, n));
        waitSignal(Infinity, stopped);
      }
    },
    pause: async (ms) => {
      const until = performance.now() + ms;
      while (!stopped() && performance.now() < until) waitSignal(until - performance.now(), stopped);
    },
    stepWait: async () => {
      for (;;) {
        if (stopped()) return false;
        if (Atomics.exchange(ctl, Ctl.Step, 0)) return true;
        waitSignal(Infinity, stopped);
      }
    },
    yieldNow: async () => {},
    flush: (final) => { if (collector.due(final)) send({ type: "update", run, update: collector.collect() }); },
  };
}

async function init(wasm: ArrayBuffer, glue: string, sab: SharedArrayBuffer, lock: string | null): Promise<void> {
  ctl = new Int32Array(sab, 0, CtlWords);
  entry = new Uint8Array(sab, CtlWords * 4, EntryBytes);
  importScripts(glue);
  const factory = (globalThis as unknown as { createTarko: ModuleFactory }).createTarko;
  core = await loadCore(factory, wasm);
  // Held until this worker ends, so the page learns of its end.
  const locks = navigator.locks as LockManager | undefined;
  const locked = lock !== null && locks !== undefined && await new Promise<boolean>((held) => {
    locks.request(lock, () => { held(true); return new Promise(() => {}); }).catch(() => held(false));
  });
  send({ type: "ready", locked });
}

/** Every failure of the core or the loop is answered, so the page never waits in vain. */
async function run(id: number, bytes: Uint8Array, step: boolean): Promise<void> {
  // A start that a newer one has replaced before it got here is not run.
  if (Atomics.load(ctl, Ctl.Run) !== id) return;
  try {
    const c = core!;
    const result = c.compile(bytes, step);
    send({ type: "compiled", run: id, result });
    if (!result.ok) return;
    c.start(step);
    const collector = new UpdateCollector(c, step);
    const end = await runLoop(c, host(id, collector));
    send({ type: "update", run: id, update: collector.collect() });
    send({ type: "end", run: id, end });
  } catch (e) {
    send({ type: "failed", run: id, text: e instanceof Error ? e.message : String(e) });
  }
}

self.onmessage = (e: MessageEvent) => {
  const m = e.data as WorkerRequest;
  if (m.type === "init") init(m.wasm, m.glue, m.sab, m.lock).catch((err: unknown) => send({ type: "error", text: String(err) }));
  else if (m.type === "run") void run(m.run, m.bytes, m.step);
};
