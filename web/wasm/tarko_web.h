#pragma once
// The C interface of the WebAssembly module (build-web/tarko.js + tarko.wasm):
// compiler, interpreter, console and canvas model, debug views and colour
// rules of the C++ core, for the browser edition's page or worker.
//
// Conventions
// - Texts handed in are Windows-1252 bytes with CR LF line breaks, written by
//   the caller into memory from _malloc (exported with _free); never pass big
//   texts through ccall strings. Pointer + length, no terminating NUL needed.
// - Offsets and positions are byte offsets into such a text (a line break
//   counts as two bytes, CR and LF).
// - Texts handed out are Windows-1252 bytes: a pointer valid until the next
//   call into the module plus its length from the matching *_length call.
// - One program, one run at a time (the core has a single interpreter state).
// - Loading: tarko.js is a factory, `createTarko({wasmBinary: bytes})` returns
//   a promise of the module; it never fetches by path when given the bytes.
//   Exported: these functions with a leading underscore, _malloc, _free,
//   HEAPU8, HEAP32, HEAPF64. Memory may grow: take tarko.HEAPU8 (etc.) afresh
//   after every call rather than keeping a view.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---- Compiling ------------------------------------------------------------

// Compiles the program text. debugView != 0 (for a single-step run) also
// fills the debug view (view 0 below) with the token dump and the code
// listing, as the desktop does before a single step. Returns 1 when the
// program compiled, 0 on a compile error (then the three calls below tell).
int tarko_compile(const uint8_t* text, int length, int debugView);
// The German message of the last compile error (Windows-1252).
const char* tarko_error_message(void);
int tarko_error_message_length(void);
// Where the desktop puts the caret for that error: a byte offset into the
// compiled text (line start + column, the column clamped to the line's
// length; an error after the last line - a block left open - gives the end
// of the last line that is not empty).
int tarko_error_offset(void);
// 0-based program line of the error and its column, as tarko-run prints
// them (the column may lie beyond the line's end).
int tarko_error_line(void);
int tarko_error_column(void);

// ---- Running --------------------------------------------------------------

// Starts a run of the program compiled last: step != 0 single step. seed < 0
// seeds the random numbers from the clock, seed >= 0 (an integer) fixes them.
// Empties the event stream, then records 'C' (console empty, image black),
// 'K' (console shown) and 'F' 0 0 0 (black console text), as the desktop
// starts a run. Returns 0 when nothing is compiled, 1 otherwise (code the
// interpreter refuses, e.g. too large, ends in TARKO_FAULT at the first slice).
int tarko_start(int step, double seed);

// Status of a run, returned by tarko_run_slice.
enum {
    TARKO_RUNNING = 0,    // the slice's instruction budget is used up: call again
    TARKO_INPUT = 1,      // waits for a number: tarko_enter_number, then call again
    TARKO_PAUSE = 2,      // "Pause": wait tarko_pause_seconds() (Stop ends it
                          // early), then call tarko_pause_done() and again
    TARKO_STEP_WAIT = 3,  // single step: the next instruction is shown; call
                          // tarko_step() (or tarko_stop()) and again
    TARKO_ENDED = 4,      // the run is over (end, Stop, line limit)
    TARKO_FAULT = 5,      // a fault ended the run: tarko_fault_text/_line
};

// Runs at most maxInstructions instructions (<= 0: no limit) and returns a
// status. Nothing blocks inside: every wait is a status, so the page needs no
// SharedArrayBuffer; call it from a worker (or a timer on the page) in slices
// of a few milliseconds. The interpreter's state survives between calls.
int tarko_run_slice(int maxInstructions);

// Seconds of the pending "Pause" (as the program gave it; NaN or infinity:
// wait until Stop; <= 0: continue at once).
double tarko_pause_seconds(void);
void tarko_pause_done(void);

// 1 when entry (the keys typed: digits, "," and a leading "-") is a number
// the keypad's OK accepts, else 0 (e.g. to enable the OK key).
int tarko_number_valid(const uint8_t* entry, int length);
// Answers TARKO_INPUT with the typed entry: returns 1 and appends the entry
// to the console (as the desktop leaves it there), or 0 ("Ungültige Zahl")
// leaving the input open.
int tarko_enter_number(const uint8_t* entry, int length);

// Single step: execute the next instruction (answers TARKO_STEP_WAIT).
void tarko_step(void);
// Stop: the run ends at the next slice (also during an input, a pause or a
// step wait; the next tarko_run_slice returns TARKO_ENDED).
void tarko_stop(void);

// The fault text of TARKO_FAULT (Windows-1252) and the 0-based program line
// of the faulting instruction (-1 when none known).
const char* tarko_fault_text(void);
int tarko_fault_text_length(void);
int tarko_fault_line(void);
// Single step: 0-based program line of the instruction about to execute
// (the desktop's step line highlight); -1 when none.
int tarko_step_line(void);
// Instructions executed by the current (or last) run.
double tarko_executed(void);

// ---- Console and canvas ---------------------------------------------------

// The run panel's events since the last tarko_events_clear(), as a byte
// stream of records, each one kind byte followed by its data:
//   'T' u32 n, n bytes   console text appended (Windows-1252; every line
//                        break already a single LF)
//   'C'                  console emptied and image filled black ("Löschen")
//   'K'                  console shown (image hidden)
//   'G'                  image shown (console hidden)
//   'F' r g b            console font colour (the whole console's text)
// u32 is little-endian. The console's 999-line limit is applied here, on
// lines ended by a line break as tarko-run counts them (the desktop counts
// wrapped lines of its console's width); the abort lines arrive as text.
const uint8_t* tarko_events(void);
int tarko_events_length(void);
void tarko_events_clear(void);

// The 200 x 200 image: 200 rows of 200 pixels, 4 bytes R G B 255 each,
// top row first (ready for ImageData). Stays valid for the module's life.
const uint8_t* tarko_canvas_rgba(void);
// Goes up with every change of the image (repaint only when it moved).
int tarko_canvas_revision(void);

// ---- Debug view -----------------------------------------------------------

// The text of a debug-view control, exactly as the desktop shows it
// (Windows-1252, line breaks LF, each piece followed by a blank; 1-3 start
// as "StackMemo", "DataMemo", "CodeMemo" and the code view keeps growing
// over runs): 0 the debug text (token dump, listing, run start), 1 stack,
// 2 data, 3 executed instructions. Written only for debugView compiles.
const char* tarko_view_text(int view);
int tarko_view_length(int view);
// Goes up with every change of any of the four texts.
int tarko_view_revision(void);

// ---- Colouring --------------------------------------------------------------

// Colours a program text with the desktop editor's colour rules (comments,
// keywords, strings). windows: windowCount pairs (from, to), inclusive byte
// offsets, sorted and disjoint: only these stretches are coloured (pass the
// visible lines); windowCount 0 colours the whole text. unchangedBefore:
// every byte below it is as in the previous call (0 when unknown) - it lets
// the rules take up where they left off. Returns the number of runs; they
// are at tarko_runs(): per run three int32 (from, to inclusive, colour as
// 0xRRGGBB). Bytes in no run have the editor's normal text colour.
int tarko_colour(const uint8_t* text, int length, const int32_t* windows, int windowCount,
                 int unchangedBefore);
const int32_t* tarko_runs(void);

// ---- Formatting ---------------------------------------------------------------

// Re-indents a program text as the desktop does when a program starts with
// "Text nach dem Start automatisch formatieren" on: block bodies one TAB
// further right, line by line on the first word. Returns the length of the
// formatted text, which is at tarko_formatted(); only the indentation of
// lines differs from the input (line breaks and count stay).
int tarko_format(const uint8_t* text, int length);
const char* tarko_formatted(void);

// Tasks (".tarko-aufgabe", UTF-8). tarko_task_load reads one: 1, and its
// public part as JSON at tarko_task_text() ({"title", "text", "starter",
// "cases": [{"hidden"}]}); 0, and the German reason there instead.
int tarko_task_load(const uint8_t* text, int length);
const char* tarko_task_text(void);
int tarko_task_text_length(void);
// Runs the program compiled last on case `index` (from 0) of the task loaded
// last, within timeLimit seconds, as tarko-run --task does: 1 passed, 0 not,
// -1 no such case. The verdict as JSON ({"status", "text"}) at
// tarko_task_verdict(). A program that did not compile fails every case.
int tarko_task_check(int index, double timeLimit);
const char* tarko_task_verdict(void);
int tarko_task_verdict_length(void);
// ---- Find and replace ---------------------------------------------------------

// The texts of the find and replace dialogs, as the desktop shows them: lines
// "Key=Text" (Windows-1252, each ended by LF; "&" before an access letter,
// "%1" where the search text or a character goes). Keys: FindTitle,
// ReplaceTitle, FindLabel, ReplaceLabel, FindNext, Replace, ReplaceAll,
// Cancel, NotFound, Unstorable.
const char* tarko_search_texts(void);
int tarko_search_texts_length(void);
// The first exact occurrence (case counts) of what in text at or behind byte
// offset from; -1 when there is none or what is empty.
int tarko_find(const uint8_t* text, int length, const uint8_t* what, int whatLength, int from);
// What "Alle ersetzen" replaces: the occurrences from left to right, each
// search going on behind the one before. Returns their number; their byte
// offsets are at tarko_found() (int32 each).
int tarko_occurrences(const uint8_t* text, int length, const uint8_t* what, int whatLength);
const int32_t* tarko_found(void);
// ---- Screen readers -------------------------------------------------------------

// The console output told in batches, by the desktop's rule (OutputSpeech.h):
// written text (UTF-8) at nowMs (any millisecond clock); tarko_speech_due
// gives the milliseconds until the batch is due (0 due, -1 nothing pending);
// tarko_speech_take leaves the announcement (UTF-8, lines separated by LF) at
// tarko_speech_text() and returns its length.
void tarko_speech_written(const uint8_t* utf8, int length, double nowMs);
void tarko_speech_clear(void);
double tarko_speech_due(double nowMs);
int tarko_speech_take(void);
const char* tarko_speech_text(void);
// Making a task as tarko-run --task-create does, from the program compiled
// last: tarko_task_begin takes title, text and starter (UTF-8, separated by
// NUL bytes); each tarko_task_add_case runs the program on one input (lines
// ended by LF): 1 and the case kept, or 0 and the German reason at
// tarko_task_text(). tarko_task_file leaves the task file's text there and
// returns its length.
int tarko_task_begin(const uint8_t* fields, int length);
int tarko_task_add_case(const uint8_t* input, int length, int hidden, double timeLimit);
int tarko_task_file(void);

#ifdef __cplusplus
}
#endif
