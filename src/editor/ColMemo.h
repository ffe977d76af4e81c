#pragma once
// TColorMemo: the multi-line text control of the workbench (program editors
// and run console). A QPlainTextEdit that draws the spans of its colour rules
// over the visible lines, offers the caret operations of the language front
// end and the workbench, and link-like hot spots.
//
// ColMemo.cpp holds the control (properties, text, caret, events),
// ColMemoPaint.cpp its painting of the colour runs, ColMemoLongLines.cpp
// its handling of lines too long for Qt's layout.
//
// All offsets, lines and texts of this interface are those of the Windows
// text: Windows-1252 bytes, line breaks as CR LF, offsets counting a line
// break as two characters.
#include "editor/ColorRules.h"
#include "editor/Overlay.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>

#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QKeyEvent;
class QMouseEvent;
class QPainter;

namespace tarko {

class TLineLayout;
class TMouseSelection;

class TColorMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TColorMemo(QWidget* parent = nullptr);
    ~TColorMemo() override;

    // --- Events (all optional) ---
    std::function<void(TColorMemo* Sender)> OnVScroll; // after scrolling through the vertical scroll bar
    std::function<void(TColorMemo* Sender)> OnHScroll;
    // A hot spot was clicked; SRC is its text without the markers.
    std::function<void(TColorMemo* Sender, const std::string& SRC)> OnHotSpotClick;
    // Draws a one-line keyword run instead of the editor: Canvas has its pen
    // in the run's colour, Rect is the run's box, KColor the font colour.
    std::function<void(QPainter& Canvas, const std::string& PKey, const QRect& Rect, TColor KColor)> OnDrawKey;
    // Spans of rules of kind dtEventDraw (see TDrawEvent).
    void SetOnDraw(TDrawEvent handler);

    // The base control's events, called at the places the editor defines:
    // key down (after a selection was collapsed by a movement key; set
    // Handled to keep the control from performing the key), key press
    // (keys giving a character: letters, Enter "\r", Backspace, Tab, Ctrl
    // combinations), key up, mouse down/up/move, click (left button released)
    // and change (after every completed edit, before the recolouring; the
    // handler may edit the text itself). Do not replace the document: the
    // editor keeps a Windows-1252 copy of its lines in step with it.
    std::function<void(TColorMemo* Sender, QKeyEvent* Key, bool& Handled)> OnKeyDown;
    std::function<void(TColorMemo* Sender, QKeyEvent* Key, bool& Handled)> OnKeyPress;
    std::function<void(TColorMemo* Sender, QKeyEvent* Key)> OnKeyUp;
    std::function<void(TColorMemo* Sender, QMouseEvent* Event)> OnMouseDown;
    std::function<void(TColorMemo* Sender, QMouseEvent* Event)> OnMouseUp;
    std::function<void(TColorMemo* Sender, QMouseEvent* Event)> OnMouseMove;
    std::function<void(TColorMemo* Sender)> OnClick;
    std::function<void(TColorMemo* Sender)> OnChange;

    // --- Properties ---
    // Setting the rules copies the given collection; the next paint shows them.
    const TDrawRules& ColorRules() const { return FOverlay.Rules; }
    TDrawRules& ColorRules()
    {
        forgetOverlays(); // the caller may change the rules
        return FOverlay.Rules;
    }
    void SetColorRules(const TDrawRules& rules);
    int ColorLimMax() const { return FColorLimMax; }
    void SetColorLimMax(int n);
    bool RedrawAlways() const { return FRedrawAlways; }
    void SetRedrawAlways(bool on) { FRedrawAlways = on; }
    const THotSpot& HotSpot() const { return FOverlay.HotSpot; }
    void SetHotSpot(const THotSpot& hs);
    // Tab characters are typed into the text (else Tab moves the focus).
    bool WantTabs() const { return !tabChangesFocus(); }
    void SetWantTabs(bool on) { setTabChangesFocus(!on); }
    // Tab stops every `pixels` pixels from the left edge of the text.
    void SetTabWidthPixels(int pixels);

    // --- Caret operations ---
    int CaretLine();   // line of SelStart; remembered as the current line
    int CaretColumn(); // SelStart minus its line's start; remembered
    int TopLine();     // first visible line; remembered
    void SetCaretLine(int n);   // clamped to the lines; caret to the line's start
    void SetCaretColumn(int n); // clamped to the current line's length

    // --- Selection (Windows offsets) ---
    int SelStart() const;
    int SelLength() const;
    void SetSelStart(int offset); // also empties the selection
    void SetSelLength(int length);
    std::string SelText() const;
    // Replaces the selection; like the base control this leaves no undo step
    // and empties the undo history.
    void SetSelText(std::string_view text);
    // Replaces the selection as one undoable step.
    void ReplaceSelection(std::string_view text);
    // Replaces the `length` characters at each offset (ascending, apart)
    // by text, as one change; like SetSelText it leaves no undo step and
    // empties the undo history. The caret ends behind the last one.
    void ReplaceEach(const std::vector<int>& offsets, int length, std::string_view text);

    // --- Text ---
    std::string WinText() const;          // whole text
    void SetWinText(std::string_view text); // replaces the text; empties undo, clears Modified
    // Replaces the whole text as one undoable step (caret to the start).
    void ReplaceAllText(std::string_view text);
    int TextLength() const;               // length of the Windows text
    // Line count, not counting an empty last line (a text ending in a line
    // break has as many lines as line breaks; an empty text has none).
    int LineCount() const;
    std::string Line(int i) const;        // "" outside 0 .. block count - 1
    int LineLength(int i) const;
    int LineStart(int i) const;           // offset of line i's first character
    int LineOfOffset(int offset) const;
    void SetLine(int i, std::string_view text); // replaces line i, undoable
    void AddLine(std::string_view text);        // appends a line, undoable
    void DeleteLine(int i); // with its line break; the last line is only emptied
    // The changed flag: set by every change of the text (undo and redo
    // too), cleared only by SetWinText and SetModified(false).
    bool Modified() const;
    void SetModified(bool on);
    // The base control's undo and redo; they also bring a caret on a long
    // line into view, as the base control does on a short one.
    void undo();
    void redo();
    // The line of the first character Windows-1252 cannot hold, and that
    // character (two UTF-16 units outside the BMP); -1 when there is none.
    int FirstUnstorableLine(QString* character = nullptr) const;

    // --- Marked line ---
    // One line shown with a background colour across the whole width (the
    // statement a single step runs next, the line of a run-time fault); -1
    // removes the mark. The next edit of the text removes it as well.
    void SetMarkedLine(int line, const QColor& background = QColor());
    int MarkedLine() const { return FMarkedLine; }
    // Scrolls vertically, if needed, so that line i is visible; the caret stays.
    void ScrollLineIntoView(int i);

    // --- Colouring ---
    // Recolours the visible lines, or only the caret's line (the rest keep
    // the colours they show).
    virtual void DrawColors(bool OnlyCurrentLine);

    // What the last paint coloured (for tests and measurements): the runs in
    // text order, and the first and one-past-last painted position.
    enum class TDrawRequest { None, CurrentLine, Whole };
    TDrawRequest LastDrawRequest() const { return FLastRequest; }
    void ResetDrawRequest() { FLastRequest = TDrawRequest::None; }
    int LastRunCount() const { return FLastRunCount; }
    const TKeyDescr* LastRuns() const { return FLastRuns; }
    int LastScanStart() const { return FLastScanStart; }
    int LastScanEnd() const { return FLastScanEnd; }
    // Computes the overlay as a paint would, without painting.
    int ComputeOverlay(bool OnlyCurrentLine);
    bool OverHotSpot() const { return FOverHotSpot; }

    QColor ToQColor(TColor c) const;

    // The base control's caret rectangle and hit test know nothing of the
    // lines it leaves to the editor (see TLineLayout); these know both kinds.
    QRect cursorRect(const QTextCursor& cursor) const;
    QRect cursorRect() const;
    QTextCursor cursorForPosition(const QPoint& pos) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dragLeaveEvent(QDragLeaveEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void doSetTextCursor(const QTextCursor& cursor) override;
    void timerEvent(QTimerEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
public:
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
protected:

private:
    friend class TMouseSelection;
    void onContentsChange(int position, int removed, int added);
    void onTextChanged();
    void noteChange(int at, int removed, int added);
    int computeOverlay(int onlyLine); // -1: the visible lines; the runs are then in FLastRuns
    void forgetOverlays();
    void rebuildMirror();
    bool overlayActive() const;
    int visibleScanEnd(int firstLine, int count, int scanLine) const;
    void fillTextBuf(int scanLine, size_t want);
    // Painting (ColMemoPaint.cpp): one pass over the visible blocks.
    struct PaintPass;
    void paintOverlay(QPaintEvent* e);
    bool keepsLineAlone(const QPaintEvent* e) const;
    struct Slice { // the seen part of a line (with a margin), block positions [From, To)
        int From = 0, To = 0;
        bool Active() const { return To > From; }
    };
    Slice visibleSlice(const QTextBlock& block, const QPointF& offset, const QRect& clip) const;
    void drawSlice(QPainter& painter, const QTextBlock& block, const Slice& slice, const QPointF& offset,
                   const QRect& clip, int cursor);
    void paintBlock(PaintPass& pass, const QTextBlock& block, const QRectF& r, const QPointF& offset);
    void addRunRanges(PaintPass& pass, const QTextBlock& block, const Slice& slice);
    void addSelectionRanges(PaintPass& pass, const QTextBlock& block, const QRectF& r, const QPointF& offset);
    void drawBlockText(PaintPass& pass, const QTextBlock& block, const Slice& slice, const QPointF& offset);
    void drawKeyRuns(PaintPass& pass, const QTextBlock& block, const QPointF& offset);
    const QTextCharFormat& runFormat(TColor color, int kind);
    bool hotSpotUnder(const QPoint& viewportPos, std::string* text) const;
    QTextBlock blockOfLine(int i) const;

    // Lines too long for Qt's layout (see TLineLayout; ColMemoLongLines.cpp):
    // the editor scrolls their caret into view vertically, moves it up and
    // down, hits them with the mouse and repaints their caret.
    bool isLong(const QTextBlock& block) const;
    void scrollToLongCaret(bool horizontally = false);
    void keepWithinWidestLine();
    void longCaretMoved();
    bool moveVertically(QKeyEvent* e);
    bool movePage(QKeyEvent* e);
    qreal scrollPage(bool down, qreal lastY);
    qreal verticalX(const QTextCursor& c);
    int columnAtX(const QTextBlock& block, qreal x);
    bool editLongLine(QKeyEvent* e);
    enum { editTyping = 1, editBackspace, editDelete };
    void editInBlock(QTextCursor& c, int kind, const QString& text);
    QRect dropFirstInView(int oldEnd) const;
    bool joinsLongEdit(const QTextCursor& c, int kind) const;
    // Lines up to this length are edited with Qt's own calls (see editInBlock).
    static constexpr int kExactUndoLine = 10000;
    int longHit(const QPoint& viewportPos) const; // position under the pointer, -1 when not on a long line
    QRect longCaretRect() const;
    QRectF longCaretRectAt(int position) const;
    void setTextCursorInPlace(const QTextCursor& c);
    bool ownsMouse(const QMouseEvent* e) const;
    void updateBlockStrip(int blockNumber);
    void fixVerticalRange();

    TColorOverlay FOverlay;
    int FColorLimMax = 0;
    bool FRedrawAlways = false;
    std::vector<std::string> FLines; // the text's lines as Windows-1252, one per block
    std::string FTextBuf;            // painted text of the last paint, only grows
    int FCurLine = 0, FCurColumn = 0, FTopLine = 0;
    int FPrevLineCount = 0, FPrevTextEnd = 0;
    int FLineOnly = -1; // line recoloured alone until the next whole recolouring
    int FMarkedLine = -1;
    int FLastScanStart = 0, FLastScanEnd = 0;
    TDrawRequest FLastRequest = TDrawRequest::None;
    bool FOverHotSpot = false;
    bool FModified = false;
    std::vector<TKeyDescr> FWholeRuns;       // whole-area runs while one line is recoloured alone
    QList<QTextLayout::FormatRange> FRanges;    // colour runs, reused per block
    QList<QTextLayout::FormatRange> FSelRanges; // the control's selections, reused per block
    // The runs of a paint over a large text (a very long line), kept while
    // nothing they depend on changes: the caret blinking of such a line
    // then costs no recolouring. Slot 0: the visible area, 1: one line.
    struct OverlayKey {
        unsigned Edits = 0;
        int ScanStart = 0, ScanEnd = 0, SelStart = 0, SelLength = 0, CaretColumn = 0;
        TColor FontColor = 0;
        bool WantTabs = false, RedrawAlways = false;
        std::vector<std::pair<int, int>> Windows;
        bool operator==(const OverlayKey&) const = default;
    };
    // The parts of the scan a paint can show: the scan without what lies
    // outside the view on long lines (see visibleColumns).
    void paintedWindows(int scanLine, int scanStart, int scanEnd, std::vector<TScanWindow>& out) const;
    std::vector<TScanWindow> FWindows;
    struct OverlayCache {
        bool Valid = false;
        OverlayKey Key;
        std::vector<TKeyDescr> Runs;
    };
    OverlayCache FCache[2];
    unsigned FEdits = 0; // counts the changes of the text
    // What changed since the overlay last looked at the text: from
    // FChangedFrom to FChangedTo, moving what follows by FDelta.
    int FChangedFrom = 0, FChangedTo = INT_MAX, FDelta = 0;
    bool FChangeKnown = false;
    const TKeyDescr* FLastRuns = nullptr;
    int FLastRunCount = 0;
    TLineLayout* FLayout = nullptr;
    qreal FWantX = -1;        // x kept by a run of Up/Down keys through long lines
    std::unique_ptr<TMouseSelection> FMouse; // the left button while there are long lines
    int FCaretBlock = -1;     // block of the caret at the last caret move
    bool FScrollQueued = false;
    bool FNoScroll = false;
    bool FMovingVertically = false;   // the caret moves under the pointer: no scrolling to it
    // The caret's distance from the top when a run of PgUp and PgDn began.
    qreal FPageY = 0;
    bool FPageYValid = false, FPaging = false;
    // The last letter, Backspace or Delete on a long line, and whether it
    // was an edit block of its own (see editInBlock).
    struct LongEdit { unsigned Edits = 0; int Kind = 0; int Position = -1; bool InBlock = false; } FLongEdit;
    QElapsedTimer FTypedAt; // the caret of a long line shows while typing
    int FDropCaret = -1;    // where a drag over the text would drop, while there are long lines
    QTextLayout FSlice;                              // the seen part of a long line
    QList<QTextLayout::FormatRange> FSliceRanges, FSliceSelRanges;
    struct FormatCacheEntry { TColor Color; int Kind; QTextCharFormat Format; };
    std::vector<FormatCacheEntry> FFormats; // colour formats, shared between paints
};

// The program editors' settings: the workbench colour rules, no hot spots,
// Tab typed into the text, no wrapping, both scroll bars, black font colour.
void ApplyProgramEditorScheme(TColorMemo& memo);

// The run console's settings: no rules and no hot spots (so it paints as the
// plain control), read-only, wrapped, bold, no undo history.
void ApplyConsoleScheme(TColorMemo& memo);

} // namespace tarko
