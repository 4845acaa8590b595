#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "imglib/surface.h"

namespace {

ILColor Rgb(float r, float g, float b) {
    ILColor c;
    c.Set(r, g, b);
    return c;
}

std::vector<uint8_t> Row(const ILGdiSurface& s, uint32_t y) {
    const uint8_t* p = s.bits + y * s.stride;
    return {p, p + s.stride};
}

TEST(SurfaceTest, CreateGivesZeroedTopDownRowsPaddedTo32Bits) {
    ILGdiSurface s;
    ASSERT_TRUE(s.Create(5, 2));
    EXPECT_EQ(s.width, 5u);
    EXPECT_EQ(s.height, 2u);
    EXPECT_EQ(s.stride, 16);
    ASSERT_NE(s.bits, nullptr);
    EXPECT_TRUE(std::all_of(s.bits, s.bits + 32, [](uint8_t b) { return b == 0; }));
    ASSERT_NE(s.dc, nullptr);
    EXPECT_EQ(s.dc->textColor, 0xFFFFFFu);
    EXPECT_TRUE(s.dc->transparentBackground);
    EXPECT_EQ(s.dc->bitmap, s.bitmap);
    s.Destroy();
    EXPECT_EQ(s.bits, nullptr);
    EXPECT_EQ(s.dc, nullptr);
}

TEST(SurfaceTest, FillWritesBgrAndCopiesTheFirstRowWhole) {
    ILGdiSurface s;
    ASSERT_TRUE(s.Create(5, 2));
    s.bits[15] = 0xAB; // padding of the first row
    s.Fill(Rgb(1, 0, 0));
    for (uint32_t y = 0; y < 2; ++y) {
        SCOPED_TRACE(y);
        const std::vector<uint8_t> row = Row(s, y);
        for (uint32_t x = 0; x < 5; ++x) {
            EXPECT_EQ(row[x * 3 + 0], 0);
            EXPECT_EQ(row[x * 3 + 1], 0);
            EXPECT_EQ(row[x * 3 + 2], 255);
        }
        EXPECT_EQ(row[15], 0xAB);
    }
    s.Fill(Rgb(1, 1, 1));
    EXPECT_TRUE(std::all_of(s.bits, s.bits + 15, [](uint8_t b) { return b == 255; }));

    s.Clear();
    EXPECT_TRUE(std::all_of(s.bits, s.bits + 32, [](uint8_t b) { return b == 0; }));
    s.Destroy();
}

TEST(SurfaceTest, FailedResizeKeepsPixelsGeometryAndStride) {
    ILGdiSurface s;
    ASSERT_TRUE(s.Create(5, 2));
    uint8_t* const bits = s.bits;
    // Far past a section's 32-bit size; a zero edge makes no section either.
    EXPECT_FALSE(s.Resize(0xFFFFFFFFu, 0xFFFFFFFFu));
    EXPECT_FALSE(s.Resize(0, 3));
    EXPECT_EQ(s.bits, bits);
    EXPECT_EQ(s.stride, 16);
    EXPECT_EQ(s.width, 5u);
    EXPECT_EQ(s.height, 2u);
    // A stride left at the refused width would make these run past the buffer.
    s.Fill(Rgb(1, 1, 1));
    s.Clear();

    ASSERT_TRUE(s.Resize(7, 3));
    EXPECT_EQ(s.stride, 24);
    EXPECT_EQ(s.bitmap, s.dc->bitmap);
    EXPECT_TRUE(std::all_of(s.bits, s.bits + 72, [](uint8_t b) { return b == 0; }));
    s.Destroy();
}

TEST(SurfaceTest, SurfaceWithoutPixelsIgnoresFillAndClear) {
    ILGdiSurface s;
    s.Init();
    s.Fill(Rgb(1, 1, 1));
    s.Clear();
    EXPECT_EQ(s.bits, nullptr);
    s.SetTextColor(Rgb(0, 0, 1));
    EXPECT_EQ(s.dc->textColor, 0xFF0000u); // 0x00BBGGRR
    s.Destroy();
}

ILLogFont Font(const char* face, int32_t height, int32_t weight = 400, uint8_t italic = 0,
               uint8_t quality = 0) {
    ILLogFont font = {};
    font.height = height;
    font.weight = weight;
    font.italic = italic;
    font.quality = quality;
    std::strncpy(font.faceName, face, sizeof font.faceName - 1);
    return font;
}

constexpr uint32_t kPlain = IL_DT_NOPREFIX | IL_DT_NOCLIP;

ILRect Measure(ILGdiSurface& s, std::u16string_view text, uint32_t format = kPlain) {
    ILRect r = {0, 0, 0, 0};
    EXPECT_TRUE(s.DrawText(&r, text, format | IL_DT_CALCRECT));
    return r;
}

// The extents the platform's own text drawing gives for these fonts and
// texts (measured under Wine's GDI with the Liberation faces): a negative
// height is the em, a positive one the cell, lines are a cell apart. The
// Wine test compares every size from 6 to 72 pixels.
TEST(SurfaceTextTest, MeasuresAsThePlatformDoes) {
    struct Row {
        const char* name;
        ILLogFont font;
        std::u16string text;
        int32_t width, height;
    };
    const Row rows[] = {
        {"em 48", Font("Liberation Sans", -48), u"The quick brown fox jumps", 573, 53},
        {"cell 48", Font("Liberation Sans", 48), u"The quick brown fox jumps", 515, 48},
        {"em 13", Font("Liberation Sans", -13), u"Small text, 13 px: 0123456789", 177, 15},
        {"bold", Font("Liberation Sans", -24, 700), u"Bold words here", 189, 27},
        {"italic", Font("Liberation Serif", -24, 400, 1), u"Italic serif line", 144, 26},
        {"monochrome", Font("Liberation Mono", -20, 400, 0, kFontNonAntialiased),
         u"Monochrome mono face", 240, 23},
        {"four lines", Font("Liberation Sans", -20), u"one\r\ntwo longer\rthree\nfour", 92, 88},
        {"arial by name", Font("Arial", -32), u"Arial by its own name", 306, 36},
        // A cell takes a whole em rounded slightly down: 14 gives 12, and 33
        // gives 29, whose lines are 32 high.
        {"cell 14", Font("Liberation Sans", 14), u"Sphinx of black quartz, judge my vow", 201, 14},
        {"cell 33", Font("Liberation Sans", 33), u"Sphinx of black quartz, judge my vow", 478, 32},
        // Drawn in black and white by the face's size table, but placed as
        // in grey.
        {"em 16", Font("Liberation Sans", -16), u"Sphinx of black quartz, judge my vow", 263, 17},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ILGdiSurface s;
        ASSERT_TRUE(s.CreateWithFont(row.font));
        const ILRect r = Measure(s, row.text);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, row.width);
        EXPECT_EQ(r.bottom, row.height);
        s.Destroy();
    }
}

// The columns and rows that hold any lit pixel.
struct Ink {
    int32_t left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
    std::set<uint8_t> levels;
};
Ink InkOf(const ILGdiSurface& s) {
    Ink ink;
    for (uint32_t y = 0; y < s.height; ++y)
        for (uint32_t x = 0; x < s.width; ++x) {
            const uint8_t* p = s.bits + y * s.stride + x * 3;
            ink.levels.insert(p[1]);
            if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
            ink.left = std::min<int32_t>(ink.left, x);
            ink.right = std::max<int32_t>(ink.right, x);
            ink.top = std::min<int32_t>(ink.top, y);
            ink.bottom = std::max<int32_t>(ink.bottom, y);
        }
    return ink;
}

TEST(SurfaceTextTest, DrawsInTheTextColourWithGreyOrMonochromeEdges) {
    for (const uint8_t quality : {uint8_t{0}, kFontNonAntialiased}) {
        SCOPED_TRACE(quality);
        ILGdiSurface s;
        ASSERT_TRUE(s.CreateWithFont(Font("Liberation Sans", -24, 400, 0, quality)));
        const ILRect extent = Measure(s, u"Wave");
        ASSERT_TRUE(s.Resize(extent.right + 20, extent.bottom + 20));
        ILRect at = {10, 10, 10 + extent.right, 10 + extent.bottom};
        s.SetTextColor(Rgb(0, 1, 0));
        ASSERT_TRUE(s.DrawText(&at, u"Wave", kPlain));
        const Ink ink = InkOf(s);
        EXPECT_GE(ink.left, 10);
        EXPECT_LE(ink.right, 10 + extent.right);
        EXPECT_GE(ink.top, 10);
        EXPECT_LE(ink.bottom, 10 + extent.bottom);
        EXPECT_GT(ink.right - ink.left, extent.right / 2);
        EXPECT_EQ(ink.levels.count(255), 1u);
        if (quality == kFontNonAntialiased)
            EXPECT_EQ(ink.levels, (std::set<uint8_t>{0, 255}));
        else
            EXPECT_GT(ink.levels.size(), 10u);
        for (uint32_t y = 0; y < s.height; ++y)
            for (uint32_t x = 0; x < s.width; ++x) {
                const uint8_t* p = s.bits + y * s.stride + x * 3;
                ASSERT_EQ(p[0], 0);
                ASSERT_EQ(p[2], 0);
            }
        s.Destroy();
    }
}

TEST(SurfaceTextTest, ClipsToTheRectangleUnlessNoClip) {
    ILGdiSurface s;
    ASSERT_TRUE(s.CreateWithFont(Font("Liberation Sans", -20)));
    ASSERT_TRUE(s.Resize(200, 40));
    ILRect half = {0, 0, 30, 40};
    ASSERT_TRUE(s.DrawText(&half, u"MMMMMM", IL_DT_NOPREFIX));
    EXPECT_LT(InkOf(s).right, 30);
    s.Clear();
    ASSERT_TRUE(s.DrawText(&half, u"MMMMMM", kPlain));
    EXPECT_GT(InkOf(s).right, 60);
    // Text beyond the surface is cut at its edges, not written past them.
    ILRect outside = {-500, -10, 500, 60};
    EXPECT_TRUE(s.DrawText(&outside, u"MMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMMM", kPlain));
    s.Destroy();
}

TEST(SurfaceTextTest, UnderlineAndStrikeOutRunUnderTheWholeLine) {
    ILLogFont font = Font("Liberation Sans", -30);
    font.underline = 1;
    font.strikeOut = 1;
    ILGdiSurface s;
    ASSERT_TRUE(s.CreateWithFont(font));
    const ILRect extent = Measure(s, u"i  i");
    ASSERT_TRUE(s.Resize(extent.right, extent.bottom));
    ILRect at = extent;
    ASSERT_TRUE(s.DrawText(&at, u"i  i", kPlain));
    // Rows lit from the first column to the last: the two bars, across the
    // spaces between the letters.
    int bars = 0;
    bool previous = false;
    for (uint32_t y = 0; y < s.height; ++y) {
        bool full = true;
        for (uint32_t x = 1; x + 1 < s.width; ++x)
            full &= s.bits[y * s.stride + x * 3] == 255;
        bars += full && !previous;
        previous = full;
    }
    EXPECT_EQ(bars, 2);
    s.Destroy();
}

TEST(SurfaceTextTest, FontFailuresKeepTheOldFont) {
    ILGdiSurface s;
    ASSERT_TRUE(s.CreateWithFont(Font("Liberation Sans", -20)));
    ILGdiObject* const font = s.font;
    // Heights from stored records can be anything; glyphs of this size
    // would take gigabytes.
    EXPECT_FALSE(s.SetFont(Font("Liberation Sans", -1000000)));
    EXPECT_FALSE(s.SetFont(Font("Liberation Sans", INT32_MIN)));
    EXPECT_EQ(s.font, font);
    EXPECT_EQ(Measure(s, u"x").bottom, 22);
    s.Destroy();

    ILGdiSurface bare;
    ASSERT_TRUE(bare.Create(4, 4));
    ILRect r = {0, 0, 0, 0};
    EXPECT_FALSE(bare.DrawText(&r, u"x", kPlain | IL_DT_CALCRECT));
    bare.Destroy();
}

TEST(SurfaceTextTest, CentredSingleByteTextReadsWindows1252) {
    ILGdiSurface s;
    ASSERT_TRUE(s.CreateWithFont(Font("Liberation Sans", -20)));
    ASSERT_TRUE(s.Resize(100, 30));
    ILRect wide = {0, 0, 100, 30}, narrow = wide;
    ASSERT_TRUE(s.DrawTextCentered(&wide, u"\u20AC \u00E9"));
    std::vector<uint8_t> fromWide(s.bits, s.bits + s.stride * s.height);
    s.Clear();
    ASSERT_TRUE(s.DrawTextCenteredA(&narrow, "\x80 \xE9"));
    EXPECT_EQ(std::vector<uint8_t>(s.bits, s.bits + s.stride * s.height), fromWide);
    const Ink ink = InkOf(s);
    EXPECT_NEAR((ink.left + ink.right) / 2, 50, 3);
    s.Destroy();
}

} // namespace
