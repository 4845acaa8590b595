#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "viewer/actions/action_describe.h"
#include "viewer/actions/history_push.h"

namespace {

// "x,y text" for the text items, in order.
std::vector<std::string> Texts(const std::vector<DescribeItem>& items) {
    std::vector<std::string> out;
    for (const DescribeItem& item : items)
        if (item.kind == DescribeKind::Text)
            out.push_back(std::to_string(item.x) + "," + std::to_string(item.y) + " " + item.text);
    return out;
}

const Action& Last(const ActionList& list) {
    return list.items.back();
}

TEST(ActionDescribe, LinesOfSomeTypes) {
    ActionList list;
    ASSERT_TRUE(PushHistoryCrop(list, {600, 600, 0, 0}));
    EXPECT_EQ(Texts(DescribeAction(Last(list), true)),
              (std::vector<std::string>{"0,0 Crop", "0,18 Left border:", "0,33 Right border:",
                                        "0,48 Top border:", "0,63 Bottom border:", "75,18 600",
                                        "75,33 600", "75,48 0", "75,63 0"}));

    ASSERT_TRUE(PushHistoryOpen(list, MakeOpenBlock(OPEN_FROM_CLIPBOARD, u"", "")));
    EXPECT_EQ(Texts(DescribeAction(Last(list), false)),
              (std::vector<std::string>{"0,18 Clipboard"}));

    // The invert line stands in for the name only.
    ASSERT_TRUE(PushHistoryInvert(list));
    EXPECT_EQ(Texts(DescribeAction(Last(list), true)), (std::vector<std::string>{"0,0 Invert"}));
    EXPECT_EQ(Texts(DescribeAction(Last(list), false)),
              (std::vector<std::string>{"0,18 Invert image colors"}));

    ILProjectionParams p{};
    p.sourceProjection = 2;
    p.oversampling = 3;
    ASSERT_TRUE(PushHistory3DProjection(list, p, 10, 10));
    const auto items = DescribeAction(Last(list), false);
    EXPECT_EQ(Texts(items), (std::vector<std::string>{
                                "0,18 SP:", "0,33 DP:", "0,48 Oversample:", "0,63 Border color",
                                "19,18 Angular", "19,33 Latitude/Longitude", "60,48 3x3"}));
    EXPECT_EQ(items.back().kind, DescribeKind::Swatch);
    EXPECT_EQ(items.back().x, 65);
}

TEST(ActionDescribe, WriteTextCutsLongTextsAndNamesBadFieldsUnknown) {
    ActionList list;
    WriteTextBlock w;
    w.text = u"0123456789012345678901234567890123456789";
    w.effect = -0.25f;
    w.effectBlur = 2;
    w.effectX = -1;
    w.effectY = 3;
    ASSERT_TRUE(PushHistoryWriteText(list, w));
    Last(list).block[92] = 200; // an anchor from a damaged file
    const auto items = DescribeAction(Last(list), false);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0].kind, DescribeKind::WideText);
    EXPECT_EQ(items[0].wide, u"0123456789012345678901234567...");
    const auto texts = Texts(items);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "60,78 unknown (0,0)"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "0,93 Shadow:"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "60,93 5, blur 2, offset (-1,3)"), texts.end());
}

} // namespace
