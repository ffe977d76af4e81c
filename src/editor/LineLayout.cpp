#include "editor/LineLayout.h"

#include <QFontMetricsF>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace tarko {

namespace {
constexpr int kStep = 1024; // characters between two remembered x positions
} // namespace

// What a long block remembers of itself: its text and the x at every
// kStep-th character, valid from the start up to the first change.
struct TLineLayout::Marks : QTextBlockUserData {
    unsigned Generation = 0;
    bool HasText = false;
    QString Text;
    std::vector<qint64> X{0}; // X[k]: x at column k * kStep
    int Valid = 1;
    qint64 Width = -1;

    void forgetFrom(int column)
    {
        Valid = std::clamp(column / kStep + 1, 1, Valid);
        Width = -1;
        HasText = false;
        Text.clear();
    }
    void forget() { forgetFrom(0); }
};

TLineLayout::TLineLayout(QTextDocument* document)
    : QPlainTextDocumentLayout(document)
{
    FBlockCount = document->blockCount();
    FNoWrap = document->defaultTextOption().wrapMode() == QTextOption::NoWrap;
}

void TLineLayout::SetLongLineLength(int characters)
{
    FLongLine = std::max(characters, 0);
    FLongCount = -1;
    forgetWidths();
    // Every block is laid out again by whoever it now belongs to.
    QPlainTextDocumentLayout::documentChanged(0, 0, document()->characterCount());
    emit documentSizeChanged(documentSize());
}

bool TLineLayout::IsLong(const QTextBlock& block) const
{
    return FNoWrap && block.isValid() && block.length() - 1 > FLongLine;
}

bool TLineLayout::HasLongLines() const
{
    if (!FNoWrap)
        return false;
    if (FLongCount < 0) {
        FLongCount = 0;
        for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
            FLongCount += IsLong(b) ? 1 : 0;
    }
    return FLongCount > 0;
}

void TLineLayout::checkFont() const
{
    const QTextDocument* doc = document();
    const QFont font = doc->defaultFont();
    const qreal tab = doc->defaultTextOption().tabStopDistance();
    if (FFontKnown && font == FFont && tab == FTabStop && paintDevice() == FDevice)
        return;
    FFontKnown = true;
    FFont = font;
    FTabStop = tab;
    FDevice = paintDevice();
    // Qt's layout: a tab ends at the next multiple of the stop distance, 80 px when unset.
    FTab64 = qRound64((tab > 0 ? tab : 80) * 64);
    if (FTab64 <= 0)
        FTab64 = 1;
    const QFontMetricsF fm(font, FDevice);
    for (int c = 0; c < 256; ++c)
        FLatin[c] = qRound64(fm.horizontalAdvance(QString(QChar(c))) * 64);
    FOther.clear();
    FLineHeight = -1;
    ++FGeneration;
    forgetWidths();
}

qint64 TLineLayout::advance(const QString& text, int i) const
{
    const char16_t c = text[i].unicode();
    if (c < 256)
        return FLatin[c];
    // A pair of surrogates is one glyph: its advance goes to the first half.
    if (QChar::isLowSurrogate(c) && i > 0 && text[i - 1].isHighSurrogate())
        return 0;
    const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    const uint key = pair ? QChar::surrogateToUcs4(c, text[i + 1].unicode()) : c;
    auto it = FOther.constFind(key);
    if (it != FOther.constEnd())
        return *it;
    const qint64 a = qRound64(QFontMetricsF(FFont, FDevice).horizontalAdvance(text.mid(i, pair ? 2 : 1)) * 64);
    FOther.insert(key, a);
    return a;
}

TLineLayout::Marks* TLineLayout::marksOf(const QTextBlock& block) const
{
    // A new font or tab distance reaches the layout as a change of the
    // whole document, where it is checked.
    if (!FFontKnown)
        checkFont();
    auto* m = static_cast<Marks*>(block.userData());
    if (!m) {
        m = new Marks;
        QTextBlock(block).setUserData(m);
    }
    if (m->Generation != FGeneration) {
        m->forget();
        m->Generation = FGeneration;
    }
    if (!m->HasText) {
        m->Text = block.text();
        m->HasText = true;
    }
    return m;
}

qint64 TLineLayout::xAt(const QTextBlock&, Marks& m, int column) const
{
    const QString& text = m.Text;
    column = std::clamp(column, 0, int(text.size()));
    auto step = [&](qint64 x, int i) { return stepX(text, x, i); };
    const int need = column / kStep;
    while (m.Valid <= need) {
        const int k = m.Valid;
        qint64 x = m.X[size_t(k - 1)];
        for (int i = (k - 1) * kStep; i < k * kStep; ++i)
            x = step(x, i);
        if (m.X.size() <= size_t(k))
            m.X.push_back(x);
        else
            m.X[size_t(k)] = x;
        ++m.Valid;
    }
    qint64 x = m.X[size_t(need)];
    for (int i = need * kStep; i < column; ++i)
        x = step(x, i);
    return x;
}

qint64 TLineLayout::stepX(const QString& text, qint64 x, int i) const
{
    return text[i] == u'\t' ? (x / FTab64 + 1) * FTab64 : x + advance(text, i);
}

qreal TLineLayout::CursorToX(const QTextBlock& block, int column) const
{
    Marks* m = marksOf(block);
    return document()->documentMargin() + xAt(block, *m, column) / 64.0;
}

qreal TLineLayout::insertedX(const QTextBlock& block, int column, const QString& inserted, int upTo) const
{
    Marks* m = marksOf(block);
    qint64 x = xAt(block, *m, column);
    for (int i = 0; i < std::min(upTo, int(inserted.size())); ++i)
        x = stepX(inserted, x, i);
    return document()->documentMargin() + x / 64.0;
}

qreal TLineLayout::CaretX(const QTextBlock& block, int column) const
{
    const QTextLayout* layout = block.layout();
    const QString preedit = layout ? layout->preeditAreaText() : QString();
    const int at = layout ? layout->preeditAreaPosition() : -1;
    if (FPreeditCursor == 0 || preedit.isEmpty() || column < at)
        return CursorToX(block, column);
    if (column == at)
        return insertedX(block, column, preedit, FPreeditCursor);
    return CursorToX(block, column) + insertedX(block, at, preedit, int(preedit.size())) - CursorToX(block, at);
}

int TLineLayout::XToCursor(const QTextBlock& block, qreal x, bool onCharacter) const
{
    Marks* m = marksOf(block);
    const int length = int(m->Text.size());
    const qint64 t = qRound64((x - document()->documentMargin()) * 64);
    if (t <= 0)
        return 0;
    // The last remembered mark left of x, then character by character.
    int k = 0;
    while ((k + 1) * kStep <= length && xAt(block, *m, (k + 1) * kStep) <= t)
        ++k;
    qint64 left = m->X[size_t(k)];
    for (int i = k * kStep; i < length; ++i) {
        const qint64 right = stepX(m->Text, left, i);
        if (onCharacter ? t < right : 2 * t < left + right)
            return i;
        left = right;
    }
    return length;
}

qreal TLineLayout::NaturalWidth(const QTextBlock& block) const
{
    Marks* m = marksOf(block);
    if (m->Width < 0)
        m->Width = xAt(block, *m, int(m->Text.size()));
    return m->Width / 64.0;
}

qreal TLineLayout::widthWithPreedit(const QTextBlock& block) const
{
    const QTextLayout* layout = block.layout();
    const QString preedit = layout ? layout->preeditAreaText() : QString();
    if (preedit.isEmpty())
        return NaturalWidth(block);
    FPreeditShown = true;
    const int at = layout->preeditAreaPosition();
    return NaturalWidth(block) + insertedX(block, at, preedit, int(preedit.size())) - CursorToX(block, at);
}

qreal TLineLayout::lineBoxHeight() const
{
    if (!FFontKnown)
        checkFont();
    if (FLineHeight < 0) {
        // One line laid out as Qt lays out a block of this document.
        QTextLayout probe(QStringLiteral("x"), FFont, FDevice);
        probe.setTextOption(document()->defaultTextOption());
        probe.beginLayout();
        QTextLine line = probe.createLine();
        line.setLeadingIncluded(true);
        line.setLineWidth(1000);
        line.setPosition(QPointF(0, 0));
        probe.endLayout();
        FLineHeight = probe.boundingRect().bottom();
    }
    return FLineHeight;
}

// A long block's box has no width: Qt would otherwise look for the caret's
// QTextLine when it scrolls the caret into view vertically, and a long block
// has none; the editor does that scrolling. Qt places the caret at the left
// of the box of its block, so the box of the caret's block starts at the
// caret's x: Qt then scrolls horizontally and blinks where the caret is.
QRectF TLineLayout::blockBoundingRect(const QTextBlock& block) const
{
    if (!IsLong(block))
        return QPlainTextDocumentLayout::blockBoundingRect(block);
    QTextLayout* layout = block.layout();
    if (layout->lineCount() > 0)
        layout->clearLayout(); // laid out while it was short or wrapped
    if (!block.isVisible())
        return QRectF();
    qreal x = 0;
    if (CaretPosition) {
        const int caret = CaretPosition();
        if (caret >= block.position() && caret < block.position() + block.length())
            x = CaretX(block, caret - block.position());
    }
    QRectF br(x, 0, 0, lineBoxHeight());
    if (!block.next().isValid())
        br.adjust(0, 0, 0, document()->documentMargin());
    return br;
}

void TLineLayout::forgetWidths() const
{
    FLongWidthValid = false;
}

qreal TLineLayout::longWidth() const
{
    if (!FLongWidthValid) {
        FLongWidth = 0;
        FPreeditShown = false;
        if (HasLongLines()) {
            const qreal margins = 2 * document()->documentMargin();
            for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
                if (IsLong(b))
                    FLongWidth = std::max(FLongWidth, widthWithPreedit(b) + margins);
        }
        FLongWidthValid = true;
    }
    return FLongWidth;
}

QSizeF TLineLayout::documentSize() const
{
    QSizeF size = QPlainTextDocumentLayout::documentSize();
    // In steps of 64 px: a letter typed on the widest line then changes the
    // scroll bar's range (and repaints the bar) only every few letters. The
    // editor keeps its scrolling to the caret within the exact width.
    if (FNoWrap && FLongCount != 0 && longWidth() > size.width())
        size.setWidth(std::ceil(longWidth() / 64) * 64);
    return size;
}

qreal TLineLayout::ExactWidth() const
{
    const qreal width = QPlainTextDocumentLayout::documentSize().width();
    return FNoWrap && FLongCount != 0 ? std::max(width, longWidth()) : width;
}

// The remembered text follows the edit, the x marks stay valid up to it, and
// when no tab follows the edit the width moves by what the edit added: a
// typed letter then costs the same on a line of a megabyte as on a short one.
void TLineLayout::editLongBlock(const QTextBlock& block, int column, int removed, int added)
{
    auto* m = static_cast<Marks*>(block.userData());
    const int oldLength = block.length() - 1 - added + removed;
    if (!m || m->Generation != FGeneration || !m->HasText || int(m->Text.size()) != oldLength || added > 4096) {
        if (m)
            m->forget();
        forgetWidths();
        return;
    }
    const qint64 oldWidth = m->Width;
    const int tailFrom = column + removed;
    const QStringView oldText(m->Text);
    const bool plainTail = oldWidth >= 0 && oldText.mid(tailFrom).indexOf(u'\t') < 0
        && !(tailFrom < oldLength && oldText[tailFrom].isLowSurrogate())
        && !(column > 0 && oldText[column - 1].isHighSurrogate());
    const qint64 oldTail = plainTail ? oldWidth - xAt(block, *m, tailFrom) : 0;

    // Characters one by one: a QTextCursor would lay the whole line out.
    QString part;
    part.reserve(added);
    for (int i = 0; i < added; ++i)
        part += document()->characterAt(block.position() + column + i);
    m->Text.replace(column, removed, part);
    m->Valid = std::clamp(column / kStep + 1, 1, m->Valid);
    m->Width = plainTail ? xAt(block, *m, column + added) + oldTail : -1;

    const qreal margins = 2 * document()->documentMargin();
    const qreal width = NaturalWidth(block) + margins;
    // Qt's layout of a line holds the text an input method composes there,
    // and so does its width while it is shown: the widths are summed again.
    if (FPreeditShown || !block.layout()->preeditAreaText().isEmpty()) {
        forgetWidths();
        return;
    }
    if (FLongWidthValid && width >= FLongWidth)
        FLongWidth = width;
    else if (oldWidth < 0 || oldWidth / 64.0 + margins >= FLongWidth)
        forgetWidths(); // it may have been the widest
}

void TLineLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    QTextDocument* doc = document();
    // The size the views know, measured before a new font, tab distance or
    // wrap mode is taken in: a change of these alone must reach them too.
    const QSizeF before = documentSize();
    const bool noWrap = doc->defaultTextOption().wrapMode() == QTextOption::NoWrap;
    if (noWrap != FNoWrap) {
        FNoWrap = noWrap;
        FLongCount = -1;
        forgetWidths();
    }
    checkFont();
    const QTextBlock first = doc->findBlock(from);
    const QTextBlock last = doc->findBlock(std::max(0, from + charsRemoved + charsAdded - 1));

    // A change inside one line that is long after it: Qt is not asked. The
    // editor repaints the changed line itself.
    if (first.isValid() && first == last && doc->blockCount() == FBlockCount && IsLong(first)) {
        const int oldLength = first.length() - 1 - charsAdded + charsRemoved;
        if (FLongCount >= 0 && oldLength <= FLongLine)
            ++FLongCount;
        if (first.layout()->lineCount() > 0)
            first.layout()->clearLayout();
        editLongBlock(first, from - first.position(), charsRemoved, charsAdded);
        const QSizeF after = documentSize();
        if (after != before)
            emit documentSizeChanged(after);
        return;
    }

    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        if (auto* m = static_cast<Marks*>(b.userData()))
            m->forget();
        if (b == last)
            break;
    }
    if (first.isValid() && first == last && doc->blockCount() == FBlockCount) {
        // A change inside one short line (a typed letter): the count of
        // long lines changes only if this one was long before.
        const int oldLength = first.length() - 1 - charsAdded + charsRemoved;
        if (FLongCount > 0 && FNoWrap && oldLength > FLongLine)
            --FLongCount;
        if (FLongCount != 0)
            forgetWidths();
    } else if (FLongCount == 0) {
        // With no long line before, only the changed lines can be long now.
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            if (IsLong(b)) {
                FLongCount = -1;
                forgetWidths();
                break;
            }
            if (b == last)
                break;
        }
    } else {
        FLongCount = -1;
        forgetWidths();
    }
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
    FBlockCount = doc->blockCount();
    const QSizeF after = documentSize();
    if (after != before)
        emit documentSizeChanged(after);
}

} // namespace tarko
