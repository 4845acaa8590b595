#include "viewer/logic/format_limits.h"

#include <gtest/gtest.h>

TEST(FormatLimits, TextsByFormatAndPixelType) {
    struct Case {
        uint32_t format;
        ILPixelType type;
        const char* text;
    };
    const Case cases[] = {
        {0x20, IL_BGR8, "Selected format supports only indexed 8 bps colors"},
        {0x20, IL_INDEX8, ""},
        {0x10, IL_BGRA8, "Selected format does not support alpha channels"},
        {0x10, IL_BGRX8, "Selected format does not support alpha channels"},
        {0x50, IL_RGBA16, "Selected format supports only 8 bps and no alpha channels"},
        {0x50, IL_GREY8, ""},
        {0x80, IL_BGRA8, ""},
        {0x140, IL_RGB16, "Selected format supports only 8 bps"},
        {0x40, IL_RGBA16, ""},
        {0x40, IL_RGB_FLOAT, "Selected format supports only 16 bps"},
        {0x130, IL_GREY_A8, "Selected format supports alpha channels only with 8bps RGB"},
        {0x130, IL_BGRA8, ""},
        {0xE0, IL_GREY_A8, "Selected format does not support grayscale with alpha channels"},
        {0xE0, IL_RGBA16, ""},
        {0x70, IL_RGB_FLOAT, ""},
        {0x90, IL_BGRA8, "Selected format does not support alpha channels"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatLimitsText(c.format, c.type), c.text)
            << std::hex << c.format << " " << c.type;
}

TEST(FormatLimits, SgiAndCineonHaveNoOptions) {
    EXPECT_FALSE(HasFormatOptions(0xB0));
    EXPECT_FALSE(HasFormatOptions(0x120));
    EXPECT_TRUE(HasFormatOptions(0x51)); // a codec variant of JPEG
}
