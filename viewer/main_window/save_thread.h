// Saving the current image (or another image of the viewer's) on a worker
// thread while the main window goes on. While it runs, busy bit 8 keeps
// every image command away, the close waits and dropped files are refused.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

// Asks for the name and format, then starts the save; true when it started.
bool SaveImageInBackground(MainWindowState& state, ILImage* image);
// Command 40984: the current image's alpha channel, as a grey image, saved
// like an image; "Failed to extract alpha channel" when it has none.
void SaveAlphaChannel(MainWindowState& state);
// Command 40301, posted by the save thread when it is done.
void OnSaveFinished(MainWindowState& state);
