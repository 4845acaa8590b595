#include <gtest/gtest.h>

#include "viewer/logic/window_placement.h"

namespace {

constexpr ScreenRect kWork = {0, 0, 1280, 994}; // a task bar of 30 below

TEST(WindowPlacement, BesideTheOwnerWhereThereIsRoom) {
    struct Row {
        const char* what;
        ScreenRect owner;
        int32_t wantLeft, wantTop;
    };
    const Row rows[] = {
        {"right of it", {0, 0, 528, 423}, 528, 0},
        {"left of it when the right is full", {900, 40, 1280, 400}, 540, 40},
        {"at the right edge when neither side has room", {300, 10, 1000, 600}, 920, 10},
        {"kept above the work area's bottom", {0, 800, 400, 990}, 400, 994 - 400},
        {"an owner off the screen's left", {-600, -50, -100, 300}, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const ScreenRect placed = PlaceBeside(row.owner, 360, 400, kWork);
        EXPECT_EQ(placed.left, row.wantLeft);
        EXPECT_EQ(placed.top, row.wantTop);
        EXPECT_EQ(placed.Width(), 360);
        EXPECT_EQ(placed.Height(), 400);
    }
}

TEST(WindowPlacement, LargerThanTheWorkAreaStartsAtItsTopLeft) {
    const ScreenRect work = {100, 50, 900, 650};
    const ScreenRect placed = PlaceBeside({200, 100, 400, 300}, 1000, 700, work);
    EXPECT_EQ(placed.left, 100);
    EXPECT_EQ(placed.top, 50);
    EXPECT_EQ(PlaceAtRightEdge(1000, 700, work).left, 100);
}

TEST(WindowPlacement, RightEdgeOfTheWorkArea) {
    const ScreenRect placed = PlaceAtRightEdge(330, 700, {0, 24, 1280, 1024});
    EXPECT_EQ(placed.left, 950);
    EXPECT_EQ(placed.top, 24);
    EXPECT_EQ(placed.right, 1280);
}

TEST(WindowPlacement, ListWindowFitsItsTextsAndRows) {
    // Thumbnail column 80, texts 190 wide, frame and scroll bar 28, caption
    // and menu 50: 8 + 190 + 8 after the column, eight rows of 80.
    const WindowSize size = ListWindowSize(80, 190, 80, 8, 28, 50, kWork);
    EXPECT_EQ(size.width, 80 + 8 + 190 + 8 + 28);
    EXPECT_EQ(size.height, 8 * 80 + 50);
    // Rows of 196 (192-pixel thumbnails) stop at the work area's height.
    const WindowSize tall = ListWindowSize(196, 190, 196, 8, 28, 50, kWork);
    EXPECT_EQ(tall.height, 994);
}

} // namespace
