// The settings of the Gauss Filter dialog: the three sliders over the Gauss
// Filter action block, their labels, and which channels its check boxes
// select for a run and for the recorded block.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/actions/action_blocks.h"

// Sharpen, blur, bloom.
inline constexpr int32_t kGaussSharpen = 1, kGaussBlur = 2, kGaussBloom = 3;

// Blur, 50 %, radius 10, gain 0, every channel.
GaussBlock GaussDefaults();
// The sliders: amount x 100 rounded half up (1 ... 100), the radius
// (1 ... 100), gain x 100 rounded half up (0 ... 100), so that
// a block made from the sliders opens at the same values.
int32_t GaussAmountSlider(float amount);
int32_t GaussRadiusSlider(int32_t radius);
int32_t GaussGainSlider(float gain);
// A stored block as the sliders take it (each value quantised to its
// slider's steps, NaN and huge values included); the operation clamped to
// sharpen ... bloom; the channels stay those of `current` (the dialog's
// check boxes are not changed by a stored action).
GaussBlock GaussFromStored(const GaussBlock& stored, const GaussBlock& current);

// Value labels: "50%", "10 pixel", " 0.50".
std::string GaussAmountText(float amount);
std::string GaussRadiusText(int32_t radius);
std::string GaussGainText(float gain);

// The channel check boxes: red, green (the "gray channel" box of a grey
// image), blue, alpha; red and blue exist only for colour images and alpha
// only for pixel types with alpha.
struct GaussChannelBoxes {
    bool red = true, green = true, blue = true, alpha = false;
};
// The flags a run filters with: red and blue only for colour images, so
// that a grey sample follows the green flag.
void GaussRunChannels(const GaussChannelBoxes& boxes, bool grey, bool hasAlpha,
                      uint8_t channels[4]);
// The flags an apply or a save records: a grey image's box for all three.
void GaussRecordChannels(const GaussChannelBoxes& boxes, bool grey, bool hasAlpha,
                         uint8_t channels[4]);
// Preview and Apply need some channel to filter.
bool GaussApplyEnabled(const GaussChannelBoxes& boxes, bool grey, bool hasAlpha);
