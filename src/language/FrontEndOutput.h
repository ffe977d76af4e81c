#pragma once
// Where the language system sends what it has to tell: compile errors, the
// code listing and internal-error boxes. The workbench, the debug view and
// tarko-run each install their own receivers; tests install recorders.
#include <functional>
#include <string>

namespace tarko {

struct FrontEndOutput {
    // A compile error: message, 0-based line index, column of the scanner.
    std::function<void(const std::string& message, int line, int column)> compileError;
    // One listing line per emitted instruction (text ends in CR).
    std::function<void(const std::string& text)> listing;
    // Text of a modal box: "Interner Fehler N: ..." CR "Bitte benachrichtigen Sie den Programmierer von TARKO."
    std::function<void(const std::string& text)> internalError;
};

// Unset members are ignored: the corresponding output is dropped.
void SetFrontEndOutput(FrontEndOutput out);
const FrontEndOutput& CurrentFrontEndOutput();

// Builds the two-line box text from its first line ("Interner Fehler 2: ...")
// and hands it to internalError.
void ReportInternalError(const std::string& firstLine);

// A compile error noticed after the last line (a block left open) is put
// where the workbench puts the caret for it: at the end of the last line
// (a last empty line is no line). line is 0-based, column as the parser
// gives it. Returns the byte offset of the caret in crlfText: the start of
// the line plus the column, at most the line's length.
int ClampErrorPosition(const std::string& crlfText, int& line, int& column);

} // namespace tarko
