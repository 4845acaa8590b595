// The file dialog that chooses the name an image is saved under.
#pragma once

#include <windows.h>

#include <cstdint>

#include "viewer/main_window_state.h"

// The buffer holds the proposed name and receives the chosen one, with the
// chosen format's extension in place of the typed one; when that forced
// name is an existing file the user is asked again whether to replace it.
// The filter index is read and stored back. True when a name was chosen.
bool ChooseImageToSave(MainWindowState& state, WCHAR (&path)[kPathUnits], int32_t& filterIndex);
