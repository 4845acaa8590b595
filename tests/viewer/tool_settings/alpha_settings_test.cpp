#include <cmath>

#include <gtest/gtest.h>

#include "viewer/tool_settings/alpha_settings.h"

namespace {

TEST(AlphaSettings, BorderRangeAndOpacityField) {
    EXPECT_EQ(AlphaMaxBorder(640, 480), 240);
    EXPECT_EQ(AlphaMaxBorder(1, 1), 0);
    EXPECT_EQ(AlphaMaxBorder(7, 100), 3);
    struct Row {
        float opacity;
        int32_t field;
    };
    const Row rows[] = {{0.57f, 57}, {1, 100}, {0, 0}, {0.333f, 33}, {0.995f, 99}, {2, 100}};
    for (const Row& row : rows)
        EXPECT_EQ(AlphaOpacityField(row.opacity), row.field) << row.opacity;
    EXPECT_FLOAT_EQ(AlphaOpacityFromField(33), 0.33f);
}

TEST(AlphaSettings, StoredBlocksOfTheAddKindFillTheFields) {
    AlphaSettings s;
    AlphaBlock add;
    add.border = 1000;
    add.opacity = 0.576f;
    add.shape = 7;
    ASSERT_TRUE(AlphaSettingsFromBlock(add, 240, &s));
    EXPECT_EQ(s.border, 240);
    EXPECT_FLOAT_EQ(s.opacity, 0.58f); // what the field shows is what applies
    EXPECT_EQ(s.shape, 1);
    add.opacity = std::nanf("");
    add.shape = 2;
    ASSERT_TRUE(AlphaSettingsFromBlock(add, 240, &s));
    EXPECT_EQ(s.opacity, 0);
    EXPECT_EQ(s.shape, 2);

    AlphaBlock remove;
    remove.kind = ALPHA_REMOVE;
    const AlphaSettings before = s;
    EXPECT_FALSE(AlphaSettingsFromBlock(remove, 240, &s));
    EXPECT_EQ(s.border, before.border);
    EXPECT_EQ(s.shape, before.shape);

    const AlphaBlock saved = AlphaBlockOf({0.33f, 12, 2});
    EXPECT_EQ(saved.kind, ALPHA_ADD_MASK);
    EXPECT_EQ(saved.border, 12);
    EXPECT_FLOAT_EQ(saved.opacity, 0.33f);
    EXPECT_EQ(saved.shape, 2);
}

} // namespace
