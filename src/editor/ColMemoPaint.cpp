// The painting of TColorMemo: the colour runs of the visible lines are
// computed by the overlay and handed to each line's layout; long and wide
// lines are drawn as the part that can be seen.
#include "editor/ColMemo.h"

#include "editor/LineLayout.h"
#include "editor/WinText.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QGlyphRun>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QRegion>
#include <QTextBlock>
#include <QtMath>

#include <algorithm>
#include <climits>
#include <cmath>

namespace tarko {

namespace {

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

using Ranges = QList<QTextLayout::FormatRange>;

// The boxes of the characters [from, to) on the layout's lines, drawn at at.
template <typename Add>
void forEachBox(const QTextLayout& layout, const QPointF& at, int from, int to, Add add)
{
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const int a = std::max(from, line.textStart());
        const int b = std::min(to, line.textStart() + line.textLength());
        if (b <= a)
            continue;
        const qreal x1 = line.cursorToX(a), x2 = line.cursorToX(b);
        add(QRectF(at.x() + std::min(x1, x2), at.y() + line.y(), std::abs(x2 - x1), line.height()));
    }
}

// The parts of [from, to) outside every selection, for each part f(from, to).
template <typename Part>
void forEachPartOutside(const Ranges& selections, int from, int to, Part part)
{
    for (const QTextLayout::FormatRange& s : selections) {
        if (s.start >= to || s.start + s.length <= from)
            continue;
        if (s.start > from)
            forEachPartOutside(selections, from, s.start, part);
        from = std::max(from, s.start + s.length);
        if (from >= to)
            return;
    }
    part(from, to);
}

// One glyph run of the layout at at. Qt draws a run's underline from the
// point the run is drawn at, so an underlined run is drawn from its first glyph.
void drawGlyphs(QPainter& painter, const QPointF& at, QGlyphRun glyphs, bool underline)
{
    QList<QPointF> positions = glyphs.positions();
    if (!underline || positions.isEmpty()) {
        painter.drawGlyphRun(at, glyphs);
        return;
    }
    const QPointF first = positions.first();
    for (QPointF& p : positions)
        p -= first;
    glyphs.setPositions(positions);
    glyphs.setUnderline(true);
    painter.drawGlyphRun(at + first, glyphs);
}

// Draws the layout (of length characters) with the control's selections
// and the colour runs (sorted, apart). Handed to QTextLayout::draw as
// selections, a run whose box, rounded out to whole pixels, touches the
// box of the run before is left out by Qt (it counts that text as drawn
// already) and shows in the plain colour. So the layout draws only the
// selections (its text outside them is clipped away), and every other
// character is drawn as the layout's own glyphs at the layout's own
// places: in its run's colour, or in the pen's colour between the runs.
// While an input method composes text, its positions are not the text's:
// Qt draws the line then.
void drawWithRuns(QPainter& painter, const QTextLayout& layout, int length, const QPointF& at, const Ranges& runs,
                  const Ranges& selections, const QRect& clip)
{
    if (runs.isEmpty() || !layout.preeditAreaText().isEmpty()) {
        Ranges all = runs;
        all += selections;
        layout.draw(&painter, at, all, clip);
        return;
    }
    QRegion textArea, selectionArea;
    forEachBox(layout, at, 0, length, [&](const QRectF& box) { textArea += box.toAlignedRect(); });
    for (const QTextLayout::FormatRange& s : selections)
        forEachBox(layout, at, s.start, s.start + s.length,
                   [&](const QRectF& box) { selectionArea += box.toAlignedRect(); });
    painter.save();
    painter.setClipRegion(QRegion(clip) - (textArea - selectionArea), Qt::IntersectClip);
    layout.draw(&painter, at, selections, clip);
    painter.restore();

    const QPen pen = painter.pen(); // the plain text's colour
    auto draw = [&](int from, int to, const QTextCharFormat* format) {
        forEachPartOutside(selections, from, to, [&](int a, int b) {
            if (format && format->background().style() != Qt::NoBrush)
                forEachBox(layout, at, a, b, [&](const QRectF& box) { painter.fillRect(box, format->background()); });
            painter.setPen(format ? QPen(format->foreground().color()) : pen);
            for (const QGlyphRun& glyphs : layout.glyphRuns(a, b - a))
                drawGlyphs(painter, at, glyphs, format && format->fontUnderline());
        });
    };
    int done = 0;
    for (const QTextLayout::FormatRange& r : runs) {
        if (r.start > done)
            draw(done, r.start, nullptr);
        draw(r.start, r.start + r.length, &r.format);
        done = r.start + r.length;
    }
    if (done < length)
        draw(done, length, nullptr);
    painter.setPen(pen);
}

// The ranges that reach into the slice, in the slice's positions.
void cutToSlice(const Ranges& ranges, int sliceFrom, int sliceTo, Ranges& out)
{
    out.clear();
    for (const QTextLayout::FormatRange& r : ranges) {
        const int from = std::max(r.start, sliceFrom);
        const int to = std::min(r.start + r.length, sliceTo);
        if (to > from)
            out.append({from - sliceFrom, to - from, r.format});
    }
}

} // namespace

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

// Only fully visible lines are coloured: the first line cut off at the
// bottom (or above the top) ends the scan at its start.
int TColorMemo::visibleScanEnd(int firstLine, int count, int scanLine) const
{
    const QPointF offset = contentOffset();
    const qreal bottom = viewport()->height();
    int lastWalked = -1, walked = 0;
    for (QTextBlock b = document()->findBlockByNumber(firstLine); b.isValid() && walked < count;
         b = b.next(), ++walked) {
        const QRectF r = blockBoundingGeometry(b).translated(offset);
        // The last block's box ends with the document's margin below its line.
        const qreal lineBottom = r.bottom() - (b.next().isValid() ? 0 : document()->documentMargin());
        if (r.top() < 0 || lineBottom > bottom)
            return b.position() + b.blockNumber();
        lastWalked = b.blockNumber();
    }
    const int l = lastWalked >= 0 ? lastWalked : scanLine;
    return LineStart(l) + LineLength(l);
}

// The painted text, from the mirror; the buffer only grows.
void TColorMemo::fillTextBuf(int scanLine, size_t want)
{
    FTextBuf.clear();
    const int lines = std::min(document()->blockCount(), int(FLines.size()));
    for (int l = scanLine; l < lines && FTextBuf.size() < want; ++l) {
        if (l > scanLine)
            FTextBuf += "\r\n";
        FTextBuf += FLines[size_t(l)];
    }
    if (FTextBuf.size() > want)
        FTextBuf.resize(want);
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

    const int scanEnd = std::max(visibleScanEnd(firstLine, count, scanLine), scanStart);

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

    fillTextBuf(scanLine, size_t(scanEnd - scanStart));

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

    cutToSlice(FRanges, slice.From, slice.To, FSliceRanges);
    cutToSlice(FSelRanges, slice.From, slice.To, FSliceSelRanges);
    const QPointF at(offset.x() + x0, offset.y());
    drawWithRuns(painter, FSlice, int(FSlice.text().size()), at, FSliceRanges, FSliceSelRanges, clip);
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

// What one paint of the visible blocks shares between its blocks.
struct TColorMemo::PaintPass {
    QPainter& Painter;
    QAbstractTextDocumentLayout::PaintContext Context;
    QRect Clip;
    qreal MaximumWidth = 0;
    TColor FontColor = 0;
    const TKeyDescr* Runs = nullptr; // whole-area runs
    int RunCount = 0;
    const TKeyDescr* LineRuns = nullptr; // runs of the line recoloured alone
    int LineRunCount = 0;
    struct KeyRun { int From, To; TColor Color; };
    std::vector<KeyRun> KeyRuns; // only filled when OnDrawKey is set
};

// The line recoloured alone keeps its own colouring while paints stay
// within single lines or the caret's narrow strips: the caret's blinking
// and moves (which repaint its old and new place, on that line or on
// others, merged into one strip when it moves up or down) and the next
// typed letter. Any larger paint recolours the whole visible area. Qt's
// update of a line may reach a pixel or two beyond it, so lines other
// than the one recoloured alone use the whole-area runs.
bool TColorMemo::keepsLineAlone(const QPaintEvent* e) const
{
    if (FLineOnly < 0 || FLineOnly >= document()->blockCount())
        return false;
    const QRectF r = blockBoundingGeometry(blockOfLine(FLineOnly)).translated(contentOffset());
    const int lineHeight = int(r.height()) + 6;
    const int caretWidth = cursorWidth() + 12 + (overwriteMode() ? fontMetrics().horizontalAdvance(u' ') : 0);
    for (const QRect& part : e->region())
        if (part.height() > lineHeight && part.width() > caretWidth)
            return false;
    return true;
}

// The base control's painting of the visible blocks, with the colour runs
// handed to each block's layout ahead of the selections, so the selection
// highlight and the caret stay the control's own.
void TColorMemo::paintOverlay(QPaintEvent* e)
{
    const bool keepLine = keepsLineAlone(e);
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
    QPainter painter(viewport());
    PaintPass pass{painter, getPaintContext(), e->rect(), 0, 0, runs, runCount, FLastRuns, lineRunCount, {}};
    if (FDropCaret >= 0)
        pass.Context.cursorPosition = FDropCaret; // Qt's would stand at the start of a long line

    QPointF offset(contentOffset());
    const QRect viewportRect = viewport()->rect();
    pass.MaximumWidth = document()->documentLayout()->documentSize().width();
    painter.setBrushOrigin(offset);
    const int maxX = int(offset.x() + std::max<qreal>(viewportRect.width(), pass.MaximumWidth)
                         - document()->documentMargin());
    QRect& er = pass.Clip;
    er.setRight(std::min(er.right(), maxX));
    painter.setClipRect(er);
    painter.setPen(pass.Context.palette.text().color());
    const QColor text = pass.Context.palette.text().color();
    pass.FontColor = RgbColor(text.red(), text.green(), text.blue());

    QTextBlock block = firstVisibleBlock();
    while (block.isValid()) {
        const QRectF r = blockBoundingRect(block).translated(offset);
        if (!block.isVisible()) {
            offset.ry() += r.height();
            block = block.next();
            continue;
        }
        if (r.bottom() >= er.top() && r.top() <= er.bottom())
            paintBlock(pass, block, r, offset);
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

void TColorMemo::paintBlock(PaintPass& pass, const QTextBlock& block, const QRectF& r, const QPointF& offset)
{
    const QBrush bg = block.blockFormat().background();
    if (bg != Qt::NoBrush) {
        const QRectF contentsRect(offset.x(), r.top(), std::max<qreal>(r.width(), pass.MaximumWidth), r.height());
        pass.Painter.fillRect(contentsRect, bg);
    }
    FRanges.clear();
    FSelRanges.clear();
    pass.KeyRuns.clear();
    // Of a line wider than the view only the runs that reach into the part
    // that can be seen are handed on; a long line is drawn as that part alone.
    const Slice slice = visibleSlice(block, offset, pass.Clip);
    addRunRanges(pass, block, slice);
    addSelectionRanges(pass, block, r, offset);
    drawBlockText(pass, block, slice, offset);
    drawKeyRuns(pass, block, offset);
}

// The colour runs reaching into the block (or its slice) as format ranges
// (drawn over the text by drawWithRuns).
void TColorMemo::addRunRanges(PaintPass& pass, const QTextBlock& block, const Slice& slice)
{
    const int line = block.blockNumber();
    const int lineStart = block.position() + line;
    const int lineLen = block.length() - 1;
    // Runs are in text order and do not overlap: find the first one reaching this line.
    const TKeyDescr* blockRuns = line == FLineOnly ? pass.LineRuns : pass.Runs;
    const int blockRunCount = line == FLineOnly ? pass.LineRunCount : pass.RunCount;
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
            pass.KeyRuns.push_back({from, to, run.SpanColor});
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
}

// The control's selections (the selected text, the current line's band) as
// format ranges; a band without a font colour is
// painted under the line, so that the colour runs stay on top of it.
void TColorMemo::addSelectionRanges(PaintPass& pass, const QTextBlock& block, const QRectF& r, const QPointF& offset)
{
    const int blpos = block.position();
    const int bllen = block.length();
    const QRect& er = pass.Clip;
    for (const QAbstractTextDocumentLayout::Selection& sel : pass.Context.selections) {
        const int selStart = sel.cursor.selectionStart() - blpos;
        const int selEnd = sel.cursor.selectionEnd() - blpos;
        if (selStart < bllen && selEnd > 0 && selEnd > selStart) {
            FSelRanges.append({selStart, selEnd - selStart, sel.format});
            continue;
        }
        if (sel.cursor.hasSelection() || !sel.format.hasProperty(QTextFormat::FullWidthSelection)
            || !block.contains(sel.cursor.position()))
            continue;
        const bool background = !sel.format.hasProperty(QTextFormat::ForegroundBrush);
        if (isLong(block)) { // the one line of a long block
            if (background) {
                QRectF band = r;
                if (!block.next().isValid())
                    band.setHeight(r.height() - document()->documentMargin());
                band.setLeft(er.left());
                band.setRight(er.right() + 1);
                pass.Painter.fillRect(band, sel.format.background());
                continue;
            }
            FSelRanges.append({0, bllen, sel.format});
            continue;
        }
        const QTextLine l = block.layout()->lineForTextPosition(sel.cursor.position() - blpos);
        if (background) {
            QRectF band = l.rect().translated(offset);
            band.setLeft(er.left());
            band.setRight(er.right() + 1);
            pass.Painter.fillRect(band, sel.format.background());
            continue;
        }
        QTextLayout::FormatRange o;
        o.start = l.textStart();
        o.length = l.textLength();
        if (o.start + o.length == bllen - 1)
            ++o.length; // include newline
        o.format = sel.format;
        FSelRanges.append(o);
    }
}

// The block's text with its format ranges, and the caret.
void TColorMemo::drawBlockText(PaintPass& pass, const QTextBlock& block, const Slice& slice, const QPointF& offset)
{
    QPainter& painter = pass.Painter;
    const int cursorPosition = pass.Context.cursorPosition;
    const int blpos = block.position();
    const int bllen = block.length();
    const bool editable = !isReadOnly();
    QTextLayout* layout = block.layout();
    bool drawCursor = (editable || (textInteractionFlags() & Qt::TextSelectableByKeyboard))
        && cursorPosition >= blpos && cursorPosition < blpos + bllen;
    int caretPosition = cursorPosition;
    if (isLong(block) && !drawCursor && editable && hasFocus() && FTypedAt.isValid()
        && FTypedAt.elapsed() < QApplication::cursorFlashTime() / 2) {
        // Qt shows the caret again at every key it handles; these keys are the editor's.
        caretPosition = textCursor().position();
        drawCursor = caretPosition >= blpos && caretPosition < blpos + bllen;
    }
    const bool drawCursorAsBlock = drawCursor && overwriteMode();
    // At the end of the line the block caret is drawn as a normal caret below.
    if (drawCursorAsBlock && cursorPosition != blpos + bllen - 1) {
        QTextLayout::FormatRange o;
        o.start = cursorPosition - blpos;
        o.length = 1;
        o.format.setForeground(palette().base());
        o.format.setBackground(palette().text());
        FSelRanges.append(o);
    }

    if (slice.Active() && bllen > kLongLine) {
        drawSlice(painter, block, slice, offset, pass.Clip, drawCursor && !drawCursorAsBlock ? caretPosition - blpos : -1);
        drawCursor = false;
    } else {
        drawWithRuns(painter, *layout, bllen - 1, offset, FRanges, FSelRanges, pass.Clip);
    }

    if ((drawCursor && !drawCursorAsBlock) || (drawCursorAsBlock && cursorPosition == blpos + bllen - 1)
        || (editable && cursorPosition < -1 && !layout->preeditAreaText().isEmpty())) {
        int cpos = cursorPosition;
        if (cpos < -1)
            cpos = layout->preeditAreaPosition() - (cpos + 2);
        else
            cpos -= blpos;
        layout->drawCursor(&painter, offset, cpos, cursorWidth());
    }
}

// Keyword runs drawn by the OnDrawKey handler instead of the editor.
void TColorMemo::drawKeyRuns(PaintPass& pass, const QTextBlock& block, const QPointF& offset)
{
    const bool longLine = isLong(block);
    for (const PaintPass::KeyRun& k : pass.KeyRuns) {
        const QTextLine tl = longLine ? QTextLine() : block.layout()->lineForTextPosition(k.From);
        if (!longLine && !tl.isValid())
            continue;
        const std::string text = Line(block.blockNumber());
        if (size_t(k.From) >= text.size())
            continue;
        const std::string key = text.substr(size_t(k.From), size_t(k.To - k.From + 1));
        const qreal x1 = offset.x() + (longLine ? FLayout->CursorToX(block, k.From) : tl.cursorToX(k.From));
        const qreal y1 = offset.y() + (longLine ? 0 : tl.y());
        const int w = fontMetrics().horizontalAdvance(FromWinText(key));
        const QRect rect(int(x1), int(y1), w, fontMetrics().height());
        pass.Painter.save();
        pass.Painter.setPen(ToQColor(k.Color));
        OnDrawKey(pass.Painter, key, rect, pass.FontColor);
        pass.Painter.restore();
    }
}

} // namespace tarko
