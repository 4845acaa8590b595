// Resampling: the separable two-pass resampler with seven named filters in
// linear light, and the fast 8-bit resampler behind thumbnails.
#pragma once

#include <cstdint>

#include "imglib/handle.h"
#include "imglib/image.h"

// A filter kernel: even, zero beyond its support radius.
struct ILResampleFilter {
    const char* name;
    float (*kernel)(float x);
    float radius;
};

inline constexpr uint8_t IL_RESAMPLE_FILTER_COUNT = 7;
// "Box", "Cosine", "Gauss", "Mitchell", "Cubic", "Lanczos", "Blackman".
extern const char* const ILResampleFilterNames[IL_RESAMPLE_FILTER_COUNT];
// The row of the filter table; null for an index past the last filter.
const ILResampleFilter* ILGetResampleFilter(uint8_t index);

// Scales source to the target's width and height. With releaseSource the
// target is allocated in the source's type and takes its palette and
// background, and the source is released once the result is complete;
// otherwise the caller allocates the target (any type the converter reaches
// from the source; an indexed target in the source's type) and the source
// stays. A failure or a cancel leaves the source as it was.
ILResult ILResample(ILHandle* h, ILImage* source, ILImage* target, uint8_t filter,
                    bool releaseSource);
// In place.
ILResult ILResampleImage(ILHandle* h, ILImage* image, int32_t width, int32_t height,
                         uint8_t filter);
ILResult ILResampleInto(ILHandle* h, ILImage* source, ILImage* target, uint8_t filter);
// Into a caller's target of type B, G, R 8-bit at the wanted size, cubic on
// the 8-bit codes with alpha dropped; 1 or 0, no progress.
ILResult ILResampleFast(const ILImage* source, ILImage* target);
