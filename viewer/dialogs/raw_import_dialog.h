// "Digital Camera RAW Import": image mode, interpolation and the wavelet
// noise-reduction threshold of camera RAW decoding.
#pragma once

#include "viewer/main_window/main_window_state.h"

void ShowRawImportDialog(MainWindowState& state);
