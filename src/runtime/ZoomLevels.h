#pragma once
// The zoom of the workbench, in percent: the steps Ctrl+Plus and Ctrl+Minus
// go through, and how a length of the unzoomed design is scaled.
#include <QRect>
#include <cmath>

namespace tarko {

inline constexpr int ZoomLevels[] = {100, 125, 150, 200, 250, 300};
inline constexpr int ZoomLevelCount = sizeof ZoomLevels / sizeof ZoomLevels[0];
inline constexpr int NoZoom = 100;

// The level one step up (direction > 0) or down (direction < 0) from
// percent; the first and last levels stay where they are.
constexpr int StepZoom(int percent, int direction)
{
    if (direction > 0) {
        for (int level : ZoomLevels)
            if (level > percent)
                return level;
        return ZoomLevels[ZoomLevelCount - 1];
    }
    for (int i = ZoomLevelCount - 1; i >= 0; --i)
        if (ZoomLevels[i] < percent)
            return ZoomLevels[i];
    return ZoomLevels[0];
}

// A stored percent as a level: the highest level not above it, so a
// hand-edited value never zooms further than asked; below 100 gives 100.
constexpr int ZoomLevelOf(int percent)
{
    int result = ZoomLevels[0];
    for (int level : ZoomLevels)
        if (level <= percent)
            result = level;
    return result;
}

// A length or coordinate of the unzoomed design at the zoom, rounded.
inline int Zoomed(int length, int percent)
{
    return percent == NoZoom ? length : int(std::lround(length * percent / 100.0));
}

// A rectangle scaled by its edges, so that rectangles which meet at 100 %
// still meet at every zoom.
inline QRect Zoomed(const QRect& r, int percent)
{
    const int left = Zoomed(r.left(), percent);
    const int top = Zoomed(r.top(), percent);
    return QRect(left, top, Zoomed(r.left() + r.width(), percent) - left,
                 Zoomed(r.top() + r.height(), percent) - top);
}

} // namespace tarko
