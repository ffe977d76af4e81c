// The model of the five editor tabs: which tab is current, which program each
// holds, how tabs open and close; the caret position in the status bar.
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QWheelEvent>
#include <algorithm>
#include <QTextBlock>

#include "editor/ColMemo.h"
#include "editor/WinText.h"
#include "workbench/Dialogs.h"
#include "workbench/MainForm.h"

namespace tarko {

QString ProgramCaption(const QString& programName);  // MainMenus.cpp

TColorMemo* TMainForm::EditorAt(int index) const
{
    if (index < 0 || index >= TabCount)
        return nullptr;
    return editors_[index];
}

// Pages 4, 3, 2, 1 are compared with the active page; otherwise 0.
int TMainForm::CurrentTabIndex() const
{
    if (lastTab_ < 0)
        return 0;  // no page is active while every tab is hidden
    QWidget* active = pcEdit_->currentWidget();
    for (int i = TabCount - 1; i >= 1; --i)
        if (tabSheets_[i] == active)
            return i;
    return 0;
}

TColorMemo* TMainForm::CurrentEditor() const { return editors_[CurrentTabIndex()]; }

// Two lines for the empty window: how to begin, where the examples are.
void TMainForm::CreateEmptyHint()
{
    emptyHint_ = new QLabel(pEdit_);
    emptyHint_->setObjectName(QStringLiteral("EmptyHint"));
    emptyHint_->setText(QStringLiteral("Neues Programm: Datei \u2192 Neu (Strg+N)\n"
                                       "Vier Beispiele: Datei \u2192 Beispielprogramm \u00F6ffnen"));
    // Read without the arrows, which a screen reader names as signs.
    emptyHint_->setAccessibleName(QStringLiteral("Neues Programm: Datei, Neu (Strg+N). "
                                                 "Vier Beispiele: Datei, Beispielprogramm \u00F6ffnen"));
    emptyHint_->setWordWrap(true);
    emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // With no program open the hint holds the focus, so that a screen
    // reader reads it, rather than a hidden tab.
    emptyHint_->setFocusPolicy(Qt::TabFocus);
    QPalette p = emptyHint_->palette();
    p.setColor(QPalette::WindowText, QColor(96, 96, 96));   // quieter than text, still easy to read
    emptyHint_->setPalette(p);
    emptyHint_->hide();
}

void TMainForm::ShowEmptyHint()
{
    emptyHint_->show();
    emptyHint_->setFocus(Qt::OtherFocusReason);
}

void TMainForm::ActivateTab(int index)
{
    if (index < 0) {
        ShowEmptyHint();
        pcEdit_->hide();
        return;
    }
    pcEdit_->setCurrentIndex(index);
}

void TMainForm::OpenTab(const QString& programName)
{
    if (lastTab_ < TabCount - 1)
        ++lastTab_;
    EnableOpenPages();
    pcEdit_->show();
    pcEdit_->setTabVisible(lastTab_, true);
    ActivateTab(lastTab_);
    TColorMemo* editor = CurrentEditor();
    editor->SetWinText({});
    editor->SetModified(false);
    SetTabCaption(lastTab_, ProgramCaption(programName));
    fileNames_[lastTab_] = programName;
    ApplyTabStops();
    // Straight from the hint to the named editor, not through the tab bar.
    if (focusWidget() == emptyHint_)   // also while the window is not active
        editor->setFocus(Qt::OtherFocusReason);
    emptyHint_->hide();
}

bool TMainForm::CloseCurrentTab()
{
    const int current = CurrentTabIndex();
    TColorMemo* editor = CurrentEditor();
    if (editor->Modified()) {
        const QString question = QStringLiteral("Änderungen speichern in %1?").arg(fileNames_[current]);
        switch (dialogs_->Confirm(question)) {
        case TAnswer::Abbrechen:
            return false;
        case TAnswer::Ja:
            // A save that did not happen (name dialog cancelled, write
            // failed) keeps the tab: the user wanted its text kept.
            if (!SaveProgram())
                return false;
            break;
        case TAnswer::Nein:
            break;
        }
    }
    if (lastTab_ < 0)
        return true;
    if (lastTab_ == 0)   // the hint takes the focus straight from the editor
        ShowEmptyHint();
    pcEdit_->setTabVisible(lastTab_, false);
    // The programs after the closed one move one tab to the left, each with
    // its text, caret, changed flag, caption and name.
    for (int i = current; i < lastTab_; ++i) {
        TColorMemo* to = editors_[i];
        TColorMemo* from = editors_[i + 1];
        // The document's own text, so that characters without a
        // Windows-1252 byte move as typed (the save refuses them).
        to->setPlainText(from->document()->toRawText());
        to->SetSelStart(from->SelStart());
        to->SetModified(from->Modified());
        SetTabCaption(i, pcEdit_->tabText(i + 1));
        fileNames_[i] = fileNames_[i + 1];
    }
    --lastTab_;
    ActivateTab(lastTab_);
    EnableOpenPages();
    return true;
}

// The pages of closed tabs are disabled for good: the run state then
// enables and disables the open pages only (every control it touches tells
// a screen reader so, and the hidden editors would double that).
void TMainForm::EnableOpenPages()
{
    for (int i = 0; i < TabCount; ++i)
        tabSheets_[i]->setEnabled(i <= lastTab_);
}

// Close all: one close per open tab, whatever each returns; a cancelled
// prompt keeps its tab while the later calls close the then active one.
void TMainForm::AllesSchliessen1Click()
{
    if (lastTab_ >= 0) {
        const int n = lastTab_ + 1;
        for (int i = 0; i < n; ++i)
            CloseCurrentTab();
    }
    UpdateCaptionAndCommands();
    ShowCaretPosition();
}

void TMainForm::Schliessen1Click()
{
    CloseCurrentTab();
    UpdateCaptionAndCommands();
    ShowCaretPosition();
}

void TMainForm::Beenden1Click() { close(); }

void TMainForm::ShowCaretPosition()
{
    if (lastTab_ < 0) {   // no tab open: no caret to show
        statusPanels_[0]->clear();
        return;
    }
    TColorMemo* editor = CurrentEditor();
    statusPanels_[0]->setText(QString::asprintf("%3d: %3d", editor->CaretLine() + 1, editor->CaretColumn() + 1));
}

void TMainForm::ApplyTabStops()
{
    // A tab stop every Tabs character widths of eight pixels.
    for (int i = 0; i <= lastTab_; ++i)
        editors_[i]->SetTabWidthPixels(ZoomedTabStopPixels());
}

void TMainForm::EditCommand(void (*op)(TColorMemo*))
{
    if (runState_ != 1 || lastTab_ < 0)
        return;
    TColorMemo* editor = CurrentEditor();
    op(editor);
    UpdateCaptionAndCommands();
    ShowCaretPosition();
}

// Pause4Click: insert the entry's text at the caret, ".." standing for two
// line breaks.
void TMainForm::Pause4Click(QAction* entry)
{
    if (runState_ != 1 || lastTab_ < 0)
        return;
    QString text = entry->data().toString();
    if (text == u"-")
        return;
    if (const qsizetype amp = text.indexOf(u'&'); amp >= 0)
        text.remove(amp, 1);
    text.replace(QStringLiteral(".."), QStringLiteral("\n\n"));
    TColorMemo* editor = CurrentEditor();
    // Replacing the selection with a text of our own leaves no undo step.
    editor->SetSelText(ToWinText(text));
    editor->setFocus();
    UpdateCaptionAndCommands();
    ShowCaretPosition();
}

void TMainForm::ConnectEditor(TColorMemo* editor)
{
    editor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(editor, &QWidget::customContextMenuRequested, this,
            [this, editor](const QPoint& pos) { popupMenu_->popup(editor->mapToGlobal(pos)); });
    editor->OnChange = [this](TColorMemo* sender) {
        // CMemo1Change
        if (sender != CurrentEditor())
            return;
        AutoIndent();
        UpdateCaptionAndCommands();
        ShowCaretPosition();
    };
    editor->OnClick = [this](TColorMemo*) {
        // CMemo1Click
        UpdateCaptionAndCommands();
        ShowCaretPosition();
    };
    editor->OnKeyDown = [this](TColorMemo* sender, QKeyEvent* k, bool& handled) {
        // CMemo1KeyDown
        ShowCaretPosition();
        if (k->key() == Qt::Key_Y && k->modifiers() == Qt::ControlModifier) {
            DeleteCaretLine(sender);
            handled = true;
        }
    };
    editor->OnKeyPress = [this](TColorMemo*, QKeyEvent* k, bool&) {
        // CMemo1KeyPress: AutoIndent acts only on the change Enter makes.
        // Ctrl+Enter and Alt+Enter insert nothing; a flag set by them would
        // indent whatever change comes next.
        const Qt::KeyboardModifiers mods = k->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
        enterPressed_ = (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) && mods == Qt::NoModifier;
    };
    // The caret display follows every caret move, not only key-downs.
    connect(editor, &QPlainTextEdit::cursorPositionChanged, this, [this, editor] {
        if (editor == CurrentEditor())
            ShowCaretPosition();
    });
    connect(editor, &QPlainTextEdit::selectionChanged, this, [this, editor] {
        if (editor == CurrentEditor())
            UpdateCaptionAndCommands();
    });
    // Its key events reach EditorEvent through the window's application-wide filter.
}

// Stepping from tab to tab goes through the open tabs only: the tab control
// alone would also step onto the hidden ones above LastTab, whose editors
// hold stale text. Ctrl+Tab and Ctrl+Shift+Tab (anywhere in the tabs) go
// round and give the new tab's editor the focus; the arrow keys and the
// mouse wheel on the tab bar stop at the first and the last open tab.
bool TMainForm::TabStepEvent(QObject* watched, QEvent* e)
{
    QTabBar* bar = pcEdit_->tabBar();
    int step = 0;
    bool round = false;
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        const bool tabKey = k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab;
        if (watched == pcEdit_ && tabKey && (k->modifiers() & Qt::ControlModifier)) {
            step = k->key() == Qt::Key_Backtab || (k->modifiers() & Qt::ShiftModifier) ? -1 : 1;
            round = true;
        } else if (watched == bar && (k->key() == Qt::Key_Left || k->key() == Qt::Key_Right)) {
            step = k->key() == Qt::Key_Left ? -1 : 1;
        }
    } else if (e->type() == QEvent::Wheel && watched == bar) {
        const QPoint turn = static_cast<QWheelEvent*>(e)->angleDelta();
        const int delta = std::abs(turn.x()) > std::abs(turn.y()) ? turn.x() : turn.y();
        step = delta > 0 ? -1 : delta < 0 ? 1 : 0;
        if (step == 0)
            return true;
    }
    if (step == 0)
        return false;
    if (lastTab_ >= 0) {
        const int open = lastTab_ + 1;
        const int next = round ? (CurrentTabIndex() + step + open) % open
                               : std::clamp(CurrentTabIndex() + step, 0, lastTab_);
        ActivateTab(next);
        if (round)
            FocusEditor();
    }
    return true;
}

// Automatic indentation after Enter: the line Enter just ended passes its
// leading blanks and tabs on to the new line, if it holds anything else.
void TMainForm::AutoIndent()
{
    const bool enter = enterPressed_;
    enterPressed_ = false;
    if (!enter || !Inis.AutoTab)
        return;
    TColorMemo* editor = CurrentEditor();
    const QTextBlock above = editor->textCursor().block().previous();
    if (!above.isValid())
        return;
    const QString line = above.text();
    qsizetype n = 0;
    while (n < line.size() && line[n].unicode() <= 32)
        ++n;
    if (n == line.size())
        return;
    editor->SetSelLength(0);
    editor->SetSelText(ToWinText(line.left(n)));
}

// The insert-command keys win over the menu bar's access letters while an
// editor has the focus.
bool TMainForm::EditorEvent(TColorMemo*, QEvent* e)
{
    switch (e->type()) {
    case QEvent::ShortcutOverride: {
        auto* k = static_cast<QKeyEvent*>(e);
        const QKeySequence seq(k->keyCombination());
        for (QAction* a : std::as_const(insertCommands_))
            if (a->shortcut() == seq) {
                e->accept();
                return true;
            }
        return false;
    }
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(e);
        const QKeySequence seq(k->keyCombination());
        for (QAction* a : std::as_const(insertCommands_))
            if (a->shortcut() == seq) {
                a->trigger();
                return true;
            }
        return false;
    }
    default:
        return false;
    }
}

// Ctrl+Y: the caret's line goes with its line break; on the last line only
// its characters go.
void TMainForm::DeleteCaretLine(TColorMemo* editor)
{
    if (runState_ != 1)
        return;
    // The caret's line is the line of the selection's start, whichever
    // way the selection was made.
    QTextCursor c = editor->textCursor();
    const QTextBlock block = editor->document()->findBlock(c.selectionStart());
    c.setPosition(block.position());
    if (block.next().isValid())
        c.setPosition(block.next().position(), QTextCursor::KeepAnchor);
    else
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    editor->setTextCursor(c);
    editor->document()->clearUndoRedoStacks();
    UpdateCaptionAndCommands();
    ShowCaretPosition();
}

} // namespace tarko
