#pragma once
// Builds the canvas font's glyph table from the desktop's own rendering
// (Canvas::TextFont, non-smoothed, through QPainter as Canvas::DrawText
// draws), and writes it as the C++ source of Glyphs.cpp. Needs a
// QGuiApplication.
#include <string>
#include <vector>

#include "runtime/Glyphs.h"

namespace tarko {

struct GeneratedGlyphs {
    GlyphTable table{};
    std::vector<GlyphTable::Kern> kerns;
    std::string error;   // a glyph wider than a row holds
};

GeneratedGlyphs GenerateGlyphs();
std::string GlyphSource(const GeneratedGlyphs& g);

} // namespace tarko
