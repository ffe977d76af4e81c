// The main window without running programs: menus, tool bar, tabs, caption,
// command enabling, message line, layout and closing.
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include "WorkbenchFixture.h"
#include "editor/WinText.h"
#include "runtime/Ide.h"
#include "runtime/RunPanel.h"

using namespace tarko;

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void menuItems_data();
    void menuItems();
    void stepItemHiddenButItsKeyWorks();
    void toolButtons();
    void startUp();
    void sixthProgramReplacesFifthTab();
    void closingMiddleTabShiftsLaterTabs();
    void closingOnlyTabHidesTabControl();
    void statusBarBlankWithoutTab_data();
    void statusBarBlankWithoutTab();
    void closePrompt_data();
    void closePrompt();
    void closeAllKeepsCancelledTab();
    void enablingFollowsEditor();
    void pasteFollowsClipboard();
    void caretPosition_data();
    void caretPosition();
    void messageLine_data();
    void messageLine();
    void availabilityPerRunState_data();
    void availabilityPerRunState();
    void fileAndEditKeysQuietDuringRun();
    void closeRefusedWhileRunning_data();
    void closeRefusedWhileRunning();
    void closeAbandonedByCancelledPrompt();
    void resizeKeepsLayout();
    void altF4InDebugViewClosesIt();
    void minimumSizeEnforced();
    void messageLineReadable_data();
    void messageLineReadable();
    void messageLineLookUnchangedWhenItFits();
    void insertCommands_data();
    void insertCommands();
    void deleteLineKey_data();
    void deleteLineKey();
    void commandLineFile_data();
    void commandLineFile();
    void examplesOpenUnchanged();
};

// ---- menus and tool bar ---------------------------------------------------

void TestMainForm::menuItems_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<bool>("enabled");
    auto row = [](const char* name, const char* caption, QKeySequence key, bool enabled) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption) << key << enabled;
    };
    const auto ctrl = [](Qt::Key k) { return QKeySequence(Qt::CTRL | k); };
    row("Neu1", "&Neu", ctrl(Qt::Key_N), true);
    row("Oeffnen1", "Ö&ffnen...", ctrl(Qt::Key_O), true);
    row("Speichern1", "&Speichern", ctrl(Qt::Key_S), false);
    row("SpeichernUnter1", "Speichern &unter...", {}, false);
    row("Schliessen1", "S&chließen", ctrl(Qt::Key_W), false);
    row("AllesSchliessen1", "&Alles Schließen", {}, false);
    row("Drucken1", "&Drucken", ctrl(Qt::Key_P), false);
    row("Druckereinrichten1", "D&rucker einrichten ...", {}, true);
    row("Beenden1", "&Beenden", QKeySequence(Qt::ALT | Qt::Key_F4), true);
    row("Rueckgaengig1", "&Rückgängig", QKeySequence(Qt::ALT | Qt::Key_Backspace), false);
    row("Ausschneiden1", "&Ausschneiden", ctrl(Qt::Key_X), false);
    row("Kopieren1", "&Kopieren", ctrl(Qt::Key_C), false);
    row("Einfuegen1", "&Einfügen", ctrl(Qt::Key_V), false);
    row("Loeschen1", "&Löschen", {}, false);
    row("Allesmarkieren1", "Alles &markieren", ctrl(Qt::Key_A), false);
    row("Suchen1", "&Suchen...", ctrl(Qt::Key_F), false);
    row("Ersetzen1", "E&rsetzen...", ctrl(Qt::Key_R), false);
    row("Font1", "&Schriftarten..", {}, true);
    row("Optionen1", "&Optionen", {}, true);
    row("Run1", "&Programm starten", QKeySequence(Qt::Key_F9), false);
    row("Break1", "Programm &unterbrechen", QKeySequence(Qt::Key_Escape), false);
    row("Inhalt1", "In&halt", QKeySequence(Qt::Key_F1), true);
    row("Info1", "&Info...", {}, true);
    row("popup Rueckgaengig3", "&Rückgängig", QKeySequence(Qt::ALT | Qt::Key_Backspace), false);
    row("popup Loeschen3", "&Löschen", {}, false);
    row("popup Speichern3", "&Speichern", {}, true);
    row("popup SpeichernUnter3", "Speichern unter...", {}, true);
    row("popup Schliessen3", "S&chliessen", ctrl(Qt::Key_W), false);
    row("popup Keywords3", "Befehl einfügen", ctrl(Qt::Key_B), true);
    row("insert FallsAnsonsten4", "Falls ..Ansonsten..Fallsende", QKeySequence(Qt::ALT | Qt::Key_H), true);
    row("insert Loeschen4", "Löschen", QKeySequence(Qt::ALT | Qt::Key_Odiaeresis), true);
}

void TestMainForm::menuItems()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QKeySequence, shortcut);
    QFETCH(bool, enabled);
    TWorkbench wb;
    name = name.section(u' ', -1);
    QAction* a = name == u"Keywords3" ? wb.form->Menu(name)->menuAction() : wb.form->Action(name);
    QVERIFY2(a, qPrintable(name));
    QCOMPARE(a->text(), caption);
    QCOMPARE(a->shortcut(), shortcut);
    QCOMPARE(a->isEnabled(), enabled);
}

void TestMainForm::stepItemHiddenButItsKeyWorks()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    const QMenu* start = wb.form->Menu("Start1");
    QCOMPARE(start->title(), QStringLiteral("&Start"));
    QStringList captions;
    for (QAction* a : start->actions())
        captions << a->text();
    QCOMPARE(captions, QStringList({"&Programm starten", "Programm &unterbrechen"}));
    // Idle: Ctrl+F9 is available although the item is never shown.
    QVERIFY(wb.form->Action("Step1")->isEnabled());
    QCOMPARE(wb.form->Action("Step1")->text(), QStringLiteral("&Einzelschritt"));
    QCOMPARE(wb.form->Action("Step1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F9));
    QStringList top;
    for (QAction* a : wb.form->menuBar()->actions())
        top << a->text();
    QCOMPARE(top, QStringList({"&Datei", "&Bearbeiten", "&Start", "&Hilfe"}));
}

void TestMainForm::toolButtons()
{
    TWorkbench wb;
    struct Expected {
        const char* name;
        const char* hint;
        bool enabled;
    };
    const Expected buttons[] = {
        {"Neu2", "Neue Datei", true},          {"Oeffnen2", "Datei öffnen", true},
        {"Speichern2", "Datei Speichern", false}, {"Drucken2", "Datei drucken", false},
        {nullptr, nullptr, false},
        {"Ausschneiden2", "Ausschneiden", false}, {"Kopieren2", "Kopieren", false},
        {"Einfuegen2", "Einfügen", false},     {"Suchen2", "Suchen", false},
        {"Ersetzen2", "Ersetzen", false},      {nullptr, nullptr, false},
        {"Run2", "Programm starten", false},   {"Break2", "Stop", false},
        {nullptr, nullptr, false},             {"Hilfe2", "Hilfe zum Programm", true},
    };
    const QList<QAction*> actions = wb.form->findChild<QToolBar*>("ToolBar1")->actions();
    QCOMPARE(actions.size(), qsizetype(std::size(buttons)));
    for (int i = 0; i < actions.size(); ++i) {
        const Expected& x = buttons[i];
        if (!x.name) {
            QVERIFY2(actions[i]->isSeparator(), qPrintable(QString::number(i)));
            continue;
        }
        QCOMPARE(actions[i]->objectName(), QString::fromLatin1(x.name));
        QCOMPARE(actions[i]->toolTip(), QString::fromUtf8(x.hint));
        QCOMPARE(actions[i]->isEnabled(), x.enabled);
        // A real picture, also without an icon theme.
        const QPixmap pic = actions[i]->icon().pixmap(20, 20);
        QVERIFY2(!pic.isNull(), x.name);
        const QImage img = pic.toImage();
        int opaque = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int xx = 0; xx < img.width(); ++xx)
                opaque += qAlpha(img.pixel(xx, y)) > 128;
        QVERIFY2(opaque > 40, x.name);
        QToolButton* b = wb.form->ToolButton(QString::fromLatin1(x.name));
        QVERIFY(b);
        QVERIFY(b->width() >= 25 && b->width() <= 28);
        QCOMPARE(b->height(), 31);
    }
}

// ---- start-up and tabs -----------------------------------------------------

void TestMainForm::startUp()
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

void TestMainForm::sixthProgramReplacesFifthTab()
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

void TestMainForm::closingMiddleTabShiftsLaterTabs()
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

void TestMainForm::closingOnlyTabHidesTabControl()
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
void TestMainForm::statusBarBlankWithoutTab_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("Schließen") << "Schliessen1";
    QTest::newRow("Alles Schließen") << "AllesSchliessen1";
}

void TestMainForm::statusBarBlankWithoutTab()
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

void TestMainForm::closePrompt_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::newRow("Nein closes without saving") << int(TAnswer::Nein) << true;
    QTest::newRow("Abbrechen keeps tab and flag") << int(TAnswer::Abbrechen) << false;
    // Ja on a never-saved program asks for a name; cancelling that keeps the tab.
    QTest::newRow("Ja with the name dialog cancelled keeps tab") << int(TAnswer::Ja) << false;
}

void TestMainForm::closePrompt()
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

void TestMainForm::closeAllKeepsCancelledTab()
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

void TestMainForm::enablingFollowsEditor()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QString());
    const char* needText[] = {"Speichern1", "Speichern2", "SpeichernUnter1", "Drucken1", "Drucken2",
                              "Suchen1", "Suchen2", "Ersetzen1", "Ersetzen2", "Run1", "Run2"};
    for (const char* n : needText)
        QVERIFY2(!wb.form->Action(n)->isEnabled(), n);
    QVERIFY(wb.form->Action("Speichern3")->isEnabled());
    QVERIFY(wb.form->Action("Schliessen1")->isEnabled());
    QVERIFY(wb.form->Action("Allesmarkieren1")->isEnabled());
    QCOMPARE(wb.form->StatusPanel(1)->text(), QString());

    e->setFocus();
    QTest::keyClicks(e, QStringLiteral("Ausgabe 1"));
    for (const char* n : needText)
        QVERIFY2(wb.form->Action(n)->isEnabled(), n);
    QCOMPARE(wb.form->StatusPanel(1)->text(), QStringLiteral("Geändert"));
    QVERIFY(wb.form->Action("Rueckgaengig1")->isEnabled());
    QVERIFY(!wb.form->Action("Kopieren1")->isEnabled());

    e->selectAll();
    for (const char* n : {"Ausschneiden1", "Ausschneiden2", "Ausschneiden3", "Kopieren1", "Kopieren2",
                          "Kopieren3", "Loeschen1", "Loeschen3"})
        QVERIFY2(wb.form->Action(n)->isEnabled(), n);

    QApplication::clipboard()->setText(QString());
    wb.form->UpdateCaptionAndCommands();
    QVERIFY(!wb.form->Action("Einfuegen1")->isEnabled());
    QApplication::clipboard()->setText(QStringLiteral("Pause 1"));
    wb.form->UpdateCaptionAndCommands();
    for (const char* n : {"Einfuegen1", "Einfuegen2", "Einfuegen3"})
        QVERIFY2(wb.form->Action(n)->isEnabled(), n);
}

// Einfügen is offered as soon as the clipboard holds text, whoever put it
// there, and withdrawn when it is emptied; no selection change is needed.
void TestMainForm::pasteFollowsClipboard()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    QApplication::clipboard()->clear();
    e->setFocus();
    e->selectAll();
    QVERIFY(!wb.form->Action("Einfuegen1")->isEnabled());

    QTest::keyClick(e, Qt::Key_C, Qt::ControlModifier);   // copied by the editor itself
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Ausgabe 1"));
    for (const char* n : {"Einfuegen1", "Einfuegen2", "Einfuegen3"})
        QVERIFY2(wb.form->Action(n)->isEnabled(), n);

    QApplication::clipboard()->clear();   // another program empties it
    for (const char* n : {"Einfuegen1", "Einfuegen2", "Einfuegen3"})
        QVERIFY2(!wb.form->Action(n)->isEnabled(), n);
    QApplication::clipboard()->setText(QStringLiteral("Pause 1"));   // or fills it
    for (const char* n : {"Einfuegen1", "Einfuegen2", "Einfuegen3"})
        QVERIFY2(wb.form->Action(n)->isEnabled(), n);
}

void TestMainForm::caretPosition_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("shown");
    QTest::newRow("start") << 0 << 0 << "  1:   1";
    QTest::newRow("line 12 column 5") << 11 << 4 << " 12:   5";
    QTest::newRow("four-digit line takes more room") << 1233 << 99 << "1234: 100";
}

void TestMainForm::caretPosition()
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

// ---- run state -------------------------------------------------------------

void TestMainForm::messageLine_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QString>("text");
    QTest::newRow("0 compile error, given text") << 0 << QColor(255, 0, 0) << "Fehler im Text";
    QTest::newRow("1 idle, empty") << 1 << QColor() << "";
    QTest::newRow("2 single step") << 2 << QColor(255, 0, 255) << "Programmschritt mit F9";
    QTest::newRow("3 running") << 3 << QColor(0, 128, 0) << "Programm läuft";
}

void TestMainForm::messageLine()
{
    QFETCH(int, kind);
    QFETCH(QColor, background);
    QFETCH(QString, text);
    TWorkbench wb;
    QLabel* l = wb.form->MessageLine();
    wb.form->ShowMessageLine(kind, QStringLiteral("Fehler im Text"));
    const QColor expected = background.isValid() ? background : wb.form->palette().color(QPalette::Button);
    QCOMPARE(l->palette().color(QPalette::Window), expected);
    QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(l->text(), text);
    QVERIFY(l->font().bold());
    QCOMPARE(l->font().pixelSize(), 15);
    QCOMPARE(l->height(), 22);
    // Any other kind leaves the line as it is.
    wb.form->ShowMessageLine(7, QStringLiteral("anders"));
    QCOMPARE(l->text(), text);
    QCOMPARE(l->palette().color(QPalette::Window), expected);
}

void TestMainForm::availabilityPerRunState_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("idle") << 1;
    QTest::newRow("single step") << 2;
    QTest::newRow("normal run") << 3;
}

void TestMainForm::availabilityPerRunState()
{
    QFETCH(int, state);
    TWorkbench wb;
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    wb.form->SetRunState(state);
    const bool idle = state == 1;
    QCOMPARE(wb.form->Menu("Datei1")->menuAction()->isEnabled(), idle);
    QCOMPARE(wb.form->Menu("Bearbeiten1")->menuAction()->isEnabled(), idle);
    QCOMPARE(wb.form->Action("Run1")->isEnabled(), idle);
    QCOMPARE(wb.form->Action("Run2")->isEnabled(), idle);
    QCOMPARE(wb.form->Action("Step1")->isEnabled(), state != 3);
    QCOMPARE(wb.form->Action("Break1")->isEnabled(), !idle);
    QCOMPARE(wb.form->Action("Break2")->isEnabled(), !idle);
    for (const char* b : {"Neu2", "Oeffnen2", "Speichern2", "Drucken2"})
        QCOMPARE(wb.form->Action(b)->isEnabled(), idle);
    QCOMPARE(wb.form->TabControl()->isEnabled(), idle);
    QCOMPARE(wb.form->CurrentEditor()->isEnabled(), idle);
    QVERIFY(wb.form->Menu("Hilfe1")->menuAction()->isEnabled());
    QVERIFY(wb.form->Action("Hilfe2")->isEnabled());
    // A refresh of caption and commands during a run must not offer Run again.
    wb.form->UpdateCaptionAndCommands();
    QCOMPARE(wb.form->Action("Run1")->isEnabled(), idle);
    QCOMPARE(wb.form->Action("Speichern2")->isEnabled(), idle);
    wb.form->SetRunState(1);
}

void TestMainForm::fileAndEditKeysQuietDuringRun()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    wb.form->SetRunState(3);
    QTest::keyClick(wb.form.get(), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(wb.form.get(), Qt::Key_W, Qt::ControlModifier);
    wb.form->Action("Neu1")->trigger();  // even when reached directly
    QCOMPARE(wb.form->LastTab(), 0);
    QCOMPARE(wb.form->CurrentEditor()->toPlainText(), QStringLiteral("Ausgabe 1"));
    wb.form->SetRunState(1);
    QTest::keyClick(wb.form.get(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(wb.form->LastTab(), 1);
}

void TestMainForm::closeRefusedWhileRunning_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("single step") << 2;
    QTest::newRow("normal run") << 3;
}

void TestMainForm::closeRefusedWhileRunning()
{
    QFETCH(int, state);
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    wb.form->SetRunState(state);
    QVERIFY(!wb.form->close());
    QVERIFY(wb.form->isVisible());
    QCOMPARE(wb.dialogs->shown.size(), size_t(1));
    QCOMPARE(wb.dialogs->shown[0].kind, QStringLiteral("Tarko"));
    QCOMPARE(wb.dialogs->shown[0].text,
             QStringLiteral("Das laufende Programm muss erst mit dem Stopp-Knopf oder der Esc-Taste beendet werden!"));
    QCOMPARE(wb.form->RunState(), state);
    QCOMPARE(wb.form->LastTab(), 0);
    // Beenden (Alt+F4) meets the same refusal.
    wb.form->Action("Beenden1")->trigger();
    QCOMPARE(wb.dialogs->Count("Tarko"), 2);
    QVERIFY(wb.form->isVisible());
    // The key itself, although the Datei menu is disabled during the run.
    QTest::keyClick(wb.form.get(), Qt::Key_F4, Qt::AltModifier);
    QCOMPARE(wb.dialogs->Count("Tarko"), 3);
    QVERIFY(wb.form->isVisible());
    wb.form->SetRunState(1);
    QVERIFY(wb.form->close());
}

void TestMainForm::closeAbandonedByCancelledPrompt()
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

// A window system that ignores the minimum (no window manager) cannot make
// the window smaller than 580 x 470: the device would be cut off.
void TestMainForm::minimumSizeEnforced()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    QWindow* window = wb.form->windowHandle();
    window->resize(400, 300);   // past the widget's own size limits
    QTRY_VERIFY(wb.form->width() >= 580 && wb.form->height() >= 470);
    QTRY_COMPARE(wb.form->size(), QSize(580, 470));
    QCOMPARE(window->size(), QSize(580, 470));
    QCOMPARE(wb.form->RunPanelHolder()->width(), 315);
    window->resize(700, 300);
    QTRY_COMPARE(wb.form->size(), QSize(700, 470));
}

// Every compile error can be read in full on the message line, at the
// window's design width and at its minimum width.
void TestMainForm::messageLineReadable_data()
{
    QTest::addColumn<int>("windowWidth");
    QTest::addColumn<QString>("message");
    const char* messages[] = {
        "Zuweisungssymbol <= erwartet oder unbekannte Anweisung",
        "Hier sollte ein Komma stehen oder es fehlt der zweite Punkt.",
        "Dieses Zeichen ist nicht bekannt. (S2)",
        "Das Programm ist nicht vollständig.",
        "Variable, Zahl oder ( erwartet",
        "Unerwartetes Zeichen oder Wort",
        "Das Programm ist zu lang.",
        "Zu tief verschachtelt.",
        "SolangeEnde erwartet",
        "=, <, >, # erwartet",
        "\" erwartet",
    };
    for (int width : {680, 580})
        for (const char* m : messages)
            QTest::addRow("%d px: %s", width, m) << width << QString::fromUtf8(m);
}

void TestMainForm::messageLineReadable()
{
    QFETCH(int, windowWidth);
    QFETCH(QString, message);
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    wb.form->resize(windowWidth, 521);
    QTRY_COMPARE(wb.form->width(), windowWidth);
    wb.form->ShowCompileError(ToWinText(message), 0, 0);
    QLabel* l = wb.form->MessageLine();
    QCOMPARE(l->text(), message);
    // Drawn as the label draws it, the whole text lies inside the label.
    const int flags = int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = QFontMetrics(l->font()).boundingRect(l->contentsRect(), flags, message);
    QVERIFY2(l->contentsRect().contains(needed),
             qPrintable(QStringLiteral("%1 px of %2 x %3 px needed")
                            .arg(needed.width()).arg(l->contentsRect().width()).arg(l->contentsRect().height())));
    QVERIFY(l->font().bold());
    QVERIFY(l->font().pixelSize() >= 9);
    QCOMPARE(l->palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::white));
    if (l->font().pixelSize() != 15 || l->wordWrap())
        QCOMPARE(l->toolTip(), message);
    // The line grows upwards; the tabs give way and nothing overlaps.
    const QRect line = l->parentWidget()->geometry();
    QCOMPARE(l->geometry(), QRect(QPoint(0, 0), line.size()));
    QCOMPARE(line.bottom(), wb.form->EditPanel()->contentsRect().bottom());
    QCOMPARE(wb.form->TabControl()->geometry().bottom() + 1, line.top());
    // Back to idle, the line is the plain one again.
    wb.form->SetRunState(1);
    QCOMPARE(l->height(), 22);
    QCOMPARE(l->font().pixelSize(), 15);
    QVERIFY(!l->wordWrap());
    QCOMPARE(l->contentsRect(), l->rect());
    QCOMPARE(l->toolTip(), QString());
}

// A text that fits is drawn exactly as a plain bold 15-pixel label of 22
// pixels would draw it.
void TestMainForm::messageLineLookUnchangedWhenItFits()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.form->ShowCompileError(ToWinText(QStringLiteral("Unerwartetes Zeichen")), 0, 0);
    QLabel* l = wb.form->MessageLine();
    QCOMPARE(l->size(), QSize(wb.form->EditPanel()->contentsRect().width(), 22));
    QCOMPARE(l->toolTip(), QString());
    QLabel plain(QStringLiteral("Unerwartetes Zeichen"));
    plain.setAlignment(Qt::AlignCenter);
    plain.setAutoFillBackground(true);
    QFont f = plain.font();
    f.setBold(true);
    f.setPixelSize(15);
    plain.setFont(f);
    plain.setPalette(l->palette());
    plain.resize(l->size());
    QCOMPARE(l->grab().toImage(), plain.grab().toImage());
}

// Alt+F4 closes the window that has the focus: in the debug view that is
// the debug view. The menu's other keys still reach the main window.
void TestMainForm::altF4InDebugViewClosesIt()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    QWidget* ide = wb.form->IdeForm();
    ide->show();
    ide->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(ide));
    QTest::keyClick(ide, Qt::Key_F4, Qt::AltModifier);
    QVERIFY(ide->isHidden());
    QVERIFY(wb.form->isVisible());
    QCOMPARE(wb.form->LastTab(), 0);

    ide->show();
    ide->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(ide));
    QTest::keyClick(ide, Qt::Key_N, Qt::ControlModifier);   // Neu
    QCOMPARE(wb.form->LastTab(), 1);
    ide->close();
    // In the main window Alt+F4 is still Beenden.
    wb.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(wb.form.get()));
    QTest::keyClick(wb.form.get(), Qt::Key_F4, Qt::AltModifier);
    QVERIFY(!wb.form->isVisible());
}

void TestMainForm::resizeKeepsLayout()
{
    TWorkbench wb;
    wb.form->resize(900, 600);
    QTRY_COMPARE(wb.form->width(), 900);
    const int client = wb.form->centralWidget()->width();
    QCOMPARE(wb.form->EditPanel()->width(), client - 315);
    QCOMPARE(wb.form->RunPanelHolder()->x(), client - 315);
    QCOMPARE(wb.form->RunPanelHolder()->width(), 315);
    QCOMPARE(wb.form->RunPanel()->pos(), QPoint(0, 0));
    // The message line lies at the bottom of the editor panel, under the tabs.
    const QRect line = wb.form->MessageLine()->parentWidget()->geometry();
    QCOMPARE(line.height(), 22);
    QCOMPARE(line.bottom(), wb.form->EditPanel()->contentsRect().bottom());
    QCOMPARE(wb.form->TabControl()->geometry().bottom() + 1, line.top());

    wb.form->resize(300, 200);
    QTRY_COMPARE(wb.form->size(), QSize(580, 470));
    QCOMPARE(wb.form->EditPanel()->width(), std::max(100, wb.form->centralWidget()->width() - 315));
}

// ---- editor commands ------------------------------------------------------

void TestMainForm::insertCommands_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("Alt+H two-way choice, not the Hilfe menu")
        << (Qt::ALT | Qt::Key_H) << "Falls \n\nAnsonsten\n\nFallsende";
    QTest::newRow("Alt+B pause, not the Bearbeiten menu") << (Qt::ALT | Qt::Key_B) << "Pause ";
    QTest::newRow("Alt+S loop, not the Start menu") << (Qt::ALT | Qt::Key_S) << "Solange \n\nSolangeende";
    QTest::newRow("Alt+3 colour with sharp s") << (Qt::ALT | Qt::Key_3) << "Weiß";
    QTest::newRow("Alt+G assignment") << (Qt::ALT | Qt::Key_G) << "<= ";
}

void TestMainForm::insertCommands()
{
    QFETCH(QKeyCombination, key);
    QFETCH(QString, text);
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QString());
    e->setFocus();
    QTest::keyClick(e, key.key(), key.keyboardModifiers());
    QCOMPARE(e->toPlainText(), text);
    QCOMPARE(e->textCursor().position(), int(text.size()));
    QVERIFY(!wb.form->Action("Rueckgaengig1")->isEnabled());
    QVERIFY(!QApplication::activePopupWidget());
}

void TestMainForm::deleteLineKey_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("after");
    QTest::newRow("Ctrl+Y middle line goes") << Qt::KeyboardModifiers(Qt::ControlModifier) << 1
                                             << "Eins\nDrei";
    QTest::newRow("Ctrl+Y last line leaves it empty") << Qt::KeyboardModifiers(Qt::ControlModifier) << 2
                                                      << "Eins\nZwei\n";
    QTest::newRow("Ctrl+Shift+Y does nothing")
        << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier) << 1 << "Eins\nZwei\nDrei";
}

void TestMainForm::deleteLineKey()
{
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(int, line);
    QFETCH(QString, after);
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Eins\nZwei\nDrei"));
    e->setFocus();
    e->SetCaretLine(line);
    e->SetCaretColumn(2);
    QTest::keyClick(e, Qt::Key_Y, mods);
    QCOMPARE(e->toPlainText(), after);
}

// ---- programs into tabs -----------------------------------------------------

void TestMainForm::commandLineFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QString>("message");
    QTest::newRow("existing .trk opens") << "Quadrat.trk" << true << "";
    QTest::newRow("missing .trk is reported") << "Fehlt.trk" << false << "Datei konnte nicht geöffnet werden";
    QTest::newRow("upper-case .TRK ignored") << "Prog.TRK" << true << "";
    QTest::newRow("other extension ignored") << "Prog.txt" << true << "";
}

void TestMainForm::commandLineFile()
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

void TestMainForm::examplesOpenUnchanged()
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

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
