// "Metadata": the title, author, creation time, description and copyright
// texts that the next save writes with the current image.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

// Modal over owner; OK replaces the texts of the image's info record.
void ShowMetadataDialog(MainWindowState& state, HWND owner);
