// The editing commands that need more than the editor's own operations:
// find, replace and the font dialog. Both search dialogs stay open while the
// user works on; each action applies to the editor current at that moment.
#include <QDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include <vector>

#include "editor/ColMemo.h"
#include "editor/WinText.h"
#include "language/Formatter.h"
#include "workbench/Accessible.h"
#include "workbench/MainForm.h"
#include "workbench/SearchRule.h"

namespace tarko {

namespace {

QString Text(const char* key) { return QString::fromUtf8(SearchTextOf(key)); }

// A search dialog: search text, for replacing also the replacement text,
// and its buttons on the right. Case always counts; the search runs forward.
QDialog* SearchDialog(QWidget* parent, bool replace)
{
    auto* d = new QDialog(parent);
    d->setObjectName(replace ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
    d->setWindowTitle(Text(replace ? "ReplaceTitle" : "FindTitle"));
    d->setModal(false);
    auto* fields = new QGridLayout;
    auto* what = new QLineEdit(d);
    what->setObjectName(QStringLiteral("FindText"));
    fields->addWidget(new QLabel(Text("FindLabel"), d), 0, 0);
    fields->addWidget(what, 0, 1);
    static_cast<QLabel*>(fields->itemAtPosition(0, 0)->widget())->setBuddy(what);
    if (replace) {
        auto* with = new QLineEdit(d);
        with->setObjectName(QStringLiteral("ReplaceText"));
        auto* label = new QLabel(Text("ReplaceLabel"), d);
        label->setBuddy(with);
        fields->addWidget(label, 1, 0);
        fields->addWidget(with, 1, 1);
    }
    auto* buttons = new QVBoxLayout;
    auto button = [&](const char* name) {
        auto* b = new QPushButton(Text(name), d);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    button("FindNext")->setDefault(true);
    if (replace) {
        button("Replace");
        button("ReplaceAll");
    }
    QObject::connect(button("Cancel"), &QPushButton::clicked, d, &QDialog::close);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(d);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    NameControls(d);
    return d;
}

QString FieldText(QDialog* d, const char* name)
{
    return d->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
}

} // namespace

void TMainForm::Suchen1Click()
{
    if (!findDialog_) {
        findDialog_ = SearchDialog(this, false);
        connect(findDialog_->findChild<QPushButton*>("FindNext"), &QPushButton::clicked, this,
                &TMainForm::FindDialogFind);
    }
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
}

void TMainForm::Ersetzen1Click()
{
    if (!replaceDialog_) {
        replaceDialog_ = SearchDialog(this, true);
        // The replace dialog's find button searches like the find dialog.
        connect(replaceDialog_->findChild<QPushButton*>("FindNext"), &QPushButton::clicked, this, [this] {
            FindNext(FieldText(replaceDialog_, "FindText"));
        });
        connect(replaceDialog_->findChild<QPushButton*>("Replace"), &QPushButton::clicked, this,
                [this] { ReplaceDialogReplace(false); });
        connect(replaceDialog_->findChild<QPushButton*>("ReplaceAll"), &QPushButton::clicked, this,
                [this] { ReplaceDialogReplace(true); });
    }
    replaceDialog_->show();
    replaceDialog_->raise();
    replaceDialog_->activateWindow();
}

void TMainForm::FindDialogFind() { FindNext(FieldText(findDialog_, "FindText")); }

// Find: behind the selection, or from the beginning when nothing is
// selected (not from the caret); silent when there is nothing more.
void TMainForm::FindNext(const QString& text)
{
    if (runState_ != 1 || lastTab_ < 0 || text.isEmpty())
        return;
    TColorMemo* editor = CurrentEditor();
    const std::string needle = ToWinText(text);
    const int start = editor->SelLength() != 0 ? editor->SelStart() + editor->SelLength() : 0;
    const size_t at = FindForward(editor->WinText(), needle, size_t(start));
    if (at == std::string::npos)
        return;
    // The keyboard goes back to the editor, out of the find dialog (which
    // stays open and in front for the next find).
    activateWindow();
    editor->setFocus();
    editor->SetSelStart(int(at));
    editor->SetSelLength(int(needle.size()));
    editor->ensureCursorVisible();
    UpdateCaptionAndCommands();
    ShowCaretPosition();
}

// Replace: always the first occurrence in the whole text. Replace all goes
// on behind each inserted text, so a replacement that contains the search
// text cannot make it run forever.
void TMainForm::ReplaceDialogReplace(bool all)
{
    if (runState_ != 1 || lastTab_ < 0)
        return;
    const QString what = FieldText(replaceDialog_, "FindText");
    TColorMemo* editor = CurrentEditor();
    const std::string needle = ToWinText(what);
    const QString replacement = FieldText(replaceDialog_, "ReplaceText");
    // A character without a Windows-1252 byte would go in as '?'.
    if (const qsizetype bad = FirstUnstorable(replacement); bad >= 0) {
        const int units = replacement[bad].isHighSurrogate() && bad + 1 < replacement.size() ? 2 : 1;
        dialogs_->Error(Text("Unstorable").arg(replacement.mid(bad, units)));
        return;
    }
    const std::string with = ToWinText(replacement);
    const size_t at = FindForward(editor->WinText(), needle, 0);
    if (at == std::string::npos) {
        dialogs_->Error(Text("NotFound").arg(what));
        return;
    }
    if (!all) {
        editor->SetSelStart(int(at));
        editor->SetSelLength(int(needle.size()));
        editor->SetSelText(with);
    } else {
        // The search goes on behind each inserted text, that is behind
        // each occurrence in the text as it is now: all of them are found
        // first and replaced as one change (one by one, a line of many
        // kilobytes took seconds).
        editor->ReplaceEach(Occurrences(editor->WinText(), needle), int(needle.size()), with);
    }
    editor->SetModified(true);
    UpdateCaptionAndCommands();
    ShowCaretPosition();
}

// FormatSource: re-indents the current editor's program; the caret keeps
// its line and column.
void TMainForm::FormatSource()
{
    TColorMemo* editor = CurrentEditor();
    const int line = editor->CaretLine();
    const int column = editor->CaretColumn();
    std::vector<std::string> lines;
    for (int i = 0; i < editor->LineCount(); ++i)
        lines.push_back(editor->Line(i));
    // All lines of one run form one undo step: a single Rückgängig restores
    // the whole program as it was, never a half re-indented one.
    QTextCursor step(editor->document());
    step.beginEditBlock();
    for (int i : FormatLines(lines)) {
        editor->SetModified(true);
        editor->SetLine(i, lines[size_t(i)]);
    }
    step.endEditBlock();
    if (line >= editor->LineCount()) {
        // The empty line after a final line break, which SetCaretLine would
        // leave for the line above it.
        editor->SetSelStart(editor->TextLength());
    } else {
        editor->SetCaretLine(line);
        editor->SetCaretColumn(column);
    }
}

// Font1Click: the chosen font for all five editors (and the settings), at
// the window's zoom; the dialog shows the unzoomed size;
// the tab stops are set again in any case.
void TMainForm::Font1Click()
{
    const QFont before = UnzoomedEditorFont();
    QFont font = before;
    if (dialogs_->ChooseFont(font)) {
        // The dialog offers no effects: underline and strike-out stay as
        // they were, whatever it returns.
        font.setUnderline(before.underline());
        font.setStrikeOut(before.strikeOut());
        Inis.Font = font;
        for (TColorMemo* editor : editors_)
            editor->setFont(ZoomedEditorFont());
    }
    ApplyTabStops();
}

} // namespace tarko
