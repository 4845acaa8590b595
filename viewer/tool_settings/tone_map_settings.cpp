#include "viewer/tool_settings/tone_map_settings.h"

#include <cmath>

#include "viewer/logic/control_values.h"
#include "viewer/logic/text_utils.h"

namespace {

// Rounded, so that a block made from slider values opens at the same
// values (sqrt(1.9881) x 100 is just below 141).
int32_t Slider(ToneMapSlider s, double value) {
    return ControlValueRounded(value, kToneMapRanges[s].minimum, kToneMapRanges[s].maximum);
}

std::string Padded(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

} // namespace

ToneMapSliders ToneMapSlidersOf(const ToneMapBlock& b) {
    ToneMapSliders s;
    s.v[TONE_EXPOSURE] = Slider(TONE_EXPOSURE, std::sqrt(double{b.exposure}) * 100.0);
    s.v[TONE_BLACK] = Slider(TONE_BLACK, double{b.black} * 1000.0);
    s.v[TONE_EXPONENT] = Slider(TONE_EXPONENT, 1.0 / b.exponent * 100.0);
    s.v[TONE_CHROMA] = Slider(TONE_CHROMA, double{b.chroma} * 100.0);
    s.v[TONE_HUE] = Slider(TONE_HUE, b.hue);
    s.v[TONE_WHITE] = Slider(TONE_WHITE, b.whitePoint / 10);
    return s;
}

ToneMapBlock ToneMapBlockOf(const ToneMapSliders& s) {
    ToneMapBlock b;
    const float exposure = static_cast<float>(s.v[TONE_EXPOSURE]) / 100.0f;
    b.exposure = exposure * exposure;
    b.black = static_cast<float>(s.v[TONE_BLACK]) / 1000.0f;
    b.exponent = 1.0f / (static_cast<float>(s.v[TONE_EXPONENT]) / 100.0f);
    b.chroma = static_cast<float>(s.v[TONE_CHROMA]) / 100.0f;
    b.hue = static_cast<float>(s.v[TONE_HUE]);
    b.whitePoint = s.v[TONE_WHITE] * 10;
    return b;
}

bool ToneMapModelOf(const ToneMapBlock& b, ILToneMap* t) {
    ILToneMapInit(t);
    ILToneMapSetExposure(t, b.exposure, true);
    ILToneMapSetBlack(t, b.black, true);
    if (!ILToneMapSetExponent(t, b.exponent, true)) return false;
    ILToneMapSetChroma(t, b.chroma, true);
    ILToneMapSetHue(t, b.hue, true);
    ILToneMapSetWhitePoint(t, b.whitePoint, true);
    return true;
}

bool ToneMapIsNeutral(const ToneMapSliders& s) {
    const ToneMapSliders neutral;
    for (int i = 0; i < kToneMapSliderCount; ++i)
        if (s.v[i] != neutral.v[i]) return false;
    return true;
}

std::string ToneMapLabel(ToneMapSlider slider, int32_t v) {
    switch (slider) {
        case TONE_EXPOSURE:
        case TONE_EXPONENT:
            return FormatFixedPoint(v / 100.0, 2);
        case TONE_BLACK:
            return FormatFixedPoint(v / 1000.0, 3);
        case TONE_CHROMA:
            return Padded(std::to_string(v) + "%", 6);
        case TONE_HUE:
            return Padded(std::to_string(v) + "\xB0", 7);
        case TONE_WHITE:
            return std::to_string(v * 10) + "\xB0";
    }
    return {};
}
