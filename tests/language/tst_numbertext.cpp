// The number text shown to the user: 15 significant digits, decimal comma.
#include "language/NumberText.h"

#include <QtTest>
#include <cmath>
#include <limits>

using namespace tarko;

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void text_data();
    void text();
};

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

QTEST_APPLESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
