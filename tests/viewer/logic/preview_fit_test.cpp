#include <gtest/gtest.h>

#include "viewer/logic/preview_fit.h"

namespace {

TEST(PreviewFit, ImagesFitInto380AndAreCentred) {
    struct Row {
        uint32_t w, h;
        int32_t x, y, width, height;
    };
    const Row rows[] = {
        {380, 200, 272, 92, 380, 200}, {1000, 10, 272, 190, 380, 3},
        {10000, 1, 272, 191, 380, 1}, // the computed 0 is raised to 1
        {200, 1000, 424, 2, 76, 380},  {1, 1, 461, 191, 1, 1},
        {0, 0, 461, 191, 1, 1},        {4000000000u, 3999999999u, 272, 2, 380, 379},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.w << " x " << row.h);
        const PreviewPlacement p = FitPreview(row.w, row.h);
        EXPECT_EQ(p.x, row.x);
        EXPECT_EQ(p.y, row.y);
        EXPECT_EQ(p.width, row.width);
        EXPECT_EQ(p.height, row.height);
    }
}

} // namespace
