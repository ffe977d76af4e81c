// Workbench figures: a compute-bound program run with F9 in the main window
// (instruction rate, stop latency of Esc), a program printing 998 lines, and
// the start of a single-step run of a long program.
// Figures are printed, never asserted.
//
// Usage: bench-workbench mandel PROGRAM.trk [runs]
//        bench-workbench stop PROGRAM.trk [runs]
//        bench-workbench lines [runs]
//        bench-workbench zoom PROGRAM.trk [runs] [percent]
//        bench-workbench step LINES [runs]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <ctime>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "editor/ColMemo.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"
#include "workbench/Dialogs.h"
#include "workbench/MainForm.h"
#include "workbench/Startup.h"

using namespace tarko;

namespace {

std::string ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(2);
    }
    const QByteArray b = f.readAll();
    return std::string(b.constData(), size_t(b.size()));
}

struct Bench {
    TMainForm form{std::make_unique<TScriptedDialogs>()};
    bool active = false;

    Bench(const std::string& program)
    {
        form.show();
        active = QTest::qWaitForWindowActive(&form, 2000);
        if (!active)  // an X server without a window manager: no keyboard focus
            std::fprintf(stderr, "window not active: F9 and Esc go straight to their menu items\n");
        form.OpenTab(QStringLiteral("Programm.trk"));
        form.CurrentEditor()->SetWinText(program);
    }
    // One F9 run; returns its wall time in seconds.
    double Run()
    {
        QElapsedTimer t;
        t.start();
        Key(Qt::Key_F9);
        return t.nsecsElapsed() / 1e9;
    }
    void Key(Qt::Key k)
    {
        if (active)
            QTest::keyClick(&form, k);
        else
            form.Action(k == Qt::Key_F9 ? QStringLiteral("Run1") : QStringLiteral("Break1"))->trigger();
    }
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int Mandel(const std::string& program, int runs)
{
    Bench b(program);
    double best = 1e9;
    uint64_t instructions = 0;
    for (int i = 0; i < runs; ++i) {
        best = std::min(best, b.Run());
        instructions = ExecutedInstructions();
    }
    std::printf("workbench F9: %llu instructions, best of %d: %.3f s, %.3g instr/s\n",
                static_cast<unsigned long long>(instructions), runs, best, instructions / best);
    return 0;
}

// Esc pressed while the program computes: the time from the moment the key
// is due (the timer's deadline) to the end of the run, which includes the
// wait for the next message pass and the unwinding of the run.
int Stop(const std::string& program, int runs)
{
    Bench b(program);
    std::vector<double> latencies;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        const qint64 dueNs = 200'000'000 + i * 7'000'000;  // spread over the loop's phases
        QTimer::singleShot(int(dueNs / 1'000'000), Qt::PreciseTimer, [&] { b.Key(Qt::Key_Escape); });
        t.start();
        b.Key(Qt::Key_F9);
        const qint64 endedNs = t.nsecsElapsed();
        if (endedNs < dueNs) {
            std::fprintf(stderr, "the run ended %.1f ms before Esc was due: give a program that runs until stopped\n",
                         (dueNs - endedNs) / 1e6);
            return 1;
        }
        latencies.push_back((endedNs - dueNs) / 1e6);
    }
    std::printf("stop latency (Esc due -> run ended), %d runs: median %.2f ms, max %.2f ms\n", runs,
                Median(latencies), *std::max_element(latencies.begin(), latencies.end()));
    return 0;
}

// The same F9 run at 100 % and at a zoom (300 % unless given), alternating
// so that a change in the machine's load hits both alike; the device must
// really be shown at that zoom (a screen large enough for it).
int ZoomRuns(const std::string& program, int runs, int percent)
{
    Bench b(program);
    b.form.SetZoom(percent);
    if (b.form.RunPanel()->Zoom() != percent) {
        std::fprintf(stderr, "the device does not fit the screen at %d %% (shown at %d %%)\n", percent,
                     b.form.RunPanel()->Zoom());
        return 1;
    }
    double best100 = 1e9, bestZoomed = 1e9;
    for (int i = 0; i < runs; ++i) {
        b.form.SetZoom(100);
        best100 = std::min(best100, b.Run());
        b.form.SetZoom(percent);
        bestZoomed = std::min(bestZoomed, b.Run());
    }
    std::printf("F9 at 100 %%: best of %d %.3f s; at %d %%: %.3f s; ratio %.3f\n", runs, best100, percent,
                bestZoomed, bestZoomed / best100);
    return 0;
}

int Lines(int runs)
{
    std::string program = "i <= 0\r\nWiederhole\r\n\ti <= i + 1\r\n\tAusgabe \"Zeile \" i\r\nBis i = 998";
    Bench b(program);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(b.Run() * 1000);
    const std::string console = b.form.RunPanel()->ConsoleText();
    const bool complete = console.find("Zeile 998 ") != std::string::npos &&
                          console.find("Programmabbruch") == std::string::npos;
    std::printf("998 lines with F9, %d runs: median %.1f ms, best %.1f ms (%s)\n", runs, Median(times),
                *std::min_element(times.begin(), times.end()), complete ? "all lines shown" : "INCOMPLETE");
    return 0;
}

// A program of the given number of lines, of the statements pupils write
// most: assignments with arithmetic, output of text and numbers, a loop.
std::string LongProgram(int lines)
{
    std::string p = "Summe <= 0\r\n";
    for (int i = 1; i < lines; ++i) {
        switch (i % 4) {
        case 0: p += "Summe <= Summe + " + std::to_string(i) + " * 2\r\n"; break;
        case 1: p += "Ausgabe \"Zwischensumme \" Summe\r\n"; break;
        case 2: p += "Wiederhole\r\n"; break;
        default: p += "\tSumme <= Summe - 1\r\nBis Summe < 10\r\n"; ++i; break;
        }
    }
    return p;
}

// Ctrl+F9 on a long program: wall and CPU time from the key to the first
// step wait (the window answers again), then Esc ends the run.
int StepStart(int lines, int runs)
{
    Bench b(LongProgram(lines));
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        std::clock_t c0 = 0;
        bool measured = false;
        // Runs at the first message pass inside the run: the step wait.
        auto atFirstPass = [&] {
            if (measured)
                return;
            measured = true;
            wall.push_back(t.nsecsElapsed() / 1e6);
            cpu.push_back(double(std::clock() - c0) * 1000 / CLOCKS_PER_SEC);
            b.form.Action(QStringLiteral("Break1"))->trigger();
        };
        t.start();
        c0 = std::clock();
        QTimer::singleShot(0, &b.form, atFirstPass);
        b.form.Action(QStringLiteral("Step1"))->trigger();
        if (!measured) {
            std::fprintf(stderr, "the single-step run ended before its first step\n");
            return 1;
        }
    }
    std::printf("single step of %d lines, Ctrl+F9 to the first step, %d runs: median %.1f ms wall, "
                "%.1f ms CPU\n", lines, runs, Median(wall), Median(cpu));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    PrepareApplication(app);
    const QStringList args = QApplication::arguments().mid(1);
    const QString mode = args.value(0);
    auto runs = [&](int index, int fallback) { return args.size() > index ? args[index].toInt() : fallback; };
    if (mode == u"mandel" && args.size() >= 2)
        return Mandel(ReadFile(args[1]), runs(2, 3));
    if (mode == u"stop" && args.size() >= 2)
        return Stop(ReadFile(args[1]), runs(2, 20));
    if (mode == u"zoom" && args.size() >= 2)
        return ZoomRuns(ReadFile(args[1]), runs(2, 5), runs(3, 300));
    if (mode == u"lines")
        return Lines(runs(1, 5));
    if (mode == u"step" && args.size() >= 2)
        return StepStart(args[1].toInt(), runs(2, 3));
    std::fprintf(stderr, "usage: bench-workbench mandel|stop PROGRAM.trk [runs] | lines [runs]"
                         " | zoom PROGRAM.trk [runs] [percent] | step LINES [runs]\n");
    return 2;
}
