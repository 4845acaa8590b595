// The window side of the view: scroll bars, window resizing, zoom commands
// and the title, around the arithmetic of viewer/logic/view_geometry.
#include "viewer/view.h"

#include <algorithm>
#include <string>

#include "viewer/logic/preferences.h"
#include "viewer/logic/view_geometry.h"
#include "viewer/main_window.h"
#include "viewer/viewer_state.h"
#include "viewer/wide_text.h"

namespace {

// Window modes 0 (fit nothing) and 2 (fit window to image) zoom by levels;
// mode 1 and full screen fit the image into the client area.
bool ZoomsByLevel() {
    return (g_preferences.windowMode == 0 || g_preferences.windowMode == 2) && !g_viewer.fullScreen;
}

void SetWindowTitle(int numerator, int denominator) {
    const std::u16string name = ToU16(g_viewer.displayName);
    const std::u16string loadTime = ToU16(g_viewer.loadTimeText);
    TitleParts parts;
    parts.displayName = name;
    parts.loadTime = loadTime;
    parts.pageCount = g_viewer.info.pages;
    parts.pageIndex = g_viewer.info.page;
    parts.displayWidth = g_viewer.view.displayWidth;
    parts.imageWidth = g_viewer.image.width;
    CopyToWide(FormatWindowTitle(parts, numerator, denominator), g_viewer.windowTitle);
}

void ApplyScrollBar(int bar, SCROLLINFO& info, int display, int client, int position, bool shown) {
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(display - 1, 0);
    info.nPage = static_cast<UINT>(std::max(client, 0));
    info.nPos = position;
    SetScrollInfo(g_viewer.mainWindow, bar, &info, TRUE);
    ShowScrollBar(g_viewer.mainWindow, bar, shown);
}

void SetScrollPosition(int bar, SCROLLINFO& info, int position) {
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(g_viewer.mainWindow, bar, &info, TRUE);
}

} // namespace

void LayoutView(int level, bool resizeWindow) {
    ViewGeometry& view = g_viewer.view;
    const ILImage& image = g_viewer.image;
    if (view.layoutRunning || image.width == 0 || image.height == 0) return;
    view.zoomLevel = std::clamp(level, kMinZoomLevel, kMaxZoomLevel);
    view.layoutRunning = true;

    int numerator = 0, denominator = 0;
    if (ZoomsByLevel()) {
        const ZoomedSize size = ZoomedDisplaySize(image.width, image.height, view.zoomLevel);
        view.displayWidth = size.width;
        view.displayHeight = size.height;
        numerator = size.numerator;
        denominator = size.denominator;
        if (resizeWindow) {
            ShowScrollBar(g_viewer.mainWindow, SB_BOTH, FALSE);
            view.hBarShown = view.vBarShown = false;
            FitWindowToClientSize(size.width, size.height);
        }
        LayoutScrolledView(view, GetSystemMetrics(SM_CYHSCROLL), GetSystemMetrics(SM_CXVSCROLL));
        // Showing a bar resizes the client area; the WM_SIZE it sends finds
        // the layout flag set.
        ApplyScrollBar(SB_HORZ, g_viewer.hScrollInfo, view.displayWidth, view.clientWidth,
                       view.scrollX, view.hBarShown);
        ApplyScrollBar(SB_VERT, g_viewer.vScrollInfo, view.displayHeight, view.clientHeight,
                       view.scrollY, view.vBarShown);
    } else {
        LayoutFittedView(view, image.width, image.height, g_viewer.fullScreen,
                         g_preferences.upsampleSmallImages != 0);
    }
    SetWindowTitle(numerator, denominator);
    UpdateTitleAndTooltip();
    view.scale = ViewScale(view, image.width);
    if (!g_viewer.fullScreen) InvalidateRect(g_viewer.mainWindow, nullptr, FALSE);
    view.layoutRunning = false;
}

void ZoomView(int step, bool ratio) {
    if (g_viewer.fullScreen) return;
    const ViewGeometry& view = g_viewer.view;
    const ILImage& image = g_viewer.image;
    if (g_preferences.windowMode != 1) {
        const int level =
            step == 0 ? 0 : std::clamp(view.zoomLevel + step, kMinZoomLevel, kMaxZoomLevel);
        LayoutView(level, ratio);
        return;
    }
    // Window mode 1: the image follows the window, so the window is resized
    // and WM_SIZE lays the view out.
    if (image.width == 0 || image.height == 0) return;
    if (step == 0) {
        FitWindowToClientSize(static_cast<int>(image.width), static_cast<int>(image.height));
    } else if (ratio) {
        const double d = NextRatioZoomFactor(double(view.displayWidth) / image.width, step > 0);
        FitWindowToClientSize(static_cast<int>(image.width * d + 0.5),
                              static_cast<int>(image.height * d + 0.5));
    } else {
        FitWindowToClientSize(NextPlainZoomSide(view.clientWidth, step > 0),
                              NextPlainZoomSide(view.clientHeight, step > 0));
    }
}

int LargestFittingZoomLevel() {
    if (g_preferences.windowMode != 2) return 0;
    RECT desktop = {}, window = {};
    GetClientRect(GetDesktopWindow(), &desktop);
    GetWindowRect(g_viewer.mainWindow, &window);
    return LargestFittingZoomLevel(g_viewer.image.width, g_viewer.image.height, desktop.right,
                                   desktop.bottom, window.left, window.top);
}

bool FitWindowToClientSize(int width, int height) {
    const HWND window = g_viewer.mainWindow;
    if (IsZoomed(window) || IsIconic(window)) return false;
    RECT before = {};
    GetClientRect(window, &before);
    // The frame of the window's own style; scroll bars are laid out inside
    // the client size, so they are left out.
    const DWORD style = GetWindowLongW(window, GWL_STYLE) & ~(WS_HSCROLL | WS_VSCROLL);
    const DWORD exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    RECT frame = {0, 0, std::max(width, 0), std::max(height, 0)};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT after = {};
    GetClientRect(window, &after);
    g_viewer.view.clientWidth = after.right;
    g_viewer.view.clientHeight = after.bottom;
    return after.right != before.right || after.bottom != before.bottom;
}

bool ScrollViewHorizontally(int position) {
    ViewGeometry& view = g_viewer.view;
    const int next = ClampScrollPosition(position, view.limitX);
    if (next == view.scrollX) return false;
    const int previous = view.scrollX;
    view.scrollX = next;
    view.displayLeft = DisplayOrigin(view.clientWidth, view.displayWidth, next);
    ScrollWindowEx(g_viewer.mainWindow, previous - next, 0, nullptr, nullptr, nullptr, nullptr,
                   SW_INVALIDATE);
    UpdateWindow(g_viewer.mainWindow);
    SetScrollPosition(SB_HORZ, g_viewer.hScrollInfo, next);
    return true;
}

bool ScrollViewVertically(int position) {
    ViewGeometry& view = g_viewer.view;
    const int next = ClampScrollPosition(position, view.limitY);
    if (next == view.scrollY) return false;
    const int previous = view.scrollY;
    view.scrollY = next;
    view.displayTop = DisplayOrigin(view.clientHeight, view.displayHeight, next);
    ScrollWindowEx(g_viewer.mainWindow, 0, previous - next, nullptr, nullptr, nullptr, nullptr,
                   SW_INVALIDATE);
    UpdateWindow(g_viewer.mainWindow);
    SetScrollPosition(SB_VERT, g_viewer.vScrollInfo, next);
    return true;
}

void ViewToImagePoint(int* x, int* y) {
    const ViewGeometry& view = g_viewer.view;
    *x = static_cast<int>((g_viewer.lastMouse.x - view.displayLeft) * view.scale);
    *y = static_cast<int>((g_viewer.lastMouse.y - view.displayTop) * view.scale);
}
