// Threshold tables for the dithered 8-bit sRGB encoder (see the header).
#include "imglib/convert/rows_srgb8_dither.h"

#include <bit>
#include <cmath>
#include <memory>
#include <new>

namespace {

constexpr uint32_t kOne = 0x3F800000;  // bits of 1.0f

float FloatFromBits(uint32_t bits) { return std::bit_cast<float>(bits); }

float Offset(int b) { return static_cast<float>(2 * b + 1) / 32.0f; }

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

std::unique_ptr<ILSrgb8DitherTables> Build() {
    std::unique_ptr<ILSrgb8DitherTables> t(new (std::nothrow) ILSrgb8DitherTables);
    if (!t) return nullptr;
    for (int b = 0; b < 16; ++b) {
        float* row = t->thresholds[b];
        row[0] = 0.0f;
        for (uint32_t k = 1; k <= 255; ++k) row[k] = FloatFromBits(FirstWithCode(Offset(b), k));
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
    return t;
}

}  // namespace

const ILSrgb8DitherTables* ILSrgb8DitherTablesGet() {
    static const std::unique_ptr<ILSrgb8DitherTables> tables = Build();
    return tables.get();
}

const float* ILSrgb8DitherThresholds(const ILSrgb8DitherTables* tables, float d) {
    if (!tables) return nullptr;
    const float scaled = d * 32.0f;  // exact for the offsets that have tables
    if (!(scaled >= 1.0f && scaled <= 31.0f)) return nullptr;
    const int n = static_cast<int>(scaled);
    if (static_cast<float>(n) != scaled || n % 2 == 0) return nullptr;
    return tables->thresholds[(n - 1) / 2];
}
