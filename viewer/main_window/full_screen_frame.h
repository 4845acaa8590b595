// The full-screen frame: with "High quality resizing" on, full screen shows a
// bitmap of the monitor's size into which each image is scaled once and
// which is painted 1:1; a new image arrives through one of the transitions
// of viewer/logic/screen_transitions.h.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

// Builds the frame for the current image; the library's result (1 when
// shown).
ILResult EnterFullScreenFrame(MainWindowState& state);
void LeaveFullScreenFrame(MainWindowState& state);
// After a change of the display: the frame is built anew at the new size.
void RefitFullScreenFrame(MainWindowState& state);
bool IsFullScreenFrameShown(const FullScreenFrame& frame);
// Puts the current image into the frame, with the chosen transition when
// animate is set (drawn on the main window at once), then invalidates the
// window. Nothing while the frame is not shown.
void ShowFullScreenImage(MainWindowState& state, bool animate);
// The next transition runs backwards (the previous and first image).
void MarkBackwardTransition(FullScreenFrame& frame);
// WM_PAINT while shown.
void PaintFullScreenFrame(const FullScreenFrame& frame, HDC context);
// The image pixel under a point of the screen while the frame is shown.
void FrameToImagePoint(const FullScreenFrame& frame, int screenX, int screenY, int* x, int* y);
