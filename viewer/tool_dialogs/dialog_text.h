// The static texts that tool dialogs draw themselves: 8-bit texts (the
// degree sign is the byte 0xB0) in the selected font and colours.
#pragma once

#include <windows.h>

#include <string>

// Draws the text with its top-left corner at (x, y).
void DrawText8(HDC context, int x, int y, const std::string& text);
// A value label: its box of `width` pixels (one small line high) is filled
// with the Face colour first, so that a shorter value covers a longer one.
void DrawValueText(HDC context, int x, int y, int width, const std::string& text);

// The gap between a name and the value that follows it.
inline constexpr int kValueGap = 4;
// The width of the text in the context's font.
int Text8Width(HDC context, const std::string& text);
// Where a value follows a name painted at x in the small font: past the
// name's text and the gap, whatever size the font has.
int ValueAfterName(HWND window, int x, const std::string& name);
int ValueAfterName(HWND window, int x, const WCHAR* name);
