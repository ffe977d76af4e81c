#pragma once
// TLineLayout: the document layout of the colouring editor. Qt lays a block
// out as a whole, every character shaped and measured on every change, so a
// typed letter on a line of a megabyte costs a third of a second. An
// unwrapped line longer than kLongLine characters is therefore left to the
// editor: Qt keeps no QTextLine for it, its box comes from the font's line
// height, and the x of its characters from the font's advances, summed with
// the tab stops as Qt's layout sums them. The editor draws, hits and scrolls
// such a line itself, looking only at its visible part.
#include <QPlainTextDocumentLayout>
#include <QFont>
#include <QHash>
#include <QTextBlock>

#include <functional>

namespace tarko {

class TLineLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    static constexpr int kLongLine = 1000; // characters

    explicit TLineLayout(QTextDocument* document);

    // Lines longer than this many characters are the editor's (kLongLine
    // unless changed; a test raises it to compare with Qt's own drawing).
    void SetLongLineLength(int characters);

    // Whether the block is left to the editor (only while lines are not wrapped).
    bool IsLong(const QTextBlock& block) const;
    // Whether the document holds such a block.
    bool HasLongLines() const;

    // The x of the boundary before `column` of a long block, from the block's
    // left edge with the document margin, as QTextLine::cursorToX gives it.
    qreal CursorToX(const QTextBlock& block, int column) const;
    // The x of the caret at `column` as Qt's control places it: within the
    // text an input method composes there, at that text's own cursor.
    qreal CaretX(const QTextBlock& block, int column) const;
    // Where the input method's cursor stands in the text it composes (0: at its start).
    void SetPreeditCursor(int position) { FPreeditCursor = position; }
    // The boundary nearest to x, or with onCharacter the character under x
    // (as QTextLine::xToCursor with CursorBetweenCharacters / CursorOnCharacter).
    int XToCursor(const QTextBlock& block, qreal x, bool onCharacter = false) const;
    // The width of the block's text.
    qreal NaturalWidth(const QTextBlock& block) const;
    // The height of one line as Qt lays it out in this document.
    qreal LineHeight() const { return lineBoxHeight(); }

    // The caret's position in the document. A long block's box starts at
    // the caret's x when it holds the caret, so that Qt's scrolling to the
    // caret and its caret blinking land at the caret (see blockBoundingRect).
    std::function<int()> CaretPosition;

    QRectF blockBoundingRect(const QTextBlock& block) const override;
    QSizeF documentSize() const override;
    // The width of the widest line (documentSize() rounds a long one up).
    qreal ExactWidth() const;

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    struct Marks;
    Marks* marksOf(const QTextBlock& block) const;
    qint64 xAt(const QTextBlock& block, Marks& m, int column) const;
    qint64 advance(const QString& text, int i) const;
    qint64 stepX(const QString& text, qint64 x, int i) const; // x after character i
    void checkFont() const;
    qreal lineBoxHeight() const;
    qreal longWidth() const; // the widest long block, margins included
    void forgetWidths() const;
    void editLongBlock(const QTextBlock& block, int column, int removed, int added);
    // The x after the first `upTo` characters of `inserted` shown at `column`.
    qreal insertedX(const QTextBlock& block, int column, const QString& inserted, int upTo) const;
    qreal widthWithPreedit(const QTextBlock& block) const; // the width with an input method's text

    // Advances in 1/64 px, the unit Qt's layout adds them in.
    mutable QFont FFont;
    mutable const QPaintDevice* FDevice = nullptr;
    mutable bool FFontKnown = false;
    mutable qreal FTabStop = -1;
    mutable qint64 FTab64 = 0;
    mutable unsigned FGeneration = 1;
    mutable qint64 FLatin[256];
    mutable QHash<uint, qint64> FOther;
    mutable qreal FLineHeight = -1;
    mutable qreal FLongWidth = 0;
    mutable bool FLongWidthValid = true;
    mutable int FLongCount = 0; // -1: to be counted
    bool FNoWrap = false;
    int FLongLine = kLongLine;
    int FBlockCount = 1;
    int FPreeditCursor = 0;
    mutable bool FPreeditShown = false; // the widest width holds an input method's text
};

} // namespace tarko
