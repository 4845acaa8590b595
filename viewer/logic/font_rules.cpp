#include "viewer/logic/font_rules.h"

#include <cstdlib>

#include "viewer/logic/control_values.h"

namespace {

// a * b / c rounded half away from zero, in 64 bits.
int64_t MulDivRounded(int64_t a, int64_t b, int64_t c) {
    const int64_t product = a * b;
    return (product + (product >= 0 ? c / 2 : -c / 2)) / c;
}

} // namespace

int32_t NormalizeFontWeight(int32_t weight) {
    return weight <= 500 ? 400 : 700;
}

int32_t FontPointSize(int32_t height, int32_t pixelsPerInch) {
    if (pixelsPerInch <= 0) return kFontSizeMinimum;
    const int64_t points = std::llabs(MulDivRounded(height, 72, pixelsPerInch));
    return ClampToRange(points, kFontSizeMinimum, kFontSizeMaximum);
}

int32_t FontPixelHeight(int32_t points, int32_t pixelsPerInch) {
    return static_cast<int32_t>(
        MulDivRounded(ClampToRange(points, kFontSizeMinimum, kFontSizeMaximum), pixelsPerInch, 72));
}
