// The PNM codec against netpbm: the corpus maps and files we write are read
// by both and compared sample by sample; small maps built byte by byte pin
// the header rules, the sample scaling and the floatmap's byte order.
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
using namespace std::string_literals;

namespace {

uint32_t Depth(const ILImage& image) {
    return ILPixelModel(image.type) == IL_MODEL_GRAY ? 1 : 3;
}

class PnmTest : public CodecTest {
protected:
    // Loads a map written from text; the load's result.
    ILResult LoadText(const std::string& text, ILImage* image, ILInfo* info = nullptr) {
        const fs::path p = dir / "t.pnm";
        WriteBytes(p, std::vector<uint8_t>(text.begin(), text.end()));
        return Load(p, image, info);
    }

    uint16_t Sample16(const ILImage& image, size_t i) {
        return OurPam(image, Depth(image)).samples.at(i);
    }

    void SetUp() override {
        CodecTest::SetUp();
        if (!HaveTool("pamdepth")) GTEST_SKIP() << "netpbm missing";
    }
};

TEST_F(PnmTest, CorpusMapsDecodeAsNetpbmDoes) {
    const char* files[] = {"pillow-tests/pnm/hopper.pnm",
                           "pillow-tests/pnm/hopper_1bit.pbm",
                           "pillow-tests/pnm/hopper_1bit_plain.pbm",
                           "pillow-tests/pnm/hopper_8bit.ppm",
                           "pillow-tests/pnm/hopper_8bit_plain.ppm",
                           "pillow-tests/pnm/hopper_16bit_plain.pgm",
                           "zigimg-test-suite/pnm/pgm_binary_grayscale16.pgm",
                           "zigimg-test-suite/pnm/ppm_ascii_rgb24.ppm",
                           "zigimg-test-suite/pnm/pbm_binary.pbm",
                           "image-rs-tests/pnm/images/issue-794.pbm",
                           "libtiff-tests/tiff/rgb-3c-16b.ppm",
                           "jpegsuite/_about/src-data/32x32x16_grayscale.pgm"};
    int seen = 0;
    for (const char* name : files) {
        const fs::path p = fs::path(VX_CORPUS_DIR) / name;
        if (!fs::exists(p)) continue;
        ++seen;
        OwnedImage image;
        ASSERT_EQ(Load(p, &image), IL_OK) << name << ": " << LastError();
        const Pam want = NetpbmPam("pamtopnm '" + p.string() + "'");
        EXPECT_TRUE(SamePam(OurPam(image, want.depth), want)) << name;
    }
    if (!seen) GTEST_SKIP() << "corpus missing";
}

// Header and raster rules that differ from a naive reading.
// Arbitrary maps of every tuple type, with comments between the items, and
// grey and colour floatmaps of either byte order.
TEST_F(PnmTest, CorpusArbitraryMapsAndFloatmapsDecodeAsNetpbmDoes) {
    const struct {
        const char* name;
        const char* tool;
        int tolerance;
    } files[] = {
        {"zigimg-test-suite/pnm/simple_blackandwhite.pam", "pamtopam", 0},
        {"zigimg-test-suite/pnm/simple_blackandwhite_comments.pam", "pamtopam", 0},
        {"zigimg-test-suite/pnm/simple_grayscale_alpha_maxval_255.pam", "pamtopam", 0},
        {"zigimg-test-suite/pnm/simple_rgba_maxval_255.pam", "pamtopam", 0},
        {"zigimg-test-suite/pnm/simple_rgba_maxval_65535.pam", "pamtopam", 0},
        {"libwebp-test-data/pnm/peak.pam", "pamtopam", 0},
        // Floats of 0 to 1 as netpbm's samples.
        {"oiio-images/pnm/test-1.pfm", "pfmtopam -maxval 65535", 1},
    };
    int seen = 0;
    for (const auto& f : files) {
        const fs::path p = fs::path(VX_CORPUS_DIR) / f.name;
        if (!fs::exists(p)) continue;
        ++seen;
        OwnedImage image;
        ILInfo info;
        ASSERT_EQ(Load(p, &image, &info), IL_OK) << f.name << ": " << LastError();
        const Pam want = NetpbmPam(std::string(f.tool) + " <'" + p.string() + "'");
        ASSERT_GT(want.depth, 0u) << f.name;
        EXPECT_EQ(info.channels, want.depth) << f.name;
        EXPECT_EQ(info.alphaKind, uint32_t{want.depth % 2 == 0 ? IL_ALPHA_STRAIGHT : IL_ALPHA_NONE})
            << f.name;
        if (ILSampleKind(image.type) != IL_KIND_FLOAT) {
            EXPECT_TRUE(SamePam(OurPam(image, want.depth), want, f.tolerance)) << f.name;
            continue;
        }
        const uint32_t channels = ILChannelCount(image.type);
        for (uint32_t y = 0; y < image.height; ++y) {
            const auto* row = reinterpret_cast<const float*>(Row(image, y));
            for (uint32_t x = 0; x < image.width; ++x)
                for (uint32_t k = 0; k < channels; ++k)
                    ASSERT_NEAR(want.samples[(size_t{y} * image.width + x) * channels + k],
                                std::clamp(row[x * channels + 2 - k], 0.0f, 1.0f) * 65535,
                                f.tolerance)
                        << f.name << " at " << x << ", " << y;
        }
    }
    // Pillow's grey floatmaps of hopper.pnm hold its rounded 601 luma from 0
    // to 255, once little-endian, once big-endian with the scale 2.5.
    const fs::path png = Corpus("pillow-tests") / "pnm" / "hopper.pnm";
    if (fs::exists(png)) {
        ++seen;
        OwnedImage colour;
        ASSERT_EQ(Load(png, &colour), IL_OK);
        const Pam rgb = OurPam(colour, 3);
        for (const auto& [name, scale] : {std::pair{"hopper.pfm", 1.0f}, {"hopper_be.pfm", 2.5f}}) {
            OwnedImage grey;
            ASSERT_EQ(Load(Corpus("pillow-tests") / "pnm" / name, &grey), IL_OK) << name;
            ASSERT_EQ(grey.type, IL_GREY_FLOAT);
            ASSERT_EQ(grey.width * grey.height * 3, rgb.samples.size());
            for (uint32_t y = 0; y < grey.height; ++y)
                for (uint32_t x = 0; x < grey.width; ++x) {
                    const uint16_t* p = &rgb.samples[(size_t{y} * grey.width + x) * 3];
                    const uint32_t luma =
                        (p[0] / 257 * 19595 + p[1] / 257 * 38470 + p[2] / 257 * 7471 + 0x8000) >>
                        16;
                    ASSERT_FLOAT_EQ(reinterpret_cast<const float*>(Row(grey, y))[x] / scale, luma)
                        << name << " at " << x << ", " << y;
                }
        }
    }
    if (!seen) GTEST_SKIP() << "corpus missing";
}

TEST_F(PnmTest, RasterRules) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<uint16_t> want; // first samples, 16-bit
    } cases[] = {
        // P1 holds one pixel per digit, also without separators.
        {"plain bitmap without separators", "P1\n4 1\n0110\n\n", {65535, 0, 0, 65535}},
        // Exactly one blank ends a binary header: bytes 10 and 13 are pixels.
        {"raster starting with LF and CR",
         "P5\n3 1\n255\n\n\r\x7f"s,
         {10 * 257, 13 * 257, 127 * 257}},
        {"maximum value 1000", "P5 2 1 1000 \x03\xe8\x01\xf4"s, {65535, 32768}},
        {"maximum value 15, odd width", "P2 3 1 15 15 0 15", {65535, 0, 65535}},
        {"maximum value 1 loads as 0 and 15", "P2 2 1 1 1 0", {65535, 0}},
        {"sample above the maximum is clamped", "P2 2 1 100 200 50", {65535, 32896}},
        // vips writes a dated comment line right after the magic.
        {"comment with digits after the magic",
         "P5\n#vips2ppm - 2026-12-10T20:41:33Z\n2 1\n255\n\x01\x02"s,
         {257, 514}},
        {"comments in an ASCII raster", "P2 2 1 255 # note\n 255 #x\n 0", {65535, 0}},
    };
    for (const Case& c : cases) {
        OwnedImage image;
        ASSERT_EQ(LoadText(c.text, &image), IL_OK) << c.name << ": " << LastError();
        for (size_t i = 0; i < c.want.size(); ++i)
            EXPECT_EQ(Sample16(image, i), c.want[i]) << c.name << " sample " << i;
    }
}

TEST_F(PnmTest, InfoAndComments) {
    h->readMetadata = 1;
    ILInfo info;
    OwnedImage image;
    ASSERT_EQ(LoadText("P2\n# Author: Ann\n#just a note\n2 1 1\n0 1\n", &image, &info), IL_OK);
    EXPECT_EQ(info.formatId, 0x91u);
    EXPECT_EQ(info.bitsPerPixel, 1u);
    EXPECT_EQ(info.compression, uint32_t{IL_COMP_ASCII});
    EXPECT_EQ(image.type, IL_GREY4);
    ASSERT_NE(ILFindText(&info.texts, IL_TEXT_AUTHOR), nullptr);
    EXPECT_STREQ(ILFindText(&info.texts, IL_TEXT_AUTHOR), "Ann");
    ASSERT_NE(ILFindText(&info.texts, IL_TEXT_COMMENT), nullptr);
    EXPECT_STREQ(ILFindText(&info.texts, IL_TEXT_COMMENT), "just a note");
}

TEST_F(PnmTest, FloatmapByteOrderScaleAndRowOrder) {
    auto floats = [](std::initializer_list<float> values, bool bigEndian) {
        std::string out;
        for (float f : values) {
            uint8_t b[4];
            std::memcpy(b, &f, 4);
            if (bigEndian) std::swap(b[0], b[3]), std::swap(b[1], b[2]);
            out.append(reinterpret_cast<char*>(b), 4);
        }
        return out;
    };
    // Two rows of one pixel, the bottom row stored first.
    for (const bool big : {true, false}) {
        const std::string text = std::string("PF\n1 2\n") + (big ? "2.5\n" : "-1.0\n") +
                                 floats({0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}, big);
        OwnedImage image;
        ASSERT_EQ(LoadText(text, &image), IL_OK) << LastError();
        ASSERT_EQ(image.type, IL_BGR_FLOAT);
        const float factor = big ? 2.5f : 1.0f;
        const auto* top = reinterpret_cast<const float*>(Row(image, 0));
        const auto* bottom = reinterpret_cast<const float*>(Row(image, 1));
        EXPECT_FLOAT_EQ(top[2], 0.4f * factor);    // R of the second stored row
        EXPECT_FLOAT_EQ(top[0], 0.6f * factor);    // its B
        EXPECT_FLOAT_EQ(bottom[2], 0.1f * factor); // the first stored row
    }
}

TEST_F(PnmTest, RefusesBadHeaders) {
    struct Case {
        const char* name;
        std::string text;
        ILResult want;
    } cases[] = {
        {"arbitrary map with an unknown item",
         "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nCOLOUR 2\nENDHDR\n\x01", IL_INVALID_HEADER},
        {"arbitrary map with an unknown tuple type",
         "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nTUPLTYPE CMYK\nENDHDR\n\x01",
         IL_INVALID_HEADER},
        {"arbitrary map whose depth is not its tuple type's",
         "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n\x01",
         IL_INVALID_HEADER},
        {"arbitrary map of depth 5",
         "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 5\nMAXVAL 255\nENDHDR\n\x01\x01\x01\x01\x01",
         IL_INVALID_HEADER},
        {"arbitrary map without a height", "P7\nWIDTH 1\nDEPTH 1\nMAXVAL 255\nENDHDR\n\x01 pad",
         IL_INVALID_HEADER},
        {"arbitrary map with maximum value 65536",
         "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 65536\nENDHDR\n\x01\x01", IL_INVALID_HEADER},
        {"arbitrary map without its end", "P7\nWIDTH 1\nHEIGHT 1\nDEPTH 1\nMAXVAL 255\n",
         IL_INVALID_HEADER},
        {"maximum value 0", "P5 1 1 0 \x01 padding", IL_INVALID_HEADER},
        {"maximum value above 65535", "P5 1 1 65536 \x01\x01 pad", IL_INVALID_HEADER},
        {"width 0", "P5 0 1 255 \x01 padding", IL_INVALID_HEADER},
        {"overflowing width", "P5 99999999999999999999 1 255 \x01", IL_INVALID_HEADER},
        // Signs: netpbm finds junk where a number should be.
        {"negative sizes", "P6 -1 -1 255 \x01\x02\x03 padding", IL_INVALID_HEADER},
        {"negative floatmap width", "PF -2 2 -1.0 " + std::string(48, 'x'), IL_INVALID_HEADER},
        {"plus sign", "P5 +1 1 255 \x01 padding", IL_INVALID_HEADER},
        {"comment before the magic", "# x\nP5 1 1 255 \x01 pad", IL_INVALID_HEADER},
        // 10^10 pixels cannot come from a few bytes.
        {"unbacked size", "P6 100000 100000 255 \x01\x02\x03", IL_INVALID_HEADER},
    };
    for (const Case& c : cases) {
        OwnedImage image;
        EXPECT_EQ(LoadText(c.text, &image), c.want) << c.name;
        EXPECT_EQ(image.data, nullptr) << c.name;
    }
}

TEST_F(PnmTest, ShortRasterKeepsTheRowsRead) {
    OwnedImage image;
    EXPECT_EQ(LoadText("P5 2 3 255\n\x10\x20\x30"s, &image), IL_PARTIAL);
    ASSERT_EQ(image.height, 3u);
    EXPECT_EQ(Row(image, 0)[1], 0x20);
    EXPECT_EQ(Row(image, 1)[0], 0x30);
    EXPECT_EQ(Row(image, 2)[0], 0);
}

// Every image kind the saver takes, in binary and ASCII, as netpbm reads it.
TEST_F(PnmTest, SavedMapsReadBackInNetpbmAndHere) {
    struct Case {
        ILPixelType type;
        const char* magic;
    } cases[] = {
        {IL_GREY1, "P4"}, {IL_GREY8, "P5"}, {IL_GREY16, "P5"}, {IL_BGR8, "P6"}, {IL_BGR16, "P6"}};
    for (const bool ascii : {false, true}) {
        h->pnmASCII = ascii;
        for (const Case& c : cases) {
            OwnedImage image;
            ASSERT_EQ(ILReallocImage(&image, 13, 5, c.type, nullptr), IL_OK);
            for (uint32_t y = 0; y < image.height; ++y)
                for (int64_t i = 0; i < image.stride; ++i)
                    image.data[y * image.stride + i] = static_cast<uint8_t>(y * 71 + i * 13 + 5);
            const fs::path p = dir / "s.pnm";
            ASSERT_EQ(Save(p, image), IL_OK) << LastError();
            std::string magic = c.magic;
            if (ascii) magic[1] -= 3;
            EXPECT_EQ(ReadText(p).substr(0, 2), magic);
            const Pam mine = OurPam(image, Depth(image));
            EXPECT_TRUE(SamePam(NetpbmPam("pamtopnm '" + p.string() + "'"), mine))
                << std::hex << c.type << (ascii ? " ascii" : "");
            OwnedImage back;
            ASSERT_EQ(Load(p, &back), IL_OK);
            EXPECT_TRUE(SamePam(OurPam(back, Depth(image)), mine));
        }
    }
}

TEST_F(PnmTest, FloatImagesSaveAsFloatmaps) {
    h->pnmASCII = 1; // floatmaps are binary whatever the option
    OwnedImage image;
    ASSERT_EQ(ILReallocImage(&image, 3, 2, IL_BGR_FLOAT, nullptr), IL_OK);
    for (uint32_t y = 0; y < 2; ++y) {
        auto* row = reinterpret_cast<float*>(image.data + y * image.stride);
        for (int i = 0; i < 9; ++i)
            row[i] = 0.05f * i + 0.5f * y;
    }
    const fs::path p = dir / "f.pfm";
    ASSERT_EQ(Save(p, image), IL_OK);
    // No comments either: floatmap readers refuse them.
    EXPECT_EQ(ReadText(p).substr(0, 14), "PF\n3 2\n-1.000\n");
    OwnedImage back;
    ASSERT_EQ(Load(p, &back), IL_OK);
    ASSERT_EQ(back.type, IL_BGR_FLOAT);
    for (uint32_t y = 0; y < 2; ++y)
        EXPECT_EQ(std::memcmp(Row(back, y), Row(image, y), 36), 0) << y;
    // netpbm sees the same R, G, B values.
    const Pam theirs = NetpbmPam("pfmtopam -maxval 65535 '" + p.string() + "'");
    ASSERT_EQ(theirs.samples.size(), 18u);
    EXPECT_NEAR(theirs.samples[3] / 65535.0, 0.25, 1e-4); // R of pixel 1, row 0: our index 5
}

TEST_F(PnmTest, HeaderCommentsAndCreator) {
    ILDestroyHandle(h);
    h = ILCreateHandle("Vx test");
    KeepMessages(h);
    h->writeMetadata = 0; // the creator is written all the same
    OwnedImage image;
    ASSERT_EQ(ILReallocImage(&image, 2, 1, IL_GREY8, nullptr), IL_OK);
    const fs::path p = dir / "c.pgm";
    ASSERT_EQ(Save(p, image), IL_OK);
    EXPECT_EQ(ReadText(p).substr(0, 22), "P5\n#Software: Vx test\n");
}

} // namespace
