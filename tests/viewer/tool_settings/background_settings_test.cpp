#include <gtest/gtest.h>

#include "viewer/tool_settings/background_settings.h"

namespace {

// Grey images read and write the grey pair only, the others the colour.
TEST(BackgroundSettings, EachImageKindKeepsItsOwnForm) {
    Preferences prefs{};
    ILColor colour;
    colour.Set(0.25f, 0.5f, 0.75f);
    colour.a = 0.5f;
    colour.index = 7;
    StoreSharedBackground(prefs, colour, false);
    ILColor grey;
    grey.SetGray(0.125f);
    grey.a = 0.25f;
    StoreSharedBackground(prefs, grey, true);

    const ILColor back = SharedBackground(prefs, false);
    EXPECT_EQ(back.r, 0.25f);
    EXPECT_EQ(back.g, 0.5f);
    EXPECT_EQ(back.b, 0.75f);
    EXPECT_EQ(back.a, 0.5f);
    EXPECT_EQ(back.index, -1);
    const ILColor backGrey = SharedBackground(prefs, true);
    EXPECT_EQ(backGrey.r, backGrey.g);
    EXPECT_EQ(backGrey.g, backGrey.b);
    EXPECT_NEAR(backGrey.r, 0.125f, 1e-6);
    EXPECT_EQ(backGrey.a, 0.25f);
}

} // namespace
