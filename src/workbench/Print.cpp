// Printing: Drucken1Click and Druckereinrichten1Click of the main window,
// and the listing they print.
#include "workbench/Print.h"

#include <QFile>
#include <QLineEdit>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include "editor/ColMemo.h"
#include "editor/WinText.h"
#include "workbench/MainForm.h"
#include "workbench/Option.h"

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

int PrintListing(QPrinter& printer, const std::vector<std::string>& listing)
{
    QPainter p;
    if (!p.begin(&printer))
        return 0;
    const QFontMetricsF fm(p.font(), p.device());
    const qreal width = p.viewport().width();
    const qreal height = p.viewport().height();
    const qreal lineHeight = fm.height();
    const qreal tab = 8 * fm.averageCharWidth();
    int pages = 1;
    qreal y = 0;
    auto newLine = [&] {
        y += lineHeight;
        if (y + lineHeight > height) {
            printer.newPage();
            ++pages;
            y = 0;
        }
    };
    for (const std::string& winLine : listing) {
        const QString line = FromWinText(winLine);
        qreal x = 0;
        for (QChar c : line) {
            qreal next = c == u'\t' ? (std::floor(x / tab) + 1) * tab : x + fm.horizontalAdvance(c);
            if (next > width && x > 0) {  // the character does not fit: continue below
                newLine();
                x = 0;
                next = c == u'\t' ? tab : fm.horizontalAdvance(c);
            }
            if (c != u'\t')
                p.drawText(QPointF(x, y + fm.ascent()), QString(c));
            x = next;
        }
        newLine();
    }
    p.end();
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
    const std::vector<std::string> listing =
        ListingLines(lines, MarginFromText(optionForm_->Field("E_LinkerRand")->text()), optionForm_->ZeilenNr());
    if (optionForm_->DateiDruck()) {
        const QString name = dialogs_->PrintFileName();
        if (name.isEmpty())
            return;
        QFile file(name);
        bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (size_t i = 0; written && i < listing.size(); ++i)
            written = file.write(listing[i].data(), qint64(listing[i].size())) == qint64(listing[i].size()) &&
                      file.write("\r\n", 2) == 2;
        written = written && file.flush();
        const QString error = file.errorString();
        file.close();
        if (!written)
            dialogs_->Error(QStringLiteral("Datei %1 kann nicht geschrieben werden: %2").arg(name, error));
        return;
    }
    // The printer is made only now: the print system may be slow to answer.
    QPrinter printer;
    if (!dialogs_->ChoosePrinter(printer))
        return;
    if (PrintListing(printer, listing) == 0)
        dialogs_->Error(QStringLiteral("Der Druck konnte nicht begonnen werden."));
}

void TMainForm::Druckereinrichten1Click() { dialogs_->PrinterSetup(); }

} // namespace tarko
