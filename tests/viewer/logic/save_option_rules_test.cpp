#include "viewer/logic/save_option_rules.h"

#include <gtest/gtest.h>

TEST(SaveOptionRules, Jpeg2000ColourFormatsByImage) {
    struct Case {
        ILPixelType type;
        uint32_t bits;
        bool fixed, rgbYuv, ycc;
    };
    const Case cases[] = {
        {IL_BGR8, 8, false, true, true},    // offers YCC
        {IL_RGB16, 16, false, true, false}, // deep: no YCC
        {IL_BGRA8, 8, false, true, false},  // alpha: no YCC
        {IL_GREY8, 8, false, false, false}, // grey: no colour format at all
        {IL_INDEX8, 8, true, false, false},
    };
    for (const Case& c : cases) {
        const Jpeg2000Rules r = Jpeg2000RulesFor(c.type, c.bits);
        EXPECT_EQ(r.fixedLossless, c.fixed) << std::hex << c.type;
        EXPECT_EQ(r.rgbYuv, c.rgbYuv) << std::hex << c.type;
        EXPECT_EQ(r.ycc, c.ycc) << std::hex << c.type;
    }
}

TEST(SaveOptionRules, Jpeg2000SubsamplingAndShownFormat) {
    const Jpeg2000Rules rgb8 = Jpeg2000RulesFor(IL_BGR8, 8);
    const Jpeg2000Rules rgb16 = Jpeg2000RulesFor(IL_RGB16, 16);
    EXPECT_TRUE(Jpeg2000SubsamplingAllowed(rgb8, kJ2kYcc));
    EXPECT_FALSE(Jpeg2000SubsamplingAllowed(rgb8, kJ2kYuv));
    EXPECT_FALSE(Jpeg2000SubsamplingAllowed(rgb16, kJ2kYcc));
    EXPECT_EQ(Jpeg2000ShownColorFormat(rgb8, kJ2kYcc), kJ2kYcc);
    EXPECT_EQ(Jpeg2000ShownColorFormat(rgb16, kJ2kYcc), kJ2kYuv);
    EXPECT_EQ(Jpeg2000ShownColorFormat(rgb8, 7), kJ2kRgb); // a damaged stored value
    EXPECT_EQ(Jpeg2000ShownColorFormat(Jpeg2000RulesFor(IL_INDEX4, 4), kJ2kRgb), kJ2kYuv);
}
