#pragma once
// The colour rules of the workbench's program editors: comments blue,
// keywords red, strings fuchsia. The run console gets no rules at all.
#include "editor/ColorRules.h"

namespace tarko {

// "Kontrastreiche Farben" (Optionen) picks the second scheme: darker hues of
// the same colour families, so that every text reaches a contrast of at
// least 4.5:1 on its background.
enum class TColourScheme { Standard, HighContrast };

// The colours a scheme chooses for text and for the backgrounds text is
// drawn on. The editors' own background and font colour (white, black)
// and the run console's are the same in both schemes.
struct TSchemeColours {
    TColor Keyword, String, Comment;                     // the program editors' rules
    TColor StepLine, FaultLine;                          // a marked program line
    TColor MessageText;                                  // the message line's text on
    TColor MessageError, MessageStep, MessageRunning;    // its three coloured states
};
const TSchemeColours& SchemeColours(TColourScheme scheme);

// Comment rule ("/" to the end of the line, level 2), keyword rule (the 26
// words of the language, level 0) and string rule ('"' to '"', level 1).
TDrawRules WorkbenchColorRules(TColourScheme scheme = TColourScheme::Standard);

// The 26 keyword lines in Windows-1252, in list order.
const TStrings& WorkbenchKeywords();

} // namespace tarko
