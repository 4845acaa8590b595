// The window side of the view: scroll bars, window resizing, zoom commands
// and the title, around the arithmetic of viewer/logic/view_geometry.
#include "viewer/main_window/view.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "viewer/main_window/full_screen_frame.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/logic/view_geometry.h"
#include "viewer/main_window/tooltips.h"
#include "viewer/main_window/main_window_state.h"
#include "viewer/platform/wide_text.h"

namespace {

// Window modes 0 (fit nothing) and 2 (fit window to image) zoom by levels;
// mode 1 and full screen fit the image into the client area.
bool ZoomsByLevel(const MainWindowState& state) {
    return (g_preferences.windowMode == 0 || g_preferences.windowMode == 2) && !state.fullScreen;
}

void SetWindowTitle(MainWindowState& state, int numerator, int denominator) {
    const std::u16string name = ToU16(state.displayName);
    const std::u16string loadTime = ToU16(state.loadTimeText);
    TitleParts parts;
    parts.displayName = name;
    parts.loadTime = loadTime;
    parts.pageCount = state.info.pages;
    parts.pageIndex = state.info.page;
    parts.displayWidth = state.view.displayWidth;
    parts.imageWidth = state.image.width;
    CopyToWide(FormatWindowTitle(parts, numerator, denominator), state.windowTitle);
}

void ApplyScrollBar(MainWindowState& state, int bar, SCROLLINFO& info, int display, int client,
                    int position, bool shown) {
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(display - 1, 0);
    info.nPage = static_cast<UINT>(std::max(client, 0));
    info.nPos = position;
    SetScrollInfo(state.window, bar, &info, TRUE);
    ShowScrollBar(state.window, bar, shown);
}

void SetScrollPosition(MainWindowState& state, int bar, SCROLLINFO& info, int position) {
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    info.nPos = position;
    SetScrollInfo(state.window, bar, &info, TRUE);
}

} // namespace

void LayoutView(MainWindowState& state, int level, bool resizeWindow) {
    ViewGeometry& view = state.view;
    const ILImage& image = state.image;
    if (view.layoutRunning || image.width == 0 || image.height == 0) return;
    view.zoomLevel = std::clamp(level, kMinZoomLevel, kMaxZoomLevel);
    view.layoutRunning = true;

    int numerator = 0, denominator = 0;
    if (ZoomsByLevel(state)) {
        const ZoomedSize size = ZoomedDisplaySize(image.width, image.height, view.zoomLevel);
        view.displayWidth = size.width;
        view.displayHeight = size.height;
        numerator = size.numerator;
        denominator = size.denominator;
        if (resizeWindow) {
            ShowScrollBar(state.window, SB_BOTH, FALSE);
            view.hBarShown = view.vBarShown = false;
            FitWindowToClientSize(state, size.width, size.height);
        }
        LayoutScrolledView(view, GetSystemMetrics(SM_CYHSCROLL), GetSystemMetrics(SM_CXVSCROLL));
        // Showing a bar resizes the client area; the WM_SIZE it sends finds
        // the layout flag set.
        ApplyScrollBar(state, SB_HORZ, state.hScrollInfo, view.displayWidth, view.clientWidth,
                       view.scrollX, view.hBarShown);
        ApplyScrollBar(state, SB_VERT, state.vScrollInfo, view.displayHeight, view.clientHeight,
                       view.scrollY, view.vBarShown);
    } else {
        LayoutFittedView(view, image.width, image.height, state.fullScreen,
                         g_preferences.upsampleSmallImages != 0);
    }
    SetWindowTitle(state, numerator, denominator);
    UpdateTitleAndTooltip(state);
    view.scale = ViewScale(view, image.width);
    if (!state.fullScreen) InvalidateRect(state.window, nullptr, FALSE);
    view.layoutRunning = false;
}

void ZoomView(MainWindowState& state, int step, bool ratio) {
    if (state.fullScreen) return;
    const ViewGeometry& view = state.view;
    const ILImage& image = state.image;
    if (g_preferences.windowMode != 1) {
        const int level =
            step == 0 ? 0 : std::clamp(view.zoomLevel + step, kMinZoomLevel, kMaxZoomLevel);
        LayoutView(state, level, ratio);
        return;
    }
    // Window mode 1: the image follows the window, so the window is resized
    // and WM_SIZE lays the view out.
    if (image.width == 0 || image.height == 0) return;
    if (step == 0) {
        FitWindowToClientSize(state, static_cast<int>(image.width), static_cast<int>(image.height));
    } else if (ratio) {
        const double d = NextRatioZoomFactor(double(view.displayWidth) / image.width, step > 0);
        FitWindowToClientSize(state, static_cast<int>(image.width * d + 0.5),
                              static_cast<int>(image.height * d + 0.5));
    } else {
        FitWindowToClientSize(state, NextPlainZoomSide(view.clientWidth, step > 0),
                              NextPlainZoomSide(view.clientHeight, step > 0));
    }
}

int LargestFittingZoomLevel(const MainWindowState& state) {
    if (g_preferences.windowMode != 2) return 0;
    RECT desktop = {}, window = {};
    GetClientRect(GetDesktopWindow(), &desktop);
    GetWindowRect(state.window, &window);
    return LargestFittingZoomLevel(state.image.width, state.image.height, desktop.right,
                                   desktop.bottom, window.left, window.top);
}

bool FitWindowToClientSize(MainWindowState& state, int width, int height) {
    const HWND window = state.window;
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
    state.view.clientWidth = after.right;
    state.view.clientHeight = after.bottom;
    return after.right != before.right || after.bottom != before.bottom;
}

bool ScrollViewHorizontally(MainWindowState& state, int position) {
    ViewGeometry& view = state.view;
    const int next = ClampScrollPosition(position, view.limitX);
    if (next == view.scrollX) return false;
    const int previous = view.scrollX;
    view.scrollX = next;
    view.displayLeft = DisplayOrigin(view.clientWidth, view.displayWidth, next);
    ScrollWindowEx(state.window, previous - next, 0, nullptr, nullptr, nullptr, nullptr,
                   SW_INVALIDATE);
    UpdateWindow(state.window);
    SetScrollPosition(state, SB_HORZ, state.hScrollInfo, next);
    return true;
}

bool ScrollViewVertically(MainWindowState& state, int position) {
    ViewGeometry& view = state.view;
    const int next = ClampScrollPosition(position, view.limitY);
    if (next == view.scrollY) return false;
    const int previous = view.scrollY;
    view.scrollY = next;
    view.displayTop = DisplayOrigin(view.clientHeight, view.displayHeight, next);
    ScrollWindowEx(state.window, 0, previous - next, nullptr, nullptr, nullptr, nullptr,
                   SW_INVALIDATE);
    UpdateWindow(state.window);
    SetScrollPosition(state, SB_VERT, state.vScrollInfo, next);
    return true;
}

void ViewToImagePoint(const MainWindowState& state, int* x, int* y) {
    if (IsFullScreenFrameShown(state.fullScreenFrame)) {
        FrameToImagePoint(state.fullScreenFrame, state.lastMouse.x, state.lastMouse.y, x, y);
        return;
    }
    const ViewGeometry& view = state.view;
    // Floored: truncation would take the screen pixels just left of and
    // above the image (up to a zoom step) for its first column and row.
    *x = static_cast<int>(std::floor((state.lastMouse.x - view.displayLeft) * view.scale));
    *y = static_cast<int>(std::floor((state.lastMouse.y - view.displayTop) * view.scale));
}
