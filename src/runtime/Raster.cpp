#include "runtime/Raster.h"

#include <algorithm>

namespace tarko::raster {

namespace {

using U128 = unsigned __int128;
using I128 = __int128;

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

// |a - b| of two 64-bit integers, which always fits in 64 unsigned bits.
uint64_t Distance(int64_t a, int64_t b)
{
    return a >= b ? static_cast<uint64_t>(a) - static_cast<uint64_t>(b)
                  : static_cast<uint64_t>(b) - static_cast<uint64_t>(a);
}

// The part of [lo, hi] inside the image, false when empty.
bool ClipRange(I128 lo, I128 hi, int& from, int& to)
{
    if (hi < 0 || lo > Size - 1 || lo > hi)
        return false;
    from = static_cast<int>(std::max<I128>(lo, 0));
    to = static_cast<int>(std::min<I128>(hi, Size - 1));
    return true;
}

void Set(uint32_t* pixels, uint32_t pen, int col, int row) { pixels[row * Size + col] = pen; }

// u (u + 1) for the distance u of a pixel from a centre along one axis;
// for u = -k it is k (k - 1). Wide holds it: int64_t for near discs,
// unsigned 128 bits for every |u| < 2^64.
template <typename Wide, typename Signed>
Wide Stretch(Signed u)
{
    if (u >= 0)
        return static_cast<Wide>(u) * static_cast<Wide>(u + 1);
    return static_cast<Wide>(-u) * static_cast<Wide>(-u - 1);
}

// The rows r0..r1 and columns c0..c1 of the disc around (cx, cy) with
// limit = rr^2. A pixel belongs to the disc when its centre lies inside:
// (p + 1/2 - cx)^2 + (q + 1/2 - cy)^2 <= rr^2, which for integers is
// u (u + 1) + v (v + 1) < rr^2 with u = p - cx, v = q - cy.
template <typename Wide, typename Signed>
void FillDisc(uint32_t* pixels, uint32_t pen, Signed cx, Signed cy, Wide limit, int c0, int c1,
              int r0, int r1)
{
    for (int r = r0; r <= r1; ++r) {
        const Wide dy = Stretch<Wide>(Signed{r} - cy);
        if (dy >= limit)
            continue;
        const Wide rest = limit - dy;
        uint32_t* line = pixels + r * Size;
        for (int c = c0; c <= c1; ++c)
            if (Stretch<Wide>(Signed{c} - cx) < rest)
                line[c] = pen;
    }
}

} // namespace

uint32_t ColourOf(int colourNumber)
{
    static constexpr uint32_t Colours[] = {0x808080, 0xFFFFFF, 0xFF0000, 0xFFFF00, 0x008000, 0x0000FF};
    return colourNumber >= 15 && colourNumber <= 20 ? Colours[colourNumber - 15] : 0x000000;
}

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
    // The value on the line does not depend on which end is the first.
    if (a1 > a2) {
        std::swap(a1, a2);
        std::swap(b1, b2);
    }
    const uint64_t da = Distance(a2, a1);   // > 0
    const uint64_t x = Distance(t, a1);     // 0 <= x <= da
    const uint64_t db = Distance(b2, b1);
    const U128 product = static_cast<U128>(db) * x;
    const U128 q = product / da, r = product % da;   // q <= db
    // floor(q + r/da + 1/2) upwards, -floor(... ) the other way round.
    I128 step;
    if (b2 >= b1)
        step = static_cast<I128>(q) + (2 * r >= da ? 1 : 0);
    else
        step = -static_cast<I128>(q) - (2 * r > da ? 1 : 0);
    const I128 v = static_cast<I128>(b1) + step;
    constexpr int64_t Limit = 1000000000000000000;
    return v < -Limit ? -Limit : v > Limit ? Limit : static_cast<int64_t>(v);
}

bool Point(uint32_t* pixels, uint32_t pen, int64_t col, int64_t row)
{
    if (col < 0 || col >= Size || row < 0 || row >= Size)
        return false;
    Set(pixels, pen, static_cast<int>(col), static_cast<int>(row));
    return true;
}

bool Line(uint32_t* pixels, uint32_t pen, int64_t col1, int64_t row1, int64_t col2, int64_t row2)
{
    if (col1 == col2 && row1 == row2)
        return Point(pixels, pen, col1, row1);
    // Walk the major axis inside the image only; the other coordinate is
    // computed per step, so a line from far outside costs at most 200 steps.
    const bool xMajor = Distance(col2, col1) >= Distance(row2, row1);
    int from, to;
    if (xMajor) {
        if (!ClipRange(std::min(col1, col2), std::max(col1, col2), from, to))
            return false;
        for (int c = from; c <= to; ++c) {
            const int64_t r = MinorAt(c, col1, row1, col2, row2);
            if (r >= 0 && r < Size)
                Set(pixels, pen, c, static_cast<int>(r));
        }
    } else {
        if (!ClipRange(std::min(row1, row2), std::max(row1, row2), from, to))
            return false;
        for (int r = from; r <= to; ++r) {
            const int64_t c = MinorAt(r, row1, col1, row2, col2);
            if (c >= 0 && c < Size)
                Set(pixels, pen, static_cast<int>(c), r);
        }
    }
    return true;
}

bool FillRect(uint32_t* pixels, uint32_t pen, int64_t col1, int64_t row1, int64_t col2,
              int64_t row2)
{
    // The larger coordinate itself is left out (an empty area when equal).
    int c0, c1, r0, r1;
    if (col1 == col2 || row1 == row2 ||
        !ClipRange(std::min(col1, col2), I128{std::max(col1, col2)} - 1, c0, c1) ||
        !ClipRange(std::min(row1, row2), I128{std::max(row1, row2)} - 1, r0, r1))
        return false;
    for (int r = r0; r <= r1; ++r)
        std::fill(pixels + r * Size + c0, pixels + r * Size + c1 + 1, pen);
    return true;
}

bool FillCircle(uint32_t* pixels, uint32_t pen, int64_t col, int64_t row, int64_t radius)
{
    const I128 cx = col, cy = row, rad = radius < 0 ? -I128{radius} : I128{radius};
    int c0, c1, r0, r1;
    if (radius == 0 || !ClipRange(cx - rad, cx + rad - 1, c0, c1) ||
        !ClipRange(cy - rad, cy + rad - 1, r0, r1))
        return false;
    if (Small(col) && Small(row) && Small(radius))
        FillDisc<int64_t, int64_t>(pixels, pen, col, row, static_cast<int64_t>(rad * rad), c0, c1,
                                   r0, r1);
    else
        FillDisc<U128, I128>(pixels, pen, cx, cy, static_cast<U128>(rad) * static_cast<U128>(rad),
                             c0, c1, r0, r1);
    return true;
}

namespace {

int Kerning(const GlyphTable& glyphs, uint8_t first, uint8_t second)
{
    const GlyphTable::Kern* k = std::lower_bound(
        glyphs.kerns, glyphs.kerns + glyphs.kernCount, std::pair{first, second},
        [](const GlyphTable::Kern& a, std::pair<uint8_t, uint8_t> b) {
            return a.first < b.first || (a.first == b.first && a.second < b.second);
        });
    return k != glyphs.kerns + glyphs.kernCount && k->first == first && k->second == second ? k->adjust : 0;
}

} // namespace

// The x of each character's glyph relative to the text's start, through
// f(i, x). Kerning joins a character to the last one before it that takes
// part in kerning.
template <typename F>
void Place(std::string_view text, const GlyphTable& glyphs, F&& f)
{
    int x = 0;
    uint8_t previous = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const GlyphTable::Glyph& g = glyphs.glyphs[static_cast<uint8_t>(text[i])];
        if (g.kernAs != 0 && previous != 0)
            x += Kerning(glyphs, previous, g.kernAs);
        f(i, x);
        x += g.advance;
        if (g.kernAs != 0)
            previous = g.kernAs;
    }
}

// The box's width: a tab reaches the next multiple of the tab stop.
int TextWidth(std::string_view text, const GlyphTable& glyphs)
{
    const int tabStop = std::max(glyphs.tabStop, 1);
    int x = 0;
    uint8_t previous = 0;
    for (char ch : text) {
        const auto c = static_cast<uint8_t>(ch);
        if (c == '\t') {
            x = (x / tabStop + 1) * tabStop;
            previous = 0;
            continue;
        }
        const GlyphTable::Glyph& g = glyphs.glyphs[c];
        if (g.widthKernAs != 0 && previous != 0)
            x += Kerning(glyphs, previous, g.widthKernAs);
        x += g.width;
        if (g.widthKernAs != 0)
            previous = g.widthKernAs;
    }
    return x;
}

bool DrawText(uint32_t* pixels, uint32_t pen, int64_t col, int64_t row, std::string_view text,
              const GlyphTable& glyphs)
{
    constexpr int Height = GlyphTable::Height;
    if (text.empty() || col >= Size || row <= 0 || row - Height >= Size || col < -100000)
        return false;
    const int width = TextWidth(text, glyphs);
    if (col + width <= 0)
        return false;
    // The box, clipped to the image; every glyph pixel is clipped to it.
    const int64_t top = row - Height;
    const int64_t left = col, right = col + width;   // right exclusive
    int c0, c1, r0, r1;
    if (width <= 0 || !ClipRange(left, right - 1, c0, c1) || !ClipRange(top, top + Height - 1, r0, r1))
        return true;
    // Opaque black in both pixel formats (QRgb and RGBA bytes).
    constexpr uint32_t Black = 0xFF000000u;
    for (int r = r0; r <= r1; ++r)
        std::fill(pixels + r * Size + c0, pixels + r * Size + c1 + 1, Black);
    Place(text, glyphs, [&](size_t i, int offset) {
        const GlyphTable::Glyph& g = glyphs.glyphs[static_cast<uint8_t>(text[i])];
        if (g.onlyAtEnd && i + 1 < text.size())
            return;
        const int64_t x = col + offset + g.left;
        for (int r = r0; r <= r1; ++r) {
            uint32_t bits = g.rows[r - top];
            for (int64_t px = x; bits; ++px, bits >>= 1)
                if ((bits & 1) && px >= c0 && px <= c1)
                    pixels[r * Size + px] = pen;
        }
    });
    return true;
}

} // namespace tarko::raster
