#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "viewer/tool_settings/write_text_settings.h"

namespace {

TEST(WriteTextSettings, PreviewWindowFollowsTheAnchor) {
    struct Row {
        const char* name;
        uint32_t w, h;
        int32_t anchor;
        int32_t width, height, x, y, sourceX, sourceY;
    };
    const Row rows[] = {
        {"bottom-right of 2000 x 1000", 2000, 1000, 8, 400, 340, 260, 2, 1600, 660},
        {"top-left", 2000, 1000, 0, 400, 340, 260, 2, 0, 0},
        {"middle-center", 2000, 1000, 4, 400, 340, 260, 2, 800, 330},
        {"top-right", 2001, 1000, 2, 400, 340, 260, 2, 1601, 0},
        {"bottom-left", 2000, 1001, 6, 400, 340, 260, 2, 0, 661},
        // Smaller images are shown whole and centred; the anchor moves nothing.
        {"small, bottom-right", 300, 200, 8, 300, 200, 310, 72, 0, 0},
        {"one column", 1, 5000, 5, 1, 340, 459, 2, 0, 2330},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const WriteTextWindow w = WriteTextPreviewWindow(row.w, row.h);
        EXPECT_EQ(w.width, row.width);
        EXPECT_EQ(w.height, row.height);
        EXPECT_EQ(w.x, row.x);
        EXPECT_EQ(w.y, row.y);
        const ImagePoint p = WriteTextWindowSource(row.anchor, row.w, row.h, w);
        EXPECT_EQ(p.x, row.sourceX);
        EXPECT_EQ(p.y, row.sourceY);
    }
}

TEST(WriteTextSettings, EffectAlignmentAndReset) {
    struct Row {
        float effect;
        int32_t field;
        const char* label;
    };
    const Row rows[] = {{-0.15f, -3, "Shadow"},
                        {0, 0, "No effect"},
                        {0.5f, 10, "Glow"},
                        {7, 20, "Glow"},
                        {std::nanf(""), 0, "No effect"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.effect);
        EXPECT_EQ(WriteTextEffectField(row.effect), row.field);
        EXPECT_STREQ(WriteTextEffectLabel(row.field), row.label);
    }
    EXPECT_FLOAT_EQ(WriteTextEffectFromField(-3), -0.15f);

    // The right-to-left bit survives a change of alignment and a Reset.
    int32_t a = WriteTextReadingOrder(1, true);
    EXPECT_EQ(a, 1 | kWriteTextRightToLeft);
    a = WriteTextAlignment(a, 2);
    EXPECT_EQ(a, 2 | kWriteTextRightToLeft);
    EXPECT_EQ(WriteTextReadingOrder(a, false), 2);
    WriteTextSettings s{};
    std::strcpy(s.font.faceName, "Arial");
    s.alignment = a;
    s.anchor = 8;
    s.orientation = 3;
    s.offsetX = -5;
    s.effect = 0.5f;
    s.blur = 4;
    s.effectY = -2;
    WriteTextReset(&s);
    EXPECT_EQ(s.alignment, kWriteTextRightToLeft);
    EXPECT_EQ(s.anchor, 0);
    EXPECT_EQ(s.orientation, 0);
    EXPECT_EQ(s.offsetX, 0);
    EXPECT_EQ(s.effect, 0);
    EXPECT_EQ(s.blur, 0);
    EXPECT_EQ(s.effectY, 0);
    EXPECT_STREQ(s.font.faceName, "Arial");

    EXPECT_EQ(WriteTextCapacityBlocks(0), 1);
    EXPECT_EQ(WriteTextCapacityBlocks(1023), 1);
    EXPECT_EQ(WriteTextCapacityBlocks(1024), 2); // and its terminator
    EXPECT_EQ(WriteTextCapacityBlocks(1500), 2);
}

TEST(WriteTextSettings, StoredBlocksEnterTheControlsInRange) {
    WriteTextBlock b;
    std::strcpy(b.font.faceName, "Courier");
    b.font.height = -2000000;
    b.font.weight = 700;
    b.alignment = 3 | kWriteTextRightToLeft;
    b.anchorX = 123456;
    b.anchorY = -7;
    b.anchor = 8;
    b.orientation = 2;
    b.dialogSetting = 5;
    b.effect = -0.1234f;
    b.effectBlur = 200;
    b.effectX = -100;
    b.effectY = 3;
    const WriteTextSettings s = WriteTextFromStored(b);
    EXPECT_STREQ(s.font.faceName, "Courier");
    EXPECT_EQ(s.font.height, -1000);
    EXPECT_EQ(s.font.weight, 700);
    EXPECT_EQ(s.alignment, kWriteTextRightToLeft);
    EXPECT_EQ(s.offsetX, 99999);
    EXPECT_EQ(s.offsetY, -7);
    EXPECT_EQ(s.anchor, 8);
    EXPECT_EQ(s.orientation, 2);
    EXPECT_EQ(s.extra, 5);
    EXPECT_FLOAT_EQ(s.effect, -0.1f); // the field's -2
    EXPECT_EQ(s.blur, 9);
    EXPECT_EQ(s.effectX, -9);
    EXPECT_EQ(s.effectY, 3);
    b.effect = std::nanf("");
    EXPECT_EQ(WriteTextFromStored(b).effect, 0);

    // Settings and block carry the same fields both ways.
    const WriteTextBlock back = WriteTextBlockOf(s);
    EXPECT_STREQ(back.font.faceName, "Courier");
    EXPECT_EQ(back.anchorX, 99999);
    EXPECT_EQ(back.dialogSetting, 5);
    EXPECT_EQ(back.effectX, -9);
    EXPECT_EQ(back.alignment, kWriteTextRightToLeft);
}

} // namespace
