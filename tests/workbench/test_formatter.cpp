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

QTEST_MAIN(TestFormatter)
#include "test_formatter.moc"
