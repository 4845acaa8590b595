#include "viewer/logic/print_layout.h"

#include <gtest/gtest.h>

namespace {

void ExpectRect(const PrintRect& have, const PrintRect& want) {
    EXPECT_EQ(have.x, want.x);
    EXPECT_EQ(have.y, want.y);
    EXPECT_EQ(have.width, want.width);
    EXPECT_EQ(have.height, want.height);
}

} // namespace

TEST(PrintLayout, FillsThePageAlongOneAxisAndCentresAlongTheOther) {
    struct Row {
        const char* name;
        int32_t bitmapWidth, bitmapHeight;
        PrintResolution screen, printer;
        int32_t pageWidth, pageHeight;
        PrintRect want;
    } rows[] = {
        // Equal resolutions keep the bitmap's proportions exactly.
        {"landscape on a portrait page",
         400,
         200,
         {96, 96},
         {96, 96},
         800,
         1000,
         {0, 300, 800, 400}},
        {"portrait on a portrait page",
         200,
         400,
         {96, 96},
         {96, 96},
         800,
         1000,
         {150, 0, 500, 1000}},
        {"square on a landscape page",
         100,
         100,
         {96, 96},
         {300, 300},
         1000,
         600,
         {200, 0, 600, 600}},
        // 600 x 300 pixels per inch against 96 x 96: 6.25 wide, 3.125 high.
        {"printer of unequal axes", 96, 96, {96, 96}, {600, 300}, 1000, 1000, {0, 250, 1000, 500}},
        // A printer coarser than the screen shrinks that axis rather than
        // stretching it by the inverse ratio.
        {"printer coarser than the screen",
         100,
         100,
         {96, 96},
         {48, 96},
         1000,
         1000,
         {250, 0, 500, 1000}},
        {"no resolution counts as equal",
         400,
         200,
         {0, 0},
         {600, 600},
         800,
         1000,
         {0, 300, 800, 400}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectRect(FitPrintPicture(row.bitmapWidth, row.bitmapHeight, row.screen, row.printer,
                                   row.pageWidth, row.pageHeight),
                   row.want);
    }
}

TEST(PrintLayout, EmptyPageOrBitmapPrintsNothing) {
    ExpectRect(FitPrintPicture(100, 100, {96, 96}, {96, 96}, 0, 1000), {});
    ExpectRect(FitPrintPicture(100, 100, {96, 96}, {96, 96}, 1000, -5), {});
    ExpectRect(FitPrintPicture(0, 100, {96, 96}, {96, 96}, 1000, 1000), {});
}
