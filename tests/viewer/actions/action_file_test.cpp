#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imglib/io/path.h"
#include "viewer/actions/action_blocks.h"
#include "viewer/actions/action_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Action MakeShift(int32_t dx, int32_t dy) {
    uint8_t block[kShiftBytes];
    EncodeBlock(ShiftBlock{dx, dy}, block);
    Action a;
    EXPECT_TRUE(a.Set(ACTION_SHIFT, block));
    return a;
}

Action MakeWriteText(const char16_t* text) {
    WriteTextBlock w;
    std::strcpy(w.font.faceName, "Sans");
    w.anchor = 4;
    uint8_t block[kWriteTextBytes];
    EncodeBlock(w, block);
    const char16_t* pointer = text;
    std::memcpy(block + kWriteTextPointerOffset, &pointer, sizeof pointer);
    Action a;
    EXPECT_TRUE(a.Set(ACTION_WRITE_TEXT, block));
    return a;
}

// One action of every type with a block made by its encoder (Open, Save,
// Invert and Swap with their zero or built blocks).
ActionList EveryType() {
    ActionList list;
    list.name = u"All";
    auto add = [&](int32_t type, const uint8_t* block) {
        EXPECT_TRUE(list.Append());
        EXPECT_TRUE(list.items.back().Assign(type, block));
    };
    uint8_t b[980] = {};
    add(ACTION_NONE, nullptr);
    const OpenBlock open = MakeOpenBlock(OPEN_FROM_FILE, u"/tmp/a.png", "");
    add(ACTION_OPEN, open.bytes);
    add(ACTION_SAVE, b);
    EncodeBlock(ModeBlock{40912, 1, 2}, b), add(ACTION_MODE, b);
    EncodeBlock(AlphaBlock{ALPHA_ADD_MASK, 3, 0.5f, 2, 0, {}}, b), add(ACTION_ALPHA_CHANNEL, b);
    EncodeBlock(ToneMapBlock{}, b), add(ACTION_TONEMAPPING, b);
    EncodeBlock(ColorFilterBlock{1, 2, 3, 4}, b), add(ACTION_COLOR_FILTER, b);
    EncodeBlock(GaussBlock{}, b), add(ACTION_GAUSS_FILTER, b);
    EncodeBlock(MarginsBlock{1, 2, 3, 4}, b), add(ACTION_CROP, b);
    EncodeBlock(ExpandBlock{{1, 2, 3, 4}, {}}, b), add(ACTION_EXPAND, b);
    EncodeBlock(ShiftBlock{5, 6}, b), add(ACTION_SHIFT, b);
    EncodeInt(90, b), add(ACTION_ROTATE, b);
    EncodeInt(1, b), add(ACTION_MIRROR, b);
    EncodeBlock(ResampleBlock{8, 9, 5}, b), add(ACTION_RESAMPLE, b);
    EncodeInt(0, b), add(ACTION_INVERT, b);
    add(ACTION_SWAP_RED_BLUE, b);
    EXPECT_TRUE(list.Append());
    list.items.back() = MakeWriteText(u"Hello");
    EncodeBlock(ILAffineParams{30, 1, 1, 0, 0, {}, 2, 0, {0, 0}}, b), add(ACTION_AFFINE, b);
    EncodeBlock(ILPerspectiveParams{{0, 0, 1, 0, 1, 1, 0, 1}, 1, 1, {}, 1, 2, {0, 0}}, b);
    add(ACTION_PERSPECTIVE, b);
    ILProjectionParams p{};
    p.sizeMode = 1;
    EncodeBlock(p, b), add(ACTION_PROJECTION_3D, b);
    return list;
}

bool SameAction(const Action& a, const Action& b) {
    if (a.type != b.type || (a.block == nullptr) != (b.block == nullptr)) return false;
    if (!a.block) return true;
    const uint32_t n = a.type == ACTION_WRITE_TEXT ? kWriteTextFileBytes : a.ParamSize();
    if (std::memcmp(a.block, b.block, n) != 0) return false;
    const char16_t* ta = ActionText(a);
    const char16_t* tb = ActionText(b);
    return (ta == nullptr) == (tb == nullptr) && (!ta || std::u16string(ta) == tb);
}

TEST(ActionFile, ListRoundTripsEveryTypeAndMatchesTheLayout) {
    const ActionList list = EveryType();
    Bytes bytes;
    ASSERT_TRUE(EncodeActionList(list, bytes));
    // Header: magic, version 257, count, name length, name.
    Bytes header{'V', 'x', 'A', 'L'};
    Put32(header, 257);
    Put32(header, list.Count());
    Put32(header, 3);
    for (char c : {'A', 'l', 'l'})
        header.insert(header.end(), {static_cast<uint8_t>(c), 0});
    ASSERT_EQ(Bytes(bytes.begin(), bytes.begin() + 22), header);
    // Every block at its size, Write Text as 104 bytes and "Hello" encoded.
    size_t expected = 22;
    for (const Action& a : list.items)
        expected += 4 + (a.type == ACTION_WRITE_TEXT ? 104 + 4 + 12 : a.ParamSize());
    EXPECT_EQ(bytes.size(), expected);

    ActionList back;
    ASSERT_TRUE(DecodeActionList(bytes, &back));
    EXPECT_EQ(back.name, u"All");
    ASSERT_EQ(back.Count(), list.Count());
    for (uint32_t i = 0; i < list.Count(); ++i)
        EXPECT_TRUE(SameAction(list.items[i], back.items[i])) << i;
    Bytes again;
    ASSERT_TRUE(EncodeActionList(back, again));
    EXPECT_EQ(again, bytes);
}

TEST(ActionFile, ListWithoutNameAndAnyVersion) {
    Bytes bytes{'V', 'x', 'A', 'L'};
    Put32(bytes, 0); // the version is not checked
    Put32(bytes, 1);
    Put32(bytes, 0);
    Put32(bytes, ACTION_ROTATE);
    Put32(bytes, 270);
    ActionList list;
    ASSERT_TRUE(DecodeActionList(bytes, &list));
    EXPECT_TRUE(list.name.empty());
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.items[0].block[1], 270 >> 8);
    Bytes out;
    ASSERT_TRUE(EncodeActionList(list, out));
    EXPECT_EQ(out[12], 0); // zero name length written back
}

// Malformed lists are refused and leave the list as it was.
TEST(ActionFile, MalformedListsAreRefused) {
    Bytes good;
    ASSERT_TRUE(EncodeActionList(EveryType(), good));
    auto with = [&](size_t offset, uint32_t v) {
        Bytes b = good;
        for (int i = 0; i < 4; ++i)
            b[offset + i] = static_cast<uint8_t>(v >> (8 * i));
        return b;
    };
    // The Write Text action's text count sits after the actions before it.
    size_t textCount = 22;
    for (const Action& a : EveryType().items) {
        if (a.type == ACTION_WRITE_TEXT) break;
        textCount += 4 + a.ParamSize();
    }
    textCount += 4 + 104;
    Bytes twelve(good.begin(), good.begin() + 12);
    Bytes noText = with(textCount, 0);
    const struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"12-byte header", twelve},
        {"other magic", with(0, 0x4C417856 ^ 0x20)},
        {"truncated", Bytes(good.begin(), good.end() - 1)},
        {"huge count", with(8, 0xFFFFFFFF)},
        {"count past the actions", with(8, EveryType().Count() + 1)},
        {"huge name length", with(12, 0x80000000)},
        {"unknown type", with(22, 20)},
        {"negative type", with(22, 0xFFFFFFFF)},
        {"wrapping text length", with(textCount, 0xFFFFFFFF)},
        {"text past the end", with(textCount, 0x7FFFFFFF)},
        {"text without its count", noText},
    };
    for (const auto& c : cases) {
        ActionList list;
        list.name = u"kept";
        ASSERT_TRUE(list.AppendCopy(MakeShift(1, 2)));
        EXPECT_FALSE(DecodeActionList(c.bytes, &list)) << c.what;
        EXPECT_EQ(list.name, u"kept") << c.what;
        EXPECT_EQ(list.Count(), 1u) << c.what;
    }
}

// A Write Text action without text cannot go into a list: the writer stops
// after its n = 0, and the file is not written.
TEST(ActionFile, WriteTextWithoutTextEndsTheList) {
    ActionList list;
    ASSERT_TRUE(list.AppendCopy(MakeWriteText(nullptr)));
    ASSERT_TRUE(list.AppendCopy(MakeShift(1, 1)));
    Bytes bytes;
    EXPECT_FALSE(EncodeActionList(list, bytes));
    EXPECT_EQ(bytes.size(), 16u + 4 + 104 + 4);
    EXPECT_FALSE(DecodeActionList(bytes, &list));
    EXPECT_EQ(list.Count(), 2u);
}

class ActionFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/vx_actions_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
    std::u16string Path(const char* leaf) { return ILUtf8ToPath(dir_ + "/" + leaf); }
    std::string dir_;
};

TEST_F(ActionFiles, ListFilesAreReplacedOnlyWhenComplete) {
    const std::u16string path = Path("fa.up");
    ActionList list = EveryType();
    ASSERT_TRUE(SaveActionListFile(path.c_str(), list));
    ActionList back;
    ASSERT_TRUE(LoadActionListFile(path.c_str(), &back));
    EXPECT_EQ(back.Count(), list.Count());

    ASSERT_TRUE(list.AppendCopy(MakeWriteText(nullptr)));
    EXPECT_FALSE(SaveActionListFile(path.c_str(), list));
    ASSERT_TRUE(LoadActionListFile(path.c_str(), &back)); // the old file stays
    EXPECT_EQ(back.Count(), list.Count() - 1);

    EXPECT_FALSE(SaveActionListFile(Path("missing/x.vxa").c_str(), back));
    EXPECT_FALSE(LoadActionListFile(Path("none.vxa").c_str(), &back));
    EXPECT_EQ(back.Count(), list.Count() - 1);
}

TEST_F(ActionFiles, StoreFindsPutsAndRemovesByTypeAndName) {
    const std::u16string path = Path("actions.adb");
    ActionStore store;
    EXPECT_FALSE(store.LoadFile(path.c_str())); // missing: empty
    EXPECT_EQ(store.Count(ACTION_NONE), 0);
    ASSERT_TRUE(store.Put(MakeShift(1, 1), u"a"));
    ASSERT_TRUE(store.Put(MakeWriteText(u"Hi"), u"a")); // same name, other type
    ASSERT_TRUE(store.Put(MakeWriteText(nullptr), u"empty"));
    EXPECT_EQ(store.Count(ACTION_NONE), 0); // added entries show after a load
    ASSERT_TRUE(store.SaveFile(path.c_str()));

    ASSERT_TRUE(store.LoadFile(path.c_str()));
    EXPECT_EQ(store.Count(ACTION_NONE), 3);
    EXPECT_EQ(store.Count(ACTION_WRITE_TEXT), 2);
    EXPECT_EQ(store.Count(-1), 0);
    Action a;
    std::u16string name;
    ASSERT_TRUE(store.Get(ACTION_WRITE_TEXT, 1, &a, &name));
    EXPECT_EQ(name, u"empty");
    EXPECT_EQ(ActionText(a), nullptr); // kept without text
    ASSERT_TRUE(store.Get(ACTION_WRITE_TEXT, 0, &a, nullptr));
    EXPECT_EQ(std::u16string(ActionText(a)), u"Hi");
    EXPECT_FALSE(store.Get(ACTION_WRITE_TEXT, 2, &a, &name));
    EXPECT_FALSE(store.Get(ACTION_SHIFT, 0, nullptr, nullptr));

    // Same type and name replaces; the store is written again.
    ASSERT_TRUE(store.Put(MakeShift(9, 9), u"a"));
    EXPECT_TRUE(store.NeedsSaving());
    ASSERT_TRUE(store.Remove(ACTION_WRITE_TEXT, 1));
    ASSERT_TRUE(store.SaveFile(path.c_str()));
    ASSERT_TRUE(store.LoadFile(path.c_str()));
    EXPECT_EQ(store.Count(ACTION_NONE), 2);
    ASSERT_TRUE(store.Get(ACTION_SHIFT, 0, &a, &name));
    EXPECT_EQ(a.block[0], 9);
    EXPECT_EQ(name, u"a");
}

TEST(ActionStoreBytes, ForeignOrBrokenDatabases) {
    ActionStore store;
    store.Put(MakeShift(1, 2), u"one");
    store.Put(MakeShift(3, 4), u"two");
    const Bytes good = store.Encode();
    ASSERT_EQ(good.size(), 12u + 2 * (4 + 8 + 224));
    store.Load(good);
    EXPECT_EQ(store.Count(ACTION_SHIFT), 2);

    Bytes version = good;
    version[4] = 2; // 258
    Bytes magic = good;
    magic[3] = 'L';
    Bytes huge = good;
    huge[11] = 0x10;
    for (const Bytes& b : {version, magic, huge}) {
        store.Load(b);
        EXPECT_EQ(store.Count(ACTION_NONE), 0);
    }
    // A broken second entry: the store keeps the first.
    Bytes broken = good;
    broken[12 + 236] = 77;
    store.Load(broken);
    EXPECT_EQ(store.Count(ACTION_NONE), 1);
    store.Load(Bytes(good.begin(), good.end() - 1));
    EXPECT_EQ(store.Count(ACTION_NONE), 1);
    // A Write Text entry whose text breaks off ends the store there.
    ActionStore texts;
    texts.Put(MakeWriteText(u"first"), u"one");
    texts.Put(MakeWriteText(u"second"), u"two");
    Bytes cut = texts.Encode();
    const size_t secondCount = 12 + (4 + 104 + 4 + 12 + 224) + 4 + 104;
    cut[secondCount] = 200; // 200 units announced, 7 there
    texts.Load(cut);
    EXPECT_EQ(texts.Count(ACTION_NONE), 1);

    // Names are terminated even when the file's are not.
    Bytes unterminated = good;
    std::memset(unterminated.data() + 12 + 12, 'A', 224);
    store.Load(unterminated);
    std::u16string name;
    ASSERT_TRUE(store.Get(ACTION_NONE, 0, nullptr, &name));
    EXPECT_EQ(name.size(), 111u);
}

} // namespace
