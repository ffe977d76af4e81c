#pragma once
// Colour rules of the colouring editor: each rule looks at the text about to
// be painted (Windows-1252 bytes, line breaks as CR LF, positions counting a
// line break as two characters) and appends the spans it wants coloured.
// Plain C++, no Qt: the widget hands in the text of the painted lines.
#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarko {

// Red in bits 0-7, green 8-15, blue 16-23; high byte $80 names a system colour.
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x00000000;
constexpr TColor clRed = 0x000000FF;
constexpr TColor clLime = 0x0000FF00;
constexpr TColor clYellow = 0x0000FFFF;
constexpr TColor clBlue = 0x00FF0000;
constexpr TColor clFuchsia = 0x00FF00FF;
constexpr TColor clTeal = 0x00808000;
constexpr TColor clNavy = 0x00800000;
constexpr TColor clWhite = 0x00FFFFFF;
constexpr TColor clWindow = 0x80000005;
constexpr TColor clWindowText = 0x80000008;

constexpr TColor RgbColor(int r, int g, int b) { return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16); }

constexpr std::int32_t kEmptyPos = 0x7FFFFFFF; // StartPos of an empty span record

// One coloured span; EndPos is inclusive.
struct TKeyDescr {
    std::int32_t StartPos = kEmptyPos;
    std::int32_t EndPos = 0;
    TColor SpanColor = 0;
    std::uint8_t Level = 0;
    std::uint8_t IsKey = 0;
};

// The growing span list of a paint; records are reused from paint to paint.
// It also tracks the lowest StartPos and highest EndPos appended.
class TKeyDescrList {
public:
    TKeyDescrList() { Items.resize(100); }
    void Reset();                       // all records empty, next free index 0
    int Add(int index, const TKeyDescr& d); // stores at index, grows; returns index + 1
    int Capacity() const { return int(Items.size()); }
    std::vector<TKeyDescr> Items;
    std::int32_t MinStart = kEmptyPos;
    std::int32_t MaxEnd = -1;
};

enum TKeyDrawingType : std::uint8_t { dtKeyShow, dtEventDraw, dtBeginEnd, dtBeginLineEnd };

struct TKeyPair {
    std::string BeginKey; // at most 6 characters
    std::string EndKey;   // at most 6 characters; empty for line-end entries
    TColor PairColor = 0;
    int FoundAt = -1;
};

constexpr int kPairTableSize = 40;
constexpr int kMaxKeyColors = 41;
constexpr int kMaxKeywordLength = 31;

using TStrings = std::vector<std::string>;

// A stretch of the whole text whose colours are wanted, From..To inclusive
// (positions as in TKeyDescr). A list of them is sorted and disjoint; an
// empty list stands for the whole scan.
struct TScanWindow {
    int From, To;
};
using TScanWindows = std::span<const TScanWindow>;

// A place where a search for pairs, line ends or hot spots can be taken up
// again part-way through a long scan: the position at which one step of
// the search begins (whole text) and the spans of earlier steps that reach
// that position or beyond. A search taken up there gives exactly the spans
// a search from the scan start gives from there on.
struct TResumePoint {
    int Pos = 0;
    int CarryCount = 0;
    std::array<TKeyDescr, 4> Carry{};
};

// The resume points one search left over one scan start, ascending. The
// steps up to a point read text only below Pos + kReach (keys are at most
// six characters), so the point holds while that text is unchanged.
struct TScanTrail {
    static constexpr int kReach = 8;
    int Step = 4096; // scanned text between two points
    std::vector<TResumePoint> Points;
    // Points beyond a change, moved with the text after it. They hold
    // again once a search meets one of them (see TTrailWalker::FoundNothingBefore).
    std::vector<TResumePoint> Later;
    long long Skipped = 0; // scan text the last search did not read again

    // Drops the points that text at or after unchangedBefore could alter;
    // with changedTo and delta (the text from changedTo on is the old text
    // from changedTo - delta on) the points beyond the change are kept in
    // Later, moved by delta.
    void Forget(int unchangedBefore, int changedTo = INT_MAX, int delta = 0);
};

// Whether From..To meets a window; always true for an empty list.
bool MeetsWindows(TScanWindows Windows, int From, int To);

// "navy", "#00FF00", "$FF8000", "FF8000" ...; unreadable text gives white.
TColor ColorFromText(std::string_view text);

// Walks along one search with a trail: where it starts, and the points it
// leaves every TScanTrail::Step characters on the way.
class TTrailWalker {
public:
    TTrailWalker(TScanTrail* trail, int base, size_t size) : FTrail(trail), FBase(base), FSize(size) {}
    // Where the search starts (relative to the scan): at the scan start, or
    // at the last point at or before the first window when there are
    // windows. The spans the point carries are then in Carried().
    size_t Start(TScanWindows windows);
    std::span<const TKeyDescr> Carried() const { return {FRecent.data(), size_t(FRecentCount)}; }
    // Between two windows: on to the last point before the next window
    // when one lies ahead of pos (the spans it carries then in Carried()).
    bool SkipAhead(size_t& pos, TScanWindows windows);
    // Every span of the search, wanted or not, in the order found.
    void Spanned(const TKeyDescr& d);
    // A step of the search begins at pos.
    void StepAt(size_t pos)
    {
        FStepAt = pos;
        if (FTrail && pos >= FMark)
            leavePoint(pos);
    }
    // The step under way found nothing before limit, so a step begun
    // anywhere up to limit would do the same as this one.
    void FoundNothingBefore(size_t limit);

private:
    bool leavePoint(size_t pos);
    TScanTrail* FTrail;
    int FBase;
    size_t FSize;
    size_t FMark = 0; // no point before this
    size_t FStepAt = 0; // where the step under way began
    std::array<TKeyDescr, 4> FRecent{}; // the last spans, oldest first
    int FRecentCount = 0;
};

class TColorRule;
// Supplies the spans of event-drawn rules: fills records 0..ItemsCount-1 of
// A (at most ColorLimMax of them) with positions counted from FromPos.
using TDrawEvent = std::function<void(TColorRule& Sender, std::string_view FromPos,
                                      TKeyDescr* A, int& ItemsCount)>;

// What the owning editor lends its rules: the OnDraw handler and its records.
struct TRuleHost {
    TDrawEvent OnDraw;
    std::vector<TKeyDescr> ColorLimBuf; // ColorLimMax records
};

class TColorRule {
public:
    std::uint8_t ZOrder = 0;
    std::string IntChar; // stored only
    int KeyMaxHeight = 1;
    TKeyDrawingType KeyDrawingType = dtBeginEnd;
    bool KeyCase = false;
    bool Enabled = true;
    bool PartWord = false;
    TColor DefKeyColor = clRed;
    TColor KeySelColor = clYellow;  // stored only
    TColor KeyBrushColor = clWindow; // stored only

    // Setting a list parses it into the rule's tables, then keeps a copy.
    const TStrings& Keywords() const { return FKeywords; }
    void SetKeywords(const TStrings& lines);
    void SetKeyBegEndLst(const TStrings& lines);
    void SetKeyLineEndLst(const TStrings& lines);

    // "*KW*+<index>*..." with the colour index as one character (1..41).
    const std::string& KeyPattern() const { return FKeyPattern; }
    const std::vector<TColor>& KeyColors() const { return FKeyColors; }
    // Empty until a pair or line-end list was first parsed, then 40 entries.
    const std::vector<TKeyPair>& PairTable() const { return FPairTable; }

    // Copies the rule's settings and lists (not KeySelColor, not IntChar).
    void Assign(const TColorRule& src);
    // Re-parses the lists by kind; true when the rule has content.
    bool Prepare();

    // Appends the rule's spans found in Text, which holds the text from the
    // scan start (position ScanStart of the whole text) to the end of the
    // scan. Returns the next free index of List.
    int FindKeys(int Next, std::string_view Text, int ScanStart, TKeyDescrList& List, TRuleHost* Host);
    // The same, keeping only the spans that meet Windows; keyword rules then
    // search only around the windows. Inside the windows the colours come
    // out as without them.
    int FindKeys(int Next, std::string_view Text, int ScanStart, TKeyDescrList& List, TRuleHost* Host,
                 TScanWindows Windows);
    // The same; pair and line-end rules take their search up at the last
    // point of Trail at or before the first window and leave new points
    // there. Trail must hold only points of this rule's current keys over
    // unchanged text from this ScanStart (see TScanTrail::Forget).
    int FindKeys(int Next, std::string_view Text, int ScanStart, TKeyDescrList& List, TRuleHost* Host,
                 TScanWindows Windows, TScanTrail* Trail);

private:
    void parseKeywords(const TStrings& lines);
    void parsePairs(const TStrings& lines);
    void parseLineEnds(const TStrings& lines);
    int findPairs(int next, std::string_view text, int base, TKeyDescrList& list, bool toLineEnd,
                  TScanWindows windows, TScanTrail* trail);
    int findKeywords(int next, std::string_view text, int base, TKeyDescrList& list, TScanWindows windows);
    void keywordParts(std::string_view text, int base, TScanWindows windows);
    int findEventSpans(int next, std::string_view text, int base, TKeyDescrList& list, TRuleHost* host,
                       TScanWindows windows);

    TStrings FKeywords, FKeyBegEndLst, FKeyLineEndLst;
    std::string FKeyPattern = "*";
    std::vector<TColor> FKeyColors;
    std::vector<TKeyPair> FPairTable;
    struct Keyword { std::string Text; int ColorIndex; };
    std::vector<Keyword> FKeywordList; // KeyPattern unpacked
    std::array<bool, 256> FInKeyword{}; // bytes some keyword holds
    struct Part { size_t At, Len; };
    std::vector<Part> FParts;          // stretches of the scan searched for keywords
    std::string FUpper;                // case-folded copy of those, only grows
};

// The ordered rules of one editor.
class TDrawRules {
public:
    TDrawRules() = default;
    TDrawRules(const TDrawRules& other) { Assign(other); }
    TDrawRules& operator=(const TDrawRules& other) { Assign(other); return *this; }

    TColorRule& Add();
    void Clear() { FItems.clear(); }
    int Count() const { return int(FItems.size()); }
    TColorRule& operator[](int i) { return *FItems[size_t(i)]; }
    const TColorRule& operator[](int i) const { return *FItems[size_t(i)]; }
    // Empties this collection and appends a copy of every rule of src.
    void Assign(const TDrawRules& src);

    // Prepares all rules when NeedsPrepare is set; NeedsPrepare then stays
    // set only when no rule had content. When clear, it only becomes set.
    void PrepareRules();
    bool NeedsPrepare = true;

private:
    std::vector<std::unique_ptr<TColorRule>> FItems;
};

} // namespace tarko
