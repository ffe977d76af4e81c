#pragma once
// A task (".tarko-aufgabe"): a title, the task text, a starter program and
// test cases, each the numbers typed and the console transcript expected.
// For a hidden case the file holds only the transcript's hash. The file is
// UTF-8 text a teacher can read:
//
//   Tarko-Aufgabe 1
//   Titel: Zehn Jahre älter
//   Aufgabentext:
//   | Frage nach dem Alter und gib das Alter in zehn Jahren aus.
//   Startprogramm:
//   | / Dein Programm
//   Test
//   Eingabe:
//   | 12
//   Ausgabe:
//   | Wie alt bist du? 12
//   | In zehn Jahren bist du 22
//   Versteckter Test
//   Eingabe:
//   | 5
//   Ausgabe-Prüfsumme: sha256:…
//
// Every line of a block starts with "|" (one blank after it is not part of
// the text), so a block can hold any line. Blank lines outside blocks do
// not matter. The same code judges the cases in tarko-run and in the browser.
#include "runtime/Transcript.h"

#include <optional>
#include <string>
#include <vector>

namespace tarko {

struct TaskCase {
    std::string input;      // the numbers typed, each line ended by LF
    bool hidden = false;
    std::string expected;   // visible: the transcript, each line ended by LF (UTF-8)
    std::string hash;       // hidden: TranscriptHash of the transcript
};

struct Task {
    std::string title;      // one line
    std::string text;       // the task text, lines joined by LF
    std::string starter;    // the starter program (UTF-8), lines joined by LF
    std::vector<TaskCase> cases;
};

std::string TaskFileText(const Task& task);

// The task in a file's text (UTF-8; a byte-order mark and CR LF are fine);
// nullopt and a German message naming the line when it is no valid task.
std::optional<Task> ParseTask(const std::string& text, std::string& error);

// A case's visible or hidden expectation from the transcript a model
// solution printed.
TaskCase MakeCase(const std::string& input, const std::string& transcript, bool hidden);

// How one run of a case ended.
enum class CaseEnd { Completed, CompileError, Fault, EndOfInput, TimeLimit };

struct CaseRun {
    CaseEnd end = CaseEnd::Completed;
    std::string transcript;   // UTF-8, what the console showed
    std::string message;      // UTF-8: the compile error or the fault
    int line = 0;             // 1-based program line of the error or the end; 0 = none
    int column = 0;           // compile errors
};

struct CaseVerdict {
    bool passed = false;
    std::string status;       // ok, differs, compile-error, fault, end-of-input, time-limit
    std::optional<TranscriptDifference> difference;   // visible cases only
    std::string text;         // the line a pupil reads, e.g. "✗ versteckter Test 3 stimmt nicht"
};

// number: the case's place in the task, from 1.
CaseVerdict JudgeCase(const TaskCase& c, int number, const CaseRun& run);

// The reason a run that did not complete failed, as tarko-run names it.
std::string RunEndText(const CaseRun& run);

} // namespace tarko
