#include "jpeg2000/messages.h"

#include <gtest/gtest.h>

#include "support.h"

using namespace j2k;
using j2ktest::kept_messages;

TEST(Messages, ErrorLinesReachTheSinkOneByOneAndThrow) {
    struct row {
        const char* name;
        std::string text;
        std::vector<std::string> lines;
    };
    const std::string hundred =
        "aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg hhhhhhhhh "
        "iiiiiiiii jjjjjjjjj";
    const std::string long_word(100, 'x');
    const row rows[] = {
        {"one line", "Illegal box length field", {" Illegal box length field"}},
        {"wrapped at the last blank before column 80",
         hundred,
         {" aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg hhhhhhhhh",
          " iiiiiiiii jjjjjjjjj"}},
        {"a word longer than the line is broken hard",
         long_word,
         {" " + long_word.substr(0, 79), " " + long_word.substr(79)}},
        {"blanks only make no break", std::string(90, ' '), {" " + std::string(90, ' ')}},
        {"a tab indents its paragraph and its continuation",
         "first\n\t" + hundred,
         {" first", "     aaaaaaaaa bbbbbbbbb ccccccccc ddddddddd eeeeeeeee fffffffff ggggggggg",
          "     hhhhhhhhh iiiiiiiii jjjjjjjjj"}},
        {"a tab inside a line is a blank", "a\tb", {" a b"}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        kept_messages sink;
        message_scope scope(&sink);
        EXPECT_EQ(j2ktest::failure_of([&] { fail(r.text); }), r.text);
        EXPECT_EQ(sink.errors, r.lines);
    }
}

TEST(Messages, WarningArrivesAsOneTextAndReturns) {
    kept_messages sink;
    message_scope scope(&sink);
    warn("first line\nsecond line");
    warn("\n"); // a lone newline is no message
    ASSERT_EQ(sink.warnings.size(), 1u);
    EXPECT_EQ(sink.warnings[0], " first line\n second line\n");
}

TEST(Messages, WidthIsAtMost80AndScopesNest) {
    kept_messages outer, inner;
    message_scope a(&outer, 160);
    {
        message_scope b(&inner, 20);
        warn("aaaa bbbb cccc dddd eeee");
    }
    warn(std::string(85, 'y'));
    EXPECT_EQ(inner.warnings.at(0), " aaaa bbbb cccc dddd\n eeee\n");
    EXPECT_EQ(outer.warnings.at(0),
              " " + std::string(79, 'y') + "\n " + std::string(6, 'y') + "\n");
}

TEST(Messages, WithoutASinkErrorsStillEndTheOperation) {
    EXPECT_THROW(fail("nobody listens"), failure);
    warn("dropped"); // returns
}
