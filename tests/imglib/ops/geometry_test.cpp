#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "imglib/ops/geometry.h"
#include "support/test_folder.h"
#include "imglib/ops/ops_support.h"

namespace {

using vxtest::Image;

// Every family of whole-byte pixels, in both orders where there are two.
// Every pixel size from 1 to 16 bytes, each family once.
const ILPixelType kOracleTypes[] = {
    IL_INDEX8, IL_GREY_A8,  IL_RGB8,   IL_BGRA8,     IL_GREY_FLOAT,
    IL_BGR16,  IL_BGR_HALF, IL_RGBA16, IL_BGR_FLOAT, IL_BGRA_FLOAT,
};

void Seed(Image* image, ILPixelType type, uint32_t width, uint32_t height, uint32_t seed) {
    ASSERT_EQ(ILAllocImage(image, width, height, type, nullptr), IL_OK);
    if ((type & IL_MODEL_MASK) == IL_MODEL_INDEXED) image->palette = new ILPalette(256);
    vxtest::FillSeeded(image, seed);
}

struct GeometryCase {
    const char* name;
    const char* vips; // the vips command line, input {in}, output {out}
    ILResult (*run)(Image* image, Image* target);
};

// Pure geometry moves bytes: it must equal vips byte for byte.
TEST(Geometry, MatchesVipsByteForByteOnEveryPixelFamily) {
    if (!vxtest::HaveTool("vips")) GTEST_SKIP() << "vips is not installed";
    const auto dir = vxtest::MakeTestFolder("geometry_vips");
    constexpr uint32_t W = 37, H = 23;
    const GeometryCase cases[] = {
        {"rot90", "rot {in} {out} d90",
         [](Image* i, Image*) { return ILRotateImage(nullptr, i, 90); }},
        {"rot180", "rot {in} {out} d180",
         [](Image* i, Image*) { return ILRotateImage(nullptr, i, 180); }},
        {"rot270", "rot {in} {out} d270",
         [](Image* i, Image*) { return ILRotateImage(nullptr, i, -90); }},
        {"flip horizontal", "flip {in} {out} horizontal",
         [](Image* i, Image*) { return ILMirrorImage(nullptr, i, 1); }},
        {"flip vertical", "flip {in} {out} vertical",
         [](Image* i, Image*) { return ILMirrorImage(nullptr, i, 0); }},
        {"wrap", "wrap {in} {out} --x 5 --y 17",
         [](Image* i, Image* t) { return ILShiftImage(i, t, 5 - 2 * int32_t{W}, -6); }},
        {"extract_area", "extract_area {in} {out} 3 4 20 10",
         [](Image* i, Image* t) { return ILCropImage(i, t, 23, 14, -20, -10, nullptr); }},
        {"embed", "embed {in} {out} 4 3 46 33",
         [](Image* i, Image*) { return ILCropImage(i, nullptr, -4, -3, W + 9, H + 10, nullptr); }},
    };
    std::vector<std::string> operations;
    for (const GeometryCase& c : cases)
        operations.push_back(c.vips);
    uint32_t seed = 1;
    for (ILPixelType type : kOracleTypes) {
        ++seed;
        Image original;
        Seed(&original, type, W, H, seed);
        const auto wanted = vxtest::VipsRun(original, dir, operations);
        for (size_t i = 0; i < std::size(cases); ++i) {
            const GeometryCase& c = cases[i];
            SCOPED_TRACE(::testing::Message() << c.name << " type 0x" << std::hex << type);
            Image image, target;
            Seed(&image, type, W, H, seed);
            const std::vector<uint8_t>& want = wanted[i];
            ASSERT_FALSE(want.empty());
            ASSERT_EQ(c.run(&image, &target), IL_OK);
            const ILImage& result = target.data ? target : image;
            EXPECT_EQ(result.type, type);
            EXPECT_TRUE(vxtest::Packed(result) == want);
        }
    }
    std::filesystem::remove_all(dir);
}

// Packed pixels (1, 2 and 4 bits) move as pixels: each operation gives the
// same values as on an 8-bit twin of the image.
TEST(Geometry, PackedPixelsMoveLikeTheirByteTwins) {
    const ILPixelType packed[] = {IL_GREY1, IL_GREY2, IL_GREY4, IL_INDEX4};
    using Op = ILResult (*)(ILImage * image, ILImage * target);
    const std::pair<const char*, Op> ops[] = {
        {"rotate 90", [](ILImage* i, ILImage*) { return ILRotateImage(nullptr, i, 90); }},
        {"rotate 180", [](ILImage* i, ILImage*) { return ILRotateImage(nullptr, i, 180); }},
        {"rotate 270", [](ILImage* i, ILImage*) { return ILRotateImage(nullptr, i, 270); }},
        {"mirror left/right", [](ILImage* i, ILImage*) { return ILMirrorImage(nullptr, i, 1); }},
        {"mirror up/down", [](ILImage* i, ILImage*) { return ILMirrorImage(nullptr, i, 0); }},
        {"shift", [](ILImage* i, ILImage* t) { return ILShiftImage(i, t, 3, -1); }},
        {"crop", [](ILImage* i, ILImage* t) { return ILCropImage(i, t, 5, 1, 9, 3, nullptr); }},
        {"expand",
         [](ILImage* i, ILImage* t) { return ILCropImage(i, t, -3, -2, 25, 9, nullptr); }},
    };
    for (ILPixelType type : packed) {
        for (const auto& [name, op] : ops) {
            SCOPED_TRACE(::testing::Message() << name << " type 0x" << std::hex << type);
            Image image, twin, target, twinTarget;
            Seed(&image, type, 19, 5, 7);
            Seed(&twin, IL_GREY8, 19, 5, 1);
            ILSetPixelProc set;
            ILGetPixelProc get;
            ASSERT_TRUE(ILGetPixelAccessors(&image, &set, &get));
            for (int32_t y = 0; y < 5; ++y)
                for (int32_t x = 0; x < 19; ++x)
                    get(&image, x, y, twin.data + y * twin.stride + x);
            ASSERT_EQ(op(&image, &target), IL_OK);
            ASSERT_EQ(op(&twin, &twinTarget), IL_OK);
            const ILImage& a = target.data ? target : image;
            const ILImage& b = twinTarget.data ? twinTarget : twin;
            ASSERT_EQ(a.width, b.width);
            ASSERT_EQ(a.height, b.height);
            EXPECT_EQ(a.type, type);
            EXPECT_EQ(a.palette != nullptr, (type & IL_MODEL_MASK) == IL_MODEL_INDEXED);
            for (int32_t y = 0; y < static_cast<int32_t>(a.height); ++y)
                for (int32_t x = 0; x < static_cast<int32_t>(a.width); ++x) {
                    uint8_t v = 0;
                    get(&a, x, y, &v);
                    ASSERT_EQ(v, b.data[y * b.stride + x]) << "at " << x << "," << y;
                }
        }
    }
}

TEST(Geometry, AnglesAreNormalisedWithoutLooping) {
    Image a, b;
    Seed(&a, IL_BGR8, 7, 3, 3);
    Seed(&b, IL_BGR8, 7, 3, 3);
    ASSERT_EQ(ILRotateImage(nullptr, &a, 450), IL_OK);
    ASSERT_EQ(ILRotateImage(nullptr, &b, -270), IL_OK);
    EXPECT_EQ(a.width, 3u);
    EXPECT_TRUE(vxtest::Packed(a) == vxtest::Packed(b));
    // Stored actions may carry anything: a huge angle answers at once.
    EXPECT_EQ(ILRotateImage(nullptr, &a, 360.0 * 1e20), IL_OK);
    EXPECT_EQ(ILRotateImage(nullptr, &a, std::numeric_limits<double>::quiet_NaN()),
              IL_BAD_ARGUMENT);
    EXPECT_EQ(ILRotateImage(nullptr, &a, std::numeric_limits<double>::infinity()), IL_BAD_ARGUMENT);
    EXPECT_TRUE(vxtest::Packed(a) == vxtest::Packed(b));
}

TEST(Geometry, RotateByQuarterTurnPlacesTheCorners) {
    Image image;
    Seed(&image, IL_GREY8, 3, 2, 1);
    const uint8_t topLeft = image.data[0];
    ASSERT_EQ(ILRotateImage(nullptr, &image, 90), IL_OK);
    ASSERT_EQ(image.width, 2u);
    ASSERT_EQ(image.height, 3u);
    EXPECT_EQ(image.data[1], topLeft); // top-right
}

TEST(Geometry, CropAndExpandRectangles) {
    Image source;
    Seed(&source, IL_BGR8, 60, 40, 5);
    const ILColor red{.r = 1, .g = 0, .b = 0, .a = 1, .index = -1};

    {
        SCOPED_TRACE("negative width counts backwards: columns 30 ... 49");
        Image target;
        ASSERT_EQ(ILCropImage(&source, &target, 50, 0, -20, 40, &red), IL_OK);
        ASSERT_EQ(target.width, 20u);
        for (uint32_t y = 0; y < 40; ++y)
            EXPECT_EQ(std::memcmp(target.data + y * target.stride,
                                  source.data + y * source.stride + 90, 60),
                      0);
    }
    {
        SCOPED_TRACE("a 10-pixel red frame around the unchanged source");
        Image target;
        ASSERT_EQ(ILCropImage(&source, &target, -10, -10, 80, 60, &red), IL_OK);
        for (uint32_t y = 0; y < 60; ++y)
            for (uint32_t x = 0; x < 80; ++x) {
                const uint8_t* p = target.data + y * target.stride + x * 3;
                if (x >= 10 && x < 70 && y >= 10 && y < 50) {
                    ASSERT_EQ(
                        std::memcmp(p, source.data + (y - 10) * source.stride + (x - 10) * 3, 3),
                        0);
                } else {
                    ASSERT_TRUE(p[0] == 0 && p[1] == 0 && p[2] == 255) << x << "," << y;
                }
            }
    }
    {
        SCOPED_TRACE("wholly outside: fill only; no fill: zero bytes");
        Image filled, zeroed;
        ASSERT_EQ(ILCropImage(&source, &filled, 100, 100, 4, 4, &red), IL_OK);
        ASSERT_EQ(ILCropImage(&source, &zeroed, -100, 0, 4, 4, nullptr), IL_OK);
        for (uint32_t i = 0; i < 4; ++i) {
            EXPECT_EQ(filled.data[i * 3 + 2], 255);
            EXPECT_EQ(zeroed.data[i * 3 + 2], 0);
        }
    }
    {
        SCOPED_TRACE("extreme sizes from stored actions are refused or fail, never wrap");
        Image target;
        EXPECT_EQ(ILCropImage(&source, &target, 0, 0, 0, 5, nullptr), IL_BAD_ARGUMENT);
        EXPECT_EQ(
            ILCropImage(&source, &target, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, nullptr),
            IL_FAILED);
        EXPECT_EQ(source.width, 60u);
    }
}

TEST(Geometry, ShiftWrapsByTheImageSize) {
    Image a, b, c;
    Seed(&a, IL_GREY8, 10, 4, 9);
    ASSERT_EQ(ILShiftImage(&a, &b, 13, 0), IL_OK);
    ASSERT_EQ(ILShiftImage(&a, &c, 3, 4), IL_OK);
    EXPECT_TRUE(vxtest::Packed(b) == vxtest::Packed(c));
    const uint8_t left = a.data[0];
    ASSERT_EQ(ILShiftImage(&a, nullptr, -1, 0), IL_OK);
    EXPECT_EQ(a.data[9], left);
}

TEST(Geometry, FloorAnswersOutsideForNonNumbers) {
    EXPECT_EQ(ILFloorF(-2.0f), -2);
    EXPECT_EQ(ILFloorF(-2.5f), -3);
    EXPECT_EQ(ILFloorD(2.9), 2);
    EXPECT_EQ(ILFloorD(-0.0), 0);
    for (double bad : {std::nan(""), double{INFINITY}, -double{INFINITY}, 1e300, -1e300, 4e9})
        EXPECT_EQ(ILFloorD(bad), INT32_MIN) << bad;
    EXPECT_EQ(ILFloorF(NAN), INT32_MIN);
}

} // namespace
