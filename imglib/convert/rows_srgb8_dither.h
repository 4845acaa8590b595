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
#pragma once

#include <cstdint>
#include <cstring>

#include "imglib/convert/srgb.h"

struct ILSrgb8DitherTables {
    static constexpr uint32_t kBuckets = 0x3F80;  // floats below 1.0, by their top 16 bits
    uint8_t base[kBuckets];
    // thresholds[b][k]: smallest float whose code is at least k under the
    // offset (2b + 1) / 32; entries 256 and 257 are +infinity.
    float thresholds[16][258];
};

// The tables, built on first use; null when they could not be made.
const ILSrgb8DitherTables* ILSrgb8DitherTablesGet();

// The threshold row for offset d, or null when d is not (2b + 1) / 32.
const float* ILSrgb8DitherThresholds(const ILSrgb8DitherTables* tables, float d);

// Equal to ILLinearToSrgb8Dither(x, d) for the offset whose row is t.
inline uint8_t ILSrgb8DitherLookup(const ILSrgb8DitherTables* tables, const float* t, float x) {
    if (!(x > 0.0f)) return 0;
    if (x >= 1.0f) return 255;
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const uint32_t k = tables->base[bits >> 16];
    return static_cast<uint8_t>(k + (x >= t[k + 1]) + (x >= t[k + 2]));
}
