// What the colouring editor paints: which recolouring each kind of change
// asks for, the bottom line, the selection, every run on the screen as the
// base control draws it, and lines wider than the view.
#include "EditorTestKit.h"

#include <QApplication>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include <random>

namespace {

// Rules that find nothing: the editor paints the blocks itself and has no
// colour to add.
TDrawRules rulesFindingNothing()
{
    TDrawRules none;
    TColorRule& r = none.Add();
    r.KeyDrawingType = dtKeyShow;
    r.SetKeywords({"nirgends"});
    return none;
}

} // namespace

class TestColMemoPainting : public QObject {
    Q_OBJECT
private slots:
    void recolourRequest_data();
    void recolourRequest();
    void typedCharRecoloursOnlyItsLine();
    void partlyVisibleBottomLineStaysPlain();
    void wholeBottomLineIsColoured();
    void selectionKeepsHighlight();
    void disabledOrWithoutRulesDrawsNoColours();
    void paintMatchesBaseControl();
    void everyRunReachesTheScreen_data();
    void everyRunReachesTheScreen();
    void longLinePaintMatchesBaseControl_data();
    void longLinePaintMatchesBaseControl();
    void longLineColoursWhereItIsSeen();
    void wideLineColoursMatchWholeLine_data();
    void wideLineColoursMatchWholeLine();
    void longLineColoursFollowEveryChange();
    void drawKeyHandler();
    void longLineColoursAfterEditsAsFresh();
    void dropCaretStandsUnderThePointer_data();
    void dropCaretStandsUnderThePointer();
};

void TestColMemoPainting::recolourRequest_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("redrawAlways");
    QTest::addColumn<int>("request");
    const int line = int(TColorMemo::TDrawRequest::CurrentLine);
    const int whole = int(TColorMemo::TDrawRequest::Whole);
    QTest::newRow("one letter typed: its line") << 0 << false << line;
    QTest::newRow("one letter typed, RedrawAlways: whole") << 0 << true << whole;
    QTest::newRow("two characters pasted: whole") << 1 << false << whole;
    QTest::newRow("character deleted: whole") << 2 << false << whole;
    QTest::newRow("Enter: whole") << 3 << false << whole;
    QTest::newRow("letter over a selection: whole") << 4 << false << whole;
    QTest::newRow("scroll bar: whole") << 5 << false << whole;
    QTest::newRow("Shift released: whole") << 6 << false << whole;
    QTest::newRow("caret moved by key: none") << 7 << false << int(TColorMemo::TDrawRequest::None);
}

void TestColMemoPainting::recolourRequest()
{
    QFETCH(int, action);
    QFETCH(bool, redrawAlways);
    QFETCH(int, request);
    std::string text = "Ausgabe \"Hallo\"\r\nrot gelb\r\n";
    for (int i = 0; i < 40; ++i)
        text += "rot\r\n";
    Editor e(text);
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    e.memo.SetRedrawAlways(redrawAlways);
    int vscrolls = 0;
    e.memo.OnVScroll = [&](TColorMemo*) { ++vscrolls; };
    e.memo.SetSelStart(20);
    e.memo.ResetDrawRequest();
    switch (action) {
    case 0: QTest::keyClick(&e.memo, Qt::Key_X); break;
    case 1: e.memo.insertPlainText(QStringLiteral("xy")); break;
    case 2: QTest::keyClick(&e.memo, Qt::Key_Backspace); break;
    case 3: QTest::keyClick(&e.memo, Qt::Key_Return); break;
    case 4:
        e.memo.SetSelLength(1);
        QTest::keyClick(&e.memo, Qt::Key_X);
        break;
    case 5: e.memo.verticalScrollBar()->setValue(3); break;
    case 6: QTest::keyRelease(&e.memo, Qt::Key_Shift); break;
    case 7: QTest::keyClick(&e.memo, Qt::Key_Left); break;
    }
    QCOMPARE(int(e.memo.LastDrawRequest()), request);
    QCOMPARE(vscrolls, action == 5 ? 1 : 0);
}

void TestColMemoPainting::typedCharRecoloursOnlyItsLine()
{
    // Line 1's string runs on from line 0; the caret line alone does not see it.
    Editor e("Ausgabe \"abc\r\ndef\" rot\r\nrot");
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    e.memo.ComputeOverlay(false);
    QCOMPARE(e.memo.LastRunCount(), 4); // Ausgabe, the string over both lines, rot, rot
    QCOMPARE(e.memo.LastRuns()[1].StartPos, 8);
    QCOMPARE(e.memo.LastRuns()[1].EndPos, 17);

    e.memo.SetCaretLine(1);
    e.memo.SetCaretColumn(1);
    QCoreApplication::processEvents(); // the caret's move is painted
    QTest::keyClick(&e.memo, Qt::Key_E);
    QCOMPARE(e.memo.LastDrawRequest(), TColorMemo::TDrawRequest::CurrentLine);
    QCoreApplication::processEvents(); // the paint of the typed letter
    // That paint scanned the caret's line only: its quote opens a string that never ends.
    QCOMPARE(e.memo.LastScanStart(), e.memo.LineStart(1));
    QCOMPARE(e.memo.LastScanEnd(), e.memo.LineStart(1) + e.memo.LineLength(1));
    QCOMPARE(e.memo.LastRunCount(), 1);
    QCOMPARE(e.memo.LastRuns()[0].StartPos, e.memo.LineStart(1) + 6); // "rot"
    // Painting that line again (the caret blinking) keeps its own colouring:
    // "deef" stays plain although the whole area would show it in the string's colour.
    const QColor fuchsia(255, 0, 255);
    const QRect lineRect(0, e.memo.cursorRect().top(), e.memo.viewport()->width(), e.memo.cursorRect().height());
    QImage img(e.memo.viewport()->size(), QImage::Format_ARGB32);
    img.fill(Qt::white);
    e.memo.viewport()->render(&img, lineRect.topLeft(), QRegion(lineRect));
    QVERIFY(!e.hasColour(img, 14, 17, fuchsia));
    QVERIFY(e.hasColour(img, 20, 22, kRed));

    // Moving the caret away and back repaints only the caret's strips; the
    // line still shows its own colouring, not a mix with the whole area's.
    QTest::keyClick(&e.memo, Qt::Key_Down);
    QCoreApplication::processEvents();
    QTest::keyClick(&e.memo, Qt::Key_Up);
    QCoreApplication::processEvents();
    img.fill(Qt::white);
    e.memo.viewport()->render(&img, lineRect.topLeft(), QRegion(lineRect));
    QVERIFY(!e.hasColour(img, 14, 17, fuchsia));
    QVERIFY(e.hasColour(img, 20, 22, kRed));

    // A click recolours the whole visible area again.
    QTest::mouseClick(e.memo.viewport(), Qt::LeftButton, Qt::NoModifier, e.charCentre(2));
    QCOMPARE(e.memo.LastDrawRequest(), TColorMemo::TDrawRequest::Whole);
    QCoreApplication::processEvents();
    QCOMPARE(e.memo.LastScanStart(), 0);
    QCOMPARE(e.memo.LastRunCount(), 4);
    QVERIFY(e.hasColour(14, 17, fuchsia));
}

void TestColMemoPainting::partlyVisibleBottomLineStaysPlain()
{
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "rot\r\n";
    Editor e(text);
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    // Make the bottom line cut off in the middle.
    const int h = QFontMetrics(e.memo.font()).lineSpacing();
    e.memo.resize(300, 10 * h + e.memo.height() - e.memo.viewport()->height() + h / 2 + 4);
    QCoreApplication::processEvents();
    const QImage img = e.memo.viewport()->grab().toImage();
    Q_UNUSED(img);
    const int first = e.memo.TopLine();
    int cut = -1;
    for (QTextBlock b = e.memo.document()->findBlockByNumber(first); b.isValid(); b = b.next()) {
        if (e.memo.cursorRect(QTextCursor(b)).bottom() >= e.memo.viewport()->height()) {
            cut = b.blockNumber();
            break;
        }
    }
    QVERIFY(cut > first);
    QCOMPARE(e.memo.LastScanEnd(), e.memo.LineStart(cut));
    QVERIFY(e.hasColour(e.memo.LineStart(cut - 1), e.memo.LineStart(cut - 1) + 2, kRed));
    const int lastRun = e.memo.LastRunCount() - 1;
    QVERIFY(e.memo.LastRuns()[lastRun].EndPos < e.memo.LineStart(cut));
}

// The last line's box holds the document's bottom margin as well: the line
// itself, whole at the bottom of the view, is coloured, also while typed;
// for every height of the view, so that any room left below it is tried.
void TestColMemoPainting::wholeBottomLineIsColoured()
{
    std::string text;
    for (int i = 1; i <= 40; ++i)
        text += (i > 1 ? "\r\n" : "") + std::string("Ausgabe ") + std::to_string(i);
    Editor e(text);
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    e.memo.setFocus();
    const int lineHeight = e.memo.cursorRect().height();
    const int frame = e.memo.height() - e.memo.viewport()->height();
    for (int extra = 0; extra < lineHeight; ++extra) {
        e.memo.SetWinText(text);
        e.memo.resize(500, 10 * lineHeight + extra + frame);
        QTest::keyClick(&e.memo, Qt::Key_End, Qt::ControlModifier);
        QCoreApplication::processEvents();
        const QString where = QStringLiteral("view %1 px high").arg(e.memo.viewport()->height());
        QVERIFY2(e.memo.TopLine() > 0, qPrintable(where));
        QVERIFY2(e.memo.LastScanEnd() == e.memo.TextLength(), qPrintable(where));
        QVERIFY2(e.hasColour(e.memo.LineStart(39), e.memo.LineStart(39) + 6, kRed), qPrintable(where));

        QTest::keyClick(&e.memo, Qt::Key_Return);
        QTest::keyClicks(&e.memo, QStringLiteral("Ausgabe \"Hallo\" / neu"));
        QCoreApplication::processEvents();
        const int typed = e.memo.LineStart(40);
        QVERIFY2(e.hasColour(typed, typed + 6, kRed), qPrintable(where));
        QVERIFY2(e.hasColour(typed + 8, typed + 14, QColor(255, 0, 255)), qPrintable(where));
        QVERIFY2(e.hasColour(typed + 16, typed + 20, QColor(0, 0, 255)), qPrintable(where));
    }
}

void TestColMemoPainting::selectionKeepsHighlight()
{
    Editor e("rot gelb");
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    QVERIFY(e.hasColour(0, 2, kRed));
    e.memo.SetSelStart(0);
    e.memo.SetSelLength(3);
    QVERIFY(!e.hasColour(0, 2, kRed));
    QVERIFY(e.hasColour(4, 7, kRed));
    QTest::keyClick(&e.memo, Qt::Key_Right); // the arrow removes the selection
    QVERIFY(e.hasColour(0, 2, kRed));
}

void TestColMemoPainting::disabledOrWithoutRulesDrawsNoColours()
{
    Editor e("rot gelb");
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    QVERIFY(e.hasColour(0, 2, kRed));
    e.memo.setEnabled(false);
    QVERIFY(!e.hasColour(0, 2, kRed));
    e.memo.setEnabled(true);
    ApplyConsoleScheme(e.memo); // the run console: no rules, plain control
    QVERIFY(!e.hasColour(0, 2, kRed));
    QVERIFY(e.memo.isReadOnly());
    ApplyProgramEditorScheme(e.memo);
    QVERIFY(e.hasColour(0, 2, kRed));
}

void TestColMemoPainting::paintMatchesBaseControl()
{
    // With rules that find nothing, the editor's own painting of the blocks
    // gives exactly the base control's picture, selection and tabs included.
    const std::string text = "eins\tzwei\r\n\tdrei vier\r\nf\xFCnf";
    Editor plain(text, false);
    Editor ruled(text, false);
    layOutByQt(plain.memo); // the base control's own layout and drawing
    ruled.memo.SetColorRules(rulesFindingNothing());
    for (Editor* e : {&plain, &ruled}) {
        e->memo.SetTabWidthPixels(24);
        e->memo.SetSelStart(2);
        e->memo.SetSelLength(9);
    }
    QVERIFY(QTest::qWaitForWindowExposed(&ruled.memo));
    QCOMPARE(ruled.memo.viewport()->grab().toImage(), plain.memo.viewport()->grab().toImage());
}

void TestColMemoPainting::everyRunReachesTheScreen_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("longLines");
    const QString courier = QStringLiteral("Courier New"), mono = QStringLiteral("DejaVu Sans Mono"),
                  sans = QStringLiteral("DejaVu Sans");
    // The workbench zooms the editor font by its percentage.
    QTest::newRow("Courier New 10 pt at 100 %") << courier << 10.0 << false;
    QTest::newRow("Courier New 10 pt at 125 %") << courier << 12.5 << false;
    QTest::newRow("Courier New 10 pt at 150 %") << courier << 15.0 << false;
    QTest::newRow("Courier New 10 pt at 200 %") << courier << 20.0 << false;
    QTest::newRow("Courier New 11 pt") << courier << 11.0 << false;
    QTest::newRow("Courier New 10 pt, lines over 1000 characters") << courier << 10.0 << true;
    QTest::newRow("Courier New 10 pt at 125 %, lines over 1000 characters") << courier << 12.5 << true;
    QTest::newRow("DejaVu Sans Mono 9 pt") << mono << 9.0 << false;
    QTest::newRow("DejaVu Sans 10 pt (proportional)") << sans << 10.0 << false;
    QTest::newRow("DejaVu Sans 10 pt at 125 %") << sans << 12.5 << false;
}

// Runs that meet (keyword, string, comment, hot spot) must each show in
// their colour, glyph by glyph, each glyph drawn once, exactly where and as
// the plain control draws it. Mask letters: R red, F fuchsia, B blue, . the font
// colour, blank: no glyph to look at.
void TestColMemoPainting::everyRunReachesTheScreen()
{
    QFETCH(QString, family);
    QFETCH(double, points);
    QFETCH(bool, longLines);
    struct Line { const char* text; const char* mask; };
    const Line lines[] = {
        {"Ausgabe \"Hallo / Welt\"", "RRRRRRR FFFFFF B BBBBB"},
        {"Ausgabe\"Hallo\"", "RRRRRRRFFFFFFF"},
        {"\"Hallo\"Ausgabe", "FFFFFFFRRRRRRR"},
        {"Ausgabe/Kommentar", "RRRRRRRBBBBBBBBBB"},
        {"x = 1 \"a\"/ Kommentar", ". . . FFFB BBBBBBBBB"},
        {"rot\"x\"blau", "RRRFFFRRRR"},
        {"Siehe \x1EHilfe\x1F und", ".....  BBBBB  RRR"}, // a hot spot: markers hidden, text underlined
    };
    const std::string padding = longLines ? std::string(1100, ' ') : std::string();
    std::string text;
    for (const Line& l : lines)
        text += l.text + padding + "\r\n";
    QFont font(family);
    font.setFamilies({family, QStringLiteral("Liberation Mono")});
    font.setPointSizeF(points);
    Editor ruled(text), plain(text, false);
    THotSpot hs;
    hs.Active = true;
    ruled.memo.SetHotSpot(hs);
    for (Editor* e : {&ruled, &plain}) {
        e->memo.setFont(font);
        e->memo.resize(600, 400);
        e->memo.SetSelStart(e->memo.TextLength()); // the caret on the empty last line, away from the glyphs
    }
    QVERIFY(QTest::qWaitForWindowExposed(&ruled.memo));
    QVERIFY(QTest::qWaitForWindowExposed(&plain.memo));
    QCOMPARE(layoutOf(ruled.memo).IsLong(ruled.memo.document()->firstBlock()), longLines);
    const QImage shown = ruled.memo.viewport()->grab().toImage();
    const QImage reference = plain.memo.viewport()->grab().toImage();
    const QColor white(Qt::white);
    const std::pair<char, QColor> palette[] = {{'.', Qt::black}, {'R', Qt::red}, {'F', Qt::magenta}, {'B', Qt::blue}};
    for (int i = 0; i < int(std::size(lines)); ++i) {
        const std::string mask = lines[i].mask;
        for (int column = 0; column < int(mask.size()); ++column) {
            const int at = ruled.memo.LineStart(i) + column;
            QTextCursor c(ruled.memo.document());
            c.setPosition(ruled.docPos(at));
            const QRect a = ruled.memo.cursorRect(c);
            c.setPosition(ruled.docPos(at) + 1);
            const QRect b = ruled.memo.cursorRect(c);
            // The glyph's pixels: the strongest one names its colour.
            QColor strongest = white;
            auto strength = [&](QColor p) { return 765 - p.red() - p.green() - p.blue() + 2 * std::abs(p.red() - p.blue()); };
            for (int y = a.top(); y <= a.bottom(); ++y) {
                for (int x = a.left() + 1; x < b.left(); ++x) {
                    const QColor p = shown.pixelColor(x, y);
                    // Over white, a glyph pixel of a pure colour or of black
                    // shows its coverage in its darkest channel.
                    const QColor q = reference.pixelColor(x, y);
                    const int darkest = std::min({p.red(), p.green(), p.blue()});
                    if (lines[i].text[0] != 'S') // the hot spot's underline and markers are the editor's own
                        QVERIFY2(std::abs(darkest - std::min({q.red(), q.green(), q.blue()})) <= 8,
                                 qPrintable(QStringLiteral("line %1, column %2: the glyph differs from the control's")
                                                .arg(i).arg(column)));
                    if (strength(p) > strength(strongest))
                        strongest = p;
                }
            }
            if (mask[size_t(column)] == ' ')
                continue;
            auto distance = [&](QColor q) {
                return std::abs(strongest.red() - q.red()) + std::abs(strongest.green() - q.green())
                    + std::abs(strongest.blue() - q.blue());
            };
            char seen = strongest == white ? ' ' : '.';
            for (const auto& [letter, colour] : palette)
                if (seen != ' ')
                    if (distance(colour) < distance(palette[std::string(".RFB").find(seen)].second))
                        seen = letter;
            QVERIFY2(seen == mask[size_t(column)],
                     qPrintable(QStringLiteral("line %1 \"%2\", column %3: %4 instead of %5 (pixel %6)")
                                    .arg(i).arg(QString::fromLatin1(lines[i].text)).arg(column).arg(QChar(seen))
                                    .arg(QChar(mask[size_t(column)])).arg(strongest.name())));
        }
    }
}

void TestColMemoPainting::longLinePaintMatchesBaseControl_data()
{
    QTest::addColumn<int>("scrollPercent");
    QTest::addColumn<int>("tabPixels");
    QTest::newRow("start of the line") << 0 << 24;
    QTest::newRow("middle, tab stops of 24") << 47 << 24;
    QTest::newRow("middle, tab stops of 37") << 53 << 37;
    QTest::newRow("end of the line") << 100 << 16;
}

void TestColMemoPainting::longLinePaintMatchesBaseControl()
{
    // A line too long to be drawn whole is drawn as the part that can be
    // seen; tabs, umlauts, the selection and the short lines around it must
    // look exactly as the base control draws them.
    QFETCH(int, scrollPercent);
    QFETCH(int, tabPixels);
    std::string line;
    for (int i = 0; line.size() < 9000; ++i)
        line += std::string(size_t(i % 7), 'x') + (i % 3 ? "\t" : " ") + "gr\xFC\xDF" + char('a' + i % 26);
    const std::string text = "eins\tzwei\r\n" + line + "\r\n\tdrei";
    Editor plain(text, false);
    Editor ruled(text, false);
    layOutByQt(plain.memo); // the base control's own layout and drawing
    ruled.memo.SetColorRules(rulesFindingNothing());
    QVERIFY(QTest::qWaitForWindowExposed(&ruled.memo));
    QVERIFY(QTest::qWaitForWindowExposed(&plain.memo));
    for (Editor* e : {&plain, &ruled}) {
        e->memo.SetTabWidthPixels(tabPixels);
        e->memo.SetSelStart(100);
        e->memo.SetSelLength(int(line.size()) / 2);
    }
    // The same place in both: the editor's range of a long line ends up to
    // 64 px further on, so the place is taken from Qt's range.
    QScrollBar* qtBar = plain.memo.horizontalScrollBar();
    const int place = qtBar->minimum() + (qtBar->maximum() - qtBar->minimum()) * scrollPercent / 100;
    for (Editor* e : {&plain, &ruled})
        e->memo.horizontalScrollBar()->setValue(place);
    QVERIFY(ruled.memo.horizontalScrollBar()->maximum() >= qtBar->maximum());
    QVERIFY(ruled.memo.horizontalScrollBar()->maximum() < qtBar->maximum() + 64);
    QVERIFY(plain.memo.horizontalScrollBar()->maximum() > 10 * plain.memo.viewport()->width());
    QCOMPARE(ruled.memo.horizontalScrollBar()->value(), plain.memo.horizontalScrollBar()->value());
    QCOMPARE(ruled.memo.viewport()->grab().toImage(), plain.memo.viewport()->grab().toImage());
}

void TestColMemoPainting::longLineColoursWhereItIsSeen()
{
    std::string line;
    while (line.size() < 60000)
        line += "Ausgabe \"abc\" 1 ";
    Editor e(line);
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    QScrollBar* h = e.memo.horizontalScrollBar();
    h->setValue(h->maximum() / 2);
    QCoreApplication::processEvents();
    // The first whole "Ausgabe" in view is red, the string after it fuchsia.
    const int seen = e.memo.cursorForPosition(QPoint(e.memo.viewport()->width() / 4, 5)).position();
    QVERIFY(seen > 20000);
    const int word = int(line.find("Ausgabe", size_t(seen)));
    QVERIFY(e.hasColour(word, word + 6, kRed));
    QVERIFY(e.hasColour(word + 8, word + 12, QColor(255, 0, 255)));
    QVERIFY(!e.hasColour(word + 14, word + 14, kRed));
}

void TestColMemoPainting::wideLineColoursMatchWholeLine_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("scrollPercent");
    QTest::newRow("250 characters (runs cut to the view), start") << 250 << 0;
    QTest::newRow("250 characters (runs cut to the view), middle") << 250 << 45;
    QTest::newRow("1,200 characters (drawn as the seen part), start") << 1200 << 0;
    QTest::newRow("3,000 characters (drawn as the seen part), middle") << 3000 << 61;
    QTest::newRow("3,000 characters (drawn as the seen part), end") << 3000 << 100;
}

void TestColMemoPainting::wideLineColoursMatchWholeLine()
{
    // A coloured line wider than the view, scrolled sideways, must show
    // exactly the pixels of the same line drawn whole in a view wide enough
    // for all of it.
    QFETCH(int, length);
    QFETCH(int, scrollPercent);
    std::string line;
    for (int i = 0; line.size() < size_t(length); ++i)
        line += std::string(size_t(i % 4), ' ') + (i % 5 ? "Ausgabe \"gr\xFC\xDF\" " : "\tFalls x < 1 ") + "rot\t";
    line += " / Kommentar";
    Editor narrow(line);
    Editor wide(line);
    // The reference is Qt's own drawing of the whole line.
    layOutByQt(wide.memo);
    for (Editor* e : {&narrow, &wide})
        e->memo.SetTabWidthPixels(24);
    const int lineWidth = int(wide.memo.document()->firstBlock().layout()->lineAt(0).naturalTextWidth());
    wide.memo.resize(lineWidth + 100, 120);
    narrow.memo.resize(500, 120);
    QVERIFY(QTest::qWaitForWindowExposed(&wide.memo));
    QVERIFY(QTest::qWaitForWindowExposed(&narrow.memo));
    QCOMPARE(wide.memo.horizontalScrollBar()->maximum(), 0);
    QScrollBar* h = narrow.memo.horizontalScrollBar();
    h->setValue(h->maximum() * scrollPercent / 100);
    QCoreApplication::processEvents();
    const int lineHeight = narrow.memo.cursorRect().height() + 4;
    const QImage seen = narrow.memo.viewport()->grab().toImage().copy(0, 0, narrow.memo.viewport()->width(), lineHeight);
    const QImage whole = wide.memo.viewport()->grab().toImage().copy(h->value(), 0, seen.width(), lineHeight);
    QCOMPARE(seen, whole);
}

void TestColMemoPainting::longLineColoursFollowEveryChange()
{
    // The runs of a very long line are kept between paints (the caret's
    // blinking); whatever they depend on must still show at once.
    std::string line;
    while (line.size() < 100000)
        line += "rot gelb ";
    Editor e(line);
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    const QColor green(0, 128, 0);
    QVERIFY(e.hasColour(0, 2, kRed));

    // A "/" typed over the first letter turns the line into a comment; the
    // caret goes back where it was, so only the text differs.
    e.memo.SetSelStart(0);
    e.memo.SetSelLength(1);
    QTest::keyClick(&e.memo, Qt::Key_Slash);
    QTest::keyClick(&e.memo, Qt::Key_Home);
    e.memo.viewport()->repaint();
    QVERIFY(!e.hasColour(1, 2, kRed));
    QVERIFY(e.hasColour(1, 2, QColor(0, 0, 255)));
    e.memo.undo();
    QTest::keyClick(&e.memo, Qt::Key_Home);
    e.memo.viewport()->repaint();
    QCOMPARE(e.memo.Line(0).substr(0, 3), std::string("rot"));
    QVERIFY(e.hasColour(0, 2, kRed));

    // New rules show at the next paint.
    TDrawRules rules = WorkbenchColorRules();
    rules[1].DefKeyColor = ColorFromText("GREEN");
    e.memo.SetColorRules(rules);
    QVERIFY(e.hasColour(0, 2, green));

    // A rule changed in place shows within two paints.
    e.memo.ColorRules()[1].DefKeyColor = ColorFromText("MAROON");
    e.memo.viewport()->repaint();
    QVERIFY(e.hasColour(0, 2, QColor(128, 0, 0)));

    // The selection keeps the control's highlight: no rule colour over it.
    e.memo.SetSelStart(0);
    e.memo.SetSelLength(3);
    QVERIFY(!e.hasColour(0, 2, QColor(128, 0, 0)));
}

void TestColMemoPainting::drawKeyHandler()
{
    Editor e("x rot");
    std::string key;
    QRect rect;
    int calls = 0;
    e.memo.OnDrawKey = [&](QPainter&, const std::string& k, const QRect& r, TColor) {
        ++calls;
        key = k;
        rect = r;
    };
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    QVERIFY(!e.hasColour(2, 4, kRed)); // the handler drew nothing
    QVERIFY(calls > 0);
    QCOMPARE(key, std::string("rot"));
    QCOMPARE(rect.left(), e.memo.cursorRect(QTextCursor(e.memo.document())).left() + 2 * QFontMetrics(e.memo.font()).horizontalAdvance(u'x'));
    QCOMPARE(rect.width(), QFontMetrics(e.memo.font()).horizontalAdvance(QStringLiteral("rot")));
}

void TestColMemoPainting::longLineColoursAfterEditsAsFresh()
{
    // The colouring of a long line picks its searches up near the last
    // change instead of at the line's start. After any edit - a letter, a
    // quote or comment marker that recolours everything after it, a line
    // break, a deletion, undo - the view looks exactly as in an editor
    // that coloured the same text from scratch.
    std::mt19937 rnd(4711);
    // Quotes close together: a resume point one character off lands inside
    // a string and shows.
    std::string line;
    while (line.size() < 60000) {
        const unsigned r = rnd() % 10;
        line += r < 4 ? "\"" : r < 7 ? "a" : r < 9 ? " " : "rot ";
    }
    Editor own("Pause 1\r\nFalls x < 1\r\n" + line + "\r\nPause 2\r\nAusgabe \"unten\"");
    own.memo.setCursorWidth(0);
    QVERIFY(QTest::qWaitForWindowExposed(&own.memo));
    const char* pieces[] = {"x", "\"", "\"\"\"", "Ausgabe ", "rot", "\r\n", "\"abc\" ", " "};
    for (int round = 0; round < 60; ++round) {
        TColorMemo& m = own.memo;
        const int lineStart = m.LineStart(2);
        const int lineLength = m.LineLength(2);
        const int at = lineStart + int(rnd() % unsigned(std::max(lineLength, 1)));
        switch (rnd() % 5) {
        case 0: // typed at a place in view
        case 1:
            m.SetSelStart(at);
            for (const char* c = pieces[rnd() % 8]; *c; ++c) {
                if (*c == '\r')
                    continue;
                if (*c == '\n') {
                    QTest::keyClick(&m, Qt::Key_Return);
                    continue;
                }
                QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(QLatin1Char(*c)));
                QApplication::sendEvent(&m, &press);
            }
            break;
        case 2: // a piece replaced somewhere, maybe with a line break
            m.SetSelStart(at);
            m.SetSelLength(int(rnd() % 5));
            m.ReplaceSelection(pieces[rnd() % 8]);
            break;
        case 3:
            m.SetSelStart(at);
            for (int k = int(rnd() % 3); k >= 0; --k)
                QTest::keyClick(&m, rnd() % 2 ? Qt::Key_Backspace : Qt::Key_Delete);
            break;
        default:
            m.undo();
        }
        QCoreApplication::processEvents();
        m.viewport()->repaint();
        Editor fresh(m.WinText());
        fresh.memo.setCursorWidth(0);
        QVERIFY(QTest::qWaitForWindowExposed(&fresh.memo));
        fresh.memo.SetSelStart(m.SelStart());
        fresh.memo.SetSelLength(m.SelLength());
        fresh.memo.verticalScrollBar()->setValue(m.verticalScrollBar()->value());
        fresh.memo.horizontalScrollBar()->setValue(m.horizontalScrollBar()->value());
        QCoreApplication::processEvents();
        QVERIFY2(m.viewport()->grab().toImage() == fresh.memo.viewport()->grab().toImage(),
                 qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

void TestColMemoPainting::dropCaretStandsUnderThePointer_data()
{
    QTest::addColumn<int>("longLine"); // the second line's length
    QTest::addColumn<int>("line");     // the line dragged over
    QTest::newRow("over a long line") << 1200 << 1;
    QTest::newRow("over a short line, a long one below") << 1200 << 0;
    QTest::newRow("no long line") << 200 << 1;
}

// While a drag hovers over the text, a caret shows where it would drop:
// the only full-height dark column in the line's box (the editor has no
// focus, so its own caret is not drawn), and none once the drag leaves.
void TestColMemoPainting::dropCaretStandsUnderThePointer()
{
    QFETCH(int, longLine);
    QFETCH(int, line);
    Editor e(std::string(40, ' ') + "\r\n" + std::string(size_t(longLine), ' ') + "x", false);
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    e.memo.clearFocus();
    const QRect lineBox = e.memo.cursorRect(QTextCursor(e.memo.document()->findBlockByNumber(line)));
    const QPoint pointer(150, lineBox.center().y());
    QMimeData data;
    data.setText(QStringLiteral("neu"));
    const auto caretColumns = [&] {
        const QImage img = e.memo.viewport()->grab().toImage();
        QList<int> columns;
        for (int x = 0; x < img.width(); ++x) {
            int dark = 0;
            for (int y = lineBox.top(); y <= lineBox.bottom(); ++y)
                dark += qGray(img.pixel(x, y)) < 128;
            if (dark >= lineBox.height() - 2)
                columns.append(x);
        }
        return columns;
    };
    QDragEnterEvent enter(pointer, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(e.memo.viewport(), &enter);
    QDragMoveEvent move(pointer, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(e.memo.viewport(), &move);
    QVERIFY(move.isAccepted());
    const int expected = e.memo.cursorRect(e.memo.cursorForPosition(pointer)).x();
    QVERIFY(expected > 100);
    QCOMPARE(caretColumns(), QList<int>{expected});
    QDragLeaveEvent leave;
    QApplication::sendEvent(e.memo.viewport(), &leave);
    QCOMPARE(caretColumns(), QList<int>{});
}

QTEST_MAIN(TestColMemoPainting)
#include "tst_colmemo_painting.moc"
