#include "runtime/TableWrap.h"

#include <algorithm>
#include <vector>

#include "language/Cp1252.h"

namespace tarko {

namespace {

constexpr int64_t Width64 = TableLineWrap::TextWidth * 64LL;
constexpr int64_t TabStop64 = 80 * 64;        // the layout's default tab stop distance
constexpr int64_t NotCalculated = 1;          // no right bearing taken yet

// One line of text prepared for filling: bytes, where each character's
// layout item starts (a tab is an item of its own; kerning stays inside an
// item) and each character's advance as shaped.
struct Text {
    std::vector<uint8_t> b;
    std::vector<int> itemStart;
    std::vector<int64_t> advance;   // of the glyph a character starts, else 0
    std::vector<int> glyphEnd;      // where the glyph holding character i ends
    std::vector<int32_t> overhang;  // of the glyph holding character i
    std::vector<bool> mayBreak;     // before character i
};

struct Part {
    int length = 0;
    int64_t width = 0;
};

struct Filled {
    int length = 0;
    int trailing = 0;
};

// Qt's line filling for one line from `from`, over the table's metrics.
class Filler {
public:
    Filler(const ConsoleFontTable& t, const Text& x, int from, bool anywhere)
        : t_(t), x_(x), from_(from), anywhere_(anywhere) {}
    Filled Fill();

private:
    int Size() const { return int(x_.b.size()); }
    bool Blank(int i) const { return t_.KindOf(x_.b[size_t(i)]) != ConsoleFontTable::Glyph; }
    bool Tab(int i) const { return t_.KindOf(x_.b[size_t(i)]) == ConsoleFontTable::Tab; }
    int ItemEnd(int start) const;
    int64_t Overhang() const { return rb_ == NotCalculated ? 0 : -rb_; }
    int64_t NewWidth() const
    {
        return line_.width + tmp_.width + space_.width + (line_.width > 0 ? softHyphen_ : 0) + Overhang();
    }
    bool FullOtherwiseExtend();
    void BearingOf(int i) { rb_ = std::min<int64_t>(-x_.overhang[size_t(i)], 0); }
    void SaveCurrentGlyph(int itemStart);
    bool Word(int itemStart, int end);

    const ConsoleFontTable& t_;
    const Text& x_;
    int from_;
    bool anywhere_;
    Part line_, tmp_, space_;
    int pos_ = 0;
    int64_t softHyphen_ = 0, committedSoftHyphen_ = 0, rb_ = NotCalculated;
    int previousGlyph_ = -1;   // the character whose glyph ends the accepted text
    bool whiteSpace_ = true;
};

int Filler::ItemEnd(int start) const
{
    if (Tab(start))
        return start + 1;
    int end = start;
    while (end < Size() && !Tab(end))
        ++end;
    return end;
}

bool Filler::FullOtherwiseExtend()
{
    if (line_.length && NewWidth() > Width64)
        return true;
    const int64_t old = line_.width;
    line_.length += tmp_.length + space_.length;
    line_.width += tmp_.width + space_.width;
    tmp_ = space_ = Part{};
    if (old != line_.width || softHyphen_ > 0) {
        committedSoftHyphen_ = softHyphen_;
        softHyphen_ = 0;
    }
    return false;
}

// The layout looks the previous glyph up in the current item's glyphs by the
// previous character's index inside its own item: across an item boundary
// that is the current item's first glyph.
void Filler::SaveCurrentGlyph(int itemStart)
{
    previousGlyph_ = -1;
    if (pos_ > 0)
        previousGlyph_ = pos_ - 1 >= itemStart ? pos_ - 1 : itemStart + (pos_ - 1 - x_.itemStart[size_t(pos_ - 1)]);
}

// A run of glyphs up to the next break opportunity; true when the line is full.
bool Filler::Word(int itemStart, int end)
{
    whiteSpace_ = false;
    bool atBreak = false;
    SaveCurrentGlyph(itemStart);
    do {
        tmp_.length += x_.glyphEnd[size_t(pos_)] - pos_;
        tmp_.width += x_.advance[size_t(pos_)];
        pos_ = x_.glyphEnd[size_t(pos_)];
        if (pos_ >= Size() || Blank(pos_) || x_.mayBreak[size_t(pos_)]) {
            atBreak = true;
            break;
        }
        if (anywhere_)
            break;
    } while (pos_ < end);
    if (pos_ > 0 && pos_ <= end && (pos_ == end || x_.mayBreak[size_t(pos_)]) && x_.b[size_t(pos_ - 1)] == 0xAD)
        softHyphen_ = t_.softHyphen64;
    if (atBreak || anywhere_) {
        const int64_t previousRb = rb_;
        if (NewWidth() + t_.minOverhang64 > Width64)
            BearingOf(pos_ - 1);
        if (FullOtherwiseExtend()) {
            if (previousRb != NotCalculated)
                rb_ = previousRb;
            else if (previousGlyph_ >= 0)
                BearingOf(previousGlyph_);
            line_.width += committedSoftHyphen_;
            return true;
        }
    }
    SaveCurrentGlyph(itemStart);
    return false;
}

Filled Filler::Fill()
{
    int item = -1;
    int next = x_.itemStart[size_t(from_)];
    int end = 0;
    pos_ = from_;
    bool found = false;
    while (next < Size() && !found) {
        rb_ = NotCalculated;
        if (next != item) {
            item = next;
            pos_ = std::max(from_, item);
            end = ItemEnd(item);
        }
        if (Tab(item)) {
            whiteSpace_ = true;
            if (FullOtherwiseExtend()) {
                found = true;
                break;
            }
            const int64_t x = line_.width + tmp_.width + space_.width;
            // The next tab stop, by the layout's fixed-point division, which
            // rounds: within 5/8 of a pixel before a stop counts as at it.
            const int64_t stops = (x * 64 + TabStop64 / 2) / TabStop64 / 64;
            space_.width += (stops + 1) * TabStop64 - x;
            space_.length++;
            next = item + 1;
            pos_ = end;
            if (FullOtherwiseExtend()) {
                found = true;
                break;
            }
        } else if (Blank(pos_)) {
            whiteSpace_ = true;
            while (pos_ < end && Blank(pos_)) {
                space_.length++;
                space_.width += x_.advance[size_t(pos_)];
                ++pos_;
            }
            if (space_.width > Width64) {
                space_.width = Width64;   // blanks past the edge do not count
                found = true;
                break;
            }
        } else if (Word(item, end)) {
            found = true;
            break;
        }
        if (pos_ == end)
            next = end;
    }
    if (!found) {
        FullOtherwiseExtend();
        line_.width += committedSoftHyphen_;
    }
    if (rb_ == NotCalculated && !whiteSpace_)
        BearingOf(pos_ - 1);
    line_.width += Overhang();
    if (line_.length == 0) {
        line_.length += tmp_.length;
        line_.width += tmp_.width;
    }
    if (!anywhere_ && line_.width > Width64)
        return Filler(t_, x_, from_, true).Fill();
    return Filled{line_.length, space_.length};
}

// Numbers: the layout never breaks inside (PR|PO)?(OP|HY)?NU(NU|SY|IS)*(CL|CP)?(PR|PO)?,
// even across blanks, a rule over whole runs that no pair table holds. Its
// classes for Windows-1252 and its table of what the next class does.
enum Numeric : uint8_t { NoNumber, PrefixPostfix, OpenHyphen, Digit, Separator, Close };
enum NumericStep : uint8_t { Outside, Begin, Continue, End };

Numeric NumericOf(uint8_t b)
{
    switch (b) {
    case '$': case '+': case '\\': case 0xA3: case 0xA4: case 0xA5: case 0xB1: case 0x80:
    case '%': case 0xA2: case 0xB0: case 0x89:
        return PrefixPostfix;
    case '(': case '[': case '{': case 0xA1: case 0xBF: case 0x84: case 0x82: case '-':
        return OpenHyphen;
    case '/': case ',': case '.': case ':': case ';':
    case '<': case '=': case '>': case '~': case 0xAC: case 0xD7: case 0xF7:   // maths signs
        return Separator;
    case ')': case ']': case '}':
        return Close;
    default:
        return b >= '0' && b <= '9' ? Digit : NoNumber;
    }
}

constexpr NumericStep NumericSteps[6][6] = {
    {Outside, Begin, Begin, Begin, Outside, Outside},
    {Outside, Begin, Continue, Continue, Outside, Outside},
    {Outside, Begin, Begin, Continue, Outside, Outside},
    {End, End, End, Continue, Continue, Continue},
    {End, End, End, Continue, Continue, Continue},
    {End, Continue, End, End, End, End},
};

bool Mandatory(uint8_t b) { return b == 0x0B || b == 0x0C; }
bool Control(uint8_t b)
{
    return b <= 0x08 || (b >= 0x0E && b <= 0x1F) || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F ||
           b == 0x90 || b == 0x9D;
}

void KeepNumbersWhole(Text& x)
{
    const int n = int(x.b.size());
    int start = 0;
    Numeric last = NoNumber;
    const auto keep = [&](int to) {
        for (int j = start + 1; j < to; ++j)
            x.mayBreak[size_t(j)] = false;
    };
    for (int i = 0; i < n; ++i) {
        const uint8_t b = x.b[size_t(i)];
        // The first character and one after a forced break start afresh
        // and never begin a number.
        if (i == 0 || b == ' ' || Mandatory(b) || Mandatory(x.b[size_t(i - 1)]))
            continue;
        const uint8_t before = x.b[size_t(i - 1)];
        if (Control(b) && before != ' ')
            continue;
        const Numeric now = NumericOf(b);
        switch (NumericSteps[last][now]) {
        case End:
            keep(i);
            last = NoNumber;
            break;
        case Outside:
            last = NoNumber;
            break;
        case Begin:
            start = i;
            last = now;
            break;
        case Continue:
            last = now;
            break;
        }
    }
    if (NumericSteps[last][NoNumber] == End)
        keep(n);
}

int KernOf(const ConsoleFontTable& t, uint8_t a, uint8_t b)
{
    const ConsoleFontTable::Kern* end = t.kerns + t.kernCount;
    const auto* k = std::lower_bound(t.kerns, end, std::pair{a, b}, [](const ConsoleFontTable::Kern& k, std::pair<uint8_t, uint8_t> p) {
        return std::pair{k.first, k.second} < p;
    });
    return k != end && k->first == a && k->second == b ? k->delta64 : 0;
}

// The ligature starting at character i and where it ends, or -1. Soft
// hyphens between its letters have no glyph and do not part them.
int LigatureAt(const ConsoleFontTable& t, const std::vector<uint8_t>& b, size_t i, size_t* end)
{
    for (int k = 0; k < t.ligatureCount; ++k) {
        const char* l = t.ligatures[k].text;
        size_t at = i;
        size_t j = 0;
        while (j < 4 && l[j] && at < b.size() && b[at] == uint8_t(l[j])) {
            ++j;
            ++at;
            while (j < 4 && l[j] && at < b.size() && b[at] == 0xAD)
                ++at;
        }
        if (j == 4 || !l[j]) {
            while (at > i && b[at - 1] == 0xAD)   // trailing soft hyphens are not part of it
                --at;
            *end = at;
            return k;
        }
    }
    return -1;
}

// Glyphs as the font shapes them: ligatures, and each glyph's advance
// kerned with the next glyph of its item.
void Shape(const ConsoleFontTable& t, Text& x)
{
    const size_t n = x.b.size();
    std::vector<int> ligature(n, -1);
    x.glyphEnd.resize(n);
    x.overhang.resize(n);
    for (size_t i = 0; i < n;) {
        size_t end = i + 1;
        const int k = LigatureAt(t, x.b, i, &end);
        for (size_t j = i; j < end; ++j) {
            ligature[j] = k;
            x.glyphEnd[j] = int(end);
            x.overhang[j] = k < 0 ? t.overhang64[x.b[j]] : t.ligatures[k].overhang64;
        }
        i = end;
    }
    x.advance.assign(n, 0);
    for (size_t i = 0; i < n; i = size_t(x.glyphEnd[i])) {
        // Kerning looks past soft hyphens, which have no glyph.
        size_t next = size_t(x.glyphEnd[i]);
        while (next < n && x.b[next] == 0xAD)
            ++next;
        const bool kerned = next < n && t.KindOf(x.b[i]) != ConsoleFontTable::Tab &&
                            t.KindOf(x.b[next]) != ConsoleFontTable::Tab;
        const int k = ligature[i];
        int delta = 0;
        if (kerned && k >= 0)
            delta = t.Delta(t.ligatures[k].next, x.b[next]);
        else if (kerned && ligature[next] >= 0)
            delta = t.Delta(t.ligatures[ligature[next]].before, x.b[i]);
        else if (kerned)
            delta = KernOf(t, x.b[i], x.b[next]);
        x.advance[i] = (k >= 0 ? t.ligatures[k].alone64 : t.advance64[x.b[i]]) + delta;
    }
}

Text Prepare(const ConsoleFontTable& t, const std::u16string& line)
{
    Text x;
    const size_t n = line.size();
    x.b.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const int b = UnicodeToCp1252(line[i]);
        x.b[i] = uint8_t(b < 0 ? '?' : b);
    }
    x.itemStart.resize(n);
    x.mayBreak.assign(n, false);
    int lastGlyph = -1;   // the last character before the current blanks
    int previous = -1;    // the character the next break looks back to
    for (size_t i = 0; i < n; ++i) {
        const bool tab = t.KindOf(x.b[i]) == ConsoleFontTable::Tab;
        x.itemStart[i] = (i == 0 || tab || t.KindOf(x.b[i - 1]) == ConsoleFontTable::Tab) ? int(i) : x.itemStart[i - 1];
        if (i > 0)
            x.mayBreak[i] = x.b[i - 1] == ' ' ? t.MayBreakAfterBlanks(lastGlyph, x.b[i])
                                             : t.MayBreak(uint8_t(previous), x.b[i]);
        // A control character is looked through, unless it follows a blank.
        if (!(Control(x.b[i]) && i > 0 && x.b[i - 1] != ' ' && !Mandatory(x.b[i - 1])))
            previous = x.b[i];
        if (x.b[i] != ' ')
            lastGlyph = previous;
    }
    Shape(t, x);
    KeepNumbersWhole(x);
    return x;
}

} // namespace

int TableLineWrap::Wrap(const std::u16string& line, size_t* lastStart) const
{
    const Text x = Prepare(t_, line);
    const int n = int(line.size());
    int lines = 0;
    int from = 0;
    int start = 0;
    while (lines == 0 || from < n) {
        start = from;
        ++lines;
        const Filled f = Filler(t_, x, from, false).Fill();
        from += std::max(1, f.length + f.trailing);
    }
    *lastStart = size_t(start);
    return lines;
}

} // namespace tarko
