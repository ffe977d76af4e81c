// The colouring editor widget, offscreen: text access, caret operations,
// which recolouring each kind of change asks for, what a paint colours and
// the hot spots.
#include "editor/ColMemo.h"
#include "editor/LineLayout.h"
#include "editor/WinText.h"
#include "editor/WorkbenchScheme.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include <climits>
#include <functional>
#include <memory>
#include <random>

using namespace tarko;

namespace {

QFont testFont()
{
    QFont f(QStringLiteral("Courier New"), 11);
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    return f;
}

struct Editor {
    Editor(std::string_view text, bool rules = true)
    {
        memo.setFont(testFont());
        memo.setLineWrapMode(QPlainTextEdit::NoWrap);
        if (rules)
            memo.SetColorRules(WorkbenchColorRules());
        memo.SetWinText(text);
        memo.resize(500, 300);
        memo.show();
    }
    // The document position of a Windows offset.
    int docPos(int winOffset) const { return DocPosFromWinOffset(*memo.document(), winOffset); }
    // Viewport point in the middle of the character at a Windows offset.
    QPoint charCentre(int winOffset)
    {
        QTextCursor c(memo.document());
        c.setPosition(docPos(winOffset));
        const QRect a = memo.cursorRect(c);
        c.setPosition(docPos(winOffset) + 1);
        const QRect b = memo.cursorRect(c);
        return QPoint((a.x() + b.x()) / 2, a.center().y());
    }
    // Whether any pixel in the box of the characters [from, to] has the colour.
    bool hasColour(int from, int to, QColor colour) { return hasColour(memo.viewport()->grab().toImage(), from, to, colour); }
    bool hasColour(const QImage& img, int from, int to, QColor colour)
    {
        QTextCursor c(memo.document());
        c.setPosition(docPos(from));
        const QRect a = memo.cursorRect(c);
        c.setPosition(docPos(to) + 1);
        const QRect b = memo.cursorRect(c);
        for (int y = a.top(); y <= a.bottom(); ++y)
            for (int x = a.left() + 1; x < b.left(); ++x)
                if (img.pixelColor(x, y) == colour)
                    return true;
        return false;
    }
    TColorMemo memo;
};

const QColor kRed(255, 0, 0);

// The same text in an editor of Qt's own layout: the reference for what the
// editor does itself on lines over 1000 characters.
void layOutByQt(TColorMemo& memo)
{
    static_cast<TLineLayout*>(memo.document()->documentLayout())->SetLongLineLength(INT_MAX);
}

TLineLayout& layoutOf(TColorMemo& memo) { return *static_cast<TLineLayout*>(memo.document()->documentLayout()); }

std::string programLine(int length, bool tabs)
{
    std::string line;
    for (int i = 0; line.size() < size_t(length); ++i)
        line += std::string(size_t(i % 3), ' ') + (i % 4 ? "Ausgabe \"gr\xFC\xDF\" " : "Falls x < 1 ") + (tabs ? "rot\t" : "rot ");
    line.resize(size_t(length));
    return line;
}

} // namespace

class TestColMemo : public QObject {
    Q_OBJECT
private slots:
    void toWinText_data();
    void toWinText();
    void fromWinText_data();
    void fromWinText();
    void everyByteSurvives();
    void offsets_data();
    void offsets();
    void caretClamping_data();
    void caretClamping();
    void caretRestore();
    void linesAndUndo();
    void rewritingKeepsUnstorableCharacters();
    void mirrorFollowsEdits();
    void changeHandlerMayEditText();
    void recolourRequest_data();
    void recolourRequest();
    void typedCharRecoloursOnlyItsLine();
    void partlyVisibleBottomLineStaysPlain();
    void wholeBottomLineIsColoured();
    void selectionKeepsHighlight();
    void leftKeyFromSelectionEnd();
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
    void hotSpotHoverAndClick();
    void markedLineSpansTheWidthUntilAnEdit();
    void hotSpotAtProjectorSize();
    void longLineGeometryMatchesQt_data();
    void longLineGeometryMatchesQt();
    void longLineEditsAsQtEdits_data();
    void longLineEditsAsQtEdits();
    void longLinePointerAndVerticalKeysAsQt();
    void longLineCaretComesIntoView();
    void lineCrossingTheLimitPaintsAsQt();
    void inputMethodSeesTheCaretOfALongLine();
    void longLineColoursAfterEditsAsFresh();
};

void TestColMemo::toWinText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("win");
    QTest::addColumn<QString>("unstorable");
    QTest::newRow("LF to CR LF") << QStringLiteral("a\nb") << QByteArray("a\r\nb") << QString();
    QTest::newRow("CR LF kept") << QStringLiteral("a\r\nb") << QByteArray("a\r\nb") << QString();
    QTest::newRow("lone CR") << QStringLiteral("a\rb") << QByteArray("a\r\nb") << QString();
    QTest::newRow("paragraph separator") << QString::fromUtf16(u"a\u2029b") << QByteArray("a\r\nb") << QString();
    QTest::newRow("umlauts and euro") << QString::fromUtf16(u"Grün €") << QByteArray("Gr\xFCn \x80") << QString();
    QTest::newRow("omega unstorable") << QString::fromUtf16(u"aΩbΩ") << QByteArray("a?b?") << QString::fromUtf16(u"Ω");
    QTest::newRow("outside BMP two units") << QString::fromUtf16(u"x\U0001F600y") << QByteArray("x??y") << QString::fromUtf16(u"\U0001F600");
    QTest::newRow("two kinds in order") << QString::fromUtf16(u"€ Ω → Ω") << QByteArray("\x80 ? ? ?") << QString::fromUtf16(u"Ω→");
}

void TestColMemo::toWinText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, win);
    QFETCH(QString, unstorable);
    QString bad;
    QCOMPARE(QByteArray::fromStdString(ToWinText(text, &bad)), win);
    QCOMPARE(bad, unstorable);
}

void TestColMemo::fromWinText_data()
{
    QTest::addColumn<QByteArray>("win");
    QTest::addColumn<QString>("text");
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringLiteral("a\nb\n");
    QTest::newRow("lone LF and CR") << QByteArray("a\nb\rc") << QStringLiteral("a\nb\nc");
    QTest::newRow("high bytes") << QByteArray("\x80\x9F\xDF\xFF") << QString::fromUtf16(u"€Ÿßÿ");
    QTest::newRow("unassigned byte") << QByteArray("\x81") << QString(QChar(0x81));
}

void TestColMemo::fromWinText()
{
    QFETCH(QByteArray, win);
    QFETCH(QString, text);
    QCOMPARE(FromWinText(win.toStdString()), text);
}

void TestColMemo::everyByteSurvives()
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            all += char(b);
    QString bad;
    QCOMPARE(ToWinText(FromWinText(all), &bad), all);
    QVERIFY(bad.isEmpty());
}

void TestColMemo::offsets_data()
{
    QTest::addColumn<int>("win");
    QTest::addColumn<int>("doc");
    QTest::addColumn<int>("winBack");
    // "ab\ncd\n\nef": Windows "ab\r\ncd\r\n\r\nef"
    QTest::newRow("start") << 0 << 0 << 0;
    QTest::newRow("line end") << 2 << 2 << 2;
    QTest::newRow("on LF maps to line end") << 3 << 2 << 2;
    QTest::newRow("second line") << 4 << 3 << 4;
    QTest::newRow("empty line") << 8 << 6 << 8;
    QTest::newRow("last line") << 11 << 8 << 11;
    QTest::newRow("end of text") << 12 << 9 << 12;
    QTest::newRow("beyond end") << 40 << 9 << 12;
}

void TestColMemo::offsets()
{
    QFETCH(int, win);
    QFETCH(int, doc);
    QFETCH(int, winBack);
    QTextDocument d(QStringLiteral("ab\ncd\n\nef"));
    QCOMPARE(DocPosFromWinOffset(d, win), doc);
    QCOMPARE(WinOffsetFromDocPos(d, doc), winBack);
}

void TestColMemo::caretClamping_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("selStartAfterLine");
    QTest::addColumn<int>("selStartAfterColumn");
    const QByteArray three("abc\r\ndef\r\nghij");
    QTest::newRow("line 9999 to last line start, column 999 to its end") << three << 9999 << 999 << 10 << 14;
    QTest::newRow("column -5 to line start") << three << 9999 << -5 << 10 << 10;
    QTest::newRow("line -1 to first line") << three << -1 << 2 << 0 << 2;
    QTest::newRow("middle line") << three << 1 << 1 << 5 << 6;
    QTest::newRow("trailing break: last non-empty line") << QByteArray("abc\r\ndef\r\n") << 9999 << 999 << 5 << 8;
    QTest::newRow("empty text") << QByteArray() << 3 << 3 << 0 << 0;
    QTest::newRow("only a line break") << QByteArray("\r\n") << 9999 << 999 << 0 << 0;
}

void TestColMemo::caretClamping()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(int, selStartAfterLine);
    QFETCH(int, selStartAfterColumn);
    Editor e(text.toStdString());
    e.memo.SetSelStart(1);
    e.memo.SetSelLength(2);
    e.memo.SetCaretLine(line);
    QCOMPARE(e.memo.SelStart(), selStartAfterLine);
    QCOMPARE(e.memo.SelLength(), 0);
    e.memo.SetCaretColumn(column);
    QCOMPARE(e.memo.SelStart(), selStartAfterColumn);
    QCOMPARE(e.memo.SelLength(), 0);
}

void TestColMemo::caretRestore()
{
    Editor e("Ausgabe 1\r\n  Falls x\r\nFallsEnde");
    e.memo.SetSelStart(15); // line 1, column 4
    const int line = e.memo.CaretLine();
    const int column = e.memo.CaretColumn();
    QCOMPARE(line, 1);
    QCOMPARE(column, 4);
    e.memo.ReplaceAllText("Ausgabe 1\r\nFalls x\r\nFallsEnde"); // re-indented
    e.memo.SetCaretLine(line);
    e.memo.SetCaretColumn(column);
    QCOMPARE(e.memo.SelStart(), 15);
    QVERIFY(e.memo.document()->isUndoAvailable());
}

// Lines rewritten from the Windows-1252 mirror, where a character without
// a byte reads '?', keep that character wherever their text stays.
void TestColMemo::rewritingKeepsUnstorableCharacters()
{
    Editor e("");
    const QString typed = QStringLiteral("Falls x\n  Ausgabe \"Ω 😀\"\n  Fallsende");
    e.memo.setPlainText(typed);
    e.memo.SetModified(false);
    QString character;
    QCOMPARE(e.memo.FirstUnstorableLine(&character), 1);
    QCOMPARE(character, QStringLiteral("Ω"));
    QCOMPARE(e.memo.Line(1), std::string("  Ausgabe \"? ??\""));
    e.memo.SetLine(1, "\tAusgabe \"? ??\"");
    QCOMPARE(e.memo.toPlainText(), QStringLiteral("Falls x\n\tAusgabe \"Ω 😀\"\n  Fallsende"));
    QVERIFY(e.memo.Modified());
    e.memo.undo();
    QCOMPARE(e.memo.toPlainText(), typed);
    // The whole text at once: one undo step, the characters kept.
    e.memo.ReplaceAllText("Falls x\r\n\tAusgabe \"? ??\"\r\nFallsende");
    QCOMPARE(e.memo.toPlainText(), QStringLiteral("Falls x\n\tAusgabe \"Ω 😀\"\nFallsende"));
    QCOMPARE(e.memo.SelStart(), 0);
    e.memo.undo();
    QCOMPARE(e.memo.toPlainText(), typed);
    QVERIFY(e.memo.Modified());
    e.memo.SetWinText("Ausgabe \"\x80\xBD\x84\x93\"");
    QCOMPARE(e.memo.FirstUnstorableLine(), -1);
    QVERIFY(!e.memo.Modified());
}

void TestColMemo::linesAndUndo()
{
    Editor e("eins\r\nzwei\r\n");
    QCOMPARE(e.memo.LineCount(), 2);
    QCOMPARE(e.memo.Line(1), std::string("zwei"));
    QCOMPARE(e.memo.Line(5), std::string());
    QCOMPARE(e.memo.LineStart(1), 6);
    QCOMPARE(e.memo.TextLength(), 12);
    QVERIFY(!e.memo.Modified());

    e.memo.SetLine(0, "EINS\xDF");
    QCOMPARE(e.memo.WinText(), std::string("EINS\xDF\r\nzwei\r\n"));
    QVERIFY(e.memo.Modified());
    e.memo.undo(); // replacing a line keeps undo
    QCOMPARE(e.memo.WinText(), std::string("eins\r\nzwei\r\n"));

    e.memo.AddLine("drei");
    QCOMPARE(e.memo.WinText(), std::string("eins\r\nzwei\r\ndrei\r\n"));
    QCOMPARE(e.memo.LineCount(), 3);
    e.memo.DeleteLine(0);
    QCOMPARE(e.memo.WinText(), std::string("zwei\r\ndrei\r\n"));
    e.memo.SetWinText("a\r\nb");
    e.memo.DeleteLine(1);
    QCOMPARE(e.memo.WinText(), std::string("a\r\n"));
    e.memo.SetWinText("zwei\r\ndrei\r\n");

    // Replacing through SelText empties undo, ReplaceSelection keeps it.
    e.memo.SetSelStart(0);
    e.memo.SetSelLength(4);
    QCOMPARE(e.memo.SelText(), std::string("zwei"));
    e.memo.ReplaceSelection("2");
    QVERIFY(e.memo.document()->isUndoAvailable());
    e.memo.SetSelStart(0);
    e.memo.SetSelLength(1);
    e.memo.SetSelText("zwo");
    QCOMPARE(e.memo.WinText(), std::string("zwo\r\ndrei\r\n"));
    QVERIFY(!e.memo.document()->isUndoAvailable());

    // Soft line breaks never enter the text.
    e.memo.SetSelStart(0);
    QTest::keyClick(&e.memo, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(e.memo.WinText(), std::string("\r\nzwo\r\ndrei\r\n"));
}

void TestColMemo::mirrorFollowsEdits()
{
    Editor e("Ausgabe \"a\"\r\nrot\r\n\r\nWiederhole\r\nBis x > 3");
    QRandomGenerator rng(4711);
    const QStringList pieces{QStringLiteral("x"), QStringLiteral("\n"), QStringLiteral("ab\ncd"), QString::fromUtf16(u"ü\n\n"),
                             QString::fromUtf16(u"Ω"), QStringLiteral("\t")};
    for (int step = 0; step < 300; ++step) {
        QTextCursor c(e.memo.document());
        const int len = e.memo.document()->characterCount() - 1;
        const int a = int(rng.bounded(len + 1));
        const int b = std::min(len, a + int(rng.bounded(6)));
        c.setPosition(a);
        c.setPosition(b, QTextCursor::KeepAnchor);
        switch (rng.bounded(5)) {
        case 0: c.removeSelectedText(); break;
        case 1: e.memo.undo(); break;
        case 2: e.memo.redo(); break;
        default: c.insertText(pieces[int(rng.bounded(pieces.size()))]); break;
        }
        const std::string expected = ToWinText(e.memo.toPlainText());
        if (e.memo.WinText() != expected)
            QFAIL(qPrintable(QStringLiteral("mirror out of step after step %1").arg(step)));
    }
    // Pasting text with every kind of line break gives real lines.
    auto* mime = new QMimeData;
    mime->setText(QString::fromUtf16(u"a\r\nb\rc\u2028d"));
    QApplication::clipboard()->setMimeData(mime);
    e.memo.SetWinText("");
    e.memo.paste();
    QCOMPARE(e.memo.WinText(), std::string("a\r\nb\r\nc\r\nd"));
}

void TestColMemo::changeHandlerMayEditText()
{
    // As automatic indentation does: the key-press handler notes Enter, the
    // change handler then indents the new line.
    Editor e("  Wiederhole");
    bool enter = false;
    e.memo.OnKeyPress = [&](TColorMemo*, QKeyEvent* k, bool&) { enter = k->text() == QStringLiteral("\r"); };
    e.memo.OnChange = [&](TColorMemo* m) {
        if (!enter)
            return;
        enter = false;
        m->ReplaceSelection("  ");
    };
    e.memo.SetCaretLine(9999);
    e.memo.SetCaretColumn(999);
    QTest::keyClick(&e.memo, Qt::Key_Return);
    QCOMPARE(e.memo.WinText(), std::string("  Wiederhole\r\n  "));
    QCOMPARE(e.memo.WinText(), ToWinText(e.memo.toPlainText()));
    QCOMPARE(e.memo.SelStart(), 16);
}

void TestColMemo::recolourRequest_data()
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

void TestColMemo::recolourRequest()
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

void TestColMemo::typedCharRecoloursOnlyItsLine()
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

void TestColMemo::partlyVisibleBottomLineStaysPlain()
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
void TestColMemo::wholeBottomLineIsColoured()
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

void TestColMemo::selectionKeepsHighlight()
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

void TestColMemo::leftKeyFromSelectionEnd()
{
    Editor e("0123456789012345678901234567890");
    e.memo.SetSelStart(10);
    e.memo.SetSelLength(10);
    QTest::keyClick(&e.memo, Qt::Key_Left);
    QCOMPARE(e.memo.SelStart(), 19);
    QCOMPARE(e.memo.SelLength(), 0);
    // With Shift the control's own selection handling applies.
    e.memo.SetSelStart(10);
    e.memo.SetSelLength(10);
    QTest::keyClick(&e.memo, Qt::Key_Left, Qt::ShiftModifier);
    QVERIFY(e.memo.SelLength() > 0);
}

void TestColMemo::disabledOrWithoutRulesDrawsNoColours()
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

void TestColMemo::paintMatchesBaseControl()
{
    // With rules that find nothing, the editor's own painting of the blocks
    // gives exactly the base control's picture, selection and tabs included.
    const std::string text = "eins\tzwei\r\n\tdrei vier\r\nf\xFCnf";
    Editor plain(text, false);
    Editor ruled(text, false);
    layOutByQt(plain.memo); // the base control's own layout and drawing
    TDrawRules none;
    TColorRule& r = none.Add();
    r.KeyDrawingType = dtKeyShow;
    r.SetKeywords({"nirgends"});
    ruled.memo.SetColorRules(none);
    for (Editor* e : {&plain, &ruled}) {
        e->memo.SetTabWidthPixels(24);
        e->memo.SetSelStart(2);
        e->memo.SetSelLength(9);
    }
    QVERIFY(QTest::qWaitForWindowExposed(&ruled.memo));
    QCOMPARE(ruled.memo.viewport()->grab().toImage(), plain.memo.viewport()->grab().toImage());
}

void TestColMemo::everyRunReachesTheScreen_data()
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
void TestColMemo::everyRunReachesTheScreen()
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

void TestColMemo::longLinePaintMatchesBaseControl_data()
{
    QTest::addColumn<int>("scrollPercent");
    QTest::addColumn<int>("tabPixels");
    QTest::newRow("start of the line") << 0 << 24;
    QTest::newRow("middle, tab stops of 24") << 47 << 24;
    QTest::newRow("middle, tab stops of 37") << 53 << 37;
    QTest::newRow("end of the line") << 100 << 16;
}

void TestColMemo::longLinePaintMatchesBaseControl()
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
    TDrawRules none;
    TColorRule& r = none.Add();
    r.KeyDrawingType = dtKeyShow;
    r.SetKeywords({"nirgends"});
    ruled.memo.SetColorRules(none);
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

void TestColMemo::longLineColoursWhereItIsSeen()
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

void TestColMemo::wideLineColoursMatchWholeLine_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("scrollPercent");
    QTest::newRow("250 characters (runs cut to the view), start") << 250 << 0;
    QTest::newRow("250 characters (runs cut to the view), middle") << 250 << 45;
    QTest::newRow("1,200 characters (drawn as the seen part), start") << 1200 << 0;
    QTest::newRow("3,000 characters (drawn as the seen part), middle") << 3000 << 61;
    QTest::newRow("3,000 characters (drawn as the seen part), end") << 3000 << 100;
}

void TestColMemo::wideLineColoursMatchWholeLine()
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
    static_cast<TLineLayout*>(wide.memo.document()->documentLayout())->SetLongLineLength(INT_MAX);
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

void TestColMemo::longLineColoursFollowEveryChange()
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

void TestColMemo::drawKeyHandler()
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

void TestColMemo::hotSpotHoverAndClick()
{
    Editor e("Siehe \x1EHilfe\x1F und \x1E" "Beispiel\x1F.", false);
    THotSpot hs;
    hs.Active = true;
    e.memo.SetHotSpot(hs);
    std::string clicked;
    int clicks = 0;
    e.memo.OnHotSpotClick = [&](TColorMemo*, const std::string& src) {
        clicked = src;
        ++clicks;
    };
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    QWidget* vp = e.memo.viewport();

    QTest::mouseMove(vp, e.charCentre(9)); // inside "Hilfe"
    QVERIFY(e.memo.OverHotSpot());
    QCOMPARE(vp->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, e.charCentre(9));
    QCOMPARE(clicked, std::string("Hilfe"));

    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, e.charCentre(12)); // closing marker
    QCOMPARE(clicked, std::string("Hilfe"));
    QTest::mouseMove(vp, e.charCentre(20)); // the second hot spot
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, e.charCentre(20));
    QCOMPARE(clicked, std::string("Beispiel"));
    QCOMPARE(clicks, 3);

    QTest::mouseMove(vp, e.charCentre(6)); // the opening marker is not part of it
    QVERIFY(!e.memo.OverHotSpot());
    QCOMPARE(vp->cursor().shape(), Qt::IBeamCursor);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, e.charCentre(6));
    QCOMPARE(clicks, 3);

    // The hot-spot text is blue; inactive, nothing is coloured or reported.
    QVERIFY(e.hasColour(7, 11, QColor(0, 0, 255)));
    hs.Active = false;
    e.memo.SetHotSpot(hs);
    QVERIFY(!e.hasColour(7, 11, QColor(0, 0, 255)));
    QTest::mouseMove(vp, e.charCentre(9));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, e.charCentre(9));
    QCOMPARE(clicks, 3);
}

// The marked line is painted across the whole width over the colouring; it
// is scrolled into view without moving the caret and goes with an edit.
void TestColMemo::markedLineSpansTheWidthUntilAnEdit()
{
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "Ausgabe \"Zeile\" " + std::to_string(i) + "\r\n";
    Editor ed(text);
    TColorMemo& m = ed.memo;
    const QColor mark(255, 246, 168);
    m.SetMarkedLine(500, mark);
    QCOMPARE(m.MarkedLine(), -1);

    m.SetMarkedLine(70, mark);
    m.ScrollLineIntoView(70);
    QCOMPARE(m.MarkedLine(), 70);
    QCOMPARE(m.CaretLine(), 0);
    QCOMPARE(m.SelLength(), 0);
    QTextCursor c(m.document()->findBlockByNumber(70));
    const QRect line = m.cursorRect(c);
    QVERIFY(m.viewport()->rect().contains(line));
    const QImage shot = m.viewport()->grab().toImage();
    QCOMPARE(shot.pixelColor(m.viewport()->width() - 8, line.center().y()), mark);   // beyond the text
    QVERIFY(ed.hasColour(m.LineStart(70), m.LineStart(70) + 6, QColor(Qt::red)));   // keyword still red
    c.movePosition(QTextCursor::Down);
    const QRect next = m.cursorRect(c);
    QVERIFY(shot.pixelColor(m.viewport()->width() - 8, next.center().y()) != mark);

    m.SetCaretLine(10);
    QCOMPARE(m.MarkedLine(), 70);
    QTest::keyClick(&m, Qt::Key_X);
    QCOMPARE(m.MarkedLine(), -1);
    QVERIFY(m.extraSelections().isEmpty());
}

// With the font three times as large (the workbench's 300 % zoom) the
// pointer still finds the character under it: the letters of a hot spot
// report it, the opening marker and the blank after it do not.
void TestColMemo::hotSpotAtProjectorSize()
{
    Editor e("Siehe \x1EHilfe\x1F und mehr", false);
    QFont big = e.memo.font();
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * 3);
    else
        big.setPixelSize(big.pixelSize() * 3);
    e.memo.setFont(big);
    e.memo.resize(1500, 300);
    THotSpot hs;
    hs.Active = true;
    e.memo.SetHotSpot(hs);
    std::vector<std::string> clicked;
    e.memo.OnHotSpotClick = [&](TColorMemo*, const std::string& src) { clicked.push_back(src); };
    QVERIFY(QTest::qWaitForWindowExposed(&e.memo));
    QWidget* vp = e.memo.viewport();
    for (int offset : {6, 7, 11, 13}) {   // opening marker, H, e, the blank after the closing marker
        QTest::mouseMove(vp, e.charCentre(offset));
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, e.charCentre(offset));
    }
    QCOMPARE(clicked, (std::vector<std::string>{"Hilfe", "Hilfe"}));
}


// ---------------------------------------------------------------- lines the editor lays out itself

void TestColMemo::longLineGeometryMatchesQt_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("tabPixels");
    const QString program = FromWinText(programLine(3000, true));
    QTest::newRow("program text, tabs every 24 px") << program << 24;
    QTest::newRow("program text, default tab stops") << program << 0;
    QTest::newRow("tabs closer than a character") << program << 3;
    QString win1252;
    for (int i = 0; win1252.size() < 2500; ++i)
        win1252 += QStringLiteral("Ausgabe \u201EPreis: 12,50 \u20AC \u00BD\u201C \u00E4\u00F6\u00FC\u00DF ");
    QTest::newRow("Windows-1252 characters") << win1252 << 0;
    QString foreign;
    for (int i = 0; foreign.size() < 2500; ++i)
        foreign += QStringLiteral("Ausgabe \"\u03A9 \u2192 \u0142\" \U0001F600\t");
    QTest::newRow("characters of other fonts and outside the BMP") << foreign << 40;
}

void TestColMemo::longLineGeometryMatchesQt()
{
    // Every x of a line the editor lays out itself is the x Qt's layout
    // gives, and every x hits the column Qt's layout hits.
    QFETCH(QString, line);
    QFETCH(int, tabPixels);
    Editor own("Pause 1\r\n" + ToWinText(line) + "\r\nPause 2");
    Editor qt("Pause 1\r\n" + ToWinText(line) + "\r\nPause 2");
    layOutByQt(qt.memo);
    for (Editor* e : {&own, &qt})
        if (tabPixels > 0)
            e->memo.SetTabWidthPixels(tabPixels);
    const QTextBlock ownBlock = own.memo.document()->findBlockByNumber(1);
    const QTextBlock qtBlock = qt.memo.document()->findBlockByNumber(1);
    QVERIFY(layoutOf(own.memo).IsLong(ownBlock));
    QVERIFY(!layoutOf(qt.memo).IsLong(qtBlock));
    QCOMPARE(ownBlock.layout()->lineCount(), 0); // Qt never laid it out
    QCOMPARE(layoutOf(qt.memo).blockBoundingRect(qtBlock).height(), layoutOf(own.memo).blockBoundingRect(ownBlock).height());
    const QTextLine qtLine = qtBlock.layout()->lineAt(0);
    QVERIFY(qtLine.isValid());
    QCOMPARE(layoutOf(own.memo).NaturalWidth(ownBlock), qtLine.naturalTextWidth());
    for (int column = 0; column <= line.size(); ++column) {
        if (column > 0 && line[column - 1].isHighSurrogate())
            continue; // no boundary inside a pair
        const qreal x = qtLine.cursorToX(column);
        QCOMPARE(layoutOf(own.memo).CursorToX(ownBlock, column), x);
        for (qreal dx : {-0.6, 0.6, 2.4})
            QCOMPARE(layoutOf(own.memo).XToCursor(ownBlock, x + dx), qtLine.xToCursor(x + dx));
    }
    // A change of tab stops or font reaches the long line at once.
    for (Editor* e : {&own, &qt})
        e->memo.SetTabWidthPixels(57);
    QFont bigger = testFont();
    bigger.setPointSize(15);
    for (Editor* e : {&own, &qt})
        e->memo.setFont(bigger);
    layoutOf(qt.memo).blockBoundingRect(qtBlock); // lays it out again
    const QTextLine qtLine2 = qtBlock.layout()->lineAt(0);
    QCOMPARE(layoutOf(own.memo).CursorToX(ownBlock, int(line.size()) / 2), qtLine2.cursorToX(int(line.size()) / 2));
    QCOMPARE(layoutOf(own.memo).NaturalWidth(ownBlock), qtLine2.naturalTextWidth());
}

void TestColMemo::longLineEditsAsQtEdits_data()
{
    QTest::addColumn<QString>("keys"); // letters typed; [L] Left, [B] Backspace, [D] Delete, [S] Shift+Right, [H] Home
    QTest::newRow("a run of letters") << QStringLiteral("abc def");
    QTest::newRow("letters, then Backspace over some") << QStringLiteral("abcd[B][B]");
    QTest::newRow("Backspace over the old text") << QStringLiteral("[B][B][B][B][B]");
    QTest::newRow("Delete over the old text") << QStringLiteral("[D][D][D][D]");
    QTest::newRow("letters, Left, letters") << QStringLiteral("ab[L]cd");
    QTest::newRow("Backspace, letters, Delete") << QStringLiteral("[B]xy[D][D]z");
    QTest::newRow("a selection replaced by a letter") << QStringLiteral("[S][S][S]x");
    QTest::newRow("a selection deleted") << QStringLiteral("[S][S][D]q");
    QTest::newRow("umlauts, tab and an emoji") << QStringLiteral("\u00E4\u00DF\t\U0001F600[B]o");
    QTest::newRow("Backspace at the line's start joins it to the line above") << QStringLiteral("[H][B]x");
}

void TestColMemo::longLineEditsAsQtEdits()
{
    // The same keys on a line the editor edits itself and on a short line
    // Qt edits: the same text, caret and undo steps, step by step back.
    QFETCH(QString, keys);
    struct Side {
        std::unique_ptr<Editor> e;
        int prefix;
    };
    // The long line has 2000 characters more in front; the caret stands
    // after the same 24 characters on both.
    const std::string tail = "Falls x < 1 rot\tAusgabe ";
    std::vector<Side> sides;
    for (int filler : {2000, 0}) {
        const std::string text = "Zeile\r\n" + programLine(filler, true) + tail + "Ende des Textes\r\nZeile";
        sides.push_back({std::make_unique<Editor>(text), filler});
        TColorMemo& m = sides.back().e->memo;
        m.SetSelStart(7 + filler + int(tail.size()));
        m.setFocus();
    }
    QVERIFY(layoutOf(sides[0].e->memo).IsLong(sides[0].e->memo.document()->findBlockByNumber(1)));
    QVERIFY(!layoutOf(sides[1].e->memo).IsLong(sides[1].e->memo.document()->findBlockByNumber(1)));
    for (Side& side : sides) {
        TColorMemo& m = side.e->memo;
        for (int i = 0; i < keys.size(); ++i) {
            if (keys[i] == u'[') {
                const QChar k = keys[i + 1];
                i += 2;
                if (k == u'L')
                    QTest::keyClick(&m, Qt::Key_Left);
                else if (k == u'B')
                    QTest::keyClick(&m, Qt::Key_Backspace);
                else if (k == u'D')
                    QTest::keyClick(&m, Qt::Key_Delete);
                else if (k == u'S')
                    QTest::keyClick(&m, Qt::Key_Right, Qt::ShiftModifier);
                else if (k == u'H')
                    QTest::keyClick(&m, Qt::Key_Home);
                continue;
            }
            const bool pair = keys[i].isHighSurrogate();
            const QString text = keys.mid(i, pair ? 2 : 1);
            QKeyEvent press(QEvent::KeyPress, keys[i] == u'\t' ? Qt::Key_Tab : Qt::Key_A, Qt::NoModifier, text);
            QApplication::sendEvent(&m, &press);
            if (pair)
                ++i;
        }
        QVERIFY(m.Modified());
    }
    // Text and caret with the filler taken out (the part that differs).
    auto state = [](const Side& side) {
        TColorMemo& m = side.e->memo;
        const int from = 6; // after "Zeile" and its line break
        auto shift = [&](int pos) { return pos >= from + side.prefix ? pos - side.prefix : pos; };
        QString text = m.document()->toPlainText();
        text.remove(from, side.prefix);
        return QStringLiteral("%1 | caret %2 anchor %3").arg(text).arg(shift(m.textCursor().position())).arg(shift(m.textCursor().anchor()));
    };
    QCOMPARE(state(sides[0]), state(sides[1]));
    QCOMPARE(sides[0].e->memo.Line(1).size(), size_t(sides[0].e->memo.document()->findBlockByNumber(1).text().size()));
    // Undo goes back in the same steps.
    int steps = 0;
    while (sides[1].e->memo.document()->isUndoAvailable()) {
        for (Side& side : sides)
            side.e->memo.undo();
        ++steps;
        QCOMPARE(state(sides[0]), state(sides[1]));
    }
    QVERIFY(steps > 0);
    QCOMPARE(sides[0].e->memo.WinText().substr(0, 7 + 2000), "Zeile\r\n" + programLine(2000, true));
    QVERIFY(!sides[0].e->memo.document()->isUndoAvailable());
    for (Side& side : sides)
        side.e->memo.redo();
    QCOMPARE(state(sides[0]), state(sides[1]));
}

void TestColMemo::longLinePointerAndVerticalKeysAsQt()
{
    // Clicks, drags, double clicks and Up/Down on and across a long line
    // land where they land when Qt lays the line out.
    const std::string text = "Ausgabe \"oben\" 12345 und noch mehr Text\r\n" + programLine(4000, true)
        + "\r\nPause 2\r\nAusgabe \"unten\" mit einer langen Zeile, aber kurz genug";
    Editor own(text);
    Editor qt(text);
    layOutByQt(qt.memo);
    for (Editor* e : {&own, &qt}) {
        e->memo.SetTabWidthPixels(24);
        QVERIFY(QTest::qWaitForWindowExposed(&e->memo));
    }
    auto both = [&](const std::function<void(TColorMemo&)>& step) {
        for (Editor* e : {&own, &qt})
            step(e->memo);
        QCOMPARE(own.memo.textCursor().position(), qt.memo.textCursor().position());
        QCOMPARE(own.memo.textCursor().anchor(), qt.memo.textCursor().anchor());
    };
    const QTextBlock line = qt.memo.document()->findBlockByNumber(1);
    const int y = qt.memo.cursorRect(QTextCursor(line)).center().y();
    for (int x : {3, 40, 41, 200, 333, 480})
        both([&](TColorMemo& m) { QTest::mouseClick(m.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y)); });
    both([&](TColorMemo& m) { QTest::mouseClick(m.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(120, y)); });
    both([&](TColorMemo& m) {
        QTest::mousePress(m.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(60, y));
        QTest::mouseMove(m.viewport(), QPoint(250, y));
        QTest::mouseRelease(m.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(250, y));
    });
    QVERIFY(own.memo.textCursor().hasSelection());
    both([&](TColorMemo& m) { QTest::mouseDClick(m.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(97, y)); });
    QCOMPARE(own.memo.textCursor().selectedText(), qt.memo.textCursor().selectedText());
    QVERIFY(!own.memo.textCursor().selectedText().isEmpty());

    // Up and Down keep the column through the long line, Shift selects.
    for (int column : {0, 17, 33}) {
        both([&](TColorMemo& m) { m.SetSelStart(column); });
        for (Qt::Key k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up})
            both([&](TColorMemo& m) { QTest::keyClick(&m, k); });
        both([&](TColorMemo& m) { QTest::keyClick(&m, Qt::Key_Down, Qt::ShiftModifier); });
        both([&](TColorMemo& m) { QTest::keyClick(&m, Qt::Key_Down, Qt::ShiftModifier); });
    }
    // From far along the long line down to the short ones and back.
    both([&](TColorMemo& m) {
        m.SetSelStart(m.LineStart(1) + 2500);
        QTest::keyClick(&m, Qt::Key_Down);
    });
    both([&](TColorMemo& m) { QTest::keyClick(&m, Qt::Key_Up); });
}

void TestColMemo::longLineCaretComesIntoView()
{
    // Wherever the caret goes on a long line, the view follows as it
    // follows on a line Qt lays out, and a letter typed out of view brings
    // its line back.
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "Ausgabe \"Zeile\" " + std::to_string(i) + "\r\n";
    text += programLine(3000, true);
    Editor own(text);
    Editor qt(text);
    layOutByQt(qt.memo);
    for (Editor* e : {&own, &qt})
        QVERIFY(QTest::qWaitForWindowExposed(&e->memo));
    auto scrolls = [&] {
        QCOMPARE(own.memo.verticalScrollBar()->value(), qt.memo.verticalScrollBar()->value());
        QCOMPARE(own.memo.horizontalScrollBar()->value(), qt.memo.horizontalScrollBar()->value());
        QCOMPARE(own.memo.horizontalScrollBar()->pageStep(), qt.memo.horizontalScrollBar()->pageStep());
        QVERIFY(own.memo.viewport()->rect().contains(own.memo.cursorRect()));
    };
    for (Editor* e : {&own, &qt})
        QTest::keyClick(&e->memo, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::processEvents();
    scrolls();
    for (Editor* e : {&own, &qt})
        QTest::keyClicks(&e->memo, "neu");
    QCoreApplication::processEvents();
    scrolls();
    QCOMPARE(own.memo.Line(40).substr(3000), std::string("neu"));
    // The long line scrolled out of view, then a letter typed there.
    for (Editor* e : {&own, &qt}) {
        e->memo.verticalScrollBar()->setValue(0);
        e->memo.horizontalScrollBar()->setValue(0);
        QTest::keyClick(&e->memo, Qt::Key_X);
    }
    QCoreApplication::processEvents();
    scrolls();
    // The caret placed by the program in the middle of the line.
    for (Editor* e : {&own, &qt}) {
        e->memo.SetCaretLine(0);
        e->memo.SetSelStart(e->memo.LineStart(40) + 1500);
    }
    QCoreApplication::processEvents();
    scrolls();
    for (Editor* e : {&own, &qt})
        QTest::keyClick(&e->memo, Qt::Key_Home);
    QCoreApplication::processEvents();
    scrolls();
}

void TestColMemo::lineCrossingTheLimitPaintsAsQt()
{
    // A line typed past 1000 characters passes from Qt's layout to the
    // editor's and back with Backspace; at every step it looks as Qt draws
    // it (the caret left out: its blinking is not the same on both).
    const std::string text = "Pause 1\r\n" + programLine(997, false) + "\r\nPause 2";
    Editor own(text);
    Editor qt(text);
    layOutByQt(qt.memo);
    for (Editor* e : {&own, &qt}) {
        e->memo.setCursorWidth(0);
        QVERIFY(QTest::qWaitForWindowExposed(&e->memo));
        e->memo.SetSelStart(9 + 997);
    }
    const QTextBlock line = own.memo.document()->findBlockByNumber(1);
    auto same = [&] {
        QCoreApplication::processEvents();
        QCOMPARE(own.memo.horizontalScrollBar()->value(), qt.memo.horizontalScrollBar()->value());
        QCOMPARE(own.memo.viewport()->grab().toImage(), qt.memo.viewport()->grab().toImage());
    };
    same();
    for (const char* keys : {"ab", "c", "\"x", "yz"}) {
        for (Editor* e : {&own, &qt})
            QTest::keyClicks(&e->memo, keys);
        same();
    }
    QVERIFY(layoutOf(own.memo).IsLong(line));
    for (int i = 0; i < 7; ++i) {
        for (Editor* e : {&own, &qt})
            QTest::keyClick(&e->memo, Qt::Key_Backspace);
        same();
    }
    QVERIFY(!layoutOf(own.memo).IsLong(line));
    QCOMPARE(own.memo.Line(1), programLine(997, false));
}

void TestColMemo::inputMethodSeesTheCaretOfALongLine()
{
    // An input method is told where the caret is and a part of the text
    // around it, not the whole megabyte.
    const std::string line = programLine(1000000, false);
    Editor own("Pause 1\r\n" + line);
    QVERIFY(QTest::qWaitForWindowExposed(&own.memo));
    own.memo.SetSelStart(9 + 500000);
    QCoreApplication::processEvents();
    const QRect caret = own.memo.cursorRect();
    QVERIFY(own.memo.viewport()->rect().contains(caret));
    QCOMPARE(own.memo.inputMethodQuery(Qt::ImCursorRectangle).toRectF().toRect(), caret);
    const QString around = own.memo.inputMethodQuery(Qt::ImSurroundingText).toString();
    const int at = own.memo.inputMethodQuery(Qt::ImCursorPosition).toInt();
    QVERIFY(around.size() <= 512);
    QCOMPARE(around, FromWinText(line.substr(500000 - size_t(at), size_t(around.size()))));
    QCOMPARE(own.memo.inputMethodQuery(Qt::ImTextAfterCursor).toString(), around.mid(at));
    QCOMPARE(own.memo.inputMethodQuery(Qt::ImTextBeforeCursor).toString(), around.left(at));
}

void TestColMemo::longLineColoursAfterEditsAsFresh()
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

QTEST_MAIN(TestColMemo)
#include "tst_colmemo.moc"
