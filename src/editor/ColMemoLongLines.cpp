// The long-line mode of TColorMemo: lines too long for Qt's layout (see
// TLineLayout) are edited, hit, scrolled to and given their caret here,
// since the base control knows nothing of them.
#include "editor/ColMemo.h"

#include "editor/LineLayout.h"
#include "editor/MouseSelection.h"

#include <QApplication>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>
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

void TColorMemo::timerEvent(QTimerEvent* e)
{
    if (!FMouse->Timer(e))
        QPlainTextEdit::timerEvent(e);
}

void TColorMemo::inputMethodEvent(QInputMethodEvent* e)
{
    // where the input method's cursor stands in its text, as Qt's control keeps it
    int preeditCursor = int(e->preeditString().size());
    for (const QInputMethodEvent::Attribute& a : e->attributes())
        if (a.type == QInputMethodEvent::Cursor)
            preeditCursor = a.start;
    FLayout->SetPreeditCursor(preeditCursor);
    QPlainTextEdit::inputMethodEvent(e);
    scrollToLongCaret();
}

void TColorMemo::doSetTextCursor(const QTextCursor& cursor)
{
    // A cursor set from outside the vertical moves brings its own x (Qt's
    // cursor takes a new one whenever it is placed), even where it stays.
    if (!FMovingVertically)
        FWantX = -1;
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
    return QRectF(contentOffset().x() + FLayout->CaretX(b, position - b.position()), r.top(), cursorWidth(),
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
    // Above the line (the top margin) Qt hits its start, below it (under the last line) its end.
    const qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    if (pos.y() < top)
        return block.position();
    if (pos.y() >= top + FLayout->LineHeight())
        return block.position() + block.length() - 1;
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
    if (!FPaging)
        FPageYValid = false;
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
                if (!FMouse->Selecting())
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
        // As Qt scrolls to a caret it finds: centred when any of it is outside the view.
        QRect caret = cursorRect();
        caret.setWidth(cursorWidth());
        const QRect visible = viewport()->rect();
        if (caret.left() < visible.left() || caret.right() > visible.right())
            h->setValue(caret.center().x() + h->value() - visible.width() / 2);
    }
    keepWithinWidestLine();
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

// Qt's undo and redo bring the caret into view even where it stays at the
// same position (the line around it may have changed); on a long line Qt
// scrolls only horizontally and leaves the vertical part to the editor.
// (Ctrl+Z and Ctrl+Shift+Z go through keyPressEvent, which does the same.)
void TColorMemo::undo()
{
    QPlainTextEdit::undo();
    scrollToLongCaret();
}

void TColorMemo::redo()
{
    QPlainTextEdit::redo();
    scrollToLongCaret();
}

// The scroll range of a long line ends a little beyond it (see
// TLineLayout::documentSize); the view never goes beyond the end of the
// widest line, where Qt's range would end.
void TColorMemo::keepWithinWidestLine()
{
    if (!FLayout->HasLongLines())
        return;
    QScrollBar* h = horizontalScrollBar();
    const int end = std::max(0, int(FLayout->ExactWidth()) - viewport()->width());
    if (h->value() > end)
        h->setValue(end);
}

// Letters, Backspace and Delete on a long line are done here: Qt's own key
// handling would lay out the whole line around the caret for every letter.
bool TColorMemo::editLongLine(QKeyEvent* e)
{
    if (isReadOnly() || overwriteMode() || !FLayout->HasLongLines())
        return false;
    QTextCursor c = textCursor();
    if (!isLong(c.block()))
        return false;
    constexpr int typing = editTyping, backspace = editBackspace, del = editDelete;
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

    // A run of letters (Backspaces, Deletes) goes on as it began, so that it
    // stays one undo step when the line crosses kExactUndoLine; a run begun
    // below it lengthens the line only by what is typed.
    const bool plain = joinsLongEdit(c, kind) ? !FLongEdit.InBlock : c.block().length() <= kExactUndoLine;
    if (plain) {
        // The calls Qt's control makes for these keys: the document then
        // joins a letter to the previous undo step exactly as on a short line.
        if (kind == typing)
            c.insertText(text);
        else if (kind == backspace)
            c.deletePreviousChar();
        else
            c.deleteChar();
        FLongEdit = {FEdits, kind, textCursor().position(), false};
    } else {
        editInBlock(c, kind, text);
    }
    // Qt's control edits with its own cursor, which takes the x of where
    // the edit leaves it for the next Up or Down: the edited copy has it.
    setTextCursorInPlace(c);
    FTypedAt.start();
    // Qt brings the caret into view after the key; the line may be short now
    if (isLong(textCursor().block()))
        scrollToLongCaret(true);
    else
        ensureCursorVisible();
    return true;
}

// Outside an edit block Qt's cursor measures the whole line after every
// change; on a line longer than kExactUndoLine a letter, Backspace or
// Delete is an edit block of its own. The document then cannot join it
// to a step it made itself: a run of them at the caret joins the previous
// one, as the document joins typed letters, but never across the point
// where the text was saved (where the document starts a new step too).
bool TColorMemo::joinsLongEdit(const QTextCursor& c, int kind) const
{
    return !c.hasSelection() && document()->isModified() && FLongEdit.Edits == FEdits && FLongEdit.Kind == kind
        && FLongEdit.Position == c.position();
}

void TColorMemo::editInBlock(QTextCursor& c, int kind, const QString& text)
{
    if (joinsLongEdit(c, kind))
        c.joinPreviousEditBlock();
    else
        c.beginEditBlock();
    if (kind == editTyping)
        c.insertText(text);
    else if (kind == editBackspace)
        c.deletePreviousChar();
    else
        c.deleteChar();
    c.endEditBlock();
    FLongEdit = {FEdits, kind, textCursor().position(), true};
}

// Up and Down from or onto a long line: Qt's move would lose the column
// there, so the editor moves by the x the caret had when the run of Up and
// Down keys began.
bool TColorMemo::moveVertically(QKeyEvent* e)
{
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    // (Other keys keep the x unless they move the caret or change the text.)
    if ((key != Qt::Key_Up && key != Qt::Key_Down) || (mods & ~Qt::ShiftModifier) || !FLayout->HasLongLines())
        return false;
    QTextCursor c = textCursor();
    const QTextBlock from = c.block();
    const QTextBlock to = key == Qt::Key_Up ? from.previous() : from.next();
    if (!isLong(from) && !(to.isValid() && isLong(to))) {
        FWantX = -1;
        return false;
    }
    if (!to.isValid()) {
        // Shift+Up on the first line selects to its start, Shift+Down on the last to its end.
        if (mods & Qt::ShiftModifier) {
            c.movePosition(key == Qt::Key_Up ? QTextCursor::Start : QTextCursor::End, QTextCursor::KeepAnchor);
            setTextCursor(c);
        }
        scrollToLongCaret(true); // Qt brings the caret into view after the key, moved or not
        return true;
    }
    const qreal keep = verticalX(c);
    c.setPosition(to.position() + columnAtX(to, keep), (mods & Qt::ShiftModifier) ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    c.setVerticalMovementX(int(keep)); // Qt's next Up or Down goes on from there
    FMovingVertically = true;
    setTextCursor(c);
    FMovingVertically = false;
    FWantX = keep;
    return true;
}

// The x kept through a run of vertical moves (Up, Down, PgUp, PgDn): the
// editor's own on a long line, Qt's on a short one.
qreal TColorMemo::verticalX(const QTextCursor& c)
{
    if (FWantX >= 0)
        return FWantX;
    const QTextBlock from = c.block();
    const int column = c.position() - from.position();
    if (isLong(from))
        return FWantX = FLayout->CursorToX(from, column);
    blockBoundingRect(from); // lays a short line out
    const qreal x = from.layout()->lineForTextPosition(column).cursorToX(column);
    // Qt's cursor hands out its x in whole pixels: the exact x when it is the caret's own
    const int kept = c.verticalMovementX();
    return FWantX = kept < 0 || kept == int(x) ? x : kept;
}

// The column of a line nearest to x.
int TColorMemo::columnAtX(const QTextBlock& block, qreal x)
{
    if (isLong(block))
        return FLayout->XToCursor(block, x);
    blockBoundingRect(block);
    const QTextLine line = block.layout()->lineCount() > 0 ? block.layout()->lineAt(0) : QTextLine();
    return line.isValid() ? line.xToCursor(x) : 0;
}

// PgUp and PgDn while there are long lines. Qt's page move looks for the
// text lines of the block at the top of the new page and keeps the caret's
// x through the lines it passes; a long line has neither. The editor
// pages as Qt does with every line one line high: the view moves by a page,
// and the caret by lines, at the x the run of vertical moves began with,
// until it is as far from the top as it was before the run of pages.
bool TColorMemo::movePage(QKeyEvent* e)
{
    const int key = e->key();
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if ((key != Qt::Key_PageUp && key != Qt::Key_PageDown) || (mods & ~Qt::ShiftModifier) || !FLayout->HasLongLines())
        return false;
    const bool down = key == Qt::Key_PageDown;
    // The caret comes into view first; on a long line the vertical part is the editor's.
    ensureCursorVisible();
    scrollToLongCaret();
    QTextCursor c = textCursor();
    const qreal verticalOffset = -contentOffset().y();
    if (!FPageYValid)
        FPageY = blockBoundingGeometry(c.block()).top() - verticalOffset;
    const qreal target = scrollPage(down, FPageY) - contentOffset().y();
    const qreal keep = verticalX(c);
    const QTextCursor::MoveMode mode = (mods & Qt::ShiftModifier) ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    for (QTextBlock b = c.block();;) {
        b = down ? b.next() : b.previous();
        if (!b.isValid())
            break;
        c.setPosition(b.position() + columnAtX(b, keep), mode);
        const qreal top = blockBoundingGeometry(b).top();
        if (down ? top >= target : top <= target)
            break;
    }
    c.setVerticalMovementX(int(keep));
    FMovingVertically = FPaging = true;
    setTextCursor(c);
    FMovingVertically = FPaging = false;
    FPageYValid = true;
    FWantX = keep;
    return true;
}

// Scrolls the view a page as Qt's page move does, each line one line
// high. Returns how far from the top the caret goes: lastY, or the bottom
// when a page down reaches the end, or the top when a page up starts there.
qreal TColorMemo::scrollPage(bool down, qreal lastY)
{
    QScrollBar* v = verticalScrollBar();
    QRectF visible = QRectF(viewport()->rect()).translated(-contentOffset());
    QTextBlock block = firstVisibleBlock();
    if (down) {
        qreal h = 0;
        QRectF br = blockBoundingRect(block);
        while (h + br.height() <= visible.bottom()) {
            if (!block.next().isValid())
                return visible.bottom(); // no scrolling: the caret goes to the last line
            h += br.height();
            block = block.next();
            br = blockBoundingRect(block);
        }
        v->setValue(block.firstLineNumber());
        return lastY;
    }
    visible.translate(0, -visible.height()); // the page above
    qreal h = 0;
    while (h >= visible.top()) {
        if (!block.previous().isValid()) {
            if (firstVisibleBlock().blockNumber() == 0)
                lastY = 0; // at the top already: the caret goes to the first line
            break;
        }
        block = block.previous();
        h -= blockBoundingRect(block).height();
    }
    // the line must start within the page above, else the one below it
    if (visible.top() - h > 0 && block.next().isValid() && block.next() != firstVisibleBlock())
        block = block.next();
    v->setValue(block.firstLineNumber());
    return lastY;
}
// Qt's control finds the drop's place with its own hit test, which puts
// it at the start of a long line: while there are long lines the editor
// drops, as the control does, at the place it hits itself.
void TColorMemo::dropEvent(QDropEvent* e)
{
    FDropCaret = -1;
    if (!FLayout->HasLongLines() || isReadOnly() || !canInsertFromMimeData(e->mimeData())) {
        QPlainTextEdit::dropEvent(e);
        return;
    }
    QDragLeaveEvent leave; // ends the drag state (feedback caret, scrolling)
    dragLeaveEvent(&leave);
    QTextCursor insertion = cursorForPosition(e->position().toPoint());
    const bool moving = e->dropAction() == Qt::MoveAction && e->source() == viewport();
    static const QRegularExpression lineBreak(QStringLiteral("[\\r\\n\\x{2028}\\x{2029}]"));
    const int oldEnd = e->mimeData()->text().contains(lineBreak) ? -1 : insertion.block().length() - 1;
    const bool longBefore = isLong(insertion.block());
    QScrollBar* h = horizontalScrollBar();
    const int scrolled = h->value();
    insertion.beginEditBlock();
    if (moving) {
        QTextCursor moved = textCursor();
        moved.removeSelectedText();
    }
    setTextCursorInPlace(insertion);
    insertFromMimeData(e->mimeData());
    insertion.endEditBlock();
    if (longBefore || isLong(textCursor().block())) {
        // Qt's control would measure a caret on a long line by a layout the
        // line does not have: its first scroll is made here.
        h->setValue(scrolled);
        const QRect early = dropFirstInView(oldEnd);
        if (early.isValid() && (early.left() < 0 || early.right() >= viewport()->width()))
            h->setValue(early.center().x() + scrolled - viewport()->width() / 2);
    }
    if (isLong(textCursor().block()))
        scrollToLongCaret(true);
    else
        ensureCursorVisible();
    e->acceptProposedAction();
}

// Where Qt's control first brings the caret behind dropped text into view
// (as measured against it), once the text is dropped: Qt measures within
// the drop, when the line already holds the new text but still has the
// extent of its old oldEnd characters (-1 for text with a line break,
// which Qt lays out anew). A caret within that extent is measured where it
// is (no rectangle here); one at the line's new end at the extent's end,
// the x of column oldEnd in the new text; one between those finds no text
// line and is measured at the line's left edge.
QRect TColorMemo::dropFirstInView(int oldEnd) const
{
    const QTextCursor caret = textCursor();
    const QTextBlock block = caret.block();
    const int column = caret.positionInBlock();
    if (oldEnd < 0 || column < oldEnd)
        return {};
    if (column < block.length() - 1) {
        const qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
        return QRect(int(contentOffset().x()), int(top), cursorWidth(), 10);
    }
    QTextCursor c(block);
    c.setPosition(block.position() + oldEnd);
    return cursorRect(c);
}

// The caret that shows where a drag would drop: Qt's control places it by
// the same hit test as its drop.
void TColorMemo::dragMoveEvent(QDragMoveEvent* e)
{
    QPlainTextEdit::dragMoveEvent(e);
    const int at = FLayout->HasLongLines() && e->isAccepted() ? cursorForPosition(e->position().toPoint()).position() : -1;
    if (at != FDropCaret) {
        FDropCaret = at;
        viewport()->update();
    }
}

void TColorMemo::dragLeaveEvent(QDragLeaveEvent* e)
{
    QPlainTextEdit::dragLeaveEvent(e);
    if (FDropCaret >= 0) {
        FDropCaret = -1;
        viewport()->update();
    }
}

} // namespace tarko
