// How a window of the viewer reaches its own state object: the creator passes
// the object as the creation parameter (CreateWindowExW's lpParam,
// DialogBoxParamW's dwInitParam), the procedure stores it in the window at
// WM_NCCREATE (WM_INITDIALOG for dialogs) and finds it there afterwards. The
// object outlives the window; the window never owns it.
//
//   LRESULT ListWindowMessage(ListWindowState& state, HWND window, UINT message,
//                             WPARAM wParam, LPARAM lParam);
//   wc.lpfnWndProc = WindowProcOf<ListWindowState, ListWindowMessage>;
//   CreateWindowExW(..., &state);
#pragma once

#include <windows.h>

template <class State>
State* WindowStateOf(HWND window) {
    return reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Messages that a window gets before WM_NCCREATE (WM_GETMINMAXINFO) find no
// state yet: they go to Early, by default the default procedure.
inline LRESULT DefaultWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// The procedure of a window class whose windows carry a State.
template <class State, LRESULT (*Handle)(State&, HWND, UINT, WPARAM, LPARAM),
          LRESULT (*Early)(HWND, UINT, WPARAM, LPARAM) = DefaultWindowMessage>
LRESULT CALLBACK WindowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    State* state = WindowStateOf<State>(window);
    if (!state) return Early(window, message, wParam, lParam);
    return Handle(*state, window, message, wParam, lParam);
}

// The same for a dialog run with DialogBoxParamW or CreateDialogParamW:
// messages before WM_INITDIALOG (WM_SETFONT) answer FALSE.
template <class State, INT_PTR (*Handle)(State&, HWND, UINT, WPARAM, LPARAM)>
INT_PTR CALLBACK DialogProcOf(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto* state = reinterpret_cast<State*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!state) return FALSE;
    return Handle(*state, dialog, message, wParam, lParam);
}
