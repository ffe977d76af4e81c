#pragma once
// The graphics canvas of the run panel: a 200 x 200 image on which a running
// program draws one-pixel, non-smoothed points, lines, filled rectangles,
// filled circles (the rules in Raster.h, shared with the web module) and texts. Coordinates are pixels (column, row) already mapped
// from program coordinates by the interpreter; they may lie anywhere in the
// 64-bit range: everything is clipped to the image before drawing.
#include <QColor>
#include <QFont>
#include <QImage>
#include <cstdint>
#include <functional>
#include <string>

namespace tarko {

class Canvas {
public:
    static constexpr int Size = 200;
    static constexpr int TextHeight = 11;   // character height of the canvas font

    Canvas();

    const QImage& image() const { return img; }
    // The image as a picture to keep: each pixel a square of scale x scale
    // pixels (nearest neighbour, no smoothing).
    QImage Picture(int scale = 1) const;
    // Called after every change of the image (the run panel repaints).
    std::function<void()> changed;

    // The colour of a colour number: 14 black, 15 grey, 16 white, 17 red,
    // 18 yellow, 19 green, 20 blue, any other black.
    static QColor ColourOf(int colourNumber);
    // The canvas font: "MS Sans Serif" 8 pt, falling back to installed families.
    static QFont TextFont();

    // Fill the whole image black (the drawing colour stays).
    void Clear();
    // The switch from the console: black image, white pen and font colour.
    void Reset();
    void SetColor(int colourNumber);
    void SetPenColor(const QColor& c);
    QColor PenColor() const { return pen; }

    void Point(int64_t col, int64_t row);
    // Both end points are drawn.
    void Line(int64_t col1, int64_t row1, int64_t col2, int64_t row2);
    // Covers from the smaller to one less than the larger coordinate per axis.
    void FillRect(int64_t col1, int64_t row1, int64_t col2, int64_t row2);
    // The disc in the box from (col - r, row - r) to (col + r, row + r).
    void FillCircle(int64_t col, int64_t row, int64_t radius);
    // Text (Windows-1252) with its top-left corner at (col, row - TextHeight),
    // on an opaque black box.
    void DrawText(int64_t col, int64_t row, const std::string& text);

private:
    // The image's pixels for the shared drawing rules (RGB32 rows are packed).
    uint32_t* Pixels() { return reinterpret_cast<uint32_t*>(img.bits()); }
    void Changed() { if (changed) changed(); }

    QImage img;
    QColor pen = Qt::white;
};

} // namespace tarko
