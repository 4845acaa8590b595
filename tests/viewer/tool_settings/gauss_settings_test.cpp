#include <cmath>

#include <gtest/gtest.h>

#include "viewer/tool_settings/gauss_settings.h"

namespace {

TEST(GaussSettings, StoredBlocksAreQuantisedToTheSliders) {
    struct Row {
        const char* name;
        GaussBlock stored;
        int32_t operation;
        float amount;
        int32_t radius;
        float gain;
        const char *amountText, *radiusText, *gainText;
    };
    const float nan = std::nanf("");
    const Row rows[] = {
        {"as stored", {1, 0.29f, 3, 0.25f, {}}, 1, 0.29f, 3, 0.25f, "29%", "3 pixel", " 0.25"},
        // 0.29f x 100 is 28.999998: truncated, a saved gain reopened lower.
        {"saved gain", {1, 0.5f, 3, 0.29f, {}}, 1, 0.5f, 3, 0.29f, "50%", "3 pixel", " 0.29"},
        {"beyond the sliders", {3, 5, 500, 7, {}}, 3, 1, 100, 1, "100%", "100 pixel", " 1.00"},
        {"below", {2, 0, -4, -1, {}}, 2, 0.01f, 1, 0, "1%", "1 pixel", " 0.00"},
        {"NaN", {9, nan, 1, nan, {}}, 3, 0.01f, 1, 0, "1%", "1 pixel", " 0.00"},
    };
    GaussBlock current = GaussDefaults();
    current.channels[0] = 0; // the boxes as the user left them
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const GaussBlock b = GaussFromStored(row.stored, current);
        EXPECT_EQ(b.operation, row.operation);
        EXPECT_FLOAT_EQ(b.amount, row.amount);
        EXPECT_EQ(b.radius, row.radius);
        EXPECT_FLOAT_EQ(b.gain, row.gain);
        EXPECT_EQ(b.channels[0], 0);
        EXPECT_EQ(b.channels[1], 1);
        EXPECT_EQ(GaussAmountText(b.amount), row.amountText);
        EXPECT_EQ(GaussRadiusText(b.radius), row.radiusText);
        EXPECT_EQ(GaussGainText(b.gain), row.gainText);
    }
    const GaussBlock d = GaussDefaults();
    EXPECT_EQ(d.operation, kGaussBlur);
    EXPECT_EQ(GaussAmountSlider(d.amount), 50);
    EXPECT_EQ(d.radius, 10);
    EXPECT_EQ(GaussGainSlider(d.gain), 0);
}

TEST(GaussSettings, ChannelsForRunsAndRecords) {
    struct Row {
        const char* name;
        GaussChannelBoxes boxes;
        bool grey, hasAlpha;
        uint8_t run[4], record[4];
        bool enabled;
    };
    const Row rows[] = {
        {"colour", {true, false, true, true}, false, false, {1, 0, 1, 0}, {1, 0, 1, 0}, true},
        {"colour with alpha",
         {false, false, false, true},
         false,
         true,
         {0, 0, 0, 1},
         {0, 0, 0, 1},
         true},
        {"grey", {true, true, true, false}, true, false, {0, 1, 0, 0}, {1, 1, 1, 0}, true},
        {"grey unchecked",
         {true, false, true, true},
         true,
         false,
         {0, 0, 0, 0},
         {0, 0, 0, 0},
         false},
        {"nothing", {false, false, false, false}, false, true, {0, 0, 0, 0}, {0, 0, 0, 0}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        uint8_t run[4], record[4];
        GaussRunChannels(row.boxes, row.grey, row.hasAlpha, run);
        GaussRecordChannels(row.boxes, row.grey, row.hasAlpha, record);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(run[i], row.run[i]) << i;
            EXPECT_EQ(record[i], row.record[i]) << i;
        }
        EXPECT_EQ(GaussApplyEnabled(row.boxes, row.grey, row.hasAlpha), row.enabled);
    }
}

} // namespace
