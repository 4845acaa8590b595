#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imglib/format.h"
#include "imglib/io/path.h"
#include "imglib/ops/alpha.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/gauss.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/resample.h"
#include "imglib/ops/ops_support.h"
#include "viewer/actions/action_apply.h"
#include "viewer/actions/history_push.h"
#include "viewer/actions/replay_plan.h"

namespace {

using vxtest::Image;

// Records what reaches the viewer's side; answers `result`.
struct FakeHost : ActionHost {
    std::vector<std::string> calls;
    bool result = true;
    bool ChangeMode(const ModeBlock&) override { return Call("mode"); }
    bool WriteText(const WriteTextBlock&, const char16_t* text) override {
        return Call(text ? "text" : "no text");
    }
    std::u16string LibraryPath(const std::u16string&) override {
        Call("path");
        return {}; // no such file
    }
    bool Call(const char* what) {
        calls.push_back(what);
        return result;
    }
};

template <typename Block>
Action Make(int32_t type, const Block& b) {
    uint8_t bytes[980] = {};
    EncodeBlock(b, bytes);
    Action a;
    EXPECT_TRUE(a.Set(type, bytes));
    return a;
}

AlphaBlock OfKind(int32_t kind) {
    AlphaBlock b;
    b.kind = kind;
    return b;
}

Action MakeInt(int32_t type, int32_t v) {
    uint8_t bytes[4];
    EncodeInt(v, bytes);
    Action a;
    EXPECT_TRUE(a.Set(type, bytes));
    return a;
}

TEST(ActionApply, CropMarginsGiveWayAndSizesAreBounded) {
    struct Case {
        MarginsBlock m;
        uint32_t w, h;
        CropRect want;
    };
    const Case cases[] = {
        {{10, 20, 5, 5}, 100, 50, {10, 5, 70, 40}},
        {{600, 600, 0, 0}, 1000, 10, {600, 0, 1, 10}}, // the right margin gives way
        {{0, 0, 30, 40}, 10, 50, {0, 30, 10, 1}},      // bottom first
        {{5, 0, 0, 0}, 3, 10, {2, 0, 1, 10}},          // then the left one
        {{INT32_MAX, INT32_MAX, 0, 0}, 1000, 10, {999, 0, 1, 10}},
        {{-5, 0, 0, 0}, 10, 10, {-5, 0, 15, 10}},
    };
    for (const Case& c : cases) {
        CropRect r{};
        ASSERT_TRUE(CropRectOf(c.m, c.w, c.h, &r));
        EXPECT_EQ(std::vector<int32_t>({r.x, r.y, r.width, r.height}),
                  std::vector<int32_t>({c.want.x, c.want.y, c.want.width, c.want.height}));
    }
    CropRect r;
    EXPECT_FALSE(CropRectOf({INT32_MIN, INT32_MIN, 0, 0}, 10, 10, &r));
    EXPECT_FALSE(ExpandRectOf({INT32_MAX, 1, 0, 0}, 10, 10, &r));
    EXPECT_FALSE(ExpandRectOf({-1, 0, 0, 0}, 10, 10, &r));
    ASSERT_TRUE(ExpandRectOf({1, 2, 3, 4}, 10, 10, &r));
    EXPECT_EQ(std::vector<int32_t>({r.x, r.y, r.width, r.height}),
              std::vector<int32_t>({-1, -3, 13, 17}));
}

TEST(ActionApply, ProjectionSizes) {
    ILProjectionParams p{};
    p.sourceProjection = 2; // angular
    p.targetProjection = 0; // latitude/longitude
    int32_t w, h;
    p.sizeMode = 2;
    ASSERT_TRUE(ProjectionOutputSize(p, 300, 200, &w, &h));
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 300);
    p.sizeMode = 1;
    ASSERT_TRUE(ProjectionOutputSize(p, 300, 200, &w, &h));
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 200);
    p.sourceProjection = 1;
    p.targetProjection = 3;
    ASSERT_TRUE(ProjectionOutputSize(p, 300, 200, &w, &h));
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 200);
    p.sizeMode = 0;
    p.width = 0;
    EXPECT_FALSE(ProjectionOutputSize(p, 300, 200, &w, &h));
}

TEST(ActionApply, RefusalsLeaveTheImageAndReachNothing) {
    Image image(8, 6, IL_BGR8);
    vxtest::FillSeeded(&image, 3);
    const auto before = vxtest::Packed(image);
    FakeHost host;
    Action empty;
    Action none;
    none.type = ACTION_NONE;
    Action blockless;
    blockless.type = ACTION_CROP;
    Action unknown;
    unknown.type = 20;
    Action badMode = Make(ACTION_MODE, ModeBlock{40911, 9, 0});
    Action badFilter = Make(ACTION_RESAMPLE, ResampleBlock{4, 4, 200});
    Action badProjection = Make(ACTION_PROJECTION_3D, ILProjectionParams{});
    badProjection.block[46] = 7;
    for (const Action* a :
         {&empty, &none, &blockless, &unknown, &badMode, &badFilter, &badProjection})
        EXPECT_FALSE(ApplyAction(*a, nullptr, &image, host)) << a->type;
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(vxtest::Packed(image), before);

    // Open, Save and saving the alpha channel succeed without a change.
    Action open;
    const OpenBlock ob = MakeOpenBlock(OPEN_FROM_CLIPBOARD, u"", "");
    ASSERT_TRUE(open.Set(ACTION_OPEN, ob.bytes));
    EXPECT_TRUE(ApplyAction(open, nullptr, &image, host));
    EXPECT_TRUE(
        ApplyAction(Make(ACTION_ALPHA_CHANNEL, OfKind(ALPHA_SAVE_FILE)), nullptr, &image, host));
    EXPECT_EQ(vxtest::Packed(image), before);
    EXPECT_TRUE(host.calls.empty());

    Image noPixels;
    EXPECT_FALSE(ApplyAction(MakeInt(ACTION_ROTATE, 90), nullptr, &noPixels, host));
}

TEST(ActionApply, HostOperationsGetTheirBlocks) {
    Image image(4, 4, IL_BGR8);
    FakeHost host;
    const Action mode = Make(ACTION_MODE, ModeBlock{40913, 1, 2});
    host.result = false;
    EXPECT_FALSE(ApplyAction(mode, nullptr, &image, host));
    host.result = true;
    EXPECT_TRUE(ApplyAction(mode, nullptr, &image, host));
    EXPECT_TRUE(ApplyAction(Make(ACTION_WRITE_TEXT, WriteTextBlock{}), nullptr, &image, host));
    AlphaBlock load = OfKind(ALPHA_LOAD_FILE);
    load.path = u"C:\\mask.png";
    EXPECT_FALSE(ApplyAction(Make(ACTION_ALPHA_CHANNEL, load), nullptr, &image, host));
    EXPECT_EQ(host.calls, (std::vector<std::string>{"mode", "mode", "no text", "path"}));
}

// The viewer's host: Write Text goes to the library.
struct TextHost : FakeHost {
    ILHandle* h = nullptr;
    ILImage* image = nullptr;
    bool WriteText(const WriteTextBlock& b, const char16_t* text) override {
        return ApplyWriteText(b, text, h, image);
    }
};

TEST(ActionApply, RecordedWriteTextReplaysAsTheLibraryWritesIt) {
    WriteTextBlock b;
    b.font.height = -26;
    b.font.weight = 700;
    b.font.italic = 1;
    std::strcpy(b.font.faceName, "Liberation Serif");
    b.color.Set(1.0f, 0.5f, 0.1f);
    b.color.a = 0.8f;
    b.alignment = 2 | kRightToLeftReading;
    b.anchorX = -6;
    b.anchorY = 4;
    b.anchor = 5;
    b.orientation = 3;
    b.dialogSetting = 2;
    b.effect = -0.6f;
    b.effectBlur = 2;
    b.effectX = 3;
    b.effectY = -2;
    b.text = u"Replayed\ntext \u05D0";
    ActionList history;
    ASSERT_TRUE(PushHistoryWriteText(history, b));

    // The same settings written out by hand for the library.
    WriteTextParams p = {};
    p.font.height = -26;
    p.font.weight = 700;
    p.font.italic = 1;
    std::strcpy(p.font.faceName, "Liberation Serif");
    p.color = b.color;
    p.lineAlign = 2 | IL_DT_RTLREADING;
    p.offsetX = -6;
    p.offsetY = 4;
    p.anchor = 5;
    p.orientation = 3;
    p.alphaWrite = 2;
    p.effect = -0.6f;
    p.blur = 2;
    p.effectX = 3;
    p.effectY = -2;

    ILHandle* h = ILCreateHandle("write text replay");
    Image replayed(90, 160, IL_BGRA8), direct(90, 160, IL_BGRA8);
    vxtest::FillSeeded(&replayed, 7);
    vxtest::FillSeeded(&direct, 7);
    const std::vector<uint8_t> before = vxtest::Packed(direct);
    TextHost host;
    host.h = h;
    host.image = &replayed;
    ASSERT_TRUE(ApplyAction(*history.At(0), h, &replayed, host));
    ASSERT_EQ(ILWriteText(h, &direct, &p, u"Replayed\ntext \u05D0"), IL_OK);
    EXPECT_NE(vxtest::Packed(direct), before);
    EXPECT_EQ(vxtest::Packed(replayed), vxtest::Packed(direct));

    // Without its text, or with an anchor no dialog makes, nothing is drawn.
    Image untouched(90, 160, IL_BGRA8);
    vxtest::FillSeeded(&untouched, 7);
    host.image = &untouched;
    b.text.clear();
    ASSERT_TRUE(PushHistoryWriteText(history, b));
    EXPECT_FALSE(ApplyAction(*history.At(1), h, &untouched, host));
    b.anchor = 9;
    EXPECT_FALSE(ApplyWriteText(b, u"x", h, &untouched));
    EXPECT_EQ(vxtest::Packed(untouched), before);
    ILDestroyHandle(h);
}

TEST(ActionApply, ExpandOnIndexedUsesTheNearestEntry) {
    Image image(2, 2, IL_INDEX8);
    image.palette = new ILPalette(3);
    image.palette->SetEntryBGR8(0, 0, 0, 0);
    image.palette->SetEntryBGR8(1, 0, 0, 250);
    image.palette->SetEntryBGR8(2, 250, 250, 250);
    ExpandBlock b{{1, 0, 0, 0}, {}};
    b.color.Set(1, 0, 0); // red, nearest to entry 1
    FakeHost host;
    ASSERT_TRUE(ApplyAction(Make(ACTION_EXPAND, b), nullptr, &image, host));
    ASSERT_EQ(image.width, 3u);
    EXPECT_EQ(image.data[0], 1);
    EXPECT_EQ(image.data[image.stride], 1);
}

std::u16string CorpusPicture() {
    const std::string path = std::string(VX_CORPUS_DIR) + "/pillow-tests/png/hopper.png";
    return std::filesystem::exists(path) ? ILUtf8ToPath(path) : std::u16string();
}

// The geometry edits of a history, each applied with the library directly.
std::vector<Action> Edits() {
    ILAffineParams affine{15, 0.9, 0.9, 0.05, 0, {}, 1, 0, {0, 0}};
    return {MakeInt(ACTION_ROTATE, 90),
            Make(ACTION_CROP, MarginsBlock{3, 5, 7, 2}),
            Make(ACTION_SHIFT, ShiftBlock{11, -4}),
            MakeInt(ACTION_MIRROR, 1),
            Make(ACTION_AFFINE, affine),
            Make(ACTION_RESAMPLE, ResampleBlock{80, 60, 5}),
            Make(ACTION_GAUSS_FILTER, GaussBlock{1, 1.0f, 2, 0, {1, 1, 1, 1}}),
            MakeInt(ACTION_INVERT, 0),
            Make(ACTION_COLOR_FILTER, ColorFilterBlock{200, 40, 30, 60}),
            Make(ACTION_ALPHA_CHANNEL, AlphaBlock{ALPHA_ADD_MASK, 5, 0.75f, 2, 0, {}})};
}

void ApplyDirectly(const Action& a, ILHandle* h, ILImage* image) {
    switch (a.type) {
        case ACTION_ROTATE:
            ASSERT_EQ(ILRotateImage(h, image, 90), 1);
            break;
        case ACTION_CROP:
            ASSERT_EQ(
                ILCropImage(image, nullptr, 3, 7, image->width - 8, image->height - 9, nullptr), 1);
            break;
        case ACTION_SHIFT:
            ASSERT_EQ(ILShiftImage(image, nullptr, 11, -4), 1);
            break;
        case ACTION_MIRROR:
            ASSERT_EQ(ILMirrorImage(h, image, 1), 1);
            break;
        case ACTION_AFFINE: {
            ILAffineParams p{15, 0.9, 0.9, 0.05, 0, {}, 1, 0, {0, 0}};
            ASSERT_EQ(ILAffineTransform(h, image, nullptr, &p), 1);
            break;
        }
        case ACTION_RESAMPLE:
            ASSERT_EQ(ILResampleImage(h, image, 80, 60, 5), 1);
            break;
        case ACTION_GAUSS_FILTER: {
            ILGaussParams p;
            ILGaussParamsInit(&p, 1, 1.0f, 2, 0);
            ILGaussParamsSetChannels(&p, 1, 1, 1, 1);
            ASSERT_EQ(ILGaussFilterInPlace(&p, h, image), 1);
            break;
        }
        case ACTION_INVERT:
            ASSERT_EQ(ILInvertImage(image), 1);
            break;
        case ACTION_COLOR_FILTER: {
            ILColorFilterParams p;
            ILColorFilterInit(&p, 40, 60, 200, 30);
            ASSERT_EQ(ILColorFilterInPlace(&p, h, image), 1);
            break;
        }
        case ACTION_ALPHA_CHANNEL:
            ASSERT_EQ(ILAddAlpha(h, image, 0.75f, 5, 2), 1);
            break;
        default:
            FAIL();
    }
}

// Undo, redo and jumps replay to the very pixels of applying the edits
// directly, on a real picture; a snapshot that cannot be loaded leaves the
// image and the cursor as they were.
TEST(ActionReplay, UndoRedoAndJumpsMatchDirectEdits) {
    const std::u16string picture = CorpusPicture();
    if (picture.empty()) GTEST_SKIP() << "corpus missing";
    std::unique_ptr<ILHandle, bool (*)(ILHandle*)> h(ILCreateHandle("test"), &ILDestroyHandle);
    Image image;
    ASSERT_GE(ILLoadImage(h.get(), picture.c_str(), &image, nullptr), 1);

    const std::string dir = ::testing::TempDir();
    const std::u16string snapshot = ILUtf8ToPath(dir + "/vx_actions_snapshot.raw");
    ASSERT_TRUE(ILSaveRawImage(&image, snapshot.c_str()));

    const std::vector<Action> edits = Edits();
    std::vector<std::vector<uint8_t>> states{vxtest::Packed(image)};
    std::vector<std::pair<uint32_t, uint32_t>> sizes{{image.width, image.height}};
    ActionList history;
    const OpenBlock open = MakeOpenBlock(OPEN_FROM_FILE, picture, "");
    ASSERT_TRUE(PushHistoryOpen(history, open));
    SetHistoryCursor(history, 0);
    FakeHost host;
    for (const Action& a : edits) {
        ApplyDirectly(a, h.get(), &image);
        states.push_back(vxtest::Packed(image));
        sizes.emplace_back(image.width, image.height);
        ASSERT_TRUE(history.AppendCopy(a));
    }
    const auto apply = [&](const Action& a) { return ApplyAction(a, h.get(), &image, host); };
    auto expectState = [&](size_t n, const char* what) {
        EXPECT_EQ(history.cursor, static_cast<int32_t>(n)) << what;
        EXPECT_EQ(std::make_pair(image.width, image.height), sizes[n]) << what;
        EXPECT_TRUE(vxtest::Packed(image) == states[n]) << what;
    };
    const size_t last = edits.size();
    ASSERT_TRUE(CarryOutReplay(PlanUndo(history), history, &image, snapshot.c_str(), apply));
    expectState(last - 1, "undo");
    ASSERT_TRUE(CarryOutReplay(PlanUndo(history), history, &image, snapshot.c_str(), apply));
    expectState(last - 2, "second undo");
    ASSERT_TRUE(CarryOutReplay(PlanRedo(history), history, &image, snapshot.c_str(), apply));
    expectState(last - 1, "redo");
    ASSERT_TRUE(CarryOutReplay(PlanJump(history, 1), history, &image, snapshot.c_str(), apply));
    expectState(1, "jump back");
    ASSERT_TRUE(CarryOutReplay(PlanJump(history, last), history, &image, snapshot.c_str(), apply));
    expectState(last, "jump forwards");

    const std::u16string missing = ILUtf8ToPath(dir + "/vx_actions_none.raw");
    EXPECT_FALSE(CarryOutReplay(PlanUndo(history), history, &image, missing.c_str(), apply));
    expectState(last, "failed snapshot");
    std::filesystem::remove(dir + "/vx_actions_snapshot.raw");
}

} // namespace
