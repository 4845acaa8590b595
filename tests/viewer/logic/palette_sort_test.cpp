#include <gtest/gtest.h>

#include "imglib/pixel_type.h"
#include "viewer/logic/palette_sort.h"

namespace {

struct Image {
    ILImage image;
    Image(uint32_t w, uint32_t h, ILPixelType type) {
        ILInitImage(&image);
        EXPECT_EQ(ILReallocImage(&image, w, h, type, nullptr), 1);
    }
    ~Image() { ILFreeImage(&image); }
};

uint8_t IndexAt(const ILImage& image, int32_t x, int32_t y) {
    ILGetPixelProc get = nullptr;
    ILGetPixelAccessors(&image, nullptr, &get);
    uint8_t v[16] = {};
    get(&image, x, y, v);
    return v[0];
}

void SetIndex(ILImage* image, int32_t x, int32_t y, uint8_t index) {
    ILSetPixelProc set = nullptr;
    ILGetPixelAccessors(image, &set, nullptr);
    const uint8_t v[16] = {index};
    set(image, x, y, v);
}

TEST(PaletteSort, RanksByCountAndKeepsIndicesBeyondThePalette) {
    struct Row {
        const char* name;
        PaletteCounts counts;
        uint32_t entries;
        std::vector<uint8_t> order;
        bool sorted;
    };
    const Row rows[] = {
        {"falling already", {9, 5, 1}, 3, {0, 1, 2}, true},
        {"most used last", {1, 5, 9}, 3, {2, 1, 0}, false},
        {"ties keep their order", {2, 7, 2, 7}, 4, {1, 3, 0, 2}, false},
        // Index 3 lies beyond a 3-entry palette: it is not ranked.
        {"pixels beyond the palette", {1, 2, 3, 50}, 3, {2, 1, 0, 3}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(PaletteCountsSorted(row.counts, row.entries), row.sorted);
        const PaletteOrder o = SortPaletteByCount(row.counts, row.entries);
        for (size_t k = 0; k < row.order.size(); ++k) {
            EXPECT_EQ(o.order[k], row.order[k]) << k;
            EXPECT_EQ(o.rank[o.order[k]], k) << k;
        }
        EXPECT_EQ(o.rank[200], 200);
        EXPECT_EQ(o.rank[255], 255);
    }
}

// After a sort the image looks the same: each pixel's new index names its
// old colour in the reordered palette; an index beyond the palette stays.
TEST(PaletteSort, SortedImageKeepsItsColours) {
    for (ILPixelType type : {IL_INDEX8, IL_INDEX4, IL_INDEX2}) {
        SCOPED_TRACE(type);
        Image img(7, 3, type);
        ILPalette palette(3);
        for (uint32_t i = 0; i < 3; ++i)
            palette.SetEntryBGR8(i, static_cast<uint8_t>(10 * i), 0, static_cast<uint8_t>(200 - i));
        const uint8_t pixels[3][7] = {
            {0, 1, 2, 2, 2, 3, 1}, {2, 2, 1, 0, 2, 1, 2}, {2, 1, 3, 2, 0, 2, 2}};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x)
                SetIndex(&img.image, x, y, pixels[y][x]);
        PaletteCounts counts;
        ASSERT_TRUE(CountPaletteIndices(img.image, &counts));
        EXPECT_EQ(counts[0], 3u);
        EXPECT_EQ(counts[1], 5u);
        EXPECT_EQ(counts[2], 11u);
        EXPECT_EQ(counts[3], 2u);
        const PaletteOrder o = SortPaletteByCount(counts, palette.count);
        ILPalette sorted = palette;
        ReorderPalette(&sorted, o);
        ASSERT_TRUE(RemapPaletteIndices(&img.image, o));
        ReorderCounts(&counts, o);
        EXPECT_TRUE(PaletteCountsSorted(counts, 3));
        EXPECT_EQ(counts[0], 11u);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x) {
                const uint8_t old = pixels[y][x], now = IndexAt(img.image, x, y);
                if (old >= 3) {
                    EXPECT_EQ(now, old);
                    continue;
                }
                const ILPaletteEntry a = palette.GetEntry(old), b = sorted.GetEntry(now);
                EXPECT_EQ(a.red, b.red);
                EXPECT_EQ(a.blue, b.blue);
            }
    }
}

TEST(PaletteSort, GridCellsAndSliders) {
    struct Row {
        int32_t x, y, cell;
    };
    const Row rows[] = {{240, 8, 0},     {261, 8, 0},    {262, 8, 1},    {240, 30, 16},
                        {591, 359, 255}, {238, 100, -1}, {592, 100, -1}, {300, 360, -1}};
    for (const Row& row : rows)
        EXPECT_EQ(PaletteCellAt(row.x, row.y), row.cell) << row.x << ", " << row.y;
    EXPECT_EQ(PaletteCellSquare(17).left, 262);
    EXPECT_EQ(PaletteCellSquare(17).top, 30);

    EXPECT_EQ(PaletteSliderOf(1), 1000);
    EXPECT_EQ(PaletteSliderOf(0.5), 500);
    EXPECT_EQ(PaletteSliderOf(0), 0);
    EXPECT_EQ(PaletteAlphaOf(1000), 0);
    EXPECT_EQ(PaletteAlphaOf(0), 65535);
    EXPECT_EQ(PaletteSliderOf(PaletteTransparencyOf(PaletteAlphaOf(250))), 250);
}

} // namespace
