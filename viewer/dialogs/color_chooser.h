// The viewer's own colour dialog for an ILColor meant for a given pixel
// type: a palette grid (indexed and shallow grey types), a grey ramp with a
// grey slider (deeper grey) or a hue/value field with red, green and blue
// sliders (colour), and an alpha slider for types with alpha.
#pragma once

#include <windows.h>

#include "imglib/color.h"
#include "imglib/pixel_type.h"
#include "viewer/document/document.h"

// Runs the chooser modally over owner. True exactly when OK was chosen and
// the colour differs from the one passed in (which it then replaces); false,
// with "Out of memory", when the chooser cannot be built.
bool ShowColorChooser(Document& state, HWND owner, const WCHAR* caption, ILPixelType type,
                      ILColor& color, const ILPalette* palette);
