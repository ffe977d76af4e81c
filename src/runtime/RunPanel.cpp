#include "runtime/RunPanel.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextDocumentLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <vector>


#include "editor/ColMemo.h"
#include "editor/WinText.h"
#include "language/NumberText.h"
#include "runtime/Canvas.h"
#include "runtime/ConsoleLines.h"
#include "runtime/ConsoleWrap.h"
#include "runtime/NumberEntry.h"
#include "runtime/OutputSpeech.h"
#include "runtime/Runner.h"
#include "runtime/ZoomLevels.h"

namespace tarko {

namespace {

// The part `area` of the canvas image enlarged to `zoom` percent without
// smoothing: the pixel x shows the canvas column x * 100 / zoom, rounded down.
QImage Enlarged(const QImage& img, const QRect& area, int zoom)
{
    QImage part(area.size(), QImage::Format_RGB32);
    const QImage src = img.convertToFormat(QImage::Format_RGB32);
    std::vector<int> column(size_t(area.width()));
    for (int x = 0; x < area.width(); ++x)
        column[size_t(x)] = std::min((area.left() + x) * 100 / zoom, src.width() - 1);
    for (int y = 0; y < area.height(); ++y) {
        const int row = std::min((area.top() + y) * 100 / zoom, src.height() - 1);
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(row));
        auto* out = reinterpret_cast<QRgb*>(part.scanLine(y));
        for (int x = 0; x < area.width(); ++x)
            out[x] = in[column[size_t(x)]];
    }
    return part;
}

} // namespace

// The image control: shows the canvas image at its top-left corner, unscaled
// at 100 % and otherwise enlarged without smoothing: the screen pixel x shows
// the canvas column x * 100 / zoom (rounded down), so every canvas pixel is
// a sharp block of one colour and a part of the screen repaints exactly as
// the whole would.
class TRunImage : public QWidget {
public:
    TRunImage(QWidget* parent, const Canvas& canvas) : QWidget(parent), canvas_(canvas)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    int zoom = 100;

    // The screen pixels that show the canvas pixels of `r`.
    QRect ShownArea(const QRect& r) const
    {
        auto from = [this](int c) { return c * zoom / 100; };
        auto to = [this](int c) { return ((c + 1) * zoom + 99) / 100; };   // exclusive
        return QRect(QPoint(from(r.left()), from(r.top())), QPoint(to(r.right()) - 1, to(r.bottom()) - 1));
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        updatePending_ = false;
        QPainter p(this);
        const QImage& img = canvas_.image();
        if (zoom == 100) {
            p.drawImage(0, 0, img);
            return;
        }
        const QRect area = e->rect() & rect();
        if (area.isEmpty() || img.isNull())
            return;
        p.drawImage(area.topLeft(), Enlarged(img, area, zoom));
    }

public:
    // The canvas changed. Drawing loops change it once per point; asking for
    // a repaint costs more than drawing the point, so it is asked for once
    // until the repaint has happened (which paints every change since).
    void CanvasChanged()
    {
        if (updatePending_ && isVisible())
            return;
        updatePending_ = true;
        update();
    }

private:
    const Canvas& canvas_;
    bool updatePending_ = false;
};

namespace {

constexpr QRect ScreenRect(62, 76, 200, 200);

struct KeyPlace {
    char key;
    const char* caption;
    const char* name;
    int left, top, width, height;
};

// The keypad: digits 1..9, 0 in an arc under the screen, then C, OK, -, ",".
constexpr KeyPlace KeyPlaces[] = {
    {'1', "1", "B1", 52, 295, 16, 19},   {'2', "2", "B2", 74, 300, 16, 20},
    {'3', "3", "B3", 96, 304, 16, 19},   {'4', "4", "B4", 118, 306, 16, 20},
    {'5', "5", "B5", 140, 310, 16, 21},  {'6', "6", "B6", 162, 310, 16, 21},
    {'7', "7", "B7", 184, 307, 16, 20},  {'8', "8", "B8", 206, 304, 16, 19},
    {'9', "9", "B9", 228, 300, 16, 21},  {'0', "0", "B0", 250, 295, 16, 19},
    {'C', "C", "BC", 97, 334, 20, 18},   {'O', "OK", "BOK", 142, 340, 33, 18},
    {'-', "-", "BM", 200, 336, 16, 18},  {',', ",", "BK", 222, 330, 16, 18},
};
constexpr int KeyCount = sizeof KeyPlaces / sizeof KeyPlaces[0];

constexpr int RepaintMs = 15;

const QColor IdleConsole(0, 223, 223);
const QColor RunningConsole(0, 255, 255);

// The device: an orange hand-held with a speaker slot, a black screen in a
// light-blue frame, and a keypad area below the screen. Drawn at the zoom
// rather than scaled from the 100 % picture, so its edges stay sharp.
QPixmap DevicePicture(int zoom)
{
    QPixmap pm(Zoomed(TRunPanel::PanelWidth, zoom), Zoomed(TRunPanel::PanelHeight, zoom));
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    if (zoom != NoZoom)
        p.scale(zoom / 100.0, zoom / 100.0);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient body(0, 0, TRunPanel::PanelWidth, 0);
    body.setColorAt(0.0, QColor(236, 112, 14));
    body.setColorAt(0.45, QColor(255, 150, 40));
    body.setColorAt(1.0, QColor(222, 100, 10));
    p.setPen(QPen(QColor(120, 52, 0), 2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(14, 4, 279, 368), 34, 34);

    // speaker slot with a few holes beside it
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 34, 6));
    p.drawRoundedRect(QRectF(118, 28, 71, 9), 4.5, 4.5);
    for (int i = 0; i < 3; ++i) {
        p.drawEllipse(QPointF(100 - i * 11, 32.5), 3, 3);
        p.drawEllipse(QPointF(207 + i * 11, 32.5), 3, 3);
    }

    // light-blue frame around the screen
    p.setPen(QPen(QColor(60, 110, 160), 1));
    p.setBrush(QColor(150, 200, 240));
    p.drawRoundedRect(QRectF(48, 62, 228, 228), 10, 10);

    // keypad area: a darker band following the arc of the digit keys
    QPainterPath band;
    band.moveTo(40, 288);
    band.quadTo(153, 340, 272, 288);
    band.lineTo(272, 312);
    band.quadTo(153, 366, 40, 312);
    band.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 88, 8));
    p.drawPath(band);

    p.setRenderHint(QPainter::Antialiasing, false);
    p.resetTransform();
    p.fillRect(Zoomed(ScreenRect, zoom), Qt::black);
    return pm;
}

} // namespace

struct TRunPanel::Impl {
    Canvas canvas;
    TColorMemo* memo = nullptr;
    TRunImage* image = nullptr;
    QPushButton* keys[KeyCount] = {};
    QPixmap device;
    std::function<void(const QPoint&)> screenMenu;
    // A console font colour set while the picture is shown, not yet applied.
    QColor pendingFont;

    void ApplyFont(const QColor& c)
    {
        QPalette pal = memo->palette();
        pal.setColor(QPalette::Text, c);
        memo->setPalette(pal);
        pendingFont = QColor();
    }
    int zoom = NoZoom;
    QTimer repaintTimer;

    // Output for screen readers, told in batches (OutputSpeech.h); the
    // timer is armed once per batch and asks the rule when it fires.
    TOutputSpeech speech;
    QTimer speechTimer;
    QElapsedTimer clock;

    // Cheap per write (a program may write thousands of times).
    void NoteOutput(const QString& text)
    {
        speech.Written(text.toStdString(), clock.elapsed());
        if (!speechTimer.isActive())
            speechTimer.start(int(TOutputSpeech::QuietMs));
    }
    // True when the output is due to be told; otherwise the timer is armed again.
    bool SpeechDue()
    {
        const int64_t wait = speech.DueInMs(clock.elapsed());
        if (wait > 0)
            speechTimer.start(int(wait));
        return wait == 0;
    }

    // While assistive technology listens, every insertion into the console
    // sends it a text change and a caret move: a loop printing a line per
    // write floods a screen reader, which then drops what comes next (the
    // output's announcement). So written text collects here and reaches the
    // console in one insertion at most every BatchMs, and at once when the
    // program waits or the run ends. Without a listener the text goes in at
    // once, as every insertion costs only the insertion.
    static constexpr int BatchMs = 50;
    QString unshown;
    QTimer batchTimer;

    void ShowUnshown()
    {
        batchTimer.stop();
        if (unshown.isEmpty())
            return;
        QTextCursor c(memo->document());
        c.movePosition(QTextCursor::End);
        c.insertText(unshown);
        unshown.clear();
        // The view follows the end of the text, so that the newest output
        // (and the reason for an abort) is in sight.
        memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
    }
    void Show(const QString& text)
    {
        unshown += text;
        if (!QAccessible::isActive())
            ShowUnshown();
        else if (!batchTimer.isActive())
            batchTimer.start(BatchMs);
    }
    QImage shown;   // zoomed: the canvas as the screen was last told to show it

    // Zoomed: repaint the part of the screen whose canvas pixels changed
    // since the last time (a drawing program changes a few rows at a time).
    void RepaintChanged()
    {
        const QImage& now = canvas.image();
        if (shown.size() != now.size() || shown.format() != now.format()) {
            shown = now.copy();
            image->update();
            return;
        }
        const qsizetype bytes = std::min(now.bytesPerLine(), shown.bytesPerLine());
        int top = -1, bottom = -1, left = now.width(), right = -1;
        for (int y = 0; y < now.height(); ++y) {
            const auto* a = reinterpret_cast<const QRgb*>(now.constScanLine(y));
            auto* b = reinterpret_cast<QRgb*>(shown.scanLine(y));
            if (std::memcmp(a, b, size_t(bytes)) == 0)
                continue;
            if (top < 0)
                top = y;
            bottom = y;
            for (int x = 0; x < now.width(); ++x)
                if (a[x] != b[x]) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            std::memcpy(b, a, size_t(bytes));
        }
        if (top >= 0)
            image->update(image->ShownArea(QRect(QPoint(left, top), QPoint(right, bottom))));
    }

    bool inputActive = false;
    std::string inputText;
    double inputValue = 0;
    int inputStart = 0;   // document position where the typed text begins

    // The console's displayed lines as at 100 %, whatever the zoom.
    QtLineWrap wrap;
    ConsoleLines lines{wrap};

    QPushButton* Key(char k) const
    {
        for (int i = 0; i < KeyCount; ++i)
            if (KeyPlaces[i].key == k)
                return keys[i];
        return nullptr;
    }
};

TRunPanel::TRunPanel(QWidget* parent) : QWidget(parent), d(new Impl)
{
    setFixedSize(PanelWidth, PanelHeight);
    d->device = DevicePicture(NoZoom);

    d->memo = new TColorMemo(this);
    d->memo->setObjectName("RunMemo");
    d->memo->setGeometry(ScreenRect);
    d->memo->setReadOnly(true);
    // Read-only, yet the keyboard moves a caret through it, so that a
    // screen reader can read the output back line by line.
    d->memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    d->memo->setUndoRedoEnabled(false);
    d->memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    d->memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    d->memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d->memo->setFont(ConsoleFont(12));
    QPalette pal = d->memo->palette();
    pal.setColor(QPalette::Base, QColor(0, 255, 255));   // aqua until the first run
    pal.setColor(QPalette::Text, Qt::black);
    d->memo->setPalette(pal);
    d->memo->setEnabled(false);

    d->image = new TRunImage(this, d->canvas);
    d->image->setObjectName("RunImage");
    d->image->setGeometry(ScreenRect);
    d->image->hide();
    // Enlarged, one repaint of the screen costs up to nine times as much as
    // at 100 %, and a drawing program changes the canvas between any two
    // message passes; so zoomed, the screen is repainted at most every
    // RepaintMs (still smooth to the eye) instead of at every pass.
    d->repaintTimer.setSingleShot(true);
    d->repaintTimer.setInterval(RepaintMs);
    connect(&d->repaintTimer, &QTimer::timeout, this, [this] { d->RepaintChanged(); });
    d->clock.start();
    d->speechTimer.setSingleShot(true);
    d->batchTimer.setSingleShot(true);
    connect(&d->batchTimer, &QTimer::timeout, this, [this] { d->ShowUnshown(); });
    connect(&d->speechTimer, &QTimer::timeout, this, [this] {
        if (d->SpeechDue())
            AnnounceOutput();
    });
    d->canvas.changed = [this] {
        if (d->zoom == NoZoom)
            d->image->CanvasChanged();
        else if (!d->repaintTimer.isActive())
            d->repaintTimer.start();
    };

    QFont keyFont = font();
    keyFont.setBold(true);
    keyFont.setPixelSize(12);
    for (int i = 0; i < KeyCount; ++i) {
        const KeyPlace& k = KeyPlaces[i];
        auto* b = new QPushButton(QString::fromLatin1(k.caption), this);
        b->setObjectName(QString::fromLatin1(k.name));
        b->setGeometry(k.left, k.top, k.width, k.height);
        b->setFont(keyFont);
        // Reachable with Tab for keyboard-only use; a click leaves the focus
        // where it is.
        b->setFocusPolicy(Qt::TabFocus);
        b->setEnabled(false);
        connect(b, &QPushButton::clicked, this, [this, b] { BOKClick(b); });
        d->keys[i] = b;
    }
    // Enter gives the focus to OK, so OK must be able to hold it.
    d->Key('O')->setFocusPolicy(Qt::StrongFocus);
}

TRunPanel::~TRunPanel()
{
    delete d;
}

TColorMemo* TRunPanel::RunMemo() const { return d->memo; }
QWidget* TRunPanel::RunImage() const { return d->image; }
QPushButton* TRunPanel::Key(char k) const { return d->Key(k); }

// Everything of the device at the zoom: picture, screen, console font and
// keys. The canvas image itself keeps its 200 x 200 pixels.
void TRunPanel::SetZoom(int percent)
{
    if (percent == d->zoom)
        return;
    d->zoom = percent;
    setFixedSize(Zoomed(PanelWidth, percent), Zoomed(PanelHeight, percent));
    d->device = DevicePicture(percent);
    const QRect screen = Zoomed(ScreenRect, percent);
    d->memo->setGeometry(screen);
    d->image->setGeometry(screen);
    d->image->zoom = percent;
    d->shown = QImage();
    d->memo->setFont(ConsoleFont(Zoomed(12, percent)));
    for (int i = 0; i < KeyCount; ++i) {
        const KeyPlace& k = KeyPlaces[i];
        d->keys[i]->setGeometry(Zoomed(QRect(k.left, k.top, k.width, k.height), percent));
        QFont keyFont = d->keys[i]->font();
        keyFont.setPixelSize(Zoomed(12, percent));
        d->keys[i]->setFont(keyFont);
    }
    update();
}

int TRunPanel::Zoom() const { return d->zoom; }

QImage TRunPanel::ShownPicture() const
{
    const QImage& img = d->canvas.image();
    if (d->zoom == NoZoom)
        return img.copy();
    return Enlarged(img, QRect(0, 0, Zoomed(img.width(), d->zoom), Zoomed(img.height(), d->zoom)), d->zoom);
}

void TRunPanel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, d->device);
}

void TRunPanel::SetRunStateLook(int runState)
{
    QPalette pal = d->memo->palette();
    pal.setColor(QPalette::Base, runState == 1 ? IdleConsole : RunningConsole);
    d->memo->setPalette(pal);
}

void TRunPanel::EnableConsole()
{
    d->memo->setEnabled(true);
}

void TRunPanel::ShowConsole()
{
    if (!d->image->isHidden()) {
        d->image->hide();
        d->memo->show();
    }
    if (d->pendingFont.isValid())
        d->ApplyFont(d->pendingFont);
}

void TRunPanel::ShowGraphics()
{
    if (d->memo->isHidden())
        return;
    d->memo->hide();
    d->canvas.Reset();
    d->image->show();
}

bool TRunPanel::ConsoleVisible() const
{
    return !d->memo->isHidden();
}

Canvas& TRunPanel::PanelCanvas() const
{
    return d->canvas;
}

void TRunPanel::ClearConsole()
{
    d->unshown.clear();
    d->batchTimer.stop();
    d->memo->document()->clear();
    d->lines.Clear();
    d->inputStart = 0;
    d->speech.Clear();
    d->speechTimer.stop();
}

void TRunPanel::ShowPendingOutput()
{
    d->ShowUnshown();
}

void TRunPanel::AnnounceOutput(const QString& then)
{
    d->ShowUnshown();
    d->speechTimer.stop();
    QString text = QString::fromStdString(d->speech.Take());
    if (!then.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + then;
    if (announce && !text.isEmpty())
        announce(text);
}

void TRunPanel::ClearRunPanel()
{
    ClearConsole();
    d->canvas.Clear();
}

static_assert(TRunPanel::ConsoleLineLimit == ConsoleLines::Limit);

int TRunPanel::DisplayedLineCount() const
{
    return d->lines.Count();
}

bool TRunPanel::WriteText(const std::string& s)
{
    if (d->lines.Full()) {
        d->ShowUnshown();
        const bool lineOpen = !d->memo->document()->isEmpty() && d->memo->document()->lastBlock().length() > 1;
        const std::string abort = ConsoleLines::AbortText(lineOpen);
        const QString text = FromWinText(abort);
        d->lines.Append(abort);
        d->Show(text);
        d->NoteOutput(text);
        StopRequested = true;
        return false;
    }
    const QString text = FromWinText(s);
    d->lines.Append(s);
    d->Show(text);
    d->NoteOutput(text);
    return true;
}

void TRunPanel::WriteNumber(double x)
{
    WriteText(NumberText(x) + " ");
}

void TRunPanel::SetConsoleFontColor(const QColor& c)
{
    // A colour word runs with the picture shown (the console hidden), in
    // drawing loops often once per point; a palette change costs tens of
    // microseconds, so a hidden console gets it when it is shown again.
    if (d->memo->isHidden()) {
        d->pendingFont = c;
        return;
    }
    d->ApplyFont(c);
}

std::string TRunPanel::ConsoleText() const
{
    d->ShowUnshown();
    return ToWinText(d->memo->toPlainText());
}

double TRunPanel::ReadNumber()
{
    SetInputMode(true);
    while (!StopRequested && !InputDone) {
        if (waitPass)
            waitPass();
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    SetInputMode(false);
    return d->inputValue;
}

void TRunPanel::SetInputMode(bool on)
{
    if (on) {
        d->inputText.clear();
        d->inputValue = 0;
        InputDone = false;
        d->ShowUnshown();
        d->memo->moveCursor(QTextCursor::End);
        d->inputStart = d->memo->document()->characterCount() - 1;
        d->memo->setFocus();
        AnnounceOutput();   // after the focus, so that the question is heard last
    } else {
        if (d->inputActive)
            d->lines.Append(d->inputText);   // the typed number stays in the console
        // The console takes the focus before the keys are disabled, which
        // would otherwise hand it on from key to key.
        if (KeyHasFocus())
            d->memo->setFocus();
    }
    d->inputActive = on;
    for (int i = 0; i < KeyCount; ++i)
        d->keys[i]->setEnabled(on && KeyPlaces[i].key != 'O');
    d->Key('O')->setEnabled(false);
}

void TRunPanel::InputKey(char k)
{
    if (!d->inputActive)   // the typed text would overwrite the console's text
        return;
    if (k == 'C') {
        if (!d->inputText.empty())
            d->inputText.pop_back();
    } else {
        d->inputText += k;
    }
    double v = 0;
    const bool valid = ParseNumberEntry(d->inputText, v);
    d->inputValue = valid ? v : 0;
    d->Key('O')->setEnabled(valid);

    // the console shows the text before the input followed by the typed text
    QTextCursor c(d->memo->document());
    c.setPosition(std::min(d->inputStart, d->memo->document()->characterCount() - 1));
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    c.insertText(QString::fromLatin1(d->inputText.c_str()));
    // A key reached with Tab keeps the focus, so the next one is a Tab away;
    // otherwise the console takes it, with the caret after the typed text.
    if (!KeyHasFocus())
        d->memo->setFocus();
    d->memo->moveCursor(QTextCursor::End);
}

void TRunPanel::BOKClick(QPushButton* key)
{
    for (int i = 0; i < KeyCount; ++i)
        if (d->keys[i] == key && KeyPlaces[i].key != 'O')
            InputKey(KeyPlaces[i].key);
    InputDone = key == d->Key('O');
}

bool TRunPanel::KeyHasFocus() const
{
    for (QPushButton* key : d->keys)
        if (key->hasFocus())
            return true;
    return false;
}

bool TRunPanel::InputActive() const { return d->inputActive; }
std::string TRunPanel::InputText() const { return d->inputText; }
double TRunPanel::InputValue() const { return d->inputValue; }

bool TRunPanel::FormKeyPress(QKeyEvent* e)
{
    if (!d->inputActive)
        return false;
    bool used = false;
    const QString t = e->text();
    const QChar ch = t.size() == 1 ? t[0] : QChar();
    if (ch == ',' || ch == '-' || (ch >= '0' && ch <= '9')) {
        InputKey(ch.toLatin1());
        used = true;
    } else if (e->key() == Qt::Key_Backspace) {
        InputKey('C');
        used = true;
    }
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && d->Key('O')->isEnabled()) {
        InputDone = true;
        d->Key('O')->setFocus();
        used = true;
    }
    return used;
}

void TRunPanel::SetScreenMenu(std::function<void(const QPoint& globalPos)> show)
{
    d->screenMenu = std::move(show);
    // The console and the image pass the request on to the panel.
    const Qt::ContextMenuPolicy policy = d->screenMenu ? Qt::NoContextMenu : Qt::DefaultContextMenu;
    d->memo->setContextMenuPolicy(policy);
    d->image->setContextMenuPolicy(policy);
}

void TRunPanel::contextMenuEvent(QContextMenuEvent* e)
{
    if (!d->screenMenu || !Zoomed(ScreenRect, d->zoom).contains(e->pos())) {
        e->ignore();
        return;
    }
    e->accept();
    d->screenMenu(e->globalPos());
}

} // namespace tarko
