#include <gtest/gtest.h>

#include <algorithm>
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

} // namespace
