#include "viewer/logic/resolution_rules.h"

#include <cstdio>

#include "viewer/logic/control_values.h"

namespace {

int32_t ClampPpi(int64_t value) {
    return ClampToRange(value, kMinimumPpi, kMaximumPpi);
}

int32_t Scaled(int32_t value, double ratio) {
    return ClampPpi(SaturatingToInt(static_cast<double>(value) * ratio));
}

} // namespace

ResolutionPair OpenResolution(int64_t horizontal, int64_t vertical) {
    ResolutionPair pair;
    pair.horizontal = ClampPpi(horizontal);
    pair.vertical = ClampPpi(vertical);
    if (pair.horizontal != pair.vertical) {
        pair.mode = ASPECT_KEEP;
        pair.verticalPerHorizontal = static_cast<double>(pair.vertical) / pair.horizontal;
        pair.horizontalPerVertical = static_cast<double>(pair.horizontal) / pair.vertical;
    }
    return pair;
}

void SetHorizontalPpi(ResolutionPair& pair, int64_t horizontal) {
    pair.horizontal = ClampPpi(horizontal);
    if (pair.mode == ASPECT_ONE_TO_ONE) pair.vertical = pair.horizontal;
    if (pair.mode == ASPECT_KEEP)
        pair.vertical = Scaled(pair.horizontal, pair.verticalPerHorizontal);
}

void SetVerticalPpi(ResolutionPair& pair, int64_t vertical) {
    pair.vertical = ClampPpi(vertical);
    if (pair.mode == ASPECT_ONE_TO_ONE) pair.horizontal = pair.vertical;
    if (pair.mode == ASPECT_KEEP)
        pair.horizontal = Scaled(pair.vertical, pair.horizontalPerVertical);
}

void SetAspectMode(ResolutionPair& pair, AspectMode mode) {
    if (mode == ASPECT_ONE_TO_ONE) pair.vertical = pair.horizontal;
    if (mode == ASPECT_KEEP) pair.vertical = Scaled(pair.horizontal, pair.verticalPerHorizontal);
    pair.mode = mode;
}

std::string PrintSizeText(uint32_t width, uint32_t height, const ResolutionPair& pair, int unit) {
    const double scale = unit == 0 ? 2.54 : 1.0;
    char text[96];
    std::snprintf(text, sizeof text, "%1.2f x %1.2f %s", width * scale / pair.horizontal,
                  height * scale / pair.vertical, unit == 0 ? "cm" : "inch");
    return text;
}
