// The option dialogs of the save formats, opened from the save dialog's
// panel: OK keeps the choice in the preferences and hands it to the main
// handle.
#pragma once

#include <windows.h>

#include <cstdint>

#include "viewer/document/document.h"

// Runs the dialog of the format (an id of the format table) modally over
// owner, its controls enabled for the image to be saved; false when the
// format has none here or an option dialog is up.
bool ShowSaveOptionDialog(Document& state, const ILImage& image, uint32_t formatId, HWND owner);
