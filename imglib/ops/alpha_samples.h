// The last sample of a pixel, by sample width, for the alpha operations.
#pragma once

#include <cstdint>
#include <cstring>

#include "imglib/image.h"
#include "imglib/ops/pixel_rows.h"

// Calls f(pointer to the last sample of pixel x, x) along row y; T is the
// sample's storage type.
template <typename T, typename F>
void ILForLastSamples(ILImage* image, uint32_t y, F f) {
    uint8_t* row = ILRowOf(image, y);
    const uint64_t step = uint64_t{image->channels} * sizeof(T);
    uint8_t* p = row + (image->channels - 1) * sizeof(T);
    for (uint32_t x = 0; x < image->width; ++x, p += step)
        f(p, x);
}

template <typename T>
T ILLoadSample(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void ILStoreSample(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}
