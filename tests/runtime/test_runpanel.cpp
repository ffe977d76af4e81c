// The run panel: console output and its line limit, number input through the
// keypad and the keyboard, and the switching between console and image.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTest>
#include <deque>
#include <functional>

#include "editor/ColMemo.h"
#include "runtime/Canvas.h"
#include "runtime/OutputSpeech.h"
#include "runtime/QtRunHost.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"

using namespace tarko;

namespace {

QString Shown(TRunPanel& p)
{
    return p.RunMemo()->toPlainText();
}

// Sends one character to FormKeyPress as the main window would.
bool Type(TRunPanel& p, QChar ch)
{
    int key = ch.unicode();
    QString text(ch);
    if (ch == '\b')
        key = Qt::Key_Backspace;
    else if (ch == '\r')
        key = Qt::Key_Return;
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, text);
    return p.FormKeyPress(&e);
}

QRgb Pixel(TRunPanel& p, int col, int row)
{
    return p.PanelCanvas().image().pixel(col, row) & 0xFFFFFF;
}

} // namespace

class TestRunPanel : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        StopRequested = false;
        InputDone = false;
    }

    void keypadEntry_data();
    void keypadEntry();
    void keypadButtons();
    void inputModeEnablesKeypad();
    void readNumber_data();
    void readNumber();
    void keyboardEntry_data();
    void keyboardEntry();
    void keyboardWithoutPendingInput();
    void numberOutput_data();
    void numberOutput();
    void lineLimit();
    void lineLimitCountsWrappedLines();
    void surfaces();
    void clearRunPanelKeepsSurface();
    void runStateLook();
    void consoleFontColourSetWhilePictureShown();
    void pictureRepaintedAfterEachChange();
    void messagePassLooksAtTheClockRegularly();
    void outputSpeech_data();
    void outputSpeech();
    void outputToldInBatches();
};

// Keys are given as a string; 'C' is the delete key.
void TestRunPanel::keypadEntry_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("okEnabled");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("accepted: 1 7 0 then C twice leaves 1") << "170CC" << true << 1.0 << "1";
    QTest::newRow("accepted: lone comma is 0") << "," << true << 0.0 << ",";
    QTest::newRow("accepted: negative fraction") << "-0,5" << true << -0.5 << "-0,5";
    QTest::newRow("accepted: trailing comma") << "12," << true << 12.0 << "12,";
    QTest::newRow("accepted: minus and comma is 0") << "-," << true << 0.0 << "-,";
    QTest::newRow("accepted: fraction without integer digits") << ",25" << true << 0.25 << ",25";
    QTest::newRow("accepted: C on an empty entry then digit") << "C7" << true << 7.0 << "7";
    QTest::newRow("accepted: after deleting the second comma") << "1,2,C" << true << 1.2 << "1,2";

    QTest::newRow("refused: nothing typed") << "" << false << 0.0 << "";
    QTest::newRow("refused: everything deleted again") << "5C" << false << 0.0 << "";
    QTest::newRow("refused: lone minus") << "-" << false << 0.0 << "-";
    QTest::newRow("refused: two commas") << "1,2,3" << false << 0.0 << "1,2,3";
    QTest::newRow("refused: minus after a digit") << "5-" << false << 0.0 << "5-";
    QTest::newRow("refused: two minus signs") << "--1" << false << 0.0 << "--1";
    // A value beyond the double range is an invalid entry, not infinity.
    QTest::newRow("refused: too large for a number") << QString(400, '9') << false << 0.0
                                                    << QString(400, '9');
    // Below the smallest double the entry is still a number: 0.
    QTest::newRow("accepted: too small for a number is 0") << "0," + QString(400, '0') + "1" << true
                                                          << 0.0 << "0," + QString(400, '0') + "1";
}

void TestRunPanel::keypadEntry()
{
    QFETCH(QString, keys);
    QFETCH(bool, okEnabled);
    QFETCH(double, value);
    QFETCH(QString, shown);

    TRunPanel p;
    p.WriteText("Zahl? ");
    p.SetInputMode(true);
    for (QChar k : keys)
        p.InputKey(k.toLatin1());
    QCOMPARE(p.Key('O')->isEnabled(), okEnabled);
    QCOMPARE(p.InputValue(), value);
    QCOMPARE(Shown(p), "Zahl? " + shown);
    QVERIFY(!InputDone);
}

// The 14 buttons go through BOKClick; only OK finishes the input.
void TestRunPanel::keypadButtons()
{
    TRunPanel p;
    p.WriteText("? ");
    p.SetInputMode(true);
    for (char k : {'1', '7', '0'})
        p.Key(k)->click();
    QCOMPARE(Shown(p), QString("? 170"));
    p.Key('C')->click();
    p.Key('C')->click();
    p.Key(',')->click();
    p.Key('5')->click();
    p.Key('-')->click();   // refused: minus after a digit
    QVERIFY(!p.Key('O')->isEnabled());
    QVERIFY(!InputDone);
    p.Key('C')->click();
    QVERIFY(p.Key('O')->isEnabled());
    p.Key('O')->click();
    QVERIFY(InputDone);
    QCOMPARE(p.InputValue(), 1.5);
    QCOMPARE(Shown(p), QString("? 1,5"));
}

void TestRunPanel::inputModeEnablesKeypad()
{
    TRunPanel p;
    const QString keys = "0123456789,-CO";
    for (QChar k : keys)
        QVERIFY(!p.Key(k.toLatin1())->isEnabled());

    p.SetInputMode(true);
    for (QChar k : keys)
        QCOMPARE(p.Key(k.toLatin1())->isEnabled(), k != 'O');
    QVERIFY(p.InputActive());

    p.InputKey('3');   // OK enabled by a valid entry, disabled again on leaving
    p.SetInputMode(false);
    for (QChar k : keys)
        QVERIFY(!p.Key(k.toLatin1())->isEnabled());
    QVERIFY(!p.InputActive());
}

// ReadNumber with a scripted event pass: each pass performs the next action.
void TestRunPanel::readNumber_data()
{
    QTest::addColumn<QString>("actions");   // key chars, 'O' = OK, 'S' = Stop
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("confirmed: 4,2 then OK") << "4,2O" << 4.2 << "> 4,2";
    QTest::newRow("confirmed: OK ignored while invalid") << "-O5O" << -5.0 << "> -5";
    QTest::newRow("stopped: with a valid entry") << "3S" << 3.0 << "> 3";
    QTest::newRow("stopped: with nothing typed") << "S" << 0.0 << "> ";
    QTest::newRow("stopped: with a lone minus") << "-S" << 0.0 << "> -";
}

void TestRunPanel::readNumber()
{
    QFETCH(QString, actions);
    QFETCH(double, value);
    QFETCH(QString, shown);

    TRunPanel p;
    p.WriteText("> ");
    std::deque<QChar> script(actions.begin(), actions.end());
    int passes = 0;
    p.waitPass = [&] {
        ++passes;
        QVERIFY2(!script.empty(), "ReadNumber kept waiting after the last action");
        if (script.empty()) {
            StopRequested = true;
            return;
        }
        const QChar a = script.front();
        script.pop_front();
        QVERIFY(p.InputActive());
        if (a == 'S')
            StopRequested = true;
        else
            p.Key(a.toLatin1())->click();   // a disabled OK ignores the click
    };
    QCOMPARE(p.ReadNumber(), value);
    QVERIFY(script.empty());
    QCOMPARE(passes, actions.size());
    QCOMPARE(Shown(p), shown);
    QVERIFY(!p.InputActive());
    QVERIFY(!p.Key('1')->isEnabled());
}

// Keyboard characters during a normal run; '\b' Backspace, '\r' Enter.
void TestRunPanel::keyboardEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("inputText");
    QTest::addColumn<bool>("done");

    QTest::newRow("digits, comma and minus") << "-1,5" << "-1,5" << false;
    QTest::newRow("backspace works like C") << "12\b" << "1" << false;
    QTest::newRow("full stop is not accepted") << "1.5" << "15" << false;
    QTest::newRow("letters are ignored") << "a1b" << "1" << false;
    QTest::newRow("enter confirms a valid entry") << "7\r" << "7" << true;
    QTest::newRow("enter ignored for a lone minus") << "-\r" << "-" << false;
    QTest::newRow("enter ignored for an empty entry") << "\r" << "" << false;
}

void TestRunPanel::keyboardEntry()
{
    QFETCH(QString, typed);
    QFETCH(QString, inputText);
    QFETCH(bool, done);

    TRunPanel p;
    p.EnableConsole();
    p.show();
    QVERIFY(QTest::qWaitForWindowActive(&p));
    p.SetInputMode(true);
    for (QChar ch : typed)
        Type(p, ch);
    QCOMPARE(QString::fromStdString(p.InputText()), inputText);
    QCOMPARE(Shown(p), inputText);
    QCOMPARE(InputDone, done);
    if (done)
        QCOMPARE(QApplication::focusWidget(), p.Key('O'));
}

void TestRunPanel::keyboardWithoutPendingInput()
{
    TRunPanel p;
    p.WriteText("fertig");
    for (QChar ch : QString("12,\b\r"))
        QVERIFY(!Type(p, ch));
    p.InputKey('5');
    QCOMPARE(Shown(p), QString("fertig"));
    QVERIFY(!InputDone);
}

void TestRunPanel::numberOutput_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("shown");
    QTest::newRow("whole number") << 5.0 << "5 ";
    QTest::newRow("negative fraction") << -2.5 << "-2,5 ";
    QTest::newRow("large number") << 1.5e20 << "1,5E20 ";
}

// A number is written with the decimal comma and always ends in one blank,
// directly after the text before it.
void TestRunPanel::numberOutput()
{
    QFETCH(double, x);
    QFETCH(QString, shown);
    TRunPanel p;
    p.WriteText("x=");
    p.WriteNumber(x);
    QCOMPARE(Shown(p), "x=" + shown);
}

// Output as the parser emits it: the text, then a separate line break.
void TestRunPanel::lineLimit()
{
    TRunPanel p;
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    for (int i = 1; i <= 998; ++i) {
        QVERIFY(p.WriteText("Zeile"));
        QVERIFY(p.WriteText("\r\n"));
    }
    QCOMPARE(p.DisplayedLineCount(), 998);
    QVERIFY(p.WriteText("Zeile"));   // the 999th line is still shown
    QVERIFY(!StopRequested);
    QVERIFY(!p.WriteText("\r\n"));
    QVERIFY(StopRequested);
    const QStringList lines = Shown(p).split('\n');
    QCOMPARE(lines.size(), 1002);   // 999 lines, the two messages, empty last line
    QCOMPARE(lines[998], QString("Zeile"));
    QCOMPARE(lines[999], QString("Programmabbruch"));
    QCOMPARE(lines[1000], QString("Zuviele Zeilen"));
    // The view shows the end: "Zuviele Zeilen" is in sight.
    QScrollBar* bar = p.RunMemo()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    const QRect shown = p.RunMemo()->cursorRect(QTextCursor(p.RunMemo()->document()->findBlockByNumber(1000)));
    QVERIFY(p.RunMemo()->viewport()->rect().contains(shown));
    QVERIFY(!p.WriteText("mehr"));   // nothing more is written
    QVERIFY(!Shown(p).contains("mehr"));
}

// A long line counts with every piece it is wrapped into.
void TestRunPanel::lineLimitCountsWrappedLines()
{
    TRunPanel p;
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    std::string longLine;
    for (int i = 0; i < 30; ++i)
        longLine += "Wort ";
    p.WriteText(longLine + "\r\n");
    const int wrapped = p.DisplayedLineCount();
    QVERIFY2(wrapped >= 3, "a 150-character line must wrap on a 200-pixel console");
    for (int i = wrapped; i < 998; ++i)
        QVERIFY(p.WriteText("kurz\r\n"));
    QCOMPARE(p.DisplayedLineCount(), 998);
    QVERIFY(p.WriteText("Ende"));
    QVERIFY(!p.WriteText("\r\n"));
    QVERIFY(Shown(p).endsWith("Ende\nProgrammabbruch\nZuviele Zeilen\n"));
}

void TestRunPanel::surfaces()
{
    TRunPanel p;
    p.show();
    QVERIFY(p.RunMemo()->isVisible());
    QVERIFY(!p.RunImage()->isVisible());
    QCOMPARE(p.RunMemo()->geometry(), QRect(62, 76, 200, 200));
    QCOMPARE(p.RunImage()->geometry(), QRect(62, 76, 200, 200));

    p.WriteText("Text");
    p.PanelCanvas().SetColor(18);   // yellow, left over from an earlier drawing
    p.PanelCanvas().FillRect(0, 0, 200, 200);
    p.ShowGraphics();
    QVERIFY(p.RunImage()->isVisible());
    QVERIFY(!p.RunMemo()->isVisible());
    QCOMPARE(Pixel(p, 10, 10), 0u);   // the switch clears the image black
    QCOMPARE(p.PanelCanvas().PenColor(), QColor(Qt::white));

    p.PanelCanvas().Point(100, 99);
    p.ShowGraphics();   // already visible: the drawing stays
    QCOMPARE(Pixel(p, 100, 99), 0xFFFFFFu);

    p.ShowConsole();
    QVERIFY(p.RunMemo()->isVisible());
    QVERIFY(!p.RunImage()->isVisible());
    QCOMPARE(Shown(p), QString("Text"));   // the console keeps its text
    p.ShowConsole();
    QVERIFY(p.RunMemo()->isVisible());
}

void TestRunPanel::clearRunPanelKeepsSurface()
{
    TRunPanel p;
    p.show();
    p.WriteText("alt\r\n");
    p.ShowGraphics();
    p.PanelCanvas().SetColor(17);
    p.PanelCanvas().FillRect(0, 0, 200, 200);
    p.ClearRunPanel();
    QVERIFY(p.RunImage()->isVisible());
    QCOMPARE(Pixel(p, 0, 0), 0u);
    QCOMPARE(Pixel(p, 199, 199), 0u);
    QCOMPARE(Shown(p), QString());
    QCOMPARE(p.PanelCanvas().PenColor(), QColor(255, 0, 0));   // colour unchanged

    p.ShowConsole();
    p.WriteText("neu");
    p.ClearRunPanel();
    QVERIFY(p.RunMemo()->isVisible());
    QCOMPARE(Shown(p), QString());
    QCOMPARE(p.DisplayedLineCount(), 0);
}

void TestRunPanel::runStateLook()
{
    TRunPanel p;
    QVERIFY(!p.RunMemo()->isEnabled());
    p.EnableConsole();
    QVERIFY(p.RunMemo()->isEnabled());
    p.SetRunStateLook(3);
    QCOMPARE(p.RunMemo()->palette().color(QPalette::Base), QColor(0, 255, 255));
    p.SetRunStateLook(1);
    QCOMPARE(p.RunMemo()->palette().color(QPalette::Base), QColor(0, 223, 223));
    p.SetRunStateLook(2);
    QCOMPARE(p.RunMemo()->palette().color(QPalette::Base), QColor(0, 255, 255));
}

void TestRunPanel::consoleFontColourSetWhilePictureShown()
{
    // Colour words in a drawing loop reach a hidden console; the last one
    // must be its text colour once it is shown again.
    TRunPanel p;
    p.show();
    auto font = [&] { return p.RunMemo()->palette().color(QPalette::Text); };
    p.SetConsoleFontColor(Qt::red);
    QCOMPARE(font(), QColor(Qt::red));   // a visible console at once
    p.ShowGraphics();
    p.SetConsoleFontColor(Qt::yellow);
    p.SetConsoleFontColor(Qt::blue);
    p.ShowConsole();
    QCOMPARE(font(), QColor(Qt::blue));
    p.ShowGraphics();
    p.SetConsoleFontColor(Qt::green);
    p.ShowGraphics();
    p.SetConsoleFontColor(Qt::black);   // the next run starts black
    p.ShowConsole();
    QCOMPARE(font(), QColor(Qt::black));
}

void TestRunPanel::pictureRepaintedAfterEachChange()
{
    // Many points between two repaints ask for one; a point after the
    // repaint asks for the next.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override
        {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    TRunPanel p;
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    p.ShowGraphics();
    p.RunImage()->installEventFilter(&counter);
    QTRY_VERIFY(counter.paints > 0 || p.RunImage()->isVisible());
    QCoreApplication::processEvents();
    for (int round = 0; round < 3; ++round) {
        const int before = counter.paints;
        for (int i = 0; i < 100; ++i)
            p.PanelCanvas().Point(i, round);
        QTRY_VERIFY(counter.paints > before);
    }
}

void TestRunPanel::messagePassLooksAtTheClockRegularly()
{
    // After a millisecond the real pass runs: at the latest on the 16th call,
    // and on the first call after output or a drawn shape.
    TRunPanel p;
    TQtRunHost host(p, nullptr);
    auto passesAfterCalls = [&](int calls) {
        QTest::qSleep(2);
        const uint64_t before = host.EventPasses();
        for (int i = 0; i < calls; ++i)
            host.ProcessMessages();
        return host.EventPasses() - before;
    };
    passesAfterCalls(16);   // start from a pass
    QCOMPARE(passesAfterCalls(16), uint64_t(1));
    host.WriteText("x");
    QCOMPARE(passesAfterCalls(1), uint64_t(1));
    host.FillRect(0, 0, 200, 200);
    QCOMPARE(passesAfterCalls(1), uint64_t(1));
    host.Point(0, 0);   // cheap: no clock for it
    QCOMPARE(passesAfterCalls(1), uint64_t(0));
}

// What a screen reader is told of the output written between two
// announcements ("|" separates the writes).
void TestRunPanel::outputSpeech_data()
{
    QTest::addColumn<QString>("writes");
    QTest::addColumn<QString>("told");
    QString eleven, lastTen;
    for (int i = 1; i <= 11; ++i) {
        eleven += QStringLiteral("Zeile %1 \n").arg(i);
        if (i > 1)
            lastTen += QStringLiteral("\nZeile %1").arg(i);
    }
    QTest::newRow("nothing written") << "" << "";
    QTest::newRow("blank lines only") << "\n|  \n|\n" << "";
    QTest::newRow("one line in pieces") << "2 + 3 = |5 |\n" << "2 + 3 = 5";
    QTest::newRow("question without line break") << "Hallo!\n|Wie alt bist du? " << "Hallo!\nWie alt bist du?";
    QTest::newRow("windows line breaks, blank line skipped") << "a\r\n\r\nb\r\n" << "a\nb";
    QTest::newRow("blanks and tabs inside a line") << "x  =\t 1 \n" << "x = 1";
    QTest::newRow("ten lines told in full") << eleven.section(u'\n', 1) << lastTen.mid(1);
    QTest::newRow("eleven lines: the newest ten") << eleven
                                                  << "Die letzten 10 von 11 Zeilen:" + lastTen;
}

void TestRunPanel::outputSpeech()
{
    QFETCH(QString, writes);
    QFETCH(QString, told);
    TOutputSpeech speech;
    for (const QString& w : writes.split(u'|'))
        speech.Written(w.toStdString());
    QCOMPARE(QString::fromStdString(speech.Take()), told);
    QVERIFY(!speech.Pending());
    QCOMPARE(speech.Take(), std::string());
}

// The panel tells the output once it pauses, at the latest two seconds
// after the oldest untold line while a program keeps writing, when a number
// input begins (after the console took the focus) and when asked to; a new
// run forgets what was not told.
void TestRunPanel::outputToldInBatches()
{
    TRunPanel p;
    p.EnableConsole();
    p.show();
    QVERIFY(QTest::qWaitForWindowActive(&p));
    QStringList told;
    QString focusWhenTold;
    p.announce = [&](const QString& text) {
        told << text;
        focusWhenTold = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "-";
    };

    p.WriteText("Start\r\n");
    QVERIFY(told.isEmpty());   // not at once: more may follow
    QTRY_COMPARE(told, QStringList{"Start"});

    // A line every 100 ms never pauses long enough, yet is heard.
    QElapsedTimer t;
    t.start();
    int last = 0;
    while (told.size() < 2 && t.elapsed() < 5000) {
        p.WriteText(std::to_string(++last) + "\r\n");
        QTest::qWait(100);
    }
    QCOMPARE(told.size(), 2);
    QVERIFY2(t.elapsed() >= 1500, qPrintable(QString::number(t.elapsed())));
    QVERIFY2(told[1].endsWith("\n" + QString::number(last)), qPrintable(told[1]));

    p.WriteText("nicht gesagt\r\n");
    p.ClearConsole();
    p.WriteText("Wie alt bist du? ");
    p.SetInputMode(true);
    QCOMPARE(told.size(), 3);
    QCOMPARE(told[2], QString("Wie alt bist du?"));
    QCOMPARE(focusWhenTold, QString("RunMemo"));
    p.SetInputMode(false);

    p.WriteText("Ende\r\n");
    p.AnnounceOutput();
    QCOMPARE(told.size(), 4);
    QCOMPARE(told[3], QString("Ende"));
    QTest::qWait(600);
    QCOMPARE(told.size(), 4);   // told once
}

QTEST_MAIN(TestRunPanel)
#include "test_runpanel.moc"
