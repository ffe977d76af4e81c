// Program files from the Datei menu: saving with backup and the recent list,
// the prompt when all five tabs are in use, opening through the dialog.
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTemporaryDir>

#include "WorkbenchFixture.h"

using namespace tarko;

namespace {

QByteArray Read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

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

QTEST_MAIN(TestProgramFiles)
#include "test_programfiles.moc"
