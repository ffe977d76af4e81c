#include "runtime/Canvas.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "language/Cp1252.h"

namespace tarko {

namespace {

// Coordinates whose differences and products stay exact in 64-bit integers.
constexpr int64_t SmallLimit = int64_t{1} << 29;

bool Small(int64_t v) { return v > -SmallLimit && v < SmallLimit; }

// floor(n / d) for d > 0.
int64_t FloorDiv(int64_t n, int64_t d)
{
    int64_t q = n / d;
    if ((n % d != 0) && (n < 0))
        --q;
    return q;
}

// The pixel of the minor axis at major position t on the line from (a1, b1)
// to (a2, b2), rounded to the nearest pixel (halves upwards); a1 != a2.
int64_t MinorAt(int64_t t, int64_t a1, int64_t b1, int64_t a2, int64_t b2)
{
    if (Small(a1) && Small(b1) && Small(a2) && Small(b2)) {
        int64_t da = a2 - a1, db = b2 - b1;
        if (da < 0) {
            da = -da;
            db = -db;
        }
        const int64_t num = db * (t - a1);
        return b1 + FloorDiv(2 * num + da, 2 * da);
    }
    const long double v = static_cast<long double>(b1) +
        (static_cast<long double>(b2) - b1) * (static_cast<long double>(t) - a1) /
            (static_cast<long double>(a2) - a1);
    const long double r = std::floor(v + 0.5L);
    return r < -1e18L ? int64_t{-1000000000000000000} : r > 1e18L ? int64_t{1000000000000000000}
                                                                 : static_cast<int64_t>(r);
}

// The part of [lo, hi] inside the image, false when empty.
bool ClipRange(int64_t lo, int64_t hi, int& from, int& to)
{
    if (hi < 0 || lo > Canvas::Size - 1 || lo > hi)
        return false;
    from = static_cast<int>(std::max<int64_t>(lo, 0));
    to = static_cast<int>(std::min<int64_t>(hi, Canvas::Size - 1));
    return true;
}

} // namespace

Canvas::Canvas() : img(Size, Size, QImage::Format_RGB32)
{
    img.fill(Qt::black);
}

QColor Canvas::ColourOf(int colourNumber)
{
    // Built once: making a QColor from components costs more than drawing a
    // point, and drawing loops change the colour per point.
    static const QColor colours[] = {QColor(128, 128, 128), QColor(255, 255, 255),
                                     QColor(255, 0, 0),     QColor(255, 255, 0),
                                     QColor(0, 128, 0),     QColor(0, 0, 255)};
    static const QColor black(0, 0, 0);
    return colourNumber >= 15 && colourNumber <= 20 ? colours[colourNumber - 15] : black;
}

QFont Canvas::TextFont()
{
    QFont font;
    // "MS Sans Serif" is not installed on Linux: the families after it stand in.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPixelSize(TextHeight - 1);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void Canvas::Clear()
{
    img.fill(Qt::black);
    Changed();
}

void Canvas::Reset()
{
    pen = Qt::white;
    Clear();
}

void Canvas::SetColor(int colourNumber) { pen = ColourOf(colourNumber); }

void Canvas::SetPenColor(const QColor& c) { pen = c; }

void Canvas::Point(int64_t col, int64_t row)
{
    if (col < 0 || col >= Size || row < 0 || row >= Size)
        return;
    Set(static_cast<int>(col), static_cast<int>(row));
    Changed();
}

void Canvas::Line(int64_t col1, int64_t row1, int64_t col2, int64_t row2)
{
    if (col1 == col2 && row1 == row2) {
        Point(col1, row1);
        return;
    }
    // Walk the major axis inside the image only; the other coordinate is
    // computed per step, so a line from far outside costs at most 200 steps.
    const bool xMajor = [&] {
        const long double dx = std::fabs(static_cast<long double>(col2) - col1);
        const long double dy = std::fabs(static_cast<long double>(row2) - row1);
        return dx >= dy;
    }();
    int from, to;
    if (xMajor) {
        if (!ClipRange(std::min(col1, col2), std::max(col1, col2), from, to))
            return;
        for (int c = from; c <= to; ++c) {
            const int64_t r = MinorAt(c, col1, row1, col2, row2);
            if (r >= 0 && r < Size)
                Set(c, static_cast<int>(r));
        }
    } else {
        if (!ClipRange(std::min(row1, row2), std::max(row1, row2), from, to))
            return;
        for (int r = from; r <= to; ++r) {
            const int64_t c = MinorAt(r, row1, col1, row2, col2);
            if (c >= 0 && c < Size)
                Set(static_cast<int>(c), r);
        }
    }
    Changed();
}

void Canvas::FillRect(int64_t col1, int64_t row1, int64_t col2, int64_t row2)
{
    // The larger coordinate itself is left out (an empty area when equal).
    int c0, c1, r0, r1;
    if (col1 == col2 || row1 == row2 ||
        !ClipRange(std::min(col1, col2), std::max(col1, col2) - 1, c0, c1) ||
        !ClipRange(std::min(row1, row2), std::max(row1, row2) - 1, r0, r1))
        return;
    const QRgb rgb = pen.rgb();
    for (int r = r0; r <= r1; ++r)
        std::fill(reinterpret_cast<QRgb*>(img.scanLine(r)) + c0,
                  reinterpret_cast<QRgb*>(img.scanLine(r)) + c1 + 1, rgb);
    Changed();
}

void Canvas::FillCircle(int64_t col, int64_t row, int64_t radius)
{
    // The box from col - r to col + r (exclusive) may lie beyond the 64-bit
    // range only when it is far outside the image anyway: long double holds it.
    const long double cx = col, cy = row, rad = std::fabs(static_cast<long double>(radius));
    const long double left = cx - rad, top = cy - rad;
    const long double right = cx + rad - 1, bottom = cy + rad - 1;
    if (radius == 0 || right < 0 || bottom < 0 || left > Size - 1 || top > Size - 1)
        return;
    const int c0 = static_cast<int>(std::max<long double>(left, 0));
    const int c1 = static_cast<int>(std::min<long double>(right, Size - 1));
    const int r0 = static_cast<int>(std::max<long double>(top, 0));
    const int r1 = static_cast<int>(std::min<long double>(bottom, Size - 1));
    // A pixel belongs to the disc when its centre lies inside: with doubled
    // coordinates (2p + 1 - 2c)^2 + (2q + 1 - 2r)^2 <= (2 rr)^2.
    const long double limit = 4.0L * rad * rad;
    for (int r = r0; r <= r1; ++r) {
        const long double dy = 2.0L * r + 1 - 2.0L * cy;
        for (int c = c0; c <= c1; ++c) {
            const long double dx = 2.0L * c + 1 - 2.0L * cx;
            if (dx * dx + dy * dy <= limit)
                Set(c, r);
        }
    }
    Changed();
}

void Canvas::DrawText(int64_t col, int64_t row, const std::string& text)
{
    if (text.empty() || col >= Size || row <= 0 || row - TextHeight >= Size || col < -100000)
        return;
    const int64_t top = row - TextHeight;
    // Fonts need the Gui application; without one there is nothing to draw with.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    const QString s = QString::fromUtf8(Cp1252ToUtf8(text));
    const QFont font = TextFont();
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(s);
    if (col + width <= 0)
        return;
    const QRect box(static_cast<int>(col), static_cast<int>(top), width, TextHeight);
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setClipRect(box);
    painter.fillRect(box, Qt::black);
    painter.setFont(font);
    painter.setPen(pen);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
    painter.end();
    Changed();
}

QImage Canvas::Picture(int scale) const
{
    if (scale <= 1)
        return img.copy();
    return img.scaled(Size * scale, Size * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace tarko
