#pragma once
// The debug view window and the compile-and-run driver. In single-step runs it
// shows the token dump, the p-code listing, the top of the stack, the first
// variables and every executed instruction; it is written only while
// DebugOutput is set. It also runs the token and parse passes.
#include <QWidget>
#include <functional>
#include <string>

class QPlainTextEdit;
class QString;

namespace tarko {

class TRunPanel;

// How the driver reaches the main window.
struct TIdeHooks {
    std::function<std::string()> programText;  // current editor text, Windows-1252, CR LF
    std::function<void(int)> setRunState;      // TMainForm::SetRunState
    std::function<void()> focusEditor;         // keyboard focus to the current editor
    // Error box "Fehler" with the text of a fault that ended the run; the
    // driver then returns to idle as after a normal end.
    std::function<void(const QString&)> showFault;
    // Plain box for "Interner Fehler ..." texts. The driver itself does not
    // need it: the front end and the interpreter report their internal errors
    // through FrontEndOutput::internalError, which the main window connects.
    std::function<void(const QString&)> showInternalError;
    // Optional: re-indent the current editor if automatic formatting is on
    // (called after a successful compilation, before the run).
    std::function<void()> autoFormat;
    // Optional: mark a line of the program in the editor. Step: the line of
    // the statement the next single step executes; Fault: the line of the
    // instruction a fault ended the run in (after its box was closed), with
    // the caret there; a line of -1 removes the mark (no line known, or the
    // run is over).
    enum class LineMark { Step, Fault };
    std::function<void(LineMark kind, int line)> markLine;
};

class TIdeForm : public QWidget {
    Q_OBJECT
public:
    // A separate top-level window (not modal), hidden until a single-step run.
    // The main window adds its shortcut actions to this window as well, so
    // that Ctrl+F9 and Esc also work while this window has the focus.
    TIdeForm(TRunPanel* panel, TIdeHooks hooks, QWidget* parent = nullptr);
    ~TIdeForm() override;

    // mode 2 single step, 3 normal run. Returns when the run has ended.
    void CompileAndRun(int mode);

    // Token pass and parse pass over the current editor's text.
    bool Scanner();
    bool Parser();

    // Append s and one blank to the control, only while DebugOutput is set.
    // Text is Windows-1252; line breaks come only from s.
    void AddDebugText(const std::string& s);
    void AddStackText(const std::string& s);
    void AddDataText(const std::string& s);
    void AddCodeText(const std::string& s);

    // Single-step views of the interpreter's state before the next instruction.
    void ShowData();
    void ShowStack();
    // Single step: marks the program line of the instruction about to be executed.
    void ShowStepLine(int instruction);

    QPlainTextEdit* DebugMemo() const;
    QPlainTextEdit* StackMemo() const;
    QPlainTextEdit* DataMemo() const;
    QPlainTextEdit* CodeMemo() const;
    TRunPanel* Panel() const;

private:
    struct Impl;
    class DebugBatch;
    Impl* d;
};

} // namespace tarko
