#include <cmath>

#include <gtest/gtest.h>

#include "viewer/tool_settings/color_filter_settings.h"

namespace {

TEST(ColorFilterSettings, StoredBlocksLabelsAndTheNeutralState) {
    struct Row {
        const char* name;
        ColorFilterBlock stored; // shadow hue, light hue, shadow strength, light strength
        ColorFilterSliders want;
        bool enabled;
    };
    const Row rows[] = {
        {"lights 30 / 40", {270, 30, 0, 40}, {30, 40, 270, 0}, true},
        {"fractions truncated", {10.9f, 359.9f, 0.5f, 0}, {359, 0, 10, 0}, false},
        {"out of range", {-20, 1000, 200, -3}, {360, 0, 0, 100}, true},
        {"NaN", {std::nanf(""), std::nanf(""), std::nanf(""), INFINITY}, {0, 100, 0, 0}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ColorFilterSliders s = ColorFilterSlidersOf(row.stored);
        EXPECT_EQ(s.lightHue, row.want.lightHue);
        EXPECT_EQ(s.lightStrength, row.want.lightStrength);
        EXPECT_EQ(s.shadowHue, row.want.shadowHue);
        EXPECT_EQ(s.shadowStrength, row.want.shadowStrength);
        EXPECT_EQ(ColorFilterApplyEnabled(s), row.enabled);
    }
    const ColorFilterBlock b = ColorFilterBlockOf({30, 40, 270, 5});
    EXPECT_EQ(b.lightHue, 30);
    EXPECT_EQ(b.lightStrength, 40);
    EXPECT_EQ(b.shadowHue, 270);
    EXPECT_EQ(b.shadowStrength, 5);
    EXPECT_FALSE(ColorFilterApplyEnabled(ColorFilterSliders{}));
    EXPECT_EQ(ColorFilterHueLabel(30), "30\xB0    ");
    EXPECT_EQ(ColorFilterStrengthLabel(40), "40%    ");
}

TEST(ColorFilterSettings, HueStripRows) {
    EXPECT_DOUBLE_EQ(HueStripDegrees(0), 360);
    EXPECT_NEAR(HueStripDegrees(309), 1.16, 0.01);
    float lab[3];
    HueStripLab(0, true, lab);
    EXPECT_EQ(lab[0], 85.0f);
    EXPECT_NEAR(lab[1], 95, 1e-3);
    EXPECT_NEAR(lab[2], 0, 1e-3);
    HueStripLab(155 / 2, false, lab); // about 270 degrees
    EXPECT_EQ(lab[0], 57.5f);
    EXPECT_NEAR(lab[2], -95, 0.5);
}

} // namespace
