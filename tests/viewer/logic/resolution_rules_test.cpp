#include <gtest/gtest.h>

#include "viewer/logic/resolution_rules.h"

namespace {

TEST(ResolutionRules, UnequalValuesKeepTheirAspect) {
    ResolutionPair pair = OpenResolution(300, 200);
    EXPECT_EQ(pair.mode, ASPECT_KEEP);
    SetHorizontalPpi(pair, 600);
    EXPECT_EQ(pair.vertical, 400);
    SetVerticalPpi(pair, 100);
    EXPECT_EQ(pair.horizontal, 150);

    ResolutionPair square = OpenResolution(72, 72);
    EXPECT_EQ(square.mode, ASPECT_ONE_TO_ONE);
    SetVerticalPpi(square, 96);
    EXPECT_EQ(square.horizontal, 96);
}

TEST(ResolutionRules, KeepingTheAspectAgainUsesTheRatioAtOpening) {
    ResolutionPair pair = OpenResolution(300, 200);
    SetAspectMode(pair, ASPECT_FREE);
    SetVerticalPpi(pair, 900);
    EXPECT_EQ(pair.horizontal, 300);
    SetAspectMode(pair, ASPECT_KEEP);
    EXPECT_EQ(pair.vertical, 200);
    SetAspectMode(pair, ASPECT_ONE_TO_ONE);
    EXPECT_EQ(pair.vertical, 300);
}

// Values from a file or derived by a ratio stay inside the fields' range, so
// that no size is divided by zero.
TEST(ResolutionRules, ValuesStayInTheFieldRange) {
    ResolutionPair pair = OpenResolution(0, 4000000000LL);
    EXPECT_EQ(pair.horizontal, 1);
    EXPECT_EQ(pair.vertical, 99999);
    ResolutionPair tall = OpenResolution(1000, 1);
    SetHorizontalPpi(tall, 1);
    EXPECT_EQ(tall.vertical, 1);
    SetVerticalPpi(tall, 99999);
    EXPECT_EQ(tall.horizontal, 99999);
}

TEST(ResolutionRules, PrintSizeInTheChosenUnit) {
    const ResolutionPair pair = OpenResolution(300, 300);
    EXPECT_EQ(PrintSizeText(2400, 1600, pair, 0), "20.32 x 13.55 cm");
    EXPECT_EQ(PrintSizeText(2400, 1600, pair, 1), "8.00 x 5.33 inch");
}

} // namespace
