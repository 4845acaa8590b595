#include "viewer/platform/window_utils.h"

#include <cstdlib>
#include <cstring>

int WindowFrameWidth() {
    return 2 * GetSystemMetrics(SM_CXFRAME);
}

int WindowFrameHeight() {
    return 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
}

int WindowBorderWidth() {
    return GetSystemMetrics(SM_CXFRAME);
}

int WindowCaptionOffset() {
    return GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
}

ScreenRect WorkArea() {
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return {area.left, area.top, area.right, area.bottom};
}

bool RestoreIfMinimised(HWND window) {
    if (!IsIconic(window)) return false;
    ShowWindow(window, SW_RESTORE);
    return true;
}

void BringToFront(HWND window) {
    const DWORD self = GetCurrentThreadId();
    const DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const bool attach = front != 0 && front != self;
    if (attach) AttachThreadInput(self, front, TRUE);
    SetForegroundWindow(window);
    SetFocus(window);
    if (attach) AttachThreadInput(self, front, FALSE);
}

int ToolWindowFrameWidth() {
    return 2 * GetSystemMetrics(SM_CXDLGFRAME);
}

int ToolWindowFrameHeight() {
    return 2 * GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYSMCAPTION);
}

namespace {

BOOL CALLBACK InvalidateChildCallback(HWND child, LPARAM) {
    InvalidateRect(child, nullptr, TRUE);
    return TRUE;
}

} // namespace

void InvalidateWindowTree(HWND window) {
    if (!window) return;
    InvalidateRect(window, nullptr, TRUE);
    EnumChildWindows(window, InvalidateChildCallback, 0);
}

int PixelsToPoints(int height, HDC context) {
    return std::abs(MulDiv(height, 72, GetDeviceCaps(context, LOGPIXELSY)));
}

std::string FormatFontLabel(int width, const LOGFONTA& font, HDC context) {
    const std::string size = std::to_string(PixelsToPoints(font.lfHeight, context)) + "pt";
    std::string face(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE));
    const auto fits = [&](const std::string& text) {
        SIZE extent = {};
        GetTextExtentPoint32A(context, text.c_str(), static_cast<int>(text.size()), &extent);
        return extent.cx <= width;
    };
    std::string label = face + " " + size;
    if (fits(label)) return label;
    // The first cut keeps all but the last two characters of the face.
    face.resize(face.size() >= 2 ? face.size() - 2 : 0);
    for (;;) {
        label = face + "... " + size;
        if (face.empty() || fits(label)) return label;
        face.pop_back();
    }
}
