// The main window's view: the display rectangle for the zoom level or the
// fitting window mode, the scroll bars, zooming, scrolling, and the mapping
// of the mouse to image pixels. The arithmetic is in viewer/logic/view_geometry.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

// Lays the current image out at a zoom level (the zooming window modes) or
// fitted (window mode 1 and full screen), sets the scroll bars and the title.
// With resizeWindow the window is first fitted to the zoomed image. Ignored
// while a layout runs (the WM_SIZE that the layout's own calls cause).
void LayoutView(MainWindowState& state, int level, bool resizeWindow);
// step 0 resets to 1:1, +1 zooms in, -1 out; ratio: the Ctrl variant.
void ZoomView(MainWindowState& state, int step, bool ratio);
// The level a new image starts with: 0 unless the window follows the image.
int LargestFittingZoomLevel(const MainWindowState& state);
// Resizes a normal (not maximised or minimised) window to that client size;
// true when the client size changed.
bool FitWindowToClientSize(MainWindowState& state, int width, int height);
// Scroll to a position (clamped to the view's range); false when the view
// did not move.
bool ScrollViewHorizontally(MainWindowState& state, int position);
bool ScrollViewVertically(MainWindowState& state, int position);
// The last mouse position in image pixels.
void ViewToImagePoint(const MainWindowState& state, int* x, int* y);
