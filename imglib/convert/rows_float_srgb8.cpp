// Linear float grey and colour into dithered 8-bit sRGB: the row kernels
// behind showing a float image, so they avoid the per-sample branches of the
// generic kernel and give exactly its codes.
//
// The dither offsets repeat every four pixels, so a row goes in groups of
// four with the four columns' step entries at hand. A group clamps its
// samples to 0..1 in the float domain (max and min also send NaN and -0 to
// 0), takes the step indices of all of them at once, looks the entries up
// one by one and turns entry plus low bits into codes at once again. The
// clamp changes no code: every float below the first step bucket encodes to
// 0 like 0 itself, and the last bucket starts at 1.0 with 255 and no step.
// The pixels after the last whole group (all of them without SSE2) take the
// same steps one sample at a time.
#include "imglib/convert/rows_samples.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ilrows {

namespace {

constexpr int32_t kFirst = ILSrgb8DitherTables::kStepFirst;

// The generic kernel of the same pair, for offsets without step entries.
template <int SN, bool SA, int TN, bool Reverse>
constexpr ILRowKernel Generic =
    ConvertRow<ReadFloat, SN, std::conditional_t<SA, ReadFloat, NoAlpha>, SA, W8, TN, NoAlpha,
               false, Reverse>;

// One sample: its step entry plus the low bits of the clamped float, whose
// top 16 bits are the code.
inline uint32_t StepSum(const uint32_t* steps, float x) {
    float v = x > 0.0f ? x : 0.0f;
    v = v < 1.0f ? v : 1.0f;
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const uint32_t bucket = bits >> 16;
    const uint32_t index = bucket > uint32_t{kFirst} ? bucket - kFirst : 0;
    return steps[index] + (bits & 0xFFFF);
}

#if defined(__SSE2__)

// Clamps the group's samples to 0..1 (their bits go to `bits`) and stores
// their step indices; Lanes is a multiple of 4.
template <int Lanes>
inline void GroupIndices(const uint8_t* s, uint32_t* bits, uint16_t* index) {
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    const __m128i first = _mm_set1_epi16(kFirst);
    __m128i b[Lanes / 4];
    for (int v = 0; v < Lanes / 4; ++v) {
        const __m128 f = _mm_loadu_ps(reinterpret_cast<const float*>(s) + 4 * v);
        b[v] = _mm_castps_si128(_mm_min_ps(_mm_max_ps(f, zero), one));
        _mm_store_si128(reinterpret_cast<__m128i*>(bits) + v, b[v]);
    }
    // Buckets fit 16 bits; the saturating subtraction clamps the low end.
    for (int v = 0; v + 2 <= Lanes / 4; v += 2) {
        const __m128i buckets =
            _mm_packs_epi32(_mm_srli_epi32(b[v], 16), _mm_srli_epi32(b[v + 1], 16));
        _mm_store_si128(reinterpret_cast<__m128i*>(index + 4 * v), _mm_subs_epu16(buckets, first));
    }
    if constexpr (Lanes % 8 != 0) {
        const __m128i buckets = _mm_srli_epi32(b[Lanes / 4 - 1], 16);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(index + Lanes - 4),
                         _mm_subs_epu16(_mm_packs_epi32(buckets, buckets), first));
    }
}

// Stores the codes (the top 16 bits) of N sums, N 4 or 12.
template <int N>
inline void StoreCodes(const uint32_t* sums, uint8_t* t) {
    const __m128i* e = reinterpret_cast<const __m128i*>(sums);
    const __m128i r0 = _mm_srli_epi32(_mm_load_si128(e), 16);
    if constexpr (N == 4) {
        const __m128i w = _mm_packus_epi16(_mm_packs_epi32(r0, r0), r0);
        const uint32_t codes = static_cast<uint32_t>(_mm_cvtsi128_si32(w));
        std::memcpy(t, &codes, 4);
    } else {
        const __m128i r1 = _mm_srli_epi32(_mm_load_si128(e + 1), 16);
        const __m128i r2 = _mm_srli_epi32(_mm_load_si128(e + 2), 16);
        const __m128i w = _mm_packus_epi16(_mm_packs_epi32(r0, r1), _mm_packs_epi32(r2, r2));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(t), w);
        const uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(w, 8)));
        std::memcpy(t + 8, &last, 4);
    }
}

#endif

} // namespace

template <int SN, bool SA, int TN, bool Reverse>
void FloatToSrgb8(ILConverter* c, const void* source, void* target) {
    constexpr int kStride = SN + SA; // floats a source pixel
    const RowDither dither(c, true);
    const uint32_t* steps[4];
    for (int j = 0; j < 4; ++j) {
        steps[j] = dither.column[j].steps;
        if (!steps[j]) return Generic<SN, SA, TN, Reverse>(c, source, target);
    }
    const uint8_t* s = static_cast<const uint8_t*>(source);
    uint8_t* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    uint64_t x = 0;
#if defined(__SSE2__)
    for (; x + 4 <= n; x += 4, s += 16 * kStride, t += 4 * TN) {
        alignas(16) uint32_t bits[4 * kStride];
        alignas(16) uint16_t index[4 * kStride];
        GroupIndices<4 * kStride>(s, bits, index);
        alignas(16) uint32_t sums[4 * TN];
#pragma GCC unroll 4
        for (int j = 0; j < 4; ++j) {
            const uint32_t* p = steps[j];
            const int k = j * kStride;
            if constexpr (SN == 1) {
                const uint32_t sum = p[index[k]] + (bits[k] & 0xFFFF);
#pragma GCC unroll 3
                for (int i = 0; i < TN; ++i)
                    sums[j * TN + i] = sum;
            } else {
#pragma GCC unroll 3
                for (int i = 0; i < 3; ++i)
                    sums[j * 3 + (Reverse ? 2 - i : i)] = p[index[k + i]] + (bits[k + i] & 0xFFFF);
            }
        }
        StoreCodes<4 * TN>(sums, t);
    }
#endif
    for (; x < n; ++x, s += 4 * kStride, t += TN) {
        const uint32_t* p = steps[x & 3];
        if constexpr (SN == 1) {
            const uint8_t code = static_cast<uint8_t>(StepSum(p, Load<float>(s)) >> 16);
            for (int i = 0; i < TN; ++i)
                t[i] = code;
        } else {
            for (int i = 0; i < 3; ++i)
                t[Reverse ? 2 - i : i] =
                    static_cast<uint8_t>(StepSum(p, Load<float>(s + 4 * i)) >> 16);
        }
    }
    AdvanceDither(c);
}

template void FloatToSrgb8<3, false, 3, false>(ILConverter*, const void*, void*);
template void FloatToSrgb8<3, false, 3, true>(ILConverter*, const void*, void*);
template void FloatToSrgb8<3, true, 3, false>(ILConverter*, const void*, void*);
template void FloatToSrgb8<3, true, 3, true>(ILConverter*, const void*, void*);
template void FloatToSrgb8<1, false, 1, false>(ILConverter*, const void*, void*);
template void FloatToSrgb8<1, false, 3, false>(ILConverter*, const void*, void*);
template void FloatToSrgb8<1, true, 1, false>(ILConverter*, const void*, void*);
template void FloatToSrgb8<1, true, 3, false>(ILConverter*, const void*, void*);

} // namespace ilrows
