#include <gtest/gtest.h>

#include "viewer/tool_settings/resample_settings.h"

namespace {

struct Want {
    int32_t width, height, widthPercent, heightPercent;
};

void Expect(const ResampleSettings& s, const Want& w) {
    EXPECT_EQ(s.targetWidth, w.width);
    EXPECT_EQ(s.targetHeight, w.height);
    EXPECT_EQ(s.widthPercent, w.widthPercent);
    EXPECT_EQ(s.heightPercent, w.heightPercent);
}

TEST(ResampleSettings, FieldsFollowEachOther) {
    enum Field { kWidth, kHeight, kWidthPercent, kHeightPercent };
    struct Row {
        const char* name;
        uint32_t w, h;
        bool keepAspect;
        Field field;
        int32_t value;
        Want want;
    };
    const Row rows[] = {
        {"width with the lock", 1000, 500, true, kWidth, 500, {500, 250, 50, 50}},
        {"height percent with the lock", 1000, 500, true, kHeightPercent, 10, {100, 50, 10, 10}},
        {"width without the lock", 1000, 500, false, kWidth, 500, {500, 500, 50, 100}},
        {"width percent 0 of 1000", 1000, 500, false, kWidthPercent, 0, {1, 500, 0, 100}},
        {"width percent 0 of 50", 50, 500, false, kWidthPercent, 0, {1, 500, 2, 100}},
        {"height percent 0, locked", 1000, 40, true, kHeightPercent, 0, {1, 1, 2, 2}},
        {"height with the lock", 1000, 500, true, kHeight, 1000, {2000, 1000, 200, 200}},
        {"beyond the field", 1000, 500, true, kWidthPercent, 10000, {99999, 50000, 10000, 10000}},
        {"typed zero width", 1000, 500, false, kWidth, 0, {1, 500, 0, 100}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResampleSettings s = ResampleDefaults(row.w, row.h, 4, row.keepAspect);
        switch (row.field) {
            case kWidth:
                ResampleWidthTyped(&s, row.value);
                break;
            case kHeight:
                ResampleHeightTyped(&s, row.value);
                break;
            case kWidthPercent:
                ResampleWidthPercentTyped(&s, row.value);
                break;
            case kHeightPercent:
                ResampleHeightPercentTyped(&s, row.value);
                break;
        }
        Expect(s, row.want);
    }
}

TEST(ResampleSettings, StoredActionsPresetsAndTheLock) {
    ResampleSettings s = ResampleFromStored({800, 600, 6}, 1000, 500);
    Expect(s, {800, 600, 80, 120});
    EXPECT_FALSE(s.keepAspect);
    EXPECT_EQ(s.filter, 6);
    EXPECT_TRUE(ResampleApplyEnabled(s));
    // Turning the lock on makes the height follow the width.
    ResampleToggleKeepAspect(&s);
    EXPECT_TRUE(s.keepAspect);
    Expect(s, {800, 400, 80, 80});

    s = ResampleFromStored({500, 250, 99}, 1000, 500);
    EXPECT_TRUE(s.keepAspect);
    EXPECT_EQ(s.filter, 4); // a filter beyond the table is not taken
    const ResampleSettings huge = ResampleFromStored({INT32_MAX, 1, 0}, 1000, 500);
    EXPECT_EQ(huge.targetWidth, kResampleSizeMaximum);
    EXPECT_EQ(huge.widthPercent, 10000); // 99999 of 1000 pixels, rounded

    ResampleSetZoom(&s, 2.5);
    Expect(s, {2500, 1250, 250, 250});
    ResampleSetZoom(&s, 1);
    Expect(s, {1000, 500, 100, 100});
    EXPECT_FALSE(ResampleApplyEnabled(s));
    ResampleSetZoom(&s, 0.25);
    const ResampleBlock b = ResampleBlockOf(s);
    EXPECT_EQ(b.width, 250);
    EXPECT_EQ(b.height, 125);
    EXPECT_EQ(b.filter, 4);
    // A one-pixel image stays one pixel at a quarter.
    ResampleSettings tiny = ResampleDefaults(1, 1, 0, true);
    ResampleSetZoom(&tiny, 0.25);
    Expect(tiny, {1, 1, 25, 25});
    EXPECT_FALSE(ResampleApplyEnabled(tiny));
}

} // namespace
