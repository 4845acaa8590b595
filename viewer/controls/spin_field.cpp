#include "viewer/controls/spin_field.h"

#include <cstdio>
#include <cstdlib>

#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/logic/control_values.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_state.h"

namespace {

enum SpinBit : uint16_t {
    SPIN_UP_PRESSED = 1,
    SPIN_DOWN_PRESSED = 2,
    SPIN_PRESSED = 3,
    SPIN_UPPER_HOT = 4,
    SPIN_LOWER_HOT = 8,
    SPIN_HOT = 12,
    SPIN_CAPTURED = 0x20,
};

constexpr int kArrowZone = 20;
constexpr int kEditIdOffset = 10;
constexpr int kFirstRepeatMs = 310;
constexpr int kTextUnits = 14;
constexpr UINT_PTR kSpinRepeatTimer = 777; // an arrow repeats

struct SpinFieldState {
    int32_t value = 0;
    int32_t maximum = 0;
    int32_t minimum = 0;
    int32_t defaultValue = 0;
    int32_t width = 0;
    int32_t id = 0;
    HWND edit = nullptr;
    uint16_t bits = 0;
    uint16_t interval = 0; // ms of the running repeat timer, 0 while none runs
};

// The "Edit" class's own procedure, saved once for all spin edits: one per
// process, as the class is.
WNDPROC g_editProc = nullptr;

void ShowSpinValue(const SpinFieldState& state) {
    WCHAR text[16];
    wsprintfW(text, L"%d", state.value);
    SetWindowTextW(state.edit, text);
}

// Clamps v into the range and stores it: 1 rose, 2 fell, 0 unchanged.
int ClampSpinValue(SpinFieldState& state, int64_t v) {
    const int32_t before = state.value;
    state.value = ClampToRange(v, state.minimum, state.maximum);
    return SpinStepResult(before, state.value);
}

void RepaintArrows(HWND field, const SpinFieldState& state) {
    const RECT zone = {state.width - kArrowZone, 0, state.width, kArrowZone};
    InvalidateRect(field, &zone, FALSE);
}

void StopRepeat(SpinFieldState& state, HWND field) {
    if (state.interval == 0) return;
    KillTimer(field, kSpinRepeatTimer);
    state.interval = 0;
}

void StartRepeat(SpinFieldState& state, HWND field, int interval) {
    if (state.interval == interval) return;
    state.interval = static_cast<uint16_t>(interval);
    SetTimer(field, kSpinRepeatTimer, static_cast<UINT>(interval), nullptr);
}

void SetBits(SpinFieldState& state, HWND field, uint16_t bits) {
    if (state.bits == bits) return;
    state.bits = bits;
    RepaintArrows(field, state);
}

void PaintBox(HDC dc, const RECT& box, COLORREF fill) {
    SetBkColor(dc, fill);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &box, nullptr, 0, nullptr);
}

COLORREF BoxColor(uint16_t bits, uint16_t pressed, uint16_t hot) {
    if (bits & pressed) return g_styleColors.Shadow;
    if (bits & hot) return g_styleColors.Highlight;
    return g_styleColors.Face;
}

void DrawTriangle(HDC dc, int left, int baseRow, int apexRow, COLORREF color) {
    const POINT points[3] = {{left + 3, baseRow}, {left + 11, baseRow}, {left + 7, apexRow}};
    const HPEN pen = CreatePen(PS_SOLID, 1, color);
    const HBRUSH brush = CreateSolidBrush(color);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    const HGDIOBJ oldBrush = SelectObject(dc, brush);
    Polygon(dc, points, 3);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

void PaintSpinArrows(const SpinFieldState& state, HWND field, HDC dc) {
    const bool enabled = IsWindowEnabled(field) != FALSE;
    const HBRUSH frame = enabled ? g_styleBrushes.Text : g_styleBrushes.Shadow;
    RECT client;
    GetClientRect(field, &client);
    FrameRect(dc, &client, frame);
    const int zoneLeft = state.width - kArrowZone;
    RECT zone = {zoneLeft, 0, state.width, client.bottom};
    FrameRect(dc, &zone, frame);
    InflateRect(&zone, -1, -1);
    FillRect(dc, &zone, enabled ? g_styleBrushes.Field : g_styleBrushes.Face);
    const int boxLeft = zoneLeft + 2;
    const RECT upper = {boxLeft, 2, state.width - 2, 9};
    const RECT lower = {boxLeft, 11, state.width - 2, 18};
    PaintBox(dc, upper, BoxColor(state.bits, SPIN_UP_PRESSED, SPIN_UPPER_HOT));
    PaintBox(dc, lower, BoxColor(state.bits, SPIN_DOWN_PRESSED, SPIN_LOWER_HOT));
    const COLORREF ink = enabled ? g_styleColors.Text : g_styleColors.Shadow;
    DrawTriangle(dc, boxLeft, 7, 3, ink);
    DrawTriangle(dc, boxLeft, 12, 16, ink);
}

void OnPaint(const SpinFieldState& state, HWND field) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(field, &ps);
    PaintSpinArrows(state, field, dc);
    EndPaint(field, &ps);
}

void OnLeftDown(SpinFieldState& state, HWND field, int x, int y) {
    SetFocus(state.edit);
    if (x <= state.width - kArrowZone) return;
    const int result = ClampSpinValue(state, int64_t{state.value} + (y < 10 ? 1 : -1));
    if (result == 0) return;
    state.bits = static_cast<uint16_t>((state.bits & SPIN_HOT) | result | SPIN_CAPTURED);
    RepaintArrows(field, state);
    ShowSpinValue(state);
    StartRepeat(state, field, kFirstRepeatMs);
    SetCapture(field);
}

void OnTimer(SpinFieldState& state, WPARAM timer) {
    if (timer != kSpinRepeatTimer || !(state.bits & SPIN_CAPTURED)) return;
    const int step = (state.bits & SPIN_UP_PRESSED) ? 1 : (state.bits & SPIN_DOWN_PRESSED) ? -1 : 0;
    if (step != 0 && ClampSpinValue(state, int64_t{state.value} + step) != 0) ShowSpinValue(state);
}

void OnMouseMove(SpinFieldState& state, HWND field, int x, int y) {
    const bool captured = (state.bits & SPIN_CAPTURED) != 0;
    if (x <= state.width - kArrowZone && !captured) return;
    const uint16_t hot = y < 10 ? SPIN_UPPER_HOT : SPIN_LOWER_HOT;
    uint16_t bits = static_cast<uint16_t>((state.bits & ~SPIN_HOT) | hot);
    if (captured) {
        SetCursor(LoadCursorA(nullptr, IDC_SIZENS));
        bits = static_cast<uint16_t>((bits & ~SPIN_PRESSED) | (hot >> 2));
        StartRepeat(state, field, SpinRepeatInterval(y));
    }
    if (bits == state.bits) return;
    SetBits(state, field, bits);
    TrackMouseLeave(field);
}

void OnLeftUp(SpinFieldState& state, HWND field) {
    if (!(state.bits & SPIN_CAPTURED)) return;
    StopRepeat(state, field);
    SetBits(state, field, state.bits & SPIN_HOT);
    ReleaseCapture();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void OnMouseLeave(SpinFieldState& state, HWND field) {
    if (!(state.bits & SPIN_HOT)) return;
    SetBits(state, field, (state.bits & SPIN_CAPTURED) ? 0 : state.bits & SPIN_PRESSED);
    StopRepeat(state, field);
}

// A value chosen by a key or the middle button: shown pressed until the key
// comes up.
void TakeKeyValue(SpinFieldState& state, HWND field, int64_t value) {
    const int result = ClampSpinValue(state, value);
    if (result == 0) return;
    SetBits(state, field, static_cast<uint16_t>((state.bits & ~SPIN_PRESSED) | result));
    ShowSpinValue(state);
}

bool OnKeyDown(SpinFieldState& state, HWND field, WPARAM key) {
    if (state.bits & SPIN_CAPTURED) return true;
    switch (key) {
        case VK_SPACE:
            TakeKeyValue(state, field, state.defaultValue);
            return true;
        case VK_PRIOR:
            TakeKeyValue(state, field, state.maximum);
            return true;
        case VK_NEXT:
            TakeKeyValue(state, field, state.minimum);
            return true;
        case VK_UP:
            TakeKeyValue(state, field, int64_t{state.value} + 1);
            return true;
        case VK_DOWN:
            TakeKeyValue(state, field, int64_t{state.value} - 1);
            return true;
        case VK_TAB:
            g_styleColors.ShowFocusCues = 1;
            return false;
        default:
            return false;
    }
}

void OnKeyUp(SpinFieldState& state, HWND field) {
    if (!(state.bits & SPIN_CAPTURED)) SetBits(state, field, state.bits & ~SPIN_PRESSED);
}

void OnMiddleDown(SpinFieldState& state, HWND field) {
    if (!(state.bits & SPIN_CAPTURED)) TakeKeyValue(state, field, state.defaultValue);
}

void OnWheel(SpinFieldState& state, WPARAM wParam) {
    if (state.bits & SPIN_PRESSED) return;
    const WORD keys = GET_KEYSTATE_WPARAM(wParam);
    const int step =
        WheelStep(GET_WHEEL_DELTA_WPARAM(wParam), (keys & MK_SHIFT) != 0, (keys & MK_CONTROL) != 0);
    if (ClampSpinValue(state, int64_t{state.value} + step) != 0) ShowSpinValue(state);
}

int64_t ParseEditText(HWND edit, bool* empty) {
    WCHAR wide[kTextUnits + 1];
    const int length = GetWindowTextW(edit, wide, kTextUnits + 1);
    char text[kTextUnits + 1];
    for (int i = 0; i <= length; ++i)
        text[i] = wide[i] < 128 ? static_cast<char>(wide[i]) : '?';
    *empty = length == 0;
    return ParseLeadingNumber(std::string_view(text, static_cast<size_t>(length)));
}

// The edit's text changed: take the number, clamped, and tell the parent.
void OnEditChange(SpinFieldState& state, HWND field) {
    bool empty = false;
    const int64_t number = ParseEditText(state.edit, &empty);
    if (empty) {
        SetWindowTextW(state.edit, L"0"); // notifies again, with the 0
        return;
    }
    if (number != state.value) {
        ClampSpinValue(state, number);
        if (number < state.minimum || number > state.maximum) ShowSpinValue(state);
    }
    NotifyParent(field, state.id, EN_CHANGE, reinterpret_cast<LPARAM>(state.edit));
}

LRESULT OnSetText(SpinFieldState& state, LPARAM lParam) {
    const auto* wide = reinterpret_cast<const WCHAR*>(lParam);
    char text[kTextUnits + 1] = {};
    int length = 0;
    for (; wide && wide[length] && length < kTextUnits; ++length)
        text[length] = wide[length] < 128 ? static_cast<char>(wide[length]) : '?';
    state.value =
        ClampToRange(ParseLeadingNumber(std::string_view(text, length)), INT32_MIN, INT32_MAX);
    return SendMessageW(state.edit, WM_SETTEXT, 0, lParam);
}

void OnKillFocus(SpinFieldState& state, HWND field) {
    StopRepeat(state, field);
    SetBits(state, field, 0);
    if (GetCapture() == field) ReleaseCapture();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

LRESULT SpinFieldMessage(SpinFieldState& state, HWND field, UINT message, WPARAM wParam,
                         LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint(state, field);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONDOWN:
            OnLeftDown(state, field, static_cast<short>(LOWORD(lParam)),
                       static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_LBUTTONUP:
            OnLeftUp(state, field);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(state, field, static_cast<short>(LOWORD(lParam)),
                        static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave(state, field);
            return 0;
        case WM_TIMER:
            OnTimer(state, wParam);
            return 0;
        case WM_KEYDOWN:
            return OnKeyDown(state, field, wParam) ? 0
                                                   : DefWindowProcW(field, message, wParam, lParam);
        case WM_KEYUP:
        case WM_MBUTTONUP:
            OnKeyUp(state, field);
            return 0;
        case WM_MBUTTONDOWN:
            OnMiddleDown(state, field);
            return 0;
        case WM_MOUSEWHEEL:
            OnWheel(state, wParam);
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE) OnEditChange(state, field);
            return 0;
        case WM_SETTEXT:
            return OnSetText(state, lParam);
        case WM_GETTEXT:
            return SendMessageW(state.edit, WM_GETTEXT, wParam, lParam);
        case WM_GETTEXTLENGTH:
            return SendMessageW(state.edit, WM_GETTEXTLENGTH, 0, 0);
        case WM_SETFOCUS:
            SetFocus(state.edit);
            return 0;
        case WM_KILLFOCUS:
            OnKillFocus(state, field);
            return 0;
        case WM_ENABLE:
            EnableWindow(state.edit, static_cast<BOOL>(wParam));
            InvalidateRect(field, nullptr, TRUE);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(
                OnControlColor(reinterpret_cast<HDC>(wParam), message == WM_CTLCOLOREDIT));
        case WM_NCDESTROY:
            StopRepeat(state, field);
            DeleteControlState<SpinFieldState>(field);
            return 0;
        default:
            return DefWindowProcW(field, message, wParam, lParam);
    }
}

bool IsContainerKey(WPARAM key) {
    return key == VK_SPACE || key == VK_PRIOR || key == VK_NEXT || key == VK_UP || key == VK_DOWN;
}

// The edit hands the field's keys and the middle button to the field, and
// swallows the Space character and the right button (no context menu).
LRESULT CALLBACK SpinEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(g_interfaceFonts.normalFont),
                         FALSE);
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (IsContainerKey(wParam))
                return SendMessageW(GetParent(edit), message, wParam, lParam);
            break;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            return SendMessageW(GetParent(edit), message, wParam, lParam);
        case WM_CHAR:
            if (wParam == L' ') return 0;
            break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            return 0;
        default:
            break;
    }
    return CallWindowProcW(g_editProc, edit, message, wParam, lParam);
}

SpinFieldState* SpinOf(HWND field) {
    return ControlStateOf<SpinFieldState>(field);
}

} // namespace

HWND CreateSpinField(HWND parent, int id, int x, int y, int width, int32_t minimum, int32_t maximum,
                     int32_t value) {
    SpinFieldState initial;
    initial.value = initial.defaultValue = value;
    initial.minimum = minimum;
    initial.maximum = maximum;
    initial.width = width;
    initial.id = static_cast<WORD>(id);
    const HWND field = CreateControl(parent, id, L"", WS_CLIPCHILDREN | WS_TABSTOP, x, y, width, 20,
                                     initial, WindowProcOf<SpinFieldState, SpinFieldMessage>);
    if (!field) return nullptr;
    SpinFieldState& state = *SpinOf(field);
    WCHAR text[16];
    wsprintfW(text, L"%d", value);
    const DWORD align = SpinDigitsCentred(minimum, maximum) ? ES_CENTER : ES_RIGHT;
    // Made with its text, so that creating it notifies nobody.
    state.edit = CreateWindowExW(
        0, L"Edit", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL | align,
        1, 1, width - kArrowZone, 18, field,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<WORD>(id + kEditIdOffset))),
        GetModuleHandleW(nullptr), nullptr);
    if (!state.edit) {
        DestroyWindow(field);
        return nullptr;
    }
    SendMessageW(state.edit, WM_SETFONT, reinterpret_cast<WPARAM>(g_interfaceFonts.normalFont),
                 FALSE);
    SendMessageW(state.edit, EM_LIMITTEXT, 6, 0);
    const auto original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(state.edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpinEditProc)));
    if (!g_editProc) g_editProc = original;
    return field;
}

int32_t GetSpinValue(HWND field) {
    const SpinFieldState* state = SpinOf(field);
    return state ? state->value : 0;
}

int32_t SetSpinValue(HWND field, int32_t value) {
    SpinFieldState* state = SpinOf(field);
    if (!state) return 0;
    state->value = value;
    ShowSpinValue(*state);
    return state->value;
}

int32_t SetSpinMaximum(HWND field, int32_t maximum) {
    SpinFieldState* state = SpinOf(field);
    if (!state) return 0;
    state->maximum = maximum;
    if (state->value > maximum) {
        state->value = maximum;
        ShowSpinValue(*state);
    }
    return state->value;
}

void SetSpinDefault(HWND field, int32_t value) {
    if (SpinFieldState* state = SpinOf(field))
        state->defaultValue = ClampToRange(value, state->minimum, state->maximum);
}
