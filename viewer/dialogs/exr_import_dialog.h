// "OpenEXR Import": whether OpenEXR images keep their alpha pre-multiplied.
#pragma once

#include "viewer/main_window/main_window_state.h"

void ShowOpenExrImportDialog(MainWindowState& state);
