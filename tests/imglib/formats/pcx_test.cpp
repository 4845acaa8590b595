// The PCX codec against netpbm: files made by ppmtopcx in each of its
// layouts, the corpus files and the files we write are read by pcxtoppm and
// by us and compared sample by sample; small files built byte by byte pin
// the header checks and the run-length rules.
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

struct PcxSpec {
    uint8_t encoding = 0;
    uint8_t bits = 8;
    uint16_t xMin = 0, yMin = 0, xMax = 1, yMax = 1;
    uint8_t planes = 1;
    uint16_t bytesPerLine = 2;
    uint16_t paletteInfo = 2;
    Bytes data;
};

Bytes MakePcx(const PcxSpec& s) {
    Bytes b(128, 0);
    b[0] = 0x0A;
    b[1] = 5;
    b[2] = s.encoding;
    b[3] = s.bits;
    auto put16 = [&](size_t at, uint16_t v) {
        b[at] = uint8_t(v);
        b[at + 1] = uint8_t(v >> 8);
    };
    put16(4, s.xMin);
    put16(6, s.yMin);
    put16(8, s.xMax);
    put16(10, s.yMax);
    b[65] = s.planes;
    put16(66, s.bytesPerLine);
    put16(68, s.paletteInfo);
    b.resize(128 + s.data.size());
    std::copy(s.data.begin(), s.data.end(), b.begin() + 128);
    return b;
}

class PcxTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        if (!HaveTool("pcxtoppm") || !HaveTool("pamdepth")) GTEST_SKIP() << "netpbm missing";
    }
    ILResult LoadBytes(const Bytes& bytes, ILImage* image, ILInfo* info = nullptr) {
        const fs::path p = dir / "t.pcx";
        WriteBytes(p, bytes);
        return Load(p, image, info);
    }
    // Ours and pcxtoppm's readings of a file agree.
    void ExpectAsNetpbm(const fs::path& p) {
        OwnedImage image;
        ASSERT_EQ(Load(p, &image), IL_OK) << p << ": " << LastError();
        const Pam want = NetpbmPam("pcxtoppm '" + p.string() + "'");
        EXPECT_TRUE(SamePam(OurPam(image, want.depth), want)) << p;
    }
};

TEST_F(PcxTest, NetpbmLayoutsAndCorpusDecodeAsNetpbmDoes) {
    // A picture with few colours (so that ppmtopcx picks its mapped layouts)
    // and one with many.
    const std::string few = (dir / "few.ppm").string(), many = (dir / "many.ppm").string();
    ASSERT_EQ(
        Shell("pgmramp -lr 37 9 | pgmtoppm red-blue | pnmquant 16 >'" + few + "' 2>/dev/null"), 0);
    ASSERT_EQ(Shell("pgmramp -diag 37 9 | pgmtoppm red-yellow >'" + many + "' 2>/dev/null"), 0);
    const struct {
        const char* name;
        std::string command;
    } made[] = {
        {"1-bit", "pgmramp -lr 37 9 | pgmtopbm | ppmtopcx"},
        {"16 colours in 4 planes", "ppmtopcx <'" + few + "'"},
        {"16 colours packed", "ppmtopcx -packed <'" + few + "'"},
        {"256 colours", "ppmtopcx -8bit <'" + few + "'"},
        {"24-bit", "ppmtopcx -24bit <'" + many + "'"},
    };
    for (const auto& m : made) {
        const fs::path p = dir / "made.pcx";
        ASSERT_EQ(Shell("(" + m.command + ") >'" + p.string() + "' 2>/dev/null"), 0) << m.name;
        ExpectAsNetpbm(p);
    }
    for (const char* name :
         {"pillow-tests/pcx/p_4_planes.pcx", "pillow-tests/pcx/pil184.pcx",
          "zigimg-test-suite/pcx/test-bpp1.pcx", "zigimg-test-suite/pcx/test-bpp4.pcx",
          "zigimg-test-suite/pcx/test-bpp24.pcx"}) {
        const fs::path p = fs::path(VX_CORPUS_DIR) / name;
        if (fs::exists(p)) ExpectAsNetpbm(p);
    }
}

TEST_F(PcxTest, HeaderChecks) {
    const Bytes grey4 = {1, 2, 3, 4};
    struct Case {
        const char* name;
        PcxSpec spec;
        ILResult result;
        uint32_t width;
    } cases[] = {
        {"x minimum 10, maximum 109",
         {.xMin = 10, .xMax = 109, .bytesPerLine = 100, .data = Bytes(200, 1)},
         IL_OK,
         100},
        {"minimum above maximum", {.xMin = 5, .xMax = 4, .data = grey4}, IL_INVALID_HEADER, 0},
        {"bytes per line below the row",
         {.xMax = 9, .bytesPerLine = 4, .data = Bytes(20, 1)},
         IL_INVALID_HEADER,
         0},
        {"2 bits per pixel", {.bits = 2, .data = grey4}, IL_INVALID_HEADER, 0},
        // Read as one bit of one plane, it passed the row check with lines
        // far too short for the row kernel.
        {"0 bits of 17 planes",
         {.bits = 0, .xMax = 4000, .planes = 17, .bytesPerLine = 1, .data = Bytes(64, 1)},
         IL_INVALID_HEADER,
         0},
        // 8-bit colour: the 0x0C marker 769 bytes before the end.
        {"colour file without marker",
         {.paletteInfo = 1, .data = Bytes(4 + 769, 0)},
         IL_INVALID_HEADER,
         0},
        {"colour file too short for its palette",
         {.paletteInfo = 1, .data = grey4},
         IL_INVALID_HEADER,
         0},
    };
    for (const Case& c : cases) {
        OwnedImage image;
        EXPECT_EQ(LoadBytes(MakePcx(c.spec), &image), c.result) << c.name;
        if (c.result == IL_OK) {
            EXPECT_EQ(image.width, c.width) << c.name;
        }
    }
    // Fewer than 128 bytes: the header cannot be read.
    OwnedImage image;
    EXPECT_EQ(LoadBytes(Bytes{0x0A, 5, 1, 8, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0}, &image),
              IL_READ_FAILED);
}

// One bit in one plane is black and white; a header map of just two
// colours (as ppmtopcx and our saver write) gives them, but a full 16-colour
// map is a painting program's palette, not the picture's.
TEST_F(PcxTest, MonochromeFilesWithASixteenColourMapStayBlackAndWhite) {
    Bytes file = MakePcx({.bits = 1, .xMax = 7, .yMax = 0, .bytesPerLine = 2, .data = {0xF0, 0}});
    const uint8_t ega[16][3] = {{0, 0, 0},     {0, 0, 170},    {0, 170, 0},    {0, 170, 170},
                                {170, 0, 0},   {170, 0, 170},  {170, 85, 0},   {170, 170, 170},
                                {85, 85, 85},  {85, 85, 255},  {85, 255, 85},  {85, 255, 255},
                                {255, 85, 85}, {255, 85, 255}, {255, 255, 85}, {255, 255, 255}};
    std::copy(&ega[0][0], &ega[0][0] + 48, file.begin() + 16);
    OwnedImage image;
    ILInfo info;
    ASSERT_EQ(LoadBytes(file, &image, &info), IL_OK) << LastError();
    EXPECT_EQ(image.type, ILPixelType{IL_GREY1});
    EXPECT_EQ(info.colorType, uint32_t{IL_CT_MONOCHROME});
    EXPECT_EQ(Row(image, 0)[0], 0xF0);

    std::fill(file.begin() + 16 + 6, file.begin() + 64, 0);
    ASSERT_EQ(LoadBytes(file, &image, &info), IL_OK) << LastError();
    EXPECT_EQ(image.type, ILPixelType{IL_INDEX1});
    ASSERT_NE(image.palette, nullptr);
    EXPECT_EQ(image.palette->entries[1].blue, 170 * 257);
}

TEST_F(PcxTest, RunLengthRules) {
    OwnedImage image;
    // A run that would pass the scanline's end.
    EXPECT_EQ(LoadBytes(MakePcx({.encoding = 1, .data = {0xC3, 9, 0xC1, 9}}), &image), IL_FAILED);
    // Data that ends in the second row: the first stays.
    ASSERT_EQ(LoadBytes(MakePcx({.encoding = 1, .data = {0xC2, 9, 7}}), &image), IL_PARTIAL);
    ASSERT_EQ(image.height, 2u);
    EXPECT_EQ(Row(image, 0)[1], 9);
    EXPECT_EQ(Row(image, 1)[0], 7);
    // Raw data that ends early.
    EXPECT_EQ(LoadBytes(MakePcx({.data = {1, 2, 3}}), &image), IL_PARTIAL);
    EXPECT_EQ(Row(image, 1)[0], 3);
}

// Every kind of image the saver takes, with and without run-length
// encoding, as netpbm and we read it back.
TEST_F(PcxTest, SavedFilesReadBackInNetpbmAndHere) {
    const ILPixelType types[] = {IL_GREY1, IL_INDEX1, IL_GREY4, IL_INDEX4,
                                 IL_GREY8, IL_INDEX8, IL_BGR8,  IL_BGR16};
    for (const bool rle : {true, false}) {
        h->pcxRLE = rle;
        for (const ILPixelType type : types) {
            OwnedImage image;
            ASSERT_EQ(ILReallocImage(&image, 21, 6, type, nullptr), IL_OK);
            for (uint32_t y = 0; y < image.height; ++y)
                for (int64_t i = 0; i < image.stride; ++i)
                    image.data[y * image.stride + i] = static_cast<uint8_t>(i / 3 * 37 + y * 91);
            if (ILPixelModel(type) == IL_MODEL_INDEXED) {
                const uint32_t n = 1u << ILBitsPerSample(type);
                image.palette = new ILPalette(n);
                for (uint32_t i = 0; i < n; ++i)
                    image.palette->SetEntryBGR8(i, uint8_t(i * 7 + 3), uint8_t(255 - i),
                                                uint8_t(i * 13));
            }
            const fs::path p = dir / "s.pcx";
            ASSERT_EQ(Save(p, image), IL_OK) << std::hex << type << ": " << LastError();
            const uint32_t depth = ILPixelModel(type) == IL_MODEL_GRAY ? 1 : 3;
            const Pam mine = OurPam(image, depth);
            // netpbm reads run-length files only; ImageMagick reads
            // uncompressed files of fewer than 8 bits unlike the same
            // scanlines run-length encoded, which netpbm and we agree on.
            if (!rle && ILBitsPerSample(type) < 8) continue;
            const Pam theirs = NetpbmPam((rle ? "pcxtoppm '" : "convert '") + p.string() +
                                         (rle ? "'" : "' pam:-"));
            // 16-bit samples are written at 8 bits.
            const int tolerance = type == IL_BGR16 ? 257 : 0;
            EXPECT_TRUE(
                SamePam(OurPam(image, theirs.depth ? theirs.depth : depth), theirs, tolerance))
                << std::hex << type << (rle ? " rle" : "");
            OwnedImage back;
            ASSERT_EQ(Load(p, &back), IL_OK);
            EXPECT_TRUE(SamePam(OurPam(back, depth), mine, tolerance)) << std::hex << type;
        }
    }
}

// The data is read a window of about a megabyte at a time: files of
// several windows, run-length encoded (noise, whose codes from 0xC0 up take
// two bytes) and raw, read back as written, and one cut short past the
// first window keeps every row before the cut.
TEST_F(PcxTest, FilesLargerThanTheReadingWindow) {
    OwnedImage image;
    ASSERT_EQ(ILReallocImage(&image, 1201, 700, IL_BGR8, nullptr), IL_OK);
    uint32_t seed = 5;
    for (uint32_t y = 0; y < image.height; ++y)
        for (int64_t i = 0; i < image.stride; ++i)
            image.data[y * image.stride + i] =
                static_cast<uint8_t>(y % 5 ? (seed = seed * 1664525u + 1013904223u) >> 24 : i / 50);
    for (const bool rle : {true, false}) {
        SCOPED_TRACE(rle ? "run-length" : "raw");
        h->pcxRLE = rle;
        const fs::path p = dir / "large.pcx";
        ASSERT_EQ(Save(p, image), IL_OK) << LastError();
        ASSERT_GT(fs::file_size(p), uint64_t{1} << 21);
        OwnedImage back;
        ASSERT_EQ(Load(p, &back), IL_OK);
        EXPECT_TRUE(SamePam(OurPam(back, 3), OurPam(image, 3), 0));
        if (rle) ExpectAsNetpbm(p);
        Bytes bytes = ReadBytes(p);
        bytes.resize(bytes.size() * 3 / 5);
        OwnedImage cut;
        ASSERT_EQ(LoadBytes(bytes, &cut), IL_PARTIAL);
        uint32_t same = 0;
        while (same < cut.height &&
               std::memcmp(Row(cut, same), Row(image, same), size_t{image.width} * 3) == 0)
            ++same;
        EXPECT_GT(same, image.height / 2);
        EXPECT_LT(same, image.height * 3 / 4);
    }
}

TEST_F(PcxTest, SavedScanlines) {
    // 100 equal bytes: runs of 63 and 37.
    OwnedImage grey;
    ASSERT_EQ(ILReallocImage(&grey, 100, 1, IL_GREY8, nullptr), IL_OK);
    std::memset(grey.data, 5, 100);
    const fs::path p = dir / "s.pcx";
    ASSERT_EQ(Save(p, grey), IL_OK);
    Bytes b = ReadBytes(p);
    ASSERT_EQ(b.size(), 128u + 4 + 769);
    EXPECT_EQ(Bytes(b.begin() + 128, b.begin() + 132), (Bytes{0xFF, 5, 0xE5, 5}));
    EXPECT_EQ(b[68], 2); // grey: palette information 2, and a grey ramp palette
    EXPECT_EQ(b[132], 0x0C);
    EXPECT_EQ(b[132 + 1 + 3 * 200], 200);

    // 24-bit, 3 pixels wide, uncompressed: planes R, G, B of 3 bytes each.
    h->pcxRLE = 0;
    OwnedImage rgb;
    ASSERT_EQ(ILReallocImage(&rgb, 3, 1, IL_BGR8, nullptr), IL_OK);
    const uint8_t bgr[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::memcpy(rgb.data, bgr, 9);
    ASSERT_EQ(Save(p, rgb), IL_OK);
    b = ReadBytes(p);
    EXPECT_EQ(Bytes(b.begin() + 128, b.end()), (Bytes{3, 6, 9, 2, 5, 8, 1, 4, 7}));

    // Too wide for the 16-bit bytes-per-line field: refused, no file.
    OwnedImage wide;
    ASSERT_EQ(ILReallocImage(&wide, 70000, 1, IL_GREY8, nullptr), IL_OK);
    const fs::path q = dir / "wide.pcx";
    EXPECT_EQ(Save(q, wide), IL_BAD_ARGUMENT);
    EXPECT_FALSE(fs::exists(q));
}

} // namespace
