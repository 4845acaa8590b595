#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <Imath/half.h>

#include "imglib/convert/suite_handle.h"
#include "imglib/ops/alpha.h"
#include "imglib/ops/ops_support.h"

namespace {

using vxtest::Image;

class Alpha : public SuiteHandleTest {};

TEST_F(Alpha, ExtractInvertAndRemove) {
    Image image(5, 3, IL_BGRA16);
    vxtest::FillSeeded(&image, 4);
    const auto* px = reinterpret_cast<const uint16_t*>(image.data);
    const uint16_t firstAlpha = px[3];
    Image grey;
    ASSERT_EQ(ILExtractAlpha(handle_, &image, &grey), IL_OK);
    EXPECT_EQ(grey.type, IL_GREY16);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(grey.data)[0], firstAlpha);

    ASSERT_EQ(ILInvertAlpha(handle_, &image), IL_OK);
    EXPECT_EQ(px[3], 65535 - firstAlpha);
    Image f(2, 1, IL_GREY_A_FLOAT);
    const float v[4] = {0.2f, 0.25f, 0.7f, 1.0f};
    std::memcpy(f.data, v, sizeof v);
    ILInvertAlpha(handle_, &f);
    EXPECT_FLOAT_EQ(reinterpret_cast<const float*>(f.data)[1], 0.75f);
    EXPECT_FLOAT_EQ(reinterpret_cast<const float*>(f.data)[2], 0.7f);

    Image bgr(5, 3, IL_BGR8), none;
    EXPECT_EQ(ILExtractAlpha(handle_, &bgr, &none), IL_BAD_ARGUMENT);
    ASSERT_EQ(ILRemoveAlpha(handle_, &image), IL_OK);
    EXPECT_EQ(image.type, IL_BGR16);
    EXPECT_EQ(ILRemoveAlpha(handle_, &bgr), IL_OK); // nothing to remove
    EXPECT_EQ(bgr.type, IL_BGR8);
}

TEST_F(Alpha, EnsureAndAddWithShapes) {
    Image grey(8, 8, IL_GREY8);
    ASSERT_EQ(ILEnsureAlpha(handle_, &grey), IL_OK);
    EXPECT_EQ(grey.type, IL_GREY_A8);
    static_assert(ILTypeWithAlpha(IL_INDEX4) == IL_BGRA8 &&
                  ILTypeWithAlpha(IL_GREY1) == IL_GREY_A8);

    // A conversion without a route leaves the image as it was.
    Image bilevel(8, 8, IL_GREY1);
    const uint8_t* data = bilevel.data;
    if (ILEnsureAlpha(handle_, &bilevel) == IL_OK) {
        EXPECT_EQ(bilevel.type, IL_GREY_A8);
    } else {
        EXPECT_EQ(bilevel.type, IL_GREY1);
        EXPECT_EQ(bilevel.data, data);
    }

    // Rectangle: opaque inside the border, fading towards the edges.
    Image image(40, 30, IL_BGR8);
    vxtest::FillPhoto(&image, 2);
    ASSERT_EQ(ILAddAlpha(handle_, &image, 1.0f, 6, 1), IL_OK);
    ASSERT_EQ(image.type, IL_BGRA8);
    auto alpha = [&](uint32_t x, uint32_t y) { return image.data[y * image.stride + 4 * x + 3]; };
    EXPECT_EQ(alpha(20, 15), 255);
    EXPECT_LT(alpha(0, 15), 64);
    EXPECT_LT(alpha(39, 15), 64);
    EXPECT_LT(alpha(1, 15), alpha(3, 15));
    EXPECT_EQ(alpha(0, 15), alpha(39, 15)); // symmetric
    // Ellipse at half opacity: transparent in the corners.
    ASSERT_EQ(ILAddAlpha(handle_, &image, 0.5f, 0, 2), IL_OK);
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(alpha(20, 15), 127);

}

// Indexed and packed images (GIF, 8-bit PNG, fax pages) get alpha through the
// route to their type with alpha: the same colours, the mask in the alpha.
// Indexed ones become B, G, R, A, also when their palette has alpha: writing
// the mask into the indices would change the colours.
TEST_F(Alpha, AddToIndexedAndPackedTypes) {
    for (ILPixelType type :
         {IL_INDEX1, IL_INDEX4, IL_INDEX8, IL_INDEX_A8, IL_GREY1, IL_GREY2, IL_GREY4}) {
        SCOPED_TRACE(type);
        Image image(13, 5, type);
        vxtest::FillSeeded(&image, 9);
        const bool indexed = ILPixelModel(type) == IL_MODEL_INDEXED;
        const uint32_t levels = 1u << ILBitsPerSample(type);
        if (indexed) {
            image.palette = new ILPalette(levels);
            for (uint32_t i = 0; i < levels; ++i)
                image.palette->entries[i] = {static_cast<uint16_t>(i * 257),
                                             static_cast<uint16_t>((255 - i) * 257),
                                             static_cast<uint16_t>((i * 7 % 256) * 257), 65535};
        }
        std::vector<uint8_t> before(13 * 5);
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t x = 0; x < 13; ++x) before[y * 13 + x] = vxtest::SmallPixelAt(image, x, y);
        Image preview, loaded(13, 5, type), mask(13, 5, IL_GREY8);
        std::memcpy(loaded.data, image.data, image.stride * image.height);
        if (indexed) loaded.palette = new ILPalette(*image.palette);
        std::memset(mask.data, 127, mask.stride * mask.height);
        ASSERT_EQ(ILAddAlphaPreview(handle_, &image, &preview, 0.5f, 0, 1), IL_OK);
        ASSERT_EQ(ILAddAlpha(handle_, &image, 0.5f, 0, 1), IL_OK);
        ASSERT_EQ(ILLoadAlpha(handle_, &loaded, &mask), IL_OK);
        ASSERT_EQ(image.type, indexed ? IL_BGRA8 : IL_GREY_A8);
        EXPECT_EQ(preview.type, image.type);
        EXPECT_EQ(vxtest::Packed(image), vxtest::Packed(preview));
        EXPECT_EQ(vxtest::Packed(image), vxtest::Packed(loaded));
        for (uint32_t y = 0; y < 5; ++y)
            for (uint32_t x = 0; x < 13; ++x) {
                SCOPED_TRACE(testing::Message() << x << "," << y);
                const uint32_t v = before[y * 13 + x];
                if (indexed) {
                    const uint8_t* px = image.data + y * image.stride + 4 * x;
                    EXPECT_EQ(px[0], v);
                    EXPECT_EQ(px[1], 255 - v);
                    EXPECT_EQ(px[2], v * 7 % 256);
                    EXPECT_EQ(px[3], 127);
                } else {
                    // Grey levels widen to the full 8-bit range.
                    const uint8_t* px = image.data + y * image.stride + 2 * x;
                    EXPECT_EQ(px[0], v * 255 / (levels - 1));
                    EXPECT_EQ(px[1], 127);
                }
            }
    }
}

// The preview is built aside: the base image, alpha included, never changes.
TEST_F(Alpha, PreviewLeavesTheBaseImage) {
    for (ILPixelType type : {IL_BGRA8, IL_BGR16}) {
        SCOPED_TRACE(type);
        Image base(16, 12, type), preview;
        vxtest::FillSeeded(&base, 5);
        const std::vector<uint8_t> before = vxtest::Packed(base);
        ASSERT_EQ(ILAddAlphaPreview(handle_, &base, &preview, 0.5f, 3, 2), IL_OK);
        EXPECT_EQ(vxtest::Packed(base), before);
        EXPECT_NE(preview.data, base.data);
        EXPECT_TRUE(ILHasAlpha(preview.type));
    }
}

TEST_F(Alpha, LoadFromAMaskOfAnotherSizeAndType) {
    Image image(20, 10, IL_BGR_FLOAT), mask(40, 20, IL_BGR8);
    std::memset(mask.data, 255, mask.stride * mask.height);
    ASSERT_EQ(ILLoadAlpha(handle_, &image, &mask), IL_OK);
    EXPECT_EQ(image.type, IL_BGRA_FLOAT);
    EXPECT_EQ(mask.type, IL_GREY_FLOAT);
    EXPECT_EQ(mask.width, 20u);
    const float* px = reinterpret_cast<const float*>(image.data + 5 * image.stride);
    EXPECT_NEAR(px[4 * 10 + 3], 1.0f, 1e-3);
}

} // namespace
