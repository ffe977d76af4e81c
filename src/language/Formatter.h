#pragma once
// The source formatter: re-indents a program so that every block body
// stands one TAB further right than its block keywords. It looks only at the
// first word of each line (no scanner, no parser), so it is meant for
// programs that compiled. Plain C++: lines are Windows-1252 strings.
#include <string>
#include <vector>

namespace tarko {

// Formats the lines in place; returns the indices of the lines it changed.
std::vector<int> FormatLines(std::vector<std::string>& lines);

// Formats a whole text whose lines end in CR LF (the last line may lack
// one); every other byte, lone CRs and LFs included, stays line content.
std::string FormatText(const std::string& text);

} // namespace tarko
