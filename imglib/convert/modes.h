// Mode conversions in place: grey and RGB at 8, 16 bits, half and float
// through the converter, 4 and 2-bit grey and monochrome with dithering.
// On any failure the image keeps its pixels (the low-bit conversions have
// removed its alpha by then).
#pragma once

#include <cstdint>

#include "imglib/handle.h"
#include "imglib/image.h"

// Converts the whole image to `type`; -100 out of memory, -4 when the
// converter has no route for the pair.
ILResult ILConvertImage(ILHandle* h, ILImage* image, ILPixelType type, int32_t dither);

// The target keeps the image's alpha form and drops a filler; 1 without
// work when the image already has the target's model and sample kind.
ILResult ILConvertToGray8(ILHandle* h, ILImage* image, int32_t dither);
ILResult ILConvertToGray16(ILHandle* h, ILImage* image);
ILResult ILConvertToGrayHalf(ILHandle* h, ILImage* image);
ILResult ILConvertToGrayFloat(ILHandle* h, ILImage* image);
ILResult ILConvertToRgb8(ILHandle* h, ILImage* image, int32_t dither);
ILResult ILConvertToRgb16(ILHandle* h, ILImage* image);
ILResult ILConvertToRgbHalf(ILHandle* h, ILImage* image);
ILResult ILConvertToRgbFloat(ILHandle* h, ILImage* image);

// Ordered 4x4 dithering when dither is exactly 1.
ILResult ILConvertToGray4(ILHandle* h, ILImage* image, int32_t dither);
ILResult ILConvertToGray2(ILHandle* h, ILImage* image, int32_t dither);
// kind: 0 threshold, 1 ordered 8x8, 2 serpentine Floyd-Steinberg, 3
// clustered halftone; others as 0.
ILResult ILConvertToMonochrome(ILHandle* h, ILImage* image, int32_t kind);
