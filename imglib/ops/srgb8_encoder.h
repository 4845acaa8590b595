// ILLinearToSrgb8 without a power function per sample. The encoder is a
// non-decreasing step function of x, so the smallest float at which each
// code starts describes it fully; the thresholds are found from the encoder
// itself (by bisection over the float bit patterns), so the lookup gives its
// codes bit for bit. The top 16 bits of x pick a bucket whose base is the
// code at the bucket's lowest float; the curve climbs less than one code per
// bucket, so two compares finish.
#pragma once

#include <cstdint>
#include <cstring>

#include "imglib/ops/simd.h"

struct ILSrgb8Encoder {
    static constexpr uint32_t kBuckets = 0x3F80; // floats below 1.0, by their top 16 bits
    uint8_t base[kBuckets];
    float thresholds[258]; // smallest float of code k; 256 and 257 are +infinity

    uint8_t operator()(float x) const {
        if (!(x > 0.0f)) return 0;
        if (x >= 1.0f) return 255;
        uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        const uint32_t k = base[bits >> 16];
        return static_cast<uint8_t>(k + (x >= thresholds[k + 1]) + (x >= thresholds[k + 2]));
    }

    // The codes of four values at once, without a branch per value (the
    // lanes' arithmetic is the one-value form's).
    ILInt4 operator()(ILFloat4 x) const {
        ILInt4 bits;
        std::memcpy(&bits, &x, sizeof bits);
        ILInt4 bucket = bits >> 16; // negative for negative x, beyond kBuckets from 1.0 on
        bucket = bucket < 0 ? 0 : bucket;
        bucket = bucket < static_cast<int32_t>(kBuckets) ? bucket : 0;
        const ILInt4 k = {base[bucket[0]], base[bucket[1]], base[bucket[2]], base[bucket[3]]};
        const ILFloat4 t1 = {thresholds[k[0] + 1], thresholds[k[1] + 1], thresholds[k[2] + 1],
                             thresholds[k[3] + 1]};
        const ILFloat4 t2 = {thresholds[k[0] + 2], thresholds[k[1] + 2], thresholds[k[2] + 2],
                             thresholds[k[3] + 2]};
        const ILInt4 code = k - (x >= t1) - (x >= t2); // a true comparison is -1
        return x >= 1.0f ? 255 : (x > 0.0f ? code : 0);
    }
};

// Built on first use (thread-safe), constant afterwards.
const ILSrgb8Encoder& ILGetSrgb8Encoder();
// The same for the dithered encoding truncate(ILLinearToSrgb8F(x) + d), d
// the ordered-dither value ILOrderedDitherF[phase], phase 4 (x mod 4) +
// (y mod 4).
const ILSrgb8Encoder& ILGetDitheredSrgb8Encoder(uint32_t phase);

// The dithered codes of row y's linear values v[0, count), count a multiple
// of eight, value x at phase 4 (x mod 4) + (y mod 4): exactly the encoders'
// codes. With eight lanes (AVX2) the power comes from a polynomial and the
// few values within its error of a code's edge go to the encoders.
void ILEncodeDitheredSrgb8(const float* v, uint8_t* codes, size_t count, uint32_t y, ILLanes lanes);
