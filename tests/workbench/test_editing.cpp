// Find, replace and the font dialog on the current editor.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

#include "WorkbenchFixture.h"
#include "editor/WinText.h"

using namespace tarko;

class TestEditing : public QObject {
    Q_OBJECT
private slots:
    void find_data();
    void find();
    void replace_data();
    void replace();
    void replaceAllOnALongLine();
    void fontForAllEditors();
    void autoIndent_data();
    void autoIndent();
    void onlyALineBreakIndents_data();
    void onlyALineBreakIndents();
    void deleteLineOfSelectionStart_data();
    void deleteLineOfSelectionStart();
    void findGivesEditorTheKeyboard();
    void fontDialogKeepsEffects();
};

void TestEditing::find_data()
{
    QTest::addColumn<int>("selStart");
    QTest::addColumn<int>("selLength");
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("foundAt");  // -1: selection unchanged
    // Text: "Ausgabe 1\r\nAusgabe 2\r\nausgabe 3" (offsets count CR LF as two).
    QTest::newRow("caret in the middle, nothing selected: first in the text") << 14 << 0 << "Ausgabe" << 0;
    QTest::newRow("occurrence selected: the next one") << 0 << 7 << "Ausgabe" << 11;
    QTest::newRow("last occurrence selected: nothing more") << 11 << 7 << "Ausgabe" << -1;
    QTest::newRow("case counts") << 0 << 0 << "ausgabe" << 22;
    QTest::newRow("across a line break") << 0 << 0 << "1\nAus" << 8;
}

void TestEditing::find()
{
    QFETCH(int, selStart);
    QFETCH(int, selLength);
    QFETCH(QString, what);
    QFETCH(int, foundAt);
    TWorkbench wb;
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1\nAusgabe 2\nausgabe 3"));
    e->SetSelStart(selStart);
    e->SetSelLength(selLength);
    wb.form->Action("Suchen2")->trigger();
    QDialog* d = wb.form->FindDialog();
    QVERIFY(d && d->isVisible() && !d->isModal());
    QCOMPARE(d->windowTitle(), QStringLiteral("Suchen"));
    d->findChild<QLineEdit*>("FindText")->setText(what);
    d->findChild<QPushButton*>("FindNext")->click();
    const int length = int(ToWinText(what).size());
    QCOMPARE(e->SelStart(), foundAt < 0 ? selStart : foundAt);
    QCOMPARE(e->SelLength(), foundAt < 0 ? selLength : length);
    QVERIFY(wb.dialogs->shown.empty());
}

void TestEditing::replace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("with");
    QTest::addColumn<bool>("all");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("error");
    QTest::newRow("once: the first even with the caret behind it")
        << "x1 x2" << "x" << "y" << false << "y1 x2" << "";
    QTest::newRow("all: x1 x2 gives y1 y2") << "x1 x2" << "x" << "y" << true << "y1 y2" << "";
    QTest::newRow("all ends when the replacement holds the search text")
        << "a-a" << "a" << "aa" << true << "aa-aa" << "";
    QTest::newRow("all: over several lines, longer and shorter") << "x1\nx2\nxx" << "x" << "yz" << true << "yz1\nyz2\nyzyz" << "";
    QTest::newRow("all: occurrences do not overlap") << "aaaaa" << "aa" << "b" << true << "bba" << "";
    QTest::newRow("all: a replacement that removes") << "a-b-c" << "-" << "" << true << "abc" << "";
    QTest::newRow("not found: error box") << "Ausgabe 1" << "ausgabe" << "x" << false << "Ausgabe 1"
                                          << "Der Suchtext \"ausgabe\" konnte nicht gefunden werden.";
    QTest::newRow("empty search text: error box") << "Ausgabe 1" << "" << "x" << true << "Ausgabe 1"
                                                  << "Der Suchtext \"\" konnte nicht gefunden werden.";
}

void TestEditing::replace()
{
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(QString, with);
    QFETCH(bool, all);
    QFETCH(QString, after);
    QFETCH(QString, error);
    TWorkbench wb;
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), text);
    e->SetSelStart(int(text.size()));
    wb.form->Action("Ersetzen1")->trigger();
    QDialog* d = wb.form->ReplaceDialog();
    QCOMPARE(d->windowTitle(), QStringLiteral("Ersetzen"));
    d->findChild<QLineEdit*>("FindText")->setText(what);
    d->findChild<QLineEdit*>("ReplaceText")->setText(with);
    d->findChild<QPushButton*>(all ? "ReplaceAll" : "Replace")->click();
    QCOMPARE(e->toPlainText(), after);
    QCOMPARE(e->Modified(), error.isEmpty());
    if (error.isEmpty()) {
        QVERIFY(wb.dialogs->shown.empty());
        QVERIFY(!wb.form->Action("Rueckgaengig1")->isEnabled());
    } else {
        QCOMPARE(wb.dialogs->shown.at(0).kind, QStringLiteral("Fehler"));
        QCOMPARE(wb.dialogs->shown.at(0).text, error);
    }
}

void TestEditing::replaceAllOnALongLine()
{
    // Thousands of occurrences on one long line: all replaced at once, the
    // characters around them as they were (one without a Windows-1252
    // byte included), the caret behind the last, no undo step.
    QString line;
    for (int i = 0; i < 4000; ++i)
        line += QStringLiteral("x%1 ").arg(i % 10);
    const QString text = QStringLiteral("\u03A9 x\n") + line + QStringLiteral("\nEnde x");
    TWorkbench wb;
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), text);
    wb.form->Action("Ersetzen1")->trigger();
    QDialog* d = wb.form->ReplaceDialog();
    d->findChild<QLineEdit*>("FindText")->setText(QStringLiteral("x"));
    d->findChild<QLineEdit*>("ReplaceText")->setText(QStringLiteral("yz"));
    d->findChild<QPushButton*>("ReplaceAll")->click();
    QString expected = text;
    expected.replace(u'x', QStringLiteral("yz"));
    QCOMPARE(e->toPlainText(), expected);
    QCOMPARE(e->SelLength(), 0);
    QCOMPARE(e->SelStart(), int(ToWinText(expected).size()));
    QVERIFY(e->Modified());
    QVERIFY(!wb.form->Action("Rueckgaengig1")->isEnabled());
    QCOMPARE(e->Line(1), ToWinText(expected.section(u'\n', 1, 1)));
}

void TestEditing::fontForAllEditors()
{
    TWorkbench wb;
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("\tAusgabe 1"));
    const QFont chosen(QStringLiteral("DejaVu Sans Mono"), 16);
    wb.dialogs->fonts = {chosen};
    wb.form->Action("Font1")->trigger();
    QCOMPARE(wb.dialogs->shown.at(0).kind, QStringLiteral("Schriftart"));
    QCOMPARE(wb.dialogs->shown.at(0).text, QStringLiteral("Courier New"));
    for (int i = 0; i < TMainForm::TabCount; ++i)
        QCOMPARE(wb.form->EditorAt(i)->font().pointSize(), 16);
    QCOMPARE(wb.form->Inis.Font.family(), QStringLiteral("DejaVu Sans Mono"));
    // The tab stops do not follow the font.
    QCOMPARE(wb.form->CurrentEditor()->tabStopDistance(), 16.0);
    // Cancelled: nothing changes.
    wb.form->Action("Font1")->trigger();
    QCOMPARE(wb.form->EditorAt(0)->font().pointSize(), 16);
}

void TestEditing::autoIndent_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("autoTab");
    QTest::addColumn<QString>("after");
    QTest::newRow("two tabs and text pass the tabs on") << "\t\tAusgabe 1" << true << "\t\tAusgabe 1\n\t\t";
    QTest::newRow("a line of only tabs passes nothing on") << "\t\t" << true << "\t\t\n";
    QTest::newRow("indentation off") << "\t\tAusgabe 1" << false << "\t\tAusgabe 1\n";
}

void TestEditing::autoIndent()
{
    QFETCH(QString, line);
    QFETCH(bool, autoTab);
    QFETCH(QString, after);
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.form->Inis.AutoTab = autoTab;
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), line);
    e->setFocus();
    e->moveCursor(QTextCursor::End);
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(e->toPlainText(), after);
    QCOMPARE(e->textCursor().position(), int(after.size()));
    // The next character goes behind the indentation.
    QTest::keyClick(e, Qt::Key_X);
    QCOMPARE(e->toPlainText(), after + u'x');
}

void TestEditing::onlyALineBreakIndents_data()
{
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("after");  // after the key and then Alt+A
    QTest::newRow("Enter breaks the line and indents") << QKeyCombination(Qt::Key_Return)
                                                     << "\t\tAusgabe 1\n\tPause 2\n\tAusgabe ";
    QTest::newRow("Enter on the keypad the same") << (Qt::KeypadModifier | Qt::Key_Enter)
                                                 << "\t\tAusgabe 1\n\tPause 2\n\tAusgabe ";
    QTest::newRow("Ctrl+Enter changes nothing, so nothing indents later")
        << (Qt::CTRL | Qt::Key_Return) << "\t\tAusgabe 1\n\tPause 2Ausgabe ";
    QTest::newRow("Alt+Enter changes nothing, so nothing indents later")
        << (Qt::ALT | Qt::Key_Return) << "\t\tAusgabe 1\n\tPause 2Ausgabe ";
}

// The Enter flag belongs to the change Enter makes, not to the next one.
void TestEditing::onlyALineBreakIndents()
{
    QFETCH(QKeyCombination, key);
    QFETCH(QString, after);
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("\t\tAusgabe 1\n\tPause 2"));
    e->setFocus();
    e->moveCursor(QTextCursor::End);
    QTest::keyClick(e, key.key(), key.keyboardModifiers());
    QTest::keyClick(e, Qt::Key_A, Qt::AltModifier);
    QCOMPARE(e->toPlainText(), after);
}

void TestEditing::deleteLineOfSelectionStart_data()
{
    QTest::addColumn<int>("anchor");  // offsets counting CR LF as two
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("caretAfter");
    // Text: Eins / Zwei / Drei / Vier.
    QTest::newRow("forward selection over two lines: its first line goes") << 1 << 13 << "Zwei\nDrei\nVier" << 0;
    QTest::newRow("backward selection: the same line") << 13 << 1 << "Zwei\nDrei\nVier" << 0;
    QTest::newRow("selection ending at a line start") << 6 << 12 << "Eins\nDrei\nVier" << 6;
    QTest::newRow("selection up to the last line's end") << 19 << 22 << "Eins\nZwei\nDrei\n" << 18;
}

void TestEditing::deleteLineOfSelectionStart()
{
    QFETCH(int, anchor);
    QFETCH(int, caret);
    QFETCH(QString, after);
    QFETCH(int, caretAfter);
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Eins\nZwei\nDrei\nVier"));
    e->setFocus();
    QTextCursor c = e->textCursor();
    c.setPosition(anchor - anchor / 6);  // document positions count one per line break
    c.setPosition(caret - caret / 6, QTextCursor::KeepAnchor);
    e->setTextCursor(c);
    QTest::keyClick(e, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(e->toPlainText(), after);
    QCOMPARE(e->SelStart(), caretAfter);
    QCOMPARE(e->SelLength(), 0);
}

void TestEditing::findGivesEditorTheKeyboard()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Pause 1\nAusgabe 2"));
    wb.form->Action("Suchen1")->trigger();
    QDialog* d = wb.form->FindDialog();
    QLineEdit* what = d->findChild<QLineEdit*>("FindText");
    QApplication::setActiveWindow(d);
    what->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), what);
    what->setText(QStringLiteral("Ausgabe"));
    d->findChild<QPushButton*>("FindNext")->click();
    QCOMPARE(e->SelStart(), 9);
    QTRY_COMPARE(QApplication::activeWindow(), wb.form.get());
    QCOMPARE(QApplication::focusWidget(), e);
    QVERIFY(d->isVisible());  // the dialog stays open for the next find
    // Typing goes into the program now.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
    QCOMPARE(e->toPlainText(), QStringLiteral("Pause 1\nx 2"));
}

// The font dialog has no effects: what it returns keeps the editors'
// underline and strike-out (none), and the store never gets bits 4 and 8.
void TestEditing::fontDialogKeepsEffects()
{
    {
        TWorkbench wb;
        QFont chosen(QStringLiteral("DejaVu Sans Mono"), 12);
        chosen.setBold(true);
        chosen.setUnderline(true);
        chosen.setStrikeOut(true);
        wb.dialogs->fonts = {chosen};
        wb.form->Action("Font1")->trigger();
        for (int i = 0; i < TMainForm::TabCount; ++i) {
            const QFont f = wb.form->EditorAt(i)->font();
            QVERIFY(f.bold());
            QVERIFY(!f.underline());
            QVERIFY(!f.strikeOut());
        }
        wb.form->close();
    }
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brimwold"), QStringLiteral("Tarko"));
    QCOMPARE(store.value(QStringLiteral("Font/Style")).toString(), QStringLiteral("1"));
}

QTEST_MAIN(TestEditing)
#include "test_editing.moc"
