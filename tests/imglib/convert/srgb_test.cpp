#include <gtest/gtest.h>

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "imglib/convert/profile_owner.h"
#include "imglib/convert/srgb.h"

namespace {

double DecodeReference(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double EncodeReference(double x) {
    return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
}

TEST(SrgbTest, DecodeTablesFollowTheCurveAcrossTheirSegmentSplit) {
    struct Table {
        const float* values;
        int codes, split;
        float slope;
    } tables[] = {{ILSrgbTable8, 256, 11, 3294.6f}, {ILSrgbTable16, 65536, 2651, 846712.2f}};
    for (const Table& t : tables) {
        SCOPED_TRACE(t.codes);
        const float full = float(t.codes - 1);
        EXPECT_EQ(t.values[0], 0.0f);
        EXPECT_EQ(t.values[t.codes - 1], 1.0f);
        EXPECT_EQ(t.values[t.split - 1], float(t.split - 1) / t.slope);
        EXPECT_EQ(t.values[t.split], std::pow((float(t.split) / full + 0.055f) / 1.055f, 2.4f));
        for (int i = 1; i < t.codes; ++i) {
            // The tables are written at build time: what this process
            // computes must be what the build wrote.
            ASSERT_EQ(t.values[i], ILSrgbDecodeCode(i, t.codes, t.split, t.slope)) << i;
            ASSERT_GT(t.values[i], t.values[i - 1]) << i;
            ASSERT_NEAR(t.values[i], DecodeReference(i / double(full)), 2e-6 * t.values[i] + 1e-9)
                << i;
        }
    }
}

// Every code decoded through its table encodes back to itself.
TEST(SrgbTest, EncodersInvertTheDecodeTables) {
    for (int c = 0; c < 256; ++c) {
        ASSERT_EQ(ILLinearToSrgb8(ILSrgbTable8[c]), c);
        ASSERT_NEAR(ILLinearToSrgb8F(ILSrgbTable8[c]), c, 1e-3);
        ASSERT_EQ(ILLinearToSrgb8Dither(ILSrgbTable8[c], 0.001f), c);
    }
    for (int c = 0; c < 65536; ++c)
        ASSERT_EQ(ILLinearToSrgb16(ILSrgbTable16[c]), c);
    for (int c = 0; c < 16; ++c)
        EXPECT_EQ(ILLinearToSrgb4(ILSrgbToLinear(c / 15.0f)), c);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(ILLinearToSrgb2(ILSrgbToLinear(c / 3.0f)), c);
}

TEST(SrgbTest, EncodersAtTheirLimits) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Encoder {
        const char* name;
        double (*fn)(float);
        double max;
    } encoders[] = {
        {"8", [](float x) -> double { return ILLinearToSrgb8(x); }, 255},
        {"16", [](float x) -> double { return ILLinearToSrgb16(x); }, 65535},
        {"4", [](float x) -> double { return ILLinearToSrgb4(x); }, 15},
        {"2", [](float x) -> double { return ILLinearToSrgb2(x); }, 3},
        {"8 dither", [](float x) -> double { return ILLinearToSrgb8Dither(x, 0.96875f); }, 255},
        {"8F", [](float x) -> double { return ILLinearToSrgb8F(x); }, 255},
        {"16F", [](float x) -> double { return ILLinearToSrgb16F(x); }, 65535},
        {"4F", [](float x) -> double { return ILLinearToSrgb4F(x); }, 15},
        {"2F", [](float x) -> double { return ILLinearToSrgb2F(x); }, 3},
        {"clamp 8", [](float x) -> double { return ILClampToU8(x); }, 255},
        {"clamp 16", [](float x) -> double { return ILClampToU16(x); }, 65535},
        {"clamp 8F", [](float x) -> double { return ILClampToU8F(x); }, 255},
        {"clamp 16F", [](float x) -> double { return ILClampToU16F(x); }, 65535},
        {"clamp 8 dither", [](float x) -> double { return ILClampToU8Dither(x, 0.96875f); }, 255},
    };
    for (const Encoder& e : encoders) {
        SCOPED_TRACE(e.name);
        for (float zero : {0.0f, -0.0f, -1e-30f, -5.0f, -inf, nan})
            EXPECT_EQ(e.fn(zero), 0.0) << zero;
        for (float full : {1.0f, 1.5f, 1e30f, inf})
            EXPECT_EQ(e.fn(full), e.max) << full;
        EXPECT_LE(e.fn(std::nextafter(1.0f, 0.0f)), e.max);
    }
    EXPECT_EQ(ILLinearToSrgb8(0.0031308f), 10); // last value on the linear segment
    EXPECT_EQ(ILClampToU8(0.5f), 127);
    EXPECT_EQ(ILClampToU16(0.5f), 32767);
}

TEST(SrgbTest, DitherOffsetsSpreadEachValueOverTwoCodes) {
    for (float x = 0.001f; x < 1.0f; x += 0.0137f) {
        const double exact = EncodeReference(x) * 255;
        for (float d : {0.03125f, 0.46875f, 0.96875f}) {
            const int v = ILLinearToSrgb8Dither(x, d);
            ASSERT_EQ(v, int(ILLinearToSrgb8F(x) + d)) << x << " " << d;
            ASSERT_NEAR(v, exact + d - 0.5, 0.5 + 1e-3) << x << " " << d;
        }
        ASSERT_EQ(ILClampToU8Dither(x, 0.5f), int(x * 255.0f + 0.5f));
    }
}

TEST(SrgbTest, TransferFunctionsAreUnclampedInverses) {
    EXPECT_NEAR(ILLinearToSrgb(-0.1f), -1.292f, 1e-6);
    for (float x : {-0.5f, 0.0f, 0.002f, 0.0031308f, 0.01f, 0.2f, 0.5f, 1.0f, 2.0f, 40.0f}) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(ILLinearToSrgb(x), EncodeReference(x),
                    2e-6 * std::max(1.0, std::abs(EncodeReference(x))));
        EXPECT_NEAR(ILSrgbToLinear(ILLinearToSrgb(x)), x, 4e-6 * std::max(1.0f, std::abs(x)));
    }
}

TEST(SrgbTest, MatrixProductIsRowTimesColumn) {
    const float a[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
    const float b[3][3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
    float r[3][3] = {{99, 99, 99}, {99, 99, 99}, {99, 99, 99}};
    ILMatrix3Multiply(a, r, b);
    const float want[3][3] = {{3, 1, 2}, {6, 4, 5}, {10, 7, 8}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(r[i][j], want[i][j]) << i << j;
}

TEST(SrgbTest, D50MatricesMapWhiteToD50AndInvertEachOther) {
    const float white[3] = {0.96422f, 1.0f, 0.82521f};
    for (int j = 0; j < 3; ++j) {
        const float sum =
            ILMatrixRgbToXyz50[0][j] + ILMatrixRgbToXyz50[1][j] + ILMatrixRgbToXyz50[2][j];
        EXPECT_NEAR(sum, white[j], 2e-4) << j;
    }
    float identity[3][3];
    ILMatrix3Multiply(ILMatrixRgbToXyz50, identity, ILMatrixXyz50ToRgb);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(identity[i][j], i == j ? 1.0 : 0.0, 1e-3) << i << j;
}

using Profile = ILProfilePtr;

// lcms2 converts the same linear colours to Lab from primaries of its own
// making; the two agree to a small fraction of a just-noticeable difference.
TEST(SrgbTest, LabAgreesWithLcms2AndRoundTrips) {
    cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    Profile rgb(cmsCreateRGBProfile(&d65, &primaries, curves));
    cmsFreeToneCurve(linear);
    Profile lab(cmsCreateLab4Profile(nullptr));
    cmsHTRANSFORM toLab = cmsCreateTransform(rgb.get(), TYPE_RGB_DBL, lab.get(), TYPE_Lab_DBL,
                                             INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    ASSERT_NE(toLab, nullptr);

    const float levels[] = {0.0f, 0.0005f, 0.004f, 0.05f, 0.3f, 0.7f, 1.0f};
    for (float r : levels)
        for (float g : levels)
            for (float b : levels) {
                SCOPED_TRACE(testing::Message() << r << " " << g << " " << b);
                const double in[3] = {r, g, b};
                cmsCIELab want;
                cmsDoTransform(toLab, in, &want, 1);
                float L, A, B;
                ILRgbToLab(r, g, b, &L, &A, &B);
                EXPECT_NEAR(L, want.L, 0.05);
                EXPECT_NEAR(A, want.a, 0.15);
                EXPECT_NEAR(B, want.b, 0.15);
                float back[3];
                ILLabToRgb(L, A, B, &back[0], &back[1], &back[2]);
                for (int i = 0; i < 3; ++i)
                    EXPECT_NEAR(back[i], in[i], 2e-5);
            }
    cmsDeleteTransform(toLab);

    float L, A, B;
    ILRgbToLab(0, 0, 0, &L, &A, &B);
    EXPECT_TRUE(L == 0 && A == 0 && B == 0);
    ILRgbToLab(1, 1, 1, &L, &A, &B);
    EXPECT_NEAR(L, 100, 1e-3);
    EXPECT_NEAR(A, 0, 0.02);
    EXPECT_NEAR(B, 0, 0.02);
}

} // namespace
