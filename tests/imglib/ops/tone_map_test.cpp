#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <Imath/half.h>
#include <lcms2.h>

#include "imglib/convert/profile_owner.h"
#include "imglib/convert/srgb.h"
#include "imglib/convert/suite_handle.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/ops_support.h"

namespace {

using vxtest::Image;

class ToneMap : public SuiteHandleTest {
protected:
    void SetUp() override {
        SuiteHandleTest::SetUp();
        ILToneMapInit(&map_);
    }
    void TearDown() override {
        ILLimitLanes(ILLanes::k16);
        SuiteHandleTest::TearDown();
    }
    // The forms of the R, G, B float rows this processor can run, from
    // `narrowest` up.
    static std::vector<ILLanes> Forms(ILLanes narrowest) {
        std::vector<ILLanes> forms;
        for (const ILLanes lanes : {ILLanes::k4, ILLanes::k8, ILLanes::k16})
            if (lanes >= narrowest && lanes <= ILWidestLanes()) forms.push_back(lanes);
        return forms;
    }
    ILToneMap map_;
};

TEST_F(ToneMap, DefaultsGiveEveryImageBack) {
    for (ILPixelType type : {IL_BGR_FLOAT, IL_BGRA_HALF, IL_GREY_FLOAT, IL_BGRA8, IL_GREY8,
                             IL_BGR16, IL_GREY_A16, IL_GREY4, IL_GREY2}) {
        SCOPED_TRACE(type);
        Image image(23, 9, type);
        vxtest::FillSeeded(&image, type);
        const std::vector<uint8_t> before = vxtest::Packed(image);
        ASSERT_EQ(ILToneMapApplyInPlace(&map_, handle_, &image), IL_OK);
        const std::vector<uint8_t> after = vxtest::Packed(image);
        if (image.bits == 16 && (type & IL_KIND_MASK) == IL_KIND_16) {
            const uint16_t* a = reinterpret_cast<const uint16_t*>(before.data());
            const uint16_t* b = reinterpret_cast<const uint16_t*>(after.data());
            for (size_t i = 0; i < before.size() / 2; ++i)
                ASSERT_LE(std::abs(a[i] - b[i]), 1) << i;
        } else if (type == IL_BGRA8 || type == IL_GREY8) {
            for (size_t i = 0; i < before.size(); ++i)
                ASSERT_LE(std::abs(after[i] - before[i]), 1) << i;
        } else {
            EXPECT_EQ(after, before);
        }
    }
}

// The toe derivation reproduces the sRGB curves at 2.4 and 1 / 2.4.
TEST_F(ToneMap, ExponentCurvesAreTheSrgbCurves) {
    ASSERT_TRUE(ILToneMapSetExponent(&map_, 2.4f, true));
    EXPECT_NEAR(map_.toeOffset, 0.055f, 1e-6);
    EXPECT_NEAR(map_.toeSlope, 1 / 12.92f, 2e-4);
    for (float x = -0.1f; x < 1.3f; x += 0.01f)
        EXPECT_NEAR(ILToneMapCurve(&map_, x), ILSrgbToLinear(x), 2e-4) << x;
    ASSERT_TRUE(ILToneMapSetExponent(&map_, 1 / 2.4f, true));
    EXPECT_NEAR(map_.toeSlope, 12.92f, 0.03);
    for (float x = 0.0f; x < 1.3f; x += 0.01f)
        EXPECT_NEAR(ILToneMapCurve(&map_, x), ILLinearToSrgb(x), 2e-4) << x;
    // Exponent 1 ignores the toe; non-positive exponents are refused.
    ASSERT_TRUE(ILToneMapSetExponent(&map_, 1, true));
    EXPECT_EQ(ILToneMapCurve(&map_, 0.001f), 0.001f);
    EXPECT_FALSE(ILToneMapSetExponent(&map_, 0, true));
    EXPECT_FALSE(ILToneMapSetExponent(&map_, -2, true));
    EXPECT_FALSE(ILToneMapSetExponent(&map_, NAN, true));
    EXPECT_EQ(map_.exponent, 1);
}

float Luminance(const float* bgr) {
    return 0.212656f * bgr[2] + 0.715158f * bgr[1] + 0.072186f * bgr[0];
}

TEST_F(ToneMap, ChromaHueAndExposureOnFloatPixels) {
    Image image(64, 1, IL_BGR_FLOAT);
    vxtest::FillSeeded(&image, 11);
    const std::vector<uint8_t> before = vxtest::Packed(image);
    const float* in = reinterpret_cast<const float*>(before.data());

    // Chroma 0 then any hue: every channel becomes the luminance.
    ILToneMapSetChroma(&map_, 0, false);
    ILToneMapSetHue(&map_, 77, false);
    EXPECT_TRUE(map_.changed);
    ILToneMapUpdate(&map_);
    ASSERT_EQ(ILToneMapApplyInPlace(&map_, handle_, &image), IL_OK);
    const float* out = reinterpret_cast<const float*>(image.data);
    for (int i = 0; i < 64; ++i)
        for (int ch = 0; ch < 3; ++ch)
            ASSERT_NEAR(out[3 * i + ch], Luminance(in + 3 * i), 1e-5);

    // A hue rotation keeps luminance and, at 360, every colour.
    ILToneMapReset(&map_);
    ILToneMapSetHue(&map_, 140, true);
    std::memcpy(image.data, before.data(), before.size());
    ILToneMapApplyInPlace(&map_, handle_, &image);
    bool moved = false;
    for (int i = 0; i < 64; ++i) {
        ASSERT_NEAR(Luminance(out + 3 * i), Luminance(in + 3 * i), 1e-5);
        moved |= std::fabs(out[3 * i] - in[3 * i]) > 0.05f;
    }
    EXPECT_TRUE(moved);
    ILToneMapSetHue(&map_, 360, true);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(map_.result[i][j], i == j ? 1.0f : 0.0f, 1e-5);

    // Exposure, then black.
    ILToneMapReset(&map_);
    ILToneMapSetExposure(&map_, 2, true);
    ILToneMapSetBlack(&map_, 0.25f, true);
    std::memcpy(image.data, before.data(), before.size());
    ILToneMapApplyInPlace(&map_, handle_, &image);
    for (int i = 0; i < 192; ++i)
        ASSERT_FLOAT_EQ(out[i], in[i] * 2 + 0.25f);
}

// Float and half images take the curve from tables; each sample must come
// out as the curve of its value (float within the rounding noise of the
// curve's own float arithmetic, half exactly), across the toe, huge values
// and the special ones.
TEST_F(ToneMap, FloatAndHalfSamplesFollowTheCurve) {
    std::vector<float> values = {-2.0f, -0.0f, 0.0f, 1e-30f, 1e-6f,    0.5f,
                                 1.0f,  3.0f,  1e6f, 3e38f,  INFINITY, NAN};
    for (int i = 0; i < 2000; ++i)
        values.push_back(std::pow(10.0f, -4 + i * 0.004f)); // to 1e4
    for (const float exponent : {0.4f, 1 / 2.4f, 1.5f, 2.4f, 3.0f}) {
        SCOPED_TRACE(exponent);
        ASSERT_TRUE(ILToneMapSetExponent(&map_, exponent, true));
        for (const float toe : {map_.toeThreshold, std::nextafter(map_.toeThreshold, 1.0f)})
            values.push_back(toe);
        Image floats(static_cast<uint32_t>(values.size()), 1, IL_GREY_FLOAT);
        std::memcpy(floats.data, values.data(), values.size() * sizeof(float));
        ASSERT_EQ(ILToneMapApplyInPlace(&map_, handle_, &floats), IL_OK);
        const float* out = reinterpret_cast<const float*>(floats.data);
        for (size_t i = 0; i < values.size(); ++i) {
            const float want = ILToneMapCurve(&map_, values[i]);
            if (std::isnan(want)) {
                ASSERT_TRUE(std::isnan(out[i])) << values[i];
            } else if (std::isinf(want) || want == 0) {
                ASSERT_EQ(out[i], want) << values[i];
            } else {
                ASSERT_NEAR(out[i], want, std::fabs(want) * 1e-6f) << values[i];
            }
        }
        Image halves(1024, 64, IL_GREY_HALF);
        for (uint32_t i = 0; i < 65536; ++i)
            std::memcpy(halves.data + 2 * i, &i, 2);
        ASSERT_EQ(ILToneMapApplyInPlace(&map_, handle_, &halves), IL_OK);
        for (uint32_t i = 0; i < 65536; ++i) {
            uint16_t got;
            std::memcpy(&got, halves.data + 2 * i, 2);
            // Plus the black level 0, which makes -0 +0.
            const half want = half(ILToneMapCurve(&map_, imath_half_to_float(uint16_t(i))) + 0.0f);
            if (want.isNan()) {
                ASSERT_TRUE(std::isnan(imath_half_to_float(got))) << i;
            } else {
                ASSERT_EQ(got, want.bits()) << i;
            }
        }
    }
}

// Every float from the toe's end to 2, through grey rows (four lanes) and
// R, G, B rows (eight and sixteen lanes, as far as the processor has them)
// under an identity matrix: all give each sample the same value, within
// 1e-6 of the curve
// worked out in double precision, at the exponents the dialog reaches
// furthest (where the power bends most and, below 1, where taking off the
// offset cancels most).
TEST_F(ToneMap, FloatCurveHoldsOverEveryFloatOfTheWorkingRange) {
    constexpr uint32_t kWidth = 3072, kHeight = 256, kChunk = kWidth * kHeight;
    Image grey(kWidth, kHeight, IL_GREY_FLOAT), rgb(kWidth / 3, kHeight, IL_RGB_FLOAT);
    ASSERT_EQ(grey.stride, 4 * kWidth);
    ASSERT_EQ(rgb.stride, 4 * kWidth);
    std::vector<float> in(kChunk);
    for (const float exponent : {0.25f, 5.0f}) {
        SCOPED_TRACE(exponent);
        ASSERT_TRUE(ILToneMapSetExponent(&map_, exponent, true));
        const double a = map_.toeOffset;
        float from = std::nextafter(map_.toeThreshold, 2.0f);
        const float to = 2.0f;
        uint32_t first, end;
        std::memcpy(&first, &from, 4);
        std::memcpy(&end, &to, 4);
        double worst = 0;
        for (uint32_t bits = first; bits < end; bits += kChunk) {
            const uint32_t count = std::min(kChunk, end - bits);
            for (uint32_t i = 0; i < kChunk; ++i) {
                const uint32_t b = std::min(bits + i, end - 1);
                std::memcpy(grey.data + 4 * i, &b, 4);
            }
            std::memcpy(in.data(), grey.data, 4 * size_t{kChunk});
            ASSERT_EQ(ILToneMapApplyInPlace(&map_, handle_, &grey), IL_OK);
            for (const ILLanes lanes : Forms(ILLanes::k8)) {
                ILLimitLanes(lanes);
                std::memcpy(rgb.data, in.data(), 4 * size_t{kChunk});
                ASSERT_EQ(ILToneMapApplyInPlace(&map_, handle_, &rgb), IL_OK);
                ASSERT_EQ(std::memcmp(grey.data, rgb.data, 4 * size_t{kChunk}), 0)
                    << static_cast<int>(lanes);
            }
            const float* out = reinterpret_cast<const float*>(grey.data);
            for (uint32_t i = 0; i < count; ++i) {
                const double x = in[i];
                const double want = exponent > 1 ? std::pow((x + a) / (a + 1), exponent)
                                                 : std::pow(x, exponent) * (a + 1) - a;
                worst = std::max(worst, std::fabs(out[i] / want - 1));
                if (!(std::fabs(out[i] - want) <= want * 1e-6))
                    FAIL() << in[i] << ": " << out[i] << " against " << want;
            }
        }
        std::printf("exponent %g: largest relative error %.3g\n", exponent, worst);
    }
}

// Three-channel float rows go in one pass, four, eight or sixteen pixels at
// a time (each form the processor has is run); four-channel rows through
// planes of red, green and blue, four at a time. The same colours must come
// out of all, bit for bit, in either channel order, with every part of
// the map in use, across the toe, the table and the values beyond it, and
// in a row whose last pixels are not a whole group.
TEST_F(ToneMap, ThreeChannelFloatRowsGiveTheFourChannelRowsColours) {
    ILToneMapSetExposure(&map_, 1.3f, false);
    ILToneMapSetChroma(&map_, 1.4f, false);
    ILToneMapSetHue(&map_, 25, false);
    ILToneMapSetWhitePoint(&map_, 5000, false);
    ILToneMapSetBlack(&map_, 0.01f, false);
    ASSERT_TRUE(ILToneMapSetExponent(&map_, 1.7f, true));
    std::vector<float> values = {-2.0f, -0.0f,    0.0f, 1e-30f, map_.toeThreshold,
                                 3e38f, INFINITY, NAN,  1e6f};
    for (int i = 0; values.size() < 3 * 1001; ++i)
        values.push_back(std::pow(10.0f, -3 + (i * 7919 % 3000) * 0.0012f));
    const uint32_t width = static_cast<uint32_t>(values.size() / 3);
    for (const auto& [three, four] :
         {std::pair{IL_RGB_FLOAT, IL_RGBA_FLOAT}, std::pair{IL_BGR_FLOAT, IL_BGRA_FLOAT}}) {
        Image rgba(width, 2, four);
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < width; ++x)
                std::memcpy(rgba.data + y * rgba.stride + 16 * x, &values[3 * x], 12);
        ASSERT_EQ(ILToneMapApplyInPlace(&map_, handle_, &rgba), IL_OK);
        for (const ILLanes lanes : Forms(ILLanes::k4)) {
            SCOPED_TRACE(static_cast<int>(lanes));
            ILLimitLanes(lanes);
            Image rgb(width, 2, three);
            for (uint32_t y = 0; y < 2; ++y)
                for (uint32_t x = 0; x < width; ++x)
                    std::memcpy(rgb.data + y * rgb.stride + 12 * x, &values[3 * x], 12);
            ASSERT_EQ(ILToneMapApplyInPlace(&map_, handle_, &rgb), IL_OK);
            for (uint32_t y = 0; y < 2; ++y)
                for (uint32_t x = 0; x < width; ++x) {
                    float a[3], b[3];
                    std::memcpy(a, rgb.data + y * rgb.stride + 12 * x, 12);
                    std::memcpy(b, rgba.data + y * rgba.stride + 16 * x, 12);
                    for (int ch = 0; ch < 3; ++ch) {
                        if (std::isnan(a[ch]) && std::isnan(b[ch])) continue;
                        ASSERT_EQ(std::memcmp(&a[ch], &b[ch], 4), 0)
                            << "pixel " << x << " channel " << ch << ": " << a[ch] << " " << b[ch];
                    }
                }
        }
    }
}

// lcms2 profiles of the sRGB primaries with white points A and B, linked
// without adaptation, carry colours relative to A into B's terms as the
// white-point matrix does.
TEST_F(ToneMap, WhitePointMatchesLcms2) {
    cmsSetAdaptationState(0);
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    for (int32_t kelvin : {3500, 5000, 6499, 8200, 9500}) {
        SCOPED_TRACE(kelvin);
        const int32_t d = (6500 - kelvin) / 2;
        cmsCIExyY wA, wB;
        ASSERT_TRUE(cmsWhitePointFromTemp(&wA, 5500 - d));
        ASSERT_TRUE(cmsWhitePointFromTemp(&wB, 5500 + d));
        ILProfilePtr a(cmsCreateRGBProfile(&wA, &primaries, curves));
        ILProfilePtr b(cmsCreateRGBProfile(&wB, &primaries, curves));
        cmsHTRANSFORM link = cmsCreateTransform(a.get(), TYPE_RGB_DBL, b.get(), TYPE_RGB_DBL,
                                                INTENT_ABSOLUTE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
        ASSERT_NE(link, nullptr);
        ILToneMapReset(&map_);
        ILToneMapSetWhitePoint(&map_, kelvin, true);
        const double colours[][3] = {{1, 1, 1}, {0.8, 0.2, 0.1}, {0.05, 0.5, 0.9}, {0.3, 0.3, 0.3}};
        for (const auto& c : colours) {
            double want[3];
            cmsDoTransform(link, c, want, 1);
            const float r = static_cast<float>(c[0]), g = static_cast<float>(c[1]),
                        bl = static_cast<float>(c[2]);
            const Imath::M44f& m = map_.result;
            EXPECT_NEAR(r * m[0][0] + g * m[1][0] + bl * m[2][0], want[0], 2e-3);
            EXPECT_NEAR(r * m[0][1] + g * m[1][1] + bl * m[2][1], want[1], 2e-3);
            EXPECT_NEAR(r * m[0][2] + g * m[1][2] + bl * m[2][2], want[2], 2e-3);
        }
        cmsDeleteTransform(link);
        // Below 6500 K white turns warm, above it cool.
        const float red = map_.result[0][0] + map_.result[1][0] + map_.result[2][0];
        const float blue = map_.result[0][2] + map_.result[1][2] + map_.result[2][2];
        if (kelvin < 6000) {
            EXPECT_GT(red, blue + 0.1f);
        }
        if (kelvin > 7000) {
            EXPECT_LT(red, blue - 0.1f);
        }
    }
    cmsFreeToneCurve(linear);
    cmsSetAdaptationState(1);
    // Out-of-range temperatures are clamped, never left to lcms2's error path.
    ILToneMapSetWhitePoint(&map_, 20000, true);
    EXPECT_EQ(map_.whitePoint, 9500);
    ILToneMapSetWhitePoint(&map_, 1000, true);
    EXPECT_EQ(map_.whitePoint, 3500);
}

TEST_F(ToneMap, PalettesTargetsAndCancelling) {
    ILToneMapSetExposure(&map_, 0.5f, true);
    Image indexed(4, 4, IL_INDEX8);
    vxtest::FillSeeded(&indexed, 1);
    indexed.palette = new ILPalette(2);
    indexed.palette->SetEntry16(0, 65535, 65535, 65535, 777);
    const std::vector<uint8_t> indices = vxtest::Packed(indexed);
    ASSERT_EQ(ILToneMapApplyInPlace(&map_, handle_, &indexed), IL_OK);
    EXPECT_EQ(vxtest::Packed(indexed), indices);
    EXPECT_EQ(indexed.palette->GetEntry(0).alpha, 777);
    EXPECT_NEAR(indexed.palette->GetEntry(0).red, ILLinearToSrgb16(0.5f), 1);

    // A separate target keeps its own alpha; sizes must match.
    Image source(8, 3, IL_BGRA8), target(8, 3, IL_BGRA8), wide(9, 3, IL_BGRA8);
    vxtest::FillSeeded(&source, 2);
    std::memset(target.data, 0x5A, target.stride * target.height);
    ASSERT_EQ(ILToneMapApply(&map_, handle_, &source, &target), IL_OK);
    for (uint32_t x = 0; x < 8; ++x)
        EXPECT_EQ(target.data[4 * x + 3], 0x5A);
    EXPECT_EQ(ILToneMapApply(&map_, handle_, &source, &wide), IL_BAD_ARGUMENT);

    // Unsupported kinds stay; cancelling keeps row 0 changed only.
    Image bilevel(8, 2, IL_GREY1);
    vxtest::FillSeeded(&bilevel, 3);
    const auto bits = vxtest::Packed(bilevel);
    EXPECT_EQ(ILToneMapApplyInPlace(&map_, handle_, &bilevel), IL_OK);
    EXPECT_EQ(vxtest::Packed(bilevel), bits);

    Image grey(8, 3, IL_GREY8);
    std::memset(grey.data, 200, grey.stride * 3);
    ILSetProgressProc(
        handle_, [](uint32_t, uint32_t, void*) { return false; }, nullptr);
    EXPECT_EQ(ILToneMapApplyInPlace(&map_, handle_, &grey), IL_CANCELLED);
    ILSetProgressProc(handle_, nullptr, nullptr);
    EXPECT_LT(grey.data[0], 200);
    EXPECT_EQ(grey.data[grey.stride], 200);
}

} // namespace
