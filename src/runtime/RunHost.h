#pragma once
// The one interface through which the interpreter (Runner) reaches the world:
// run console, graphics canvas, debug view, the waits and the message pass.
// Plain C++, no Qt: the workbench implements it over its run panel and debug
// view, tarko-run over stdin/stdout, tests with a recording fake.
//
// When each operation is called (all strings are Windows-1252 bytes):
//   ShowConsole      before every text/number output and every number input.
//   ClearRunPanel    for "Löschen": empty the console, fill the image black;
//                    the visible surface and the drawing colour stay.
//   WriteText        text output; the host applies the console's line limit
//                    (adds "Programmabbruch"/"Zuviele Zeilen", sets StopRequested).
//   WriteNumber      number output: NumberText(x) and one blank through
//                    WriteText (the default).
//   ReadNumber       number input; returns the value typed (or the current value
//                    when StopRequested ended the input). Waits by calling the
//                    message pass continuously; may set StopRequested (e.g. end
//                    of input in tarko-run).
//   ShowGraphics     before every drawing and colour instruction: when the
//                    console is visible, hide it, clear the image black, pen and
//                    font colour white, show the image; otherwise nothing.
//   SetColor         colour instruction: colour number (14..20, others black)
//                    for pen and canvas font, and the console's font colour.
//   Point/Line/FillRect/FillCircle/DrawText
//                    drawing instructions with coordinates already mapped to
//                    pixels (column, row; radius in pixels). Values may lie far
//                    outside the 200 x 200 image: the host clips (Canvas does).
//   AddDebugText     the run start message of a single-step run; like the
//                    other debug texts it is shown only while DebugOutput is set.
//   AddCodeText      single step: the fetched instruction, "<index>: <listing>".
//   ShowData/ShowStack
//                    single step, before each instruction: rebuild the data and
//                    stack views (DataViewLines()/StackViewLines() in Runner.h
//                    give their exact lines).
//   StepWait         single step, after AddCodeText: wait (passing messages)
//                    until StepRequested or StopRequested is set.
//   Pause            "Pause s": wait s seconds, ending at once on Stop. The
//                    default is the interpreter's busy wait WaitSeconds.
//   ProcessMessages  the message pass. The interpreter calls it after every
//                    instruction in single-step runs and, in normal runs, after
//                    every MessagePassInterval-th instruction (a few
//                    microseconds apart) and after every input/output, drawing
//                    and wait instruction. It should be cheap: a host with a
//                    real event loop checks a clock and passes only when
//                    >= 1 ms has gone by.
#include <cstdint>
#include <string>

namespace tarko {

class RunHost {
public:
    virtual ~RunHost() = default;

    // Console.
    virtual void ShowConsole() = 0;
    virtual void ClearRunPanel() = 0;
    virtual void WriteText(const std::string& s) = 0;
    virtual void WriteNumber(double x);   // default: WriteText(NumberText(x) + " ")
    virtual double ReadNumber() = 0;

    // Graphics.
    virtual void ShowGraphics() = 0;
    virtual void SetColor(int colourNumber) = 0;
    virtual void Point(int64_t col, int64_t row) = 0;
    virtual void Line(int64_t col1, int64_t row1, int64_t col2, int64_t row2) = 0;
    virtual void FillRect(int64_t col1, int64_t row1, int64_t col2, int64_t row2) = 0;
    virtual void FillCircle(int64_t col, int64_t row, int64_t radius) = 0;
    virtual void DrawText(int64_t col, int64_t row, const std::string& text) = 0;

    // Debug view (single-step runs).
    virtual void AddDebugText(const std::string& s) { (void)s; }
    virtual void AddCodeText(const std::string& s) { (void)s; }
    virtual void ShowData() {}
    virtual void ShowStack() {}

    // Waits and the message pass.
    virtual void StepWait();                 // default: pass until Step or Stop
    virtual void Pause(double seconds);      // default: WaitSeconds(seconds, *this)
    virtual void ProcessMessages() {}
};

// A host whose runs draw nothing: where only the console or the run itself
// matters (checks against a transcript, fuzzing, timing tests).
class NoGraphicsHost : public RunHost {
public:
    void ShowGraphics() override {}
    void SetColor(int) override {}
    void Point(int64_t, int64_t) override {}
    void Line(int64_t, int64_t, int64_t, int64_t) override {}
    void FillRect(int64_t, int64_t, int64_t, int64_t) override {}
    void FillCircle(int64_t, int64_t, int64_t) override {}
    void DrawText(int64_t, int64_t, const std::string&) override {}
};

} // namespace tarko
