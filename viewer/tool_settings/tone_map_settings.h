// The six sliders of the Tonemapping dialog over the Tonemapping action
// block: the conversions both ways, the value labels and the neutral state.
#pragma once

#include <cstdint>
#include <string>

#include "imglib/ops/color_ops.h"
#include "viewer/actions/action_blocks.h"

enum ToneMapSlider { TONE_EXPOSURE, TONE_BLACK, TONE_EXPONENT, TONE_CHROMA, TONE_HUE, TONE_WHITE };
inline constexpr int kToneMapSliderCount = 6;
struct SliderRange {
    int32_t minimum, maximum;
};
// Exposure 0 ... 200, black -500 ... 500, exponent 20 ... 400, chroma
// 0 ... 200, hue -180 ... 180, white point 350 ... 950.
inline constexpr SliderRange kToneMapRanges[kToneMapSliderCount] = {
    {0, 200}, {-500, 500}, {20, 400}, {0, 200}, {-180, 180}, {350, 950}};

struct ToneMapSliders {
    int32_t v[kToneMapSliderCount] = {100, 0, 100, 100, 0, 650};
};

// Slider values of a block (rounded half up, clamped, NaN-safe): sqrt(exposure)
// x 100, black x 1000, 100 / exponent, chroma x 100, hue, white point / 10.
ToneMapSliders ToneMapSlidersOf(const ToneMapBlock& block);
// The block the sliders give: exposure (v / 100)^2, black v / 1000,
// exponent 100 / v, chroma v / 100, hue v, white point v x 10.
ToneMapBlock ToneMapBlockOf(const ToneMapSliders& sliders);
// A stored block quantised to the slider steps.
inline ToneMapBlock ToneMapFromStored(const ToneMapBlock& stored) {
    return ToneMapBlockOf(ToneMapSlidersOf(stored));
}
// The library's model of a block, each value set as its slider sets it
// (recomposed at once), so that the dialog, its action and a replay map
// alike. False for an exponent the model refuses (not above 0).
bool ToneMapModelOf(const ToneMapBlock& block, ILToneMap* model);
// Preview and Apply wait for a setting away from neutral.
bool ToneMapIsNeutral(const ToneMapSliders& sliders);
// The value label of a slider: " 1.00", " 0.000", " 1.00", "100%  ",
// "0°     ", "6500°" (the degree sign as the byte 0xB0).
std::string ToneMapLabel(ToneMapSlider slider, int32_t v);
