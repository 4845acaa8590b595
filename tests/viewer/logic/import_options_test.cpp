#include <cmath>

#include <gtest/gtest.h>

#include "imglib/pixel_type.h"
#include "viewer/logic/import_options.h"

namespace {

TEST(ImportOptions, StoredSettingsMapToTheirRadios) {
    EXPECT_EQ(SampleKindIndex(IL_KIND_HALF), 2);
    EXPECT_EQ(SampleKindIndex(0x12345), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(SampleKindIndex(SampleKindOfIndex(i)), i);
    EXPECT_EQ(SampleKindOfIndex(3), uint32_t{IL_KIND_FLOAT});
    EXPECT_EQ(PcdResolutionIndex(5), 2);
    EXPECT_EQ(PcdResolutionIndex(9), 1);
    EXPECT_EQ(InterpolationIndex(2), 2);
    EXPECT_EQ(InterpolationIndex(7), 0);
}

TEST(ImportOptions, ThresholdSliderIsSafeForAnyStoredFloat) {
    EXPECT_EQ(ThresholdSliderValue(1000.0f), 100);
    EXPECT_EQ(ThresholdText(100), "100  ");
    EXPECT_EQ(ThresholdSliderValue(std::nanf("")), 0);
    EXPECT_EQ(ThresholdSliderValue(1e30f), 250);
    EXPECT_EQ(ThresholdSliderValue(-5.0f), 0);
}

} // namespace
