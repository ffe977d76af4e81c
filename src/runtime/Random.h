#pragma once
// Random whole numbers for "Zufallseingabe": the same sequence for a seed on
// every platform and in the browser, where the standard library's
// uniform_int_distribution is implemented differently. This is the mapping
// libstdc++ (GCC 11 and later) uses for a 64-bit engine, so the desktop's
// sequences stay what they were.
#include <cstdint>
#include <random>

namespace tarko {

// Uniform in [0, n) for n >= 1 (Lemire's nearly divisionless method).
inline uint64_t UniformBelow(std::mt19937_64& generator, uint64_t n)
{
    using U128 = unsigned __int128;
    U128 product = U128{generator()} * n;
    uint64_t low = static_cast<uint64_t>(product);
    if (low < n) {
        const uint64_t threshold = (0 - n) % n;
        while (low < threshold) {
            product = U128{generator()} * n;
            low = static_cast<uint64_t>(product);
        }
    }
    return static_cast<uint64_t>(product >> 64);
}

} // namespace tarko
