#include "viewer/controls/slider.h"

#include "viewer/controls/control_base.h"
#include "viewer/logic/control_values.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_state.h"

namespace {

enum SliderBit : uint32_t {
    SLIDER_HOT = 4,
    SLIDER_PRESSED = 8,
    SLIDER_FOCUSED = 0x10,
    SLIDER_CAPTURED = 0x20,
};

constexpr int kThickness = 15;

struct SliderState {
    int32_t value = 0;
    int32_t defaultValue = 0;
    int32_t thumb = 0;
    int32_t id = 0;
    SliderGeometry geometry = {};
    uint32_t bits = 0;
    HWND previousFocus = nullptr; // had the focus before the mouse came
};

// Stores v, clamped: 0 unchanged, 3 the thumb pixel moved, 1 it did not.
int SetSliderPosition(SliderState& state, int64_t v) {
    const int32_t value = ClampToRange(v, state.geometry.minimum, state.geometry.maximum);
    if (value == state.value) return 0;
    state.value = value;
    const int32_t thumb = state.geometry.ThumbOf(value);
    const bool moved = thumb != state.thumb;
    state.thumb = thumb;
    return moved ? 3 : 1;
}

int SetSliderFromPoint(SliderState& state, int x, int y) {
    return SetSliderPosition(state, state.geometry.ValueAt(state.geometry.vertical ? y : x));
}

void NotifySliderChange(const SliderState& state, HWND slider, int result, bool forceRepaint) {
    if (result != 0) {
        if (result == 3 || forceRepaint) InvalidateRect(slider, nullptr, FALSE);
        NotifyParent(slider, state.id, ControlChanged, state.value);
    } else if (forceRepaint) {
        InvalidateRect(slider, nullptr, FALSE);
    }
}

struct ThumbLook {
    COLORREF pen;
    COLORREF fill;
    HBRUSH outer;
    HBRUSH inner;
};

ThumbLook LookOf(uint32_t bits, bool enabled) {
    if (!enabled)
        return {g_styleColors.Shadow, g_styleColors.Face, g_styleBrushes.Shadow,
                g_styleBrushes.Face};
    if (bits & SLIDER_PRESSED)
        return {g_styleColors.HotText, g_styleColors.Shadow, g_styleBrushes.Text,
                g_styleBrushes.Field};
    if (bits & SLIDER_HOT)
        return {g_styleColors.HotText, g_styleColors.Highlight, g_styleBrushes.Text,
                g_styleBrushes.Field};
    return {g_styleColors.Text, g_styleColors.Face, g_styleBrushes.Text, g_styleBrushes.Field};
}

void PaintSlider(const SliderState& state, HWND slider, HDC dc) {
    const bool enabled = IsWindowEnabled(slider) != FALSE;
    const bool vertical = state.geometry.vertical;
    RECT client;
    GetClientRect(slider, &client);
    FrameRect(dc, &client, enabled ? g_styleBrushes.Text : g_styleBrushes.Shadow);
    RECT inside = client;
    InflateRect(&inside, -1, -1);

    const ThumbLook look = LookOf(state.bits, enabled);
    RECT thumb = vertical ? RECT{inside.left, state.thumb - 4, inside.right, state.thumb + 5}
                          : RECT{state.thumb - 4, inside.top, state.thumb + 5, inside.bottom};
    FrameRect(dc, &thumb, look.outer);
    RECT ring = thumb;
    InflateRect(&ring, -1, -1);
    FrameRect(dc, &ring, look.inner);
    RECT fill = ring;
    InflateRect(&fill, -1, -1);
    SetBkColor(dc, look.fill);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &fill, nullptr, 0, nullptr);
    if (enabled && (state.bits & SLIDER_FOCUSED) && g_styleColors.ShowFocusCues)
        DrawFocusRect(dc, &fill);
    const HPEN pen = CreatePen(PS_SOLID, 1, look.pen);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    if (vertical) {
        MoveToEx(dc, fill.left + 1, state.thumb, nullptr);
        LineTo(dc, fill.right - 1, state.thumb);
    } else {
        MoveToEx(dc, state.thumb, fill.top + 1, nullptr);
        LineTo(dc, state.thumb, fill.bottom - 1);
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);

    const int saved = SaveDC(dc);
    ExcludeClipRect(dc, thumb.left, thumb.top, thumb.right, thumb.bottom);
    FillRect(dc, &inside, enabled ? g_styleBrushes.Field : g_styleBrushes.Face);
    RestoreDC(dc, saved);
}

void OnPaint(const SliderState& state, HWND slider) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(slider, &ps);
    PaintSlider(state, slider, dc);
    EndPaint(slider, &ps);
}

bool ParentIsForeground(HWND slider) {
    return GetAncestor(slider, GA_ROOT) == GetForegroundWindow();
}

void SetCursorOf(const SliderState& state) {
    SetCursor(LoadCursorA(nullptr, state.geometry.vertical ? IDC_SIZENS : IDC_SIZEWE));
}

void OnMouseMove(SliderState& state, HWND slider, int x, int y) {
    if (!ParentIsForeground(slider)) return;
    if (!(state.bits & SLIDER_HOT)) {
        state.bits |= SLIDER_HOT;
        TrackMouseLeave(slider);
        if (!(state.bits & SLIDER_CAPTURED)) InvalidateRect(slider, nullptr, FALSE);
        // The wheel acts on the slider under the mouse.
        state.previousFocus = GetFocus();
        SetFocus(slider);
    }
    if (state.bits & SLIDER_CAPTURED)
        NotifySliderChange(state, slider, SetSliderFromPoint(state, x, y), false);
}

void OnMouseLeave(SliderState& state, HWND slider) {
    if (!ParentIsForeground(slider)) return;
    state.bits &= SLIDER_FOCUSED;
    InvalidateRect(slider, nullptr, FALSE);
    if (state.previousFocus && state.previousFocus != slider && IsWindow(state.previousFocus))
        SetFocus(state.previousFocus);
}

void OnLeftDown(SliderState& state, HWND slider, int x, int y) {
    SetFocus(slider);
    if (!(state.bits & SLIDER_HOT)) TrackMouseLeave(slider);
    state.bits |= SLIDER_HOT | SLIDER_PRESSED | SLIDER_CAPTURED;
    SetCursorOf(state);
    SetCapture(slider);
    state.previousFocus = slider;
    NotifySliderChange(state, slider, SetSliderFromPoint(state, x, y), true);
}

void OnLeftUp(SliderState& state, HWND slider) {
    if (!(state.bits & SLIDER_CAPTURED)) return;
    state.bits &= ~(SLIDER_CAPTURED | SLIDER_PRESSED);
    ReleaseCapture();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    InvalidateRect(slider, nullptr, FALSE);
}

// A value from a key, the middle button or the wheel; true when it changed.
bool TakeValue(SliderState& state, HWND slider, int64_t value, bool showPressed) {
    const int result = SetSliderPosition(state, value);
    if (result == 0) return false;
    if (showPressed) state.bits |= SLIDER_PRESSED;
    NotifySliderChange(state, slider, result, true);
    state.previousFocus = slider;
    return true;
}

LRESULT OnKeyDown(SliderState& state, HWND slider, WPARAM key, LPARAM lParam) {
    if (key == VK_TAB) g_styleColors.ShowFocusCues = 1;
    int32_t value = 0;
    if (!(state.bits & SLIDER_CAPTURED) &&
        SliderKeyValue(static_cast<unsigned>(key), state.value, state.geometry.minimum,
                       state.geometry.maximum, state.defaultValue, &value) &&
        TakeValue(state, slider, value, true))
        return 0;
    return DefWindowProcW(slider, WM_KEYDOWN, key, lParam);
}

void OnKeyUp(SliderState& state, HWND slider) {
    if (state.bits & SLIDER_CAPTURED || !(state.bits & SLIDER_PRESSED)) return;
    state.bits &= ~SLIDER_PRESSED;
    InvalidateRect(slider, nullptr, FALSE);
}

void OnMiddleDown(SliderState& state, HWND slider) {
    if (!(state.bits & SLIDER_PRESSED)) TakeValue(state, slider, state.defaultValue, false);
    state.previousFocus = slider;
}

void OnWheel(SliderState& state, HWND slider, WPARAM wParam) {
    if (state.bits & SLIDER_PRESSED) return;
    const WORD keys = GET_KEYSTATE_WPARAM(wParam);
    const int step =
        WheelStep(GET_WHEEL_DELTA_WPARAM(wParam), (keys & MK_SHIFT) != 0, (keys & MK_CONTROL) != 0);
    TakeValue(state, slider, int64_t{state.value} + step, false);
}

void SetFocusBit(SliderState& state, HWND slider, bool on) {
    state.bits = on ? state.bits | SLIDER_FOCUSED : state.bits & ~SLIDER_FOCUSED;
    InvalidateRect(slider, nullptr, FALSE);
}

LRESULT SliderMessage(SliderState& state, HWND slider, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint(state, slider);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEMOVE:
            OnMouseMove(state, slider, static_cast<short>(LOWORD(lParam)),
                        static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave(state, slider);
            return 0;
        case WM_LBUTTONDOWN:
            OnLeftDown(state, slider, static_cast<short>(LOWORD(lParam)),
                       static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_LBUTTONUP:
            OnLeftUp(state, slider);
            return 0;
        case WM_KEYDOWN:
            return OnKeyDown(state, slider, wParam, lParam);
        case WM_KEYUP:
            OnKeyUp(state, slider);
            return 0;
        case WM_MBUTTONDOWN:
            OnMiddleDown(state, slider);
            return 0;
        case WM_MOUSEWHEEL:
            OnWheel(state, slider, wParam);
            return 0;
        case WM_SETFOCUS:
            SetFocusBit(state, slider, true);
            return 0;
        case WM_KILLFOCUS:
            SetFocusBit(state, slider, false);
            return 0;
        case WM_ENABLE:
            InvalidateRect(slider, nullptr, TRUE);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_NCDESTROY:
            DeleteControlState<SliderState>(slider);
            return 0;
        default:
            return DefWindowProcW(slider, message, wParam, lParam);
    }
}

SliderState* SliderOf(HWND slider) {
    return ControlStateOf<SliderState>(slider);
}

// Stores without notifying; repaints when the value changed.
int32_t StoreValue(HWND slider, int32_t value) {
    SliderState* state = SliderOf(slider);
    if (!state) return 0;
    if (SetSliderPosition(*state, value) != 0) InvalidateRect(slider, nullptr, FALSE);
    return state->value;
}

} // namespace

HWND CreateSlider(HWND parent, int id, int x, int y, int length, int32_t minimum, int32_t maximum,
                  int32_t value, bool vertical) {
    SliderState initial;
    initial.geometry = {minimum, maximum, length, vertical};
    initial.value = ClampToRange(value, minimum, maximum);
    initial.thumb = initial.geometry.ThumbOf(initial.value);
    initial.defaultValue = value;
    initial.id = static_cast<WORD>(id);
    return CreateControl(parent, id, L"", WS_TABSTOP, x, y, vertical ? kThickness : length,
                         vertical ? length : kThickness, initial,
                         WindowProcOf<SliderState, SliderMessage>);
}

int32_t GetSliderValue(HWND slider) {
    const SliderState* state = SliderOf(slider);
    return state ? state->value : 0;
}

int32_t SetSliderValue(HWND slider, int32_t value) {
    return StoreValue(slider, value);
}

int32_t ResetSlider(HWND slider) {
    const SliderState* state = SliderOf(slider);
    return state ? StoreValue(slider, state->defaultValue) : 0;
}

void SetSliderDefault(HWND slider, int32_t value) {
    if (SliderState* state = SliderOf(slider))
        state->defaultValue = ClampToRange(value, state->geometry.minimum, state->geometry.maximum);
}
