#include <cmath>

#include <gtest/gtest.h>

#include "viewer/tool_settings/tone_map_settings.h"

namespace {

TEST(ToneMapSettings, SlidersModelValuesAndLabels) {
    struct Row {
        ToneMapSlider slider;
        int32_t v;
        const char* label;
    };
    const Row rows[] = {
        {TONE_EXPOSURE, 141, " 1.41"},  {TONE_EXPONENT, 50, " 0.50"},  {TONE_BLACK, -250, "-0.250"},
        {TONE_BLACK, 0, " 0.000"},      {TONE_CHROMA, 100, "100%  "},  {TONE_HUE, 0, "0\xB0     "},
        {TONE_HUE, -180, "-180\xB0  "}, {TONE_WHITE, 350, "3500\xB0"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ToneMapLabel(row.slider, row.v), row.label) << row.v;

    ToneMapSliders s;
    EXPECT_TRUE(ToneMapIsNeutral(s));
    s.v[TONE_EXPOSURE] = 141;
    s.v[TONE_EXPONENT] = 50;
    s.v[TONE_WHITE] = 350;
    EXPECT_FALSE(ToneMapIsNeutral(s));
    const ToneMapBlock b = ToneMapBlockOf(s);
    EXPECT_FLOAT_EQ(b.exposure, 1.9881f);
    EXPECT_FLOAT_EQ(b.exponent, 2.0f);
    EXPECT_EQ(b.whitePoint, 3500);
    // And back: each slider where it was (truncating sqrt(1.9881) gave 140,
    // so a saved action reopened one step lower).
    const ToneMapSliders again = ToneMapSlidersOf(b);
    for (int i = 0; i < kToneMapSliderCount; ++i)
        EXPECT_EQ(again.v[i], s.v[i]) << i;
}

TEST(ToneMapSettings, StoredBlocksAreQuantisedIntoRange) {
    struct Row {
        const char* name;
        ToneMapBlock stored;
        int32_t v[kToneMapSliderCount];
    };
    const float nan = std::nanf("");
    const float inf = INFINITY;
    const Row rows[] = {
        {"exposure 2 opens at 141", {2, 0, 1, 0, 1, 6500}, {141, 0, 100, 100, 0, 650}},
        {"beyond every range", {100, 9, 0.01f, 400, 5, 20000}, {200, 500, 400, 200, 180, 950}},
        {"below every range", {-1, -9, 100, -400, -5, -20}, {0, -500, 20, 0, -180, 350}},
        {"NaN and infinities", {nan, inf, nan, -inf, nan, 0}, {0, 500, 20, 0, -180, 350}},
        {"exponent 0", {1, 0, 0, 0, 1, 6500}, {100, 0, 400, 100, 0, 650}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ToneMapSliders s = ToneMapSlidersOf(row.stored);
        for (int i = 0; i < kToneMapSliderCount; ++i)
            EXPECT_EQ(s.v[i], row.v[i]) << i;
        const ToneMapBlock b = ToneMapFromStored(row.stored);
        EXPECT_TRUE(std::isfinite(b.exposure) && std::isfinite(b.exponent) && b.exponent > 0);
    }
}

} // namespace

namespace {

// The dialog sets each value with immediate recomposition; a replayed action
// sets them all and composes once. Both must map every colour alike.
TEST(ToneMapSettings, ModelOfABlockMatchesTheReplayedAction) {
    ToneMapSliders sliders;
    sliders.v[TONE_EXPOSURE] = 141;
    sliders.v[TONE_BLACK] = -20;
    sliders.v[TONE_EXPONENT] = 50;
    sliders.v[TONE_CHROMA] = 130;
    sliders.v[TONE_HUE] = -45;
    sliders.v[TONE_WHITE] = 420;
    const ToneMapBlock b = ToneMapBlockOf(sliders);
    ILToneMap model;
    ASSERT_TRUE(ToneMapModelOf(b, &model));
    ILToneMap replayed;
    ILToneMapInit(&replayed);
    ILToneMapSetExposure(&replayed, b.exposure, false);
    ILToneMapSetBlack(&replayed, b.black, false);
    ASSERT_TRUE(ILToneMapSetExponent(&replayed, b.exponent, false));
    ILToneMapSetChroma(&replayed, b.chroma, false);
    ILToneMapSetHue(&replayed, b.hue, false);
    ILToneMapSetWhitePoint(&replayed, b.whitePoint, false);
    ILToneMapUpdate(&replayed);
    EXPECT_EQ(model.exponent, 2.0f);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(model.result[i][j], replayed.result[i][j]) << i << ", " << j;
    for (float x : {0.0f, 0.01f, 0.2f, 0.5f, 1.0f, 3.0f})
        EXPECT_EQ(ILToneMapCurve(&model, x), ILToneMapCurve(&replayed, x)) << x;

    ToneMapBlock refused = b;
    refused.exponent = 0;
    EXPECT_FALSE(ToneMapModelOf(refused, &model));
}

} // namespace
