#include "editor/WorkbenchScheme.h"

namespace tarko {

namespace {

// Both schemes in one place, in the order of TColourScheme. The marked
// lines keep their light backgrounds: the darker text reads well on them.
constexpr TSchemeColours Schemes[] = {
    {.Keyword = clRed, .String = clFuchsia, .Comment = clBlue,
     .StepLine = RgbColor(255, 246, 168), .FaultLine = RgbColor(255, 214, 214),
     .MessageText = clWhite, .MessageError = RgbColor(255, 0, 0), .MessageStep = RgbColor(255, 0, 255),
     .MessageRunning = RgbColor(0, 128, 0)},
    // Dark red 5.6:1 and dark fuchsia 5.3:1 even on the light-red fault line,
    // white on them 7.4:1 and 7.0:1; blue (6.5:1) and white on green (5.1:1)
    // pass as they are.
    {.Keyword = RgbColor(176, 0, 0), .String = RgbColor(160, 0, 160), .Comment = clBlue,
     .StepLine = RgbColor(255, 246, 168), .FaultLine = RgbColor(255, 214, 214),
     .MessageText = clWhite, .MessageError = RgbColor(176, 0, 0), .MessageStep = RgbColor(160, 0, 160),
     .MessageRunning = RgbColor(0, 128, 0)},
};

} // namespace

const TSchemeColours& SchemeColours(TColourScheme scheme)
{
    return Schemes[scheme == TColourScheme::HighContrast ? 1 : 0];
}

const TStrings& WorkbenchKeywords()
{
    // "\xF6" is o-umlaut, "\xDF" sharp s, "\xFC" u-umlaut (Windows-1252).
    static const TStrings keywords = {
        "Eingabe", "ZufallsEingabe", "Ausgabe", "und", "oder", "Solange", "SolangeEnde",
        "Wiederhole", "Bis", "Falls", "Ansonsten", "FallsEnde", "Pause", "L\xF6schen",
        "wei\xDF", "grau", "schwarz", "rot", "gelb", "gr\xFCn", "blau", "punkt", "linie",
        "rechteck", "kreis", "grafiktext"};
    return keywords;
}

TDrawRules WorkbenchColorRules(TColourScheme scheme)
{
    const TSchemeColours& colours = SchemeColours(scheme);
    TDrawRules rules;
    TColorRule& comment = rules.Add();
    comment.KeyDrawingType = dtBeginLineEnd;
    comment.ZOrder = 2;
    comment.DefKeyColor = colours.Comment;
    comment.SetKeyLineEndLst({"/;"});

    TColorRule& keywords = rules.Add();
    keywords.KeyDrawingType = dtKeyShow;
    keywords.ZOrder = 0;
    keywords.DefKeyColor = colours.Keyword;
    keywords.KeyCase = false;
    keywords.PartWord = false;
    keywords.SetKeywords(WorkbenchKeywords());

    TColorRule& strings = rules.Add();
    strings.KeyDrawingType = dtBeginEnd;
    strings.ZOrder = 1;
    strings.DefKeyColor = colours.String;
    strings.KeyMaxHeight = 0;
    strings.SetKeyBegEndLst({"\";\""});
    return rules;
}

} // namespace tarko
