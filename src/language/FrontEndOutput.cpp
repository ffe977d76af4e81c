#include "language/FrontEndOutput.h"

#include <algorithm>
#include <vector>

namespace tarko {

namespace {
FrontEndOutput output;
}

void SetFrontEndOutput(FrontEndOutput out) { output = std::move(out); }

const FrontEndOutput& CurrentFrontEndOutput() { return output; }

void ReportInternalError(const std::string& firstLine)
{
    if (output.internalError)
        output.internalError(firstLine + "\rBitte benachrichtigen Sie den Programmierer von TARKO.");
}

int ClampErrorPosition(const std::string& crlfText, int& line, int& column)
{
    std::vector<size_t> starts{0}, lengths;
    for (size_t i = 0; i + 1 < crlfText.size(); ++i)
        if (crlfText[i] == '\r' && crlfText[i + 1] == '\n') {
            lengths.push_back(i - starts.back());
            starts.push_back(i + 2);
        }
    lengths.push_back(crlfText.size() - starts.back());
    if (starts.size() > 1 && lengths.back() == 0) {
        starts.pop_back();
        lengths.pop_back();
    }
    if (line >= static_cast<int>(starts.size())) {
        line = static_cast<int>(starts.size()) - 1;
        column = std::max(1, static_cast<int>(lengths.back()));
    }
    const size_t l = static_cast<size_t>(std::max(line, 0));
    return static_cast<int>(starts[l] + std::min(static_cast<size_t>(std::max(column, 0)), lengths[l]));
}

} // namespace tarko
