#include "viewer/main_window/full_screen_frame.h"

#include <cmath>
#include <cstring>
#include <random>

#include "imglib/ops/resample.h"
#include "viewer/logic/screen_transitions.h"
#include "viewer/main_window/main_window_state.h"
#include "viewer/main_window/option_setters.h"
#include "viewer/settings/preferences_file.h"

namespace {

// Shortest time a transition step stays on screen: without it a fast
// machine shows a blend or a push as a flash.
constexpr DWORD kStepMilliseconds = 10;

SIZE GetMonitorSize(HWND window) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info))
        return {info.rcMonitor.right - info.rcMonitor.left,
                info.rcMonitor.bottom - info.rcMonitor.top};
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// An 8-bit display bitmap of its own holds grey only when its colour table
// is the grey ramp.
bool IsGreyTable(const DibBuffer& bitmap) {
    if (bitmap.ColorCount() != 256) return false;
    const uint8_t* table = bitmap.ColorTable();
    for (int i = 0; i < 256; ++i)
        if (table[4 * i] != i || table[4 * i + 1] != i || table[4 * i + 2] != i) return false;
    return true;
}

// The pixels the frame is scaled from: the display bitmap's own rows where
// it converted the image (alpha blended, modes applied), else the image.
void FrameSource(const MainWindowState& state, ILImage& source) {
    const DibBuffer& display = state.display;
    ILPixelType type = 0;
    if (!display.IsEmpty() && display.ownsPixels && display.Width() == state.image.width &&
        display.Height() == state.image.height) {
        if (display.Bits() == 24)
            type = IL_BGR8;
        else if (display.Bits() == 8 && IsGreyTable(display))
            type = IL_GREY8;
    }
    if (type &&
        ILCreateImage(&source, display.Width(), display.Height(), type, display.pixels) == IL_OK) {
        source.stride = display.stride;
        return;
    }
    ILAliasImage(&source, &state.image);
}

void FitImageToScreen(MainWindowState& state) {
    FullScreenFrame& f = state.fullScreenFrame;
    ILFillImage(&f.image, state.background);
    f.placement = {};
    if (!state.image.data) return;
    f.placement = PlaceOnScreen(f.width, f.height, state.image.width, state.image.height,
                                g_preferences.upsampleSmallImages != 0);
    const ScreenPlacement& p = f.placement;
    if (p.width <= 0 || p.height <= 0) return;
    ILImage source, view;
    FrameSource(state, source);
    if (ILViewImageRect(&view, &f.image, p.left, p.top, p.width, p.height) == IL_OK)
        ILResampleFast(&source, &view);
    // Both borrow rows and palette: forgotten, not freed.
    ILInitImage(&view);
    ILInitImage(&source);
}

FramePicture PictureOf(const DibBuffer& bitmap) {
    return {bitmap.pixels, int32_t(bitmap.Width()), int32_t(bitmap.Height()), bitmap.stride};
}

void DrawPicture(const FullScreenFrame& f, HDC context, const FramePicture& picture) {
    StretchDIBits(context, 0, 0, picture.width, picture.height, 0, 0, picture.width, picture.height,
                  picture.pixels, reinterpret_cast<const BITMAPINFO*>(f.bitmap.header),
                  DIB_RGB_COLORS, SRCCOPY);
    GdiFlush();
}

// The picture on screen now is kept, the frame takes the new image, and the
// transition runs from one to the other, step by step on the screen.
void RunTransition(MainWindowState& state, int effect) {
    FullScreenFrame& f = state.fullScreenFrame;
    DibBuffer old;
    if (!old.Create(uint32_t(f.width), uint32_t(f.height), 24, nullptr)) {
        FitImageToScreen(state);
        return;
    }
    std::memcpy(old.pixels, f.bitmap.pixels, size_t(old.stride) * size_t(f.height));
    FitImageToScreen(state);
    std::minstd_rand generator(static_cast<uint32_t>(GetTickCount()));
    ScreenTransition transition(effect, PictureOf(old), PictureOf(f.bitmap), f.backwards,
                                [&] { return int32_t(generator() % 32768); });
    DWORD last = GetTickCount();
    while (transition.Step()) {
        DrawPicture(f, state.mainDC, transition.Shown());
        const DWORD spent = GetTickCount() - last;
        if (spent < kStepMilliseconds) Sleep(kStepMilliseconds - spent);
        last = GetTickCount();
    }
}

} // namespace

ILResult EnterFullScreenFrame(MainWindowState& state) {
    FullScreenFrame& f = state.fullScreenFrame;
    const SIZE size = GetMonitorSize(state.window);
    f.width = size.cx;
    f.height = size.cy;
    if (f.width <= 0 || f.height <= 0) return IL_BAD_ARGUMENT;
    const ILResult result =
        ILReallocImage(&f.image, uint32_t(f.width), uint32_t(f.height), IL_BGR8, nullptr);
    if (result != IL_OK) return result;
    // The bitmap shares the image's rows: what the fitting writes is drawn.
    if (!f.bitmap.Render(f.image, state.background, false) || f.bitmap.ownsPixels) {
        f.bitmap.Free();
        ILClearImage(&f.image);
        return IL_OUT_OF_MEMORY;
    }
    FitImageToScreen(state);
    SetStretchBltMode(state.mainDC, COLORONCOLOR);
    f.backwards = false;
    f.shown = true;
    return IL_OK;
}

void LeaveFullScreenFrame(MainWindowState& state) {
    FullScreenFrame& f = state.fullScreenFrame;
    f.shown = false;
    f.bitmap.Free();
    ILClearImage(&f.image);
    ApplyStretchMode(state);
}

void RefitFullScreenFrame(MainWindowState& state) {
    const FullScreenFrame& f = state.fullScreenFrame;
    if (!f.shown || !f.bitmap.pixels) return;
    LeaveFullScreenFrame(state);
    EnterFullScreenFrame(state);
    InvalidateRect(state.window, nullptr, FALSE);
}

bool IsFullScreenFrameShown(const FullScreenFrame& frame) {
    return frame.shown;
}

void ShowFullScreenImage(MainWindowState& state, bool animate) {
    FullScreenFrame& f = state.fullScreenFrame;
    if (!f.shown) return;
    if (f.bitmap.pixels) {
        const int effect = g_preferences.transitionEffect;
        if (animate && effect >= kBlend && effect <= kPushUpDown)
            RunTransition(state, effect);
        else
            FitImageToScreen(state);
    }
    f.backwards = false;
    InvalidateRect(state.window, nullptr, FALSE);
}

void MarkBackwardTransition(FullScreenFrame& frame) {
    if (frame.shown) frame.backwards = true;
}

void PaintFullScreenFrame(const FullScreenFrame& frame, HDC context) {
    if (frame.bitmap.pixels) DrawPicture(frame, context, PictureOf(frame.bitmap));
}

void FrameToImagePoint(const FullScreenFrame& frame, int screenX, int screenY, int* x, int* y) {
    const ScreenPlacement& p = frame.placement;
    *x = static_cast<int>(std::floor((screenX - p.left) * p.scaleX));
    *y = static_cast<int>(std::floor((screenY - p.top) * p.scaleY));
}
