// What the workbench shows beyond running a program: the line a single step
// runs next, the line a run-time fault happened in, the hint in the empty
// window, and keeping the picture and the output of a run.
#include <QAction>
#include <QContextMenuEvent>
#include <QPushButton>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include "WorkbenchFixture.h"
#include "runtime/Canvas.h"
#include "runtime/Ide.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"

using namespace tarko;

class TestClassroom : public QObject {
    Q_OBJECT
private slots:
    void stepMarksTheNextStatementsLine();
    void faultPutsCaretAndMarkOnItsLine_data();
    void faultPutsCaretAndMarkOnItsLine();
    void faultMarkGoesWithTheNextEditOrRun();
    void emptyWindowShowsHowToBegin();
    void screenMenuKeepsPictureAndOutput();
    void screenMenuWaitsForTheRunToEnd();
    void screenMenuOpensOnTheScreenOnly();
};

namespace {

// The marked line of the editor and the caret's line, as the user sees them.
QString MarkAndCaret(TColorMemo* e)
{
    return QStringLiteral("mark %1, caret %2:%3").arg(e->MarkedLine()).arg(e->CaretLine()).arg(e->CaretColumn());
}

} // namespace

// Every step marks the line of the instruction it waits on; the mark is gone
// when the run ends, and the marked line is scrolled into view.
void TestClassroom::stepMarksTheNextStatementsLine()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    QString text = QStringLiteral("i <= 0\nWiederhole\n  i <= i + 1\nBis i = 2\n");
    for (int k = 0; k < 60; ++k)
        text += QStringLiteral("/ Zeile zum Bl\u00E4ttern\n");
    text += QStringLiteral("Ausgabe i");
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), text);

    QList<int> marks;   // the marked line at each step, duplicates folded
    int firstVisibleAtEnd = -1;
    int steps = 0;
    QTimer stepper;
    stepper.setInterval(0);
    connect(&stepper, &QTimer::timeout, [&] {
        // one step per instruction shown in the debug view's code list
        const int shown = wb.form->IdeForm()->CodeMemo()->blockCount();
        if (wb.form->RunState() != 2 || shown == steps)
            return;
        steps = shown;
        if (marks.isEmpty() || marks.last() != e->MarkedLine())
            marks << e->MarkedLine();
        if (e->MarkedLine() == 64)
            firstVisibleAtEnd = e->cursorForPosition(QPoint(2, 2)).blockNumber();
        wb.form->Step1Click();
    });
    stepper.start();
    wb.Press(Qt::Key_F9, Qt::ControlModifier);
    stepper.stop();
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(marks, (QList<int>{0, 2, 3, 2, 3, 64, -1}));   // -1: the final HALT
    QVERIFY2(firstVisibleAtEnd > 0 && firstVisibleAtEnd <= 64, qPrintable(QString::number(firstVisibleAtEnd)));
    QCOMPARE(e->MarkedLine(), -1);
    QCOMPARE(wb.form->RunState(), 1);
}

void TestClassroom::faultPutsCaretAndMarkOnItsLine_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("line");

    QTest::newRow("division by zero in an assignment")
        << "Ausgabe \"a\"\n  x <= 1 : 0\nAusgabe \"b\"" << "Gleitkommadivision durch Null" << 1;
    QTest::newRow("zero by zero inside a loop")
        << "i <= 3\nSolange i > -1\n  i <= i - 1\n  Ausgabe i * 0 : 0\nSolangeende"
        << "Ung\u00FCltige Gleitkommaoperation" << 3;
    QTest::newRow("overflow in a Bis condition")
        << "x <= 10\nWiederhole\n  x <= x * x\nBis x * x < 0" << "Gleitkomma\u00FCberlauf" << 3;
}

// The box keeps its text; when it is closed the caret stands at the start of
// the faulting line and that line is marked.
void TestClassroom::faultPutsCaretAndMarkOnItsLine()
{
    QFETCH(QString, program);
    QFETCH(QString, message);
    QFETCH(int, line);
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), program);
    e->SetCaretLine(0);
    QString whileShown;
    wb.dialogs->onShow = [&](const TScriptedDialogs::TShown&) { whileShown = MarkAndCaret(e); };
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(wb.dialogs->Count("Fehler"), 1);
    QCOMPARE(wb.dialogs->shown.back().text, message);
    QCOMPARE(whileShown, QStringLiteral("mark -1, caret 0:0"));   // nothing moves before the box is closed
    QCOMPARE(MarkAndCaret(e), QStringLiteral("mark %1, caret %1:0").arg(line));
    QCOMPARE(wb.form->RunState(), 1);
}

void TestClassroom::faultMarkGoesWithTheNextEditOrRun()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("x <= 0\nAusgabe 1 : x"));
    wb.Press(Qt::Key_F9);
    QCOMPARE(e->MarkedLine(), 1);
    QCOMPARE(e->extraSelections().size(), 1);

    // moving the caret keeps the mark, typing removes it
    QTest::keyClick(e, Qt::Key_Up);
    QCOMPARE(e->MarkedLine(), 1);
    QTest::keyClick(e, Qt::Key_Space);
    QCOMPARE(e->MarkedLine(), -1);
    QVERIFY(e->extraSelections().isEmpty());

    // the next run removes it: a single step marks its own line instead
    wb.Press(Qt::Key_F9);
    QCOMPARE(e->MarkedLine(), 1);
    int markedAtFirstStep = -2;
    QTimer::singleShot(100, [&] {
        markedAtFirstStep = e->MarkedLine();
        wb.form->Break1Click();
    });
    wb.Press(Qt::Key_F9, Qt::ControlModifier);
    QCOMPARE(markedAtFirstStep, 0);
    QCOMPARE(e->MarkedLine(), -1);
    QCOMPARE(wb.dialogs->Count("Fehler"), 2);
}

// Two lines where the tabs would be, only while no tab is open.
void TestClassroom::emptyWindowShowsHowToBegin()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    QLabel* hint = wb.form->EmptyHint();
    QVERIFY(hint->isVisible());
    QCOMPARE(hint->text(), QStringLiteral("Neues Programm: Datei \u2192 Neu (Strg+N)\n"
                                          "Vier Beispiele: Datei \u2192 Beispielprogramm \u00F6ffnen"));
    QVERIFY(wb.form->EditPanel()->rect().contains(hint->geometry()));

    wb.Press(Qt::Key_N, Qt::ControlModifier);
    QVERIFY(wb.form->TabControl()->isVisible());
    QVERIFY(!hint->isVisible());
    QVERIFY(wb.form->CloseCurrentTab());
    QVERIFY(!wb.form->TabControl()->isVisible());
    QVERIFY(hint->isVisible());
}

// "Bild speichern unter..." writes the canvas as a 200 x 200 PNG named after
// the program; "Ausgabe kopieren" puts the console text on the clipboard.
void TestClassroom::screenMenuKeepsPictureAndOutput()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    QTemporaryDir dir;
    wb.form->OpenTab(dir.filePath(QStringLiteral("Koordinatensystem.trk")));
    wb.form->CurrentEditor()->setPlainText(
        QStringLiteral("Ausgabe \"Hallo\" 42\nAusgabe \"Welt\"\nRot\nRechteck (-1; 1) (1; -1)"));
    wb.Press(Qt::Key_F9);
    QCOMPARE(wb.form->RunState(), 1);

    const QList<QAction*> items = wb.form->ScreenMenu()->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0]->text(), QStringLiteral("Bild speichern unter..."));
    QCOMPARE(items[1]->text(), QStringLiteral("Ausgabe kopieren"));

    const QString picture = dir.filePath(QStringLiteral("bild.png"));
    wb.dialogs->fileNames.push_back(picture);
    items[0]->trigger();
    QCOMPARE(wb.dialogs->shown.back().kind, QStringLiteral("Bild speichern unter"));
    QCOMPARE(wb.dialogs->shown.back().text, dir.filePath(QStringLiteral("Koordinatensystem.png")));
    QImage saved(picture);
    QCOMPARE(saved.size(), QSize(200, 200));
    QCOMPARE(saved.pixelColor(100, 100), QColor(Qt::red));
    QCOMPARE(saved.pixelColor(10, 10), QColor(Qt::black));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
             wb.form->RunPanel()->PanelCanvas().image().convertToFormat(QImage::Format_RGB32));

    // a cancelled dialog writes nothing; a folder that cannot be written says so
    QFile::remove(picture);
    items[0]->trigger();
    QVERIFY(!QFile::exists(picture));
    wb.dialogs->fileNames.push_back(dir.filePath(QStringLiteral("fehlt/bild.png")));
    items[0]->trigger();
    QCOMPARE(wb.dialogs->shown.back().kind, QStringLiteral("Fehler"));
    QVERIFY(wb.dialogs->shown.back().text.contains(QStringLiteral("fehlt/bild.png")));

    QGuiApplication::clipboard()->clear();
    items[1]->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Hallo42 \nWelt\n"));
}

// Both commands are disabled while a program runs and come back afterwards.
void TestClassroom::screenMenuWaitsForTheRunToEnd()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1\nPause 10"));
    QList<bool> enabledDuringRun;
    QTimer::singleShot(200, [&] {
        for (QAction* a : wb.form->ScreenMenu()->actions())
            enabledDuringRun << a->isEnabled();
        wb.form->Break1Click();
    });
    wb.Press(Qt::Key_F9);
    QCOMPARE(enabledDuringRun, (QList<bool>{false, false}));
    for (QAction* a : wb.form->ScreenMenu()->actions())
        QVERIFY(a->isEnabled());
}

// A right click on the console (still disabled before the first run) or on
// the image opens the menu; elsewhere on the device nothing opens.
void TestClassroom::screenMenuOpensOnTheScreenOnly()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    TRunPanel* panel = wb.form->RunPanel();
    QMenu* menu = wb.form->ScreenMenu();
    auto rightClick = [](QWidget* w, QPoint at) {
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, w->mapToGlobal(at));
        QApplication::sendEvent(w, &e);
    };
    QVERIFY(!panel->RunMemo()->isEnabled());
    rightClick(panel->RunMemo()->viewport(), QPoint(20, 20));
    QVERIFY(menu->isVisible());
    menu->hide();

    panel->ShowGraphics();
    rightClick(panel->RunImage(), QPoint(150, 150));
    QVERIFY(menu->isVisible());
    menu->hide();

    rightClick(panel->Key('5'), QPoint(2, 2));
    QVERIFY(!menu->isVisible());
}

QTEST_MAIN(TestClassroom)
#include "test_classroom.moc"
