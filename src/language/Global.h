#pragma once
// The error position of the language system: the line and column of the
// scanner's current character, kept current while reading.
#include <cstdint>
#include <string>

namespace tarko {

struct TSyntaxFehler {
    std::string Message;   // the last reported compile error (for callers without an output)
    int32_t Line = 0;      // 0-based index of the line holding the current character
    int32_t Column = 0;    // 1-based position of the current character in its line
};

TSyntaxFehler& SyntaxFehler();

} // namespace tarko
