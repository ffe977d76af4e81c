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
    void stringsRoundTrip_data();
    void stringsRoundTrip();
    void tabWidthBounds_data();
    void tabWidthBounds();
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

void TestSettings::stringsRoundTrip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("line");  // as typed into the store's file; empty: written by the workbench
    QTest::addColumn<QString>("value");
    QTest::newRow("typed: comma in a folder name")
        << "Settings/ProjectDir" << QByteArray("ProjectDir=/home/lehrer/Klasse 7a,b") << "/home/lehrer/Klasse 7a,b";
    QTest::newRow("typed: comma and blank in a recent file")
        << "Files/File1" << QByteArray("File1=/kurs/Teil 1, Teil 2.trk") << "/kurs/Teil 1, Teil 2.trk";
    QTest::newRow("typed: several commas in the help file")
        << "Settings/HilfeDir" << QByteArray("HilfeDir=/h/a,b,c.htm") << "/h/a,b,c.htm";
    QTest::newRow("typed: quoted as the store writes it")
        << "Settings/ProjectDir" << QByteArray("ProjectDir=\"/home/x,y\"") << "/home/x,y";
    QTest::newRow("written: comma, quotes and backslash")
        << "Settings/ProjectDir" << QByteArray() << "C:\\Schule\\\"7a,b\"";
    QTest::newRow("written: blanks at both ends and a semicolon")
        << "Files/File2" << QByteArray() << " /kurs/a;b.trk ";
    QTest::newRow("written: leading @ and umlauts") << "Settings/HilfeDir" << QByteArray() << "@Größe/Übung.htm";
}

// A string value comes back as it was, through start, shut-down and the
// next start, however it was written.
void TestSettings::stringsRoundTrip()
{
    QFETCH(QString, key);
    QFETCH(QByteArray, line);
    QFETCH(QString, value);
    IsolateSettings();
    const auto field = [&key](TInis& inis) -> QString& {
        if (key == u"Settings/ProjectDir")
            return inis.ProjectDir;
        if (key == u"Settings/HilfeDir")
            return inis.HilfeDir;
        return inis.Files[key.back().digitValue() - 1];
    };
    if (line.isEmpty()) {
        TWorkbench wb;
        field(wb.form->Inis) = value;
        QVERIFY(wb.form->close());
    } else {
        QFile file(Store().fileName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[" + key.section(u'/', 0, 0).toUtf8() + "]\n" + line + "\n");
    }
    for (int start = 0; start < 2; ++start) {
        TWorkbench wb(true);
        QCOMPARE(field(wb.form->Inis), value);
        QVERIFY(wb.form->close());
    }
    QCOMPARE(Store().value(key).toString(), value);
}

void TestSettings::tabWidthBounds_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<qreal>("pixels");
    QTest::newRow("0: stops at the smallest distance") << "0" << 1.0;
    QTest::newRow("negative: as 0") << "-3" << 1.0;
    QTest::newRow("268435456, whose pixels overflow 32 bits") << "268435456" << 8000.0;
    QTest::newRow("largest 32-bit number") << "2147483647" << 8000.0;
    QTest::newRow("smallest 32-bit number") << "-2147483648" << 1.0;
    QTest::newRow("1000 units still as stored") << "1000" << 8000.0;
}

// Any tab width the store holds gives tab stops the editor can paint; the
// stored value stays as it was typed.
void TestSettings::tabWidthBounds()
{
    QFETCH(QString, stored);
    QFETCH(qreal, pixels);
    IsolateSettings();
    Store().setValue("Settings/Tabs", stored);
    {
        TWorkbench wb(true);
        QCOMPARE(wb.form->Inis.Tabs, stored.toInt());
        TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("\tAusgabe 1\n\t\tx\ty"));
        QCOMPARE(e->tabStopDistance(), pixels);
        QVERIFY(!e->grab().isNull());
        QVERIFY(wb.form->close());
    }
    QCOMPARE(Store().value("Settings/Tabs").toString(), stored);
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
