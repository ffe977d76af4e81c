// Program listings: margin and line numbers, into a text file through the
// menu, and on a (PDF) printer.
#include <QCheckBox>
#include <QLineEdit>
#include <QPrinter>
#include <QTemporaryDir>

#include "WorkbenchFixture.h"
#include "workbench/Option.h"
#include "workbench/Print.h"

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
};

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

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
