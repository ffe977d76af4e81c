#pragma once
// The colour rules of the workbench's program editors: comments blue,
// keywords red, strings fuchsia. The run console gets no rules at all.
#include "editor/ColorRules.h"

namespace tarko {

// Comment rule ("/" to the end of the line, level 2), keyword rule (the 26
// words of the language, level 0) and string rule ('"' to '"', level 1).
TDrawRules WorkbenchColorRules();

// The 26 keyword lines in Windows-1252, in list order.
const TStrings& WorkbenchKeywords();

} // namespace tarko
