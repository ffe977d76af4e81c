#pragma once
// Runs the program compiled last on a fixed list of numbers, without waits:
// what a check against an expected transcript needs, in tarko-run and in the
// browser alike. The transcript is the console's text as tarko-run prints
// it (UTF-8, a form feed for "Löschen", each typed number after its prompt).
#include "runtime/ConsoleLines.h"
#include "runtime/Task.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tarko {

// A line of number input: the line end (LF or CR LF) and blanks or tabs
// around the number do not matter; the rest must be what the keypad can
// type. *typed (when given) receives the number's text.
bool ParseInputLine(std::string line, double& value, std::string* typed = nullptr);

// input: one number per line. A run that wants a number after the last
// line ends as EndOfInput; one still running after timeLimit seconds
// (> 0) as TimeLimit. The wrap measures console lines as the console does.
CaseRun RunCase(const LineWrap& wrap, const std::string& input, double timeLimit,
                std::optional<uint64_t> seed);

} // namespace tarko
