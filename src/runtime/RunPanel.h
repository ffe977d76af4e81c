#pragma once
// The run panel: the picture of a hand-held device with the run console and
// the graphics image on its screen and the number keypad below the screen.
// The interpreter writes text, reads numbers and draws through it (via the
// Qt run host); the main window places it and forwards keys to it.
#include <QWidget>
#include <functional>
#include <string>

class QContextMenuEvent;
class QImage;
class QKeyEvent;
class QPoint;
class QPushButton;
class QColor;

namespace tarko {

class Canvas;
class TColorMemo;
class TRunImage;

class TRunPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int PanelWidth = 307;     // the device picture
    static constexpr int PanelHeight = 377;
    static constexpr int ConsoleLineLimit = 999;   // as ConsoleLines::Limit

    explicit TRunPanel(QWidget* parent = nullptr);
    ~TRunPanel() override;

    // The console (read-only colouring editor, created disabled) and the image
    // control that shows the canvas image, both lying on the device's screen.
    TColorMemo* RunMemo() const;
    QWidget* RunImage() const;
    // Keypad key by its key character: '0'..'9', ',', '-', 'C', or 'O' for OK.
    QPushButton* Key(char k) const;

    // The zoom in percent (100 is the design size): scales the device
    // picture, the screen, the console font and the keys; the canvas stays
    // 200 x 200 and is shown enlarged. PanelWidth and PanelHeight are the
    // sizes at 100 %.
    void SetZoom(int percent);
    int Zoom() const;
    // The picture as the screen shows it at the zoom (200 x 200 at 100 %),
    // for saving it at the size the class sees.
    QImage ShownPicture() const;

    // Console background: RGB (0,223,223) when runState is 1 (idle), else (0,255,255).
    void SetRunStateLook(int runState);
    // The console is created disabled; the first Run enables it for good.
    void EnableConsole();

    // Surfaces: exactly one of console and image is visible.
    void ShowConsole();
    void ShowGraphics();     // console -> image: clears the canvas, white drawing colour
    void ClearRunPanel();    // empties the console and fills the image black
    void ClearConsole();     // empties the console only (start of a run)
    bool ConsoleVisible() const;
    // The canvas the image control shows (200 x 200); the panel repaints the
    // image whenever the canvas reports a change.
    Canvas& PanelCanvas() const;

    // Console output. Text is Windows-1252. WriteText appends s, or, once the
    // console holds 999 displayed (wrapped) lines as shown at 100 % (whatever
    // the zoom; ConsoleLines.h), appends "Programmabbruch" and "Zuviele
    // Zeilen", sets StopRequested and returns false.
    bool WriteText(const std::string& s);
    void WriteNumber(double x);              // number text and one blank
    // While assistive technology listens, written text reaches the console
    // in batches (RunPanel.cpp); this shows what is still held back. Called
    // when the program waits; ConsoleText, a number input and the output's
    // announcement show it themselves.
    void ShowPendingOutput();
    void SetConsoleFontColor(const QColor& c);
    std::string ConsoleText() const;         // Windows-1252, CR LF
    int DisplayedLineCount() const;          // wrapped lines at 100 %, a last empty line not counted

    // Number input. ReadNumber waits (processing events) until OK/Enter or Stop.
    double ReadNumber();
    void SetInputMode(bool on);
    void InputKey(char k);                   // '0'..'9', ',', '-', 'C'
    void BOKClick(QPushButton* key);         // click handler of all 14 keys
    bool InputActive() const;                // between SetInputMode(true) and (false)
    bool KeyHasFocus() const;                // a keypad key holds the keyboard focus
    std::string InputText() const;
    double InputValue() const;

    // The main window's character handler during a NORMAL run (the caller checks
    // RunState = 3): digits, ',', '-', Backspace and Enter feed the number input.
    // Returns true if the key was used. The key is not consumed by the panel.
    bool FormKeyPress(QKeyEvent* e);

    // One pass of the event wait used by ReadNumber; replaceable by tests.
    std::function<void()> waitPass;

    // Tells a screen reader a text without moving the focus. The panel
    // tells the console output in batches: when a number input begins,
    // when the output pauses during a run, and when AnnounceOutput is
    // called (the run's end, once the focus is back in the editor), then
    // with `then` as its last line (nothing else is told when both are empty).
    std::function<void(const QString& text)> announce;
    void AnnounceOutput(const QString& then = QString());

    // The context menu of the device's screen (console and image, also while
    // the console is still disabled), shown at a global position. Without
    // one the console keeps its own menu.
    void SetScreenMenu(std::function<void(const QPoint& globalPos)> show);

protected:
    void paintEvent(QPaintEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    struct Impl;
    Impl* d;
};

} // namespace tarko
