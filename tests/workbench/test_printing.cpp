// Program listings: margin and line numbers, into a text file through the
// menu, and on a (PDF) printer.
#include <QCheckBox>
#include <QLineEdit>
#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QPrinter>
#include <cerrno>
#include <cmath>
#include <QTemporaryDir>

#include "WorkbenchFixture.h"
#include "workbench/Option.h"
#include "workbench/Print.h"
#include "workbench/ProgramFile.h"

using namespace tarko;

class TestPrinting : public QObject {
    Q_OBJECT
private slots:
    void margin_data();
    void margin();
    void numberedLines();
    void intoFile_data();
    void intoFile();
    void onPrinter();
    void pageBreaks_data();
    void pageBreaks();
    void marginFieldIsTheListingMargin_data();
    void marginFieldIsTheListingMargin();
    void setUpChoicesReachTheNextPrint();
    void failures_data();
    void failures();
    void refusedNewPageEndsTheJob();
};

namespace {

// Lines of the printer's default font that fit on one page of a printer
// with the tests' page size (the default one).
int LinesPerPage()
{
    QTemporaryDir dir;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("probe.pdf"));
    QPainter p(&printer);
    const QFontMetricsF fm(p.font(), p.device());
    return int(std::floor(p.viewport().height() / fm.height()));
}

QByteArray ReadAll(const QString& name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A program of `count` numbered lines, ending in a line break.
QString Program(int count)
{
    QString text;
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("Ausgabe %1\n").arg(i);
    return text;
}

} // namespace

void TestPrinting::margin_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("blanks");
    QTest::newRow("5") << "5" << 5;
    QTest::newRow("300 wraps to 44") << "300" << 44;
    QTest::newRow("256 wraps to none") << "256" << 0;
    QTest::newRow("-1 gives 255") << "-1" << 255;
    QTest::newRow("not a number gives none") << "fünf" << 0;
    QTest::newRow("empty gives none") << "" << 0;
}

void TestPrinting::margin()
{
    QFETCH(QString, text);
    QFETCH(int, blanks);
    QCOMPARE(MarginFromText(text), blanks);
}

void TestPrinting::numberedLines()
{
    std::vector<std::string> lines(10000, "x");
    lines[0] = "Ausgabe";
    const auto out = ListingLines(lines, 5, true);
    QCOMPARE(out.size(), size_t(10000));
    QCOMPARE(out[0], std::string("0001     Ausgabe"));
    QCOMPARE(out[41], std::string("0042     x"));
    QCOMPARE(out[9999], std::string("10000     x"));
}

void TestPrinting::intoFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("margin");
    QTest::addColumn<bool>("numbers");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("margin 0: the text with CR LF after every line")
        << "Ausgabe 1\nPause 2" << "0" << false << QByteArray("Ausgabe 1\r\nPause 2\r\n");
    QTest::newRow("a final line break gives no extra line")
        << "Ausgabe 1\n" << "0" << false << QByteArray("Ausgabe 1\r\n");
    QTest::newRow("margin 3 before a tab") << "\tAusgabe \"ä\"" << "3" << false
                                           << QByteArray("   \tAusgabe \"\xE4\"\r\n");
    QTest::newRow("numbers then margin") << "a\n\nb" << "2" << true
                                         << QByteArray("0001  a\r\n0002  \r\n0003  b\r\n");
}

void TestPrinting::intoFile()
{
    QFETCH(QString, text);
    QFETCH(QString, margin);
    QFETCH(bool, numbers);
    QFETCH(QByteArray, file);
    QTemporaryDir dir;
    TWorkbench wb;
    wb.NewTab(QStringLiteral("Programm.trk"), text);
    TOptionForm* options = wb.form->OptionForm();
    options->Field("E_LinkerRand")->setText(margin);
    options->Box("CB_ZeilenNr")->setChecked(numbers);
    options->Box("CB_DateiDruck")->setChecked(true);
    wb.dialogs->fileNames = {dir.filePath("liste.txt")};
    wb.form->Action("Drucken2")->trigger();
    QCOMPARE(wb.dialogs->shown.at(0).kind, QStringLiteral("In eine Datei drucken"));
    QFile f(dir.filePath("liste.txt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), file);
}

void TestPrinting::onPrinter()
{
    QTemporaryDir dir;
    TWorkbench wb;
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("Ausgabe %1\n").arg(i);
    wb.NewTab(QStringLiteral("Programm.trk"), text);
    // Cancelled print dialog: nothing printed.
    wb.form->Action("Drucken1")->trigger();
    QCOMPARE(wb.dialogs->Count("Drucken"), 1);
    wb.dialogs->pdfFiles = {dir.filePath("liste.pdf")};
    wb.form->Action("Drucken1")->trigger();
    QFile pdf(dir.filePath("liste.pdf"));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QVERIFY(bytes.startsWith("%PDF"));
    // 300 lines do not fit on one page.
    QVERIFY(bytes.count("/Type /Page\n") >= 3);
    QVERIFY(wb.dialogs->Count("Fehler") == 0);

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("zwei.pdf"));
    QVERIFY(PrintListing(printer, std::vector<std::string>(300, "Ausgabe 1")) >= 3);
}

void TestPrinting::pageBreaks_data()
{
    const int n = LinesPerPage();
    QVERIFY(n > 2);
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("pages");
    QTest::newRow("one line short of a page") << n - 1 << 1;
    QTest::newRow("a page filled exactly: no empty page after it") << n << 1;
    QTest::newRow("one line more begins page two") << n + 1 << 2;
    QTest::newRow("two pages filled exactly") << 2 * n << 2;
    QTest::newRow("one line on page three") << 2 * n + 1 << 3;
}

// On paper through Drucken (a PDF) and into a text file, the same program.
void TestPrinting::pageBreaks()
{
    QFETCH(int, lines);
    QFETCH(int, pages);
    QTemporaryDir dir;
    TWorkbench wb;
    wb.NewTab(QStringLiteral("Programm.trk"), Program(lines));
    wb.form->OptionForm()->Field("E_LinkerRand")->setText(QStringLiteral("0"));
    wb.dialogs->pdfFiles = {dir.filePath("liste.pdf")};
    wb.form->Action("Drucken1")->trigger();
    QCOMPARE(wb.dialogs->Count("Fehler"), 0);
    QCOMPARE(int(ReadAll(dir.filePath("liste.pdf")).count("/Type /Page\n")), pages);

    wb.form->OptionForm()->Box("CB_DateiDruck")->setChecked(true);
    wb.dialogs->fileNames = {dir.filePath("liste.txt")};
    wb.form->Action("Drucken1")->trigger();
    const QByteArray file = ReadAll(dir.filePath("liste.txt"));
    QCOMPARE(int(file.count("\r\n")), lines);
    QVERIFY(file.endsWith(QStringLiteral("Ausgabe %1\r\n").arg(lines).toLatin1()));

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("direkt.pdf"));
    QCOMPARE(PrintListing(printer, std::vector<std::string>(size_t(lines), "x")), pages);
}

void TestPrinting::marginFieldIsTheListingMargin_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("blanks");
    QTest::newRow("300 wraps to 44") << "300" << 44;
    QTest::newRow("-1 gives 255") << "-1" << 255;
    QTest::newRow("256 gives none") << "256" << 0;
    QTest::newRow("blanks around the number") << " 7 " << 7;
    QTest::newRow("text gives none") << "5x" << 0;
}

void TestPrinting::marginFieldIsTheListingMargin()
{
    QFETCH(QString, field);
    QFETCH(int, blanks);
    QTemporaryDir dir;
    TWorkbench wb;
    wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Pause 1"));
    TOptionForm* options = wb.form->OptionForm();
    options->Field("E_LinkerRand")->setText(field);
    options->Box("CB_DateiDruck")->setChecked(true);
    wb.dialogs->fileNames = {dir.filePath("liste.txt")};
    wb.form->Action("Drucken1")->trigger();
    QCOMPARE(options->LinkerRand(), blanks);
    QCOMPARE(ReadAll(dir.filePath("liste.txt")), QByteArray(blanks, ' ') + "Pause 1\r\n");
}

// The set-up dialog and Drucken share one printer: its orientation and
// paper are those of the next print. No printer exists before it is needed.
void TestPrinting::setUpChoicesReachTheNextPrint()
{
    QTemporaryDir dir;
    TWorkbench wb;
    QVERIFY(!wb.form->PrinterMade());
    wb.NewTab(QStringLiteral("Programm.trk"), Program(3));
    QVERIFY(!wb.form->PrinterMade());
    wb.dialogs->onPrinterSetup = [](QPrinter& printer) {
        printer.setPageSize(QPageSize(QPageSize::A5));
        printer.setPageOrientation(QPageLayout::Landscape);
    };
    wb.form->Action("Druckereinrichten1")->trigger();
    QPrinter* setUp = wb.dialogs->printerSeen;
    QVERIFY(setUp);
    wb.dialogs->pdfFiles = {dir.filePath("quer.pdf")};
    wb.form->Action("Drucken1")->trigger();
    QCOMPARE(wb.dialogs->printerSeen, setUp);
    QCOMPARE(setUp->pageLayout().orientation(), QPageLayout::Landscape);
    // A5 landscape: 595 x 420 points.
    const QByteArray pdf = ReadAll(dir.filePath("quer.pdf"));
    const QRegularExpression a5Landscape(QStringLiteral("/MediaBox \\[0 0 595(\\.0*)? 420(\\.0*)?\\]"));
    QVERIFY(QString::fromLatin1(pdf).contains(a5Landscape));
    QCOMPARE(wb.dialogs->Count("Fehler"), 0);
}

void TestPrinting::failures_data()
{
    QTest::addColumn<bool>("intoFile");
    QTest::addColumn<QString>("target");  // "DIR" stands for a folder of the test
    QTest::addColumn<int>("error");       // the failure the reason tells of
    QTest::newRow("text file: the name is a folder") << true << "DIR" << EISDIR;
    QTest::newRow("text file: folder missing") << true << "DIR/fehlt/liste.txt" << ENOENT;
    QTest::newRow("text file: disk full") << true << "/dev/full" << ENOSPC;
    QTest::newRow("PDF: the name is a folder") << false << "DIR" << EISDIR;
    QTest::newRow("PDF: folder missing") << false << "DIR/fehlt/liste.pdf" << ENOENT;
    QTest::newRow("PDF: disk full") << false << "/dev/full" << ENOSPC;
}

// Every failure goes to the error report in German, with the file system's
// reason.
void TestPrinting::failures()
{
    QFETCH(bool, intoFile);
    QFETCH(QString, target);
    QFETCH(int, error);
    QTemporaryDir dir;
    target.replace(QStringLiteral("DIR"), dir.path());
    TWorkbench wb;
    wb.NewTab(QStringLiteral("Programm.trk"), Program(200));
    wb.form->OptionForm()->Box("CB_DateiDruck")->setChecked(intoFile);
    if (intoFile)
        wb.dialogs->fileNames = {target};
    else
        wb.dialogs->pdfFiles = {target};
    wb.form->Action("Drucken1")->trigger();
    QCOMPARE(wb.dialogs->Count("Fehler"), 1);
    QCOMPARE(wb.dialogs->shown.back().text, QStringLiteral("Datei %1 kann nicht geschrieben werden").arg(target));
    QCOMPARE(wb.dialogs->shown.back().reason, FileErrorReason(error, target));
}

namespace {

// A PDF writer that refuses the second page.
class TRefusingWriter : public QPdfWriter {
public:
    using QPdfWriter::QPdfWriter;
    int newPages = 0;
    bool newPage() override
    {
        ++newPages;
        return false;
    }
};

} // namespace

void TestPrinting::refusedNewPageEndsTheJob()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    bool failed = false;
    {
        TRefusingWriter writer(&buffer);
        QCOMPARE(PaintListing(writer, std::vector<std::string>(500, "Ausgabe 1"), &failed), 1);
        QCOMPARE(writer.newPages, 1);
    }
    QVERIFY(failed);
    // The job was closed: a complete document of one page.
    QVERIFY(buffer.data().contains("%%EOF"));
    QCOMPARE(int(buffer.data().count("/Type /Page\n")), 1);
}

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
