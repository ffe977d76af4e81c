#pragma once
// The colour overlay's runs and scan windows as text, and the rule sets the
// overlay tests colour with, for the tests of the colour rules without a
// widget.
#include "editor/ColorRules.h"
#include "editor/Overlay.h"
#include "editor/WorkbenchScheme.h"

#include <QStringList>

#include <algorithm>
#include <random>
#include <string_view>
#include <vector>

using namespace tarko;

namespace {

// Runs of an overlay as "start-end:level", with the colour letter when asked.
inline QString runs(const TColorOverlay& o)
{
    QStringList out;
    for (int i = 0; i < o.RunCount(); ++i) {
        const TKeyDescr& r = o.Runs()[i];
        out << QStringLiteral("%1-%2:%3").arg(r.StartPos).arg(r.EndPos).arg(r.Level);
    }
    return out.join(u' ');
}

// What a position looks like after Build: colour, level and key of the run
// over it, or nothing.
struct CellLook {
    bool Covered = false;
    TColor Color = 0;
    int Level = 0, Key = 0;
    bool operator==(const CellLook&) const = default;
};

inline QString windowText(const std::vector<TScanWindow>& ws)
{
    QStringList out;
    for (const TScanWindow& w : ws)
        out << QStringLiteral("%1-%2").arg(w.From).arg(w.To);
    return out.join(u' ');
}

// Rule sets for the windowed colouring checks.
enum class RuleSet { Workbench, Overlapping, PairsAndLineEnds, LongKeys };

inline TDrawRules ruleSet(RuleSet set, bool keyCase, bool partWord)
{
    if (set == RuleSet::Workbench)
        return WorkbenchColorRules();
    TDrawRules rules;
    TColorRule& keys = rules.Add();
    keys.KeyDrawingType = dtKeyShow;
    keys.KeyCase = keyCase;
    keys.PartWord = partWord;
    keys.ZOrder = 1;
    // keywords overlapping themselves and each other, one with a blank and
    // one with a quote, so that few bytes are outside every keyword
    keys.SetKeywords({"aa", "aba;blue", "Ab;lime", "BAB;navy", "a b;teal", "b\";yellow", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"});
    if (set == RuleSet::PairsAndLineEnds) {
        TColorRule& pairs = rules.Add();
        pairs.KeyDrawingType = dtBeginEnd;
        pairs.ZOrder = 2;
        pairs.SetKeyBegEndLst({"(*;*);red", "\";\";fuchsia", "ab;ba;green"});
        TColorRule& lineEnds = rules.Add();
        lineEnds.KeyDrawingType = dtBeginLineEnd;
        lineEnds.ZOrder = 1; // same level as the keywords: list order decides
        lineEnds.SetKeyLineEndLst({"//;blue", "b/;maroon"});
        TColorRule& drawn = rules.Add(); // spans from the host: every "1" and what follows it
        drawn.KeyDrawingType = dtEventDraw;
        drawn.ZOrder = 3;
    }
    if (set == RuleSet::LongKeys) {
        // keys of up to six characters that overlap each other, ends that
        // reach past where the next step starts, and one end never written
        TColorRule& pairs = rules.Add();
        pairs.KeyDrawingType = dtBeginEnd;
        pairs.ZOrder = 2;
        pairs.SetKeyBegEndLst({"(*;*);red", "\";\";fuchsia", "ab;ba;green", "{{{;}}};navy", "<<<<<<;>>>>>>;teal",
                               "*;**;blue", "[[;]]]]]];lime"});
        TColorRule& lineEnds = rules.Add();
        lineEnds.KeyDrawingType = dtBeginLineEnd;
        lineEnds.ZOrder = 2; // same level as the pairs: list order decides
        lineEnds.SetKeyLineEndLst({"//;blue", "b/;maroon", "<<<;olive"});
    }
    return rules;
}

inline void markOnes(TColorRule&, std::string_view text, TKeyDescr* a, int& count)
{
    for (size_t p = text.find('1'); p != std::string_view::npos && count < 64; p = text.find('1', p + 1))
        a[count++] = TKeyDescr{int(p), int(p) + 1, clRed, 0, 0};
}

// Sorted, disjoint windows inside first..last: often one at either end,
// one character long or touching the one before.
inline std::vector<TScanWindow> randomWindows(std::mt19937& rnd, int first, int last)
{
    const auto chance = [&](int percent) { return int(rnd() % 100) < percent; };
    std::vector<TScanWindow> ws;
    int from = chance(30) ? first : first + int(rnd() % unsigned(std::clamp(last - first + 1, 1, 60)));
    while (from <= last) {
        int to = chance(25) ? from : from + int(rnd() % 50);
        if (to >= last || chance(10))
            to = std::min(to, last);
        ws.push_back({from, to});
        from = chance(25) ? to + 1 : to + 2 + int(rnd() % 80);
    }
    if (!ws.empty() && chance(30))
        ws.back().To = last;
    return ws;
}

} // namespace
