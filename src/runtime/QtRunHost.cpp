#include "runtime/QtRunHost.h"

#include <QCoreApplication>

#include "runtime/Canvas.h"
#include "runtime/Ide.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"

namespace tarko {

namespace {
constexpr qint64 PassIntervalNs = 1'000'000;   // 1 ms between real passes
constexpr int PauseWakeMs = 1;
constexpr int WaitWakeMs = 10;
constexpr int ClockEveryCalls = 16;
}

TQtRunHost::TQtRunHost(TRunPanel& panel, TIdeForm* ide) : panel_(panel), ide_(ide)
{
    clock_.start();
    // Wakes the waits regularly, so a wait never sleeps long when nothing
    // arrives: every millisecond in a pause (its end is not an event), every
    // few milliseconds in the other waits (Stop, Step and keys are events).
    wake_.setTimerType(Qt::PreciseTimer);
    panel_.waitPass = [this] { WaitPass(); };
}

TQtRunHost::~TQtRunHost()
{
    panel_.waitPass = nullptr;
}

// Output, clearing and drawing whole shapes may take many microseconds: the
// message pass after them reads the clock.
void TQtRunHost::ShowConsole() { panel_.ShowConsole(); }

void TQtRunHost::ClearRunPanel()
{
    panel_.ClearRunPanel();
    ClockDue();
}

void TQtRunHost::WriteText(const std::string& s)
{
    panel_.WriteText(s);
    ClockDue();
}

void TQtRunHost::WriteNumber(double x)
{
    panel_.WriteNumber(x);
    ClockDue();
}

double TQtRunHost::ReadNumber()
{
    wake_.start(WaitWakeMs);
    const double v = panel_.ReadNumber();
    wake_.stop();
    return v;
}

void TQtRunHost::ShowGraphics() { panel_.ShowGraphics(); }

void TQtRunHost::SetColor(int colourNumber)
{
    const QColor c = Canvas::ColourOf(colourNumber);
    panel_.PanelCanvas().SetPenColor(c);
    panel_.SetConsoleFontColor(c);
}

void TQtRunHost::Point(int64_t col, int64_t row) { panel_.PanelCanvas().Point(col, row); }

void TQtRunHost::Line(int64_t col1, int64_t row1, int64_t col2, int64_t row2)
{
    panel_.PanelCanvas().Line(col1, row1, col2, row2);
    ClockDue();
}

void TQtRunHost::FillRect(int64_t col1, int64_t row1, int64_t col2, int64_t row2)
{
    panel_.PanelCanvas().FillRect(col1, row1, col2, row2);
    ClockDue();
}

void TQtRunHost::FillCircle(int64_t col, int64_t row, int64_t radius)
{
    panel_.PanelCanvas().FillCircle(col, row, radius);
    ClockDue();
}

void TQtRunHost::DrawText(int64_t col, int64_t row, const std::string& text)
{
    panel_.PanelCanvas().DrawText(col, row, text);
    ClockDue();
}

void TQtRunHost::AddDebugText(const std::string& s)
{
    if (ide_)
        ide_->AddDebugText(s);
}

// The interpreter hands over "index: listing" without a line break; the code
// view lists the executed instructions one per line, so the line ends here
// (like the data and stack lines, which carry their own CR).
void TQtRunHost::AddCodeText(const std::string& s)
{
    if (ide_)
        ide_->AddCodeText(s + "\r");
}

void TQtRunHost::ShowData()
{
    if (ide_)
        ide_->ShowData();
}

void TQtRunHost::ShowStack()
{
    if (ide_)
        ide_->ShowStack();
}

void TQtRunHost::WaitPass()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    ++passes_;
    lastPass_ = clock_.nsecsElapsed();
}

void TQtRunHost::StepWait()
{
    panel_.ShowPendingOutput();
    if (ide_)
        ide_->ShowStepLine(RunnerPC() - 1);   // the instruction just fetched
    wake_.start(WaitWakeMs);
    while (!StepRequested && !StopRequested)
        WaitPass();
    wake_.stop();
}

void TQtRunHost::Pause(double seconds)
{
    // Like the busy wait it replaces: one pass first (all a pause of 0 or
    // less gets), then sleeping passes until the time is up; Stop ends it.
    panel_.ShowPendingOutput();
    const qint64 start = clock_.nsecsElapsed();
    QCoreApplication::processEvents();
    ++passes_;
    lastPass_ = clock_.nsecsElapsed();
    if (StopRequested || double(lastPass_ - start) / 1e9 > seconds)
        return;
    wake_.start(PauseWakeMs);
    for (;;) {
        WaitPass();
        if (StopRequested || double(clock_.nsecsElapsed() - start) / 1e9 > seconds)
            break;
    }
    wake_.stop();
}

void TQtRunHost::ProcessMessages()
{
    // Called every few hundred instructions (about a microsecond) and after
    // every drawing or output instruction: in loops of points and colours
    // every few dozen nanoseconds, about what reading the clock costs. So the
    // clock is read on every ClockEveryCalls-th call, and after every host
    // operation that may take long (ClockDue).
    if (++calls_ < ClockEveryCalls)
        return;
    calls_ = 0;
    const qint64 now = clock_.nsecsElapsed();
    if (now - lastPass_ < PassIntervalNs)
        return;
    QCoreApplication::processEvents();
    ++passes_;
    lastPass_ = clock_.nsecsElapsed();
}

} // namespace tarko
