#include "runtime/ConsoleWrap.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <QTextOption>
#include <cmath>

#include "language/Cp1252.h"

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
    const QFontMetricsF metrics(font_);
    for (int b = 0; b < 256; ++b)
        advance64_[b] = std::llround(metrics.horizontalAdvance(QChar(char16_t(Cp1252ToUnicode(uchar(b))))) * 64);
    overhang64_ = std::llround(std::max(0.0, -metrics.minRightBearing()) * 64);
}

bool QtLineWrap::SurelyOneLine(const std::u16string& line) const
{
    long long width = overhang64_;
    for (const char16_t c : line) {
        const int b = c < 0x80 ? int(c) : UnicodeToCp1252(c);
        if (b < 0 || c == u'\t')   // a tab's width depends on where it stands
            return false;
        width += advance64_[b] + KerningRoom64;
    }
    return width <= ConsoleTextWidth * 64LL;
}

// The console lays out each line of its text as one QTextLayout of the
// line's width; this is the same layout with the same font and width.
int QtLineWrap::Wrap(const std::u16string& line, size_t* lastStart) const
{
    if (SurelyOneLine(line)) {
        *lastStart = 0;
        return 1;
    }
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
