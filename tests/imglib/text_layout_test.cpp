#include <gtest/gtest.h>

#include <string>

#include "imglib/text_layout.h"

namespace {

// Every character 10 pixels wide, lines 20 apart: positions read directly.
int32_t TenPixels(char32_t) {
    return 10;
}

std::u32string Chars(const ILTextLine& line) {
    std::u32string s;
    for (const ILTextCell& cell : line.cells)
        s.push_back(cell.c);
    return s;
}

ILTextLayout Layout(std::u16string_view text, uint32_t format, ILRect rect = {0, 0, 0, 0}) {
    ILTextLayout layout;
    EXPECT_TRUE(ILLayoutText(rect, text, format, 20, TenPixels, &layout));
    return layout;
}

TEST(TextLayoutTest, LinesBreakOnlyAtCrLfAndCrLf) {
    struct Row {
        const char* name;
        std::u16string text;
        std::vector<std::u32string> lines;
    };
    const Row rows[] = {
        {"lf", u"ab\ncd", {U"ab", U"cd"}},
        {"cr", u"ab\rcd", {U"ab", U"cd"}},
        {"crlf is one break", u"ab\r\ncd", {U"ab", U"cd"}},
        {"lfcr is two", u"ab\n\rcd", {U"ab", U"", U"cd"}},
        {"a break at the end adds no line", u"ab\n", {U"ab"}},
        {"two at the end add one", u"ab\r\n\n", {U"ab", U""}},
        {"empty text is one empty line", u"", {U""}},
        {"tab and form feed stay", u"a\tb\fc", {U"a\tb\fc"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ILTextLayout layout = Layout(row.text, IL_DT_NOPREFIX);
        ASSERT_EQ(layout.lines.size(), row.lines.size());
        for (size_t i = 0; i < row.lines.size(); ++i) {
            EXPECT_EQ(Chars(layout.lines[i]), row.lines[i]);
            EXPECT_EQ(layout.lines[i].y, static_cast<int32_t>(20 * i));
        }
        EXPECT_EQ(layout.extent.bottom, static_cast<int32_t>(20 * row.lines.size()));
    }
}

TEST(TextLayoutTest, SurrogatePairsAreOneCharacterAndLoneHalvesAReplacement) {
    EXPECT_EQ(ILDecodeUtf16(u"a\U0001D11Eb"), U"a\U0001D11Eb");
    const char16_t lone[] = {'a', 0xD800, 'b', 0xDC00, 0xDBFF};
    EXPECT_EQ(ILDecodeUtf16(std::u16string_view(lone, 5)), U"a\uFFFDb\uFFFD\uFFFD");
    EXPECT_EQ(Layout(u"a\U0001D11Eb", IL_DT_NOPREFIX).extent.right, 30);
}

TEST(TextLayoutTest, PrefixMarksUnlessNoPrefix) {
    const ILTextLayout marked = Layout(u"&File && &x&", 0);
    ASSERT_EQ(marked.lines.size(), 1u);
    EXPECT_EQ(Chars(marked.lines[0]), U"File & x");
    std::string underlined;
    for (const ILTextCell& cell : marked.lines[0].cells)
        underlined += cell.underline ? '^' : ' ';
    EXPECT_EQ(underlined, "^      ^");
    EXPECT_EQ(Chars(Layout(u"&File &&", IL_DT_NOPREFIX).lines[0]), U"&File &&");
}

TEST(TextLayoutTest, AlignmentPlacesEachLineInTheRectangle) {
    const ILRect rect = {100, 50, 200, 90};
    const ILTextLayout left = Layout(u"abcd\nab", IL_DT_NOPREFIX, rect);
    EXPECT_EQ(left.lines[0].x, 100);
    EXPECT_EQ(left.lines[1].x, 100);
    EXPECT_EQ(left.lines[1].y, 70);
    const ILTextLayout centre = Layout(u"abcd\nab", IL_DT_NOPREFIX | IL_DT_CENTER, rect);
    EXPECT_EQ(centre.lines[0].x, 130);
    EXPECT_EQ(centre.lines[1].x, 140);
    const ILTextLayout right = Layout(u"abcd\nab", IL_DT_NOPREFIX | IL_DT_RIGHT, rect);
    EXPECT_EQ(right.lines[0].x, 160);
    EXPECT_EQ(right.lines[1].x, 180);
    // The extent starts at the rectangle's corner and is as wide as the
    // widest line, whatever the alignment.
    for (const ILTextLayout* l : {&left, &centre, &right}) {
        EXPECT_EQ(l->extent.left, 100);
        EXPECT_EQ(l->extent.top, 50);
        EXPECT_EQ(l->extent.right, 140);
        EXPECT_EQ(l->extent.bottom, 90);
    }
}

TEST(TextLayoutTest, OnlyTheLastLineEndsWithAnEllipsis) {
    const ILRect rect = {0, 0, 65, 0};
    const ILTextLayout l =
        Layout(u"abcdefghij\nabcdefghij", IL_DT_END_ELLIPSIS | IL_DT_NOPREFIX, rect);
    EXPECT_EQ(Chars(l.lines[0]), U"abcdefghij");
    EXPECT_EQ(Chars(l.lines[1]), U"abc...");
    EXPECT_EQ(l.extent.right, 100);
    EXPECT_EQ(Chars(Layout(u"abcdef", IL_DT_END_ELLIPSIS, rect).lines[0]), U"abcdef");
    // Too narrow even for the dots: the dots alone.
    EXPECT_EQ(Chars(Layout(u"abcdefgh", IL_DT_END_ELLIPSIS, {0, 0, 5, 0}).lines[0]), U"...");
}

TEST(TextLayoutTest, RightToLeftRunsAndReadingOrder) {
    // Hebrew letters alef, bet, gimel stand for any right-to-left script.
    struct Row {
        const char* name;
        std::u32string logical;
        bool rtl;
        std::u32string display;
    };
    const Row rows[] = {
        {"latin stays", U"abc, def!", false, U"abc, def!"},
        {"latin in a right-to-left line", U"abc def", true, U"abc def"},
        {"hebrew runs right to left", U"ab \u05D0\u05D1\u05D2 cd", false,
         U"ab \u05D2\u05D1\u05D0 cd"},
        {"trailing neutral takes the line's direction", U"\u05D0\u05D1 abc!", true,
         U"!abc \u05D1\u05D0"},
        {"a number after right-to-left text joins its run, digits in order", U"\u05D0 123 \u05D1",
         false, U"\u05D1 123 \u05D0"},
        {"a number after latin stays latin", U"ab 12 \u05D0", true, U"\u05D0 ab 12"},
        {"brackets mirror in right-to-left runs", U"\u05D0(\u05D1)\u05D2", false,
         U"\u05D2(\u05D1)\u05D0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<ILTextCell> cells;
        for (const char32_t c : row.logical)
            cells.push_back({c, false});
        ILOrderForDisplay(cells, row.rtl);
        std::u32string display;
        for (const ILTextCell& cell : cells)
            display.push_back(cell.c);
        EXPECT_EQ(display, row.display);
    }
}

} // namespace
