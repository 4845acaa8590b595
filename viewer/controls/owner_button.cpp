#include "viewer/controls/owner_button.h"

#include <algorithm>

#include "viewer/controls/control_base.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_state.h"

namespace {

constexpr int kPushTextUnits = 30;
constexpr int kChoiceTextUnits = 38;

struct ButtonColors {
    COLORREF background;
    COLORREF text;
};

ButtonColors ColorsOf(uint32_t bits, bool enabled, bool pressedShows) {
    if (!enabled) return {g_styleColors.Face, g_styleColors.Shadow};
    if (pressedShows && (bits & (BUTTON_CHECKED | BUTTON_PRESSED)))
        return {g_styleColors.Shadow, g_styleColors.HotText};
    if (bits & BUTTON_HOT) return {g_styleColors.Highlight, g_styleColors.HotText};
    return {g_styleColors.Face, g_styleColors.Text};
}

bool ShowsFocus(uint32_t bits) {
    return g_styleColors.ShowFocusCues && (bits & BUTTON_FOCUSED);
}

int ButtonText(HWND window, WCHAR* text, int units) {
    return GetWindowTextW(window, text, units);
}

void FillWith(HDC dc, const RECT& rect, COLORREF color) {
    SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void PaintPushButton(HWND window, HDC dc, const ButtonState& state, bool full) {
    const bool enabled = IsWindowEnabled(window) != FALSE;
    const bool bold = (state.bits & BUTTON_BOLD) != 0;
    const HFONT font = state.extra
                           ? (bold ? g_interfaceFonts.smallBoldFont : g_interfaceFonts.smallFont)
                           : (bold ? g_interfaceFonts.boldFont : g_interfaceFonts.normalFont);
    RECT client;
    GetClientRect(window, &client);
    if (full) {
        FrameRect(dc, &client, enabled ? g_styleBrushes.Text : g_styleBrushes.Shadow);
        RECT inner = client;
        InflateRect(&inner, -1, -1);
        FrameRect(dc, &inner, enabled ? g_styleBrushes.Field : g_styleBrushes.Face);
    }
    RECT inside = client;
    InflateRect(&inside, -2, -2);
    const ButtonColors colors = ColorsOf(state.bits, enabled, true);
    FillWith(dc, inside, colors.background);
    WCHAR text[kPushTextUnits + 1];
    const int length = ButtonText(window, text, kPushTextUnits + 1);
    const HGDIOBJ oldFont = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, length, &size);
    SetTextColor(dc, colors.text);
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutW(dc, (client.right - size.cx + 1) / 2, 2, ETO_CLIPPED, &inside, text,
                static_cast<UINT>(length), nullptr);
    SelectObject(dc, oldFont);
    if (ShowsFocus(state.bits)) {
        RECT focus = inside;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
}

void PaintColorButton(HWND window, HDC dc, const ButtonState& state, bool full) {
    const bool enabled = IsWindowEnabled(window) != FALSE;
    const HBRUSH frame = enabled ? g_styleBrushes.Text : g_styleBrushes.Shadow;
    RECT client;
    GetClientRect(window, &client);
    if (full) {
        FrameRect(dc, &client, frame);
        const RECT textArea = {21, 1, client.right - 1, client.bottom - 1};
        FrameRect(dc, &textArea, enabled ? g_styleBrushes.Field : g_styleBrushes.Face);
    }
    RECT swatch = {0, 0, 22, client.bottom};
    FrameRect(dc, &swatch, frame);
    InflateRect(&swatch, -1, -1);
    FillWith(dc, swatch, static_cast<COLORREF>(state.extra));
    const RECT inside = {22, 2, client.right - 2, client.bottom - 2};
    const ButtonColors colors = ColorsOf(state.bits, enabled, true);
    FillWith(dc, inside, colors.background);
    WCHAR text[kPushTextUnits + 1];
    const int length = ButtonText(window, text, kPushTextUnits + 1);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.normalFont);
    SetTextColor(dc, colors.text);
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutW(dc, 25, 2, ETO_CLIPPED, &inside, text, static_cast<UINT>(length), nullptr);
    SelectObject(dc, oldFont);
    if (ShowsFocus(state.bits)) {
        RECT focus = inside;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
}

void PaintChoice(HWND window, HDC dc, const ButtonState& state, bool full,
                 void (*glyph)(HDC, int, bool)) {
    const bool enabled = IsWindowEnabled(window) != FALSE;
    RECT client;
    GetClientRect(window, &client);
    if (full) FillRect(dc, &client, g_styleBrushes.Face);
    if (state.bits & BUTTON_PRESSED)
        glyph(dc, 2, true);
    else
        glyph(dc, (state.bits & BUTTON_CHECKED) ? 1 : 0, enabled);
    const bool hot = enabled && (state.bits & BUTTON_HOT);
    const RECT textArea = {17, 0, client.right, client.bottom};
    FillWith(dc, textArea, hot ? g_styleColors.Highlight : g_styleColors.Face);
    WCHAR text[kChoiceTextUnits + 1];
    const int length = ButtonText(window, text, kChoiceTextUnits + 1);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.smallFont);
    SetTextColor(dc, !enabled ? g_styleColors.Shadow
                     : hot    ? g_styleColors.HotText
                              : g_styleColors.Text);
    SetBkMode(dc, TRANSPARENT);
    ExtTextOutW(dc, 19, 0, ETO_CLIPPED, &textArea, text, static_cast<UINT>(length), nullptr);
    SelectObject(dc, oldFont);
    if (ShowsFocus(state.bits)) {
        SIZE size = {};
        GetTextExtentPoint32W(dc, text, length, &size);
        RECT focus = {17, 0, std::min<LONG>(client.right, 21 + size.cx), client.bottom};
        DrawFocusRect(dc, &focus);
    }
}

void PaintRadioButton(HWND window, HDC dc, const ButtonState& state, bool full) {
    PaintChoice(window, dc, state, full, DrawRadioGlyph);
}

void PaintCheckBox(HWND window, HDC dc, const ButtonState& state, bool full) {
    PaintChoice(window, dc, state, full, DrawCheckGlyph);
}

void Repaint(HWND window, bool erase) {
    InvalidateRect(window, nullptr, erase);
}

// Sets or clears bits; repaints when they changed.
void SetBits(ButtonState& state, HWND window, uint32_t bits, bool on) {
    const uint32_t before = state.bits;
    state.bits = on ? state.bits | bits : state.bits & ~bits;
    if (state.bits != before) Repaint(window, false);
}

void Click(ButtonState& state, HWND window) {
    if (!(state.bits & BUTTON_PRESSED)) return;
    state.bits &= ~BUTTON_PRESSED;
    LPARAM reported = 0;
    if (state.bits & BUTTON_TOGGLES) {
        state.bits ^= BUTTON_CHECKED;
        reported = (state.bits & BUTTON_CHECKED) ? 1 : 0;
    }
    Repaint(window, false);
    NotifyParent(window, state.id, ControlChanged, reported);
}

void OnMouseMove(ButtonState& state, HWND window, int x, int y, WPARAM keys) {
    if (!(state.bits & BUTTON_HOT)) {
        state.bits |= BUTTON_HOT;
        TrackMouseLeave(window);
        Repaint(window, false);
        return;
    }
    if (!(keys & MK_LBUTTON) || !(state.bits & BUTTON_CAPTURED)) return;
    RECT client;
    GetClientRect(window, &client);
    const bool inside = x >= 0 && x <= client.right && y >= 0 && y <= client.bottom;
    SetBits(state, window, BUTTON_PRESSED, inside);
}

void OnLeftDown(ButtonState& state, HWND window) {
    SetFocus(window);
    state.bits |= BUTTON_PRESSED | BUTTON_CAPTURED;
    SetCapture(window);
    Repaint(window, false);
}

void OnLeftUp(ButtonState& state, HWND window) {
    if (!(state.bits & BUTTON_CAPTURED)) return;
    state.bits &= ~BUTTON_CAPTURED;
    ReleaseCapture();
    Click(state, window);
}

void OnKeyDown(ButtonState& state, HWND window, WPARAM key, LPARAM lParam) {
    g_styleColors.ShowFocusCues = 1;
    if (key == VK_SPACE && !(state.bits & BUTTON_CAPTURED)) {
        state.bits |= BUTTON_PRESSED;
        Repaint(window, false);
        return;
    }
    SendMessageW(GetParent(window), WM_KEYDOWN, key, lParam);
}

void OnKeyUp(ButtonState& state, HWND window, WPARAM key) {
    if (key == VK_SPACE && !(state.bits & BUTTON_CAPTURED)) Click(state, window);
}

void OnPaint(ButtonState& state, HWND window) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    state.paint(window, dc, state, true);
    EndPaint(window, &ps);
}

LRESULT ButtonMessage(ButtonState& state, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEMOVE:
            OnMouseMove(state, window, static_cast<short>(LOWORD(lParam)),
                        static_cast<short>(HIWORD(lParam)), wParam);
            return 0;
        case WM_LBUTTONDOWN:
            OnLeftDown(state, window);
            return 0;
        case WM_LBUTTONUP:
            OnLeftUp(state, window);
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(state, window, wParam, lParam);
            return 0;
        case WM_KEYUP:
            OnKeyUp(state, window, wParam);
            return 0;
        case WM_MOUSELEAVE:
            SetBits(state, window, BUTTON_HOT, false);
            return 0;
        case WM_SETFOCUS:
            SetBits(state, window, BUTTON_FOCUSED, true);
            return 0;
        case WM_KILLFOCUS:
            SetBits(state, window, BUTTON_FOCUSED, false);
            return 0;
        case WM_ENABLE:
            Repaint(window, true);
            return 0;
        case WM_PAINT:
            OnPaint(state, window);
            return 0;
        case WM_ERASEBKGND:
            state.paint(window, reinterpret_cast<HDC>(wParam), state, true);
            return 1;
        case WM_GETDLGCODE:
            return DLGC_BUTTON;
        case WM_NCDESTROY:
            DeleteControlState<ButtonState>(window);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

ButtonState* ButtonOf(HWND button) {
    return ControlStateOf<ButtonState>(button);
}

} // namespace

HWND CreateOwnerButton(HWND parent, int id, const WCHAR* text, int x, int y, int width, int height,
                       uint32_t bits, uint32_t extra, ButtonPaint paint) {
    const ButtonState initial = {bits, static_cast<WORD>(id), paint, extra};
    return CreateControl(parent, id, text, WS_TABSTOP, x, y, width, height, initial,
                         WindowProcOf<ButtonState, ButtonMessage>);
}

HWND CreatePushButton(HWND parent, int id, const WCHAR* text, int x, int y, int width) {
    return CreateOwnerButton(parent, id, text, x, y, width, 20, 0, 0, PaintPushButton);
}

HWND CreateSmallButton(HWND parent, int id, const WCHAR* text, int x, int y, int width) {
    return CreateOwnerButton(parent, id, text, x, y, width, 18, 0, 1, PaintPushButton);
}

HWND CreateSquareButton(HWND parent, int id, int x, int y, bool checked) {
    return CreateOwnerButton(parent, id, L"", x, y, 15, 15, checked ? int{BUTTON_CHECKED} : 0, 0,
                             PaintPushButton);
}

HWND CreateColorButton(HWND parent, int id, const WCHAR* text, int x, int y, int width,
                       COLORREF color) {
    return CreateOwnerButton(parent, id, text, x, y, width, 20, 0, color, PaintColorButton);
}

HWND CreateRadioButton(HWND parent, int id, const WCHAR* text, int x, int y, int width,
                       bool checked) {
    return CreateOwnerButton(parent, id, text, x, y, width, 16, checked ? int{BUTTON_CHECKED} : 0, 0,
                             PaintRadioButton);
}

HWND CreateCheckBox(HWND parent, int id, const WCHAR* text, int x, int y, int width, bool checked) {
    return CreateOwnerButton(parent, id, text, x, y, width, 16,
                             BUTTON_TOGGLES | (checked ? int{BUTTON_CHECKED} : 0), 0, PaintCheckBox);
}

int ChoiceWidth(HWND parent, const WCHAR* text) {
    SIZE size = {};
    if (const HDC dc = GetDC(parent)) {
        const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.smallFont);
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        SelectObject(dc, oldFont);
        ReleaseDC(parent, dc);
    }
    // The text starts at 19, the focus frame ends 2 past it.
    return 21 + static_cast<int>(size.cx);
}

bool IsButtonChecked(HWND button) {
    const ButtonState* state = ButtonOf(button);
    return state && (state->bits & BUTTON_CHECKED);
}

void SetButtonChecked(HWND button, bool on) {
    if (ButtonState* state = ButtonOf(button)) SetBits(*state, button, BUTTON_CHECKED, on);
}

void SetButtonBold(HWND button, bool on) {
    if (ButtonState* state = ButtonOf(button)) SetBits(*state, button, BUTTON_BOLD, on);
}

void SetColorButtonColor(HWND button, COLORREF color) {
    if (ButtonState* state = ButtonOf(button)) {
        state->extra = color;
        Repaint(button, false);
    }
}

int GetCheckedRadio(HWND parent, int firstId, int lastId) {
    for (int id = firstId; id <= lastId; ++id)
        if (IsButtonChecked(GetDlgItem(parent, id))) return id - firstId;
    return 0;
}

bool SelectRadio(HWND parent, int firstId, int lastId, int chosenId) {
    for (int id = firstId; id <= lastId; ++id)
        if (id != chosenId) SetButtonChecked(GetDlgItem(parent, id), false);
    const HWND chosen = GetDlgItem(parent, chosenId);
    if (!chosen || IsButtonChecked(chosen)) return false;
    SetButtonChecked(chosen, true);
    return true;
}
