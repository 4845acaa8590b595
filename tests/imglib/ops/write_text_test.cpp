#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "imglib/convert/srgb.h"
#include "imglib/handle.h"
#include "imglib/ops/write_text.h"
#include "imglib/ops/ops_support.h"
#include "support/library_scope.h"
#include "support/messages.h"

namespace {

using vxtest::Image;

WriteTextParams Params(int32_t height = -24) {
    WriteTextParams p = {};
    p.font.height = height;
    p.font.weight = 400;
    std::strcpy(p.font.faceName, "Liberation Sans");
    p.color.SetWhite();
    return p;
}

void Fill(ILImage& image, uint8_t byte) {
    std::memset(image.data, byte, static_cast<size_t>(image.stride) * image.height);
}

// The measured block of a text, as ILWriteText measures it.
ILRect Block(const WriteTextParams& p, const char16_t* text) {
    ILGdiSurface s;
    EXPECT_TRUE(s.CreateWithFont(p.font));
    ILRect r = {0, 0, 0, 0};
    EXPECT_TRUE(
        s.DrawText(&r, text, (p.lineAlign & 3) | IL_DT_NOPREFIX | IL_DT_NOCLIP | IL_DT_CALCRECT));
    s.Destroy();
    return r;
}

// The bounding box of the pixels of an 8-bit B, G, R image that differ from
// black.
struct Ink {
    int64_t left = INT64_MAX, top = INT64_MAX, right = -1, bottom = -1;
    bool Empty() const { return right < 0; }
};
Ink InkOf(const ILImage& image) {
    Ink ink;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint8_t* p = image.data + y * image.stride + x * 3;
            if (!p[0] && !p[1] && !p[2]) continue;
            ink.left = std::min<int64_t>(ink.left, x);
            ink.right = std::max<int64_t>(ink.right, x);
            ink.top = std::min<int64_t>(ink.top, y);
            ink.bottom = std::max<int64_t>(ink.bottom, y);
        }
    return ink;
}

class WriteTextTest : public ::testing::Test {
protected:
    vxtest::LibraryScope scope_;
    ILHandle* h() { return scope_.h; }
};

TEST_F(WriteTextTest, RefusesNarrowSamplesAndCodesOutOfRange) {
    for (const ILPixelType type : {IL_GREY1, IL_GREY2, IL_GREY4}) {
        Image image(40, 20, type);
        Fill(image, 0);
        const WriteTextParams p = Params();
        EXPECT_EQ(ILWriteText(h(), &image, &p, u"x"), IL_UNSUPPORTED_PIXEL_TYPE);
    }
    Image image(40, 20, IL_BGR8);
    Fill(image, 0);
    WriteTextParams p = Params();
    p.anchor = 9;
    EXPECT_EQ(ILWriteText(h(), &image, &p, u"x"), IL_BAD_ARGUMENT);
    p = Params();
    p.orientation = 4;
    EXPECT_EQ(ILWriteText(h(), &image, &p, u"x"), IL_BAD_ARGUMENT);
    p = Params();
    p.effect = std::nanf("");
    EXPECT_EQ(ILWriteText(h(), &image, &p, u"x"), IL_BAD_ARGUMENT);
    p = Params();
    p.color.a = INFINITY;
    EXPECT_EQ(ILWriteText(h(), &image, &p, u"x"), IL_BAD_ARGUMENT);
    EXPECT_TRUE(InkOf(image).Empty());
    // A font no platform makes: the text cannot be measured, and says why.
    vxtest::KeepMessages(h());
    p = Params(-100000);
    EXPECT_EQ(ILWriteText(h(), &image, &p, u"x"), IL_FAILED);
    ASSERT_EQ(vxtest::errors.size(), 1u);
    EXPECT_NE(vxtest::errors[0].find("The font cannot be made at this size"), std::string::npos);
}

TEST_F(WriteTextTest, TextOutsideTheImageChangesNothing) {
    struct Row {
        const char* name;
        int32_t x, y;
    };
    const Row rows[] = {{"left", -400, 0},
                        {"right", 400, 0},
                        {"above", 0, 400},
                        {"below", 0, -400},
                        {"far", INT32_MIN, INT32_MAX}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Image image(64, 32, IL_BGR8);
        Fill(image, 0);
        WriteTextParams p = Params();
        p.offsetX = row.x;
        p.offsetY = row.y;
        p.effect = 1;
        p.blur = 3;
        EXPECT_EQ(ILWriteText(h(), &image, &p, u"Outside"), IL_OK);
        EXPECT_TRUE(InkOf(image).Empty());
    }
    Image image(64, 32, IL_BGR8);
    Fill(image, 0);
    const WriteTextParams p = Params();
    EXPECT_EQ(ILWriteText(h(), &image, &p, u""), IL_OK);
    EXPECT_EQ(ILWriteText(h(), &image, &p, nullptr), IL_OK);
}

// The surfaces hold only what the image shows: a block whose whole surface
// would pass the 4 GB a section can have still writes its visible part.
TEST_F(WriteTextTest, TextFarLargerThanTheImageWritesItsVisiblePart) {
    Image image(200, 100, IL_BGR8);
    Fill(image, 0);
    WriteTextParams p = Params(-2000);
    p.offsetY = 800; // rows 800 to 900 of the block: the first M's left stem
    p.effect = 1;
    p.blur = 2;
    const std::u16string text(600, u'M'); // about 1,000,000 x 2,300 pixels
    ASSERT_EQ(ILWriteText(h(), &image, &p, text.c_str()), IL_OK);
    EXPECT_FALSE(InkOf(image).Empty());
}

TEST_F(WriteTextTest, AnchorsPlaceTheBlockAndOffsetsMoveItRightAndUp) {
    const char16_t* text = u"Anchor\nText";
    const uint32_t W = 301, H = 201;
    for (uint8_t anchor = 0; anchor <= 8; ++anchor) {
        for (const uint8_t orientation : {uint8_t{0}, uint8_t{1}}) {
            SCOPED_TRACE(testing::Message()
                         << "anchor " << int{anchor} << " orientation " << int{orientation});
            WriteTextParams p = Params();
            p.anchor = anchor;
            p.orientation = orientation;
            p.offsetX = 7;
            p.offsetY = 5;
            const ILRect r = Block(p, text);
            const int64_t bw = orientation ? r.bottom : r.right;
            const int64_t bh = orientation ? r.right : r.bottom;
            const int64_t column = anchor % 3, row = anchor / 3;
            const int64_t x = (column == 0 ? 0 : column == 1 ? (W - bw) / 2 : W - bw) + 7;
            const int64_t y = (row == 0 ? 0 : row == 1 ? (H - bh) / 2 : H - bh) - 5;
            Image image(W, H, IL_BGR8);
            Fill(image, 0);
            ASSERT_EQ(ILWriteText(h(), &image, &p, text), IL_OK);
            const Ink ink = InkOf(image);
            ASSERT_FALSE(ink.Empty());
            // The ink lies in the block and nearly fills it across.
            EXPECT_GE(ink.left, std::max<int64_t>(x, 0));
            EXPECT_LE(ink.right, x + bw - 1);
            EXPECT_GE(ink.top, std::max<int64_t>(y, 0));
            EXPECT_LE(ink.bottom, y + bh - 1);
            if (orientation == 0)
                EXPECT_GT(ink.right - ink.left, bw * 3 / 4);
            else
                EXPECT_GT(ink.bottom - ink.top, bh * 3 / 4);
        }
    }
}

// Block pixel (i, j) of the block at (x, y) of an 8-bit B, G, R image.
const uint8_t* At(const ILImage& image, int64_t x, int64_t y, int64_t i, int64_t j) {
    return image.data + (y + j) * image.stride + (x + i) * 3;
}

TEST_F(WriteTextTest, OrientationsAreTheUprightBlockTurned) {
    const char16_t* text = u"Turn me\nround";
    WriteTextParams p = Params(-20);
    p.offsetX = 10;
    p.offsetY = -10; // the block at (10, 10)
    const ILRect r = Block(p, text);
    const int64_t tw = r.right, th = r.bottom;
    Image turned[4];
    for (uint8_t o = 0; o < 4; ++o) {
        ILInitImage(&turned[o]);
        ASSERT_EQ(ILAllocImage(&turned[o], 200, 200, IL_BGR8, nullptr), IL_OK);
        for (uint32_t y = 0; y < 200; ++y)
            std::memset(turned[o].data + y * turned[o].stride, 0, turned[o].stride);
        p.orientation = o;
        ASSERT_EQ(ILWriteText(h(), &turned[o], &p, text), IL_OK);
    }
    for (int64_t j = 0; j < th; ++j)
        for (int64_t i = 0; i < tw; ++i) {
            const uint8_t* upright = At(turned[0], 10, 10, i, j);
            // 180 degrees: the same box read backwards.
            ASSERT_EQ(std::memcmp(At(turned[2], 10, 10, tw - 1 - i, th - 1 - j), upright, 3), 0)
                << i << "," << j;
            // 90 degrees clockwise: the block's top row becomes its right column.
            ASSERT_EQ(std::memcmp(At(turned[1], 10, 10, th - 1 - j, i), upright, 3), 0)
                << i << "," << j;
            ASSERT_EQ(std::memcmp(At(turned[3], 10, 10, j, tw - 1 - i), upright, 3), 0)
                << i << "," << j;
        }
}

TEST_F(WriteTextTest, FullCoverageGivesTheTextColourBlendedInLinearLight) {
    Image image(200, 60, IL_BGR8);
    Fill(image, 0);
    WriteTextParams p = Params(-40);
    p.color.Set(0.5f, 0.5f, 0.5f);
    ASSERT_EQ(ILWriteText(h(), &image, &p, u"HIH"), IL_OK);
    uint8_t top = 0;
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width * 3; ++x)
            top = std::max(top, image.data[y * image.stride + x]);
    EXPECT_EQ(top, ILLinearToSrgb8(0.5f)); // 188, not 128
    // Half the colour's alpha: a grey over black at 0.25 linear.
    Image half(200, 60, IL_BGR8);
    Fill(half, 0);
    p.color.a = 0.5f;
    ASSERT_EQ(ILWriteText(h(), &half, &p, u"HIH"), IL_OK);
    top = 0;
    for (uint32_t y = 0; y < half.height; ++y)
        for (uint32_t x = 0; x < half.width * 3; ++x)
            top = std::max(top, half.data[y * half.stride + x]);
    EXPECT_NEAR(top, ILLinearToSrgb8(0.25f), 1);
}

// A glow (shadow) of strength 1 turns the pixels its moved copy covers fully
// white (black) before the text is drawn on top.
TEST_F(WriteTextTest, GlowAndShadowFillFullyCoveredPixels) {
    const char16_t* text = u"I";
    WriteTextParams plain = Params(-40);
    plain.offsetX = 30 + 20;
    plain.offsetY = -4; // where the effect goes: 20 right of the text, 0 up
    Image reference(120, 60, IL_BGR8);
    Fill(reference, 0);
    ASSERT_EQ(ILWriteText(h(), &reference, &plain, text), IL_OK);

    for (const float effect : {1.0f, -1.0f}) {
        SCOPED_TRACE(effect);
        const uint8_t ground = effect > 0 ? 0 : 255;
        Image image(120, 60, IL_BGR8);
        Fill(image, ground);
        WriteTextParams p = Params(-40);
        p.offsetX = 30;
        p.offsetY = -4;
        p.effect = effect;
        p.effectX = 20;
        p.color.Set(ground / 255.0f, ground / 255.0f, ground / 255.0f); // the text vanishes
        ASSERT_EQ(ILWriteText(h(), &image, &p, text), IL_OK);
        int full = 0;
        for (uint32_t y = 0; y < 60; ++y)
            for (uint32_t x = 0; x < 120; ++x) {
                const uint8_t ref = reference.data[y * reference.stride + x * 3];
                const uint8_t got = image.data[y * image.stride + x * 3];
                if (ref == 255) {
                    ASSERT_EQ(got, 255 - ground) << x << "," << y;
                    ++full;
                } else if (ref == 0) {
                    ASSERT_EQ(got, ground) << x << "," << y;
                }
            }
        EXPECT_GT(full, 40);
    }
}

TEST_F(WriteTextTest, BlurredGlowReachesPastTheGlyphs) {
    Image sharp(120, 60, IL_BGR8), soft(120, 60, IL_BGR8);
    Fill(sharp, 0);
    Fill(soft, 0);
    WriteTextParams p = Params(-30);
    p.anchor = 4;
    p.color.SetBlack();
    p.effect = 1;
    ASSERT_EQ(ILWriteText(h(), &sharp, &p, u"Glow"), IL_OK);
    p.blur = 6;
    ASSERT_EQ(ILWriteText(h(), &soft, &p, u"Glow"), IL_OK);
    const Ink a = InkOf(sharp), b = InkOf(soft);
    EXPECT_LT(b.left, a.left - 2);
    EXPECT_GT(b.right, a.right + 2);
    EXPECT_LT(b.top, a.top - 2);
}

// The image shows part of a block: each of its pixels, glow and blur
// included, is what the same pixel gets when the whole block is drawn.
TEST_F(WriteTextTest, APartOfTheBlockIsDrawnAsTheWholeBlockDrawsIt) {
    const char16_t* text = u"Part of\nthe block";
    const uint32_t X0 = 50, Y0 = 45; // the small image's place in the large one
    for (uint8_t orientation = 0; orientation < 4; ++orientation) {
        SCOPED_TRACE(orientation);
        WriteTextParams p = Params(-36);
        p.orientation = orientation;
        p.effect = 0.8f;
        p.blur = 6;
        p.effectX = 5;
        p.effectY = -3;
        p.color.Set(1.0f, 0.5f, 0.0f);
        p.offsetX = 20;
        p.offsetY = -30;
        Image whole(400, 400, IL_BGR8);
        Fill(whole, 40);
        ASSERT_EQ(ILWriteText(h(), &whole, &p, text), IL_OK);
        Image part(90, 50, IL_BGR8);
        Fill(part, 40);
        p.offsetX -= X0;
        p.offsetY += Y0;
        ASSERT_EQ(ILWriteText(h(), &part, &p, text), IL_OK);
        int changed = 0;
        for (uint32_t y = 0; y < part.height; ++y) {
            const uint8_t* a = whole.data + (Y0 + y) * whole.stride + X0 * 3;
            const uint8_t* b = part.data + y * part.stride;
            for (uint32_t k = 0; k < part.width * 3; ++k) {
                ASSERT_EQ(b[k], a[k]) << "pixel " << k / 3 << "," << y;
                changed += b[k] != 40;
            }
        }
        EXPECT_GT(changed, 100);
    }
}

// A block thousands of times the image's size costs what the image costs:
// the surfaces hold only what falls in the image.
TEST_F(WriteTextTest, ABlockFarLargerThanTheImageIsDrawnWhereItFalls) {
    const std::u16string text(700, u'W'); // about 1.3 million x 2300 pixels
    Image image(200, 2400, IL_BGR8);      // the block's middle, top to bottom
    Fill(image, 0);
    WriteTextParams p = Params(-2000);
    p.anchor = 4;
    p.font.strikeOut = 1; // a line across the whole block, through the middle
    p.effect = 1;
    p.blur = 4;
    ASSERT_EQ(ILWriteText(h(), &image, &p, text.c_str()), IL_OK);
    const Ink ink = InkOf(image);
    EXPECT_EQ(ink.left, 0);
    EXPECT_EQ(ink.right, 199);
    EXPECT_GT(ink.top, 0);
    EXPECT_LT(ink.bottom, 2399);
}

TEST_F(WriteTextTest, AlphaWriteSetsCoverageOrOpacityWhereTextFalls) {
    WriteTextParams p = Params(-30);
    p.color.a = 0.5f;
    Image plain(100, 40, IL_BGR8);
    Fill(plain, 0);
    WriteTextParams opaque = p;
    opaque.color.a = 1;
    ASSERT_EQ(ILWriteText(h(), &plain, &opaque, u"Alpha"), IL_OK);
    for (const uint8_t mode : {uint8_t{0}, uint8_t{1}, uint8_t{2}}) {
        SCOPED_TRACE(int{mode});
        Image image(100, 40, IL_BGRA8);
        Fill(image, 100);
        p.alphaWrite = mode;
        ASSERT_EQ(ILWriteText(h(), &image, &p, u"Alpha"), IL_OK);
        int untouched = 0;
        for (uint32_t y = 0; y < 40; ++y)
            for (uint32_t x = 0; x < 100; ++x) {
                const uint8_t k = plain.data[y * plain.stride + x * 3]; // sRGB of k^2.2
                const uint8_t alpha = image.data[y * image.stride + x * 4 + 3];
                if (mode == 0) {
                    ASSERT_EQ(alpha, 100) << x << "," << y;
                } else if (k == 255) {
                    ASSERT_NEAR(alpha, mode == 1 ? 255 : 128, 1) << x << "," << y;
                } else if (k == 0) {
                    // No coverage, or too little to show in the reference.
                    ASSERT_TRUE(alpha == 100 || alpha <= 5) << x << "," << y;
                    untouched += alpha == 100;
                }
            }
        if (mode != 0) {
            EXPECT_GT(untouched, 2000);
        }
    }
}

TEST_F(WriteTextTest, EveryTypeFrom8BitsTakesText) {
    for (const ILPixelType type :
         {IL_GREY8, IL_GREY16, IL_GREY_FLOAT, IL_BGR16, IL_RGB_FLOAT, IL_BGRA16, IL_INDEX8}) {
        SCOPED_TRACE(type);
        Image image(80, 40, type);
        Fill(image, 0);
        if (type == IL_INDEX8) {
            image.palette = new ILPalette(2);
            image.palette->SetEntryBGR8(0, 0, 0, 0);
            image.palette->SetEntryBGR8(1, 255, 255, 255);
        }
        WriteTextParams p = Params(-30);
        ASSERT_EQ(ILWriteText(h(), &image, &p, u"Ty"), IL_OK);
        // Some sample is now full white (its type's maximum or 1.0).
        ILColor white;
        white.SetWhite();
        uint8_t whitePixel[16] = {};
        ASSERT_TRUE(white.ToPixel(type == IL_INDEX8 ? IL_GREY8 : type, whitePixel));
        const uint32_t bytes = image.bits * image.channels / 8;
        const uint32_t sample = std::max(1u, image.bits / 8);
        bool found = false;
        for (uint32_t y = 0; y < 40 && !found; ++y)
            for (uint32_t x = 0; x < 80 && !found; ++x)
                found =
                    std::memcmp(image.data + y * image.stride + x * bytes,
                                type == IL_INDEX8 ? "\x01" : reinterpret_cast<char*>(whitePixel),
                                sample) == 0;
        EXPECT_TRUE(found);
    }
}

} // namespace
