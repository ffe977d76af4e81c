// The console's line limit, counted by one piece of code for the workbench
// and tarko-run: compared with the lines the console widget itself lays out
// at 100 %, with zoomed consoles, and with tarko-run's transcript.
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QRandomGenerator>
#include <QTest>

#include "editor/ColMemo.h"
#include "editor/WinText.h"
#include "language/Cp1252.h"
#include "language/Parser.h"
#include "runtime/ConsoleWrap.h"
#include "runtime/QtRunHost.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"

using namespace tarko;

namespace {

std::string Win(const QString& text)
{
    std::string out;
    for (const QChar c : text)
        out += char(UnicodeToCp1252(c.unicode()));
    return out;
}

// The displayed lines as the console widget's own layout has them, an empty
// last line not counted.
int WidgetLines(TRunPanel& p)
{
    QTextDocument* doc = p.RunMemo()->document();
    int lines = 0;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b == doc->lastBlock() && b.length() <= 1)
            break;
        doc->documentLayout()->blockBoundingRect(b);   // lays the block out
        lines += std::max(1, b.layout()->lineCount());
    }
    return lines;
}

// Runs the program in the panel as the workbench runs it (F9).
void RunInPanel(TRunPanel& p, const QString& program)
{
    StopRequested = false;
    p.ClearConsole();
    QVERIFY(CompileProgram(Win(QString(program).replace("\n", "\r\n"))));
    TQtRunHost host(p, nullptr);
    RunProgram(host, false);
    StopRequested = false;
}

// The console text as tarko-run prints it: UTF-8, LF.
QString Transcript(TRunPanel& p)
{
    return QString::fromUtf8(Cp1252ToUtf8(p.ConsoleText())).replace("\r\n", "\n");
}

const char* const Greeting = "Gr\u00FC\u00DFe aus Gie\u00DFen: \u00E4\u00F6\u00FC \u00C4\u00D6\u00DC \u00DF \u20AC";

QString Loop(int lines, const QString& text)
{
    return QString("i <= 1\nSolange i < %1\n  Ausgabe %2\n  i <= i + 1\nSolangeende").arg(lines + 1).arg(text);
}

} // namespace

class TestConsoleLines : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init() { StopRequested = false; }
    void countsAsTheConsoleShows_data();
    void countsAsTheConsoleShows();
    void zoomKeepsTheVerdict_data();
    void zoomKeepsTheVerdict();
    void tarkoRunEndsWhereTheConsoleEnds_data();
    void tarkoRunEndsWhereTheConsoleEnds();
    void quickFitIsNeverWrong();
};

void TestConsoleLines::countsAsTheConsoleShows_data()
{
    QTest::addColumn<QString>("unit");
    QString everyByte;   // every character a program's text can hold
    for (int b = 0x20; b <= 0xFF; ++b)
        everyByte += QChar(char16_t(Cp1252ToUnicode(uchar(b))));
    QTest::newRow("narrow letters") << "i";
    QTest::newRow("wide letters") << "W";
    QTest::newRow("umlauts and sharp s") << "\u00E4\u00F6\u00FC\u00C4\u00D6\u00DC\u00DF";
    QTest::newRow("euro signs") << "\u20AC";
    QTest::newRow("the greeting") << QString(Greeting) + " ";
    QTest::newRow("words, a blank at every wrap point") << "Wort ";
    QTest::newRow("two blanks between words") << "ab  ";
    QTest::newRow("tabs") << "x\t";
    QTest::newRow("kerning pairs") << "AVTeWaYo";
    QTest::newRow("hyphens and slashes") << "ab-cd/ef ";
    QTest::newRow("numbers as written") << "-12345,678 ";
    QTest::newRow("punctuation") << "a.b,c;d:e!f?g(h)\"i\"";
    QTest::newRow("one long word") << "Donaudampfschifffahrt";
    QTest::newRow("every byte") << everyByte;
}

// The open line grows by one unit per write, so every unit passes the
// exactly-full width; after each write the count is the console's own. The
// same text in one write, and with a line break, counts the same.
void TestConsoleLines::countsAsTheConsoleShows()
{
    QFETCH(QString, unit);
    TRunPanel p;
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    QString text;
    for (int k = 1; WidgetLines(p) < 6 && k <= 400; ++k) {
        QVERIFY(p.WriteText(Win(unit)));
        text += unit;
        QVERIFY2(p.DisplayedLineCount() == WidgetLines(p),
                 qPrintable(QString("%1 units: %2 counted, %3 shown").arg(k).arg(p.DisplayedLineCount()).arg(WidgetLines(p))));
    }
    QVERIFY(WidgetLines(p) >= 6);
    p.WriteText("\r\n" + Win(text) + "\r\n");
    QCOMPARE(p.DisplayedLineCount(), WidgetLines(p));
    TRunPanel whole;
    whole.show();
    QVERIFY(QTest::qWaitForWindowExposed(&whole));
    whole.WriteText(Win(text));
    QCOMPARE(whole.DisplayedLineCount(), WidgetLines(whole));
}

void TestConsoleLines::zoomKeepsTheVerdict_data()
{
    QTest::addColumn<int>("zoom");
    for (const int zoom : {125, 150, 200, 250, 300})
        QTest::addRow("%d %%", zoom) << zoom;
}

// Programs whose lines wrap end at the same line at every zoom. Zoomed, the
// text area grows more than the font (the scroll bar keeps its width): five
// words wrap at 100 % but not at 125 % and above.
void TestConsoleLines::zoomKeepsTheVerdict()
{
    QFETCH(int, zoom);
    for (const QString& program : {Loop(699, QString("\"Zeile \" i \"%1\"").arg(Greeting)),
                                   Loop(699, "\"Wort Wort Wort Wort Wort\"")}) {
        TRunPanel plain;
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        RunInPanel(plain, program);
        QVERIFY(Transcript(plain).endsWith("Programmabbruch\nZuviele Zeilen\n"));
        QCOMPARE(plain.DisplayedLineCount(), WidgetLines(plain));

        TRunPanel zoomed;
        zoomed.SetZoom(zoom);
        zoomed.show();
        QVERIFY(QTest::qWaitForWindowExposed(&zoomed));
        RunInPanel(zoomed, program);
        QCOMPARE(Transcript(zoomed), Transcript(plain));
    }
}

void TestConsoleLines::tarkoRunEndsWhereTheConsoleEnds_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("lastLine");   // before the two abort lines; empty: no abort
    QTest::newRow("998 lines end normally") << Loop(998, "\"z\"") << "";
    QTest::newRow("999 lines: the last line break is refused") << Loop(999, "\"z\"") << "z";
    QTest::newRow("1000 lines end after the 999th") << Loop(1000, "\"z\"") << "z";
    QTest::newRow("number lines") << Loop(1200, "i") << "999 ";
    QTest::newRow("the greeting wraps") << Loop(699, QString("\"Zeile \" i \"%1\"").arg(Greeting)) << "*";
    QTest::newRow("long lines written in pieces")
        << Loop(400, "\"Wort Wort Wort \" i \" Wort-Wort/Wort \" i \"\u00C4\u00D6\u00DC\u20AC  \" i \"\tx\"") << "*";
}

// tarko-run's transcript is the console's text at 100 %, abort included.
void TestConsoleLines::tarkoRunEndsWhereTheConsoleEnds()
{
    QFETCH(QString, program);
    QFETCH(QString, lastLine);
    TRunPanel p;
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    RunInPanel(p, program);
    const QString shown = Transcript(p);
    const QString abort = "\nProgrammabbruch\nZuviele Zeilen\n";
    if (lastLine.isEmpty())
        QVERIFY(!shown.contains("Programmabbruch"));
    else
        QVERIFY2(shown.endsWith((lastLine == "*" ? "" : lastLine) + abort), qPrintable(shown.right(80)));
    QCOMPARE(p.DisplayedLineCount(), WidgetLines(p));

    const QString path = dir.filePath(QString("%1.trk").arg(QTest::currentDataTag()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromStdString(Win(QString(program).replace("\n", "\r\n"))));
    f.close();
    QProcess run;
    run.start(TARKO_RUN, {path});
    QVERIFY(run.waitForFinished(60000));
    QCOMPARE(run.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(run.readAllStandardOutput()), shown);
}

// The shortcut that skips the layout of a short line: wherever it says a line
// fits, Qt's layout of the console puts it on one line. Random lines are
// grown as long as the shortcut allows; and no pair of characters is kerned
// wider than the room the shortcut leaves.
void TestConsoleLines::quickFitIsNeverWrong()
{
    const QtLineWrap wrap;
    QTextLayout layout;
    layout.setFont(ConsoleFont(12));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    auto lines = [&](const std::u16string& text, qreal* natural = nullptr) {
        layout.setText(QString::fromStdU16String(text));
        layout.beginLayout();
        int n = 0;
        for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
            l.setLineWidth(ConsoleTextWidth);
            ++n;
        }
        layout.endLayout();
        if (natural)
            *natural = layout.maximumWidth();
        return n;
    };
    std::u16string chars;
    for (int b = 0x20; b <= 0xFF; ++b)
        chars += char16_t(Cp1252ToUnicode(uchar(b)));
    auto advance = [&](char16_t c) {
        qreal w;
        lines(std::u16string(1, c), &w);
        return w;
    };
    std::vector<qreal> single;
    for (const char16_t c : chars)
        single.push_back(advance(c));
    qreal worst = -1e9;
    for (size_t i = 0; i < chars.size(); ++i)
        for (size_t k = 0; k < chars.size(); ++k) {
            qreal w;
            lines({chars[i], chars[k]}, &w);
            worst = std::max(worst, w - single[i] - single[k]);
        }
    QVERIFY2(worst * 64 <= 2 * QtLineWrap::KerningRoom64, qPrintable(QString::number(worst)));

    QRandomGenerator random(7);
    for (int round = 0; round < 3000; ++round) {
        std::u16string text;
        for (;;) {
            const char16_t c = random.bounded(4) == 0 ? u' ' : chars[random.bounded(int(chars.size()))];
            if (!wrap.SurelyOneLine(text + c))
                break;
            text += c;
        }
        QVERIFY2(lines(text) == 1, qPrintable(QString::fromStdU16String(text)));
    }
}

QTEST_MAIN(TestConsoleLines)
#include "test_consolelines.moc"
