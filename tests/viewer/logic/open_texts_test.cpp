#include <string>

#include <gtest/gtest.h>

#include "imglib/handle.h"
#include "viewer/logic/open_texts.h"

namespace {

TEST(OpenTexts, LoadTimeAndDisplayName) {
    EXPECT_EQ(FormatLoadTime(1234), u"(time: 1.234 sec)");
    EXPECT_EQ(FormatLoadTime(7), u"(time: 0.007 sec)");
    EXPECT_EQ(FormatLoadTime(60000), u"(time: 60.000 sec)");
    EXPECT_EQ(DisplayNameOf(u"Z:\\tmp\\a.png"), u"a.png");
    EXPECT_EQ(DisplayNameOf(u"a.png"), u"a.png");
    EXPECT_EQ(DisplayNameOf(u"Z:\\tmp\\"), u"");
}

TEST(OpenTexts, FailureReports) {
    struct Row {
        int32_t result;
        const char16_t* reason;
    };
    const Row rows[] = {
        {IL_READ_FAILED, u"File read failed"},
        {IL_CANNOT_OPEN, u"Unable to open file"},
        {IL_FILE_NOT_FOUND, u"File not found"},
        {IL_UNSUPPORTED_FORMAT, u"Unsupported file format"},
        {IL_INVALID_HEADER, u"Unexpected internal error"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(FormatOpenFailure(u"Z:\\a.xyz", row.result),
                  u"File: Z:\\a.xyz  \n\n" + std::u16string(row.reason) + u".  ");
    const std::u16string longFailure =
        FormatOpenFailure(std::u16string(480, u'p'), IL_FILE_NOT_FOUND);
    EXPECT_EQ(longFailure.size(), 299u);
    // The path is cut, not the reason.
    EXPECT_TRUE(longFailure.starts_with(u"File: ppp"));
    EXPECT_TRUE(longFailure.ends_with(u"pp  \n\nFile not found.  "));
}

// A dropped action list cannot be applied yet: it is reported, never
// opened as an image nor ignored.
TEST(OpenTexts, DroppedActionListErrors) {
    EXPECT_EQ(DroppedActionListError(false), u"No image file to apply actions");
    EXPECT_EQ(DroppedActionListError(true), u"Invalid action list");
}

} // namespace
