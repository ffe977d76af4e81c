#pragma once
// The canvas font as data: every Windows-1252 character's advance and its
// one-bit image, as the desktop's non-smoothed font rendering draws it, and
// the kerning between pairs. Generated from the desktop (glyph-gen), so the
// browser edition draws "Grafiktext" pixel for pixel as the desktop does.
#include <cstdint>

namespace tarko {

struct GlyphTable {
    static constexpr int Height = 11;   // rows of the text box
    struct Glyph {
        int8_t advance;        // pixels to the next character's glyph
        int8_t width;          // what the character adds to the box's width
        uint8_t kernAs;        // the character whose kerning its glyph gets (a
                               // tab or line break is drawn as a blank); 0:
                               // none, kerning passes over it (soft hyphen)
        uint8_t widthKernAs;   // the same for the box's width
        uint8_t onlyAtEnd;     // drawn only as the text's last character (soft hyphen)
        int8_t left;           // column of bit 0 relative to the character's origin
        uint32_t rows[Height]; // bit i: pixel at column left + i
    };
    Glyph glyphs[256];
    struct Kern {
        uint8_t first, second;
        int8_t adjust;         // added to the advance of `first` before `second`
    };
    const Kern* kerns;         // sorted by (first, second)
    int kernCount;
    // The text box's width counts a tab to the next multiple of this (the
    // glyphs are placed with the tab's advance, as Qt does both).
    int tabStop;
};

// The table checked in (Glyphs.cpp).
extern const GlyphTable CanvasGlyphs;

} // namespace tarko
