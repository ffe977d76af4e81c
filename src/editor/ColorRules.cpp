#include "editor/ColorRules.h"

#include <algorithm>

namespace tarko {

namespace {

bool isBlankOrControl(unsigned char c) { return c <= ' '; }

std::string_view trim(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && isBlankOrControl(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && isBlankOrControl(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

std::string upperAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = upperAscii(c);
    return out;
}

// $40..$5A (the at sign and A-Z) and a-z; digits, '_' and bytes above 127 are not.
bool isWordChar(unsigned char c) { return (c >= 0x40 && c <= 0x5A) || (c >= 0x61 && c <= 0x7A); }

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// An integer with an optional sign; a leading "$" marks hexadecimal digits.
bool parseInteger(std::string_view s, long long& value)
{
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    const bool hex = i < s.size() && s[i] == '$';
    if (hex)
        ++i;
    if (i >= s.size())
        return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        const int d = hex ? hexDigit(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
        if (d < 0)
            return false;
        v = v * (hex ? 16 : 10) + d;
        if (v > 0xFFFFFFFFLL)
            return false;
    }
    if (!hex && v > 0x7FFFFFFFLL + (negative ? 1 : 0))
        return false;
    value = negative ? -v : v;
    return true;
}

std::string_view firstChars(std::string_view s, size_t n) { return s.substr(0, std::min(s.size(), n)); }

} // namespace

TColor ColorFromText(std::string_view text)
{
    static constexpr struct { const char* name; std::uint32_t rgb; } kNames[] = {
        {"BLACK", 0x000000}, {"MAROON", 0x800000}, {"GREEN", 0x008000}, {"OLIVE", 0x808000},
        {"NAVY", 0x000080}, {"PURPLE", 0x800080}, {"TEAL", 0x008080}, {"GRAY", 0x808080},
        {"SILVER", 0xC0C0C0}, {"RED", 0xFF0000}, {"LIME", 0x00FF00}, {"YELLOW", 0xFFFF00},
        {"BLUE", 0x0000FF}, {"FUCHSIA", 0xFF00FF}, {"AQUA", 0x00FFFF}, {"WHITE", 0xFFFFFF}};
    std::string s = upperAscii(firstChars(trim(text), 10));
    long long rgb = -1;
    for (const auto& n : kNames)
        if (s == n.name)
            rgb = n.rgb;
    if (rgb < 0) {
        if (const size_t hash = s.find('#'); hash != std::string::npos)
            s.erase(hash, 1);
        if (s.find('$') == std::string::npos)
            s = "$" + s;
        if (!parseInteger(s, rgb))
            return clWhite;
    }
    const auto v = static_cast<std::uint32_t>(rgb);
    return RgbColor(int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF));
}

bool MeetsWindows(TScanWindows Windows, int From, int To)
{
    if (Windows.empty())
        return true;
    const auto w = std::partition_point(Windows.begin(), Windows.end(),
                                        [From](const TScanWindow& x) { return x.To < From; });
    return w != Windows.end() && w->From <= To;
}

void TScanTrail::Forget(int unchangedBefore, int changedTo, int delta)
{
    if (unchangedBefore == INT_MAX)
        return; // nothing changed: every point, waiting or not, stays as it is
    // Points beyond the change move on with the text after it.
    std::vector<TResumePoint> later;
    auto keep = [&](const TResumePoint& p) {
        // A point holds when the text from it on, and every span it
        // carries, lies beyond the change.
        if ((long long)p.Pos + delta < (long long)changedTo + kReach)
            return;
        for (int i = 0; i < p.CarryCount; ++i)
            if ((long long)p.Carry[size_t(i)].StartPos + delta < (long long)changedTo)
                return;
        TResumePoint q = p;
        q.Pos += delta;
        for (int i = 0; i < q.CarryCount; ++i) {
            q.Carry[size_t(i)].StartPos += delta;
            q.Carry[size_t(i)].EndPos += delta;
        }
        later.push_back(q);
    };
    if (changedTo != INT_MAX) {
        // The points of one search only: when the last search went past
        // this change, its points there are the ones that match the text
        // before the change; older points waiting beyond it came from an
        // older text and may belong to another search.
        bool searched = false;
        for (const TResumePoint& p : Points)
            if ((long long)p.Pos >= (long long)changedTo - delta) {
                searched = true;
                keep(p);
            }
        if (!searched)
            for (const TResumePoint& p : Later)
                if ((long long)p.Pos >= (long long)changedTo - delta)
                    keep(p);
    }
    Later = std::move(later);
    while (!Points.empty() && (long long)Points.back().Pos + kReach > unchangedBefore)
        Points.pop_back();
}

size_t TTrailWalker::Start(TScanWindows windows)
{
    if (!FTrail)
        return 0;
    FTrail->Skipped = 0;
    const std::vector<TResumePoint>& points = FTrail->Points;
    FMark = (points.empty() ? 0 : size_t(points.back().Pos - FBase)) + size_t(FTrail->Step);
    if (windows.empty())
        return 0; // every span is wanted
    // A point is usable when the steps up to it read only text this scan
    // holds too.
    const long long last = std::min((long long)windows.front().From, (long long)FBase + (long long)FSize - TScanTrail::kReach);
    const auto after = std::partition_point(points.begin(), points.end(),
                                            [last](const TResumePoint& p) { return p.Pos <= last; });
    if (after == points.begin())
        return 0;
    const TResumePoint& p = *(after - 1);
    std::copy_n(p.Carry.begin(), p.CarryCount, FRecent.begin());
    FRecentCount = p.CarryCount;
    FTrail->Skipped = p.Pos - FBase;
    return size_t(p.Pos - FBase);
}

bool TTrailWalker::SkipAhead(size_t& pos, TScanWindows windows)
{
    if (!FTrail || windows.empty())
        return false;
    const long long at = (long long)FBase + (long long)pos;
    const auto w = std::partition_point(windows.begin(), windows.end(),
                                        [at](const TScanWindow& x) { return x.To < at; });
    if (w == windows.end() || w->From <= at)
        return false; // past the last window, or inside one
    // A point ahead lies on this same search (same scan start, same text up
    // to it), so going on from there skips only steps whose spans end before
    // it or are carried by it; none of them meets a window.
    const long long last = std::min((long long)w->From, (long long)FBase + (long long)FSize - TScanTrail::kReach);
    const std::vector<TResumePoint>& points = FTrail->Points;
    const auto after = std::partition_point(points.begin(), points.end(),
                                            [last](const TResumePoint& p) { return p.Pos <= last; });
    if (after == points.begin() || (after - 1)->Pos <= at)
        return false;
    const TResumePoint p = *(after - 1);
    std::copy_n(p.Carry.begin(), p.CarryCount, FRecent.begin());
    FRecentCount = p.CarryCount;
    FTrail->Skipped += p.Pos - at;
    pos = size_t(p.Pos - FBase);
    return true;
}

void TTrailWalker::Spanned(const TKeyDescr& d)
{
    if (!FTrail)
        return;
    if (FRecentCount == int(FRecent.size())) {
        std::move(FRecent.begin() + 1, FRecent.end(), FRecent.begin());
        --FRecentCount;
    }
    FRecent[size_t(FRecentCount++)] = d;
}

void TTrailWalker::FoundNothingBefore(size_t limit)
{
    if (!FTrail)
        return;
    // A step begun anywhere from FStepAt up to limit goes on as this one,
    // and from a point beyond the change the old search went on as this
    // one now does: meeting one, this search is the old one again, and
    // the points after it hold.
    std::vector<TResumePoint>& later = FTrail->Later;
    if (!later.empty()) {
        const long long from = (long long)FBase + (long long)FStepAt, to = (long long)FBase + (long long)limit;
        auto met = std::partition_point(later.begin(), later.end(),
                                        [from](const TResumePoint& p) { return p.Pos < from; });
        if (met != later.end() && met->Pos <= to && (long long)met->Pos + TScanTrail::kReach <= (long long)FBase + (long long)FSize) {
            // The spans before the point met are this search's own, not
            // the old one's: the points after it that carry none of them
            // are taken up.
            const int q = met->Pos;
            std::vector<TResumePoint>& points = FTrail->Points;
            for (auto p = met + 1; p != later.end(); ++p) {
                if (std::any_of(p->Carry.begin(), p->Carry.begin() + p->CarryCount,
                                [q](const TKeyDescr& d) { return d.StartPos < q; }))
                    continue;
                if (points.empty() || points.back().Pos < p->Pos)
                    points.push_back(*p);
            }
            later.clear();
            if (!points.empty() && points.back().Pos > q)
                FMark = size_t(points.back().Pos - FBase) + size_t(FTrail->Step);
            return;
        }
        if (met == later.end())
            later.clear(); // this search is past all of them
    }
    // Only from this step on: a point the step could not take (at the
    // scan's end, or with too many spans reaching it) leaves the mark behind.
    FMark = std::max(FMark, FStepAt);
    while (FMark <= limit && leavePoint(FMark)) {
    }
}

bool TTrailWalker::leavePoint(size_t pos)
{
    if (pos + TScanTrail::kReach > FSize)
        return false; // the steps up to here may have met the scan's end
    TResumePoint p;
    p.Pos = FBase + int(pos);
    // Spans end a few characters past the step that found them at most, so
    // only the last ones can reach the point; when even the oldest kept one
    // does, an older one might too, and no point is left here.
    if (FRecentCount == int(FRecent.size()) && FRecent[0].EndPos >= p.Pos)
        return false;
    for (int i = 0; i < FRecentCount; ++i)
        if (FRecent[size_t(i)].EndPos >= p.Pos)
            p.Carry[size_t(p.CarryCount++)] = FRecent[size_t(i)];
    FTrail->Points.push_back(p);
    FMark = pos + size_t(FTrail->Step);
    return true;
}

void TKeyDescrList::Reset()
{
    for (TKeyDescr& d : Items)
        d.StartPos = kEmptyPos;
    MinStart = kEmptyPos;
    MaxEnd = -1;
}

int TKeyDescrList::Add(int index, const TKeyDescr& d)
{
    if (size_t(index) >= Items.size())
        Items.resize(size_t(index) + 1);
    Items[size_t(index)] = d;
    MinStart = std::min(MinStart, d.StartPos);
    MaxEnd = std::max(MaxEnd, d.EndPos);
    return index + 1;
}

// keyword list: "KEYWORD[;colour]" per line
void TColorRule::parseKeywords(const TStrings& lines)
{
    FKeyPattern.assign(1, '*');
    FKeyColors.clear();
    FKeywordList.clear();
    FInKeyword.fill(false);
    int lastIndex = 1;
    for (const std::string& line : lines) {
        if (trim(line).empty())
            continue;
        const size_t semi = line.find(';');
        std::string keyword = line.substr(0, semi);
        const std::string_view colorText = semi == std::string::npos ? std::string_view() : std::string_view(line).substr(semi + 1);
        const TColor color = trim(colorText).empty() ? DefKeyColor : ColorFromText(colorText);
        if (trim(keyword).empty())
            continue;
        // '*' separates the pattern; longer keywords exceed the search copy.
        if (keyword.find('*') != std::string::npos || keyword.size() > size_t(kMaxKeywordLength))
            continue;
        if (!KeyCase)
            keyword = upperAscii(keyword);
        const auto found = std::find(FKeyColors.begin(), FKeyColors.end(), color);
        int index;
        if (found != FKeyColors.end()) {
            index = int(found - FKeyColors.begin()) + 1;
        } else if (FKeyColors.size() < size_t(kMaxKeyColors)) {
            FKeyColors.push_back(color);
            index = int(FKeyColors.size());
        } else {
            index = lastIndex; // no room: the colour of the keyword before
        }
        lastIndex = index;
        FKeyPattern.append(keyword);
        FKeyPattern.push_back('*');
        FKeyPattern.push_back('+');
        FKeyPattern.push_back(char(index));
        FKeyPattern.push_back('*');
        FKeywordList.push_back({keyword, index});
        for (char c : keyword)
            FInKeyword[static_cast<unsigned char>(c)] = true;
    }
}

// pair list: "BEGIN;END[;colour]" per line, line i fills entry i
void TColorRule::parsePairs(const TStrings& lines)
{
    FPairTable.assign(kPairTableSize, TKeyPair());
    for (size_t i = 0; i < lines.size() && i < size_t(kPairTableSize); ++i) {
        const std::string_view line = lines[i];
        const size_t semi = line.find(';');
        if (semi == std::string_view::npos || semi == 0)
            continue;
        TKeyPair& p = FPairTable[i];
        p.BeginKey = firstChars(line.substr(0, semi), 6);
        const std::string_view rest = line.substr(semi + 1);
        const size_t semi2 = rest.find(';');
        p.EndKey = firstChars(rest.substr(0, semi2), 6);
        const std::string_view colorText = semi2 == std::string_view::npos ? std::string_view() : rest.substr(semi2 + 1);
        p.PairColor = trim(colorText).empty() ? DefKeyColor : ColorFromText(colorText);
    }
}

// line-end list: "MARKER[;colour]" per line, line i fills entry i
void TColorRule::parseLineEnds(const TStrings& lines)
{
    FPairTable.assign(kPairTableSize, TKeyPair());
    for (size_t i = 0; i < lines.size() && i < size_t(kPairTableSize); ++i) {
        const std::string_view line = lines[i];
        const size_t semi = line.find(';');
        std::string_view marker = line, colorText;
        if (semi != std::string_view::npos && semi >= 1) {
            marker = line.substr(0, semi);
            colorText = line.substr(semi + 1);
        } else if (semi == 0 && line.size() >= 2 && line[1] == ';') {
            marker = ";";
            colorText = line.substr(2);
        }
        TKeyPair& p = FPairTable[i];
        p.BeginKey = firstChars(marker, 6);
        p.PairColor = trim(colorText).empty() ? DefKeyColor : ColorFromText(colorText);
    }
}

void TColorRule::SetKeywords(const TStrings& lines)
{
    parseKeywords(lines);
    FKeywords = lines;
}

void TColorRule::SetKeyBegEndLst(const TStrings& lines)
{
    parsePairs(lines);
    FKeyBegEndLst = lines;
}

void TColorRule::SetKeyLineEndLst(const TStrings& lines)
{
    parseLineEnds(lines);
    FKeyLineEndLst = lines;
}

void TColorRule::Assign(const TColorRule& src)
{
    if (&src == this)
        return;
    KeyDrawingType = src.KeyDrawingType;
    ZOrder = src.ZOrder;
    KeyMaxHeight = src.KeyMaxHeight;
    KeyCase = src.KeyCase;
    Enabled = src.Enabled;
    PartWord = src.PartWord;
    DefKeyColor = src.DefKeyColor;
    KeyBrushColor = src.KeyBrushColor;
    SetKeywords(src.FKeywords);
    SetKeyLineEndLst(src.FKeyLineEndLst);
    SetKeyBegEndLst(src.FKeyBegEndLst);
}

bool TColorRule::Prepare()
{
    parsePairs(FKeyBegEndLst);
    bool content = !FKeyBegEndLst.empty();
    if (KeyDrawingType == dtKeyShow) {
        parseKeywords(FKeywords);
        content = content || !FKeywords.empty();
    }
    if (KeyDrawingType == dtBeginLineEnd) {
        parseLineEnds(FKeyLineEndLst);
        content = content || !FKeyLineEndLst.empty();
    }
    return content;
}

int TColorRule::FindKeys(int Next, std::string_view Text, int ScanStart, TKeyDescrList& List, TRuleHost* Host)
{
    return FindKeys(Next, Text, ScanStart, List, Host, {});
}

int TColorRule::FindKeys(int Next, std::string_view Text, int ScanStart, TKeyDescrList& List, TRuleHost* Host,
                         TScanWindows Windows)
{
    return FindKeys(Next, Text, ScanStart, List, Host, Windows, nullptr);
}

int TColorRule::FindKeys(int Next, std::string_view Text, int ScanStart, TKeyDescrList& List, TRuleHost* Host,
                         TScanWindows Windows, TScanTrail* Trail)
{
    switch (KeyDrawingType) {
    case dtKeyShow: return findKeywords(Next, Text, ScanStart, List, Windows);
    case dtEventDraw: return findEventSpans(Next, Text, ScanStart, List, Host, Windows);
    case dtBeginEnd: return findPairs(Next, Text, ScanStart, List, false, Windows, Trail);
    case dtBeginLineEnd: return findPairs(Next, Text, ScanStart, List, true, Windows, Trail);
    }
    return Next;
}

// begin/end pairs, or a marker colouring to the end of its line
// Each span depends on all text before it, so the search starts at the
// scan start or at a resume point of an earlier search over the same text;
// with windows it stops after the last one. Where a step starts depends
// only on that position: FoundAt always equals the first occurrence at or
// after it, so a step taken up with nothing remembered finds the same.
int TColorRule::findPairs(int next, std::string_view text, int base, TKeyDescrList& list, bool toLineEnd,
                          TScanWindows windows, TScanTrail* trail)
{
    if (FPairTable.empty())
        return next;
    for (TKeyPair& p : FPairTable)
        p.FoundAt = -2; // not searched yet
    constexpr size_t npos = std::string_view::npos;
    TTrailWalker walk(trail, base, text.size());
    size_t pos = walk.Start(windows);
    for (const TKeyDescr& d : walk.Carried())
        if (MeetsWindows(windows, d.StartPos, d.EndPos))
            next = list.Add(next, d);
    while (pos <= text.size()) {
        if (walk.SkipAhead(pos, windows)) {
            for (TKeyPair& p : FPairTable)
                p.FoundAt = -2;
            for (const TKeyDescr& d : walk.Carried())
                if (MeetsWindows(windows, d.StartPos, d.EndPos))
                    next = list.Add(next, d);
        }
        walk.StepAt(pos);
        TKeyPair* best = nullptr;
        for (TKeyPair& p : FPairTable) {
            if (p.BeginKey.empty())
                break; // an empty entry hides all later ones
            // A remembered occurrence at or after pos is still the first one.
            if (p.FoundAt == -2 || (p.FoundAt >= 0 && size_t(p.FoundAt) < pos)) {
                const size_t at = text.find(p.BeginKey, pos);
                p.FoundAt = at == npos ? -1 : int(at);
            }
            if (p.FoundAt >= 0 && (!best || p.FoundAt < best->FoundAt))
                best = &p;
        }
        walk.FoundNothingBefore(best ? size_t(best->FoundAt) : text.size());
        if (!best)
            break;
        const size_t begin = size_t(best->FoundAt);
        if (!windows.empty() && base + int(begin) > windows.back().To)
            break; // every later span starts here or further on
        TKeyDescr d;
        d.StartPos = base + int(begin);
        d.SpanColor = best->PairColor;
        d.Level = ZOrder;
        d.IsKey = 0;
        if (toLineEnd) {
            size_t lineEnd = text.find("\r\n", begin);
            if (lineEnd == npos)
                lineEnd = text.size();
            d.EndPos = base + int(lineEnd) - 1;
            walk.Spanned(d);
            if (MeetsWindows(windows, d.StartPos, d.EndPos))
                next = list.Add(next, d);
            pos = lineEnd + 1;
        } else {
            // The end marker is searched from the second character of the
            // begin marker on, not after the whole marker.
            const size_t end = best->EndKey.empty() ? npos : text.find(best->EndKey, begin + 1);
            if (end == npos)
                break;
            d.EndPos = base + int(end + best->EndKey.size()) - 1;
            walk.Spanned(d);
            if (MeetsWindows(windows, d.StartPos, d.EndPos))
                next = list.Add(next, d);
            pos = end + 1;
        }
    }
    return next;
}

// keywords as whole words (or inside words with PartWord)
int TColorRule::findKeywords(int next, std::string_view text, int base, TKeyDescrList& list, TScanWindows windows)
{
    if (trim(FKeyPattern).size() < 3 || FKeywordList.empty())
        return next;
    FParts.clear();
    if (windows.empty())
        FParts.push_back({0, text.size()});
    else
        keywordParts(text, base, windows);
    if (!KeyCase) {
        FUpper.clear(); // the buffer keeps its capacity between paints
        for (const Part& part : FParts)
            FUpper.append(text.substr(part.At, part.Len));
        for (char& c : FUpper)
            c = upperAscii(c);
    }
    for (const Keyword& kw : FKeywordList) {
        const size_t len = kw.Text.size();
        size_t folded = 0; // start of the part in FUpper
        for (const Part& part : FParts) {
            const std::string_view s = KeyCase ? text.substr(part.At, part.Len) : std::string_view(FUpper).substr(folded, part.Len);
            folded += part.Len;
            for (size_t p = s.find(kw.Text); p != std::string_view::npos; p = s.find(kw.Text, p + len)) {
                const bool before = p > 0 && isWordChar(static_cast<unsigned char>(s[p - 1]));
                const bool after = p + len < s.size() && isWordChar(static_cast<unsigned char>(s[p + len]));
                if (!PartWord && (before || after))
                    continue;
                TKeyDescr d;
                d.StartPos = base + int(part.At + p);
                d.EndPos = d.StartPos + int(len) - 1;
                d.SpanColor = FKeyColors[size_t(kw.ColorIndex - 1)];
                d.Level = ZOrder;
                d.IsKey = 1;
                if (MeetsWindows(windows, d.StartPos, d.EndPos))
                    next = list.Add(next, d);
            }
        }
    }
    return next;
}

// The stretches of text that give the same keyword hits inside the windows
// as a search of the whole text. A byte that no keyword holds (after
// folding) lies in no hit, so a search restarted there finds the same hits
// after it as the whole search, and one ending there the same hits before
// it. Each window is widened by a keyword's length plus the boundary
// check's character to the nearest such byte, which stays in the stretch
// so the boundary checks see it; without one the stretch reaches the
// text's end. Each byte is examined at most once over all windows.
void TColorRule::keywordParts(std::string_view text, int base, TScanWindows windows)
{
    const int n = int(text.size());
    const auto restart = [&](int p) {
        const char c = text[size_t(p)];
        return !FInKeyword[static_cast<unsigned char>(KeyCase ? c : upperAscii(c))];
    };
    int lastEnd = -1; // last byte of the last stretch
    for (const TScanWindow& w : windows) {
        // 64 bits: windows may reach to the ends of int
        const long long from = (long long)w.From - base, to = (long long)w.To - base;
        if (to < 0 || from >= n || from > to)
            continue;
        const int wantTo = int(std::min(to + kMaxKeywordLength + 1, (long long)n - 1));
        if (wantTo <= lastEnd)
            continue; // the last stretch covers this window too
        int a = int(std::max(from - kMaxKeywordLength - 1, -1LL));
        while (a > lastEnd && a > 0 && !restart(a))
            --a;
        int b = std::max(wantTo, lastEnd + 1);
        while (b < n - 1 && !restart(b))
            ++b;
        if (a <= lastEnd + 1 && !FParts.empty()) {
            FParts.back().Len = size_t(b + 1) - FParts.back().At;
        } else {
            a = std::max(a, 0);
            FParts.push_back({size_t(a), size_t(b - a + 1)});
        }
        lastEnd = b;
    }
}

// spans delivered by the editor's OnDraw handler
int TColorRule::findEventSpans(int next, std::string_view text, int base, TKeyDescrList& list, TRuleHost* host,
                               TScanWindows windows)
{
    if (!host || host->ColorLimBuf.empty())
        return next;
    std::vector<TKeyDescr>& buf = host->ColorLimBuf;
    std::fill(buf.begin(), buf.end(), TKeyDescr());
    int count = 0;
    if (host->OnDraw)
        host->OnDraw(*this, text, buf.data(), count);
    // A handler may report more records than it was given, or positions
    // outside its text: keep what lies inside.
    count = std::clamp(count, 0, int(buf.size()));
    const int last = int(text.size()) - 1;
    for (int i = 0; i < count; ++i) {
        const TKeyDescr& r = buf[size_t(i)];
        const int from = std::max(r.StartPos, 0);
        const int to = std::min(r.EndPos, last);
        if (r.StartPos == kEmptyPos || from > to)
            continue;
        TKeyDescr d;
        d.StartPos = base + from;
        d.EndPos = base + to;
        d.SpanColor = r.SpanColor;
        d.Level = r.Level != 0 ? r.Level : ZOrder;
        d.IsKey = 0;
        if (MeetsWindows(windows, d.StartPos, d.EndPos))
            next = list.Add(next, d);
    }
    return next;
}

TColorRule& TDrawRules::Add()
{
    FItems.push_back(std::make_unique<TColorRule>());
    return *FItems.back();
}

void TDrawRules::Assign(const TDrawRules& src)
{
    if (&src == this)
        return;
    FItems.clear();
    for (const auto& r : src.FItems)
        Add().Assign(*r);
}

void TDrawRules::PrepareRules()
{
    if (!NeedsPrepare) {
        NeedsPrepare = true;
        return;
    }
    bool content = false;
    for (auto& r : FItems)
        content = r->Prepare() || content;
    NeedsPrepare = !content;
}

} // namespace tarko
