#include <string>

#include <gtest/gtest.h>

#include "viewer/logic/view_geometry.h"

namespace {

constexpr int32_t kBar = 16;

TEST(ViewGeometry, ZoomLevelsGiveSizesAndRatios) {
    struct Row {
        int level;
        uint32_t imageWidth;
        int32_t width, numerator, denominator;
    };
    const Row rows[] = {
        {0, 101, 101, 1, 1}, {2, 101, 303, 3, 1}, {-1, 101, 50, 1, 2},
        {-2, 101, 34, 1, 3}, {-15, 10, 1, 1, 16}, // never below one pixel
        {15, 7, 112, 16, 1}, {20, 7, 112, 16, 1}, {-20, 160, 10, 1, 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.level);
        const ZoomedSize size = ZoomedDisplaySize(row.imageWidth, 4, row.level);
        EXPECT_EQ(size.width, row.width);
        EXPECT_EQ(size.numerator, row.numerator);
        EXPECT_EQ(size.denominator, row.denominator);
    }
}

ViewGeometry Scrolled(int32_t clientW, int32_t clientH, int32_t displayW, int32_t displayH) {
    ViewGeometry v;
    v.clientWidth = clientW;
    v.clientHeight = clientH;
    v.displayWidth = displayW;
    v.displayHeight = displayH;
    return v;
}

TEST(ViewGeometry, ScrollBarsFollowTheDisplaySize) {
    struct Row {
        const char* name;
        ViewGeometry before;
        bool h, v;
        int32_t clientW, clientH, limitX, limitY, left, top;
    };
    ViewGeometry shown = Scrolled(484, 384, 200, 100);
    shown.hBarShown = shown.vBarShown = true;
    const Row rows[] = {
        {"fits: centred, no bars", Scrolled(500, 400, 200, 100), false, false, 500, 400, 0, 0, 150,
         150},
        {"wide", Scrolled(500, 400, 800, 300), true, false, 500, 384, 300, 0, 0, 42},
        {"tall", Scrolled(500, 400, 300, 900), false, true, 484, 400, 0, 500, 92, 0},
        // The vertical bar takes the width that the display needed; the
        // horizontal bar then appears and takes its height too.
        {"tall makes wide", Scrolled(500, 400, 495, 600), true, true, 484, 384, 11, 216, 0, 0},
        {"bars shown before count as client area", shown, false, false, 500, 400, 0, 0, 150, 150},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewGeometry v = row.before;
        LayoutScrolledView(v, kBar, kBar);
        EXPECT_EQ(v.hBarShown, row.h);
        EXPECT_EQ(v.vBarShown, row.v);
        EXPECT_EQ(v.clientWidth, row.clientW);
        EXPECT_EQ(v.clientHeight, row.clientH);
        EXPECT_EQ(v.limitX, row.limitX);
        EXPECT_EQ(v.limitY, row.limitY);
        EXPECT_EQ(v.displayLeft, row.left);
        EXPECT_EQ(v.displayTop, row.top);
    }
}

TEST(ViewGeometry, ScrollPositionsSurviveWhileTheyFit) {
    ViewGeometry v = Scrolled(500, 400, 800, 300);
    v.scrollX = 120;
    LayoutScrolledView(v, kBar, kBar);
    EXPECT_EQ(v.scrollX, 120);
    EXPECT_EQ(v.displayLeft, -120);
    // A smaller display pulls the position back to the new limit.
    v.displayWidth = 550;
    LayoutScrolledView(v, kBar, kBar);
    EXPECT_EQ(v.limitX, 50);
    EXPECT_EQ(v.scrollX, 50);
    EXPECT_EQ(v.displayLeft, -50);

    EXPECT_EQ(ClampScrollPosition(-5, 50), 0);
    EXPECT_EQ(ClampScrollPosition(70, 50), 50);
    EXPECT_EQ(ClampScrollPosition(7, 0), 0);
}

TEST(ViewGeometry, FittingKeepsTheAspect) {
    struct Row {
        const char* name;
        uint32_t iw, ih;
        bool fullScreen, upsample;
        int32_t w, h, left, top;
    };
    const Row rows[] = {
        {"wide image", 1000, 250, false, false, 500, 125, 0, 137},
        {"tall image", 300, 800, false, false, 150, 400, 175, 0},
        {"small image is enlarged in a window", 50, 40, false, false, 500, 400, 0, 0},
        {"small image at 100 % in full screen", 50, 40, true, false, 50, 40, 225, 180},
        {"small image upsampled in full screen", 100, 40, true, true, 500, 200, 0, 100},
        {"large image in full screen", 1000, 250, true, false, 500, 125, 0, 137},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ViewGeometry v = Scrolled(500, 400, 0, 0);
        LayoutFittedView(v, row.iw, row.ih, row.fullScreen, row.upsample);
        EXPECT_EQ(v.displayWidth, row.w);
        EXPECT_EQ(v.displayHeight, row.h);
        EXPECT_EQ(v.displayLeft, row.left);
        EXPECT_EQ(v.displayTop, row.top);
    }
    ViewGeometry v = Scrolled(500, 400, 250, 100);
    EXPECT_DOUBLE_EQ(ViewScale(v, 1000), 4.0);
    v.displayHeight = 0;
    EXPECT_EQ(ViewScale(v, 1000), 0.0);
}

TEST(ViewGeometry, LargestFittingZoomLevel) {
    EXPECT_EQ(LargestFittingZoomLevel(4000, 3000, 1920, 1080, 0, 0), -2);
    EXPECT_EQ(LargestFittingZoomLevel(800, 600, 1920, 1080, 0, 0), 0);
    // The room is measured from the window's corner to the desktop's edges.
    EXPECT_EQ(LargestFittingZoomLevel(800, 600, 1920, 1080, 1200, 0), -1);
    EXPECT_EQ(LargestFittingZoomLevel(800, 600, 1920, 1080, 2000, 0), -15);
    EXPECT_EQ(LargestFittingZoomLevel(1u << 30, 10, 1920, 1080, 0, 0), -15);
}

TEST(ViewGeometry, RatioZoomStepsInTenthsAndHundredths) {
    struct Row {
        double current;
        bool in;
        double next;
    };
    const Row rows[] = {
        {0.50, true, 0.6},  {0.50, false, 0.4}, {0.07, true, 0.08}, {0.07, false, 0.06},
        {0.12, false, 0.1}, {0.095, true, 0.1}, {1.0, true, 1.1},   {0.01, false, 0.01},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.current << (row.in ? " in" : " out"));
        EXPECT_DOUBLE_EQ(NextRatioZoomFactor(row.current, row.in), row.next);
    }
    EXPECT_EQ(NextPlainZoomSide(500, true), 550);
    EXPECT_EQ(NextPlainZoomSide(550, false), 500);
}

TEST(ViewGeometry, WindowTitles) {
    struct Row {
        const char* name;
        TitleParts parts;
        int numerator, denominator;
        std::u16string want;
    };
    const Row rows[] = {
        {"zoom",
         {u"a.png", u"(time: 0.012 sec)", 1, 0, 0, 0},
         1,
         1,
         u"a.png [1:1] (time: 0.012 sec)"},
        {"zoom out",
         {u"a.png", u"(time: 0.012 sec)", 1, 0, 0, 0},
         1,
         3,
         u"a.png [1:3] (time: 0.012 sec)"},
        {"fit",
         {u"b.tif", u"(time: 1.234 sec)", 1, 0, 333, 1000},
         0,
         0,
         u"b.tif 33% (time: 1.234 sec)"},
        {"fit rounds", {u"b.tif", u"", 1, 0, 335, 1000}, 0, 0, u"b.tif 34% "},
        {"second of three pages at 50 %",
         {u"c.tif", u"(time: 0.100 sec)", 3, 1, 500, 1000},
         0,
         0,
         u"c.tif (page 2 of 3) 50% (time: 0.100 sec)"},
        {"pages with a ratio",
         {u"c.tif", u"(time: 0.100 sec)", 3, 0, 0, 0},
         2,
         1,
         u"c.tif (page 1 of 3) [2:1] (time: 0.100 sec)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FormatWindowTitle(row.parts, row.numerator, row.denominator), row.want);
    }

    // A long name is cut to the title buffer, never inside a surrogate pair.
    std::u16string name(200, u'x');
    TitleParts parts{name, u"", 1, 0, 0, 0};
    EXPECT_EQ(FormatWindowTitle(parts, 1, 1).size(), kWindowTitleUnits - 1);
    name.replace(kWindowTitleUnits - 2, 2, u"\xD83D\xDE00");
    parts.displayName = name;
    const std::u16string cut = FormatWindowTitle(parts, 1, 1);
    EXPECT_EQ(cut.size(), kWindowTitleUnits - 2);
    EXPECT_EQ(cut.back(), u'x');
}

} // namespace
