// The colouring editor's hot spots under the pointer, at normal and at
// projector size, and the marked line.
#include "EditorTestKit.h"

#include <QtTest>

class TestColMemoHotSpots : public QObject {
    Q_OBJECT
private slots:
    void hotSpotHoverAndClick();
    void markedLineSpansTheWidthUntilAnEdit();
    void hotSpotAtProjectorSize();
};

void TestColMemoHotSpots::hotSpotHoverAndClick()
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
void TestColMemoHotSpots::markedLineSpansTheWidthUntilAnEdit()
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
void TestColMemoHotSpots::hotSpotAtProjectorSize()
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

QTEST_MAIN(TestColMemoHotSpots)
#include "tst_colmemo_hotspots.moc"
