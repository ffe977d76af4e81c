#pragma once
// The run mode of tarko-run: runs a program without a window. programText is
// the file's text as Windows-1252 bytes with CR LF line ends.
#include "cli/CliOptions.h"
#include "runtime/CaseRunner.h"
#include "runtime/Runner.h"

#include <iosfwd>
#include <string>

namespace tarko {

// Compiles and runs the program with stdin and stdout; a fault is reported
// on stderr as "FILE:LINE: MESSAGE". Returns the process exit code.
int RunMode(const CliOptions& options, const std::string& programText);

// Runs the program compiled last on the numbers of `input` (one per line),
// "Pause" not waiting, within options.timeLimit; what --expect and the task
// checks compare.
CaseRun RunOnInput(const CliOptions& options, const std::string& input);

// Ends the offscreen application a drawn text may have needed.
void EndGuiApplication();

} // namespace tarko
