// Window metrics and small drawing helpers shared by the viewer's windows.
#pragma once

#include <windows.h>

#include <string>

#include "viewer/logic/window_placement.h"

// What a sizing window with caption adds to its client size, and the client
// area's offset inside such a window.
int WindowFrameWidth();
int WindowFrameHeight();
int WindowBorderWidth();
int WindowCaptionOffset();
// What a tool window (dialog frame, small caption) adds to its client size.
int ToolWindowFrameWidth();
int ToolWindowFrameHeight();

// The screen less the task bar.
ScreenRect WorkArea();

// Restores a minimised window; true when it was minimised.
bool RestoreIfMinimised(HWND window);
// Makes the window the foreground window with the focus, also when another
// thread's window is in front.
void BringToFront(HWND window);

// Invalidates the window (with erase) and all its children.
void InvalidateWindowTree(HWND window);
int PixelsToPoints(int height, HDC context);
// "<face> <points>pt", the face shortened with "... " until it fits width.
std::string FormatFontLabel(int width, const LOGFONTA& font, HDC context);
