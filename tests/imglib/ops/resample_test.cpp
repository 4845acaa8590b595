#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "imglib/convert/srgb.h"
#include "imglib/format.h"
#include "imglib/imglib.h"
#include "imglib/ops/resample.h"
#include "imglib/ops/srgb8_encoder.h"
#include "imglib/convert/converter.h"
#include "imglib/convert/suite_handle.h"
#include "imglib/ops/ops_support.h"
#include "support/test_folder.h"

namespace {

using vxtest::Image;

class Resample : public SuiteHandleTest {};

TEST_F(Resample, BoxAveragesInLinearLightFastAveragesCodes) {
    Image source(2, 1, IL_BGR8);
    std::memcpy(source.data, "\0\0\0\xff\xff\xff", 6);
    Image linear(1, 1, IL_BGR8), fast(1, 1, IL_BGR8);
    ASSERT_EQ(ILResampleInto(handle_, &source, &linear, 0), IL_OK);
    EXPECT_EQ(linear.data[0], ILLinearToSrgb8(0.5f));
    EXPECT_NEAR(linear.data[0], 187, 1);
    ASSERT_EQ(ILResampleFast(&source, &fast), IL_OK);
    EXPECT_EQ(fast.data[0], 127);
}

// Taps past the edge repeat it, so a uniform image stays uniform whatever the
// filter and sizes. The pairs include shrinks whose tap lists outgrow
// (int)(2S + 1) entries (Gauss 7 -> 1 needs 29 taps); the sanitizer build
// watches for any write past a list.
TEST_F(Resample, UniformStaysUniformForEveryFilterAndSize) {
    const std::pair<uint32_t, uint32_t> sizes[] = {{7, 1}, {1, 7}, {13, 3},  {3, 13},   {100, 7},
                                                   {9, 2}, {2, 9}, {31, 30}, {1000, 10}};
    for (uint8_t filter = 0; filter < IL_RESAMPLE_FILTER_COUNT; ++filter) {
        for (auto [from, to] : sizes) {
            SCOPED_TRACE(::testing::Message()
                         << ILResampleFilterNames[filter] << " " << from << " -> " << to);
            Image source(from, 3, IL_BGRA8);
            for (uint32_t y = 0; y < 3; ++y)
                for (uint32_t x = 0; x < from; ++x)
                    std::memcpy(source.data + y * source.stride + x * 4, "\x20\x80\xe0\x90", 4);
            Image target(to, 5, IL_BGRA8), fast(to, 5, IL_BGR8);
            ASSERT_EQ(ILResampleInto(handle_, &source, &target, filter), IL_OK);
            ASSERT_EQ(ILResampleFast(&source, &fast), IL_OK);
            for (uint32_t y = 0; y < 5; ++y)
                for (uint32_t x = 0; x < to; ++x) {
                    const uint8_t* p = target.data + y * target.stride + x * 4;
                    ASSERT_NEAR(p[0], 0x20, 1);
                    ASSERT_NEAR(p[1], 0x80, 1);
                    ASSERT_NEAR(p[2], 0xe0, 1);
                    ASSERT_NEAR(p[3], 0x90, 1);
                    ASSERT_NEAR(fast.data[y * fast.stride + x * 3 + 1], 0x80, 1);
                }
        }
    }
}

TEST_F(Resample, BoxEnlargingByTwoCopiesBlocks) {
    Image image(3, 2, IL_GREY8);
    vxtest::FillSeeded(&image, 4);
    const std::vector<uint8_t> before = vxtest::Packed(image);
    ASSERT_EQ(ILResampleImage(handle_, &image, 6, 4, 0), IL_OK);
    ASSERT_EQ(image.width, 6u);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            EXPECT_EQ(image.data[y * image.stride + x], before[(y / 2) * 3 + x / 2]);
}

// Lanczos rings on colour (clamped at 0 in 8 bits); alpha takes Gauss and
// never dips below its surroundings.
TEST_F(Resample, AlphaNeverRings) {
    Image source(5, 5, IL_BGRA8);
    for (uint32_t i = 0; i < 25; ++i)
        std::memcpy(source.data + (i / 5) * source.stride + (i % 5) * 4,
                    i == 12 ? "\xff\xff\xff\xff" : "\x80\x80\x80\x80", 4);
    Image target(40, 40, IL_BGRA8);
    ASSERT_EQ(ILResampleInto(handle_, &source, &target, 5), IL_OK);
    int lowestColour = 255, lowestAlpha = 255;
    for (uint32_t y = 0; y < 40; ++y)
        for (uint32_t x = 0; x < 40; ++x) {
            const uint8_t* p = target.data + y * target.stride + x * 4;
            lowestColour = std::min<int>(lowestColour, p[1]);
            lowestAlpha = std::min<int>(lowestAlpha, p[3]);
        }
    EXPECT_LT(lowestColour, 0x80);
    EXPECT_EQ(lowestAlpha, 0x80);
}

TEST_F(Resample, PackedAndPaletteTargets) {
    {
        SCOPED_TRACE("1-bit grey is ordered-dithered, not thresholded");
        Image source(16, 16, IL_GREY1);
        for (uint32_t y = 0; y < 16; ++y)
            std::memset(source.data + y * source.stride, y % 2 ? 0xAA : 0x55, 2);
        ASSERT_EQ(ILResampleImage(handle_, &source, 8, 8, 1), IL_OK);
        int ones = 0;
        for (uint32_t y = 0; y < 8; ++y)
            ones += __builtin_popcount(source.data[y * source.stride]);
        EXPECT_GT(ones, 16);
        EXPECT_LT(ones, 48);
    }
    {
        SCOPED_TRACE("a palette image scales by nearest and keeps its palette");
        Image source(4, 4, IL_INDEX8);
        source.palette = new ILPalette(4);
        for (uint32_t y = 0; y < 4; ++y)
            for (uint32_t x = 0; x < 4; ++x)
                source.data[y * source.stride + x] = static_cast<uint8_t>((x + y) % 4);
        ASSERT_EQ(ILResampleImage(handle_, &source, 7, 3, 5), IL_OK);
        ASSERT_NE(source.palette, nullptr);
        EXPECT_EQ(source.palette->count, 4u);
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t x = 0; x < 7; ++x)
                EXPECT_LT(source.data[y * source.stride + x], 4);
    }
}

// A cancel, early or late, leaves the image as it was.
TEST_F(Resample, CancelInPlaceKeepsTheImage) {
    for (uint32_t stopAt : {0u, 3u, 7u}) {
        SCOPED_TRACE(stopAt);
        Image image(20, 10, IL_BGR8);
        vxtest::FillSeeded(&image, 1);
        const std::vector<uint8_t> before = vxtest::Packed(image);
        static uint32_t limit;
        limit = stopAt;
        ILSetProgressProc(
            handle_, [](uint32_t done, uint32_t, void*) { return done < limit; }, nullptr);
        EXPECT_EQ(ILResampleImage(handle_, &image, 9, 8, 5), IL_CANCELLED);
        ILSetProgressProc(handle_, nullptr, nullptr);
        EXPECT_EQ(image.width, 20u);
        EXPECT_TRUE(vxtest::Packed(image) == before);
    }
}

TEST_F(Resample, RefusesBadArguments) {
    Image image(4, 4, IL_BGR8);
    EXPECT_EQ(ILResampleImage(handle_, &image, 0, 4, 0), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILResampleImage(handle_, &image, 4, -2, 0), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILResampleImage(handle_, &image, 2, 2, IL_RESAMPLE_FILTER_COUNT), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILResampleImage(handle_, nullptr, 2, 2, 0), IL_BAD_ARGUMENT);
    EXPECT_EQ(image.width, 4u);
    // Raw copies into a palette target of another type would overrun its rows.
    Image palette(9, 9, IL_INDEX8);
    palette.palette = new ILPalette(256);
    EXPECT_EQ(ILResampleInto(handle_, &image, &palette, 0), IL_BAD_ARGUMENT);
}

// Linear-light peers. vips shrinks in scRGB with the same Lanczos (it
// enlarges through an interpolator of its own, so only its shrink is a peer).
TEST_F(Resample, LanczosShrinkMatchesVipsInLinearLight) {
    if (!vxtest::HaveTool("vips")) GTEST_SKIP() << "vips is not installed";
    const auto dir = vxtest::MakeTestFolder("resample_vips");
    Image source(240, 160, IL_RGB8);
    vxtest::FillPhoto(&source, 3);
    const std::string linear = (dir / "linear.v").string(), small = (dir / "small.v").string();
    const auto wanted =
        vxtest::VipsRun(source, dir,
                        {"colourspace {in} " + linear + " scrgb",
                         "resize " + linear + " " + small + " 0.25 --kernel lanczos3 --gap 0",
                         "colourspace " + small + " {out} srgb"},
                        "--interpretation srgb");
    Image target(60, 40, source.type);
    ASSERT_EQ(ILResampleInto(handle_, &source, &target, 5), IL_OK);
    const vxtest::Difference d = vxtest::Compare(vxtest::Packed(target), wanted[2]);
    EXPECT_LT(d.mean, 0.3);
    EXPECT_LE(d.largest, 4);
    std::filesystem::remove_all(dir);
}

// ImageMagick in linear RGB, both ways; it encodes the negative lobes of
// ringing differently, so a few dark samples next to edges may differ.
TEST_F(Resample, LanczosMatchesImageMagickInLinearLight) {
    if (!vxtest::HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    const auto dir = vxtest::MakeTestFolder("resample_magick");
    Image source(240, 160, IL_RGB8);
    vxtest::FillPhoto(&source, 5);
    ASSERT_TRUE(vxtest::WriteBytes(dir / "in.raw", vxtest::Packed(source)));
    for (auto [width, height] : {std::pair{60u, 40u}, std::pair{600u, 400u}}) {
        SCOPED_TRACE(width);
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        ASSERT_EQ(vxtest::Shell("cd " + dir.string() +
                                " && convert -size 240x160 -depth 8 rgb:in.raw -colorspace RGB "
                                "-filter Lanczos -resize " +
                                size + "! -colorspace sRGB rgb:out.raw"),
                  0);
        Image target(width, height, source.type);
        ASSERT_EQ(ILResampleInto(handle_, &source, &target, 5), IL_OK);
        const vxtest::Difference d =
            vxtest::Compare(vxtest::Packed(target), vxtest::ReadBytes(dir / "out.raw"));
        EXPECT_LT(d.mean, 0.6);
        EXPECT_LT(d.farShare, 0.01);
    }
    std::filesystem::remove_all(dir);
}

TEST(Srgb8Encoder, GivesTheEncodersCodes) {
    const ILSrgb8Encoder& e = ILGetSrgb8Encoder();
    for (uint32_t bits = 0; bits <= 0x3F800000; bits += 61) {
        float x;
        std::memcpy(&x, &bits, 4);
        ASSERT_EQ(e(x), ILLinearToSrgb8(x)) << x;
    }
    for (float x : {-1.0f, 1.0f, 2.0f, NAN, INFINITY})
        EXPECT_EQ(e(x), ILLinearToSrgb8(x)) << x;
}

TEST(Srgb8Encoder, DitheredEncodersGiveTheTruncatedCodes) {
    for (uint32_t phase = 0; phase < 16; ++phase) {
        SCOPED_TRACE(phase);
        const ILSrgb8Encoder& e = ILGetDitheredSrgb8Encoder(phase);
        auto want = [phase](float x) {
            return static_cast<uint8_t>(ILLinearToSrgb8F(x) + ILOrderedDitherF[phase]);
        };
        for (uint32_t bits = phase; bits <= 0x3F800000; bits += 251) {
            float x;
            std::memcpy(&x, &bits, 4);
            ASSERT_EQ(e(x), want(x)) << x;
        }
        for (float x : {-1.0f, 1.0f, 2.0f, NAN, INFINITY})
            EXPECT_EQ(e(x), want(x)) << x;
    }
}

// Rows of values encoded eight at a time (a polynomial, values near a
// code's edge one by one) or one by one: the dithered encoders' codes
// exactly, at every phase, across the whole range and its ends.
TEST(Srgb8Encoder, RowsGiveTheDitheredEncodersCodes) {
    std::vector<float> values = {-1.0f,     -0.0f, 0.0f, 1e-30f, 0.0031308f, 0.00313081f,
                                 0.999999f, 1.0f,  2.0f, NAN,    INFINITY,   -INFINITY};
    for (uint32_t bits = 0x3B000000; bits < 0x3F800000; bits += 53) {
        float x;
        std::memcpy(&x, &bits, 4);
        values.push_back(x);
    }
    values.resize((values.size() + 7) & ~size_t{7}, 0.5f);
    std::vector<uint8_t> codes(values.size());
    for (const ILLanes lanes : {ILLanes::k4, ILLanes::k8}) {
        if (lanes == ILLanes::k8 && ILWidestLanes() < ILLanes::k8) continue;
        for (uint32_t y = 0; y < 4; ++y) {
            SCOPED_TRACE(testing::Message() << "lanes " << int(lanes) << " row " << y);
            ILEncodeDitheredSrgb8(values.data(), codes.data(), values.size(), y, lanes);
            for (size_t x = 0; x < values.size(); ++x)
                ASSERT_EQ(codes[x], ILGetDitheredSrgb8Encoder(4 * (x & 3) + y)(values[x]))
                    << values[x] << " at " << x;
        }
    }
}

} // namespace
