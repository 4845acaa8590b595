// Row kernels from colour to grey: decode to linear light, weigh the channels
// (ILLuminance) and encode again, keeping or scaling an alpha sample.
//
// B, G, R 8 to grey 8 is on the display path of every colour image, so it
// avoids the power function per pixel: the 8-bit encoder is a non-decreasing
// step function of its input, fully described by the smallest float at which
// each code starts. Those thresholds are derived from ILLinearToSrgb8 itself
// on first use (so the lookup agrees with it on whatever libm the library
// runs with); the top 16 bits of the float pick a bucket whose base code is
// exact at the bucket's start, and one compare finishes (the curve climbs
// less than one code per bucket, which the build checks).
#include <Imath/half.h>

#include <bit>
#include <cmath>
#include <memory>
#include <new>

#include "imglib/convert/rows_8bit.h"
#include "imglib/convert/srgb.h"

namespace {

struct Srgb8Tables {
    static constexpr uint32_t kBuckets = 0x3F80; // floats below 1.0, by their top 16 bits
    uint8_t base[kBuckets];
    // thresholds[k]: smallest float whose code is at least k; [256] = +inf.
    float thresholds[257];
};

constexpr uint32_t kOne = 0x3F800000; // bits of 1.0f

std::unique_ptr<Srgb8Tables> BuildSrgb8Tables() {
    std::unique_ptr<Srgb8Tables> t(new (std::nothrow) Srgb8Tables);
    if (!t) return nullptr;
    t->thresholds[0] = 0.0f;
    for (uint32_t k = 1; k <= 255; ++k) {
        uint32_t lo = 1, hi = kOne;
        while (lo < hi) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (ILLinearToSrgb8(std::bit_cast<float>(mid)) >= k)
                hi = mid;
            else
                lo = mid + 1;
        }
        t->thresholds[k] = std::bit_cast<float>(lo);
    }
    t->thresholds[256] = INFINITY;
    for (uint32_t i = 0; i < Srgb8Tables::kBuckets; ++i) {
        const uint8_t base = ILLinearToSrgb8(std::bit_cast<float>(i << 16));
        // One compare per lookup only holds while a bucket spans at most one
        // step; a curve that climbs faster gets no tables.
        if (ILLinearToSrgb8(std::bit_cast<float>((i << 16) | 0xFFFF)) > base + 1) return nullptr;
        t->base[i] = base;
    }
    return t;
}

const Srgb8Tables* Srgb8TablesGet() {
    static const std::unique_ptr<Srgb8Tables> tables = BuildSrgb8Tables();
    return tables.get();
}

inline uint8_t Srgb8Lookup(const Srgb8Tables* t, float y) {
    if (!(y > 0.0f)) return 0;
    if (y >= 1.0f) return 255;
    const uint32_t k = t->base[std::bit_cast<uint32_t>(y) >> 16];
    return static_cast<uint8_t>(k + (y >= t->thresholds[k + 1]));
}

template <bool Half>
inline float ReadLinear(const void* row, uint64_t i) {
    if constexpr (Half) {
        half h;
        h.setBits(static_cast<const uint16_t*>(row)[i]);
        return static_cast<float>(h);
    } else {
        return static_cast<const float*>(row)[i];
    }
}

// A 0..65535 value from the float encoders (NaN already mapped to 0).
inline uint16_t Trunc16(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 65535.0f) return 65535;
    return static_cast<uint16_t>(v);
}

} // namespace

// SN = 3 (B, G, R) or 4 (with a fourth sample, kept as alpha when TN = 2).
template <int SN, int TN>
void ILRowBGR8ToGrey8(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    const Srgb8Tables* tables = Srgb8TablesGet();
    if (!tables) {
        for (uint64_t x = 0; x < n; ++x, s += SN, t += TN) {
            t[0] = ILGray8FromRGB8(s[2], s[1], s[0]);
            if constexpr (TN == 2) t[1] = s[3];
        }
        return;
    }
    const float* lin = ILSrgbTable8;
    for (uint64_t x = 0; x < n; ++x, s += SN, t += TN) {
        // The same expression as ILLuminance, so the same float.
        const float y = 0.212656f * lin[s[2]] + 0.715158f * lin[s[1]] + 0.072186f * lin[s[0]];
        t[0] = Srgb8Lookup(tables, y);
        if constexpr (TN == 2) t[1] = s[3];
    }
}

template <int SN, int TN>
void ILRowBGR8ToGrey16(ILConverter* c, const void* source, void* target) {
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint16_t* t = static_cast<uint16_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += SN, t += TN) {
        t[0] = ILGray16FromRGB8(s[2], s[1], s[0]);
        if constexpr (TN == 2) t[1] = static_cast<uint16_t>(s[3] * 257);
    }
}

template <int SN, int TN>
void ILRowBGR16ToGrey8(ILConverter* c, const void* source, void* target) {
    const uint16_t* s = static_cast<const uint16_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += SN, t += TN) {
        t[0] = ILGray8FromRGB16(s[2], s[1], s[0]);
        if constexpr (TN == 2) t[1] = static_cast<uint8_t>(s[3] / 257);
    }
}

template <int SN, int TN>
void ILRowBGR16ToGrey16(ILConverter* c, const void* source, void* target) {
    const uint16_t* s = static_cast<const uint16_t*>(source);
    uint16_t* t = static_cast<uint16_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, s += SN, t += TN) {
        t[0] = ILGray16FromRGB16(s[2], s[1], s[0]);
        if constexpr (TN == 2) t[1] = s[3];
    }
}

// Linear float or half B, G, R (and alpha) to grey 8 with ordered dithering.
template <bool Half, int SN, int TN>
void ILRowLinearToGrey8(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    uint8_t* t = static_cast<uint8_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, t += TN) {
        const uint64_t i = x * SN;
        const float b = ReadLinear<Half>(source, i), g = ReadLinear<Half>(source, i + 1),
                    r = ReadLinear<Half>(source, i + 2);
        const float d = o.f[x & 3];
        t[0] = ILTruncDither8(ILGray8FFromLinear(r, g, b), d);
        if constexpr (TN == 2)
            t[1] = ILTruncDither8(ILClampToU8F(ReadLinear<Half>(source, i + 3)), d);
    }
    ILAdvanceDitherRow(c);
}

template <bool Half, int SN, int TN>
void ILRowLinearToGrey16(ILConverter* c, const void* source, void* target) {
    uint16_t* t = static_cast<uint16_t*>(target);
    for (uint64_t x = 0, n = c->width; x < n; ++x, t += TN) {
        const uint64_t i = x * SN;
        const float b = ReadLinear<Half>(source, i), g = ReadLinear<Half>(source, i + 1),
                    r = ReadLinear<Half>(source, i + 2);
        t[0] = Trunc16(ILGray16FFromLinear(r, g, b));
        if constexpr (TN == 2) t[1] = Trunc16(ILClampToU16F(ReadLinear<Half>(source, i + 3)));
    }
}

template void ILRowBGR8ToGrey8<3, 1>(ILConverter*, const void*, void*);
template void ILRowBGR8ToGrey8<4, 2>(ILConverter*, const void*, void*);
template void ILRowBGR8ToGrey16<3, 1>(ILConverter*, const void*, void*);
template void ILRowBGR8ToGrey16<4, 2>(ILConverter*, const void*, void*);
template void ILRowBGR16ToGrey8<3, 1>(ILConverter*, const void*, void*);
template void ILRowBGR16ToGrey8<4, 2>(ILConverter*, const void*, void*);
template void ILRowBGR16ToGrey16<3, 1>(ILConverter*, const void*, void*);
template void ILRowBGR16ToGrey16<4, 2>(ILConverter*, const void*, void*);
template void ILRowLinearToGrey8<false, 3, 1>(ILConverter*, const void*, void*);
template void ILRowLinearToGrey8<false, 4, 2>(ILConverter*, const void*, void*);
template void ILRowLinearToGrey8<true, 3, 1>(ILConverter*, const void*, void*);
template void ILRowLinearToGrey8<true, 4, 2>(ILConverter*, const void*, void*);
template void ILRowLinearToGrey16<false, 3, 1>(ILConverter*, const void*, void*);
template void ILRowLinearToGrey16<false, 4, 2>(ILConverter*, const void*, void*);
template void ILRowLinearToGrey16<true, 3, 1>(ILConverter*, const void*, void*);
template void ILRowLinearToGrey16<true, 4, 2>(ILConverter*, const void*, void*);
