// The base of the custom controls: the "VxCtrl" window class, the notify
// codes with which every control reports to its parent, and the creation of
// a control window whose state block lives in the window's user data.
#pragma once

#include <windows.h>

#include <new>

// WM_COMMAND high words of the notify protocol.
enum ControlNotify : WORD {
    ControlChanged = 0x1704, // button clicked, slider value, point handle moved
    HandlePressed = 0x1705,  // point handle: left button down
    HandleReleased = 0x1706, // point handle: left button up after a press
    ListBoxInsert = 105,     // list box keys
    ListBoxDelete = 106,
    ListBoxCtrlDelete = 107,
    ListBoxSpace = 108,
    ListBoxCtrlActivate = 110, // Ctrl+Space, Ctrl+double-click
    ListBoxRightClick = 0x204,
};

inline constexpr int kPointHandleNotifyId = 111;

// Registers "VxCtrl" (custom controls) and "VxTool" (tool windows and the
// about box). False when either cannot be registered.
bool RegisterControlClasses(HINSTANCE instance);

// Creates a "VxCtrl" child with WS_CHILD | WS_VISIBLE | style, then hands it
// its state block (GWLP_USERDATA) and its procedure. The block is deleted at
// WM_NCDESTROY by DeleteControlState. Null, with no window, when either the
// block or the window cannot be made.
HWND CreateControlWindow(HWND parent, int id, const WCHAR* text, DWORD style, int x, int y,
                         int width, int height, void* state, WNDPROC procedure);

template <class State>
State* ControlStateOf(HWND window) {
    return window ? reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
}

// The one place a control's state block is freed: the procedure calls it on
// WM_NCDESTROY, after which the window gets no more messages.
template <class State>
void DeleteControlState(HWND window) {
    delete ControlStateOf<State>(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
}

// Makes a control of kind State: allocates the block (nullptr on failure),
// then the window; frees the block again when no window comes.
template <class State>
HWND CreateControl(HWND parent, int id, const WCHAR* text, DWORD style, int x, int y, int width,
                   int height, const State& initial, WNDPROC procedure) {
    State* state = new (std::nothrow) State(initial);
    if (!state) return nullptr;
    const HWND window =
        CreateControlWindow(parent, id, text, style, x, y, width, height, state, procedure);
    if (!window) delete state;
    return window;
}

// Sends WM_COMMAND(MAKELONG(id, code), lParam) to the control's parent.
void NotifyParent(HWND control, int id, WORD code, LPARAM lParam);
// Requests WM_MOUSELEAVE.
void TrackMouseLeave(HWND window);
// Full client area paint on an erase, else the part BeginPaint gives.
void PaintControl(HWND window, void (*paint)(HWND, HDC, bool));
