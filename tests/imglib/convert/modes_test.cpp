#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "imglib/convert/modes.h"
#include "imglib/convert/suite_handle.h"
#include "imglib/ops/ops_support.h"

namespace {

using vxtest::Image;

class Modes : public SuiteHandleTest {};

// Grey v in column v of a 256 x 8 ramp.
void Ramp(Image* image) {
    ASSERT_EQ(ILAllocImage(image, 256, 8, IL_GREY8, nullptr), IL_OK);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 256; ++x)
            image->data[y * image->stride + x] = uint8_t(x);
}

TEST_F(Modes, LowBitGreyBoundaries) {
    using Convert = ILResult (*)(ILHandle*, ILImage*, int32_t);
    struct Case {
        const char* name;
        Convert convert;
        int32_t option;
        ILPixelType type;
        std::vector<std::pair<int, int>> grey; // v -> result on every row
    } cases[] = {
        {"grey4",
         ILConvertToGray4,
         0,
         IL_GREY4,
         {{0, 0}, {8, 0}, {9, 1}, {25, 1}, {26, 2}, {247, 15}, {255, 15}}},
        {"grey4 dithered", ILConvertToGray4, 1, IL_GREY4, {{0, 0}, {255, 15}}},
        {"grey2",
         ILConvertToGray2,
         2,
         IL_GREY2,
         {{42, 0}, {43, 1}, {127, 1}, {128, 2}, {212, 2}, {213, 3}}},
        {"grey2 dithered", ILConvertToGray2, 1, IL_GREY2, {{0, 0}, {255, 3}}},
        {"threshold", ILConvertToMonochrome, 0, IL_GREY1, {{127, 0}, {128, 1}}},
        {"unknown kind", ILConvertToMonochrome, 5, IL_GREY1, {{127, 0}, {128, 1}}},
        {"ordered", ILConvertToMonochrome, 1, IL_GREY1, {{0, 0}, {255, 1}}},
        {"halftone", ILConvertToMonochrome, 3, IL_GREY1, {{0, 0}, {255, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image image;
        Ramp(&image);
        ASSERT_EQ(c.convert(handle_, &image, c.option), IL_OK);
        ASSERT_EQ(image.type, c.type);
        for (auto [v, want] : c.grey)
            for (uint32_t y = 0; y < 8; ++y)
                ASSERT_EQ(vxtest::SmallPixelAt(image, v, y), want) << v << "," << y;
    }
}

// Share of white pixels of a flat grey: (128 / 255)^1.8 of 64, i.e. 18 per
// 8 x 8 tile for the ordered kinds, about the same for error diffusion.
TEST_F(Modes, MonochromeDitherKeepsTheLightLevel) {
    for (int32_t kind : {1, 2, 3}) {
        SCOPED_TRACE(kind);
        Image image(64, 64, IL_GREY8);
        std::memset(image.data, 128, image.stride * 64);
        ASSERT_EQ(ILConvertToMonochrome(handle_, &image, kind), IL_OK);
        uint32_t white = 0;
        for (uint32_t y = 0; y < 64; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                white += vxtest::SmallPixelAt(image, x, y);
        if (kind == 2)
            EXPECT_NEAR(white / 4096.0, std::pow(128 / 255.0, 1.8), 0.01);
        else
            EXPECT_EQ(white, 18u * 64);
    }
    // One pixel wide only the 5/16 share goes on down: light 73 settles at
    // 73 / (1 - 5/16) < 128, so no pixel turns white.
    Image column(1, 40, IL_GREY8);
    for (uint32_t y = 0; y < 40; ++y)
        column.data[y * column.stride] = 128;
    ASSERT_EQ(ILConvertToMonochrome(handle_, &column, 2), IL_OK);
    uint32_t white = 0;
    for (uint32_t y = 0; y < 40; ++y)
        white += vxtest::SmallPixelAt(column, 0, y);
    EXPECT_EQ(white, 0u);
}

TEST_F(Modes, WiderModesKeepTheAlphaForm) {
    struct Case {
        ILPixelType from;
        ILResult (*convert)(ILHandle*, ILImage*);
        ILPixelType to;
    } cases[] = {{IL_BGRA8, ILConvertToRgb16, IL_BGRA16},
                 {IL_BGRX8, ILConvertToRgbFloat, IL_BGR_FLOAT},
                 {IL_GREY16, ILConvertToRgbHalf, IL_BGR_HALF},
                 {IL_BGR8, ILConvertToGrayFloat, IL_GREY_FLOAT},
                 {IL_BGRA16, ILConvertToGray16, IL_BGRA16}}; // three channels of 16 bits: kept
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        Image image(9, 5, c.from);
        vxtest::FillSeeded(&image, 1);
        if (c.from == IL_BGRA16) {
            ASSERT_EQ(ILConvertToRgb16(handle_, &image), IL_OK);
        } else {
            ASSERT_EQ(c.convert(handle_, &image), IL_OK);
        }
        EXPECT_EQ(image.type, c.to);
    }
    Image premultiplied(4, 4, IL_BGRPA_FLOAT);
    vxtest::FillSeeded(&premultiplied, 2);
    ASSERT_EQ(ILConvertToGray8(handle_, &premultiplied, 1), IL_OK);
    EXPECT_EQ(premultiplied.type, IL_GREY_PA8);

    // Same model and kind: nothing happens, not even a new buffer.
    Image greyAlpha(4, 4, IL_GREY_A8);
    const uint8_t* data = greyAlpha.data;
    ASSERT_EQ(ILConvertToGray8(handle_, &greyAlpha, 1), IL_OK);
    EXPECT_EQ(greyAlpha.data, data);
    // The low-bit conversions drop alpha first.
    ASSERT_EQ(ILConvertToGray4(handle_, &greyAlpha, 0), IL_OK);
    EXPECT_EQ(greyAlpha.type, IL_GREY4);

    Image empty;
    EXPECT_EQ(ILConvertToGray2(handle_, &empty, 0), IL_BAD_ARGUMENT);
    EXPECT_EQ(ILConvertToRgb8(handle_, &empty, 0), IL_BAD_ARGUMENT);
}

} // namespace
