// The device at every zoom level: the canvas shown without smoothing, the keys where the mouse finds them, and 100 % exactly as
// before zooming.
#include <QPushButton>
#include <QTest>
#include <set>

#include "editor/ColMemo.h"
#include "runtime/Canvas.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"
#include "runtime/ZoomLevels.h"

using namespace tarko;

namespace {

const char KeyChars[] = "0123456789,-CO";

// Every child's geometry and font, and the panel's own size.
QStringList Snapshot(const TRunPanel& p)
{
    QStringList s{QStringLiteral("panel %1x%2").arg(p.width()).arg(p.height())};
    for (const QWidget* w : p.findChildren<QWidget*>()) {
        const QRect g = w->geometry();
        s << QStringLiteral("%1 %2,%3 %4x%5 %6")
                 .arg(w->objectName())
                 .arg(g.x())
                 .arg(g.y())
                 .arg(g.width())
                 .arg(g.height())
                 .arg(w->font().toString());
    }
    return s;
}

} // namespace

class TestDeviceZoom : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        StopRequested = false;
        InputDone = false;
    }

    // Screen, keys and device scale together; what meets at 100 % still meets.
    void layoutScales_data()
    {
        QTest::addColumn<int>("zoom");
        for (int z : ZoomLevels)
            QTest::newRow(qPrintable(QStringLiteral("%1 %").arg(z))) << z;
    }
    void layoutScales()
    {
        QFETCH(int, zoom);
        TRunPanel p;
        QList<QRect> designKeys;
        for (const char* k = KeyChars; *k; ++k)
            designKeys << p.Key(*k)->geometry();
        p.SetZoom(zoom);
        QCOMPARE(p.Zoom(), zoom);
        QCOMPARE(p.size(), QSize(Zoomed(TRunPanel::PanelWidth, zoom), Zoomed(TRunPanel::PanelHeight, zoom)));
        const QRect screen(Zoomed(62, zoom), Zoomed(76, zoom), 2 * zoom, 2 * zoom);
        QCOMPARE(p.RunMemo()->geometry(), screen);
        QCOMPARE(p.RunImage()->geometry(), screen);
        QCOMPARE(p.RunMemo()->font().pixelSize(), Zoomed(12, zoom));
        for (int i = 0; KeyChars[i]; ++i) {
            QPushButton* key = p.Key(KeyChars[i]);
            QCOMPARE(key->geometry(), Zoomed(designKeys[i], zoom));
            QCOMPARE(key->font().pixelSize(), Zoomed(12, zoom));
            QVERIFY(p.rect().contains(key->geometry()));
            QVERIFY(!key->geometry().intersects(screen));
        }
        // the device picture: the console on the screen, the light-blue
        // frame around it, the orange body around that
        const QImage shot = p.grab().toImage();
        QCOMPARE(shot.size(), p.size());
        QCOMPARE(shot.pixel(screen.center()) & 0xFFFFFF, 0x00FFFFu);
        QCOMPARE(shot.pixelColor(Zoomed(55, zoom), Zoomed(150, zoom)), QColor(150, 200, 240));
        QVERIFY(shot.pixelColor(Zoomed(30, zoom), Zoomed(200, zoom)).red() > 180);
    }

    // Every displayed pixel is exactly one canvas pixel: no smoothing, no
    // column or row lost. Each canvas pixel has its own colour (its column in
    // red, its row in green, a checkerboard in blue) so that a blend of two
    // neighbours shows.
    void canvasShownPixelExact_data() { layoutScales_data(); }
    void canvasShownPixelExact()
    {
        QFETCH(int, zoom);
        TRunPanel p;
        p.SetZoom(zoom);
        p.ShowGraphics();
        Canvas& c = p.PanelCanvas();
        for (int row = 0; row < Canvas::Size; ++row)
            for (int col = 0; col < Canvas::Size; ++col) {
                c.SetPenColor(QColor(col, row, (col + row) % 2 ? 255 : 0));
                c.Point(col, row);
            }
        QCOMPARE(c.image().size(), QSize(200, 200));
        const QImage shown = p.RunImage()->grab().toImage();
        QCOMPARE(shown.size(), QSize(2 * zoom, 2 * zoom));
        std::set<int> columns, rows;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QColor px = shown.pixelColor(x, y);
                const int col = px.red(), row = px.green();
                if (px.blue() != ((col + row) % 2 ? 255 : 0))
                    QFAIL(qPrintable(QStringLiteral("blended pixel at %1,%2").arg(x).arg(y)));
                // the canvas pixel under the screen pixel, give or take the rounding
                if (std::abs(col * zoom - x * 100) > zoom || std::abs(row * zoom - y * 100) > zoom)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 shows canvas %3,%4").arg(x).arg(y).arg(col).arg(row)));
                columns.insert(col);
                rows.insert(row);
            }
        QCOMPARE(p.ShownPicture(), shown.convertToFormat(QImage::Format_RGB32));
        QCOMPARE(int(columns.size()), 200);
        QCOMPARE(int(rows.size()), 200);
        // at whole-number zooms a canvas pixel is a square of zoom/100 pixels
        if (zoom % 100 == 0) {
            const int s = zoom / 100;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    if (shown.pixelColor(x, y) != c.image().pixelColor(x / s, y / s))
                        QFAIL(qPrintable(QStringLiteral("pixel %1,%2 not in its square").arg(x).arg(y)));
        }
    }

    // The mouse finds each key where it is drawn, and a click there types.
    void keysUnderTheMouse_data() { layoutScales_data(); }
    void keysUnderTheMouse()
    {
        QFETCH(int, zoom);
        TRunPanel p;
        p.SetZoom(zoom);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        p.SetInputMode(true);
        for (const char k : {'4', '7', ',', '5', 'C', '2'}) {
            QPushButton* key = p.Key(k);
            const QPoint centre = key->geometry().center();
            QCOMPARE(p.childAt(centre), key);
            QTest::mouseClick(key, Qt::LeftButton, {}, key->mapFrom(&p, centre));
        }
        QCOMPARE(QString::fromStdString(p.InputText()), QStringLiteral("47,2"));
        QVERIFY(p.Key('O')->isEnabled());
        QTest::mouseClick(p.Key('O'), Qt::LeftButton);
        QVERIFY(InputDone);
        QCOMPARE(p.InputValue(), 47.2);
    }

    // Zooming in and back leaves every geometry, font and pixel as it was.
    void backTo100IsTheDesign()
    {
        TRunPanel fresh;
        const QStringList design = Snapshot(fresh);
        const QImage designPicture = fresh.grab().toImage();
        TRunPanel p;
        for (int z : ZoomLevels)
            p.SetZoom(z);
        p.SetZoom(150);
        p.SetZoom(100);
        QCOMPARE(Snapshot(p), design);
        QCOMPARE(p.grab().toImage(), designPicture);
    }
};

QTEST_MAIN(TestDeviceZoom)
#include "test_devicezoom.moc"
