// "Kontrastreiche Farben": every text the workbench colours itself reaches
// a contrast of 4.5:1 on its background, measured on the drawn pixels; the
// choice is off by default, stored, and reaches the open windows at once.
#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTextBlock>
#include <cmath>

#include "WorkbenchFixture.h"
#include "editor/WorkbenchScheme.h"
#include "runtime/RunPanel.h"
#include "workbench/Option.h"

using namespace tarko;

namespace {

QSettings Store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brimwold"), QStringLiteral("Tarko"));
}

QRgb Rgb(TColor c) { return qRgb(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// Relative luminance and contrast ratio as WCAG 2 defines them.
double Luminance(QRgb c)
{
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double Ratio(QRgb a, QRgb b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// In a piece of drawn text: the background is the commonest pixel, the
// ink the pixel that stands out most from it (the core of a stroke).
struct Measured {
    QRgb background = 0, ink = 0;
    double ratio = 0;
};

Measured Measure(const QImage& image, const QRect& area)
{
    QHash<QRgb, int> count;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++count[image.pixel(x, y) | 0xFF000000u];
    Measured m;
    int most = 0;
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            m.background = it.key();
        }
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (const double ratio = Ratio(it.key(), m.background); ratio > m.ratio) {
            m.ratio = ratio;
            m.ink = it.key();
        }
    return m;
}

QString Hex(QRgb c) { return QColor(c).name(); }

// Ticks "Kontrastreiche Farben" (or clears it) in Optionen and leaves with OK or Abbruch.
void ChooseContrast(TWorkbench& wb, bool on, bool ok = true)
{
    TOptionForm* options = wb.form->OptionForm();
    wb.dialogs->onShowModal = [&](QDialog*) {
        options->Box(QStringLiteral("CB_Kontrast"))->setChecked(on);
        options->findChild<QPushButton*>(ok ? QStringLiteral("B_OK") : QStringLiteral("B_Cancel"))->click();
    };
    wb.form->Action(QStringLiteral("Optionen1"))->trigger();
    wb.dialogs->onShowModal = nullptr;
}

// One line of each kind of text; the caret waits on the empty last line.
const QString Program = QStringLiteral("Ausgabe Solange SolangeEnde\n\"Hallo Welt\"\n/ ein Kommentar\nsumme zahl\n");
enum Mark { Unmarked, StepMark, FaultMark };
enum Place { Editor, Message, Console };

// The caret is left out: whether it is in its blink phase says nothing about colours.
QImage EditorPicture(TColorMemo* editor)
{
    QApplication::processEvents();
    const int caret = editor->cursorWidth();
    editor->setCursorWidth(0);
    const QImage picture = editor->viewport()->grab().toImage();
    editor->setCursorWidth(caret);
    return picture;
}

QRect LineArea(TColorMemo* editor, int line)
{
    const QTextBlock block = editor->document()->findBlockByNumber(line);
    QTextCursor c(block);
    const QRect start = editor->cursorRect(c);
    c.movePosition(QTextCursor::EndOfBlock);
    const QRect end = editor->cursorRect(c);
    return QRect(QPoint(0, start.top()), QPoint(end.right() + 4, start.bottom()));
}

} // namespace

class TestContrast : public QObject {
    Q_OBJECT
private slots:
    void ratioOfKnownPairs();
    void everyTextReadable_data();
    void everyTextReadable();
    void offByDefaultStoredAppliedAtOnce();
};

// The measure itself, on values WCAG publishes.
void TestContrast::ratioOfKnownPairs()
{
    QCOMPARE(qRound(Ratio(qRgb(0, 0, 0), qRgb(255, 255, 255)) * 100), 2100);
    QCOMPARE(qRound(Ratio(qRgb(255, 0, 0), qRgb(255, 255, 255)) * 100), 400);
    QCOMPARE(qRound(Ratio(qRgb(0x76, 0x76, 0x76), qRgb(255, 255, 255)) * 100), 454);
}

void TestContrast::everyTextReadable_data()
{
    const TSchemeColours& hc = SchemeColours(TColourScheme::HighContrast);
    QTest::addColumn<int>("place");
    QTest::addColumn<int>("which");   // editor: line; message line: kind; console: run state
    QTest::addColumn<int>("mark");
    QTest::addColumn<QRgb>("text");   // 0: the control's own font colour
    QTest::addColumn<QRgb>("background");  // 0: the control's own background
    const struct {
        const char* name;
        int line;
        QRgb text;
    } lines[] = {{"keyword", 0, Rgb(hc.Keyword)}, {"string", 1, Rgb(hc.String)},
                 {"comment", 2, Rgb(hc.Comment)}, {"plain text", 3, 0}};
    const struct {
        const char* name;
        Mark mark;
        QRgb background;
    } marks[] = {{"on white", Unmarked, 0}, {"on the step line", StepMark, Rgb(hc.StepLine)},
                 {"on the fault line", FaultMark, Rgb(hc.FaultLine)}};
    for (const auto& l : lines)
        for (const auto& m : marks)
            QTest::addRow("editor: %s %s", l.name, m.name) << int(Editor) << l.line << int(m.mark) << l.text
                                                          << m.background;
    QTest::newRow("message line: compile error") << int(Message) << 0 << 0 << Rgb(hc.MessageText)
                                                 << Rgb(hc.MessageError);
    QTest::newRow("message line: single step") << int(Message) << 2 << 0 << Rgb(hc.MessageText)
                                               << Rgb(hc.MessageStep);
    QTest::newRow("message line: running") << int(Message) << 3 << 0 << Rgb(hc.MessageText)
                                           << Rgb(hc.MessageRunning);
    QTest::newRow("console: idle") << int(Console) << 1 << 0 << QRgb(0) << QRgb(0);
    QTest::newRow("console: running") << int(Console) << 3 << 0 << QRgb(0) << QRgb(0);
}

// Every (text, background) pair the high-contrast colours can give, drawn
// and measured; the program was open before the colours were switched.
void TestContrast::everyTextReadable()
{
    QFETCH(int, place);
    QFETCH(int, which);
    QFETCH(int, mark);
    QFETCH(QRgb, text);
    QFETCH(QRgb, background);
    TWorkbench wb;
    TColorMemo* editor = wb.NewTab(QStringLiteral("Farben.trk"), Program);
    editor->SetCaretLine(4);
    ChooseContrast(wb, true);

    QImage picture;
    QRect area;
    if (place == Editor) {
        if (mark == StepMark)
            wb.form->ShowStepLine(which);
        else if (mark == FaultMark)
            wb.form->ShowFaultLine(which);
        editor->SetCaretLine(4);
        picture = EditorPicture(editor);
        area = LineArea(editor, which);
        if (!text)
            text = editor->palette().color(QPalette::Text).rgb();
        if (!background)
            background = editor->palette().color(QPalette::Base).rgb();
    } else if (place == Message) {
        wb.form->ShowMessageLine(which, QStringLiteral("Zeile 3: unbekanntes Wort"));
        QApplication::processEvents();
        picture = wb.form->MessageLine()->grab().toImage();
        area = picture.rect();
    } else {
        TRunPanel* panel = wb.form->RunPanel();
        panel->EnableConsole();
        panel->SetConsoleFontColor(Qt::black);   // as at the start of every run
        panel->WriteText("Hallo Welt 42");
        panel->SetRunStateLook(which);
        TColorMemo* console = panel->RunMemo();
        picture = EditorPicture(console);
        area = LineArea(console, 0);
        text = console->palette().color(QPalette::Text).rgb();
        background = console->palette().color(QPalette::Base).rgb();
    }
    const Measured m = Measure(picture, area);
    qInfo("%s on %s: %.2f:1", qPrintable(Hex(m.ink)), qPrintable(Hex(m.background)), m.ratio);
    // What was measured is what the scheme chose: the background exactly,
    // the ink up to the smoothing of the glyph edges.
    QCOMPARE(Hex(m.background), Hex(background | 0xFF000000u));
    QVERIFY2(Ratio(m.ink, text | 0xFF000000u) < 1.15,
             qPrintable(QStringLiteral("ink %1, chosen %2").arg(Hex(m.ink), Hex(text))));
    QVERIFY2(m.ratio >= 4.5, qPrintable(QStringLiteral("%1:1").arg(m.ratio, 0, 'f', 2)));
}

void TestContrast::offByDefaultStoredAppliedAtOnce()
{
    QImage editorBefore, messageBefore;
    {
        TWorkbench wb;
        TColorMemo* editor = wb.NewTab(QStringLiteral("Farben.trk"), Program);
        editor->SetCaretLine(4);
        wb.form->ShowFaultLine(1);
        editor->SetCaretLine(4);
        wb.form->ShowMessageLine(0, QStringLiteral("Zeile 2: unbekanntes Wort"));
        QVERIFY(!wb.form->Inis.HighContrast);
        editorBefore = EditorPicture(editor);
        messageBefore = wb.form->MessageLine()->grab().toImage();

        // Abbruch takes nothing over.
        ChooseContrast(wb, true, false);
        QVERIFY(!wb.form->Inis.HighContrast);
        QCOMPARE(EditorPicture(editor), editorBefore);

        // OK: the open editor, its marked line and the message line change at once.
        ChooseContrast(wb, true);
        QVERIFY(wb.form->Inis.HighContrast);
        const TSchemeColours& hc = SchemeColours(TColourScheme::HighContrast);
        const QImage dark = EditorPicture(editor);
        QCOMPARE(Hex(Measure(dark, LineArea(editor, 0)).ink), Hex(Rgb(hc.Keyword)));
        QCOMPARE(Hex(Measure(dark, LineArea(editor, 1)).background), Hex(Rgb(hc.FaultLine)));
        QCOMPARE(Hex(Measure(wb.form->MessageLine()->grab().toImage(), wb.form->MessageLine()->rect()).background),
                 Hex(Rgb(hc.MessageError)));
        for (int i = 0; i < TMainForm::TabCount; ++i)
            QCOMPARE(wb.form->EditorAt(i)->ColorRules()[1].DefKeyColor, hc.Keyword);

        // Off again: pixel for pixel as before, and the store keeps the keys
        // it had (the zoom test checks a store that was never switched).
        ChooseContrast(wb, false);
        QCOMPARE(EditorPicture(editor), editorBefore);
        QCOMPARE(wb.form->MessageLine()->grab().toImage(), messageBefore);
        QVERIFY(wb.form->close());
        QVERIFY(!Store().contains(QStringLiteral("Ansicht/Kontrast")));
    }
    {
        TWorkbench wb;
        ChooseContrast(wb, true);
        QVERIFY(wb.form->close());
        QCOMPARE(Store().value(QStringLiteral("Ansicht/Kontrast")).toString(), QStringLiteral("1"));
    }
    {
        TWorkbench wb(true);   // the next start keeps the choice
        QVERIFY(wb.form->Inis.HighContrast);
        QCOMPARE(wb.form->EditorAt(3)->ColorRules()[2].DefKeyColor,
                 SchemeColours(TColourScheme::HighContrast).String);
        bool shownChecked = false;
        wb.dialogs->onShowModal = [&](QDialog*) {
            QCheckBox* box = wb.form->OptionForm()->Box(QStringLiteral("CB_Kontrast"));
            shownChecked = box->isChecked();
            box->setChecked(false);
            wb.form->OptionForm()->findChild<QPushButton*>(QStringLiteral("B_OK"))->click();
        };
        wb.form->Action(QStringLiteral("Optionen1"))->trigger();
        QVERIFY(shownChecked);
        QCOMPARE(wb.form->EditorAt(0)->ColorRules()[2].DefKeyColor, clFuchsia);
        QVERIFY(wb.form->close());
        QCOMPARE(Store().value(QStringLiteral("Ansicht/Kontrast")).toString(), QStringLiteral("0"));
    }
}

QTEST_MAIN(TestContrast)
#include "test_contrast.moc"
