// Any bytes as program text: the token pass, the compiler and the formatter
// must come back with a result, never crash, and a program that compiled
// must load into the interpreter.
#include <cstdint>
#include <string>
#include <vector>

#include "language/Formatter.h"
#include "language/FrontEndOutput.h"
#include "language/Parser.h"
#include "language/TokenPass.h"
#include "runtime/Runner.h"
#include "FuzzInput.h"

using namespace tarko;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    FrontEndOutput out;
    size_t listed = 0;
    out.listing = [&](const std::string& line) { listed += line.size(); };
    SetFrontEndOutput(out);

    size_t tokens = 0;
    TokenPass(text, [&](const std::string&) { ++tokens; });

    if (CompileProgram(text))
        fuzz::Require(LoadCode().end == RunEnd::Stopped, "compiled code loads");

    // The formatter, line by line as the editor hands it over.
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            std::string line = text.substr(start, i - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            start = i + 1;
        }
    }
    const size_t before = lines.size();
    for (int changed : FormatLines(lines))
        fuzz::Require(changed >= 0 && size_t(changed) < lines.size(), "changed lines exist");
    fuzz::Require(lines.size() == before, "formatting keeps the number of lines");
    return 0;
}
