// The font dialog's rules for the caller's font record: the weight it keeps
// (regular or bold) and the point size its size field shows.
#pragma once

#include <cstdint>

inline constexpr int32_t kFontSizeMinimum = 6;
inline constexpr int32_t kFontSizeMaximum = 200;

// 400 for weights up to 500, else 700.
int32_t NormalizeFontWeight(int32_t weight);
// The point size of a font of `height` pixels (either sign) on a screen of
// `pixelsPerInch`, rounded as MulDiv does and kept in the field's range.
int32_t FontPointSize(int32_t height, int32_t pixelsPerInch);
// The pixel height of a point size: positive, rounded as MulDiv does.
int32_t FontPixelHeight(int32_t points, int32_t pixelsPerInch);
