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

// --- Colour filter --------------------------------------------------------------

// The four settings, then the tint terms ILColorFilterUpdate derives from them.
struct ILColorFilterParams {
    float hueLights;       // degrees
    float strengthLights;  // percent
    float hueShadows;      // degrees
    float strengthShadows; // percent
    float lightA, lightB;
    float shadowA, shadowB;
    float lightScale, shadowScale;
};

ILColorFilterParams* ILColorFilterInit(ILColorFilterParams* p, float hueLights,
                                       float strengthLights, float hueShadows,
                                       float strengthShadows);
ILColorFilterParams* ILColorFilterInitDefault(ILColorFilterParams* p);
void ILColorFilterSetDefaults(ILColorFilterParams* p);
void ILColorFilterSetLightHue(ILColorFilterParams* p, float v);
void ILColorFilterSetLightStrength(ILColorFilterParams* p, float v);
void ILColorFilterSetShadowHue(ILColorFilterParams* p, float v);
void ILColorFilterSetShadowStrength(ILColorFilterParams* p, float v);
void ILColorFilterUpdate(ILColorFilterParams* p);
// Filters one linear-light pixel.
void ILColorFilterPixel(const ILColorFilterParams* p, float* r, float* g, float* b);
// Tints an RGB image (8, 16-bit, half or float samples; extra samples are
// neither read nor written) or an indexed image's palette. A null target
// filters in place. -2 for grey and other non-RGB images, or a target of
// another type or size; -1 when the progress procedure cancels (rows done
// stay filtered).
ILResult ILColorFilter(const ILColorFilterParams* p, ILHandle* h, ILImage* source, ILImage* target);
ILResult ILColorFilterInPlace(const ILColorFilterParams* p, ILHandle* h, ILImage* image);
