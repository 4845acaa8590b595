#include "viewer/logic/font_rules.h"

#include <gtest/gtest.h>

#include <climits>

TEST(FontRules, WeightBecomesRegularOrBold) {
    EXPECT_EQ(NormalizeFontWeight(0), 400);
    EXPECT_EQ(NormalizeFontWeight(500), 400);
    EXPECT_EQ(NormalizeFontWeight(600), 700);
    EXPECT_EQ(NormalizeFontWeight(900), 700);
}

TEST(FontRules, PointSizesStayInTheFieldsRange) {
    struct Case {
        int32_t height, dpi, points;
    };
    const Case cases[] = {
        {-16, 96, 12}, {16, 96, 12},    {-13, 96, 10}, // 9.75 rounds up
        {0, 96, 6},    {-400, 96, 200}, {INT_MIN, 96, 200}, {-16, 0, 6}, {INT_MAX, 1, 200},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FontPointSize(c.height, c.dpi), c.points) << c.height << " at " << c.dpi;
    EXPECT_EQ(FontPixelHeight(12, 96), 16);
    EXPECT_EQ(FontPixelHeight(1000, 96), 267); // 200 points
}
