// The main window's menus, tool bar and command keys, and which commands
// are offered as the editor and the clipboard change.
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include "WorkbenchFixture.h"

using namespace tarko;

class TestMenus : public QObject {
    Q_OBJECT
private slots:
    void menuItems_data();
    void menuItems();
    void stepItemHiddenButItsKeyWorks();
    void toolButtons();
    void enablingFollowsEditor();
    void pasteFollowsClipboard();
    void insertCommands_data();
    void insertCommands();
    void deleteLineKey_data();
    void deleteLineKey();
};

void TestMenus::menuItems_data()
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

void TestMenus::menuItems()
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

void TestMenus::stepItemHiddenButItsKeyWorks()
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

void TestMenus::toolButtons()
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

void TestMenus::enablingFollowsEditor()
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
void TestMenus::pasteFollowsClipboard()
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

void TestMenus::insertCommands_data()
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

void TestMenus::insertCommands()
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

void TestMenus::deleteLineKey_data()
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

void TestMenus::deleteLineKey()
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

QTEST_MAIN(TestMenus)
#include "test_menus.moc"
