// The D50 matrices behind the Lab conversion (the sRGB decode tables are
// written by the build: generate/srgb_tables.cpp).
#include "imglib/convert/srgb.h"

namespace {

struct Matrix3 {
    float m[3][3];
};

constexpr void Multiply(const float a[3][3], float result[3][3], const float b[3][3]) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            result[i][j] = 0.0f;
            for (int k = 0; k < 3; ++k)
                result[i][j] += a[i][k] * b[k][j];
        }
    }
}

constexpr Matrix3 Product(const Matrix3& a, const Matrix3& b) {
    Matrix3 r{};
    Multiply(a.m, r.m, b.m);
    return r;
}

constexpr Matrix3 kSrgbToXyzD65 = {{{0.412424f, 0.212656f, 0.0193324f},
                                    {0.357579f, 0.715158f, 0.119193f},
                                    {0.180464f, 0.0721856f, 0.950444f}}};
// Bradford chromatic adaptation between the D65 and D50 whites.
constexpr Matrix3 kD65ToD50 = {{{1.047811f, 0.029542f, -0.009235f},
                                {0.022887f, 0.990484f, 0.015044f},
                                {-0.050127f, -0.017049f, 0.752132f}}};
constexpr Matrix3 kD50ToD65 = {{{0.955577f, -0.02829f, 0.012298f},
                                {-0.023039f, 1.009941f, -0.020483f},
                                {0.063164f, 0.021007f, 1.32991f}}};
constexpr Matrix3 kXyzD65ToSrgb = {{{3.24071f, -0.969258f, 0.0556352f},
                                    {-1.53726f, 1.87599f, -0.203996f},
                                    {-0.498571f, 0.0415557f, 1.05707f}}};

// Evaluated at compile time so the matrices hold before any static
// initialiser of another file could read them.
constexpr Matrix3 kRgbToXyz50 = Product(kSrgbToXyzD65, kD65ToD50);
constexpr Matrix3 kXyz50ToRgb = Product(kD50ToD65, kXyzD65ToSrgb);

} // namespace

float ILMatrixRgbToXyz50[3][3] = {
    {kRgbToXyz50.m[0][0], kRgbToXyz50.m[0][1], kRgbToXyz50.m[0][2]},
    {kRgbToXyz50.m[1][0], kRgbToXyz50.m[1][1], kRgbToXyz50.m[1][2]},
    {kRgbToXyz50.m[2][0], kRgbToXyz50.m[2][1], kRgbToXyz50.m[2][2]},
};
float ILMatrixXyz50ToRgb[3][3] = {
    {kXyz50ToRgb.m[0][0], kXyz50ToRgb.m[0][1], kXyz50ToRgb.m[0][2]},
    {kXyz50ToRgb.m[1][0], kXyz50ToRgb.m[1][1], kXyz50ToRgb.m[1][2]},
    {kXyz50ToRgb.m[2][0], kXyz50ToRgb.m[2][1], kXyz50ToRgb.m[2][2]},
};

void ILMatrix3Multiply(const float a[3][3], float result[3][3], const float b[3][3]) {
    Multiply(a, result, b);
}
