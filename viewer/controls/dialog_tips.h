// The tips of the dialogs: balloon tooltips over rectangles of a dialog's
// window, shown after a pause and left up for five seconds. The caller
// decides whether tips are wanted ("Show dialog tips").
#pragma once

#include <windows.h>

// A top-most balloon tooltip window without owner; the caller destroys it.
HWND CreateToolTipWindow();
// Adds the tip for the rectangle (client coordinates) of window. False when
// the tooltip took no tool.
bool AddToolTip(HWND tooltip, HWND window, const RECT& rect, const char* text);
