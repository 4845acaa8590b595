#include "viewer/logic/mode_rules.h"

#include <gtest/gtest.h>

#include "resources/commands.h"

TEST(ModeRules, DitherDecisionByTargetBitsAndPreference) {
    struct Case {
        uint32_t command;
        uint32_t bits;
        uint8_t preference;
        DitherDecision expected;
    };
    const Case cases[] = {
        // Nothing to lose: no dithering whatever the preference.
        {CMD_MODE_GRAY8, 8, 2, DitherDecision::Off},
        {CMD_MODE_RGB8, 1, 1, DitherDecision::Off},
        {CMD_MODE_INDEX4, 4, 2, DitherDecision::Off},
        {CMD_MODE_GRAY2, 2, 1, DitherDecision::Off},
        // Levels lost: the preference decides.
        {CMD_MODE_RGB8, 16, 2, DitherDecision::Ask},
        {CMD_MODE_RGB8, 16, 1, DitherDecision::On},
        {CMD_MODE_RGB8, 16, 0, DitherDecision::Off},
        {CMD_MODE_INDEX4, 8, 2, DitherDecision::Ask},
        {CMD_MODE_INDEX8, 8, 2, DitherDecision::Ask},
        {CMD_MODE_GRAY4, 2, 2, DitherDecision::Ask},
        // Deep targets never ask, but "on" is passed as it is.
        {CMD_MODE_RGB16, 8, 2, DitherDecision::Off},
        {CMD_MODE_GRAY_FLOAT, 8, 2, DitherDecision::Off},
        {CMD_MODE_RGB_FLOAT, 32, 2, DitherDecision::Off},
        {CMD_MODE_GRAY16, 8, 1, DitherDecision::On},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecideDither(c.command, c.bits, c.preference), c.expected)
            << c.command << " from " << c.bits << " bits, preference " << int(c.preference);
}

TEST(ModeRules, MonochromeKindAndQuantizerSettings) {
    EXPECT_EQ(MonochromeDitherKind(2), 2);
    EXPECT_EQ(MonochromeDitherKind(0x13), -1);
    // A damaged file's kind never reaches the library.
    EXPECT_EQ(MonochromeDitherKind(7), 0);
    EXPECT_EQ(LastMonochromeDither(0x13), 3);
    EXPECT_EQ(LastMonochromeDither(0x1C), 0);
    EXPECT_EQ(IndexedTargetBits(CMD_MODE_INDEX2), 2u);
    EXPECT_EQ(IndexedTargetBits(CMD_MODE_RGB8), 0u);
    const uint32_t bits[] = {1, 2, 4, 8};
    const int32_t precision[] = {4, 4, 5, 6};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(QuantizerHistogramBits(bits[i]), precision[i]);
}
