#include "runtime/Runner.h"

#include <chrono>
#include <cmath>
#include <random>

#include "language/FrontEndOutput.h"
#include "language/NumberText.h"
#include "language/PCode.h"
#include "language/SymTab.h"

namespace tarko {

bool StopRequested = false;
bool StepRequested = false;
bool DebugOutput = false;
bool InputDone = false;

const char* const FaultDivByZero = "Gleitkommadivision durch Null";
const char* const FaultInvalid = "Ung\xFCltige Gleitkommaoperation";
const char* const FaultOverflow = "Gleitkomma\xFC" "berlauf";
const char* const TooLargeText =
    "Das Programm ist zu gro\xDF: h\xF6" "chstens 10000 Befehle und 1000 Variablen";

void RunHost::StepWait()
{
    while (!StepRequested && !StopRequested)
        ProcessMessages();
}

void RunHost::Pause(double seconds) { WaitSeconds(seconds, *this); }

namespace {

// Opcodes the loader puts in place of instructions whose operand can never be
// used: executing one is the invalid-operation fault, for a conditional branch
// only when it would jump.
constexpr uint8_t OpBadOperand = 200;
constexpr uint8_t OpBadBreql = 201;
constexpr uint8_t OpBadBrneql = 202;

// One loaded instruction, its operand pre-converted where it is an address or
// a branch target (checked once at load time, not on every execution).
struct Decoded {
    uint8_t op;
    int32_t target;
    double x;
};

// The interpreter's state: one instance, re-initialised by every run.
struct Machine {
    TInstruction code[MaxInstructions];        // as loaded, for the step view
    Decoded decoded[MaxInstructions + 1];      // + a HALT after the last one
    double stack[StackSize];
    double data[MaxVariables];
    int sp = StackSize;
    int pc = 0;
    int count = 0;        // instructions loaded
    int variables = 0;    // variables of the program
    uint64_t executed = 0;
};

Machine machine;
std::optional<uint64_t> fixedSeed;
std::mt19937_64 generator;

constexpr double TwoTo63 = 9223372036854775808.0;

// Integer of v (truncation toward zero); false for NaN and values outside the
// 64-bit range. -2^63 is inside it.
inline bool IntegerOf(double v, int64_t& out)
{
    if (!(v >= -TwoTo63 && v < TwoTo63))
        return false;
    out = static_cast<int64_t>(v);
    return true;
}

// The 32-bit integer taken from the integer of v.
inline bool Int32Of(double v, int32_t& out)
{
    int64_t i;
    if (!IntegerOf(v, i))
        return false;
    out = static_cast<int32_t>(i);
    return true;
}

// The fault of an arithmetic result that is not finite; nullptr if none
// (an infinite operand gives an infinite result quietly).
const char* ArithmeticFault(double a, double b, double r)
{
    if (std::isnan(r))
        return FaultInvalid;
    if (std::isfinite(a) && std::isfinite(b))
        return FaultOverflow;
    return nullptr;
}

bool IsBranch(TOpcode op)
{
    return op == TOpcode::BRANCH || op == TOpcode::BREQL || op == TOpcode::BRNEQL;
}

Decoded Decode(const TInstruction& in)
{
    Decoded d{static_cast<uint8_t>(in.Op), 0, in.Arg};
    int32_t t = 0;
    if (in.Op == TOpcode::PUSH || in.Op == TOpcode::POPC) {
        if (!Int32Of(in.Arg, t) || t < 0 || t >= machine.variables)
            d.op = OpBadOperand;
        d.target = t;
    } else if (IsBranch(in.Op)) {
        if (!Int32Of(in.Arg, t) || t < 0 || t >= machine.count)
            d.op = in.Op == TOpcode::BREQL ? OpBadBreql
                 : in.Op == TOpcode::BRNEQL ? OpBadBrneql : OpBadOperand;
        d.target = t;
    }
    return d;
}

// Program point to pixel: column = integer of 10x + 100, row = 99 - integer of 10y.
inline bool MapX(double x, int64_t& col)
{
    if (!IntegerOf(10.0 * x, col))
        return false;
    col += 100;
    return true;
}

inline bool MapY(double y, int64_t& row)
{
    int64_t i;
    if (!IntegerOf(10.0 * y, i))
        return false;
    // 99 - i is beyond the 64-bit range only far below the image.
    row = i < 99 - INT64_MAX ? INT64_MAX : 99 - i;
    return true;
}

bool TextAt(double v, std::string& text)
{
    int32_t t;
    if (!Int32Of(v, t) || t < 0 || t >= TextCount())
        return false;
    text = GetText(t);
    return true;
}

// The main loop. Returns the fault text, or nullptr when the run ended by
// StopRequested.
template <bool Step>
const char* Execute(RunHost& host)
{
    Machine& m = machine;
    double* const stack = m.stack;
    double* const data = m.data;
    const Decoded* const code = m.decoded;
    int sp = m.sp;
    int pc = m.pc;
    uint64_t executed = 0;
    int countdown = MessagePassInterval;
    const char* fault = nullptr;
    std::string text;

    // The state the host may look at while it is called.
#define SYNC() (m.sp = sp, m.pc = pc, m.executed = executed)
#define FAULT(f) do { fault = (f); goto done; } while (0)
#define NEED(n) do { if (sp > StackSize - (n)) FAULT(FaultInvalid); } while (0)
#define ROOM() do { if (sp == 0) FAULT(FaultInvalid); } while (0)
#define HOSTCALL() (countdown = 1)
// a op b replaces a; a non-finite result is checked for a fault.
#define ARITHMETIC(op)                                                   \
    {                                                                    \
        NEED(2);                                                         \
        const double a = stack[sp + 1], b = stack[sp];                   \
        const double r = a op b;                                         \
        if (!std::isfinite(r)) [[unlikely]]                              \
            if (const char* f = ArithmeticFault(a, b, r)) FAULT(f);      \
        stack[++sp] = r;                                                 \
        break;                                                           \
    }

    for (;;) {
        if constexpr (Step) {
            SYNC();
            host.ShowData();
            host.ShowStack();
        }
        const Decoded in = code[pc++];
        ++executed;
        if constexpr (Step) {
            SYNC();
            host.AddCodeText(CodeViewText(pc - 1));
            host.StepWait();
            StepRequested = false;   // nothing reads it outside single steps
        }

        switch (in.op) {
        case static_cast<uint8_t>(TOpcode::ADD): ARITHMETIC(+);
        case static_cast<uint8_t>(TOpcode::SUB): ARITHMETIC(-);
        case static_cast<uint8_t>(TOpcode::MUL): ARITHMETIC(*);
        case static_cast<uint8_t>(TOpcode::DIV): {
            NEED(2);
            const double a = stack[sp + 1], b = stack[sp];
            if (b == 0.0) [[unlikely]]
                FAULT(a == 0.0 || std::isnan(a) ? FaultInvalid : FaultDivByZero);
            const double r = a / b;
            if (!std::isfinite(r)) [[unlikely]]
                if (const char* f = ArithmeticFault(a, b, r)) FAULT(f);
            stack[++sp] = r;
            break;
        }
        case static_cast<uint8_t>(TOpcode::EQUAL):
            NEED(2);
            stack[sp + 1] = stack[sp + 1] == stack[sp] ? 1.0 : 0.0;
            ++sp;
            break;
        case static_cast<uint8_t>(TOpcode::NOTEQL):
            NEED(2);
            stack[sp + 1] = stack[sp + 1] != stack[sp] ? 1.0 : 0.0;
            ++sp;
            break;
        case static_cast<uint8_t>(TOpcode::GREATER):
            NEED(2);
            stack[sp + 1] = stack[sp + 1] > stack[sp] ? 1.0 : 0.0;
            ++sp;
            break;
        case static_cast<uint8_t>(TOpcode::LESS):
            NEED(2);
            stack[sp + 1] = stack[sp + 1] < stack[sp] ? 1.0 : 0.0;
            ++sp;
            break;
        case static_cast<uint8_t>(TOpcode::GTREQL):
            NEED(2);
            stack[sp + 1] = stack[sp + 1] >= stack[sp] ? 1.0 : 0.0;
            ++sp;
            break;
        case static_cast<uint8_t>(TOpcode::LSSEQL):
            NEED(2);
            stack[sp + 1] = stack[sp + 1] <= stack[sp] ? 1.0 : 0.0;
            ++sp;
            break;
        case static_cast<uint8_t>(TOpcode::PUSHC):
            ROOM();
            stack[--sp] = in.x;
            break;
        case static_cast<uint8_t>(TOpcode::PUSH):
            ROOM();
            stack[--sp] = data[in.target];
            break;
        case static_cast<uint8_t>(TOpcode::POPC):
            NEED(1);
            data[in.target] = stack[sp++];
            break;
        case static_cast<uint8_t>(TOpcode::POP): {
            NEED(2);
            int32_t adr;
            if (!Int32Of(stack[sp], adr) || adr < 0 || adr >= m.variables)
                FAULT(FaultInvalid);
            data[adr] = stack[sp + 1];
            sp += 2;
            break;
        }
        case static_cast<uint8_t>(TOpcode::BRANCH):
            pc = in.target;
            break;
        case static_cast<uint8_t>(TOpcode::JUMP): {
            NEED(1);
            int32_t t;
            if (!Int32Of(stack[sp], t) || t < 0 || t >= m.count)
                FAULT(FaultInvalid);
            ++sp;
            pc = t;
            break;
        }
        case static_cast<uint8_t>(TOpcode::BREQL):
            NEED(1);
            if (stack[sp++] == 0.0)
                pc = in.target;
            break;
        case static_cast<uint8_t>(TOpcode::BRNEQL):
            NEED(1);
            if (stack[sp++] != 0.0)
                pc = in.target;
            break;
        case static_cast<uint8_t>(TOpcode::RNDINT): {
            NEED(2);
            int32_t lo, hi;
            if (!Int32Of(stack[sp + 1], lo) || !Int32Of(stack[sp], hi))
                FAULT(FaultInvalid);
            const int64_t n = std::llabs(int64_t{hi} - lo + 1);
            int64_t r = 0;
            if (n > 0)
                r = std::uniform_int_distribution<int64_t>(0, n - 1)(generator);
            stack[++sp] = static_cast<double>(lo + r);
            break;
        }
        case static_cast<uint8_t>(TOpcode::RDREAL): {
            ROOM();
            SYNC();
            host.ShowConsole();
            const double v = host.ReadNumber();
            stack[--sp] = v;
            HOSTCALL();
            break;
        }
        case static_cast<uint8_t>(TOpcode::WRREAL):
            NEED(1);
            SYNC();
            host.ShowConsole();
            host.WriteNumber(stack[sp]);
            ++sp;
            HOSTCALL();
            break;
        case static_cast<uint8_t>(TOpcode::WRTEXT):
            NEED(1);
            SYNC();
            host.ShowConsole();
            if (!TextAt(stack[sp], text))
                FAULT(FaultInvalid);
            host.WriteText(text);
            ++sp;
            HOSTCALL();
            break;
        case static_cast<uint8_t>(TOpcode::LOESCHEN):
            SYNC();
            host.ClearRunPanel();
            HOSTCALL();
            break;
        case static_cast<uint8_t>(TOpcode::PAUSE): {
            NEED(1);
            const double s = stack[sp++];
            SYNC();
            host.Pause(s);
            HOSTCALL();
            break;
        }
        case static_cast<uint8_t>(TOpcode::GPLOT): {
            SYNC();
            host.ShowGraphics();
            HOSTCALL();
            NEED(2);
            int64_t col, row;
            if (!MapY(stack[sp], row) || !MapX(stack[sp + 1], col))
                FAULT(FaultInvalid);
            sp += 2;
            host.Point(col, row);
            break;
        }
        case static_cast<uint8_t>(TOpcode::GLINE):
        case static_cast<uint8_t>(TOpcode::GRECTFIL): {
            SYNC();
            host.ShowGraphics();
            HOSTCALL();
            NEED(4);
            int64_t c1, r1, c2, r2;
            if (!MapY(stack[sp], r2) || !MapX(stack[sp + 1], c2) ||
                !MapY(stack[sp + 2], r1) || !MapX(stack[sp + 3], c1))
                FAULT(FaultInvalid);
            sp += 4;
            if (in.op == static_cast<uint8_t>(TOpcode::GLINE))
                host.Line(c1, r1, c2, r2);
            else
                host.FillRect(c1, r1, c2, r2);
            break;
        }
        case static_cast<uint8_t>(TOpcode::GCOLOR): {
            SYNC();
            host.ShowGraphics();
            HOSTCALL();
            NEED(1);
            int32_t colour;
            if (!Int32Of(stack[sp], colour))
                FAULT(FaultInvalid);
            ++sp;
            host.SetColor(colour);
            break;
        }
        case static_cast<uint8_t>(TOpcode::GCIRCLE): {
            SYNC();
            host.ShowGraphics();
            HOSTCALL();
            NEED(3);
            int64_t col, row, rr;
            if (!IntegerOf(10.0 * stack[sp], rr) || !MapY(stack[sp + 1], row) ||
                !MapX(stack[sp + 2], col))
                FAULT(FaultInvalid);
            sp += 3;
            host.FillCircle(col, row, rr);
            break;
        }
        case static_cast<uint8_t>(TOpcode::GTEXT): {
            SYNC();
            host.ShowGraphics();
            HOSTCALL();
            NEED(3);
            int64_t col, row;
            if (!TextAt(stack[sp], text) || !MapY(stack[sp + 1], row) ||
                !MapX(stack[sp + 2], col))
                FAULT(FaultInvalid);
            sp += 3;
            host.DrawText(col, row, text);
            break;
        }
        case static_cast<uint8_t>(TOpcode::CONTENTS): {
            NEED(1);
            int32_t adr;
            if (!Int32Of(stack[sp], adr) || adr < 0 || adr >= m.variables)
                FAULT(FaultInvalid);
            stack[sp] = data[adr];
            break;
        }
        case static_cast<uint8_t>(TOpcode::HALT):
            StopRequested = true;
            countdown = 1;
            break;
        case OpBadOperand:
            FAULT(FaultInvalid);
        case OpBadBreql:
            NEED(1);
            if (stack[sp++] == 0.0)
                FAULT(FaultInvalid);
            break;
        case OpBadBrneql:
            NEED(1);
            if (stack[sp++] != 0.0)
                FAULT(FaultInvalid);
            break;
        default:   // NOP and unknown opcodes do nothing
            break;
        }

        // StopRequested changes only in host calls and HALT, and each of
        // those sets the countdown to 1: the flag is tested after every
        // message pass, not after every instruction.
        if (Step || --countdown == 0) {
            countdown = MessagePassInterval;
            SYNC();
            host.ProcessMessages();
            if (StopRequested)
                break;
        }
    }
done:
    SYNC();
    return fault;
#undef SYNC
#undef FAULT
#undef NEED
#undef ROOM
#undef HOSTCALL
#undef ARITHMETIC
}

} // namespace

void SetRandomSeed(std::optional<uint64_t> seed) { fixedSeed = seed; }

uint64_t ExecutedInstructions() { return machine.executed; }
int RunnerVariableCount() { return machine.variables; }
int RunnerSP() { return machine.sp; }
int RunnerPC() { return machine.pc; }

double RunnerDataCell(int i)
{
    return i >= 0 && i < MaxVariables ? machine.data[i] : 0.0;
}

double RunnerStackCell(int i)
{
    return i >= 0 && i < StackSize ? machine.stack[i] : 0.0;
}

std::vector<std::string> DataViewLines()
{
    std::vector<std::string> lines;
    for (int i = 0; i <= std::min(machine.variables - 1, 7); ++i)
        lines.push_back(" #" + std::to_string(i) + ":" + NumberText(machine.data[i]) + "\r");
    return lines;
}

std::vector<std::string> StackViewLines()
{
    std::vector<std::string> lines;
    for (int i = machine.sp; i <= std::min(machine.sp + 7, StackSize - 1); ++i)
        lines.push_back(std::to_string(i) + " : " + NumberText(machine.stack[i]) + "\r");
    return lines;
}

std::string CodeViewText(int index)
{
    if (index < 0 || index >= machine.count)
        return std::to_string(index) + ": ";
    return std::to_string(index) + ": " + InstrToText(machine.code[index]);
}

RunResult LoadCode()
{
    Machine& m = machine;
    m.count = 0;
    m.variables = 0;
    ResetStream();
    TInstruction header[3];
    for (TInstruction& h : header)
        ReadS(h);
    if (header[0].Arg != CodeMachineVersion) {
        ReportInternalError("Interner Fehler 3: falsche Code-Maschine in Runner");
        return {RunEnd::Refused, {}};
    }
    int64_t count, variables;
    if (!IntegerOf(header[1].Arg, count) || !IntegerOf(header[2].Arg, variables) ||
        count < 0 || count > MaxInstructions || variables < 0 || variables > MaxVariables)
        return {RunEnd::Fault, TooLargeText};
    m.count = static_cast<int>(count);
    m.variables = static_cast<int>(variables);
    for (int i = 0; i < m.count; ++i)
        ReadS(m.code[i]);
    for (int i = 0; i < m.count; ++i)
        m.decoded[i] = Decode(m.code[i]);
    // Code that does not end with HALT stops when it runs past its end.
    m.decoded[m.count] = {static_cast<uint8_t>(TOpcode::HALT), 0, 0.0};
    return {};
}

RunResult Interpret(RunHost& host, bool step)
{
    Machine& m = machine;
    if (fixedSeed)
        generator.seed(*fixedSeed);
    else
        generator.seed(static_cast<uint64_t>(
            std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    m.sp = StackSize;
    m.pc = 0;
    m.executed = 0;
    for (int i = 0; i < m.variables; ++i)
        m.data[i] = -1.0;
    if (step)
        host.AddDebugText("Einzelschritt mit <Leertaste>...");
    StopRequested = false;
    StepRequested = false;

    const char* fault = step ? Execute<true>(host) : Execute<false>(host);
    if (fault)
        return {RunEnd::Fault, fault, m.pc - 1};   // pc has moved past the faulting instruction
    return {};
}

RunResult RunProgram(RunHost& host, bool step)
{
    RunResult loaded = LoadCode();
    if (loaded.end != RunEnd::Stopped)
        return loaded;
    return Interpret(host, step);
}

void WaitSeconds(double seconds, RunHost& host)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    for (;;) {
        host.ProcessMessages();
        if (StopRequested)
            return;
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (elapsed > seconds)
            return;
    }
}

} // namespace tarko
