// The interpreter on hand-assembled code: every opcode, the faults, the
// random bounds, the waits, the single-step protocol and the message pass.
#include <QElapsedTimer>
#include <QtTest>
#include <cmath>
#include <limits>
#include <set>

#include "TestCode.h"
#include "language/FrontEndOutput.h"

using namespace tarko;
using namespace tarko::test;
using O = TOpcode;

Q_DECLARE_METATYPE(tarko::TOpcode)

class TestRunner : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        SetRandomSeed(std::nullopt);
        DebugOutput = false;
    }

    void binaryOperations_data();
    void binaryOperations();
    void faults_data();
    void faults();
    void unassignedVariablesReadMinusOne();
    void storesLoadsAndJumps();
    void conditionalBranchesTreatAnyNonZeroAsTrue();
    void randomBounds_data();
    void randomBounds();
    void fixedSeedRepeatsTheSequence();
    void consoleInstructions();
    void drawingInstructionsMapCoordinates_data();
    void drawingInstructionsMapCoordinates();
    void pauseReturnsAtOnceForZeroAndNegative_data();
    void pauseReturnsAtOnceForZeroAndNegative();
    void stopEndsPauseAndRun();
    void stopDuringInputEndsAfterTheInstruction();
    void lineLimitStopEndsTheRun();
    void singleStepProtocol();
    void singleStepViewsAreLimited();
    void messagePassRunsRegularlyAndStopIsPrompt();
    void wrongCodeVersionIsRefused();
    void codeTooLargeIsRefused();
    void codeWithoutHaltEndsAtItsEnd();
};

void TestRunner::binaryOperations_data()
{
    QTest::addColumn<TOpcode>("op");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("result");

    QTest::newRow("ADD 2+3") << O::ADD << 2.0 << 3.0 << 5.0;
    QTest::newRow("SUB left minus right") << O::SUB << 2.0 << 5.0 << -3.0;
    QTest::newRow("MUL") << O::MUL << -1.0 << 2.5 << -2.5;
    QTest::newRow("DIV left by right") << O::DIV << 1.0 << 4.0 << 0.25;
    QTest::newRow("DIV zero by non-zero") << O::DIV << 0.0 << 7.0 << 0.0;
    QTest::newRow("MUL underflow is no fault") << O::MUL << 1e-300 << 1e-300 << 0.0;
    QTest::newRow("EQUAL true") << O::EQUAL << 2.0 << 2.0 << 1.0;
    QTest::newRow("EQUAL false") << O::EQUAL << 2.0 << 3.0 << 0.0;
    QTest::newRow("NOTEQL true") << O::NOTEQL << 2.0 << 3.0 << 1.0;
    QTest::newRow("NOTEQL false") << O::NOTEQL << 3.0 << 3.0 << 0.0;
    QTest::newRow("GREATER true") << O::GREATER << 3.0 << 2.0 << 1.0;
    QTest::newRow("GREATER equal is false") << O::GREATER << 2.0 << 2.0 << 0.0;
    QTest::newRow("LESS true") << O::LESS << 2.0 << 3.0 << 1.0;
    QTest::newRow("LESS reversed is false") << O::LESS << 3.0 << 2.0 << 0.0;
    QTest::newRow("GTREQL equal") << O::GTREQL << 2.0 << 2.0 << 1.0;
    QTest::newRow("GTREQL less") << O::GTREQL << 1.0 << 2.0 << 0.0;
    QTest::newRow("LSSEQL equal") << O::LSSEQL << 2.0 << 2.0 << 1.0;
    QTest::newRow("LSSEQL greater") << O::LSSEQL << 3.0 << 2.0 << 0.0;
}

void TestRunner::binaryOperations()
{
    QFETCH(TOpcode, op);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, result);
    Assemble({{O::PUSHC, a}, {O::PUSHC, b}, {op}, {O::WRREAL}});
    RecordingHost host;
    const RunResult r = RunProgram(host, false);
    QCOMPARE(int(r.end), int(RunEnd::Stopped));
    QCOMPARE(host.numbers.size(), size_t(1));
    QCOMPARE(host.numbers[0], result);
    QCOMPARE(RunnerSP(), StackSize);   // the result was the only thing left
}

void TestRunner::faults_data()
{
    QTest::addColumn<QList<double>>("program");   // opcode, operand pairs
    QTest::addColumn<int>("variables");
    QTest::addColumn<QString>("fault");
    const QString div = QString::fromLatin1(FaultDivByZero);
    const QString inv = QString::fromLatin1(FaultInvalid);
    const QString ovf = QString::fromLatin1(FaultOverflow);
    const double huge = 1e300, big = 1e19, nan = std::numeric_limits<double>::quiet_NaN();
    auto op = [](O o) { return double(int(o)); };

    // Arithmetic.
    QTest::newRow("division by zero") << QList<double>{op(O::PUSHC), 1, op(O::PUSHC), 0, op(O::DIV), 0} << 0 << div;
    QTest::newRow("negative by zero") << QList<double>{op(O::PUSHC), -3, op(O::PUSHC), 0, op(O::DIV), 0} << 0 << div;
    QTest::newRow("zero by zero") << QList<double>{op(O::PUSHC), 0, op(O::PUSHC), 0, op(O::DIV), 0} << 0 << inv;
    QTest::newRow("overflow MUL") << QList<double>{op(O::PUSHC), huge, op(O::PUSHC), huge, op(O::MUL), 0} << 0 << ovf;
    QTest::newRow("overflow ADD") << QList<double>{op(O::PUSHC), 1.7e308, op(O::PUSHC), 1.7e308, op(O::ADD), 0} << 0 << ovf;
    QTest::newRow("overflow SUB") << QList<double>{op(O::PUSHC), -1.7e308, op(O::PUSHC), 1.7e308, op(O::SUB), 0} << 0 << ovf;
    QTest::newRow("overflow DIV") << QList<double>{op(O::PUSHC), huge, op(O::PUSHC), 1e-300, op(O::DIV), 0} << 0 << ovf;
    // Conversions to an integer outside the 64-bit range or of NaN.
    QTest::newRow("colour number 1e19") << QList<double>{op(O::PUSHC), big, op(O::GCOLOR), 0} << 0 << inv;
    QTest::newRow("colour number NaN") << QList<double>{op(O::PUSHC), nan, op(O::GCOLOR), 0} << 0 << inv;
    QTest::newRow("point x scaled beyond 2^63") << QList<double>{op(O::PUSHC), 1e18, op(O::PUSHC), 0, op(O::GPLOT), 0} << 0 << inv;
    QTest::newRow("point y scaled beyond 2^63") << QList<double>{op(O::PUSHC), 0, op(O::PUSHC), -1e18, op(O::GPLOT), 0} << 0 << inv;
    QTest::newRow("circle radius beyond 2^63") << QList<double>{op(O::PUSHC), 0, op(O::PUSHC), 0, op(O::PUSHC), 1e300, op(O::GCIRCLE), 0} << 0 << inv;
    QTest::newRow("line end beyond 2^63") << QList<double>{op(O::PUSHC), 0, op(O::PUSHC), 0, op(O::PUSHC), 1e18, op(O::PUSHC), 0, op(O::GLINE), 0} << 0 << inv;
    QTest::newRow("random bound 1e19") << QList<double>{op(O::PUSHC), 1, op(O::PUSHC), big, op(O::RNDINT), 0} << 0 << inv;
    QTest::newRow("jump target 1e19") << QList<double>{op(O::PUSHC), big, op(O::JUMP), 0} << 0 << inv;
    QTest::newRow("branch target 1e19") << QList<double>{op(O::BRANCH), big} << 0 << inv;
    // Bad addresses are the invalid-operation fault as well.
    QTest::newRow("PUSH beyond the variables") << QList<double>{op(O::PUSH), 1} << 1 << inv;
    QTest::newRow("POPC negative address") << QList<double>{op(O::PUSHC), 1, op(O::POPC), -1} << 1 << inv;
    QTest::newRow("POP address beyond the variables") << QList<double>{op(O::PUSHC), 5, op(O::PUSHC), 3, op(O::POP), 0} << 2 << inv;
    QTest::newRow("CONTENTS of address 999 with one variable") << QList<double>{op(O::PUSHC), 999, op(O::CONTENTS), 0} << 1 << inv;
    QTest::newRow("BRANCH beyond the code") << QList<double>{op(O::BRANCH), 50} << 0 << inv;
    QTest::newRow("BREQL to a negative target") << QList<double>{op(O::PUSHC), 0, op(O::BREQL), -1} << 0 << inv;
    QTest::newRow("JUMP beyond the code") << QList<double>{op(O::PUSHC), 3, op(O::JUMP), 0} << 0 << inv;
    QTest::newRow("text address never stored") << QList<double>{op(O::PUSHC), 4, op(O::WRTEXT), 0} << 0 << inv;
    QTest::newRow("graphics text address negative") << QList<double>{op(O::PUSHC), 0, op(O::PUSHC), 0, op(O::PUSHC), -1, op(O::GTEXT), 0} << 0 << inv;
    // Stack underflow.
    QTest::newRow("ADD on an empty stack") << QList<double>{op(O::ADD), 0} << 0 << inv;
    QTest::newRow("POPC on an empty stack") << QList<double>{op(O::POPC), 0} << 1 << inv;
    QTest::newRow("WRREAL on an empty stack") << QList<double>{op(O::WRREAL), 0} << 0 << inv;
    QTest::newRow("GLINE with three values") << QList<double>{op(O::PUSHC), 0, op(O::PUSHC), 0, op(O::PUSHC), 0, op(O::GLINE), 0} << 0 << inv;
}

void TestRunner::faults()
{
    QFETCH(QList<double>, program);
    QFETCH(int, variables);
    QFETCH(QString, fault);
    ClearSymTab();
    InitCode();
    for (int i = 0; i < variables; ++i)
        NewDataAdr();
    AddText("t");
    for (qsizetype i = 0; i + 1 < program.size(); i += 2)
        Emit(TOpcode(int(program[i])), program[i + 1]);
    Emit(O::PUSHC, 0);   // never reached: the fault ends the run first
    Emit(O::WRTEXT);
    FinishCode();
    RecordingHost host;
    const RunResult r = RunProgram(host, false);
    QCOMPARE(int(r.end), int(RunEnd::Fault));
    QCOMPARE(QString::fromLatin1(r.fault.c_str()), fault);
    QVERIFY(host.console.empty());
}

void TestRunner::unassignedVariablesReadMinusOne()
{
    // Also after an earlier run left other values in the cells.
    Assemble({{O::PUSHC, 5}, {O::POPC, 1}}, 2);
    RecordingHost first;
    RunProgram(first, false);
    Assemble({{O::PUSH, 0}, {O::WRREAL}, {O::PUSH, 1}, {O::WRREAL}}, 2);
    RecordingHost host;
    RunProgram(host, false);
    QCOMPARE(host.numbers, (std::vector<double>{-1.0, -1.0}));
}

void TestRunner::storesLoadsAndJumps()
{
    // POPC, PUSH, POP (value then address), CONTENTS, JUMP over a WRREAL.
    Assemble({{O::PUSHC, 7}, {O::POPC, 0},                // v0 := 7
              {O::PUSHC, 9}, {O::PUSHC, 1}, {O::POP},     // v1 := 9
              {O::PUSHC, 1}, {O::CONTENTS}, {O::WRREAL},  // 9
              {O::PUSH, 0}, {O::WRREAL},                  // 7
              {O::PUSHC, 14}, {O::JUMP},                  // over the next two
              {O::PUSHC, 99}, {O::WRREAL},
              {O::NOP}, {O::PUSHC, 1}, {O::WRREAL}},
             2);
    RecordingHost host;
    QCOMPARE(int(RunProgram(host, false).end), int(RunEnd::Stopped));
    QCOMPARE(host.numbers, (std::vector<double>{9.0, 7.0, 1.0}));
    QCOMPARE(RunnerSP(), StackSize);
}

void TestRunner::conditionalBranchesTreatAnyNonZeroAsTrue()
{
    // Two true comparisons joined by ADD give 2.0: BREQL does not jump,
    // BRNEQL does; 0 makes BREQL jump. A counting loop runs five times.
    Assemble({{O::PUSHC, 1}, {O::PUSHC, 1}, {O::EQUAL}, {O::PUSHC, 2}, {O::PUSHC, 2},
              {O::EQUAL}, {O::ADD}, {O::BREQL, 10}, {O::PUSHC, 111}, {O::WRREAL},
              // 10: 2.0 for BRNEQL jumps over 222
              {O::PUSHC, 2}, {O::BRNEQL, 14}, {O::PUSHC, 222}, {O::WRREAL},
              // 14: 0 for BREQL jumps over 333
              {O::PUSHC, 0}, {O::BREQL, 18}, {O::PUSHC, 333}, {O::WRREAL},
              // 18: v0 := 0; repeat v0 := v0 + 1 until v0 = 5
              {O::PUSHC, 0}, {O::POPC, 0},
              {O::PUSH, 0}, {O::PUSHC, 1}, {O::ADD}, {O::POPC, 0},  // 20
              {O::PUSH, 0}, {O::PUSHC, 5}, {O::EQUAL}, {O::BREQL, 20},
              {O::PUSH, 0}, {O::WRREAL}},
             1);
    RecordingHost host;
    RunProgram(host, false);
    QCOMPARE(host.numbers, (std::vector<double>{111.0, 5.0}));
}

void TestRunner::randomBounds_data()
{
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<QList<double>>("values");   // all results expected over many runs

    QTest::newRow("5 and 1 give 5 to 7") << 5.0 << 1.0 << QList<double>{5, 6, 7};
    QTest::newRow("3 and 2 always give 3") << 3.0 << 2.0 << QList<double>{3};
    QTest::newRow("-2,5 and 2 use -2 and 2") << -2.5 << 2.0 << QList<double>{-2, -1, 0, 1, 2};
    QTest::newRow("equal bounds") << 4.0 << 4.0 << QList<double>{4};
    QTest::newRow("fractions truncate toward zero") << 1.9 << 2.9 << QList<double>{1, 2};
    // -2^63 is the smallest 64-bit integer; its low 32 bits are 0.
    QTest::newRow("bounds of exactly -2^63 are 0") << -0x1p63 << -0x1p63 << QList<double>{0};
}

void TestRunner::randomBounds()
{
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(QList<double>, values);
    std::set<double> seen;
    for (int run = 0; run < 40; ++run) {
        Assemble({{O::PUSHC, lo}, {O::PUSHC, hi}, {O::RNDINT}, {O::POPC, 0}, {O::PUSH, 0},
                  {O::WRREAL}, {O::PUSHC, lo}, {O::PUSHC, hi}, {O::RNDINT}, {O::WRREAL}},
                 1);
        RecordingHost host;
        RunProgram(host, false);
        QCOMPARE(host.numbers.size(), size_t(2));
        seen.insert(host.numbers.begin(), host.numbers.end());
    }
    QCOMPARE(seen, std::set<double>(values.begin(), values.end()));
}

void TestRunner::fixedSeedRepeatsTheSequence()
{
    auto draw = [] {
        Assemble({{O::PUSHC, 1}, {O::PUSHC, 1000000}, {O::RNDINT}, {O::WRREAL},
                  {O::PUSHC, 1}, {O::PUSHC, 1000000}, {O::RNDINT}, {O::WRREAL}});
        RecordingHost host;
        RunProgram(host, false);
        return host.numbers;
    };
    SetRandomSeed(42);
    const std::vector<double> first = draw();
    QCOMPARE(draw(), first);
    SetRandomSeed(43);
    QVERIFY(draw() != first);
}

void TestRunner::consoleInstructions()
{
    Assemble({{O::PUSHC, 1}, {O::WRTEXT}, {O::RDREAL}, {O::POPC, 0}, {O::LOESCHEN},
              {O::PUSH, 0}, {O::WRREAL}, {O::PUSHC, 0}, {O::WRTEXT}},
             1, {"Zahl: ", "\xC4pfel"});
    RecordingHost host;
    host.input = {12.5};
    RunProgram(host, false);
    const std::vector<std::string> expected{
        "ShowConsole", "WriteText \xC4pfel", "ShowConsole", "ReadNumber",
        "ClearRunPanel", "ShowConsole", "WriteNumber", "ShowConsole", "WriteText Zahl: "};
    QCOMPARE(host.log, expected);
    QCOMPARE(host.numbers, std::vector<double>{12.5});
}

void TestRunner::drawingInstructionsMapCoordinates_data()
{
    QTest::addColumn<QList<double>>("operands");
    QTest::addColumn<TOpcode>("op");
    QTest::addColumn<QString>("call");

    QTest::newRow("point at the origin") << QList<double>{0, 0} << O::GPLOT << "Point 100 99";
    QTest::newRow("point -0,05;0,05 on the origin pixel") << QList<double>{-0.05, 0.05} << O::GPLOT << "Point 100 99";
    QTest::newRow("point -0,15;0 one column left") << QList<double>{-0.15, 0} << O::GPLOT << "Point 99 99";
    QTest::newRow("point 10;10 one beyond the image") << QList<double>{10, 10} << O::GPLOT << "Point 200 -1";
    QTest::newRow("point -10;-10 at the corner") << QList<double>{-10, -10} << O::GPLOT << "Point 0 199";
    QTest::newRow("point far away keeps its pixel") << QList<double>{1000000, 0} << O::GPLOT << "Point 10000100 99";
    // 10 x = -2^63 is still inside the 64-bit range: no fault, far outside.
    QTest::newRow("point x scaled to exactly -2^63") << QList<double>{-0x1p63 / 10, 0} << O::GPLOT
                                                      << "Point -9223372036854775708 99";
    QTest::newRow("point y scaled to exactly -2^63 lies far below") << QList<double>{0, -0x1p63 / 10}
                                                                     << O::GPLOT << "Point 100 9223372036854775807";
    QTest::newRow("line in push order") << QList<double>{-10, 0, 10, 0} << O::GLINE << "Line 0 99 200 99";
    QTest::newRow("rectangle corners") << QList<double>{3, 3, 1, 1} << O::GRECTFIL << "FillRect 130 69 110 89";
    QTest::newRow("circle radius scaled without offset") << QList<double>{0, 0, 1} << O::GCIRCLE << "FillCircle 100 99 10";
    QTest::newRow("text at its point") << QList<double>{-1, 2, 0} << O::GTEXT << "DrawText 90 79 Hallo";
    QTest::newRow("colour number truncated") << QList<double>{17.9} << O::GCOLOR << "SetColor 17";
}

void TestRunner::drawingInstructionsMapCoordinates()
{
    QFETCH(QList<double>, operands);
    QFETCH(TOpcode, op);
    QFETCH(QString, call);
    AssembleDrawing(operands, op);
    RecordingHost host;
    QCOMPARE(int(RunProgram(host, false).end), int(RunEnd::Stopped));
    QCOMPARE(host.log.size(), size_t(2));
    QCOMPARE(host.log[0], std::string("ShowGraphics"));
    QCOMPARE(QString::fromLatin1(host.log[1].c_str()), call);
    QCOMPARE(RunnerSP(), StackSize);
}

void TestRunner::pauseReturnsAtOnceForZeroAndNegative_data()
{
    QTest::addColumn<double>("seconds");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("minus one") << -1.0;
}

void TestRunner::pauseReturnsAtOnceForZeroAndNegative()
{
    QFETCH(double, seconds);
    Assemble({{O::PUSHC, seconds}, {O::PAUSE}, {O::PUSHC, 1}, {O::WRREAL}});
    RecordingHost host;
    QElapsedTimer t;
    t.start();
    RunProgram(host, false);
    QVERIFY(t.elapsed() < 500);
    QVERIFY(host.Has("Pause"));
    QCOMPARE(host.numbers, std::vector<double>{1.0});
}

void TestRunner::stopEndsPauseAndRun()
{
    // Stop arrives in the third message pass of a ten-second pause.
    Assemble({{O::PUSHC, 10}, {O::PAUSE}, {O::PUSHC, 1}, {O::WRREAL}});
    RecordingHost host;
    host.onPass = [&] {
        if (host.passes == 3)
            StopRequested = true;
    };
    QElapsedTimer t;
    t.start();
    RunProgram(host, false);
    QVERIFY(t.elapsed() < 1000);
    QVERIFY(host.numbers.empty());   // the run ended after the PAUSE instruction

    // A short pause really waits.
    Assemble({{O::PUSHC, 0.1}, {O::PAUSE}});
    RecordingHost waiting;
    t.restart();
    RunProgram(waiting, false);
    QVERIFY(t.elapsed() >= 100);
}

void TestRunner::stopDuringInputEndsAfterTheInstruction()
{
    // The host sets StopRequested when it has no input left (like end of
    // input in tarko-run): the value is stored, nothing after it runs.
    Assemble({{O::RDREAL}, {O::POPC, 0}, {O::PUSH, 0}, {O::WRREAL}}, 1);
    RecordingHost host;
    RunProgram(host, false);
    QVERIFY(host.numbers.empty());
    QCOMPARE(RunnerSP(), StackSize - 1);   // the value read is still on the stack
}

void TestRunner::lineLimitStopEndsTheRun()
{
    class LimitedHost : public RecordingHost {
    public:
        void WriteText(const std::string& s) override
        {
            RecordingHost::WriteText(s);
            StopRequested = true;
        }
    };
    Assemble({{O::PUSHC, 0}, {O::WRTEXT}, {O::PUSHC, 0}, {O::WRTEXT}}, 0, {"x"});
    LimitedHost host;
    QCOMPARE(int(RunProgram(host, false).end), int(RunEnd::Stopped));
    QCOMPARE(host.console, std::string("x"));
}

void TestRunner::singleStepProtocol()
{
    DebugOutput = true;
    Assemble({{O::PUSHC, 10}, {O::POPC, 0}}, 1);
    RecordingHost host;
    QCOMPARE(int(RunProgram(host, true).end), int(RunEnd::Stopped));
    // Views show the state before the instruction displayed next; one Step
    // executes exactly that instruction.
    const std::vector<std::string> expected{
        "AddDebugText Einzelschritt mit <Leertaste>...",
        "ShowData| #0:-1\r", "ShowStack", "AddCodeText 0: PUSHC 1.0E+0001", "StepWait",
        "ShowData| #0:-1\r", "ShowStack|9999 : 10\r", "AddCodeText 1: POPC 0.0E+0000", "StepWait",
        "ShowData| #0:10\r", "ShowStack", "AddCodeText 2: HALT", "StepWait"};
    QCOMPARE(host.log, expected);
    QCOMPARE(host.passes, 3);   // one pass after every instruction
}

void TestRunner::singleStepViewsAreLimited()
{
    // Ten variables: only 0..7 are shown; ten stack cells: only the top eight.
    ClearSymTab();
    InitCode();
    for (int i = 0; i < 10; ++i)
        NewDataAdr();
    for (int i = 0; i < 10; ++i)
        Emit(O::PUSHC, i);
    FinishCode();
    class CheckingHost : public RecordingHost {
    public:
        int shown = 0;
        void StepWait() override
        {
            // The tenth PUSHC has been fetched: nine values on the stack.
            if (RunnerPC() == 10 && shown++ == 0) {
                QCOMPARE(DataViewLines().size(), size_t(8));
                QCOMPARE(DataViewLines()[7], std::string(" #7:-1\r"));
                QVERIFY(StackViewLines().size() == 8);
                QCOMPARE(QString::fromLatin1(StackViewLines()[0].c_str()), QString("9991 : 8\r"));
                QCOMPARE(QString::fromLatin1(StackViewLines()[7].c_str()), QString("9998 : 1\r"));
            }
            RecordingHost::StepWait();
        }
    };
    CheckingHost host;
    RunProgram(host, true);
    QCOMPARE(host.shown, 1);
    QCOMPARE(StackViewLines().size(), size_t(8));
}

void TestRunner::messagePassRunsRegularlyAndStopIsPrompt()
{
    // An endless loop: v0 := v0 + 1; BRANCH 0. Stop from the 10th pass.
    Assemble({{O::PUSH, 0}, {O::PUSHC, 1}, {O::ADD}, {O::POPC, 0}, {O::BRANCH, 0}}, 1);
    RecordingHost host;
    host.onPass = [&] {
        if (host.passes == 10)
            StopRequested = true;
    };
    RunProgram(host, false);
    QCOMPARE(host.passes, 10);
    QCOMPARE(ExecutedInstructions(), uint64_t(10 * MessagePassInterval));
}

void TestRunner::wrongCodeVersionIsRefused()
{
    std::vector<std::string> boxes;
    FrontEndOutput out;
    out.internalError = [&](const std::string& t) { boxes.push_back(t); };
    SetFrontEndOutput(out);
    Assemble({{O::PUSHC, 1}, {O::WRREAL}});
    SeekS(0);
    WriteS({O::NOP, 7.0});
    RecordingHost host;
    const RunResult r = RunProgram(host, false);
    SetFrontEndOutput({});
    QCOMPARE(int(r.end), int(RunEnd::Refused));
    QVERIFY(host.log.empty());
    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0], std::string("Interner Fehler 3: falsche Code-Maschine in Runner\r"
                                   "Bitte benachrichtigen Sie den Programmierer von TARKO."));
}

void TestRunner::codeTooLargeIsRefused()
{
    ClearSymTab();
    InitCode();
    for (int i = 0; i < MaxVariables + 1; ++i)
        NewDataAdr();
    FinishCode();
    RecordingHost host;
    RunResult r = RunProgram(host, false);
    QCOMPARE(int(r.end), int(RunEnd::Fault));
    QCOMPARE(r.fault, std::string(TooLargeText));

    ClearSymTab();
    InitCode();
    for (int i = 0; i < MaxInstructions; ++i)   // + HALT = 10001
        Emit(O::NOP);
    FinishCode();
    r = RunProgram(host, false);
    QCOMPARE(int(r.end), int(RunEnd::Fault));

    // Exactly 1000 variables and 10000 instructions still run.
    ClearSymTab();
    InitCode();
    for (int i = 0; i < MaxVariables; ++i)
        NewDataAdr();
    Emit(O::PUSH, MaxVariables - 1);
    Emit(O::WRREAL);
    for (int i = 0; i < MaxInstructions - 3; ++i)
        Emit(O::NOP);
    FinishCode();
    r = RunProgram(host, false);
    QCOMPARE(int(r.end), int(RunEnd::Stopped));
    QCOMPARE(host.numbers, std::vector<double>{-1.0});
    QCOMPARE(ExecutedInstructions(), uint64_t(MaxInstructions));
}

void TestRunner::codeWithoutHaltEndsAtItsEnd()
{
    // Hand-written code whose count leaves out the final HALT.
    ResetStream();
    WriteS({O::NOP, 8.0});
    WriteS({O::NOP, 2.0});
    WriteS({O::NOP, 0.0});
    WriteS({O::PUSHC, 3.0});
    WriteS({O::WRREAL, 0.0});
    WriteS({O::PUSHC, 4.0});
    WriteS({O::WRREAL, 0.0});
    RecordingHost host;
    QCOMPARE(int(RunProgram(host, false).end), int(RunEnd::Stopped));
    QCOMPARE(host.numbers, std::vector<double>{3.0});
}

QTEST_GUILESS_MAIN(TestRunner)
#include "test_runner.moc"
