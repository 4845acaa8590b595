#include "viewer/logic/import_options.h"

#include "imglib/pixel_type.h"
#include "viewer/logic/control_values.h"
#include "viewer/logic/text_utils.h"

namespace {

constexpr uint32_t kSampleKinds[4] = {IL_KIND_8, IL_KIND_16, IL_KIND_HALF, IL_KIND_FLOAT};

} // namespace

int SampleKindIndex(uint32_t sampleKind) {
    for (int i = 0; i < 4; ++i)
        if (kSampleKinds[i] == sampleKind) return i;
    return 0;
}

uint32_t SampleKindOfIndex(int index) {
    return kSampleKinds[index >= 0 && index < 4 ? index : 0];
}

int PcdResolutionIndex(uint32_t resolution) {
    return resolution >= 3 && resolution <= 5 ? static_cast<int>(resolution) - 3 : 1;
}

int InterpolationIndex(uint32_t interpolation) {
    return interpolation <= 2 ? static_cast<int>(interpolation) : 0;
}

int32_t ThresholdSliderValue(float threshold) {
    return ClampToRange(SaturatingToInt(static_cast<double>(threshold) / 10.0), 0, 250);
}

std::string ThresholdText(int32_t sliderValue) {
    std::string text = std::to_string(sliderValue);
    PadWithSpaces(text, 6); // five characters and the terminator
    return text;
}
