#pragma once
// Program listings for the printer or a text file: one output line per
// editor line, optionally numbered, behind a margin of blanks.
#include <QString>
#include <string>
#include <vector>

class QPrinter;

namespace tarko {

// The margin field's text as a count of blanks: a whole number taken modulo
// 256 (300 gives 44, -1 gives 255); anything else gives none.
int MarginFromText(const QString& text);

// The listing lines (Windows-1252, without line ends): "%.4d" line numbers
// when wanted, then the margin, then the line as it is, tabs included.
std::vector<std::string> ListingLines(const std::vector<std::string>& lines, int margin, bool numbers);

// Draws the lines on the printer in its default font from the top left of
// the printable area: long lines break at the last character that fits, a
// tab goes to the next multiple of eight average character widths, a new
// page starts when the next line does not fit. Returns the page count.
int PrintListing(QPrinter& printer, const std::vector<std::string>& listing);

} // namespace tarko
