// The main window (class "Vx"): its class, its creation with the state
// object, and the operations that start-up and other windows call on it.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

bool RegisterMainWindowClass(HINSTANCE instance);
// Creates the window at the remembered place and size; state becomes the
// window's state object (main_window_state.h) and must outlive it.
HWND CreateMainWindow(MainWindowState& state);

// Opens a path that came from outside (the command line of this or a second
// instance) after the guard: a folder yields its first supported file.
void OpenHandedOverPath(MainWindowState& state, const WCHAR* path);

// Tag of the WM_COPYDATA block with which a second instance hands over a
// path that is too long for a global atom (UTF-16, NUL-terminated).
inline constexpr ULONG_PTR kCopyDataOpenPath = 0x56584F50;

// The wheel zooms or browses (browseOnly: always browses).
void OnMouseWheel(MainWindowState& state, WPARAM wParam, bool browseOnly);
