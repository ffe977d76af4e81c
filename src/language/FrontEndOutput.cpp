#include "language/FrontEndOutput.h"

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

} // namespace tarko
