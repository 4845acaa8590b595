// The busiest plain 8-bit kernels written with SSE2 (which every x86-64
// processor has): 16-bit samples narrowed to 8 bits with the dither offsets,
// and B, G, R 8 exchanged into R, G, B 8. Each gives exactly the bytes of
// its scalar counterpart and stays inside its rows.
#include <emmintrin.h>

#include "imglib/convert/rows_8bit.h"

namespace {

uint8_t Narrow(uint16_t v, int32_t d) {
    return static_cast<uint8_t>((v + static_cast<uint32_t>(d)) / 257u);
}

} // namespace

// (v + d) div 257 for d in 0..256: the sum saturated at 65535 keeps the
// quotient (65535 + 256 < 256 x 257), and for any 16-bit s, s div 257 is
// (s x 0xFF01) >> 24, as 257 x 0xFF01 = 2^24 + 1. Sixteen pixels a step; the
// offsets repeat every four pixels, so one set of lanes serves every step.
template <int N>
void ILRowNarrow16To8(ILConverter* c, const void* source, void* target) {
    const ILDitherOffsets o = ILRowDitherOffsets(c);
    const auto* s = static_cast<const uint16_t*>(source);
    auto* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    __m128i offsets[2 * N];
    for (int r = 0; r < 2 * N; ++r) {
        alignas(16) uint16_t lanes[8];
        for (int j = 0; j < 8; ++j)
            lanes[j] = static_cast<uint16_t>(o.d[((8 * r + j) / N) & 3]);
        offsets[r] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
    }
    const __m128i reciprocal = _mm_set1_epi16(static_cast<short>(0xFF01));
    uint64_t x = 0;
    for (; x + 16 <= n; x += 16, s += 16 * N, t += 16 * N) {
        for (int r = 0; r < N; ++r) {
            __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * r));
            __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16 * r + 8));
            lo = _mm_srli_epi16(_mm_mulhi_epu16(_mm_adds_epu16(lo, offsets[2 * r]), reciprocal), 8);
            hi = _mm_srli_epi16(_mm_mulhi_epu16(_mm_adds_epu16(hi, offsets[2 * r + 1]), reciprocal),
                                8);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 16 * r), _mm_packus_epi16(lo, hi));
        }
    }
    for (; x < n; ++x, s += N, t += N)
        for (int k = 0; k < N; ++k)
            t[k] = Narrow(s[k], o.d[x & 3]);
    ILAdvanceDitherRow(c);
}

template void ILRowNarrow16To8<1>(ILConverter*, const void*, void*);
template void ILRowNarrow16To8<2>(ILConverter*, const void*, void*);
template void ILRowNarrow16To8<3>(ILConverter*, const void*, void*);
template void ILRowNarrow16To8<4>(ILConverter*, const void*, void*);

// Windows of 16 bytes starting at every fifth pixel: the first and last
// sample of each pixel trade places by two-byte shifts of the window. A
// window's sixteenth byte (the next pixel's first) comes out wrong and is
// written again by the next window or the scalar tail, which also leaves the
// last pixel, so no window reaches past the row.
void ILRowSwapBGR8(ILConverter* c, const void* source, void* target) {
    const auto* s = static_cast<const uint8_t*>(source);
    auto* t = static_cast<uint8_t*>(target);
    const uint64_t n = c->width;
    const __m128i first = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0);
    const __m128i middle = _mm_slli_si128(first, 1);
    const __m128i last = _mm_slli_si128(first, 2);
    uint64_t x = 0;
    for (; x + 6 <= n; x += 5, s += 15, t += 15) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i swapped = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(_mm_srli_si128(v, 2), first), _mm_and_si128(v, middle)),
            _mm_and_si128(_mm_slli_si128(v, 2), last));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t), swapped);
    }
    for (; x < n; ++x, s += 3, t += 3) {
        const uint8_t b = s[0];
        t[0] = s[2];
        t[1] = s[1];
        t[2] = b;
    }
}
