// Sample readers and writers of the deep-sample row kernels (16-bit, 32-bit,
// half, float, double, fixed point and their float and half targets), shared
// by the rows_float_target, rows_wide_source and rows_half_target files.
//
// A reader turns one stored sample into linear light, or an alpha sample into
// a 0..1 fraction; a writer stores a linear value in its target kind. Bytes
// move through memcpy, so rows need no alignment. Readers that use a table
// keep its pointer, so a kernel builds them once per row.
#pragma once

#include <Imath/half.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "imglib/convert/converter.h"
#include "imglib/convert/half_float.h"
#include "imglib/convert/rows_srgb8_dither.h"
#include "imglib/convert/srgb.h"

namespace ilrows {

template <class T>
inline T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
inline void Store(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

inline float HalfToFloat(uint16_t bits) {
    return ILHalfToFloat(bits);
}

inline uint16_t FloatToHalf(float v) {
    return half(v).bits();
}

// --- Readers -----------------------------------------------------------------

struct ReadS8 { // 8-bit sRGB code
    static constexpr size_t kSize = 1;
    const float* table = ILSrgbTable8;
    float operator()(const uint8_t* p) const { return table[*p]; }
};

struct ReadS16 { // 16-bit sRGB code
    static constexpr size_t kSize = 2;
    const float* table = ILSrgbTable16;
    float operator()(const uint8_t* p) const { return table[Load<uint16_t>(p)]; }
};

struct ReadS32 { // 32-bit sRGB code
    static constexpr size_t kSize = 4;
    float operator()(const uint8_t* p) const {
        return static_cast<float>(ILSrgb32ToLinear(Load<uint32_t>(p)));
    }
};

struct ReadAlpha8 {
    static constexpr size_t kSize = 1;
    float operator()(const uint8_t* p) const { return static_cast<float>(*p) / 255.0f; }
};

struct ReadAlpha16 {
    static constexpr size_t kSize = 2;
    float operator()(const uint8_t* p) const {
        return static_cast<float>(Load<uint16_t>(p)) / 65535.0f;
    }
};

struct ReadAlpha32 {
    static constexpr size_t kSize = 4;
    float operator()(const uint8_t* p) const {
        return static_cast<float>(Load<uint32_t>(p)) * 0x1p-32f;
    }
};

struct ReadHalf {
    static constexpr size_t kSize = 2;
    float operator()(const uint8_t* p) const { return HalfToFloat(Load<uint16_t>(p)); }
};

struct ReadFloat {
    static constexpr size_t kSize = 4;
    float operator()(const uint8_t* p) const { return Load<float>(p); }
};

struct ReadDouble {
    static constexpr size_t kSize = 8;
    float operator()(const uint8_t* p) const { return static_cast<float>(Load<double>(p)); }
};

struct ReadFloat24 { // three little-endian bytes
    static constexpr size_t kSize = 3;
    float operator()(const uint8_t* p) const {
        return ILFloat24ToFloat(p[0] | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16);
    }
};

struct ReadFixed16 {
    static constexpr size_t kSize = 2;
    float operator()(const uint8_t* p) const { return ILFixed16ToFloat(Load<uint16_t>(p)); }
};

struct ReadFixed32 {
    static constexpr size_t kSize = 4;
    float operator()(const uint8_t* p) const { return ILFixed32ToFloat(Load<uint32_t>(p)); }
};

// --- Dither offsets ----------------------------------------------------------

// The float offset of one column, with the dithered 8-bit encoder's step
// entries and threshold row for it (null when the offset has none: the
// encoder is then called).
struct PixelDither {
    float d = 0.0f;
    const uint32_t* steps = nullptr;
    const float* thresholds = nullptr;
};

// Offsets of the four columns for the converter's current row phase.
struct RowDither {
    const ILSrgb8DitherTables* tables = nullptr;
    PixelDither column[4];

    // withTables: the kernel writes dithered 8-bit sRGB codes (W8).
    RowDither(const ILConverter* c, bool withTables)
        : tables(withTables ? ILSrgb8DitherTablesGet() : nullptr) {
        const uint32_t phase = c->ditherRow & 3;
        for (uint32_t x = 0; x < 4; ++x) {
            column[x].d = c->ditherMatrixF[4 * x + phase];
            column[x].steps = ILSrgb8DitherSteps(tables, column[x].d);
            column[x].thresholds = ILSrgb8DitherThresholds(tables, column[x].d);
        }
    }
    const PixelDither& operator[](uint64_t x) const { return column[x & 3]; }
};

inline void AdvanceDither(ILConverter* c) {
    c->ditherRow = (c->ditherRow + 1) & 3;
}

// A 0..max float value plus its offset, truncated, at most max.
inline uint32_t TruncDither(float v, float d, float max) {
    const float s = v + d;
    if (!(s > 0.0f)) return 0;
    return s >= max ? static_cast<uint32_t>(max) : static_cast<uint32_t>(s);
}

// --- Writers -----------------------------------------------------------------
// kDither: the writer reads the pixel's offset (and the kernel then advances
// the row phase).

struct W8 { // 8-bit sRGB, dithered
    static constexpr size_t kSize = 1;
    static constexpr bool kDither = true;
    const ILSrgb8DitherTables* tables;
    explicit W8(const RowDither& r) : tables(r.tables) {}
    uint8_t Code(float x, const PixelDither& pd) const {
        if (pd.steps) {
            if (!(x > 0.0f)) return 0;
            return x >= 1.0f ? 255 : ILSrgb8DitherStep(pd.steps, x);
        }
        return pd.thresholds ? ILSrgb8DitherLookup(tables, pd.thresholds, x)
                             : ILLinearToSrgb8Dither(x, pd.d);
    }
    void Put(uint8_t* p, float x, const PixelDither& pd) const { *p = Code(x, pd); }
};

struct A8 { // 8-bit linear, dithered
    static constexpr size_t kSize = 1;
    static constexpr bool kDither = true;
    explicit A8(const RowDither&) {}
    void Put(uint8_t* p, float x, const PixelDither& pd) const { *p = ILClampToU8Dither(x, pd.d); }
};

struct W16 { // 16-bit sRGB, rounded
    static constexpr size_t kSize = 2;
    static constexpr bool kDither = false;
    explicit W16(const RowDither&) {}
    void Put(uint8_t* p, float x, const PixelDither&) const { Store(p, ILLinearToSrgb16(x)); }
};

struct A16 { // 16-bit linear, rounded
    static constexpr size_t kSize = 2;
    static constexpr bool kDither = false;
    explicit A16(const RowDither&) {}
    void Put(uint8_t* p, float x, const PixelDither&) const { Store(p, ILClampToU16(x)); }
};

struct W16d { // 16-bit sRGB, dithered
    static constexpr size_t kSize = 2;
    static constexpr bool kDither = true;
    explicit W16d(const RowDither&) {}
    void Put(uint8_t* p, float x, const PixelDither& pd) const {
        Store(p, static_cast<uint16_t>(TruncDither(ILLinearToSrgb16F(x), pd.d, 65535.0f)));
    }
};

struct A16d { // 16-bit linear, dithered
    static constexpr size_t kSize = 2;
    static constexpr bool kDither = true;
    explicit A16d(const RowDither&) {}
    void Put(uint8_t* p, float x, const PixelDither& pd) const {
        Store(p, static_cast<uint16_t>(TruncDither(ILClampToU16F(x), pd.d, 65535.0f)));
    }
};

struct WF { // float, unchanged
    static constexpr size_t kSize = 4;
    static constexpr bool kDither = false;
    explicit WF(const RowDither&) {}
    void Put(uint8_t* p, float x, const PixelDither&) const { Store(p, x); }
};

struct WH { // half, nearest even; overflow gives infinity
    static constexpr size_t kSize = 2;
    static constexpr bool kDither = false;
    explicit WH(const RowDither&) {}
    void Put(uint8_t* p, float x, const PixelDither&) const { Store(p, FloatToHalf(x)); }
};

// --- The generic per-pixel kernel --------------------------------------------

// Stands for the alpha reader or writer of a side without alpha.
struct NoAlpha {
    static constexpr size_t kSize = 0;
    static constexpr bool kDither = false;
    NoAlpha() = default;
    explicit NoAlpha(const RowDither&) {}
    float operator()(const uint8_t*) const { return 0.0f; }
    void Put(uint8_t*, float, const PixelDither&) const {}
};

// Converts `width` pixels: SN / TN colour samples (1 grey, 3 colour) read by
// CR and written by CW, with an alpha sample read by AR and written by AW
// where SA / TA say the side has one. Grey into colour is replicated (one
// conversion, copied, so the three samples share the pixel's offset), colour
// into grey takes the luminance of a B, G, R source, and Reverse exchanges
// the first and third samples. A target alpha without a source alpha is left
// as it was; a source alpha without a target alpha is dropped.
template <class CR, int SN, class AR, bool SA, class CW, int TN, class AW, bool TA,
          bool Reverse = false>
void ConvertRow(ILConverter* c, const void* source, void* target) {
    static_assert(SN == 1 || SN == 3);
    static_assert(TN == 1 || TN == 3);
    constexpr size_t kSourceBytes = CR::kSize * SN + (SA ? AR::kSize : 0);
    constexpr size_t kTargetBytes = CW::kSize * TN + (TA ? AW::kSize : 0);
    constexpr bool kDither = CW::kDither || (SA && TA && AW::kDither);
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const RowDither dither(c, std::is_same_v<CW, W8>);
    const CR readColour;
    const AR readAlpha;
    const CW writeColour(dither);
    const AW writeAlpha(dither);
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += kSourceBytes, t += kTargetBytes) {
        const PixelDither& pd = dither[x];
        if constexpr (SN == 1 || TN == 1) {
            float v;
            if constexpr (SN == 1)
                v = readColour(s);
            else
                v = ILLuminance(readColour(s + 2 * CR::kSize), readColour(s + CR::kSize),
                                readColour(s));
            writeColour.Put(t, v, pd);
            if constexpr (TN == 3) {
                std::memcpy(t + CW::kSize, t, CW::kSize);
                std::memcpy(t + 2 * CW::kSize, t, CW::kSize);
            }
        } else {
            for (int i = 0; i < 3; ++i)
                writeColour.Put(t + (Reverse ? 2 - i : i) * CW::kSize,
                                readColour(s + i * CR::kSize), pd);
        }
        if constexpr (SA && TA)
            writeAlpha.Put(t + TN * CW::kSize, readAlpha(s + SN * CR::kSize), pd);
    }
    if constexpr (kDither) AdvanceDither(c);
}

// Linear float grey or colour (SN samples, then an alpha sample that is
// dropped where SA says there is one) into dithered 8-bit sRGB grey or colour
// (TN samples), as ConvertRow with ReadFloat and W8 but faster; defined in
// rows_float_srgb8.cpp for the pairs the wide-source family lists.
template <int SN, bool SA, int TN, bool Reverse = false>
void FloatToSrgb8(ILConverter* c, const void* source, void* target);

// Moves samples of type T without converting them: grey replicated into
// colour, colour copied or reversed, alpha copied, dropped or (without a
// source alpha) left as it was.
template <class T, int SN, bool SA, int TN, bool TA, bool Reverse = false>
void RearrangeRow(ILConverter* c, const void* source, void* target) {
    static_assert(SN == TN || (SN == 1 && TN == 3));
    constexpr size_t kSourceBytes = sizeof(T) * (SN + SA);
    constexpr size_t kTargetBytes = sizeof(T) * (TN + TA);
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, s += kSourceBytes, t += kTargetBytes) {
        if constexpr (SN == 1) {
            for (int i = 0; i < TN; ++i)
                std::memcpy(t + i * sizeof(T), s, sizeof(T));
        } else {
            for (int i = 0; i < 3; ++i)
                std::memcpy(t + (Reverse ? 2 - i : i) * sizeof(T), s + i * sizeof(T), sizeof(T));
        }
        if constexpr (SA && TA) std::memcpy(t + TN * sizeof(T), s + SN * sizeof(T), sizeof(T));
    }
}

// Unpacks 1-, 2- or 4-bit grey (first pixel in the top bits) into N copies of
// one sample of type T per pixel: code n becomes levels[n].
template <int Bits, class T, int N>
void UnpackGreyRow(const ILConverter* c, const void* source, void* target, const T* levels) {
    constexpr uint64_t kPerByte = 8 / Bits;
    constexpr unsigned kMask = (1u << Bits) - 1;
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    for (uint64_t x = 0; x < n; ++x, t += N * sizeof(T)) {
        const unsigned shift = 8 - Bits * static_cast<unsigned>(x % kPerByte + 1);
        const unsigned code = (s[x / kPerByte] >> shift) & kMask;
        for (int i = 0; i < N; ++i)
            std::memcpy(t + i * sizeof(T), &levels[code], sizeof(T));
    }
}

// Linear levels of 2-bit grey: about (n / 3)^2.2, not the sRGB curve.
inline constexpr float kGrey2Levels[4] = {0.0f, 0.0892f, 0.40983f, 1.0f};

} // namespace ilrows
