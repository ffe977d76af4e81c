// The main window's layout: the message line's look and readability, the
// panels on resizing and the minimum size.
#include <QLabel>
#include <QTabWidget>
#include <QWindow>

#include "WorkbenchFixture.h"
#include "editor/WinText.h"
#include "runtime/RunPanel.h"

using namespace tarko;

class TestWindowLayout : public QObject {
    Q_OBJECT
private slots:
    void messageLine_data();
    void messageLine();
    void resizeKeepsLayout();
    void minimumSizeEnforced();
    void messageLineReadable_data();
    void messageLineReadable();
    void messageLineLookUnchangedWhenItFits();
};

void TestWindowLayout::messageLine_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QString>("text");
    QTest::newRow("0 compile error, given text") << 0 << QColor(255, 0, 0) << "Fehler im Text";
    QTest::newRow("1 idle, empty") << 1 << QColor() << "";
    QTest::newRow("2 single step") << 2 << QColor(255, 0, 255) << "Programmschritt mit F9";
    QTest::newRow("3 running") << 3 << QColor(0, 128, 0) << "Programm läuft";
}

void TestWindowLayout::messageLine()
{
    QFETCH(int, kind);
    QFETCH(QColor, background);
    QFETCH(QString, text);
    TWorkbench wb;
    QLabel* l = wb.form->MessageLine();
    wb.form->ShowMessageLine(kind, QStringLiteral("Fehler im Text"));
    const QColor expected = background.isValid() ? background : wb.form->palette().color(QPalette::Button);
    QCOMPARE(l->palette().color(QPalette::Window), expected);
    QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::white));
    QCOMPARE(l->text(), text);
    QVERIFY(l->font().bold());
    QCOMPARE(l->font().pixelSize(), 15);
    QCOMPARE(l->height(), 22);
    // Any other kind leaves the line as it is.
    wb.form->ShowMessageLine(7, QStringLiteral("anders"));
    QCOMPARE(l->text(), text);
    QCOMPARE(l->palette().color(QPalette::Window), expected);
}

void TestWindowLayout::resizeKeepsLayout()
{
    TWorkbench wb;
    wb.form->resize(900, 600);
    QTRY_COMPARE(wb.form->width(), 900);
    const int client = wb.form->centralWidget()->width();
    QCOMPARE(wb.form->EditPanel()->width(), client - 315);
    QCOMPARE(wb.form->RunPanelHolder()->x(), client - 315);
    QCOMPARE(wb.form->RunPanelHolder()->width(), 315);
    QCOMPARE(wb.form->RunPanel()->pos(), QPoint(0, 0));
    // The message line lies at the bottom of the editor panel, under the tabs.
    const QRect line = wb.form->MessageLine()->parentWidget()->geometry();
    QCOMPARE(line.height(), 22);
    QCOMPARE(line.bottom(), wb.form->EditPanel()->contentsRect().bottom());
    QCOMPARE(wb.form->TabControl()->geometry().bottom() + 1, line.top());

    wb.form->resize(300, 200);
    QTRY_COMPARE(wb.form->size(), QSize(580, 470));
    QCOMPARE(wb.form->EditPanel()->width(), std::max(100, wb.form->centralWidget()->width() - 315));
}

// A window system that ignores the minimum (no window manager) cannot make
// the window smaller than 580 x 470: the device would be cut off.
void TestWindowLayout::minimumSizeEnforced()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    QWindow* window = wb.form->windowHandle();
    window->resize(400, 300);   // past the widget's own size limits
    QTRY_VERIFY(wb.form->width() >= 580 && wb.form->height() >= 470);
    QTRY_COMPARE(wb.form->size(), QSize(580, 470));
    QCOMPARE(window->size(), QSize(580, 470));
    QCOMPARE(wb.form->RunPanelHolder()->width(), 315);
    window->resize(700, 300);
    QTRY_COMPARE(wb.form->size(), QSize(700, 470));
}

// Every compile error can be read in full on the message line, at the
// window's design width and at its minimum width.
void TestWindowLayout::messageLineReadable_data()
{
    QTest::addColumn<int>("windowWidth");
    QTest::addColumn<QString>("message");
    const char* messages[] = {
        "Zuweisungssymbol <= erwartet oder unbekannte Anweisung",
        "Hier sollte ein Komma stehen oder es fehlt der zweite Punkt.",
        "Dieses Zeichen ist nicht bekannt. (S2)",
        "Das Programm ist nicht vollständig.",
        "Variable, Zahl oder ( erwartet",
        "Unerwartetes Zeichen oder Wort",
        "Das Programm ist zu lang.",
        "Zu tief verschachtelt.",
        "SolangeEnde erwartet",
        "=, <, >, # erwartet",
        "\" erwartet",
    };
    for (int width : {680, 580})
        for (const char* m : messages)
            QTest::addRow("%d px: %s", width, m) << width << QString::fromUtf8(m);
}

void TestWindowLayout::messageLineReadable()
{
    QFETCH(int, windowWidth);
    QFETCH(QString, message);
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
    wb.form->resize(windowWidth, 521);
    QTRY_COMPARE(wb.form->width(), windowWidth);
    wb.form->ShowCompileError(ToWinText(message), 0, 0);
    QLabel* l = wb.form->MessageLine();
    QCOMPARE(l->text(), message);
    // Drawn as the label draws it, the whole text lies inside the label.
    const int flags = int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = QFontMetrics(l->font()).boundingRect(l->contentsRect(), flags, message);
    QVERIFY2(l->contentsRect().contains(needed),
             qPrintable(QStringLiteral("%1 px of %2 x %3 px needed")
                            .arg(needed.width()).arg(l->contentsRect().width()).arg(l->contentsRect().height())));
    QVERIFY(l->font().bold());
    QVERIFY(l->font().pixelSize() >= 9);
    QCOMPARE(l->palette().color(QPalette::Window), QColor(255, 0, 0));
    QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::white));
    if (l->font().pixelSize() != 15 || l->wordWrap())
        QCOMPARE(l->toolTip(), message);
    // The line grows upwards; the tabs give way and nothing overlaps.
    const QRect line = l->parentWidget()->geometry();
    QCOMPARE(l->geometry(), QRect(QPoint(0, 0), line.size()));
    QCOMPARE(line.bottom(), wb.form->EditPanel()->contentsRect().bottom());
    QCOMPARE(wb.form->TabControl()->geometry().bottom() + 1, line.top());
    // Back to idle, the line is the plain one again.
    wb.form->SetRunState(1);
    QCOMPARE(l->height(), 22);
    QCOMPARE(l->font().pixelSize(), 15);
    QVERIFY(!l->wordWrap());
    QCOMPARE(l->contentsRect(), l->rect());
    QCOMPARE(l->toolTip(), QString());
}

// A text that fits is drawn exactly as a plain bold 15-pixel label of 22
// pixels would draw it.
void TestWindowLayout::messageLineLookUnchangedWhenItFits()
{
    TWorkbench wb;
    QVERIFY(wb.Active());
    wb.form->ShowCompileError(ToWinText(QStringLiteral("Unerwartetes Zeichen")), 0, 0);
    QLabel* l = wb.form->MessageLine();
    QCOMPARE(l->size(), QSize(wb.form->EditPanel()->contentsRect().width(), 22));
    QCOMPARE(l->toolTip(), QString());
    QLabel plain(QStringLiteral("Unerwartetes Zeichen"));
    plain.setAlignment(Qt::AlignCenter);
    plain.setAutoFillBackground(true);
    QFont f = plain.font();
    f.setBold(true);
    f.setPixelSize(15);
    plain.setFont(f);
    plain.setPalette(l->palette());
    plain.resize(l->size());
    QCOMPARE(l->grab().toImage(), plain.grab().toImage());
}

QTEST_MAIN(TestWindowLayout)
#include "test_windowlayout.moc"
