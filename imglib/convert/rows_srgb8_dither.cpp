// Threshold tables for the dithered 8-bit sRGB encoder (see the header).
#include "imglib/convert/rows_srgb8_dither.h"

#include <bit>
#include <cmath>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kOne = 0x3F800000; // bits of 1.0f

float FloatFromBits(uint32_t bits) {
    return std::bit_cast<float>(bits);
}

float Offset(int b) {
    return static_cast<float>(2 * b + 1) / 32.0f;
}

// Smallest float bits in (0, 1) whose code under offset d is at least k, or
// the bits of 1.0 when no float below 1 reaches k.
uint32_t FirstWithCode(float d, uint32_t k) {
    uint32_t lo = 1, hi = kOne;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (ILLinearToSrgb8Dither(FloatFromBits(mid), d) >= k)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// One offset's step entries from its threshold row; false when a bucket
// would need two steps or the lowest bucket is not all zeros.
bool BuildSteps(ILSrgb8DitherTables& t, int b) {
    const float* row = t.thresholds[b];
    for (int32_t i = ILSrgb8DitherTables::kStepFirst; i <= ILSrgb8DitherTables::kStepLast; ++i) {
        const float lowest = FloatFromBits(static_cast<uint32_t>(i) << 16);
        const uint32_t code = ILLinearToSrgb8Dither(lowest, Offset(b));
        auto inBucket = [&](uint32_t k) {
            return k <= 255 && std::bit_cast<uint32_t>(row[k]) >> 16 == static_cast<uint32_t>(i);
        };
        if (inBucket(code + 2)) return false;
        // The bucket's lowest float has `code`, so a step inside starts above
        // it; a step at that float would mean the curve falls somewhere.
        const uint32_t step =
            inBucket(code + 1) ? std::bit_cast<uint32_t>(row[code + 1]) & 0xFFFF : 0x10000;
        if (step == 0) return false;
        if (i == ILSrgb8DitherTables::kStepFirst && (code != 0 || step != 0x10000)) return false;
        t.steps[b][i - ILSrgb8DitherTables::kStepFirst] = (code << 16) + (0x10000 - step);
    }
    return true;
}

std::unique_ptr<ILSrgb8DitherTables> Build() {
    std::unique_ptr<ILSrgb8DitherTables> t(new (std::nothrow) ILSrgb8DitherTables);
    if (!t) return nullptr;
    for (int b = 0; b < 16; ++b) {
        float* row = t->thresholds[b];
        row[0] = 0.0f;
        for (uint32_t k = 1; k <= 255; ++k)
            row[k] = FloatFromBits(FirstWithCode(Offset(b), k));
        row[256] = row[257] = INFINITY;
    }
    const float dLow = Offset(0), dHigh = Offset(15);
    for (uint32_t i = 0; i < ILSrgb8DitherTables::kBuckets; ++i) {
        const float lo = FloatFromBits(i << 16), hi = FloatFromBits((i << 16) | 0xFFFF);
        const uint8_t base = ILLinearToSrgb8Dither(lo, dLow);
        // The lookup adds at most two: a bucket that climbs further would
        // need more compares, so such a curve gets no tables at all.
        if (ILLinearToSrgb8Dither(hi, dHigh) > base + 2) return nullptr;
        t->base[i] = base;
    }
    t->hasSteps = true;
    for (int b = 0; b < 16 && t->hasSteps; ++b)
        t->hasSteps = BuildSteps(*t, b);
    return t;
}

} // namespace

const ILSrgb8DitherTables* ILSrgb8DitherTablesGet() {
    static const std::unique_ptr<ILSrgb8DitherTables> tables = Build();
    return tables.get();
}

namespace {

// b for the offset (2b + 1) / 32, or -1.
int OffsetIndex(float d) {
    const float scaled = d * 32.0f; // exact for the offsets that have tables
    if (!(scaled >= 1.0f && scaled <= 31.0f)) return -1;
    const int n = static_cast<int>(scaled);
    if (static_cast<float>(n) != scaled || n % 2 == 0) return -1;
    return (n - 1) / 2;
}

} // namespace

const float* ILSrgb8DitherThresholds(const ILSrgb8DitherTables* tables, float d) {
    const int b = tables ? OffsetIndex(d) : -1;
    return b < 0 ? nullptr : tables->thresholds[b];
}

const uint32_t* ILSrgb8DitherSteps(const ILSrgb8DitherTables* tables, float d) {
    const int b = tables && tables->hasSteps ? OffsetIndex(d) : -1;
    return b < 0 ? nullptr : tables->steps[b];
}
