#pragma once
// The interpreter's host in the workbench: forwards console, graphics and
// debug output to the run panel and the debug view, and keeps the window
// alive while a program runs. The message pass is cheap: it looks at a clock
// and runs the event loop only when a millisecond has passed since the last
// pass; the waits (single step, number input, pause) pass continuously,
// sleeping in the event loop until an event or a short wake-up timer arrives.
#include <QElapsedTimer>
#include <QTimer>

#include "runtime/RunHost.h"

namespace tarko {

class TRunPanel;
class TIdeForm;

class TQtRunHost : public RunHost {
public:
    TQtRunHost(TRunPanel& panel, TIdeForm* ide);
    ~TQtRunHost() override;

    void ShowConsole() override;
    void ClearRunPanel() override;
    void WriteText(const std::string& s) override;
    void WriteNumber(double x) override;
    double ReadNumber() override;

    void ShowGraphics() override;
    void SetColor(int colourNumber) override;
    void Point(int64_t col, int64_t row) override;
    void Line(int64_t col1, int64_t row1, int64_t col2, int64_t row2) override;
    void FillRect(int64_t col1, int64_t row1, int64_t col2, int64_t row2) override;
    void FillCircle(int64_t col, int64_t row, int64_t radius) override;
    void DrawText(int64_t col, int64_t row, const std::string& text) override;

    void AddDebugText(const std::string& s) override;
    void AddCodeText(const std::string& s) override;
    void ShowData() override;
    void ShowStack() override;

    void StepWait() override;
    void Pause(double seconds) override;
    void ProcessMessages() override;

    // One pass that sleeps until an event arrives (at most about a millisecond).
    void WaitPass();
    // Number of real event-loop passes so far (for measurements).
    uint64_t EventPasses() const { return passes_; }

private:
    TRunPanel& panel_;
    TIdeForm* ide_;
    QElapsedTimer clock_;
    qint64 lastPass_ = 0;
    uint64_t passes_ = 0;
    int calls_ = 0;   // message-pass calls since the clock was last read
    void ClockDue() { calls_ = 1 << 20; }   // read it at the next call
    QTimer wake_;
};

} // namespace tarko
