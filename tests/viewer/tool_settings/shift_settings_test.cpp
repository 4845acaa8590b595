#include <gtest/gtest.h>

#include "viewer/tool_settings/shift_settings.h"

namespace {

TEST(ShiftSettings, RangesAndStoredShifts) {
    struct Row {
        uint32_t size;
        int32_t minimum, maximum;
        bool enabled;
    };
    const Row rows[] = {{20, -19, 19, true},
                        {1, 0, 0, false},
                        {2, -1, 1, true},
                        {4000000000u, -2147483647, 2147483647, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        const ShiftFieldRange r = ShiftRangeFor(row.size);
        EXPECT_EQ(r.minimum, row.minimum);
        EXPECT_EQ(r.maximum, row.maximum);
        EXPECT_EQ(r.enabled, row.enabled);
    }
    const ShiftBlock kept = ShiftFromStored({-5, 12}, 20, 20);
    EXPECT_EQ(kept.dx, -5);
    EXPECT_EQ(kept.dy, 12);
    EXPECT_TRUE(ShiftApplyEnabled(kept));
    // Beyond the fields' ranges the shift is what the field shows.
    const ShiftBlock clamped = ShiftFromStored({INT32_MIN, 50}, 1, 20);
    EXPECT_EQ(clamped.dx, 0);
    EXPECT_EQ(clamped.dy, 19);
    EXPECT_FALSE(ShiftApplyEnabled({0, 0}));
}

} // namespace
