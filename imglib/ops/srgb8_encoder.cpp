#include "imglib/ops/srgb8_encoder.h"

#include <limits>

#include "imglib/convert/srgb.h"

namespace {

float FromBits(uint32_t bits) {
    float x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

ILSrgb8Encoder Build() {
    ILSrgb8Encoder e{};
    e.thresholds[0] = 0.0f;
    for (uint32_t k = 1; k < 256; ++k) {
        // Smallest positive float whose code is at least k.
        uint32_t lo = 0, hi = 0x3F800000; // code(lo) < k <= code(hi)
        while (hi - lo > 1) {
            const uint32_t mid = lo + (hi - lo) / 2;
            if (ILLinearToSrgb8(FromBits(mid)) >= k)
                hi = mid;
            else
                lo = mid;
        }
        e.thresholds[k] = FromBits(hi);
    }
    e.thresholds[256] = e.thresholds[257] = std::numeric_limits<float>::infinity();
    for (uint32_t b = 0; b < ILSrgb8Encoder::kBuckets; ++b)
        e.base[b] = ILLinearToSrgb8(FromBits(b << 16));
    return e;
}

} // namespace

const ILSrgb8Encoder& ILGetSrgb8Encoder() {
    static const ILSrgb8Encoder encoder = Build();
    return encoder;
}
