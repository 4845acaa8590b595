// Point handles of class "VxCtrl": 7 x 7 squares centred on a point of the
// parent, dragged with the mouse inside a bounding rectangle. Each move sends
// WM_COMMAND(MAKELONG(111, ControlChanged), handle id); a press and a release
// send HandlePressed and HandleReleased.
#pragma once

#include <windows.h>

HWND CreatePointHandle(HWND parent, int id, int x, int y, const RECT& bounds);
// Stores the centre unclamped and moves the handle there (which notifies).
void SetPointHandlePosition(HWND handle, int x, int y);
POINT GetPointHandlePosition(HWND handle);
