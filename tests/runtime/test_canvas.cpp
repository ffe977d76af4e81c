// The graphics canvas, pixel by pixel: programs drawing through the
// interpreter onto a real canvas, and the canvas's clipping of far coordinates.
#include <QElapsedTimer>
#include <QtTest>
#include <set>
#include <utility>

#include "TestCode.h"
#include "runtime/Canvas.h"

using namespace tarko;
using namespace tarko::test;
using O = TOpcode;
using Pixels = std::set<std::pair<int, int>>;   // (column, row)

namespace {

// Console and canvas as the run panel keeps them: exactly one is visible.
class CanvasHost : public RecordingHost {
public:
    Canvas canvas;
    bool graphics = false;
    void ShowConsole() override { graphics = false; }
    void ShowGraphics() override
    {
        if (!graphics)
            canvas.Reset();
        graphics = true;
    }
    void ClearRunPanel() override { canvas.Clear(); }
    void SetColor(int n) override { canvas.SetColor(n); }
    void Point(int64_t c, int64_t r) override { canvas.Point(c, r); }
    void Line(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override { canvas.Line(c1, r1, c2, r2); }
    void FillRect(int64_t c1, int64_t r1, int64_t c2, int64_t r2) override { canvas.FillRect(c1, r1, c2, r2); }
    void FillCircle(int64_t c, int64_t r, int64_t rr) override { canvas.FillCircle(c, r, rr); }
    void DrawText(int64_t c, int64_t r, const std::string& t) override { canvas.DrawText(c, r, t); }
};

Pixels Lit(const QImage& img)
{
    Pixels p;
    for (int r = 0; r < img.height(); ++r)
        for (int c = 0; c < img.width(); ++c)
            if (img.pixel(c, r) != qRgb(0, 0, 0))
                p.insert({c, r});
    return p;
}

Pixels Block(int c0, int c1, int r0, int r1)
{
    Pixels p;
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r)
            p.insert({c, r});
    return p;
}

// Runs "operands pushed, then op" and returns the canvas's lit pixels.
Pixels Draw(const QList<double>& operands, O op, CanvasHost& host)
{
    AssembleDrawing(operands, op);
    const RunResult r = RunProgram(host, false);
    if (r.end != RunEnd::Stopped)
        qWarning("run ended with %s", r.fault.c_str());
    return Lit(host.canvas.image());
}

} // namespace

class TestCanvas : public QObject {
    Q_OBJECT

private slots:
    void shapes_data();
    void shapes();
    void circleFillsTheDiscInItsBox();
    void linesDrawTheSamePixelsInBothDirections();
    void farCoordinatesAreClippedCheaply_data();
    void farCoordinatesAreClippedCheaply();
    void colours_data();
    void colours();
    void switchFromConsoleStartsBlackAndWhite();
    void clearKeepsTheColour();
    void textStandsOnItsPointOnABlackBox();
    void pictureScalesEachPixelToASquare();
};

void TestCanvas::shapes_data()
{
    QTest::addColumn<QList<double>>("operands");
    QTest::addColumn<O>("op");
    QTest::addColumn<Pixels>("pixels");

    QTest::newRow("point 0;0 is column 100 row 99") << QList<double>{0, 0} << O::GPLOT << Pixels{{100, 99}};
    QTest::newRow("point -0,05;0,05 lands on the origin pixel") << QList<double>{-0.05, 0.05} << O::GPLOT << Pixels{{100, 99}};
    QTest::newRow("point -0,15;0 is column 99") << QList<double>{-0.15, 0} << O::GPLOT << Pixels{{99, 99}};
    QTest::newRow("point -10;-10 is the bottom-left pixel") << QList<double>{-10, -10} << O::GPLOT << Pixels{{0, 199}};
    QTest::newRow("point 10;10 lies outside") << QList<double>{10, 10} << O::GPLOT << Pixels{};
    QTest::newRow("point 1000000;0 lies outside") << QList<double>{1000000, 0} << O::GPLOT << Pixels{};
    QTest::newRow("line -10;0 to 10;0 is row 99, columns 0 to 199") << QList<double>{-10, 0, 10, 0} << O::GLINE << Block(0, 199, 99, 99);
    QTest::newRow("line 0;-10 to 0;10 is column 100, rows 0 to 199") << QList<double>{0, -10, 0, 10} << O::GLINE << Block(100, 100, 0, 199);
    QTest::newRow("line of one pixel") << QList<double>{1, 1, 1, 1} << O::GLINE << Pixels{{110, 89}};
    QTest::newRow("line draws both end points") << QList<double>{0, 0, 0.3, 0} << O::GLINE << Block(100, 103, 99, 99);
    QTest::newRow("diagonal line") << QList<double>{0, 0, 0.3, 0.3} << O::GLINE << Pixels{{100, 99}, {101, 98}, {102, 97}, {103, 96}};
    QTest::newRow("rectangle 1;1 3;3") << QList<double>{1, 1, 3, 3} << O::GRECTFIL << Block(110, 129, 69, 88);
    QTest::newRow("rectangle 3;3 1;1 covers the same") << QList<double>{3, 3, 1, 1} << O::GRECTFIL << Block(110, 129, 69, 88);
    QTest::newRow("rectangle 3;1 1;3 covers the same") << QList<double>{3, 1, 1, 3} << O::GRECTFIL << Block(110, 129, 69, 88);
    QTest::newRow("rectangle of zero width is empty") << QList<double>{1, 1, 1, 3} << O::GRECTFIL << Pixels{};
    QTest::newRow("rectangle over the whole plane") << QList<double>{-10, -10, 10, 10} << O::GRECTFIL << Block(0, 199, 0, 198);
    QTest::newRow("circle of radius 0 is empty") << QList<double>{0, 0, 0} << O::GCIRCLE << Pixels{};
}

void TestCanvas::shapes()
{
    QFETCH(QList<double>, operands);
    QFETCH(O, op);
    QFETCH(Pixels, pixels);
    CanvasHost host;
    QCOMPARE(Draw(operands, op, host), pixels);
}

void TestCanvas::circleFillsTheDiscInItsBox()
{
    // Kreis (0; 0; 1): box from column 90, row 89 to column 110, row 109.
    CanvasHost host;
    const Pixels disc = Draw({0, 0, 1}, O::GCIRCLE, host);
    int c0 = 999, c1 = -1, r0 = 999, r1 = -1;
    for (auto [c, r] : disc) {
        c0 = std::min(c0, c);
        c1 = std::max(c1, c);
        r0 = std::min(r0, r);
        r1 = std::max(r1, r);
    }
    QCOMPARE(c0, 90);
    QCOMPARE(c1, 109);
    QCOMPARE(r0, 89);
    QCOMPARE(r1, 108);
    // Filled, round and symmetric about the box's centre.
    QVERIFY(disc.count({100, 99}) && disc.count({90, 99}) && disc.count({109, 98}));
    QVERIFY(!disc.count({90, 89}) && !disc.count({109, 108}));
    for (auto [c, r] : disc) {
        QVERIFY(disc.count({199 - c, r}));
        QVERIFY(disc.count({c, 197 - r}));
    }
    QVERIFY(disc.size() > 280 && disc.size() < 340);   // about pi * 10^2

    // A negative radius draws the same disc.
    CanvasHost negative;
    QCOMPARE(Draw({0, 0, -1}, O::GCIRCLE, negative), disc);
}

void TestCanvas::linesDrawTheSamePixelsInBothDirections()
{
    const QList<QList<double>> lines{{-3, -1, 4, 2.5}, {0, 0, 0.7, 2}, {-9.9, 9.9, 9.9, -3.3}, {1, 1, 1.5, 1.2}};
    for (const QList<double>& l : lines) {
        CanvasHost forward, backward;
        const Pixels a = Draw(l, O::GLINE, forward);
        const Pixels b = Draw({l[2], l[3], l[0], l[1]}, O::GLINE, backward);
        QCOMPARE(a, b);
        // Connected: one pixel per step along the longer axis.
        const int dc = std::abs(int(10 * l[2]) - int(10 * l[0]));
        const int dr = std::abs(int(10 * l[3]) - int(10 * l[1]));
        QCOMPARE(int(a.size()), std::max(dc, dr) + 1);
    }
}

void TestCanvas::farCoordinatesAreClippedCheaply_data()
{
    QTest::addColumn<QList<double>>("operands");
    QTest::addColumn<O>("op");
    QTest::addColumn<int>("count");

    QTest::newRow("diagonal from far outside crosses the image") << QList<double>{-1e15, -1e15, 1e15, 1e15} << O::GLINE << 200;
    QTest::newRow("line far outside draws nothing") << QList<double>{-1e15, 50, 1e15, 60} << O::GLINE << 0;
    QTest::newRow("huge rectangle fills the image") << QList<double>{-1e17, -1e17, 1e17, 1e17} << O::GRECTFIL << 40000;
    QTest::newRow("huge circle fills the image") << QList<double>{0, 0, 1e15} << O::GCIRCLE << 40000;
    QTest::newRow("huge circle beside the image misses it") << QList<double>{1e16, 0, 1e14} << O::GCIRCLE << 0;
}

void TestCanvas::farCoordinatesAreClippedCheaply()
{
    QFETCH(QList<double>, operands);
    QFETCH(O, op);
    QFETCH(int, count);
    CanvasHost host;
    QElapsedTimer t;
    t.start();
    const Pixels lit = Draw(operands, op, host);
    QVERIFY2(t.elapsed() < 1000, "drawing must not walk the shape outside the image");
    QCOMPARE(int(lit.size()), count);
    if (count == 200)
        for (int c = 0; c < 200; ++c)
            QVERIFY(lit.count({c, 199 - c}));
}

void TestCanvas::colours_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("14 Schwarz") << 14 << QColor(0, 0, 0);
    QTest::newRow("15 Grau") << 15 << QColor(128, 128, 128);
    QTest::newRow("16 Weiss") << 16 << QColor(255, 255, 255);
    QTest::newRow("17 Rot") << 17 << QColor(255, 0, 0);
    QTest::newRow("18 Gelb") << 18 << QColor(255, 255, 0);
    QTest::newRow("19 Gruen") << 19 << QColor(0, 128, 0);
    QTest::newRow("20 Blau") << 20 << QColor(0, 0, 255);
    QTest::newRow("13 is black") << 13 << QColor(0, 0, 0);
    QTest::newRow("21 is black") << 21 << QColor(0, 0, 0);
    QTest::newRow("-17 is black") << -17 << QColor(0, 0, 0);
}

void TestCanvas::colours()
{
    QFETCH(int, number);
    QFETCH(QColor, colour);
    Assemble({{O::PUSHC, double(number)}, {O::GCOLOR}, {O::PUSHC, 0}, {O::PUSHC, 0}, {O::GPLOT}});
    CanvasHost host;
    RunProgram(host, false);
    QCOMPARE(host.canvas.image().pixelColor(100, 99), colour);
}

void TestCanvas::switchFromConsoleStartsBlackAndWhite()
{
    // Rot, a point, a text output, another point: the second point is drawn
    // white on a black image; the first is gone.
    Assemble({{O::PUSHC, 17}, {O::GCOLOR}, {O::PUSHC, 1}, {O::PUSHC, 1}, {O::GPLOT},
              {O::PUSHC, 0}, {O::WRTEXT}, {O::PUSHC, 2}, {O::PUSHC, 2}, {O::GPLOT}},
             0, {"x"});
    CanvasHost host;
    RunProgram(host, false);
    QCOMPARE(Lit(host.canvas.image()), (Pixels{{120, 79}}));
    QCOMPARE(host.canvas.image().pixelColor(120, 79), QColor(Qt::white));
}

void TestCanvas::clearKeepsTheColour()
{
    Assemble({{O::PUSHC, 20}, {O::GCOLOR}, {O::PUSHC, -10}, {O::PUSHC, -10}, {O::PUSHC, 10},
              {O::PUSHC, 10}, {O::GRECTFIL}, {O::LOESCHEN}, {O::PUSHC, 0}, {O::PUSHC, 0}, {O::GPLOT}});
    CanvasHost host;
    RunProgram(host, false);
    QCOMPARE(Lit(host.canvas.image()), (Pixels{{100, 99}}));
    QCOMPARE(host.canvas.image().pixelColor(100, 99), QColor(0, 0, 255));
}

void TestCanvas::textStandsOnItsPointOnABlackBox()
{
    // Under a white background: the text's box is black with yellow glyphs,
    // with its top-left corner at (col, row - 11); nothing outside it changes.
    Assemble({{O::PUSHC, -10}, {O::PUSHC, -10}, {O::PUSHC, 10}, {O::PUSHC, 10}, {O::GRECTFIL},
              {O::PUSHC, 18}, {O::GCOLOR}, {O::PUSHC, 0}, {O::PUSHC, 0}, {O::PUSHC, 0}, {O::GTEXT}},
             0, {"Hallo"});
    CanvasHost host;
    RunProgram(host, false);
    const QImage& img = host.canvas.image();
    int black = 0, yellow = 0, maxCol = 0;
    for (int r = 0; r < 199; ++r)
        for (int c = 0; c < 200; ++c) {
            const QRgb p = img.pixel(c, r);
            const bool inBox = r >= 88 && r <= 98 && c >= 100;
            if (!inBox) {
                QVERIFY2(p == qRgb(255, 255, 255), qPrintable(QString("%1,%2").arg(c).arg(r)));
                continue;
            }
            if (p == qRgb(0, 0, 0)) {
                ++black;
                maxCol = std::max(maxCol, c);
            } else if (p == qRgb(255, 255, 0)) {
                ++yellow;
            } else if (p != qRgb(255, 255, 255)) {
                QFAIL("text is drawn with smoothing");
            }
        }
    QVERIFY(yellow > 20);
    QVERIFY(black > yellow);
    QVERIFY(maxCol > 110 && maxCol < 160);   // the box is as wide as the text
}

// A kept picture is the image itself, or each pixel as a crisp square.
void TestCanvas::pictureScalesEachPixelToASquare()
{
    Canvas c;
    c.SetColor(17);
    c.Point(0, 0);
    c.Point(199, 199);
    c.Point(100, 50);
    const QImage same = c.Picture();
    QCOMPARE(same, c.image());
    c.Point(1, 1);
    QCOMPARE(same.pixelColor(1, 1), QColor(Qt::black));   // a copy, not the live image

    const QImage big = c.Picture(3);
    QCOMPARE(big.size(), QSize(600, 600));
    for (const auto& [x, y] : {std::pair{0, 0}, {199, 199}, {100, 50}, {1, 1}})
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                QCOMPARE(big.pixelColor(3 * x + dx, 3 * y + dy), QColor(Qt::red));
    QCOMPARE(big.pixelColor(3 * 100 - 1, 3 * 50), QColor(Qt::black));   // no smoothing at the edge
    QCOMPARE(big.pixelColor(3 * 100 + 3, 3 * 50 + 2), QColor(Qt::black));
}

QTEST_MAIN(TestCanvas)
#include "test_canvas.moc"
