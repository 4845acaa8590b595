#include "viewer/tool_settings/color_filter_settings.h"

#include <cmath>

#include "viewer/logic/control_values.h"

namespace {

std::string Padded(std::string text) {
    if (text.size() < 7) text.append(7 - text.size(), ' ');
    return text;
}

} // namespace

ColorFilterSliders ColorFilterSlidersOf(const ColorFilterBlock& b) {
    return {ControlValueOf(b.lightHue, 0, 360), ControlValueOf(b.lightStrength, 0, 100),
            ControlValueOf(b.shadowHue, 0, 360), ControlValueOf(b.shadowStrength, 0, 100)};
}

ColorFilterBlock ColorFilterBlockOf(const ColorFilterSliders& s) {
    ColorFilterBlock b;
    b.shadowHue = static_cast<float>(s.shadowHue);
    b.lightHue = static_cast<float>(s.lightHue);
    b.shadowStrength = static_cast<float>(s.shadowStrength);
    b.lightStrength = static_cast<float>(s.lightStrength);
    return b;
}

std::string ColorFilterHueLabel(int32_t degrees) {
    return Padded(std::to_string(degrees) + "\xB0");
}

std::string ColorFilterStrengthLabel(int32_t percent) {
    return Padded(std::to_string(percent) + "%");
}

double HueStripDegrees(int32_t row) {
    return 360.0 - 1.1612903 * row;
}

void HueStripLab(int32_t row, bool light, float lab[3]) {
    const double h = HueStripDegrees(row) * 3.1415925 / 180.0;
    lab[0] = light ? 85.0f : 57.5f;
    lab[1] = static_cast<float>(95.0 * std::cos(h));
    lab[2] = static_cast<float>(95.0 * std::sin(h));
}
