#include "viewer/tool_settings/alpha_settings.h"

#include <algorithm>

#include "viewer/logic/control_values.h"

int32_t AlphaMaxBorder(uint32_t imageWidth, uint32_t imageHeight) {
    return static_cast<int32_t>(std::min(imageWidth, imageHeight) >> 1);
}

int32_t AlphaOpacityField(float opacity) {
    return ControlValueOf(double{opacity} * 100.0 + 0.4999, 0, 100);
}

bool AlphaSettingsFromBlock(const AlphaBlock& block, int32_t maxBorder, AlphaSettings* settings) {
    if (block.kind != ALPHA_ADD_MASK) return false;
    settings->opacity = AlphaOpacityFromField(AlphaOpacityField(block.opacity));
    settings->border = ClampToRange(block.border, 0, maxBorder);
    settings->shape = block.shape == 2 ? 2 : 1;
    return true;
}

AlphaBlock AlphaBlockOf(const AlphaSettings& settings) {
    AlphaBlock b;
    b.kind = ALPHA_ADD_MASK;
    b.border = settings.border;
    b.opacity = settings.opacity;
    b.shape = settings.shape;
    return b;
}
