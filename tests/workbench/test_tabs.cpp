// The main window's program tabs: start-up, opening into tabs, closing
// tabs with and without a prompt, caption and the caret position shown.
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>

#include "WorkbenchFixture.h"
#include "editor/WinText.h"

using namespace tarko;

class TestTabs : public QObject {
    Q_OBJECT
private slots:
    void startUp();
    void sixthProgramReplacesFifthTab();
    void closingMiddleTabShiftsLaterTabs();
    void closingOnlyTabHidesTabControl();
    void statusBarBlankWithoutTab_data();
    void statusBarBlankWithoutTab();
    void closePrompt_data();
    void closePrompt();
    void closeAllKeepsCancelledTab();
    void caretPosition_data();
    void caretPosition();
    void closeAbandonedByCancelledPrompt();
    void commandLineFile_data();
    void commandLineFile();
    void examplesOpenUnchanged();
};

void TestTabs::startUp()
{
    TWorkbench wb;
    TMainForm& f = *wb.form;
    QCOMPARE(f.windowTitle(), QStringLiteral("Tarko - Programm"));
    QCOMPARE(f.LastTab(), -1);
    QVERIFY(f.TabControl()->isHidden());
    for (int i = 0; i < TMainForm::TabCount; ++i) {
        QCOMPARE(f.FileName(i), QStringLiteral("Programm.trk"));
        QVERIFY(!f.TabControl()->isTabVisible(i));
        QCOMPARE(f.TabControl()->widget(i)->objectName(), QStringLiteral("TabSheet%1").arg(i + 1));
        QCOMPARE(f.EditorAt(i)->objectName(), QStringLiteral("CMemo%1").arg(i + 1));
    }
    QVERIFY(!f.EditorAt(5) && !f.EditorAt(-1));
    QCOMPARE(f.CurrentTabIndex(), 0);
    QCOMPARE(f.RunState(), 1);
    QCOMPARE(f.MessageLine()->text(), QString());
    QCOMPARE(f.size(), QSize(680, 521));
    QCOMPARE(f.StatusPanel(0)->width(), 90);
    QCOMPARE(f.StatusPanel(1)->width(), 70);
    QCOMPARE(f.StatusPanel(2)->width(), 60);
    QCOMPARE(f.statusBar()->height(), 20);
}

void TestTabs::sixthProgramReplacesFifthTab()
{
    TWorkbench wb;
    for (int i = 1; i <= 5; ++i)
        wb.NewTab(QStringLiteral("/kurs/P%1.trk").arg(i), QStringLiteral("Ausgabe %1").arg(i));
    QCOMPARE(wb.form->LastTab(), 4);
    wb.form->OpenTab(QStringLiteral("/kurs/Sechs.trk"));
    QCOMPARE(wb.form->LastTab(), 4);
    QCOMPARE(wb.form->CurrentTabIndex(), 4);
    QCOMPARE(wb.form->CurrentEditor()->toPlainText(), QString());
    QCOMPARE(wb.form->TabControl()->tabText(4), QStringLiteral("Sechs"));
    QCOMPARE(wb.form->FileName(4), QStringLiteral("/kurs/Sechs.trk"));
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(wb.form->EditorAt(i)->toPlainText(), QStringLiteral("Ausgabe %1").arg(i + 1));
        QCOMPARE(wb.form->TabControl()->tabText(i), QStringLiteral("P%1").arg(i + 1));
    }
}

void TestTabs::closingMiddleTabShiftsLaterTabs()
{
    TWorkbench wb;
    for (int i = 1; i <= 4; ++i)
        wb.NewTab(QStringLiteral("C:\\Kurs\\Prog%1.trk").arg(i), QStringLiteral("Zeile\nZweite %1").arg(i));
    // Distinct carets and a changed flag on tab 4.
    for (int i = 0; i < 4; ++i) {
        QTextCursor c = wb.form->EditorAt(i)->textCursor();
        c.setPosition(7 + i);
        wb.form->EditorAt(i)->setTextCursor(c);
    }
    wb.form->EditorAt(3)->document()->setModified(true);
    wb.form->ActivateTab(1);
    QCOMPARE(wb.form->CurrentTabIndex(), 1);
    QVERIFY(wb.form->CloseCurrentTab());

    QCOMPARE(wb.form->LastTab(), 2);
    QCOMPARE(wb.form->CurrentTabIndex(), 2);
    QVERIFY(!wb.form->TabControl()->isTabVisible(3));
    const int expected[3] = {1, 3, 4};
    for (int i = 0; i < 3; ++i) {
        const int from = expected[i];
        QCOMPARE(wb.form->EditorAt(i)->toPlainText(), QStringLiteral("Zeile\nZweite %1").arg(from));
        QCOMPARE(wb.form->TabControl()->tabText(i), QStringLiteral("Prog%1").arg(from));
        QCOMPARE(wb.form->FileName(i), QStringLiteral("C:\\Kurs\\Prog%1.trk").arg(from));
        QCOMPARE(wb.form->EditorAt(i)->textCursor().position(), 7 + from - 1);
    }
    // The changed flag moved with its text.
    QVERIFY(wb.form->EditorAt(2)->document()->isModified());
    QVERIFY(!wb.form->EditorAt(1)->document()->isModified());
}

void TestTabs::closingOnlyTabHidesTabControl()
{
    TWorkbench wb;
    wb.NewTab(QStringLiteral("/kurs/Einzig.trk"), QStringLiteral("Ausgabe 1"));
    QVERIFY(wb.form->Action("Schliessen1")->isEnabled());
    QVERIFY(wb.form->Action("Run1")->isEnabled());
    wb.form->Action("Schliessen1")->trigger();
    QCOMPARE(wb.form->LastTab(), -1);
    QVERIFY(wb.form->TabControl()->isHidden());
    QCOMPARE(wb.form->windowTitle(), QStringLiteral("Tarko - Einzig"));
    for (const char* off : {"Schliessen1", "AllesSchliessen1", "Allesmarkieren1", "Schliessen3",
                            // the closed tab's stale text must not be run or saved
                            "Run1", "Run2", "Speichern1", "Drucken1"})
        QVERIFY2(!wb.form->Action(off)->isEnabled(), off);
}

// The closed program's caret position and changed mark do not outlive it.
void TestTabs::statusBarBlankWithoutTab_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Schließen") << "Schliessen1";
    QTest::newRow("Alles Schließen") << "AllesSchliessen1";
}

void TestTabs::statusBarBlankWithoutTab()
{
    QFETCH(QString, command);
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1\nAusgabe 2"));
    e->setFocus();
    QTest::keyClick(e, Qt::Key_Down);
    QTest::keyClicks(e, QStringLiteral("x"));
    QCOMPARE(wb.form->StatusPanel(0)->text(), QStringLiteral("  2:   2"));
    QCOMPARE(wb.form->StatusPanel(1)->text(), QStringLiteral("Geändert"));
    wb.dialogs->answers = {TAnswer::Nein};
    wb.form->Action(command)->trigger();
    QCOMPARE(wb.form->LastTab(), -1);
    QCOMPARE(wb.form->StatusPanel(0)->text(), QString());
    QCOMPARE(wb.form->StatusPanel(1)->text(), QString());
    // Opening a menu refreshes caption and commands; the panels stay blank.
    wb.form->UpdateCaptionAndCommands();
    wb.form->ShowCaretPosition();
    QCOMPARE(wb.form->StatusPanel(0)->text(), QString());
    QCOMPARE(wb.form->StatusPanel(1)->text(), QString());
    QCOMPARE(wb.form->windowTitle(), QStringLiteral("Tarko - Programm"));
}

void TestTabs::closePrompt_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("Nein closes without saving") << int(TAnswer::Nein) << true;
    QTest::newRow("Abbrechen keeps tab and flag") << int(TAnswer::Abbrechen) << false;
    // Ja on a never-saved program asks for a name; cancelling that keeps the tab.
    QTest::newRow("Ja with the name dialog cancelled keeps tab") << int(TAnswer::Ja) << false;
}

void TestTabs::closePrompt()
{
    QFETCH(int, answer);
    QFETCH(bool, closed);
    TWorkbench wb;
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QString());
    e->insertPlainText(QStringLiteral("Ausgabe 5"));
    QVERIFY(e->document()->isModified());
    wb.dialogs->answers.push_back(TAnswer(answer));
    QCOMPARE(wb.form->CloseCurrentTab(), closed);
    QCOMPARE(wb.dialogs->shown.size(), size_t(TAnswer(answer) == TAnswer::Ja ? 2 : 1));
    QCOMPARE(wb.dialogs->shown[0].kind, QStringLiteral("Bestätigung"));
    QCOMPARE(wb.dialogs->shown[0].text, QStringLiteral("Änderungen speichern in Programm.trk?"));
    QCOMPARE(wb.form->LastTab(), closed ? -1 : 0);
    if (!closed) {
        QCOMPARE(e->toPlainText(), QStringLiteral("Ausgabe 5"));
        QVERIFY(e->document()->isModified());
    }
}

void TestTabs::closeAllKeepsCancelledTab()
{
    TWorkbench wb;
    wb.NewTab(QStringLiteral("/a/Eins.trk"), QStringLiteral("1"));
    wb.NewTab(QStringLiteral("/a/Zwei.trk"), QStringLiteral("2"));
    wb.NewTab(QStringLiteral("/a/Drei.trk"), QStringLiteral("3"));
    wb.form->EditorAt(0)->document()->setModified(true);
    wb.dialogs->answers = {TAnswer::Abbrechen};
    wb.form->Action("AllesSchliessen1")->trigger();
    // Drei and Zwei close; the third call reaches Eins, whose prompt is cancelled.
    QCOMPARE(wb.dialogs->Count("Bestätigung"), 1);
    QCOMPARE(wb.form->LastTab(), 0);
    QCOMPARE(wb.form->TabControl()->tabText(0), QStringLiteral("Eins"));
}

void TestTabs::caretPosition_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("shown");
    QTest::newRow("start") << 0 << 0 << "  1:   1";
    QTest::newRow("line 12 column 5") << 11 << 4 << " 12:   5";
    QTest::newRow("four-digit line takes more room") << 1233 << 99 << "1234: 100";
}

void TestTabs::caretPosition()
{
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, shown);
    TWorkbench wb;
    QString text;
    for (int i = 0; i < 1300; ++i)
        text += QString(120, u'x') + u'\n';
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), text);
    e->SetCaretLine(line);
    e->SetCaretColumn(column);
    wb.form->ShowCaretPosition();
    QCOMPARE(wb.form->StatusPanel(0)->text(), shown);
}

void TestTabs::closeAbandonedByCancelledPrompt()
{
    TWorkbench wb;
    wb.NewTab(QStringLiteral("/a/Eins.trk"), QStringLiteral("1"));
    wb.NewTab(QStringLiteral("/a/Zwei.trk"), QStringLiteral("2"));
    wb.NewTab(QStringLiteral("/a/Drei.trk"), QStringLiteral("3"));
    wb.form->EditorAt(1)->document()->setModified(true);
    wb.dialogs->answers = {TAnswer::Abbrechen};
    QVERIFY(!wb.form->close());
    // Drei closed first; Zwei's Abbrechen stopped the loop and the close.
    QCOMPARE(wb.form->LastTab(), 1);
    QCOMPARE(wb.form->TabControl()->tabText(1), QStringLiteral("Zwei"));
    QVERIFY(wb.form->isVisible());
}

void TestTabs::commandLineFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QString>("message");
    QTest::newRow("existing .trk opens") << "Quadrat.trk" << true << "";
    QTest::newRow("missing .trk is reported") << "Fehlt.trk" << false << "Datei konnte nicht geöffnet werden";
    QTest::newRow("upper-case .TRK ignored") << "Prog.TRK" << true << "";
    QTest::newRow("other extension ignored") << "Prog.txt" << true << "";
}

void TestTabs::commandLineFile()
{
    QFETCH(QString, file);
    QFETCH(bool, create);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    if (create) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("/ Gr\xF6\xDF""e\r\nAusgabe \"\xC4rger\"\r\nPause 1");
    }
    TWorkbench wb;
    wb.form->ShowMessageLine(0, QStringLiteral("alt"));
    wb.form->OpenCommandLineFile({path});
    const bool opens = file.endsWith(u".trk") && create;
    QCOMPARE(wb.form->LastTab(), opens ? 0 : -1);
    QCOMPARE(wb.dialogs->shown.empty(), message.isEmpty());
    if (!message.isEmpty())
        QCOMPARE(wb.dialogs->shown[0].text, message);
    if (opens) {
        QCOMPARE(wb.form->CurrentEditor()->toPlainText(),
                 QStringLiteral("/ Größe\nAusgabe \"Ärger\"\nPause 1"));
        QCOMPARE(wb.form->FileName(0), path);
        QCOMPARE(wb.form->windowTitle(), QStringLiteral("Tarko - Quadrat"));
        QVERIFY(!wb.form->CurrentEditor()->document()->isModified());
        QCOMPARE(wb.form->MessageLine()->text(), QString());
    }
}

void TestTabs::examplesOpenUnchanged()
{
    TWorkbench wb;
    const QList<QAction*> entries = wb.form->Menu("Beispieleoeffnen")->actions();
    QStringList names;
    for (QAction* a : entries)
        names << a->text();
    QCOMPARE(names, QStringList({"Idealgewicht", "Memory", "Koordinatensystem", "Grafikdesign"}));
    for (QAction* a : entries) {
        a->trigger();
        QFile f(QStringLiteral(TARKO_SOURCE_DIR "/resources/examples/%1.trk").arg(a->text()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(wb.form->CurrentEditor()->WinText(), std::string(bytes.constData(), size_t(bytes.size())));
        QCOMPARE(wb.form->FileName(wb.form->CurrentTabIndex()), a->text() + ".trk");
        QCOMPARE(wb.form->TabControl()->tabText(wb.form->CurrentTabIndex()), a->text());
        QVERIFY(!wb.form->CurrentEditor()->document()->isModified());
        QVERIFY(wb.form->Action("Run1")->isEnabled());
    }
    QCOMPARE(wb.form->LastTab(), 3);
}

QTEST_MAIN(TestTabs)
#include "test_tabs.moc"
