#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "viewer/logic/control_values.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(ControlValues, StoredFloatsSaturateAndNaNIsZero) {
    EXPECT_EQ(SaturatingToInt(std::nan("")), 0);
    EXPECT_EQ(SaturatingToInt(1e300), kMax);
    EXPECT_EQ(SaturatingToInt(-1e300), kMin);
    EXPECT_EQ(SaturatingToInt(std::numeric_limits<double>::infinity()), kMax);
    EXPECT_EQ(SaturatingToInt(2.5), 3);
    EXPECT_EQ(SaturatingToInt(-2.5), -3);
    EXPECT_EQ(SaturatingToInt(199.4), 199);
}

// Stored actions may carry NaN, infinities or huge floats: each reaches a
// control as a value inside its range.
TEST(ControlValues, StoredValuesEnterControlsInRange) {
    struct Row {
        double value;
        int32_t truncated, rounded;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {std::nan(""), 0, 0}, {inf, 200, 200},      {-inf, -100, -100},
        {1e300, 200, 200},    {-1e300, -100, -100}, {56.999, 56, 57},
        {-0.7, 0, -1},        {199.5, 199, 200},    {-100.5, -100, -100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(ControlValueOf(row.value, -100, 200), row.truncated);
        EXPECT_EQ(ControlValueRounded(row.value, -100, 200), row.rounded);
    }
    EXPECT_EQ(SaturatingTruncate(-2.9), -2);
    EXPECT_EQ(SaturatingTruncate(3e9), kMax);
}

// Stored colours reach colour buttons and the chooser in range; a colour
// with a component that is no number at all becomes opaque black.
TEST(ControlValues, StoredColoursEnterControlsInRange) {
    const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
    struct Row {
        const char* name;
        ILColor stored;
        ILColor want;
    };
    const Row rows[] = {
        {"in range", {0.25f, 0.5f, 1, 0.75f, 3}, {0.25f, 0.5f, 1, 0.75f, 3}},
        {"clamped", {-2, 7, 0.5f, 2, -1}, {0, 1, 0.5f, 1, -1}},
        {"bad index", {0, 0, 0, 1, -9}, {0, 0, 0, 1, -1}},
        {"NaN", {nan, 0.5f, 0.5f, 1, 2}, {0, 0, 0, 1, -1}},
        {"infinite alpha", {0.5f, 0.5f, 0.5f, inf, -1}, {0, 0, 0, 1, -1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ILColor c = ControlColorOf(row.stored);
        EXPECT_EQ(c.r, row.want.r);
        EXPECT_EQ(c.g, row.want.g);
        EXPECT_EQ(c.b, row.want.b);
        EXPECT_EQ(c.a, row.want.a);
        EXPECT_EQ(c.index, row.want.index);
    }
}

TEST(ControlValues, ClampingTakesAnInvertedRangeTheRightWayRound) {
    EXPECT_EQ(ClampToRange(500, 0, 200), 200);
    EXPECT_EQ(ClampToRange(-5, 0, 200), 0);
    EXPECT_EQ(ClampToRange(int64_t{1} << 40, kMin, kMax), kMax);
    EXPECT_EQ(ClampToRange(500, 200, 0), 200);
}

TEST(ControlValues, TypedTextParsesLeadingDigitsWithoutOverflow) {
    EXPECT_EQ(ParseLeadingNumber("500"), 500);
    EXPECT_EQ(ParseLeadingNumber(""), 0);
    EXPECT_EQ(ParseLeadingNumber("-20x"), -20);
    EXPECT_EQ(ParseLeadingNumber("12a34"), 12);
    EXPECT_EQ(ClampToRange(ParseLeadingNumber("99999999999999999999999"), 0, 200), 200);
}

TEST(ControlValues, SpinFieldAlignmentRepeatAndWheel) {
    EXPECT_TRUE(SpinDigitsCentred(0, 9));
    EXPECT_FALSE(SpinDigitsCentred(-20, 20));
    EXPECT_FALSE(SpinDigitsCentred(0, 10));
    EXPECT_TRUE(SpinDigitsCentred(-9, 9));
    // Interval by the pointer's row: 310 near row 9, 10 from 16 pixels on.
    const int rows[][2] = {{9, 310}, {8, 310}, {10, 310}, {11, 290}, {7, 290},
                           {0, 150}, {25, 10}, {-40, 10}, {19, 130}};
    for (const auto& row : rows)
        EXPECT_EQ(SpinRepeatInterval(row[0]), row[1]) << row[0];
    EXPECT_EQ(WheelStep(120, false, false), 1);
    EXPECT_EQ(WheelStep(-240, true, true), -10);
    EXPECT_EQ(WheelStep(120, false, true), 100);
    EXPECT_EQ(WheelStep(0, true, false), 0);
    EXPECT_EQ(SpinStepResult(4, 5), 1);
    EXPECT_EQ(SpinStepResult(4, 3), 2);
    EXPECT_EQ(SpinStepResult(200, 200), 0);
}

TEST(ControlValues, SliderThumbAndPointerMapBothWays) {
    const SliderGeometry h = {0, 10, 100, false};
    EXPECT_EQ(h.ThumbOf(0), 5);
    EXPECT_EQ(h.ThumbOf(10), 94);
    EXPECT_EQ(h.ValueAt(3), 0);
    EXPECT_EQ(h.ValueAt(200), 10);
    EXPECT_EQ(h.ValueAt(h.ThumbOf(7)), 7);
    // Vertical: the maximum is at the top.
    const SliderGeometry v = {-50, 50, 111, true};
    EXPECT_EQ(v.ThumbOf(50), 5);
    EXPECT_EQ(v.ThumbOf(-50), 105);
    EXPECT_EQ(v.ValueAt(0), 50);
    EXPECT_EQ(v.ValueAt(110), -50);
    EXPECT_EQ(v.ValueAt(v.ThumbOf(13)), 13);
    // A single-value range neither divides by zero nor leaves the track.
    const SliderGeometry one = {3, 3, 60, false};
    EXPECT_EQ(one.ThumbOf(3), 5);
    EXPECT_EQ(one.ValueAt(30), 3);
}

TEST(ControlValues, SliderKeysMoveByTheirSteps) {
    struct Row {
        unsigned key;
        int32_t value, want;
    };
    // Range 0..100, default 40.
    const Row rows[] = {
        {0x21, 50, 60}, {0x22, 5, 0},     {0x23, 50, 0},  {0x24, 50, 100}, {0x25, 50, 49},
        {0x28, 50, 49}, {0x26, 100, 100}, {0x27, 50, 51}, {0x20, 90, 40},  {0x08, 90, 40},
    };
    for (const Row& row : rows) {
        int32_t result = -1;
        ASSERT_TRUE(SliderKeyValue(row.key, row.value, 0, 100, 40, &result)) << row.key;
        EXPECT_EQ(result, row.want) << row.key;
    }
    int32_t untouched = 7;
    EXPECT_FALSE(SliderKeyValue('A', 50, 0, 100, 40, &untouched));
    EXPECT_EQ(untouched, 7);
}

TEST(ControlValues, WindowsArePulledOntoTheScreen) {
    EXPECT_EQ(FitToScreen(-10, 100, 1024), 0);
    EXPECT_EQ(FitToScreen(1000, 100, 1024), 924);
    EXPECT_EQ(FitToScreen(50, 100, 1024), 50);
    EXPECT_EQ(FitToScreen(50, 2000, 1024), 0);
    EXPECT_EQ(LabelHeight(1), 16);
    EXPECT_EQ(LabelHeight(3), 16);
    EXPECT_EQ(LabelHeight(2), 15);
    EXPECT_EQ(LabelHeight(0), 15);
}

TEST(ControlValues, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDivRound(5, 1, 2), 3);
    EXPECT_EQ(MulDivRound(-5, 1, 2), -3);
    EXPECT_EQ(MulDivRound(7, 89, 10), 62);
    EXPECT_EQ(MulDivRound(1, 1, 0), -1);
    EXPECT_EQ(MulDivRound(kMax, kMax, 1), kMax);
}

} // namespace
