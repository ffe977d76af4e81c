// The zoom of the whole workbench: its keys and the mouse wheel, the fonts it
// scales and the one it leaves stored, the window on its screen, the store,
// and a program run at a zoom. The test screen is 1280 x 1024, like the
// real-window checks (see projector-screen.json).
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QScreen>
#include <QSettings>
#include <QWheelEvent>

#include "WorkbenchFixture.h"
#include "runtime/Canvas.h"
#include "runtime/RunPanel.h"
#include "runtime/Runner.h"
#include "runtime/ZoomLevels.h"

using namespace tarko;

namespace {

QSettings Store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brimwold"), QStringLiteral("Tarko"));
}

// Every widget's geometry and font, and the window's place.
QStringList Snapshot(const TMainForm& form)
{
    QStringList s{QStringLiteral("window %1,%2 %3x%4")
                      .arg(form.x())
                      .arg(form.y())
                      .arg(form.width())
                      .arg(form.height())};
    for (const QWidget* w : form.findChildren<QWidget*>()) {
        const QRect g = w->geometry();
        s << QStringLiteral("%1/%2 %3,%4 %5x%6 %7")
                 .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName())
                 .arg(g.x())
                 .arg(g.y())
                 .arg(g.width())
                 .arg(g.height())
                 .arg(w->font().toString());
    }
    for (int i = 0; i < TMainForm::TabCount; ++i)
        s << QStringLiteral("tabs %1").arg(form.EditorAt(i)->tabStopDistance());
    return s;
}

void Wheel(QWidget* target, int delta, Qt::KeyboardModifiers mods)
{
    const QPointF pos(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent e(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
}

// Scripted dialogs that also remember the font the font dialog was shown.
struct FontSpy : TScriptedDialogs {
    QFont shown;
    bool ChooseFont(QFont& font) override
    {
        shown = font;
        return TScriptedDialogs::ChooseFont(font);
    }
};

} // namespace

class TestZoom : public QObject {
    Q_OBJECT

private slots:
    void keys_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("to");
        const int ctrl = Qt::ControlModifier;
        const int pad = Qt::ControlModifier | Qt::KeypadModifier;
        QTest::newRow("Ctrl+Plus") << 100 << int(Qt::Key_Plus) << ctrl << 125;
        QTest::newRow("Ctrl+= as on an English keyboard") << 150 << int(Qt::Key_Equal) << ctrl << 200;
        QTest::newRow("Ctrl and the keypad's +") << 200 << int(Qt::Key_Plus) << pad << 250;
        QTest::newRow("Ctrl+Plus at 300 stays") << 300 << int(Qt::Key_Plus) << ctrl << 300;
        QTest::newRow("Ctrl+Minus") << 300 << int(Qt::Key_Minus) << ctrl << 250;
        QTest::newRow("Ctrl and the keypad's -") << 125 << int(Qt::Key_Minus) << pad << 100;
        QTest::newRow("Ctrl+Minus at 100 stays") << 100 << int(Qt::Key_Minus) << ctrl << 100;
        QTest::newRow("Ctrl+0") << 250 << int(Qt::Key_0) << ctrl << 100;
        QTest::newRow("Plus alone types") << 100 << int(Qt::Key_Plus) << 0 << 100;
    }
    // Sent to the editor that has the focus, as a user types them.
    void keys()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, to);
        TWorkbench wb;
        QVERIFY(wb.Active());
        TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
        e->setFocus();
        wb.form->SetZoom(from);
        const QString before = e->toPlainText();
        QTest::keyClick(e, Qt::Key(key), Qt::KeyboardModifiers(mods));
        QCOMPARE(wb.form->Zoom(), to);
        QCOMPARE(wb.form->RunPanel()->Zoom(), std::min(to, 200));   // 250 % does not fit 1024 pixels
        if (mods & Qt::ControlModifier)
            QCOMPARE(e->toPlainText(), before);   // the editor does not see the key
    }

    void wheel_data()
    {
        QTest::addColumn<QString>("over");
        QTest::addColumn<int>("delta");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<int>("to");
        QTest::newRow("Ctrl+wheel up over the editor") << "editor" << 120 << true << 150;
        QTest::newRow("Ctrl+wheel down over the editor") << "editor" << -120 << true << 100;
        QTest::newRow("two notches at once") << "editor" << 240 << true << 200;
        QTest::newRow("half a notch of a touch pad") << "editor" << 60 << true << 125;
        QTest::newRow("over the console") << "console" << 120 << true << 150;
        QTest::newRow("over a key") << "key" << 120 << true << 150;
        QTest::newRow("over the device") << "device" << -120 << true << 100;
        QTest::newRow("wheel without Ctrl scrolls") << "editor" << 120 << false << 125;
        QTest::newRow("Ctrl+wheel over the message line") << "message" << 120 << true << 125;
    }
    void wheel()
    {
        QFETCH(QString, over);
        QFETCH(int, delta);
        QFETCH(bool, ctrl);
        QFETCH(int, to);
        TWorkbench wb;
        QVERIFY(wb.Active());
        TColorMemo* e = wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
        wb.form->SetZoom(125);
        TRunPanel* panel = wb.form->RunPanel();
        QWidget* target = over == u"editor"    ? e->viewport()
                          : over == u"console" ? panel->RunMemo()->viewport()
                          : over == u"key"     ? static_cast<QWidget*>(panel->Key('5'))
                          : over == u"device"  ? static_cast<QWidget*>(panel)
                                               : static_cast<QWidget*>(wb.form->MessageLine());
        Wheel(target, delta, ctrl ? Qt::ControlModifier : Qt::NoModifier);
        QCOMPARE(wb.form->Zoom(), to);
    }

    // The editors and the console scale; the stored font, the font dialog
    // and the tab width setting keep their own values.
    void fonts()
    {
        IsolateSettings();
        auto spy = std::make_unique<FontSpy>();
        FontSpy* dialogs = spy.get();
        TMainForm form(std::move(spy));
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.OpenTab(QStringLiteral("Programm.trk"));
        const QFont stored = form.Inis.Font;
        form.SetZoom(200);
        for (int i = 0; i < TMainForm::TabCount; ++i) {
            QCOMPARE(form.EditorAt(i)->font().pointSizeF(), 2 * stored.pointSizeF());
            QCOMPARE(form.EditorAt(i)->font().family(), stored.family());
        }
        QCOMPARE(form.CurrentEditor()->tabStopDistance(), 2.0 * form.Inis.Tabs * 8);
        QCOMPARE(form.RunPanel()->RunMemo()->font().pixelSize(), 24);
        QCOMPARE(form.Inis.Font, stored);

        // the dialog shows the chosen size; the choice is stored unzoomed
        QFont chosen = stored;
        chosen.setPointSize(12);
        dialogs->fonts.push_back(chosen);
        form.Font1Click();
        QCOMPARE(dialogs->shown.pointSizeF(), stored.pointSizeF());
        QCOMPARE(form.Inis.Font.pointSize(), 12);
        QCOMPARE(form.CurrentEditor()->font().pointSize(), 24);
        form.SetZoom(100);
        QCOMPARE(form.CurrentEditor()->font().pointSize(), 12);
        QCOMPARE(form.CurrentEditor()->tabStopDistance(), form.Inis.Tabs * 8.0);
        form.CurrentEditor()->document()->setModified(false);
    }

    // Zooming through every level and back to 100 % gives back every size,
    // place and font of the window exactly.
    void backTo100RestoresEverything()
    {
        TWorkbench wb;
        QVERIFY(wb.Active());
        wb.NewTab(QStringLiteral("Programm.trk"), QStringLiteral("Ausgabe 1"));
        const QStringList before = Snapshot(*wb.form);
        for (int z : ZoomLevels)
            wb.form->SetZoom(z);
        wb.form->SetZoom(150);
        QVERIFY(Snapshot(*wb.form) != before);
        QTest::keyClick(wb.form->CurrentEditor(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(Snapshot(*wb.form), before);
    }

    // The window grows, also from near the screen's corner, but stays on
    // the screen with the whole device, and the editors keep some room.
    void windowOnItsScreen_data()
    {
        QTest::addColumn<int>("zoom");
        for (int z : ZoomLevels)
            QTest::newRow(qPrintable(QStringLiteral("%1 %").arg(z))) << z;
    }
    void windowOnItsScreen()
    {
        QFETCH(int, zoom);
        TWorkbench wb;
        QVERIFY(wb.Active());
        const QRect avail = wb.form->screen()->availableGeometry();
        QCOMPARE(avail.size(), QSize(1280, 1024));
        const QSize designSize = wb.form->size();
        wb.form->move(500, 400);   // from 125 % on, growing would cross the screen's edge
        wb.form->SetZoom(zoom);
        QVERIFY(avail.contains(wb.form->frameGeometry()));
        QVERIFY(wb.form->width() >= designSize.width() && wb.form->height() >= designSize.height());
        TRunPanel* panel = wb.form->RunPanel();
        // the device shrinks below the zoom only where it would not fit
        QVERIFY(panel->Zoom() <= zoom);
        if (zoom <= 200)
            QCOMPARE(panel->Zoom(), zoom);
        const QRect device(panel->mapTo(wb.form.get(), QPoint(0, 0)), panel->size());
        const QRect client(wb.form->centralWidget()->geometry());
        QVERIFY(client.contains(device));
        QVERIFY(wb.form->EditPanel()->width() >= 100);
    }

    // The store gets "Ansicht/Zoom" only once the window was zoomed.
    void storedZoom()
    {
        {
            TWorkbench wb;
            QVERIFY(wb.form->close());
            QVERIFY(!Store().childGroups().contains(QStringLiteral("Ansicht")));
        }
        {
            TWorkbench wb(true);
            wb.form->SetZoom(200);
            QVERIFY(wb.form->close());
            QCOMPARE(Store().value(QStringLiteral("Ansicht/Zoom")).toString(), QStringLiteral("200"));
            QCOMPARE(Store().value(QStringLiteral("Font/Size")).toString(), QStringLiteral("10"));
        }
        {
            TWorkbench wb(true);
            QCOMPARE(wb.form->Zoom(), 200);
            QCOMPARE(wb.form->RunPanel()->Zoom(), 200);
            QCOMPARE(wb.form->Inis.Font.pointSize(), 10);
            QCOMPARE(wb.form->EditorAt(0)->font().pointSize(), 20);
            wb.form->SetZoom(100);
            QVERIFY(wb.form->close());
            QCOMPARE(Store().value(QStringLiteral("Ansicht/Zoom")).toString(), QStringLiteral("100"));
        }
    }

    void storedValues_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("zoom");
        QTest::newRow("a level") << "250" << 250;
        QTest::newRow("between levels") << "175" << 150;
        QTest::newRow("too large") << "900" << 300;
        QTest::newRow("too small") << "20" << 100;
        QTest::newRow("not a number") << "gross" << 100;
        QTest::newRow("empty") << "" << 100;
    }
    void storedValues()
    {
        QFETCH(QString, stored);
        QFETCH(int, zoom);
        IsolateSettings();
        Store().setValue(QStringLiteral("Ansicht/Zoom"), stored);
        TWorkbench wb(true);
        QCOMPARE(wb.form->Zoom(), zoom);
    }

    // A zoom read from the store at start-up gives the window that zooming
    // by keys gives from the design size: the editor keeps its room.
    void storedZoomSizesWindowAsKeys_data()
    {
        QTest::addColumn<int>("zoom");
        for (int z : ZoomLevels)
            QTest::newRow(qPrintable(QStringLiteral("%1 %").arg(z))) << z;
    }
    void storedZoomSizesWindowAsKeys()
    {
        QFETCH(int, zoom);
        QSize byKeys;
        int editWidthByKeys = 0, deviceByKeys = 0;
        {
            TWorkbench wb;
            QVERIFY(wb.Active());
            wb.form->SetZoom(zoom);
            byKeys = wb.form->size();
            editWidthByKeys = wb.form->EditPanel()->width();
            deviceByKeys = wb.form->RunPanel()->Zoom();
        }
        IsolateSettings();
        Store().setValue(QStringLiteral("Ansicht/Zoom"), QString::number(zoom));
        TWorkbench wb(true);
        QVERIFY(wb.Active());
        QCOMPARE(wb.form->size(), byKeys);
        QCOMPARE(wb.form->EditPanel()->width(), editWidthByKeys);
        QCOMPARE(wb.form->RunPanel()->Zoom(), deviceByKeys);
        QVERIFY(wb.form->screen()->availableGeometry().contains(wb.form->frameGeometry()));
    }

    // A run at 200 %: a point is a crisp 2 x 2 block at its place on the
    // enlarged screen.
    void runAtZoom()
    {
        TWorkbench wb;
        QVERIFY(wb.Active());
        wb.NewTab(QStringLiteral("Programm.trk"),
                  QStringLiteral("Rot\nPunkt (5; 0)\nRechteck (-10; 10) (-9; 9)"));
        wb.form->SetZoom(200);
        TRunPanel* panel = wb.form->RunPanel();
        QCOMPARE(panel->Zoom(), 200);
        wb.Press(Qt::Key_F9);
        QVERIFY(!wb.stoppedByWatchdog);
        QVERIFY(!panel->ConsoleVisible());
        const QImage shown = panel->RunImage()->grab().toImage();
        QCOMPARE(shown.size(), QSize(400, 400));
        // Punkt (5; 0) is canvas column 150, row 99
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                QCOMPARE(shown.pixel(300 + dx, 198 + dy) & 0xFFFFFF, 0xFF0000u);
        for (const QPoint around : {QPoint(299, 198), QPoint(302, 199), QPoint(300, 197), QPoint(301, 200)})
            QCOMPARE(shown.pixel(around) & 0xFFFFFF, 0u);
        // the rectangle covers canvas columns 0 to 9 and rows 0 to 8 (its top
        // edge, row -1, lies above the image): 20 x 18 pixels
        QCOMPARE(shown.pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
        QCOMPARE(shown.pixel(19, 17) & 0xFFFFFF, 0xFF0000u);
        QCOMPARE(shown.pixel(20, 17) & 0xFFFFFF, 0u);
        QCOMPARE(shown.pixel(19, 18) & 0xFFFFFF, 0u);
        QCOMPARE(panel->PanelCanvas().image().size(), QSize(200, 200));
    }

    // Zoomed, the screen's menu opens all over the enlarged screen and saves
    // the picture as shown; the 200 x 200 one has an entry of its own then.
    void savedPicture()
    {
        TWorkbench wb;
        QVERIFY(wb.Active());
        QTemporaryDir dir;
        wb.NewTab(dir.filePath(QStringLiteral("Kreis.trk")), QStringLiteral("Rot\nKreis (0; 0; 3)"));
        wb.form->SetZoom(200);
        wb.Press(Qt::Key_F9);
        QCOMPARE(wb.form->RunState(), 1);
        TRunPanel* panel = wb.form->RunPanel();
        QMenu* menu = wb.form->ScreenMenu();

        const QPoint corner(390, 390);   // near the lower right of the enlarged screen
        QContextMenuEvent right(QContextMenuEvent::Mouse, corner, panel->RunImage()->mapToGlobal(corner));
        QApplication::sendEvent(panel->RunImage(), &right);
        QVERIFY(menu->isVisible());
        menu->hide();

        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[1]->text(), QStringLiteral("Bild in Originalgröße speichern unter..."));
        const QString big = dir.filePath(QStringLiteral("gross.png"));
        const QString small = dir.filePath(QStringLiteral("klein.png"));
        wb.dialogs->fileNames.push_back(big);
        items[0]->trigger();
        wb.dialogs->fileNames.push_back(small);
        items[1]->trigger();
        QCOMPARE(wb.dialogs->shown.back().text, dir.filePath(QStringLiteral("Kreis.png")));
        QCOMPARE(QImage(big).convertToFormat(QImage::Format_RGB32),
                 panel->RunImage()->grab().toImage().convertToFormat(QImage::Format_RGB32));
        QCOMPARE(QImage(small).convertToFormat(QImage::Format_RGB32), panel->PanelCanvas().image());
        QCOMPARE(QImage(small).pixelColor(100, 99), QColor(Qt::red));

        wb.form->SetZoom(100);
        QCOMPARE(menu->actions().size(), 2);
    }
};

QTEST_MAIN(TestZoom)
#include "test_zoom.moc"
