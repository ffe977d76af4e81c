#pragma once
// The run console's wrapping without Qt, for the hosts that have no Qt (the
// browser edition): the console font's metrics and break opportunities for
// the 256 Windows-1252 characters, taken from the desktop's own layout
// (wrap-gen writes ConsoleFontTable.cpp, scripts/regen-wrap.sh), and Qt's
// line filling redone over them, so every line wraps exactly as QtLineWrap
// wraps it.
#include <cstdint>
#include <string>

#include "runtime/ConsoleLines.h"

namespace tarko {

struct ConsoleFontTable {
    enum Kind : uint8_t { Glyph = 0, Blank = 1, Tab = 2 };
    struct Kern {
        uint8_t first, second;
        int16_t delta64;
    };
    int32_t advance64[256];    // in 1/64 pixel, without kerning
    int32_t overhang64[256];   // ink past the advance (negative right bearing)
    int32_t minOverhang64;     // the font's largest overhang, as the layout assumes it
    int32_t softHyphen64;      // a soft hyphen's glyph, shown only where the line breaks at it
    uint8_t kind[256];
    // Bit b of row a: the text may break between a and b.
    uint8_t breakBetween[256][32];
    // Bit b of row a: the text may break between "a", blanks, and b; row 256
    // for blanks at the start of the line.
    uint8_t breakAfterBlanks[257][32];
    const Kern* kerns;         // sorted by (first, second)
    int kernCount;
    // Letters the font joins into one glyph ("ff", "fi", ...), longest
    // first: the layout neither breaks inside one nor kerns its letters.
    struct Ligature {
        char text[4];
        int32_t alone64;       // its advance at the end of the text
        int32_t overhang64;
        int32_t before64[256]; // the advance of a character before it
        int32_t next64[256];   // its advance before a character
    };
    const Ligature* ligatures;
    int ligatureCount;
};

extern const ConsoleFontTable ConsoleFontMetrics;

class TableLineWrap : public LineWrap {
public:
    // The console's text width at 100 % in pixels (ConsoleTextWidth).
    static constexpr int TextWidth = 200 - 2 - 14 - 2 * 4;

    explicit TableLineWrap(const ConsoleFontTable& table = ConsoleFontMetrics) : t_(table) {}
    int Wrap(const std::u16string& line, size_t* lastStart) const override;

private:
    const ConsoleFontTable& t_;
};

} // namespace tarko
