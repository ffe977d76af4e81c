#include "editor/MouseSelection.h"

#include "editor/ColMemo.h"
#include "editor/LineLayout.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace tarko {

int TMouseSelection::hit(const QPointF& viewportPos) const
{
    return FMemo.cursorForPosition(viewportPos.toPoint()).position();
}

// Qt's control measures in the coordinates of the text, the scrolling undone.
QPointF TMouseSelection::toContents(const QPointF& viewportPos) const { return viewportPos - FMemo.contentOffset(); }

qreal TMouseSelection::xOf(const QTextCursor& c) const
{
    const QTextBlock block = c.block();
    const int column = c.position() - block.position();
    if (FMemo.isLong(block))
        return FMemo.FLayout->CursorToX(block, column);
    FMemo.blockBoundingRect(block); // lays a short line out
    const QTextLine line = block.layout()->lineForTextPosition(column);
    return line.isValid() ? line.cursorToX(column) : 0;
}

// A new caret forgets what a double or triple click selected; extending a
// selection keeps it.
void TMouseSelection::setPosition(QTextCursor& c, int position, QTextCursor::MoveMode mode)
{
    c.setPosition(position, mode);
    if (mode != QTextCursor::KeepAnchor) {
        FWord = QTextCursor();
        FLine = QTextCursor();
    }
}

// Qt brings the caret into view after a press, not while the pointer drags.
void TMouseSelection::show(const QTextCursor& c, bool scroll)
{
    if (scroll)
        FMemo.setTextCursor(c);
    else
        FMemo.setTextCursorInPlace(c);
}

void TMouseSelection::offerSelection(const QTextCursor& c)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (c.hasSelection() && clipboard->supportsSelection())
        clipboard->setMimeData(FMemo.createMimeDataFromSelection(), QClipboard::Selection);
}

void TMouseSelection::Forget()
{
    FPressed = false;
    FMightStartDrag = false;
    FWord = QTextCursor();
    FLine = QTextCursor();
    FTripleClick.stop();
    FAutoScroll.stop();
}

void TMouseSelection::Press(QMouseEvent* e)
{
    const QPointF at = toContents(e->position());
    FPressPos = at.toPoint();
    FMightStartDrag = false;
    FPressed = true;
    QTextCursor c = FMemo.textCursor();
    if (FTripleClick.isActive()
        && (at - FTripleClickPoint).toPoint().manhattanLength() < QApplication::startDragDistance()) {
        // the third click: the whole line with its line break
        c.movePosition(QTextCursor::StartOfBlock);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        FLine = c;
        FTripleClick.stop();
    } else {
        const int position = hit(e->position());
        if (e->modifiers() == Qt::ShiftModifier) {
            if (FLine.hasSelection())
                extendByLines(c, position);
            else if (FWord.hasSelection())
                extendByWords(c, position, at.x());
            else
                setPosition(c, position, QTextCursor::KeepAnchor);
        } else {
            if (c.hasSelection() && position >= c.selectionStart() && position <= c.selectionEnd()) {
                FMightStartDrag = true; // a drag moves the selection, a release places the caret
                return;
            }
            setPosition(c, position, QTextCursor::MoveAnchor);
        }
    }
    show(c, true);
}

void TMouseSelection::Move(QMouseEvent* e)
{
    const QPointF at = toContents(e->position());
    if (FMightStartDrag) {
        if ((at.toPoint() - FPressPos).manhattanLength() > QApplication::startDragDistance())
            startDrag();
        return;
    }
    QTextCursor c = FMemo.textCursor();
    const int position = hit(e->position());
    if (FLine.hasSelection())
        extendByLines(c, position);
    else if (FWord.hasSelection())
        extendByWords(c, position, at.x());
    else if (FPressed)
        setPosition(c, position, QTextCursor::KeepAnchor);
    show(c, false);
    // Beyond the view's edge the view scrolls while the button is held.
    if (e->source() == Qt::MouseEventNotSynthesized) {
        if (FMemo.viewport()->rect().contains(e->position().toPoint()))
            FAutoScroll.stop();
        else if (!FAutoScroll.isActive())
            FAutoScroll.start(100, &FMemo);
    }
}

void TMouseSelection::Release(QMouseEvent* e)
{
    QTextCursor c = FMemo.textCursor();
    if (FMightStartDrag) { // pressed inside the selection and not dragged: a caret there
        FPressed = false;
        c.setPosition(hit(e->position()));
        c.clearSelection();
        show(c, false);
    }
    if (FPressed) {
        FPressed = false;
        offerSelection(c);
    }
    if (e->source() == Qt::MouseEventNotSynthesized && FAutoScroll.isActive()) {
        FAutoScroll.stop();
        FMemo.ensureCursorVisible();
        FMemo.scrollToLongCaret();
    }
}

void TMouseSelection::DoubleClick(QMouseEvent* e)
{
    FMightStartDrag = false;
    QTextCursor c = FMemo.textCursor();
    c.setPosition(hit(e->position()));
    if (c.block().length() > 1)
        c.select(QTextCursor::WordUnderCursor);
    FWord = c;
    FTripleClickPoint = toContents(e->position());
    FTripleClick.start(QApplication::doubleClickInterval(), &FMemo);
    // Qt's control tells of the caret's move only on a line with text,
    // where it selects the word under the caret (even none, at the line's
    // end), and there even when the caret stays: a run of PgUp and PgDn
    // goes on from where it was only after a double click on an empty line.
    const bool pageY = FMemo.FPageYValid;
    show(c, false);
    FMemo.FPageYValid = c.block().length() > 1 ? false : pageY;
    offerSelection(c);
}

bool TMouseSelection::Timer(QTimerEvent* e)
{
    if (e->timerId() == FTripleClick.timerId()) {
        FTripleClick.stop();
        return true;
    }
    if (e->timerId() == FAutoScroll.timerId()) {
        autoScroll();
        return true;
    }
    return false;
}

// Inside the double-clicked word the selection is that word; beyond it the
// selection grows to the start or end of the word under the pointer,
// whichever is nearer to it, but only while the pointer is over that word.
void TMouseSelection::extendByWords(QTextCursor& c, int position, qreal mouseX)
{
    if (position >= FWord.selectionStart() && position <= FWord.selectionEnd()) {
        c = FWord;
        FMemo.setTextCursor(c);
        return;
    }
    QTextCursor word = FWord;
    word.setPosition(position, QTextCursor::KeepAnchor);
    if (!word.movePosition(QTextCursor::StartOfWord))
        return;
    const int wordStart = word.position();
    const QTextBlock block = word.block();
    const qreal wordStartX = xOf(word);
    if (!word.movePosition(QTextCursor::EndOfWord))
        return;
    const int wordEnd = word.position();
    if (word.block() != block || wordEnd == wordStart)
        return;
    const qreal wordEndX = xOf(word);
    if (mouseX < wordStartX || mouseX > wordEndX)
        return;
    // the word first selected stays selected, on whichever side the pointer is
    c.setPosition(position < FWord.position() ? FWord.selectionEnd() : FWord.selectionStart());
    setPosition(c, mouseX - wordStartX < wordEndX - mouseX ? wordStart : wordEnd, QTextCursor::KeepAnchor);
}

// Whole lines, each with its line break, from the triple-clicked one on.
void TMouseSelection::extendByLines(QTextCursor& c, int position)
{
    if (position >= FLine.selectionStart() && position <= FLine.selectionEnd()) {
        c = FLine;
        FMemo.setTextCursor(c);
        return;
    }
    if (position < FLine.position()) {
        c.setPosition(FLine.selectionEnd());
        c.setPosition(position, QTextCursor::KeepAnchor);
        c.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    } else {
        c.setPosition(FLine.selectionStart());
        c.setPosition(position, QTextCursor::KeepAnchor);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        c.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    }
}

void TMouseSelection::startDrag()
{
    FPressed = false;
    QWidget* source = FMemo.viewport();
    auto* drag = new QDrag(source);
    drag->setMimeData(FMemo.createMimeDataFromSelection());
    const bool editable = !FMemo.isReadOnly();
    const Qt::DropAction action = editable ? drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction)
                                           : drag->exec(Qt::CopyAction, Qt::CopyAction);
    // Moved into another window: the text leaves this one (a move within
    // the editor is done by its drop).
    if (action == Qt::MoveAction && drag->target() != source) {
        QTextCursor c = FMemo.textCursor();
        c.removeSelectedText();
    }
}

// While the pointer is beyond the view's edge: the selection follows it,
// and the view scrolls one step, sooner the farther the pointer is out.
void TMouseSelection::autoScroll()
{
    QWidget* viewport = FMemo.viewport();
    const QRect visible = viewport->rect();
    const QPoint globalPos = QCursor::pos();
    const QPoint pos = viewport->mapFromGlobal(globalPos);
    QMouseEvent move(QEvent::MouseMove, pos, viewport->mapTo(viewport->topLevelWidget(), pos), globalPos,
                     Qt::LeftButton, Qt::LeftButton, QGuiApplication::keyboardModifiers());
    FMemo.mouseMoveEvent(&move);
    const int deltaY = std::max(pos.y() - visible.top(), visible.bottom() - pos.y()) - visible.height();
    const int deltaX = std::max(pos.x() - visible.left(), visible.right() - pos.x()) - visible.width();
    int delta = std::max(deltaX, deltaY);
    if (delta < 0)
        return;
    delta = std::max(delta, 7);
    FAutoScroll.start(4900 / (delta * delta), &FMemo);
    if (deltaY > 0)
        FMemo.verticalScrollBar()->triggerAction(pos.y() < visible.center().y() ? QAbstractSlider::SliderSingleStepSub
                                                                                : QAbstractSlider::SliderSingleStepAdd);
    if (deltaX > 0)
        FMemo.horizontalScrollBar()->triggerAction(pos.x() < visible.center().x() ? QAbstractSlider::SliderSingleStepSub
                                                                                  : QAbstractSlider::SliderSingleStepAdd);
}

} // namespace tarko
