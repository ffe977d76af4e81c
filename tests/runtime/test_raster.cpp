// The shared drawing rules against the canvas's earlier formulas, which
// computed far coordinates in long double (kept here as the reference):
// lines and discs over random near, program-like far and extreme
// coordinates must light the same pixels.
#include <QtTest>
#include <array>
#include <cmath>
#include <random>

#include "runtime/Raster.h"

using namespace tarko;

namespace {

using Image = std::array<uint32_t, raster::Size * raster::Size>;
constexpr int Size = raster::Size;

// ---- The reference: the earlier canvas code ---------------------------------

int64_t FloorDiv(int64_t n, int64_t d)
{
    int64_t q = n / d;
    if ((n % d != 0) && (n < 0))
        --q;
    return q;
}

bool OldSmall(int64_t v) { return v > -(int64_t{1} << 29) && v < (int64_t{1} << 29); }

int64_t OldMinorAt(int64_t t, int64_t a1, int64_t b1, int64_t a2, int64_t b2)
{
    if (OldSmall(a1) && OldSmall(b1) && OldSmall(a2) && OldSmall(b2)) {
        int64_t da = a2 - a1, db = b2 - b1;
        if (da < 0) {
            da = -da;
            db = -db;
        }
        return b1 + FloorDiv(2 * db * (t - a1) + da, 2 * da);
    }
    const long double v = static_cast<long double>(b1) +
        (static_cast<long double>(b2) - b1) * (static_cast<long double>(t) - a1) /
            (static_cast<long double>(a2) - a1);
    const long double r = std::floor(v + 0.5L);
    return r < -1e18L ? int64_t{-1000000000000000000} : r > 1e18L ? int64_t{1000000000000000000}
                                                                 : static_cast<int64_t>(r);
}

bool OldClip(int64_t lo, int64_t hi, int& from, int& to)
{
    if (hi < 0 || lo > Size - 1 || lo > hi)
        return false;
    from = static_cast<int>(std::max<int64_t>(lo, 0));
    to = static_cast<int>(std::min<int64_t>(hi, Size - 1));
    return true;
}

void OldLine(Image& img, int64_t col1, int64_t row1, int64_t col2, int64_t row2)
{
    if (col1 == col2 && row1 == row2) {
        if (col1 >= 0 && col1 < Size && row1 >= 0 && row1 < Size)
            img[row1 * Size + col1] = 1;
        return;
    }
    const bool xMajor = std::fabs(static_cast<long double>(col2) - col1) >=
                        std::fabs(static_cast<long double>(row2) - row1);
    int from, to;
    if (xMajor) {
        if (OldClip(std::min(col1, col2), std::max(col1, col2), from, to))
            for (int c = from; c <= to; ++c)
                if (const int64_t r = OldMinorAt(c, col1, row1, col2, row2); r >= 0 && r < Size)
                    img[r * Size + c] = 1;
    } else if (OldClip(std::min(row1, row2), std::max(row1, row2), from, to)) {
        for (int r = from; r <= to; ++r)
            if (const int64_t c = OldMinorAt(r, row1, col1, row2, col2); c >= 0 && c < Size)
                img[r * Size + c] = 1;
    }
}

void OldFillCircle(Image& img, int64_t col, int64_t row, int64_t radius)
{
    const long double cx = col, cy = row, rad = std::fabs(static_cast<long double>(radius));
    const long double left = cx - rad, top = cy - rad;
    const long double right = cx + rad - 1, bottom = cy + rad - 1;
    if (radius == 0 || right < 0 || bottom < 0 || left > Size - 1 || top > Size - 1)
        return;
    const int c0 = static_cast<int>(std::max<long double>(left, 0));
    const int c1 = static_cast<int>(std::min<long double>(right, Size - 1));
    const int r0 = static_cast<int>(std::max<long double>(top, 0));
    const int r1 = static_cast<int>(std::min<long double>(bottom, Size - 1));
    const long double limit = 4.0L * rad * rad;
    for (int r = r0; r <= r1; ++r) {
        const long double dy = 2.0L * r + 1 - 2.0L * cy;
        for (int c = c0; c <= c1; ++c) {
            const long double dx = 2.0L * c + 1 - 2.0L * cx;
            if (dx * dx + dy * dy <= limit)
                img[r * Size + c] = 1;
        }
    }
}

// ---- Coordinates ------------------------------------------------------------

// How far a random coordinate may lie.
enum class Reach { Near, Program, Extreme };

int64_t Coordinate(std::mt19937_64& random, Reach reach)
{
    switch (reach) {
    case Reach::Near:
        return static_cast<int64_t>(random() % 800) - 300;
    case Reach::Program: {
        // 10 x + 100 of a program's round number, or one close to the image.
        const int64_t scale[] = {1000, 1000000, 1000000000, 100000000000000, 1000000000000000000};
        const int64_t s = scale[random() % 5];
        const int64_t v = static_cast<int64_t>(random() % 21) - 10;
        return random() % 3 == 0 ? static_cast<int64_t>(random() % 400) - 100 : v * (s / 10) + 100;
    }
    case Reach::Extreme:
        return random() % 4 == 0 ? static_cast<int64_t>(random() % 400) - 100
                                 : static_cast<int64_t>(random());
    }
    return 0;
}

uint64_t Distance(int64_t a, int64_t b)
{
    return a >= b ? uint64_t(a) - uint64_t(b) : uint64_t(b) - uint64_t(a);
}


// Whether the long double computation of the earlier code could have put
// a line's value at major position t on either side of a rounding boundary:
// its error is a few units of the 64th bit of the largest operand.
bool OldLineNearTie(int64_t t, int64_t a1, int64_t b1, int64_t a2, int64_t b2)
{
    const long double v = static_cast<long double>(b1) +
        (static_cast<long double>(b2) - b1) * (static_cast<long double>(t) - a1) /
            (static_cast<long double>(a2) - a1);
    const long double big = std::fabs(static_cast<long double>(a1)) + std::fabs(static_cast<long double>(a2)) +
                            std::fabs(static_cast<long double>(b1)) + std::fabs(static_cast<long double>(b2)) + 400;
    const long double error = std::ldexp(big, -60);
    return std::fabs(v - std::floor(v) - 0.5L) <= error;
}

// The same for a disc's boundary test at pixel (c, r).
bool OldDiscNearTie(int c, int r, int64_t col, int64_t row, int64_t radius)
{
    const long double dx = 2.0L * c + 1 - 2.0L * col, dy = 2.0L * r + 1 - 2.0L * row;
    const long double limit = 4.0L * radius * radius;
    return std::fabs(dx * dx + dy * dy - limit) <= std::ldexp(limit + dx * dx + dy * dy, -60);
}

} // namespace

class TestRaster : public QObject {
    Q_OBJECT

private slots:
    void nearShapesAsBefore();
    void farShapesAsBeforeUpToItsRoundingError_data();
    void farShapesAsBeforeUpToItsRoundingError();
    void farLinesMatchTheirNearPieces();
};

// Near coordinates never reached the long double: the same pixels, always.
void TestRaster::nearShapesAsBefore()
{
    std::mt19937_64 random(7);
    for (int n = 0; n < 20000; ++n) {
        int64_t v[4];
        for (int64_t& x : v)
            x = Coordinate(random, Reach::Near);
        if (random() % 8 == 0)   // horizontal, vertical, diagonal
            v[2 + random() % 2] = v[random() % 2];
        Image want{}, got{};
        OldLine(want, v[0], v[1], v[2], v[3]);
        raster::Line(got.data(), 1, v[0], v[1], v[2], v[3]);
        if (want != got)
            QFAIL(qPrintable(QString("line %1;%2 %3;%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3])));
        if (n % 10 == 0) {
            Image oldDisc{}, newDisc{};
            OldFillCircle(oldDisc, v[0], v[1], v[2] / 2);
            raster::FillCircle(newDisc.data(), 1, v[0], v[1], v[2] / 2);
            if (oldDisc != newDisc)
                QFAIL(qPrintable(QString("disc %1;%2 r %3").arg(v[0]).arg(v[1]).arg(v[2] / 2)));
        }
    }
}

void TestRaster::farShapesAsBeforeUpToItsRoundingError_data()
{
    QTest::addColumn<int>("reach");
    QTest::newRow("program-like far") << int(Reach::Program);
    QTest::newRow("anywhere in 64 bits") << int(Reach::Extreme);
}

// Far away the long double rounded: where it did, it decided values lying
// within its error of a half pixel (or of a disc's edge) either way. The
// exact rule must agree with it everywhere else, pixel for pixel.
void TestRaster::farShapesAsBeforeUpToItsRoundingError()
{
    QFETCH(int, reach);
    std::mt19937_64 random(11 + reach);
    int linePixels = 0, lineTies = 0, discPixels = 0, discTies = 0;
    for (int n = 0; n < 20000; ++n) {
        int64_t v[4];
        for (int64_t& x : v)
            x = Coordinate(random, Reach(reach));
        // The major axis walks the columns inside the image.
        if (Distance(v[2], v[0]) < Distance(v[3], v[1]))
            std::swap(v[1], v[2]);
        int from, to;
        if (v[0] != v[2] && OldClip(std::min(v[0], v[2]), std::max(v[0], v[2]), from, to))
            for (int t = from; t <= to; ++t) {
                ++linePixels;
                if (OldMinorAt(t, v[0], v[1], v[2], v[3]) == raster::MinorAt(t, v[0], v[1], v[2], v[3]))
                    continue;
                ++lineTies;
                if (!OldLineNearTie(t, v[0], v[1], v[2], v[3]))
                    QFAIL(qPrintable(QString("line %1;%2 %3;%4 at %5").arg(v[0]).arg(v[1])
                                     .arg(v[2]).arg(v[3]).arg(t)));
            }
        if (n % 10 != 0)
            continue;
        // Discs whose edge passes through the image, give or take a little.
        const int64_t col = v[0], row = v[1];
        const long double d = std::hypot(static_cast<long double>(col) - 100, static_cast<long double>(row) - 100);
        const int64_t radius = static_cast<int64_t>(std::min<long double>(d, 9.2e18L)) +
                               static_cast<int64_t>(random() % 200) - 100;
        Image oldDisc{}, newDisc{};
        OldFillCircle(oldDisc, col, row, radius);
        raster::FillCircle(newDisc.data(), 1, col, row, radius);
        for (int i = 0; i < Size * Size; ++i) {
            discPixels += newDisc[i] != 0;
            if (oldDisc[i] == newDisc[i])
                continue;
            ++discTies;
            if (!OldDiscNearTie(i % Size, i / Size, col, row, radius))
                QFAIL(qPrintable(QString("disc %1;%2 r %3 at %4;%5").arg(col).arg(row).arg(radius)
                                 .arg(i % Size).arg(i / Size)));
        }
    }
    qInfo("line pixels %d (%d decided by the long double's rounding), disc pixels %d (%d)",
          linePixels, lineTies, discPixels, discTies);
    QVERIFY(linePixels > 100000 && discPixels > 100000);
}

// A far line on a small rational slope p/q crosses the image exactly like
// the near line between the points one step either side of its centre: the
// exact rule, halves included (q even), at every distance.
void TestRaster::farLinesMatchTheirNearPieces()
{
    std::mt19937_64 random(3);
    for (int n = 0; n < 20000; ++n) {
        const int64_t q = 1 + static_cast<int64_t>(random() % 12);
        const int64_t p = static_cast<int64_t>(random() % (2 * q + 1)) - q;   // |p| <= q
        const int64_t x0 = static_cast<int64_t>(random() % 200), y0 = static_cast<int64_t>(random() % 200);
        const int bits = 20 + static_cast<int>(random() % 40);
        const int64_t k = static_cast<int64_t>(random() % (uint64_t{1} << bits)) + 1;
        for (int64_t t = std::max<int64_t>(x0 - q, 0); t <= std::min<int64_t>(x0 + q, 199); ++t) {
            const int64_t nearValue = raster::MinorAt(t, x0 - q, y0 - p, x0 + q, y0 + p);
            const int64_t farValue = raster::MinorAt(t, x0 - q * k, y0 - p * k, x0 + q * k, y0 + p * k);
            if (nearValue != farValue)
                QFAIL(qPrintable(QString("slope %1/%2 through %3;%4 times %5 at %6: %7, near %8")
                                 .arg(p).arg(q).arg(x0).arg(y0).arg(k).arg(t).arg(farValue).arg(nearValue)));
        }
    }
}

QTEST_APPLESS_MAIN(TestRaster)
#include "test_raster.moc"
