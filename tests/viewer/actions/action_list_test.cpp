#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "viewer/actions/action_list.h"

namespace {

// A list of `n` Shift actions whose block holds its index.
ActionList MakeList(int n) {
    ActionList list;
    for (int i = 0; i < n; ++i) {
        int32_t block[2] = {i, 0};
        EXPECT_TRUE(list.Append());
        EXPECT_TRUE(list.items.back().Assign(ACTION_SHIFT, block));
    }
    return list;
}

std::vector<int32_t> Indices(const ActionList& list) {
    std::vector<int32_t> out;
    for (const Action& a : list.items) {
        int32_t v;
        std::memcpy(&v, a.block, 4);
        out.push_back(v);
    }
    return out;
}

TEST(ActionList, AppendDropsTheUndoneItems) {
    ActionList history = MakeList(5);
    EXPECT_EQ(history.cursor, -1); // appends without a cursor leave none
    SetHistoryCursor(history, 2);  // two undone
    ASSERT_TRUE(history.Append());
    EXPECT_EQ(history.Count(), 4u);
    EXPECT_EQ(history.cursor, 3);
    EXPECT_EQ(history.items.back().type, ACTION_NONE);
    history.items.pop_back();
    EXPECT_EQ(Indices(history), (std::vector<int32_t>{0, 1, 2}));
}

TEST(ActionList, RemoveAndCursors) {
    ActionList one = MakeList(1);
    one.cursor = 0;
    ASSERT_TRUE(one.Remove(0));
    EXPECT_EQ(one.Count(), 0u);
    EXPECT_EQ(one.cursor, -1);
    EXPECT_FALSE(one.Remove(0));

    // A list without a cursor gets one at its new last item; appends still
    // go to the end.
    ActionList favourites = MakeList(3);
    ASSERT_TRUE(favourites.Remove(0));
    EXPECT_EQ(favourites.cursor, 1);
    ASSERT_TRUE(favourites.Append());
    EXPECT_EQ(favourites.Count(), 3u);
    EXPECT_EQ(favourites.cursor, 2);

    ActionList history = MakeList(2);
    EXPECT_EQ(GetHistoryCursor(history), 0); // -1 reads as 0
    SetHistoryCursor(history, 7);
    EXPECT_EQ(history.cursor, 1);
    ActionList empty;
    EXPECT_EQ(GetHistoryCursor(empty), -1);
}

TEST(ActionList, MoveShiftsTheItemsBetweenTowardsTheGap) {
    ActionList list = MakeList(4);
    ASSERT_TRUE(list.Move(0, 2)); // dragged onto the third item
    EXPECT_EQ(Indices(list), (std::vector<int32_t>{1, 2, 0, 3}));
    ASSERT_TRUE(list.Move(3, 0));
    EXPECT_EQ(Indices(list), (std::vector<int32_t>{3, 1, 2, 0}));
    // Onto itself, or to or from beyond the list: nothing moves.
    EXPECT_FALSE(list.Move(1, 1));
    EXPECT_FALSE(list.Move(4, 0));
    EXPECT_FALSE(list.Move(0, static_cast<uint32_t>(-1)));
    EXPECT_EQ(Indices(list), (std::vector<int32_t>{3, 1, 2, 0}));
}

TEST(ActionList, ResetAndCopyOfTheHistory) {
    ActionList history = MakeList(4);
    SetHistoryCursor(history, 1); // entries 2 and 3 undone

    // The favourites get every edit, the undone ones too, never entry 0.
    ActionList favourites = MakeList(2);
    ASSERT_TRUE(CopyHistoryTo(history, favourites));
    EXPECT_EQ(Indices(favourites), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(favourites.cursor, -1);
    ActionList single = MakeList(1);
    ASSERT_TRUE(CopyHistoryTo(single, favourites));
    EXPECT_EQ(favourites.Count(), 0u);

    ResetHistory(history);
    EXPECT_EQ(Indices(history), (std::vector<int32_t>{0}));
    EXPECT_EQ(history.cursor, 0);
    ActionList empty;
    ResetHistory(empty);
    EXPECT_EQ(empty.Count(), 0u);
    EXPECT_EQ(empty.cursor, -1);
}

TEST(ActionList, OpeningLeavesOneOpenActionAtTheCursor) {
    ActionList history = MakeList(4);
    history.Clear();
    const OpenBlock block = MakeOpenBlock(OPEN_FROM_FILE, u"Z:\\tmp\\a.png", "");
    ASSERT_TRUE(PushHistoryOpen(history, block));
    SetHistoryCursor(history, 0);
    ASSERT_EQ(history.Count(), 1u);
    EXPECT_EQ(history.cursor, 0);
    const Action& open = history.items[0];
    EXPECT_EQ(open.type, ACTION_OPEN);
    ASSERT_NE(open.block, nullptr);
    EXPECT_EQ(std::memcmp(open.block, block.bytes, kOpenBlockBytes), 0);
}

TEST(ActionList, OpenBlocksAreLittleEndianAndBounded) {
    const OpenBlock file = MakeOpenBlock(OPEN_FROM_FILE, u"C:\\\x00e9.png", "ignored");
    const uint8_t head[] = {1, 0, 0, 0, 'C', 0, ':', 0, '\\', 0, 0xE9, 0, '.', 0};
    EXPECT_EQ(std::memcmp(file.bytes, head, sizeof head), 0);

    // A path longer than the field keeps its terminating zero.
    const std::u16string longPath(600, u'p');
    const OpenBlock cut = MakeOpenBlock(OPEN_FROM_FILE, longPath, "");
    EXPECT_EQ(cut.bytes[4 + 2 * 478], 'p');
    EXPECT_EQ(cut.bytes[4 + 2 * 479], 0);
    EXPECT_EQ(cut.bytes[4 + 2 * 479 + 1], 0);

    const OpenBlock acquired = MakeOpenBlock(OPEN_ACQUIRED, u"", "Scanner");
    EXPECT_EQ(acquired.bytes[0], 3);
    EXPECT_EQ(std::memcmp(acquired.bytes + 4, "Scanner", 8), 0);
    const OpenBlock clipboard = MakeOpenBlock(OPEN_FROM_CLIPBOARD, u"x", "y");
    EXPECT_EQ(clipboard.bytes[0], 2);
    EXPECT_EQ(clipboard.bytes[4], 0);
}

TEST(ActionList, CopiesOwnTheirBlockAndText) {
    std::vector<uint8_t> block(ActionParamSize(ACTION_WRITE_TEXT), 0);
    char16_t text[] = u"Hello";
    char16_t* pointer = text;
    std::memcpy(block.data() + kWriteTextPointerOffset, &pointer, sizeof pointer);

    Action original;
    ASSERT_TRUE(original.Set(ACTION_WRITE_TEXT, block.data()));
    Action copy = original;
    char16_t* a;
    char16_t* b;
    std::memcpy(&a, original.block + kWriteTextPointerOffset, sizeof a);
    std::memcpy(&b, copy.block + kWriteTextPointerOffset, sizeof b);
    EXPECT_NE(original.block, copy.block);
    EXPECT_NE(a, text);
    EXPECT_NE(a, b);
    EXPECT_EQ(std::u16string(b), u"Hello");

    ActionList list;
    ASSERT_TRUE(list.AppendCopy(copy));
    copy.Clear();
    EXPECT_EQ(copy.type, -1);
    EXPECT_EQ(copy.block, nullptr);
    EXPECT_EQ(list.items[0].type, ACTION_WRITE_TEXT);

    // Unknown types have no block.
    EXPECT_EQ(ActionParamSize(20), 0u);
    EXPECT_EQ(ActionParamSize(-1), 0u);
    Action unknown;
    EXPECT_TRUE(unknown.Set(42, block.data()));
    EXPECT_EQ(unknown.block, nullptr);
}

} // namespace
