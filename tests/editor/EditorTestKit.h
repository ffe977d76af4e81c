#pragma once
// The colouring editor as the widget tests set it up: the test font, a shown
// editor with the workbench colours, and the pieces that compare the
// editor's own layout of long lines with Qt's.
#include "editor/ColMemo.h"
#include "editor/LineLayout.h"
#include "editor/WinText.h"
#include "editor/WorkbenchScheme.h"

#include <QTextCursor>

#include <climits>
#include <string>
#include <string_view>

using namespace tarko;

namespace {

inline QFont testFont()
{
    QFont f(QStringLiteral("Courier New"), 11);
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    return f;
}

struct Editor {
    Editor(std::string_view text, bool rules = true)
    {
        memo.setFont(testFont());
        memo.setLineWrapMode(QPlainTextEdit::NoWrap);
        if (rules)
            memo.SetColorRules(WorkbenchColorRules());
        memo.SetWinText(text);
        memo.resize(500, 300);
        memo.show();
    }
    // The document position of a Windows offset.
    int docPos(int winOffset) const { return DocPosFromWinOffset(*memo.document(), winOffset); }
    // Viewport point in the middle of the character at a Windows offset.
    QPoint charCentre(int winOffset)
    {
        QTextCursor c(memo.document());
        c.setPosition(docPos(winOffset));
        const QRect a = memo.cursorRect(c);
        c.setPosition(docPos(winOffset) + 1);
        const QRect b = memo.cursorRect(c);
        return QPoint((a.x() + b.x()) / 2, a.center().y());
    }
    // Whether any pixel in the box of the characters [from, to] has the colour.
    bool hasColour(int from, int to, QColor colour) { return hasColour(memo.viewport()->grab().toImage(), from, to, colour); }
    bool hasColour(const QImage& img, int from, int to, QColor colour)
    {
        QTextCursor c(memo.document());
        c.setPosition(docPos(from));
        const QRect a = memo.cursorRect(c);
        c.setPosition(docPos(to) + 1);
        const QRect b = memo.cursorRect(c);
        for (int y = a.top(); y <= a.bottom(); ++y)
            for (int x = a.left() + 1; x < b.left(); ++x)
                if (img.pixelColor(x, y) == colour)
                    return true;
        return false;
    }
    TColorMemo memo;
};

inline const QColor kRed(255, 0, 0);

inline TLineLayout& layoutOf(TColorMemo& memo) { return *static_cast<TLineLayout*>(memo.document()->documentLayout()); }

// The same text in an editor of Qt's own layout: the reference for what the
// editor does itself on lines over 1000 characters.
inline void layOutByQt(TColorMemo& memo)
{
    layoutOf(memo).SetLongLineLength(INT_MAX);
}

inline std::string programLine(int length, bool tabs)
{
    std::string line;
    for (int i = 0; line.size() < size_t(length); ++i)
        line += std::string(size_t(i % 3), ' ') + (i % 4 ? "Ausgabe \"gr\xFC\xDF\" " : "Falls x < 1 ") + (tabs ? "rot\t" : "rot ");
    line.resize(size_t(length));
    return line;
}

} // namespace
