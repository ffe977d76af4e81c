// The settings store: defaults on a first start, what shut-down writes and
// the next start reads back, damaged values.
#include <QScreen>
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
    void fontNameRoundTrip();
    void tabWidthBounds_data();
    void tabWidthBounds();
    void storedGeometryIsBroughtOnScreen_data();
    void storedGeometryIsBroughtOnScreen();
    void fitWindowRect_data();
    void fitWindowRect();
    void fontSizeForDrawing_data();
    void fontSizeForDrawing();
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

// The font's name is a string like the others: a comma in it (typed by
// hand or by another tool) is no list of names.
void TestSettings::fontNameRoundTrip()
{
    IsolateSettings();
    {
        QFile file(Store().fileName());
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Font]\nName=Courier New, Mono\nSize=12\n");
    }
    for (int start = 0; start < 2; ++start) {
        TWorkbench wb(true);
        QCOMPARE(wb.form->Inis.Font.pointSize(), 12);
        QVERIFY(wb.form->close());
    }
    QCOMPARE(Store().value(QStringLiteral("Font/Name")).toString(), QStringLiteral("Courier New, Mono"));
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

// What the offscreen screen offers; the rows are written against it.
static QRect Area() { return QGuiApplication::primaryScreen()->availableGeometry(); }

void TestSettings::storedGeometryIsBroughtOnScreen_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<QRect>("shown");
    const QRect a = Area();
    QTest::newRow("sane values stay as they are") << QRect(40, 50, 600, 500) << QRect(40, 50, 600, 500);
    QTest::newRow("giant window shrinks to the screen")
        << QRect(-50000, -50000, 100000, 100000) << a;
    QTest::newRow("window off every screen comes back")
        << QRect(5000, 5000, 600, 500) << QRect(a.right() + 1 - 600, a.bottom() + 1 - 500, 600, 500);
    QTest::newRow("window above and left of the screen comes back")
        << QRect(-900, -700, 600, 500) << QRect(a.left(), a.top(), 600, 500);
    QTest::newRow("too small: the minimum size") << QRect(10, 10, 30, 30) << QRect(10, 10, 580, 470);
    QTest::newRow("negative size: the minimum size") << QRect(0, 0, -5, -5) << QRect(0, 0, 580, 470);
}

void TestSettings::storedGeometryIsBroughtOnScreen()
{
    QFETCH(QRect, stored);
    QFETCH(QRect, shown);
    IsolateSettings();
    {
        QSettings s = Store();
        s.setValue("FormPos/Left", QString::number(stored.x()));
        s.setValue("FormPos/Top", QString::number(stored.y()));
        s.setValue("FormPos/Width", QString::number(stored.width()));
        s.setValue("FormPos/Height", QString::number(stored.height()));
    }
    {
        TWorkbench wb(true);
        QCOMPARE(QRect(wb.form->pos(), wb.form->size()), shown);
        QVERIFY(wb.form->close());
    }
    // Shut-down writes back what was shown, not the wild values.
    QSettings s = Store();
    QCOMPARE(QRect(s.value("FormPos/Left").toInt(), s.value("FormPos/Top").toInt(), s.value("FormPos/Width").toInt(),
                   s.value("FormPos/Height").toInt()),
             shown);
}

void TestSettings::fitWindowRect_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<QList<QRect>>("areas");
    QTest::addColumn<QRect>("fitted");
    const QList<QRect> two{QRect(0, 0, 1280, 1000), QRect(1280, 0, 1024, 740)};
    QTest::newRow("inside the second screen: unchanged") << QRect(1300, 20, 700, 600) << two << QRect(1300, 20, 700, 600);
    QTest::newRow("across both: onto the one it overlaps most")
        << QRect(1000, 100, 700, 600) << two << QRect(1280, 100, 700, 600);
    QTest::newRow("off both: onto the first") << QRect(-3000, 5000, 700, 600) << two << QRect(0, 1000 - 600, 700, 600);
    QTest::newRow("too high for the second: shrunk to it")
        << QRect(1400, 0, 700, 900) << two << QRect(1400, 0, 700, 740);
    QTest::newRow("screen smaller than the minimum: its top left, minimum size")
        << QRect(100, 100, 800, 600) << QList<QRect>{QRect(0, 0, 320, 240)} << QRect(0, 0, 580, 470);
    QTest::newRow("no screen known: unchanged") << QRect(7, 8, 900, 700) << QList<QRect>{} << QRect(7, 8, 900, 700);
}

void TestSettings::fitWindowRect()
{
    QFETCH(QRect, stored);
    QFETCH(QList<QRect>, areas);
    QFETCH(QRect, fitted);
    QCOMPARE(FitWindowRect(stored, areas, QSize(580, 470)), fitted);
}

void TestSettings::fontSizeForDrawing_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("drawn");
    QTest::newRow("100000 is drawn at 72") << "100000" << 72;
    QTest::newRow("72 stays") << "72" << 72;
    QTest::newRow("14 stays") << "14" << 14;
    QTest::newRow("1 is drawn at 6") << "1" << 6;
}

void TestSettings::fontSizeForDrawing()
{
    QFETCH(QString, stored);
    QFETCH(int, drawn);
    IsolateSettings();
    Store().setValue("Font/Size", stored);
    {
        TWorkbench wb(true);
        TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
        QCOMPARE(e->font().pointSize(), drawn);
        // A line of text fits into the editor of the smallest window.
        QVERIFY(e->fontMetrics().height() < 200);
        QVERIFY(wb.form->close());
    }
    // The stored value itself is kept.
    QCOMPARE(Store().value("Font/Size").toString(), stored);
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
