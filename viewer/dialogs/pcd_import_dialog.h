// "Kodak Photo CD Import": the image mode and the resolution Photo CD images
// are decoded in.
#pragma once

#include "viewer/main_window/main_window_state.h"

void ShowPhotoCdImportDialog(MainWindowState& state);
