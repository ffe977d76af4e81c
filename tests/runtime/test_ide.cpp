// The compile-and-run driver and the debug view, with fake main-window hooks:
// single-step runs and what the four controls show, normal runs, compile
// errors, faults, number input and Stop during the waits.
#include <QElapsedTimer>
#include <QTextDocument>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "editor/ColMemo.h"
#include "language/FrontEndOutput.h"
#include "language/Parser.h"
#include "language/TokenPass.h"
#include "runtime/Canvas.h"
#include "runtime/Ide.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"

using namespace tarko;

namespace {

const QString Separator = "\n----------------\n";

// What the driver told the fake main window.
struct Recorder {
    std::string program;
    std::vector<int> runStates;
    std::vector<QString> faults;
    std::vector<QString> compileErrors;
    int focusCalls = 0;
    int formatCalls = 0;
    std::vector<QString> marks;   // "step N", "fault N" and "box" in the order they came
};

// Calls action on every pass of the event loop while a run is in progress.
class Ticker {
public:
    explicit Ticker(std::function<void()> action)
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, action);
        timer.start();
    }

private:
    QTimer timer;
};

// The executed instructions "index: OPCODE operand", as the interpreter
// writes them one after the other: "index: OPCODE" of each.
QStringList Executed(const QString& text)
{
    QStringList ops;
    static const QRegularExpression entry("(\\d+): ([A-Z]+)");
    for (auto it = entry.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        ops << m.captured(1) + ": " + m.captured(2);
    }
    return ops;
}

QStringList Opcodes(const QString& text)
{
    QStringList ops;
    for (const QString& e : Executed(text))
        ops << e.section(' ', 1);
    return ops;
}

// The opcode names of the listing lines "PC:index OPCODE operand" ("PC" alone
// for a branch whose target is patched later).
QStringList ListedOpcodes(const QString& text)
{
    QStringList ops;
    static const QRegularExpression line("^ ?PC:?(\\d+) ([A-Z]+)",
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(text); it.hasNext();)
        ops << it.next().captured(2);
    return ops;
}

QString Text(QPlainTextEdit* m)
{
    return m->toPlainText();
}

} // namespace

class TestIde : public QObject {
    Q_OBJECT

    Recorder rec;
    QTimer guard;   // ends a run that a failing test would leave waiting
    TRunPanel* panel = nullptr;
    TIdeForm* ide = nullptr;

    void Run(const char* program, int mode)
    {
        rec.program = program;
        DebugOutput = mode == 2;
        ide->CompileAndRun(mode);
    }
    QString Console() const { return panel->RunMemo()->toPlainText(); }
    // Instructions written to CodeMemo so far.
    int ShownInstructions() const { return Executed(Text(ide->CodeMemo())).size(); }

private slots:
    void init()
    {
        rec = Recorder();
        panel = new TRunPanel;
        panel->EnableConsole();
        panel->show();
        TIdeHooks h;
        h.programText = [this] { return rec.program; };
        h.setRunState = [this](int s) { rec.runStates.push_back(s); };
        h.focusEditor = [this] { ++rec.focusCalls; };
        h.showFault = [this](const QString& t) {
            rec.faults.push_back(t);
            rec.marks.push_back("box");
        };
        h.markLine = [this](TIdeHooks::LineMark kind, int line) {
            rec.marks.push_back((kind == TIdeHooks::LineMark::Step ? "step " : "fault ") + QString::number(line));
        };
        h.showInternalError = [this](const QString& t) { rec.faults.push_back(t); };
        h.autoFormat = [this] { ++rec.formatCalls; };
        ide = new TIdeForm(panel, h);
        FrontEndOutput out;
        out.compileError = [this](const std::string& m, int, int) {
            rec.compileErrors.push_back(QString::fromLatin1(m.c_str()));
        };
        out.listing = [this](const std::string& s) { ide->AddDebugText(s); };
        SetFrontEndOutput(out);
        StopRequested = StepRequested = InputDone = false;
        guard.setSingleShot(true);
        guard.callOnTimeout([] { StopRequested = true; });
        guard.start(20000);
    }
    void cleanup()
    {
        guard.stop();
        SetFrontEndOutput({});
        delete ide;
        delete panel;
        DebugOutput = false;
    }

    void singleStepShowsTokensListingAndSteps();
    void singleStepViewsShowStateBeforeInstruction();
    void dataViewListsEightVariables();
    void secondSingleStepRunAppendsToCodeMemo();
    void normalRunLeavesDebugViewUntouched();
    void compileErrors_data();
    void compileErrors();
    void divisionByZeroReportsFaultAndReturnsToIdle();
    void numberInputThroughKeypad();
    void stopDuringNumberInput();
    void pauseWaitsItsTime_data();
    void pauseWaitsItsTime();
    void stopDuringPause();
    void stopDuringStepWait();
    void colourStatements();
    void outputLineLimitEndsRun();
    void computeBoundRunSpeed();
    void stepsMarkTheirLines();
    void faultMarksItsLineAfterTheBox();
    void spaceInTheDebugViewSteps();
    void codeMemoFollowsTheNewestStep();
    void longProgramDebugViewBuiltAtOnce();
};

void TestIde::singleStepShowsTokensListingAndSteps()
{
    Ticker step([] { StepRequested = true; });
    Run("x <= 5\r\nAusgabe x", 2);

    QCOMPARE(rec.runStates, (std::vector<int>{2, 1}));
    QCOMPARE(rec.focusCalls, 1);
    QCOMPARE(rec.formatCalls, 1);
    QVERIFY(rec.compileErrors.empty());
    QVERIFY(!ide->isVisible());   // closed after the run
    QCOMPARE(Console(), QString("5 \n"));

    const QString debug = Text(ide->DebugMemo());
    const QStringList parts = debug.split(Separator);
    QCOMPARE(parts.size(), 3);
    QVERIFY2(parts[0].startsWith("Bezeichner:X,  Zuweisung_Sym,  Zahl:5,  EOL_Sym,  "),
             qPrintable(parts[0]));
    QVERIFY(parts[0].contains("AUSGABE_Sym,  Bezeichner:X,  "));
    QVERIFY(parts[0].endsWith("EOT_Sym,  "));
    const QStringList code = {"PUSHC", "POPC", "PUSH", "WRREAL", "PUSHC", "WRTEXT", "HALT"};
    QCOMPARE(ListedOpcodes(parts[1]), code.mid(0, 6));   // the final HALT is not listed
    QCOMPARE(parts[2], QString(" Einzelschritt mit <Leertaste>... "));

    // every executed instruction, after the initial text
    const QString executed = Text(ide->CodeMemo());
    QVERIFY(executed.startsWith("CodeMemo0: PUSHC"));
    QCOMPARE(Opcodes(executed), code);
    const QStringList lines = executed.split('\n');   // one line per instruction
    QCOMPARE(lines.size(), 8);
    QVERIFY2(lines[1].startsWith(" 1: POPC") && lines[6].startsWith(" 6: HALT"),
             qPrintable(executed));
}

// Before each instruction the stack and data views show the state the
// instruction shown last will work on.
void TestIde::singleStepViewsShowStateBeforeInstruction()
{
    QStringList seen;   // "code line | stack | data" at each wait
    Ticker step([&] {
        if (ShownInstructions() == seen.size())
            return;   // a pass between two steps
        seen << Executed(Text(ide->CodeMemo())).last() + " | " + Text(ide->StackMemo()).trimmed() + " | "
                    + Text(ide->DataMemo()).trimmed();
        StepRequested = true;
    });
    Run("a <= 7\r\nb <= a + 2", 2);

    QCOMPARE(seen.size(), 7);
    QVERIFY2(seen[0].startsWith("0: PUSHC |") && seen[0].endsWith("|  | #0:-1\n  #1:-1"),
             qPrintable(seen[0]));
    QVERIFY2(seen[1].startsWith("1: POPC |") && seen[1].contains("| 9999 : 7 |"), qPrintable(seen[1]));
    QVERIFY2(seen[2].startsWith("2: PUSH |") && seen[2].endsWith("|  | #0:7\n  #1:-1"),
             qPrintable(seen[2]));
    QVERIFY2(seen[4].startsWith("4: ADD |") && seen[4].contains("| 9998 : 2\n 9999 : 7 |"),
             qPrintable(seen[4]));
    QVERIFY2(seen[6].startsWith("6: HALT |") && seen[6].endsWith("|  | #0:7\n  #1:9"),
             qPrintable(seen[6]));
}

void TestIde::dataViewListsEightVariables()
{
    Ticker step([] { StepRequested = true; });
    Run("a<=1\r\nb<=2\r\nc<=3\r\nd<=4\r\ne<=5\r\nf<=6\r\ng<=7\r\nh<=8\r\ni<=9\r\nj<=10", 2);
    QCOMPARE(Text(ide->DataMemo()),
             QString(" #0:1\n  #1:2\n  #2:3\n  #3:4\n  #4:5\n  #5:6\n  #6:7\n  #7:8\n "));
    QCOMPARE(Text(ide->StackMemo()), QString());   // empty stack before HALT
}

void TestIde::secondSingleStepRunAppendsToCodeMemo()
{
    Ticker step([] { StepRequested = true; });
    Run("Ausgabe 1", 2);
    const QString first = Text(ide->CodeMemo());
    Run("x <= 2", 2);
    const QString second = Text(ide->CodeMemo());
    QVERIFY(second.startsWith(first));
    QCOMPARE(Opcodes(second), Opcodes(first) + QStringList({"PUSHC", "POPC", "HALT"}));
    QCOMPARE(Text(ide->DebugMemo()).count(Separator), 2);
    QVERIFY(Text(ide->DebugMemo()).startsWith("Bezeichner:X,"));
    QCOMPARE(Text(ide->DataMemo()), QString(" #0:2\n "));
}

void TestIde::normalRunLeavesDebugViewUntouched()
{
    Run("x <= 5\r\nAusgabe x", 3);
    QCOMPARE(rec.runStates, (std::vector<int>{3, 1}));
    QCOMPARE(Console(), QString("5 \n"));
    QVERIFY(!ide->isVisible());
    QCOMPARE(Text(ide->DebugMemo()), QString());
    QCOMPARE(Text(ide->StackMemo()), QString("StackMemo"));
    QCOMPARE(Text(ide->DataMemo()), QString("DataMemo"));
    QCOMPARE(Text(ide->CodeMemo()), QString("CodeMemo"));
}

// Nothing runs: the state stays idle, the console keeps its text, the editor
// gets the focus back, and the formatter does not touch the text.
void TestIde::compileErrors_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("separators");

    QTest::newRow("token pass: first character not allowed") << "$x <= 1" << 0;
    QTest::newRow("parse pass: incomplete assignment") << "x <=" << 1;
    QTest::newRow("parse pass: unknown word after a statement") << "Ausgabe 1 2 3 )" << 1;
}

void TestIde::compileErrors()
{
    QFETCH(QString, program);
    QFETCH(int, separators);

    panel->WriteText("vorher");
    Run(program.toLatin1().constData(), 2);
    QVERIFY(rec.runStates.empty());
    QCOMPARE(rec.formatCalls, 0);
    QCOMPARE(rec.focusCalls, 1);
    QVERIFY(!rec.compileErrors.empty());
    QCOMPARE(Console(), QString("vorher"));
    QCOMPARE(Text(ide->DebugMemo()).count(Separator), separators);
    QCOMPARE(Text(ide->CodeMemo()), QString("CodeMemo"));
}

// Each step names the line of the instruction it waits on; a normal run
// names none (only the two "no line" marks at its start and end).
void TestIde::stepsMarkTheirLines()
{
    Ticker step([] { StepRequested = true; });
    const char* program = "i <= 0\r\nWiederhole\r\n  i <= i + 1\r\nBis i = 2";
    Run(program, 2);
    QStringList lines;
    for (const QString& m : rec.marks)
        lines << m.section(' ', 1);
    QCOMPARE(lines.join(','), QString("-1,0,0,2,2,2,2,3,3,3,3,3,2,2,2,2,3,3,3,3,-1,-1"));

    rec.marks.clear();
    Run(program, 3);
    QCOMPARE(rec.marks, (std::vector<QString>{"step -1", "step -1"}));
}

void TestIde::faultMarksItsLineAfterTheBox()
{
    Run("Ausgabe \"a\"\r\n\r\nAusgabe 1 : 0", 3);
    QCOMPARE(rec.marks, (std::vector<QString>{"step -1", "step -1", "box", "fault 2"}));
    rec.marks.clear();
    Ticker step([] { StepRequested = true; });
    Run("x <= 0\r\nx <= 1 : x", 2);
    QCOMPARE(rec.marks.back(), QString("fault 1"));
    QCOMPARE(rec.marks.at(rec.marks.size() - 2), QString("box"));
}

// Space in the debug view makes a step, as its run start message says.
void TestIde::spaceInTheDebugViewSteps()
{
    int spaces = 0;
    Ticker user([&] {
        if (!ide->isVisible() || ShownInstructions() == spaces)
            return;
        if (!ide->isActiveWindow()) {
            ide->activateWindow();
            return;
        }
        spaces = ShownInstructions();
        QTest::keyClick(ide->CodeMemo(), Qt::Key_Space);
    });
    Run("x <= 5\r\nAusgabe x", 2);
    QCOMPARE(Console(), QString("5 \n"));
    QCOMPARE(spaces, 7);          // one Space per instruction, HALT included
    QCOMPARE(rec.runStates, (std::vector<int>{2, 1}));
}

// The code list shows its newest line however many steps there were.
void TestIde::codeMemoFollowsTheNewestStep()
{
    bool newestVisible = true;
    int checked = 0;
    Ticker step([&] {
        QPlainTextEdit* memo = ide->CodeMemo();
        if (ShownInstructions() > checked) {
            checked = ShownInstructions();
            // the last entry, before the blank that ends the text
            const QRect last = memo->cursorRect(QTextCursor(memo->document()->lastBlock().previous()));
            newestVisible = newestVisible && memo->viewport()->rect().contains(last);
        }
        StepRequested = true;
    });
    Run("i <= 0\r\nWiederhole\r\n  i <= i + 1\r\nBis i = 8", 2);
    QVERIFY(checked > 60);
    QVERIFY(ide->CodeMemo()->verticalScrollBar()->value() > 0);
    QVERIFY(newestVisible);
}

void TestIde::divisionByZeroReportsFaultAndReturnsToIdle()
{
    Run("Ausgabe \"a\"\r\nAusgabe 1 : 0\r\nAusgabe \"b\"", 3);
    QCOMPARE(rec.faults, (std::vector<QString>{"Gleitkommadivision durch Null"}));
    QCOMPARE(rec.runStates, (std::vector<int>{3, 1}));
    QCOMPARE(rec.focusCalls, 1);
    QCOMPARE(Console(), QString("a\n"));
}

// The keypad is clicked as a user would, from the event loop of ReadNumber.
void TestIde::numberInputThroughKeypad()
{
    QString keys = "17CC4O";   // shows 17, deletes both, types 4, OK
    Ticker user([&] {
        if (!panel->InputActive() || keys.isEmpty())
            return;
        panel->Key(keys[0].toLatin1())->click();
        keys.remove(0, 1);
    });
    Run("Eingabe \"Zahl:\" a\r\nAusgabe a * 2", 3);
    QVERIFY(keys.isEmpty());
    QCOMPARE(Console(), QString("Zahl:4\n8 \n"));
    QVERIFY(!panel->Key('4')->isEnabled());   // keypad off again after the input
}

void TestIde::stopDuringNumberInput()
{
    Ticker user([&] {
        if (!panel->InputActive())
            return;
        if (panel->InputText().empty())
            panel->Key('6')->click();
        else
            StopRequested = true;
    });
    Run("Eingabe a\r\nAusgabe a", 3);
    QCOMPARE(Console(), QString("? 6"));   // the run ends after the input instruction
    QCOMPARE(rec.runStates, (std::vector<int>{3, 1}));
}

void TestIde::pauseWaitsItsTime_data()
{
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<int>("atLeastMs");
    QTest::newRow("fraction of a second") << "0,2" << 200;
    QTest::newRow("zero returns after one pass") << "0" << 0;
    QTest::newRow("negative returns after one pass") << "-1" << 0;
}

void TestIde::pauseWaitsItsTime()
{
    QFETCH(QString, seconds);
    QFETCH(int, atLeastMs);
    QElapsedTimer t;
    t.start();
    Run(("Ausgabe 1\r\nPause " + seconds + "\r\nAusgabe 2").toLatin1().constData(), 3);
    QVERIFY(t.elapsed() >= atLeastMs);
    QCOMPARE(Console(), QString("1 \n2 \n"));
}

void TestIde::stopDuringPause()
{
    QElapsedTimer t;
    t.start();
    QTimer::singleShot(50, [] { StopRequested = true; });
    Run("Ausgabe 1\r\nPause 10\r\nAusgabe 2", 3);
    QVERIFY2(t.elapsed() < 5000, "Stop must end a pause at once");
    QCOMPARE(Console(), QString("1 \n"));
    QCOMPARE(rec.runStates, (std::vector<int>{3, 1}));
}

// Stop while waiting for the next step ends the run after the one
// instruction already fetched.
void TestIde::stopDuringStepWait()
{
    Ticker user([&] {
        if (ShownInstructions() == 3)
            StopRequested = true;   // while instruction 2 waits
        else
            StepRequested = true;
    });
    Run("Ausgabe 1\r\nAusgabe 2", 2);
    QCOMPARE(Opcodes(Text(ide->CodeMemo())), (QStringList{"PUSHC", "WRREAL", "PUSHC"}));
    QCOMPARE(Console(), QString("1 "));
    QCOMPARE(rec.runStates, (std::vector<int>{2, 1}));
    QVERIFY(!ide->isVisible());
}

void TestIde::colourStatements()
{
    Run("Rot\r\nPunkt (0; 0)", 3);
    QVERIFY(panel->RunImage()->isVisible());
    QCOMPARE(panel->PanelCanvas().image().pixel(100, 99) & 0xFFFFFF, 0xFF0000u);
    QCOMPARE(panel->PanelCanvas().image().pixel(0, 0) & 0xFFFFFF, 0u);

    // white text in the console; the next run starts with black text and
    // the console visible again
    Run("Wei\xDF\r\nAusgabe 1", 3);
    QVERIFY(panel->RunMemo()->isVisible());
    QCOMPARE(panel->RunMemo()->palette().color(QPalette::Text), QColor(Qt::white));
    Run("Ausgabe 1", 3);
    QCOMPARE(panel->RunMemo()->palette().color(QPalette::Text), QColor(Qt::black));
}

// A program printing without end stops with the console's two messages.
// Also reports how long the 998 lines took (figure, no assertion).
void TestIde::outputLineLimitEndsRun()
{
    QElapsedTimer t;
    t.start();
    Run("i <= 1\r\nSolange i < 999\r\nAusgabe i\r\ni <= i + 1\r\nSolangeende", 3);
    qInfo("998 lines of output: %lld ms", t.elapsed());
    QVERIFY(!Console().contains("Programmabbruch"));
    QCOMPARE(Console().count('\n'), 998);

    t.restart();
    Run("i <= 1\r\nWiederhole\r\nAusgabe i\r\ni <= i + 1\r\nBis i = 5000", 3);
    qInfo("run stopped at the line limit: %lld ms", t.elapsed());
    const QStringList lines = Console().split('\n');
    QCOMPARE(lines[998], QString("999 "));
    QCOMPARE(lines[999], QString("Programmabbruch"));
    QCOMPARE(lines[1000], QString("Zuviele Zeilen"));
    QCOMPARE(rec.runStates, (std::vector<int>{3, 1, 3, 1}));
}

// The cheap message pass keeps a compute-bound run near interpreter speed
// while Stop still arrives through the event loop (figure, no assertion).
void TestIde::computeBoundRunSpeed()
{
    QElapsedTimer t;
    t.start();
    Run("i <= 0\r\nSolange i < 2000000\r\ni <= i + 1\r\nSolangeende\r\nAusgabe i", 3);
    const qint64 ms = std::max<qint64>(1, t.elapsed());
    QCOMPARE(Console(), QString("2000000 \n"));
    qInfo("%llu instructions in %lld ms: %.1f million per second",
          (unsigned long long)ExecutedInstructions(), ms, ExecutedInstructions() / 1000.0 / ms);

    // the same code with a host that never passes messages, for comparison
    struct SilentHost : NoGraphicsHost {
        void ShowConsole() override {}
        void ClearRunPanel() override {}
        void WriteText(const std::string&) override {}
        void WriteNumber(double) override {}
        double ReadNumber() override { return 0; }
    } silent;
    QVERIFY(CompileProgram(rec.program));
    t.restart();
    RunProgram(silent, false);
    const qint64 silentMs = std::max<qint64>(1, t.elapsed());
    qInfo("without message passes: %lld ms (%.1f million per second)", silentMs,
          ExecutedInstructions() / 1000.0 / silentMs);

    QTimer::singleShot(20, [] { StopRequested = true; });
    t.restart();
    Run("Solange 1 = 1\r\nSolangeende", 3);
    qInfo("endless loop stopped after %lld ms (Stop posted at 20 ms)", t.elapsed());
    QVERIFY(t.elapsed() < 5000);
}

// A single step of a long program: the token dump is one long paragraph and
// the listing has thousands of lines. Appending them entry by entry made Qt
// lay the paragraph out again per token (seconds for a few hundred lines), so
// each pass must reach the view as a handful of changes, not one per entry.
// The view holds every token entry in the scanner's order, and one listing
// line per instruction.
void TestIde::longProgramDebugViewBuiltAtOnce()
{
    std::string program = "Summe <= 0\r\n";
    for (int i = 0; i < 500; ++i)
        program += "Summe <= Summe + " + std::to_string(i) + " * 2\r\nAusgabe \"Summe \" Summe\r\n";
    rec.program = program;
    DebugOutput = true;
    int changes = 0;
    const auto counting = connect(ide->DebugMemo()->document(), &QTextDocument::contentsChange, this,
                                  [&changes] { ++changes; });
    QVERIFY(ide->Scanner());
    QVERIFY(ide->Parser());
    disconnect(counting);
    QVERIFY2(changes <= 8, qPrintable(QString("%1 changes of the debug view").arg(changes)));

    QString tokens;
    TokenPass(program, [&](const std::string& entry) { tokens += QString::fromStdString(entry) + ",  "; });
    const QString debug = Text(ide->DebugMemo());
    QVERIFY(debug.startsWith(tokens));
    QCOMPARE(ListedOpcodes(debug.mid(tokens.size())).size(), 2 + 500 * 12);   // 6 instructions a line
}

QTEST_MAIN(TestIde)
#include "test_ide.moc"
