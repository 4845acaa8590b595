// Colour edits: invert and red/blue swap, the colour filter and tone
// mapping.
#pragma once

#include <cstdint>

#include <Imath/ImathMatrix.h>

#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/ops/simd.h"

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
// Filters count linear-light pixels (count a multiple of eight) given as
// planes of red, green and blue, in place, in lanes of four or eight (eight
// only where ILWidestLanes allows); within a few units in the last place of
// ILColorFilterPixel, with or without eight lanes alike.
void ILColorFilterPlanes(const ILColorFilterParams* p, float* rs, float* gs, float* bs,
                         size_t count, ILLanes lanes);
// Tints an RGB image (8, 16-bit, half or float samples; extra samples are
// neither read nor written) or an indexed image's palette. A null target
// filters in place. -2 for grey and other non-RGB images, or a target of
// another type or size; -1 when the progress procedure cancels (rows done
// stay filtered).
ILResult ILColorFilter(const ILColorFilterParams* p, ILHandle* h, ILImage* source, ILImage* target);
ILResult ILColorFilterInPlace(const ILColorFilterParams* p, ILHandle* h, ILImage* image);

// --- Tone mapping ---------------------------------------------------------------

// Tone curve, then (r, g, b, 1) x result, then black; matrices act on row
// vectors. Initialise with ILToneMapInit before anything else.
struct ILToneMap {
    float exposure;
    float exponent; // 1: identity curve
    float toeOffset, toeSlope, toeThreshold;
    float black;
    float chroma;
    float hue;          // degrees
    int32_t whitePoint; // kelvin
    bool changed;       // result is stale
    Imath::M44f hueFrame, hueFrameInverse;
    Imath::M44f exposureMatrix, saturationMatrix, hueMatrix, whitePointMatrix;
    Imath::M44f result; // exposure x saturation x hue x white point
};

ILToneMap* ILToneMapInit(ILToneMap* t);
void ILToneMapReset(ILToneMap* t);
// Each setter stores its value, rebuilds its matrix, then composes now
// (recompose) or marks the map stale.
void ILToneMapSetExposure(ILToneMap* t, float exposure, bool recompose);
// False, and nothing changed, for an exponent that is not above 0.
bool ILToneMapSetExponent(ILToneMap* t, float exponent, bool recompose);
void ILToneMapSetBlack(ILToneMap* t, float black, bool recompose);
void ILToneMapSetChroma(ILToneMap* t, float chroma, bool recompose);
void ILToneMapSetHue(ILToneMap* t, float degrees, bool recompose);
// Kelvin, clamped to 3500..9500 (the range whose white points exist).
void ILToneMapSetWhitePoint(ILToneMap* t, int32_t kelvin, bool recompose);
void ILToneMapChanged(ILToneMap* t, bool recompose);
void ILToneMapUpdate(ILToneMap* t);
void ILToneMapCompose(ILToneMap* t);
float ILToneMapCurve(const ILToneMap* t, float x);
// Applies the map to an image, or in place for a null target (which must
// match the source's type and size, else -2); extra samples are not
// written. 1 done (unsupported kinds unchanged), -1 cancelled, -100 out of
// memory.
ILResult ILToneMapApply(const ILToneMap* t, ILHandle* h, ILImage* source, ILImage* target);
ILResult ILToneMapApplyInPlace(const ILToneMap* t, ILHandle* h, ILImage* image);
