#include "runtime/CaseRunner.h"

#include "language/Cp1252.h"
#include "language/PCode.h"
#include "runtime/NumberEntry.h"
#include "runtime/Runner.h"

#include <chrono>
#include <sstream>

namespace tarko {

namespace {

// A console that writes its text into a transcript, takes the numbers from
// a list and draws nothing.
class CaseHost : public NoGraphicsHost {
public:
    CaseHost(const LineWrap& wrap, const std::string& input, double timeLimit)
        : console(wrap), in(input), timeLimit(timeLimit), start(std::chrono::steady_clock::now())
    {
    }

    std::string transcript;   // UTF-8
    bool endOfInput = false;
    bool timedOut = false;

    void ShowConsole() override {}
    void ClearRunPanel() override
    {
        console.Clear();
        transcript += '\f';
    }
    void WriteText(const std::string& s) override { transcript += Cp1252ToUtf8(console.Write(s, &StopRequested)); }

    double ReadNumber() override
    {
        std::string line;
        while (std::getline(in, line)) {
            if (firstLine && line.rfind("\xEF\xBB\xBF", 0) == 0)
                line.erase(0, 3);
            firstLine = false;
            double value;
            std::string typed;
            if (ParseInputLine(line, value, &typed)) {
                // The typed number shows right after the prompt.
                transcript += Cp1252ToUtf8(console.Append(typed));
                return value;
            }
        }
        endOfInput = true;
        StopRequested = true;
        return 0.0;
    }

    void StepWait() override {}
    void Pause(double) override {}   // a check never waits

    void ProcessMessages() override
    {
        if (timeLimit > 0 && std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > timeLimit) {
            timedOut = true;
            StopRequested = true;
        }
    }

private:
    ConsoleStream console;
    std::istringstream in;
    bool firstLine = true;
    const double timeLimit;
    const std::chrono::steady_clock::time_point start;
};

} // namespace

bool ParseInputLine(std::string line, double& value, std::string* typed)
{
    const char* const blanks = " \t\r";
    const size_t end = line.find_last_not_of(blanks);
    line.erase(end == std::string::npos ? 0 : end + 1);
    line.erase(0, line.find_first_not_of(blanks) == std::string::npos ? line.size() : line.find_first_not_of(blanks));
    if (!ParseNumberEntry(line, value))
        return false;
    if (typed)
        *typed = line;
    return true;
}

CaseRun RunCase(const LineWrap& wrap, const std::string& input, double timeLimit, std::optional<uint64_t> seed)
{
    CaseHost host(wrap, input, timeLimit);
    SetRandomSeed(seed);
    const bool debugOutput = DebugOutput;
    DebugOutput = false;
    const RunResult result = RunProgram(host, false);
    DebugOutput = debugOutput;

    CaseRun run;
    run.transcript = std::move(host.transcript);
    // An abnormal end explains a difference better than the difference.
    if (result.end == RunEnd::Fault) {
        run.end = CaseEnd::Fault;
        run.message = Cp1252ToUtf8(result.fault);
        run.line = CodeLine(result.faultInstruction) + 1;
    } else if (result.end == RunEnd::Refused) {
        run.end = CaseEnd::Fault;
        run.message = "Interner Fehler 3: falsche Code-Maschine";
    } else if (host.timedOut || host.endOfInput) {
        run.end = host.timedOut ? CaseEnd::TimeLimit : CaseEnd::EndOfInput;
        // The instruction that would have come next (the last one may have been a jump).
        run.line = (CodeLine(RunnerPC()) >= 0 ? CodeLine(RunnerPC()) : CodeLine(RunnerPC() - 1)) + 1;
    }
    return run;
}

} // namespace tarko
