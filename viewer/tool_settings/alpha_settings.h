// The settings of the Alpha Channel dialog over the add kind of the Alpha
// Channel action block.
#pragma once

#include <cstdint>

#include "viewer/actions/action_blocks.h"

struct AlphaSettings {
    float opacity = 1; // 0 ... 1
    int32_t border = 0;
    int32_t shape = 1; // 1 rectangular, 2 circular
};

// Half the smaller image side: the largest border.
int32_t AlphaMaxBorder(uint32_t imageWidth, uint32_t imageHeight);
// The opacity field: opacity x 100 + 0.4999, truncated, 0 ... 100.
int32_t AlphaOpacityField(float opacity);
inline float AlphaOpacityFromField(int32_t percent) {
    return static_cast<float>(percent) / 100.0f;
}
// Settings from a stored block as the fields take them (opacity in whole
// percent, border at most maxBorder, shapes other than 2 rectangular);
// false, and nothing changed, for blocks of another kind than add.
bool AlphaSettingsFromBlock(const AlphaBlock& block, int32_t maxBorder, AlphaSettings* settings);
AlphaBlock AlphaBlockOf(const AlphaSettings& settings);
