#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "viewer/logic/color_chooser_rules.h"

namespace {

TEST(ColorChooserRules, FormFollowsThePixelType) {
    struct Row {
        ILPixelType type;
        ChooserMode mode;
        int32_t cells;
        uint32_t extra;
        bool grid, ramp, alpha;
    };
    const Row rows[] = {
        {IL_RGB8, CHOOSER_COLOR, 65536, 0, false, false, false},
        {IL_BGRA8, CHOOSER_COLOR, 65536, IL_EXTRA_ALPHA, false, false, true},
        {IL_BGRX8, CHOOSER_COLOR, 65536, IL_EXTRA_FILLER, false, false, false},
        {IL_INDEX4, CHOOSER_GRID, 16, 0, true, false, false},
        {IL_INDEX_A8, CHOOSER_GRID, 256, 0, true, false, false},
        {IL_GREY1, CHOOSER_GRID, 2, 0, true, false, false},
        {IL_GREY_A8, CHOOSER_GRAY, 256, IL_EXTRA_ALPHA, true, false, true},
        {IL_GREY16, CHOOSER_GRAY, 65536, 0, false, true, false},
        {IL_GREY_PA_FLOAT, CHOOSER_GRAY, 65536, IL_EXTRA_PREMULTIPLIED, false, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        const ChooserForm form = ChooserFormOf(row.type);
        EXPECT_EQ(form.mode, row.mode);
        EXPECT_EQ(form.cellCount, row.cells);
        EXPECT_EQ(form.extraChannel, row.extra);
        EXPECT_EQ(ChooserShowsGrid(form), row.grid);
        EXPECT_EQ(form.grayRamp, row.ramp);
        EXPECT_EQ(ChooserHasAlpha(form), row.alpha);
    }
}

TEST(ColorChooserRules, GridCellsUnderThePointer) {
    // A 4 x 4 grid: row 2, column 1 is entry 9.
    EXPECT_EQ(GridCellAt(16, 64 + 10, 128 + 10), 9);
    EXPECT_EQ(GridCellAt(16, 255, 255), 15);
    EXPECT_EQ(GridCellAt(2, 127, 200), 0);
    EXPECT_EQ(GridCellAt(2, 128, 0), 1);
    EXPECT_EQ(GridCellAt(256, 255, 255), 255);
    EXPECT_EQ(GridCellAt(256, 17, 33), 2 * 16 + 1);
    EXPECT_EQ(GridCellAt(4, -5, -5), 0);
}

TEST(ColorChooserRules, HueValueFieldRunsRedGreenBlueAndDarkens) {
    ILColor c;
    HueValueColor(0, 0, &c);
    EXPECT_NEAR(c.r, 1.0f, 1e-6);
    EXPECT_NEAR(c.g, 0.25f, 1e-6);
    EXPECT_NEAR(c.b, 0.25f, 1e-6);
    HueValueColor(85, 0, &c);
    EXPECT_NEAR(c.g, 1.0f, 1e-6);
    HueValueColor(170, 0, &c);
    EXPECT_NEAR(c.b, 1.0f, 1e-6);
    HueValueColor(40, 255, &c);
    EXPECT_EQ(c.r + c.g + c.b, 0.0f);
}

TEST(ColorChooserRules, SliderValuesAreSafeForAnyStoredFloat) {
    EXPECT_EQ(ComponentToSlider(0.5f), 5000);
    EXPECT_EQ(ComponentToSlider(std::nanf("")), 0);
    EXPECT_EQ(ComponentToSlider(7.0f), 10000);
    EXPECT_EQ(ComponentToSlider(-std::numeric_limits<float>::infinity()), 0);
}

TEST(ColorChooserRules, ValueTextsArePadded) {
    ILColor c;
    c.Set(1.0f, 0.0f, 0.214f);
    EXPECT_EQ(ChooserSrgbText(c, false), "255, 0, 127                ");
    EXPECT_EQ(ChooserLinearText(c, false), "1.0000, 0.0000, 0.2140     ");
    c.SetGray(1.0f);
    EXPECT_EQ(ChooserSrgbText(c, true), " 255                       ");
    EXPECT_EQ(ChooserLinearText(c, true).size(), 27u);
}

} // namespace
