// Nothing the user writes is lost: saves that fail change nothing on disk
// and keep the changed flag, saves keep permissions and follow links,
// characters a program file cannot hold are refused, and the changed flag
// survives undo after every command that replaces text.
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "WorkbenchFixture.h"
#include "editor/WinText.h"
#include "workbench/ProgramFile.h"

using namespace tarko;

namespace {

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

mode_t Mode(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QStringList Listing(const QString& dir)
{
    QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

// While it lives, files cannot grow beyond `bytes`: a write past that fails
// with EFBIG as on a full disk (the signal that would end the process is
// ignored).
struct TFileSizeLimit {
    rlimit old {};
    void (*oldHandler)(int) = nullptr;
    explicit TFileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
};

// While it lives, the process acts as an ordinary user, so that missing
// write permissions count even when the tests run as root.
struct TUnprivileged {
    bool switched;
    explicit TUnprivileged(bool on) : switched(on && ::geteuid() == 0)
    {
        if (switched && (::setegid(65534) != 0 || ::seteuid(65534) != 0))
            qFatal("cannot drop privileges");
    }
    ~TUnprivileged()
    {
        if (switched && (::seteuid(0) != 0 || ::setegid(0) != 0))
            qFatal("cannot regain privileges");
    }
};

enum class TFault { FullDisk, ReadOnlyFolder, ReadOnlyFile, MissingFolder };

} // namespace

Q_DECLARE_METATYPE(TFault)

class TestFileSafety : public QObject {
    Q_OBJECT
private slots:
    void failedSaveChangesNothing_data();
    void failedSaveChangesNothing();
    void writableFileInFolderWithoutRights();
    void othersFileInStickyFolder();
    void saveKeepsModeAndFollowsLinks();
    void nameEndingInBackupExtension();
    void unstorableCharacters_data();
    void unstorableCharacters();
    void replacementWithUnstorableCharacter();
    void everyByteSurvivesOpenAndSave();
    void formattingAndTabMovesKeepCharacters();
    void failedSaveAsKeepsTab();
    void saveDialogOfUnsavedProgramStartsInCurrentFolder();
    void flagSurvivesUndo_data();
    void flagSurvivesUndo();
};

void TestFileSafety::failedSaveChangesNothing_data()
{
    QTest::addColumn<TFault>("fault");
    QTest::addColumn<QString>("reason");  // %1: the program's folder
    QTest::newRow("full disk") << TFault::FullDisk
                               << "Die Datei ist zu groß für den verfügbaren Speicherplatz.";
    QTest::newRow("read-only folder and file") << TFault::ReadOnlyFolder
                                               << "Es fehlt die Berechtigung, hier zu schreiben.";
    QTest::newRow("read-only file") << TFault::ReadOnlyFile << "Es fehlt die Berechtigung, hier zu schreiben.";
    QTest::newRow("missing folder") << TFault::MissingFolder << "Der Ordner %1 existiert nicht.";
}

// Two saves in a row fail (the natural reaction to the first error): the
// program's file and its backup keep their text, no stray file remains, the
// flag stays set; once the fault is gone the save works as usual.
void TestFileSafety::failedSaveChangesNothing()
{
    QFETCH(TFault, fault);
    QFETCH(QString, reason);
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("klasse");
    QVERIFY(QDir().mkpath(dir));
    const QString path = dir + "/Prog.trk";
    Write(path, "Ausgabe \"alt\"");
    Write(dir + "/Prog.tr_", "Ausgabe \"\xE4lter\"");
    QFile::setPermissions(tmp.path(), QFile::Permissions(0x7755));
    QFile::setPermissions(dir, QFile::Permissions(0x7777));

    TWorkbench wb;
    QVERIFY(wb.form->OpenProgram(path));
    TColorMemo* e = wb.form->CurrentEditor();
    const QString typed = QStringLiteral("Ausgabe \"neu\"\n").repeated(300);
    e->insertPlainText(typed);
    const QStringList before = Listing(dir);
    if (fault == TFault::ReadOnlyFolder)
        QFile::setPermissions(dir, QFile::Permissions(0x5555));
    if (fault == TFault::ReadOnlyFile || fault == TFault::ReadOnlyFolder)
        QFile::setPermissions(path, QFile::Permissions(0x4444));
    if (fault == TFault::MissingFolder)
        QVERIFY(QDir(dir).removeRecursively());
    {
        TUnprivileged user(fault == TFault::ReadOnlyFolder || fault == TFault::ReadOnlyFile);
        TFileSizeLimit limit(fault == TFault::FullDisk ? 1000 : RLIM_INFINITY);
        wb.form->Action("Speichern1")->trigger();
        wb.form->Action("Speichern1")->trigger();
    }
    QCOMPARE(wb.dialogs->Count("Fehler"), 2);
    QCOMPARE(wb.dialogs->shown.at(1).text, QStringLiteral("Datei %1 kann nicht erstellt werden").arg(path));
    QCOMPARE(wb.dialogs->shown.at(1).reason, reason.contains(u'%') ? reason.arg(dir) : reason);
    QVERIFY(e->Modified());
    QCOMPARE(wb.form->StatusPanel(1)->text(), QStringLiteral("Geändert"));
    QCOMPARE(wb.form->StatusPanel(2)->text(), QStringLiteral("Speichern"));
    QCOMPARE(wb.form->Inis.Files[0], QString());
    if (fault == TFault::MissingFolder) {
        QVERIFY(!QFileInfo::exists(dir));
        return;
    }
    QCOMPARE(Read(path), QByteArray("Ausgabe \"alt\""));
    QCOMPARE(Read(dir + "/Prog.tr_"), QByteArray("Ausgabe \"\xE4lter\""));
    QCOMPARE(Listing(dir), before);

    QFile::setPermissions(dir, QFile::Permissions(0x7777));
    QFile::setPermissions(path, QFile::Permissions(0x6644));
    QVERIFY(wb.form->SaveProgram());
    QCOMPARE(Read(path), QByteArray(ToWinText(typed).c_str()) + "Ausgabe \"alt\"");
    QCOMPARE(Read(dir + "/Prog.tr_"), QByteArray("Ausgabe \"alt\""));
    QCOMPARE(Listing(dir), before);
    QVERIFY(!e->Modified());
}

// A folder that takes no new file but holds a file the user may write: the
// file is rewritten in place (no backup can be made), and a failed rewrite
// puts the old text back.
void TestFileSafety::writableFileInFolderWithoutRights()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("Prog.trk");
    Write(path, "Ausgabe \"alt\"");
    QFile::setPermissions(path, QFile::Permissions(0x6666));
    QFile::setPermissions(tmp.path(), QFile::Permissions(0x5555));
    TWorkbench wb;
    QVERIFY(wb.form->OpenProgram(path));
    TColorMemo* e = wb.form->CurrentEditor();
    e->insertPlainText(QStringLiteral("Ausgabe \"neu\"\n").repeated(100));
    {
        TUnprivileged user(true);
        TFileSizeLimit limit(200);
        QVERIFY(!wb.form->SaveProgram());
    }
    QCOMPARE(wb.dialogs->shown.at(0).reason, QStringLiteral("Die Datei ist zu groß für den verfügbaren Speicherplatz."));
    QCOMPARE(Read(path), QByteArray("Ausgabe \"alt\""));
    QVERIFY(e->Modified());
    e->selectAll();
    e->insertPlainText(QStringLiteral("Ausgabe \"neu\""));
    {
        TUnprivileged user(true);
        QVERIFY(wb.form->SaveProgram());
    }
    QCOMPARE(Read(path), QByteArray("Ausgabe \"neu\""));
    QCOMPARE(Listing(tmp.path()), QStringList{"Prog.trk"});
    QVERIFY(!e->Modified());
    QFile::setPermissions(tmp.path(), QFile::Permissions(0x7755));
}

// In a shared folder with the sticky bit only a file's owner may replace it;
// a file of another user that the user may write is rewritten in place.
void TestFileSafety::othersFileInStickyFolder()
{
    if (::geteuid() != 0)
        QSKIP("needs a second user");
    QTemporaryDir tmp;
    QFile::setPermissions(tmp.path(), QFile::Permissions(0x7777));
    QVERIFY(::chmod(QFile::encodeName(tmp.path()).constData(), 01777) == 0);
    const QString path = tmp.filePath("Prog.trk");
    Write(path, "Ausgabe 1");
    QFile::setPermissions(path, QFile::Permissions(0x6666));
    TWorkbench wb;
    QVERIFY(wb.form->OpenProgram(path));
    wb.form->CurrentEditor()->insertPlainText(QStringLiteral("Pause 1\n"));
    {
        TUnprivileged user(true);
        QVERIFY(wb.form->SaveProgram());
    }
    QCOMPARE(Read(path), QByteArray("Pause 1\r\nAusgabe 1"));
    QCOMPARE(Listing(tmp.path()), QStringList{"Prog.trk"});
}

void TestFileSafety::saveKeepsModeAndFollowsLinks()
{
    QTemporaryDir tmp;
    QVERIFY(QDir(tmp.path()).mkdir("ziel"));
    const QString target = tmp.filePath("ziel/Geheim.trk");
    const QString link = tmp.filePath("Verweis.trk");
    Write(target, "Ausgabe 1");
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(QFile::link(target, link));

    TWorkbench wb;
    QVERIFY(wb.form->OpenProgram(link));
    wb.form->CurrentEditor()->insertPlainText(QStringLiteral("/ neu\n"));
    QVERIFY(wb.form->SaveProgram());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(Read(target), QByteArray("/ neu\r\nAusgabe 1"));
    QCOMPARE(Mode(target), mode_t(0600));
    // The backup lies beside the file that was replaced, not beside the link.
    QCOMPARE(Read(tmp.filePath("ziel/Geheim.tr_")), QByteArray("Ausgabe 1"));
    QCOMPARE(Mode(tmp.filePath("ziel/Geheim.tr_")), mode_t(0600));
    QVERIFY(!QFileInfo::exists(tmp.filePath("Verweis.tr_")));
    QCOMPARE(Listing(tmp.filePath("ziel")), QStringList({"Geheim.tr_", "Geheim.trk"}));
    QCOMPARE(wb.form->FileName(0), link);

    // A new file gets the mode every new file of the user gets.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    wb.NewTab(tmp.filePath("Neu.trk"), QStringLiteral("Ausgabe 2"));
    QVERIFY(wb.form->SaveProgram());
    QCOMPARE(Mode(tmp.filePath("Neu.trk")), mode_t(0666 & ~mask));
}

// A program named like a backup has no backup of its own; each save
// replaces it in one step, so a complete version is always on disk.
void TestFileSafety::nameEndingInBackupExtension()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("Alt.tr_");
    Write(path, "Ausgabe 1");
    TWorkbench wb;
    QVERIFY(wb.form->OpenProgram(path));
    TColorMemo* e = wb.form->CurrentEditor();
    e->insertPlainText(QStringLiteral("Pause 1\n"));
    QVERIFY(wb.form->SaveProgram());
    QCOMPARE(Read(path), QByteArray("Pause 1\r\nAusgabe 1"));
    e->insertPlainText(QStringLiteral("Pause 2\n"));
    {
        TFileSizeLimit full(8);
        QVERIFY(!wb.form->SaveProgram());
    }
    QCOMPARE(Read(path), QByteArray("Pause 1\r\nAusgabe 1"));
    QVERIFY(wb.form->SaveProgram());
    QCOMPARE(Read(path), QByteArray("Pause 1\r\nPause 2\r\nAusgabe 1"));
    QCOMPARE(Listing(tmp.path()), QStringList{"Alt.tr_"});
}

void TestFileSafety::unstorableCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");  // empty: saved
    QTest::addColumn<QByteArray>("bytes");
    const QString refused = QStringLiteral("Das Zeichen „%1“ in Zeile %2 kann in einer Tarko-Datei nicht gespeichert werden.");
    QTest::newRow("Greek omega in line 3") << "Ausgabe 1\nAusgabe 2\nAusgabe \"Ω\"" << refused.arg("Ω").arg(3)
                                           << QByteArray();
    QTest::newRow("arrow after a storable euro") << "Ausgabe \"€ → $\"" << refused.arg("→").arg(1) << QByteArray();
    QTest::newRow("first of two: Polish l before omega") << "/ ł\n/ Ω" << refused.arg("ł").arg(1) << QByteArray();
    QTest::newRow("emoji named whole") << "\n\n\n/ 😀" << refused.arg("😀").arg(4) << QByteArray();
    QTest::newRow("euro, half, typographic quotes are stored")
        << "Ausgabe \"„½ €“ ‚x‘ – …\"" << QString() << QByteArray("Ausgabe \"\x84\xBD \x80\x93 \x82x\x91 \x96 \x85\"");
}

// A character without a Windows-1252 byte is refused before anything is
// written; the file keeps its text and the flag stays set.
void TestFileSafety::unstorableCharacters()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);
    QTemporaryDir tmp;
    const QString path = tmp.filePath("Prog.trk");
    Write(path, "alt");
    TWorkbench wb;
    QVERIFY(wb.form->OpenProgram(path));
    TColorMemo* e = wb.form->CurrentEditor();
    e->selectAll();
    e->insertPlainText(text);
    wb.form->Action("Speichern1")->trigger();
    if (message.isEmpty()) {
        QVERIFY(wb.dialogs->shown.empty());
        QCOMPARE(Read(path), bytes);
        QCOMPARE(Read(tmp.filePath("Prog.tr_")), QByteArray("alt"));
        return;
    }
    QCOMPARE(wb.dialogs->Count("Fehler"), 1);
    QCOMPARE(wb.dialogs->shown.at(0).text, message);
    QCOMPARE(Read(path), QByteArray("alt"));
    QCOMPARE(Listing(tmp.path()), QStringList{"Prog.trk"});
    QVERIFY(e->Modified());
    QCOMPARE(e->toPlainText(), text);
    // Speichern unter a new name is refused the same way and keeps the tab.
    wb.dialogs->fileNames = {tmp.filePath("Neu.trk")};
    wb.form->Action("SpeichernUnter1")->trigger();
    QCOMPARE(wb.dialogs->shown.back().text, message);
    QVERIFY(!QFileInfo::exists(tmp.filePath("Neu.trk")));
    QCOMPARE(wb.form->FileName(0), path);
}

// Replacing with a character a file cannot hold is refused, not done with '?'.
void TestFileSafety::replacementWithUnstorableCharacter()
{
    TWorkbench wb;
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe \"x\""));
    wb.form->Action("Ersetzen1")->trigger();
    QDialog* d = wb.form->ReplaceDialog();
    d->findChild<QLineEdit*>("FindText")->setText(QStringLiteral("x"));
    d->findChild<QLineEdit*>("ReplaceText")->setText(QStringLiteral("→ 😀"));
    d->findChild<QPushButton*>("ReplaceAll")->click();
    d->hide();
    QCOMPARE(wb.dialogs->Count("Fehler"), 1);
    QCOMPARE(wb.dialogs->shown.at(0).text,
             QStringLiteral("Das Zeichen „→“ kann in einer Tarko-Datei nicht gespeichert werden."));
    QCOMPARE(e->toPlainText(), QStringLiteral("Ausgabe \"x\""));
    QVERIFY(!e->Modified());
}

// Every byte but the line-break bytes comes back as it was; CR LF stays CR LF.
void TestFileSafety::everyByteSurvivesOpenAndSave()
{
    QByteArray bytes;
    for (int b = 1; b <= 0xFF; ++b) {
        if (b != '\r' && b != '\n')
            bytes += char(b);
        if (b % 32 == 0)
            bytes += "\r\n";
    }
    QTemporaryDir tmp;
    const QString path = tmp.filePath("Bytes.trk");
    Write(path, bytes);
    TWorkbench wb;
    QVERIFY(wb.form->OpenProgram(path));
    wb.form->CurrentEditor()->SetModified(true);
    QVERIFY(wb.form->SaveProgram());
    QVERIFY(wb.dialogs->shown.empty());
    QCOMPARE(Read(path), bytes);
}

// Re-indenting a line and closing a tab before others rewrite text; the
// characters a file cannot hold must come through as typed (the save then
// names them) rather than as '?'.
void TestFileSafety::formattingAndTabMovesKeepCharacters()
{
    TWorkbench wb;
    const QString text = QStringLiteral("Falls a = 1\n  Ausgabe \"Ω → 😀\u00A0\"\nFallsende");
    TColorMemo* first = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    TColorMemo* second = wb.NewTab(QStringLiteral("Zwei.trk"), text);
    wb.form->FormatSource();
    // Raw text: blocks apart by U+2029, the no-break space as it is.
    const QString formatted = QStringLiteral("Falls a = 1\u2029\tAusgabe \"Ω → 😀\u00A0\"\u2029Fallsende");
    QCOMPARE(second->document()->toRawText(), formatted);
    QVERIFY(second->Modified());
    // Closing the first tab moves the second program into its editor.
    wb.form->ActivateTab(0);
    wb.form->Action("Schliessen1")->trigger();
    QCOMPARE(first->document()->toRawText(), formatted);
    QVERIFY(first->Modified());
    QCOMPARE(wb.form->FileName(0), QStringLiteral("Zwei.trk"));
}

// A save under a new name that fails leaves the tab under its old name,
// with tab caption and window caption in agreement.
void TestFileSafety::failedSaveAsKeepsTab()
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath("Alt.trk");
    Write(path, "Ausgabe 1");
    TWorkbench wb;
    QVERIFY(wb.form->OpenProgram(path));
    wb.form->CurrentEditor()->insertPlainText(QStringLiteral("/ x\n"));
    wb.dialogs->fileNames = {tmp.filePath("fehlt/Neu.trk")};
    wb.form->Action("SpeichernUnter1")->trigger();
    QCOMPARE(wb.dialogs->shown.back().kind, QStringLiteral("Fehler"));
    QCOMPARE(wb.form->FileName(0), path);
    QCOMPARE(wb.form->TabControl()->tabText(0), QStringLiteral("Alt"));
    QCOMPARE(wb.form->windowTitle(), QStringLiteral("Tarko - Alt"));
    QVERIFY(wb.form->CurrentEditor()->Modified());
    // Speichern now goes to the old name again.
    QVERIFY(wb.form->SaveProgram());
    QCOMPARE(Read(path), QByteArray("/ x\r\nAusgabe 1"));
}

void TestFileSafety::saveDialogOfUnsavedProgramStartsInCurrentFolder()
{
    QTemporaryDir tmp;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(tmp.path()));
    TWorkbench wb;
    // An earlier dialog in another folder does not move where a new program goes.
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    QVERIFY(QDir(tmp.path()).mkdir("anderswo"));
    wb.dialogs->fileNames = {tmp.filePath("anderswo/A.trk")};
    QVERIFY(wb.form->SaveProgram());
    wb.form->Action("Neu1")->trigger();
    QVERIFY(!wb.form->SaveProgram());  // the dialog is cancelled
    QVERIFY(wb.form->OpenExample(QStringLiteral("Memory")));
    wb.form->Action("SpeichernUnter1")->trigger();
    QDir::setCurrent(previous);
    QCOMPARE(wb.dialogs->Count("Speichern"), 3);
    QCOMPARE(wb.dialogs->shown.at(1).text, QStringLiteral("Programm.trk"));
    QCOMPARE(wb.dialogs->shown.at(1).startDir, tmp.path());
    QCOMPARE(wb.dialogs->shown.at(2).text, QStringLiteral("Memory.trk"));
    QCOMPARE(wb.dialogs->shown.at(2).startDir, tmp.path());
}

void TestFileSafety::flagSurvivesUndo_data()
{
    QTest::addColumn<QString>("command");
    for (const char* c : {"typing", "replace", "replace all", "insert command", "Ctrl+Y", "automatic indentation",
                          "formatting", "cut", "paste", "delete"})
        QTest::newRow(c) << QString::fromLatin1(c);
}

// After each command that changes the text, one typed character and any
// number of undo and redo steps leave the flag set: the prompt still asks.
void TestFileSafety::flagSurvivesUndo()
{
    QFETCH(QString, command);
    QTemporaryDir tmp;
    const QString path = tmp.filePath("Prog.trk");
    Write(path, "Wiederhole\r\n\tAusgabe x\r\nBis x = 1");
    TWorkbench wb;
    QVERIFY(wb.Active());
    QVERIFY(wb.form->OpenProgram(path));
    TColorMemo* e = wb.form->CurrentEditor();
    e->setFocus();
    e->SetSelStart(0);
    e->SetSelLength(3);
    if (command == u"typing") {
        QTest::keyClick(e, Qt::Key_Q);
    } else if (command.startsWith(u"replace")) {
        wb.form->Action("Ersetzen1")->trigger();
        QDialog* d = wb.form->ReplaceDialog();
        d->findChild<QLineEdit*>("FindText")->setText(QStringLiteral("x"));
        d->findChild<QLineEdit*>("ReplaceText")->setText(QStringLiteral("y"));
        d->findChild<QPushButton*>(command == u"replace" ? "Replace" : "ReplaceAll")->click();
        d->hide();
    } else if (command == u"insert command") {
        wb.form->Action("Falls4")->trigger();
    } else if (command == u"Ctrl+Y") {
        QTest::keyClick(e, Qt::Key_Y, Qt::ControlModifier);
    } else if (command == u"automatic indentation") {
        e->SetSelStart(e->LineStart(1) + e->LineLength(1));
        QTest::keyClick(e, Qt::Key_Return);
    } else if (command == u"formatting") {
        e->selectAll();
        e->insertPlainText(QStringLiteral("Wiederhole\nAusgabe x\nBis x = 1"));
        wb.form->SaveProgram();
        wb.form->FormatSource();
    } else if (command == u"cut") {
        wb.form->Action("Ausschneiden1")->trigger();
    } else if (command == u"paste") {
        QApplication::clipboard()->setText(QStringLiteral("Pause 1\n"));
        wb.form->Action("Einfuegen1")->trigger();
    } else if (command == u"delete") {
        wb.form->Action("Loeschen1")->trigger();
    }
    QVERIFY(e->Modified());
    const QString afterCommand = e->toPlainText();
    e->moveCursor(QTextCursor::End);  // not merged with a typed command
    QTest::keyClick(e, Qt::Key_Z);
    QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e->toPlainText(), afterCommand);
    QVERIFY(e->Modified());
    QCOMPARE(wb.form->StatusPanel(1)->text(), QStringLiteral("Geändert"));
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    e->redo();
    e->undo();
    QVERIFY(e->Modified());
    // Saved, then one undo: the text differs from the file again.
    QVERIFY(wb.form->SaveProgram());
    QVERIFY(!e->Modified());
    QTest::keyClick(e, Qt::Key_W);
    QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(e->Modified());
    wb.form->Action("Schliessen1")->trigger();
    QCOMPARE(wb.dialogs->Count("Bestätigung"), 1);
    QCOMPARE(wb.form->LastTab(), 0);
}

QTEST_MAIN(TestFileSafety)
#include "test_filesafety.moc"
