// Row kernels that deal with alpha rather than with sample kinds: laying a
// source with alpha over the converter's background, straight <-> premultiplied
// alpha for 8-bit, 16-bit and half samples, carrying alpha past an lcms2
// transform, and packing grey with alpha into 1, 2 and 4-bit grey.
#include <Imath/half.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

#include "imglib/convert/converter.h"
#include "imglib/convert/half_float.h"
#include "imglib/convert/kernel_table.h"
#include "imglib/convert/rows_srgb8_dither.h"
#include "imglib/convert/srgb.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using Imath::half;

// Dither offsets of pixel x; all samples of a pixel share them.
inline float DitherF(const ILConverter* c, uint64_t x) {
    return c->ditherMatrixF[(x & 3) * 4 + c->ditherRow];
}
inline int32_t DitherI(const ILConverter* c, uint64_t x) {
    return c->ditherMatrix[(x & 3) * 4 + c->ditherRow];
}
inline void NextDitherRow(ILConverter* c) {
    c->ditherRow = (c->ditherRow + 1) & 3;
}

inline float HalfToFloat(uint16_t bits) {
    return ILHalfToFloat(bits);
}
inline float HalfAt(const uint16_t* p) {
    return HalfToFloat(*p);
}
inline uint16_t ToHalf(float v) {
    return half(v).bits();
}

// Samples of the supported source kinds as linear values; 8- and 16-bit
// alpha as a fraction.
// Opaque integer pixels keep their codes: 8-bit as they are, 16-bit rounded
// with the dither offset.
struct Src8 {
    using Sample = uint8_t;
    static constexpr Sample kOpaque = 255;
    static float Linear(uint8_t v) { return ILSrgbTable8[v]; }
    static float Alpha(uint8_t a) { return a / 255.0f; }
    static uint8_t Code8(uint8_t v, int32_t) { return v; }
};
struct Src16 {
    using Sample = uint16_t;
    static constexpr Sample kOpaque = 65535;
    static float Linear(uint16_t v) { return ILSrgbTable16[v]; }
    static float Alpha(uint16_t a) { return a / 65535.0f; }
    static uint8_t Code8(uint16_t v, int32_t dither) {
        return static_cast<uint8_t>((v + dither) / 257);
    }
};
struct SrcHalf {
    using Sample = uint16_t;
    static float Linear(uint16_t v) { return HalfToFloat(v); }
    static float Alpha(uint16_t a) { return HalfToFloat(a); }
};
struct SrcFloat {
    using Sample = float;
    static float Linear(float v) { return v; }
    static float Alpha(float a) { return a; }
};

inline float Blend(bool premultiplied, float c, float alpha, float bg) {
    return premultiplied ? c + (1.0f - alpha) * bg : alpha * c + (1.0f - alpha) * bg;
}

// ---------------------------------------------------------------------------
// Linear compositing of grey with alpha (N = 2, laid over each background
// channel) or colour (N = 4: B, G, R, A, or R, G, B, A when Reversed) into
// 8-bit B, G, R. Prem: 0 straight, 1 premultiplied, 2 as premultipliedSource
// says.
template <typename S, int N, bool Reversed, int Prem, bool TransparentShortcut>
void CompositeLinearTo8(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const typename S::Sample*>(source);
    auto* out = static_cast<uint8_t*>(target);
    const bool prem = Prem == 2 ? c->premultipliedSource : Prem == 1;
    for (uint64_t x = 0; x < c->width; ++x, in += N, out += 3) {
        const float alpha = S::Alpha(in[N - 1]);
        if (TransparentShortcut && alpha == 0.0f) {
            std::memcpy(out, c->backgroundBGR8, 3);
            continue;
        }
        const float d = DitherF(c, x);
        float v[3];
        for (int k = 0; k < 3; ++k)
            v[k] = S::Linear(in[N == 2 ? 0 : Reversed ? 2 - k : k]);
        for (int k = 0; k < 3; ++k)
            out[k] = ILLinearToSrgb8Dither(Blend(prem, v[k], alpha, c->backgroundBGRF[k]), d);
    }
    NextDitherRow(c);
}

// Straight grey or B, G, R with alpha (N = 2 or 4 samples, alpha last), 8 or
// 16-bit, into 8-bit B, G, R, from pixel x on. Opaque and transparent pixels
// take the source or the background code; the others encode alpha x linear +
// (1 - alpha) x background through Encoder: At(x) gives what a pixel's three
// samples share, Code(that, value) the code.
template <typename S, int N, typename Encoder>
void CompositeStraightPixels(const ILConverter* c, Encoder encoder, uint64_t x,
                             const typename S::Sample* in, uint8_t* out) {
    const float* bg = c->backgroundBGRF;
    for (; x < c->width; ++x, in += N, out += 3) {
        const auto a = in[N - 1];
        if (a == S::kOpaque) {
            const int32_t dither = std::is_same_v<S, Src16> ? DitherI(c, x) : 0;
            if constexpr (N == 2) {
                out[0] = out[1] = out[2] = S::Code8(in[0], dither);
            } else {
                for (int k = 0; k < 3; ++k)
                    out[k] = S::Code8(in[k], dither);
            }
            continue;
        }
        if (a == 0) {
            std::memcpy(out, c->backgroundBGR8, 3);
            continue;
        }
        const float alpha = S::Alpha(a), rest = 1.0f - alpha;
        const auto shared = encoder.At(x);
        float v[3];
        for (int k = 0; k < 3; ++k)
            v[k] = alpha * S::Linear(in[N == 2 ? 0 : k]) + rest * bg[k];
        for (int k = 0; k < 3; ++k)
            out[k] = Encoder::Code(shared, v[k]);
    }
}

// The dithered 8-bit encoder, and its step entries (faster, for the dither
// offsets and backgrounds they cover).
struct EncodeDithered {
    const ILConverter* c;
    float At(uint64_t x) const { return DitherF(c, x); }
    static uint8_t Code(float d, float v) { return ILLinearToSrgb8Dither(v, d); }
};
struct EncodeSteps {
    const uint32_t* const* steps; // steps[j] serves pixels with x % 4 == j
    const uint32_t* At(uint64_t x) const { return steps[x & 3]; }
    static uint8_t Code(const uint32_t* step, float v) { return ILSrgb8DitherStep(step, v); }
};

// Grey with alpha and 16-bit B, G, R, A into 8-bit B, G, R, with both
// shortcuts.
template <typename S, int N>
void CompositeStraightTo8(ILConverter* c, const void* source, void* target) {
    CompositeStraightPixels<S, N>(c, EncodeDithered{c}, 0,
                                  static_cast<const typename S::Sample*>(source),
                                  static_cast<uint8_t*>(target));
    NextDitherRow(c);
}

#if defined(__SSE2__)
inline __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Four pixels held in the low three bytes of 32-bit lanes, stored as 12 bytes.
inline void Store4x3(__m128i v, uint8_t* out) {
    const __m128i evenLanes = _mm_set1_epi64x(0xFFFFFF), oddLanes = _mm_set1_epi64x(0xFFFFFF000000);
    const __m128i low6 = _mm_setr_epi32(-1, 0xFFFF, 0, 0), next6 = _mm_setr_epi32(0, -65536, -1, 0);
    v = _mm_or_si128(_mm_and_si128(v, evenLanes), _mm_and_si128(_mm_srli_epi64(v, 8), oddLanes));
    v = _mm_or_si128(_mm_and_si128(v, low6), _mm_and_si128(_mm_srli_si128(v, 2), next6));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), v);
    const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(v, 8));
    std::memcpy(out + 8, &last, 4);
}

// 255 when every pixel of the groups is opaque, 0 when every one is
// transparent, 1 otherwise (mostly known from the first group).
int CommonAlpha(const uint8_t* in, uint64_t quads) {
    const __m128i mask = _mm_set1_epi32(static_cast<int32_t>(0xFF000000));
    auto alphas = [&](uint64_t q) { return _mm_and_si128(Load16(in + 16 * q), mask); };
    auto same = [](__m128i a, __m128i b) {
        return _mm_movemask_epi8(_mm_cmpeq_epi32(a, b)) == 0xFFFF;
    };
    const __m128i want = alphas(0);
    if (!same(want, mask) && !same(want, _mm_setzero_si128())) return 1;
    for (uint64_t q = 1; q < quads; ++q)
        if (!same(alphas(q), want)) return 1;
    return _mm_cvtsi128_si32(want) ? 255 : 0;
}

// Whole groups of four pixels, in chunks of up to kChunk pixels. A chunk that
// is wholly opaque or transparent is copied or filled; any other passes
// through two loops: the blended values and their buckets, then the step
// entries (plain loads, many of them in flight at once) and the codes.
// Returns the number of pixels done.
uint64_t CompositeBGRA8Blocks(const ILConverter* c, const uint32_t* const steps[4],
                              const uint8_t* in, uint8_t* out) {
    constexpr uint64_t kChunk = 32;
    using T = ILSrgb8DitherTables;
    const float* lin = ILSrgbTable8;
    const __m128 full = _mm_set1_ps(255.0f), one = _mm_set1_ps(1.0f);
    const __m128 bg[3] = {_mm_set1_ps(c->backgroundBGRF[0]), _mm_set1_ps(c->backgroundBGRF[1]),
                          _mm_set1_ps(c->backgroundBGRF[2])};
    const __m128i first = _mm_set1_epi16(T::kStepFirst), last = _mm_set1_epi16(T::kStepLast);
    const __m128i low16 = _mm_set1_epi32(0xFFFF), opaqueA = _mm_set1_epi32(0xFF);
    const __m128i bg8 = _mm_set1_epi32(c->backgroundBGR8[0] | c->backgroundBGR8[1] << 8 |
                                       c->backgroundBGR8[2] << 16);
    const uint32_t *s0 = steps[0], *s1 = steps[1], *s2 = steps[2], *s3 = steps[3];

    __m128i blend[kChunk / 4][3];
    alignas(16) uint16_t index[kChunk * 3];
    const uint64_t width = c->width & ~uint64_t{3};
    for (uint64_t x = 0; x < width;) {
        const uint64_t quads = std::min(kChunk, width - x) / 4;
        const int common = CommonAlpha(in, quads);
        if (common != 1) {
            for (uint64_t q = 0; q < quads; ++q)
                Store4x3(common ? Load16(in + 16 * q) : bg8, out + 12 * q);
            x += 4 * quads, in += 16 * quads, out += 12 * quads;
            continue;
        }
        for (uint64_t q = 0; q < quads; ++q) {
            const uint8_t* p = in + 16 * q;
            const __m128 alpha = _mm_div_ps(_mm_cvtepi32_ps(_mm_srli_epi32(Load16(p), 24)), full);
            const __m128 rest = _mm_sub_ps(one, alpha);
            auto mix = [&](int k) {
                const __m128 v =
                    _mm_setr_ps(lin[p[k]], lin[p[4 + k]], lin[p[8 + k]], lin[p[12 + k]]);
                return _mm_castps_si128(_mm_add_ps(_mm_mul_ps(alpha, v), _mm_mul_ps(rest, bg[k])));
            };
            const __m128i b = mix(0), g = mix(1), r = mix(2);
            blend[q][0] = b, blend[q][1] = g, blend[q][2] = r;
            // Buckets of B and G, then of R twice; packing keeps them in 16 bits.
            const __m128i r16 = _mm_srai_epi32(r, 16);
            __m128i bg16 = _mm_packs_epi32(_mm_srai_epi32(b, 16), _mm_srai_epi32(g, 16));
            __m128i rr16 = _mm_packs_epi32(r16, r16);
            bg16 = _mm_sub_epi16(_mm_min_epi16(_mm_max_epi16(bg16, first), last), first);
            rr16 = _mm_sub_epi16(_mm_min_epi16(_mm_max_epi16(rr16, first), last), first);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(index + 12 * q), bg16);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(index + 12 * q + 8), rr16);
        }
        for (uint64_t q = 0; q < quads; ++q) {
            // Code x 65536 plus the step's carry, shifted down.
            auto code = [&](int k) {
                const uint16_t* i = index + 12 * q + 4 * k;
                const __m128i e = _mm_setr_epi32(s0[i[0]], s1[i[1]], s2[i[2]], s3[i[3]]);
                return _mm_srli_epi32(_mm_add_epi32(e, _mm_and_si128(blend[q][k], low16)), 16);
            };
            __m128i v = _mm_or_si128(
                code(0), _mm_or_si128(_mm_slli_epi32(code(1), 8), _mm_slli_epi32(code(2), 16)));
            const __m128i px = Load16(in + 16 * q), a = _mm_srli_epi32(px, 24);
            const __m128i opaque = _mm_cmpeq_epi32(a, opaqueA);
            const __m128i clear = _mm_cmpeq_epi32(a, _mm_setzero_si128());
            v = _mm_or_si128(_mm_andnot_si128(_mm_or_si128(opaque, clear), v),
                             _mm_or_si128(_mm_and_si128(opaque, px), _mm_and_si128(clear, bg8)));
            Store4x3(v, out + 12 * q);
        }
        x += 4 * quads, in += 16 * quads, out += 12 * quads;
    }
    return width;
}
#endif

// Straight 8-bit B, G, R, A into B, G, R: the hot path of showing images
// with alpha. Through the step entries of the dithered encoder where the
// dither offsets and the background allow (whole groups of four pixels with
// SSE2, the rest one by one), else through the encoder.
void CompositeBGRA8ToBGR8(ILConverter* c, const void* source, void* target) {
    const ILSrgb8DitherTables* tables = ILSrgb8DitherTablesGet();
    const uint32_t* steps[4] = {};
    bool fast = tables != nullptr;
    for (uint64_t x = 0; x < 4 && fast; ++x) {
        steps[x] = ILSrgb8DitherSteps(tables, DitherF(c, x));
        fast = steps[x] != nullptr;
    }
    // Steps answer NaN unlike the encoder; only a NaN background makes one.
    for (int k = 0; k < 3; ++k)
        fast = fast && !std::isnan(c->backgroundBGRF[k]);
    if (!fast) return CompositeStraightTo8<Src8, 4>(c, source, target);

    const auto* in = static_cast<const uint8_t*>(source);
    auto* out = static_cast<uint8_t*>(target);
    uint64_t done = 0;
#if defined(__SSE2__)
    done = CompositeBGRA8Blocks(c, steps, in, out);
#endif
    CompositeStraightPixels<Src8, 4>(c, EncodeSteps{steps}, done, in + 4 * done, out + 3 * done);
    NextDitherRow(c);
}

// ---------------------------------------------------------------------------
// Encoded compositing of premultiplied integer sources: the code, limited to
// the alpha, plus the uncovered part of the encoded background.

template <typename S>
inline float Fraction(typename S::Sample v) {
    return S::Alpha(v); // code / full scale
}

// Colour (B, G, R, A or reversed) into 8-bit B, G, R; straight pixels are
// composited in linear light. bgE from the 16-bit background codes.
template <typename S, bool Reversed>
void CompositeColorTo8Encoded(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const typename S::Sample*>(source);
    auto* out = static_cast<uint8_t*>(target);
    const bool prem = c->premultipliedSource;
    float bgE[3];
    for (int k = 0; k < 3; ++k)
        bgE[k] = c->backgroundBGR16[k] / 65535.0f;
    for (uint64_t x = 0; x < c->width; ++x, in += 4, out += 3) {
        const float alpha = S::Alpha(in[3]), d = DitherF(c, x);
        for (int k = 0; k < 3; ++k) {
            const auto v = in[Reversed ? 2 - k : k];
            out[k] = prem ? ILClampToU8Dither(
                                std::min(alpha, Fraction<S>(v)) + (1.0f - alpha) * bgE[k], d)
                          : ILLinearToSrgb8Dither(
                                alpha * S::Linear(v) + (1.0f - alpha) * c->backgroundBGRF[k], d);
        }
    }
    NextDitherRow(c);
}

// Premultiplied 8-bit B, G, R, A into B, G, R against the encoded linear
// background, with both shortcuts.
void CompositeBGRPA8ToBGR8(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint8_t*>(source);
    auto* out = static_cast<uint8_t*>(target);
    float bgE[3];
    for (int k = 0; k < 3; ++k)
        bgE[k] = ILLinearToSrgb(c->backgroundBGRF[k]);
    for (uint64_t x = 0; x < c->width; ++x, in += 4, out += 3) {
        const uint8_t a = in[3];
        if (a == 255) {
            out[0] = in[0], out[1] = in[1], out[2] = in[2];
            continue;
        }
        if (a == 0) {
            std::memcpy(out, c->backgroundBGR8, 3);
            continue;
        }
        const float alpha = a / 255.0f, d = DitherF(c, x);
        for (int k = 0; k < 3; ++k)
            out[k] =
                ILClampToU8Dither(std::min(alpha, in[k] / 255.0f) + (1.0f - alpha) * bgE[k], d);
    }
    NextDitherRow(c);
}

// Grey with alpha into grey 8: straight on the linear grey background,
// premultiplied against the 16-bit grey background code.
template <typename S>
void CompositeGreyToGrey8(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const typename S::Sample*>(source);
    auto* out = static_cast<uint8_t*>(target);
    const bool prem = c->premultipliedSource;
    const float bgE = c->backgroundGray16 / 65535.0f;
    for (uint64_t x = 0; x < c->width; ++x, in += 2, ++out) {
        const float alpha = S::Alpha(in[1]), d = DitherF(c, x);
        *out =
            prem ? ILClampToU8Dither(std::min(alpha, Fraction<S>(in[0])) + (1.0f - alpha) * bgE, d)
                 : ILLinearToSrgb8Dither(
                       alpha * S::Linear(in[0]) + (1.0f - alpha) * c->backgroundGrayF, d);
    }
    NextDitherRow(c);
}

// Half and float grey with alpha into grey 8, linear either way.
template <typename S>
void CompositeLinearGreyToGrey8(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const typename S::Sample*>(source);
    auto* out = static_cast<uint8_t*>(target);
    const bool prem = c->premultipliedSource;
    for (uint64_t x = 0; x < c->width; ++x, in += 2, ++out) {
        const float alpha = S::Alpha(in[1]);
        *out = ILLinearToSrgb8Dither(Blend(prem, S::Linear(in[0]), alpha, c->backgroundGrayF),
                                     DitherF(c, x));
    }
    NextDitherRow(c);
}

// 16-bit B, G, R, A into 16-bit B, G, R or float B, G, R.
template <bool FloatTarget>
void CompositeBGRA16ToBGR16OrFloat(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint16_t*>(source);
    const bool prem = c->premultipliedSource;
    for (uint64_t x = 0; x < c->width; ++x, in += 4) {
        const float alpha = in[3] / 65535.0f;
        for (int k = 0; k < 3; ++k) {
            float v;
            if (prem) {
                v = std::min(alpha, in[k] / 65535.0f) +
                    (1.0f - alpha) * (c->backgroundBGR16[k] / 65535.0f);
                if (FloatTarget) v = ILSrgbToLinear(v);
            } else {
                v = alpha * ILSrgbTable16[in[k]] + (1.0f - alpha) * c->backgroundBGRF[k];
            }
            if constexpr (FloatTarget) {
                static_cast<float*>(target)[x * 3 + k] = v;
            } else {
                static_cast<uint16_t*>(target)[x * 3 + k] =
                    prem ? ILClampToU16(v) : ILLinearToSrgb16(v);
            }
        }
    }
}

void CompositeGreyA16ToGrey16(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint16_t*>(source);
    auto* out = static_cast<uint16_t*>(target);
    const bool prem = c->premultipliedSource;
    const float bgE = c->backgroundGray16 / 65535.0f;
    for (uint64_t x = 0; x < c->width; ++x, in += 2, ++out) {
        const float alpha = in[1] / 65535.0f;
        *out = prem ? ILClampToU16(std::min(alpha, in[0] / 65535.0f) + (1.0f - alpha) * bgE)
                    : ILLinearToSrgb16(alpha * ILSrgbTable16[in[0]] +
                                       (1.0f - alpha) * c->backgroundGrayF);
    }
}

// Half B, G, R, A into float B, G, R or half B, G, R.
template <bool HalfTarget>
void CompositeBGRAHalfToBGRHalfOrFloat(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint16_t*>(source);
    const bool prem = c->premultipliedSource;
    for (uint64_t x = 0; x < c->width; ++x, in += 4) {
        const float alpha = HalfAt(in + 3);
        for (int k = 0; k < 3; ++k) {
            const float v = Blend(prem, HalfAt(in + k), alpha, c->backgroundBGRF[k]);
            if constexpr (HalfTarget)
                static_cast<uint16_t*>(target)[x * 3 + k] = ToHalf(v);
            else
                static_cast<float*>(target)[x * 3 + k] = v;
        }
    }
}

// Half grey with alpha into float B, G, R: each channel over its own
// background channel, like every other grey source bound for colour.
void CompositeGreyAHalfToBGRFloat(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint16_t*>(source);
    auto* out = static_cast<float*>(target);
    const bool prem = c->premultipliedSource;
    for (uint64_t x = 0; x < c->width; ++x, in += 2, out += 3) {
        const float alpha = HalfAt(in + 1), v = HalfAt(in);
        for (int k = 0; k < 3; ++k)
            out[k] = Blend(prem, v, alpha, c->backgroundBGRF[k]);
    }
}

void CompositeGreyAHalfToGreyHalf(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint16_t*>(source);
    auto* out = static_cast<uint16_t*>(target);
    const bool prem = c->premultipliedSource;
    for (uint64_t x = 0; x < c->width; ++x, in += 2, ++out)
        *out = ToHalf(Blend(prem, HalfAt(in), HalfAt(in + 1), c->backgroundGrayF));
}

// ---------------------------------------------------------------------------
// Straight <-> premultiplied, same layout on both sides. N samples a pixel,
// alpha last; the alpha sample is kept.

template <int N>
void AlphaForm8(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint8_t*>(source);
    auto* out = static_cast<uint8_t*>(target);
    const bool unpremultiply = c->premultipliedSource;
    for (uint64_t x = 0; x < c->width; ++x, in += N, out += N) {
        const uint8_t a = in[N - 1];
        for (int k = 0; k < N - 1; ++k) {
            const uint8_t v = in[k];
            if (!unpremultiply) {
                out[k] = static_cast<uint8_t>(ILPremultiply8(v, a));
            } else if (a == 0) {
                out[k] = 255;
            } else if (a == 255) {
                out[k] = v;
            } else if constexpr (N == 4) {
                out[k] = ILUnpremultiply8F(v, a / 255.0f);
            } else {
                out[k] = static_cast<uint8_t>(ILUnpremultiply8(v, a));
            }
        }
        out[N - 1] = a;
    }
}

template <int N>
void AlphaForm16(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint16_t*>(source);
    auto* out = static_cast<uint16_t*>(target);
    const bool unpremultiply = c->premultipliedSource;
    for (uint64_t x = 0; x < c->width; ++x, in += N, out += N) {
        const uint16_t a = in[N - 1];
        for (int k = 0; k < N - 1; ++k) {
            const uint16_t v = in[k];
            if (!unpremultiply)
                out[k] = static_cast<uint16_t>(ILPremultiply16(v, a));
            else if (a == 0)
                out[k] = 65535;
            else
                out[k] = a == 65535 ? v : static_cast<uint16_t>(ILUnpremultiply16(v, a));
        }
        out[N - 1] = a;
    }
}

// A transparent pixel has no colour to recover: it gets the largest finite
// half, so that premultiplying again gives 0 rather than NaN.
template <int N>
void AlphaFormHalf(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint16_t*>(source);
    auto* out = static_cast<uint16_t*>(target);
    const bool unpremultiply = c->premultipliedSource;
    constexpr uint16_t kHalfMax = 0x7BFF;
    for (uint64_t x = 0; x < c->width; ++x, in += N, out += N) {
        const float alpha = HalfAt(in + N - 1);
        for (int k = 0; k < N - 1; ++k) {
            const float v = HalfAt(in + k);
            if (!unpremultiply)
                out[k] = ToHalf(v * alpha);
            else
                out[k] = alpha > 0.0f ? ToHalf(v / alpha) : kHalfMax;
        }
        out[N - 1] = in[N - 1];
    }
}

// ---------------------------------------------------------------------------
// Colour-managed conversion that keeps alpha: lcms2 converts the colour and
// skips the extra sample, which is then copied from the source pixel.

template <int SampleBytes, int SourceSamples, int TargetSamples>
void TransformCarryAlpha(ILConverter* c, const void* source, void* target) {
    cmsDoTransform(c->transform, source, target, static_cast<cmsUInt32Number>(c->width));
    const auto* in = static_cast<const uint8_t*>(source) + (SourceSamples - 1) * SampleBytes;
    auto* out = static_cast<uint8_t*>(target) + (TargetSamples - 1) * SampleBytes;
    for (uint64_t x = 0; x < c->width; ++x) {
        std::memcpy(out, in, SampleBytes);
        in += SourceSamples * SampleBytes;
        out += TargetSamples * SampleBytes;
    }
}

// ---------------------------------------------------------------------------
// Grey with alpha 8 into 1, 2 and 4-bit grey: the grey sample's top bits.

void GreyA8ToGrey1(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint8_t*>(source);
    auto* out = static_cast<uint8_t*>(target);
    for (uint64_t x = 0; x < c->width; ++x) {
        const uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
        if (in[2 * x] >= 128)
            out[x >> 3] |= bit;
        else
            out[x >> 3] &= static_cast<uint8_t>(~bit);
    }
}

void GreyA8ToGrey2(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint8_t*>(source);
    auto* out = static_cast<uint8_t*>(target);
    for (uint64_t x = 0; x < c->width; ++x) {
        const uint8_t code = in[2 * x] >> 6;
        const int shift = 6 - 2 * static_cast<int>(x & 3);
        if ((x & 3) == 0)
            out[x >> 2] = static_cast<uint8_t>(code << shift);
        else
            out[x >> 2] = static_cast<uint8_t>(out[x >> 2] + (code << shift));
    }
}

void GreyA8ToGrey4(ILConverter* c, const void* source, void* target) {
    const auto* in = static_cast<const uint8_t*>(source);
    auto* out = static_cast<uint8_t*>(target);
    for (uint64_t x = 0; x < c->width; ++x) {
        const uint8_t v = in[2 * x];
        if ((x & 1) == 0)
            out[x >> 1] = v & 0xF0;
        else
            out[x >> 1] = static_cast<uint8_t>(out[x >> 1] + (v >> 4));
    }
}

constexpr ILKernelVariant C = IL_KV_COMPOSITE;
constexpr ILKernelVariant A = IL_KV_ANY;
constexpr ILKernelVariant T = IL_KV_TRANSFORM;

constexpr ILKernelEntry kEntries[] = {
    // Compositing into 8-bit B, G, R.
    {IL_BGRA8, IL_BGR8, C, CompositeBGRA8ToBGR8, nullptr},
    {IL_BGRPA8, IL_BGR8, C, CompositeBGRPA8ToBGR8, nullptr},
    {IL_RGBA8, IL_BGR8, C, CompositeColorTo8Encoded<Src8, true>, nullptr},
    {IL_RGBPA8, IL_BGR8, C, CompositeColorTo8Encoded<Src8, true>, nullptr},
    {IL_GREY_A8, IL_BGR8, C, CompositeStraightTo8<Src8, 2>, nullptr},
    {IL_GREY_A16, IL_BGR8, C, CompositeStraightTo8<Src16, 2>, nullptr},
    {IL_BGRA16, IL_BGR8, C, CompositeStraightTo8<Src16, 4>, nullptr},
    {IL_RGBA16, IL_BGR8, C, CompositeColorTo8Encoded<Src16, true>, nullptr},
    {IL_RGBPA16, IL_BGR8, C, CompositeColorTo8Encoded<Src16, true>, nullptr},
    {IL_BGRA_HALF, IL_BGR8, C, CompositeLinearTo8<SrcHalf, 4, false, 0, true>, nullptr},
    {IL_BGRPA_HALF, IL_BGR8, C, CompositeLinearTo8<SrcHalf, 4, false, 1, true>, nullptr},
    {IL_RGBA_HALF, IL_BGR8, C, CompositeLinearTo8<SrcHalf, 4, true, 2, false>, nullptr},
    {IL_RGBPA_HALF, IL_BGR8, C, CompositeLinearTo8<SrcHalf, 4, true, 2, false>, nullptr},
    {IL_BGRA_FLOAT, IL_BGR8, C, CompositeLinearTo8<SrcFloat, 4, false, 0, true>, nullptr},
    {IL_BGRPA_FLOAT, IL_BGR8, C, CompositeLinearTo8<SrcFloat, 4, false, 1, true>, nullptr},
    {IL_GREY_A_HALF, IL_BGR8, C, CompositeLinearTo8<SrcHalf, 2, false, 0, true>, nullptr},
    {IL_GREY_PA_HALF, IL_BGR8, C, CompositeLinearTo8<SrcHalf, 2, false, 1, true>, nullptr},
    {IL_GREY_A_FLOAT, IL_BGR8, C, CompositeLinearTo8<SrcFloat, 2, false, 0, true>, nullptr},
    {IL_GREY_PA_FLOAT, IL_BGR8, C, CompositeLinearTo8<SrcFloat, 2, false, 1, true>, nullptr},
    // Compositing into grey 8.
    {IL_GREY_A8, IL_GREY8, C, CompositeGreyToGrey8<Src8>, nullptr},
    {IL_GREY_PA8, IL_GREY8, C, CompositeGreyToGrey8<Src8>, nullptr},
    {IL_GREY_A16, IL_GREY8, C, CompositeGreyToGrey8<Src16>, nullptr},
    {IL_GREY_PA16, IL_GREY8, C, CompositeGreyToGrey8<Src16>, nullptr},
    {IL_GREY_A_HALF, IL_GREY8, C, CompositeLinearGreyToGrey8<SrcHalf>, nullptr},
    {IL_GREY_PA_HALF, IL_GREY8, C, CompositeLinearGreyToGrey8<SrcHalf>, nullptr},
    {IL_GREY_A_FLOAT, IL_GREY8, C, CompositeLinearGreyToGrey8<SrcFloat>, nullptr},
    {IL_GREY_PA_FLOAT, IL_GREY8, C, CompositeLinearGreyToGrey8<SrcFloat>, nullptr},
    // Compositing into 16-bit, float and half.
    {IL_BGRA16, IL_BGR16, C, CompositeBGRA16ToBGR16OrFloat<false>, nullptr},
    {IL_BGRPA16, IL_BGR16, C, CompositeBGRA16ToBGR16OrFloat<false>, nullptr},
    {IL_BGRA16, IL_BGR_FLOAT, C, CompositeBGRA16ToBGR16OrFloat<true>, nullptr},
    {IL_BGRPA16, IL_BGR_FLOAT, C, CompositeBGRA16ToBGR16OrFloat<true>, nullptr},
    {IL_GREY_A16, IL_GREY16, C, CompositeGreyA16ToGrey16, nullptr},
    {IL_GREY_PA16, IL_GREY16, C, CompositeGreyA16ToGrey16, nullptr},
    {IL_BGRA_HALF, IL_BGR_FLOAT, C, CompositeBGRAHalfToBGRHalfOrFloat<false>, nullptr},
    {IL_BGRPA_HALF, IL_BGR_FLOAT, C, CompositeBGRAHalfToBGRHalfOrFloat<false>, nullptr},
    {IL_BGRA_HALF, IL_BGR_HALF, C, CompositeBGRAHalfToBGRHalfOrFloat<true>, nullptr},
    {IL_BGRPA_HALF, IL_BGR_HALF, C, CompositeBGRAHalfToBGRHalfOrFloat<true>, nullptr},
    {IL_GREY_A_HALF, IL_BGR_FLOAT, C, CompositeGreyAHalfToBGRFloat, nullptr},
    {IL_GREY_PA_HALF, IL_BGR_FLOAT, C, CompositeGreyAHalfToBGRFloat, nullptr},
    {IL_GREY_A_HALF, IL_GREY_HALF, C, CompositeGreyAHalfToGreyHalf, nullptr},
    {IL_GREY_PA_HALF, IL_GREY_HALF, C, CompositeGreyAHalfToGreyHalf, nullptr},
    // Straight <-> premultiplied.
    {IL_GREY_A8, IL_GREY_PA8, A, AlphaForm8<2>, nullptr},
    {IL_GREY_PA8, IL_GREY_A8, A, AlphaForm8<2>, nullptr},
    {IL_BGRA8, IL_BGRPA8, A, AlphaForm8<4>, nullptr},
    {IL_BGRPA8, IL_BGRA8, A, AlphaForm8<4>, nullptr},
    {IL_GREY_A16, IL_GREY_PA16, A, AlphaForm16<2>, nullptr},
    {IL_GREY_PA16, IL_GREY_A16, A, AlphaForm16<2>, nullptr},
    {IL_BGRA16, IL_BGRPA16, A, AlphaForm16<4>, nullptr},
    {IL_BGRPA16, IL_BGRA16, A, AlphaForm16<4>, nullptr},
    {IL_GREY_A_HALF, IL_GREY_PA_HALF, A, AlphaFormHalf<2>, nullptr},
    {IL_GREY_PA_HALF, IL_GREY_A_HALF, A, AlphaFormHalf<2>, nullptr},
    {IL_BGRA_HALF, IL_BGRPA_HALF, A, AlphaFormHalf<4>, nullptr},
    {IL_BGRPA_HALF, IL_BGRA_HALF, A, AlphaFormHalf<4>, nullptr},
    // Grey with alpha 8 into packed grey.
    {IL_GREY_A8, IL_GREY1, A, GreyA8ToGrey1, nullptr},
    {IL_GREY_PA8, IL_GREY1, A, GreyA8ToGrey1, nullptr},
    {IL_GREY_A8, IL_GREY2, A, GreyA8ToGrey2, nullptr},
    {IL_GREY_PA8, IL_GREY2, A, GreyA8ToGrey2, nullptr},
    {IL_GREY_A8, IL_GREY4, A, GreyA8ToGrey4, nullptr},
    {IL_GREY_PA8, IL_GREY4, A, GreyA8ToGrey4, nullptr},
    // lcms2 transform, alpha carried over.
    {IL_GREY_A8, IL_GREY_A8, T, TransformCarryAlpha<1, 2, 2>, nullptr},
    {IL_BGRA8, IL_BGRA8, T, TransformCarryAlpha<1, 4, 4>, nullptr},
    {IL_CMYK_A8, IL_BGRA8, T, TransformCarryAlpha<1, 5, 4>, nullptr},
    {IL_GREY_A16, IL_GREY_A16, T, TransformCarryAlpha<2, 2, 2>, nullptr},
    {IL_BGRA16, IL_BGRA16, T, TransformCarryAlpha<2, 4, 4>, nullptr},
    {IL_CMYK_A16, IL_BGRA16, T, TransformCarryAlpha<2, 5, 4>, nullptr},
    {IL_GREY_A_HALF, IL_GREY_A_HALF, T, TransformCarryAlpha<2, 2, 2>, nullptr},
    {IL_BGRA_HALF, IL_BGRA_HALF, T, TransformCarryAlpha<2, 4, 4>, nullptr},
    {IL_CMYK_A_HALF, IL_BGRA_HALF, T, TransformCarryAlpha<2, 5, 4>, nullptr},
    {IL_GREY_A_FLOAT, IL_GREY_A_FLOAT, T, TransformCarryAlpha<4, 2, 2>, nullptr},
    {IL_BGRA_FLOAT, IL_BGRA_FLOAT, T, TransformCarryAlpha<4, 4, 4>, nullptr},
    {IL_CMYK_A_FLOAT, IL_BGRA_FLOAT, T, TransformCarryAlpha<4, 5, 4>, nullptr},
};

} // namespace

std::span<const ILKernelEntry> ILKernelsAlphaForm() {
    return kEntries;
}
