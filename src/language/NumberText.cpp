#include "language/NumberText.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace tarko {

namespace {

// A value exactly halfway between two 15-digit results rounds away from
// zero, as taught in school; printf would give the even neighbour. Such a
// value has exactly 16 significant digits, the last a 5. With the value
// m * 2^k (m odd) those digits are n = m * 5^-k for k <= 0, and for k > 0
// n = m / 5^k when 5^k divides m (the value is then n * 10^k; otherwise its
// last digit is even). Sets the 15 rounded digits and the exponent e
// (value = 0,d1d2... * 10^e) and returns true only for such a tie.
bool RoundTieAway(double ax, std::string& digits, int& e)
{
    int exp2 = 0;
    const double f = std::frexp(ax, &exp2);
    auto m = static_cast<std::uint64_t>(std::ldexp(f, 53));   // exact: 53 bits
    const int zeros = std::countr_zero(m);
    m >>= zeros;
    const int k = exp2 - 53 + zeros;
    constexpr std::uint64_t Limit = 10'000'000'000'000'000;   // 10^16
    std::uint64_t n = m;   // below 2^53 < 10^16
    for (int i = 0; i < k; ++i) {
        if (n % 5 != 0)
            return false;
        n /= 5;
    }
    for (int i = 0; i < -k; ++i) {
        n *= 5;   // n < 10^16, so 5n cannot overflow
        if (n >= Limit)
            return false;   // more than 16 digits: no exact tie
    }
    if (n < Limit / 10 || n % 10 != 5)
        return false;
    digits = std::to_string(n / 10 + 1);
    e = 16 + k;   // value = n * 10^k and n has 16 digits
    if (digits.size() > 15) {   // 999...9,5 became 1000...0
        digits.resize(15);
        ++e;
    }
    return true;
}

} // namespace

std::string NumberText(double x)
{
    if (std::isnan(x))
        return "NAN";
    if (std::isinf(x))
        return x < 0 ? "-INF" : "INF";
    if (x == 0)
        return "0";   // also -0: zero carries no sign

    std::string digits;
    int e = 0;   // value = 0,d1d2... * 10^e
    if (!RoundTieAway(std::fabs(x), digits, e)) {
        // Round to 15 significant digits: d.dddddddddddddde±X
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.14e", std::fabs(x));
        const char* p = buf;
        for (; *p && *p != 'e'; ++p)
            if (*p >= '0' && *p <= '9')
                digits += *p;
        e = std::atoi(p + 1) + 1;
    }
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
