#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "imglib/convert/suite_handle.h"
#include "imglib/ops/gauss.h"
#include "imglib/ops/ops_support.h"
#include "support/test_folder.h"

namespace {

using vxtest::Image;

class Gauss : public SuiteHandleTest {};

ILGaussParams Params(int32_t operation, float amount, int32_t radius, float gain = 0) {
    ILGaussParams p;
    return *ILGaussParamsInit(&p, operation, amount, radius, gain);
}

std::vector<float> Floats(const ILImage& image) {
    std::vector<float> v(image.width * image.height * image.channels);
    for (uint32_t y = 0; y < image.height; ++y)
        std::memcpy(v.data() + y * image.width * image.channels, image.data + y * image.stride,
                    image.width * image.channels * sizeof(float));
    return v;
}

// The kernel sums to 1 and the edges repeat: a uniform image stays as it is,
// also when it is shorter than the radius; amount 0 changes nothing.
TEST_F(Gauss, UniformImagesAndAmountZeroStayUnchanged) {
    struct Case {
        const char* name;
        ILGaussParams params;
        uint32_t height;
        bool seeded;
    };
    const Case cases[] = {
        {"blur radius 5", Params(2, 1, 5), 40, false},
        {"blur radius beyond the height", Params(2, 1, 30), 3, false},
        {"blur of one row", Params(2, 1, 4), 1, false},
        {"blur amount 0", Params(2, 0, 6), 20, true},
        {"sharpen amount 0", Params(1, 0, 6), 20, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image image(33, c.height, IL_BGR8);
        if (c.seeded)
            vxtest::FillSeeded(&image, 3);
        else
            std::memset(image.data, 0x9C, image.stride * image.height);
        const std::vector<uint8_t> before = vxtest::Packed(image);
        ASSERT_EQ(ILGaussFilterInPlace(&c.params, handle_, &image), IL_OK);
        EXPECT_TRUE(vxtest::Packed(image) == before);
    }
}

TEST_F(Gauss, RadiusOneWeighsPointEightAndPointOne) {
    Image image(3, 1, IL_GREY_FLOAT);
    const float v[3] = {0, 1, 0};
    std::memcpy(image.data, v, sizeof v);
    const ILGaussParams p = Params(2, 1, 1, 0.7f); // the gain does not matter at radius 1
    Image target(3, 1, IL_GREY_FLOAT);
    ASSERT_EQ(ILGaussFilter(&p, handle_, &image, &target), IL_OK);
    const std::vector<float> out = Floats(target);
    EXPECT_NEAR(out[1], 0.8f, 1e-6);
    EXPECT_NEAR(out[0], 0.1f, 1e-6);
}

TEST_F(Gauss, SharpenOvershootsAStepOnBothSides) {
    Image image(20, 4, IL_GREY_FLOAT);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 20; ++x) {
            const float v = x < 10 ? 0.2f : 0.6f;
            std::memcpy(image.data + y * image.stride + x * 4, &v, 4);
        }
    const ILGaussParams p = Params(1, 1, 3);
    ASSERT_EQ(ILGaussFilterInPlace(&p, handle_, &image), IL_OK);
    const std::vector<float> out = Floats(image);
    EXPECT_LT(out[9], 0.2f);
    EXPECT_GT(out[10], 0.6f);
    EXPECT_NEAR(out[0], 0.2f, 1e-6);
}

TEST_F(Gauss, ChannelFlags) {
    {
        SCOPED_TRACE("RGBA with the default flags keeps alpha");
        Image image(16, 16, IL_BGRA8);
        vxtest::FillSeeded(&image, 4);
        const std::vector<uint8_t> before = vxtest::Packed(image);
        const ILGaussParams p = Params(2, 1, 3);
        ASSERT_EQ(ILGaussFilterInPlace(&p, handle_, &image), IL_OK);
        const std::vector<uint8_t> after = vxtest::Packed(image);
        int changedColour = 0;
        for (size_t i = 0; i < after.size(); ++i) {
            if (i % 4 == 3)
                ASSERT_EQ(after[i], before[i]);
            else
                changedColour += after[i] != before[i];
        }
        EXPECT_GT(changedColour, 500);
    }
    {
        SCOPED_TRACE("grey with alpha: grey follows the green flag");
        Image image(16, 16, IL_GREY_A8);
        vxtest::FillSeeded(&image, 5);
        const std::vector<uint8_t> before = vxtest::Packed(image);
        ILGaussParams p = Params(2, 1, 3);
        ILGaussParamsSetChannels(&p, 1, 0, 1, 1);
        ASSERT_EQ(ILGaussFilterInPlace(&p, handle_, &image), IL_OK);
        const std::vector<uint8_t> after = vxtest::Packed(image);
        int changedAlpha = 0;
        for (size_t i = 0; i < after.size(); ++i) {
            if (i % 2 == 0)
                ASSERT_EQ(after[i], before[i]);
            else
                changedAlpha += after[i] != before[i];
        }
        EXPECT_GT(changedAlpha, 100);
    }
}

TEST_F(Gauss, BloomLeavesPixelsBelowTheThreshold) {
    Image image(20, 20, IL_BGR8);
    vxtest::FillSeeded(&image, 6);
    for (uint32_t y = 0; y < 20; ++y)
        for (uint32_t x = 0; x < 60; ++x)
            image.data[y * image.stride + x] /= 2; // at most 127: linear 0.21
    const std::vector<uint8_t> before = vxtest::Packed(image);
    const ILGaussParams p = Params(3, 4, 4, 0.9f);
    ASSERT_EQ(ILGaussFilterInPlace(&p, handle_, &image), IL_OK);
    EXPECT_TRUE(vxtest::Packed(image) == before);
}

TEST_F(Gauss, RefusalsAndDegenerateGains) {
    Image palette(4, 4, IL_INDEX8);
    palette.palette = new ILPalette(256);
    const ILGaussParams blur = Params(2, 1, 2);
    EXPECT_EQ(ILGaussFilterInPlace(&blur, handle_, &palette), IL_BAD_ARGUMENT);
    Image image(4, 4, IL_GREY_FLOAT), other(4, 4, IL_GREY8);
    const ILGaussParams none = Params(2, 1, 0);
    EXPECT_EQ(ILGaussFilterInPlace(&none, handle_, &image), IL_FAILED);
    EXPECT_EQ(ILGaussFilter(&blur, handle_, &image, &other), IL_BAD_ARGUMENT);
    const ILGaussParams huge = Params(2, 1, INT32_MAX);
    ILMessageProc kept = ILSetErrorProc(handle_, nullptr);
    EXPECT_EQ(ILGaussFilterInPlace(&huge, handle_, &image), IL_OUT_OF_MEMORY);
    ILSetErrorProc(handle_, kept);
    // Gains that would make the exponent 0, negative or past the normaliser's
    // range give finite values.
    for (float gain : {-1.0f, -3.0f, 5.0f, 1e30f, NAN}) {
        for (int32_t op : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << "gain " << gain << " operation " << op);
            vxtest::FillSeeded(&image, 7);
            const ILGaussParams p = Params(op, 0.7f, 3, gain);
            ASSERT_EQ(ILGaussFilterInPlace(&p, handle_, &image), IL_OK);
            for (float v : Floats(image))
                ASSERT_TRUE(std::isfinite(v)) << v;
        }
    }
}

// vips blurs in scRGB with the same Gaussian: exp(-2 pi i^2 / r^2) has
// sigma = r / (2 sqrt(pi)); its mask reaches as far as ours with a minimum
// amplitude of exp(-2 pi).
TEST_F(Gauss, BlurMatchesVipsInLinearLight) {
    if (!vxtest::HaveTool("vips")) GTEST_SKIP() << "vips is not installed";
    const auto dir = vxtest::MakeTestFolder("gauss_vips");
    Image source(160, 120, IL_RGB8);
    vxtest::FillPhoto(&source, 8);
    for (int32_t r : {4, 12}) {
        SCOPED_TRACE(r);
        const std::string linear = (dir / "linear.v").string(), blurred = (dir / "b.v").string();
        const double sigma = r / (2 * std::sqrt(M_PI));
        const auto wanted =
            vxtest::VipsRun(source, dir,
                            {"colourspace {in} " + linear + " scrgb",
                             "gaussblur " + linear + " " + blurred + " " + std::to_string(sigma) +
                                 " --min-ampl 0.0018 --precision float",
                             "colourspace " + blurred + " {out} srgb"},
                            "--interpretation srgb");
        Image target(160, 120, IL_RGB8);
        const ILGaussParams p = Params(2, 1, r);
        ASSERT_EQ(ILGaussFilter(&p, handle_, &source, &target), IL_OK);
        const vxtest::Difference d = vxtest::Compare(vxtest::Packed(target), wanted[2]);
        EXPECT_LT(d.mean, 0.5);
        EXPECT_LE(d.largest, 3);
    }
    std::filesystem::remove_all(dir);
}

} // namespace
