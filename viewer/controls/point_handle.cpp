#include "viewer/controls/point_handle.h"

#include <algorithm>
#include <cstdint>

#include "viewer/controls/control_base.h"
#include "viewer/platform/window_state.h"

namespace {

enum HandleBit : uint32_t { HANDLE_HOT = 1, HANDLE_FOCUSED = 4, HANDLE_CAPTURED = 8 };

struct PointHandleState {
    int x = 0;
    int y = 0;
    RECT bounds = {};
    uint32_t bits = 0;
    int id = 0;
};

void MoveTo(PointHandleState& state, HWND window, int x, int y) {
    state.x = x;
    state.y = y;
    MoveWindow(window, x - 3, y - 3, 7, 7, TRUE);
}

void SetBit(PointHandleState& state, HWND window, uint32_t bit, bool on) {
    state.bits = on ? state.bits | bit : state.bits & ~bit;
    InvalidateRect(window, nullptr, FALSE);
}

void OnPaint(const PointHandleState& state, HWND window) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client,
             static_cast<HBRUSH>(
                 GetStockObject((state.bits & HANDLE_HOT) ? WHITE_BRUSH : LTGRAY_BRUSH)));
    FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(window, &ps);
}

void OnMouseMove(PointHandleState& state, HWND window, int mouseX, int mouseY, WPARAM keys) {
    if (!(state.bits & HANDLE_HOT)) {
        SetBit(state, window, HANDLE_HOT, true);
        TrackMouseLeave(window);
    }
    if (!(keys & MK_LBUTTON) || !(state.bits & HANDLE_CAPTURED)) return;
    const int x = std::clamp<int>(state.x + mouseX - 3, state.bounds.left, state.bounds.right);
    const int y = std::clamp<int>(state.y + mouseY - 3, state.bounds.top, state.bounds.bottom);
    if (x != state.x || y != state.y) MoveTo(state, window, x, y);
}

void OnLeftDown(PointHandleState& state, HWND window) {
    SetFocus(window);
    state.bits |= HANDLE_CAPTURED;
    SetCapture(window);
    InvalidateRect(window, nullptr, FALSE);
    NotifyParent(window, kPointHandleNotifyId, HandlePressed, state.id);
}

void OnLeftUp(PointHandleState& state, HWND window) {
    if (!(state.bits & HANDLE_CAPTURED)) return;
    state.bits &= ~HANDLE_CAPTURED;
    ReleaseCapture();
    NotifyParent(window, kPointHandleNotifyId, HandleReleased, state.id);
}

LRESULT PointHandleMessage(PointHandleState& state, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint(state, window);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEMOVE:
            OnMouseMove(state, window, static_cast<short>(LOWORD(lParam)),
                        static_cast<short>(HIWORD(lParam)), wParam);
            return 0;
        case WM_MOVE:
            NotifyParent(window, kPointHandleNotifyId, ControlChanged, state.id);
            return 0;
        case WM_LBUTTONDOWN:
            OnLeftDown(state, window);
            return 0;
        case WM_LBUTTONUP:
            OnLeftUp(state, window);
            return 0;
        case WM_SETFOCUS:
            SetBit(state, window, HANDLE_FOCUSED, true);
            return 0;
        case WM_KILLFOCUS:
            SetBit(state, window, HANDLE_FOCUSED, false);
            return 0;
        case WM_MOUSELEAVE:
            SetBit(state, window, HANDLE_HOT, false);
            return 0;
        case WM_NCDESTROY:
            DeleteControlState<PointHandleState>(window);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

HWND CreatePointHandle(HWND parent, int id, int x, int y, const RECT& bounds) {
    const PointHandleState initial = {x, y, bounds, 0, id};
    return CreateControl(parent, id, L"", 0, x - 3, y - 3, 7, 7, initial,
                         WindowProcOf<PointHandleState, PointHandleMessage>);
}

void SetPointHandlePosition(HWND handle, int x, int y) {
    if (PointHandleState* state = ControlStateOf<PointHandleState>(handle))
        MoveTo(*state, handle, x, y);
}

POINT GetPointHandlePosition(HWND handle) {
    const PointHandleState* state = ControlStateOf<PointHandleState>(handle);
    return state ? POINT{state->x, state->y} : POINT{0, 0};
}
