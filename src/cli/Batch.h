#pragma once
// tarko-run for a whole class: --check of several files, and --input/--expect,
// which runs every program with the same numbers and compares what it prints
// with the expected transcript. One result per file, as text or JSON.
#include "cli/CliOptions.h"
#include "language/ReadProgram.h"

#include <string>
#include <vector>

namespace tarko {

// Reads a program file; anything but Ok when it cannot be read.
using ReadProgramFile = TFileRead (*)(const std::string& path, std::string& bytes);

// A file name as tarko-run shows it: always valid UTF-8. A byte that is no
// part of UTF-8 (a Latin-1 "\xE4pfel.trk") appears as the four characters
// \xE4, and with escapeControls a control character (a line break in the
// name) as \x0A as well, so that one name stays on one line.
std::string ShownName(const std::string& name, bool escapeControls = true);

// Strips a UTF-8 byte-order mark, which an editor on Windows may put first.
void DropByteOrderMark(std::string& text);

// --check FILE...: compile errors as "FILE:LINE:COLUMN: MESSAGE" on stderr
// (or all results as JSON on stdout). Exit 0 all compiled, 1 any compile
// error, 2 any file unreadable.
int CheckFiles(const CliOptions& options, ReadProgramFile read);

// --input IN --expect OUT FILE...: one line per file on stdout,
// "FILE: ok" or what went wrong (or all results as JSON). Exit 0 when every
// program printed exactly the expected transcript, 1 otherwise, 2 when a
// file cannot be read.
int ExpectFiles(const CliOptions& options, ReadProgramFile read);

// --task-create MODEL --title T --text FILE [--starter FILE] --case IN...
// [--hidden IN...] -o TASK: runs the model solution on every input and
// writes the task with the transcripts it printed (hidden: their hashes).
// Exit 0 written, 1 the model does not compile or fails an input, 2 a file
// cannot be read or written.
int CreateTask(const CliOptions& options, ReadProgramFile read);

// --task TASK FILE...: runs every program on every case of the task; a line
// per case ("FILE: ✓ Test 1") or all results as JSON. Exit as --expect.
int CheckTask(const CliOptions& options, ReadProgramFile read);

} // namespace tarko
