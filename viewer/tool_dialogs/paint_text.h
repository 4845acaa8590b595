// The static texts that tool dialogs paint in PaintLabels, in the text
// style selected on the context.
#pragma once

#include <windows.h>

inline void PaintText(HDC context, int x, int y, const WCHAR* text) {
    TextOutW(context, x, y, text, lstrlenW(text));
}
