#include "imglib/ops/srgb8_encoder.h"

#include <array>
#include <memory>
#include <limits>

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
