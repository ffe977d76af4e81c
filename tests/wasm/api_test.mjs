// The module's interface beyond plain runs, under node: compile errors (and
// where the caret goes), single steps against tarko-run --steps, the keypad's
// entries, Stop in every wait, pauses, and the colour runs against the
// desktop's golden colourings, whole and in windows.
//
// node api_test.mjs BUILD_WEB SOURCE_DIR TARKO_RUN
import { createRequire } from 'node:module';
import { readFileSync, writeFileSync, mkdtempSync } from 'node:fs';
import { execFileSync, spawnSync } from 'node:child_process';
import { tmpdir } from 'node:os';
import path from 'node:path';

const [buildDir, sourceDir, tarkoRun, formatNative] = process.argv.slice(2);
const require = createRequire(import.meta.url);
const createTarko = require(path.resolve(buildDir, 'tarko.js'));
const t = await createTarko({ wasmBinary: readFileSync(path.resolve(buildDir, 'tarko.wasm')) });
const tmp = mkdtempSync(path.join(tmpdir(), 'tarko-api-'));

const RUNNING = 0, INPUT = 1, PAUSE = 2, STEP_WAIT = 3, ENDED = 4, FAULT = 5;
let failures = 0;
function check(what, got, want) {
    const g = JSON.stringify(got), w = JSON.stringify(want);
    if (g !== w) {
        console.log(`FAIL: ${what}: got ${g}, want ${w}`);
        ++failures;
    }
}

const latin1 = (s) => Buffer.from(s, 'latin1');
function withBytes(bytes, f) {
    const p = t._malloc(Math.max(bytes.length, 1));
    t.HEAPU8.set(bytes, p);
    try { return f(p, bytes.length); } finally { t._free(p); }
}
const text = (ptr, n) => Buffer.from(t.HEAPU8.subarray(ptr, ptr + n)).toString('latin1');
const compile = (program, debug = 0) => withBytes(latin1(program), (p, n) => t._tarko_compile(p, n, debug));
const enter = (entry) => withBytes(latin1(entry), (p, n) => t._tarko_enter_number(p, n));
const valid = (entry) => withBytes(latin1(entry), (p, n) => t._tarko_number_valid(p, n));
const view = (v) => text(t._tarko_view_text(v), t._tarko_view_length(v));
function consoleText() {
    const p = t._tarko_events(), n = t._tarko_events_length();
    const e = t.HEAPU8.subarray(p, p + n);
    let out = '';
    for (let i = 0; i < n;) {
        const k = String.fromCharCode(e[i++]);
        if (k === 'T') {
            const len = e[i] | e[i + 1] << 8 | e[i + 2] << 16 | e[i + 3] << 24;
            out += Buffer.from(e.subarray(i + 4, i + 4 + len)).toString('latin1');
            i += 4 + len;
        } else if (k === 'F') {
            i += 3;
        } else if (k === 'C') {
            out += '<C>';
        }
    }
    t._tarko_events_clear();
    return out;
}

// ---- Compile errors: message, line and column as tarko-run, the caret as the desktop
const errors = [
    // program, caret offset where the desktop puts it
    ['Ausgabe "a"\r\nFalls x = 1\r\n  Ausgabe (\r\n', 20],
    ['Wiederhole\r\n  x <= 1\r\n', 20],                 // past the last line: the end of the last line
    ['Wiederhole\r\n  x <= 1\r\n\r\n\r\n', 24],         // empty lines at the end count
    ['Wiederhole\r\n  x <= 1', 20],
    ['x <= 1 +\r\n', 8],
    ['Punkt (1; 2\r\n', null],
    ['x <= 3 ! 4\r\n', null],
    ['Falls 1 = 1\r\nAnsonsten\r\nAusgabe "x" y\r\n', null],
];
for (const [program, offset] of errors) {
    check(`compiles: ${JSON.stringify(program)}`, compile(program), 0);
    const file = path.join(tmp, 'e.trk');
    writeFileSync(file, latin1(program));
    const native = spawnSync(tarkoRun, ['--check', file]).stderr.toString('utf8');
    const message = Buffer.from(text(t._tarko_error_message(), t._tarko_error_message_length()), 'latin1').toString('latin1');
    const wasm = `${file}:${t._tarko_error_line() + 1}:${t._tarko_error_column()}: ` +
        new TextDecoder('windows-1252').decode(latin1(message)) + '\n';
    check(`error of ${JSON.stringify(program)}`, wasm, native);
    if (offset !== null)
        check(`caret of ${JSON.stringify(program)}`, t._tarko_error_offset(), offset);
}

// ---- Single steps: the code, data and stack views against tarko-run --steps
{
    const program = 'x <= 2\r\nWiederhole\r\n  x <= x * 3\r\n  Ausgabe x\r\nbis x > 50\r\nEingabe "z" y\r\nPause 1\r\n';
    const file = path.join(tmp, 's.trk');
    writeFileSync(file, latin1(program));
    const native = execFileSync(tarkoRun, ['--steps', '--no-pause', file], { input: '7\n' }).toString('latin1');
    const codeLines = native.split('\n').filter((l) => /^\d+: /.test(l));
    check('compiles for steps', compile(program, 1), 1);
    check('the debug text holds the token dump and the listing',
        /^Bezeichner:X, {2}.*----------------.*PC:0 PUSHC/s.test(view(0)), true);
    t._tarko_start(1, -1);
    const seen = [];
    let status, steps = 0, lastData = '', lastStack = '';
    const dataLines = [], stackLines = [], stepLines = [];
    while ((status = t._tarko_run_slice(100)) !== ENDED && status !== FAULT) {
        if (status === STEP_WAIT) {
            ++steps;
            stepLines.push(t._tarko_step_line());
            dataLines.push(...view(2).split('\n').map((l) => l.trim()).filter((l) => l));
            stackLines.push(...view(1).split('\n').map((l) => l.trim()).filter((l) => l && l !== 'StackMemo'));
            t._tarko_step();
        } else if (status === INPUT) {
            check('a refused entry keeps the input open', enter('7,'), 1);
        } else if (status === PAUSE) {
            check('the pause asks for its seconds', t._tarko_pause_seconds(), 1);
            t._tarko_pause_done();
        }
    }
    check('step lines (the closing HALT has none)', stepLines.slice(0, 3).concat(stepLines.slice(-2)), [0, 0, 2, 6, -1]);
    const code = view(3).replace(/^CodeMemo/, '').split('\n').map((l) => l.trim()).filter((l) => /^\d+: /.test(l));
    check('executed instructions in the code view', code, codeLines);
    check('one wait per instruction', steps, codeLines.length);
    const nativeData = native.split('\n').filter((l) => /^ ?#\d+:/.test(l)).map((l) => l.trim());
    check('data view lines', dataLines.filter((l) => l !== 'DataMemo'), nativeData);
    check('console of the step run', consoleText().includes('z7,\n'), true);
}

// ---- The keypad: every digit, the comma, the minus
for (const [entry, ok] of [['9', 1], ['19', 1], ['1990', 1], ['9,5', 1], [',', 1], ['-,', 1], ['0123456789', 1],
    ['-9', 1], ['', 0], ['-', 0], ['1,2,3', 0], ['1.5', 0], ['9:', 0], ['1 ', 0], ['1' + '0'.repeat(309), 0]])
    check(`valid entry ${JSON.stringify(entry)}`, valid(entry), ok);
{
    compile('Eingabe "Zahl" x\r\nAusgabe x * 2\r\n');
    t._tarko_start(0, 1);
    check('waits for a number', t._tarko_run_slice(1000), INPUT);
    check('a refused entry', enter('1,2,3'), 0);
    check('still waiting', t._tarko_run_slice(1000), INPUT);
    check('a nine before the comma', enter('19,5'), 1);
    check('ends', t._tarko_run_slice(1000), ENDED);
    check('console shows the entry after the prompt', consoleText(), '<C>Zahl19,5\n39 \n');
}

// ---- Stop: in an endless loop, in an input, in a pause, in a step wait
for (const [program, step, waitStatus] of [
    ['x <= 0\r\nWiederhole\r\n  x <= x + 1\r\nbis x < 0\r\n', 0, RUNNING],
    ['Eingabe "?" x\r\nAusgabe "danach"\r\n', 0, INPUT],
    ['Pause 100000\r\nAusgabe "danach"\r\n', 0, PAUSE],
    ['x <= 1\r\nAusgabe "danach"\r\n', 1, STEP_WAIT]]) {
    compile(program, step);
    t._tarko_start(step, 1);
    check(`before Stop: ${JSON.stringify(program)}`, t._tarko_run_slice(10000), waitStatus);
    t._tarko_stop();
    check(`Stop ends it: ${JSON.stringify(program)}`, t._tarko_run_slice(10000), ENDED);
    check(`nothing after Stop: ${JSON.stringify(program)}`, consoleText().includes('danach'), false);
}

// ---- A fault: its text and line
compile('x <= 0\r\nAusgabe "a"\r\nAusgabe 1 : x\r\n');
t._tarko_start(0, 1);
check('division by zero', t._tarko_run_slice(0), FAULT);
check('fault text', text(t._tarko_fault_text(), t._tarko_fault_text_length()), 'Gleitkommadivision durch Null');
check('fault line', t._tarko_fault_line(), 2);

// ---- Colour runs against the desktop's golden colourings
const colours = { red: 0xff0000, blue: 0x0000ff, fuchsia: 0xff00ff };
function colourMap(program, windows) {
    return withBytes(latin1(program), (p, n) => {
        const w = t._malloc(Math.max(windows.length, 1) * 8);
        windows.forEach(([a, b], i) => { t.HEAP32[(w >> 2) + 2 * i] = a; t.HEAP32[(w >> 2) + 2 * i + 1] = b; });
        const count = t._tarko_colour(p, n, w, windows.length, 0);
        t._free(w);
        const runs = t._tarko_runs() >> 2, map = new Map();
        for (let i = 0; i < count; ++i)
            for (let q = t.HEAP32[runs + 3 * i]; q <= t.HEAP32[runs + 3 * i + 1]; ++q)
                map.set(q, t.HEAP32[runs + 3 * i + 2]);
        return map;
    });
}
for (const name of ['Grafikdesign', 'Idealgewicht', 'Koordinatensystem', 'Memory', 'Sonderfaelle']) {
    const file = name === 'Sonderfaelle' ? 'tests/editor/golden/Sonderfaelle.trk' : `resources/examples/${name}.trk`;
    const program = readFileSync(path.join(sourceDir, file)).toString('latin1');
    const want = new Map(), tabs = new Set();
    for (const line of readFileSync(path.join(sourceDir, `tests/editor/golden/${name}.spans`), 'utf8').split('\n')) {
        const m = /^(\d+)-(\d+) \d+ (\w+):/.exec(line);
        if (!m) continue;
        for (let q = Number(m[1]); q <= Number(m[2]); ++q)
            if (m[3] === 'tab') tabs.add(q); else want.set(q, colours[m[3]]);
    }
    const whole = colourMap(program, []);
    let differ = 0;
    for (let q = 0; q < program.length; ++q)
        if (!tabs.has(q) && whole.get(q) !== want.get(q)) ++differ;
    check(`${name}: bytes coloured unlike the desktop`, differ, 0);
    // Windows: the same colours inside them, nothing outside.
    const windows = [[5, 40], [100, 100], [300, 900]].filter(([a]) => a < program.length)
        .map(([a, b]) => [a, Math.min(b, program.length - 1)]);
    const part = colourMap(program, windows);
    let wrong = 0;
    for (let q = 0; q < program.length; ++q) {
        const inside = windows.some(([a, b]) => q >= a && q <= b);
        if (part.get(q) !== (inside ? whole.get(q) : undefined)) ++wrong;
    }
    check(`${name}: windowed colouring`, wrong, 0);
}

// ---- Formatting: the module's against the desktop's formatter (format_native)
const deep = Array.from({ length: 33 }, () => 'Wiederhole').join('\r\n') + '\r\nPause 1\r\n' +
    Array.from({ length: 33 }, () => 'Bis 1').join('\r\n');
const format = (program) => withBytes(latin1(program), (p, n) => {
    const length = t._tarko_format(p, n);
    return text(t._tarko_formatted(), length);
});
const formatCases = {
    'empty text': '',
    'no final line break': 'Wiederhole\r\nPause 1\r\nBis 1',
    'final line break and blank last line': 'Solange a < 1\r\n   Pause 1\r\nSolangeende\r\n\r\n',
    'lower case keywords, tabs after blanks': 'falls x = 1\r\n  \t\tAusgabe 1\r\nansonsten\r\n\t  Ausgabe 2\r\nfallsende\r\n',
    'unbalanced ends go below zero': 'Bis 1\r\nFallsende\r\n\tPause 1\r\nWiederhole\r\nPause 1\r\n',
    'deeper than thirty tabs': deep,
    'umlauts, digits and lone breaks in lines': 'Wiederhole\r\n\xd6ffne\rx\r\nL\xf6schen\nBis2 <= 1\r\nBis 1\r\n',
};
const formatFiles = [
    ...['Grafikdesign', 'Idealgewicht', 'Koordinatensystem', 'Memory'].map((n) => `resources/examples/${n}.trk`),
    'tests/editor/golden/Sonderfaelle.trk',
    ...['count', 'grid', 'mandel', 'nested'].map((n) => `bench/programs/${n}.trk`),
].map((f) => path.join(sourceDir, f));
Object.entries(formatCases).forEach(([name, program], i) => {
    const f = path.join(tmp, `format${i}.trk`);
    writeFileSync(f, latin1(program));
    formatFiles.push(f);
});
const native = execFileSync(formatNative, formatFiles, { maxBuffer: 1 << 26 }).toString('latin1');
const caseNames = new Map(Object.keys(formatCases).map((n, i) => [path.join(tmp, `format${i}.trk`), n]));
let at = 0;
for (const file of formatFiles) {
    const nl = native.indexOf('\n', at);
    const length = Number(native.slice(at, nl));
    const want = native.slice(nl + 1, nl + 1 + length);
    at = nl + 1 + length;
    const program = readFileSync(file).toString('latin1');
    const got = format(program);
    const name = caseNames.get(file) ?? path.basename(file);
    check(`format ${name}: as the desktop`, got, want);
    // Only indentation may change: the same lines once it is stripped.
    const bare = (s) => s.split('\r\n').map((l) => l.replace(/^[ \t]*/, ''));
    check(`format ${name}: only indentation changed`, bare(got), bare(program));
}
check('format: deepest body has thirty tabs',
    format(deep).split('\r\n')[33],
    '\t'.repeat(30) + 'Pause 1');

console.log(failures ? `${failures} failures` : 'all interface checks passed');
process.exitCode = failures ? 1 : 0;
