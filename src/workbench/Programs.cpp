// Programs into tabs: a new program, the built-in examples, and a program
// file named on the command line.
#include <QFile>
#include <QFileInfo>
#include <QTabWidget>

#include "editor/ColMemo.h"
#include "runtime/Runner.h"
#include "workbench/Dialogs.h"
#include "workbench/MainForm.h"

namespace tarko {

namespace {

void FillEditor(TColorMemo* editor, const QByteArray& winText)
{
    editor->SetWinText(std::string_view(winText.constData(), size_t(winText.size())));
    editor->SetSelStart(0);
    editor->SetModified(false);
}

} // namespace

void TMainForm::Neu1Click()
{
    OpenTab(QStringLiteral("Programm.trk"));
    TColorMemo* editor = CurrentEditor();
    editor->SetWinText({});
    editor->SetSelStart(0);
    editor->SetModified(false);
    UpdateCaptionAndCommands();
    ShowCaretPosition();
    FocusEditor();
}

// An example takes a tab under its bare name and shows its text unchanged.
bool TMainForm::OpenExample(const QString& exampleName)
{
    QFile file(QStringLiteral(":/examples/%1.trk").arg(exampleName));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    OpenTab(exampleName + QStringLiteral(".trk"));
    FillEditor(CurrentEditor(), text);
    UpdateCaptionAndCommands();
    ShowCaretPosition();
    FocusEditor();
    return true;
}

void TMainForm::Idealgewicht1Click(QAction* entry) { OpenExample(entry->text()); }

// A program file by name: refused with a message when it does not exist.
bool TMainForm::LoadProgramFile(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        dialogs_->Message(QStringLiteral("Datei konnte nicht geöffnet werden"));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        dialogs_->Error(QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(path));
        return false;
    }
    const QByteArray text = file.readAll();
    ShowMessageLine(1, QString());
    OpenTab(path);
    FillEditor(CurrentEditor(), text);
    UpdateCaptionAndCommands();
    ShowCaretPosition();
    return true;
}

// Only an argument ending exactly in ".trk" (lower case) names a program.
void TMainForm::OpenCommandLineFile(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return;
    const QString& name = arguments.first();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || name.mid(dot) != QStringLiteral(".trk"))
        return;
    LoadProgramFile(name);
}

} // namespace tarko
