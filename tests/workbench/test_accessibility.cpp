// What a screen reader learns about the workbench, read through Qt's own
// accessibility interfaces, and keyboard-only use of the keypad.
#include <QAccessible>
#include <QDialog>
#include <QPlainTextEdit>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QWheelEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "WorkbenchFixture.h"
#include "language/Cp1252.h"
#include "runtime/Ide.h"
#include "runtime/RunPanel.h"
#include "workbench/Accessible.h"
#include "workbench/Option.h"

using namespace tarko;

namespace {

QString NameOf(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<keine Schnittstelle>");
}

// Controls a user can reach, by role, whose accessible name says nothing:
// empty, without a letter ("..."), or the same as another control's of the
// window (a field named after its group box's title, like its tab). The
// tree is walked through the accessibility interfaces alone, as a screen
// reader walks it. Hidden controls count as well (they show up later).
void CollectUnnamed(QAccessibleInterface* iface, const QString& path, QStringList& unnamed,
                    QHash<QString, QString>& controlByName)
{
    static const QList<QAccessible::Role> reachable = {
        QAccessible::PushButton, QAccessible::CheckBox,  QAccessible::RadioButton,
        QAccessible::EditableText, QAccessible::List,    QAccessible::PageTab,
        QAccessible::ComboBox,   QAccessible::SpinBox,   QAccessible::Graphic,
        QAccessible::ButtonMenu, QAccessible::ToolBar,   QAccessible::StatusBar,
        QAccessible::StaticText,
    };
    const QAccessible::Role role = iface->role();
    const QString here = path + u'/' + (iface->object() ? iface->object()->objectName() : QString())
                         + u'[' + QString::number(role, 16) + u']';
    static const QList<QAccessible::Role> controls = {
        QAccessible::PushButton, QAccessible::CheckBox, QAccessible::EditableText,
        QAccessible::List,       QAccessible::PageTab,  QAccessible::ComboBox,
    };
    const QString name = iface->text(QAccessible::Name).trimmed();
    const bool focusable = iface->state().focusable;
    // List items are content (the root folder is "/"), scroll bars are the toolkit's.
    if ((focusable || reachable.contains(role)) && role != QAccessible::ScrollBar
        && role != QAccessible::ListItem) {
        if (!name.contains(QRegularExpression(QStringLiteral("\\p{L}"))))
            unnamed << here + QStringLiteral(" \"%1\"").arg(name);
        else if (controls.contains(role) && controlByName.contains(name))
            unnamed << here + QStringLiteral(" \"%1\" wie ").arg(name) + controlByName.value(name);
        else if (controls.contains(role))
            controlByName.insert(name, here);
    }
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface* child = iface->child(i))
            CollectUnnamed(child, here, unnamed, controlByName);
}

QStringList UnnamedIn(QWidget* window)
{
    QStringList unnamed;
    QHash<QString, QString> controlByName;
    CollectUnnamed(QAccessible::queryAccessibleInterface(window), window->objectName(), unnamed,
                   controlByName);
    return unnamed;
}

QString Console(const TWorkbench& wb)
{
    return QString::fromStdString(Cp1252ToUtf8(wb.form->RunPanel()->ConsoleText()));
}

QString FocusName()
{
    QWidget* f = QApplication::focusWidget();
    return f ? f->objectName() : QStringLiteral("<keiner>");
}

// The objects the keyboard focus moves to while recording.
struct FocusPath {
    QStringList path;
    QMetaObject::Connection connection;
    FocusPath()
    {
        connection = QObject::connect(qApp, &QApplication::focusChanged, [this](QWidget*, QWidget* now) {
            path << (now ? now->objectName() : QStringLiteral("<keiner>"));
        });
    }
    ~FocusPath() { QObject::disconnect(connection); }
};

// Nodes a screen reader would misread: a name or description with blanks at
// either end, a frame or window role below the top level, an unnamed child
// of the status bar.
void CollectMisread(QAccessibleInterface* iface, const QString& path, bool top, QStringList& misread)
{
    const QAccessible::Role role = iface->role();
    const QString here = path + u'/' + (iface->object() ? iface->object()->objectName() : QString()) + u'['
                         + QString::number(role, 16) + u']';
    for (QAccessible::Text t : {QAccessible::Name, QAccessible::Description}) {
        const QString text = iface->text(t);
        if (text != text.trimmed())
            misread << here + QStringLiteral(" \"%1\"").arg(text);
    }
    if (!top && (role == QAccessible::Border || role == QAccessible::Window))
        misread << here + QStringLiteral(" a window inside a window");
    if (iface->parent() && iface->parent()->role() == QAccessible::StatusBar
        && iface->text(QAccessible::Name).trimmed().isEmpty())
        misread << here + QStringLiteral(" unnamed in the status bar");
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface* child = iface->child(i))
            CollectMisread(child, here, false, misread);
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void deviceAndToolBarNamed_data();
    void deviceAndToolBarNamed();
    void everyReachableControlNamed();
    void editorsNamedAfterTheirTabs();
    void labelsSayWhatTheyShow_data();
    void labelsSayWhatTheyShow();
    void messageLineReadAfterCompileError();
    void keypadWithoutMouse();
    void keypadClickLeavesFocusOnConsole();
    void ctrlTabSwitchesPrograms();
    void tabBarStaysOnOpenPrograms();
    void compileErrorToldBesideTheFocus();
    void outputToldOnceTheFocusIsBack_data();
    void outputToldOnceTheFocusIsBack();
    void emptyWindowFocusesTheHint();
    void readOnlyViewsReadByKeyboard_data();
    void readOnlyViewsReadByKeyboard();
    void stepsAndStopTold();
    void rolesAndNamesWithoutPadding();
};

// The keys a pupil presses and the buttons of the tool bar are named in
// German, while their visible captions stay the device's own.
void TestAccessibility::deviceAndToolBarNamed_data()
{
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");   // visible text; "*" for tool buttons (pictures only)
    for (char c = '0'; c <= '9'; ++c)
        QTest::addRow("key %c", c) << QStringLiteral("B%1").arg(c) << QStringLiteral("Taste %1").arg(c)
                                   << QString(QChar(c));
    QTest::newRow("key C") << "BC" << "Taste C" << "C";
    QTest::newRow("key OK") << "BOK" << "Taste OK" << "OK";
    QTest::newRow("key minus") << "BM" << "Taste Minus" << "-";
    QTest::newRow("key comma") << "BK" << "Taste Komma" << ",";
    QTest::newRow("console") << "RunMemo" << "Ausgabe des Programms" << "";
    QTest::newRow("graphics screen") << "RunImage" << "Grafikbildschirm" << "";
    const char* const tools[][2] = {
        {"Neu2", "Neue Datei"},        {"Oeffnen2", "Datei öffnen"},  {"Speichern2", "Datei speichern"},
        {"Drucken2", "Datei drucken"}, {"Ausschneiden2", "Ausschneiden"}, {"Kopieren2", "Kopieren"},
        {"Einfuegen2", "Einfügen"},    {"Suchen2", "Suchen"},          {"Ersetzen2", "Ersetzen"},
        {"Run2", "Programm starten"},  {"Break2", "Stop"},             {"Hilfe2", "Hilfe zum Programm"},
    };
    for (const auto& t : tools)
        QTest::addRow("tool button %s", t[0]) << t[0] << QString::fromUtf8(t[1]) << "*";
}

void TestAccessibility::deviceAndToolBarNamed()
{
    QFETCH(QString, component);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    TWorkbench wb;
    QWidget* w = wb.form->findChild<QWidget*>(component);
    QVERIFY(w);
    QCOMPARE(NameOf(w), name);
    QVERIFY(!QAccessible::queryAccessibleInterface(w)->text(QAccessible::Description).isEmpty());
    if (component == u"RunImage")
        QCOMPARE(QAccessible::queryAccessibleInterface(w)->role(), QAccessible::Graphic);
    if (auto* key = qobject_cast<QPushButton*>(w))
        QCOMPARE(key->text(), caption);
    if (auto* tool = qobject_cast<QToolButton*>(w)) {
        QCOMPARE(tool->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QVERIFY(!tool->icon().isNull());
    }
}

// Every window and dialog of the workbench, shown as the user would see it.
void TestAccessibility::everyReachableControlNamed()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Quadrat.trk"), QStringLiteral("Ausgabe 1"));
    QStringList unnamed = UnnamedIn(wb.form.get());

    wb.form->Suchen1Click();
    wb.form->Ersetzen1Click();
    for (QDialog* d : {wb.form->FindDialog(), wb.form->ReplaceDialog()}) {
        QVERIFY(d && d->isVisible());
        unnamed += UnnamedIn(d);
        d->close();
    }
    TOptionForm* options = wb.form->OptionForm();
    options->show();
    for (int page = 0; page < options->Pages()->count(); ++page) {
        options->findChild<QTabWidget*>(QStringLiteral("PC_Option"))->setCurrentIndex(page);
        unnamed += UnnamedIn(options);
    }
    QDialog* folders = options->findChild<QDialog*>(QStringLiteral("DirListForm"));
    QVERIFY(folders);
    folders->show();
    unnamed += UnnamedIn(folders);
    folders->hide();
    options->hide();
    wb.form->IdeForm()->show();
    unnamed += UnnamedIn(wb.form->IdeForm());
    wb.form->IdeForm()->hide();
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u'\n')));
}

// An editor is read out with the caption of its tab, also after the tab
// was opened, renamed by Speichern unter, or moved by closing another.
void TestAccessibility::editorsNamedAfterTheirTabs()
{
    QTemporaryDir dir;
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Quadrat.trk"), QStringLiteral("Ausgabe 1"));
    wb.NewTab(QStringLiteral("Kreise.trk"), QStringLiteral("Ausgabe 2"));
    QCOMPARE(NameOf(wb.form->EditorAt(0)), QStringLiteral("Programmtext: Quadrat"));
    QCOMPARE(NameOf(wb.form->EditorAt(1)), QStringLiteral("Programmtext: Kreise"));

    wb.dialogs->fileNames.push_back(dir.filePath(QStringLiteral("Sonne.trk")));
    QVERIFY(wb.form->SaveProgramAs());
    QCOMPARE(NameOf(wb.form->EditorAt(1)), QStringLiteral("Programmtext: Sonne"));

    wb.form->TabControl()->setCurrentIndex(0);
    QVERIFY(wb.form->CloseCurrentTab());
    QCOMPARE(NameOf(wb.form->EditorAt(0)), QStringLiteral("Programmtext: Sonne"));
    QCOMPARE(wb.form->TabControl()->tabText(0), QStringLiteral("Sonne"));
}

// The message line and the status panels: what they are, then what they show.
void TestAccessibility::labelsSayWhatTheyShow_data()
{
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::newRow("empty message line") << "L_Meldung" << "" << "Meldungszeile";
    QTest::newRow("running") << "L_Meldung" << "Programm läuft" << "Meldungszeile: Programm läuft";
    QTest::newRow("caret, padded") << "StatusPanel0" << "  3:  12" << "Schreibmarke: Zeile 3, Spalte 12";
    QTest::newRow("caret, wide numbers") << "StatusPanel0" << "1234: 5678"
                                         << "Schreibmarke: Zeile 1234, Spalte 5678";
    QTest::newRow("caret, other text") << "StatusPanel0" << "x" << "Schreibmarke: x";
    QTest::newRow("changed") << "StatusPanel1" << "Geändert" << "Änderungen: Geändert";
    QTest::newRow("unchanged") << "StatusPanel1" << "" << "Änderungen";
    QTest::newRow("saved") << "StatusPanel2" << "Fertig" << "Speichern: Fertig";
    QTest::newRow("not a described label") << "L_Version" << "Version" << "";
}

void TestAccessibility::labelsSayWhatTheyShow()
{
    QFETCH(QString, component);
    QFETCH(QString, text);
    QFETCH(QString, name);
    QCOMPARE(LabelAccessibleName(component, text), name);
}

// After a compile error the message line reads the error; its visible text
// is the message alone.
void TestAccessibility::messageLineReadAfterCompileError()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Pause"));
    QCOMPARE(NameOf(wb.form->MessageLine()), QStringLiteral("Meldungszeile"));
    wb.Press(Qt::Key_F9);
    QCOMPARE(wb.form->MessageLine()->text(), QStringLiteral("Variable, Zahl oder ( erwartet"));
    QCOMPARE(NameOf(wb.form->MessageLine()), QStringLiteral("Meldungszeile: Variable, Zahl oder ( erwartet"));
    QCOMPARE(NameOf(wb.form->StatusPanel(0)), QStringLiteral("Schreibmarke: Zeile 1, Spalte 6"));
}

// During a number input Tab leads from the console to the keys in the order
// they sit on the device; Space presses the focused key, which keeps the
// focus, so the next key is one Tab further.
void TestAccessibility::keypadWithoutMouse()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Eingabe x\nAusgabe x * 2"));
    TRunPanel* panel = wb.form->RunPanel();
    QStringList focusPath;
    bool answered = false;
    auto focusName = [] {
        QWidget* f = QApplication::focusWidget();
        return f ? f->objectName() : QStringLiteral("<keiner>");
    };
    auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), k, m);
    };
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!panel->InputActive() || answered)
            return;
        answered = true;
        focusPath << focusName();
        key(Qt::Key_Tab);
        focusPath << focusName();
        key(Qt::Key_Space);             // 1
        key(Qt::Key_Tab);
        key(Qt::Key_Space);             // 2
        focusPath << focusName();
        key(Qt::Key_Backtab, Qt::ShiftModifier);
        key(Qt::Key_Backtab, Qt::ShiftModifier);
        focusPath << focusName();       // back on the console
        for (int i = 0; i < 12; ++i)    // 1 2 3 4 5 6 7 8 9 0 C OK
            key(Qt::Key_Tab);
        focusPath << focusName();
        key(Qt::Key_Space);
    });
    driver.start(30);
    wb.Press(Qt::Key_F9);
    driver.stop();
    QVERIFY(!wb.stoppedByWatchdog);
    QVERIFY(answered);
    QCOMPARE(focusPath, QStringList({"RunMemo", "B1", "B2", "RunMemo", "BOK"}));
    QCOMPARE(Console(wb), QStringLiteral("? 12\r\n24 \r\n"));
    // After the run the keys are disabled again and out of the Tab chain.
    QVERIFY(!panel->Key('1')->isEnabled());
    QVERIFY(wb.form->CurrentEditor()->hasFocus());
}

// With the mouse nothing changes: a clicked key does not take the focus,
// the console keeps it with the caret after the typed digits.
void TestAccessibility::keypadClickLeavesFocusOnConsole()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Eingabe x\nAusgabe x"));
    TRunPanel* panel = wb.form->RunPanel();
    QString focusAfterClick;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!panel->InputActive() || !focusAfterClick.isEmpty())
            return;
        QTest::mouseClick(panel->Key('7'), Qt::LeftButton);
        focusAfterClick = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "-";
        QTest::mouseClick(panel->Key('O'), Qt::LeftButton);
    });
    driver.start(30);
    wb.Press(Qt::Key_F9);
    driver.stop();
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(focusAfterClick, QStringLiteral("RunMemo"));
    QCOMPARE(Console(wb), QStringLiteral("? 7\r\n7 \r\n"));
}

// Tab is text in the editors; Ctrl+Tab and Ctrl+Shift+Tab move between the
// open programs only, never onto a closed tab, and the editor takes the focus.
void TestAccessibility::ctrlTabSwitchesPrograms()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Quadrat.trk"), QStringLiteral("Ausgabe 1"));
    wb.NewTab(QStringLiteral("Kreise.trk"), QStringLiteral("Ausgabe 2"));
    wb.form->CurrentEditor()->setFocus();
    QStringList titles;
    auto press = [&](Qt::Key k, Qt::KeyboardModifiers m) {
        QTest::keyClick(QApplication::focusWidget(), k, m);
        titles << wb.form->windowTitle().mid(8);
        QVERIFY(wb.form->CurrentEditor()->hasFocus());
    };
    press(Qt::Key_Tab, Qt::ControlModifier);
    press(Qt::Key_Tab, Qt::ControlModifier);
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(titles, QStringList({"Quadrat", "Kreise", "Quadrat", "Kreise"}));
    QCOMPARE(wb.form->CurrentEditor()->toPlainText(), QStringLiteral("Ausgabe 2"));
    QCOMPARE(wb.form->LastTab(), 1);
}

// Shift+Tab leads from the editor to the tab bar; there the arrow keys and
// the mouse wheel step through the open programs and stop at the last one
// instead of showing a closed tab's stale editor.
void TestAccessibility::tabBarStaysOnOpenPrograms()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Quadrat.trk"), QStringLiteral("Ausgabe 1"));
    wb.NewTab(QStringLiteral("Kreise.trk"), QStringLiteral("Ausgabe 2"));
    wb.form->CurrentEditor()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTabBar* bar = wb.form->TabControl()->tabBar();
    QCOMPARE(QApplication::focusWidget(), bar);
    QStringList titles;
    auto note = [&] { titles << wb.form->windowTitle().mid(8); };
    QTest::keyClick(bar, Qt::Key_Right);
    note();
    QTest::keyClick(bar, Qt::Key_Left);
    note();
    QTest::keyClick(bar, Qt::Key_Left);
    note();
    auto wheel = [&](int dy) {
        const QPointF at(bar->tabRect(0).center());
        QWheelEvent turn(at, bar->mapToGlobal(at), QPoint(), QPoint(0, dy), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &turn);
        note();
    };
    wheel(-120);
    wheel(-120);
    wheel(120);
    QCOMPARE(titles, QStringList({"Kreise", "Quadrat", "Quadrat", "Kreise", "Kreise", "Quadrat"}));
    QVERIFY(wb.form->CurrentTabIndex() <= wb.form->LastTab());
}

// A compile error is told to the screen reader with its place while the
// focus stays on the editor with the caret at the error; the message line
// shows the message alone and stays red.
void TestAccessibility::compileErrorToldBesideTheFocus()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1\nPause"));
    QWidget* announcer = wb.form->findChild<QWidget*>(QStringLiteral("Ansage"));
    QVERIFY(announcer);
    QCOMPARE(QAccessible::queryAccessibleInterface(announcer)->role(), QAccessible::Notification);
    QCOMPARE(announcer->size(), QSize(0, 0));
    FocusPath focus;
    wb.Press(Qt::Key_F9);
    QCOMPARE(NameOf(announcer), QStringLiteral("Zeile 2, Spalte 6: Variable, Zahl oder ( erwartet"));
    QCOMPARE(wb.form->MessageLine()->text(), QStringLiteral("Variable, Zahl oder ( erwartet"));
    QCOMPARE(FocusName(), QStringLiteral("CMemo1"));
    QCOMPARE(focus.path, QStringList());
    QCOMPARE(NameOf(wb.form->StatusPanel(0)), QStringLiteral("Schreibmarke: Zeile 2, Spalte 6"));
    QCOMPARE(wb.form->MessageLine()->palette().color(QPalette::Window), QColor(255, 0, 0));
}

// The output is told in batches, each after the focus has settled: the
// question once the console has the focus for the answer, the rest once
// the editor has it back. Confirming the number moves the focus from the
// OK key straight to the console, never through the keys being disabled.
void TestAccessibility::outputToldOnceTheFocusIsBack_data()
{
    QTest::addColumn<bool>("byTabAndSpace");
    QTest::addColumn<QStringList>("focusAfterConfirming");
    QTest::newRow("OK reached with Tab, Space") << true << QStringList{"RunMemo", "CMemo1"};
    QTest::newRow("Enter on the keyboard") << false << QStringList{"BOK", "RunMemo", "CMemo1"};
}

void TestAccessibility::outputToldOnceTheFocusIsBack()
{
    QFETCH(bool, byTabAndSpace);
    QFETCH(QStringList, focusAfterConfirming);
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"),
              QStringLiteral("Ausgabe \"Hallo!\"\nEingabe \"Wie alt bist du? \" Alter\n"
                             "Ausgabe \"In zehn Jahren bist du \" Alter + 10"));
    TRunPanel* panel = wb.form->RunPanel();
    QStringList told;
    const auto announce = panel->announce;
    panel->announce = [&](const QString& text) {
        told << FocusName() + u':' + text;
        announce(text);
    };
    std::unique_ptr<FocusPath> focus;
    bool answered = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!panel->InputActive() || answered)
            return;
        answered = true;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
        if (byTabAndSpace) {
            for (int i = 0; i < 12; ++i)   // 1 2 3 4 5 6 7 8 9 0 C OK
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(FocusName(), QStringLiteral("BOK"));
            focus = std::make_unique<FocusPath>();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        } else {
            focus = std::make_unique<FocusPath>();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
    });
    driver.start(30);
    wb.Press(Qt::Key_F9);
    driver.stop();
    QVERIFY(!wb.stoppedByWatchdog);
    QVERIFY(answered && focus);
    QCOMPARE(focus->path, focusAfterConfirming);
    QCOMPARE(told, QStringList({"RunMemo:Hallo!\nWie alt bist du?", "CMemo1:In zehn Jahren bist du 22"}));
    QCOMPARE(NameOf(wb.form->findChild<QWidget*>(QStringLiteral("Ansage"))),
             QStringLiteral("In zehn Jahren bist du 22"));
}

// With no program open the hint has the focus: at start and after closing
// the last tab, with no stop on the tab bar on the way in or out.
void TestAccessibility::emptyWindowFocusesTheHint()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    QCOMPARE(FocusName(), QStringLiteral("EmptyHint"));
    QVERIFY(!NameOf(QApplication::focusWidget()).contains(QChar(0x2192)));   // no arrow read as a sign
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(FocusName(), QStringLiteral("EmptyHint"));
    FocusPath focus;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(focus.path, QStringList{"CMemo1"});
    QCOMPARE(NameOf(QApplication::focusWidget()), QStringLiteral("Programmtext: Programm"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(focus.path, QStringList({"CMemo1", "EmptyHint"}));
    QVERIFY(wb.form->EmptyHint()->isVisible());
}

// Every window as a screen reader walks it: names without padding (group
// titles, the folder list's indented items), panels rather than frames
// inside the main window, the debug view a window, the status bar's grip named.
void TestAccessibility::rolesAndNamesWithoutPadding()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Quadrat.trk"), QStringLiteral("Ausgabe 1"));
    QStringList misread;
    auto walk = [&](QWidget* window) {
        CollectMisread(QAccessible::queryAccessibleInterface(window), window->objectName(), true, misread);
    };
    walk(wb.form.get());
    QCOMPARE(QAccessible::queryAccessibleInterface(wb.form->EditPanel())->role(), QAccessible::Grouping);
    TOptionForm* options = wb.form->OptionForm();
    options->show();
    for (int page = 0; page < 3; ++page) {
        options->findChild<QTabWidget*>(QStringLiteral("PC_Option"))->setCurrentIndex(page);
        walk(options);
    }
    QDialog* folders = options->findChild<QDialog*>(QStringLiteral("DirListForm"));
    QVERIFY(folders);
    folders->show();
    walk(folders);
    QAccessibleInterface* list =
        QAccessible::queryAccessibleInterface(folders->findChild<QWidget*>(QStringLiteral("DirectoryListBox1")));
    QVERIFY(list && list->childCount() > 1);
    QCOMPARE(list->child(1)->text(QAccessible::Description), QStringLiteral("Ebene 2"));
    folders->hide();
    options->hide();
    walk(wb.form->IdeForm());
    QCOMPARE(QAccessible::queryAccessibleInterface(wb.form->IdeForm())->role(), QAccessible::Window);
    QCOMPARE(NameOf(wb.form->IdeForm()), QStringLiteral("Einzelschritt"));
    QCOMPARE(wb.form->IdeForm()->windowTitle(), QStringLiteral("IdeForm"));
    QVERIFY2(misread.isEmpty(), qPrintable(misread.join(u'\n')));
}

// The output and the single-step views are read-only, yet the keyboard
// moves a caret through them (a screen reader reads along with it); typing
// changes nothing.
void TestAccessibility::readOnlyViewsReadByKeyboard_data()
{
    QTest::addColumn<QString>("view");
    for (const char* view : {"RunMemo", "DebugMemo", "StackMemo", "DataMemo", "CodeMemo"})
        QTest::newRow(view) << view;
}

void TestAccessibility::readOnlyViewsReadByKeyboard()
{
    QFETCH(QString, view);
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    wb.Press(Qt::Key_F9);   // the console is enabled by the first run
    QPlainTextEdit* memo = view == u"RunMemo" ? wb.form->RunPanel()->RunMemo()
                                              : wb.form->IdeForm()->findChild<QPlainTextEdit*>(view);
    QVERIFY(memo);
    QWidget* window = memo->window();
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    const QString text = QStringLiteral("erste Zeile\nzweite Zeile\ndritte Zeile");
    memo->setPlainText(text);
    memo->setFocus();
    QVERIFY(memo->hasFocus());
    QAccessibleTextInterface* reader = QAccessible::queryAccessibleInterface(memo)->textInterface();
    QVERIFY(reader);
    QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(reader->cursorPosition(), int(text.size()));
    QTest::keyClick(memo, Qt::Key_Up);
    QCOMPARE(memo->textCursor().blockNumber(), 1);
    QTest::keyClick(memo, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_Down);
    QCOMPARE(memo->textCursor().blockNumber(), 1);
    QTest::keyClicks(memo, QStringLiteral("x"));
    QTest::keyClick(memo, Qt::Key_Delete);
    QCOMPARE(memo->toPlainText(), text);
    QVERIFY(memo->isReadOnly());
}

// A screen reader hears every single step as the line about to run, with
// its number and its text, and Esc ending a run as "Programm beendet"
// after the output; the display shows neither.
void TestAccessibility::stepsAndStopTold()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    QWidget* announcer = wb.form->findChild<QWidget*>(QStringLiteral("Ansage"));
    QVERIFY(announcer);
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("x <= 3\nAusgabe   x\n"));
    QStringList told;   // what the announcer says while each step waits
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (wb.form->RunState() != 2 || told.size() >= 40)
            return;
        told << NameOf(announcer);
        wb.form->Action("Step1")->trigger();
    });
    driver.start(20);
    wb.Press(Qt::Key_F9, Qt::ControlModifier);
    driver.stop();
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(wb.form->RunState(), 1);
    QStringList lines;   // the steps' lines, repeats of one line once
    for (const QString& t : std::as_const(told))
        if (lines.isEmpty() || lines.last() != t)
            lines << t;
    QCOMPARE(lines, QStringList({"Zeile 1: x <= 3", "Zeile 2: Ausgabe x"}));
    QCOMPARE(wb.form->MessageLine()->text(), QString());

    wb.form->activateWindow();   // the debug view had it
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Schleife.trk"), QStringLiteral("Ausgabe 1\nWiederhole\nBis 1 = 2\n"));
    QTimer::singleShot(300, [&] { QTest::keyClick(wb.form.get(), Qt::Key_Escape); });
    wb.Press(Qt::Key_F9);
    QVERIFY(!wb.stoppedByWatchdog);
    QCOMPARE(NameOf(announcer), QStringLiteral("1\nProgramm beendet"));
    QCOMPARE(wb.form->RunPanel()->ConsoleText(), std::string("1 \r\n"));
}

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
