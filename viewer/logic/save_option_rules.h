// Which controls of the JPEG 2000 and JPEG XR save-option dialogs an image
// allows, and what the JPEG 2000 dialog forces for indexed images.
#pragma once

#include <cstdint>

#include "imglib/pixel_type.h"

enum Jpeg2000ColorFormat : uint32_t { kJ2kRgb = 0, kJ2kYuv = 1, kJ2kYcc = 2 };

struct Jpeg2000Rules {
    // Indexed images are saved lossless with the 5x3 kernel in one layer:
    // those controls are fixed and the stored options stay as they are.
    bool fixedLossless = false;
    bool rgbYuv = false; // "RGB" and "YUV" can be chosen
    bool ycc = false;    // "YCC" can be chosen
};
Jpeg2000Rules Jpeg2000RulesFor(ILPixelType type, uint32_t bitsPerChannel);
// "Chroma subs." is open exactly when YCC is allowed and chosen.
bool Jpeg2000SubsamplingAllowed(const Jpeg2000Rules& rules, uint32_t colorFormat);
// The colour format the dialog shows for a stored one: a choice the image
// does not allow shows as the transform the library uses instead.
uint32_t Jpeg2000ShownColorFormat(const Jpeg2000Rules& rules, uint32_t stored);

// JPEG XR: grey images have no chroma to subsample; indexed images keep the
// stored lossless flag.
struct JpegXrRules {
    bool subsampling = false;
    bool losslessChoice = false;
};
JpegXrRules JpegXrRulesFor(ILPixelType type);
