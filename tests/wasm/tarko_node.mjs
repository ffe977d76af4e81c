// tarko-run's run mode over the WebAssembly module, under node: the module
// is driven as the browser's worker drives it (slices, waits as statuses), and
// everything is written as tarko-run writes it, so the two can be compared.
//
// node tarko_node.mjs BUILD_WEB FILE [--seed N] [--no-pause] [--rgba OUT] [--slice N] [--time]
//   stdin: the numbers typed, one a line; stdout: the console transcript
//   (UTF-8, LF, "\f" for Löschen); stderr: faults as FILE:LINE: MESSAGE.
//   Exit status 0, 1 compile error, 3 fault, 4 end of input.
//   --rgba OUT writes the final image as 200 x 200 x 4 raw bytes; --time
//   prints the run's seconds on stderr.
import { createRequire } from 'node:module';
import { readFileSync, writeFileSync } from 'node:fs';
import path from 'node:path';

const args = process.argv.slice(2);
const buildDir = args[0], file = args[1];
const option = (name) => { const i = args.indexOf(name); return i < 0 ? undefined : args[i + 1]; };
const seed = option('--seed') !== undefined ? Number(option('--seed')) : -1;
const noPause = args.includes('--no-pause');
const rgbaOut = option('--rgba');
const slice = Number(option('--slice') ?? 1000000);

const require = createRequire(import.meta.url);
const createTarko = require(path.resolve(buildDir, 'tarko.js'));
const tarko = await createTarko({ wasmBinary: readFileSync(path.resolve(buildDir, 'tarko.wasm')) });

const RUNNING = 0, INPUT = 1, PAUSE = 2, STEP_WAIT = 3, ENDED = 4, FAULT = 5;

// Windows-1252 <-> text.
const cp1252High = '€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008dŽ\u008f\u0090‘’“”•–—˜™š›œ\u009džŸ';
const decode = (bytes) => Array.from(bytes, (b) =>
    b >= 0x80 && b < 0xa0 ? cp1252High[b - 0x80] : String.fromCharCode(b)).join('');
const bytesOf = (buffer) => new Uint8Array(buffer);

function withBytes(bytes, f) {
    const p = tarko._malloc(Math.max(bytes.length, 1));
    tarko.HEAPU8.set(bytes, p);
    try { return f(p, bytes.length); } finally { tarko._free(p); }
}
const textAt = (ptr, length) => decode(tarko.HEAPU8.subarray(ptr, ptr + length));

// As tarko-run reads a file: every line end CR LF.
const program = Buffer.from(readFileSync(file).toString('latin1').replace(/\r\n|\r|\n/g, '\r\n'), 'latin1');
if (!withBytes(program, (p, n) => tarko._tarko_compile(p, n, 0))) {
    const message = textAt(tarko._tarko_error_message(), tarko._tarko_error_message_length());
    process.stderr.write(`${file}:${tarko._tarko_error_line() + 1}:${tarko._tarko_error_column()}: ${message}\n`);
    process.exit(1);
}

const input = readFileSync(0).toString('latin1').split('\n');
if (input.length && input[input.length - 1] === '') input.pop();
let nextInput = 0, endOfInput = false;
let out = '';

// The console events since the last call, as tarko-run writes them.
function drainEvents() {
    const p = tarko._tarko_events(), n = tarko._tarko_events_length();
    const e = tarko.HEAPU8.subarray(p, p + n);
    for (let i = 0; i < n;) {
        const kind = String.fromCharCode(e[i++]);
        if (kind === 'T') {
            const len = e[i] | e[i + 1] << 8 | e[i + 2] << 16 | e[i + 3] << 24;
            out += decode(e.subarray(i + 4, i + 4 + len));
            i += 4 + len;
        } else if (kind === 'C') {
            out += '\f';
        } else if (kind === 'F') {
            i += 3;
        }
    }
    tarko._tarko_events_clear();
}

tarko._tarko_start(0, seed);
tarko._tarko_events_clear();   // the run's start: an empty, visible console
const started = process.hrtime.bigint();
let status;
for (;;) {
    status = tarko._tarko_run_slice(slice);
    drainEvents();
    if (status === ENDED || status === FAULT) break;
    if (status === INPUT) {
        for (;;) {
            if (nextInput >= input.length) {
                endOfInput = true;
                tarko._tarko_stop();
                break;
            }
            // As tarko-run reads a line: blanks around it and a first byte-order mark go.
            let line = input[nextInput++];
            if (nextInput === 1 && line.startsWith('\xEF\xBB\xBF')) line = line.slice(3);
            line = line.replace(/^[ \t\r]+|[ \t\r]+$/g, '');
            if (withBytes(Buffer.from(line, 'latin1'), (p, n) => tarko._tarko_enter_number(p, n))) break;
            process.stderr.write('Ungültige Zahl\n');
        }
        drainEvents();
    } else if (status === PAUSE) {
        const s = tarko._tarko_pause_seconds();
        if (!noPause && s > 0)
            await new Promise((resolve) => setTimeout(resolve, Math.min(s, 1e6) * 1000));
        tarko._tarko_pause_done();
    } else if (status === STEP_WAIT) {
        tarko._tarko_step();
    }
}
const seconds = Number(process.hrtime.bigint() - started) / 1e9;
process.stdout.write(Buffer.from(out, 'utf8'));
if (args.includes('--time'))
    process.stderr.write(`time ${seconds.toFixed(3)}\n`);
if (rgbaOut) {
    const p = tarko._tarko_canvas_rgba();
    writeFileSync(rgbaOut, tarko.HEAPU8.subarray(p, p + 200 * 200 * 4));
}
let code = 0;
if (status === FAULT) {
    const line = tarko._tarko_fault_line();
    const text = textAt(tarko._tarko_fault_text(), tarko._tarko_fault_text_length());
    process.stderr.write((line >= 0 ? `${file}:${line + 1}: ` : '') + text + '\n');
    code = 3;
} else if (endOfInput) {
    code = 4;
}
process.exitCode = code;
