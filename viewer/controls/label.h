// Labels of class "VxCtrl": one line of text in the interface style; the
// style number (kept in the user data) picks the font: 1 normal, 2 small
// bold, 3 bold, any other small.
#pragma once

#include <windows.h>

HWND CreateLabel(HWND parent, int id, const WCHAR* text, int x, int y, int width, int style);
// Sets the text and repaints at once.
void SetLabelText(HWND label, const WCHAR* text);
