// The arithmetic of the main window's view: where the display rectangle lies
// for a zoom level or a fitting mode, which scroll bars it needs, how the
// zoom steps go, and the window title that shows the zoom.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int kMinZoomLevel = -15;
inline constexpr int kMaxZoomLevel = 15;
// Units of the title buffer, its terminating zero included.
inline constexpr size_t kWindowTitleUnits = 164;

struct ViewGeometry {
    int32_t clientWidth = 0; // client size; the layout takes off the scroll bars
    int32_t clientHeight = 0;
    int32_t zoomLevel = 0;    // z >= 0 shows (z + 1):1, z < 0 shows 1:(1 - z)
    int32_t displayWidth = 0; // the image as shown
    int32_t displayHeight = 0;
    int32_t displayLeft = 0; // client position, negative when scrolled
    int32_t displayTop = 0;
    double scale = 0;    // image pixels per screen pixel; 0 with nothing shown
    int32_t scrollX = 0; // scroll positions, 0..limit
    int32_t scrollY = 0;
    int32_t limitX = 0; // display size - client size, at least 0
    int32_t limitY = 0;
    bool hBarShown = false;
    bool vBarShown = false;
    bool layoutRunning = false;
};

// Display size for a zoom level, and the ratio numerator:denominator.
struct ZoomedSize {
    int32_t width;
    int32_t height;
    int32_t numerator;
    int32_t denominator;
};
ZoomedSize ZoomedDisplaySize(uint32_t imageWidth, uint32_t imageHeight, int level);

// Lays out a display rectangle of the view's display size in the client
// area: decides the scroll bars (hBarHeight, vBarWidth: their sizes), takes
// them off the client size, clamps the scroll positions to the new limits
// and places the rectangle (centred when smaller than the client area).
void LayoutScrolledView(ViewGeometry& view, int32_t hBarHeight, int32_t vBarWidth);

// The fitting layouts: the image fitted into the client area keeping its
// aspect, or, in full screen with upsampling off, an image that fits shown
// at 100 % in the centre.
void LayoutFittedView(ViewGeometry& view, uint32_t imageWidth, uint32_t imageHeight,
                      bool fullScreen, bool upsampleSmaller);

// Image width / display width, 0 when nothing is shown.
double ViewScale(const ViewGeometry& view, uint32_t imageWidth);

// The scroll position p brought into 0..limit.
int32_t ClampScrollPosition(int64_t p, int32_t limit);
// Display left (or top) for a scroll position: centred when the display is
// smaller than the client, minus the position.
int32_t DisplayOrigin(int32_t client, int32_t display, int32_t position);

// The level a new image starts with in window mode 2: the largest level at
// which the image fits between the window's top-left corner and the
// desktop's far edges, at most 1:16 (level -15).
int LargestFittingZoomLevel(uint32_t imageWidth, uint32_t imageHeight, int32_t desktopWidth,
                            int32_t desktopHeight, int32_t windowLeft, int32_t windowTop);

// Window mode 1, ratio variant: the next scale factor from the current one
// (display width / image width): tenths down to 10 %, hundredths below.
double NextRatioZoomFactor(double current, bool zoomIn);
// Window mode 1, plain variant: the client side divided (out) or multiplied
// (in) by 1.1, rounded.
int32_t NextPlainZoomSide(int32_t side, bool zoomIn);

struct TitleParts {
    std::u16string_view displayName;
    std::u16string_view loadTime; // "(time: ...)", may be empty
    uint32_t pageCount = 1;
    uint32_t pageIndex = 0;
    int32_t displayWidth = 0;
    uint32_t imageWidth = 0;
};
// "name [n:d] time" for a zoom, "name p% time" for a fit (numerator 0), with
// " (page i of n)" after the name for multi-page files; at most
// kWindowTitleUnits - 1 units.
std::u16string FormatWindowTitle(const TitleParts& parts, int numerator, int denominator);
