// Lines over 1000 characters, laid out by the editor itself, against the
// same lines laid out by Qt: geometry, editing, the pointer and vertical
// keys, scrolling the caret into view, crossing the limit and the input
// method.
#include "EditorTestKit.h"

#include <QApplication>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include <functional>
#include <memory>

class TestLongLineLayout : public QObject {
    Q_OBJECT
private slots:
    void longLineGeometryMatchesQt_data();
    void longLineGeometryMatchesQt();
    void longLineEditsAsQtEdits_data();
    void longLineEditsAsQtEdits();
    void longLinePointerAndVerticalKeysAsQt();
    void longLineCaretComesIntoView();
    void lineCrossingTheLimitPaintsAsQt();
    void inputMethodSeesTheCaretOfALongLine();
};

void TestLongLineLayout::longLineGeometryMatchesQt_data()
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

void TestLongLineLayout::longLineGeometryMatchesQt()
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

void TestLongLineLayout::longLineEditsAsQtEdits_data()
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

void TestLongLineLayout::longLineEditsAsQtEdits()
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

void TestLongLineLayout::longLinePointerAndVerticalKeysAsQt()
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

void TestLongLineLayout::longLineCaretComesIntoView()
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

void TestLongLineLayout::lineCrossingTheLimitPaintsAsQt()
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

void TestLongLineLayout::inputMethodSeesTheCaretOfALongLine()
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

QTEST_MAIN(TestLongLineLayout)
#include "tst_longline_layout.moc"
