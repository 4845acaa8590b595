// Linear sRGB <-> CIE L*a*b* (D50) on four pixels at once. Each lane does
// exactly the scalar arithmetic in the same order (both branches of a
// choice are computed and one is kept), so a lane gives the bits the scalar
// ILRgbToLab and ILLabToRgb give, which are built on these.
#pragma once

#include <cstdint>
#include <cstring>

#include "imglib/convert/srgb.h"
#include "imglib/ops/simd.h"

typedef double ILDouble4 __attribute__((vector_size(32)));

namespace illab {

constexpr float kWhiteX = 0.96422f;
constexpr float kWhiteZ = 0.82521f;
// (6/29)^3: below it the cube root is replaced by a straight line.
constexpr float kEpsilon = 0.008856452f;
constexpr float kSlope = 7.787f;
constexpr float kOffset = 0.13793103f; // 4/29

// Cube root without a transcendental call: a guess from the exponent bits,
// then Newton steps to float precision, the last in double to settle the
// final bit. Any lane value is safe (a guess is never 0).
inline ILFloat4 CubeRoot(ILFloat4 t) {
    ILUint4 bits;
    std::memcpy(&bits, &t, sizeof bits);
    bits = bits / 3u + 0x2A5137A0u;
    ILFloat4 y;
    std::memcpy(&y, &bits, sizeof y);
    for (int i = 0; i < 2; ++i)
        y = (2.0f * y + t / (y * y)) * (1.0f / 3.0f);
    const ILDouble4 d = __builtin_convertvector(y, ILDouble4);
    const ILDouble4 td = __builtin_convertvector(t, ILDouble4);
    return __builtin_convertvector((2.0 * d + td / (d * d)) * (1.0 / 3.0), ILFloat4);
}

inline ILFloat4 F(ILFloat4 t) {
    return t > kEpsilon ? CubeRoot(t) : kSlope * t + kOffset;
}

inline ILFloat4 FInverse(ILFloat4 f) {
    const ILFloat4 cube = f * f * f;
    const ILInt4 curve = cube > kEpsilon;
    // Most groups lie wholly on the curve: the division is then not needed.
    if (curve[0] & curve[1] & curve[2] & curve[3]) return cube;
    return curve ? cube : (f - kOffset) / kSlope;
}

} // namespace illab

inline void ILRgbToLab4(ILFloat4 r, ILFloat4 g, ILFloat4 b, ILFloat4* L, ILFloat4* A, ILFloat4* B) {
    using namespace illab;
    const auto& m = ILMatrixRgbToXyz50;
    const ILFloat4 x = (r * m[0][0] + g * m[1][0] + b * m[2][0]) / kWhiteX;
    const ILFloat4 y = r * m[0][1] + g * m[1][1] + b * m[2][1];
    const ILFloat4 z = (r * m[0][2] + g * m[1][2] + b * m[2][2]) / kWhiteZ;
    const ILFloat4 fy = F(y);
    *L = y > kEpsilon ? 116.0f * fy - 16.0f : 903.2963f * y;
    *A = 500.0f * (F(x) - fy);
    *B = 200.0f * (fy - F(z));
}

inline void ILLabToRgb4(ILFloat4 L, ILFloat4 A, ILFloat4 B, ILFloat4* r, ILFloat4* g, ILFloat4* b) {
    using namespace illab;
    const ILFloat4 fy = (L + 16.0f) / 116.0f;
    const ILFloat4 fx = fy + 0.002f * A;
    const ILFloat4 fz = fy - 0.005f * B;
    const ILFloat4 x = kWhiteX * FInverse(fx);
    const ILFloat4 y = FInverse(fy);
    const ILFloat4 z = kWhiteZ * FInverse(fz);
    const auto& m = ILMatrixXyz50ToRgb;
    *r = x * m[0][0] + y * m[1][0] + z * m[2][0];
    *g = x * m[0][1] + y * m[1][1] + z * m[2][1];
    *b = x * m[0][2] + y * m[1][2] + z * m[2][2];
}
