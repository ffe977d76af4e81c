// The main window while a program runs: which commands and keys are
// available, closing refused, and Alt+F4 in the debug view.
#include <QMenu>
#include <QTabWidget>

#include "WorkbenchFixture.h"
#include "runtime/Ide.h"

using namespace tarko;

class TestRunState : public QObject {
    Q_OBJECT
private slots:
    void availabilityPerRunState_data();
    void availabilityPerRunState();
    void fileAndEditKeysQuietDuringRun();
    void closeRefusedWhileRunning_data();
    void closeRefusedWhileRunning();
    void altF4InDebugViewClosesIt();
};

void TestRunState::availabilityPerRunState_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("idle") << 1;
    QTest::newRow("single step") << 2;
    QTest::newRow("normal run") << 3;
}

void TestRunState::availabilityPerRunState()
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

void TestRunState::fileAndEditKeysQuietDuringRun()
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

void TestRunState::closeRefusedWhileRunning_data()
{
    QTest::addColumn<int>("state");
    QTest::newRow("single step") << 2;
    QTest::newRow("normal run") << 3;
}

void TestRunState::closeRefusedWhileRunning()
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

// Alt+F4 closes the window that has the focus: in the debug view that is
// the debug view. The menu's other keys still reach the main window.
void TestRunState::altF4InDebugViewClosesIt()
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

QTEST_MAIN(TestRunState)
#include "test_runstate.moc"
