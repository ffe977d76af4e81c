#include "runtime/WrapGen.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <cmath>
#include <sstream>

#include "language/Cp1252.h"
#include "runtime/ConsoleWrap.h"

namespace tarko {

static_assert(TableLineWrap::TextWidth == ConsoleTextWidth);

namespace {

QChar CharOf(int b) { return QChar(char16_t(Cp1252ToUnicode(uchar(b)))); }

// Where the console's layout puts the cursor after the first character of
// the text, in 1/64 pixel: the first glyph's advance as shaped with the rest.
long long FirstAdvance(QTextLayout& layout, const QString& text)
{
    layout.setText(text);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(100000);
    layout.endLayout();
    return std::llround(line.cursorToX(1) * 64);
}

QString Text(const std::string& cp1252)
{
    QString s;
    for (const char c : cp1252)
        s += CharOf(uchar(c));
    return s;
}

int Glyphs(QTextLayout& layout, const QString& text)
{
    FirstAdvance(layout, text);
    int n = 0;
    for (const QGlyphRun& run : layout.glyphRuns())
        n += int(run.glyphIndexes().size());
    return n;
}

// The x after the first `count` characters, in 1/64 pixel.
long long AdvanceOf(QTextLayout& layout, const QString& text, int count)
{
    layout.setText(text);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(100000);
    layout.endLayout();
    return std::llround(line.cursorToX(count) * 64);
}

void Ligatures(GeneratedWrapTable& g, QTextLayout& layout)
{
    std::vector<std::string> found;
    for (int a = 0x20; a < 256; ++a)
        for (int b = 0x20; b < 256; ++b)
            if (a != 0xAD && b != 0xAD && Glyphs(layout, Text({char(a), char(b)})) == 1)
                found.push_back({char(a), char(b)});
    std::vector<std::string> triples;   // tried before the pairs
    for (const std::string& pair : found)
        for (int c = 0x20; c < 256; ++c)
            if (c != 0xAD && Glyphs(layout, Text(pair + char(c))) == 1)
                triples.push_back(pair + char(c));
    found.insert(found.begin(), triples.begin(), triples.end());
    for (const std::string& text : found) {
        ConsoleFontTable::Ligature l{};
        std::copy(text.begin(), text.end(), l.text);
        const QString t = Text(text);
        const int n = int(text.size());
        l.alone64 = int32_t(AdvanceOf(layout, t, n));
        layout.setText(t);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(100000);
        layout.endLayout();
        l.overhang64 = int32_t(std::llround(line.naturalTextWidth() * 64) - l.alone64);
        for (int c = 0; c < 256; ++c) {
            if (c == '\t')
                continue;
            l.before64[c] = int32_t(AdvanceOf(layout, QString(CharOf(c)) + t, 1));
            l.next64[c] = int32_t(AdvanceOf(layout, t + CharOf(c), n));
        }
        g.ligatures.push_back(l);
    }
}

bool LineBreakAt(const QString& text, int pos)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    finder.setPosition(pos);
    return finder.isAtBoundary();
}

void SetBit(uint8_t row[32], int b, bool on)
{
    if (on)
        row[b >> 3] |= uint8_t(1 << (b & 7));
}

void Breaks(GeneratedWrapTable& g)
{
    const QChar blank(u' ');
    for (int b = 0; b < 256; ++b)
        SetBit(g.table.breakAfterBlanks[256], b, LineBreakAt(QString(blank) + CharOf(b), 1));
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const QString pair = QString(CharOf(a)) + CharOf(b);
            SetBit(g.table.breakBetween[a], b, LineBreakAt(pair, 1));
            const bool one = LineBreakAt(QString(CharOf(a)) + blank + CharOf(b), 2);
            const bool two = LineBreakAt(QString(CharOf(a)) + blank + blank + CharOf(b), 3);
            if (a != ' ')
                SetBit(g.table.breakAfterBlanks[a], b, one);
            if (one != two && a != ' ' && g.error.empty())
                g.error = "break after blanks depends on their number: " + std::to_string(a) + " " + std::to_string(b);
        }
    }
}

} // namespace

GeneratedWrapTable GenerateWrapTable()
{
    GeneratedWrapTable g;
    const QFont font = ConsoleFont(12);
    const QFontMetricsF metrics(font);
    QTextLayout layout;
    layout.setFont(font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    ConsoleFontTable& t = g.table;
    for (int b = 0; b < 256; ++b) {
        const QChar c = CharOf(b);
        t.kind[b] = c == u'\t' ? ConsoleFontTable::Tab
                    : (c.isSpace() && c.decompositionTag() != QChar::NoBreak) ? ConsoleFontTable::Blank
                                                                               : ConsoleFontTable::Glyph;
        t.advance64[b] = b == '\t' ? 0 : int32_t(FirstAdvance(layout, QString(c)));
        t.overhang64[b] = int32_t(std::max(0LL, -std::llround(metrics.rightBearing(c) * 64)));
    }
    t.minOverhang64 = int32_t(std::max(0LL, -std::llround(metrics.minRightBearing() * 64)));
    const QRawFont raw = QRawFont::fromFont(font);
    const QList<QPointF> hyphen = raw.advancesForGlyphIndexes(raw.glyphIndexesForString(QString(QChar(0xAD))));
    t.softHyphen64 = hyphen.isEmpty() ? 0 : int32_t(std::llround(hyphen[0].x() * 64));
    for (int a = 0; a < 256; ++a) {
        if (a == '\t')
            continue;
        for (int b = 0; b < 256; ++b) {
            if (b == '\t')
                continue;
            const long long d = FirstAdvance(layout, QString(CharOf(a)) + CharOf(b)) - t.advance64[a];
            if (d != 0)
                g.kerns.push_back({uint8_t(a), uint8_t(b), int16_t(d)});
        }
    }
    Breaks(g);
    Ligatures(g, layout);
    t.kerns = g.kerns.data();
    t.kernCount = int(g.kerns.size());
    t.ligatures = g.ligatures.data();
    t.ligatureCount = int(g.ligatures.size());
    return g;
}

namespace {

void Row(std::ostringstream& out, const uint8_t row[32])
{
    out << "  {";
    for (int i = 0; i < 32; ++i)
        out << int(row[i]) << (i < 31 ? "," : "");
    out << "},\n";
}

template <typename T>
void Values(std::ostringstream& out, const T* v)
{
    out << "  {";
    for (int i = 0; i < 256; ++i)
        out << v[i] << (i < 255 ? (i % 16 == 15 ? ",\n   " : ",") : "");
    out << "},\n";
}

} // namespace

std::string WrapTableSource(const GeneratedWrapTable& g)
{
    const ConsoleFontTable& t = g.table;
    std::ostringstream out;
    out << "// Generated by wrap-gen (scripts/regen-wrap.sh) from Qt's layout of the\n"
           "// console font; do not edit. test_tablewrap checks it is current.\n"
           "#include \"runtime/TableWrap.h\"\n\nnamespace tarko {\n\nnamespace {\n\n"
           "const ConsoleFontTable::Kern Kerns[] = {\n";
    for (const auto& k : g.kerns)
        out << "  {" << int(k.first) << "," << int(k.second) << "," << k.delta64 << "},\n";
    out << "};\n\nconst ConsoleFontTable::Ligature Ligatures[] = {\n";
    for (const auto& l : g.ligatures) {
        out << "  {{";
        for (int i = 0; i < 4; ++i)
            out << int(uint8_t(l.text[i])) << (i < 3 ? "," : "");
        out << "}, " << l.alone64 << ", " << l.overhang64 << ",\n";
        Values(out, l.before64);
        Values(out, l.next64);
        out << "  },\n";
    }
    out << "};\n\n} // namespace\n\nconst ConsoleFontTable ConsoleFontMetrics = {\n";
    Values(out, t.advance64);
    Values(out, t.overhang64);
    out << "  " << t.minOverhang64 << ",\n  " << t.softHyphen64 << ",\n";
    int kinds[256];
    for (int i = 0; i < 256; ++i)
        kinds[i] = t.kind[i];
    Values(out, kinds);
    out << "  {\n";
    for (const auto& row : t.breakBetween)
        Row(out, row);
    out << "  },\n  {\n";
    for (const auto& row : t.breakAfterBlanks)
        Row(out, row);
    out << "  },\n  Kerns,\n  int(sizeof Kerns / sizeof Kerns[0]),\n  Ligatures,\n  int(sizeof Ligatures / sizeof Ligatures[0]),\n};\n\n} // namespace tarko\n";
    return out.str();
}

} // namespace tarko
