// The translated code of normal runs against the plain loop: generated code
// stores (as the parser writes them, and hand-made ones with jumps into
// sequences, bad addresses, stack and arithmetic faults, input, the line
// limit) must give the same host calls with the same arguments, the same
// message passes at the same instruction counts, the same fault, count and
// final state. TARKO_DIFF_PROGRAMS=n raises the number of generated stores
// per row (default 400), TARKO_DIFF_SEED=n draws other ones.
#include <QtTest>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "TestCode.h"
#include "runtime/FastCode.h"

using namespace tarko;
using namespace tarko::test;
using O = TOpcode;

namespace {

// A recording host that also logs every message pass with the instruction
// count and stack pointer, stops the run after a number of passes or written
// lines (the line limit), and never waits in a pause.
class DiffHost : public RecordingHost {
public:
    int passLimit = 300;
    int lineLimit = 1 << 30;
    int lines = 0;

    DiffHost()
    {
        onPass = [this] {
            log.push_back("Pass " + std::to_string(ExecutedInstructions()) + " " +
                          std::to_string(RunnerSP()) + " " + std::to_string(RunnerPC()));
            if (passes >= passLimit)
                StopRequested = true;
        };
    }
    void WriteText(const std::string& s) override
    {
        RecordingHost::WriteText(s);
        if (++lines >= lineLimit)
            StopRequested = true;
    }
    void Pause(double s) override
    {
        log.push_back("Pause " + std::to_string(s));
        ProcessMessages();
    }
};

// Everything observable after one run, the doubles compared bit for bit.
struct Outcome {
    RunResult result;
    std::vector<std::string> log;
    std::vector<double> numbers;
    uint64_t executed = 0;
    int sp = 0, pc = 0;
    std::vector<double> data, stack;
};

bool SameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

struct Setup {
    int passLimit = 300;
    int lineLimit = 1 << 30;
    std::vector<double> input;
};

Outcome RunOnce(bool translated, const Setup& setup)
{
    SetTranslatedRuns(translated);
    SetRandomSeed(12345);
    DiffHost host;
    host.passLimit = setup.passLimit;
    host.lineLimit = setup.lineLimit;
    host.input.assign(setup.input.begin(), setup.input.end());
    Outcome o;
    o.result = RunProgram(host, false);
    o.log = host.log;
    o.numbers = host.numbers;
    o.executed = ExecutedInstructions();
    o.sp = RunnerSP();
    o.pc = RunnerPC();
    for (int i = 0; i < RunnerVariableCount(); ++i)
        o.data.push_back(RunnerDataCell(i));
    for (int i = o.sp; i < StackSize; ++i)   // the cells below SP are free
        o.stack.push_back(RunnerStackCell(i));
    SetTranslatedRuns(true);
    return o;
}

// The first difference between the two runs, empty when there is none.
QString Difference(const Outcome& t, const Outcome& p)
{
    if (t.result.end != p.result.end || t.result.fault != p.result.fault ||
        t.result.faultInstruction != p.result.faultInstruction)
        return QString("end %1 '%2' at %3 against %4 '%5' at %6")
            .arg(int(t.result.end)).arg(t.result.fault.c_str()).arg(t.result.faultInstruction)
            .arg(int(p.result.end)).arg(p.result.fault.c_str()).arg(p.result.faultInstruction);
    if (t.executed != p.executed)
        return QString("count %1 against %2").arg(t.executed).arg(p.executed);
    for (size_t i = 0; i < std::min(t.log.size(), p.log.size()); ++i)
        if (t.log[i] != p.log[i])
            return QString("host call %1: %2 against %3")
                .arg(i).arg(t.log[i].c_str()).arg(p.log[i].c_str());
    if (t.log.size() != p.log.size())
        return QString("%1 host calls against %2").arg(t.log.size()).arg(p.log.size());
    if (!SameBits(t.numbers, p.numbers))
        return "numbers written";
    if (t.sp != p.sp || t.pc != p.pc)
        return QString("SP/PC %1/%2 against %3/%4").arg(t.sp).arg(t.pc).arg(p.sp).arg(p.pc);
    if (!SameBits(t.data, p.data))
        return "variables";
    if (!SameBits(t.stack, p.stack))
        return "stack";
    return {};
}

void AssembleCode(const std::vector<Op>& code, int variables, int texts)
{
    ClearSymTab();
    InitCode();
    for (int i = 0; i < variables; ++i)
        NewDataAdr();
    for (int i = 0; i < texts; ++i)
        AddText("Text " + std::to_string(i));
    for (const Op& o : code)
        Emit(o.op, o.arg);
    FinishCode();
}

QString Listing(const std::vector<Op>& code)
{
    QString s;
    for (size_t i = 0; i < code.size(); ++i)
        s += QString("%1: %2\n").arg(i).arg(
            QString::fromLatin1(InstrToText({code[i].op, code[i].arg}).c_str()));
    return s;
}

// Generates code stores shaped like the parser's (expressions of variables
// and constants, assignments, "Falls", "Wiederhole" and "Solange" loops,
// output, input, random numbers, drawing) with, at the rate `noise`, raw
// instructions of any opcode with any operand in between.
class Generator {
public:
    Generator(uint64_t seed, double noise, double faultRate)
        : rng_(seed), noise_(noise), faultRate_(faultRate)
    {
    }

    std::vector<Op> code;
    int variables = 1;
    int texts = 3;

    void Program()
    {
        code.clear();
        variables = Pick(1, 8);
        const int statements = Pick(1, 12);
        for (int i = 0; i < statements; ++i)
            Statement(0);
    }

private:
    std::mt19937_64 rng_;
    double noise_, faultRate_;

    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
    int Here() const { return static_cast<int>(code.size()); }
    void Emit(O op, double arg = 0.0) { code.push_back({op, arg}); }

    double Constant()
    {
        static const double faulty[] = {0.0, 1e308, -1e308, 1e-300, 1e19,
                                        std::numeric_limits<double>::infinity(),
                                        std::numeric_limits<double>::quiet_NaN()};
        static const double plain[] = {0.0, 1.0, 2.0, -1.0, 0.5, 3.0, 7.0, 10.0, 0.05, 200.0};
        if (Chance(faultRate_))
            return faulty[Pick(0, 6)];
        return plain[Pick(0, 9)];
    }

    int Variable() { return Pick(0, variables - 1); }

    void Leaf()
    {
        if (Chance(0.5))
            Emit(O::PUSH, Variable());
        else
            Emit(O::PUSHC, Constant());
    }

    void Expression(int depth)
    {
        Noise();
        if (depth > 3 || Chance(0.35)) {
            Leaf();
            return;
        }
        static const O ops[] = {O::ADD, O::SUB, O::MUL, O::DIV, O::EQUAL, O::NOTEQL,
                                O::GREATER, O::LESS, O::GTREQL, O::LSSEQL};
        Expression(depth + 1);
        Expression(depth + 1);
        Emit(ops[Pick(0, Chance(0.9) ? 7 : 9)]);
    }

    // Any opcode (and some beyond the table) with an operand that may be a
    // bad address, a jump into the middle of a sequence or beyond the code.
    void Noise()
    {
        if (!Chance(noise_))
            return;
        const double operands[] = {0.0, 1.0, -1.0, double(variables), 1e19,
                                   std::numeric_limits<double>::quiet_NaN(),
                                   double(Pick(0, Here() + 3)), double(Pick(0, Here() + 3)),
                                   double(Variable())};
        Emit(static_cast<O>(Pick(0, 35)), operands[Pick(0, 8)]);
    }

    void Statement(int depth)
    {
        Noise();
        switch (Pick(0, depth > 2 ? 5 : 9)) {
        case 0: case 1:   // assignment
            Expression(0);
            Emit(O::POPC, Variable());
            break;
        case 2:   // output of an expression or a text
            if (Chance(0.5)) {
                Expression(0);
                Emit(O::WRREAL);
            } else {
                Emit(O::PUSHC, Chance(0.95) ? Pick(0, texts - 1) : texts);
                Emit(O::WRTEXT);
            }
            break;
        case 3:   // drawing
            switch (Pick(0, 3)) {
            case 0:
                Expression(1);
                Expression(1);
                Emit(O::GPLOT);
                break;
            case 1:
                Emit(O::PUSHC, Pick(13, 21));
                Emit(O::GCOLOR);
                break;
            case 2:
                for (int i = 0; i < 4; ++i)
                    Expression(2);
                Emit(Chance(0.5) ? O::GLINE : O::GRECTFIL);
                break;
            default:
                for (int i = 0; i < 3; ++i)
                    Expression(2);
                Emit(O::GCIRCLE);
                break;
            }
            break;
        case 4:   // input, random input, pause
            if (Chance(0.4)) {
                Emit(O::RDREAL);
            } else if (Chance(0.6)) {
                Expression(1);
                Expression(1);
                Emit(O::RNDINT);
            } else {
                Emit(O::PUSHC, Chance(0.5) ? 0.0 : -1.0);
                Emit(O::PAUSE);
                Emit(O::PUSHC, 0);
            }
            Emit(O::POPC, Variable());
            break;
        case 5:   // a "Löschen" now and then
            if (Chance(0.2))
                Emit(O::LOESCHEN);
            else
                Emit(O::NOP);
            break;
        case 6: {   // Falls ... [Ansonsten ...] Fallsende
            Expression(0);
            const int skip = Here();
            Emit(O::BREQL);
            Block(depth);
            if (Chance(0.5)) {
                const int over = Here();
                Emit(O::BRANCH);
                code[skip].arg = Here();
                Block(depth);
                code[over].arg = Here();
            } else {
                code[skip].arg = Here();
            }
            break;
        }
        case 7: case 8: {   // Wiederhole ... bis counter > n (or any condition)
            const int counter = Variable();
            Emit(O::PUSHC, 0);
            Emit(O::POPC, counter);
            const int top = Here();
            Block(depth);
            Emit(O::PUSH, counter);
            Emit(O::PUSHC, 1);
            Emit(O::ADD);
            Emit(O::POPC, counter);
            if (Chance(0.8)) {
                Emit(O::PUSH, counter);
                Emit(O::PUSHC, Pick(1, 40));
                Emit(Chance(0.5) ? O::GREATER : O::EQUAL);
            } else {
                Expression(0);
            }
            const int exit = Here();
            Emit(O::BRNEQL);
            Emit(O::BRANCH, top);
            code[exit].arg = Here();
            break;
        }
        default: {   // Solange condition ... (bounded by the pass limit)
            const int top = Here();
            Expression(0);
            const int exit = Here();
            Emit(O::BREQL);
            Block(depth);
            Emit(O::BRANCH, top);
            code[exit].arg = Here();
            break;
        }
        }
    }

    void Block(int depth)
    {
        const int n = Pick(0, 4);
        for (int i = 0; i < n; ++i)
            Statement(depth + 1);
    }
};

int ProgramsPerRow()
{
    const int n = qEnvironmentVariableIntValue("TARKO_DIFF_PROGRAMS");
    return n > 0 ? n : 400;
}

} // namespace

class TestTranslated : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetTranslatedRuns(true); }

    void frequentSequencesAreFused_data();
    void frequentSequencesAreFused();
    void handMadeCodeBehavesAlike_data();
    void handMadeCodeBehavesAlike();
    void generatedCodeBehavesAlike_data();
    void generatedCodeBehavesAlike();
};

// The translation itself: without it the comparisons below would compare the
// plain loop with itself.
void TestTranslated::frequentSequencesAreFused_data()
{
    QTest::addColumn<QList<double>>("program");   // opcode, operand pairs
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("length");
    auto op = [](O o) { return double(int(o)); };
    const int add = 0, mul = 2, equal = 4, greater = 6;

    QTest::newRow("b := a + 1") << QList<double>{op(O::PUSH), 0, op(O::PUSHC), 1, op(O::ADD), 0, op(O::POPC), 1}
        << BinaryKind(Operands::VK, add, Result::Store) << 4;
    QTest::newRow("push a * b") << QList<double>{op(O::PUSH), 0, op(O::PUSH), 1, op(O::MUL), 0}
        << BinaryKind(Operands::VV, mul, Result::Push) << 3;
    QTest::newRow("top + b") << QList<double>{op(O::PUSH), 1, op(O::ADD), 0}
        << BinaryKind(Operands::SV, add, Result::Push) << 2;
    QTest::newRow("two tops added, jump if not zero")
        << QList<double>{op(O::ADD), 0, op(O::BRNEQL), 0}
        << BinaryKind(Operands::SS, add, Result::JumpIfNonZero) << 2;
    QTest::newRow("until a = 7, the back jump taken in")
        << QList<double>{op(O::PUSH), 0, op(O::PUSHC), 7, op(O::EQUAL), 0, op(O::BRNEQL), 5, op(O::BRANCH), 0}
        << BinaryKind(Operands::VK, equal, Result::JumpIfNonZero) << 5;
    QTest::newRow("if 2 > a") << QList<double>{op(O::PUSHC), 2, op(O::PUSH), 0, op(O::GREATER), 0, op(O::BREQL), 4}
        << BinaryKind(Operands::KV, greater, Result::JumpIfZero) << 4;
    QTest::newRow("b := a") << QList<double>{op(O::PUSH), 0, op(O::POPC), 1} << int(KindMoveV) << 2;
    QTest::newRow("bad address is not fused") << QList<double>{op(O::PUSH), 5, op(O::POPC), 1} << int(KindPlain) << 1;
    QTest::newRow("branch to a bad target is not taken in")
        << QList<double>{op(O::PUSHC), 1, op(O::BRNEQL), 3, op(O::BRANCH), 99}
        << int(KindPushK) << 1;
    QTest::newRow("drawing stays plain") << QList<double>{op(O::GPLOT), 0} << int(KindPlain) << 1;
}

void TestTranslated::frequentSequencesAreFused()
{
    QFETCH(QList<double>, program);
    QFETCH(int, kind);
    QFETCH(int, length);
    std::vector<Op> code;
    for (qsizetype i = 0; i + 1 < program.size(); i += 2)
        code.push_back({TOpcode(int(program[i])), program[i + 1]});
    AssembleCode(code, 2, 0);
    QCOMPARE(int(LoadCode().end), int(RunEnd::Stopped));
    const std::vector<FastEntry> entries = TranslateLoadedCode();
    QCOMPARE(entries.size(), code.size() + 2);   // the closing HALT, and the one after it
    QCOMPARE(int(entries[0].kind), kind);
    QCOMPARE(int(entries[0].length), length);
    QCOMPARE(int(entries.back().kind), int(KindPlain));
}

// Named corner cases, each run both ways.
void TestTranslated::handMadeCodeBehavesAlike_data()
{
    QTest::addColumn<QList<double>>("program");   // opcode, operand pairs
    QTest::addColumn<int>("variables");
    QTest::addColumn<QString>("fault");           // of the plain run, "" for none
    auto op = [](O o) { return double(int(o)); };
    const QString div = QString::fromLatin1(FaultDivByZero);
    const QString inv = QString::fromLatin1(FaultInvalid);
    const QString ovf = QString::fromLatin1(FaultOverflow);

    // Faults in the middle of what would be one translated instruction.
    QTest::newRow("division by zero inside b := a / 0, after output")
        << QList<double>{op(O::PUSHC), 4, op(O::WRREAL), 0, op(O::PUSH), 0, op(O::PUSHC), 0, op(O::DIV), 0, op(O::POPC), 1}
        << 2 << div;
    QTest::newRow("zero by zero inside a compare-and-branch")
        << QList<double>{op(O::PUSHC), 0, op(O::POPC), 0, op(O::PUSH), 0, op(O::PUSH), 0, op(O::DIV), 0, op(O::BREQL), 0}
        << 1 << inv;
    QTest::newRow("overflow inside a := a * a in a loop")
        << QList<double>{op(O::PUSHC), 10, op(O::POPC), 0, op(O::PUSH), 0, op(O::PUSH), 0, op(O::MUL), 0, op(O::POPC), 0, op(O::BRANCH), 2}
        << 1 << ovf;
    QTest::newRow("infinity from a constant is no fault") << QList<double>{
        op(O::PUSHC), std::numeric_limits<double>::infinity(), op(O::POPC), 0,
        op(O::PUSH), 0, op(O::PUSHC), 1, op(O::ADD), 0, op(O::WRREAL), 0} << 1 << "";
    // Stack faults at each instruction of a sequence.
    QTest::newRow("empty stack under top + a")
        << QList<double>{op(O::PUSH), 0, op(O::ADD), 0, op(O::POPC), 0} << 1 << inv;
    QTest::newRow("stack full at the second push of a + b: 9999 pushes first")
        << QList<double>{op(O::PUSHC), 0, op(O::POPC), 0,
                         op(O::PUSHC), 1, op(O::PUSH), 0, op(O::PUSHC), 1, op(O::ADD), 0, op(O::POPC), 0,
                         op(O::PUSH), 0, op(O::PUSHC), 9999, op(O::LESS), 0, op(O::BRNEQL), 2,
                         op(O::PUSH), 0, op(O::PUSH), 0, op(O::ADD), 0}
        << 1 << inv;
    QTest::newRow("stack full at a lone PUSH")
        << QList<double>{op(O::PUSH), 0, op(O::BRANCH), 0} << 1 << inv;
    QTest::newRow("stack full at a lone PUSHC")
        << QList<double>{op(O::PUSHC), 5, op(O::BRANCH), 0} << 1 << inv;
    QTest::newRow("stack full at b := a")
        << QList<double>{op(O::PUSHC), 5, op(O::PUSH), 0, op(O::POPC), 0, op(O::BRANCH), 0} << 1 << inv;
    // Jumps into the middle of sequences and past the end.
    QTest::newRow("jump onto the PUSHC of a := a + 1")
        << QList<double>{op(O::PUSHC), 3, op(O::POPC), 0, op(O::PUSHC), 8, op(O::BRANCH), 5,
                         op(O::PUSH), 0, op(O::PUSHC), 1, op(O::ADD), 0, op(O::POPC), 0,
                         op(O::PUSH), 0, op(O::WRREAL), 0}
        << 1 << "";
    QTest::newRow("jump onto the ADD, an empty stack below")
        << QList<double>{op(O::PUSHC), 1, op(O::BRNEQL), 5, op(O::PUSH), 0, op(O::PUSHC), 1, op(O::ADD), 0, op(O::POPC), 0}
        << 1 << inv;
    QTest::newRow("computed JUMP into a compare-and-branch")
        << QList<double>{op(O::PUSHC), 7, op(O::PUSHC), 4, op(O::JUMP), 0,
                         op(O::PUSH), 0, op(O::PUSHC), 7, op(O::EQUAL), 0, op(O::BRNEQL), 9,
                         op(O::BRANCH), 0, op(O::WRREAL), 0}
        << 1 << "";
    QTest::newRow("conditional jump beyond the code, taken")
        << QList<double>{op(O::PUSH), 0, op(O::PUSHC), 1, op(O::LESS), 0, op(O::BRNEQL), 500} << 1 << inv;
    QTest::newRow("conditional jump beyond the code, not taken")
        << QList<double>{op(O::PUSH), 0, op(O::PUSHC), -5, op(O::LESS), 0, op(O::BRNEQL), 500} << 1 << "";
    QTest::newRow("endless loop ends by the message pass")
        << QList<double>{op(O::PUSH), 0, op(O::PUSHC), 1, op(O::ADD), 0, op(O::POPC), 0, op(O::BRANCH), 0}
        << 1 << "";
    QTest::newRow("output with the line limit")
        << QList<double>{op(O::PUSH), 0, op(O::PUSHC), 1, op(O::ADD), 0, op(O::POPC), 0,
                         op(O::PUSH), 0, op(O::WRREAL), 0, op(O::PUSHC), 0, op(O::WRTEXT), 0, op(O::BRANCH), 0}
        << 1 << "";
    QTest::newRow("input and random numbers")
        << QList<double>{op(O::RDREAL), 0, op(O::POPC), 0, op(O::PUSHC), 1, op(O::PUSH), 0, op(O::RNDINT), 0,
                         op(O::WRREAL), 0, op(O::PUSH), 0, op(O::PUSHC), 3, op(O::GREATER), 0, op(O::BREQL), 0}
        << 1 << "";
}

void TestTranslated::handMadeCodeBehavesAlike()
{
    QFETCH(QList<double>, program);
    QFETCH(int, variables);
    QFETCH(QString, fault);
    std::vector<Op> code;
    for (qsizetype i = 0; i + 1 < program.size(); i += 2)
        code.push_back({TOpcode(int(program[i])), program[i + 1]});
    AssembleCode(code, variables, 1);
    Setup setup;
    setup.passLimit = 2000;
    setup.lineLimit = 50;
    setup.input = {2.5, 7, -1, 4};
    const Outcome plain = RunOnce(false, setup);
    QCOMPARE(QString::fromLatin1(plain.result.fault.c_str()), fault);
    const Outcome translated = RunOnce(true, setup);
    QCOMPARE(Difference(translated, plain), QString());
}

void TestTranslated::generatedCodeBehavesAlike_data()
{
    QTest::addColumn<double>("noise");       // rate of raw instructions
    QTest::addColumn<double>("faultRate");   // rate of constants that fault
    QTest::addColumn<uint>("seed");

    QTest::newRow("as the parser writes it") << 0.0 << 0.0 << 1u;
    QTest::newRow("as the parser writes it, with faulting constants") << 0.0 << 0.05 << 2u;
    QTest::newRow("hand-made, a little noise") << 0.03 << 0.02 << 3u;
    QTest::newRow("hand-made, much noise") << 0.2 << 0.05 << 4u;
}

void TestTranslated::generatedCodeBehavesAlike()
{
    QFETCH(double, noise);
    QFETCH(double, faultRate);
    QFETCH(uint, seed);
    const int programs = ProgramsPerRow();
    Generator gen(seed + uint64_t(qEnvironmentVariableIntValue("TARKO_DIFF_SEED")) * 1000,
                  noise, faultRate);
    int faults = 0, fused = 0;
    uint64_t instructions = 0;
    for (int n = 0; n < programs; ++n) {
        gen.Program();
        AssembleCode(gen.code, gen.variables, gen.texts);
        Setup setup;
        setup.passLimit = 1 + n % 40;
        setup.lineLimit = 1 + n % 60;
        setup.input = {double(n % 7), 0.5, -3, 1e6};
        const Outcome plain = RunOnce(false, setup);
        const Outcome translated = RunOnce(true, setup);
        const QString difference = Difference(translated, plain);
        if (!difference.isEmpty())
            QFAIL(qPrintable(QString("program %1: %2\n%3").arg(n).arg(difference).arg(Listing(gen.code))));
        faults += plain.result.end == RunEnd::Fault;
        fused += plain.executed > 0;
        instructions += plain.executed;
    }
    qInfo("%d programs, %d ended by a fault, %llu instructions", programs, faults,
          static_cast<unsigned long long>(instructions));
    QVERIFY(fused > programs / 2);   // most of them ran at all
}

QTEST_GUILESS_MAIN(TestTranslated)
#include "test_translated.moc"
