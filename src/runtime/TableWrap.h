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
    static constexpr int KindBits = 2;
    // Characters that break alike before and after any other character
    // share a break class; a class's row has bit c for class c.
    static constexpr int MaxBreakClasses = 64;
    static_assert(MaxBreakClasses <= 256 >> KindBits && MaxBreakClasses <= 64);
    struct Kern {
        uint8_t first, second;
        int16_t delta64;
    };
    int32_t advance64[256];    // in 1/64 pixel, without kerning
    int32_t overhang64[256];   // ink past the advance (negative right bearing)
    int32_t minOverhang64;     // the font's largest overhang, as the layout assumes it
    int32_t softHyphen64;      // a soft hyphen's glyph, shown only where the line breaks at it
    uint8_t kind[256];         // Kind in the low KindBits, the break class above them
    // Row of a's class, bit of b's class: the text may break between a and b.
    uint64_t breakBetween[MaxBreakClasses];
    // The same between "a", blanks, and b; row 0 for blanks at the start of
    // the line, row 1 + class after a.
    uint64_t breakAfterBlanks[1 + MaxBreakClasses];
    const Kern* kerns;         // sorted by (first, second)
    int kernCount;
    // Letters the font joins into one glyph ("ff", "fi", ...), longest
    // first: the layout neither breaks inside one nor kerns its letters.
    struct Ligature {
        // Kerning with a neighbour; unused slots are {0, 0}.
        struct Neighbour {
            int16_t c;
            int16_t delta64;
        };
        static constexpr int MaxNeighbours = 4;
        char text[4];
        int32_t alone64;       // its advance at the end of the text
        int32_t overhang64;
        Neighbour before[MaxNeighbours];   // a character before it: advance64 + delta
        Neighbour next[MaxNeighbours];     // itself before a character: alone64 + delta
    };
    const Ligature* ligatures;
    int ligatureCount;

    Kind KindOf(uint8_t c) const { return Kind(kind[c] & ((1 << KindBits) - 1)); }
    int BreakClass(uint8_t c) const { return kind[c] >> KindBits; }
    bool MayBreak(uint8_t a, uint8_t b) const { return (breakBetween[BreakClass(a)] >> BreakClass(b)) & 1; }
    // Across blanks after the character `a`, or -1 at the start of the line.
    bool MayBreakAfterBlanks(int a, uint8_t b) const
    {
        return (breakAfterBlanks[a < 0 ? 0 : 1 + BreakClass(uint8_t(a))] >> BreakClass(b)) & 1;
    }
    static int Delta(const Ligature::Neighbour (&list)[Ligature::MaxNeighbours], uint8_t c)
    {
        for (const Ligature::Neighbour& n : list)
            if (n.c == c)
                return n.delta64;
        return 0;
    }
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
