#pragma once
// How the run console wraps its text at 100 %, for the line limit
// (ConsoleLines.h): the console's font and the width of its text area.
// The workbench's console shows its text in this font, so the count is the
// lines the pupil sees at 100 %; tarko-run counts with the same code.
#include <QFont>
#include <QTextLayout>

#include "runtime/ConsoleLines.h"

namespace tarko {

// The console's font at a pixel size (12 at 100 %). Family and hinting are
// fixed rather than left to the desktop, so that every screen wraps the
// text alike: DejaVu Sans bold (installed with Tarko), vertical hinting only,
// which keeps the design advances (the same as Debian's default hinting).
QFont ConsoleFont(int pixelSize);

// The console's text area at 100 %: the 200-pixel screen less its frame
// (1 + 1) and the vertical scroll bar (14) of the workbench's style, less the
// document margin (4) on either side.
constexpr int ConsoleTextWidth = 200 - 2 - 14 - 2 * 4;

class QtLineWrap : public LineWrap {
public:
    QtLineWrap();
    int Wrap(const std::u16string& line, size_t* lastStart) const override;

    // Most writes leave a line far shorter than the console is wide; laying
    // the line out costs microseconds. A line whose characters' advances, with
    // room for kerning and for the overhang of its last glyph, sum to at most
    // the width surely fits, and is not laid out.
    static constexpr int KerningRoom64 = 32;   // per character, in 1/64 pixel
    bool SurelyOneLine(const std::u16string& line) const;

private:
    QFont font_;
    mutable QTextLayout layout_;
    long long advance64_[256] = {};   // by Windows-1252 byte, in 1/64 pixel
    long long overhang64_ = 0;        // the font's largest negative right bearing
};

} // namespace tarko
