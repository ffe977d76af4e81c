// tarko-run FILE: runs a program without a window. stdout is the console
// transcript, stdin gives the numbers typed, the graphics image can be saved
// as PNG at the end.
#include "cli/RunMode.h"
#include "cli/Batch.h"

#include <QGuiApplication>
#include <QImage>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <thread>
#include <unistd.h>

#include "language/Cp1252.h"
#include "language/PCode.h"
#include "language/Parser.h"
#include "runtime/Canvas.h"
#include "runtime/CaseRunner.h"
#include "runtime/ConsoleLines.h"
#include "runtime/ConsoleWrap.h"
#include "runtime/NumberEntry.h"
#include "runtime/Runner.h"

namespace tarko {

namespace {

// Exit codes of a run.
constexpr int ExitOk = 0;
constexpr int ExitCompileError = 1;
constexpr int ExitFile = 2;
constexpr int ExitFault = 3;
constexpr int ExitEndOfInput = 4;

// Fonts need a Gui application (the console's line count measures text in
// the console's font, drawn texts are drawn with one); it uses the offscreen
// platform, so tarko-run never needs a display.
// The application is ended by RunMode itself, before static destruction.
std::unique_ptr<QGuiApplication> guiApplication;

void EnsureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The platform's start-up notes (no runtime directory, ...) are no output of the program.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::cerr << msg.toStdString() << '\n';
    });
    static int argc = 1;
    static char name[] = "tarko-run";
    static char* argv[] = {name, nullptr};
    guiApplication = std::make_unique<QGuiApplication>(argc, argv);
}

class CliHost : public RunHost {
public:
    CliHost(const CliOptions& options, std::istream& in, std::ostream& out, std::ostream* err,
            bool outTerminal, bool inTerminal)
        : options(options), in(in), out(out), err(err), outTerminal(outTerminal), inTerminal(inTerminal)
    {
    }

    bool endOfInput = false;
    Canvas canvas;

    // Console.
    void ShowConsole() override { graphicsVisible = false; }

    void ClearRunPanel() override
    {
        console.Clear();
        canvas.Clear();
        if (outTerminal)
            Out("\x1b[2J\x1b[H");
        else
            Out("\f");
    }

    void WriteText(const std::string& s) override
    {
        // Counted as the workbench's console counts, in lines as displayed.
        Out(Cp1252ToUtf8(console.Write(s, &StopRequested)));
    }

    double ReadNumber() override
    {
        out.flush();
        std::string line;
        for (;;) {
            if (!std::getline(in, line)) {
                endOfInput = true;
                StopRequested = true;
                return 0.0;
            }
            if (firstLine)
                DropByteOrderMark(line);
            firstLine = false;
            double value;
            std::string typed;
            if (ParseInputLine(line, value, &typed)) {
                // The typed number shows right after the prompt, as in the
                // console; a terminal has echoed it already.
                if (!inTerminal)
                    Out(Cp1252ToUtf8(console.Append(typed)));
                else
                    console.Count(typed);
                return value;
            }
            if (err)
                *err << "Ung\xC3\xBCltige Zahl\n";
        }
    }

    // Graphics.
    void ShowGraphics() override
    {
        if (graphicsVisible)
            return;
        graphicsVisible = true;
        canvas.Reset();
    }
    void SetColor(int n) override { canvas.SetColor(n); }
    void Point(int64_t c, int64_t r) override { canvas.Point(c, r); }
    void Line(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override { canvas.Line(c1, r1, c2, r2); }
    void FillRect(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override
    {
        canvas.FillRect(c1, r1, c2, r2);
    }
    void FillCircle(int64_t c, int64_t r, int64_t rr) override { canvas.FillCircle(c, r, rr); }
    void DrawText(int64_t c, int64_t r, const std::string& text) override
    {
        EnsureGuiApplication();
        canvas.DrawText(c, r, text);
    }

    // Single steps: before each instruction the views, then the instruction.
    void AddDebugText(const std::string& s) override
    {
        if (options.steps)
            StepLine(s);
    }
    void ShowData() override
    {
        for (const std::string& l : DataViewLines())
            StepLine(l);
    }
    void ShowStack() override
    {
        for (const std::string& l : StackViewLines())
            StepLine(l);
    }
    void AddCodeText(const std::string& s) override { StepLine(s); }
    void StepWait() override {}   // --steps does not wait

    void Pause(double seconds) override
    {
        if (options.noPause || !(seconds > 0))
            return;
        out.flush();
        // No messages to pass here: sleeping is the wait.
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, 1e6)));
    }

private:

    // One line of the debug view, on a line of its own.
    void StepLine(std::string s)
    {
        while (!s.empty() && (s.back() == '\r' || s.back() == '\n'))
            s.pop_back();
        if (outOpen)
            Out("\n");
        Out(Cp1252ToUtf8(s) + "\n");
    }

    void Out(const std::string& utf8)
    {
        if (utf8.empty())
            return;
        out << utf8;
        outOpen = utf8.back() != '\n';
    }

    const CliOptions& options;
    std::istream& in;
    std::ostream& out;
    std::ostream* err;
    const bool outTerminal;
    const bool inTerminal;
    bool graphicsVisible = false;
    bool firstLine = true;  // of the number input
    QtLineWrap wrap;
    ConsoleStream console{wrap};
    bool outOpen = false;   // stdout's last line is not yet ended
};

} // namespace

CaseRun RunOnInput(const CliOptions& options, const std::string& input)
{
    EnsureGuiApplication();
    SetTranslatedRuns(std::getenv("TARKO_RUN_PLAIN") == nullptr);
    const QtLineWrap wrap;
    return RunCase(wrap, input, options.timeLimit, options.seed);
}

namespace {

// What a run of the program compiled last did.
struct RunReport {
    RunEnd end = RunEnd::Stopped;
    std::string fault;        // Windows-1252, when end == Fault
    int line = -1;            // 0-based program line the run ended in (fault, end of input)
    bool endOfInput = false;  // a number was wanted after the last line of input
    bool pngFailed = false;   // --png could not be written
};

// Runs the program compiled last with stdin and stdout, which may be
// terminals (then no echo of typed numbers, and screen clearing).
RunReport RunCompiled(const CliOptions& options)
{
    EnsureGuiApplication();
    CliHost host(options, std::cin, std::cout, &std::cerr, isatty(STDOUT_FILENO), isatty(STDIN_FILENO));
    SetRandomSeed(options.seed);
    // Developer switch for comparisons: the plain loop instead of the
    // translated code (both behave the same).
    SetTranslatedRuns(std::getenv("TARKO_RUN_PLAIN") == nullptr);
    DebugOutput = options.steps;
    const RunResult result = RunProgram(host, options.steps);
    std::cout.flush();

    RunReport report;
    report.end = result.end;
    report.fault = result.fault;
    report.endOfInput = host.endOfInput;
    // Where the run ended: the faulting instruction; after an input that
    // found no more numbers, the instruction that would have come next (the
    // last one may have been a jump).
    if (result.end == RunEnd::Fault)
        report.line = CodeLine(result.faultInstruction);
    else if (host.endOfInput)
        report.line = CodeLine(RunnerPC()) >= 0 ? CodeLine(RunnerPC()) : CodeLine(RunnerPC() - 1);
    if (!options.pngPath.empty() &&
        !host.canvas.image().save(QString::fromLocal8Bit(options.pngPath.c_str()), "PNG"))
        report.pngFailed = true;
    return report;
}

} // namespace

int RunMode(const CliOptions& options, const std::string& programText)
{
    if (!CompileProgram(programText))
        return ExitCompileError;

    const RunReport report = RunCompiled(options);
    std::cout.flush();
    int code = ExitOk;
    if (report.end == RunEnd::Fault) {
        if (report.line >= 0)
            std::cerr << ShownName(options.file) << ':' << report.line + 1 << ": ";
        std::cerr << Cp1252ToUtf8(report.fault) << '\n';
        code = ExitFault;
    } else if (report.end == RunEnd::Refused) {
        code = ExitFault;
    } else if (report.endOfInput) {
        code = ExitEndOfInput;
    }

    if (std::getenv("TARKO_RUN_COUNT"))
        std::cerr << "Anweisungen: " << ExecutedInstructions() << '\n';

    if (report.pngFailed) {
        std::cerr << "tarko-run: " << ShownName(options.pngPath) << " kann nicht geschrieben werden\n";
        if (code == ExitOk)
            code = ExitFile;
    }
    EndGuiApplication();
    return code;
}

void EndGuiApplication() { guiApplication.reset(); }

} // namespace tarko
