#pragma once
// The settings the workbench keeps between runs, in the per-user store
// "Software\Brimwold\Tarko" (the registry on Windows, a QSettings file
// elsewhere). Read once when the main window is created, written once when
// it closes. Every value is stored as text.
#include <QFont>
#include <QList>
#include <QRect>
#include <QString>
#include <array>

namespace tarko {

struct TInis {
    QString ProjectDir;               // start folder of the open dialog
    QString HilfeDir;                 // full path of the HTML help file
    std::array<QString, 5> Files;     // recent files, [0] the newest, empty = free
    bool AutoTab = true;              // indent a new line like the one above
    bool AutoFormat = true;           // re-indent a program when it is started
    int Tabs = 2;                     // tab width in units of 8 pixels
    QFont Font{QStringLiteral("Courier New"), 10};  // the editors' font
    int FontCharSet = 1;              // kept for the store; Qt has no character sets
    int Zoom = 100;                   // "Ansicht/Zoom": the window's zoom in percent
    bool HighContrast = false;        // "Ansicht/Kontrast": darker, high-contrast colours
};

// The window's stored place; `saved` is false when the store has no "Left".
struct TFormPos {
    bool saved = false;
    QRect rect;
};

// Missing values and text that is no decimal integer give the defaults.
TInis ReadSettings(TFormPos* formPos);
void WriteSettings(const TInis& inis, const QRect& formPos);

// The editors' tab-stop distance in pixels for a tab width of `tabs` units
// of eight pixels. The stored width may be anything a hand can type: 0 or
// less puts the stops at the smallest distance, a huge width is held at a
// distance far wider than any screen.
int TabStopPixels(int tabs);

// The stored window rectangle (left, top, width, height) moved and shrunk
// into the available area of the screen it overlaps most (the first area
// when it overlaps none), never below `minimum`. A rectangle inside an area
// comes back unchanged.
QRect FitWindowRect(const QRect& stored, const QList<QRect>& areas, const QSize& minimum);

// The editors draw with the stored font at a size the font dialog offers
// (6 to 72 points); the stored size itself is kept.
QFont EditorDrawingFont(const QFont& stored);

// Font style bits of the store: 1 bold, 2 italic, 4 underline, 8 strike-out.
int FontStyleBits(const QFont& font);
void SetFontStyleBits(QFont& font, int bits);

} // namespace tarko
