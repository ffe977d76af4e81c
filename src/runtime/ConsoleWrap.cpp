#include "runtime/ConsoleWrap.h"

#include <QTextLayout>
#include <QTextOption>

namespace tarko {

QFont ConsoleFont(int pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(pixelSize);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

QtLineWrap::QtLineWrap() : font_(ConsoleFont(12))
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout_.setFont(font_);
    layout_.setTextOption(option);
}

// The console lays out each line of its text as one QTextLayout of the
// line's width; this is the same layout with the same font and width.
int QtLineWrap::Wrap(const std::u16string& line, size_t* lastStart) const
{
    QTextLayout& layout = layout_;   // kept: its font is resolved once
    layout.setText(QString::fromUtf16(line.data(), qsizetype(line.size())));
    layout.beginLayout();
    int lines = 0;
    int start = 0;
    for (;;) {
        QTextLine l = layout.createLine();
        if (!l.isValid())
            break;
        l.setLineWidth(ConsoleTextWidth);
        start = l.textStart();
        ++lines;
    }
    layout.endLayout();
    *lastStart = size_t(start);
    return lines > 0 ? lines : 1;
}

} // namespace tarko
