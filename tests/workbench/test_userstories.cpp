// Whole user stories in the workbench: type a program, run it with F9, step
// through it with Ctrl+F9, answer a number input, see a compile error, stop
// a pause with Esc, try to close during a run, meet an arithmetic fault and
// the console's line limit. Actions during a run are timer-driven: they run
// nested inside the run's event processing, as a user's clicks would.
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <functional>

#include "WorkbenchFixture.h"
#include "runtime/Ide.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"
#include "language/Cp1252.h"

using namespace tarko;

namespace {

// Runs each step in turn, `gap` milliseconds apart, from the event loop.
void Script(std::vector<std::function<void()>> steps, int gap = 60)
{
    auto shared = std::make_shared<std::vector<std::function<void()>>>(std::move(steps));
    auto next = std::make_shared<std::function<void(size_t)>>();
    // The step function reaches itself weakly: only the pending timer keeps it
    // alive, so it is freed after the last step.
    std::weak_ptr<std::function<void(size_t)>> self = next;
    *next = [shared, self, gap](size_t i) {
        if (i >= shared->size())
            return;
        (*shared)[i]();
        if (auto me = self.lock())
            QTimer::singleShot(gap, [me, i] { (*me)(i + 1); });
    };
    QTimer::singleShot(gap, [next] { (*next)(0); });
}

QString Console(const TWorkbench& wb)
{
    return QString::fromStdString(Cp1252ToUtf8(wb.form->RunPanel()->ConsoleText()));
}

} // namespace

class TestUserStories : public QObject {
    Q_OBJECT
private slots:
    void typeAndRun();
    void singleStepping();
    void numberInput_data();
    void numberInput();
    void stepRunInputBeforeAnyRun();
    void compileErrorShown();
    void compileErrorAtEndOfProgram_data();
    void compileErrorAtEndOfProgram();
    void escapeStopsPause();
    void closeRefusedDuringRun();
    void faultReportedThenIdle();
    void lineLimitEndsRun();
    void availabilityDuringRuns();
};

void TestUserStories::typeAndRun()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.form->Action("Neu1")->trigger();
    TColorMemo* e = wb.form->CurrentEditor();
    QVERIFY(e->hasFocus());
    QTest::keyClicks(e, QStringLiteral("Ausgabe \"Gr"));
    e->insertPlainText(QStringLiteral("üße"));  // not on the test's key map
    QTest::keyClicks(e, QStringLiteral("\""));
    QTest::keyClick(e, Qt::Key_Return);
    QTest::keyClicks(e, QStringLiteral("Ausgabe 2 + 3"));
    QCOMPARE(wb.form->StatusPanel(1)->text(), QStringLiteral("Geändert"));
    QVERIFY(wb.form->Action("Run1")->isEnabled());

    QString lineDuring;
    QColor colourDuring;
    QString consoleDuring;
    // A pause keeps the run alive long enough to look at it.
    QTest::keyClick(e, Qt::Key_Return);
    QTest::keyClicks(e, QStringLiteral("Pause 0,4"));
    Script({[&] {
        lineDuring = wb.form->MessageLine()->text();
        colourDuring = wb.form->MessageLine()->palette().color(QPalette::Window);
        consoleDuring = Console(wb);
    }}, 150);
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);

    QCOMPARE(lineDuring, QStringLiteral("Programm läuft"));
    QCOMPARE(colourDuring, QColor(0, 128, 0));
    QCOMPARE(consoleDuring, QStringLiteral("Grüße\r\n5 \r\n"));
    QCOMPARE(Console(wb), QStringLiteral("Grüße\r\n5 \r\n"));
    QCOMPARE(wb.form->RunState(), 1);
    QCOMPARE(wb.form->MessageLine()->text(), QString());
    QVERIFY(wb.form->IdeForm()->isHidden());
    QVERIFY(wb.form->CurrentEditor()->isEnabled());
    QTRY_VERIFY(wb.form->CurrentEditor()->hasFocus());
    // A normal run writes nothing into the debug view.
    QCOMPARE(wb.form->IdeForm()->DebugMemo()->toPlainText(), QString());
}

void TestUserStories::singleStepping()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("a <= 1\nb <= a + 1\nAusgabe b"));
    TIdeForm* ide = wb.form->IdeForm();
    bool shown = false, activeIde = false;
    QString line, debugText;
    QColor colour;
    int codeLines[4] = {-1, -1, -1, -1};
    bool runEnabled = true;
    // Executed instructions: one "index: listing" entry each.
    auto codeCount = [&] {
        return int(ide->CodeMemo()->toPlainText().count(QRegularExpression(QStringLiteral("\\d+: "))));
    };
    Script({
        [&] {
            shown = ide->isVisible();
            line = wb.form->MessageLine()->text();
            colour = wb.form->MessageLine()->palette().color(QPalette::Window);
            debugText = ide->DebugMemo()->toPlainText();
            runEnabled = wb.form->Action("Run1")->isEnabled() || wb.form->Action("Run2")->isEnabled();
            ide->activateWindow();
            activeIde = QTest::qWaitForWindowActive(ide);
            codeLines[0] = codeCount();
        },
        // Each Ctrl+F9, pressed in the debug view, executes one instruction.
        [&] { QTest::keyClick(ide, Qt::Key_F9, Qt::ControlModifier); },
        [&] { codeLines[1] = codeCount(); QTest::keyClick(ide, Qt::Key_F9, Qt::ControlModifier); },
        [&] { codeLines[2] = codeCount(); },
        // F9 does nothing while stepping.
        [&] { QTest::keyClick(ide, Qt::Key_F9); },
        [&] { codeLines[3] = codeCount(); QTest::keyClick(ide, Qt::Key_Escape); },
    }, 120);
    wb.Press(Qt::Key_F9, Qt::ControlModifier);
    QVERIFY(!wb.stoppedByWatchdog);
    QVERIFY(shown);
    QVERIFY(activeIde);
    QCOMPARE(line, QStringLiteral("Programmschritt mit F9"));
    QCOMPARE(colour, QColor(255, 0, 255));
    QVERIFY(!runEnabled);
    QVERIFY2(debugText.contains(QStringLiteral("\n----------------\n")), qPrintable(debugText));
    QVERIFY2(debugText.contains(QStringLiteral("Einzelschritt mit <Leertaste>...")), qPrintable(debugText));
    QVERIFY(debugText.contains(QStringLiteral("PUSHC")));
    QVERIFY(codeLines[0] >= 0);
    QCOMPARE(codeLines[1], codeLines[0] + 1);
    QCOMPARE(codeLines[2], codeLines[1] + 1);
    QCOMPARE(codeLines[3], codeLines[2]);
    // Esc in the debug view ended the run: idle, view closed, nothing printed.
    QCOMPARE(wb.form->RunState(), 1);
    QVERIFY(ide->isHidden());
    QCOMPARE(Console(wb), QString());
}

void TestUserStories::numberInput_data()
{
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<QString>("expected");
    QTest::newRow("keypad 1 7 0 C C OK gives 1") << true << "Zahl?1\r\n2 \r\n";
    QTest::newRow("keyboard -0,5 Enter") << false << "Zahl?-0,5\r\n-1 \r\n";
}

void TestUserStories::numberInput()
{
    QFETCH(bool, keypad);
    QFETCH(QString, expected);
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Eingabe \"Zahl?\" x\nAusgabe x * 2"));
    TRunPanel* panel = wb.form->RunPanel();
    QString shownWhileTyping;
    bool okAfterMinus = true;
    std::vector<std::function<void()>> steps;
    if (keypad) {
        for (char k : {'1', '7', '0'})
            steps.push_back([panel, k] { QTest::mouseClick(panel->Key(k), Qt::LeftButton); });
        steps.push_back([&] { shownWhileTyping = Console(wb); });
        for (int i = 0; i < 2; ++i)
            steps.push_back([panel] { QTest::mouseClick(panel->Key('C'), Qt::LeftButton); });
        steps.push_back([panel] { QTest::mouseClick(panel->Key('O'), Qt::LeftButton); });
    } else {
        steps.push_back([&] {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : wb.form.get();
            QTest::keyClick(target, Qt::Key_Minus);
            okAfterMinus = panel->Key('O')->isEnabled();
            QTest::keyClicks(target, QStringLiteral("0,5"));
            shownWhileTyping = Console(wb);
            QTest::keyClick(target, Qt::Key_Return);
        });
    }
    Script(steps, 80);
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);

    QCOMPARE(shownWhileTyping, keypad ? QStringLiteral("Zahl?170") : QStringLiteral("Zahl?-0,5"));
    if (!keypad)
        QVERIFY(!okAfterMinus);
    QCOMPARE(Console(wb), expected);
    QCOMPARE(wb.form->RunState(), 1);
    QVERIFY(!panel->Key('5')->isEnabled());
}

// Single stepping before any normal run: the console was never enabled, yet
// the keypad answers the number input.
void TestUserStories::stepRunInputBeforeAnyRun()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Eingabe x\nAusgabe x + 1"));
    TRunPanel* panel = wb.form->RunPanel();
    int steps = 0;
    bool answered = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (wb.form->RunState() == 1 || steps > 40)
            return;
        if (panel->InputActive() && !answered) {
            for (char k : {'4', '2', 'O'})
                QTest::mouseClick(panel->Key(k), Qt::LeftButton);
            answered = true;
            return;
        }
        ++steps;
        wb.form->Action("Step1")->trigger();
    });
    driver.start(30);
    wb.Press(Qt::Key_F9, Qt::ControlModifier);
    driver.stop();
    QVERIFY(!wb.stoppedByWatchdog);
    QVERIFY(answered);
    QCOMPARE(Console(wb), QStringLiteral("? 42\r\n43 \r\n"));
    QCOMPARE(wb.form->RunState(), 1);
}

void TestUserStories::compileErrorShown()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1\nx <= 2 $ 3\nAusgabe x"));
    e->SetSelStart(0);
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QLabel* l = wb.form->MessageLine();
    QCOMPARE(l->text(), QStringLiteral("Dieses Zeichen ist nicht bekannt. (S2)"));
    QCOMPARE(l->palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(wb.form->RunState(), 1);
    // The caret stands right after the character the scanner stopped at.
    QCOMPARE(e->CaretLine(), 1);
    QCOMPARE(e->CaretColumn(), 8);
    QCOMPARE(wb.form->StatusPanel(0)->text(), QStringLiteral("  2:   9"));
    QTRY_VERIFY(e->hasFocus());
    QCOMPARE(Console(wb), QString());
    // The next successful start clears the message line.
    e->SetWinText("Ausgabe 1");
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(l->text(), QString());
    QCOMPARE(Console(wb), QStringLiteral("1 \r\n"));
}

// A block left open is noticed at the end of the text, on the line after
// the last one: the caret goes to the end of the last line.
void TestUserStories::compileErrorAtEndOfProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::newRow("open Solange, no final line break")
        << QStringLiteral("x <= 1\nSolange x < 3\nAusgabe x") << QStringLiteral("SolangeEnde erwartet") << 2 << 9;
    QTest::newRow("open Falls, final line break")
        << QStringLiteral("x <= 1\nFalls x < 3\nAusgabe x\n") << QStringLiteral("FallsEnde erwartet") << 2 << 9;
    QTest::newRow("error inside the last line keeps its column")
        << QStringLiteral("Ausgabe 1\nPause") << QStringLiteral("Variable, Zahl oder ( erwartet") << 1 << 5;
}

void TestUserStories::compileErrorAtEndOfProgram()
{
    QFETCH(QString, program);
    QFETCH(QString, message);
    QFETCH(int, line);
    QFETCH(int, column);
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), program);
    e->SetSelStart(0);
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(wb.form->MessageLine()->text(), message);
    QCOMPARE(e->CaretLine(), line);
    QCOMPARE(e->CaretColumn(), column);
}

void TestUserStories::escapeStopsPause()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe \"vor\"\nPause 10\nAusgabe \"nach\""));
    QElapsedTimer clock;
    qint64 escAt = -1;
    Script({[&] {
        escAt = clock.nsecsElapsed();
        QTest::keyClick(wb.form.get(), Qt::Key_Escape);
    }}, 300);
    clock.start();
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    const qint64 end = clock.nsecsElapsed();
    QVERIFY(escAt > 0);
    const double latencyMs = (end - escAt) / 1e6;
    qInfo("stop latency during Pause: %.2f ms", latencyMs);
    // Far below the pause's ten seconds: Esc ended the wait, not its end.
    QVERIFY2(latencyMs < 2000, qPrintable(QString::number(latencyMs)));
    QCOMPARE(Console(wb), QStringLiteral("vor\r\n"));
    QCOMPARE(wb.form->RunState(), 1);
    QCOMPARE(wb.form->MessageLine()->text(), QString());
}

void TestUserStories::closeRefusedDuringRun()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Pause 10\nAusgabe \"weiter\""));
    bool closed = true;
    int stateAfterRefusal = 0;
    Script({
        [&] { closed = wb.form->close(); },
        [&] {
            stateAfterRefusal = wb.form->RunState();
            wb.form->Action("Break2")->trigger();
        },
    }, 150);
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QVERIFY(!closed);
    QCOMPARE(stateAfterRefusal, 3);
    QVERIFY(wb.form->isVisible());
    QCOMPARE(wb.dialogs->shown.size(), size_t(1));
    QCOMPARE(wb.dialogs->shown[0].kind, QStringLiteral("Tarko"));
    QCOMPARE(wb.dialogs->shown[0].text,
             QStringLiteral("Das laufende Programm muss erst mit dem Stopp-Knopf oder der Esc-Taste beendet werden!"));
    QCOMPARE(wb.form->RunState(), 1);
    QVERIFY(wb.form->close());
}

void TestUserStories::faultReportedThenIdle()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe \"a\"\nx <= 1 : 0\nAusgabe \"b\""));
    int stateWhileShown = 0;
    wb.dialogs->onShow = [&](const TScriptedDialogs::TShown&) { stateWhileShown = wb.form->RunState(); };
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(wb.dialogs->Count("Fehler"), 1);
    QCOMPARE(wb.dialogs->shown.back().text, QStringLiteral("Gleitkommadivision durch Null"));
    QVERIFY(stateWhileShown != 0);
    QCOMPARE(wb.form->RunState(), 1);
    QCOMPARE(wb.form->MessageLine()->text(), QString());
    QVERIFY(wb.form->Action("Run1")->isEnabled());
    QVERIFY(!wb.form->Action("Break1")->isEnabled());
    QCOMPARE(Console(wb), QStringLiteral("a\r\n"));
}

void TestUserStories::lineLimitEndsRun()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"),
              QStringLiteral("i <= 0\nWiederhole\n\ti <= i + 1\n\tAusgabe i\nBis i = 5000"));
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    const QString text = Console(wb);
    // The break after 999 would make the 999th displayed line complete.
    QVERIFY2(text.endsWith(QStringLiteral("998 \r\n999 \r\nProgrammabbruch\r\nZuviele Zeilen\r\n")),
             qPrintable(text.right(60)));
    QVERIFY(!text.contains(QStringLiteral("1000 ")));
    QCOMPARE(wb.form->RunPanel()->DisplayedLineCount(), 1001);
    QCOMPARE(wb.form->RunState(), 1);
    QCOMPARE(wb.form->MessageLine()->text(), QString());
}

void TestUserStories::availabilityDuringRuns()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Pause 10"));
    struct Seen {
        bool datei, bearbeiten, run, step, brk, brk2, tabs, editor, hilfe, neu2;
    } seen{};
    int nestedRuns = 0;
    Script({
        [&] {
            seen = {wb.form->Menu("Datei1")->menuAction()->isEnabled(),
                    wb.form->Menu("Bearbeiten1")->menuAction()->isEnabled(),
                    wb.form->Action("Run1")->isEnabled(), wb.form->Action("Step1")->isEnabled(),
                    wb.form->Action("Break1")->isEnabled(), wb.form->Action("Break2")->isEnabled(),
                    wb.form->TabControl()->isEnabled(), wb.form->CurrentEditor()->isEnabled(),
                    wb.form->Menu("Hilfe1")->menuAction()->isEnabled(), wb.form->Action("Neu2")->isEnabled()};
            // A second Run while running returns at once.
            QElapsedTimer t;
            t.start();
            wb.form->Run1Click();
            nestedRuns = t.elapsed() < 1000 ? 0 : 1;
            QTest::keyClick(wb.form.get(), Qt::Key_F9, Qt::ControlModifier);  // Step1 off in a normal run
        },
        [&] { QTest::keyClick(wb.form.get(), Qt::Key_Escape); },
    }, 150);
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QVERIFY(!seen.datei && !seen.bearbeiten && !seen.run && !seen.step && !seen.tabs && !seen.editor && !seen.neu2);
    QVERIFY(seen.brk && seen.brk2 && seen.hilfe);
    QCOMPARE(nestedRuns, 0);
    QVERIFY(wb.form->IdeForm()->isHidden());
    // Back to idle: Stop off, Run and Step on.
    QVERIFY(!wb.form->Action("Break1")->isEnabled());
    QVERIFY(wb.form->Action("Run1")->isEnabled());
    QVERIFY(wb.form->Action("Step1")->isEnabled());
    QVERIFY(wb.form->Menu("Datei1")->menuAction()->isEnabled());
}

QTEST_MAIN(TestUserStories)
#include "test_userstories.moc"
