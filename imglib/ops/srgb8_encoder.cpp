#include "imglib/ops/srgb8_encoder.h"

#include <array>
#include <memory>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "imglib/convert/converter.h"
#include "imglib/convert/srgb.h"

namespace {

float FromBits(uint32_t bits) {
    float x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// Any non-decreasing code of x that is 0 up to 0 and 255 from 1.
template <typename Code>
ILSrgb8Encoder Build(Code code) {
    ILSrgb8Encoder e{};
    e.thresholds[0] = 0.0f;
    for (uint32_t k = 1; k < 256; ++k) {
        // Smallest positive float whose code is at least k.
        uint32_t lo = 0, hi = 0x3F800000; // code(lo) < k <= code(hi)
        while (hi - lo > 1) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (code(FromBits(mid)) >= k)
                hi = mid;
            else
                lo = mid;
        }
        e.thresholds[k] = FromBits(hi);
    }
    e.thresholds[256] = e.thresholds[257] = std::numeric_limits<float>::infinity();
    for (uint32_t b = 0; b < ILSrgb8Encoder::kBuckets; ++b)
        e.base[b] = code(FromBits(b << 16));
    return e;
}

} // namespace

const ILSrgb8Encoder& ILGetSrgb8Encoder() {
    static const ILSrgb8Encoder encoder = Build(ILLinearToSrgb8);
    return encoder;
}

const ILSrgb8Encoder& ILGetDitheredSrgb8Encoder(uint32_t phase) {
    static const auto encoders = [] {
        auto all = std::make_unique<std::array<ILSrgb8Encoder, 16>>();
        for (uint32_t i = 0; i < 16; ++i) {
            const float d = ILOrderedDitherF[i];
            (*all)[i] =
                Build([d](float x) { return static_cast<uint8_t>(ILLinearToSrgb8F(x) + d); });
        }
        return all;
    }();
    return (*encoders)[phase & 15];
}

namespace {

void EncodeOneByOne(const float* v, uint8_t* codes, size_t count, uint32_t y) {
    const ILSrgb8Encoder* e[4];
    for (uint32_t x = 0; x < 4; ++x)
        e[x] = &ILGetDitheredSrgb8Encoder(4 * x + (y & 3));
    for (size_t x = 0; x < count; ++x)
        codes[x] = (*e[x & 3])(v[x]);
}

#if defined(__x86_64__)
// Above the linear segment the code is (1.055 x^(5/12) - 0.055) 255 + d,
// truncated. With x = 2^e m (e from -9 to -1 there, m in [1, 2)),
// x^(5/12) is 2^(5e/12), from a table, times m^(5/12), from a polynomial in
// m - 1.5 within 2e-6 of it: within 0.0006 of the encoders' code value.
// A value whose fraction lies within 0.001 of a whole number could
// truncate to either side and is encoded one by one; the linear segment and
// the ends are the encoders' own arithmetic.
__attribute__((target("avx2"))) void EncodeEight(const float* v, uint8_t* codes, size_t count,
                                                 uint32_t y) {
    alignas(32) float dither[8];
    for (uint32_t k = 0; k < 8; ++k)
        dither[k] = ILOrderedDitherF[4 * (k & 3) + (y & 3)];
    const __m256 d = _mm256_load_ps(dither);
    // 2^(5e/12) for e = -1 - i, i from 0 to 7; e = -9 apart.
    alignas(32) float scales[8];
    for (int i = 0; i < 8; ++i)
        scales[i] = static_cast<float>(std::exp2(5.0 * (-1 - i) / 12));
    const __m256 scale = _mm256_load_ps(scales);
    const __m256 scaleLast = _mm256_set1_ps(static_cast<float>(std::exp2(-45.0 / 12)));
    const __m256 one = _mm256_set1_ps(1.0f), zero = _mm256_setzero_ps();
    const __m256 knee = _mm256_set1_ps(0.0031308f);
    for (size_t x = 0; x < count; x += 8) {
        const __m256 value = _mm256_loadu_ps(v + x);
        const __m256i bits = _mm256_castps_si256(value);
        const __m256i index =
            _mm256_sub_epi32(_mm256_set1_epi32(126), _mm256_srli_epi32(bits, 23)); // -1 - e
        const __m256 m = _mm256_castsi256_ps(_mm256_or_si256(
            _mm256_and_si256(bits, _mm256_set1_epi32(0x7FFFFF)), _mm256_castps_si256(one)));
        const __m256 t = _mm256_sub_ps(m, _mm256_set1_ps(1.5f));
        __m256 p = _mm256_set1_ps(0.0051434882916510105f);
        p = _mm256_add_ps(_mm256_mul_ps(p, t), _mm256_set1_ps(-0.010651430115103722f));
        p = _mm256_add_ps(_mm256_mul_ps(p, t), _mm256_set1_ps(0.022452693432569504f));
        p = _mm256_add_ps(_mm256_mul_ps(p, t), _mm256_set1_ps(-0.06386105716228485f));
        p = _mm256_add_ps(_mm256_mul_ps(p, t), _mm256_set1_ps(0.3289044499397278f));
        p = _mm256_add_ps(_mm256_mul_ps(p, t), _mm256_set1_ps(1.1840523481369019f));
        const __m256 last = _mm256_castsi256_ps(_mm256_cmpeq_epi32(index, _mm256_set1_epi32(8)));
        const __m256 power = _mm256_mul_ps(
            p, _mm256_blendv_ps(_mm256_permutevar8x32_ps(scale, index), scaleLast, last));
        const __m256 curve = _mm256_add_ps(
            _mm256_mul_ps(
                _mm256_sub_ps(_mm256_mul_ps(_mm256_set1_ps(1.055f), power), _mm256_set1_ps(0.055f)),
                _mm256_set1_ps(255.0f)),
            d);
        const __m256 line = _mm256_add_ps(
            _mm256_mul_ps(_mm256_mul_ps(_mm256_set1_ps(12.92f), value), _mm256_set1_ps(255.0f)), d);
        const __m256 onCurve = _mm256_and_ps(_mm256_cmp_ps(value, knee, _CMP_GT_OQ),
                                             _mm256_cmp_ps(value, one, _CMP_LT_OQ));
        const __m256 fraction =
            _mm256_sub_ps(curve, _mm256_round_ps(curve, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
        const __m256 edge = _mm256_and_ps(
            onCurve, _mm256_or_ps(_mm256_cmp_ps(fraction, _mm256_set1_ps(0.001f), _CMP_LT_OQ),
                                  _mm256_cmp_ps(fraction, _mm256_set1_ps(0.999f), _CMP_GT_OQ)));
        __m256 code = _mm256_blendv_ps(line, curve, onCurve);
        code =
            _mm256_blendv_ps(code, _mm256_set1_ps(255.0f), _mm256_cmp_ps(value, one, _CMP_GE_OQ));
        code = _mm256_and_ps(code, _mm256_cmp_ps(value, zero, _CMP_GT_OQ)); // 0 for NaN too
        const __m256i whole = _mm256_cvttps_epi32(code);
        const __m128i words =
            _mm_packus_epi32(_mm256_castsi256_si128(whole), _mm256_extracti128_si256(whole, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(codes + x), _mm_packus_epi16(words, words));
        if (_mm256_movemask_ps(edge)) {
            const int lanes = _mm256_movemask_ps(edge);
            for (uint32_t k = 0; k < 8; ++k)
                if (lanes >> k & 1)
                    codes[x + k] = ILGetDitheredSrgb8Encoder(4 * (k & 3) + (y & 3))(v[x + k]);
        }
    }
}
#endif

} // namespace

void ILEncodeDitheredSrgb8(const float* v, uint8_t* codes, size_t count, uint32_t y,
                           ILLanes lanes) {
#if defined(__x86_64__)
    if (lanes >= ILLanes::k8) return EncodeEight(v, codes, count, y);
#endif
    EncodeOneByOne(v, codes, count, y);
}
