#include "viewer/logic/window_placement.h"

#include <algorithm>

namespace {

// Start of a span of the given length moved inside [low, high).
int32_t Inside(int32_t start, int32_t length, int32_t low, int32_t high) {
    return std::max(low, std::min(start, high - length));
}

} // namespace

ScreenRect PlaceBeside(const ScreenRect& owner, int32_t width, int32_t height,
                       const ScreenRect& workArea) {
    int32_t x;
    if (owner.right + width <= workArea.right)
        x = owner.right;
    else if (owner.left - width >= workArea.left)
        x = owner.left - width;
    else
        x = workArea.right - width;
    x = Inside(x, width, workArea.left, workArea.right);
    const int32_t y = Inside(owner.top, height, workArea.top, workArea.bottom);
    return {x, y, x + width, y + height};
}

ScreenRect PlaceAtRightEdge(int32_t width, int32_t height, const ScreenRect& workArea) {
    const int32_t x = Inside(workArea.right - width, width, workArea.left, workArea.right);
    return {x, workArea.top, x + width, workArea.top + height};
}

WindowSize ListWindowSize(int32_t thumbnailColumn, int32_t widestText, int32_t rowHeight,
                          int32_t wantedRows, int32_t frameWidth, int32_t frameHeight,
                          const ScreenRect& workArea) {
    // The texts start 8 pixels after the thumbnail column and keep as much
    // room after their end.
    const int32_t width = thumbnailColumn + 8 + widestText + 8 + frameWidth;
    const int32_t height = rowHeight * wantedRows + frameHeight;
    return {std::min(width, workArea.Width()), std::min(height, workArea.Height())};
}
