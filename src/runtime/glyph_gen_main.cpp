// glyph-gen: prints Glyphs.cpp, the canvas font's glyph table, from the
// desktop's rendering on this machine (offscreen, no display needed).
#include <QGuiApplication>
#include <iostream>

#include "runtime/GlyphGen.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const tarko::GeneratedGlyphs g = tarko::GenerateGlyphs();
    if (!g.error.empty()) {
        std::cerr << "glyph-gen: " << g.error << '\n';
        return 1;
    }
    std::cout << tarko::GlyphSource(g);
    return 0;
}
