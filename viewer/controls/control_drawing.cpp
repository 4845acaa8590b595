#include "viewer/controls/control_drawing.h"

#include "viewer/logic/control_values.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_utils.h"

HBRUSH OnControlColor(HDC context, bool isEdit) {
    SetTextColor(context, g_styleColors.Text);
    SetBkColor(context, isEdit ? g_styleColors.Field : g_styleColors.Face);
    return isEdit ? g_styleBrushes.Field : g_styleBrushes.Face;
}

namespace {

void SelectStyle(HDC context, COLORREF background, HFONT font) {
    SetBkColor(context, background);
    SetTextColor(context, g_styleColors.Text);
    SelectObject(context, font);
}

} // namespace

void SelectHeaderStyle(HDC context) {
    SelectStyle(context, g_styleColors.Highlight, g_interfaceFonts.boldFont);
}

void SelectTextStyle(HDC context) {
    SelectStyle(context, g_styleColors.Face, g_interfaceFonts.normalFont);
}

void SelectSmallTextStyle(HDC context) {
    SelectStyle(context, g_styleColors.Face, g_interfaceFonts.smallFont);
}

void FrameControl(HWND control, HDC context, int y) {
    RECT size = {};
    GetWindowRect(control, &size);
    RECT frame = {10, y - 1, 12 + size.right - size.left, y + 1 + size.bottom - size.top};
    FrameRect(context, &frame, g_styleBrushes.Text);
}

int FitToScreenX(int x, int width) {
    return FitToScreen(x, width, GetSystemMetrics(SM_CXSCREEN));
}

int FitToScreenY(int y, int height) {
    return FitToScreen(y, height, GetSystemMetrics(SM_CYSCREEN));
}

void PlaceAtMainWindow(HWND window, HWND mainWindow, int clientWidth, int clientHeight) {
    RECT main = {};
    GetWindowRect(mainWindow, &main);
    SetWindowPos(window, nullptr, main.left + GetSystemMetrics(SM_CXFRAME),
                 main.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION),
                 clientWidth + ToolWindowFrameWidth(), clientHeight + ToolWindowFrameHeight(),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void DrawScaleTicks(HDC context, int x, int y, int extent, int count) {
    for (int i = 0; i < count; ++i) {
        const int tickY = y + extent - (count > 1 ? MulDivRound(i, extent, count - 1) : 0);
        MoveToEx(context, x, tickY, nullptr);
        LineTo(context, x + 5, tickY);
    }
}
