#include "editor/ColMemo.h"

#include "editor/LineLayout.h"
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

enum RunKind { kindPlain = 0, kindMarker = 1, kindUnderlined = 2 };

// Qt draws every glyph of a line, whether it can be seen or not, and makes
// a pass over the whole line for every format range: a coloured line of a
// megabyte would take seconds per paint, caret blinks included. Of a line
// wider than the view only the runs reaching into the seen part are handed
// to Qt; a line longer than this is drawn as the seen part alone.
constexpr int kLongLine = 300;
constexpr int kSliceMargin = 8; // characters beyond each edge, so no glyph is cut
// From this size of the painted text on, its runs are kept between paints.
constexpr int kKeptOverlayText = 65536;

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
    FLayout->CaretPosition = [this] { return textCursor().position(); };
    // after the base control's own handling of a new document size
    connect(FLayout, &QAbstractTextDocumentLayout::documentSizeChanged, this, &TColorMemo::fixVerticalRange);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &TColorMemo::longCaretMoved);
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

// ---------------------------------------------------------------- colouring

bool TColorMemo::overlayActive() const { return isEnabled() && isVisible() && FOverlay.HasWork(); }

QColor TColorMemo::ToQColor(TColor c) const
{
    if ((c >> 24) == 0x80) {
        switch (c & 0xFF) {
        case 5: return palette().color(QPalette::Base);            // clWindow
        case 13: return palette().color(QPalette::Highlight);      // clHighlight
        case 14: return palette().color(QPalette::HighlightedText);
        case 15: return palette().color(QPalette::Button);         // clBtnFace
        default: return palette().color(QPalette::Text);           // clWindowText and the rest
        }
    }
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

void TColorMemo::DrawColors(bool OnlyCurrentLine)
{
    if (!overlayActive())
        return;
    if (OnlyCurrentLine) {
        FLastRequest = TDrawRequest::CurrentLine;
        const QTextBlock b = document()->findBlock(textCursor().selectionStart());
        FLineOnly = b.blockNumber();
        const QRectF r = blockBoundingGeometry(b).translated(contentOffset());
        viewport()->update(QRect(0, int(r.top()), viewport()->width(), int(r.height()) + 1));
    } else {
        FLastRequest = TDrawRequest::Whole;
        FLineOnly = -1;
        viewport()->update();
    }
}

int TColorMemo::ComputeOverlay(bool OnlyCurrentLine)
{
    return computeOverlay(OnlyCurrentLine ? document()->findBlock(textCursor().selectionStart()).blockNumber() : -1);
}

int TColorMemo::computeOverlay(int onlyLine)
{
    QTextDocument* doc = document();
    const int blocks = doc->blockCount();
    const QTextCursor cursor = textCursor();
    const bool OnlyCurrentLine = onlyLine >= 0;
    const int firstLine = OnlyCurrentLine ? std::min(onlyLine, blocks - 1) : firstVisibleBlock().blockNumber();
    const int count = OnlyCurrentLine ? 1 : blocks - firstLine;

    // A span may reach down from KeyMaxHeight - 1 lines above the painted ones.
    int scanLine = firstLine;
    if (FOverlay.Rules.Count() > 0 && firstLine > 0)
        scanLine = firstLine - (FOverlay.KeyMaxHeight() - 1);
    scanLine = std::clamp(scanLine, 0, blocks - 1);
    const int scanStart = LineStart(scanLine);

    // Only fully visible lines are coloured: the first line cut off at the
    // bottom (or above the top) ends the scan at its start.
    const QPointF offset = contentOffset();
    const qreal bottom = viewport()->height();
    int scanEnd = -1, lastWalked = -1, walked = 0;
    for (QTextBlock b = doc->findBlockByNumber(firstLine); b.isValid() && walked < count; b = b.next(), ++walked) {
        const QRectF r = blockBoundingGeometry(b).translated(offset);
        if (r.top() < 0 || r.bottom() > bottom) {
            scanEnd = b.position() + b.blockNumber();
            break;
        }
        lastWalked = b.blockNumber();
    }
    if (scanEnd < 0) {
        const int l = lastWalked >= 0 ? lastWalked : scanLine;
        scanEnd = LineStart(l) + LineLength(l);
    }
    scanEnd = std::max(scanEnd, scanStart);

    OverlayKey key;
    key.Edits = FEdits;
    key.ScanStart = scanStart;
    key.ScanEnd = scanEnd;
    key.SelStart = WinOffsetFromDocPos(*doc, cursor.selectionStart());
    key.SelLength = WinOffsetFromDocPos(*doc, cursor.selectionEnd()) - key.SelStart;
    key.CaretColumn = cursor.selectionStart() - doc->findBlock(cursor.selectionStart()).position();
    const QColor fc = palette().color(QPalette::Text);
    key.FontColor = RgbColor(fc.red(), fc.green(), fc.blue());
    key.WantTabs = WantTabs();
    key.RedrawAlways = FRedrawAlways;
    paintedWindows(scanLine, scanStart, scanEnd, FWindows);
    for (const TScanWindow& w : FWindows)
        key.Windows.emplace_back(w.From, w.To);
    FLastScanStart = scanStart;
    FLastScanEnd = scanEnd;

    // Only the runs of a large text are kept: ordinary paints stay exactly
    // as they are, rules changed at run time included. Spans from an OnDraw
    // handler may change at any time and are never kept.
    bool keep = scanEnd - scanStart >= kKeptOverlayText;
    for (int i = 0; keep && i < FOverlay.Rules.Count(); ++i)
        keep = FOverlay.Rules[i].KeyDrawingType != dtEventDraw;
    OverlayCache& cache = FCache[OnlyCurrentLine ? 1 : 0];
    if (keep && cache.Valid && cache.Key == key) {
        FLastRuns = cache.Runs.data();
        FLastRunCount = int(cache.Runs.size());
        return FLastRunCount;
    }

    // The painted text, from the mirror; the buffer only grows.
    const size_t want = size_t(scanEnd - scanStart);
    FTextBuf.clear();
    const int lines = std::min(blocks, int(FLines.size()));
    for (int l = scanLine; l < lines && FTextBuf.size() < want; ++l) {
        if (l > scanLine)
            FTextBuf += "\r\n";
        FTextBuf += FLines[size_t(l)];
    }
    if (FTextBuf.size() > want)
        FTextBuf.resize(want);

    TOverlayInput in;
    in.Text = FTextBuf;
    in.ScanStart = scanStart;
    in.WantTabs = key.WantTabs;
    in.RedrawAlways = key.RedrawAlways;
    in.SelStart = key.SelStart;
    in.SelLength = key.SelLength;
    in.CaretColumn = key.CaretColumn;
    in.FontColor = key.FontColor;
    in.Windows = FWindows;
    // What lies before the first change since the last pass is searched
    // again only from the overlay's resume points near it.
    in.UnchangedBefore = FChangedFrom;
    in.ChangedTo = FChangeKnown ? FChangedTo : INT_MAX;
    in.Delta = FChangeKnown ? FDelta : 0;
    FLastRunCount = FOverlay.Build(in);
    FChangedFrom = INT_MAX;
    FChangedTo = INT_MAX;
    FDelta = 0;
    FChangeKnown = true;
    FLastRuns = FOverlay.Runs();
    cache.Valid = keep;
    if (keep) {
        cache.Key = key;
        cache.Runs.assign(FLastRuns, FLastRuns + FLastRunCount);
    }
    return FLastRunCount;
}

// Of a long line only the columns in view (and a margin) are painted, so
// only they are coloured: the colours of a typed letter then cost the same
// on a line of a megabyte as on a short one. No windows (the whole scan)
// when the scan holds no long line.
void TColorMemo::paintedWindows(int scanLine, int scanStart, int scanEnd, std::vector<TScanWindow>& out) const
{
    out.clear();
    if (!FLayout->HasLongLines())
        return;
    constexpr int margin = 2 * kSliceMargin; // beyond what a paint's slice takes
    const qreal left = -contentOffset().x();
    const qreal right = left + viewport()->width();
    int from = scanStart;
    for (QTextBlock b = blockOfLine(scanLine); b.isValid(); b = b.next()) {
        const int lineStart = b.position() + b.blockNumber();
        if (lineStart >= scanEnd)
            break;
        if (!isLong(b))
            continue;
        const int length = b.length() - 1;
        const int first = std::max(0, FLayout->XToCursor(b, left) - margin);
        const int last = std::min(length, FLayout->XToCursor(b, right) + margin);
        if (lineStart - 1 >= from)
            out.push_back({from, lineStart - 1});
        if (last > first)
            out.push_back({lineStart + first, lineStart + last - 1});
        from = lineStart + length;
    }
    if (from <= scanEnd - 1)
        out.push_back({from, scanEnd - 1});
    if (out.empty())
        out.push_back({scanStart, scanStart}); // nothing in view: one cell, not the whole scan
}

const QTextCharFormat& TColorMemo::runFormat(TColor color, int kind)
{
    for (const FormatCacheEntry& f : FFormats)
        if (f.Color == color && f.Kind == kind)
            return f.Format;
    if (FFormats.size() > 64)
        FFormats.clear();
    QTextCharFormat fmt;
    const QColor c = ToQColor(color);
    fmt.setForeground(c);
    if (kind == kindMarker)
        fmt.setBackground(c);
    if (kind == kindUnderlined)
        fmt.setFontUnderline(true);
    FFormats.push_back({color, kind, fmt});
    return FFormats.back().Format;
}

TColorMemo::Slice TColorMemo::visibleSlice(const QTextBlock& block, const QPointF& offset, const QRect& clip) const
{
    Slice slice;
    if (isLong(block)) {
        const int from = FLayout->XToCursor(block, clip.left() - offset.x());
        const int to = FLayout->XToCursor(block, clip.right() + 1 - offset.x());
        slice.From = std::max(0, from - kSliceMargin);
        slice.To = std::min(block.length() - 1, to + kSliceMargin);
        return slice;
    }
    const QTextLayout* layout = block.layout();
    if (!layout || layout->lineCount() != 1)
        return slice;
    const QTextLine line = layout->lineAt(0);
    if (line.naturalTextWidth() <= viewport()->width())
        return slice; // the whole line can be seen
    const int from = line.xToCursor(clip.left() - offset.x(), QTextLine::CursorBetweenCharacters);
    const int to = line.xToCursor(clip.right() + 1 - offset.x(), QTextLine::CursorBetweenCharacters);
    slice.From = std::max(0, from - kSliceMargin);
    slice.To = std::min(block.length() - 1, to + kSliceMargin);
    return slice;
}

// The slice is laid out on its own, at the x of its first character in the
// line, with the tab stops moved by that x so every tab ends where the
// line's own layout ends it. The format ranges (colours, selection) and
// the caret are cut to the slice.
void TColorMemo::drawSlice(QPainter& painter, const QTextBlock& block, const Slice& slice, const QPointF& offset,
                           const QRect& clip, int cursor)
{
    // A long line has no QTextLine: its x positions come from the layout.
    const bool longLine = isLong(block);
    const QTextLine line = longLine ? QTextLine() : block.layout()->lineAt(0);
    auto xOf = [&](int column) { return longLine ? FLayout->CursorToX(block, column) : line.cursorToX(column); };
    const qreal lineX = longLine ? document()->documentMargin() : line.x();
    const qreal lineY = longLine ? 0 : line.y();
    const qreal x0 = xOf(slice.From);
    QTextOption option = document()->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    const qreal tab = option.tabStopDistance() > 0 ? option.tabStopDistance() : 80;
    const qreal width = xOf(slice.To) - x0;
    QList<QTextOption::Tab> stops;
    for (qreal k = std::floor((x0 - lineX) / tab) + 1; k * tab + lineX - x0 <= width + tab; ++k)
        stops.append(QTextOption::Tab(k * tab + lineX - x0, QTextOption::LeftTab));
    option.setTabs(stops);

    FSlice.setText(block.text().mid(slice.From, slice.To - slice.From));
    FSlice.setFont(document()->defaultFont());
    FSlice.setTextOption(option);
    FSlice.beginLayout();
    QTextLine sliceLine = FSlice.createLine();
    sliceLine.setLineWidth(longLine ? width + tab : line.width());
    sliceLine.setPosition(QPointF(0, lineY));
    FSlice.endLayout();

    FSliceRanges.clear();
    for (const QTextLayout::FormatRange& r : std::as_const(FRanges)) {
        const int from = std::max(r.start, slice.From);
        const int to = std::min(r.start + r.length, slice.To);
        if (to > from)
            FSliceRanges.append({from - slice.From, to - from, r.format});
    }
    const QPointF at(offset.x() + x0, offset.y());
    FSlice.draw(&painter, at, FSliceRanges, clip);
    if (cursor >= slice.From && cursor <= slice.To)
        FSlice.drawCursor(&painter, at, cursor - slice.From, cursorWidth());
}

void TColorMemo::paintEvent(QPaintEvent* e)
{
    if ((!overlayActive() && !FLayout->HasLongLines()) || (document()->isEmpty() && !placeholderText().isEmpty())) {
        QPlainTextEdit::paintEvent(e);
        return;
    }
    paintOverlay(e);
}

// The base control's painting of the visible blocks, with the colour runs
// handed to each block's layout ahead of the selections, so the selection
// highlight and the caret stay the control's own.
void TColorMemo::paintOverlay(QPaintEvent* e)
{
    // The line recoloured alone keeps its own colouring while paints stay
    // within single lines or the caret's narrow strips: the caret's blinking
    // and moves (which repaint its old and new place, on that line or on
    // others, merged into one strip when it moves up or down) and the next
    // typed letter. Any larger paint recolours the whole visible area. Qt's
    // update of a line may reach a pixel or two beyond it, so lines other
    // than the one recoloured alone use the whole-area runs.
    bool keepLine = false;
    if (FLineOnly >= 0 && FLineOnly < document()->blockCount()) {
        const QRectF r = blockBoundingGeometry(blockOfLine(FLineOnly)).translated(contentOffset());
        const int lineHeight = int(r.height()) + 6;
        const int caretWidth = cursorWidth() + 12 + (overwriteMode() ? fontMetrics().horizontalAdvance(u' ') : 0);
        keepLine = true;
        for (const QRect& part : e->region())
            if (part.height() > lineHeight && part.width() > caretWidth)
                keepLine = false;
    }
    if (!keepLine)
        FLineOnly = -1;
    const int runCount = computeOverlay(-1);
    const TKeyDescr* runs = FLastRuns;
    int lineRunCount = 0;
    if (keepLine) {
        FWholeRuns.assign(runs, runs + runCount);
        runs = FWholeRuns.data();
        lineRunCount = computeOverlay(FLineOnly); // the caret may have left that line since
    }
    const TKeyDescr* lineRuns = FLastRuns;

    QPainter painter(viewport());
    QPointF offset(contentOffset());
    QRect er = e->rect();
    const QRect viewportRect = viewport()->rect();
    const bool editable = !isReadOnly();
    const qreal maximumWidth = document()->documentLayout()->documentSize().width();
    painter.setBrushOrigin(offset);
    const int maxX = int(offset.x() + std::max<qreal>(viewportRect.width(), maximumWidth) - document()->documentMargin());
    er.setRight(std::min(er.right(), maxX));
    painter.setClipRect(er);

    const QAbstractTextDocumentLayout::PaintContext context = getPaintContext();
    painter.setPen(context.palette.text().color());
    const TColor fontColor = [&] {
        const QColor c = context.palette.text().color();
        return RgbColor(c.red(), c.green(), c.blue());
    }();

    struct KeyRun { int From, To; TColor Color; };
    std::vector<KeyRun> keyRuns; // only filled when OnDrawKey is set

    QTextBlock block = firstVisibleBlock();
    while (block.isValid()) {
        const QRectF r = blockBoundingRect(block).translated(offset);
        QTextLayout* layout = block.layout();
        if (!block.isVisible()) {
            offset.ry() += r.height();
            block = block.next();
            continue;
        }
        if (r.bottom() >= er.top() && r.top() <= er.bottom()) {
            const bool longLine = isLong(block);
            const QTextBlockFormat blockFormat = block.blockFormat();
            const QBrush bg = blockFormat.background();
            if (bg != Qt::NoBrush) {
                const QRectF contentsRect(offset.x(), r.top(), std::max<qreal>(r.width(), maximumWidth), r.height());
                painter.fillRect(contentsRect, bg);
            }

            FRanges.clear();
            keyRuns.clear();
            const int blpos = block.position();
            const int bllen = block.length();
            const int line = block.blockNumber();
            const int lineStart = blpos + line;
            const int lineLen = bllen - 1;
            // Of a line wider than the view only the runs that reach into
            // the part that can be seen are handed on; a long line is drawn
            // as that part alone.
            const Slice slice = visibleSlice(block, offset, er);
            // Runs are in text order and do not overlap: find the first one reaching this line.
            const TKeyDescr* blockRuns = line == FLineOnly ? lineRuns : runs;
            const int blockRunCount = line == FLineOnly ? lineRunCount : runCount;
            const TKeyDescr* k = std::lower_bound(blockRuns, blockRuns + blockRunCount, lineStart + slice.From,
                                                  [](const TKeyDescr& d, int pos) { return d.EndPos < pos; });
            const int runsEnd = slice.Active() ? lineStart + slice.To : lineStart + lineLen;
            for (; k < blockRuns + blockRunCount && k->StartPos < runsEnd; ++k) {
                const TKeyDescr& run = *k;
                if (run.Level >= kLevelSelection)
                    continue;
                const int from = std::max(run.StartPos, lineStart) - lineStart;
                const int to = std::min(run.EndPos, lineStart + lineLen - 1) - lineStart;
                if (to < from)
                    continue;
                // A run ending in this line's CR LF still counts as one line.
                const bool oneLine = run.StartPos >= lineStart && run.EndPos <= lineStart + lineLen + 1;
                if (oneLine && run.IsKey && OnDrawKey) {
                    keyRuns.push_back({from, to, run.SpanColor});
                    continue;
                }
                int kind = kindPlain;
                if (oneLine && run.Level == kLevelHotMarker)
                    kind = kindMarker;
                else if (oneLine && run.Level == kLevelHotText && FOverlay.HotSpot.Underlined)
                    kind = kindUnderlined;
                QTextLayout::FormatRange range;
                range.start = from;
                range.length = to - from + 1;
                range.format = runFormat(run.SpanColor, kind);
                FRanges.append(range);
            }

            for (const QAbstractTextDocumentLayout::Selection& sel : context.selections) {
                const int selStart = sel.cursor.selectionStart() - blpos;
                const int selEnd = sel.cursor.selectionEnd() - blpos;
                if (selStart < bllen && selEnd > 0 && selEnd > selStart) {
                    QTextLayout::FormatRange o;
                    o.start = selStart;
                    o.length = selEnd - selStart;
                    o.format = sel.format;
                    FRanges.append(o);
                } else if (!sel.cursor.hasSelection() && sel.format.hasProperty(QTextFormat::FullWidthSelection)
                           && block.contains(sel.cursor.position()) && longLine) {
                    // the one line of a long block
                    if (!sel.format.hasProperty(QTextFormat::ForegroundBrush)) {
                        QRectF band = r;
                        if (!block.next().isValid())
                            band.setHeight(r.height() - document()->documentMargin());
                        band.setLeft(er.left());
                        band.setRight(er.right() + 1);
                        painter.fillRect(band, sel.format.background());
                        continue;
                    }
                    FRanges.append({0, bllen, sel.format});
                } else if (!sel.cursor.hasSelection() && sel.format.hasProperty(QTextFormat::FullWidthSelection)
                           && block.contains(sel.cursor.position())) {
                    const QTextLine l = layout->lineForTextPosition(sel.cursor.position() - blpos);
                    // A background alone is painted under the line here, so
                    // that the colour runs stay on top of it.
                    if (!sel.format.hasProperty(QTextFormat::ForegroundBrush)) {
                        QRectF band = l.rect().translated(offset);
                        band.setLeft(er.left());
                        band.setRight(er.right() + 1);
                        painter.fillRect(band, sel.format.background());
                        continue;
                    }
                    QTextLayout::FormatRange o;
                    o.start = l.textStart();
                    o.length = l.textLength();
                    if (o.start + o.length == bllen - 1)
                        ++o.length; // include newline
                    o.format = sel.format;
                    FRanges.append(o);
                }
            }

            bool drawCursor = (editable || (textInteractionFlags() & Qt::TextSelectableByKeyboard))
                && context.cursorPosition >= blpos && context.cursorPosition < blpos + bllen;
            int caretPosition = context.cursorPosition;
            if (longLine && !drawCursor && editable && hasFocus() && FTypedAt.isValid()
                && FTypedAt.elapsed() < QApplication::cursorFlashTime() / 2) {
                // Qt shows the caret again at every key it handles; these keys are the editor's.
                caretPosition = textCursor().position();
                drawCursor = caretPosition >= blpos && caretPosition < blpos + bllen;
            }
            const bool drawCursorAsBlock = drawCursor && overwriteMode();
            if (drawCursorAsBlock) {
                if (context.cursorPosition == blpos + bllen - 1) {
                    // the cursor at the end of the line: drawn as a normal cursor below
                } else {
                    QTextLayout::FormatRange o;
                    o.start = context.cursorPosition - blpos;
                    o.length = 1;
                    o.format.setForeground(palette().base());
                    o.format.setBackground(palette().text());
                    FRanges.append(o);
                }
            }

            if (slice.Active() && bllen > kLongLine) {
                drawSlice(painter, block, slice, offset, er, drawCursor && !drawCursorAsBlock
                          ? caretPosition - blpos : -1);
                drawCursor = false;
            } else {
                layout->draw(&painter, offset, FRanges, er);
            }

            if ((drawCursor && !drawCursorAsBlock)
                || (drawCursorAsBlock && context.cursorPosition == blpos + bllen - 1)
                || (editable && context.cursorPosition < -1 && !layout->preeditAreaText().isEmpty())) {
                int cpos = context.cursorPosition;
                if (cpos < -1)
                    cpos = layout->preeditAreaPosition() - (cpos + 2);
                else
                    cpos -= blpos;
                layout->drawCursor(&painter, offset, cpos, cursorWidth());
            }

            for (const KeyRun& k : keyRuns) {
                const QTextLine tl = longLine ? QTextLine() : layout->lineForTextPosition(k.From);
                if (!longLine && !tl.isValid())
                    continue;
                const std::string text = Line(line);
                if (size_t(k.From) >= text.size())
                    continue;
                const std::string key = text.substr(size_t(k.From), size_t(k.To - k.From + 1));
                const qreal x1 = offset.x() + (longLine ? FLayout->CursorToX(block, k.From) : tl.cursorToX(k.From));
                const qreal y1 = offset.y() + (longLine ? 0 : tl.y());
                const int w = fontMetrics().horizontalAdvance(FromWinText(key));
                const QRect rect(int(x1), int(y1), w, fontMetrics().height());
                painter.save();
                painter.setPen(ToQColor(k.Color));
                OnDrawKey(painter, key, rect, fontColor);
                painter.restore();
            }
        }
        offset.ry() += r.height();
        if (offset.y() > viewportRect.height())
            break;
        block = block.next();
    }

    if (backgroundVisible() && !block.isValid() && offset.y() <= er.bottom()
        && (centerOnScroll() || verticalScrollBar()->maximum() == verticalScrollBar()->minimum())) {
        painter.fillRect(QRect(QPoint(int(er.left()), int(offset.y())), er.bottomRight()), palette().window());
    }
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
    if (moveVertically(e) || editLongLine(e)) {
        e->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
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
    const int hit = e->button() == Qt::LeftButton ? longHit(e->position().toPoint()) : -1;
    if (hit >= 0) {
        // Qt finds no characters on a long line: the press places the caret
        // (Shift: extends the selection) and a drag selects from there.
        QTextCursor c = textCursor();
        c.setPosition(hit, (e->modifiers() & Qt::ShiftModifier) ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        setTextCursorInPlace(c);
        FLongDrag = true;
        e->accept();
    } else {
        FLongDrag = false;
        QPlainTextEdit::mousePressEvent(e);
    }
    if (e->button() == Qt::LeftButton && e->buttons() == Qt::LeftButton && e->modifiers() == Qt::NoModifier)
        DrawColors(false);
    if (OnMouseDown)
        OnMouseDown(this, e);
}

void TColorMemo::mouseReleaseEvent(QMouseEvent* e)
{
    if (FLongDrag && e->button() == Qt::LeftButton) {
        FLongDrag = false;
        FDragScroll.stop();
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
    if (FLongDrag && (e->buttons() & Qt::LeftButton)) {
        const QPoint pos = e->position().toPoint();
        extendLongDrag(pos);
        // Beyond the view's edge the view keeps scrolling while the button is held.
        if (viewport()->rect().contains(pos))
            FDragScroll.stop();
        else if (!FDragScroll.isActive())
            FDragScroll.start(50, this);
        FDragPos = pos;
        e->accept();
        return;
    }
    QPlainTextEdit::mouseMoveEvent(e);
}

void TColorMemo::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int hit = e->button() == Qt::LeftButton ? longHit(e->position().toPoint()) : -1;
    if (hit < 0) {
        QPlainTextEdit::mouseDoubleClickEvent(e);
        return;
    }
    // The word under the pointer, as the base control selects it on a short line.
    QTextCursor c = textCursor();
    c.setPosition(hit);
    c.select(QTextCursor::WordUnderCursor);
    setTextCursorInPlace(c);
    FLongDrag = false;
    e->accept();
}

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
