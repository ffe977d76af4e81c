// Random colour rules over random text: parsing the rule lists, finding the
// spans and laying them into runs must stay inside the text and never crash,
// whatever the lists, the text, the selection or an event handler report.
#include <cstdint>
#include <string>

#include "editor/Overlay.h"
#include "editor/WorkbenchScheme.h"
#include "FuzzInput.h"

using namespace tarko;
using tarko::fuzz::FuzzInput;

namespace {

TStrings Lines(FuzzInput& in)
{
    TStrings lines;
    const unsigned count = in.Below(6);
    for (unsigned i = 0; i < count; ++i)
        lines.push_back(in.Bytes(12));
    return lines;
}

void RandomRule(TColorRule& rule, FuzzInput& in)
{
    rule.KeyDrawingType = TKeyDrawingType(in.Below(4));
    rule.KeyCase = in.Flag();
    rule.PartWord = in.Flag();
    rule.Enabled = in.Below(8) != 0;
    rule.ZOrder = in.Byte();
    rule.KeyMaxHeight = int(in.Below(4));
    rule.DefKeyColor = TColor(in.Byte()) * 0x010203;
    switch (in.Below(3)) {
    case 0: rule.SetKeywords(Lines(in)); break;
    case 1: rule.SetKeyBegEndLst(Lines(in)); break;
    default: rule.SetKeyLineEndLst(Lines(in)); break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    TColorOverlay overlay;
    if (in.Flag()) {
        overlay.Rules = WorkbenchColorRules();
    } else {
        const unsigned rules = in.Below(4);
        for (unsigned i = 0; i < rules; ++i)
            RandomRule(overlay.Rules.Add(), in);
    }
    overlay.HotSpot.Active = in.Flag();
    overlay.HotSpot.BeginChar = char(in.Byte());
    overlay.HotSpot.EndChar = char(in.Byte());
    overlay.HotSpot.Underlined = in.Flag();

    // An event handler that reports whatever the input says, in and out of range.
    overlay.Host.ColorLimBuf.resize(in.Below(5));
    const int reported = int(in.Below(8));
    const int startShift = int(int8_t(in.Byte()));
    overlay.Host.OnDraw = [&](TColorRule&, std::string_view text, TKeyDescr* a, int& count) {
        count = reported;
        for (size_t i = 0; i < overlay.Host.ColorLimBuf.size(); ++i) {
            a[i].StartPos = int(i) * 3 + startShift;
            a[i].EndPos = int(i) * 3 + startShift + int(text.size() % 7);
            a[i].SpanColor = clRed;
        }
    };

    TOverlayInput input;
    input.ScanStart = int(in.Below(1000));
    input.WantTabs = in.Flag();
    input.RedrawAlways = in.Flag();
    input.FontColor = clBlack;
    const std::string text = in.Rest();
    input.Text = text;
    const int length = int(text.size());
    input.SelStart = input.ScanStart + (length ? int(data[0]) % (length + 1) : 0);
    input.SelLength = length ? int(data[size - 1]) % (length + 1) : 0;
    input.CaretColumn = size > 1 ? data[1] % 40 : 0;

    const int runs = overlay.Build(input);
    fuzz::Require(runs >= 0 && runs <= overlay.Spans.Capacity(), "run count within the list");
    for (int i = 0; i < runs; ++i) {
        const TKeyDescr& run = overlay.Runs()[i];
        fuzz::Require(run.StartPos <= run.EndPos, "a run is not empty");
        fuzz::Require(run.StartPos >= input.ScanStart && run.EndPos < input.ScanStart + length,
                      "a run lies inside the painted text");
    }
    return 0;
}
