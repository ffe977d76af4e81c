// The keypad's number parser: every digit in every place, the refused forms,
// and the values against the standard library's correctly rounded
// conversion (kept here as the reference) on long, tiny and huge entries.
#include <QtTest>
#include <charconv>
#include <cmath>
#include <random>

#include "runtime/NumberEntry.h"

using namespace tarko;

namespace {

// The reference: what the parser must give for an accepted entry.
bool Reference(const std::string& entry, double& value)
{
    std::string s = entry;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative)
        s.erase(0, 1);
    for (char& c : s)
        if (c == ',')
            c = '.';
    if (s == ".")
        s = "0";
    double v = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (end != s.data() + s.size())
        return false;
    if (error == std::errc::result_out_of_range) {
        if (s.find_first_of("123456789") < s.find('.'))
            return false;
        v = 0;
    }
    value = negative ? -v : v;
    return std::isfinite(v);
}

QByteArray Bits(double v)
{
    return QByteArray::number(static_cast<qulonglong>(std::bit_cast<uint64_t>(v)), 16);
}

} // namespace

class TestNumberEntry : public QObject {
    Q_OBJECT

private slots:
    void everyDigitInEveryPlace();
    void entries_data();
    void entries();
    void agreesWithTheCorrectlyRoundedConversion();
};

// Each digit alone, before and after other digits, before and after the
// comma: a digit the parser did not take would refuse the entry.
void TestNumberEntry::everyDigitInEveryPlace()
{
    for (char d = '0'; d <= '9'; ++d) {
        const int v = d - '0';
        const struct { std::string entry; double value; } rows[] = {
            {std::string(1, d), double(v)},
            {std::string("1") + d, 10.0 + v},
            {std::string(1, d) + "1", v * 10.0 + 1},
            {std::string("19") + d + "0", 1900.0 + v * 10},
            {std::string(1, d) + ",5", v + 0.5},
            {std::string("0,") + d, v / 10.0},
            {std::string("-") + d + ",2" + d, -(v + 0.2 + v / 100.0)},
            {std::string(",") + d, v / 10.0},
        };
        for (const auto& row : rows) {
            double got = -123;
            QVERIFY2(ParseNumberEntry(row.entry, got), row.entry.c_str());
            QCOMPARE(got, row.value);
        }
    }
}

void TestNumberEntry::entries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<double>("value");
    QTest::newRow("nine") << "9" << true << 9.0;
    QTest::newRow("nineteen") << "19" << true << 19.0;
    QTest::newRow("a year") << "1990" << true << 1990.0;
    QTest::newRow("nine and a half") << "9,5" << true << 9.5;
    QTest::newRow("comma alone") << "," << true << 0.0;
    QTest::newRow("minus comma") << "-," << true << -0.0;
    QTest::newRow("trailing comma") << "7," << true << 7.0;
    QTest::newRow("leading zeros") << "000123,4500" << true << 123.45;
    QTest::newRow("largest double") << "179769313486231570814527423731704356798070567525844996598917476803157260780028538760589558632766878171540458953514382464234321326889464182768467546703537516986049910576551282076245490090389328944075868508455133942304583236903222948165808559332123348274797826204144723168738177180919299881250404026184124858368" << true << 1.7976931348623157e308;
    QTest::newRow("beyond the largest double") << QString("1") + QString(309, '0') << false << 0.0;
    QTest::newRow("below the smallest double") << QString("0,") + QString(400, '0') + "1" << true << 0.0;
    // Exactly halfway between 1 and the next double up, then zeros and a 1
    // far beyond the digits kept in full: only that 1 rounds the value up.
    QTest::newRow("a late digit past halfway") << QString("1,00000000000000011102230246251565404236316680908203125").leftJustified(799, '0') + "1" << true << 1.0000000000000002;
    QTest::newRow("smallest subnormal") << "0," + QString(323, '0') + "5" << true << 4.9406564584124654e-324;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("minus alone") << "-" << false << 0.0;
    QTest::newRow("two commas") << "1,2,3" << false << 0.0;
    QTest::newRow("point") << "1.5" << false << 0.0;
    QTest::newRow("blank") << "1 " << false << 0.0;
    QTest::newRow("minus inside") << "1-2" << false << 0.0;
    QTest::newRow("plus") << "+1" << false << 0.0;
    QTest::newRow("exponent") << "1e5" << false << 0.0;
    QTest::newRow("colon after nine") << "9:" << false << 0.0;
    QTest::newRow("slash before zero") << "/0" << false << 0.0;
}

void TestNumberEntry::entries()
{
    QFETCH(QString, entry);
    QFETCH(bool, accepted);
    QFETCH(double, value);
    double got = -123;
    QCOMPARE(ParseNumberEntry(entry.toStdString(), got), accepted);
    if (accepted) {
        QCOMPARE(Bits(got), Bits(value));
    }
}

// Random entries of every length and scale, many on the boundaries where a
// sloppy conversion rounds the other way (long runs of 9s and 0s, halfway
// cases): the parser's value must equal the reference's bit for bit.
void TestNumberEntry::agreesWithTheCorrectlyRoundedConversion()
{
    std::mt19937_64 random(20261207);
    const char* const alphabets[] = {"0123456789", "09", "0", "9", "05", "49"};
    for (int n = 0; n < 20000; ++n) {
        const std::string alphabet = alphabets[random() % std::size(alphabets)];
        auto digits = [&](int count) {
            std::string s;
            for (int k = 0; k < count; ++k)
                s += alphabet[random() % alphabet.size()];
            return s;
        };
        const int lengths[] = {1, 3, 17, 25, 60, 320, 800};
        std::string entry = random() % 4 == 0 ? "-" : "";
        entry += digits(lengths[random() % 7] * static_cast<int>(random() % 2));
        if (random() % 3 != 0) {
            entry += ',';
            entry += digits(lengths[random() % 7]);
        }
        if (entry.empty() || entry == "-")
            entry += "1";
        if (random() % 5 == 0)   // a digit of another alphabet somewhere
            entry[entry.size() - 1 - random() % std::min<size_t>(entry.size(), 30)] = '1';
        if (entry[0] == ',' && entry.size() == 1)
            continue;
        double want = 0, got = 0;
        const bool wanted = Reference(entry, want);
        const bool accepted = ParseNumberEntry(entry, got);
        if (wanted != accepted || (wanted && Bits(want) != Bits(got)))
            QFAIL(qPrintable(QString::fromStdString("entry " + entry) + " got " + Bits(got) +
                             " want " + Bits(want)));
    }
}

QTEST_APPLESS_MAIN(TestNumberEntry)
#include "test_numberentry.moc"
