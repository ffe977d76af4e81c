#include "runtime/NumberEntry.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tarko {

namespace {

// Unsigned integers of any size, 32-bit limbs, least significant first. Only
// what an exact comparison of a decimal with a double needs.
using Big = std::vector<uint32_t>;

void MulAdd(Big& v, uint32_t factor, uint32_t add)
{
    uint64_t carry = add;
    for (uint32_t& limb : v) {
        const uint64_t p = uint64_t{limb} * factor + carry;
        limb = static_cast<uint32_t>(p);
        carry = p >> 32;
    }
    if (carry)
        v.push_back(static_cast<uint32_t>(carry));
}

void MulPow10(Big& v, int n)
{
    for (; n >= 9; n -= 9)
        MulAdd(v, 1000000000u, 0);
    static constexpr uint32_t Small[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000,
                                         100000000};
    MulAdd(v, Small[n], 0);
}

Big ShiftLeft(const Big& v, int bits)
{
    Big r(static_cast<size_t>(bits / 32), 0);
    const int s = bits % 32;
    uint32_t carry = 0;
    for (uint32_t limb : v) {
        r.push_back(s ? (limb << s) | carry : limb);
        carry = s ? limb >> (32 - s) : 0;
    }
    if (carry)
        r.push_back(carry);
    return r;
}

Big Mul64(const Big& v, uint64_t m)
{
    Big lo = v, hi = v;
    MulAdd(lo, static_cast<uint32_t>(m), 0);
    MulAdd(hi, static_cast<uint32_t>(m >> 32), 0);
    hi.insert(hi.begin(), 0);
    // lo + hi
    uint64_t carry = 0;
    lo.resize(std::max(lo.size(), hi.size()), 0);
    for (size_t i = 0; i < lo.size(); ++i) {
        const uint64_t s = uint64_t{lo[i]} + (i < hi.size() ? hi[i] : 0) + carry;
        lo[i] = static_cast<uint32_t>(s);
        carry = s >> 32;
    }
    if (carry)
        lo.push_back(static_cast<uint32_t>(carry));
    return lo;
}

int Compare(Big a, Big b)
{
    while (!a.empty() && a.back() == 0)
        a.pop_back();
    while (!b.empty() && b.back() == 0)
        b.pop_back();
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    for (size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

// The decimal digits * 10^exp10, compared exactly with m * 2^exp2.
class Decimal {
public:
    Decimal(const std::string& digits, int exp10)
    {
        for (char c : digits)
            MulAdd(scaledDigits, 10, static_cast<uint32_t>(c - '0'));
        if (exp10 >= 0)
            MulPow10(scaledDigits, exp10);
        else
            MulPow10(divisor, -exp10);
    }

    // <0, 0, >0 as the decimal is below, equal to or above m * 2^exp2.
    int CompareWith(uint64_t m, int exp2) const
    {
        const Big left = ShiftLeft(scaledDigits, std::max(-exp2, 0));
        const Big right = ShiftLeft(Mul64(divisor, m), std::max(exp2, 0));
        return Compare(left, right);
    }

private:
    Big scaledDigits;
    Big divisor{1};
};

// The double of a bit pattern as mantissa * 2^exponent.
void Split(uint64_t bits, uint64_t& m, int& e)
{
    const int field = static_cast<int>(bits >> 52);
    m = bits & ((uint64_t{1} << 52) - 1);
    if (field == 0) {
        e = -1074;
    } else {
        m |= uint64_t{1} << 52;
        e = field - 1075;
    }
}

// Beyond this many significant digits only "more non-zero digits follow"
// can matter for the rounding (a halfway point between two doubles has at
// most 767 of them).
constexpr size_t KeptDigits = 780;
constexpr uint64_t InfinityBits = 0x7FF0000000000000;

// The double nearest to digits * 10^exp10 (ties to even), the digits without
// leading zeros. Sets tooLarge when that is beyond the largest double.
double Nearest(std::string digits, int exp10, bool& tooLarge)
{
    tooLarge = false;
    if (digits.empty())
        return 0.0;
    // The first digit stands for 10^top: far below half the smallest double
    // the value is 0, far above the largest double it is too large.
    const long top = static_cast<long>(digits.size()) - 1 + exp10;
    if (top < -330)
        return 0.0;
    if (top > 310) {
        tooLarge = true;
        return 0.0;
    }
    if (digits.size() > KeptDigits) {
        const bool more = digits.find_first_not_of('0', KeptDigits) != std::string::npos;
        exp10 += static_cast<int>(digits.size() - KeptDigits - 1);
        digits.resize(KeptDigits);
        digits += more ? '1' : '0';
    }
    const Decimal d(digits, exp10);
    // The largest double not above the value, by bisection over the bit
    // patterns (ordered like the values for positive doubles).
    uint64_t lo = 0, hi = InfinityBits;   // value(lo) <= d < value(hi)
    while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        uint64_t m;
        int e;
        Split(mid, m, e);
        if (d.CompareWith(m, e) >= 0)
            lo = mid;
        else
            hi = mid;
    }
    // Against the halfway point to the next double up.
    uint64_t m;
    int e;
    Split(lo, m, e);
    const int c = d.CompareWith(2 * m + 1, e - 1);
    const uint64_t bits = c > 0 || (c == 0 && (lo & 1)) ? lo + 1 : lo;
    if (bits >= InfinityBits) {
        tooLarge = true;
        return 0.0;
    }
    double v;
    std::memcpy(&v, &bits, sizeof v);   // no std::bit_cast in every library yet
    return v;
}

} // namespace

bool ParseNumberEntry(std::string_view entry, double& value)
{
    value = 0.0;
    size_t i = 0;
    const bool negative = i < entry.size() && entry[i] == '-';
    if (negative)
        ++i;
    const auto isDigit = [&](size_t k) { return k < entry.size() && entry[k] >= '0' && entry[k] <= '9'; };
    std::string digits;   // all digits, without leading zeros
    int exp10 = 0;        // the value is digits * 10^exp10
    bool any = false;     // a digit or the comma
    for (; isDigit(i); ++i, any = true)
        if (!digits.empty() || entry[i] != '0')
            digits += entry[i];
    if (i < entry.size() && entry[i] == ',') {
        any = true;
        for (++i; isDigit(i); ++i) {
            if (!digits.empty() || entry[i] != '0')
                digits += entry[i];
            --exp10;
        }
    }
    if (!any || i != entry.size())
        return false;
    // Plain arithmetic, no library conversion: the same in every locale and
    // in every standard library. Below the smallest double the entry is 0.
    bool tooLarge = false;
    const double v = Nearest(digits, exp10, tooLarge);
    if (tooLarge)
        return false;
    value = negative ? -v : v;
    return true;
}

} // namespace tarko
