#pragma once
// The interpreter's conversions of stack values: to integers, to pixels, to
// texts, and the fault of a result that is not finite. Internal to the
// interpreter: included by Runner.cpp only, and everything here has internal
// linkage there, so that its loop inlines these exactly as it would its own.
#include <cmath>
#include <cstdint>
#include <string>

#include "language/SymTab.h"
#include "runtime/Runner.h"

namespace tarko {
namespace {

constexpr double TwoTo63 = 9223372036854775808.0;

// Integer of v (truncation toward zero); false for NaN and values outside the
// 64-bit range. -2^63 is inside it.
inline bool IntegerOf(double v, int64_t& out)
{
    if (!(v >= -TwoTo63 && v < TwoTo63))
        return false;
    out = static_cast<int64_t>(v);
    return true;
}

// The 32-bit integer taken from the integer of v.
inline bool Int32Of(double v, int32_t& out)
{
    int64_t i;
    if (!IntegerOf(v, i))
        return false;
    out = static_cast<int32_t>(i);
    return true;
}

// Whether r is finite. In WebAssembly std::isfinite becomes a masked
// absolute value and two compares in the engine's code; r - r is 0 exactly
// for every finite r and NaN otherwise.
[[gnu::always_inline]] inline bool Finite(double r)
{
#ifdef __wasm__
    return r - r == 0.0;
#else
    return std::isfinite(r);
#endif
}

// The fault of an arithmetic result that is not finite; nullptr if none
// (an infinite operand gives an infinite result quietly).
const char* ArithmeticFault(double a, double b, double r)
{
    if (std::isnan(r))
        return FaultInvalid;
    if (std::isfinite(a) && std::isfinite(b))
        return FaultOverflow;
    return nullptr;
}

// Program point to pixel: column = integer of 10x + 100, row = 99 - integer of 10y.
inline bool MapX(double x, int64_t& col)
{
    if (!IntegerOf(10.0 * x, col))
        return false;
    col += 100;
    return true;
}

inline bool MapY(double y, int64_t& row)
{
    int64_t i;
    if (!IntegerOf(10.0 * y, i))
        return false;
    // 99 - i is beyond the 64-bit range only far below the image.
    row = i < 99 - INT64_MAX ? INT64_MAX : 99 - i;
    return true;
}

bool TextAt(double v, std::string& text)
{
    int32_t t;
    if (!Int32Of(v, t) || t < 0 || t >= TextCount())
        return false;
    text = GetText(t);
    return true;
}

} // namespace
} // namespace tarko
