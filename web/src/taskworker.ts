// The worker that checks programs against a task. Each check runs to its end
// (or the time limit) inside the core in one call, so this worker blocks
// while checking and the page never does; it needs no shared memory.
import type { ModuleFactory, TarkoModule } from "./core";
import type { TaskReply, TaskRequest } from "./tasks";
import { encode } from "./cp1252";

declare function importScripts(...urls: string[]): void;
declare function postMessage(m: TaskReply): void;

interface TaskModule extends TarkoModule {
  _tarko_task_load(text: number, length: number): number;
  _tarko_task_text(): number;
  _tarko_task_text_length(): number;
  _tarko_task_check(index: number, timeLimit: number): number;
  _tarko_task_verdict(): number;
  _tarko_task_verdict_length(): number;
  _tarko_task_begin(fields: number, length: number): number;
  _tarko_task_add_case(input: number, length: number, hidden: number, timeLimit: number): number;
  _tarko_task_file(): number;
}

let module: Promise<TaskModule> | null = null;

function withBytes<T>(m: TaskModule, bytes: Uint8Array, f: (p: number, n: number) => T): T {
  const p = m._malloc(Math.max(1, bytes.length));
  try {
    m.HEAPU8.set(bytes, p);
    return f(p, bytes.length);
  } finally {
    m._free(p);
  }
}

const utf8 = (m: TaskModule, p: number, n: number) => new TextDecoder().decode(m.HEAPU8.slice(p, p + n));

/** Loads the task into the core: its public part as JSON, or the German reason. */
function load(m: TaskModule, task: Uint8Array): { ok: boolean; text: string } {
  const ok = withBytes(m, task, (p, n) => m._tarko_task_load(p, n)) === 1;
  return { ok, text: utf8(m, m._tarko_task_text(), m._tarko_task_text_length()) };
}

/** Runs the model on every case's input, as tarko-run --task-create does. */
function create(m: TaskModule, r: Extract<TaskRequest, { type: "create" }>): { ok: boolean; text: string } {
  const fields = new TextEncoder().encode(`${r.title}\0${r.text}\0${r.starter}`);
  withBytes(m, fields, (p, n) => m._tarko_task_begin(p, n));
  withBytes(m, r.program, (p, n) => m._tarko_compile(p, n, 0));
  for (const [i, c] of r.cases.entries()) {
    const lines = c.input.split(/\r?\n/);
    while (lines.length && lines[lines.length - 1]!.trim() === "") lines.pop();
    for (const [k, line] of lines.entries()) {
      if (withBytes(m, encode(line), (p, n) => m._tarko_number_valid(p, n)) !== 1)
        return { ok: false, text: `Test ${i + 1}, Zeile ${k + 1}: Ungültige Zahl "${line}"` };
    }
    const input = encode(lines.map((l) => `${l}\n`).join(""));
    if (withBytes(m, input, (p, n) => m._tarko_task_add_case(p, n, c.hidden ? 1 : 0, r.timeLimit)) !== 1)
      return { ok: false, text: `Die Musterlösung besteht Test ${i + 1} nicht: ${utf8(m, m._tarko_task_text(), m._tarko_task_text_length())}` };
  }
  const n = m._tarko_task_file();
  return { ok: true, text: utf8(m, m._tarko_task_text(), n) };
}

async function handle(r: TaskRequest): Promise<void> {
  const m = await module!;
  if (r.type === "create") {
    postMessage({ type: "loaded", id: r.id, ...create(m, r) });
    return;
  }
  const loaded = load(m, r.task);
  if (r.type === "load" || !loaded.ok) {
    postMessage({ type: "loaded", id: r.id, ok: loaded.ok, text: loaded.text });
    return;
  }
  const cases = (JSON.parse(loaded.text) as { cases: unknown[] }).cases.length;
  r.programs.forEach((program, p) => {
    withBytes(m, program, (ptr, n) => m._tarko_compile(ptr, n, 0));
    for (let c = 0; c < cases; c++) {
      const passed = m._tarko_task_check(c, r.timeLimit) === 1;
      const v = JSON.parse(utf8(m, m._tarko_task_verdict(), m._tarko_task_verdict_length())) as { status: string; text: string };
      postMessage({ type: "verdict", id: r.id, program: p, case: c, passed, status: v.status, text: v.text });
    }
  });
  postMessage({ type: "done", id: r.id });
}

self.onmessage = (e: MessageEvent) => {
  const r = e.data as TaskRequest | { type: "init"; wasm: ArrayBuffer; glue: string };
  if (r.type === "init") {
    module = (async () => {
      importScripts(r.glue);
      const factory = (globalThis as unknown as { createTarko: ModuleFactory }).createTarko;
      return (await factory({ wasmBinary: r.wasm })) as TaskModule;
    })();
    return;
  }
  handle(r).catch((err: unknown) => postMessage({ type: "failed", id: r.id, text: String(err) }));
};
