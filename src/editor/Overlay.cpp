#include "editor/Overlay.h"

#include <algorithm>

namespace tarko {

namespace {
TKeyDescr span(int from, int to, TColor color, std::uint8_t level, std::uint8_t key = 0)
{
    TKeyDescr d;
    d.StartPos = from;
    d.EndPos = to;
    d.SpanColor = color;
    d.Level = level;
    d.IsKey = key;
    return d;
}
} // namespace

// marker, text, marker: the first span producer of a paint
int TColorOverlay::collectHotSpots(int next, const TOverlayInput& in)
{
    if (!HotSpot.Active || HotSpot.BeginChar == 0)
        return next;
    const std::string_view t = in.Text;
    size_t pos = 0;
    while (pos <= t.size()) {
        const size_t b = t.find(HotSpot.BeginChar, pos);
        if (b == std::string_view::npos)
            break;
        const int marker = next;
        next = Spans.Add(next, span(in.ScanStart + int(b), in.ScanStart + int(b), HotSpot.MarkerColor, kLevelHotMarker));
        const size_t e = t.find(HotSpot.EndChar, b + 1);
        if (e == std::string_view::npos) {
            // An opening marker without a closing one is an ordinary character.
            Spans.Items[size_t(marker)].StartPos = kEmptyPos;
            next = marker;
            break;
        }
        next = Spans.Add(next, span(in.ScanStart + int(b) + 1, in.ScanStart + int(e) - 1, HotSpot.Color, kLevelHotText));
        next = Spans.Add(next, span(in.ScanStart + int(e), in.ScanStart + int(e), HotSpot.MarkerColor, kLevelHotMarker));
        pos = e + 1;
    }
    return next;
}

int TColorOverlay::CollectSpans(const TOverlayInput& in)
{
    Rules.PrepareRules();
    Spans.Reset();
    int next = collectHotSpots(0, in);
    if (in.WantTabs) {
        for (size_t p = in.Text.find('\t'); p != std::string_view::npos; p = in.Text.find('\t', p + 1))
            next = Spans.Add(next, span(in.ScanStart + int(p), in.ScanStart + int(p), 0, kLevelTab));
    }
    if (in.RedrawAlways)
        next = Spans.Add(next, span(in.SelStart - in.CaretColumn, in.SelStart, in.FontColor, 0));
    for (int i = 0; i < Rules.Count(); ++i)
        if (Rules[i].Enabled)
            next = Rules[i].FindKeys(next, in.Text, in.ScanStart, Spans, &Host);
    if (in.SelLength > 0)
        next = Spans.Add(next, span(in.SelStart, in.SelStart + in.SelLength - 1, 0, kLevelSelection));
    return next;
}

int TColorOverlay::Build(const TOverlayInput& in)
{
    FRunCount = buildRuns(CollectSpans(in), in);
    return FRunCount;
}

// colour map over the spans' range, then maximal runs of equal cells
int TColorOverlay::buildRuns(int spanCount, const TOverlayInput& in)
{
    if (spanCount == 0 || Spans.MaxEnd < Spans.MinStart)
        return 0;
    // Only the painted text can be drawn: the caret and selection spans may
    // reach far outside it, so the map is clipped to the scan.
    const int lo = std::max(Spans.MinStart, in.ScanStart);
    const int hi = std::min(Spans.MaxEnd, in.ScanStart + int(in.Text.size()) - 1);
    if (hi < lo)
        return 0;
    const size_t cells = size_t(hi - lo + 1);
    if (FCellMap.size() < cells)
        FCellMap.resize(cells);
    std::fill_n(FCellMap.begin(), cells, Cell{0, 0, 0, 0});
    for (int i = 0; i < spanCount; ++i) {
        const TKeyDescr& d = Spans.Items[size_t(i)];
        if (d.StartPos == kEmptyPos || d.EndPos < d.StartPos)
            continue;
        const int from = std::max(d.StartPos, lo), to = std::min(d.EndPos, hi);
        for (int p = from; p <= to; ++p) {
            Cell& c = FCellMap[size_t(p - lo)];
            if (c.Level <= d.Level)
                c = Cell{d.SpanColor, d.Level, d.IsKey, 1};
        }
    }
    int runs = 0;
    size_t i = 0;
    while (i < cells) {
        const Cell c = FCellMap[i];
        if (!c.Covered) {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < cells && FCellMap[j].Covered && FCellMap[j].Color == c.Color && FCellMap[j].Level == c.Level
               && FCellMap[j].Key == c.Key)
            ++j;
        TKeyDescr run = span(lo + int(i), lo + int(j) - 1, c.Color, c.Level, c.Key);
        if (size_t(runs) >= Spans.Items.size())
            Spans.Items.resize(size_t(runs) + 1);
        Spans.Items[size_t(runs++)] = run;
        i = j;
    }
    if (size_t(runs) < Spans.Items.size())
        Spans.Items[size_t(runs)].StartPos = kEmptyPos;
    return runs;
}

bool HotSpotAt(std::string_view Line, int Column, const THotSpot& hs, std::string* Text)
{
    if (!hs.Active || Column < 0 || size_t(Column) >= Line.size())
        return false;
    const std::string_view rest = Line.substr(size_t(Column));
    const size_t e = rest.find(hs.EndChar);
    const size_t b = rest.find(hs.BeginChar);
    const bool over = e != std::string_view::npos && (b == std::string_view::npos || b > e || hs.BeginChar == hs.EndChar);
    if (!over)
        return false;
    if (Text) {
        const std::string_view left = Line.substr(0, size_t(Column));
        const size_t lb = left.rfind(hs.BeginChar);
        const std::string_view head = lb == std::string_view::npos ? left : left.substr(lb + 1);
        *Text = std::string(head) + std::string(rest.substr(0, e));
    }
    return true;
}

} // namespace tarko
