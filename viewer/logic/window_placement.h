// Where a window opens that has no stored place yet, and how large a window
// is that is sized from its content: rectangles in screen coordinates, the
// work area (the screen less the task bar) as the limit.
#pragma once

#include <cstdint>

struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// A window of the given size beside the owner: right of it where the work
// area has room, else left of it, else at the work area's right edge; its
// top at the owner's top. Always inside the work area (a window larger than
// the work area starts at its top left).
ScreenRect PlaceBeside(const ScreenRect& owner, int32_t width, int32_t height,
                       const ScreenRect& workArea);

// A window at the work area's right edge and top.
ScreenRect PlaceAtRightEdge(int32_t width, int32_t height, const ScreenRect& workArea);

// The List window's outer size for its content: the widest text line of a
// row after the thumbnail column, and wanted rows of rowHeight, within the
// work area. frameWidth and frameHeight are what the frame, caption, menu
// bar and scroll bar add to the client area.
struct WindowSize {
    int32_t width;
    int32_t height;
};
WindowSize ListWindowSize(int32_t thumbnailColumn, int32_t widestText, int32_t rowHeight,
                          int32_t wantedRows, int32_t frameWidth, int32_t frameHeight,
                          const ScreenRect& workArea);
