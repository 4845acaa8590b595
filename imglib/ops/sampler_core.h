// The arithmetic the cosine-weighted samplers share, inline so that the
// transformer's per-pixel loop for 8-bit images can use it without a call
// per sample: neighbours and weights of a position, and the 8-bit sampler
// that reads rows directly.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "imglib/convert/srgb.h"
#include "imglib/image.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/simd.h"
#include "imglib/ops/srgb8_encoder.h"

namespace ilsample {

inline constexpr float kPi = 3.1415927f;

// (1 + cos(pi f)) / 2 for f in [0, 1): cosf's values at 4096 steps,
// interpolated linearly (within 1e-7 of cosf everywhere, exact at the steps,
// among them the pixel centre f = 0). A call of cosf per weight was most of
// the samplers' time.
struct CosineTable {
    static constexpr int kSteps = 4096;
    float w[kSteps + 2];
};
extern const CosineTable kCosineTable;

inline float CosineWeight(const CosineTable& t, float f) {
    const float at = f * CosineTable::kSteps;
    if (!(at >= 0.0f && at <= CosineTable::kSteps)) return f; // NaN stays NaN
    const int i = static_cast<int>(at);
    return t.w[i] + (at - static_cast<float>(i)) * (t.w[i + 1] - t.w[i]);
}

// The four neighbours of (x, y), in the order (x0, y0), (x1, y0), (x0, y1),
// (x1, y1), and their weights.
struct Neighbours {
    int32_t x0, x1, y0, y1;
    float w[4];
};

// ILFloorF and the fraction x - floor(x) at once. Outside the i32 range and
// for NaN the floor is INT32_MIN (outside every image) and the fraction NaN.
inline int32_t Floor(float x, float* fraction) {
    if (!(x >= -2147483648.0f && x < 2147483648.0f)) {
        *fraction = NAN;
        return INT32_MIN;
    }
    int32_t t = static_cast<int32_t>(x);
    t -= static_cast<float>(t) > x;
    *fraction = x - static_cast<float>(t); // exact: below 2^24 t is a float, above x is whole
    return t;
}

inline Neighbours Around(float x, float y) {
    const CosineTable& table = kCosineTable;
    x -= 0.5f;
    y -= 0.5f;
    Neighbours n;
    float fx, fy;
    n.x0 = Floor(x, &fx);
    n.y0 = Floor(y, &fy);
    // ceil: x0 for an integral x, x0 + 1 otherwise (also for NaN, where x0
    // already lies outside).
    n.x1 = fx == 0.0f ? n.x0 : n.x0 + 1;
    n.y1 = fy == 0.0f ? n.y0 : n.y0 + 1;
    const float wx = CosineWeight(table, fx);
    const float wy = CosineWeight(table, fy);
    n.w[0] = wx * wy;
    n.w[1] = (1.0f - wx) * wy;
    n.w[2] = wx * (1.0f - wy);
    n.w[3] = (1.0f - wx) * (1.0f - wy);
    return n;
}

inline int32_t WrapIndex(int32_t i, int32_t n) {
    if (i < 0) i = n - 1;
    if (i > n - 1) i = 0;
    return i;
}

// A weighted sum of codes rounded to nearest and clamped; NaN gives 0.
// Rounding, not truncating: an opaque alpha of 255 must not become 254
// where the weights sum a hair below 1.
template <class T>
T RoundCode(float v, float max) {
    if (!(v > 0.0f)) return 0;
    if (v >= max) return static_cast<T>(max);
    return static_cast<T>(v + 0.5f);
}

// The cosine-weighted sample of an 8-bit image of C channels (the last an
// extra channel when Extra) at (x, y): into linear floats when linear is
// given, else into a raw pixel. Outside the source either wrap-around or the
// background pixel, which blends in along the border.
template <uint32_t C, bool Extra, bool Wrap>
inline void Sample8(const ILImage* s, float x, float y, const uint8_t* background, float* linear,
                    uint8_t* raw) {
    Neighbours n = Around(x, y);
    const int32_t w = static_cast<int32_t>(s->width), h = static_cast<int32_t>(s->height);
    const uint8_t* p[4];
    if constexpr (Wrap) {
        n.x0 = WrapIndex(n.x0, w), n.x1 = WrapIndex(n.x1, w);
        n.y0 = WrapIndex(n.y0, h), n.y1 = WrapIndex(n.y1, h);
        const uint8_t* r0 = s->data + static_cast<int64_t>(n.y0) * s->stride;
        const uint8_t* r1 = s->data + static_cast<int64_t>(n.y1) * s->stride;
        p[0] = r0 + n.x0 * C, p[1] = r0 + n.x1 * C, p[2] = r1 + n.x0 * C, p[3] = r1 + n.x1 * C;
    } else {
        if (n.x1 < 0 || n.x0 >= w || n.y1 < 0 || n.y0 >= h) {
            if (raw) {
                std::memcpy(raw, background, C);
            } else {
                for (uint32_t ch = 0; ch < C; ++ch)
                    linear[ch] = Extra && ch == C - 1 ? background[ch] / 255.0f
                                                      : ILSrgbTable8[background[ch]];
            }
            return;
        }
        const bool left = n.x0 >= 0, right = n.x1 < w, top = n.y0 >= 0, bottom = n.y1 < h;
        const uint8_t* r0 = s->data + static_cast<int64_t>(n.y0) * s->stride;
        const uint8_t* r1 = s->data + static_cast<int64_t>(n.y1) * s->stride;
        p[0] = left && top ? r0 + n.x0 * C : background;
        p[1] = right && top ? r0 + n.x1 * C : background;
        p[2] = left && bottom ? r1 + n.x0 * C : background;
        p[3] = right && bottom ? r1 + n.x1 * C : background;
    }
    const float* table = ILSrgbTable8;
    static const ILSrgb8Encoder& encoder = ILGetSrgb8Encoder();
    constexpr uint32_t colour = Extra ? C - 1 : C;
    for (uint32_t ch = 0; ch < colour; ++ch) {
        const float sum = n.w[0] * table[p[0][ch]] + n.w[1] * table[p[1][ch]] +
                          n.w[2] * table[p[2][ch]] + n.w[3] * table[p[3][ch]];
        if (raw) {
            raw[ch] = encoder(sum);
        } else {
            linear[ch] = sum;
        }
    }
    if constexpr (Extra) {
        constexpr uint32_t ch = C - 1;
        const float sum =
            n.w[0] * static_cast<float>(p[0][ch]) + n.w[1] * static_cast<float>(p[1][ch]) +
            n.w[2] * static_cast<float>(p[2][ch]) + n.w[3] * static_cast<float>(p[3][ch]);
        if (raw)
            raw[ch] = RoundCode<uint8_t>(sum, 255.0f);
        else
            linear[ch] = sum / 255.0f;
    }
}

// Whether all four points lie so far outside the source that Sample8
// without wrap-around gives the background: both neighbours of a point in
// x or in y beyond the source (ceil(x - 0.5) < 0 or floor(x - 0.5) >= width;
// NaN too). Sizes from 2^24 on are not exact floats: false then.
inline bool Outside4(const ILImage* s, ILFloat4 x, ILFloat4 y) {
    if (s->width >= (1u << 24) || s->height >= (1u << 24)) return false;
    x -= 0.5f;
    y -= 0.5f;
    const ILFloat4 w = ILSplat4(static_cast<float>(s->width)),
                   h = ILSplat4(static_cast<float>(s->height));
    const ILInt4 outside = ~(x > -1.0f) | (x >= w) | ~(y > -1.0f) | (y >= h);
    return outside[0] & outside[1] & outside[2] & outside[3];
}

// Sample8 without wrap-around, into raw pixels, at four points at once: each
// lane does the scalar arithmetic in the same order, so the pixels are
// Sample8's bit for bit. Only for points whose four neighbours all lie in
// the source (false, and nothing written, otherwise), which is most of a
// turned or scaled image.
template <uint32_t C, bool Extra>
inline bool Sample8x4(const ILImage* s, ILFloat4 x, ILFloat4 y, uint8_t* out) {
    x -= 0.5f;
    y -= 0.5f;
    // Below 2^24 the sizes and the positions near them are exact floats.
    if (s->width >= (1u << 24) || s->height >= (1u << 24)) return false;
    const float w1 = static_cast<float>(s->width) - 1.0f, h1 = static_cast<float>(s->height) - 1.0f;
    // Also false for NaN; x below w - 1 keeps x0 + 1 inside.
    const ILInt4 inside = (x >= 0.0f) & (x < w1) & (y >= 0.0f) & (y < h1);
    if (!(inside[0] & inside[1] & inside[2] & inside[3])) return false;
    // Truncation is the floor here: the points are not negative. The second
    // neighbour is always x0 + 1 (inside, as x < w - 1): where the fraction
    // is 0 the one-point form takes x0 again, but its weight is then exactly
    // 0 and its term adds +0, so the sums are the same.
    const ILInt4 x0 = __builtin_convertvector(x, ILInt4), y0 = __builtin_convertvector(y, ILInt4);
    const ILFloat4 fx = x - __builtin_convertvector(x0, ILFloat4);
    const ILFloat4 fy = y - __builtin_convertvector(y0, ILFloat4);
    const CosineTable& table = kCosineTable;
    auto weight = [&table](ILFloat4 f) {
        const ILFloat4 at = f * static_cast<float>(CosineTable::kSteps);
        const ILInt4 i = __builtin_convertvector(at, ILInt4);
        const ILFloat4 lo = {table.w[i[0]], table.w[i[1]], table.w[i[2]], table.w[i[3]]};
        const ILFloat4 hi = {table.w[i[0] + 1], table.w[i[1] + 1], table.w[i[2] + 1],
                             table.w[i[3] + 1]};
        return lo + (at - __builtin_convertvector(i, ILFloat4)) * (hi - lo);
    };
    const ILFloat4 wx = weight(fx), wy = weight(fy);
    const ILFloat4 w[4] = {wx * wy, (1.0f - wx) * wy, wx * (1.0f - wy), (1.0f - wx) * (1.0f - wy)};
    const uint8_t* p0[4]; // the (x0, y0) neighbour of each lane; its row's next pixel is x1
    const uint8_t* p2[4]; // (x0, y1)
    for (int k = 0; k < 4; ++k) {
        p0[k] = s->data + static_cast<int64_t>(y0[k]) * s->stride + x0[k] * C;
        p2[k] = p0[k] + s->stride;
    }
    const float* t = ILSrgbTable8;
    static const ILSrgb8Encoder& encoder = ILGetSrgb8Encoder();
    constexpr uint32_t colour = Extra ? C - 1 : C;
    // Lane by lane with scalar operations: a table value is an operand of
    // its product, where building vectors of them took a shuffle each.
    alignas(16) float lanes[4][4];
    for (int j = 0; j < 4; ++j)
        ILStore4(lanes[j], w[j]);
    for (int k = 0; k < 4; ++k) {
        const uint8_t *a = p0[k], *b = p2[k];
        for (uint32_t ch = 0; ch < colour; ++ch)
            out[k * C + ch] = encoder(lanes[0][k] * t[a[ch]] + lanes[1][k] * t[a[C + ch]] +
                                      lanes[2][k] * t[b[ch]] + lanes[3][k] * t[b[C + ch]]);
    }
    if constexpr (Extra) {
        constexpr uint32_t ch = C - 1;
        auto lanes = [](const uint8_t* const* p, uint32_t i) {
            return ILFloat4{static_cast<float>(p[0][i]), static_cast<float>(p[1][i]),
                            static_cast<float>(p[2][i]), static_cast<float>(p[3][i])};
        };
        const ILFloat4 sum = w[0] * lanes(p0, ch) + w[1] * lanes(p0, C + ch) +
                             w[2] * lanes(p2, ch) + w[3] * lanes(p2, C + ch);
        for (int k = 0; k < 4; ++k)
            out[k * C + ch] = RoundCode<uint8_t>(sum[k], 255.0f);
    }
    return true;
}

} // namespace ilsample
