#include "editor/ColMemo.h"

#include "editor/LineLayout.h"
#include "editor/MouseSelection.h"
#include "editor/WinText.h"
#include "editor/WorkbenchScheme.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
#include <climits>

namespace tarko {

namespace {

// One block's text as Windows-1252, one byte per character so that columns
// stay in step with the document (a stray line separator becomes a blank).
void blockToWin(const QString& text, std::string& out)
{
    out.clear();
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == 0x2028 || c == 0x2029 || c == u'\n' || c == u'\r') {
            out += ' ';
            continue;
        }
        AppendWinText(out, text.constData() + i, 1);
    }
}

} // namespace

TColorMemo::TColorMemo(QWidget* parent)
    : QPlainTextEdit(parent)
{
    // A document of our own, set up as the base control sets up its own,
    // with the layout that leaves long lines to the editor.
    auto* doc = new QTextDocument(this);
    FLayout = new TLineLayout(doc);
    FLayout->setPaintDevice(viewport());
    doc->setDocumentLayout(FLayout);
    doc->setDefaultFont(font());
    setDocument(doc);
    FMouse = std::make_unique<TMouseSelection>(*this);
    FLayout->CaretPosition = [this] { return textCursor().position(); };
    // after the base control's own handling of a new document size
    connect(FLayout, &QAbstractTextDocumentLayout::documentSizeChanged, this, &TColorMemo::fixVerticalRange);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &TColorMemo::longCaretMoved);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, &TColorMemo::keepWithinWidestLine);
    connect(doc, &QTextDocument::contentsChanged, this, &TColorMemo::keepWithinWidestLine); // the widest line may have shrunk
    // Qt repaints the caret (blinking, moving) as a strip of 10 px at its
    // top when it cannot find the caret's line; on a long line the whole
    // caret is repainted.
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy != 0 || !FLayout->HasLongLines() || !isLong(textCursor().block()))
            return;
        const QRect caret = longCaretRect();
        if (rect.intersects(caret.adjusted(-8, 0, 8, 0)) && !rect.contains(caret))
            viewport()->update(caret);
    });
    // Qt scrolls to the caret without a scroll-bar message and repaints
    // only what the scroll uncovers: a line that came whole into view would
    // keep the plain colour it had while cut off. The whole view is repainted.
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect&, int dy) {
        if (dy != 0 && overlayActive())
            viewport()->update();
    });
    viewport()->setMouseTracking(true);
    connect(document(), &QTextDocument::contentsChange, this, &TColorMemo::onContentsChange);
    // Whoever marks the document as changed marks the editor's flag too.
    connect(document(), &QTextDocument::modificationChanged, this, [this](bool changed) {
        if (changed)
            FModified = true;
    });
    // The change handlers run once the edit is complete, so they may edit the text themselves.
    connect(this, &QPlainTextEdit::textChanged, this, &TColorMemo::onTextChanged);
    rebuildMirror();
    FPrevLineCount = LineCount();
    FPrevTextEnd = TextLength();
    FTextBuf.reserve(2048);
}

TColorMemo::~TColorMemo() = default;

void TColorMemo::SetOnDraw(TDrawEvent handler)
{
    FOverlay.Host.OnDraw = std::move(handler);
    forgetOverlays();
}

void TColorMemo::SetColorRules(const TDrawRules& rules)
{
    FOverlay.Rules.Assign(rules);
    forgetOverlays();
}

void TColorMemo::SetColorLimMax(int n)
{
    n = std::max(n, 0);
    if (n == FColorLimMax)
        return;
    FColorLimMax = n;
    FOverlay.Host.ColorLimBuf.assign(size_t(n), TKeyDescr());
}

void TColorMemo::SetHotSpot(const THotSpot& hs)
{
    FOverlay.HotSpot = hs;
    forgetOverlays();
}

void TColorMemo::forgetOverlays()
{
    FChangedFrom = 0;
    FChangeKnown = false;
    for (OverlayCache& c : FCache)
        c.Valid = false;
}

void TColorMemo::SetTabWidthPixels(int pixels)
{
    setTabStopDistance(std::max(pixels, 1));
    viewport()->update();
}

// ---------------------------------------------------------------- mirror

void TColorMemo::rebuildMirror()
{
    ++FEdits;
    QTextDocument* doc = document();
    FLines.resize(size_t(doc->blockCount()));
    size_t i = 0;
    for (QTextBlock b = doc->begin(); b.isValid() && i < FLines.size(); b = b.next(), ++i)
        blockToWin(b.text(), FLines[i]);
}

void TColorMemo::onContentsChange(int position, int removed, int added)
{
    // Every change of the text is an edit the user may lose, undo and redo
    // included; only loading or saving clears the flag again.
    if (removed != 0 || added != 0)
        FModified = true;
    FWantX = -1; // Qt's cursor takes the x of where an edit leaves it
    if (FMarkedLine >= 0 && (removed > 0 || added > 0))
        SetMarkedLine(-1);
    // The blocks from the one holding `position` to the one holding the end
    // of the inserted text replace as many old blocks as the count allows.
    ++FEdits;
    QTextDocument* doc = document();
    const int newCount = doc->blockCount();
    const int oldCount = int(FLines.size());
    const QTextBlock first = doc->findBlock(position);
    QTextBlock last = doc->findBlock(std::min(position + added, doc->characterCount() - 1));
    if (!last.isValid())
        last = doc->lastBlock();
    const int f = first.isValid() ? first.blockNumber() : -1;
    const int newSpan = last.blockNumber() - f + 1;
    const int oldSpan = newSpan - (newCount - oldCount);
    noteChange(WinOffsetFromDocPos(*doc, position), f < 0 || newSpan < 1 || oldSpan < 1 ? -1 : removed + oldSpan - 1,
               added + newSpan - 1);
    if (f < 0 || newSpan < 1 || oldSpan < 1 || f + oldSpan > oldCount) {
        rebuildMirror();
    } else {
        if (newSpan > oldSpan)
            FLines.insert(FLines.begin() + f + oldSpan, size_t(newSpan - oldSpan), std::string());
        else if (newSpan < oldSpan)
            FLines.erase(FLines.begin() + f + newSpan, FLines.begin() + f + oldSpan);
        std::string& line = FLines[size_t(f)];
        const int column = position - first.position();
        if (newSpan == 1 && oldSpan == 1 && added <= 64 && column >= 0
            && line.size() == size_t(first.length() - 1 - added + removed) && size_t(column + removed) <= line.size()) {
            // A change inside one line (a typed letter): only its part of
            // the copy is replaced, so that long lines cost no more than short ones.
            QString part;
            for (int i = 0; i < added; ++i)
                part += doc->characterAt(position + i);
            std::string win;
            blockToWin(part, win);
            line.replace(size_t(column), size_t(removed), win);
            return;
        }
        QTextBlock b = first;
        for (int i = 0; i < newSpan && b.isValid(); ++i, b = b.next())
            blockToWin(b.text(), FLines[size_t(f + i)]);
    }
}

// The changed part of the text since the overlay last looked, in Windows
// positions (a line break counts two): it grows to hold this change, and
// what follows it moves. removed < 0: not known.
void TColorMemo::noteChange(int at, int removed, int added)
{
    FChangedFrom = std::min(FChangedFrom, at);
    if (!FChangeKnown || removed < 0) {
        FChangeKnown = false; // no point beyond the change is kept
        return;
    }
    if (FChangedTo == INT_MAX)
        FChangedTo = at + added;
    else
        FChangedTo = std::max(FChangedTo >= at + removed ? FChangedTo + added - removed : std::min(FChangedTo, at), at + added);
    FDelta += added - removed;
}

void TColorMemo::onTextChanged()
{
    if (OnChange)
        OnChange(this);
    const int lineCount = LineCount();
    const int textEnd = TextLength();
    if (FRedrawAlways)
        DrawColors(false);
    else
        DrawColors(lineCount == FPrevLineCount && textEnd == FPrevTextEnd + 1);
    FPrevLineCount = lineCount;
    FPrevTextEnd = textEnd;
}

// ---------------------------------------------------------------- text

void TColorMemo::SetMarkedLine(int line, const QColor& background)
{
    if (line < 0 || line >= document()->blockCount()) {
        FMarkedLine = -1;
        setExtraSelections({});
        return;
    }
    FMarkedLine = line;
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(blockOfLine(line));
    mark.format.setBackground(background);
    mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    setExtraSelections({mark});
}

void TColorMemo::ScrollLineIntoView(int i)
{
    const QTextBlock b = blockOfLine(i);
    if (!b.isValid())
        return;
    const QRectF r = blockBoundingGeometry(b).translated(contentOffset());
    if (r.top() >= 0 && r.bottom() <= viewport()->height())
        return;
    // The scroll bar counts lines; the line goes a third down from the top,
    // so that what comes next is visible too.
    const int lineHeight = std::max(1, int(r.height()));
    const int visible = std::max(1, viewport()->height() / lineHeight);
    verticalScrollBar()->setValue(std::max(0, b.firstLineNumber() - visible / 3));
}

QTextBlock TColorMemo::blockOfLine(int i) const
{
    const int n = document()->blockCount();
    return document()->findBlockByNumber(std::clamp(i, 0, n - 1));
}

std::string TColorMemo::WinText() const
{
    std::string out;
    size_t total = 0;
    for (const std::string& l : FLines)
        total += l.size() + 2;
    out.reserve(total);
    for (size_t i = 0; i < FLines.size(); ++i) {
        if (i > 0)
            out += "\r\n";
        out += FLines[i];
    }
    return out;
}

void TColorMemo::SetWinText(std::string_view text)
{
    setPlainText(FromWinText(text));
    SetModified(false);
}

void TColorMemo::ReplaceAllText(std::string_view text)
{
    // Split like FromWinText: CR LF, lone CR and lone LF each end a line.
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    QTextCursor c(document());
    c.beginEditBlock();
    if (lines.size() == FLines.size()) {
        // Line by line, so that what stays keeps characters the mirror
        // holds as '?'.
        for (size_t i = 0; i < lines.size(); ++i)
            SetLine(int(i), lines[i]);
    } else {
        c.select(QTextCursor::Document);
        c.insertText(FromWinText(text));
    }
    c.endEditBlock();
    c.setPosition(0);
    setTextCursor(c);
}

int TColorMemo::TextLength() const { return document()->characterCount() - 1 + document()->blockCount() - 1; }

int TColorMemo::LineCount() const
{
    int n = int(FLines.size());
    if (n > 0 && FLines.back().empty())
        --n;
    return n;
}

std::string TColorMemo::Line(int i) const
{
    return (i >= 0 && size_t(i) < FLines.size()) ? FLines[size_t(i)] : std::string();
}

int TColorMemo::LineLength(int i) const
{
    return (i >= 0 && size_t(i) < FLines.size()) ? int(FLines[size_t(i)].size()) : 0;
}

int TColorMemo::LineStart(int i) const
{
    const QTextBlock b = blockOfLine(i);
    return b.position() + b.blockNumber();
}

int TColorMemo::LineOfOffset(int offset) const
{
    return document()->findBlock(DocPosFromWinOffset(*document(), offset)).blockNumber();
}

void TColorMemo::SetLine(int i, std::string_view text)
{
    if (i < 0 || i >= document()->blockCount())
        return;
    // Only the part that differs is replaced: a character the mirror holds
    // as '?' (no Windows-1252 byte) stays as typed when its part is kept.
    const std::string& old = FLines[size_t(i)];
    size_t head = 0;
    while (head < old.size() && head < text.size() && old[head] == text[head])
        ++head;
    size_t tail = 0;
    while (tail < old.size() - head && tail < text.size() - head &&
           old[old.size() - 1 - tail] == text[text.size() - 1 - tail])
        ++tail;
    if (head == old.size() && head == text.size())
        return;
    const QTextBlock b = blockOfLine(i);
    QTextCursor c(document());
    c.beginEditBlock();
    c.setPosition(b.position() + int(head));
    c.setPosition(b.position() + int(old.size() - tail), QTextCursor::KeepAnchor);
    c.insertText(FromWinText(text.substr(head, text.size() - head - tail)));
    c.endEditBlock();
}

void TColorMemo::AddLine(std::string_view text)
{
    // Like the Windows control: the new line ends with a line break.
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    QString s = FromWinText(text) + u'\n';
    if (!FLines.back().empty())
        s.prepend(u'\n');
    c.insertText(s);
}

void TColorMemo::DeleteLine(int i)
{
    const int n = document()->blockCount();
    if (i < 0 || i >= n)
        return;
    const QTextBlock b = blockOfLine(i);
    QTextCursor c(document());
    c.beginEditBlock();
    if (i + 1 < n) {
        c.setPosition(b.position());
        c.setPosition(b.position() + b.length(), QTextCursor::KeepAnchor);
    } else { // the last line keeps its place and loses only its characters
        c.setPosition(b.position());
        c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
    }
    c.removeSelectedText();
    c.endEditBlock();
}

bool TColorMemo::Modified() const { return FModified; }

void TColorMemo::SetModified(bool on)
{
    FModified = on;
    document()->setModified(on);
}

int TColorMemo::FirstUnstorableLine(QString* character) const
{
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        const QString text = b.text();
        const qsizetype i = FirstUnstorable(text);
        if (i < 0)
            continue;
        if (character) {
            const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            *character = text.mid(i, pair ? 2 : 1);
        }
        return b.blockNumber();
    }
    return -1;
}

// ---------------------------------------------------------------- selection and caret

int TColorMemo::SelStart() const { return WinOffsetFromDocPos(*document(), textCursor().selectionStart()); }

int TColorMemo::SelLength() const
{
    const QTextCursor c = textCursor();
    return WinOffsetFromDocPos(*document(), c.selectionEnd()) - WinOffsetFromDocPos(*document(), c.selectionStart());
}

void TColorMemo::SetSelStart(int offset)
{
    QTextCursor c = textCursor();
    c.setPosition(DocPosFromWinOffset(*document(), offset));
    setTextCursor(c);
}

void TColorMemo::SetSelLength(int length)
{
    QTextCursor c = textCursor();
    const int start = c.selectionStart();
    const int end = DocPosFromWinOffset(*document(), WinOffsetFromDocPos(*document(), start) + std::max(length, 0));
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(c);
}

std::string TColorMemo::SelText() const { return ToWinText(textCursor().selectedText()); }

void TColorMemo::SetSelText(std::string_view text)
{
    QTextCursor c = textCursor();
    c.insertText(FromWinText(text));
    setTextCursor(c);
    document()->clearUndoRedoStacks();
}

void TColorMemo::ReplaceSelection(std::string_view text)
{
    QTextCursor c = textCursor();
    c.beginEditBlock();
    c.insertText(FromWinText(text));
    c.endEditBlock();
    setTextCursor(c);
}

void TColorMemo::ReplaceEach(const std::vector<int>& offsets, int length, std::string_view text)
{
    if (offsets.empty())
        return;
    // From the last to the first, so the offsets before stay where they
    // are; one edit block, so the editor and its colours see one change.
    const QString with = FromWinText(text);
    QTextDocument* doc = document();
    QTextCursor c(doc);
    c.beginEditBlock();
    for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
        c.setPosition(DocPosFromWinOffset(*doc, *it));
        c.setPosition(DocPosFromWinOffset(*doc, *it + length), QTextCursor::KeepAnchor);
        c.insertText(with);
    }
    c.endEditBlock();
    const int moved = (int(offsets.size()) - 1) * (int(text.size()) - length);
    SetSelStart(offsets.back() + moved + int(text.size()));
    doc->clearUndoRedoStacks();
}

int TColorMemo::CaretLine()
{
    FCurLine = document()->findBlock(textCursor().selectionStart()).blockNumber();
    return FCurLine;
}

int TColorMemo::CaretColumn()
{
    const QTextCursor c = textCursor();
    const QTextBlock b = document()->findBlock(c.selectionStart());
    FCurColumn = c.selectionStart() - b.position();
    return FCurColumn;
}

int TColorMemo::TopLine()
{
    FTopLine = firstVisibleBlock().blockNumber();
    return FTopLine;
}

void TColorMemo::SetCaretLine(int n)
{
    FCurLine = std::clamp(n, 0, std::max(LineCount() - 1, 0));
    QTextCursor c = textCursor();
    c.setPosition(blockOfLine(FCurLine).position());
    setTextCursor(c);
}

void TColorMemo::SetCaretColumn(int n)
{
    const QTextBlock b = blockOfLine(FCurLine); // the line may have gone since
    FCurColumn = std::clamp(n, 0, b.length() - 1);
    QTextCursor c = textCursor();
    c.setPosition(b.position() + FCurColumn);
    setTextCursor(c);
}

// ---------------------------------------------------------------- events

void TColorMemo::keyPressEvent(QKeyEvent* e)
{
    const int key = e->key();
    const bool movement = key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_End
        || key == Qt::Key_Home || key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right
        || key == Qt::Key_Down;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (movement && mods == Qt::NoModifier && QApplication::mouseButtons() == Qt::NoButton
        && textCursor().hasSelection()) {
        // The movement starts from the selection's end.
        QTextCursor c = textCursor();
        c.setPosition(c.selectionEnd());
        setTextCursor(c);
        DrawColors(false);
    }
    bool handled = false;
    if (OnKeyDown)
        OnKeyDown(this, e, handled);
    if (!handled && OnKeyPress && !e->text().isEmpty()) // characters, Enter and control codes
        OnKeyPress(this, e, handled);
    if (handled) {
        e->accept();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && (mods & Qt::ShiftModifier) && !isReadOnly()) {
        // A line break in program text is always a new line, never a soft break.
        QTextCursor c = textCursor();
        c.insertText(QStringLiteral("\n"));
        setTextCursor(c);
        e->accept();
        return;
    }
    if (moveVertically(e) || movePage(e) || editLongLine(e)) {
        e->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
    if (key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Left || key == Qt::Key_Right)
        FWantX = -1; // Qt's cursor takes the caret's x with these keys, moved or not
    if (e->isAccepted()) // Qt brings the caret into view after every key it takes
        scrollToLongCaret();
}

void TColorMemo::keyReleaseEvent(QKeyEvent* e)
{
    const Qt::KeyboardModifiers others = e->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (e->key() == Qt::Key_Shift && others == Qt::NoModifier && QApplication::mouseButtons() == Qt::NoButton)
        DrawColors(false);
    if (OnKeyUp)
        OnKeyUp(this, e);
    QPlainTextEdit::keyReleaseEvent(e);
}

void TColorMemo::mousePressEvent(QMouseEvent* e)
{
    FWantX = -1;
    if (ownsMouse(e)) {
        FMouse->Press(e);
        e->accept();
    } else {
        if (e->button() == Qt::LeftButton)
            FMouse->Forget();
        QPlainTextEdit::mousePressEvent(e);
    }
    if (e->button() == Qt::LeftButton && e->buttons() == Qt::LeftButton && e->modifiers() == Qt::NoModifier)
        DrawColors(false);
    if (OnMouseDown)
        OnMouseDown(this, e);
}

// Qt's control hit-tests with its own layout, which finds no characters on
// a long line: while there are long lines the left button is the editor's.
bool TColorMemo::ownsMouse(const QMouseEvent* e) const
{
    return (e->button() == Qt::LeftButton || (e->type() == QEvent::MouseMove && (e->buttons() & Qt::LeftButton)))
        && FLayout->HasLongLines();
}

void TColorMemo::mouseReleaseEvent(QMouseEvent* e)
{
    if (ownsMouse(e)) {
        FMouse->Release(e);
        e->accept();
    } else {
        QPlainTextEdit::mouseReleaseEvent(e);
    }
    if (e->button() != Qt::LeftButton) {
        if (OnMouseUp)
            OnMouseUp(this, e);
        return;
    }
    DrawColors(false);
    if (OnMouseUp)
        OnMouseUp(this, e);
    std::string text;
    if (FOverHotSpot && hotSpotUnder(e->position().toPoint(), &text) && OnHotSpotClick)
        OnHotSpotClick(this, text);
    if (OnClick)
        OnClick(this);
}

void TColorMemo::mouseMoveEvent(QMouseEvent* e)
{
    if (FOverlay.HotSpot.Active) {
        const bool over = hotSpotUnder(e->position().toPoint(), nullptr);
        if (over != FOverHotSpot) {
            FOverHotSpot = over;
            viewport()->setCursor(over ? Qt::PointingHandCursor : Qt::IBeamCursor);
        }
    }
    if (OnMouseMove)
        OnMouseMove(this, e);
    if (ownsMouse(e)) {
        FMouse->Move(e);
        e->accept();
        return;
    }
    QPlainTextEdit::mouseMoveEvent(e);
}

void TColorMemo::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (!ownsMouse(e)) {
        QPlainTextEdit::mouseDoubleClickEvent(e);
        return;
    }
    FMouse->DoubleClick(e);
    e->accept();
}

bool TColorMemo::hotSpotUnder(const QPoint& pos, std::string* text) const
{
    if (!FOverlay.HotSpot.Active)
        return false;
    const QTextBlock block = cursorForPosition(pos).block();
    if (!block.isValid() || !block.layout())
        return false;
    const QRectF r = blockBoundingGeometry(block).translated(contentOffset());
    if (pos.y() < r.top() || pos.y() >= r.bottom())
        return false;
    const QPointF local(pos.x() - contentOffset().x(), pos.y() - r.top());
    if (isLong(block)) {
        if (local.x() >= document()->documentMargin() + FLayout->NaturalWidth(block))
            return false;
        const int column = FLayout->XToCursor(block, local.x(), true);
        return HotSpotAt(Line(block.blockNumber()), column, FOverlay.HotSpot, text);
    }
    const QTextLayout* layout = block.layout();
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine l = layout->lineAt(i);
        if (local.y() < l.y() || local.y() >= l.y() + l.height())
            continue;
        if (local.x() >= l.x() + l.naturalTextWidth())
            return false; // right of the line's text: no character under the pointer
        const int column = l.xToCursor(local.x(), QTextLine::CursorOnCharacter);
        return HotSpotAt(Line(block.blockNumber()), column, FOverlay.HotSpot, text);
    }
    return false;
}

void TColorMemo::scrollContentsBy(int dx, int dy)
{
    QPlainTextEdit::scrollContentsBy(dx, dy);
    if (dy != 0 && OnVScroll)
        OnVScroll(this);
    if (dx != 0 && OnHScroll)
        OnHScroll(this);
    DrawColors(false);
}

void TColorMemo::insertFromMimeData(const QMimeData* source)
{
    if (isReadOnly() || !source || !source->hasText())
        return;
    // Pasted line breaks of any kind become real lines.
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    text.replace(QChar(0x2028), u'\n');
    text.replace(QChar(0x2029), u'\n');
    QTextCursor c = textCursor();
    c.insertText(text);
    setTextCursor(c);
}

// ---------------------------------------------------------------- schemes

void ApplyProgramEditorScheme(TColorMemo& memo)
{
    memo.SetColorRules(WorkbenchColorRules());
    memo.SetHotSpot(THotSpot());
    memo.SetRedrawAlways(false);
    memo.SetColorLimMax(0);
    memo.SetWantTabs(true);
    memo.setLineWrapMode(QPlainTextEdit::NoWrap);
    memo.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette pal = memo.palette();
    pal.setColor(QPalette::Text, Qt::black);
    memo.setPalette(pal);
}

void ApplyConsoleScheme(TColorMemo& memo)
{
    memo.SetColorRules(TDrawRules());
    memo.SetHotSpot(THotSpot());
    memo.setReadOnly(true);
    memo.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo.setUndoRedoEnabled(false);
    QFont f = memo.font();
    f.setBold(true);
    memo.setFont(f);
}

} // namespace tarko
