// The wasm module of the C++ core, wrapped with typed calls. Texts cross as
// Windows-1252 bytes in memory from _malloc (see the module's C interface).
import { decode, encode } from "./cp1252";

const utf8 = new TextEncoder();

export interface TarkoModule {
  HEAPU8: Uint8Array;
  HEAP32: Int32Array;
  _malloc(n: number): number;
  _free(p: number): void;
  _tarko_compile(text: number, length: number, debugView: number): number;
  _tarko_error_message(): number;
  _tarko_error_message_length(): number;
  _tarko_error_offset(): number;
  _tarko_error_line(): number;
  _tarko_start(step: number, seed: number): number;
  _tarko_run_slice(max: number): number;
  _tarko_pause_seconds(): number;
  _tarko_pause_done(): void;
  _tarko_number_valid(entry: number, length: number): number;
  _tarko_enter_number(entry: number, length: number): number;
  _tarko_step(): void;
  _tarko_stop(): void;
  _tarko_fault_text(): number;
  _tarko_fault_text_length(): number;
  _tarko_fault_line(): number;
  _tarko_step_line(): number;
  _tarko_events(): number;
  _tarko_events_length(): number;
  _tarko_events_clear(): void;
  _tarko_canvas_rgba(): number;
  _tarko_canvas_revision(): number;
  _tarko_view_text(view: number): number;
  _tarko_view_length(view: number): number;
  _tarko_view_revision(): number;
  _tarko_colour(text: number, length: number, windows: number, count: number, unchangedBefore: number): number;
  _tarko_runs(): number;
  _tarko_format(text: number, length: number): number;
  _tarko_formatted(): number;
  _tarko_search_texts(): number;
  _tarko_search_texts_length(): number;
  _tarko_find(text: number, length: number, what: number, whatLength: number, from: number): number;
  _tarko_occurrences(text: number, length: number, what: number, whatLength: number): number;
  _tarko_found(): number;
  _tarko_speech_written(utf8: number, length: number, nowMs: number): void;
  _tarko_speech_clear(): void;
  _tarko_speech_due(nowMs: number): number;
  _tarko_speech_take(): number;
  _tarko_speech_text(): number;
}

export type ModuleFactory = (options: { wasmBinary: ArrayBuffer; locateFile?: (f: string) => string }) => Promise<TarkoModule>;

export const enum Status { Running = 0, Input = 1, Pause = 2, StepWait = 3, Ended = 4, Fault = 5 }

/** One event of the run panel, decoded from the module's byte stream. */
export type PanelEvent =
  | { kind: "text"; text: string }
  | { kind: "clear" }
  | { kind: "console" }
  | { kind: "graphics" }
  | { kind: "font"; rgb: [number, number, number] };

export interface CompileResult { ok: boolean; message: string; offset: number; line: number }
export interface ColourRun { from: number; to: number; rgb: number }

export class Core {
  constructor(private readonly m: TarkoModule) {}

  private withBytes<T>(bytes: Uint8Array, f: (p: number, n: number) => T): T {
    const p = this.m._malloc(Math.max(1, bytes.length));
    try {
      this.m.HEAPU8.set(bytes, p);
      return f(p, bytes.length);
    } finally {
      this.m._free(p);
    }
  }

  private text(p: number, n: number): string {
    return decode(this.m.HEAPU8.slice(p, p + n));
  }

  compile(bytes: Uint8Array, debugView: boolean): CompileResult {
    const ok = this.withBytes(bytes, (p, n) => this.m._tarko_compile(p, n, debugView ? 1 : 0)) === 1;
    if (ok) return { ok, message: "", offset: 0, line: 0 };
    return {
      ok,
      message: this.text(this.m._tarko_error_message(), this.m._tarko_error_message_length()),
      offset: this.m._tarko_error_offset(),
      line: this.m._tarko_error_line(),
    };
  }

  /** The console output told to screen readers in batches, by the desktop's
   *  rule: what was written at nowMs; when the batch is due (ms, 0 now, -1
   *  nothing pending); the batch as one announcement (lines by "\n"). */
  speechWritten(text: string, nowMs: number): void {
    this.withBytes(utf8.encode(text), (p, n) => this.m._tarko_speech_written(p, n, nowMs));
  }
  speechClear(): void { this.m._tarko_speech_clear(); }
  speechDue(nowMs: number): number { return this.m._tarko_speech_due(nowMs); }
  speechTake(): string {
    const n = this.m._tarko_speech_take();
    const p = this.m._tarko_speech_text();
    return new TextDecoder().decode(this.m.HEAPU8.slice(p, p + n));
  }

  start(step: boolean, seed = -1): boolean { return this.m._tarko_start(step ? 1 : 0, seed) === 1; }
  slice(max: number): Status { return this.m._tarko_run_slice(max) as Status; }
  pauseSeconds(): number { return this.m._tarko_pause_seconds(); }
  pauseDone(): void { this.m._tarko_pause_done(); }
  numberValid(entry: string): boolean { return this.withBytes(encode(entry), (p, n) => this.m._tarko_number_valid(p, n)) === 1; }
  enterNumber(entry: string): boolean { return this.withBytes(encode(entry), (p, n) => this.m._tarko_enter_number(p, n)) === 1; }
  step(): void { this.m._tarko_step(); }
  stop(): void { this.m._tarko_stop(); }
  faultText(): string { return this.text(this.m._tarko_fault_text(), this.m._tarko_fault_text_length()); }
  faultLine(): number { return this.m._tarko_fault_line(); }
  stepLine(): number { return this.m._tarko_step_line(); }

  /** The panel events since the last call (and clears them). */
  takeEvents(): PanelEvent[] {
    const n = this.m._tarko_events_length();
    if (n === 0) return [];
    const p = this.m._tarko_events();
    const bytes = this.m.HEAPU8.slice(p, p + n);
    this.m._tarko_events_clear();
    return parseEvents(bytes);
  }

  canvasRevision(): number { return this.m._tarko_canvas_revision(); }
  canvasPixels(): Uint8ClampedArray<ArrayBuffer> {
    const p = this.m._tarko_canvas_rgba();
    return new Uint8ClampedArray(this.m.HEAPU8.slice(p, p + 200 * 200 * 4).buffer);
  }

  viewRevision(): number { return this.m._tarko_view_revision(); }
  viewText(view: number): string { return this.text(this.m._tarko_view_text(view), this.m._tarko_view_length(view)); }

  /** The program text re-indented by the desktop's formatter. */
  format(bytes: Uint8Array): string {
    return this.withBytes(bytes, (p, n) => {
      const length = this.m._tarko_format(p, n);
      return this.text(this.m._tarko_formatted(), length);
    });
  }

  /** The find and replace dialogs' texts by key ("&" before an access
   *  letter, "%1" where the search text goes). */
  searchTexts(): Map<string, string> {
    const lines = this.text(this.m._tarko_search_texts(), this.m._tarko_search_texts_length()).split("\n");
    return new Map(lines.filter((l) => l).map((l) => [l.slice(0, l.indexOf("=")), l.slice(l.indexOf("=") + 1)]));
  }

  /** Byte offset of the first occurrence of `what` at or behind `from`; -1 if none. */
  find(text: Uint8Array, what: Uint8Array, from: number): number {
    return this.withBytes(what, (w, wn) => this.withBytes(text, (p, n) => this.m._tarko_find(p, n, w, wn, from)));
  }

  /** Byte offsets of the occurrences that replace all takes. */
  occurrences(text: Uint8Array, what: Uint8Array): number[] {
    const count = this.withBytes(what, (w, wn) => this.withBytes(text, (p, n) => this.m._tarko_occurrences(p, n, w, wn)));
    const at = this.m._tarko_found() >> 2;
    return Array.from(this.m.HEAP32.subarray(at, at + count));
  }

  // The colouring's copy of one editor's text lives in the module's memory,
  // so that a key changes only its own bytes there instead of copying the
  // whole program in on every call.
  private colourText = 0;
  private colourCapacity = 0;
  private colourLength = 0;

  /** Bytes in the colouring's text. */
  colourTextLength(): number { return this.colourLength; }

  /** Replaces `removed` bytes at `at` of the colouring's text by `bytes`. */
  spliceColourText(at: number, removed: number, bytes: Uint8Array): void {
    const length = this.colourLength - removed + bytes.length;
    if (length > this.colourCapacity) {
      const capacity = Math.max(length + (length >> 3), 4096);
      const p = this.m._malloc(capacity);
      // Memory may have grown: the heap view is taken afresh after _malloc.
      if (this.colourText) {
        this.m.HEAPU8.copyWithin(p, this.colourText, this.colourText + this.colourLength);
        this.m._free(this.colourText);
      }
      this.colourText = p;
      this.colourCapacity = capacity;
    }
    const heap = this.m.HEAPU8, p = this.colourText;
    heap.copyWithin(p + at + bytes.length, p + at + removed, p + this.colourLength);
    heap.set(bytes, p + at);
    this.colourLength = length;
  }

  /** Colour runs (byte offsets, inclusive) of the colouring's text for the
   *  given byte windows; bytes below `unchangedBefore` are as at the last call. */
  colour(windows: [number, number][], unchangedBefore: number): ColourRun[] {
    const w = new Uint8Array(new Int32Array(windows.flat()).buffer);
    if (!this.colourText) this.spliceColourText(0, 0, new Uint8Array(0));
    const count = this.withBytes(w, (wp) => this.m._tarko_colour(this.colourText, this.colourLength, wp, windows.length, unchangedBefore));
    const r = this.m._tarko_runs() >> 2;
    const heap = this.m.HEAP32;
    const runs: ColourRun[] = [];
    for (let i = 0; i < count; i++) runs.push({ from: heap[r + 3 * i]!, to: heap[r + 3 * i + 1]!, rgb: heap[r + 3 * i + 2]! });
    return runs;
  }
}

function parseEvents(bytes: Uint8Array): PanelEvent[] {
  const out: PanelEvent[] = [];
  let i = 0;
  while (i < bytes.length) {
    const k = String.fromCharCode(bytes[i++]!);
    if (k === "T") {
      const n = (bytes[i]! | (bytes[i + 1]! << 8) | (bytes[i + 2]! << 16) | (bytes[i + 3]! << 24)) >>> 0;
      i += 4;
      out.push({ kind: "text", text: decode(bytes.subarray(i, i + n)) });
      i += n;
    } else if (k === "C") out.push({ kind: "clear" });
    else if (k === "K") out.push({ kind: "console" });
    else if (k === "G") out.push({ kind: "graphics" });
    else if (k === "F") { out.push({ kind: "font", rgb: [bytes[i]!, bytes[i + 1]!, bytes[i + 2]!] }); i += 3; }
    else throw new Error(`unknown panel event ${k}`);
  }
  return out;
}

/** Loads the module: the glue script defines the factory, the bytes are
 *  handed in (no fetch of a path by the glue). */
export async function loadCore(factory: ModuleFactory, wasm: ArrayBuffer): Promise<Core> {
  return new Core(await factory({ wasmBinary: wasm }));
}
