// The WebAssembly module's C interface (see tarko_web.h): the workbench's
// compile-and-run driver, run panel and debug view without Qt, over the same
// compiler, interpreter, drawing rules and colour rules as the desktop.
#include "tarko_web.h"

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "editor/Overlay.h"
#include "editor/WorkbenchScheme.h"
#include "language/Cp1252.h"
#include "language/Formatter.h"
#include "language/FrontEndOutput.h"
#include "language/PCode.h"
#include "language/Parser.h"
#include "language/TokenPass.h"
#include "runtime/CaseRunner.h"
#include "runtime/ConsoleLines.h"
#include "runtime/NumberEntry.h"
#include "runtime/OutputSpeech.h"
#include "runtime/Raster.h"
#include "runtime/Runner.h"
#include "runtime/TableWrap.h"
#include "runtime/Task.h"
#include "workbench/SearchRule.h"

namespace tarko {
namespace {

// 0xRRGGBB from 0xBBGGRR and back (the editor's colours are the latter).
uint32_t SwapRedBlue(uint32_t c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

// A pixel value whose bytes in memory are R G B 255.
uint32_t Rgba(uint32_t rgb) { return 0xFF000000u | SwapRedBlue(rgb); }

// The four debug-view texts as the desktop's controls hold them: each piece
// appended with one blank, every line break a single LF.
struct DebugViews {
    std::string text[4] = {"", "StackMemo", "DataMemo", "CodeMemo"};
    int revision = 0;

    void Append(int view, const std::string& s)
    {
        if (!DebugOutput)
            return;
        const std::string piece = s + " ";
        for (size_t i = 0; i < piece.size(); ++i) {
            const char c = piece[i];
            if (c == '\r') {
                text[view] += '\n';
                if (i + 1 < piece.size() && piece[i + 1] == '\n')
                    ++i;
            } else {
                text[view] += c;
            }
        }
        ++revision;
    }
    void Clear(int view)
    {
        text[view].clear();
        ++revision;
    }
};

// The run panel and debug view of the browser: console events, the image,
// and waits that end the slice instead of blocking.
class WebHost : public RunHost {
public:
    std::vector<uint8_t> events;
    uint32_t pixels[raster::Size * raster::Size];
    int canvasRevision = 0;
    DebugViews views;

    int status = TARKO_RUNNING;   // the wait that ended the last slice
    double pauseSeconds = 0;
    bool pauseDone = false;
    bool numberReady = false;
    double number = 0;
    int stepLine = -1;

    void StartRun()
    {
        events.clear();
        graphicsVisible = false;
        console.Reset();
        pen = Rgba(0xFFFFFF);
        std::fill(std::begin(pixels), std::end(pixels), Rgba(0));
        ++canvasRevision;
        status = TARKO_RUNNING;
        pauseDone = numberReady = false;
        stepLine = -1;
        Event('C');
        Event('K');
        FontColour(0x000000);
    }

    // Console.
    void ShowConsole() override
    {
        if (!graphicsVisible)
            return;
        graphicsVisible = false;
        Event('K');
    }
    void ClearRunPanel() override
    {
        console.Clear();
        Fill(Rgba(0));
        Event('C');
    }
    void WriteText(const std::string& s) override
    {
        Console(console.Write(s, &StopRequested));
    }
    double ReadNumber() override
    {
        if (numberReady) {
            numberReady = false;
            return number;
        }
        if (StopRequested)
            return 0;
        status = TARKO_INPUT;
        HostWaiting = true;
        return 0;
    }
    // The typed entry, shown after the prompt as the desktop leaves it.
    bool Enter(std::string_view entry)
    {
        double v;
        if (status != TARKO_INPUT || !ParseNumberEntry(entry, v))
            return false;
        Console(console.Append(entry));
        number = v;
        numberReady = true;
        status = TARKO_RUNNING;
        return true;
    }

    // Graphics.
    void ShowGraphics() override
    {
        if (graphicsVisible)
            return;
        graphicsVisible = true;
        pen = Rgba(0xFFFFFF);
        Fill(Rgba(0));
        Event('G');
    }
    void SetColor(int n) override
    {
        pen = Rgba(raster::ColourOf(n));
        FontColour(raster::ColourOf(n));
    }
    void Point(int64_t c, int64_t r) override { Drawn(raster::Point(pixels, pen, c, r)); }
    void Line(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override
    {
        Drawn(raster::Line(pixels, pen, c1, r1, c2, r2));
    }
    void FillRect(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override
    {
        Drawn(raster::FillRect(pixels, pen, c1, r1, c2, r2));
    }
    void FillCircle(int64_t c, int64_t r, int64_t rr) override
    {
        Drawn(raster::FillCircle(pixels, pen, c, r, rr));
    }
    void DrawText(int64_t c, int64_t r, const std::string& text) override
    {
        Drawn(raster::DrawText(pixels, pen, c, r, text, CanvasGlyphs));
    }

    // Debug view.
    void AddDebugText(const std::string& s) override { views.Append(0, s); }
    void AddCodeText(const std::string& s) override { views.Append(3, s + "\r"); }
    void ShowData() override
    {
        views.Clear(2);
        for (const std::string& l : DataViewLines())
            views.Append(2, l);
    }
    void ShowStack() override
    {
        views.Clear(1);
        for (const std::string& l : StackViewLines())
            views.Append(1, l);
    }

    // Waits.
    void StepWait() override
    {
        stepLine = CodeLine(RunnerPC() - 1);   // the instruction just fetched
        if (StepRequested || StopRequested)
            return;
        status = TARKO_STEP_WAIT;
        HostWaiting = true;
    }
    void Pause(double seconds) override
    {
        if (pauseDone) {
            pauseDone = false;
            return;
        }
        if (StopRequested || seconds <= 0)
            return;
        pauseSeconds = seconds;
        status = TARKO_PAUSE;
        HostWaiting = true;
    }

private:
    void Event(char kind) { events.push_back(static_cast<uint8_t>(kind)); }
    void FontColour(uint32_t rgb)
    {
        Event('F');
        events.push_back(static_cast<uint8_t>(rgb >> 16));
        events.push_back(static_cast<uint8_t>(rgb >> 8));
        events.push_back(static_cast<uint8_t>(rgb));
    }
    void Fill(uint32_t value)
    {
        std::fill(std::begin(pixels), std::end(pixels), value);
        ++canvasRevision;
    }
    void Drawn(bool changed) { canvasRevision += changed ? 1 : 0; }

    // Console text (line breaks as LF), appended to the last text record
    // when it is the stream's last.
    void Console(const std::string& text)
    {
        if (text.empty())
            return;
        if (lastText + 5 <= events.size() && lastText < events.size() && events[lastText] == 'T' &&
            lastText + 5 + Length(lastText) == events.size()) {
            SetLength(lastText, Length(lastText) + static_cast<uint32_t>(text.size()));
        } else {
            lastText = events.size();
            Event('T');
            events.resize(events.size() + 4);
            SetLength(lastText, static_cast<uint32_t>(text.size()));
        }
        events.insert(events.end(), text.begin(), text.end());
    }
    uint32_t Length(size_t at) const
    {
        return uint32_t{events[at + 1]} | uint32_t{events[at + 2]} << 8 |
               uint32_t{events[at + 3]} << 16 | uint32_t{events[at + 4]} << 24;
    }
    void SetLength(size_t at, uint32_t n)
    {
        for (int i = 0; i < 4; ++i)
            events[at + 1 + i] = static_cast<uint8_t>(n >> (8 * i));
    }

    bool graphicsVisible = false;
    // The console's line limit counts the lines the desktop's console shows:
    // its font's wrapping, from the generated table.
    TableLineWrap wrap;
    ConsoleStream console{wrap};
    uint32_t pen = 0;
    size_t lastText = SIZE_MAX;
};

WebHost host;

// The last compile.
struct Compiled {
    bool ok = false;
    std::string text;
    std::string message;
    int line = -1, column = 0;
    int offset = 0;
} compiled;

// The last run's end.
struct Ended {
    bool running = false;
    std::string fault;
    int faultLine = -1;
} ended;

void InstallFrontEndOutput()
{
    FrontEndOutput out;
    out.compileError = [](const std::string& message, int line, int column) {
        compiled.message = message;
        compiled.line = line;
        compiled.column = column;
    };
    out.listing = [](const std::string& text) { host.views.Append(0, text); };
    out.internalError = [](const std::string& text) { compiled.message = text; };
    SetFrontEndOutput(std::move(out));
}

TColorOverlay& Colouring()
{
    static TColorOverlay overlay = [] {
        TColorOverlay o;
        o.Rules = WorkbenchColorRules();
        return o;
    }();
    return overlay;
}

std::vector<int32_t> runs;
std::string formatted;
std::vector<int> found;
TOutputSpeech speech;
std::string spoken;

std::string_view Bytes(const uint8_t* text, int length)
{
    return std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(std::max(length, 0)));
}

} // namespace
} // namespace tarko

using namespace tarko;

extern "C" {

int tarko_compile(const uint8_t* text, int length, int debugView)
{
    InstallFrontEndOutput();
    DebugOutput = debugView != 0;
    compiled = {};
    compiled.text.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(std::max(length, 0)));
    // As the desktop: the token pass (the dump only for the debug view), then the parse.
    host.views.Clear(0);
    bool ok = TokenPass(compiled.text, [](const std::string& entry) {
        if (DebugOutput)
            host.views.Append(0, entry + ", ");
    });
    if (ok) {
        host.views.Append(0, DebugViewSeparator);
        ok = StartParse(compiled.text) && ParseProgram();
    }
    if (ok)
        host.views.Append(0, DebugViewSeparator);
    compiled.ok = ok && compiled.message.empty();
    if (!compiled.ok && compiled.line >= 0)
        compiled.offset = ClampErrorPosition(compiled.text, compiled.line, compiled.column);
    return compiled.ok ? 1 : 0;
}

const char* tarko_error_message(void) { return compiled.message.c_str(); }
int tarko_error_message_length(void) { return static_cast<int>(compiled.message.size()); }
int tarko_error_offset(void) { return compiled.offset; }
int tarko_error_line(void) { return compiled.line; }
int tarko_error_column(void) { return compiled.column; }

int tarko_start(int step, double seed)
{
    if (!compiled.ok)
        return 0;
    if (seed >= 0)
        SetRandomSeed(static_cast<uint64_t>(seed));
    else
        SetRandomSeed(std::nullopt);
    host.StartRun();
    ended = {};
    const RunResult loaded = LoadCode();
    if (loaded.end != RunEnd::Stopped) {
        ended.fault = loaded.end == RunEnd::Refused ? compiled.message : loaded.fault;
        return 1;
    }
    BeginRun(host, step != 0);
    ended.running = true;
    return 1;
}

int tarko_run_slice(int maxInstructions)
{
    if (!ended.running)
        return ended.fault.empty() ? TARKO_ENDED : TARKO_FAULT;
    host.status = TARKO_RUNNING;
    RunResult result;
    if (!RunSlice(host, maxInstructions > 0 ? static_cast<uint64_t>(maxInstructions) : 0, result))
        return host.status;
    ended.running = false;
    host.stepLine = -1;
    if (result.end == RunEnd::Fault) {
        ended.fault = result.fault;
        ended.faultLine = CodeLine(result.faultInstruction);
        return TARKO_FAULT;
    }
    return TARKO_ENDED;
}

double tarko_pause_seconds(void) { return host.pauseSeconds; }
void tarko_pause_done(void) { host.pauseDone = true; }

int tarko_number_valid(const uint8_t* entry, int length)
{
    double v;
    return ParseNumberEntry({reinterpret_cast<const char*>(entry), static_cast<size_t>(std::max(length, 0))}, v) ? 1 : 0;
}

int tarko_enter_number(const uint8_t* entry, int length)
{
    return host.Enter({reinterpret_cast<const char*>(entry), static_cast<size_t>(std::max(length, 0))}) ? 1 : 0;
}

void tarko_step(void) { StepRequested = true; }
void tarko_stop(void) { StopRequested = true; }

const char* tarko_fault_text(void) { return ended.fault.c_str(); }
int tarko_fault_text_length(void) { return static_cast<int>(ended.fault.size()); }
int tarko_fault_line(void) { return ended.faultLine; }
int tarko_step_line(void) { return ended.running ? host.stepLine : -1; }
double tarko_executed(void) { return static_cast<double>(ExecutedInstructions()); }

const uint8_t* tarko_events(void) { return host.events.data(); }
int tarko_events_length(void) { return static_cast<int>(host.events.size()); }
void tarko_events_clear(void) { host.events.clear(); }

const uint8_t* tarko_canvas_rgba(void) { return reinterpret_cast<const uint8_t*>(host.pixels); }
int tarko_canvas_revision(void) { return host.canvasRevision; }

const char* tarko_view_text(int view)
{
    return view >= 0 && view < 4 ? host.views.text[view].c_str() : "";
}
int tarko_view_length(int view)
{
    return view >= 0 && view < 4 ? static_cast<int>(host.views.text[view].size()) : 0;
}
int tarko_view_revision(void) { return host.views.revision; }

int tarko_colour(const uint8_t* text, int length, const int32_t* windows, int windowCount,
                 int unchangedBefore)
{
    TColorOverlay& overlay = Colouring();
    std::vector<TScanWindow> w;
    for (int i = 0; i < windowCount; ++i)
        w.push_back({windows[2 * i], windows[2 * i + 1]});
    TOverlayInput in;
    in.Text = std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(std::max(length, 0)));
    in.ScanStart = 0;
    in.WantTabs = false;
    in.FontColor = clWindowText;
    in.Windows = w;
    in.UnchangedBefore = std::max(unchangedBefore, 0);
    const int count = overlay.Build(in);
    runs.clear();
    for (int i = 0; i < count; ++i) {
        const TKeyDescr& r = overlay.Runs()[i];
        if (r.Level >= kLevelSelection || (r.SpanColor >> 24) != 0)
            continue;   // masks and the editor's own colours
        runs.push_back(r.StartPos);
        runs.push_back(r.EndPos);
        runs.push_back(static_cast<int32_t>(SwapRedBlue(r.SpanColor)));
    }
    return static_cast<int>(runs.size() / 3);
}

const int32_t* tarko_runs(void) { return runs.data(); }

int tarko_format(const uint8_t* text, int length)
{
    formatted = FormatText(std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(std::max(length, 0))));
    return static_cast<int>(formatted.size());
}

const char* tarko_formatted(void) { return formatted.data(); }

// ---- Tasks: the checks of tarko-run --task, in the browser's worker -------

namespace {
std::optional<Task> task;

// The program compiled last on one input, as a check runs it; a program that
// did not compile fails with its error.
CaseRun RunCompiledOn(const std::string& input, double timeLimit)
{
    CaseRun run;
    if (!compiled.ok) {
        run.end = CaseEnd::CompileError;
        run.message = Cp1252ToUtf8(compiled.message);
        run.line = compiled.line + 1;
        run.column = compiled.column;
        return run;
    }
    const TableLineWrap wrap;
    return RunCase(wrap, input, timeLimit, std::nullopt);
}

std::string taskText;   // the last loaded task as JSON, or the German error
std::string verdictText;
} // namespace

int tarko_task_load(const uint8_t* text, int length)
{
    std::string error;
    task = ParseTask(std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(std::max(length, 0))), error);
    if (!task) {
        taskText = error;
        return 0;
    }
    taskText = "{\"title\": " + QuotedText(task->title, true) + ", \"text\": " + QuotedText(task->text, true) +
               ", \"starter\": " + QuotedText(task->starter, true) + ", \"cases\": [";
    for (size_t i = 0; i < task->cases.size(); ++i)
        taskText += std::string(i ? ", " : "") + "{\"hidden\": " + (task->cases[i].hidden ? "true" : "false") + "}";
    taskText += "]}";
    return 1;
}

const char* tarko_task_text(void) { return taskText.c_str(); }
int tarko_task_text_length(void) { return static_cast<int>(taskText.size()); }

int tarko_task_check(int index, double timeLimit)
{
    if (!task || index < 0 || static_cast<size_t>(index) >= task->cases.size())
        return -1;
    const CaseRun run = RunCompiledOn(task->cases[static_cast<size_t>(index)].input, timeLimit);
    const CaseVerdict v = JudgeCase(task->cases[static_cast<size_t>(index)], index + 1, run);
    verdictText = "{\"status\": " + QuotedText(v.status, true) + ", \"text\": " + QuotedText(v.text, true) + "}";
    return v.passed ? 1 : 0;
}

// ---- Making a task from the program compiled last (the model solution) ----

namespace {
Task madeTask;
} // namespace

int tarko_task_begin(const uint8_t* fields, int length)
{
    const std::string all(reinterpret_cast<const char*>(fields), static_cast<size_t>(std::max(length, 0)));
    const size_t a = all.find('\0');
    const size_t b = a == std::string::npos ? std::string::npos : all.find('\0', a + 1);
    if (b == std::string::npos)
        return 0;
    madeTask = Task{};
    madeTask.title = all.substr(0, a);
    madeTask.text = all.substr(a + 1, b - a - 1);
    madeTask.starter = all.substr(b + 1);
    return 1;
}

int tarko_task_add_case(const uint8_t* input, int length, int hidden, double timeLimit)
{
    const std::string in(reinterpret_cast<const char*>(input), static_cast<size_t>(std::max(length, 0)));
    const CaseRun run = RunCompiledOn(in, timeLimit);
    if (run.end != CaseEnd::Completed) {
        taskText = RunEndText(run);
        return 0;
    }
    madeTask.cases.push_back(MakeCase(in, run.transcript, hidden != 0));
    return 1;
}

int tarko_task_file(void)
{
    taskText = TaskFileText(madeTask);
    return static_cast<int>(taskText.size());
}

const char* tarko_task_verdict(void) { return verdictText.c_str(); }
int tarko_task_verdict_length(void) { return static_cast<int>(verdictText.size()); }
const char* tarko_search_texts(void)
{
    static const std::string lines = [] {
        std::string s;
        for (const SearchText& t : SearchTexts)
            s += std::string(t.key) + "=" + Utf8ToCp1252(t.text) + "\n";
        return s;
    }();
    return lines.c_str();
}

int tarko_search_texts_length(void) { return static_cast<int>(std::strlen(tarko_search_texts())); }

int tarko_find(const uint8_t* text, int length, const uint8_t* what, int whatLength, int from)
{
    const size_t at = FindForward(Bytes(text, length), Bytes(what, whatLength), static_cast<size_t>(std::max(from, 0)));
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

int tarko_occurrences(const uint8_t* text, int length, const uint8_t* what, int whatLength)
{
    found = Occurrences(Bytes(text, length), Bytes(what, whatLength));
    return static_cast<int>(found.size());
}

const int32_t* tarko_found(void) { return found.data(); }

void tarko_speech_written(const uint8_t* utf8, int length, double nowMs)
{
    speech.Written(Bytes(utf8, length), static_cast<int64_t>(nowMs));
}

void tarko_speech_clear(void) { speech.Clear(); }
double tarko_speech_due(double nowMs) { return static_cast<double>(speech.DueInMs(static_cast<int64_t>(nowMs))); }

int tarko_speech_take(void)
{
    spoken = speech.Take();
    return static_cast<int>(spoken.size());
}

const char* tarko_speech_text(void) { return spoken.c_str(); }

} // extern "C"
