// The settings store: defaults on a first start, what shut-down writes and
// the next start reads back, damaged values.
#include <QSettings>

#include "WorkbenchFixture.h"

using namespace tarko;

namespace {

QSettings Store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brimwold"), QStringLiteral("Tarko"));
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    void firstStartDefaults();
    void shutDownWritesNextStartReads();
    void damagedValues_data();
    void damagedValues();
};

void TestSettings::firstStartDefaults()
{
    TWorkbench wb;
    QCOMPARE(wb.form->Inis.Tabs, 2);
    QVERIFY(wb.form->Inis.AutoTab);
    QVERIFY(wb.form->Inis.AutoFormat);
    QCOMPARE(wb.form->Inis.ProjectDir, QString());
    for (const QString& f : wb.form->Inis.Files)
        QVERIFY(f.isEmpty());
    QCOMPARE(wb.form->size(), QSize(680, 521));
    TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QString());
    QCOMPARE(e->font().family(), QStringLiteral("Courier New"));
    QCOMPARE(e->font().pointSize(), 10);
    QCOMPARE(e->tabStopDistance(), 16.0);
    // A first start writes nothing before the window closes.
    QVERIFY(Store().allKeys().isEmpty());
}

void TestSettings::shutDownWritesNextStartReads()
{
    {
        TWorkbench wb;
        wb.form->Inis.AutoTab = false;
        wb.form->Inis.Tabs = 4;
        wb.form->Inis.ProjectDir = QStringLiteral("/kurs/projekte");
        wb.form->Inis.HilfeDir = QStringLiteral("/kurs/hilfe.htm");
        wb.form->Inis.Files[0] = QStringLiteral("/kurs/A.trk");
        wb.form->Inis.Font = QFont(QStringLiteral("Courier New"), 14);
        wb.form->Inis.Font.setBold(true);
        wb.form->Inis.Font.setItalic(true);
        wb.form->move(40, 50);
        wb.form->resize(700, 560);
        QVERIFY(wb.form->close());
    }
    QSettings s = Store();
    QCOMPARE(s.value("Settings/AutoTab").toString(), QStringLiteral("0"));
    QCOMPARE(s.value("Settings/AutoFormat").toString(), QStringLiteral("1"));
    QCOMPARE(s.value("Settings/Tabs").toString(), QStringLiteral("4"));
    QCOMPARE(s.value("Font/Style").toString(), QStringLiteral("3"));
    QCOMPARE(s.value("Font/Size").toString(), QStringLiteral("14"));
    QCOMPARE(s.value("Font/CharSet").toString(), QStringLiteral("1"));
    QCOMPARE(s.value("Files/File1").toString(), QStringLiteral("/kurs/A.trk"));
    QCOMPARE(s.value("Files/File2").toString(), QString());
    QCOMPARE(s.value("FormPos/Width").toString(), QStringLiteral("700"));

    TWorkbench again(true);
    QVERIFY(!again.form->Inis.AutoTab);
    QCOMPARE(again.form->Inis.Tabs, 4);
    QCOMPARE(again.form->Inis.HilfeDir, QStringLiteral("/kurs/hilfe.htm"));
    QCOMPARE(again.form->Inis.Files[0], QStringLiteral("/kurs/A.trk"));
    QCOMPARE(again.form->size(), QSize(700, 560));
    TColorMemo* e = again.NewTab(QStringLiteral("Programm.trk"), QString());
    QCOMPARE(e->font().pointSize(), 14);
    QVERIFY(e->font().bold() && e->font().italic() && !e->font().underline());
    QCOMPARE(e->tabStopDistance(), 32.0);
    // The project folder is where the first open dialog starts.
    again.form->Action("Oeffnen1")->trigger();
    QCOMPARE(again.dialogs->shown.at(0).text, QStringLiteral("/kurs/projekte"));
}

void TestSettings::damagedValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("Tabs not a number reads 2") << "Settings/Tabs" << "zwei";
    QTest::newRow("AutoTab empty reads true") << "Settings/AutoTab" << "";
    QTest::newRow("Left without Top: top 30") << "FormPos/Left" << "15";
}

void TestSettings::damagedValues()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    IsolateSettings();
    Store().setValue(key, value);
    TWorkbench wb(true);
    QCOMPARE(wb.form->Inis.Tabs, 2);
    QVERIFY(wb.form->Inis.AutoTab);
    if (key == u"FormPos/Left") {
        QCOMPARE(wb.form->pos(), QPoint(15, 30));
        QCOMPARE(wb.form->size(), QSize(580, 470));  // the stored 30 x 30 is below the minimum
    }
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
