// The Gauss filter: blur, sharpen (unsharp masking) and bloom through a
// separable Gaussian-shaped kernel, streamed row by row.
#pragma once

#include <cstdint>

#include "imglib/handle.h"
#include "imglib/image.h"

struct ILGaussParams {
    int32_t operation;               // 1 sharpen, 2 blur, 3 bloom; anything else blurs
    float amount;                    // mix factor; sharpen strength; bloom ramp slope
    float gain;                      // exponent offset (sharpen, blur); threshold (bloom)
    int32_t radius;                  // 1 and up
    uint8_t red, green, blue, alpha; // channels to mix; grey follows green
};

ILGaussParams* ILGaussParamsInit(ILGaussParams* p, int32_t operation, float amount, int32_t radius,
                                 float gain);
void ILGaussParamsSetChannels(ILGaussParams* p, uint8_t red, uint8_t green, uint8_t blue,
                              uint8_t alpha);

// 1 (also for images whose channel count the filter does not serve, left
// unchanged), 0 for a radius below 1, -1 cancelled, -2 a palette source or a
// target whose type or size differs, -100 out of memory. A null target
// filters in place.
ILResult ILGaussFilter(const ILGaussParams* p, ILHandle* h, ILImage* source, ILImage* target);
ILResult ILGaussFilterInPlace(const ILGaussParams* p, ILHandle* h, ILImage* image);
