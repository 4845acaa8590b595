#include <gtest/gtest.h>

#include <Imath/half.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "imglib/color.h"
#include "imglib/convert/srgb.h"
#include "imglib/image.h"

namespace {

ILColor Make(float r, float g, float b, float a = 1.0f, int32_t index = -1) {
    ILColor c;
    c.r = r;
    c.g = g;
    c.b = b;
    c.a = a;
    c.index = index;
    return c;
}

std::vector<uint8_t> Bytes(std::initializer_list<uint16_t> words) {
    std::vector<uint8_t> out;
    for (uint16_t w : words) {
        out.push_back(static_cast<uint8_t>(w & 0xFF));
        out.push_back(static_cast<uint8_t>(w >> 8));
    }
    return out;
}

std::vector<uint8_t> Bytes(std::initializer_list<float> floats) {
    std::vector<uint8_t> out(floats.size() * 4);
    std::memcpy(out.data(), std::data(floats), out.size());
    return out;
}

// Linear 0.5 encodes to 0.735357: 187 in 8 bits, 48191 in 16, 11 in 4, 2 in 2.
TEST(ColorTest, ToPixelWritesEachServedTypeAndNothingMore) {
    const ILColor half = Make(0.5f, 0.5f, 0.5f, 0.5f);
    const ILColor rgba = Make(1.0f, 0.0f, 0.5f, 0.5f);
    const ILColor white = Make(1, 1, 1);
    const uint16_t h05 = imath_float_to_half(0.5f), h1 = imath_float_to_half(1.0f);
    struct Case {
        const char* name;
        ILPixelType type;
        ILColor color;
        bool served;
        std::vector<uint8_t> want;
    } cases[] = {
        {"bit white", IL_GREY1, white, true, {1}},
        {"bit at threshold", IL_GREY1, Make(0.625f, 0.625f, 0.625f), true, {0}},
        {"bit above threshold", IL_GREY1, Make(0.6251f, 0.6251f, 0.6251f), true, {1}},
        {"grey 2", IL_GREY2, half, true, {2}},
        {"grey 4", IL_GREY4, half, true, {11}},
        {"grey 8", IL_GREY8, half, true, {187}},
        {"grey 16", IL_GREY16, half, true, Bytes({uint16_t{48191}})},
        {"grey half", IL_GREY_HALF, half, true, Bytes({h05})},
        {"grey float", IL_GREY_FLOAT, half, true, Bytes({0.5f})},
        {"grey alpha 8", IL_GREY_A8, half, true, {187, 127}},
        {"grey filler 8 gets alpha", IL_GREY_X8, half, true, {187, 127}},
        {"grey alpha 16", IL_GREY_A16, half, true, Bytes({uint16_t{48191}, uint16_t{32767}})},
        {"grey alpha half", IL_GREY_A_HALF, half, true, Bytes({h05, h05})},
        {"grey alpha float", IL_GREY_PA_FLOAT, half, true, Bytes({0.5f, 0.5f})},
        {"bgr 8", IL_BGR8, rgba, true, {187, 0, 255}},
        {"bgra 8", IL_BGRA8, rgba, true, {187, 0, 255, 127}},
        {"order bit ignored", IL_RGBA8, rgba, true, {187, 0, 255, 127}},
        {"bgr 16", IL_BGR16, rgba, true, Bytes({uint16_t{48191}, uint16_t{0}, uint16_t{65535}})},
        {"bgra 16", IL_BGRA16, rgba, true,
         Bytes({uint16_t{48191}, uint16_t{0}, uint16_t{65535}, uint16_t{32767}})},
        {"bgr half", IL_BGR_HALF, rgba, true, Bytes({h05, uint16_t{0}, h1})},
        {"bgra half", IL_BGRA_HALF, rgba, true, Bytes({h05, uint16_t{0}, h1, h05})},
        {"bgr float", IL_BGR_FLOAT, rgba, true, Bytes({0.5f, 0.0f, 1.0f})},
        {"bgra float", IL_BGRA_FLOAT, rgba, true, Bytes({0.5f, 0.0f, 1.0f, 0.5f})},
        {"index", IL_INDEX8, Make(0, 0, 0, 1, 5), true, {5}},
        {"index of a 1-bit type", IL_INDEX1, Make(0, 0, 0, 1, 1), true, {1}},
        {"no index", IL_INDEX8, Make(1, 1, 1), false, {0}},
        {"grey 1-bit with alpha", IL_GREY_A1, white, false, {}},
        {"grey 24-bit float", IL_GREY_FLOAT24, white, false, {}},
        {"rgb 4-bit", IL_BGR4, white, false, {}},
        {"cmyk", IL_CMYK8, white, false, {}},
        {"lab", IL_LAB8, white, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t out[20];
        std::memset(out, 0xEE, sizeof out);
        EXPECT_EQ(c.color.ToPixel(c.type, out), c.served);
        EXPECT_EQ(std::vector<uint8_t>(out, out + c.want.size()), c.want);
        for (size_t i = c.want.size(); i < sizeof out; ++i)
            ASSERT_EQ(out[i], 0xEE) << "byte " << i;
    }
}

// Decoding through the tables and encoding through the encoders must give
// back every code, in the right channel.
TEST(ColorTest, EightAndSixteenBitCodesSurviveTheRoundTrip) {
    for (int v = 0; v < 256; ++v) {
        const uint8_t bgr[3] = {uint8_t(v), uint8_t(255 - v), uint8_t(v * 7)};
        ILColor c;
        c.FromBGR8(bgr);
        uint8_t back[4];
        c.ToBGR8(back);
        ASSERT_EQ(0, std::memcmp(bgr, back, 3)) << v;
        ASSERT_EQ(c.a, 1.0f);
        const uint32_t colorref = bgr[2] | bgr[1] << 8 | bgr[0] << 16;
        c.FromCOLORREF(colorref);
        ASSERT_EQ(c.ToCOLORREF(), colorref) << v;
    }
    for (uint32_t v = 0; v < 65536; v += 7) {
        const uint16_t bgra[4] = {uint16_t(v), uint16_t(65535 - v), uint16_t(v * 13), 65535};
        ILColor c;
        c.FromBGRA16(bgra);
        EXPECT_EQ(c.a, 1.0f);
        uint16_t back[4];
        c.ToBGRA16(back);
        ASSERT_EQ(0, std::memcmp(bgra, back, sizeof back)) << v;
    }
}

TEST(ColorTest, FloatAndHalfSourcesAreTakenAsLinear) {
    const float bgra[4] = {0.25f, 2.0f, -0.5f, 0.75f};
    ILColor c;
    c.FromBGRAFloat(bgra);
    EXPECT_EQ(c.b, 0.25f);
    EXPECT_EQ(c.g, 2.0f);
    EXPECT_EQ(c.r, -0.5f);
    EXPECT_EQ(c.a, 0.75f);

    const uint16_t halves[3] = {imath_float_to_half(0.25f), imath_float_to_half(65504.0f),
                                0x0001 /* smallest denormal */};
    c.FromBGRHalf(halves);
    EXPECT_EQ(c.b, 0.25f);
    EXPECT_EQ(c.g, 65504.0f);
    EXPECT_EQ(c.r, std::ldexp(1.0f, -24));
    EXPECT_EQ(c.a, 1.0f);
    uint16_t back[3];
    c.ToBGRHalf(back);
    EXPECT_EQ(0, std::memcmp(halves, back, sizeof back));

    const float ga[2] = {0.3f, 0.0f};
    c.FromGrayAlphaFloat(ga);
    EXPECT_TRUE(c.r == 0.3f && c.g == 0.3f && c.b == 0.3f && c.a == 0.0f);
}

TEST(ColorTest, DiffersComparesColourAndAlphaOnly) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const ILColor base = Make(0.1f, 0.2f, 0.3f, 0.4f, 3);
    EXPECT_FALSE(base.Differs(Make(0.1f, 0.2f, 0.3f, 0.4f, 9)));
    EXPECT_TRUE(base.Differs(Make(0.1f, 0.2f, 0.3f, 0.5f, 3)));
    EXPECT_TRUE(base.Differs(Make(0.1f, 0.2f, 0.31f, 0.4f, 3)));
    EXPECT_TRUE(Make(nan, 0, 0).Differs(Make(nan, 0, 0)));
}

TEST(ColorTest, GreyIsTheLuminanceOfLinearLight) {
    ILColor c = Make(0.0f, 1.0f, 0.0f, 0.25f, 4);
    EXPECT_EQ(c.Luminance(), 0.715158f);
    c.MakeGray();
    EXPECT_TRUE(c.r == 0.715158f && c.g == c.r && c.b == c.r);
    EXPECT_EQ(c.a, 1.0f);
    EXPECT_EQ(c.index, -1);
    EXPECT_EQ(Make(1, 1, 1).ToGray8(), 255);
    EXPECT_EQ(Make(1, 1, 1).ToGray16(), 65535);
    // A dark blue stays dark: blue weighs least.
    EXPECT_EQ(Make(0, 0, 1).ToGray8(), ILLinearToSrgb8(0.072186f));
}

} // namespace
