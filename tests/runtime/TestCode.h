#pragma once
// Builds p-code by hand in the code store (as the parser would) and records
// what the interpreter asks of its host.
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "language/PCode.h"
#include "language/SymTab.h"
#include "runtime/RunHost.h"
#include "runtime/Runner.h"

namespace tarko::test {

struct Op {
    TOpcode op;
    double arg = 0.0;
};

// Compiles the instructions with `variables` data addresses and the given
// texts (text address = index) into the code store; HALT is appended.
inline void Assemble(std::initializer_list<Op> code, int variables = 0,
                     std::initializer_list<std::string> texts = {})
{
    ClearSymTab();
    InitCode();
    for (int i = 0; i < variables; ++i)
        NewDataAdr();
    for (const std::string& t : texts)
        AddText(t);
    for (const Op& o : code)
        Emit(o.op, o.arg);
    FinishCode();
}

// One drawing instruction after its operands, with the text "Hallo" at text
// address 0 for GTEXT.
template <typename Operands>
void AssembleDrawing(const Operands& operands, TOpcode op)
{
    ClearSymTab();
    InitCode();
    AddText("Hallo");
    for (double v : operands)
        Emit(TOpcode::PUSHC, v);
    Emit(op);
    FinishCode();
}

// A host that writes every call into a log and answers number input from a queue.
class RecordingHost : public RunHost {
public:
    std::vector<std::string> log;
    std::vector<double> numbers;          // WriteNumber arguments
    std::string console;                  // texts written
    std::deque<double> input;             // ReadNumber answers; empty: Stop
    int passes = 0;
    std::function<void()> onPass;         // called in every message pass
    bool autoStep = true;                 // StepWait sets StepRequested at once

    void ShowConsole() override { log.push_back("ShowConsole"); }
    void ClearRunPanel() override { log.push_back("ClearRunPanel"); }
    void WriteText(const std::string& s) override
    {
        log.push_back("WriteText " + s);
        console += s;
    }
    void WriteNumber(double x) override
    {
        log.push_back("WriteNumber");
        numbers.push_back(x);
    }
    double ReadNumber() override
    {
        log.push_back("ReadNumber");
        if (input.empty()) {
            StopRequested = true;
            return 0.0;
        }
        const double v = input.front();
        input.pop_front();
        return v;
    }
    void ShowGraphics() override { log.push_back("ShowGraphics"); }
    void SetColor(int n) override { log.push_back("SetColor " + std::to_string(n)); }
    void Point(int64_t c, int64_t r) override
    {
        log.push_back("Point " + std::to_string(c) + " " + std::to_string(r));
    }
    void Line(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override
    {
        log.push_back("Line " + std::to_string(c1) + " " + std::to_string(r1) + " " +
                      std::to_string(c2) + " " + std::to_string(r2));
    }
    void FillRect(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override
    {
        log.push_back("FillRect " + std::to_string(c1) + " " + std::to_string(r1) + " " +
                      std::to_string(c2) + " " + std::to_string(r2));
    }
    void FillCircle(int64_t c, int64_t r, int64_t rr) override
    {
        log.push_back("FillCircle " + std::to_string(c) + " " + std::to_string(r) + " " +
                      std::to_string(rr));
    }
    void DrawText(int64_t c, int64_t r, const std::string& t) override
    {
        log.push_back("DrawText " + std::to_string(c) + " " + std::to_string(r) + " " + t);
    }
    void AddDebugText(const std::string& s) override { log.push_back("AddDebugText " + s); }
    void AddCodeText(const std::string& s) override { log.push_back("AddCodeText " + s); }
    void ShowData() override
    {
        std::string s = "ShowData";
        for (const std::string& l : DataViewLines())
            s += "|" + l;
        log.push_back(s);
    }
    void ShowStack() override
    {
        std::string s = "ShowStack";
        for (const std::string& l : StackViewLines())
            s += "|" + l;
        log.push_back(s);
    }
    void StepWait() override
    {
        log.push_back("StepWait");
        if (autoStep)
            StepRequested = true;
        RunHost::StepWait();
    }
    void Pause(double s) override
    {
        log.push_back("Pause");
        RunHost::Pause(s);
    }
    void ProcessMessages() override
    {
        ++passes;
        if (onPass)
            onPass();
    }

    bool Has(const std::string& entry) const
    {
        for (const std::string& l : log)
            if (l == entry)
                return true;
        return false;
    }
};

} // namespace tarko::test
