// Run control: the commands Run, Step and Stop, the run state with the
// commands it allows, the message line and the compile-error display.
#include <QColor>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTextBlock>
#include <exception>
#include <limits>
#include <utility>

#include "editor/ColMemo.h"
#include "editor/WorkbenchScheme.h"
#include "language/Cp1252.h"
#include "runtime/Ide.h"
#include "runtime/OutputSpeech.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"
#include "workbench/Accessible.h"
#include "workbench/Dialogs.h"
#include "workbench/MainForm.h"

namespace tarko {

namespace {
QColor Colour(TColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }
} // namespace

// Run1Click (F9, tool button Run2): a normal run with the debug view hidden.
void TMainForm::Run1Click()
{
    DebugOutput = false;
    ideForm_->hide();
    if (runState_ == 3)
        return;
    runPanel_->EnableConsole();
    RunGuarded(3);
}

// Step1Click (Ctrl+F9): starts a single-step run, or executes the next
// instruction of the one in progress.
void TMainForm::Step1Click()
{
    DebugOutput = true;
    if (runState_ == 1)
        RunGuarded(2);
    else
        StepRequested = true;
}

// Break1Click (Esc, tool button Break2): idle at once; the interpreter ends
// after the instruction it is executing.
void TMainForm::Break1Click()
{
    if (runState_ != 1)
        endNote_ = QStringLiteral("Programm beendet");
    SetRunState(1);
    FocusEditor();
    StopRequested = true;
}

void TMainForm::RunGuarded(int mode)
{
    if (lastTab_ < 0)
        return;  // no program is open
    try {
        ideForm_->CompileAndRun(mode);
    } catch (const std::exception& e) {
        // A failure nobody handled ends the command, not the workbench.
        dialogs_->Error(QString::fromLocal8Bit(e.what()));
    }
    // Whatever ended the run, the workbench is idle again afterwards.
    if (runState_ != 1)
        SetRunState(1);
}

void TMainForm::SetRunState(int state)
{
    runState_ = state;
    ShowMessageLine(state, QString());
    const bool idle = state == 1;
    menus_.value("Datei1")->menuAction()->setEnabled(idle);
    menus_.value("Bearbeiten1")->menuAction()->setEnabled(idle);
    actions_.value("Run1")->setEnabled(idle);
    actions_.value("Run2")->setEnabled(idle);
    actions_.value("Step1")->setEnabled(state != 3);
    actions_.value("Break1")->setEnabled(!idle);
    actions_.value("Break2")->setEnabled(!idle);
    for (const char* item : {"BildSpeichern1", "BildOriginal1", "AusgabeKopieren1"})
        actions_.value(QString::fromLatin1(item))->setEnabled(idle);
    for (const char* button : {"Neu2", "Oeffnen2", "Speichern2", "Drucken2", "Ausschneiden2", "Kopieren2",
                               "Einfuegen2", "Suchen2", "Ersetzen2"})
        actions_.value(QString::fromLatin1(button))->setEnabled(idle);
    pcEdit_->setEnabled(idle);
    CurrentEditor()->setEnabled(idle);
    runPanel_->SetRunStateLook(state);
    if (idle)
        UpdateCaptionAndCommands();
}

void TMainForm::ShowMessageLine(int kind, const QString& text)
{
    const TSchemeColours& colours = SchemeColours(colourScheme_);
    QColor background;
    QString shown;
    switch (kind) {
    case 0:
        background = Colour(colours.MessageError);
        shown = text;
        break;
    case 1:
        background = palette().color(QPalette::Button);
        break;
    case 2:
        background = Colour(colours.MessageStep);
        shown = QStringLiteral("Programmschritt mit F9");
        break;
    case 3:
        background = Colour(colours.MessageRunning);
        shown = QStringLiteral("Programm läuft");
        break;
    default:
        return;
    }
    messageKind_ = kind;
    messageText_ = text;
    QPalette p = lMeldung_->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, Colour(colours.MessageText));
    lMeldung_->setPalette(p);
    lMeldung_->setText(shown);
    FormResize();   // the text may need another font size or a second line
}

// Options OK and start-up: the colours chosen in the settings reach the
// program editors, a marked line and the message line at once.
void TMainForm::ApplyColourScheme()
{
    const TColourScheme scheme = Inis.HighContrast ? TColourScheme::HighContrast : TColourScheme::Standard;
    if (scheme == colourScheme_)
        return;
    const TSchemeColours& before = SchemeColours(colourScheme_);
    const TSchemeColours& after = SchemeColours(scheme);
    colourScheme_ = scheme;
    const TDrawRules rules = WorkbenchColorRules(scheme);
    for (TColorMemo* editor : editors_) {
        editor->SetColorRules(rules);
        if (const int marked = editor->MarkedLine(); marked >= 0) {
            const QColor was = editor->extraSelections().value(0).format.background().color();
            const bool step = was == Colour(before.StepLine);
            editor->SetMarkedLine(marked, Colour(step ? after.StepLine : after.FaultLine));
        }
        editor->viewport()->update();
    }
    ShowMessageLine(messageKind_, messageText_);
}

// The message line shows its text in the bold 15-pixel font on one line of
// 22 pixels while the text fits. A longer one (a compile error on a narrow
// editor panel) must still be read in full: first a slightly smaller font,
// then a second line, then smaller fonts on two lines and, only as a last
// resort, more lines; such a text keeps a small margin at both sides, and
// the tooltip holds the whole text. Returns the height the line needs at
// the given width.
int TMainForm::FitMessageLine(int width)
{
    constexpr int Height = 22, PixelSize = 15, SmallestOneLine = 13, Smallest = 9, Padding = 4, Side = 4;
    const QString text = lMeldung_->text();
    QFont f = lMeldung_->font();
    auto apply = [&](int pixelSize, bool wrap, bool adapted) {
        f.setPixelSize(pixelSize);
        lMeldung_->setFont(f);
        lMeldung_->setWordWrap(wrap);
        lMeldung_->setContentsMargins(adapted ? Side : 0, 0, adapted ? Side : 0, 0);
        lMeldung_->setToolTip(adapted ? text : QString());
    };
    // Measured as the label lays the text out.
    for (int px = PixelSize; px >= SmallestOneLine; --px) {
        f.setPixelSize(px);
        const int room = px == PixelSize ? width : width - 2 * Side;
        if (QFontMetrics(f).boundingRect(QRect(0, 0, room, Height), Qt::AlignCenter, text).width() <= room) {
            apply(px, false, px != PixelSize);
            return Height;
        }
    }
    // Word-wrapped; lines are counted in line spacings.
    const int room = width - 2 * Side;
    auto wrapped = [&](int px) {
        f.setPixelSize(px);
        const QFontMetrics fm(f);
        const QRect r = fm.boundingRect(QRect(0, 0, room, 1 << 20), Qt::AlignCenter | Qt::TextWordWrap, text);
        return std::pair{r, fm.lineSpacing()};
    };
    for (int lines = 2;; ++lines) {
        for (int px = PixelSize; px >= Smallest; --px) {
            const auto [r, spacing] = wrapped(px);
            const bool last = px == Smallest && lines >= 6;   // a word wider than the line
            if ((r.width() <= room && r.height() <= lines * spacing) || last) {
                apply(px, true, true);
                return std::max(Height, r.height() + Padding);
            }
        }
    }
}

// The compile-error display: red message, focus and caret at the error.
void TMainForm::ShowCompileError(const std::string& message, int line, int column)
{
    ShowMessageLine(0, QString::fromStdString(Cp1252ToUtf8(message)));
    TColorMemo* editor = CurrentEditor();
    editor->setFocus(Qt::OtherFocusReason);
    // An error noticed at the end of the program (a block left open) lies on
    // the line after the last one; the caret then goes to the end of the text
    // rather than to the same column of the last line.
    const bool pastEnd = line >= editor->LineCount();
    editor->SetCaretLine(line);
    editor->SetCaretColumn(pastEnd ? std::numeric_limits<int>::max() : column);
    ShowCaretPosition();
    // The focus stays on the editor, whose caret moves are all a screen
    // reader would say: the message is told besides, with the place the
    // caret went to (the message line shows the message alone).
    announcer_->Announce(QString::fromStdString(CompileErrorAnnouncement(
        editor->CaretLine() + 1, editor->CaretColumn() + 1, Cp1252ToUtf8(message))));
}

void TMainForm::ShowStepLine(int line)
{
    TColorMemo* editor = CurrentEditor();
    editor->SetMarkedLine(line, Colour(SchemeColours(colourScheme_).StepLine));
    if (line < 0)
        return;
    editor->ScrollLineIntoView(line);
    // The marked line is all a sighted pupil needs; a screen reader is
    // told its number and text at every step.
    const QTextBlock block = editor->document()->findBlockByNumber(line);
    if (block.isValid())
        announcer_->Announce(QString::fromStdString(StepAnnouncement(line + 1, block.text().toStdString())));
}

void TMainForm::ShowFaultLine(int line)
{
    TColorMemo* editor = CurrentEditor();
    if (line < 0) {
        editor->SetMarkedLine(-1);
        return;
    }
    editor->SetCaretLine(line);
    editor->SetMarkedLine(line, Colour(SchemeColours(colourScheme_).FaultLine));
    editor->ensureCursorVisible();
    ShowCaretPosition();
}

} // namespace tarko
