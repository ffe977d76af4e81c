// The source formatter on lines, and re-indenting when a program starts.
#include <QLabel>

#include "WorkbenchFixture.h"
#include "language/Formatter.h"

using namespace tarko;

class TestFormatter : public QObject {
    Q_OBJECT
private slots:
    void formatLines_data();
    void formatLines();
    void secondRunChangesNothing();
    void reindentedWhenStarted_data();
    void reindentedWhenStarted();
    void caretComesBack_data();
    void caretComesBack();
    void oneUndoRestoresWholeProgram();
};

using Lines = std::vector<std::string>;
Q_DECLARE_METATYPE(Lines)

void TestFormatter::formatLines_data()
{
    QTest::addColumn<Lines>("in");
    QTest::addColumn<Lines>("out");
    QTest::newRow("loop body one tab in")
        << Lines{"i <= 0", "Wiederhole", "i <= i + 1", "Ausgabe i", "Bis i = 3"}
        << Lines{"i <= 0", "Wiederhole", "\ti <= i + 1", "\tAusgabe i", "Bis i = 3"};
    QTest::newRow("choice keywords line up")
        << Lines{"falls x = 1", "  Ausgabe 1", "ansonsten", "Ausgabe 2", "FALLSENDE"}
        << Lines{"falls x = 1", "\tAusgabe 1", "ansonsten", "\tAusgabe 2", "FALLSENDE"};
    QTest::newRow("depth three")
        << Lines{"Solange a < 1", "Falls b = 1", "Wiederhole", "Pause 1", "Bis c", "Fallsende", "Solangeende"}
        << Lines{"Solange a < 1", "\tFalls b = 1", "\t\tWiederhole", "\t\t\tPause 1", "\t\tBis c", "\tFallsende",
                 "Solangeende"};
    QTest::newRow("blanks then tabs become tabs only")
        << Lines{"Wiederhole", "  \t\tPause 1", "Bis 1"} << Lines{"Wiederhole", "\tPause 1", "Bis 1"};
    QTest::newRow("a tab then blanks keeps the blanks in a block")
        << Lines{"Wiederhole", "\t  Pause 1", "Bis 1"} << Lines{"Wiederhole", "\t  Pause 1", "Bis 1"};
    QTest::newRow("a tab then blanks at the outer level loses the tab")
        << Lines{"\t  Pause 1"} << Lines{"  Pause 1"};
    QTest::newRow("only a line's first word counts")
        << Lines{"/ Falls", "Fallsende2 <= 1", "Ausgabe \"Wiederhole\""}
        << Lines{"/ Falls", "Fallsende2 <= 1", "Ausgabe \"Wiederhole\""};
    QTest::newRow("umlaut words are not keywords")
        << Lines{"Wiederhole", "L\xF6schen", "Bis 1"} << Lines{"Wiederhole", "\tL\xF6schen", "Bis 1"};
}

void TestFormatter::formatLines()
{
    QFETCH(Lines, in);
    QFETCH(Lines, out);
    Lines lines = in;
    const std::vector<int> changed = FormatLines(lines);
    QCOMPARE(lines, out);
    for (int i = 0; i < int(in.size()); ++i)
        QCOMPARE(std::find(changed.begin(), changed.end(), i) != changed.end(), in[i] != out[i]);
}

void TestFormatter::secondRunChangesNothing()
{
    Lines lines{"Wiederhole", "Falls x", "Pause 1", "Fallsende", "Bis 1"};
    FormatLines(lines);
    Lines again = lines;
    QVERIFY(FormatLines(again).empty());
    QCOMPARE(again, lines);
    // The blanks of an outer-level line go on the second run.
    Lines outer{"\t  Pause 1"};
    FormatLines(outer);
    FormatLines(outer);
    QCOMPARE(outer, Lines{"Pause 1"});
}

void TestFormatter::reindentedWhenStarted_data()
{
    QTest::addColumn<bool>("autoFormat");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("after");
    const QString loop = QStringLiteral("i <= 0\nWiederhole\ni <= i + 1\nBis i = 2");
    QTest::newRow("on: re-indented at the start") << true << loop << "i <= 0\nWiederhole\n\ti <= i + 1\nBis i = 2";
    QTest::newRow("off: left alone") << false << loop << QString(loop);
    QTest::newRow("compile error: left alone") << true << "Wiederhole\nx <= $\nBis 1" << "Wiederhole\nx <= $\nBis 1";
}

void TestFormatter::reindentedWhenStarted()
{
    QFETCH(bool, autoFormat);
    QFETCH(QString, program);
    QFETCH(QString, after);
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.form->Inis.AutoFormat = autoFormat;
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), program);
    e->SetCaretLine(2);
    e->SetCaretColumn(3);
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(e->toPlainText(), after);
    QCOMPARE(e->Modified(), after != program);
    if (!program.contains(u'$')) {
        QCOMPARE(e->CaretLine(), 2);
        QCOMPARE(e->CaretColumn(), 3);
    }
}

// After the run the caret stands at the line and column it had, also on
// the empty line after a program's final line break.
void TestFormatter::caretComesBack_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    const QString loop = QStringLiteral("i <= 0\nWiederhole\ni <= i + 1\nBis i = 2\n");
    QTest::newRow("empty line after the final line break") << loop << 4 << 0;
    QTest::newRow("inside a re-indented line") << loop << 2 << 3;
    QTest::newRow("end of the last statement") << loop << 3 << 9;
    QTest::newRow("first line") << loop << 0 << 0;
}

void TestFormatter::caretComesBack()
{
    QFETCH(QString, program);
    QFETCH(int, line);
    QFETCH(int, column);
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), program);
    QTextCursor c(e->document()->findBlockByNumber(line));
    c.setPosition(c.position() + column);
    e->setTextCursor(c);
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QVERIFY(e->toPlainText().contains(u'\t'));   // it was re-indented
    QCOMPARE(e->CaretLine(), line);
    QCOMPARE(e->CaretColumn(), column);
}

// One Rückgängig after a formatted run gives back the whole program as it
// was before the run; the changed mark stays.
void TestFormatter::oneUndoRestoresWholeProgram()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    const QString before = QStringLiteral("Wiederhole\nFalls 1 = 1\nAusgabe 1\nAusgabe 2\nFallsende\nBis 1 = 1");
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QString());
    e->setFocus();
    // Typed, so that there is an earlier undo step.
    const QStringList lines = before.split(u'\n');
    for (const QString& line : lines) {
        if (&line != &lines.first())
            QTest::keyClick(e, Qt::Key_Return);
        QTest::keyClicks(e, line);
    }
    QCOMPARE(e->toPlainText(), before);
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(e->toPlainText(), QStringLiteral("Wiederhole\n\tFalls 1 = 1\n\t\tAusgabe 1\n\t\tAusgabe 2\n\tFallsende\nBis 1 = 1"));
    QVERIFY(e->Modified());
    QVERIFY(wb.form->Action(QStringLiteral("Rueckgaengig1"))->isEnabled());

    wb.form->Action(QStringLiteral("Rueckgaengig1"))->trigger();
    QCOMPARE(e->toPlainText(), before);
    QCOMPARE(QString::fromStdString(e->WinText()), QString(before).replace(u'\n', QStringLiteral("\r\n")));
    QVERIFY(e->Modified());
    QCOMPARE(wb.form->StatusPanel(1)->text(), QStringLiteral("Geändert"));
}

QTEST_MAIN(TestFormatter)
#include "test_formatter.moc"
