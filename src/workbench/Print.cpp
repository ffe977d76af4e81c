// Printing: Drucken1Click and Druckereinrichten1Click of the main window,
// and the listing they print.
#include "workbench/Print.h"

#include <QBuffer>
#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <unistd.h>

#include "editor/ColMemo.h"
#include "editor/WinText.h"
#include "workbench/MainForm.h"
#include "workbench/Option.h"
#include "workbench/ProgramFile.h"

namespace tarko {

int MarginFromText(const QString& text)
{
    bool ok = false;
    const qlonglong n = text.trimmed().toLongLong(&ok, 10);
    if (!ok || n < INT32_MIN || n > INT32_MAX)
        return 0;
    return int(static_cast<unsigned char>(n & 0xFF));
}

std::vector<std::string> ListingLines(const std::vector<std::string>& lines, int margin, bool numbers)
{
    std::vector<std::string> out;
    out.reserve(lines.size());
    const std::string blanks(size_t(margin), ' ');
    char number[16];
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line;
        if (numbers) {
            std::snprintf(number, sizeof number, "%.4d", int(i + 1));
            line = number;
        }
        line += blanks;
        line += lines[i];
        out.push_back(std::move(line));
    }
    return out;
}

namespace {

// Writes `bytes` into the file `name` (created or replaced). Returns 0, or
// the system error number of the first failure; the file is closed in any
// case.
int WriteFileBytes(const QString& name, const char* bytes, size_t size)
{
    const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    int error = 0;
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += size_t(n);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

QString CannotWrite(const QString& name) { return QStringLiteral("Datei %1 kann nicht geschrieben werden").arg(name); }

} // namespace

int WriteListingFile(const QString& name, const std::vector<std::string>& listing)
{
    std::string text;
    for (const std::string& line : listing) {
        text += line;
        text += "\r\n";
    }
    return WriteFileBytes(name, text.data(), text.size());
}

int PaintListing(QPagedPaintDevice& device, const std::vector<std::string>& listing, bool* failed)
{
    *failed = false;
    QPainter p;
    if (!p.begin(&device)) {
        *failed = true;
        return 0;
    }
    const QFontMetricsF fm(p.font(), p.device());
    const qreal width = p.viewport().width();
    const qreal height = p.viewport().height();
    const qreal lineHeight = fm.height();
    const qreal tab = 8 * fm.averageCharWidth();
    int pages = 1;
    qreal y = 0;  // top of the next line on the page
    // A page ends only when a line is about to be drawn that does not fit:
    // a last line that fills the page exactly leaves no empty page behind.
    auto makeRoom = [&] {
        if (y > 0 && y + lineHeight > height) {
            if (!device.newPage()) {
                *failed = true;
                return false;
            }
            ++pages;
            y = 0;
        }
        return true;
    };
    for (const std::string& winLine : listing) {
        if (!makeRoom())
            break;
        const QString line = FromWinText(winLine);
        qreal x = 0;
        for (QChar c : line) {
            qreal next = c == u'\t' ? (std::floor(x / tab) + 1) * tab : x + fm.horizontalAdvance(c);
            if (next > width && x > 0) {  // the character does not fit: continue below
                y += lineHeight;
                if (!makeRoom())
                    break;
                x = 0;
                next = c == u'\t' ? tab : fm.horizontalAdvance(c);
            }
            if (c != u'\t')
                p.drawText(QPointF(x, y + fm.ascent()), QString(c));
            x = next;
        }
        if (*failed)
            break;
        y += lineHeight;
    }
    // The job is closed also after a failure.
    if (!p.end())
        *failed = true;
    return pages;
}

int PrintListing(QPrinter& printer, const std::vector<std::string>& listing, QString* error, QString* why)
{
    QString reason, detail;
    int pages = 0;
    bool failed = false;
    const QString file = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    if (file.isEmpty()) {
        pages = PaintListing(printer, listing, &failed);
        if (failed)
            reason = pages == 0 ? QStringLiteral("Der Druck konnte nicht begonnen werden.")
                                : QStringLiteral("Der Druck ist fehlgeschlagen.");
    } else {
        // A PDF file is made in memory and then written here: Qt's own PDF
        // output drops write errors (a full disk gave a cut file and no word).
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter pdf(&buffer);
            pdf.setPageLayout(printer.pageLayout());
            pdf.setResolution(printer.resolution());
            pdf.setPdfVersion(printer.pdfVersion());
            pdf.setCreator(printer.creator());
            pdf.setTitle(printer.docName());
            pages = PaintListing(pdf, listing, &failed);
        }
        if (failed)
            reason = QStringLiteral("Der Druck ist fehlgeschlagen.");
        else if (const int e = WriteFileBytes(file, buffer.data().constData(), size_t(buffer.data().size()))) {
            reason = CannotWrite(file);
            detail = FileErrorReason(e, file);
        }
    }
    if (error)
        *error = reason;
    if (why)
        *why = detail;
    return pages;
}

// Drucken1Click: the listing of the current editor into a text file or on a
// printer, with the options of the options dialog's page "Drucken".
void TMainForm::Drucken1Click()
{
    if (runState_ != 1 || lastTab_ < 0)
        return;
    TColorMemo* editor = CurrentEditor();
    std::vector<std::string> lines;
    for (int i = 0; i < editor->LineCount(); ++i)
        lines.push_back(editor->Line(i));
    const std::vector<std::string> listing = ListingLines(lines, optionForm_->LinkerRand(), optionForm_->ZeilenNr());
    if (optionForm_->DateiDruck()) {
        const QString name = dialogs_->PrintFileName();
        if (name.isEmpty())
            return;
        if (const int error = WriteListingFile(name, listing))
            dialogs_->Error(CannotWrite(name), FileErrorReason(error, name));
        return;
    }
    if (!dialogs_->ChoosePrinter(Printer()))
        return;
    QString error, reason;
    PrintListing(Printer(), listing, &error, &reason);
    if (!error.isEmpty())
        dialogs_->Error(error, reason);
}

// One printer for the whole run, shared by the set-up dialog and Drucken, so
// the printer, paper and orientation chosen are used by the next print. It
// is made only when first needed: the print system may be slow to answer.
QPrinter& TMainForm::Printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>();
    return *printer_;
}

void TMainForm::Druckereinrichten1Click() { dialogs_->PrinterSetup(Printer()); }

} // namespace tarko
