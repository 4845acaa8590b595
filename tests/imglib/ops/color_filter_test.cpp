#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include <lcms2.h>

#include "imglib/convert/converter.h"
#include "imglib/convert/profile_owner.h"
#include "imglib/convert/srgb.h"
#include "imglib/convert/suite_handle.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/ops_support.h"

namespace {

using vxtest::Image;

class ColorFilter : public SuiteHandleTest {};

// lcms2 takes linear sRGB to Lab and back; the tint is applied here in double
// from the settings alone, and our output is compared in Lab.
TEST_F(ColorFilter, FloatImageMatchesAnLcms2Computation) {
    cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    ILProfilePtr rgb(cmsCreateRGBProfile(&d65, &primaries, curves));
    cmsFreeToneCurve(linear);
    ILProfilePtr lab(cmsCreateLab4Profile(nullptr));
    cmsHTRANSFORM toLab = cmsCreateTransform(rgb.get(), TYPE_RGB_DBL, lab.get(), TYPE_Lab_DBL,
                                             INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOOPTIMIZE);
    ASSERT_NE(toLab, nullptr);

    struct Case {
        float hueL, strengthL, hueS, strengthS;
    } cases[] = {{90, 100, 270, 0}, {30, 40, 200, 60}, {300, 0, 120, 100}, {0, 0, 0, 0}};
    Image image(16, 8, IL_BGR_FLOAT);
    vxtest::FillSeeded(&image, 3);
    float* px = reinterpret_cast<float*>(image.data);
    px[0] = px[1] = px[2] = 1.0f; // white: L 100
    px[3] = px[4] = px[5] = 0.0f; // black: L 0
    const std::vector<uint8_t> original = vxtest::Packed(image);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.hueL << " " << c.strengthL << " " << c.hueS << " " << c.strengthS);
        ILColorFilterParams p;
        ILColorFilterInit(&p, c.hueL, c.strengthL, c.hueS, c.strengthS);
        Image target(16, 8, IL_BGR_FLOAT);
        ASSERT_EQ(ILColorFilter(&p, handle_, &image, &target), IL_OK);
        ASSERT_EQ(vxtest::Packed(image), original);
        const float* in = reinterpret_cast<const float*>(image.data);
        const float* out = reinterpret_cast<const float*>(target.data);
        for (uint32_t i = 0; i < 16 * 8; ++i) {
            const double rgbIn[3] = {in[3 * i + 2], in[3 * i + 1], in[3 * i]};
            const double rgbOut[3] = {out[3 * i + 2], out[3 * i + 1], out[3 * i]};
            cmsCIELab before, after;
            cmsDoTransform(toLab, rgbIn, &before, 1);
            cmsDoTransform(toLab, rgbOut, &after, 1);
            const double rad = 3.14159265 / 180, sL = c.strengthL / 100, sS = c.strengthS / 100;
            const double t = std::clamp(before.L / 100, 0.0, 1.0);
            const double a1 = (1 - sL) * before.a + std::cos(c.hueL * rad) * sL * 95;
            const double b1 = (1 - sL) * before.b + std::sin(c.hueL * rad) * sL * 95;
            const double a0 = (1 - sS) * before.a + std::cos(c.hueS * rad) * sS * 95;
            const double b0 = (1 - sS) * before.b + std::sin(c.hueS * rad) * sS * 95;
            EXPECT_NEAR(after.L, before.L, 0.3) << i;
            EXPECT_NEAR(after.a, a1 * t + a0 * (1 - t), 0.5) << i;
            EXPECT_NEAR(after.b, b1 * t + b0 * (1 - t), 0.5) << i;
        }
    }
    cmsDeleteTransform(toLab);
}

// Rows go through a division-free kernel in four or eight lanes; pixels
// (palettes) through the exact Lab round trip. The lanes must agree bit for
// bit, and both with the exact pixels to within float rounding, across
// Lab's linear segments, the gamut's edges and values beyond it; 8-bit
// images must come out as the exact pixels' dithered codes, or one off.
TEST_F(ColorFilter, FastRowsMatchTheExactPixels) {
    std::vector<float> values = {0.0f,  1e-6f, 0.0005f, 0.008f, 0.0089f,
                                 0.01f, 0.5f,  1.0f,    2.0f,   60.0f};
    for (int i = 0; values.size() < 3 * 4096; ++i)
        values.push_back(std::pow(10.0f, -5 + (i * 7919 % 6000) * 0.001f)); // to 10
    const size_t n = values.size() / 3;
    ILColorFilterParams p;
    ILColorFilterInit(&p, 30, 70, 200, 45);
    std::vector<float> want(values.size());
    for (size_t i = 0; i < n; ++i) {
        float r = values[i], g = values[n + i], b = values[2 * n + i];
        ILColorFilterPixel(&p, &r, &g, &b);
        want[i] = r, want[n + i] = g, want[2 * n + i] = b;
    }
    std::vector<float> four = values, eight = values;
    ILColorFilterPlanes(&p, four.data(), four.data() + n, four.data() + 2 * n, n, ILLanes::k4);
    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_NEAR(four[i], want[i], 2e-6f + 1e-5f * std::fabs(want[i]))
            << i << " from " << values[i];
    if (ILWidestLanes() >= ILLanes::k8) {
        ILColorFilterPlanes(&p, eight.data(), eight.data() + n, eight.data() + 2 * n, n,
                            ILLanes::k8);
        EXPECT_EQ(eight, four);
    }

    Image image(331, 5, IL_BGR8);
    vxtest::FillPhoto(&image, 8);
    const std::vector<uint8_t> before = vxtest::Packed(image);
    ASSERT_EQ(ILColorFilterInPlace(&p, handle_, &image), IL_OK);
    int off = 0;
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 331; ++x) {
            const uint8_t* in = before.data() + (y * 331 + x) * 3;
            const uint8_t* out = image.data + y * image.stride + 3 * x;
            float rgb[3] = {ILSrgbTable8[in[2]], ILSrgbTable8[in[1]], ILSrgbTable8[in[0]]};
            ILColorFilterPixel(&p, &rgb[0], &rgb[1], &rgb[2]);
            const float d = ILOrderedDitherF[4 * (x & 3) + (y & 3)];
            for (int c = 0; c < 3; ++c) {
                const int code = static_cast<int>(ILLinearToSrgb8F(rgb[2 - c]) + d);
                ASSERT_LE(std::abs(out[c] - std::min(code, 255)), 1) << x << " " << y;
                off += out[c] != std::min(code, 255);
            }
        }
    EXPECT_LT(off, 331 * 5 * 3 / 100);
}

// Strengths 0 give the input back: 8-bit through the dithered encoder, alpha
// untouched in place.
TEST_F(ColorFilter, ZeroStrengthKeepsIntegerImagesAndAlpha) {
    ILColorFilterParams p;
    ILColorFilterInitDefault(&p);
    for (ILPixelType type : {IL_BGRA8, IL_BGR16}) {
        SCOPED_TRACE(type);
        Image image(40, 7, type);
        vxtest::FillSeeded(&image, 9);
        const std::vector<uint8_t> before = vxtest::Packed(image);
        ASSERT_EQ(ILColorFilterInPlace(&p, handle_, &image), IL_OK);
        const std::vector<uint8_t> after = vxtest::Packed(image);
        if (type == IL_BGRA8) {
            for (size_t i = 0; i < before.size(); ++i)
                if (i % 4 == 3)
                    ASSERT_EQ(after[i], before[i]);
                else
                    ASSERT_LE(std::abs(after[i] - before[i]), 1) << i;
        } else {
            const uint16_t* a = reinterpret_cast<const uint16_t*>(before.data());
            const uint16_t* b = reinterpret_cast<const uint16_t*>(after.data());
            for (size_t i = 0; i < before.size() / 2; ++i)
                ASSERT_LE(std::abs(a[i] - b[i]), 40) << i;
        }
    }
}

// A colour's 8-bit result depends on the colour and its dither phase alone:
// a row met again (row 4 has row 0's dither phase) must come out as it did
// the first time, and a row of the same colours in another order (row 8)
// likewise pixel for pixel.
TEST_F(ColorFilter, SameColoursGiveTheSameResult) {
    const uint32_t w = 3000;
    Image image(w, 9, IL_BGR8);
    vxtest::FillSeeded(&image, 21);
    for (uint32_t y = 1; y < 9; ++y)
        std::memcpy(image.data + y * image.stride, image.data, w * 3);
    // Row 8 reversed in groups of four, which keeps each pixel's dither phase.
    uint8_t* last = image.data + 8 * image.stride;
    for (uint32_t x = 0; x < w; ++x)
        std::memcpy(last + 3 * x, image.data + 3 * ((w - 4 - x / 4 * 4) + x % 4), 3);
    ILColorFilterParams p;
    ILColorFilterInit(&p, 30, 60, 200, 40);
    ASSERT_EQ(ILColorFilterInPlace(&p, handle_, &image), IL_OK);
    EXPECT_EQ(std::memcmp(image.data, image.data + 4 * image.stride, w * 3), 0);
    for (uint32_t x = 0; x < w; ++x)
        ASSERT_EQ(std::memcmp(last + 3 * x, image.data + 3 * ((w - 4 - x / 4 * 4) + x % 4), 3), 0)
            << x;
}

TEST_F(ColorFilter, IndexedImagesChangeOnlyTheirPaletteWithoutProgress) {
    Image image(5, 5, IL_INDEX8);
    vxtest::FillSeeded(&image, 2);
    image.palette = new ILPalette(4);
    image.palette->SetEntry16(0, 65535, 65535, 65535, 65535);
    image.palette->SetEntry16(1, 0, 0, 0, 100);
    const std::vector<uint8_t> indices = vxtest::Packed(image);
    int calls = 0;
    ILSetProgressProc(
        handle_, [](uint32_t, uint32_t, void* n) { return ++*static_cast<int*>(n), true; }, &calls);
    ILColorFilterParams p;
    ILColorFilterInit(&p, 90, 100, 270, 0);
    EXPECT_EQ(ILColorFilterInPlace(&p, handle_, &image), IL_OK);
    ILSetProgressProc(handle_, nullptr, nullptr);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(vxtest::Packed(image), indices);
    // Yellow beyond the gamut: clipped to full red, near-full green, little blue.
    const ILPaletteEntry white = image.palette->GetEntry(0);
    EXPECT_EQ(white.red, 65535);
    EXPECT_GT(white.green, 60000);
    EXPECT_LT(white.blue, 10000);
    EXPECT_EQ(image.palette->GetEntry(1).red, 0); // no shadow tint
    EXPECT_EQ(image.palette->GetEntry(1).alpha, 100);
}

TEST_F(ColorFilter, RefusesMismatchesAndStopsWhenCancelled) {
    ILColorFilterParams p;
    ILColorFilterInit(&p, 10, 50, 200, 50);
    Image rgb(6, 4, IL_BGR8), small(5, 4, IL_BGR8), other(6, 4, IL_BGRA8), grey(6, 4, IL_GREY8),
        cmyk(6, 4, IL_CMYK8);
    EXPECT_EQ(ILColorFilter(&p, handle_, &rgb, &small), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILColorFilter(&p, handle_, &rgb, &other), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILColorFilterInPlace(&p, handle_, &grey), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILColorFilterInPlace(&p, handle_, &cmyk), IL_BAD_ARGUMENT);

    vxtest::FillPhoto(&rgb, 4);
    const std::vector<uint8_t> before = vxtest::Packed(rgb);
    ILSetProgressProc(
        handle_, [](uint32_t, uint32_t, void*) { return false; }, nullptr);
    EXPECT_EQ(ILColorFilterInPlace(&p, handle_, &rgb), IL_CANCELLED);
    ILSetProgressProc(handle_, nullptr, nullptr);
    const std::vector<uint8_t> after = vxtest::Packed(rgb);
    const size_t row = 6 * 3;
    EXPECT_NE(std::vector<uint8_t>(after.begin(), after.begin() + row),
              std::vector<uint8_t>(before.begin(), before.begin() + row));
    EXPECT_EQ(std::vector<uint8_t>(after.begin() + row, after.end()),
              std::vector<uint8_t>(before.begin() + row, before.end()));
}

} // namespace
