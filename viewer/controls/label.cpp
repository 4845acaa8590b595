#include "viewer/controls/label.h"

#include "viewer/controls/control_base.h"
#include "viewer/logic/control_values.h"
#include "viewer/style/style.h"

namespace {

constexpr int kLabelTextUnits = 79;

HFONT LabelFont(LONG_PTR style) {
    switch (style) {
        case 1:
            return g_interfaceFonts.normalFont;
        case 2:
            return g_interfaceFonts.smallBoldFont;
        case 3:
            return g_interfaceFonts.boldFont;
        default:
            return g_interfaceFonts.smallFont;
    }
}

void PaintLabel(HWND label, HDC dc, bool full) {
    RECT client;
    GetClientRect(label, &client);
    if (full) FillRect(dc, &client, g_styleBrushes.Face);
    WCHAR text[kLabelTextUnits + 1];
    const int length = GetWindowTextW(label, text, kLabelTextUnits + 1);
    const HGDIOBJ oldFont = SelectObject(dc, LabelFont(GetWindowLongPtrW(label, GWLP_USERDATA)));
    SetTextColor(dc, IsWindowEnabled(label) ? g_styleColors.Text : g_styleColors.Shadow);
    SetBkColor(dc, g_styleColors.Face);
    SetBkMode(dc, OPAQUE);
    ExtTextOutW(dc, 0, 0, ETO_CLIPPED, &client, text, static_cast<UINT>(length), nullptr);
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK LabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            PaintControl(label, PaintLabel);
            return 0;
        case WM_ERASEBKGND:
            PaintLabel(label, reinterpret_cast<HDC>(wParam), true);
            return 1;
        case WM_ENABLE:
            InvalidateRect(label, nullptr, TRUE);
            return 0;
        default:
            return DefWindowProcW(label, message, wParam, lParam);
    }
}

} // namespace

HWND CreateLabel(HWND parent, int id, const WCHAR* text, int x, int y, int width, int style) {
    const HWND label =
        CreateControlWindow(parent, id, text, 0, x, y, width, LabelHeight(style),
                            reinterpret_cast<void*>(static_cast<INT_PTR>(style)), LabelProc);
    return label;
}

void SetLabelText(HWND label, const WCHAR* text) {
    if (!label) return;
    SetWindowTextW(label, text);
    InvalidateRect(label, nullptr, TRUE);
    UpdateWindow(label);
}
