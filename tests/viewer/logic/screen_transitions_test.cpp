#include "viewer/logic/screen_transitions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

TEST(PlaceOnScreen, KeepsCentresOrFitsKeepingTheAspect) {
    struct Case {
        uint32_t w, h;
        bool upsample;
        int32_t left, top, width, height;
    } cases[] = {
        {640, 480, false, 640, 300, 640, 480},  // centred, unscaled
        {640, 480, true, 240, 0, 1440, 1080},   // upsampled to the height
        {4000, 1000, false, 0, 300, 1920, 480}, // wider than the screen
        {1000, 4000, false, 825, 0, 270, 1080}, // taller
        {1920, 500, true, 0, 290, 1920, 500},   // touches an edge: kept
        {100000, 1, false, 0, 539, 1920, 1},    // never thinner than a row
    };
    for (const Case& c : cases) {
        const ScreenPlacement p = PlaceOnScreen(1920, 1080, c.w, c.h, c.upsample);
        EXPECT_EQ(p.left, c.left) << c.w << "x" << c.h;
        EXPECT_EQ(p.top, c.top) << c.w << "x" << c.h;
        EXPECT_EQ(p.width, c.width) << c.w << "x" << c.h;
        EXPECT_EQ(p.height, c.height) << c.w << "x" << c.h;
        EXPECT_DOUBLE_EQ(p.scaleX, double(c.w) / c.width);
    }
}

// Two pictures of the screen's size: the old one dark, the new one a
// pattern, so that a row or column out of place shows.
struct Pictures {
    int32_t width, height;
    int64_t stride;
    std::vector<uint8_t> old, fresh;
    Pictures(int32_t w, int32_t h) : width(w), height(h), stride((3 * int64_t(w) + 3) & ~3) {
        old.assign(size_t(stride) * h, 10);
        fresh.resize(old.size());
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < 3 * w; ++x)
                fresh[y * stride + x] = uint8_t(100 + (x / 3 + y) % 150);
    }
    FramePicture Old() { return {old.data(), width, height, stride}; }
    FramePicture Fresh() { return {fresh.data(), width, height, stride}; }
    uint8_t FreshAt(int32_t x, int32_t y) const { return fresh[y * stride + 3 * x]; }
};

bool SamePicture(const FramePicture& a, const FramePicture& b) {
    for (int32_t y = 0; y < a.height; ++y)
        if (std::memcmp(a.pixels + y * a.stride, b.pixels + y * b.stride, size_t(3) * a.width))
            return false;
    return true;
}

int32_t RunToEnd(ScreenTransition& t) {
    while (t.Step()) {}
    return t.Steps();
}

// Every effect ends on the complete new frame, in both directions, also
// where the steps do not divide the screen (1280 x 1024: pushes of 12
// columns and 10 rows, mosaic tiles of 40 x 42 that leave 16 rows).
TEST(ScreenTransition, EveryEffectEndsOnTheNewFrame) {
    struct Case {
        int effect;
        int32_t w, h, steps;
    } cases[] = {
        {kBlend, 64, 48, 32},           // 31 blends and the new frame
        {kMosaic, 64, 48, 65},          // after tile 1, 13, ..., 757 and the last
        {kMosaic, 1280, 1024, 66},      // and the rows no tile covers
        {kStripes, 1280, 1024, 43},     // (1024 + 23) / 24 passes
        {kPushLeftRight, 1366, 4, 86},  // 85 steps of 16, then the rest
        {kPushLeftRight, 1280, 4, 107}, // 106 steps of 12, then the rest
        {kPushLeftRight, 800, 4, 160},  // 5 divides 800: nothing after
        {kPushUpDown, 1280, 1024, 103}, // 102 steps of 10 rows, then the rest
        {kNoTransition, 16, 16, 1},
    };
    for (const Case& c : cases)
        for (bool backwards : {false, true}) {
            Pictures p(c.w, c.h);
            std::mt19937 generator(7);
            ScreenTransition t(c.effect, p.Old(), p.Fresh(), backwards,
                               [&] { return int32_t(generator() % 32768); });
            EXPECT_EQ(RunToEnd(t), c.steps) << c.effect << " " << c.w << "x" << c.h;
            EXPECT_TRUE(SamePicture(t.Shown(), p.Fresh())) << c.effect << " " << c.w;
        }
}

TEST(ScreenTransition, BlendWeighsOldAndNew) {
    Pictures p(8, 2);
    ScreenTransition t(kBlend, p.Old(), p.Fresh(), false, nullptr);
    for (int i = 0; i < 16; ++i)
        ASSERT_TRUE(t.Step());
    // Weight 128: halfway, and the old picture itself stays as it was.
    EXPECT_EQ(t.Shown().pixels[0], (10 * 128 + p.FreshAt(0, 0) * 128) >> 8);
    EXPECT_EQ(p.old[0], 10);
}

TEST(ScreenTransition, PushesEnterFromTheRightOrTheLeft) {
    Pictures p(1366, 2);
    ScreenTransition forward(kPushLeftRight, p.Old(), p.Fresh(), false, nullptr);
    ASSERT_TRUE(forward.Step());
    // The new image's first 16 columns enter at the right edge.
    EXPECT_EQ(p.old[3 * (1366 - 16)], p.FreshAt(0, 0));
    EXPECT_EQ(p.old[3 * (1366 - 17)], 10);
    ASSERT_TRUE(forward.Step());
    EXPECT_EQ(p.old[3 * (1366 - 32)], p.FreshAt(0, 0));
    EXPECT_EQ(p.old[3 * (1366 - 16)], p.FreshAt(16, 0));

    Pictures q(1366, 2);
    ScreenTransition backwards(kPushLeftRight, q.Old(), q.Fresh(), true, nullptr);
    ASSERT_TRUE(backwards.Step());
    EXPECT_EQ(q.old[0], q.FreshAt(1366 - 16, 0)); // its last columns at the left edge
    EXPECT_EQ(q.old[3 * 16], 10);
}

TEST(ScreenTransition, PushesEnterFromTheBottomOrTheTop) {
    Pictures p(1024, 30); // 7 rows a step
    ScreenTransition forward(kPushUpDown, p.Old(), p.Fresh(), false, nullptr);
    ASSERT_TRUE(forward.Step());
    EXPECT_EQ(p.old[(30 - 7) * p.stride], p.FreshAt(0, 0));
    EXPECT_EQ(p.old[(30 - 8) * p.stride], 10);

    Pictures q(1024, 30);
    ScreenTransition backwards(kPushUpDown, q.Old(), q.Fresh(), true, nullptr);
    ASSERT_TRUE(backwards.Step());
    EXPECT_EQ(q.old[6 * q.stride], q.FreshAt(0, 29));
    EXPECT_EQ(q.old[0], q.FreshAt(0, 23));
    EXPECT_EQ(q.old[7 * q.stride], 10);
}

TEST(ScreenTransition, StripesFillEveryPassesRow) {
    Pictures p(16, 48); // two passes
    ScreenTransition t(kStripes, p.Old(), p.Fresh(), false, nullptr);
    ASSERT_TRUE(t.Step());
    EXPECT_EQ(p.old[0], p.FreshAt(0, 0));
    EXPECT_EQ(p.old[p.stride], 10);
    EXPECT_EQ(p.old[2 * p.stride], p.FreshAt(0, 2));
}

TEST(RandomBelow, StaysInsideTheList) {
    EXPECT_EQ(RandomBelow(0, 768), 0);
    EXPECT_EQ(RandomBelow(32767, 768), 767);
    EXPECT_EQ(RandomBelow(32767, 1), 0);
    EXPECT_EQ(RandomBelow(1 << 30, 5), 4); // a generator wider than 15 bits
}

} // namespace
