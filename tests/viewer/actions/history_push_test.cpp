#include <gtest/gtest.h>

#include "viewer/actions/history_push.h"
#include "viewer/logic/projection_size.h"

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

// A projection replays at the size it was applied at: its own mode while
// that mode's rule gives the size, else as a user size.
TEST(HistoryPush, ProjectionRecordsTheSizeItWasAppliedAt) {
    struct Row {
        const char* name;
        int32_t width, height, wantMode;
    };
    const Row rows[] = {{"the rule's size", 600, 300, 2}, {"an edited size", 640, 300, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ActionList history;
        ILProjectionParams p{};
        p.sourceProjection = 2;
        p.sizeMode = 2;
        p.width = row.width;
        p.height = row.height;
        ASSERT_TRUE(PushHistory3DProjection(history, p, 300, 200));
        ILProjectionParams back;
        ASSERT_TRUE(DecodeBlock(history.items[0].block, &back));
        EXPECT_EQ(back.sizeMode, row.wantMode);
        EXPECT_EQ(back.width, row.width);
        EXPECT_EQ(back.height, row.height);
        EXPECT_EQ(back.sourceProjection, 2);
        int32_t w, h;
        ASSERT_TRUE(ProjectionOutputSize(back, 300, 200, &w, &h));
        EXPECT_EQ(w, row.width);
        EXPECT_EQ(h, row.height);
    }
}

} // namespace
