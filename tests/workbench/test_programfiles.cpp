// Program files from the Datei menu: saving with backup and the recent list,
// the prompt when all five tabs are in use, opening through the dialog.
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "WorkbenchFixture.h"
#include "language/ReadProgram.h"

using namespace tarko;

namespace {

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Should a reader ever open the FIFO at `path`, it would wait for a writer
// for ever: this one comes after a while, so the test fails instead of hanging.
class FifoRescue {
public:
    explicit FifoRescue(const QByteArray& path)
        : thread_([this, path] {
              for (int waited = 0; !stop_ && waited < 3000; waited += 10)
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              while (!stop_) {
                  const int fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK);
                  if (fd >= 0) {
                      ::close(fd);
                      rescued = true;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          })
    {
    }
    ~FifoRescue()
    {
        stop_ = true;
        thread_.join();
    }
    std::atomic<bool> rescued{false};

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace

class TestProgramFiles : public QObject {
    Q_OBJECT
private slots:
    void saveNewProgramAsksForName();
    void saveTwiceKeepsOneBackup();
    void recentList_data();
    void recentList();
    void failedWriteKeepsChangedFlag();
    void fullTabsPromptConcernsReplacedTab_data();
    void fullTabsPromptConcernsReplacedTab();
    void openDialogAndRecentEntry();
    void openRefusesWhatIsNoProgram_data();
    void openRefusesWhatIsNoProgram();
    void largestAllowedFileOpens();
    void longRecentNameIsShortenedInTheMenu();
};

void TestProgramFiles::saveNewProgramAsksForName()
{
    QTemporaryDir dir;
    TWorkbench wb;
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QString());
    e->insertPlainText(QStringLiteral("Ausgabe \"Größe\"\nPause 1"));
    wb.dialogs->fileNames = {dir.filePath("Quadrat.trk")};
    wb.form->Action("Speichern1")->trigger();
    QCOMPARE(wb.dialogs->shown.at(0).kind, QStringLiteral("Speichern"));
    QCOMPARE(wb.dialogs->shown.at(0).text, QStringLiteral("Programm.trk"));
    // Windows-1252, CR LF between lines, nothing after the last.
    QCOMPARE(Read(dir.filePath("Quadrat.trk")), QByteArray("Ausgabe \"Gr\xF6\xDF""e\"\r\nPause 1"));
    QCOMPARE(wb.form->TabControl()->tabText(0), QStringLiteral("Quadrat"));
    QCOMPARE(wb.form->windowTitle(), QStringLiteral("Tarko - Quadrat"));
    QCOMPARE(wb.form->Inis.Files[0], dir.filePath("Quadrat.trk"));
    QVERIFY(!e->Modified());
    QCOMPARE(wb.form->StatusPanel(1)->text(), QString());
    QCOMPARE(wb.form->StatusPanel(2)->text(), QStringLiteral("Fertig"));
}

void TestProgramFiles::saveTwiceKeepsOneBackup()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Prog.trk");
    TWorkbench wb;
    wb.form->OpenTab(path);
    TColorMemo* e = wb.form->CurrentEditor();
    e->SetWinText("erste");
    QVERIFY(wb.form->SaveProgram());
    e->SetWinText("zweite");
    QVERIFY(wb.form->SaveProgram());
    e->SetWinText("dritte");
    // The pop-up's Speichern works although the menu bar's follows the text.
    wb.form->Action("Speichern3")->trigger();
    QCOMPARE(Read(path), QByteArray("dritte"));
    QCOMPARE(Read(dir.filePath("Prog.tr_")), QByteArray("zweite"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    QVERIFY(wb.dialogs->shown.empty());
}

void TestProgramFiles::recentList_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QStringList>("after");
    const QStringList five{"/a/1.trk", "/a/2.trk", "/a/3.trk", "/a/4.trk", "/a/5.trk"};
    QTest::newRow("entry 3 saved again keeps its place") << five << "/a/3.trk" << five;
    QTest::newRow("a sixth name drops entry 5")
        << five << "/a/6.trk" << QStringList{"/a/6.trk", "/a/1.trk", "/a/2.trk", "/a/3.trk", "/a/4.trk"};
    QTest::newRow("case counts") << QStringList{"/a/X.trk", "", "", "", ""} << "/a/x.trk"
                                 << QStringList{"/a/x.trk", "/a/X.trk", "", "", ""};
}

void TestProgramFiles::recentList()
{
    QFETCH(QStringList, before);
    QFETCH(QString, saved);
    QFETCH(QStringList, after);
    TWorkbench wb;
    for (int i = 0; i < 5; ++i)
        wb.form->Inis.Files[i] = before[i];
    wb.form->AddRecentFile(saved);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(wb.form->Inis.Files[i], after[i]);
    // The Datei menu shows the filled entries, the separator with the first.
    wb.form->Datei1Click();
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(wb.form->Action(QStringLiteral("F%1").arg(i + 1))->isVisible(), !after[i].isEmpty());
        if (!after[i].isEmpty())
            QCOMPARE(wb.form->Action(QStringLiteral("F%1").arg(i + 1))->text(), after[i]);
    }
    QVERIFY(wb.form->Action("N1")->isVisible());
    wb.form->Inis.Files = {};
    wb.form->Datei1Click();
    QVERIFY(!wb.form->Action("N1")->isVisible());
    QVERIFY(!wb.form->Action("F1")->isVisible());
}

void TestProgramFiles::failedWriteKeepsChangedFlag()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("fehlt/Prog.trk");  // the folder does not exist
    TWorkbench wb;
    wb.form->OpenTab(path);
    wb.form->CurrentEditor()->insertPlainText(QStringLiteral("Ausgabe 1"));
    QVERIFY(!wb.form->SaveProgram());
    QCOMPARE(wb.dialogs->shown.at(0).kind, QStringLiteral("Fehler"));
    QCOMPARE(wb.dialogs->shown.at(0).text, QStringLiteral("Datei %1 kann nicht erstellt werden").arg(path));
    QVERIFY(wb.form->CurrentEditor()->Modified());
    QCOMPARE(wb.form->StatusPanel(2)->text(), QStringLiteral("Speichern"));
    QCOMPARE(wb.form->Inis.Files[0], QString());
}

void TestProgramFiles::fullTabsPromptConcernsReplacedTab_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("Nein replaces the fifth tab") << int(TAnswer::Nein) << true;
    QTest::newRow("Abbrechen keeps all five") << int(TAnswer::Abbrechen) << false;
    QTest::newRow("Ja saves the fifth tab first") << int(TAnswer::Ja) << true;
}

// The fifth tab is the one replaced, so its changes are offered for saving,
// whichever tab is active.
void TestProgramFiles::fullTabsPromptConcernsReplacedTab()
{
    QFETCH(int, answer);
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    TWorkbench wb;
    for (int i = 1; i <= 5; ++i)
        wb.NewTab(dir.filePath(QStringLiteral("P%1.trk").arg(i)), QStringLiteral("Ausgabe %1").arg(i));
    wb.form->EditorAt(4)->insertPlainText(QStringLiteral("neu "));
    wb.form->ActivateTab(1);
    wb.dialogs->answers = {TAnswer(answer)};
    wb.form->Action("Neu1")->trigger();
    QCOMPARE(wb.dialogs->Count("Bestätigung"), 1);
    QCOMPARE(wb.dialogs->shown.at(0).text, QStringLiteral("Änderungen speichern in %1?").arg(dir.filePath("P5.trk")));
    QCOMPARE(wb.form->TabControl()->tabText(4), replaced ? QStringLiteral("Programm") : QStringLiteral("P5"));
    QCOMPARE(Read(dir.filePath("P5.trk")),
             TAnswer(answer) == TAnswer::Ja ? QByteArray("neu Ausgabe 5") : QByteArray("<missing>"));
    QCOMPARE(wb.form->EditorAt(1)->toPlainText(), QStringLiteral("Ausgabe 2"));
}

void TestProgramFiles::openDialogAndRecentEntry()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Kreis.trk");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Kreis (0; 0; 5)\nGrafiktext (1; 1) \"gro\xDF\"\rPause 1");  // mixed line ends
    }
    TWorkbench wb;
    wb.form->SetOpenDialogDir(dir.path());
    wb.form->ShowMessageLine(0, QStringLiteral("alter Fehler"));
    wb.dialogs->fileNames = {path};
    wb.form->Action("Oeffnen1")->trigger();
    QCOMPARE(wb.dialogs->shown.at(0).kind, QStringLiteral("Öffnen"));
    QCOMPARE(wb.dialogs->shown.at(0).text, dir.path());
    QCOMPARE(wb.form->FileName(0), path);
    QCOMPARE(wb.form->CurrentEditor()->WinText(), std::string("Kreis (0; 0; 5)\r\nGrafiktext (1; 1) \"gro\xDF\"\r\nPause 1"));
    QCOMPARE(wb.form->MessageLine()->text(), QString());
    QVERIFY(!wb.form->CurrentEditor()->Modified());
    // Opening does not touch the recent list; a recent entry that vanished is reported.
    QCOMPARE(wb.form->Inis.Files[0], QString());
    wb.form->Inis.Files[0] = dir.filePath("weg.trk");
    wb.form->Datei1Click();
    wb.form->Action("F1")->trigger();
    QCOMPARE(wb.dialogs->shown.back().text, QStringLiteral("Datei konnte nicht geöffnet werden"));
    QCOMPARE(wb.form->LastTab(), 0);
    QCOMPARE(wb.form->Inis.Files[0], dir.filePath("weg.trk"));
}

void TestProgramFiles::openRefusesWhatIsNoProgram_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("how");
    for (const char* how : {"dialog", "recent entry", "start-up argument"}) {
        QTest::addRow("FIFO named x.trk, %s", how) << "fifo" << how;
        QTest::addRow("link to /dev/zero, %s", how) << "zero" << how;
        QTest::addRow("file one byte over the limit, %s", how) << "oversize" << how;
    }
}

void TestProgramFiles::openRefusesWhatIsNoProgram()
{
    QFETCH(QString, kind);
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString path = dir.filePath("x.trk");
    QString reason;
    std::unique_ptr<FifoRescue> rescue;
    if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        rescue = std::make_unique<FifoRescue>(QFile::encodeName(path));
        reason = QStringLiteral("Sie ist keine gewöhnliche Datei.");
    } else if (kind == u"zero") {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        reason = QStringLiteral("Sie ist keine gewöhnliche Datei.");
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray line("Ausgabe \"Zeile\"\r\n");
        for (qint64 n = 0; n <= MaxProgramFileSize; n += line.size())
            f.write(line);
        reason = QStringLiteral("Sie ist größer als 4 MB. So große Programme kann Tarko nicht laden.");
    }
    TWorkbench wb;
    if (how == u"dialog") {
        wb.dialogs->fileNames = {path};
        wb.form->Action("Oeffnen1")->trigger();
    } else if (how == u"recent entry") {
        wb.form->Inis.Files[0] = path;
        wb.form->Datei1Click();
        wb.form->Action("F1")->trigger();
    } else {
        wb.form->OpenCommandLineFile({path});
    }
    if (rescue)
        QVERIFY(!rescue->rescued);
    QCOMPARE(wb.dialogs->shown.back().kind, QStringLiteral("Fehler"));
    QCOMPARE(wb.dialogs->shown.back().text, QStringLiteral("Datei %1 kann nicht geöffnet werden: %2").arg(path, reason));
    QCOMPARE(wb.form->LastTab(), -1);  // no tab was taken
}

void TestProgramFiles::largestAllowedFileOpens()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("gross.trk");
    QByteArray text;
    const QByteArray line("Ausgabe \"Zeile\"\r\n");
    while (text.size() + line.size() <= MaxProgramFileSize)
        text += line;
    text += QByteArray(MaxProgramFileSize - text.size(), '/');
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(text), qint64(MaxProgramFileSize));
    }
    TWorkbench wb;
    QVERIFY(wb.form->OpenProgram(path));
    QVERIFY(wb.dialogs->shown.empty());
    QCOMPARE(wb.form->CurrentEditor()->TextLength(), int(MaxProgramFileSize));
}

void TestProgramFiles::longRecentNameIsShortenedInTheMenu()
{
    QTemporaryDir dir;
    const QString longName = QStringLiteral("/schule/") + QString(4000, u'k') + QStringLiteral("/Kreis.trk");
    const QString shortName = dir.filePath("Quadrat & Kreis.trk");
    TWorkbench wb;
    wb.form->Inis.Files[0] = longName;
    wb.form->Inis.Files[1] = shortName;
    wb.form->Datei1Click();
    QAction* entry = wb.form->Action("F1");
    // Shortened in the middle: the start of the path and the file name stay readable.
    QVERIFY(entry->text().size() < 200);
    QVERIFY(entry->text().startsWith(QStringLiteral("/schule/kkk")));
    QVERIFY(entry->text().endsWith(QStringLiteral("kkk/Kreis.trk")));
    QVERIFY(entry->text().contains(QChar(0x2026)));
    QCOMPARE(entry->toolTip(), longName);
    QMenu* datei = wb.form->Menu("Datei1");
    QVERIFY(datei->toolTipsVisible());
    QVERIFY(datei->sizeHint().width() < wb.form->screen()->availableGeometry().width());
    // A name that fits is shown whole, without a tool tip.
    QCOMPARE(wb.form->Action("F2")->text(), QString(shortName).replace(u'&', QStringLiteral("&&")));
    QCOMPARE(wb.form->Action("F2")->toolTip(), shortName); // Qt's default: the text
    // The stored name stays whole, and the entry opens it.
    QCOMPARE(wb.form->Inis.Files[0], longName);
    entry->trigger();
    QCOMPARE(wb.dialogs->shown.back().text, QStringLiteral("Datei konnte nicht geöffnet werden"));
}

QTEST_MAIN(TestProgramFiles)
#include "test_programfiles.moc"
