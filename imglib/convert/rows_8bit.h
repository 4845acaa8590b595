// Row kernels whose targets hold 8- or 16-bit integer samples (and the
// packing kernels into 1, 2 and 4 bits), shared between the files of this
// family and its kernel table. Each kernel converts exactly `width` pixels and
// never touches bytes past the last pixel of either row (sub-byte rows end
// at the byte that holds the last pixel).
#pragma once

#include <cstdint>

#include "imglib/convert/converter.h"

// The dither offsets of one row: index x & 3 gives the column's offset for
// the converter's current row phase.
struct ILDitherOffsets {
    int32_t d[4]; // integer offsets, added before dividing a 16-bit sample by 257
    float f[4];   // float offsets, added before truncating a 0..255 value
};

inline ILDitherOffsets ILRowDitherOffsets(const ILConverter* c) {
    ILDitherOffsets o;
    const uint32_t phase = c->ditherRow & 3;
    for (uint32_t x = 0; x < 4; ++x) {
        o.d[x] = c->ditherMatrix[4 * x + phase];
        o.f[x] = c->ditherMatrixF[4 * x + phase];
    }
    return o;
}

inline void ILAdvanceDitherRow(ILConverter* c) {
    c->ditherRow = (c->ditherRow + 1) & 3;
}

// A 0..255 float value plus its dither offset, truncated. Values outside the
// range (which the encoders never give, NaN included) saturate.
inline uint8_t ILTruncDither8(float v, float d) {
    const float x = v + d;
    if (!(x > 0.0f)) return 0;
    if (x >= 255.0f) return 255;
    return static_cast<uint8_t>(x);
}

// --- Rearranging, widening, narrowing, grey map (rows_8bit.cpp) ------------
void ILRowInvertBytes(ILConverter* c, const void* source, void* target);
void ILRowGreyMapGrey8(ILConverter* c, const void* source, void* target);
void ILRowGreyMapBGR8(ILConverter* c, const void* source, void* target);
void ILRowGreyMapGreyA8(ILConverter* c, const void* source, void* target);

// --- SSE2 members (rows_8bit_sse2.cpp) ----------------------------------------
// N 16-bit samples a pixel to N 8-bit samples in the same order, dithered
// as ILRowDitherTo8; B, G, R 8 to R, G, B 8 (either way round).
template <int N>
void ILRowNarrow16To8(ILConverter* c, const void* source, void* target);
void ILRowSwapBGR8(ILConverter* c, const void* source, void* target);

// Premultiplied grey+alpha 8, grey+alpha 16 and BGRA 16 over the background,
// into BGR 8.
void ILRowCompositeGreyPA8ToBGR8(ILConverter* c, const void* source, void* target);
void ILRowCompositeGreyPA16ToBGR8(ILConverter* c, const void* source, void* target);
void ILRowCompositeBGRPA16ToBGR8(ILConverter* c, const void* source, void* target);

// --- 1-, 2- and 4-bit data (rows_8bit_bilevel.cpp) ----------------------------
// 1-bit grey to grey 8 / BGR 8 / grey 16 / BGR 16, White: a set bit is white.
template <bool White>
void ILRowGrey1ToGrey8(ILConverter* c, const void* source, void* target);
template <bool White>
void ILRowGrey1ToBGR8(ILConverter* c, const void* source, void* target);
template <bool White>
void ILRowGrey1ToGrey16(ILConverter* c, const void* source, void* target);
template <bool White>
void ILRowGrey1ToBGR16(ILConverter* c, const void* source, void* target);
// 2- and 4-bit grey (Bits) to grey 8 / BGR 8 / grey 16 / BGR 16.
template <int Bits>
void ILRowGreyNToGrey8(ILConverter* c, const void* source, void* target);
template <int Bits>
void ILRowGreyNToBGR8(ILConverter* c, const void* source, void* target);
template <int Bits>
void ILRowGreyNToGrey16(ILConverter* c, const void* source, void* target);
template <int Bits>
void ILRowGreyNToBGR16(ILConverter* c, const void* source, void* target);
void ILRowGrey2ToGrey4(ILConverter* c, const void* source, void* target);
// 8-bit samples packed into 1, 2 or 4 bits (their top bits).
void ILRowPackTo1(ILConverter* c, const void* source, void* target);
void ILRowPackTo2(ILConverter* c, const void* source, void* target);
void ILRowPackTo4(ILConverter* c, const void* source, void* target);
void ILRowGreyFloatTo1(ILConverter* c, const void* source, void* target);

// --- Packed colour (rows_8bit_packed.cpp) -------------------------------------
void ILRowBGR101010ToBGR8(ILConverter* c, const void* source, void* target);
void ILRowBGR101010ToBGR16(ILConverter* c, const void* source, void* target);
void ILRowBGR565ToBGR8(ILConverter* c, const void* source, void* target);
void ILRowBGR555ToBGR8(ILConverter* c, const void* source, void* target);
template <bool RgbOut>
void ILRowBGRX4ToBGR8(ILConverter* c, const void* source, void* target);
template <bool RgbOut>
void ILRowRGB4ToBGR8(ILConverter* c, const void* source, void* target);
template <bool Alpha>
void ILRowRGBA4ToBGR8(ILConverter* c, const void* source, void* target);

// --- YCbCr and CMYK (rows_8bit_ycbcr_cmyk.cpp) --------------------------------
// YCbCr 8 (SN = 3, or 4 with alpha) to BGR 8 (TN = 3) or BGRA 8 (TN = 4).
template <int SN, int TN>
void ILRowYCbCr8ToBGR8(ILConverter* c, const void* source, void* target);
// CMYK with SN samples of type S into BGR (TN = 3) or BGRA (TN = 4) of type T.
template <typename S, int SN, typename T, int TN>
void ILRowCMYKToBGR(ILConverter* c, const void* source, void* target);

// --- Colour to grey (rows_8bit_grey.cpp) --------------------------------------
// BGR 8 (SN = 3) / BGRX 8 (SN = 4, fourth byte kept as alpha when TN = 2).
template <int SN, int TN>
void ILRowBGR8ToGrey8(ILConverter* c, const void* source, void* target);
template <int SN, int TN>
void ILRowBGR8ToGrey16(ILConverter* c, const void* source, void* target);
template <int SN, int TN>
void ILRowBGR16ToGrey8(ILConverter* c, const void* source, void* target);
template <int SN, int TN>
void ILRowBGR16ToGrey16(ILConverter* c, const void* source, void* target);
// Linear float (Half false) or half (Half true) colour to grey.
template <bool Half, int SN, int TN>
void ILRowLinearToGrey8(ILConverter* c, const void* source, void* target);
template <bool Half, int SN, int TN>
void ILRowLinearToGrey16(ILConverter* c, const void* source, void* target);

// --- 24-bit float and RGBE (rows_8bit_float.cpp) ------------------------------
// Grey float24 (SN samples per pixel, the first one used) to BGR 8 / RGB 8.
template <int SN>
void ILRowGreyFloat24ToBGR8(ILConverter* c, const void* source, void* target);
// RGB float24 with SN samples: Swap writes B, G, R.
template <int SN, bool Swap>
void ILRowRGBFloat24ToRGB8(ILConverter* c, const void* source, void* target);
void ILRowRGBEToBGR8(ILConverter* c, const void* source, void* target);
