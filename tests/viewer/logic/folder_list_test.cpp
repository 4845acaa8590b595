#include "viewer/logic/folder_list.h"

#include <gtest/gtest.h>

#include <set>

#include "imglib/image.h"
#include "viewer/logic/list_layout.h"

namespace {

struct Spec {
    const char16_t* name;
    uint64_t size = 0;
    uint32_t width = 0, height = 0;
    int64_t modified = 0;
    int32_t format = 0;
};

FolderList MakeList(std::initializer_list<Spec> specs, int current = -1) {
    FolderList list;
    list.folder = u"C:\\Pictures\\";
    for (const Spec& s : specs) {
        FileEntry e;
        SetEntryName(e, s.name);
        e.size = s.size;
        e.width = s.width;
        e.height = s.height;
        e.modified = s.modified;
        e.formatId = s.format;
        e.infoRead = s.format != 0;
        list.entries.push_back(e);
    }
    SetCurrentEntry(list, current);
    return list;
}

std::u16string Names(const FolderList& list) {
    std::u16string out;
    for (const FileEntry& e : list.entries) {
        out += EntryName(e);
        out += u' ';
    }
    return out;
}

bool NoDraw(uint32_t&) {
    return false;
}

TEST(FolderList, NamesCompareIgnoringCase) {
    EXPECT_EQ(CompareNamesNoCase(u"Photo.JPG", u"photo.jpg"), 0);
    EXPECT_LT(CompareNamesNoCase(u"apple", u"Banana"), 0);
    EXPECT_LT(CompareNamesNoCase(u"a", u"ab"), 0);
    EXPECT_EQ(CompareNamesNoCase(u"\u00C4RGER", u"\u00E4rger"), 0);
    EXPECT_EQ(CompareNamesNoCase(u"\u0416\u0100", u"\u0436\u0101"), 0);
    // '_' lies between the upper and lower case letters: folding to lower
    // case puts it before every letter.
    EXPECT_GT(CompareNamesNoCase(u"B", u"_"), 0);
}

TEST(FolderList, SortKeysWithTiesByNameInTheKeysDirection) {
    struct Case {
        int32_t key;
        const char16_t* want;
    } cases[] = {
        {kSortName, u"a.png B.jpg c.gif d.tif "},
        {-kSortName, u"d.tif c.gif B.jpg a.png "},
        {kSortFileSize, u"c.gif a.png B.jpg d.tif "},
        {-kSortFileSize, u"d.tif B.jpg a.png c.gif "},
        // a and d both have 2x3 (d) = 6 = 3x2 (a) pixels.
        {kSortImageSize, u"c.gif a.png d.tif B.jpg "},
        {-kSortImageSize, u"B.jpg d.tif a.png c.gif "},
        {kSortModified, u"B.jpg d.tif a.png c.gif "},
        // An unread header (format 0) comes first ascending.
        {kSortFormat, u"d.tif B.jpg c.gif a.png "},
        {-kSortFormat, u"a.png c.gif B.jpg d.tif "},
        {12345, u"c.gif a.png d.tif B.jpg "},
    };
    for (const Case& c : cases) {
        FolderList list = MakeList({{u"c.gif", 10, 1, 1, 300, 0x30},
                                    {u"a.png", 20, 3, 2, 200, 0x50},
                                    {u"d.tif", 5000, 2, 3, -7, 0},
                                    {u"B.jpg", 30, 70000, 70000, -100, 0x10}},
                                   1);
        SortEntries(list, c.key, NoDraw);
        EXPECT_EQ(Names(list), c.want) << c.key;
        ASSERT_GE(list.current, 0);
        EXPECT_EQ(EntryName(list.entries[list.current]), u"a.png") << c.key;
    }
}

TEST(FolderList, ShuffleDrawsAPermutationAndSkipsFailedDraws) {
    FolderList list = MakeList({{u"0"}, {u"1"}, {u"2"}, {u"3"}, {u"4"}}, 2);
    // Always the largest number: each position swaps with the last.
    SortEntries(list, kSortShuffle, [](uint32_t& u) {
        u = 0xFFFFFFFF;
        return true;
    });
    EXPECT_EQ(Names(list), u"4 0 1 2 3 ");
    EXPECT_EQ(list.current, 3);
    SortEntries(list, kSortShuffle, NoDraw);
    EXPECT_EQ(Names(list), u"4 0 1 2 3 ");
    SortEntries(list, -kSortShuffle, [](uint32_t& u) {
        u = 0xFFFFFFFF;
        return true;
    });
    EXPECT_EQ(Names(list), u"4 0 1 2 3 ");
}

TEST(FolderList, CurrentEntryIsNoneWhenNoEntryIsFlagged) {
    FolderList list = MakeList({{u"b"}, {u"a"}});
    SortEntries(list, kSortName, NoDraw);
    EXPECT_EQ(list.current, -1);
}

TEST(FolderList, PagingWrapsAndRefusesWhatDoesNotMove) {
    FolderList three = MakeList({{u"a"}, {u"b"}, {u"c"}}, 2);
    EXPECT_EQ(PageTarget(three, PageStep::Next), 0);
    EXPECT_EQ(PageTarget(three, PageStep::Previous), 1);
    EXPECT_EQ(PageTarget(three, PageStep::Last), -1);
    EXPECT_EQ(PageTarget(three, PageStep::First), 0);
    SetCurrentEntry(three, 0);
    EXPECT_EQ(PageTarget(three, PageStep::Previous), 2);
    EXPECT_EQ(PageTarget(three, PageStep::First), -1);
    EXPECT_EQ(three.entries[2].isCurrent, 0);
    EXPECT_EQ(GoToTarget(three, 0), -1);
    EXPECT_EQ(GoToTarget(three, 3), -1);
    EXPECT_EQ(GoToTarget(three, 1), 1);
    // With no current entry (the shown file left the list) next is the first.
    SetCurrentEntry(three, -1);
    EXPECT_EQ(PageTarget(three, PageStep::Next), 0);
    EXPECT_EQ(PageTarget(three, PageStep::Previous), 2);

    FolderList one = MakeList({{u"a"}}, 0);
    EXPECT_EQ(PageTarget(one, PageStep::Next), -1);
    EXPECT_EQ(PageTarget(one, PageStep::Previous), -1);
    EXPECT_EQ(PageTarget(FolderList{}, PageStep::First), -1);
}

TEST(FolderList, SelectionQueries) {
    FolderList list = MakeList({{u"a"}, {u"b"}, {u"c"}, {u"d"}}, 1);
    list.entries[1].isSelected = list.entries[3].isSelected = 1;
    EXPECT_EQ(CountSelectedEntries(list), 2);
    EXPECT_EQ(NextSelectedEntry(list, 0), 1);
    EXPECT_EQ(NextSelectedEntry(list, 2), 3);
    EXPECT_EQ(NextSelectedEntry(list, 4), -1);
    EXPECT_TRUE(IsCurrentEntrySelected(list));
    EXPECT_EQ(EntryPath(list, 2), u"C:\\Pictures\\c");
    EXPECT_EQ(FindEntry(list, u"c"), 2);
    EXPECT_EQ(FindEntry(list, u"C"), -1);
}

TEST(FolderList, SelectMenuAndPathListForTheShell) {
    Spec png{u"a.png"}, jpeg{u"b.jpg"}, png2{u"c.png"};
    png.format = png2.format = 0x120;
    jpeg.format = 0x30;
    FolderList list = MakeList({png, jpeg, png2, {u"d.tif"}});
    EXPECT_TRUE(SelectedPathList(list).empty());

    list.entries[1].isSelected = 1;
    SelectFormat(list, 0x123); // variant bits do not count; b.jpg is deselected
    const auto paths = [](std::u16string a, std::u16string b) {
        return u"C:\\Pictures\\" + a + u'\0' + u"C:\\Pictures\\" + b + u'\0' + u'\0';
    };
    EXPECT_EQ(SelectedPathList(list), paths(u"a.png", u"c.png"));

    ChangeSelection(list, Selection::Invert);
    EXPECT_EQ(SelectedPathList(list), paths(u"b.jpg", u"d.tif"));
    ChangeSelection(list, Selection::All);
    EXPECT_EQ(CountSelectedEntries(list), 4);
    ChangeSelection(list, Selection::None);
    EXPECT_EQ(CountSelectedEntries(list), 0);
}

TEST(FolderList, RemovingSelectedEntriesMovesTheCurrentEntry) {
    struct Case {
        std::vector<int> selected;
        int current;
        int result;
        const char16_t* names;
        int newCurrent;
    } cases[] = {
        {{1}, 1, -1, u"a c d ", 1}, // the follower becomes current
        {{3}, 3, -1, u"a b c ", 2}, // the last removed: the new last
        {{0, 1}, 3, 1, u"c d ", 1}, // indices before the current shift
        {{2}, 0, 1, u"a b d ", 0},  {{0, 1, 2, 3}, 2, 0, u"", -1},
    };
    for (const Case& c : cases) {
        FolderList list = MakeList({{u"a"}, {u"b"}, {u"c"}, {u"d"}}, c.current);
        for (int i : c.selected) {
            list.entries[i].isSelected = 1;
            list.entries[i].thumbPixels = static_cast<uint8_t*>(ILAlloc(nullptr, 16));
        }
        EXPECT_EQ(RemoveSelectedEntries(list), c.result);
        EXPECT_EQ(Names(list), c.names);
        EXPECT_EQ(list.current, c.newCurrent);
        int flagged = 0;
        for (const FileEntry& e : list.entries)
            flagged += e.isCurrent;
        EXPECT_EQ(flagged, c.newCurrent >= 0 ? 1 : 0);
        if (c.result == 0) {
            EXPECT_TRUE(list.folder.empty());
        }
    }
}

TEST(FolderList, RemovingTheCurrentEntry) {
    FolderList list = MakeList({{u"a"}, {u"b"}}, 1);
    EXPECT_TRUE(RemoveCurrentEntry(list));
    EXPECT_EQ(Names(list), u"a ");
    EXPECT_EQ(list.current, 0);
    EXPECT_FALSE(RemoveCurrentEntry(list));
    EXPECT_TRUE(list.entries.empty());
    EXPECT_EQ(list.current, -1);
}

TEST(FolderList, SavedFileRefreshesItsEntryOrJoinsSortedByName) {
    FolderList list = MakeList({{u"a.png"}, {u"c.png"}, {u"e.png"}}, 1);
    bool added = true;
    // Saving over the shown file refreshes it: its thumbnail goes, it stays
    // current.
    list.entries[1].thumbPixels = static_cast<uint8_t*>(ILAlloc(nullptr, 16));
    list.entries[1].thumbState = PackThumbState(2, 2, 8);
    list.entries[1].isLink = 1;
    EXPECT_EQ(TakeSavedEntry(list, u"c.png", added), 1);
    EXPECT_FALSE(added);
    EXPECT_EQ(list.entries[1].thumbPixels, nullptr);
    EXPECT_EQ(list.entries[1].thumbState, 0u);
    EXPECT_EQ(list.entries[1].isLink, 0);
    // Another letter case names the same file.
    EXPECT_EQ(TakeSavedEntry(list, u"E.PNG", added), 2);
    EXPECT_FALSE(added);
    // A new name joins at the end, then sorts into place; the current entry
    // stays the shown file.
    EXPECT_EQ(TakeSavedEntry(list, u"b.png", added), 3);
    EXPECT_TRUE(added);
    SortEntries(list, kSortName, NoDraw);
    EXPECT_EQ(Names(list), u"a.png b.png c.png e.png ");
    EXPECT_EQ(list.current, 2);
    // A name too long for an entry is not listed.
    EXPECT_EQ(TakeSavedEntry(list, std::u16string(kEntryNameUnits, u'x'), added), -1);
    EXPECT_EQ(list.entries.size(), 4u);
}

TEST(FolderList, NamesAndThumbStates) {
    FileEntry e;
    EXPECT_TRUE(SetEntryName(e, std::u16string(219, u'x')));
    EXPECT_FALSE(SetEntryName(e, std::u16string(220, u'y')));
    EXPECT_EQ(EntryName(e).size(), 219u);

    const uint32_t state = PackThumbState(192, 144, 576);
    const ThumbGeometry g = UnpackThumbState(state);
    EXPECT_EQ(g.width, 192u);
    EXPECT_EQ(g.height, 144u);
    EXPECT_EQ(g.stride, 576u);
    EXPECT_EQ(UnpackThumbState(kThumbClaimed).width, 0u);
}

TEST(ListLayout, RowsAndScrolling) {
    EXPECT_EQ(ListRowHeight(0), 80);
    EXPECT_EQ(ListRowHeight(192), 196);
    EXPECT_EQ(ListVisibleRows(439, 80), 5);
    EXPECT_EQ(ListVisibleRows(438, 80), 5);
    EXPECT_EQ(ListVisibleRows(398, 80), 4);
    EXPECT_EQ(ClampThumbnailSize(-5), 0);
    EXPECT_EQ(ClampThumbnailSize(100), 96);
    EXPECT_EQ(ClampThumbnailSize(4000), 192);

    // current, first row, visible, count -> first row
    EXPECT_EQ(FirstRowShowing(7, 0, 5, 10), 3); // becomes the last visible
    EXPECT_EQ(FirstRowShowing(2, 0, 5, 10), 0);
    EXPECT_EQ(FirstRowShowing(1, 4, 5, 10), 1); // above: becomes the first
    EXPECT_EQ(FirstRowShowing(6, 2, 0, 10), 6); // no row fits
    EXPECT_EQ(FirstRowShowing(-1, 4, 5, 10), 4);
    EXPECT_EQ(ClampListScroll(9, 5, 10), 5);
    EXPECT_EQ(ClampListScroll(3, 5, 2), 0);
    EXPECT_EQ(FitFirstRow(8, 5, 10), 5);
    EXPECT_EQ(FitFirstRow(2, 5, 10), 2);
}

TEST(ListLayout, ThumbnailsAreClaimedFromTheFirstVisibleRowOn) {
    FolderList list = MakeList({{u"a"}, {u"b"}, {u"c"}, {u"d"}, {u"e"}});
    list.entries[3].thumbState = PackThumbState(10, 10, 32);
    std::vector<int> order;
    for (int i; (i = ClaimNextThumbnail(list, 5, 2)) >= 0;)
        order.push_back(i);
    EXPECT_EQ(order, (std::vector<int>{2, 4, 0, 1}));
    EXPECT_EQ(ClaimNextThumbnail(list, 0, 0), -1);
}

TEST(ListLayout, Title) {
    FolderList list = MakeList(
        {{u"a"}, {u"b"}, {u"c"}, {u"d"}, {u"e"}, {u"f"}, {u"g"}, {u"h"}, {u"i"}, {u"j"}}, 2);
    EXPECT_EQ(ListTitle(list, false), u"Image 3/10 in C:\\Pictures");
    EXPECT_EQ(ListTitle(list, true), u"updating directory list...");
    EXPECT_EQ(ListTitle(FolderList{}, false), u"no directory list");
}

} // namespace
