// Random programs of the language, compiled and run with a step budget: the
// compiler must accept each of them, and the interpreter must end every run
// (halt, fault or the budget's Stop) without undefined behaviour. The input bytes choose the statements, names and numbers of a
// program and then the numbers typed at Eingabe.
#include <cstdint>
#include <string>

#include "language/FrontEndOutput.h"
#include "language/Parser.h"
#include "runtime/Runner.h"
#include "FuzzInput.h"

using namespace tarko;
using tarko::fuzz::FuzzInput;

namespace {

constexpr uint64_t StepBudget = 200000;

// Writes one program of the language from the input's choices.
class ProgramWriter {
public:
    explicit ProgramWriter(FuzzInput& in) : in_(in) {}

    std::string Program()
    {
        for (const char* name : names)
            text_ += std::string(name) + " <= " + Number() + "\r\n";
        const unsigned statements = 1 + in_.Below(24);
        for (unsigned i = 0; i < statements && !in_.Empty(); ++i)
            Statement(0);
        return text_;
    }

private:
    static constexpr const char* names[] = {"a", "b", "Zahl", "x\xE4"};   // "xä" in Windows-1252

    std::string Name() { return names[in_.Below(4)]; }

    std::string Number()
    {
        switch (in_.Below(6)) {
        case 0: return "0";
        case 1: return std::to_string(in_.Byte());
        case 2: return std::to_string(in_.Byte()) + "," + std::to_string(in_.Byte());
        case 3: return "99999999999999999999";
        case 4: return "0,000001";
        default: return std::to_string(in_.Byte() % 21);
        }
    }

    std::string Expression(int depth)
    {
        if (depth > 4)
            return in_.Flag() ? Name() : Number();
        switch (in_.Below(7)) {
        case 0: return Name();
        case 1: return Number();
        case 2: return "(" + Expression(depth + 1) + ")";
        case 3: return "(-" + Expression(depth + 1) + ")";
        default: {
            static const char* const ops[] = {" + ", " - ", " * ", " : "};
            return Expression(depth + 1) + ops[in_.Below(4)] + Expression(depth + 1);
        }
        }
    }

    std::string Condition(int depth)
    {
        static const char* const compare[] = {" = ", " < ", " > ", " # "};
        std::string c = Expression(depth) + compare[in_.Below(4)] + Expression(depth);
        if (depth < 3 && in_.Below(4) == 0)
            c += (in_.Flag() ? " und " : " oder ") + Condition(depth + 1);
        return c;
    }

    std::string Pair() { return "(" + Expression(2) + ";" + Expression(2) + ")"; }

    void Line(const std::string& line) { text_ += std::string(size_t(depth_), '\t') + line + "\r\n"; }

    void Block(int depth)
    {
        ++depth_;
        const unsigned statements = in_.Below(4);
        for (unsigned i = 0; i < statements; ++i)
            Statement(depth + 1);
        --depth_;
    }

    void Statement(int depth)
    {
        static const char* const colours[] = {"Schwarz", "Grau", "Wei\xDF", "Rot", "Gelb", "Gr\xFCn", "Blau"};
        const unsigned kind = in_.Below(depth < 4 ? 16 : 12);
        switch (kind) {
        case 0: Line(Name() + " <= " + Expression(0)); break;
        case 1: Line("Ausgabe \"Wert \" " + Expression(0) + " \"!\""); break;
        case 2: Line("Eingabe \"Zahl? \" " + Name()); break;
        case 3: Line("Zufallseingabe (" + Expression(2) + ".." + Expression(2) + ") " + Name()); break;
        case 4: Line("L\xF6schen"); break;
        case 5: Line("Pause " + Expression(2)); break;
        case 6: Line(colours[in_.Below(7)]); break;
        case 7: Line("Punkt " + Pair()); break;
        case 8: Line((in_.Flag() ? "Linie " : "Rechteck ") + Pair() + " " + Pair()); break;
        case 9: Line("Kreis (" + Expression(2) + ";" + Expression(2) + ";" + Expression(2) + ")"); break;
        case 10: Line("Grafiktext " + Pair() + " \"Text\""); break;
        case 11: Line("/ Kommentar"); break;
        case 12: case 13:
            Line("Solange " + Condition(0));
            Block(depth);
            Line("Solangeende");
            break;
        case 14:
            Line("Wiederhole");
            Block(depth);
            Line("Bis " + Condition(0));
            break;
        default:
            Line("Falls " + Condition(0));
            Block(depth);
            if (in_.Flag()) {
                Line("Ansonsten");
                Block(depth);
            }
            Line("Fallsende");
            break;
        }
    }

    FuzzInput& in_;
    std::string text_;
    int depth_ = 0;
};

// A host that draws nowhere, types the input's numbers and stops the run
// once the step budget is spent.
class BudgetHost : public NoGraphicsHost {
public:
    explicit BudgetHost(FuzzInput& in) : in_(in) {}
    void ShowConsole() override {}
    void ClearRunPanel() override {}
    void WriteText(const std::string& s) override { written += s.size(); }
    void WriteNumber(double) override { ++written; }
    double ReadNumber() override
    {
        if (in_.Empty()) {
            StopRequested = true;
            return 0;
        }
        const double choices[] = {0, 1, -1, 0.5, 1e308, -1e308, 123456789, 7};
        return choices[in_.Below(8)];
    }
    void Pause(double) override {}
    void ProcessMessages() override
    {
        if (ExecutedInstructions() > StepBudget)
            StopRequested = true;
    }
    size_t written = 0;

private:
    FuzzInput& in_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const std::string program = ProgramWriter(in).Program();
    std::string error;
    FrontEndOutput out;
    out.compileError = [&](const std::string& message, int, int) { error = message; };
    SetFrontEndOutput(out);
    if (!CompileProgram(program)) {
        // Every program written here follows the grammar; only its size may be refused.
        fuzz::Require(error == "Das Programm ist zu lang.", "a grammatical program compiles");
        return 0;
    }
    SetRandomSeed(1);
    BudgetHost host(in);
    StopRequested = false;
    const RunResult result = RunProgram(host, false);
    fuzz::Require(result.end != RunEnd::Refused, "compiled code is accepted");
    fuzz::Require(result.end == RunEnd::Fault || ExecutedInstructions() <= StepBudget + MessagePassInterval + 1,
                  "the run stops within the budget");
    return 0;
}
