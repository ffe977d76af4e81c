#pragma once
// The colour overlay of one paint, without Qt: gathers the spans of the hot
// spots, tab and selection masks, the caret span and the rules over the
// painted text, lays them into a colour map and cuts the map into runs.
#include "editor/ColorRules.h"

#include <string>
#include <string_view>

namespace tarko {

// Level of the editor's own spans.
constexpr std::uint8_t kLevelTab = 255;       // mask, never drawn
constexpr std::uint8_t kLevelSelection = 254; // mask, never drawn
constexpr std::uint8_t kLevelHotMarker = 253; // drawn on a background of its colour
constexpr std::uint8_t kLevelHotText = 252;   // drawn underlined when wanted

struct THotSpot {
    char BeginChar = char(30); // code 0 switches the spans off
    char EndChar = char(31);
    TColor Color = clBlue;
    TColor MarkerColor = clWindow;
    bool Active = false;
    bool Underlined = true;
};

// What the editor knows about the paint.
struct TOverlayInput {
    std::string_view Text; // from the scan start to the end of the scan
    int ScanStart = 0;     // position of Text[0] in the whole text
    bool WantTabs = true;
    bool RedrawAlways = false;
    int SelStart = 0;
    int SelLength = 0;
    int CaretColumn = 0; // column of SelStart in its line
    TColor FontColor = clBlack;
    // The stretches the caller will look at (sorted, disjoint, inside the
    // scan). When given, only their cells are coloured, exactly as without
    // them, and the work follows the windows rather than the text; runs
    // stay inside them and may be cut at their edges. Windows that are not
    // sorted and disjoint are ignored. Empty: the whole scan.
    std::span<const TScanWindow> Windows;
    // Every character of the whole text below this position is as it was
    // at the previous Build (or CollectSpans) of the same overlay, whatever
    // that call's scan start. Then the searches for pairs, line ends and
    // hot spots take up where an earlier one left a resume point before
    // the first window, instead of reading from the scan start. At or
    // below ScanStart nothing is known (always safe). Changed keys, colours
    // or levels of the rules and changed hot-spot settings are noticed by
    // the overlay itself.
    int UnchangedBefore = 0;
    // Where the changes since the previous Build end: the text from
    // ChangedTo on is the text that then began at ChangedTo - Delta. With
    // it, a search going past the change takes up the old resume points
    // beyond it once it meets one. INT_MAX: not known.
    int ChangedTo = INT_MAX;
    int Delta = 0;
};

class TColorOverlay {
public:
    TDrawRules Rules;
    THotSpot HotSpot;
    TRuleHost Host;

    // Whether a paint draws anything at all (rules present or hot spots on).
    bool HasWork() const { return Rules.Count() > 0 || HotSpot.Active; }
    // KeyMaxHeight of the first rule: lines above the painted ones that a
    // span may reach down from (1 = none); 1 when there are no rules.
    int KeyMaxHeight() const { return Rules.Count() > 0 ? Rules[0].KeyMaxHeight : 1; }

    // Prepares the rules, collects the spans and builds the runs. Returns
    // the number of runs, which are then in Runs()[0 .. count-1].
    int Build(const TOverlayInput& in);
    const TKeyDescr* Runs() const { return Spans.Items.data(); }
    int RunCount() const { return FRunCount; }

    // Collected spans before the runs replace them (for the tests: call
    // CollectSpans alone); returns the number of spans.
    int CollectSpans(const TOverlayInput& in);
    TKeyDescrList Spans;

    // Scan text that the searches of the last Build did not read again
    // because they took up at resume points (summed over the searches).
    long long SkippedLastBuild() const { return FSkipped; }
    // Scan text between two resume points (small in tests, to have many).
    int ResumeStep = 4096;

private:
    // The resume points of the searches over one scan start.
    struct Trails {
        int ScanStart = 0;
        unsigned Used = 0;
        TScanTrail Hot;
        std::vector<TScanTrail> Rules; // by rule index
    };
    static constexpr size_t kTrailSets = 4;
    Trails& trailsFor(const TOverlayInput& in);
    void searchKeys(std::string& k) const;

    int collectHotSpots(int next, const TOverlayInput& in, TScanWindows windows, TScanTrail* trail);
    int collectTabs(int next, const TOverlayInput& in, TScanWindows windows);
    int buildRuns(int spanCount, const TOverlayInput& in);

    struct Cell {
        TColor Color;
        std::uint8_t Level;
        std::uint8_t Key;
        std::uint8_t Covered;
    };
    std::vector<Cell> FCellMap; // only grows
    struct Piece { int From, To; size_t Cell; }; // a stretch of the map
    std::vector<Piece> FPieces;
    int FRunCount = 0;
    std::vector<Trails> FTrails; // the most recent scan starts
    unsigned FUse = 0;
    std::string FSearchKeys; // what the trails were found with
    std::string FKeysNow;    // the same for this Build
    long long FSkipped = 0;
};

// Hover and click over a line: Line is the line's text, Column the index of
// the character under the pointer. True when the pointer is over a hot spot;
// then *Text (when given) receives the hot spot's text without markers.
bool HotSpotAt(std::string_view Line, int Column, const THotSpot& hs, std::string* Text = nullptr);

} // namespace tarko
