#pragma once
// TMouseSelection: what the left mouse button does in the colouring editor
// while it holds lines that Qt's layout leaves to the editor (see
// TLineLayout). Qt's text control hit-tests with its own layout, which finds
// no characters on such a line, so the editor selects itself, step for step
// as the control does: a press places the caret (Shift extends the
// selection), a drag selects, a double click selects a word and a drag or
// Shift+click after it extends by words, a triple click selects the line
// with its line break and extends by lines, a press inside the selection
// drags it away, and beyond the view's edge the view scrolls as fast as
// Qt's does.
#include <QBasicTimer>
#include <QPoint>
#include <QPointF>
#include <QTextCursor>

class QMouseEvent;
class QTimerEvent;

namespace tarko {

class TColorMemo;

class TMouseSelection {
public:
    explicit TMouseSelection(TColorMemo& memo)
        : FMemo(memo)
    {
    }

    // Left-button events of the viewport (the others stay Qt's).
    void Press(QMouseEvent* e);
    void Move(QMouseEvent* e);
    void Release(QMouseEvent* e);
    void DoubleClick(QMouseEvent* e);
    // The editor's timer events: true when it was one of these.
    bool Timer(QTimerEvent* e);
    // Qt's control handles the mouse again: what it remembers is its own.
    void Forget();
    // The button is down and selects (the view then stays where it is).
    bool Selecting() const { return FPressed; }

private:
    int hit(const QPointF& viewportPos) const;
    QPointF toContents(const QPointF& viewportPos) const;
    qreal xOf(const QTextCursor& c) const;
    void setPosition(QTextCursor& c, int position, QTextCursor::MoveMode mode);
    void show(const QTextCursor& c, bool scroll);
    void extendByWords(QTextCursor& c, int position, qreal mouseX);
    void extendByLines(QTextCursor& c, int position);
    void startDrag();
    void autoScroll();
    void offerSelection(const QTextCursor& c);

    TColorMemo& FMemo;
    bool FPressed = false;
    bool FMightStartDrag = false;
    QPoint FPressPos;                // in contents coordinates
    QTextCursor FWord, FLine;        // what a double or triple click selected
    QBasicTimer FTripleClick;        // a press while it runs is the third click
    QPointF FTripleClickPoint;
    QBasicTimer FAutoScroll;
};

} // namespace tarko
