// The DDS reader against ImageMagick: files it writes uncompressed and as
// DXT1, DXT3 and DXT5, and the corpus files, are read by it and by us and
// compared sample by sample; small files built byte by byte pin the mask
// rules and the block colour tables.
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

// A DDS header for width x height with the pixel format's flags, FourCC or
// bit count and masks (red, green, blue, alpha), then the data.
Bytes MakeDds(uint32_t width, uint32_t height, uint32_t flags, const char* fourCC, uint32_t bits,
              std::vector<uint32_t> masks, const Bytes& data) {
    Bytes b(128, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> 8 * i);
    };
    std::memcpy(b.data(), "DDS ", 4);
    put(4, 124);
    put(12, height);
    put(16, width);
    put(76, 32);
    put(80, flags);
    if (fourCC) std::memcpy(b.data() + 84, fourCC, 4);
    put(88, bits);
    for (size_t i = 0; i < masks.size(); ++i)
        put(92 + 4 * i, masks[i]);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

class DdsTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        if (!HaveTool("convert") || !HaveTool("pamdepth"))
            GTEST_SKIP() << "ImageMagick or netpbm missing";
    }
    ILResult LoadBytes(const Bytes& bytes, ILImage* image, ILInfo* info = nullptr) {
        const fs::path p = dir / "t.dds";
        WriteBytes(p, bytes);
        return Load(p, image, info);
    }
};

TEST_F(DdsTest, DecodesAsImageMagickDoes) {
    const std::string png = (dir / "in.png").string();
    // Gradients with a varying alpha, 37 x 21 so that edge blocks are cut.
    ASSERT_EQ(
        Shell("convert -size 37x21 gradient:red-blue \\( -size 37x21 gradient:white-black \\) "
              "-alpha off -compose copy_opacity -composite '" +
              png + "' 2>/dev/null"),
        0);
    for (const char* compression : {"none", "dxt1", "dxt3", "dxt5"}) {
        const fs::path p = dir / "made.dds";
        ASSERT_EQ(Shell("convert '" + png + "' -define dds:compression=" + compression + " '" +
                        p.string() + "' 2>/dev/null"),
                  0);
        OwnedImage image;
        ASSERT_EQ(Load(p, &image), IL_OK) << compression << ": " << LastError();
        const Pam want = NetpbmPam("convert '" + p.string() + "' pam:-");
        ASSERT_GT(want.depth, 0u) << compression;
        // Decoders round the interpolated block colours differently: one
        // level of 8 bits apart.
        const int tolerance = std::string(compression) == "none" ? 0 : 257;
        EXPECT_TRUE(SamePam(OurPam(image, want.depth), want, tolerance)) << compression;
    }
}

// (dds_bgr8.dds is left out: ImageMagick reads 24-bit pixels as B, G, R
// whatever their masks say, which put red in the low byte there.)
TEST_F(DdsTest, CorpusFilesDecodeAsImageMagickDoes) {
    int seen = 0;
    for (const char* name :
         {"dds_r5g6b5.dds", "dds_bc2.dds", "dds_bc3.dds", "dds_rgb8.dds", "dds_rgba4.dds",
          "dds_rgba8.dds", "dds_npot_bc3.dds", "sample-DXT1.dds", "dds_l8.dds"}) {
        fs::path p = Corpus("oiio-images") / "dds" / name;
        if (!fs::exists(p)) continue;
        ++seen;
        OwnedImage image;
        ASSERT_EQ(Load(p, &image), IL_OK) << name << ": " << LastError();
        const Pam want = NetpbmPam("convert '" + p.string() + "' pam:-");
        ASSERT_GT(want.depth, 0u) << name;
        EXPECT_TRUE(SamePam(OurPam(image, want.depth), want, 257)) << name;
    }
    // Pillow's luminance file names its grey field 0xFF000000 in 8-bit
    // pixels: the whole byte, as its reference shows.
    const fs::path grey = Corpus("pillow-tests") / "dds" / "uncompressed_l.dds";
    if (fs::exists(grey)) {
        ++seen;
        OwnedImage image, reference;
        ASSERT_EQ(Load(grey, &image), IL_OK) << LastError();
        ASSERT_EQ(Load(grey.parent_path() / "uncompressed_l.png", &reference), IL_OK);
        EXPECT_TRUE(SamePam(OurPam(image, 3), OurPam(reference, 3)));
    }
    if (!seen) GTEST_SKIP() << "corpus missing";
}

TEST_F(DdsTest, MasksAndBlockTables) {
    OwnedImage image;
    ILInfo info;
    // 32-bit with alpha: straight B, G, R, A.
    ASSERT_EQ(LoadBytes(MakeDds(1, 1, 0x41, nullptr, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
                                {1, 2, 3, 4}),
                        &image, &info),
              IL_OK);
    EXPECT_EQ(image.type, IL_BGRA8);
    EXPECT_EQ(Bytes(image.data, image.data + 4), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(info.alphaKind, IL_ALPHA_STRAIGHT);
    // Without an alpha mask: B, G, R and 3 channels.
    ASSERT_EQ(LoadBytes(MakeDds(1, 1, 0x40, nullptr, 32, {0xFF0000, 0xFF00, 0xFF, 0}, {1, 2, 3, 4}),
                        &image, &info),
              IL_OK);
    EXPECT_EQ(image.type, IL_BGR8);
    EXPECT_EQ(info.channels, 3u);
    // 10-bit channels (and a 2-bit alpha) are scaled to 8 bits.
    ASSERT_EQ(LoadBytes(MakeDds(1, 1, 0x41, nullptr, 32, {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
                                {0x14, 0xC0, 0x83, 0xC0}),
                        &image),
              IL_OK);
    // Red 20, green 240, blue 8 of 1023; alpha 3 of 3.
    EXPECT_EQ(Bytes(image.data, image.data + 4), (Bytes{2, 60, 5, 255}));
    // 5-6-5 white is 255, 255, 255 uncompressed and in a DXT1 block (it
    // once read 248, 252, 248 there).
    ASSERT_EQ(
        LoadBytes(MakeDds(1, 1, 0x40, nullptr, 16, {0xF800, 0x7E0, 0x1F, 0}, {0xFF, 0xFF}), &image),
        IL_OK);
    EXPECT_EQ(Bytes(image.data, image.data + 3), (Bytes{255, 255, 255}));
    // Colour 0 below colour 1: three colours, index 2 the mean and 3
    // transparent black, so the image has alpha. Pixels: 0, 1, 2, 3.
    const Bytes block = {0x00, 0x00, 0xFF, 0xFF, 0b11100100, 0, 0, 0};
    ASSERT_EQ(LoadBytes(MakeDds(4, 1, 0x4, "DXT1", 0, {}, block), &image, &info), IL_OK);
    EXPECT_EQ(image.type, IL_BGRA8);
    EXPECT_EQ(info.alphaKind, IL_ALPHA_STRAIGHT);
    EXPECT_EQ(Bytes(image.data, image.data + 16),
              (Bytes{0, 0, 0, 255, 255, 255, 255, 255, 127, 127, 127, 255, 0, 0, 0, 0}));
    // The same colours without index 3: no texel is transparent, no alpha.
    const Bytes opaque = {0x00, 0x00, 0xFF, 0xFF, 0b10100100, 0, 0, 0};
    ASSERT_EQ(LoadBytes(MakeDds(4, 1, 0x4, "DXT1", 0, {}, opaque), &image, &info), IL_OK);
    EXPECT_EQ(image.type, IL_BGR8);
    EXPECT_EQ(info.alphaKind, IL_ALPHA_NONE);
    // 6 x 6: only its 36 pixels are stored; the second block row is short.
    EXPECT_EQ(LoadBytes(MakeDds(6, 6, 0x4, "DXT1", 0, {}, Bytes(16 + 8, 0)), &image), IL_PARTIAL);
    // DXT5 alpha: a0 255, a1 0 interpolates eight values; a0 0, a1 255 six
    // with 0 and 255 as indices 6 and 7.
    const Bytes dxt5 = {255, 0,   0b10001000, 0,          0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                        0,   255, 0b10111110, 0b11111111, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(LoadBytes(MakeDds(8, 1, 0x4, "DXT5", 0, {}, dxt5), &image), IL_OK);
    const uint8_t* p = image.data;
    // Block 1: pixel 0 index 0 (255), pixel 1 index 1 (0), pixel 2 index 2 (219).
    EXPECT_EQ(p[3], 255);
    EXPECT_EQ(p[7], 0);
    EXPECT_EQ(p[11], 219);
    // Block 2: pixel 0 index 6 (0), pixel 1 index 7 (255).
    EXPECT_EQ(p[16 + 3], 0);
    EXPECT_EQ(p[20 + 3], 255);
    // Unsupported: another FourCC, neither flag; bad magic.
    EXPECT_EQ(LoadBytes(MakeDds(4, 4, 0x4, "DX10", 0, {}, Bytes(64)), &image),
              IL_UNSUPPORTED_FORMAT);
    EXPECT_EQ(LoadBytes(MakeDds(4, 4, 0, nullptr, 0, {}, Bytes(64)), &image),
              IL_UNSUPPORTED_FORMAT);
    Bytes bad = MakeDds(4, 4, 0x4, "DXT1", 0, {}, Bytes(8));
    bad[4] = 100;
    EXPECT_EQ(LoadBytes(bad, &image), IL_INVALID_HEADER);
    // 10^10 pixels cannot come from a few bytes.
    EXPECT_EQ(LoadBytes(MakeDds(100000, 100000, 0x4, "DXT1", 0, {}, Bytes(8)), &image),
              IL_INVALID_HEADER);
}

} // namespace
