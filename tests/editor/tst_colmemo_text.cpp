// The colouring editor's text in Windows-1252: conversion both ways,
// offsets, the caret and selection calls, lines, undo and the mirror kept
// for the program.
#include "EditorTestKit.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QRandomGenerator>
#include <QtTest>

class TestColMemoText : public QObject {
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
    void leftKeyFromSelectionEnd();
};

void TestColMemoText::toWinText_data()
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

void TestColMemoText::toWinText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, win);
    QFETCH(QString, unstorable);
    QString bad;
    QCOMPARE(QByteArray::fromStdString(ToWinText(text, &bad)), win);
    QCOMPARE(bad, unstorable);
}

void TestColMemoText::fromWinText_data()
{
    QTest::addColumn<QByteArray>("win");
    QTest::addColumn<QString>("text");
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringLiteral("a\nb\n");
    QTest::newRow("lone LF and CR") << QByteArray("a\nb\rc") << QStringLiteral("a\nb\nc");
    QTest::newRow("high bytes") << QByteArray("\x80\x9F\xDF\xFF") << QString::fromUtf16(u"€Ÿßÿ");
    QTest::newRow("unassigned byte") << QByteArray("\x81") << QString(QChar(0x81));
}

void TestColMemoText::fromWinText()
{
    QFETCH(QByteArray, win);
    QFETCH(QString, text);
    QCOMPARE(FromWinText(win.toStdString()), text);
}

void TestColMemoText::everyByteSurvives()
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            all += char(b);
    QString bad;
    QCOMPARE(ToWinText(FromWinText(all), &bad), all);
    QVERIFY(bad.isEmpty());
}

void TestColMemoText::offsets_data()
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

void TestColMemoText::offsets()
{
    QFETCH(int, win);
    QFETCH(int, doc);
    QFETCH(int, winBack);
    QTextDocument d(QStringLiteral("ab\ncd\n\nef"));
    QCOMPARE(DocPosFromWinOffset(d, win), doc);
    QCOMPARE(WinOffsetFromDocPos(d, doc), winBack);
}

void TestColMemoText::caretClamping_data()
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

void TestColMemoText::caretClamping()
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

void TestColMemoText::caretRestore()
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

void TestColMemoText::linesAndUndo()
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

// Lines rewritten from the Windows-1252 mirror, where a character without
// a byte reads '?', keep that character wherever their text stays.
void TestColMemoText::rewritingKeepsUnstorableCharacters()
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

void TestColMemoText::mirrorFollowsEdits()
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

void TestColMemoText::changeHandlerMayEditText()
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

void TestColMemoText::leftKeyFromSelectionEnd()
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

QTEST_MAIN(TestColMemoText)
#include "tst_colmemo_text.moc"
