// The About box's logo: the program icon with its hues rotated about the
// grey axis, composited onto the style's face colour.
#pragma once

#include <cstdint>

#include "imglib/color.h"

inline constexpr int kLogoSize = 48;
inline constexpr int kLogoPixels = kLogoSize * kLogoSize;
inline constexpr int kHueStep = 6; // degrees per timer tick: 60 ticks a turn

// The 3 x 3 matrix (row-major, on r, g, b) that turns hues by `degrees`
// about the grey axis, leaving greys as they are.
void HueRotationMatrix(double degrees, float matrix[9]);
// The next angle: 6 degrees on, back to 0 after 354.
int NextHueAngle(int degrees);
// Turns the linear colours of `source` (kLogoPixels ILColor, alpha
// straight) by the matrix and composites them onto `face`, writing 8-bit
// B, G, R rows `stride` bytes apart.
void RenderLogo(const ILColor* source, const float matrix[9], const ILColor& face, uint8_t* bgr,
                int64_t stride);
