// Row kernels from 24-bit float and RGBE samples (linear light) to 8-bit
// colour: each value is encoded to the 0..255 scale, the pixel's dither
// offset added and the sum truncated.
#include <cmath>

#include "imglib/convert/rows_8bit.h"
#include "imglib/convert/srgb.h"

namespace {

// Sample i of a row of little-endian 24-bit floats.
inline float Float24At(const uint8_t* row, uint64_t i) {
    const uint8_t* p = row + 3 * i;
    return ILFloat24ToFloat(p[0] | (static_cast<uint32_t>(p[1]) << 8) |
                            (static_cast<uint32_t>(p[2]) << 16));
}

inline uint8_t Encode(float v, float d) {
    return ILTruncDither8(ILLinearToSrgb8F(v), d);
}

} // namespace

// The first of SN samples is the grey; an alpha sample is dropped.
template <int SN>
void ILRowGreyFloat24ToBGR8(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, t += 3)
        t[0] = t[1] = t[2] = Encode(Float24At(s, x * SN), o.f[x & 3]);
    ILAdvanceDitherRow(c);
}

// R, G, B (, alpha dropped) written in order, or as B, G, R when Swap.
template <int SN, bool Swap>
void ILRowRGBFloat24ToRGB8(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    constexpr int first = Swap ? 2 : 0, third = Swap ? 0 : 2;
    for (uint64_t x = 0, n = c->width; x < n; ++x, t += 3) {
        const float d = o.f[x & 3];
        t[first] = Encode(Float24At(s, x * SN), d);
        t[1] = Encode(Float24At(s, x * SN + 1), d);
        t[third] = Encode(Float24At(s, x * SN + 2), d);
    }
    ILAdvanceDitherRow(c);
}

// Mantissas R, G, B and a shared exponent E: (m + 0.5) * 2^(E - 136), and
// E = 0 is black.
void ILRowRGBEToBGR8(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += 4, t += 3) {
        if (s[3] == 0) {
            t[0] = t[1] = t[2] = 0;
            continue;
        }
        const float f = std::ldexp(1.0f, static_cast<int>(s[3]) - 136);
        const float d = o.f[x & 3];
        t[0] = Encode((s[2] + 0.5f) * f, d);
        t[1] = Encode((s[1] + 0.5f) * f, d);
        t[2] = Encode((s[0] + 0.5f) * f, d);
    }
    ILAdvanceDitherRow(c);
}

template void ILRowGreyFloat24ToBGR8<1>(ILConverter*, const void*, void*);
template void ILRowGreyFloat24ToBGR8<2>(ILConverter*, const void*, void*);
template void ILRowRGBFloat24ToRGB8<3, false>(ILConverter*, const void*, void*);
template void ILRowRGBFloat24ToRGB8<3, true>(ILConverter*, const void*, void*);
template void ILRowRGBFloat24ToRGB8<4, true>(ILConverter*, const void*, void*);
