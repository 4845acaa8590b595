// The results of the Tonemapping and Color Filter dialogs' runs: a new image
// for the library's filter to write, or, for an indexed image, the source's
// pixels with a filtered palette of their own.
#pragma once

#include "imglib/imglib.h"

// An image of the source's size and type for a filter that writes the
// colour samples: the source's pixels are copied in first when the type has
// an extra channel (alpha, filler), which the filter leaves alone.
ILResult NewFilterTarget(const ILImage& source, ILImage* result);
// The source's pixels, not owned, with a copy of `palette` as the result's
// own palette: the edit of an indexed image changes only its palette.
ILResult PaletteResult(const ILImage& source, const ILPalette& palette, ILImage* result);
