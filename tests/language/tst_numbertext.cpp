// The number text shown to the user: 15 significant digits, decimal comma.
#include "language/NumberText.h"

#include <QtTest>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using namespace tarko;

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void text_data();
    void text();
    void ties_data();
    void ties();
    void quotientsMatchExactModel();
};

namespace {

// The exact decimal value of a positive double, by big-integer arithmetic
// (no printf involved): its digits and the power of ten of the last one.
struct ExactDecimal {
    std::string digits;
    int pow10 = 0;
};

ExactDecimal Exact(double ax)
{
    int exp2 = 0;
    auto m = static_cast<std::uint64_t>(std::ldexp(std::frexp(ax, &exp2), 53));
    int k = exp2 - 53;
    std::vector<std::uint32_t> big;   // base 10^9, least significant first
    for (; m; m /= 1000000000)
        big.push_back(std::uint32_t(m % 1000000000));
    auto times = [&big](std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (std::uint32_t& limb : big) {
            const std::uint64_t v = std::uint64_t(limb) * factor + carry;
            limb = std::uint32_t(v % 1000000000);
            carry = v / 1000000000;
        }
        if (carry)
            big.push_back(std::uint32_t(carry));
    };
    ExactDecimal r;
    if (k >= 0) {
        for (; k > 0; --k)
            times(2);
    } else {
        r.pow10 = k;   // m * 2^k = m * 5^-k * 10^k
        for (; k < 0; ++k)
            times(5);
    }
    r.digits = std::to_string(big.back());
    for (auto it = big.rbegin() + 1; it != big.rend(); ++it) {
        char limb[16];
        std::snprintf(limb, sizeof limb, "%09u", unsigned(*it));
        r.digits += limb;
    }
    return r;
}

// What the number text must be: the exact value rounded half away from
// zero to 15 significant digits, then written as the user sees it.
std::string ModelText(double x)
{
    if (x == 0)
        return "0";
    const ExactDecimal ex = Exact(std::fabs(x));
    std::string d = ex.digits;
    int e = int(d.size()) + ex.pow10;   // value = 0,d1d2... * 10^e
    if (d.size() > 15) {
        const bool up = d[15] >= '5';
        d.resize(15);
        for (int i = 14; up && i >= 0; --i) {
            if (d[size_t(i)] != '9') {
                ++d[size_t(i)];
                break;
            }
            d[size_t(i)] = '0';
            if (i == 0) {
                d.insert(d.begin(), '1');
                d.resize(15);
                ++e;
            }
        }
    }
    while (d.size() > 1 && d.back() == '0')
        d.pop_back();
    const int n = int(d.size());
    std::string out = x < 0 ? "-" : "";
    if (e > 15 || e < -3)
        return out + d.substr(0, 1) + (n > 1 ? "," + d.substr(1) : "") + "E" + std::to_string(e - 1);
    if (e <= 0)
        return out + "0," + std::string(size_t(-e), '0') + d;
    if (n <= e)
        return out + d + std::string(size_t(e - n), '0');
    return out + d.substr(0, size_t(e)) + "," + d.substr(size_t(e));
}

} // namespace

void TestNumberText::text_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    // Fixed notation: 0,0001 <= |x| < 10^15
    QTest::newRow("fixed: whole number") << 63.0 << "63";
    QTest::newRow("fixed: trailing zeros of a whole number stay") << 100.0 << "100";
    QTest::newRow("fixed: negative fraction") << -2.5 << "-2,5";
    QTest::newRow("fixed: one third has 15 digits") << 1.0 / 3 << "0,333333333333333";
    QTest::newRow("fixed: two thirds rounds up the 15th digit") << 2.0 / 3 << "0,666666666666667";
    QTest::newRow("fixed: 0.1+0.2 rounds to 0,3") << 0.1 + 0.2 << "0,3";
    QTest::newRow("fixed: smallest value") << 0.0001 << "0,0001";
    QTest::newRow("fixed: leading zeros after the comma") << 0.00123 << "0,00123";
    QTest::newRow("fixed: integer and fraction digits") << 123456.789 << "123456,789";
    QTest::newRow("fixed: 15 digits across the comma") << 12345678901234.5 << "12345678901234,5";
    QTest::newRow("fixed: largest 15-digit integer") << 999999999999999.0 << "999999999999999";
    QTest::newRow("fixed: pi") << M_PI << "3,14159265358979";
    QTest::newRow("fixed: negative small") << -0.5 << "-0,5";

    // Scientific notation outside that range, also when rounding pushes a value out
    QTest::newRow("scientific: below 0,0001") << 0.00001 << "1E-5";
    QTest::newRow("scientific: 10^15") << 1e15 << "1E15";
    QTest::newRow("scientific: rounding reaches 10^15") << 999999999999999.9 << "1E15";
    QTest::newRow("scientific: 10^20") << 1e20 << "1E20";
    QTest::newRow("scientific: 1,5 * 10^20") << 1.5e20 << "1,5E20";
    QTest::newRow("scientific: 16 digits rounded to 15") << 1234567890123456.0 << "1,23456789012346E15";
    QTest::newRow("scientific: negative tiny") << -0.000012345 << "-1,2345E-5";
    QTest::newRow("scientific: negative exponent only") << -1e-10 << "-1E-10";
    QTest::newRow("scientific: largest double") << std::numeric_limits<double>::max()
                                                << "1,79769313486232E308";
    QTest::newRow("scientific: smallest denormal") << std::numeric_limits<double>::denorm_min()
                                                   << "4,94065645841247E-324";

    // Zero and values that are no numbers
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero has no sign") << -0.0 << "0";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "NAN";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "INF";
    QTest::newRow("negative infinity") << -std::numeric_limits<double>::infinity() << "-INF";
}

void TestNumberText::text()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(NumberText(value)), expected);
}

// Values exactly halfway between two 15-digit results round away from zero;
// their neighbours round to the nearer result.
void TestNumberText::ties_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("tie: quotient ,5 with an even last digit rounds up")
        << 7546009073262688.0 / 11 << "686000824842063";
    QTest::newRow("tie: negative rounds away from zero") << -7546009073262688.0 / 11 << "-686000824842063";
    QTest::newRow("tie: ,5 after the even digit 8") << 999999999999998.5 << "999999999999999";
    QTest::newRow("tie: ,5 after the odd digit 7") << 999999999999997.5 << "999999999999998";
    QTest::newRow("tie: ,5 carrying into 10^15") << 999999999999999.5 << "1E15";
    QTest::newRow("tie: 16-digit integer ending in 5") << 1000000000000005.0 << "1,00000000000001E15";
    QTest::newRow("tie: even integer, 16 digits before a final zero") << 16730900903718850.0
                                                                       << "1,67309009037189E16";
    QTest::newRow("tie: fraction ,0625 cut after 3 digits") << 100000000000.0625 << "100000000000,063";
    QTest::newRow("tie: scientific 2^-22") << std::ldexp(1.0, -22) << "2,38418579101563E-7";

    QTest::newRow("near tie: next double above") << std::nextafter(686000824842062.5, 1e300)
                                                 << "686000824842063";
    QTest::newRow("near tie: next double below") << std::nextafter(686000824842062.5, 0.0)
                                                 << "686000824842062";
    QTest::newRow("near tie: ,25 rounds down") << 686000824842062.25 << "686000824842062";
    QTest::newRow("near tie: ,75 rounds up") << 686000824842062.75 << "686000824842063";
    QTest::newRow("near tie: 17 digits ending in 5 rounds down") << 100000000000000.25 << "100000000000000";
    QTest::newRow("near tie: 15 digits and ,5 is exact") << 99999999999999.5 << "99999999999999,5";
}

void TestNumberText::ties()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(ModelText(value)), expected);   // the model agrees
    QCOMPARE(QString::fromStdString(NumberText(value)), expected);
}

// Thousands of quotients of whole numbers against the exact model, in the
// magnitudes where halfway values are common (fractions ,5 and ,125 near
// 10^15) and in ordinary ones.
void TestNumberText::quotientsMatchExactModel()
{
    std::mt19937_64 random(20260107);
    struct Ranges {
        double low, high;   // numerator
        int lowDivisor, highDivisor;
    };
    const Ranges ranges[] = {{1e15, 9e15, 1, 20}, {1e15, 9e15, 1, 1000}, {1e14, 1e15, 1, 1000},
                             {1, 1e6, 1, 1000}, {1, 1000, 1000, 10000000}, {1e16, 1e20, 1, 1000}};
    int checked = 0, ties = 0;
    for (const Ranges& r : ranges) {
        std::uniform_real_distribution<double> a(r.low, r.high);
        std::uniform_int_distribution<int> b(r.lowDivisor, r.highDivisor);
        for (int i = 0; i < 4000; ++i) {
            const double x = std::floor(a(random)) / b(random);
            const std::string expected = ModelText(x);
            const std::string got = NumberText(x);
            if (got != expected)
                QFAIL(qPrintable(QStringLiteral("%1: %2 statt %3")
                                     .arg(x, 0, 'g', 17)
                                     .arg(QString::fromStdString(got), QString::fromStdString(expected))));
            std::string digits = Exact(x).digits;
            digits.erase(digits.find_last_not_of('0') + 1);
            ties += digits.size() == 16 && digits.back() == '5';
            ++checked;
        }
    }
    QCOMPARE(checked, 24000);
    QVERIFY2(ties > 200, qPrintable(QStringLiteral("only %1 exact ties among the quotients").arg(ties)));
}

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
