// The settings of the Resample dialog: the target size in pixels and in
// percent of the image, kept together, with the aspect lock and the zoom
// presets.
#pragma once

#include <cstdint>

#include "viewer/actions/action_blocks.h"

inline constexpr int32_t kResampleSizeMaximum = 99999;    // pixel fields, from 1
inline constexpr int32_t kResamplePercentMaximum = 10000; // percent fields, from 0
inline constexpr double kResamplePresets[8] = {0.25, 0.5, 0.75, 1, 1.25, 1.5, 2, 2.5};

struct ResampleSettings {
    int32_t imageWidth = 1, imageHeight = 1;
    int32_t targetWidth = 1, targetHeight = 1;
    int32_t widthPercent = 100, heightPercent = 100;
    uint8_t filter = 4; // "Cubic"
    bool keepAspect = true;
};

// Without an action: the image's size, the remembered filter and lock.
ResampleSettings ResampleDefaults(uint32_t imageWidth, uint32_t imageHeight, uint8_t filter,
                                  bool keepAspect);
// From a stored block (sizes clamped to the fields, the filter to the
// table): the percentages follow, and the lock is on exactly when they are
// equal.
ResampleSettings ResampleFromStored(const ResampleBlock& stored, uint32_t imageWidth,
                                    uint32_t imageHeight);

// The handlers of the four fields and the check box; each leaves every
// field's value in the settings.
void ResampleWidthTyped(ResampleSettings* s, int32_t width);
void ResampleHeightTyped(ResampleSettings* s, int32_t height);
void ResampleWidthPercentTyped(ResampleSettings* s, int32_t percent);
void ResampleHeightPercentTyped(ResampleSettings* s, int32_t percent);
void ResampleToggleKeepAspect(ResampleSettings* s);
// A preset or Reset (scale 1): both sides and percentages from the scale.
void ResampleSetZoom(ResampleSettings* s, double scale);

inline bool ResampleApplyEnabled(const ResampleSettings& s) {
    return s.targetWidth != s.imageWidth || s.targetHeight != s.imageHeight;
}
ResampleBlock ResampleBlockOf(const ResampleSettings& s);
