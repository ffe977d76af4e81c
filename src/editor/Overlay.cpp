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

// The windows to honour: none when they are not sorted and disjoint, so a
// careless caller gets correct colours, only slower.
TScanWindows usableWindows(const TOverlayInput& in)
{
    for (size_t i = 0; i < in.Windows.size(); ++i)
        if (in.Windows[i].From > in.Windows[i].To || (i > 0 && in.Windows[i - 1].To >= in.Windows[i].From))
            return {};
    return in.Windows;
}
} // namespace

// Everything that decides where the searches with trails find their spans
// and how those look; trails found with other keys are worthless.
void TColorOverlay::searchKeys(std::string& k) const
{
    k.assign({HotSpot.BeginChar, HotSpot.EndChar, char(HotSpot.Active)});
    const auto color = [&k](TColor c) { k.append(reinterpret_cast<const char*>(&c), sizeof c); };
    color(HotSpot.Color);
    color(HotSpot.MarkerColor);
    for (int i = 0; i < Rules.Count(); ++i) {
        const TColorRule& r = Rules[i];
        k += char(r.KeyDrawingType);
        k += char(r.ZOrder);
        for (const TKeyPair& p : r.PairTable()) {
            k += p.BeginKey;
            k += '\0';
            k += p.EndKey;
            k += '\0';
            color(p.PairColor);
        }
        k += '\1';
    }
}

// The trails for this scan start, after dropping every point that the
// change since the last call may have made wrong.
TColorOverlay::Trails& TColorOverlay::trailsFor(const TOverlayInput& in)
{
    // Both buffers keep their capacity: a paint allocates nothing here.
    searchKeys(FKeysNow);
    if (FKeysNow != FSearchKeys) {
        FTrails.clear();
        std::swap(FKeysNow, FSearchKeys);
    }
    for (Trails& t : FTrails) {
        t.Hot.Forget(in.UnchangedBefore, in.ChangedTo, in.Delta);
        for (TScanTrail& r : t.Rules)
            r.Forget(in.UnchangedBefore, in.ChangedTo, in.Delta);
    }
    auto it = std::find_if(FTrails.begin(), FTrails.end(), [&](const Trails& t) { return t.ScanStart == in.ScanStart; });
    if (it == FTrails.end()) {
        if (FTrails.size() < kTrailSets) {
            it = FTrails.emplace(FTrails.end());
        } else {
            it = std::min_element(FTrails.begin(), FTrails.end(),
                                  [](const Trails& a, const Trails& b) { return a.Used < b.Used; });
            *it = Trails();
        }
        it->ScanStart = in.ScanStart;
    }
    it->Used = ++FUse;
    it->Rules.resize(size_t(Rules.Count()));
    it->Hot.Skipped = 0;
    it->Hot.Step = std::max(ResumeStep, 1);
    for (TScanTrail& r : it->Rules) {
        r.Skipped = 0;
        r.Step = it->Hot.Step;
    }
    return *it;
}

// marker, text, marker: the first span producer of a paint
int TColorOverlay::collectHotSpots(int next, const TOverlayInput& in, TScanWindows windows, TScanTrail* trail)
{
    if (!HotSpot.Active || HotSpot.BeginChar == 0)
        return next;
    const std::string_view t = in.Text;
    TTrailWalker walk(trail, in.ScanStart, t.size());
    size_t pos = walk.Start(windows); // the spans of a step end before the next one
    while (pos <= t.size()) {
        walk.SkipAhead(pos, windows); // hot spots carry nothing past a step
        walk.StepAt(pos);
        const size_t b = t.find(HotSpot.BeginChar, pos);
        walk.FoundNothingBefore(b == std::string_view::npos ? t.size() : b);
        if (b == std::string_view::npos)
            break;
        const int from = in.ScanStart + int(b);
        if (!windows.empty() && from > windows.back().To)
            break; // markers pair up from the scan start; later ones are not wanted
        const auto add = [&](int n, const TKeyDescr& d) {
            return MeetsWindows(windows, d.StartPos, d.EndPos) ? Spans.Add(n, d) : n;
        };
        const int marker = next;
        next = add(next, span(from, from, HotSpot.MarkerColor, kLevelHotMarker));
        const size_t e = t.find(HotSpot.EndChar, b + 1);
        if (e == std::string_view::npos) {
            // An opening marker without a closing one is an ordinary character.
            if (next > marker)
                Spans.Items[size_t(marker)].StartPos = kEmptyPos;
            next = marker;
            break;
        }
        const int to = in.ScanStart + int(e);
        next = add(next, span(from + 1, to - 1, HotSpot.Color, kLevelHotText));
        next = add(next, span(to, to, HotSpot.MarkerColor, kLevelHotMarker));
        pos = e + 1;
    }
    return next;
}

// tab masks, searched only inside the windows
int TColorOverlay::collectTabs(int next, const TOverlayInput& in, TScanWindows windows)
{
    const TScanWindow whole{in.ScanStart, in.ScanStart + int(in.Text.size()) - 1};
    for (const TScanWindow& w : windows.empty() ? TScanWindows(&whole, 1) : windows) {
        // 64 bits: windows may reach to the ends of int
        const long long from = std::max((long long)w.From - in.ScanStart, 0LL);
        const long long to = std::min((long long)w.To - in.ScanStart, (long long)in.Text.size() - 1);
        const std::string_view upTo = in.Text.substr(0, size_t(std::max(to + 1, 0LL)));
        for (size_t p = upTo.find('\t', size_t(from)); p != std::string_view::npos; p = upTo.find('\t', p + 1))
            next = Spans.Add(next, span(in.ScanStart + int(p), in.ScanStart + int(p), 0, kLevelTab));
    }
    return next;
}

int TColorOverlay::CollectSpans(const TOverlayInput& in)
{
    const TScanWindows windows = usableWindows(in);
    Rules.PrepareRules();
    Trails& trails = trailsFor(in);
    Spans.Reset();
    int next = collectHotSpots(0, in, windows, &trails.Hot);
    if (in.WantTabs)
        next = collectTabs(next, in, windows);
    if (in.RedrawAlways && MeetsWindows(windows, in.SelStart - in.CaretColumn, in.SelStart))
        next = Spans.Add(next, span(in.SelStart - in.CaretColumn, in.SelStart, in.FontColor, 0));
    for (int i = 0; i < Rules.Count(); ++i)
        if (Rules[i].Enabled)
            next = Rules[i].FindKeys(next, in.Text, in.ScanStart, Spans, &Host, windows, &trails.Rules[size_t(i)]);
    if (in.SelLength > 0 && MeetsWindows(windows, in.SelStart, in.SelStart + in.SelLength - 1))
        next = Spans.Add(next, span(in.SelStart, in.SelStart + in.SelLength - 1, 0, kLevelSelection));
    FSkipped = trails.Hot.Skipped;
    for (const TScanTrail& r : trails.Rules)
        FSkipped += r.Skipped;
    return next;
}

int TColorOverlay::Build(const TOverlayInput& in)
{
    FRunCount = buildRuns(CollectSpans(in), in);
    return FRunCount;
}

// colour map over the spans' range (only its part inside the windows),
// then maximal runs of equal cells within each window
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
    FPieces.clear();
    size_t cells = 0;
    const TScanWindow whole{lo, hi};
    const TScanWindows windows = usableWindows(in);
    for (const TScanWindow& w : windows.empty() ? TScanWindows(&whole, 1) : windows) {
        const int from = std::max(w.From, lo), to = std::min(w.To, hi);
        if (from <= to) {
            FPieces.push_back({from, to, cells});
            cells += size_t(to - from + 1);
        }
    }
    if (FCellMap.size() < cells)
        FCellMap.resize(cells);
    std::fill_n(FCellMap.begin(), cells, Cell{0, 0, 0, 0});
    for (int i = 0; i < spanCount; ++i) {
        const TKeyDescr& d = Spans.Items[size_t(i)];
        if (d.StartPos == kEmptyPos || d.EndPos < d.StartPos)
            continue;
        auto piece = std::partition_point(FPieces.begin(), FPieces.end(),
                                          [&d](const Piece& x) { return x.To < d.StartPos; });
        for (; piece != FPieces.end() && piece->From <= d.EndPos; ++piece) {
            const int from = std::max(d.StartPos, piece->From), to = std::min(d.EndPos, piece->To);
            for (int p = from; p <= to; ++p) {
                Cell& c = FCellMap[piece->Cell + size_t(p - piece->From)];
                if (c.Level <= d.Level)
                    c = Cell{d.SpanColor, d.Level, d.IsKey, 1};
            }
        }
    }
    int runs = 0;
    for (const Piece& piece : FPieces) {
        const size_t end = piece.Cell + size_t(piece.To - piece.From + 1);
        size_t i = piece.Cell;
        while (i < end) {
            const Cell c = FCellMap[i];
            if (!c.Covered) {
                ++i;
                continue;
            }
            size_t j = i + 1;
            while (j < end && FCellMap[j].Covered && FCellMap[j].Color == c.Color && FCellMap[j].Level == c.Level
                   && FCellMap[j].Key == c.Key)
                ++j;
            const int at = piece.From - int(piece.Cell);
            TKeyDescr run = span(at + int(i), at + int(j) - 1, c.Color, c.Level, c.Key);
            if (size_t(runs) >= Spans.Items.size())
                Spans.Items.resize(size_t(runs) + 1);
            Spans.Items[size_t(runs++)] = run;
            i = j;
        }
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
