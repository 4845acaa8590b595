#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "imglib/metadata/info.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries EntriesOf(const ILTextList& list) {
    Entries out;
    for (int32_t i = 0; i < list.count; ++i)
        out.emplace_back(list.items[i].key, list.items[i].text);
    return out;
}

TEST(AddComment, RecognisesLeadingKeys) {
    struct Case {
        const char* name;
        std::string text;
        size_t length; // 0: the whole text
        Entries want;
    };
    const Case cases[] = {
        {"key in any case after blanks", "  model  Canon EOS 5D", 0, {{"Model", "Canon EOS 5D"}}},
        {"key with colon", "Author: Ann Smith", 0, {{"Author", "Ann Smith"}}},
        {"two-word key", "creation time 2021-03-04", 0, {{"Creation Time", "2021-03-04"}}},
        {"key with nothing after it", "Title:", 0, {}},
        {"key and separators only", "Title: \t: ", 0, {}},
        {"key name as a word prefix", "Titles of works", 0, {{"Comment", "Titles of works"}}},
        {"key name filling the text", "Model", 0, {{"Comment", "Model"}}},
        {"no key", "Shot at dawn", 0, {{"Comment", "Shot at dawn"}}},
        {"leading control bytes", "\x01\x02\t hello", 0, {{"Comment", "hello"}}},
        {"only blanks", "   ", 0, {}},
        {"length cuts the text", "Author: Ann Smith", 10, {{"Author", "An"}}},
        {"stops at a zero byte", std::string("abc\0def", 7), 0, {{"Comment", "abc"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ILTextList list;
        ILAddComment(&list, c.length ? c.length : c.text.size(), c.text.data());
        EXPECT_EQ(EntriesOf(list), c.want);
    }
}

TEST(AddComment, IgnoresEmptyInput) {
    ILTextList list;
    ILAddComment(&list, 0, "Author: Ann");
    ILAddComment(&list, 5, nullptr);
    ILInfoAddText(&list, IL_TEXT_TITLE, 0, "x");
    ILInfoAddText(&list, static_cast<ILTextKey>(13), 1, "x");
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.items, nullptr);
}

TEST(SetText, ReplacesRemovesOrAppends) {
    ILTextList list;
    ILInfoAddText(&list, IL_TEXT_TITLE, 3, "one");
    ILInfoAddText(&list, IL_TEXT_AUTHOR, 3, "Ann");
    ILInfoAddText(&list, IL_TEXT_TITLE, 3, "two");
    ILAddComment(&list, 4, "note");

    ILSetText(&list, IL_TEXT_TITLE, 5, "first");
    EXPECT_EQ(
        EntriesOf(list),
        (Entries{{"Title", "first"}, {"Author", "Ann"}, {"Title", "two"}, {"Comment", "note"}}));

    ILSetText(&list, IL_TEXT_AUTHOR, 0, nullptr);
    EXPECT_EQ(EntriesOf(list),
              (Entries{{"Title", "first"}, {"Title", "two"}, {"Comment", "note"}}));

    ILSetText(&list, IL_TEXT_URL, 0, "gone");
    EXPECT_EQ(list.count, 3);

    ILSetText(&list, IL_TEXT_URL, 13, "http://a.b/c");
    ASSERT_EQ(list.count, 4);
    EXPECT_STREQ(list.items[3].key, "URL");
    EXPECT_STREQ(list.items[3].text, "http://a.b/c");
}

TEST(SetText, MatchesTheKeyExactly) {
    ILTextList list;
    list.Append("title", 3, "low");
    list.Append("Title page", 4, "long");
    ILSetText(&list, IL_TEXT_TITLE, 3, "new");
    EXPECT_EQ(EntriesOf(list),
              (Entries{{"title", "low"}, {"Title page", "long"}, {"Title", "new"}}));
}

TEST(FindText, ComparesTheKeyNamePrefixWithoutCase) {
    ILTextList list;
    list.Append("DESCRIPTION of scene", 5, "beach");
    list.Append(nullptr, 4, "note");
    ILInfoAddText(&list, IL_TEXT_DESCRIPTION, 6, "second");

    EXPECT_STREQ(ILFindText(&list, IL_TEXT_DESCRIPTION), "beach");
    EXPECT_STREQ(ILFindText(&list, IL_TEXT_COMMENT), "note");
    EXPECT_EQ(ILFindText(&list, IL_TEXT_TITLE), nullptr);
    EXPECT_EQ(ILFindText(&list, static_cast<ILTextKey>(13)), nullptr);
}

TEST(FormatTexts, OneLinePerEntry) {
    ILTextList list;
    ILAddComment(&list, 17, "Author: Ann Smith");
    ILInfoAddText(&list, IL_TEXT_SOFTWARE, 2, "Vx");
    std::string out = "head\r\n";
    ILFormatTexts(&list, &out);
    EXPECT_EQ(out, "head\r\nAuthor: Ann Smith\r\nSoftware: Vx\r\n");

    ILFreeTexts(&list);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.items, nullptr);
}

} // namespace
