#include "viewer/controls/control_base.h"

namespace {

bool RegisterClassWithStyle(HINSTANCE instance, const WCHAR* name, UINT extraStyle) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | extraStyle;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

} // namespace

bool RegisterControlClasses(HINSTANCE instance) {
    return RegisterClassWithStyle(instance, L"VxCtrl", CS_PARENTDC) &&
           RegisterClassWithStyle(instance, L"VxTool", 0);
}

HWND CreateControlWindow(HWND parent, int id, const WCHAR* text, DWORD style, int x, int y,
                         int width, int height, void* state, WNDPROC procedure) {
    const HWND window = CreateWindowExW(
        0, L"VxCtrl", text ? text : L"", WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(static_cast<WORD>(id))),
        GetModuleHandleW(nullptr), nullptr);
    if (!window) return nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
    return window;
}

void NotifyParent(HWND control, int id, WORD code, LPARAM lParam) {
    SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), code), lParam);
}

void TrackMouseLeave(HWND window) {
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = window;
    TrackMouseEvent(&track);
}

void PaintControl(HWND window, void (*paint)(HWND, HDC, bool)) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    paint(window, dc, ps.fErase != FALSE);
    EndPaint(window, &ps);
}
