#include "runtime/Ide.h"

#include <QAction>
#include <QColor>
#include <QFont>
#include <QPlainTextEdit>
#include <QString>
#include <QTextCursor>

#include "editor/WinText.h"
#include "language/PCode.h"
#include "language/Parser.h"
#include "language/TokenPass.h"
#include "runtime/Canvas.h"
#include "runtime/QtRunHost.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"

namespace tarko {

namespace {

QPlainTextEdit* NewMemo(QWidget* parent, const char* name, int x, int y, int w, int h,
                        const char* initial)
{
    auto* m = new QPlainTextEdit(parent);
    m->setObjectName(QString::fromLatin1(name));
    m->setGeometry(x, y, w, h);
    m->setReadOnly(true);
    // The keyboard reads them line by line (a screen reader follows the caret).
    m->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m->setUndoRedoEnabled(false);
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setPlainText(QString::fromLatin1(initial));
    return m;
}

// Inserts Windows-1252 text at the end of the memo, without touching the rest.
void InsertAtEnd(QPlainTextEdit* memo, const std::string& text)
{
    QTextCursor c(memo->document());
    c.movePosition(QTextCursor::End);
    c.insertText(FromWinText(text));
}

// Appends s and one blank at the end of the memo. A memo that follows its
// newest line scrolls to it.
void Append(QPlainTextEdit* memo, const std::string& s, bool follow = false)
{
    if (!DebugOutput)
        return;
    InsertAtEnd(memo, s + " ");
    if (follow) {
        memo->moveCursor(QTextCursor::End);
        memo->ensureCursorVisible();
    }
}

} // namespace

struct TIdeForm::Impl {
    TRunPanel* panel = nullptr;
    TIdeHooks hooks;
    QPlainTextEdit* debugMemo = nullptr;
    QPlainTextEdit* stackMemo = nullptr;
    QPlainTextEdit* dataMemo = nullptr;
    QPlainTextEdit* codeMemo = nullptr;
    bool running = false;
    // While a compile pass runs, its debug text collects here and reaches
    // the memo in one insertion: the token dump is one paragraph, which the
    // text layout would lay out again for every token appended to it.
    bool collecting = false;
    std::string collected;
};

// Collects the debug text of one compile pass and writes it when the pass ends.
class TIdeForm::DebugBatch {
public:
    explicit DebugBatch(TIdeForm::Impl& d) : d_(d)
    {
        d_.collecting = true;
        d_.collected.clear();
    }
    ~DebugBatch()
    {
        d_.collecting = false;
        if (!d_.collected.empty())
            InsertAtEnd(d_.debugMemo, d_.collected);
        d_.collected.clear();
    }
    DebugBatch(const DebugBatch&) = delete;
    DebugBatch& operator=(const DebugBatch&) = delete;

private:
    TIdeForm::Impl& d_;
};

TIdeForm::TIdeForm(TRunPanel* panel, TIdeHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window), d(new Impl)
{
    d->panel = panel;
    d->hooks = std::move(hooks);
    setObjectName(QStringLiteral("IdeForm"));
    setWindowTitle(QStringLiteral("IdeForm"));
    resize(620, 738);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"),
                   QStringLiteral("Liberation Sans")});
    f.setPixelSize(10);
    setFont(f);
    d->debugMemo = NewMemo(this, "DebugMemo", 13, 5, 596, 444, "");
    d->stackMemo = NewMemo(this, "StackMemo", 29, 463, 137, 228, "StackMemo");
    d->dataMemo = NewMemo(this, "DataMemo", 291, 471, 137, 228, "DataMemo");
    d->codeMemo = NewMemo(this, "CodeMemo", 448, 471, 163, 228, "CodeMemo");

    // Space makes the next step, as the run start message promises.
    auto* step = new QAction(this);
    step->setObjectName(QStringLiteral("StepWithSpace"));
    step->setShortcut(Qt::Key_Space);
    step->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(step, &QAction::triggered, this, [this] {
        if (d->running && DebugOutput)
            StepRequested = true;
    });
    addAction(step);
}

TIdeForm::~TIdeForm()
{
    delete d;
}

QPlainTextEdit* TIdeForm::DebugMemo() const { return d->debugMemo; }
QPlainTextEdit* TIdeForm::StackMemo() const { return d->stackMemo; }
QPlainTextEdit* TIdeForm::DataMemo() const { return d->dataMemo; }
QPlainTextEdit* TIdeForm::CodeMemo() const { return d->codeMemo; }
TRunPanel* TIdeForm::Panel() const { return d->panel; }

void TIdeForm::AddDebugText(const std::string& s)
{
    if (d->collecting && DebugOutput)
        d->collected += s + " ";
    else
        Append(d->debugMemo, s);
}
void TIdeForm::AddStackText(const std::string& s) { Append(d->stackMemo, s); }
void TIdeForm::AddDataText(const std::string& s) { Append(d->dataMemo, s); }
void TIdeForm::AddCodeText(const std::string& s) { Append(d->codeMemo, s, true); }

// Scanner: token pass; false only when the very first token fails.
bool TIdeForm::Scanner()
{
    d->debugMemo->clear();
    const std::string text = d->hooks.programText ? d->hooks.programText() : std::string();
    DebugBatch batch(*d);
    return TokenPass(text, [this](const std::string& entry) {
        if (DebugOutput)   // skip building the dump in normal runs
            AddDebugText(entry + ", ");
    });
}

// Parser: parse pass; initialise with the editor's text, then compile.
bool TIdeForm::Parser()
{
    DebugBatch batch(*d);
    if (!StartParse(d->hooks.programText ? d->hooks.programText() : std::string()))
        return false;
    return ParseProgram();
}

void TIdeForm::ShowData()
{
    d->dataMemo->clear();
    for (const std::string& line : DataViewLines())
        AddDataText(line);
}

void TIdeForm::ShowStack()
{
    d->stackMemo->clear();
    for (const std::string& line : StackViewLines())
        AddStackText(line);
}

void TIdeForm::ShowStepLine(int instruction)
{
    if (d->hooks.markLine)
        d->hooks.markLine(TIdeHooks::LineMark::Step, CodeLine(instruction));
}

void TIdeForm::CompileAndRun(int mode)
{
    if (d->running || !d->panel)   // one run at a time, even if a handler re-enters
        return;
    struct RunningFlag {
        bool& flag;
        explicit RunningFlag(bool& f) : flag(f) { flag = true; }
        ~RunningFlag() { flag = false; }
    } running(d->running);
    const TIdeHooks& h = d->hooks;

    d->panel->PanelCanvas().SetPenColor(Qt::white);
    d->panel->SetConsoleFontColor(Qt::black);
    if (h.markLine)
        h.markLine(TIdeHooks::LineMark::Step, -1);   // a new run forgets the last fault's line
    if (mode == 2)
        show();

    bool compiled = Scanner();
    if (compiled) {
        AddDebugText(DebugViewSeparator);
        compiled = Parser();
    }
    if (compiled) {
        AddDebugText(DebugViewSeparator);
        if (h.setRunState)
            h.setRunState(mode);
        if (h.autoFormat)
            h.autoFormat();
        d->panel->ClearConsole();
        d->panel->ShowConsole();
        StopRequested = false;
        StepRequested = false;

        TQtRunHost host(*d->panel, this);
        const RunResult r = RunProgram(host, mode == 2);
        d->panel->ShowPendingOutput();
        if (h.markLine)
            h.markLine(TIdeHooks::LineMark::Step, -1);
        if (r.end == RunEnd::Fault && h.showFault)
            h.showFault(FromWinText(r.fault));
        if (r.end == RunEnd::Fault && h.markLine && r.faultInstruction >= 0)
            h.markLine(TIdeHooks::LineMark::Fault, CodeLine(r.faultInstruction));

        if (h.setRunState)
            h.setRunState(1);
        close();
    }
    if (h.focusEditor)
        h.focusEditor();
}

} // namespace tarko
