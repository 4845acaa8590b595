// Names of images that have no file (pasted or acquired): "Clipboard_001".
#pragma once

#include <windows.h>

// Counts on and writes "<base>_<nnn>" into path (at most 120 characters),
// which it returns.
const WCHAR* MakeNumberedName(const char16_t* base, int& counter, WCHAR* path);
