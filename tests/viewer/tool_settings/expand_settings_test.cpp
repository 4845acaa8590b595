#include <gtest/gtest.h>

#include "viewer/tool_settings/expand_settings.h"

namespace {

TEST(ExpandSettings, ModesSizesAndRecordedBorders) {
    struct Row {
        const char* name;
        ExpandSettings settings;
        const char* size; // of a 100 x 80 image
        MarginsBlock recorded;
        bool enabled;
    };
    const Row rows[] = {
        {"all sides 10", {true, 10, {1, 2, 3, 4}}, "120 x 100 pixel", {10, 10, 10, 10}, true},
        {"left 5, top 7", {false, 10, {5, 0, 7, 0}}, "105 x 87 pixel", {5, 0, 7, 0}, true},
        {"all sides 0", {true, 0, {5, 0, 7, 0}}, "100 x 80 pixel", {0, 0, 0, 0}, false},
        {"no side", {false, 9, {0, 0, 0, 0}}, "100 x 80 pixel", {0, 0, 0, 0}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExpandSizeText(row.settings, 100, 80), row.size);
        const MarginsBlock m = ExpandMarginsOf(row.settings);
        EXPECT_EQ(m.left, row.recorded.left);
        EXPECT_EQ(m.right, row.recorded.right);
        EXPECT_EQ(m.top, row.recorded.top);
        EXPECT_EQ(m.bottom, row.recorded.bottom);
        EXPECT_EQ(ExpandApplyEnabled(row.settings), row.enabled);
    }
    EXPECT_EQ(ExpandSizeText({true, kExpandBorderMaximum, {}}, 4000000000u, 1),
              "4000070000 x 70001 pixel");
}

TEST(ExpandSettings, StoredBordersChooseTheMode) {
    const ExpandSettings same = ExpandFromStored({4, 4, 4, 4});
    EXPECT_TRUE(same.uniform);
    EXPECT_EQ(same.allSides, 4);
    const ExpandSettings apart = ExpandFromStored({4, 0, 4, 0});
    EXPECT_FALSE(apart.uniform);
    EXPECT_EQ(apart.allSides, 0);
    EXPECT_EQ(apart.sides.left, 4);
    EXPECT_EQ(apart.sides.right, 0);
    // Out-of-range borders from a file enter the fields' range.
    const ExpandSettings wild = ExpandFromStored({INT32_MAX, INT32_MAX, 40000, -3});
    EXPECT_FALSE(wild.uniform);
    EXPECT_EQ(wild.sides.left, kExpandBorderMaximum);
    EXPECT_EQ(wild.sides.top, kExpandBorderMaximum);
    EXPECT_EQ(wild.sides.bottom, 0);
}

} // namespace
