// What dialogs and tool windows delegate to the interface style: control
// colours, text styles, placement on the screen and small drawings.
#pragma once

#include <windows.h>

// WM_CTLCOLOREDIT (isEdit) or WM_CTLCOLORSTATIC: sets the colours, returns
// the brush.
HBRUSH OnControlColor(HDC context, bool isEdit);
// Section bands: Highlight background, bold font. Normal and small texts:
// Face background.
void SelectHeaderStyle(HDC context);
void SelectTextStyle(HDC context);
void SelectSmallTextStyle(HDC context);

// A one-pixel Text frame around a control placed at x 11 and y, one pixel
// outside its window on every side.
void FrameControl(HWND control, HDC context, int y);

// A window position pulled onto the primary screen.
int FitToScreenX(int x, int width);
int FitToScreenY(int y, int height);
// Moves the window over the main window's client corner, sized for a client
// area of width x height under a small caption.
void PlaceAtMainWindow(HWND window, HWND mainWindow, int clientWidth, int clientHeight);
// count 5-pixel ticks from y + extent up to y with the selected pen.
void DrawScaleTicks(HDC context, int x, int y, int extent, int count);
