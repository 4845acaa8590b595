#include "viewer/logic/control_glyphs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "imglib/handle.h"

namespace {

// The style's greys (low bytes of its colours).
constexpr GlyphGreys kDark = {0x38, 0x40, 0xC0, 0x58, 0x78};
constexpr GlyphGreys kLight = {0xD4, 0xC8, 0x40, 0xB0, 0x90};

class ControlGlyphsTest : public ::testing::Test {
protected:
    // The blend reads the library's sRGB table, which lives with a handle.
    void SetUp() override { handle_ = ILCreateHandle("test"); }
    void TearDown() override { ILDestroyHandle(handle_); }

    static uint8_t Pixel(const Glyph& g, int x, int y) { return g[y * kGlyphStride + x]; }

    ILHandle* handle_ = nullptr;
};

// Independent of the library: the sRGB curve written out.
double ToLinear(int code) {
    const double v = code / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
double ToCode(double linear) {
    const double v =
        linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return v * 255.0;
}

// Every mark is drawn about the centre: a glyph that is not symmetric under
// both mirrors and the diagonal swap has a coordinate mix-up.
TEST_F(ControlGlyphsTest, EveryGlyphIsSymmetric) {
    for (const GlyphGreys& greys : {kDark, kLight}) {
        ControlGlyphs set;
        BuildGlyphs(set, greys);
        for (int shape = 0; shape < 2; ++shape)
            for (int kind = 0; kind < GLYPH_KINDS; ++kind) {
                SCOPED_TRACE(testing::Message() << "shape " << shape << " kind " << kind);
                const Glyph& g = set.glyphs[shape][kind];
                for (int y = 0; y < kGlyphSize; ++y)
                    for (int x = 0; x < kGlyphSize; ++x) {
                        ASSERT_EQ(Pixel(g, x, y), Pixel(g, 12 - x, y)) << x << "," << y;
                        ASSERT_EQ(Pixel(g, x, y), Pixel(g, x, 12 - y)) << x << "," << y;
                        ASSERT_EQ(Pixel(g, x, y), Pixel(g, y, x)) << x << "," << y;
                    }
            }
    }
}

TEST_F(ControlGlyphsTest, DarkCheckedRadioHasFaceCornersRingAndDisc) {
    ControlGlyphs set;
    BuildGlyphs(set, kDark);
    const Glyph& g = set.glyphs[GLYPH_CIRCLE][GLYPH_CHECKED];
    EXPECT_EQ(Pixel(g, 0, 0), 0x38);
    EXPECT_EQ(Pixel(g, 6, 0), 0xC0); // ring on the axis
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            if (std::abs(dx) + std::abs(dy) <= 2) {
                EXPECT_EQ(Pixel(g, 6 + dx, 6 + dy), 0xC0);
            }
        }

    // (1, 1) gets only the ring's diagonal blend, weight (6 x 0.707106 - 4) / 2:
    // mixed in linear light, far from what mixing the codes would give (72).
    const double w = (6 * 0.707106 - 4) * 0.5;
    const double want = ToCode((1 - w) * ToLinear(0x38) + w * ToLinear(0xC0));
    EXPECT_NEAR(Pixel(g, 1, 1), want, 1.0);
    EXPECT_GT(Pixel(g, 1, 1), 80);
}

TEST_F(ControlGlyphsTest, SquareMarksKeepTheirRings) {
    ControlGlyphs set;
    BuildGlyphs(set, kLight);
    struct Case {
        const char* name;
        GlyphKind kind;
        uint8_t ring6, ring5, ring4, centre;
    };
    const Case cases[] = {
        {"normal", GLYPH_NORMAL, 0x40, 0xC8, 0xD4, 0xD4},
        {"checked", GLYPH_CHECKED, 0x40, 0xC8, 0xD4, 0x40},
        {"pressed", GLYPH_PRESSED, 0x40, 0xC8, 0xD4, 0x90},
        {"disabled", GLYPH_DISABLED, 0x90, 0xD4, 0xD4, 0xD4},
        {"disabled checked", GLYPH_DISABLED_CHECKED, 0x90, 0xD4, 0xD4, 0x90},
        {"menu checked", GLYPH_MENU_CHECKED, 0xB0, 0x40, 0xD4, 0x40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Glyph& g = set.glyphs[GLYPH_SQUARE][c.kind];
        EXPECT_EQ(Pixel(g, 0, 3), c.ring6);
        EXPECT_EQ(Pixel(g, 1, 11), c.ring5);
        EXPECT_EQ(Pixel(g, 2, 6), c.ring4);
        EXPECT_EQ(Pixel(g, 6, 6), c.centre);
        EXPECT_EQ(Pixel(g, 3, 9), c.centre); // mark corner, half-size 3
    }
}

} // namespace
