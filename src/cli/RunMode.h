#pragma once
// The plain run mode of tarko-run: runs a compiled-from-text program without a
// window. programText is the file's text as Windows-1252 bytes with CR LF line
// ends. Returns the process exit code.
#include "cli/CliOptions.h"

#include <string>

namespace tarko {

int RunMode(const CliOptions& options, const std::string& programText);

} // namespace tarko
