#pragma once
// The number typed on the keypad: an optional "-", digits, optionally ","
// and more digits, with at least one digit or the comma ("," alone is 0).
#include <string_view>

namespace tarko {

// True and the value when entry is such a number. An entry too large for a
// double is refused as well, so input never brings an infinity into a run;
// one too small for a double is 0.
bool ParseNumberEntry(std::string_view entry, double& value);

} // namespace tarko
