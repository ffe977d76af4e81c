// The zoom for the projector: one level for the whole window, stepped with
// Ctrl+Plus, Ctrl+Minus and Ctrl+0 or Ctrl and the mouse wheel over an
// editor or the device. It scales the editors' and the console's font and
// the whole device; the stored font and the font dialog keep the unzoomed
// size. At 100 % everything is the design size.
#include <QAction>
#include <algorithm>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QWheelEvent>

#include "editor/ColMemo.h"
#include "runtime/RunPanel.h"
#include "runtime/ZoomLevels.h"
#include "workbench/MainForm.h"

namespace tarko {

namespace {
constexpr int WheelStep = 120;   // one notch of a mouse wheel
constexpr int MinEditWidth = 100;
} // namespace

void TMainForm::CreateZoomActions()
{
    // Not in a menu (the menus stay as they are); the keys work in the
    // whole window. The keypad's + and - reach the same shortcuts, since Qt
    // tries a keypad key again without its keypad modifier.
    struct Entry {
        const char* name;
        QList<QKeySequence> keys;
        int direction;
    };
    const Entry entries[] = {
        {"ZoomIn", {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus)}, 1},
        {"ZoomOut", {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, -1},
        {"ZoomReset", {QKeySequence(Qt::CTRL | Qt::Key_0)}, 0},
    };
    for (const Entry& e : entries) {
        auto* a = new QAction(this);
        a->setObjectName(QString::fromLatin1(e.name));
        a->setShortcuts(e.keys);
        a->setShortcutContext(Qt::WindowShortcut);
        const int direction = e.direction;
        connect(a, &QAction::triggered, this, [this, direction] { StepZoomBy(direction); });
        addAction(a);
        zoomActions_.append(a);
    }
    // The screen menu saves the enlarged picture while zoomed; this entry,
    // shown only then, keeps the 200 x 200 one at hand.
    OnIdle(AddAction(nullptr, QStringLiteral("BildOriginal1"), QStringLiteral("Bild in Originalgröße speichern unter...")),
           &TMainForm::BildOriginal1Click);
}

void TMainForm::StepZoomBy(int direction)
{
    SetZoom(direction == 0 ? NoZoom : StepZoom(zoom_, direction));
}

QFont TMainForm::ZoomedEditorFont() const
{
    QFont f = EditorDrawingFont(Inis.Font);
    if (zoom_ == NoZoom)
        return f;
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * zoom_ / 100.0);
    else if (f.pixelSize() > 0)
        f.setPixelSize(Zoomed(f.pixelSize(), zoom_));
    return f;
}

// The editors' font as the user chose it, for the font dialog.
QFont TMainForm::UnzoomedEditorFont() const
{
    QFont f = editors_[0]->font();
    if (zoom_ != NoZoom) {
        const QFont drawn = EditorDrawingFont(Inis.Font);
        if (drawn.pointSizeF() > 0)
            f.setPointSizeF(drawn.pointSizeF());
        else if (drawn.pixelSize() > 0)
            f.setPixelSize(drawn.pixelSize());
    }
    return f;
}

int TMainForm::ZoomedTabStopPixels() const
{
    return Zoomed(TabStopPixels(Inis.Tabs), zoom_);
}

// Menu bar, tool bar, status bar and the window frame: what the window
// needs beside the device's height.
int TMainForm::ChromeHeight() const
{
    const int frame = frameGeometry().height() - geometry().height();
    return frame + menuBar()->sizeHint().height() + (toolBar_ ? toolBar_->sizeHint().height() : 0) +
           statusBar()->height();
}

// The device's zoom: the window's zoom, or the highest smaller level at
// which the whole device still fits the screen the window is on, so that no
// key is ever out of reach.
int TMainForm::DeviceZoom() const
{
    const QScreen* s = screen();
    if (zoom_ == NoZoom || !s)
        return zoom_;
    const QRect avail = s->availableGeometry();
    const int frameWidth = frameGeometry().width() - geometry().width();
    int level = zoom_;
    while (level > NoZoom && (Zoomed(TRunPanel::PanelHeight, level) + ChromeHeight() > avail.height() ||
                              Zoomed(RunPanelWidth, level) + MinEditWidth + frameWidth > avail.width()))
        level = StepZoom(level, -1);
    return level;
}

int TMainForm::RunPanelWidthNow() const
{
    return Zoomed(RunPanelWidth, runPanel_->Zoom());
}

// The window grows with the zoom as far as the screen it is on allows and
// keeps inside that screen. Back at 100 % it takes again the place it had
// before zooming, unless the user has resized it in between.
void TMainForm::SetZoom(int percent)
{
    ApplyZoom(percent, true);
}

// scaleWindow false (a zoom from the store): a place stored at that zoom is
// kept. The window grows to hold the device and to at least the design size
// zoomed, the size zooming by keys gives from the design size; a store with
// no place, or one written before zooming, gets the same window as the keys.
void TMainForm::ApplyZoom(int percent, bool scaleWindow)
{
    percent = ZoomLevelOf(percent);
    if (percent == zoom_)
        return;
    if (zoom_ == NoZoom)
        unzoomedGeometry_ = geometry();
    const bool untouched = zoom_ == NoZoom ? scaleWindow : geometry() == zoomedGeometry_;
    zoom_ = percent;
    Inis.Zoom = percent;
    ApplyEditorFont();
    ApplyDeviceZoom();
    if (zoom_ == NoZoom) {
        if (untouched)
            setGeometry(unzoomedGeometry_);
    } else {
        PlaceZoomedWindow(untouched, !scaleWindow);
        // Before the first show the window's frame is not known yet.
        refitOnShow_ = !scaleWindow && !isVisible();
    }
    FormResize();
}

void TMainForm::ApplyDeviceZoom()
{
    runPanel_->SetZoom(DeviceZoom());
    if (QAction* original = actions_.value(QStringLiteral("BildOriginal1")); original && screenMenu_) {
        screenMenu_->removeAction(original);
        if (runPanel_->Zoom() != NoZoom)   // the screen shows the picture enlarged
            screenMenu_->insertAction(actions_.value(QStringLiteral("AusgabeKopieren1")), original);
    }
}

// The window's place at the zoom: grown by the zoom when it was untouched,
// at least the design size zoomed for a zoom from the store, always with
// room for the whole device beside an editor, and inside its screen.
void TMainForm::PlaceZoomedWindow(bool untouched, bool fromStore)
{
    QSize want = untouched ? unzoomedGeometry_.size() * (zoom_ / 100.0) : size();
    if (fromStore)
        want = want.expandedTo(QSize(DesignWidth, DesignHeight) * (zoom_ / 100.0));
    want = want.expandedTo(QSize(Zoomed(RunPanelWidth, runPanel_->Zoom()) + MinEditWidth,
                                 Zoomed(TRunPanel::PanelHeight, runPanel_->Zoom()) + ChromeHeight() -
                                     (frameGeometry().height() - geometry().height())));
    QRect place(geometry().topLeft(), want);
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        const QSize frame = frameGeometry().size() - geometry().size();
        const QPoint inset = geometry().topLeft() - frameGeometry().topLeft();
        place.setSize(place.size().boundedTo(avail.size() - frame));
        // the frame's top-left corner inside the available area
        QPoint corner = place.topLeft() - inset;
        corner.setX(std::clamp(corner.x(), avail.left(), avail.right() + 1 - place.width() - frame.width()));
        corner.setY(std::clamp(corner.y(), avail.top(), avail.bottom() + 1 - place.height() - frame.height()));
        place.moveTopLeft(corner + inset);
    }
    setGeometry(place);
    zoomedGeometry_ = geometry();
}

// A zoom from the store was fitted to the screen before the window had a
// frame; unless the window was moved or resized meanwhile, fit it again
// now that the frame is known, so that frame and device stay on the screen.
void TMainForm::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!refitOnShow_)
        return;
    refitOnShow_ = false;
    if (zoom_ == NoZoom || geometry() != zoomedGeometry_)
        return;
    ApplyDeviceZoom();
    PlaceZoomedWindow(false, true);
    FormResize();
}

// Ctrl and the mouse wheel over an editor or the device steps the zoom;
// returns true when the event was used. Small steps of a touch pad add up
// to one notch.
bool TMainForm::ZoomWheel(QObject* watched, QEvent* e)
{
    if (e->type() != QEvent::Wheel || !watched->isWidgetType())
        return false;
    auto* wheel = static_cast<QWheelEvent*>(e);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    auto* w = static_cast<QWidget*>(watched);
    bool over = runPanel_->isAncestorOf(w) || w == runPanel_;
    for (TColorMemo* editor : editors_)
        over = over || editor == w || editor->isAncestorOf(w);
    if (!over)
        return false;
    wheelRest_ += wheel->angleDelta().y();
    while (wheelRest_ >= WheelStep) {
        wheelRest_ -= WheelStep;
        StepZoomBy(1);
    }
    while (wheelRest_ <= -WheelStep) {
        wheelRest_ += WheelStep;
        StepZoomBy(-1);
    }
    e->accept();
    return true;
}

} // namespace tarko
