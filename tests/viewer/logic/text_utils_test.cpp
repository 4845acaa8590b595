#include "viewer/logic/text_utils.h"

#include <gtest/gtest.h>

#include "imglib/image.h"
#include "viewer/logic/image_summary.h"

namespace {

TEST(TextUtils, ExtensionTests) {
    EXPECT_TRUE(IsShellLinkFile(u"C:\\a\\photo.LNK"));
    EXPECT_FALSE(IsShellLinkFile(u"C:\\a\\lnk"));
    EXPECT_FALSE(IsShellLinkFile(u"C:\\a.lnk\\photo"));
    EXPECT_TRUE(IsActionListFile(u"list.Vxa"));
    EXPECT_FALSE(IsActionListFile(u"list.vxa2"));
}

TEST(TextUtils, StripExtension) {
    struct Case {
        std::u16string in, want;
    } cases[] = {
        {u"C:\\my.folder\\file", u"C:\\my.folder\\file"},
        {u"C:\\a\\x.tar.gz", u"C:\\a\\x.tar"},
        {u"name.png", u"name"},
        {u"C:\\a\\noext", u"C:\\a\\noext"},
    };
    for (Case& c : cases) {
        StripExtension(c.in);
        EXPECT_EQ(c.in, c.want);
    }
    std::u16string list = u"C:\\a\\edits.png";
    SetActionListExtension(list);
    EXPECT_EQ(list, u"C:\\a\\edits.vxa");
}

TEST(TextUtils, PaddingAndTrimming) {
    std::string value = "100";
    PadWithSpaces(value, 6);
    EXPECT_EQ(value, "100  ");
    value = "1234567";
    PadWithSpaces(value, 4);
    EXPECT_EQ(value, "123");
    value = "  a b  ";
    TrimBlanks(value);
    EXPECT_EQ(value, "a b");
    value = "   ";
    TrimBlanks(value);
    EXPECT_EQ(value, "");
}

TEST(TextUtils, FixedPoint) {
    EXPECT_EQ(FormatFixedPoint(-0.5, 2), "-0.50");
    EXPECT_EQ(FormatFixedPoint(1.25, 1), " 1.2");
    EXPECT_EQ(FormatFixedPoint(0.3, 3), " 0.300"); // 0.3 is stored as 0.29999...
    EXPECT_EQ(FormatFixedPoint(0.0, 0), " 0.");
}

TEST(TextUtils, NumberedNameAndWorkerCount) {
    EXPECT_EQ(FormatNumberedName(u"Clipboard", 1), u"Clipboard_001");
    EXPECT_EQ(FormatNumberedName(u"Acquired", 1234), u"Acquired_1234");
    const int want[][2] = {{0, 1}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {8, 6}, {12, 8}, {16, 8}};
    for (const auto& row : want)
        EXPECT_EQ(WorkerThreadCountFor(row[0]), row[1]) << "processors " << row[0];
}

TEST(ImageSummary, ModeNamesAndAlpha) {
    EXPECT_EQ(FormatModeName(IL_MODEL_GRAY | IL_KIND_1), "Monochrome");
    EXPECT_EQ(FormatModeName(IL_MODEL_INDEXED | IL_KIND_1), "Index 1 bps");
    EXPECT_EQ(FormatModeName(IL_MODEL_GRAY | IL_KIND_16), "Gray 16 bps");
    EXPECT_EQ(FormatModeName(IL_MODEL_RGB | IL_KIND_HALF | IL_EXTRA_ALPHA), "RGB half");
    EXPECT_EQ(FormatAlphaState(IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_ALPHA, true),
              "\r\nAlpha enabled");
    EXPECT_EQ(FormatAlphaState(IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_PREMULTIPLIED, false),
              "\r\nAlpha disabled");
    EXPECT_EQ(FormatAlphaState(IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_FILLER, true), "");
}

} // namespace
