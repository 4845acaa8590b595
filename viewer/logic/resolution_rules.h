// The Resolution dialog's rules: how the two pixels-per-inch values follow
// each other and the print size text.
#pragma once

#include <cstdint>
#include <string>

inline constexpr int32_t kMinimumPpi = 1;
inline constexpr int32_t kMaximumPpi = 99999;

enum AspectMode : int32_t { ASPECT_ONE_TO_ONE = 0, ASPECT_KEEP = 1, ASPECT_FREE = 2 };

struct ResolutionPair {
    int32_t horizontal = 0;
    int32_t vertical = 0;
    AspectMode mode = ASPECT_ONE_TO_ONE;
    double verticalPerHorizontal = 1; // ratios at opening
    double horizontalPerVertical = 1;
};

// The pair a dialog opens with: values clamped to [1, 99999] (an image may
// carry 0 or more than the fields hold); equal values open 1:1, others keep
// their aspect.
ResolutionPair OpenResolution(int64_t horizontal, int64_t vertical);
// The horizontal value changed: the vertical one follows by the mode (and
// the other way round), always staying in [1, 99999].
void SetHorizontalPpi(ResolutionPair& pair, int64_t horizontal);
void SetVerticalPpi(ResolutionPair& pair, int64_t vertical);
// A new mode: unless free, the vertical value follows the horizontal one.
void SetAspectMode(ResolutionPair& pair, AspectMode mode);
// "20.32 x 13.55 cm": the print size in cm (unit 0) or inches (unit 1).
std::string PrintSizeText(uint32_t width, uint32_t height, const ResolutionPair& pair, int unit);
