// Runs in slices: every program of the corpus, run in slices of 1, 7 and 256
// instructions with a host that cannot wait in place (each input, pause and
// single step first ends the slice), gives exactly the run of one
// uninterrupted Interpret: the same host calls in the same order, the same
// end and the same instruction count.
#include <QtTest>
#include <fstream>
#include <sstream>

#include "language/NumberText.h"
#include "language/Parser.h"
#include "runtime/Random.h"
#include "runtime/Runner.h"

using namespace tarko;

namespace {

// One line of the log.
void Note(std::string& log, const std::string& what, const std::string& detail = {})
{
    log.append(what).append(detail.empty() ? "" : " ").append(detail).append("\n");
}

// Records every host call but the message pass (which slicing moves).
class Recorder : public RunHost {
public:
    explicit Recorder(bool waitsFirst) : waitsFirst(waitsFirst) {}

    std::string log;
    int waits = 0;

    void ShowConsole() override { Note(log, "console"); }
    void ClearRunPanel() override { Note(log, "clear"); }
    void WriteText(const std::string& s) override { Note(log, "text", s); }
    void WriteNumber(double x) override { Note(log, "number", NumberText(x)); }
    double ReadNumber() override
    {
        if (WaitFirst())
            return 0;
        Note(log, "input");
        if (nextInput >= 6) {
            StopRequested = true;   // end of input
            return 0;
        }
        return 170.0 + 5 * nextInput++;
    }
    void ShowGraphics() override { Note(log, "graphics"); }
    void SetColor(int n) override { Note(log, "colour", std::to_string(n)); }
    void Point(int64_t c, int64_t r) override { Shape("point", {c, r}); }
    void Line(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override { Shape("line", {c1, r1, c2, r2}); }
    void FillRect(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override { Shape("rect", {c1, r1, c2, r2}); }
    void FillCircle(int64_t c, int64_t r, int64_t rr) override { Shape("circle", {c, r, rr}); }
    void DrawText(int64_t c, int64_t r, const std::string& t) override { Shape(std::string("text ").append(t), {c, r}); }
    void AddDebugText(const std::string& s) override { Note(log, "debug", s); }
    void AddCodeText(const std::string& s) override { Note(log, "code", s); }
    void ShowData() override
    {
        for (const std::string& l : DataViewLines())
            Note(log, "data", l);
    }
    void ShowStack() override
    {
        for (const std::string& l : StackViewLines())
            Note(log, "stack", l);
    }
    void StepWait() override
    {
        if (!WaitFirst())
            Note(log, "step");
    }
    void Pause(double s) override
    {
        if (!WaitFirst())
            Note(log, "pause", NumberText(s));
    }

private:
    // The waiting host: the first call of each wait only asks to be called
    // again; the second one is answered.
    bool WaitFirst()
    {
        if (!waitsFirst || waited) {
            waited = false;
            return false;
        }
        waited = true;
        HostWaiting = true;
        ++waits;
        return true;
    }
    void Shape(const std::string& name, std::initializer_list<int64_t> v)
    {
        std::string values;
        for (int64_t x : v)
            values.append(" ").append(std::to_string(x));
        Note(log, name, values);
    }

    const bool waitsFirst;
    bool waited = false;
    int nextInput = 0;
};

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Programs with what the examples lack: faults, pauses, every shape, the
// console switch and clearing, input until the input runs out.
const char* const Inline[][2] = {
    {"division by zero in a loop",
     "i <= 3\r\nWiederhole\r\n  Ausgabe 6 : i\r\n  i <= i - 1\r\nbis i < -1\r\n"},
    {"pauses and clearing",
     "Ausgabe \"a\"\r\nPause 0\r\nPause -1\r\nL\xF6schen\r\nAusgabe \"b\"\r\nPause 0,001\r\n"},
    {"shapes and texts",
     "Rot\r\nPunkt (1; 1)\r\nLinie (-10; 0) (10; 2)\r\nGelb\r\nRechteck (1; 1) (3; 3)\r\n"
     "Kreis (0; 0; 2,5)\r\nGrafiktext (-9; -9) \"Haus\"\r\nAusgabe \"x\"\r\nBlau\r\nPunkt (0; 0)\r\n"},
    {"input until it runs out",
     "s <= 0\r\nWiederhole\r\n  Eingabe \"Zahl:\" x\r\n  s <= s + x\r\n  Ausgabe s\r\nbis s > 100000\r\n"},
    {"random numbers",
     "i <= 0\r\nWiederhole\r\n  Zufallseingabe (1; 6) w\r\n  Ausgabe w\r\n  i <= i + 1\r\nbis i = 50\r\n"},
};

struct Run {
    std::string log;
    RunResult result;
    uint64_t executed;
    int waits;
};

// size 0: one Interpret; otherwise slices of that size with the waiting host.
Run RunIt(const std::string& program, bool step, uint64_t size)
{
    if (!CompileProgram(program))
        return {"not compiled", {}, 0, 0};
    SetRandomSeed(42);
    Recorder host(size != 0);
    RunResult result;
    if (LoadCode().end == RunEnd::Stopped) {
        if (size == 0) {
            result = Interpret(host, step);
        } else {
            BeginRun(host, step);
            while (!RunSlice(host, size, result)) {
            }
        }
    }
    return {host.log, result, ExecutedInstructions(), host.waits};
}

} // namespace

class TestSlices : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetTranslatedRuns(true); }
    void anySlicingGivesTheSameRun_data();
    void anySlicingGivesTheSameRun();
    void randomNumbersAsTheDesktopsLibraryGaveThem();
};

void TestSlices::anySlicingGivesTheSameRun_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<int>("mode");   // 0 translated, 1 plain loop, 2 single step
    const QString root = TARKO_SOURCE_DIR;
    const QStringList files = {"resources/examples/Grafikdesign.trk", "resources/examples/Idealgewicht.trk",
                               "resources/examples/Koordinatensystem.trk", "resources/examples/Memory.trk",
                               "tests/editor/golden/Sonderfaelle.trk"};
    for (int mode = 0; mode < 3; ++mode) {
        const char* const modeName[] = {"translated", "plain", "single step"};
        for (const QString& f : files)
            QTest::addRow("%s, %s", qPrintable(f.section('/', -1)), modeName[mode])
                << QByteArray::fromStdString(ReadFile((root + "/" + f).toStdString())) << mode;
        for (const auto& p : Inline)
            QTest::addRow("%s, %s", p[0], modeName[mode]) << QByteArray(p[1]) << mode;
    }
}

void TestSlices::anySlicingGivesTheSameRun()
{
    QFETCH(QByteArray, program);
    QFETCH(int, mode);
    SetTranslatedRuns(mode != 1);
    const Run whole = RunIt(program.toStdString(), mode == 2, 0);
    QVERIFY(whole.executed > 0 || whole.log == "not compiled");
    for (uint64_t size : {1, 7, 256}) {
        const Run sliced = RunIt(program.toStdString(), mode == 2, size);
        QCOMPARE(sliced.log, whole.log);
        QCOMPARE(int(sliced.result.end), int(whole.result.end));
        QCOMPARE(sliced.result.fault, whole.result.fault);
        QCOMPARE(sliced.result.faultInstruction, whole.result.faultInstruction);
        QCOMPARE(sliced.executed, whole.executed);
        if (mode == 2)
            QVERIFY(sliced.waits >= int(whole.executed));   // every step waited
    }
}

// The browser's library maps random numbers into a range differently: the
// interpreter's own mapping must give what the desktop's gave for a seed.
void TestSlices::randomNumbersAsTheDesktopsLibraryGaveThem()
{
#if defined(__GLIBCXX__) && defined(__SIZEOF_INT128__)
    for (uint64_t n : {uint64_t{1}, uint64_t{2}, uint64_t{3}, uint64_t{6}, uint64_t{7}, uint64_t{1000},
                       uint64_t{4294967296}, uint64_t{8589934591}, (uint64_t{1} << 63) + 12345}) {
        std::mt19937_64 a(n), b(n);
        for (int i = 0; i < 2000; ++i)
            QCOMPARE(UniformBelow(a, n), std::uniform_int_distribution<uint64_t>(0, n - 1)(b));
    }
#else
    QSKIP("the reference is libstdc++'s distribution");
#endif
}

QTEST_APPLESS_MAIN(TestSlices)
#include "test_slices.moc"
