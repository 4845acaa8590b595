#include "viewer/logic/twain_rules.h"

#include <gtest/gtest.h>

TEST(ScanPixelType, TakesOnlyTheKindsTheViewerStores) {
    struct Row {
        const char* name;
        uint16_t pixelType;
        int16_t bits[3];
        ILPixelType want;
        uint32_t colorType;
    } rows[] = {
        {"1-bit black and white", kTwainBlackWhite, {1, 0, 0}, IL_GREY1, 1},
        {"8-bit grey", kTwainGrey, {8, 0, 0}, IL_GREY8, 2},
        {"16-bit grey", kTwainGrey, {16, 0, 0}, IL_GREY16, 2},
        {"8-bit RGB as B,G,R", kTwainRgb, {8, 8, 8}, IL_BGR8, 4},
        {"16-bit RGB as B,G,R", kTwainRgb, {16, 16, 16}, IL_BGR16, 4},
        {"4-bit grey", kTwainGrey, {4, 0, 0}, 0, 0},
        {"8-bit black and white", kTwainBlackWhite, {8, 0, 0}, 0, 0},
        {"RGB of unequal samples", kTwainRgb, {8, 16, 8}, 0, 0},
        {"RGB of 8 bits but the last sample", kTwainRgb, {8, 8, 16}, 0, 0},
        {"palette (TWPT_PALETTE)", 3, {8, 0, 0}, 0, 0},
        {"CMYK (TWPT_CMYK)", 5, {8, 8, 8}, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ScanPixelType have = ScanPixelTypeFor(row.pixelType, row.bits);
        EXPECT_EQ(have.type, row.want);
        EXPECT_EQ(have.colorType, row.colorType);
    }
}

TEST(TwainSourceName, IsNameDashVersion) {
    EXPECT_EQ(FormatTwainSourceName("Scanner", 2, 1), "Scanner - 2.1");
    EXPECT_EQ(FormatTwainSourceName("Cam", 10, 0), "Cam - 10.0");
    // A TW_STR32 field ends at its terminator, not at its size.
    const char field[34] = "Flatbed\0junk after the terminator";
    EXPECT_EQ(FormatTwainSourceName({field, sizeof field}, 1, 0), "Flatbed - 1.0");
    EXPECT_EQ(FormatTwainSourceName(std::string(60, 'n'), 1, 2), std::string(48, 'n') + " - 1.2");
}

TEST(TwainFix32, TruncatesTheFraction) {
    EXPECT_EQ(Fix32ToInt(300, 0), 300);
    EXPECT_EQ(Fix32ToInt(299, 0xFFFF), 299);
    EXPECT_EQ(Fix32ToInt(72, 0x8000), 72);
}
