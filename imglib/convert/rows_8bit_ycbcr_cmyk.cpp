// Row kernels for YCbCr 8 (through the converter's five integer tables) and
// CMYK 8 and 16 (inverted inks through ILCmykToLinearRgb, then encoded).
#include "imglib/convert/rows_8bit.h"
#include "imglib/convert/srgb.h"

namespace {

inline uint8_t Clamp8(int64_t v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

} // namespace

// Samples Y, Cb, Cr (, alpha). The sums are formed in 64 bits: a converter's
// own tables (built from a file's coefficients) are not bounded, and a sum
// must clamp rather than wrap.
template <int SN, int TN>
void ILRowYCbCr8ToBGR8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const int32_t* lumaTable = c->ycbcrY;
    const int32_t* crR = c->ycbcrCrR;
    const int32_t* cbB = c->ycbcrCbB;
    const int32_t* crG = c->ycbcrCrG;
    const int32_t* cbG = c->ycbcrCbG;
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += SN, t += TN) {
        const int64_t y = lumaTable[s[0]];
        const uint8_t cb = s[1], cr = s[2];
        t[0] = Clamp8(y + cbB[cb]);
        t[1] = Clamp8(y + ((static_cast<int64_t>(cbG[cb]) + crG[cr]) >> 16));
        t[2] = Clamp8(y + crR[cr]);
        if constexpr (TN == 4) t[3] = s[3];
    }
}

// C, M, Y, K (, alpha) of type S into B, G, R (, alpha) of type T; the ink
// codes are inverted to fractions, and the encoded result is truncated
// without a dither offset.
template <typename S, int SN, typename T, int TN>
void ILRowCMYKToBGR(ILConverter* c, const void* source, void* target) {
    constexpr uint32_t full = sizeof(S) == 1 ? 255u : 65535u;
    constexpr float fullF = static_cast<float>(full);
    const S* s = static_cast<const S*>(source);
    T* t = static_cast<T*>(target);
    auto encode = [](float v) -> T {
        if constexpr (sizeof(T) == 1) {
            return ILTruncDither8(ILLinearToSrgb8F(v), 0.0f);
        } else {
            const float e = ILLinearToSrgb16F(v);
            return static_cast<T>(e > 0.0f ? e : 0.0f);
        }
    };
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += SN, t += TN) {
        float r, g, b;
        ILCmykToLinearRgb((full - s[0]) / fullF, (full - s[1]) / fullF, (full - s[2]) / fullF,
                          (full - s[3]) / fullF, &r, &g, &b);
        t[0] = encode(b);
        t[1] = encode(g);
        t[2] = encode(r);
        if constexpr (TN == 4) t[3] = static_cast<T>(s[4]);
    }
}

template void ILRowYCbCr8ToBGR8<3, 3>(ILConverter*, const void*, void*);
template void ILRowYCbCr8ToBGR8<4, 3>(ILConverter*, const void*, void*);
template void ILRowYCbCr8ToBGR8<4, 4>(ILConverter*, const void*, void*);
template void ILRowCMYKToBGR<uint8_t, 4, uint8_t, 3>(ILConverter*, const void*, void*);
template void ILRowCMYKToBGR<uint8_t, 5, uint8_t, 3>(ILConverter*, const void*, void*);
template void ILRowCMYKToBGR<uint8_t, 5, uint8_t, 4>(ILConverter*, const void*, void*);
template void ILRowCMYKToBGR<uint16_t, 4, uint8_t, 3>(ILConverter*, const void*, void*);
template void ILRowCMYKToBGR<uint16_t, 4, uint16_t, 3>(ILConverter*, const void*, void*);
template void ILRowCMYKToBGR<uint16_t, 5, uint8_t, 3>(ILConverter*, const void*, void*);
template void ILRowCMYKToBGR<uint16_t, 5, uint16_t, 4>(ILConverter*, const void*, void*);
