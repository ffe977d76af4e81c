#pragma once
// Program listings for the printer or a text file: one output line per
// editor line, optionally numbered, behind a margin of blanks.
#include <QString>
#include <string>
#include <vector>

class QPagedPaintDevice;
class QPrinter;

namespace tarko {

// The margin field's text as a count of blanks: a whole number taken modulo
// 256 (300 gives 44, -1 gives 255); anything else gives none.
int MarginFromText(const QString& text);

// The listing lines (Windows-1252, without line ends): "%.4d" line numbers
// when wanted, then the margin, then the line as it is, tabs included.
std::vector<std::string> ListingLines(const std::vector<std::string>& lines, int margin, bool numbers);

// Writes the listing into the file `name` (created or replaced), each line
// ended by CR LF. Returns 0, or the system error number of the first
// failure; the file is closed in any case.
int WriteListingFile(const QString& name, const std::vector<std::string>& listing);

// Draws the lines on a printer or PDF writer in its default font from the
// top left of the printable area: long lines break at the last character
// that fits, a tab goes to the next multiple of eight average character
// widths, a new page begins only before a line that does not fit on the
// current one. Returns the number of pages begun (0: the job did not
// start); `failed` tells whether the device refused a page or the job.
int PaintListing(QPagedPaintDevice& device, const std::vector<std::string>& listing, bool* failed);

// The listing as a print job. A PDF file is written by the workbench itself,
// so a file that cannot be written is reported. Returns the pages begun;
// on a failure `error` (if given) receives the German message and `why` the
// file system's reason when there is one; both stay empty on success.
int PrintListing(QPrinter& printer, const std::vector<std::string>& listing, QString* error = nullptr,
                 QString* why = nullptr);

} // namespace tarko
