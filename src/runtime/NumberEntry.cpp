#include "runtime/NumberEntry.h"

#include <cmath>
#include <charconv>
#include <string>

namespace tarko {

bool ParseNumberEntry(std::string_view entry, double& value)
{
    value = 0.0;
    size_t i = 0;
    const bool negative = i < entry.size() && entry[i] == '-';
    if (negative)
        ++i;
    std::string digits;   // the number in the C locale's notation
    bool any = false;     // a digit or the comma
    while (i < entry.size() && entry[i] >= '0' && entry[i] <= '9') {
        digits += entry[i++];
        any = true;
    }
    if (i < entry.size() && entry[i] == ',') {
        digits += '.';
        any = true;
        ++i;
        while (i < entry.size() && entry[i] >= '0' && entry[i] <= '9')
            digits += entry[i++];
    }
    if (!any || i != entry.size())
        return false;
    if (digits == ".")
        digits = "0";
    // from_chars: independent of the process locale (Qt sets the user's).
    double v = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (end != digits.data() + digits.size())
        return false;
    if (error == std::errc::result_out_of_range) {
        // Below the smallest double the entry is 0; above the largest it is refused.
        if (digits.find_first_of("123456789") < digits.find('.'))
            return false;
        v = 0.0;
    } else if (error != std::errc() || !std::isfinite(v)) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

} // namespace tarko
