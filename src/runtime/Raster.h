#pragma once
// The drawing rules of the graphics canvas as plain C++ on a 200 x 200 pixel
// buffer (rows top first, one 32-bit value per pixel): the desktop's Qt
// canvas and the web module draw through these same functions. A pixel's
// value is the caller's (QRgb on the desktop, RGBA bytes in the browser).
// Coordinates are pixels (column, row) anywhere in the 64-bit range:
// everything is clipped to the image, and the arithmetic is exact integer
// arithmetic, so far shapes cost no more than near ones.
#include <cstdint>
#include <string_view>

#include "runtime/Glyphs.h"

namespace tarko::raster {

constexpr int Size = 200;

// The colour of a colour number as 0xRRGGBB: 14 black, 15 grey, 16 white,
// 17 red, 18 yellow, 19 green, 20 blue, any other black.
uint32_t ColourOf(int colourNumber);

// Each returns whether the image may have changed (false when the shape lies
// wholly outside it).
bool Point(uint32_t* pixels, uint32_t pen, int64_t col, int64_t row);
// Both end points are drawn; the minor coordinate is rounded to the nearest
// pixel, halves upwards.
bool Line(uint32_t* pixels, uint32_t pen, int64_t col1, int64_t row1, int64_t col2, int64_t row2);
// Covers from the smaller to one less than the larger coordinate per axis.
bool FillRect(uint32_t* pixels, uint32_t pen, int64_t col1, int64_t row1, int64_t col2,
              int64_t row2);
// The disc in the box from (col - r, row - r) to (col + r, row + r): the
// pixels whose centres lie inside the circle.
bool FillCircle(uint32_t* pixels, uint32_t pen, int64_t col, int64_t row, int64_t radius);

// Text (Windows-1252) with the top-left corner of its box at (col, row - 11):
// the box, as wide as the text, is filled black and the glyphs drawn on it.
bool DrawText(uint32_t* pixels, uint32_t pen, int64_t col, int64_t row, std::string_view text,
              const GlyphTable& glyphs);
// The width of the text in pixels.
int TextWidth(std::string_view text, const GlyphTable& glyphs);

// The minor coordinate of a line at major position t (a1 != a2), exact:
// b1 + (b2 - b1) (t - a1) / (a2 - a1) rounded to the nearest integer, halves
// upwards, limited to +-10^18. t lies between a1 and a2.
int64_t MinorAt(int64_t t, int64_t a1, int64_t b1, int64_t a2, int64_t b2);

} // namespace tarko::raster
