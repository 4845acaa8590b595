#include <gtest/gtest.h>

#include "viewer/actions/history_push.h"

namespace {

TEST(HistoryPush, RecordsTypedBlocksAfterTheCursor) {
    ActionList history;
    ASSERT_TRUE(PushHistoryOpen(history, MakeOpenBlock(OPEN_FROM_CLIPBOARD, u"", "")));
    SetHistoryCursor(history, 0);
    ASSERT_TRUE(PushHistoryRotate(history, 270));
    ASSERT_TRUE(PushHistoryMirror(history, true));
    history.cursor = 1; // the mirror undone
    WriteTextBlock text;
    text.text = u"Caption";
    ASSERT_TRUE(PushHistoryWriteText(history, text));
    text.text.clear(); // the history keeps its own copy

    ASSERT_EQ(history.Count(), 3u);
    EXPECT_EQ(history.cursor, 2);
    EXPECT_EQ(history.items[1].type, ACTION_ROTATE);
    EXPECT_EQ(history.items[1].block[1], 270 >> 8);
    EXPECT_EQ(history.items[2].type, ACTION_WRITE_TEXT);
    EXPECT_EQ(std::u16string(ActionText(history.items[2])), u"Caption");
}

// A projection made in "upsample" mode replays at the size it produced.
TEST(HistoryPush, ProjectionKeepsTheSizeItWasAppliedAt) {
    ActionList history;
    ILProjectionParams p{};
    p.sourceProjection = 2;
    p.sizeMode = 2;
    ASSERT_TRUE(PushHistory3DProjection(history, p, 600, 300));
    ILProjectionParams back;
    ASSERT_TRUE(DecodeBlock(history.items[0].block, &back));
    EXPECT_EQ(back.sizeMode, 0);
    EXPECT_EQ(back.width, 600);
    EXPECT_EQ(back.height, 300);
    EXPECT_EQ(back.sourceProjection, 2);
}

} // namespace
