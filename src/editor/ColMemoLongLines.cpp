// The long-line mode of TColorMemo: lines too long for Qt's layout (see
// TLineLayout) are edited, hit, scrolled to and given their caret here,
// since the base control knows nothing of them.
#include "editor/ColMemo.h"

#include "editor/LineLayout.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
#include <cmath>

namespace tarko {

// Qt moves the caret under the pointer without scrolling; setTextCursor
// would scroll to it.
void TColorMemo::setTextCursorInPlace(const QTextCursor& c)
{
    const int h = horizontalScrollBar()->value(), v = verticalScrollBar()->value();
    FNoScroll = true;
    setTextCursor(c);
    FNoScroll = false;
    horizontalScrollBar()->setValue(h);
    verticalScrollBar()->setValue(v);
}

void TColorMemo::extendLongDrag(const QPoint& pos)
{
    int hit = longHit(pos);
    if (hit < 0)
        hit = cursorForPosition(pos).position();
    QTextCursor c = textCursor();
    c.setPosition(hit, QTextCursor::KeepAnchor);
    setTextCursorInPlace(c);
}

void TColorMemo::timerEvent(QTimerEvent* e)
{
    if (e->timerId() != FDragScroll.timerId()) {
        QPlainTextEdit::timerEvent(e);
        return;
    }
    if (!FLongDrag || !(QApplication::mouseButtons() & Qt::LeftButton)) {
        FDragScroll.stop();
        return;
    }
    const QRect view = viewport()->rect();
    if (FDragPos.x() < view.left())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (FDragPos.x() > view.right())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (FDragPos.y() < view.top())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (FDragPos.y() > view.bottom())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    extendLongDrag(FDragPos);
}

void TColorMemo::inputMethodEvent(QInputMethodEvent* e)
{
    QPlainTextEdit::inputMethodEvent(e);
    scrollToLongCaret();
}

void TColorMemo::doSetTextCursor(const QTextCursor& cursor)
{
    QPlainTextEdit::doSetTextCursor(cursor);
    if (!FNoScroll)
        scrollToLongCaret();
}

// ---------------------------------------------------------------- long lines

bool TColorMemo::isLong(const QTextBlock& block) const { return FLayout->IsLong(block); }

void TColorMemo::resizeEvent(QResizeEvent* e)
{
    QPlainTextEdit::resizeEvent(e);
    fixVerticalRange();
}

void TColorMemo::showEvent(QShowEvent* e)
{
    QPlainTextEdit::showEvent(e);
    fixVerticalRange();
}

// The base control counts the lines at the bottom of the text by their
// QTextLine objects, and a long line has none: the vertical range is set
// again the same way with such a line counted as the one line it is.
void TColorMemo::fixVerticalRange()
{
    if (!FLayout->HasLongLines() || centerOnScroll() || !isVisible())
        return;
    QTextDocument* doc = document();
    const qreal visible = viewport()->rect().height() - doc->documentMargin() - 1;
    qreal y = 0;
    int fromBottom = 0;
    for (QTextBlock b = doc->lastBlock(); b.isValid(); b = b.previous()) {
        if (!b.isVisible())
            continue;
        y += blockBoundingRect(b).height();
        const QTextLayout* layout = b.layout();
        const int lines = isLong(b) ? 1 : layout->lineCount();
        if (y > visible) {
            // the lines of this block whose top lies within the view
            int first = 0;
            while (first < lines && !isLong(b) && layout->lineAt(first).naturalTextRect().top() < y - visible)
                ++first;
            if (isLong(b) && y - visible > 0)
                first = 1;
            fromBottom += lines - first;
            break;
        }
        fromBottom += lines;
    }
    const int max = std::max(0, doc->lineCount() - fromBottom);
    QScrollBar* v = verticalScrollBar();
    if (v->maximum() != max || v->pageStep() != fromBottom) {
        v->setRange(0, max);
        v->setPageStep(fromBottom);
    }
}

// Input methods ask for the caret's place and the text around it; on a
// long line the base control would lay the whole line out for the one and
// hand over the whole line for the other.
QVariant TColorMemo::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QTextCursor c = textCursor();
    const QTextBlock block = c.block();
    if (!isLong(block))
        return QPlainTextEdit::inputMethodQuery(query);
    constexpr int around = 256;
    const int caret = c.position() - block.position();
    const int from = std::max(0, caret - around);
    const int to = std::min(block.length() - 1, caret + around);
    auto text = [&](int a, int b) { // characters one by one: no copy of the whole line
        QString t;
        for (int i = a; i < b; ++i)
            t += document()->characterAt(block.position() + i);
        return t;
    };
    switch (query) {
    case Qt::ImCursorRectangle:
        return longCaretRectAt(c.position());
    case Qt::ImAnchorRectangle:
        return isLong(document()->findBlock(c.anchor())) ? longCaretRectAt(c.anchor()) : QPlainTextEdit::inputMethodQuery(query);
    case Qt::ImSurroundingText:
        return text(from, to);
    case Qt::ImCursorPosition:
        return caret - from;
    case Qt::ImAnchorPosition:
        return std::clamp(c.anchor() - block.position() - from, 0, to - from);
    case Qt::ImTextBeforeCursor:
        return text(from, caret);
    case Qt::ImTextAfterCursor:
        return text(caret, to);
    default:
        return QPlainTextEdit::inputMethodQuery(query);
    }
}

// The caret's box at a position on a long line, in viewport coordinates.
QRectF TColorMemo::longCaretRectAt(int position) const
{
    const QTextBlock b = document()->findBlock(position);
    const QRectF r = blockBoundingGeometry(b).translated(contentOffset());
    return QRectF(contentOffset().x() + FLayout->CursorToX(b, position - b.position()), r.top(), cursorWidth(),
                  FLayout->LineHeight());
}

QRect TColorMemo::cursorRect(const QTextCursor& cursor) const
{
    if (cursor.isNull() || !isLong(cursor.block()))
        return QPlainTextEdit::cursorRect(cursor);
    return longCaretRectAt(cursor.position()).toRect();
}

QRect TColorMemo::cursorRect() const { return cursorRect(textCursor()); }

QTextCursor TColorMemo::cursorForPosition(const QPoint& pos) const
{
    const int hit = longHit(pos);
    if (hit < 0)
        return QPlainTextEdit::cursorForPosition(pos);
    QTextCursor c(document());
    c.setPosition(hit);
    return c;
}

int TColorMemo::longHit(const QPoint& pos) const
{
    if (!FLayout->HasLongLines())
        return -1;
    const QTextBlock block = QPlainTextEdit::cursorForPosition(pos).block();
    if (!isLong(block))
        return -1;
    return block.position() + FLayout->XToCursor(block, pos.x() - contentOffset().x());
}

QRect TColorMemo::longCaretRect() const
{
    const QTextBlock block = textCursor().block();
    const QRectF r = blockBoundingGeometry(block).translated(contentOffset());
    const int x = int(r.left());
    const int extra = overwriteMode() ? fontMetrics().horizontalAdvance(u'M') : 0;
    return QRect(x - 4, int(r.top()), cursorWidth() + extra + 8, int(std::ceil(r.height())) + 1);
}

void TColorMemo::updateBlockStrip(int blockNumber)
{
    const QTextBlock b = document()->findBlockByNumber(blockNumber);
    if (!b.isValid())
        return;
    const QRectF r = blockBoundingGeometry(b).translated(contentOffset());
    if (r.bottom() >= 0 && r.top() <= viewport()->height())
        viewport()->update(QRect(0, int(r.top()), viewport()->width(), int(std::ceil(r.height())) + 1));
}

// Qt repaints the caret's old and new place where it finds them; on a long
// line it finds neither, so both lines are repainted.
void TColorMemo::longCaretMoved()
{
    if (!FMovingVertically)
        FWantX = -1;
    const QTextBlock block = textCursor().block();
    const int number = block.blockNumber();
    const QTextBlock old = document()->findBlockByNumber(FCaretBlock);
    if (isLong(block) || (old.isValid() && isLong(old))) {
        updateBlockStrip(number);
        if (FCaretBlock != number)
            updateBlockStrip(FCaretBlock);
        // Qt scrolls to the caret after telling of its move: the line is
        // made visible once that has happened.
        if (!FScrollQueued && !FNoScroll && isLong(block)) {
            FScrollQueued = true;
            QMetaObject::invokeMethod(this, [this] {
                FScrollQueued = false;
                if (!FLongDrag)
                    scrollToLongCaret();
            }, Qt::QueuedConnection);
        }
    }
    FCaretBlock = number;
}

// Qt leaves the vertical scrolling to a caret on a long line to the editor:
// the line comes into view the way Qt brings any line into view, at the top
// when it lies above, as the last whole line when it lies below.
void TColorMemo::scrollToLongCaret(bool horizontally)
{
    if (!FLayout->HasLongLines())
        return;
    const QTextBlock block = textCursor().block();
    if (!isLong(block))
        return;
    const QRectF r = blockBoundingGeometry(block).translated(contentOffset());
    QScrollBar* h = horizontalScrollBar();
    if (horizontally) {
        // As Qt scrolls to a caret it finds: centred when outside the view.
        const QRect caret = longCaretRect();
        if (caret.left() < 0 || caret.right() > viewport()->width())
            h->setValue(caret.center().x() + h->value() - viewport()->width() / 2);
    }
    // Not beyond the end of the widest line, where Qt's range would end.
    const int end = std::max(0, int(FLayout->ExactWidth()) - viewport()->width());
    if (h->value() > end)
        h->setValue(end);
    const qreal lineBottom = r.top() + FLayout->LineHeight();
    const qreal height = viewport()->height();
    QTextBlock top = block;
    if (lineBottom >= height) {
        // the line becomes the last one that fits, as Qt places it
        qreal h = FLayout->LineHeight();
        while (top.previous().isValid()) {
            const qreal above = blockBoundingRect(top.previous()).height();
            if (h + above > height)
                break;
            h += above;
            top = top.previous();
        }
    } else if (r.top() >= 0) {
        return;
    }
    verticalScrollBar()->setValue(top.firstLineNumber());
}

// Letters, Backspace and Delete on a long line are done here, inside an
// edit block: Qt's own key handling would lay out the whole line around the
// caret for every letter. A run of letters (or of deletions) at the caret
// stays one undo step, as Qt keeps typed letters one step.
bool TColorMemo::editLongLine(QKeyEvent* e)
{
    if (isReadOnly() || overwriteMode() || !FLayout->HasLongLines())
        return false;
    QTextCursor c = textCursor();
    if (!isLong(c.block()))
        return false;
    enum { typing = 1, backspace, del };
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    const QString text = e->text();
    int kind = 0;
    if (e->key() == Qt::Key_Backspace && !(mods & ~Qt::ShiftModifier))
        kind = backspace;
    else if (e->matches(QKeySequence::Delete))
        kind = del;
    else if (!text.isEmpty() && mods != Qt::ControlModifier && mods != (Qt::ControlModifier | Qt::ShiftModifier)
             && (text[0].isPrint() || (text[0] == u'\t' && WantTabs())
                 || (text[0].isHighSurrogate() && text.size() > 1 && text[1].isLowSurrogate())))
        kind = typing;
    else
        return false;
    // Joining two lines is Qt's.
    if (!c.hasSelection() && ((kind == backspace && c.atBlockStart()) || (kind == del && c.atBlockEnd())))
        return false;

    const bool join = !c.hasSelection() && FLongEdit.Edits == FEdits && FLongEdit.Kind == kind
        && FLongEdit.Position == c.position();
    if (join)
        c.joinPreviousEditBlock();
    else
        c.beginEditBlock();
    if (kind == typing) {
        c.insertText(text);
    } else if (!c.hasSelection()) {
        const QTextDocument* doc = document();
        const int pos = c.position();
        // a pair of surrogates goes as one character
        int n = 1;
        if (kind == backspace && pos - 2 >= c.block().position() && doc->characterAt(pos - 1).isLowSurrogate()
            && doc->characterAt(pos - 2).isHighSurrogate())
            n = 2;
        if (kind == del && doc->characterAt(pos).isHighSurrogate() && doc->characterAt(pos + 1).isLowSurrogate())
            n = 2;
        c.setPosition(kind == backspace ? pos - n : pos + n, QTextCursor::KeepAnchor);
    }
    c.removeSelectedText();
    c.endEditBlock();
    FLongEdit = {FEdits, kind, textCursor().position()};
    FTypedAt.start();
    scrollToLongCaret(true);
    return true;
}

// Up and Down from or onto a long line: Qt's move would lose the column
// there, so the editor moves by the x the caret had when the run of Up and
// Down keys began.
bool TColorMemo::moveVertically(QKeyEvent* e)
{
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if ((key != Qt::Key_Up && key != Qt::Key_Down) || (mods & ~Qt::ShiftModifier) || !FLayout->HasLongLines()) {
        FWantX = -1;
        return false;
    }
    QTextCursor c = textCursor();
    const QTextBlock from = c.block();
    const QTextBlock to = key == Qt::Key_Up ? from.previous() : from.next();
    if (!isLong(from) && !(to.isValid() && isLong(to))) {
        FWantX = -1;
        return false;
    }
    if (!to.isValid())
        return true;
    const int column = c.position() - from.position();
    // The x kept through a run of Up and Down keys: the editor's own on a
    // long line, Qt's on a short one.
    if (FWantX < 0 && !isLong(from) && c.verticalMovementX() >= 0)
        FWantX = c.verticalMovementX();
    if (FWantX < 0) {
        blockBoundingRect(from); // lays a short line out
        FWantX = isLong(from) ? FLayout->CursorToX(from, column)
                              : from.layout()->lineForTextPosition(column).cursorToX(column);
    }
    int target = 0;
    if (isLong(to)) {
        target = FLayout->XToCursor(to, FWantX);
    } else {
        blockBoundingRect(to);
        const QTextLine line = to.layout()->lineCount() > 0 ? to.layout()->lineAt(0) : QTextLine();
        target = line.isValid() ? line.xToCursor(FWantX) : 0;
    }
    const qreal keep = FWantX;
    c.setPosition(to.position() + target, (mods & Qt::ShiftModifier) ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    c.setVerticalMovementX(int(keep)); // Qt's next Up or Down goes on from there
    FMovingVertically = true;
    setTextCursor(c);
    FMovingVertically = false;
    FWantX = keep;
    return true;
}

} // namespace tarko
