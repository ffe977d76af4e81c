#include "editor/WinText.h"

#include "language/Cp1252.h"

#include <QTextBlock>
#include <QTextDocument>

namespace tarko {

namespace {
bool isBreak(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029;
}
} // namespace

int AppendWinText(std::string& out, const QChar* text, qsizetype length)
{
    int replaced = 0;
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = text[i].unicode();
        if (isBreak(c)) {
            out += "\r\n";
            if (c == u'\r' && i + 1 < length && text[i + 1].unicode() == u'\n')
                ++i; // CR LF is one break
            continue;
        }
        const int b = UnicodeToCp1252(c);
        if (b < 0 || QChar::isSurrogate(c)) {
            out += '?';
            ++replaced;
        } else {
            out += static_cast<char>(b);
        }
    }
    return replaced;
}

qsizetype FirstUnstorable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!isBreak(c) && (QChar::isSurrogate(c) || UnicodeToCp1252(c) < 0))
            return i;
    }
    return -1;
}

std::string ToWinText(const QString& text, QString* unstorable)
{
    std::string out;
    out.reserve(size_t(text.size()) + size_t(text.size()) / 16);
    const int replaced = AppendWinText(out, text.constData(), text.size());
    if (unstorable) {
        unstorable->clear();
        if (replaced == 0)
            return out;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (isBreak(c.unicode()))
                continue;
            QString one;
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                one = text.mid(i, 2);
                ++i;
            } else if (c.isSurrogate() || UnicodeToCp1252(c.unicode()) < 0) {
                one = QString(c);
            } else {
                continue;
            }
            if (!unstorable->contains(one))
                *unstorable += one;
        }
    }
    return out;
}

QString FromWinText(std::string_view text)
{
    QString out;
    out.reserve(qsizetype(text.size()));
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b == '\r') {
            out += u'\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (b == '\n') {
            out += u'\n';
        } else {
            out += QChar(char16_t(Cp1252ToUnicode(b)));
        }
    }
    return out;
}

int WinOffsetFromDocPos(const QTextDocument& doc, int docPos)
{
    if (docPos <= 0)
        return 0;
    QTextBlock b = doc.findBlock(docPos);
    if (!b.isValid())
        b = doc.lastBlock();
    return docPos + b.blockNumber();
}

int DocPosFromWinOffset(const QTextDocument& doc, int winOffset)
{
    if (winOffset <= 0)
        return 0;
    // Line i starts at Windows offset position(i) + i; find the last line
    // starting at or before the offset.
    int lo = 0, hi = doc.blockCount() - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        const QTextBlock b = doc.findBlockByNumber(mid);
        if (b.position() + mid <= winOffset)
            lo = mid;
        else
            hi = mid - 1;
    }
    const QTextBlock b = doc.findBlockByNumber(lo);
    const int column = winOffset - (b.position() + lo);
    const int lineLength = b.length() - 1;
    return b.position() + (column < lineLength ? column : lineLength);
}

} // namespace tarko
