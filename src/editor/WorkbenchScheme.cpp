#include "editor/WorkbenchScheme.h"

namespace tarko {

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

TDrawRules WorkbenchColorRules()
{
    TDrawRules rules;
    TColorRule& comment = rules.Add();
    comment.KeyDrawingType = dtBeginLineEnd;
    comment.ZOrder = 2;
    comment.DefKeyColor = clBlue;
    comment.SetKeyLineEndLst({"/;"});

    TColorRule& keywords = rules.Add();
    keywords.KeyDrawingType = dtKeyShow;
    keywords.ZOrder = 0;
    keywords.DefKeyColor = clRed;
    keywords.KeyCase = false;
    keywords.PartWord = false;
    keywords.SetKeywords(WorkbenchKeywords());

    TColorRule& strings = rules.Add();
    strings.KeyDrawingType = dtBeginEnd;
    strings.ZOrder = 1;
    strings.DefKeyColor = clFuchsia;
    strings.KeyMaxHeight = 0;
    strings.SetKeyBegEndLst({"\";\""});
    return rules;
}

} // namespace tarko
