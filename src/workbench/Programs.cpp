// The program-file commands of the Datei menu: new program, open (dialog,
// recent files, command line), save with backup, save as, the recent-files
// list and the built-in examples.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>

#include "editor/ColMemo.h"
#include "language/ReadProgram.h"
#include "workbench/Dialogs.h"
#include "workbench/MainForm.h"
#include "workbench/ProgramFile.h"

namespace tarko {

QString ProgramCaption(const QString& programName);  // MainMenus.cpp

namespace {

const QString NewProgramName = QStringLiteral("Programm.trk");
constexpr int RecentCaptionChars = 80; // widest recent-file entry, in average characters
const QString FileFilter = QStringLiteral("TRK-Dateien (*.trk);;Alle Dateien(*.*)");

void FillEditor(TColorMemo* editor, const QByteArray& winText)
{
    editor->SetWinText(std::string_view(winText.constData(), size_t(winText.size())));
    editor->SetSelStart(0);
    editor->SetModified(false);
}

} // namespace

// When all five tabs are in use the fifth is about to be replaced; its
// unsaved changes are offered for saving first. False: the user cancelled.
bool TMainForm::PromptWhenAllTabsInUse()
{
    if (lastTab_ < TabCount - 1 || !editors_[TabCount - 1]->Modified())
        return true;
    const QString question =
        QStringLiteral("Änderungen speichern in %1?").arg(fileNames_[TabCount - 1]);
    switch (dialogs_->Confirm(question)) {
    case TAnswer::Abbrechen:
        return false;
    case TAnswer::Ja:
        return SaveTab(TabCount - 1);
    case TAnswer::Nein:
        return true;
    }
    return false;
}

void TMainForm::Neu1Click()
{
    if (!PromptWhenAllTabsInUse())
        return;
    OpenTab(NewProgramName);
    TColorMemo* editor = CurrentEditor();
    editor->SetWinText({});
    editor->SetSelStart(0);
    editor->SetModified(false);
    UpdateCaptionAndCommands();
    ShowCaretPosition();
    FocusEditor();
}

void TMainForm::Oeffnen1Click() { OpenProgram(QString()); }

// OpenProgram: an empty name asks with the open dialog.
bool TMainForm::OpenProgram(const QString& programName)
{
    if (!PromptWhenAllTabsInUse())
        return false;
    QString name = programName;
    if (name.isEmpty()) {
        const QString start = openDialogDir_.isEmpty() ? lastDialogDir_ : openDialogDir_;
        name = dialogs_->OpenFileName(start, FileFilter);
        if (name.isEmpty())
            return false;
        // From now on the dialog starts where the last file was chosen.
        openDialogDir_.clear();
        lastDialogDir_ = QFileInfo(name).absolutePath();
    }
    if (!QFileInfo::exists(name)) {
        dialogs_->Message(QStringLiteral("Datei konnte nicht geöffnet werden"));
        return false;
    }
    // Read before a tab is taken, so a file that cannot be read costs no tab.
    std::string text;
    if (const TFileRead read = ReadProgramBytes(QFile::encodeName(name).toStdString(), &text);
        read != TFileRead::Ok) {
        dialogs_->Error(QString::fromStdString(ReadFailureMessage(read, name.toStdString())));
        return false;
    }
    ShowMessageLine(1, QString());
    OpenTab(name);
    FillEditor(CurrentEditor(), QByteArray::fromRawData(text.data(), qsizetype(text.size())));
    UpdateCaptionAndCommands();
    ShowCaretPosition();
    FocusEditor();
    return true;
}

bool TMainForm::SaveProgram() { return SaveTab(CurrentTabIndex()); }

void TMainForm::Speichern1Click()
{
    if (lastTab_ >= 0)
        SaveProgram();
}

void TMainForm::SpeichernUnter1Click()
{
    if (lastTab_ >= 0)
        SaveProgramAs();
}

// Saves tab `index`: a never-saved program asks for a name first; an
// existing file becomes the backup once the new text is safely written.
// On failure the file and its backup stay as they were and the changed
// flag stays set.
bool TMainForm::SaveTab(int index)
{
    const QString name = fileNames_[index];
    if (name.left(12) == NewProgramName)
        return SaveTabAs(index);
    statusPanels_[2]->setText(QStringLiteral("Speichern"));
    QString character;
    const int line = editors_[index]->FirstUnstorableLine(&character);
    if (line >= 0) {
        dialogs_->Error(QStringLiteral("Das Zeichen „%1“ in Zeile %2 kann in einer Tarko-Datei nicht gespeichert werden.")
                            .arg(character)
                            .arg(line + 1));
        return false;
    }
    const std::string text = editors_[index]->WinText();
    const TWriteResult written = WriteProgramFile(name, text);
    if (!written.ok) {
        dialogs_->Error(QStringLiteral("Datei %1 kann nicht erstellt werden").arg(name), written.reason);
        return false;
    }
    editors_[index]->SetModified(false);
    AddRecentFile(name);
    UpdateCaptionAndCommands();
    statusPanels_[2]->setText(QStringLiteral("Fertig"));
    return true;
}

bool TMainForm::SaveProgramAs() { return SaveTabAs(CurrentTabIndex()); }

bool TMainForm::SaveTabAs(int index)
{
    const QString name = fileNames_[index];
    const QFileInfo info(name);
    const bool bare = !name.contains(u'/') && !name.contains(u'\\');
    // A never-saved program and an example start in the current folder,
    // where Speichern would have written them.
    const QString chosen =
        dialogs_->SaveFileName(bare ? QDir::currentPath() : info.absolutePath(), info.fileName(), FileFilter);
    if (chosen.isEmpty())
        return false;
    lastDialogDir_ = QFileInfo(chosen).absolutePath();
    const QString caption = pcEdit_->tabText(index);
    fileNames_[index] = chosen;
    SetTabCaption(index, ProgramCaption(chosen));
    if (SaveTab(index))
        return true;
    // Nothing was written under the new name: the tab keeps its old one.
    fileNames_[index] = name;
    SetTabCaption(index, caption);
    UpdateCaptionAndCommands();
    return false;
}

// AddRecentFile: a name already in the list keeps its place; a new one goes
// on top and the oldest drops out.
void TMainForm::AddRecentFile(const QString& name)
{
    for (const QString& entry : Inis.Files)
        if (entry == name)
            return;
    for (int i = int(Inis.Files.size()) - 1; i > 0; --i)
        Inis.Files[i] = Inis.Files[i - 1];
    Inis.Files[0] = name;
}

// Datei1Click: the recent files as menu entries, the separator above them
// only while the first is shown.
void TMainForm::Datei1Click()
{
    // A name too long for the menu is shortened in the middle, where the
    // folders are, and shown whole as the entry's tool tip.
    QMenu* datei = Menu(QStringLiteral("Datei1"));
    const QFontMetrics metrics(datei->font());
    const int widest = RecentCaptionChars * metrics.averageCharWidth();
    for (int i = 0; i < int(Inis.Files.size()); ++i) {
        QAction* entry = actions_.value(QStringLiteral("F%1").arg(i + 1));
        const QString& name = Inis.Files[i];
        QString caption = metrics.elidedText(name, Qt::ElideMiddle, widest);
        entry->setToolTip(caption == name ? QString() : name);
        entry->setText(caption.replace(u'&', QStringLiteral("&&")));
        entry->setVisible(!name.isEmpty());
    }
    datei->setToolTipsVisible(true);
    actions_.value(QStringLiteral("N1"))->setVisible(actions_.value(QStringLiteral("F1"))->isVisible());
}

// An example takes a tab under its bare name and shows its text unchanged.
bool TMainForm::OpenExample(const QString& exampleName)
{
    QFile file(QStringLiteral(":/examples/%1.trk").arg(exampleName));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (!PromptWhenAllTabsInUse())
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

// Only an argument ending exactly in ".trk" (lower case) names a program.
void TMainForm::OpenCommandLineFile(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return;
    const QString& name = arguments.first();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || name.mid(dot) != QStringLiteral(".trk"))
        return;
    OpenProgram(name);
}

} // namespace tarko
