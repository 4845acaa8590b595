// Linear sRGB <-> CIE L*a*b* relative to the D50 white.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "imglib/convert/srgb.h"

namespace {

constexpr float kWhiteX = 0.96422f;
constexpr float kWhiteZ = 0.82521f;
// (6/29)^3: below it the cube root is replaced by a straight line.
constexpr float kEpsilon = 0.008856452f;
constexpr float kSlope = 7.787f;
constexpr float kOffset = 0.13793103f; // 4/29

// Cube root of t > 0 without a transcendental call: a guess from the
// exponent bits, then Newton steps to float precision.
float CubeRoot(float t) {
    uint32_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    bits = bits / 3 + 0x2A5137A0;
    float y;
    std::memcpy(&y, &bits, sizeof y);
    for (int i = 0; i < 2; ++i)
        y = (2.0f * y + t / (y * y)) * (1.0f / 3.0f);
    const double d = y; // a last step in double settles the final bit
    return static_cast<float>((2.0 * d + t / (d * d)) * (1.0 / 3.0));
}

float LabF(float t) {
    return t > kEpsilon ? CubeRoot(t) : kSlope * t + kOffset;
}

float LabFInverse(float f) {
    const float cube = f * f * f;
    return cube > kEpsilon ? cube : (f - kOffset) / kSlope;
}

} // namespace

void ILRgbToLab(float r, float g, float b, float* L, float* A, float* B) {
    const auto& m = ILMatrixRgbToXyz50;
    const float x = (r * m[0][0] + g * m[1][0] + b * m[2][0]) / kWhiteX;
    const float y = r * m[0][1] + g * m[1][1] + b * m[2][1];
    const float z = (r * m[0][2] + g * m[1][2] + b * m[2][2]) / kWhiteZ;
    const float fy = LabF(y);
    *L = y > kEpsilon ? 116.0f * fy - 16.0f : 903.2963f * y;
    *A = 500.0f * (LabF(x) - fy);
    *B = 200.0f * (fy - LabF(z));
}

void ILLabToRgb(float L, float A, float B, float* r, float* g, float* b) {
    const float fy = (L + 16.0f) / 116.0f;
    const float fx = fy + 0.002f * A;
    const float fz = fy - 0.005f * B;
    const float x = kWhiteX * LabFInverse(fx);
    const float y = LabFInverse(fy);
    const float z = kWhiteZ * LabFInverse(fz);
    const auto& m = ILMatrixXyz50ToRgb;
    *r = x * m[0][0] + y * m[1][0] + z * m[2][0];
    *g = x * m[0][1] + y * m[1][1] + z * m[2][1];
    *b = x * m[0][2] + y * m[1][2] + z * m[2][2];
}
