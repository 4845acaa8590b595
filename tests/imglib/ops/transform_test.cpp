#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "imglib/convert/srgb.h"
#include "imglib/convert/suite_handle.h"
#include "imglib/ops/affine_transformer.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/ops_support.h"

namespace {

using vxtest::Image;

class Transform : public SuiteHandleTest {};

ILAffineParams Affine(double angle, double scaleX, double scaleY, uint8_t oversampling,
                      uint8_t fitCanvas) {
    ILAffineParams p{};
    p.angle = angle;
    p.scaleX = scaleX;
    p.scaleY = scaleY;
    p.background = ILColor{.r = 0, .g = 0, .b = 0, .a = 0, .index = -1};
    p.oversampling = oversampling;
    p.fitCanvas = fitCanvas;
    return p;
}

// The size the dialogs show is the size the transform makes.
TEST_F(Transform, OutputSizeIsTheSizeTheTransformMakes) {
    const ILAffineParams rows[] = {
        Affine(90, 1, 1, 1, 1),        Affine(30, 1, 1, 1, 1),     Affine(-45, 2.5, 2.5, 1, 1),
        Affine(30, 1, 1, 1, 0),        Affine(0, 0.25, 0.5, 1, 1), Affine(720, 1, 1, 1, 1),
        Affine(179.9, 1.5, 0.3, 2, 1),
    };
    for (const ILAffineParams& p : rows) {
        SCOPED_TRACE(testing::Message() << p.angle << " " << p.scaleX << " " << +p.fitCanvas);
        Image image(37, 21, IL_BGR8);
        std::memset(image.data, 0x40, image.stride * image.height);
        int32_t w, h;
        ASSERT_EQ(ILAffineOutputSize(&image, &p, &w, &h), IL_OK);
        ASSERT_EQ(ILAffineTransform(handle_, &image, nullptr, &p), IL_OK);
        EXPECT_EQ(image.width, static_cast<uint32_t>(w));
        EXPECT_EQ(image.height, static_cast<uint32_t>(h));
    }
    Image image(37, 21, IL_BGR8);
    int32_t w = 5, h = 5;
    ILAffineParams bad = Affine(std::nan(""), 1, 1, 1, 1);
    EXPECT_EQ(ILAffineOutputSize(&image, &bad, &w, &h), IL_BAD_ARGUMENT);
    EXPECT_EQ(w, 0);
    bad = Affine(10, 0, 1, 1, 1);
    EXPECT_EQ(ILAffineOutputSize(&image, &bad, &w, &h), IL_BAD_ARGUMENT);
}

TEST_F(Transform, RotateByFortyFiveFitsTheCanvasWithBackgroundCorners) {
    Image image(100, 100, IL_BGRA8);
    std::memset(image.data, 0xC8, image.stride * image.height);
    ASSERT_EQ(ILRotateImage(handle_, &image, 45), IL_OK);
    ASSERT_EQ(image.width, 141u);
    ASSERT_EQ(image.height, 141u);
    for (auto [x, y] : {std::pair{0, 0}, {140, 0}, {0, 140}, {140, 140}})
        EXPECT_EQ(std::memcmp(image.data + y * image.stride + x * 4, "\0\0\0\0", 4), 0);
    EXPECT_EQ(image.data[70 * image.stride + 70 * 4 + 3], 0xC8);
}

// Interpolated samples round to nearest: an opaque image stays opaque inside
// after a turn (truncating the mixed codes made 254 out of 255).
TEST_F(Transform, InterpolationKeepsAnOpaqueImageOpaque) {
    for (uint8_t oversampling : {1, 3}) {
        SCOPED_TRACE(int{oversampling});
        Image image(80, 60, IL_BGRA8);
        vxtest::FillSeeded(&image, 2);
        for (uint32_t y = 0; y < 60; ++y)
            for (uint32_t x = 0; x < 80; ++x)
                image.data[y * image.stride + x * 4 + 3] = 255;
        const ILAffineParams p = Affine(7.3, 1, 1, oversampling, 0);
        Image target;
        ASSERT_EQ(ILAffineTransform(handle_, &image, &target, &p), IL_OK);
        for (uint32_t y = 15; y < 45; ++y)
            for (uint32_t x = 15; x < 65; ++x)
                ASSERT_EQ(target.data[y * target.stride + x * 4 + 3], 255) << x << "," << y;
    }
}

// Supersampling averages colour in linear light (black and white give about
// 187) and alpha on its codes.
TEST_F(Transform, SupersamplingAveragesInLinearLight) {
    Image image(2, 4, IL_GREY_A8);
    for (uint32_t y = 0; y < 4; ++y)
        std::memcpy(image.data + y * image.stride, "\x00\x00\xff\xff", 4);
    const ILAffineParams p = Affine(0, 0.5, 1, 2, 1);
    Image target;
    ASSERT_EQ(ILAffineTransform(handle_, &image, &target, &p), IL_OK);
    ASSERT_EQ(target.width, 1u);
    const uint8_t* px = target.data + target.stride;
    EXPECT_EQ(px[0], ILLinearToSrgb8(0.5f));
    EXPECT_NEAR(px[1], 128, 1);
}

TEST_F(Transform, AffineShiftsScalesAndRefuses) {
    Image image(100, 10, IL_GREY8);
    vxtest::FillSeeded(&image, 3);
    {
        SCOPED_TRACE("shift 0.25 without fit canvas moves the picture 25 pixels left");
        ILAffineParams p = Affine(0, 1, 1, 0, 0);
        p.shiftX = 0.25;
        Image target;
        ASSERT_EQ(ILAffineTransform(handle_, &image, &target, &p), IL_OK);
        ASSERT_EQ(target.width, 100u);
        for (uint32_t y = 0; y < 10; ++y)
            for (uint32_t x = 0; x < 100; ++x)
                ASSERT_EQ(target.data[y * target.stride + x],
                          x < 75 ? image.data[y * image.stride + x + 25] : 0)
                    << x;
    }
    {
        SCOPED_TRACE("scale 2 with fit canvas doubles the size; a negative scale mirrors");
        Image target;
        ILAffineParams p = Affine(0, 2, -2, 1, 1);
        ASSERT_EQ(ILAffineTransform(handle_, &image, &target, &p), IL_OK);
        EXPECT_EQ(target.width, 200u);
        EXPECT_EQ(target.height, 20u);
    }
    {
        SCOPED_TRACE("bad parameters from stored actions");
        Image target;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        for (ILAffineParams p : {Affine(10, 0, 1, 0, 1), Affine(10, 1, nan, 0, 1),
                                 Affine(10, 1e300, 1e300, 0, 1), Affine(nan, 1, 1, 0, 1)})
            EXPECT_EQ(ILAffineTransform(handle_, &image, &target, &p), IL_BAD_ARGUMENT);
    }
}

TEST_F(Transform, PackedAndPaletteImagesTurnByNearest) {
    Image image(19, 7, IL_INDEX4);
    image.palette = new ILPalette(16);
    vxtest::FillSeeded(&image, 5);
    const ILAffineParams p = Affine(30, 1, 1, 4, 1);
    Image target;
    ASSERT_EQ(ILAffineTransform(handle_, &image, &target, &p), IL_OK);
    EXPECT_EQ(target.type, IL_INDEX4);
    ASSERT_NE(target.palette, nullptr);
    EXPECT_EQ(target.palette->count, 16u);
}

ILPerspectiveParams Perspective(std::initializer_list<double> corners, uint8_t mapping) {
    ILPerspectiveParams p{};
    std::copy(corners.begin(), corners.end(), p.corners);
    p.scaleX = p.scaleY = 1;
    p.mapping = mapping;
    p.background = ILColor{.r = 0, .g = 0, .b = 0, .a = 0, .index = -1};
    return p;
}

TEST_F(Transform, PerspectiveMappings) {
    Image image(200, 50, IL_BGR8);
    vxtest::FillSeeded(&image, 6);
    {
        SCOPED_TRACE("the full image as the selection reproduces the source");
        const ILPerspectiveParams p = Perspective({0, 1, 1, 1, 1, 0, 0, 0}, 0);
        Image target;
        ASSERT_EQ(ILPerspectiveTransform(handle_, &image, &target, &p), IL_OK);
        EXPECT_TRUE(vxtest::Packed(target) == vxtest::Packed(image));
    }
    {
        SCOPED_TRACE("adaptive mapping cuts the target to the quadrilateral");
        const ILPerspectiveParams p = Perspective({0.25, 1, 0.75, 1, 0.75, 0, 0.25, 0}, 2);
        Image target;
        ASSERT_EQ(ILPerspectiveTransform(handle_, &image, &target, &p), IL_OK);
        EXPECT_EQ(target.width, 100u);
        EXPECT_EQ(target.height, 50u);
    }
    {
        SCOPED_TRACE("a trapezoid near its horizon samples background, never garbage");
        ILPerspectiveParams p = Perspective({0, 1, 1, 1, 0.5000001, 0, 0.4999999, 0}, 1);
        p.oversampling = 2;
        Image target;
        ASSERT_EQ(ILPerspectiveTransform(handle_, &image, &target, &p), IL_OK);
        EXPECT_EQ(std::memcmp(target.data + 49 * target.stride, "\0\0\0", 3), 0);
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const ILPerspectiveParams& p :
         {Perspective({0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5}, 0),
          Perspective({0, 1, 1, 1, 1, 0, 0, 0}, 3), Perspective({0, nan, 1, 1, 1, 0, 0, 0}, 2),
          Perspective({0, 1e300, 1, 1, 1, 0, 0, 0}, 2)}) {
        Image target;
        EXPECT_EQ(ILPerspectiveTransform(handle_, &image, &target, &p), IL_BAD_ARGUMENT);
    }
}

TEST_F(Transform, SamplersAtCentresEdgesAndWrap) {
    Image image(3, 1, IL_GREY_A8);
    std::memcpy(image.data, "\x00\xff\xff\x80\x40\x10", 6);
    ILSetPixelProc set;
    ILGetPixelProc get;
    ASSERT_TRUE(ILGetPixelAccessors(&image, &set, &get));
    const uint8_t background[16] = {};
    uint8_t out[16];
    ILSampleCosine(1.5f, 0.5f, &image, get, out, background);
    EXPECT_EQ(out[0], 0xff);
    EXPECT_EQ(out[1], 0x80);
    ILSampleCosine(1.0f, 0.5f, &image, get, out, background); // halfway between 0 and 1
    EXPECT_EQ(out[0], ILLinearToSrgb8(0.5f));
    EXPECT_EQ(out[1], 0xC0); // (255 + 128) / 2 = 191.5, rounded
    ILSampleCosine(-0.5f, 0.5f, &image, get, out, background);
    EXPECT_EQ(out[1], 0);
    ILSampleNearestWrap(-0.3f, 0.5f, &image, get, out, nullptr);
    EXPECT_EQ(out[0], 0x40);
    ILSampleNearestWrap(3.2f, 0.5f, &image, get, out, nullptr);
    EXPECT_EQ(out[0], 0x00);
    for (float bad : {NAN, INFINITY, -INFINITY, 3e9f}) {
        ILSampleNearest(bad, 0.5f, &image, get, out, background);
        EXPECT_EQ(out[1], 0);
        ILSampleCosine(0.5f, bad, &image, get, out, background);
        EXPECT_EQ(out[1], 0);
    }
}

// The loops made for a layout (interpolated 8-bit samples, the nearest
// pixel of whole bytes) give the generic loop's pixels: the same turns,
// scales and shifts run through both, on targets wide and tall enough for
// column strips and bands on several threads, with corners, edges and
// points that fall exactly on pixel centres.
TEST_F(Transform, FastRowsGiveTheGenericLoopsPixels) {
    const ILAffineParams turns[] = {
        Affine(30, 1, 1, 1, 1), Affine(-63.1, 1.3, 0.7, 1, 1), Affine(90, 0.5, 0.5, 1, 1),
        Affine(0, 2, 2, 1, 1),  Affine(30, 1, 1, 0, 1),        Affine(211, 0.8, 1.9, 0, 1),
        Affine(30, 1, 1, 2, 1), Affine(12, 1, 1, 1, 0),
    };
    const ILPixelType types[] = {IL_BGR8, IL_BGRA8, IL_GREY8, IL_GREY_A8, IL_RGB16, IL_RGBA_FLOAT};
    for (ILPixelType type : types) {
        Image source(331, 247, type);
        vxtest::FillSeeded(&source, 9);
        for (ILAffineParams p : turns) {
            SCOPED_TRACE(testing::Message() << "type " << type << " angle " << p.angle
                                            << " oversampling " << +p.oversampling);
            p.shiftX = 0.1;
            p.background = ILColor{.r = 0.2f, .g = 0.4f, .b = 0.6f, .a = 0.8f, .index = -1};
            int32_t w, h;
            ASSERT_EQ(ILAffineOutputSize(&source, &p, &w, &h), IL_OK);
            Image fast(static_cast<uint32_t>(w), static_cast<uint32_t>(h), type),
                plain(static_cast<uint32_t>(w), static_cast<uint32_t>(h), type);
            ILAffineTransformer t;
            ASSERT_EQ(ILAffineTransformerInit(&t, handle_, &source, &fast, p), IL_OK);
            ASSERT_EQ(ILTransformerRun(&t), IL_OK);
            ILAffineTransformer generic;
            ASSERT_EQ(ILAffineTransformerInit(&generic, handle_, &source, &plain, p), IL_OK);
            generic.fastRows = nullptr;
            ASSERT_EQ(ILTransformerRun(&generic), IL_OK);
            const uint32_t rowBytes = fast.width * fast.bits * fast.channels / 8;
            for (uint32_t y = 0; y < fast.height; ++y)
                ASSERT_EQ(std::memcmp(fast.data + y * fast.stride, plain.data + y * plain.stride,
                                      rowBytes),
                          0)
                    << "row " << y;
        }
    }
}

// A map of the panorama's kind: wrap-around reads, a disc-shaped target,
// and points that leave the source on every side.
class SwirlTransformer final : public ILTransformer {
public:
    void Map(double x, double y, double* sx, double* sy) const override {
        const double a = x / target->width - 0.5, b = y / target->height - 0.5;
        const double turn = 4 * (a * a + b * b);
        *sx = (0.5 + 1.3 * (a * std::cos(turn) - b * std::sin(turn))) * source->width;
        *sy = (0.5 + 1.3 * (a * std::sin(turn) + b * std::cos(turn))) * source->height;
    }
};

TEST_F(Transform, FastRowsWrapAndMaskAsTheGenericLoop) {
    for (ILPixelType type : {IL_BGR8, IL_BGRA8, IL_GREY8, IL_RGB16}) {
        for (uint8_t oversampling : {0, 1, 2}) {
            for (bool wrap : {true, false}) {
                SCOPED_TRACE(testing::Message() << "type " << type << " oversampling "
                                                << +oversampling << " wrap " << wrap);
                Image source(211, 97, type), fast(403, 301, type), plain(403, 301, type);
                vxtest::FillSeeded(&source, 4);
                const ILColor background{.r = 1, .g = 0.5f, .b = 0, .a = 1, .index = -1};
                SwirlTransformer t, generic;
                ASSERT_EQ(
                    ILTransformerInit(&t, handle_, &source, &fast, wrap, oversampling, &background),
                    IL_OK);
                ASSERT_EQ(ILTransformerInit(&generic, handle_, &source, &plain, wrap, oversampling,
                                            &background),
                          IL_OK);
                t.discMask = generic.discMask = wrap;
                generic.fastRows = nullptr;
                ASSERT_EQ(ILTransformerRun(&t), IL_OK);
                ASSERT_EQ(ILTransformerRun(&generic), IL_OK);
                EXPECT_TRUE(vxtest::Packed(fast) == vxtest::Packed(plain));
            }
        }
    }
}

TEST(QuadMap, SquareInverseAndDegenerate) {
    ILQuadMap m;
    const double square[8] = {0, 0, 1, 0, 1, 1, 0, 1};
    ASSERT_TRUE(ILQuadMapSquareToQuad(&m, square));
    const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(m.m[i], identity[i]);
    const double line[8] = {0, 0, 1, 0, 2, 0, 3, 0};
    EXPECT_FALSE(ILQuadMapSquareToQuad(&m, line));
    for (double v : m.m)
        EXPECT_EQ(v, 0);
    // A general quadrilateral onto a rectangle and back.
    const double quad[8] = {10, 5, 90, 12, 80, 70, 3, 60};
    ASSERT_TRUE(ILQuadMapQuadToRect(&m, quad, 0, 0, 100, 50));
    const double* a = m.m;
    const double w = 90 * a[2] + 12 * a[5] + a[8];
    EXPECT_NEAR((90 * a[0] + 12 * a[3] + a[6]) / w, 100, 1e-9);
    EXPECT_NEAR((90 * a[1] + 12 * a[4] + a[7]) / w, 0, 1e-9);
}

} // namespace
