#pragma once
// Test support: records what the front end reports and reads compiled code back.
#include "language/FrontEndOutput.h"
#include "language/PCode.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tarko::test {

struct CompileErrorRecord {
    std::string message;
    int line = -1;
    int column = -1;
};

// Installs recording receivers for as long as it lives.
class FrontEndRecorder {
public:
    std::vector<CompileErrorRecord> errors;
    std::vector<std::string> listing;
    std::vector<std::string> internalErrors;

    FrontEndRecorder()
    {
        FrontEndOutput out;
        out.compileError = [this](const std::string& m, int l, int c) { errors.push_back({m, l, c}); };
        out.listing = [this](const std::string& t) { listing.push_back(t); };
        out.internalError = [this](const std::string& t) { internalErrors.push_back(t); };
        SetFrontEndOutput(out);
    }
    ~FrontEndRecorder() { SetFrontEndOutput({}); }
    FrontEndRecorder(const FrontEndRecorder&) = delete;
    FrontEndRecorder& operator=(const FrontEndRecorder&) = delete;
};

// "NAME" or "NAME operand" for one instruction, operand as the shortest decimal.
inline std::string Describe(const TInstruction& instr)
{
    std::string text = OpcodeName(instr.Op);
    if (OpcodeShowsOperand(instr.Op)) {
        char buf[40];
        std::snprintf(buf, sizeof buf, " %.15g", instr.Arg);
        text += buf;
    }
    return text;
}

struct CompiledCode {
    double version = 0;
    int count = 0;       // header: instructions including HALT
    int variables = 0;   // header: number of variables
    std::string body;    // instructions 0 .. count-2, joined with ", "
    std::string last;    // the instruction after them (HALT for a complete program)
};

// Reads a finished program back from the code store, as the interpreter would.
inline CompiledCode ReadCompiledCode()
{
    CompiledCode code;
    TInstruction instr;
    ResetStream();
    ReadS(instr);
    code.version = instr.Arg;
    ReadS(instr);
    code.count = static_cast<int>(instr.Arg);
    ReadS(instr);
    code.variables = static_cast<int>(instr.Arg);
    for (int i = 0; i + 1 < code.count; ++i) {
        ReadS(instr);
        if (i > 0)
            code.body += ", ";
        code.body += Describe(instr);
    }
    ReadS(instr);
    code.last = Describe(instr);
    return code;
}

} // namespace tarko::test
