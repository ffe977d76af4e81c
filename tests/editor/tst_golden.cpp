// Whole programs against their reference runs (tests/editor/golden/*.spans).
// regen_golden.sh rewrites the references on purpose after a wanted change.
#include "GoldenSpans.h"

#include <QFile>
#include <QtTest>

using namespace tarko;

class TestGolden : public QObject {
    Q_OBJECT
private slots:
    void program_data();
    void program();
};

void TestGolden::program_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("reference");
    const QString src = QStringLiteral(TARKO_SOURCE_DIR);
    for (const char* name : {"Grafikdesign", "Idealgewicht", "Koordinatensystem", "Memory"})
        QTest::newRow(name) << src + "/resources/examples/" + name + ".trk" << src + "/tests/editor/golden/" + name + ".spans";
    QTest::newRow("Sonderfaelle") << src + "/tests/editor/golden/Sonderfaelle.trk" << src + "/tests/editor/golden/Sonderfaelle.spans";
}

void TestGolden::program()
{
    QFETCH(QString, input);
    QFETCH(QString, reference);
    QFile in(input), ref(reference);
    QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(input));
    QVERIFY2(ref.open(QIODevice::ReadOnly), qPrintable(reference));
    const QByteArray text = in.readAll();
    const QList<QByteArray> got = QByteArray::fromStdString(GoldenSpans(text.toStdString())).split('\n');
    const QList<QByteArray> want = ref.readAll().split('\n');
    for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i)
        QCOMPARE(got[i], want[i]); // first differing run
    QCOMPARE(got.size(), want.size());
}

QTEST_APPLESS_MAIN(TestGolden)
#include "tst_golden.moc"
