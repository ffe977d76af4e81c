// The p-code interpreter: its state, the loader, the main loop (the plain
// instructions and the handlers of the translated code) and the views of
// its state. The conversions of stack values are in RunnerValues.h, the
// translated binary operations in RunnerFastBinary.h (both internal to this
// file, so that the loop inlines them), the translation in FastCode.cpp.
#include "runtime/Runner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

#include "language/FrontEndOutput.h"
#include "language/NumberText.h"
#include "language/PCode.h"
#include "runtime/FastCode.h"
#include "runtime/Random.h"
#include "runtime/RunnerFastBinary.h"
#include "runtime/RunnerValues.h"

namespace tarko {

bool StopRequested = false;
bool StepRequested = false;
bool DebugOutput = false;
bool InputDone = false;
bool HostWaiting = false;

const char* const FaultDivByZero = "Gleitkommadivision durch Null";
const char* const FaultInvalid = "Ung\xFCltige Gleitkommaoperation";
const char* const FaultOverflow = "Gleitkomma\xFC" "berlauf";
const char* const TooLargeText =
    "Das Programm ist zu gro\xDF: h\xF6" "chstens 10000 Befehle und 1000 Variablen";

void RunHost::WriteNumber(double x) { WriteText(NumberText(x) + " "); }

void RunHost::StepWait()
{
    while (!StepRequested && !StopRequested)
        ProcessMessages();
}

void RunHost::Pause(double seconds) { WaitSeconds(seconds, *this); }

namespace {

// The interpreter's state: one instance, re-initialised by every run.
struct Machine {
    TInstruction code[MaxInstructions];        // as loaded, for the step view
    Decoded decoded[MaxInstructions + 1];      // + a HALT after the last one
    std::vector<FastEntry> fast;               // translated for normal runs
    double stack[StackSize];
    double data[MaxVariables];
    int sp = StackSize;
    int pc = 0;
    int count = 0;        // instructions loaded
    int variables = 0;    // variables of the program
    uint64_t executed = 0;
    bool step = false;    // a single-step run
    bool translated = false;   // executes `fast` (normal runs with translated runs on)
    // Where a single step left the instruction at PC when the host waited:
    // nothing done yet, its views and code text shown (waiting for the
    // step), or the step granted (waiting inside the instruction).
    enum class Resume : uint8_t { Fetch, Shown, Stepped } resume = Resume::Fetch;
};

Machine machine;
std::optional<uint64_t> fixedSeed;
bool translatedRuns = true;
std::mt19937_64 generator;

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

// Threaded code (the entries hold the addresses of their handlers) where the
// compiler has label addresses, a switch on the entry kind otherwise.
// WebAssembly has no label addresses: the compiler lowers them to a switch
// whose loop, entered from the plain loop as well, is irreducible; the engine
// then keeps the interpreter's state in memory. The switch is nested in the
// plain loop there instead.
#if defined(__GNUC__) && !defined(TARKO_SWITCH_DISPATCH) && !defined(__wasm__)
#define TARKO_THREADED 1
#else
#define TARKO_THREADED 0
#endif

// What Execute returns when the slice ends with the run still going.
const char SliceOver[] = "";

// The main loop. Returns the fault text, nullptr when the run ended by
// StopRequested, or SliceOver when maxInstructions (0: no limit) have been
// executed or the host is waiting. Normal runs execute the translated code
// when it is switched on (and fall back to the plain loop for single
// instructions); single-step runs always execute the plain loop.
template <bool Step>
const char* Execute(RunHost& host, uint64_t maxInstructions)
{
    Machine& m = machine;
    double* const stack = m.stack;
    double* const data = m.data;
    const Decoded* const code = m.decoded;
    int sp = m.sp;
    int pc = m.pc;
    uint64_t executed = m.executed;
    const uint64_t sliceEnd = maxInstructions ? executed + maxInstructions : UINT64_MAX;
    // The message pass is due after instruction number nextPass; the slice's
    // end is such a pass.
    uint64_t nextPass = std::min<uint64_t>(executed + MessagePassInterval, sliceEnd);
    const char* fault = nullptr;
    std::string text;
    const bool translated = !Step && m.translated;
    FastEntry* const fast = translated ? m.fast.data() : nullptr;
    const FastEntry* ip = fast;   // the entry of PC while the translated code runs

    // The state the host may look at while it is called.
#define SYNC() (m.sp = sp, m.pc = pc, m.executed = executed)
#define FAULT(f) do { fault = (f); goto done; } while (0)
#define NEED(n) do { if (sp > StackSize - (n)) FAULT(FaultInvalid); } while (0)
#define ROOM() do { if (sp == 0) FAULT(FaultInvalid); } while (0)
#define HOSTCALL() (nextPass = executed)
// The host cannot wait in place: the instruction is executed again when the
// next slice begins (state as before its fetch).
#define WAIT_AGAIN(resumeAt)                                                            \
    do {                                                                                \
        --pc;                                                                           \
        --executed;                                                                     \
        HostWaiting = false;                                                            \
        m.resume = (resumeAt);                                                          \
        goto sliceOver;                                                                 \
    } while (0)
// a op b replaces a; a non-finite result is checked for a fault.
#define ARITHMETIC(op)                                                   \
    {                                                                    \
        NEED(2);                                                         \
        const double a = stack[sp + 1], b = stack[sp];                   \
        const double r = a op b;                                         \
        if (!Finite(r)) [[unlikely]]                                     \
            if (const char* f = ArithmeticFault(a, b, r)) FAULT(f);      \
        stack[++sp] = r;                                                 \
        break;                                                           \
    }

#if TARKO_THREADED
#define TARKO_LABEL_ADDRESS(o, p, r) &&L_##o##_##p##_##r,
    static const void* const handlers[KindCount] = {
        TARKO_BINARY_KINDS(TARKO_LABEL_ADDRESS)
        &&L_Plain, &&L_PushV, &&L_PushK, &&L_Store, &&L_MoveV, &&L_MoveK, &&L_Branch,
        &&L_JumpIfZero, &&L_JumpIfNonZero};
#undef TARKO_LABEL_ADDRESS
#define DISPATCH() goto *ip->handler
#define HANDLER(label, kind) label:
#else
#define DISPATCH() continue
#define HANDLER(label, kind) case kind:
#endif

// The translated code's handlers (TARKO_TRANSLATED_HANDLERS), reached only
// through DISPATCH. Each runs its entry only when the message pass is not due
// within the instructions it stands for and none of them faults; otherwise
// TO_PLAIN: the plain loop executes the single instruction of the entry.
#define TO_PLAIN()                                                                         \
    do {                                                                                   \
        pc = static_cast<int>(ip - fast);                                                  \
        goto plain;                                                                        \
    } while (0)
#define TARKO_BINARY_HANDLER(o, p, r)                                                     \
    HANDLER(L_##o##_##p##_##r, BinaryKind(Operands::o, p, Result::r))                     \
    {                                                                                      \
        if (executed + ip->length >= nextPass ||                                           \
            !Binary<Operands::o, p, Result::r>(ip, stack, data, sp, executed))             \
            TO_PLAIN();                                                                    \
        DISPATCH();                                                                        \
    }
// The head of a handler of length n: the plain way when the pass is due within
// it or the stack condition c (that of its first instruction) fails.
#define ENTRY(n, c)                                                                        \
    const FastEntry& f = *ip;                                                              \
    if (executed + (n) >= nextPass || !(c))                                                \
        TO_PLAIN();
#define NEXT(n)                                                                            \
    ip += (n);                                                                             \
    executed += (n);                                                                       \
    DISPATCH();
#define JUMP_OR_FALL(taken)                                                                \
    if (taken) {                                                                           \
        TARKO_TAKEN();                                                                     \
        ip = f.jumpTo;                                                                     \
        executed += 1;                                                                     \
    } else {                                                                               \
        ip = f.fallTo;                                                                     \
        executed += f.length;                                                              \
    }                                                                                      \
    DISPATCH();
#define TARKO_TRANSLATED_HANDLERS                                                          \
    TARKO_BINARY_KINDS(TARKO_BINARY_HANDLER)                                               \
    HANDLER(L_Plain, KindPlain) TO_PLAIN();                                                \
    HANDLER(L_PushV, KindPushV) { ENTRY(1, sp > 0) stack[--sp] = data[f.a]; NEXT(1) }      \
    HANDLER(L_PushK, KindPushK) { ENTRY(1, sp > 0) stack[--sp] = f.ka; NEXT(1) }           \
    HANDLER(L_Store, KindStore) { ENTRY(1, sp < StackSize) data[f.dst] = stack[sp++]; NEXT(1) } \
    HANDLER(L_MoveV, KindMoveV) { ENTRY(2, sp > 0) data[f.dst] = data[f.a]; NEXT(2) }      \
    HANDLER(L_MoveK, KindMoveK) { ENTRY(2, sp > 0) data[f.dst] = f.ka; NEXT(2) }           \
    HANDLER(L_Branch, KindBranch) { ENTRY(1, true) JUMP_OR_FALL(true) }                    \
    HANDLER(L_JumpIfZero, KindJumpIfZero)                                                  \
    {                                                                                      \
        ENTRY(f.length, sp < StackSize)                                                    \
        JUMP_OR_FALL(stack[sp++] == 0.0)                                                   \
    }                                                                                      \
    HANDLER(L_JumpIfNonZero, KindJumpIfNonZero)                                            \
    {                                                                                      \
        ENTRY(f.length, sp < StackSize)                                                    \
        JUMP_OR_FALL(stack[sp++] != 0.0)                                                   \
    }

    if (translated) {
        for (FastEntry& e : m.fast) {
#if TARKO_THREADED
            e.handler = handlers[e.kind];
#endif
            e.jumpTo = fast + e.dst;   // meaningful for jumps only
            e.fallTo = fast + e.next;
        }
#if TARKO_THREADED
        ip = fast + pc;
        DISPATCH();
#endif
    }

    for (;;) {
#if !TARKO_THREADED
        if (translated) {
            ip = fast + pc;
            for (;;) {
                switch (ip->kind) {
                    TARKO_TRANSLATED_HANDLERS
                default:
                    TO_PLAIN();
                }
            }
        }
#endif
    plain:
        if constexpr (Step) {
            if (m.resume == Machine::Resume::Fetch) {
                SYNC();
                host.ShowData();
                host.ShowStack();
            }
        }
        const Decoded in = code[pc++];
        ++executed;
        // After a wait inside the instruction (Stepped) the instruction
        // itself takes up where it was.
        if constexpr (Step) {
            if (m.resume != Machine::Resume::Stepped) {
                SYNC();
                if (m.resume == Machine::Resume::Fetch)
                    host.AddCodeText(CodeViewText(pc - 1));
                host.StepWait();
                if (HostWaiting) [[unlikely]]
                    WAIT_AGAIN(Machine::Resume::Shown);
                StepRequested = false;   // nothing reads it outside single steps
                m.resume = Machine::Resume::Fetch;
            }
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
            if (!Finite(r)) [[unlikely]]
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
                r = static_cast<int64_t>(UniformBelow(generator, static_cast<uint64_t>(n)));
            stack[++sp] = static_cast<double>(lo + r);
            break;
        }
        case static_cast<uint8_t>(TOpcode::RDREAL): {
            ROOM();
            SYNC();
            if (m.resume != Machine::Resume::Stepped)
                host.ShowConsole();
            const double v = host.ReadNumber();
            if (HostWaiting) [[unlikely]]
                WAIT_AGAIN(Machine::Resume::Stepped);
            m.resume = Machine::Resume::Fetch;
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
            if (HostWaiting) [[unlikely]] {
                --sp;
                WAIT_AGAIN(Machine::Resume::Stepped);
            }
            m.resume = Machine::Resume::Fetch;
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
            nextPass = executed;
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
        // those makes the pass due at once: the flag is tested after every
        // message pass, not after every instruction.
        if (Step || executed >= nextPass) {
            nextPass = std::min<uint64_t>(executed + MessagePassInterval, sliceEnd);
            SYNC();
            host.ProcessMessages();
            if (StopRequested)
                break;
            if (executed >= sliceEnd)
                goto sliceOver;
        }
#if TARKO_THREADED
        if (translated) {
            ip = fast + pc;
            DISPATCH();
        }
#endif
    }
    goto done;
#if TARKO_THREADED
    TARKO_TRANSLATED_HANDLERS
#endif


done:
    SYNC();
    return fault;
sliceOver:
    SYNC();
    return SliceOver;
#undef WAIT_AGAIN
#undef SYNC
#undef FAULT
#undef NEED
#undef ROOM
#undef HOSTCALL
#undef ARITHMETIC
#undef DISPATCH
#undef HANDLER
#undef TO_PLAIN
#undef TARKO_BINARY_HANDLER
#undef ENTRY
#undef NEXT
#undef JUMP_OR_FALL
#undef TARKO_TRANSLATED_HANDLERS
}

} // namespace

void SetRandomSeed(std::optional<uint64_t> seed) { fixedSeed = seed; }

std::vector<FastEntry> TranslateLoadedCode()
{
    return TranslateCode(machine.decoded, machine.count);
}

void SetTranslatedRuns(bool on) { translatedRuns = on; }
bool TranslatedRuns() { return translatedRuns; }

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

void BeginRun(RunHost& host, bool step)
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
    m.step = step;
    m.resume = Machine::Resume::Fetch;
    for (int i = 0; i < m.variables; ++i)
        m.data[i] = -1.0;
    if (step)
        host.AddDebugText("Einzelschritt mit <Leertaste>...");
    StopRequested = false;
    StepRequested = false;
    HostWaiting = false;

    m.translated = !step && translatedRuns;
    if (m.translated)
        m.fast = TranslateCode(m.decoded, m.count);
}

bool RunSlice(RunHost& host, uint64_t maxInstructions, RunResult& result)
{
    Machine& m = machine;
    const char* fault = m.step ? Execute<true>(host, maxInstructions)
                               : Execute<false>(host, maxInstructions);
    if (fault == SliceOver)
        return false;
    if (fault)
        result = {RunEnd::Fault, fault, m.pc - 1};   // pc has moved past the faulting instruction
    else
        result = {};
    return true;
}

RunResult Interpret(RunHost& host, bool step)
{
    BeginRun(host, step);
    RunResult result;
    while (!RunSlice(host, 0, result)) {
        // Only a waiting host ends an unbounded slice early.
    }
    return result;
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
