// The four sliders of the Color Filter dialog over the Color Filter action
// block, their labels, and the hue of each row of the hue strips.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/actions/action_blocks.h"

// Slider values: hues 0 ... 360 degrees, strengths 0 ... 100 percent.
struct ColorFilterSliders {
    int32_t lightHue = 90, lightStrength = 0, shadowHue = 270, shadowStrength = 0;
};

// A block's values truncated into the sliders' ranges (NaN as 0).
ColorFilterSliders ColorFilterSlidersOf(const ColorFilterBlock& block);
ColorFilterBlock ColorFilterBlockOf(const ColorFilterSliders& sliders);
// Preview and Apply wait for some strength.
inline bool ColorFilterApplyEnabled(const ColorFilterSliders& s) {
    return s.lightStrength != 0 || s.shadowStrength != 0;
}
// "90°" or "40%" blank-padded to 7 characters (the degree sign as 0xB0).
std::string ColorFilterHueLabel(int32_t degrees);
std::string ColorFilterStrengthLabel(int32_t percent);

inline constexpr int32_t kHueStripRows = 310;
// The strips' CIE Lab colour of a row: the hue falls from 360 degrees at the
// top by 1.1612903 per row; a = 95 cos h, b = 95 sin h, L 85 for the light
// strip and 57.5 for the shadow strip.
double HueStripDegrees(int32_t row);
void HueStripLab(int32_t row, bool light, float lab[3]);
