#include "viewer/logic/save_option_rules.h"

Jpeg2000Rules Jpeg2000RulesFor(ILPixelType type, uint32_t bitsPerChannel) {
    Jpeg2000Rules rules;
    const uint32_t model = ILPixelModel(type);
    rules.fixedLossless = model == IL_MODEL_INDEXED;
    rules.rgbYuv = model != IL_MODEL_GRAY && model != IL_MODEL_INDEXED;
    rules.ycc = rules.rgbYuv && bitsPerChannel <= 8 && !ILHasAlpha(type);
    return rules;
}

bool Jpeg2000SubsamplingAllowed(const Jpeg2000Rules& rules, uint32_t colorFormat) {
    return rules.ycc && colorFormat == kJ2kYcc;
}

uint32_t Jpeg2000ShownColorFormat(const Jpeg2000Rules& rules, uint32_t stored) {
    if (rules.fixedLossless) return kJ2kYuv;
    if (stored > kJ2kYcc) return kJ2kRgb;
    // Deep or alpha images take the code-stream's own colour transform.
    if (stored == kJ2kYcc && !rules.ycc) return kJ2kYuv;
    return stored;
}

JpegXrRules JpegXrRulesFor(ILPixelType type) {
    const uint32_t model = ILPixelModel(type);
    return {model != IL_MODEL_GRAY, model != IL_MODEL_INDEXED};
}
