#include "viewer/logic/library_message_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LibraryMessageList, KeepsEightErrorsAndDropsTheRest) {
    LibraryMessageList list;
    for (int i = 0; i < 10; ++i)
        AddLibraryError(list, "PNG", std::to_string(i).c_str());
    ASSERT_EQ(list.errors.count, 8u);
    EXPECT_EQ(list.errors.entries[7].text, "7");
    ClearLibraryMessages(list);
    EXPECT_EQ(list.errors.count, 0u);
    EXPECT_TRUE(list.errors.entries[0].text.empty());
}

TEST(LibraryMessageList, WarningRepeatedInARowIsKeptOnce) {
    LibraryMessageList list;
    AddLibraryWarning(list, "TIFF", "odd tag", true);
    AddLibraryWarning(list, "JPEG", "odd tag", true); // module is not compared
    EXPECT_EQ(list.warnings.count, 1u);
    AddLibraryWarning(list, "TIFF", "short strip", true);
    AddLibraryWarning(list, "TIFF", "odd tag", true);
    EXPECT_EQ(list.warnings.count, 3u);
}

TEST(LibraryMessageList, WarningsOffKeepsNothing) {
    LibraryMessageList list;
    AddLibraryWarning(list, "TIFF", "odd tag", false);
    EXPECT_EQ(list.warnings.count, 0u);
}

TEST(LibraryMessageList, FormatsPathHeaderAndOneLinePerMessage) {
    LibraryMessageList list;
    AddLibraryError(list, "PNG", "CRC error");
    AddLibraryError(list, nullptr, "Out of memory");
    EXPECT_EQ(FormatLibraryMessages(u"Z:\\tmp\\a.png", list.errors),
              u"File: Z:\\tmp\\a.png\n\nModule PNG: CRC error\nModule : Out of memory\n");
    EXPECT_EQ(FormatLibraryMessages(nullptr, list.errors),
              u"Module PNG: CRC error\nModule : Out of memory\n");
}

TEST(LibraryMessageList, DecodesUtf8AndReplacesBrokenBytes) {
    struct Case {
        const char* name;
        std::string in;
        std::u16string want;
    } cases[] = {
        {"ascii", "abc", u"abc"},
        {"two and three bytes", "\xC3\xA4\xE2\x82\xAC", u"\u00E4\u20AC"},
        {"four bytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"cut sequence", "a\xE2\x82", u"a\uFFFD\uFFFD"},
        {"surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToUtf16(c.in), c.want);
    }
}

} // namespace
