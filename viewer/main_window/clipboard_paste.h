// Pasting a device-independent bitmap from the clipboard as the current
// image.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

// data: the clipboard's CF_DIB block. A block that does not hold a complete
// 1, 4, 8, 24 or 32-bit bitmap is refused and the current image stays; true
// when the pasted image is shown.
bool PasteImage(MainWindowState& state, HGLOBAL data);
