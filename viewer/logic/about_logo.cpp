#include "viewer/logic/about_logo.h"

#include <algorithm>
#include <cmath>

void HueRotationMatrix(double degrees, float matrix[9]) {
    // Rotation by the angle about the unit vector (1, 1, 1) / sqrt(3).
    const double angle = degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double third = (1.0 - c) / 3.0;
    const double root = std::sqrt(1.0 / 3.0) * s;
    const double diagonal = c + third;
    const double m[9] = {diagonal,     third - root, third + root, third + root, diagonal,
                         third - root, third - root, third + root, diagonal};
    for (int i = 0; i < 9; ++i)
        matrix[i] = static_cast<float>(m[i]);
}

int NextHueAngle(int degrees) {
    const int next = degrees + kHueStep;
    return next > 359 - kHueStep + 1 ? 0 : next;
}

void RenderLogo(const ILColor* source, const float m[9], const ILColor& face, uint8_t* bgr,
                int64_t stride) {
    for (int y = 0; y < kLogoSize; ++y) {
        uint8_t* row = bgr + y * stride;
        for (int x = 0; x < kLogoSize; ++x) {
            const ILColor& s = source[y * kLogoSize + x];
            const float a = std::clamp(s.a, 0.0f, 1.0f);
            auto channel = [&](int i, float background) {
                const float turned = m[3 * i] * s.r + m[3 * i + 1] * s.g + m[3 * i + 2] * s.b;
                return std::clamp(turned, 0.0f, 1.0f) * a + background * (1 - a);
            };
            ILColor out;
            out.Set(channel(0, face.r), channel(1, face.g), channel(2, face.b));
            out.ToBGR8(row + 3 * x);
        }
    }
}
