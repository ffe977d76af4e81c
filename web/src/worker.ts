// The worker that runs programs: its own instance of the core, blocked in
// Atomics.wait while the program waits for the user.
import { Core, loadCore, ModuleFactory } from "./core";
import { runLoop, RunHost } from "./runloop";
import { Ctl, CtlWords, EntryBytes, UpdateCollector, WorkerMessage } from "./session";

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
function waitSignal(ms: number): void {
  const seen = Atomics.load(ctl, Ctl.Signal);
  if (Atomics.load(ctl, Ctl.Stop)) return;
  Atomics.wait(ctl, Ctl.Signal, seen, Number.isFinite(ms) ? ms : undefined);
}

function host(collector: UpdateCollector): RunHost {
  const stopped = () => Atomics.load(ctl, Ctl.Stop) !== 0;
  return {
    stopRequested: stopped,
    input: async () => {
      send({ type: "input" });
      for (;;) {
        const n = Atomics.exchange(ctl, Ctl.InputLength, -1);
        if (n >= 0) return new TextDecoder().decode(entry.slice(0, n));
        if (stopped()) return null;
        waitSignal(Infinity);
      }
    },
    pause: async (ms) => {
      const until = performance.now() + ms;
      while (!stopped() && performance.now() < until) waitSignal(until - performance.now());
    },
    stepWait: async () => {
      for (;;) {
        if (stopped()) return false;
        if (Atomics.exchange(ctl, Ctl.Step, 0)) return true;
        waitSignal(Infinity);
      }
    },
    yieldNow: async () => {},
    flush: (final) => { if (collector.due(final)) send({ type: "update", update: collector.collect() }); },
  };
}

async function init(wasm: ArrayBuffer, glue: string, sab: SharedArrayBuffer): Promise<void> {
  ctl = new Int32Array(sab, 0, CtlWords);
  entry = new Uint8Array(sab, CtlWords * 4, EntryBytes);
  importScripts(glue);
  const factory = (globalThis as unknown as { createTarko: ModuleFactory }).createTarko;
  core = await loadCore(factory, wasm);
  send({ type: "ready" });
}

async function run(bytes: Uint8Array, step: boolean): Promise<void> {
  const c = core!;
  const result = c.compile(bytes, step);
  send({ type: "compiled", result });
  if (!result.ok) return;
  c.start(step);
  const collector = new UpdateCollector(c, step);
  let end;
  try {
    end = await runLoop(c, host(collector));
  } catch (e) {
    end = { kind: "fault" as const, text: String(e), line: -1 };
  }
  send({ type: "update", update: collector.collect() });
  send({ type: "end", end });
}

self.onmessage = (e: MessageEvent) => {
  const m = e.data as { type: string; wasm: ArrayBuffer; glue: string; sab: SharedArrayBuffer; bytes: Uint8Array; step: boolean };
  if (m.type === "init") init(m.wasm, m.glue, m.sab).catch((err: unknown) => send({ type: "error", text: String(err) }));
  else if (m.type === "run") void run(m.bytes, m.step);
};
