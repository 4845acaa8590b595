// The palette quantiser: any image to 1, 2, 4 or 8-bit indices with a
// palette of 2, 4, 16 or 256 entries.
#pragma once

#include <cstdint>

#include "imglib/handle.h"
#include "imglib/image.h"

// Quantises source into target, or in place when target is null or the
// source. count (clamped to 1..256) picks the index width; histogramBits
// (clamped to 4..6) the median cut's precision; dither selects serpentine
// Floyd-Steinberg when the median cut runs. An image with no more colours
// than the palette holds gets exactly its colours, in order of first
// appearance. The source and target stay as they were until the result is
// complete. 1 done, -2 invalid source, -100 conversion or memory failure.
ILResult ILQuantizeImage(ILHandle* h, ILImage* source, ILImage* target, int32_t count,
                         int32_t histogramBits, int32_t dither);
