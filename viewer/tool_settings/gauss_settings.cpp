#include "viewer/tool_settings/gauss_settings.h"

#include "viewer/logic/control_values.h"
#include "viewer/logic/text_utils.h"

GaussBlock GaussDefaults() {
    GaussBlock b;
    b.operation = kGaussBlur;
    b.amount = 0.5f;
    b.radius = 10;
    b.gain = 0;
    return b;
}

int32_t GaussAmountSlider(float amount) {
    return ControlValueRounded(double{amount} * 100.0, 1, 100);
}

int32_t GaussRadiusSlider(int32_t radius) {
    return ClampToRange(radius, 1, 100);
}

// Rounded like the amount: a gain of 29 / 100 is just below 0.29 x 100.
int32_t GaussGainSlider(float gain) {
    return ControlValueRounded(double{gain} * 100.0, 0, 100);
}

GaussBlock GaussFromStored(const GaussBlock& stored, const GaussBlock& current) {
    GaussBlock b = current;
    b.operation = ClampToRange(stored.operation, kGaussSharpen, kGaussBloom);
    b.amount = static_cast<float>(GaussAmountSlider(stored.amount)) / 100.0f;
    b.radius = GaussRadiusSlider(stored.radius);
    b.gain = static_cast<float>(GaussGainSlider(stored.gain)) / 100.0f;
    return b;
}

std::string GaussAmountText(float amount) {
    return std::to_string(GaussAmountSlider(amount)) + "%";
}

std::string GaussRadiusText(int32_t radius) {
    return std::to_string(radius) + " pixel";
}

std::string GaussGainText(float gain) {
    return FormatFixedPoint(gain, 2);
}

void GaussRunChannels(const GaussChannelBoxes& boxes, bool grey, bool hasAlpha,
                      uint8_t channels[4]) {
    channels[0] = !grey && boxes.red;
    channels[1] = boxes.green;
    channels[2] = !grey && boxes.blue;
    channels[3] = hasAlpha && boxes.alpha;
}

void GaussRecordChannels(const GaussChannelBoxes& boxes, bool grey, bool hasAlpha,
                         uint8_t channels[4]) {
    GaussRunChannels(boxes, grey, hasAlpha, channels);
    if (grey) channels[0] = channels[2] = channels[1];
}

bool GaussApplyEnabled(const GaussChannelBoxes& boxes, bool grey, bool hasAlpha) {
    uint8_t c[4];
    GaussRunChannels(boxes, grey, hasAlpha, c);
    return c[0] || c[1] || c[2] || c[3];
}
