// The Sun raster reader against netpbm: files made by pnmtorast in its
// layouts, the corpus files and small files built byte by byte are read by
// rasttopnm and by us and compared sample by sample.
#include <gtest/gtest.h>

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

struct RasSpec {
    uint32_t width = 2, height = 2, depth = 8, type = 1;
    Bytes map{}; // R plane, G plane, B plane
    Bytes data{};
};

Bytes MakeRas(const RasSpec& s) {
    Bytes b;
    auto put = [&](uint32_t v) {
        b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    };
    put(0x59A66A95);
    put(s.width);
    put(s.height);
    put(s.depth);
    put(uint32_t(s.data.size()));
    put(s.type);
    put(s.map.empty() ? 0 : 1);
    put(uint32_t(s.map.size()));
    b.insert(b.end(), s.map.begin(), s.map.end());
    b.insert(b.end(), s.data.begin(), s.data.end());
    return b;
}

class RasTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        if (!HaveTool("rasttopnm") || !HaveTool("pamdepth")) GTEST_SKIP() << "netpbm missing";
    }
    fs::path WriteRas(const Bytes& bytes) {
        const fs::path p = dir / "t.ras";
        WriteBytes(p, bytes);
        return p;
    }
    void ExpectAsNetpbm(const fs::path& p, const std::string& what) {
        OwnedImage image;
        ASSERT_EQ(Load(p, &image), IL_OK) << what << ": " << LastError();
        const Pam want = NetpbmPam("rasttopnm '" + p.string() + "'");
        ASSERT_GT(want.depth, 0u) << what;
        EXPECT_TRUE(SamePam(OurPam(image, want.depth), want)) << what;
    }
};

TEST_F(RasTest, DecodesAsNetpbmDoes) {
    const std::string ppm = (dir / "in.ppm").string();
    ASSERT_EQ(Shell("pgmramp -diag 23 7 | pgmtoppm red-cyan >'" + ppm + "' 2>/dev/null"), 0);
    const struct {
        const char* name;
        std::string command;
    } made[] = {
        {"24-bit", "pnmtorast -standard <'" + ppm + "'"},
        {"24-bit encoded", "pnmtorast -rle <'" + ppm + "'"},
        {"8-bit mapped", "pnmquant 40 <'" + ppm + "' | pnmtorast -rle"},
        {"8-bit grey", "ppmtopgm <'" + ppm + "' | pnmtorast -standard"},
        {"1-bit", "ppmtopgm <'" + ppm + "' | pgmtopbm | pnmtorast -standard"},
        {"1-bit encoded", "ppmtopgm <'" + ppm + "' | pgmtopbm | pnmtorast -rle"},
    };
    for (const auto& m : made) {
        const fs::path p = dir / "made.ras";
        ASSERT_EQ(Shell("(" + m.command + ") >'" + p.string() + "' 2>/dev/null"), 0) << m.name;
        ExpectAsNetpbm(p, m.name);
    }
    // The RGB and XRGB samples are of type 3: R, G, B order.
    for (const char* name :
         {"zigimg-test-suite/ras/sample-8bit.ras",
          "zigimg-test-suite/ras/sample-8bit-grayscale.ras",
          "zigimg-test-suite/ras/sample-blackwhite.ras", "zigimg-test-suite/ras/sample-rgb24.ras",
          "zigimg-test-suite/ras/sample-xrgb32.ras"}) {
        const fs::path p = fs::path(VX_CORPUS_DIR) / name;
        if (fs::exists(p)) ExpectAsNetpbm(p, name);
    }
    // 32-bit pixels: pad, blue, green, red; pad, red, green, blue in type 3.
    for (const uint32_t type : {1u, 3u})
        ExpectAsNetpbm(WriteRas(MakeRas({.width = 2,
                                         .height = 1,
                                         .depth = 32,
                                         .type = type,
                                         .data = {0, 10, 20, 30, 0, 40, 50, 60}})),
                       "32-bit of type " + std::to_string(type));
    ExpectAsNetpbm(
        WriteRas(MakeRas(
            {.width = 2, .height = 1, .depth = 24, .type = 3, .data = {10, 20, 30, 40, 50, 60}})),
        "24-bit of type 3");
}

TEST_F(RasTest, PixelRules) {
    struct Case {
        const char* name;
        RasSpec spec;
        uint32_t depth; // of the PAM compared
        std::vector<uint16_t> want;
    } cases[] = {
        // Without a map a set bit is black.
        {"1-bit", {.width = 8, .height = 1, .depth = 1, .data = {0x80, 0}}, 1, {0, 65535, 65535}},
        // With the map black, white a set bit is white.
        {"1-bit mapped",
         {.width = 8, .height = 1, .depth = 1, .map = {0, 255, 0, 255, 0, 255}, .data = {0x80, 0}},
         1,
         {65535, 0}},
        // Width 13 at depth 8: rows of 14 bytes.
        {"padded rows",
         {.width = 13,
          .height = 2,
          .depth = 8,
          .data =
              [] {
                  Bytes d(28, 1);
                  d[13] = 99;
                  d[14] = 7;
                  return d;
              }()},
         1,
         std::vector<uint16_t>(13, 257)},
        {"escapes",
         {.width = 6, .height = 1, .type = 2, .data = {0x80, 3, 0x41, 0x80, 0, 0}},
         1,
         {0x4141, 0x4141, 0x4141, 0x4141, 0x8080}},
        // Five copies starting 2 bytes before a row end run on into the next.
        {"run across rows",
         {.width = 4, .height = 2, .type = 2, .data = {1, 2, 0x80, 4, 9, 3}},
         1,
         {257, 514, 9 * 257, 9 * 257, 9 * 257, 9 * 257, 9 * 257, 3 * 257}},
    };
    for (const Case& c : cases) {
        OwnedImage image;
        ASSERT_EQ(Load(WriteRas(MakeRas(c.spec)), &image), IL_OK) << c.name << ": " << LastError();
        const Pam ours = OurPam(image, c.depth);
        for (size_t i = 0; i < c.want.size(); ++i)
            EXPECT_EQ(ours.samples.at(i), c.want[i]) << c.name << " sample " << i;
    }
    // The row after the padded one starts at byte 14.
    OwnedImage image;
    ILInfo info;
    Bytes ramp;
    for (int plane = 0; plane < 3; ++plane)
        for (int i = 0; i < 256; ++i)
            ramp.push_back(uint8_t(i));
    ASSERT_EQ(
        Load(WriteRas(MakeRas({.depth = 8, .map = ramp, .data = {5, 6, 7, 8}})), &image, &info),
        IL_OK);
    EXPECT_EQ(image.type, IL_GREY8);
    EXPECT_EQ(info.colorType, uint32_t{IL_CT_GRAY});
}

TEST_F(RasTest, RefusalsAndShortData) {
    OwnedImage image;
    EXPECT_EQ(Load(WriteRas(MakeRas({.type = 4, .data = {1, 2, 3, 4}})), &image),
              IL_INVALID_COMPRESSION);
    EXPECT_EQ(Load(WriteRas(MakeRas({.depth = 16, .data = {1, 2, 3, 4}})), &image),
              IL_INVALID_HEADER);
    EXPECT_EQ(Load(WriteRas(MakeRas({.width = 0, .data = {1, 2, 3, 4}})), &image),
              IL_INVALID_HEADER);
    // 10^10 pixels cannot come from a few bytes.
    EXPECT_EQ(Load(WriteRas(MakeRas({.width = 100000, .height = 100000, .data = {1, 2}})), &image),
              IL_INVALID_HEADER);
    // Data that ends in the second row: the first stays.
    ASSERT_EQ(Load(WriteRas(MakeRas({.type = 2, .data = {4, 5, 6}})), &image), IL_PARTIAL);
    EXPECT_EQ(Row(image, 0)[1], 5);
    EXPECT_EQ(Row(image, 1)[0], 6);
}

} // namespace
