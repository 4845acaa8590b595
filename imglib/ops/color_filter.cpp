// Colour filter: a* and b* pulled towards a highlight and a shadow tint,
// weighted by lightness, with the tint terms computed once per change.
#include <cmath>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include <Imath/half.h>

#include "imglib/convert/converter.h"
#include "imglib/convert/half_float.h"
#include "imglib/convert/lab4.h"
#include "imglib/convert/srgb.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/pixel_rows.h"
#include "imglib/ops/row_split.h"
#include "imglib/ops/simd.h"
#include "imglib/ops/srgb8_encoder.h"

ILColorFilterParams* ILColorFilterInit(ILColorFilterParams* p, float hueLights,
                                       float strengthLights, float hueShadows,
                                       float strengthShadows) {
    p->hueLights = hueLights;
    p->strengthLights = strengthLights;
    p->hueShadows = hueShadows;
    p->strengthShadows = strengthShadows;
    ILColorFilterUpdate(p);
    return p;
}

ILColorFilterParams* ILColorFilterInitDefault(ILColorFilterParams* p) {
    ILColorFilterSetDefaults(p);
    return p;
}

void ILColorFilterSetDefaults(ILColorFilterParams* p) {
    ILColorFilterInit(p, 90, 0, 270, 0);
}

void ILColorFilterSetLightHue(ILColorFilterParams* p, float v) {
    p->hueLights = v;
    ILColorFilterUpdate(p);
}
void ILColorFilterSetLightStrength(ILColorFilterParams* p, float v) {
    p->strengthLights = v;
    ILColorFilterUpdate(p);
}
void ILColorFilterSetShadowHue(ILColorFilterParams* p, float v) {
    p->hueShadows = v;
    ILColorFilterUpdate(p);
}
void ILColorFilterSetShadowStrength(ILColorFilterParams* p, float v) {
    p->strengthShadows = v;
    ILColorFilterUpdate(p);
}

void ILColorFilterUpdate(ILColorFilterParams* p) {
    constexpr float kRadians = 3.1415925f / 180.0f;
    // A full-strength tint sets a chroma of 95 at its hue.
    const float sL = p->strengthLights / 100.0f, sS = p->strengthShadows / 100.0f;
    p->lightScale = 1.0f - sL;
    p->lightA = std::cos(p->hueLights * kRadians) * sL * 95.0f;
    p->lightB = std::sin(p->hueLights * kRadians) * sL * 95.0f;
    p->shadowScale = 1.0f - sS;
    p->shadowA = std::cos(p->hueShadows * kRadians) * sS * 95.0f;
    p->shadowB = std::sin(p->hueShadows * kRadians) * sS * 95.0f;
}

namespace {

// Four pixels at once; each lane gives the bits of the one-pixel form.
void FilterPixels4(const ILColorFilterParams* p, ILFloat4* r, ILFloat4* g, ILFloat4* b) {
    ILFloat4 L, A, B;
    ILRgbToLab4(*r, *g, *b, &L, &A, &B);
    const ILFloat4 a1 = p->lightScale * A + p->lightA, b1 = p->lightScale * B + p->lightB;
    const ILFloat4 a0 = p->shadowScale * A + p->shadowA, b0 = p->shadowScale * B + p->shadowB;
    const ILFloat4 t = L * 0.01f;
    const ILFloat4 am = a1 * t + a0 * (1 - t), bm = b1 * t + b0 * (1 - t);
    A = L >= 100 ? a1 : (L <= 0 ? a0 : am);
    B = L >= 100 ? b1 : (L <= 0 ? b0 : bm);
    ILLabToRgb4(L, A, B, r, g, b);
}

} // namespace

void ILColorFilterPixel(const ILColorFilterParams* p, float* r, float* g, float* b) {
    ILFloat4 r4 = ILSplat4(*r), g4 = ILSplat4(*g), b4 = ILSplat4(*b);
    FilterPixels4(p, &r4, &g4, &b4);
    *r = r4[0];
    *g = g4[0];
    *b = b4[0];
}

// The eight-lane forms of the helpers below are always inlined into the
// functions compiled for AVX2, so no call passes them across the ABI the
// warning is about.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// The filter over planes of red, green and blue without a division: the
// cube roots from Newton steps on the inverse cube root, which need only
// multiplications, and the linear segments by reciprocals. A lane comes
// within a few units in the last place of FilterPixels4's, far inside the
// filter's tolerance in Lab.
struct FastTerms {
    float toX[3], toY[3], toZ[3];       // RGB to X / Xn, Y, Z / Zn
    float fromX[3], fromY[3], fromZ[3]; // X, Y, Z to R, G, B (X and Z times the white)
    ILColorFilterParams p;

    explicit FastTerms(const ILColorFilterParams& params) : p(params) {
        using namespace illab;
        const auto& to = ILMatrixRgbToXyz50;
        const auto& from = ILMatrixXyz50ToRgb;
        for (int i = 0; i < 3; ++i) {
            toX[i] = to[i][0] / kWhiteX;
            toY[i] = to[i][1];
            toZ[i] = to[i][2] / kWhiteZ;
            fromX[i] = from[0][i] * kWhiteX;
            fromY[i] = from[1][i];
            fromZ[i] = from[2][i] * kWhiteZ;
        }
    }
};

// t^(1/3) for t above Lab's linear segment: t^(-1/3) to within 4 % from the
// exponent bits (taken through float, whose rounding the guess does not
// mind), three Newton steps to float precision, then t (t^(-1/3))^2. The
// products are ordered so that none leaves the float range for any finite t.
template <typename V>
__attribute__((always_inline)) inline V CubeRootFast(V t) {
    using I = decltype(t < t);
    I bits;
    std::memcpy(&bits, &t, sizeof bits);
    const I guess =
        0x54A21D2A - __builtin_convertvector(__builtin_convertvector(bits, V) * (1.0f / 3), I);
    V y;
    std::memcpy(&y, &guess, sizeof y);
    const V third = t * (1.0f / 3);
    for (int i = 0; i < 3; ++i)
        y = y * (4.0f / 3 - third * y * y * y);
    return t * (y * y);
}

template <typename V>
__attribute__((always_inline)) inline V FFast(V t) {
    using namespace illab;
    return t > kEpsilon ? CubeRootFast(t) : kSlope * t + kOffset;
}

template <typename V>
__attribute__((always_inline)) inline V FInverseFast(V f) {
    using namespace illab;
    const V cube = f * f * f;
    return cube > kEpsilon ? cube : (f - kOffset) * (1.0f / kSlope);
}

template <typename V>
__attribute__((always_inline)) inline void FilterFast(const FastTerms& k, V* r, V* g, V* b) {
    const V x = *r * k.toX[0] + *g * k.toX[1] + *b * k.toX[2];
    const V y = *r * k.toY[0] + *g * k.toY[1] + *b * k.toY[2];
    const V z = *r * k.toZ[0] + *g * k.toZ[1] + *b * k.toZ[2];
    const V fy = FFast(y);
    const V L = y > illab::kEpsilon ? 116.0f * fy - 16.0f : 903.2963f * y;
    const V A = 500.0f * (FFast(x) - fy), B = 200.0f * (fy - FFast(z));
    // The tints' weights by lightness, 0 (shadows) to 1 (lights).
    V t = L * 0.01f;
    t = t > 1.0f ? 1.0f : t;
    t = t < 0.0f ? 0.0f : t;
    const ILColorFilterParams& p = k.p;
    const V A1 = (p.lightScale * A + p.lightA) * t + (p.shadowScale * A + p.shadowA) * (1 - t);
    const V B1 = (p.lightScale * B + p.lightB) * t + (p.shadowScale * B + p.shadowB) * (1 - t);
    const V fy1 = (L + 16.0f) * (1.0f / 116);
    const V x1 = FInverseFast(fy1 + 0.002f * A1), y1 = FInverseFast(fy1),
            z1 = FInverseFast(fy1 - 0.005f * B1);
    *r = x1 * k.fromX[0] + y1 * k.fromY[0] + z1 * k.fromZ[0];
    *g = x1 * k.fromX[1] + y1 * k.fromY[1] + z1 * k.fromZ[1];
    *b = x1 * k.fromX[2] + y1 * k.fromY[2] + z1 * k.fromZ[2];
}

template <typename V>
__attribute__((always_inline)) inline void FilterPlanes(const FastTerms& k, float* rs, float* gs,
                                                        float* bs, size_t count) {
    for (size_t x = 0; x < count; x += sizeof(V) / sizeof(float)) {
        V r, g, b;
        std::memcpy(&r, rs + x, sizeof r);
        std::memcpy(&g, gs + x, sizeof g);
        std::memcpy(&b, bs + x, sizeof b);
        FilterFast(k, &r, &g, &b);
        std::memcpy(rs + x, &r, sizeof r);
        std::memcpy(gs + x, &g, sizeof g);
        std::memcpy(bs + x, &b, sizeof b);
    }
}

void FilterPlanes4(const FastTerms& k, float* rs, float* gs, float* bs, size_t count) {
    FilterPlanes<ILFloat4>(k, rs, gs, bs, count);
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void FilterPlanes8(const FastTerms& k, float* rs, float* gs,
                                                   float* bs, size_t count) {
    FilterPlanes<ILFloat8>(k, rs, gs, bs, count);
}
#endif

} // namespace

void ILColorFilterPlanes(const ILColorFilterParams* p, float* rs, float* gs, float* bs,
                         size_t count, ILLanes lanes) {
    const FastTerms k(*p);
#if defined(__x86_64__)
    if (lanes >= ILLanes::k8) return FilterPlanes8(k, rs, gs, bs, count);
#endif
    FilterPlanes4(k, rs, gs, bs, count);
}

namespace {

// Sample codecs by kind: decode to linear light, encode back at column x of
// the row last started.
struct Codec8 { // encoded a plane at a time, dithered
    using T = uint8_t;
    float Decode(T v) const { return ILSrgbTable8[v]; }
};
struct Codec16 {
    using T = uint16_t;
    float Decode(T v) const { return ILSrgbTable16[v]; }
    void StartRow(uint32_t) {}
    T Encode(float v, uint32_t) const { return ILLinearToSrgb16(v); }
};
struct CodecHalf {
    using T = uint16_t;
    float Decode(T v) const { return ILHalfToFloat(v); }
    void StartRow(uint32_t) {}
    T Encode(float v, uint32_t) const { return imath_float_to_half(v); }
};
struct CodecFloat {
    using T = float;
    float Decode(T v) const { return v; }
    void StartRow(uint32_t) {}
    T Encode(float v, uint32_t) const { return v; }
};

// Rows are decoded into planes of red, green and blue (each `padded` long:
// whole groups of eight), filtered, and encoded back.
template <typename Codec>
void FilterRow(const ILColorFilterParams* p, ILLanes lanes, const ILImage* source, ILImage* target,
               uint32_t y, std::vector<float>& planes, std::vector<uint8_t>& codes) {
    using T = typename Codec::T;
    Codec codec;
    const uint32_t c = source->channels;
    const size_t padded = planes.size() / 3;
    float* const rs = planes.data();
    float* const gs = rs + padded;
    float* const bs = gs + padded;
    const uint8_t* in = ILRowOf(source, y);
    uint8_t* out = ILRowOf(target, y);
    for (uint32_t x = 0; x < source->width; ++x) {
        T s[3];
        std::memcpy(s, in + uint64_t{x} * c * sizeof(T), sizeof s);
        bs[x] = codec.Decode(s[0]);
        gs[x] = codec.Decode(s[1]);
        rs[x] = codec.Decode(s[2]);
    }
    ILColorFilterPlanes(p, rs, gs, bs, padded, lanes);
    if constexpr (std::is_same_v<Codec, Codec8>) {
        // Codes by plane (whole groups of eight), then put together.
        uint8_t* const rc = codes.data();
        uint8_t* const gc = rc + padded;
        uint8_t* const bc = gc + padded;
        ILEncodeDitheredSrgb8(rs, rc, padded, y, lanes);
        ILEncodeDitheredSrgb8(gs, gc, padded, y, lanes);
        ILEncodeDitheredSrgb8(bs, bc, padded, y, lanes);
        for (uint32_t x = 0; x < source->width; ++x) {
            uint8_t* const o = out + uint64_t{x} * c;
            o[0] = bc[x];
            o[1] = gc[x];
            o[2] = rc[x];
        }
    } else {
        codec.StartRow(y);
        for (uint32_t x = 0; x < source->width; ++x) {
            // One store per sample: a small array copied out whole would be
            // read back across its separate stores, which stalls.
            uint8_t* const o = out + uint64_t{x} * c * sizeof(T);
            const T b = codec.Encode(bs[x], x), g = codec.Encode(gs[x], x),
                    r = codec.Encode(rs[x], x);
            std::memcpy(o, &b, sizeof b);
            std::memcpy(o + sizeof(T), &g, sizeof g);
            std::memcpy(o + 2 * sizeof(T), &r, sizeof r);
        }
    }
}

template <typename Codec>
ILResult FilterRows(const ILColorFilterParams* p, ILHandle* h, const ILImage* source,
                    ILImage* target) {
    const size_t padded = (size_t{source->width} + 7) & ~size_t{7};
    const ILRowPlan plan = ILPlanRows(source->width, source->height);
    const unsigned slots = plan.slots;
    // Each thread's planes, and for 8 bits their codes.
    std::vector<std::vector<float>> planes;
    std::vector<std::vector<uint8_t>> codes;
    try {
        planes.resize(slots);
        codes.resize(slots);
        for (unsigned i = 0; i < slots; ++i) {
            planes[i].resize(3 * padded);
            if (std::is_same_v<Codec, Codec8>) codes[i].resize(3 * padded);
        }
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(h, slots * 3 * padded * (sizeof(float) + 1));
    }
    const ILLanes lanes = ILWidestLanes();
    return ILSplitRows(h, source->height, plan, ILProgressAt::kRowEnd,
                       [&](unsigned slot, uint32_t y0, uint32_t y1) {
                           for (uint32_t y = y0; y < y1; ++y)
                               FilterRow<Codec>(p, lanes, source, target, y, planes[slot],
                                                codes[slot]);
                       });
}

} // namespace

ILResult ILColorFilter(const ILColorFilterParams* p, ILHandle* h, ILImage* source,
                       ILImage* target) {
    if (!p || !ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    if (!target) target = source;
    if (target->type != source->type || target->width != source->width ||
        target->height != source->height || !ILIsValidImage(target))
        return IL_BAD_ARGUMENT;
    const uint32_t model = source->type & IL_MODEL_MASK;
    if (model == IL_MODEL_GRAY) return IL_BAD_ARGUMENT;
    if (source->palette) {
        // In place the two palettes are one; a target palette larger than the
        // source's would read entries that do not exist.
        if (!target->palette || target->palette->count > source->palette->count)
            return IL_BAD_ARGUMENT;
        for (uint32_t i = 0; i < target->palette->count; ++i) {
            const ILPaletteEntry e = source->palette->GetEntry(i);
            const uint16_t bgra[4] = {e.blue, e.green, e.red, e.alpha};
            ILColor color;
            color.FromBGRA16(bgra);
            ILColorFilterPixel(p, &color.r, &color.g, &color.b);
            uint16_t out[4];
            color.ToBGRA16(out);
            target->palette->SetEntry16(i, out[0], out[1], out[2], out[3]);
        }
        return IL_OK;
    }
    // Only RGB samples are B, G, R; grey, CMYK, YCbCr and Lab would be
    // corrupted by filtering them as such.
    if (model != IL_MODEL_RGB || source->channels < 3) return IL_BAD_ARGUMENT;
    switch (source->type & IL_KIND_MASK) {
        case IL_KIND_8:
            return FilterRows<Codec8>(p, h, source, target);
        case IL_KIND_16:
            return FilterRows<Codec16>(p, h, source, target);
        case IL_KIND_HALF:
            return FilterRows<CodecHalf>(p, h, source, target);
        case IL_KIND_FLOAT:
            return FilterRows<CodecFloat>(p, h, source, target);
        default:
            return IL_OK;
    }
}

ILResult ILColorFilterInPlace(const ILColorFilterParams* p, ILHandle* h, ILImage* image) {
    return ILColorFilter(p, h, image, nullptr);
}
