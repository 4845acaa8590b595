// The file dialog that chooses an image to open.
#pragma once

#include <windows.h>

#include <cstdint>

#include "viewer/platform/paths.h"

// The buffer holds the starting path and receives the chosen one; a chosen
// shell link comes back as the link file. The filter index is read and
// stored back. True when a file was chosen.
bool ChooseImageToOpen(HWND owner, WCHAR (&path)[kPathUnits], int32_t& filterIndex);
