// The preferences file "Vx.up" in the settings folder: read at start-up,
// written when the main window closes.
#pragma once

#include <windows.h>

#include "imglib/imglib.h"
#include "viewer/logic/preferences.h"

// The one preferences record of the process.
extern Preferences g_preferences;

// Reads the file into g_preferences (every default when there is no settings
// folder, no file, or one that is not accepted) and pushes the stored save and
// import options into the main handle, or reads the library's defaults out
// of it. The main window's stored client size becomes a window size. True
// when the file was accepted.
bool LoadPreferences(ILHandle* handle);
// Stores the main window's normal placement and writes the file; nothing when
// there is no settings folder, and nothing is reported when writing fails.
void SavePreferences(HWND mainWindow);
