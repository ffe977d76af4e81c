#include "language/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tarko {

std::string NumberText(double x)
{
    if (std::isnan(x))
        return "NAN";
    if (std::isinf(x))
        return x < 0 ? "-INF" : "INF";
    if (x == 0)
        return "0";   // also -0: zero carries no sign

    // Round to 15 significant digits: d.dddddddddddddde±X
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(x));
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    const int e = std::atoi(p + 1) + 1;   // value = 0,d1d2... * 10^e
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = x < 0 ? "-" : "";
    const int n = static_cast<int>(digits.size());
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            out += "0,";
            out.append(static_cast<size_t>(-e), '0');
            out += digits;
        } else if (n <= e) {
            out += digits;
            out.append(static_cast<size_t>(e - n), '0');
        } else {
            out += digits.substr(0, static_cast<size_t>(e));
            out += ',';
            out += digits.substr(static_cast<size_t>(e));
        }
        return out;
    }
    out += digits[0];
    if (n > 1) {
        out += ',';
        out += digits.substr(1);
    }
    out += 'E';
    out += std::to_string(e - 1);   // "-" comes with the number, never "+"
    return out;
}

} // namespace tarko
