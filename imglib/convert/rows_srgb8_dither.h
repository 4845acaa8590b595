// ILLinearToSrgb8Dither without a power function per sample, for the sixteen
// dither offsets (2b + 1) / 32 that the converter's matrices hold (the
// "dithering off" offset 0.46875 is one of them).
//
// For a fixed offset the encoder is a non-decreasing step function of x, so
// it is fully described by the smallest float at which each code 1..255
// starts. The tables are derived from ILLinearToSrgb8Dither itself on first
// use, and a test compares the lookup with the encoder over every float, so
// the two agree bit for bit on whatever libm the library runs with.
//
// Lookup: the top 16 bits of x pick a bucket whose base code is the encoder's
// value at the bucket's lowest float and the smallest offset; within a bucket
// the code rises by at most two (the curve climbs less than one code per
// bucket and the offsets span less than one), so two threshold compares
// finish the job.
//
// Step entries serve kernels that look up many samples at once: one 32-bit
// entry per offset and bucket, so that a sample costs a single load and an
// add. For a fixed offset the curve climbs less than one code per bucket, so
// a bucket holds at most one step: the entry is the code at the bucket's
// lowest float times 65536, plus 65536 minus the low 16 bits of the float
// where the next code starts (0 when that float lies beyond the bucket).
// Adding the low 16 bits of x then carries into the code exactly from that
// float on. Buckets are clamped to kStepFirst..kStepLast: every float below
// kStepFirst encodes to 0 and the last bucket starts at 1.0.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "imglib/convert/srgb.h"

struct ILSrgb8DitherTables {
    static constexpr uint32_t kBuckets = 0x3F80; // floats below 1.0, by their top 16 bits
    uint8_t base[kBuckets];
    // thresholds[b][k]: smallest float whose code is at least k under the
    // offset (2b + 1) / 32; entries 256 and 257 are +infinity.
    float thresholds[16][258];

    static constexpr int32_t kStepFirst = 0x3700; // 2^-17
    static constexpr int32_t kStepLast = 0x3F80;  // 1.0
    static constexpr int32_t kStepCount = kStepLast - kStepFirst + 1;
    // steps[b][i - kStepFirst] for bucket i under the offset (2b + 1) / 32.
    uint32_t steps[16][kStepCount];
    bool hasSteps; // false when the curve does not fit one step per bucket
};

// The tables, built on first use; null when they could not be made.
const ILSrgb8DitherTables* ILSrgb8DitherTablesGet();

// The threshold row for offset d, or null when d is not (2b + 1) / 32.
const float* ILSrgb8DitherThresholds(const ILSrgb8DitherTables* tables, float d);

// The step entries for offset d, or null when d is not (2b + 1) / 32 or the
// tables have no steps.
const uint32_t* ILSrgb8DitherSteps(const ILSrgb8DitherTables* tables, float d);

// Equal to ILLinearToSrgb8Dither(x, d) for the offset whose steps are s, for
// every x but NaN (which gives 0 there and 0 or 255 here).
inline uint8_t ILSrgb8DitherStep(const uint32_t* s, float x) {
    int32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int32_t bucket =
        std::clamp(bits >> 16, ILSrgb8DitherTables::kStepFirst, ILSrgb8DitherTables::kStepLast);
    const uint32_t e = s[bucket - ILSrgb8DitherTables::kStepFirst];
    return static_cast<uint8_t>((e + (static_cast<uint32_t>(bits) & 0xFFFF)) >> 16);
}

// Equal to ILLinearToSrgb8Dither(x, d) for the offset whose row is t.
inline uint8_t ILSrgb8DitherLookup(const ILSrgb8DitherTables* tables, const float* t, float x) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 255;
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const uint32_t k = tables->base[bits >> 16];
    return static_cast<uint8_t>(k + (x >= t[k + 1]) + (x >= t[k + 2]));
}
