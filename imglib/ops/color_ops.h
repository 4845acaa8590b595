// Colour edits: invert and red/blue swap, the colour filter and tone
// mapping.
#pragma once

#include <cstdint>

#include "imglib/handle.h"
#include "imglib/image.h"

// Palette entries an edit of an indexed image changes: those its indices can
// reach, never more than the palette holds.
inline uint32_t ILPaletteEntriesReached(const ILImage& image) {
    const uint32_t indexBits = image.channels * image.bits;
    const uint64_t reach = indexBits >= 32 ? UINT32_MAX : uint64_t{1} << indexBits;
    return reach < image.palette->count ? static_cast<uint32_t>(reach) : image.palette->count;
}

// --- Invert and channel swap ----------------------------------------------------

// Complements every colour sample (integers in their sRGB code, half and
// float in linear light) or, for an indexed image, every palette colour;
// alpha and filler stay. Always 1.
ILResult ILInvertImage(ILImage* image);
// Exchanges the red and blue samples (or palette colours) without changing
// the pixel type; 0 for fewer than three channels or a sample width other
// than 8, 16 or 32 bits.
ILResult ILSwapRedBlue(ILImage* image);
