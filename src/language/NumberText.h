#pragma once
// The number text shown to the user (console, debug view, token listing):
// 15 significant digits, decimal comma, fixed notation for
// 0,0001 <= |x| < 10^15, otherwise scientific ("1,5E20", "1E-5").
#include <string>

namespace tarko {

std::string NumberText(double x);

} // namespace tarko
