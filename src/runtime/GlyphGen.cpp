#include "runtime/GlyphGen.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>

#include "language/Cp1252.h"
#include "runtime/Canvas.h"

namespace tarko {

namespace {

QString CharText(int c)
{
    return QString::fromUtf8(Cp1252ToUtf8(std::string(1, static_cast<char>(c))));
}

// One character drawn alone, as Canvas::DrawText draws, with room on both
// sides for its overhangs.
QImage Render(const QString& s, const QFont& font)
{
    constexpr int Margin = 24;
    QImage img(3 * Margin, GlyphTable::Height, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(Margin, 0, 2 * Margin, GlyphTable::Height),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
    return img;
}

// The column of the rightmost lit pixel, -1 when none.
int Rightmost(const QImage& img)
{
    int right = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != qRgb(0, 0, 0))
                right = std::max(right, x);
    return right;
}

} // namespace

GeneratedGlyphs GenerateGlyphs()
{
    GeneratedGlyphs g;
    const QFont font = Canvas::TextFont();
    const QFontMetrics metrics(font);
    constexpr int Margin = 24;
    int advances[256];
    for (int c = 0; c < 256; ++c) {
        const QString s = CharText(c);
        GlyphTable::Glyph& glyph = g.table.glyphs[c];
        advances[c] = metrics.horizontalAdvance(s);
        glyph.width = static_cast<int8_t>(advances[c]);
        // Where drawing puts the next glyph: a bar after the character.
        const QString bar = QStringLiteral("|");
        glyph.advance = static_cast<int8_t>(Rightmost(Render(s + bar, font)) - Rightmost(Render(bar, font)));
        // A character that shows only at the end of a text (a soft hyphen).
        const QImage followed = Render(s + bar, font);
        const QImage barAlone = Render(bar, font);
        bool showsInside = false;
        for (int y = 0; y < followed.height() && !showsInside; ++y)
            for (int x = 0; x < followed.width(); ++x) {
                const int bx = x - glyph.advance;
                const QRgb alone = bx >= 0 && bx < barAlone.width() ? barAlone.pixel(bx, y) : qRgb(0, 0, 0);
                if (followed.pixel(x, y) != alone) {
                    showsInside = true;
                    break;
                }
            }
        const QImage img = Render(s, font);
        glyph.onlyAtEnd = !showsInside;
        int first = img.width(), last = -1;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) != qRgb(0, 0, 0)) {
                    first = std::min(first, x);
                    last = std::max(last, x);
                }
        glyph.left = static_cast<int8_t>(last < 0 ? 0 : first - Margin);
        if (last - first >= 32)
            g.error = "glyph " + std::to_string(c) + " is wider than 32 pixels";
        for (int y = 0; y < GlyphTable::Height; ++y) {
            uint32_t bits = 0;
            for (int x = first; x <= last; ++x)
                if (img.pixel(x, y) != qRgb(0, 0, 0))
                    bits |= uint32_t{1} << (x - first);
            glyph.rows[y] = bits;
        }
    }
    // Pairs whose width differs from the sum of their advances (a tab goes
    // to the next tab stop instead: the drawing handles it).
    for (int a = 1; a < 256; ++a)
        for (int b = 1; b < 256; ++b) {
            if (a == '\t' || b == '\t')
                continue;
            const int adjust = metrics.horizontalAdvance(CharText(a) + CharText(b)) - advances[a] - advances[b];
            if (adjust != 0)
                g.kerns.push_back({static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<int8_t>(adjust)});
        }
    g.table.tabStop = advances['\t'];
    // Characters whose drawing differs from their measure are drawn as blanks.
    for (int c = 0; c < 256; ++c) {
        GlyphTable::Glyph& glyph = g.table.glyphs[c];
        const GlyphTable::Glyph& blank = g.table.glyphs[int(' ')];
        const bool asBlank = glyph.advance != glyph.width && glyph.advance == blank.advance && glyph.rows[0] == 0 &&
                             std::all_of(std::begin(glyph.rows), std::end(glyph.rows), [](uint32_t r) { return r == 0; });
        // Does kerning pass over it (a soft hyphen), in drawing and in measuring?
        const QString kerned = QStringLiteral("AT"), between = QStringLiteral("A") + CharText(c) + QStringLiteral("T");
        const bool drawPasses = c != 'A' && c != 'T' && Render(between, font) == Render(kerned, font);
        const bool widthPasses = c != 'A' && c != 'T' && metrics.horizontalAdvance(between) == metrics.horizontalAdvance(kerned);
        glyph.kernAs = static_cast<uint8_t>(drawPasses ? 0 : asBlank ? ' ' : c);
        glyph.widthKernAs = static_cast<uint8_t>(widthPasses ? 0 : c);
    }
    g.table.kerns = g.kerns.data();
    g.table.kernCount = static_cast<int>(g.kerns.size());
    return g;
}

std::string GlyphSource(const GeneratedGlyphs& g)
{
    std::string out =
        "// Generated by glyph-gen from the desktop's rendering of the canvas font\n"
        "// (src/runtime/GlyphGen.cpp); regenerate with scripts/regen-glyphs.sh.\n"
        "#include \"runtime/Glyphs.h\"\n\nnamespace tarko {\n\nnamespace {\n"
        "const GlyphTable::Kern Kerns[] = {\n";
    char buf[160];
    for (const GlyphTable::Kern& k : g.kerns) {
        std::snprintf(buf, sizeof buf, "    {%d, %d, %d},\n", k.first, k.second, k.adjust);
        out += buf;
    }
    if (g.kerns.empty())
        out += "    {0, 0, 0},\n";
    out += "};\n} // namespace\n\nconst GlyphTable CanvasGlyphs = {\n    {\n";
    for (const GlyphTable::Glyph& glyph : g.table.glyphs) {
        std::snprintf(buf, sizeof buf, "        {%d, %d, %d, %d, %d, %d, {", glyph.advance, glyph.width, glyph.kernAs,
                      glyph.widthKernAs, glyph.onlyAtEnd ? 1 : 0, glyph.left);
        out += buf;
        for (int y = 0; y < GlyphTable::Height; ++y) {
            std::snprintf(buf, sizeof buf, "%s0x%X", y ? ", " : "", static_cast<unsigned>(glyph.rows[y]));
            out += buf;
        }
        out += "}},\n";
    }
    std::snprintf(buf, sizeof buf, "    },\n    Kerns,\n    %d,\n    %d,\n};\n\n} // namespace tarko\n",
                  static_cast<int>(g.kerns.size()), g.table.tabStop);
    out += buf;
    return out;
}

} // namespace tarko
