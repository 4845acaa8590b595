// The SGI codec against netpbm and ImageMagick: files made by pnmtosgi in
// both storages, the corpus files and the files we write are read by them
// and by us and compared sample by sample; small files built byte by byte
// pin the header refusals and the run-length checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "pam_oracle.h"
#include "support/files.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

using Bytes = std::vector<uint8_t>;

struct SgiSpec {
    uint8_t storage = 0, bytes = 1;
    uint16_t dimension = 3, width = 2, height = 2, channels = 1;
    uint32_t colorMap = 0;
    Bytes data;
};

Bytes MakeSgi(const SgiSpec& s) {
    Bytes b(512 + s.data.size(), 0);
    auto put16 = [&](size_t at, uint32_t v) {
        b[at] = uint8_t(v >> 8);
        b[at + 1] = uint8_t(v);
    };
    put16(0, 0x01DA);
    b[2] = s.storage;
    b[3] = s.bytes;
    put16(4, s.dimension);
    put16(6, s.width);
    put16(8, s.height);
    put16(10, s.channels);
    put16(104, s.colorMap >> 16);
    put16(106, s.colorMap);
    std::copy(s.data.begin(), s.data.end(), b.begin() + 512);
    return b;
}

class SgiTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        if (!HaveTool("sgitopnm") || !HaveTool("convert"))
            GTEST_SKIP() << "netpbm or ImageMagick missing";
    }
    fs::path WriteSgi(const Bytes& bytes) {
        const fs::path p = dir / "t.sgi";
        WriteBytes(p, bytes);
        return p;
    }
    // Ours and the peer's readings agree: ImageMagick's, which keeps
    // alpha, for files with it, else netpbm's where it reads the file.
    void ExpectAsPeer(const fs::path& p, const std::string& what) {
        OwnedImage image;
        ASSERT_EQ(Load(p, &image), IL_OK) << what << ": " << LastError();
        const bool alpha = ILHasAlpha(image.type);
        Pam want = NetpbmPam(alpha ? "convert '" + p.string() + "' pam:-"
                                   : "sgitopnm '" + p.string() + "'");
        // netpbm refuses run-length rows without their closing 0 packet.
        if (!want.depth) want = NetpbmPam("convert '" + p.string() + "' pam:-");
        ASSERT_GT(want.depth, 0u) << what;
        EXPECT_TRUE(SamePam(OurPam(image, want.depth), want)) << what;
    }
};

TEST_F(SgiTest, DecodesAsPeersDo) {
    const std::string ppm = (dir / "in.ppm").string(), deep = (dir / "deep.ppm").string();
    ASSERT_EQ(Shell("pgmramp -diag 29 11 | pgmtoppm red-cyan >'" + ppm + "' 2>/dev/null"), 0);
    ASSERT_EQ(Shell("pamdepth 65535 <'" + ppm + "' >'" + deep + "' 2>/dev/null"), 0);
    const struct {
        const char* name;
        std::string command;
    } made[] = {
        {"RGB verbatim", "pnmtosgi -verbatim <'" + ppm + "'"},
        {"RGB run-length", "pnmtosgi -rle <'" + ppm + "'"},
        {"grey run-length", "ppmtopgm <'" + ppm + "' | pnmtosgi -rle"},
        {"16-bit run-length", "pnmtosgi -rle <'" + deep + "'"},
        {"16-bit verbatim", "pnmtosgi -verbatim <'" + deep + "'"},
    };
    for (const auto& m : made) {
        const fs::path p = dir / "made.sgi";
        ASSERT_EQ(Shell("(" + m.command + ") >'" + p.string() + "' 2>/dev/null"), 0) << m.name;
        ExpectAsPeer(p, m.name);
    }
    for (const char* name :
         {"libvips-test-images/sgi/silicongraphics.sgi",
          "zigimg-test-suite/sgi/sample-rgb48be-rle.sgi",
          "zigimg-test-suite/sgi/sample-rgb48be.sgi", "zigimg-test-suite/sgi/sample-rgba.sgi",
          "zigimg-test-suite/sgi/sample-rgba-rle.sgi",
          "zigimg-test-suite/sgi/sample-blackwhite.sgi"}) {
        const fs::path p = fs::path(VX_CORPUS_DIR) / name;
        if (fs::exists(p)) ExpectAsPeer(p, name);
    }
}

TEST_F(SgiTest, HeaderRefusalsAndRuns) {
    struct Case {
        const char* name;
        SgiSpec spec;
        ILResult result;
    } cases[] = {
        {"storage 2", {.storage = 2, .data = Bytes(4)}, IL_REFUSED_CONTENTS},
        {"colour map 1", {.colorMap = 1, .data = Bytes(4)}, IL_FAILED},
        {"5 channels", {.channels = 5, .data = Bytes(20)}, IL_INVALID_HEADER},
        {"3 bytes per channel", {.bytes = 3, .data = Bytes(12)}, IL_INVALID_HEADER},
        {"dimension 4", {.dimension = 4, .data = Bytes(4)}, IL_INVALID_HEADER},
        // The tables of 2 rows of 1 channel: offsets 528, 531; lengths 3,
        // 3. The first row's packets give 3 samples for a width of 2.
        {"packets past the width",
         {.storage = 1,
          .data = {0, 0, 2, 16, 0, 0, 2, 19, 0, 0, 0, 3, 0, 0, 0, 3, 0x83, 1, 0, 0x02, 7, 0}},
         IL_FAILED},
        {"short data", {.data = {1, 2, 3}}, IL_PARTIAL},
        // Run-length rows without their tables: nothing to show.
        {"tables cut short", {.storage = 1, .data = Bytes(4)}, IL_FAILED},
    };
    for (const Case& c : cases) {
        OwnedImage image;
        EXPECT_EQ(Load(WriteSgi(MakeSgi(c.spec)), &image), c.result) << c.name;
    }
    // Dimension 1 is one row whatever the height says; 2 channels are grey
    // with alpha, run-length rows: a run of 2 and a literal of 2.
    OwnedImage image;
    ASSERT_EQ(Load(WriteSgi(MakeSgi({.dimension = 1, .height = 500, .data = {4, 5}})), &image),
              IL_OK);
    EXPECT_EQ(image.height, 1u);
    ASSERT_EQ(Load(WriteSgi(MakeSgi({.storage = 1,
                                     .height = 1,
                                     .channels = 2,
                                     .data = {0, 0, 2, 16, 0,    0, 2, 19,   0,   0,   0, 3,
                                              0, 0, 0, 4,  0x02, 9, 0, 0x82, 200, 100, 0}})),
                   &image),
              IL_OK);
    EXPECT_EQ(image.type, IL_GREY_A8);
    EXPECT_EQ(Bytes(Row(image, 0), Row(image, 0) + 4), (Bytes{9, 200, 9, 100}));
}

TEST_F(SgiTest, SavedFilesReadBackInPeersAndHere) {
    for (const ILPixelType type : {IL_GREY8, IL_GREY_A8, IL_BGR8, IL_BGRA8, IL_BGR16, IL_GREY16}) {
        OwnedImage image;
        ASSERT_EQ(ILReallocImage(&image, 17, 5, type, nullptr), IL_OK);
        for (uint32_t y = 0; y < image.height; ++y)
            for (int64_t i = 0; i < image.stride; ++i)
                image.data[y * image.stride + i] = static_cast<uint8_t>(i * 29 + y * 53);
        const fs::path p = dir / "s.sgi";
        ASSERT_EQ(Save(p, image), IL_OK) << LastError();
        OwnedImage back;
        ASSERT_EQ(Load(p, &back), IL_OK);
        const uint32_t depth =
            (ILPixelModel(type) == IL_MODEL_GRAY ? 1 : 3) + (ILHasAlpha(type) ? 1 : 0);
        EXPECT_TRUE(SamePam(OurPam(back, depth), OurPam(image, depth))) << std::hex << type;
        ExpectAsPeer(p, "saved");
    }
    // Planes R, G, B, A from the bottom row up.
    OwnedImage rgba;
    ASSERT_EQ(ILReallocImage(&rgba, 1, 2, IL_BGRA8, nullptr), IL_OK);
    const uint8_t top[4] = {1, 2, 3, 4}, bottom[4] = {5, 6, 7, 8};
    std::memcpy(rgba.data, top, 4);
    std::memcpy(rgba.data + rgba.stride, bottom, 4);
    const fs::path p = dir / "rgba.sgi";
    ASSERT_EQ(Save(p, rgba), IL_OK);
    const Bytes b = ReadBytes(p);
    ASSERT_EQ(b.size(), 512u + 8);
    EXPECT_EQ(b[11], 4);   // channels
    EXPECT_EQ(b[19], 255); // maximum
    EXPECT_EQ(Bytes(b.begin() + 512, b.end()), (Bytes{7, 3, 6, 2, 5, 1, 8, 4}));

    OwnedImage wide;
    ASSERT_EQ(ILReallocImage(&wide, 70000, 1, IL_GREY8, nullptr), IL_OK);
    const fs::path q = dir / "wide.sgi";
    EXPECT_EQ(Save(q, wide), IL_BAD_ARGUMENT);
    EXPECT_FALSE(fs::exists(q));
}

} // namespace
