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

// What a run of the program compiled last did.
struct RunReport {
    RunEnd end = RunEnd::Stopped;
    std::string fault;        // Windows-1252, when end == Fault
    int line = -1;            // 0-based program line the run ended in (fault, end of input, time limit)
    bool endOfInput = false;  // a number was wanted after the last line of input
    bool timedOut = false;    // stopped after timeLimit seconds
    bool pngFailed = false;   // --png could not be written
};

// Runs the program compiled last: numbers are read from `in`, the console
// transcript goes to `out` (UTF-8, LF), refused entries are noted on `err`
// (none when null). With terminals the streams are stdin/stdout and may be
// terminals (no echo of typed numbers, screen clearing); timeLimit > 0 stops
// the run after that many seconds.
RunReport RunCompiled(const CliOptions& options, std::istream& in, std::ostream& out,
                      std::ostream* err, bool terminals, double timeLimit);

// Runs the program compiled last on the numbers of `input` (one per line),
// "Pause" not waiting, within options.timeLimit; what --expect and the task
// checks compare.
CaseRun RunOnInput(const CliOptions& options, const std::string& input);

// Ends the offscreen application a drawn text may have needed.
void EndGuiApplication();

} // namespace tarko
