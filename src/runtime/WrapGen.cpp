#include "runtime/WrapGen.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <algorithm>
#include <array>
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

using Neighbours = ConsoleFontTable::Ligature::Neighbour[ConsoleFontTable::Ligature::MaxNeighbours];

bool AddNeighbour(GeneratedWrapTable& g, Neighbours& list, int* count, int c, long long delta)
{
    if (*count == ConsoleFontTable::Ligature::MaxNeighbours) {
        g.error = "a ligature kerns with more characters than the table holds";
        return false;
    }
    list[(*count)++] = {int16_t(c), int16_t(delta)};
    return true;
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
        int before = 0, next = 0;
        for (int c = 0; c < 256; ++c) {
            if (c == '\t')   // a tab is an item of its own: never kerned
                continue;
            const long long kernBefore = AdvanceOf(layout, QString(CharOf(c)) + t, 1) - g.table.advance64[c];
            const long long kernNext = AdvanceOf(layout, t + CharOf(c), n) - l.alone64;
            if (kernBefore != 0 && !AddNeighbour(g, l.before, &before, c, kernBefore))
                return;
            if (kernNext != 0 && !AddNeighbour(g, l.next, &next, c, kernNext))
                return;
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

using BreakRow = std::array<bool, 256>;

// Characters alike in all four directions (the character before or after,
// directly or across blanks) form one break class, so the class pair tables
// hold the character pair tables exactly.
void Classify(GeneratedWrapTable& g, const std::vector<BreakRow>& between, const std::vector<BreakRow>& afterBlanks)
{
    ConsoleFontTable& t = g.table;
    std::vector<std::vector<bool>> signatures;
    std::vector<int> first;   // a character of each class
    for (int c = 0; c < 256; ++c) {
        std::vector<bool> s(between[size_t(c)].begin(), between[size_t(c)].end());
        s.insert(s.end(), afterBlanks[size_t(c) + 1].begin(), afterBlanks[size_t(c) + 1].end());
        for (int a = 0; a < 256; ++a)
            s.push_back(between[size_t(a)][size_t(c)]);
        for (const BreakRow& row : afterBlanks)
            s.push_back(row[size_t(c)]);
        const auto known = std::find(signatures.begin(), signatures.end(), s);
        const int k = int(known - signatures.begin());
        if (known == signatures.end()) {
            if (k == ConsoleFontTable::MaxBreakClasses) {
                g.error = "more break classes than the table holds";
                return;
            }
            signatures.push_back(s);
            first.push_back(c);
        }
        t.kind[c] = uint8_t(t.kind[c] | k << ConsoleFontTable::KindBits);
    }
    for (size_t j = 0; j < first.size(); ++j) {
        const uint64_t bit = uint64_t(1) << j;
        const size_t b = size_t(first[j]);
        t.breakAfterBlanks[0] |= afterBlanks[0][b] ? bit : 0;
        for (size_t k = 0; k < first.size(); ++k) {
            const size_t a = size_t(first[k]);
            t.breakBetween[k] |= between[a][b] ? bit : 0;
            t.breakAfterBlanks[1 + k] |= afterBlanks[1 + a][b] ? bit : 0;
        }
    }
}

// The character pair tables from the layout's line breaking; afterBlanks
// row 0 for blanks at the start of the line, row 1 + a after "a".
void Breaks(GeneratedWrapTable& g)
{
    const QChar blank(u' ');
    std::vector<BreakRow> between(256), afterBlanks(257);
    for (int b = 0; b < 256; ++b)
        afterBlanks[0][size_t(b)] = LineBreakAt(QString(blank) + CharOf(b), 1);
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const QString pair = QString(CharOf(a)) + CharOf(b);
            between[size_t(a)][size_t(b)] = LineBreakAt(pair, 1);
            const bool one = LineBreakAt(QString(CharOf(a)) + blank + CharOf(b), 2);
            const bool two = LineBreakAt(QString(CharOf(a)) + blank + blank + CharOf(b), 3);
            if (a != ' ')
                afterBlanks[size_t(a) + 1][size_t(b)] = one;
            if (one != two && a != ' ' && g.error.empty())
                g.error = "break after blanks depends on their number: " + std::to_string(a) + " " + std::to_string(b);
        }
    }
    Classify(g, between, afterBlanks);
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

// Prints count items of an initializer list, perLine a line.
template <typename Item>
void List(std::ostringstream& out, int count, int perLine, Item item)
{
    for (int i = 0; i < count; ++i) {
        out << (i == 0 ? "" : i % perLine == 0 ? ",\n   " : ",");
        item(i);
    }
}

template <typename T>
void Values(std::ostringstream& out, const T* v, int count, int perLine)
{
    out << "  {";
    List(out, count, perLine, [&](int i) { out << +v[i]; });
    out << "},\n";
}

void PrintNeighbours(std::ostringstream& out, const ConsoleFontTable::Ligature::Neighbour* list)
{
    int used = 0;
    constexpr int MaxNeighbours = ConsoleFontTable::Ligature::MaxNeighbours;
    while (used < MaxNeighbours && list[used].delta64 != 0)
        ++used;
    out << "{";
    List(out, used, MaxNeighbours, [&](int i) { out << "{" << list[i].c << "," << list[i].delta64 << "}"; });
    out << "}";
}

// A break table's rows as far as classes are used, in hex.
void Rows(std::ostringstream& out, const uint64_t* rows, int used)
{
    out << "  {";
    List(out, used, 4, [&](int i) { out << "0x" << std::hex << rows[i] << std::dec; });
    out << "},\n";
}

} // namespace

std::string WrapTableSource(const GeneratedWrapTable& g)
{
    const ConsoleFontTable& t = g.table;
    int classes = 0;
    for (int c = 0; c < 256; ++c)
        classes = std::max(classes, t.BreakClass(uint8_t(c)) + 1);
    std::ostringstream out;
    out << "// Generated by wrap-gen (scripts/regen-wrap.sh) from Qt's layout of the\n"
           "// console font; do not edit. test_tablewrap checks it is current.\n"
           "#include \"runtime/TableWrap.h\"\n\nnamespace tarko {\n\nnamespace {\n\n"
           "const ConsoleFontTable::Kern Kerns[] = {\n  ";
    List(out, int(g.kerns.size()), 10, [&](int i) {
        const ConsoleFontTable::Kern& k = g.kerns[size_t(i)];
        out << "{" << int(k.first) << "," << int(k.second) << "," << k.delta64 << "}";
    });
    out << "\n};\n\nconst ConsoleFontTable::Ligature Ligatures[] = {\n";
    for (const auto& l : g.ligatures) {
        out << "  {{";
        List(out, 4, 4, [&](int i) { out << int(uint8_t(l.text[i])); });
        out << "}, " << l.alone64 << ", " << l.overhang64 << ", ";
        PrintNeighbours(out, l.before);
        out << ", ";
        PrintNeighbours(out, l.next);
        out << "},\n";
    }
    out << "};\n\n} // namespace\n\nconst ConsoleFontTable ConsoleFontMetrics = {\n";
    Values(out, t.advance64, 256, 16);
    Values(out, t.overhang64, 256, 16);
    out << "  " << t.minOverhang64 << ",\n  " << t.softHyphen64 << ",\n";
    Values(out, t.kind, 256, 32);
    Rows(out, t.breakBetween, classes);
    Rows(out, t.breakAfterBlanks, 1 + classes);
    out << "  Kerns,\n  int(sizeof Kerns / sizeof Kerns[0]),\n  Ligatures,\n  int(sizeof Ligatures / sizeof Ligatures[0]),\n};\n\n} // namespace tarko\n";
    return out.str();
}

} // namespace tarko
