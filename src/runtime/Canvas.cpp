#include "runtime/Canvas.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include "language/Cp1252.h"
#include "runtime/Raster.h"

namespace tarko {

static_assert(Canvas::Size == raster::Size);

Canvas::Canvas() : img(Size, Size, QImage::Format_RGB32)
{
    img.fill(Qt::black);
}

QColor Canvas::ColourOf(int colourNumber)
{
    // Built once: making a QColor from components costs more than drawing a
    // point, and drawing loops change the colour per point.
    static const QColor colours[] = {QColor(raster::ColourOf(14)), QColor(raster::ColourOf(15)),
                                     QColor(raster::ColourOf(16)), QColor(raster::ColourOf(17)),
                                     QColor(raster::ColourOf(18)), QColor(raster::ColourOf(19)),
                                     QColor(raster::ColourOf(20))};
    return colourNumber >= 15 && colourNumber <= 20 ? colours[colourNumber - 14] : colours[0];
}

QFont Canvas::TextFont()
{
    QFont font;
    // "MS Sans Serif" is not installed on Linux: the families after it stand in.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPixelSize(TextHeight - 1);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

void Canvas::Clear()
{
    img.fill(Qt::black);
    Changed();
}

void Canvas::Reset()
{
    pen = Qt::white;
    Clear();
}

void Canvas::SetColor(int colourNumber) { pen = ColourOf(colourNumber); }

void Canvas::SetPenColor(const QColor& c) { pen = c; }

void Canvas::Point(int64_t col, int64_t row)
{
    if (raster::Point(Pixels(), pen.rgb(), col, row))
        Changed();
}

void Canvas::Line(int64_t col1, int64_t row1, int64_t col2, int64_t row2)
{
    if (raster::Line(Pixels(), pen.rgb(), col1, row1, col2, row2))
        Changed();
}

void Canvas::FillRect(int64_t col1, int64_t row1, int64_t col2, int64_t row2)
{
    if (raster::FillRect(Pixels(), pen.rgb(), col1, row1, col2, row2))
        Changed();
}

void Canvas::FillCircle(int64_t col, int64_t row, int64_t radius)
{
    if (raster::FillCircle(Pixels(), pen.rgb(), col, row, radius))
        Changed();
}

void Canvas::DrawText(int64_t col, int64_t row, const std::string& text)
{
    if (text.empty() || col >= Size || row <= 0 || row - TextHeight >= Size || col < -100000)
        return;
    const int64_t top = row - TextHeight;
    // Fonts need the Gui application; without one there is nothing to draw with.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    const QString s = QString::fromUtf8(Cp1252ToUtf8(text));
    const QFont font = TextFont();
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(s);
    if (col + width <= 0)
        return;
    const QRect box(static_cast<int>(col), static_cast<int>(top), width, TextHeight);
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setClipRect(box);
    painter.fillRect(box, Qt::black);
    painter.setFont(font);
    painter.setPen(pen);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
    painter.end();
    Changed();
}

QImage Canvas::Picture(int scale) const
{
    if (scale <= 1)
        return img.copy();
    return img.scaled(Size * scale, Size * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace tarko
