// The TGA codec against ImageMagick and netpbm's tgatoppm: the corpus files
// and the files we write are read by them and by us and compared sample by
// sample; small files built byte by byte pin the header rules, the row order
// and the run-length packets.
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

struct TgaSpec {
    uint8_t mapType = 0;
    uint8_t imageType = 2;
    uint16_t mapLength = 0;
    uint8_t mapBits = 0;
    uint16_t width = 2, height = 2;
    uint8_t depth = 24;
    uint8_t descriptor = 0x20;
    Bytes map = {}, pixels = {};
    bool footer = false;
};

Bytes MakeTga(const TgaSpec& s) {
    Bytes b = {0,
               s.mapType,
               s.imageType,
               0,
               0,
               uint8_t(s.mapLength),
               uint8_t(s.mapLength >> 8),
               s.mapBits,
               0,
               0,
               0,
               0,
               uint8_t(s.width),
               uint8_t(s.width >> 8),
               uint8_t(s.height),
               uint8_t(s.height >> 8),
               s.depth,
               s.descriptor};
    b.insert(b.end(), s.map.begin(), s.map.end());
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    if (s.footer) {
        b.insert(b.end(), 8, 0);
        const char signature[] = "TRUEVISION-XFILE.";
        b.insert(b.end(), signature, signature + sizeof signature);
    }
    return b;
}

class TgaTest : public CodecTest {
protected:
    ILResult LoadBytes(const Bytes& bytes, ILImage* image, ILInfo* info = nullptr) {
        const fs::path p = dir / "t.tga";
        WriteBytes(p, bytes);
        return Load(p, image, info);
    }
    // A saved file's packets start after the header (and colour map).
    Bytes SavedData(const ILImage& image, size_t skip = 18) {
        const fs::path p = dir / "s.tga";
        EXPECT_EQ(Save(p, image), IL_OK) << LastError();
        const Bytes b = ReadBytes(p);
        return Bytes(b.begin() + std::min(skip, b.size()), b.end());
    }
};

uint32_t DepthOf(const ILImage& image) {
    const bool grey = ILPixelModel(image.type) == IL_MODEL_GRAY;
    return (grey ? 1 : 3) + (ILHasAlpha(image.type) ? 1 : 0);
}

// netpbm's colours (it drops alpha, which the round trips below cover).
TEST_F(TgaTest, CorpusFilesDecodeAsNetpbmDoes) {
    if (!HaveTool("tgatoppm")) GTEST_SKIP() << "no netpbm";
    const fs::path root(VX_CORPUS_DIR);
    if (!fs::exists(root)) GTEST_SKIP() << "corpus missing";
    int compared = 0;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        std::string ext = e.path().extension().string();
        for (char& ch : ext)
            ch = static_cast<char>(std::tolower(ch));
        if (ext != ".tga") continue;
        const std::string name = e.path().string();
        Pam want = NetpbmPam("tgatoppm '" + name + "'");
        OwnedImage image;
        ILInfo info;
        const ILResult result = Load(e.path(), &image, &info);
        if (want.depth == 0) { // netpbm refuses it: so do we, or we read less
            EXPECT_NE(result, IL_OK) << name;
            continue;
        }
        ASSERT_EQ(result, IL_OK) << name << ": " << LastError();
        // netpbm reads grey and alpha bytes as 5-5-5 colour; Pillow's
        // references check those files below.
        if (info.colorType == IL_CT_GRAY && info.alphaKind != IL_ALPHA_NONE) continue;
        // 5-bit samples (pixels or map entries): both widen them to 8 bits
        // alike, but not to 16.
        const Bytes head = ReadBytes(e.path());
        const bool fiveBits = info.bitsPerPixel == 15 || info.bitsPerPixel == 16 ||
                              (head.size() > 7 && (head[7] == 15 || head[7] == 16));
        const int tolerance = fiveBits ? 257 : 0;
        // netpbm ignores the right-to-left bit: its rows come out mirrored.
        if (head.size() > 17 && (head[17] & 0x10)) {
            for (uint32_t y = 0; y < want.height; ++y)
                for (uint32_t x = 0; x < want.width / 2; ++x)
                    for (uint32_t k = 0; k < want.depth; ++k)
                        std::swap(want.samples[(size_t{y} * want.width + x) * want.depth + k],
                                  want.samples[(size_t{y} * want.width + want.width - 1 - x) *
                                                   want.depth +
                                               k]);
        }
        EXPECT_TRUE(SamePam(OurPam(image, want.depth), want, tolerance)) << name;
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

// 16-bit grey files hold grey and alpha bytes.
TEST_F(TgaTest, GreyAndAlphaFilesMatchPillowsReferences) {
    const fs::path common = Corpus("pillow-tests") / "tga" / "common";
    if (!fs::exists(common)) GTEST_SKIP() << "corpus missing";
    OwnedImage reference;
    ASSERT_EQ(Load(common / "200x32_la.png", &reference), IL_OK);
    for (const char* name : {"200x32_la_bl_rle.tga", "200x32_la_tl_rle.tga"}) {
        OwnedImage image;
        ILInfo info;
        ASSERT_EQ(Load(common / name, &image, &info), IL_OK) << name;
        EXPECT_EQ(info.channels, 2u) << name;
        EXPECT_TRUE(SamePam(OurPam(image, 2), OurPam(reference, 2))) << name;
    }
}

TEST_F(TgaTest, HeaderRules) {
    const Bytes bgr = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    struct Case {
        const char* name;
        TgaSpec spec;
        ILResult result;
        uint32_t formatId;
    } cases[] = {
        {"plain", {.pixels = bgr}, IL_OK, 0x80},
        {"footer", {.pixels = Bytes(40, 7), .footer = true}, IL_OK, 0x82},
        // With fewer than 40 bytes after the data start the footer is not looked for.
        {"footer too close", {.pixels = bgr, .footer = true}, IL_OK, 0x80},
        {"pixel depth 12", {.depth = 12, .pixels = bgr}, IL_INVALID_HEADER, 0},
        {"map entries of 8 bits",
         {.mapLength = 2, .mapBits = 8, .map = {1, 2}, .pixels = bgr},
         IL_INVALID_HEADER,
         0},
        {"width 0", {.width = 0, .pixels = bgr}, IL_INVALID_HEADER, 0},
        {"map beyond the end",
         {.mapLength = 9000, .mapBits = 24, .pixels = bgr},
         IL_INVALID_HEADER,
         0},
    };
    for (const Case& c : cases) {
        OwnedImage image;
        ILInfo info;
        EXPECT_EQ(LoadBytes(MakeTga(c.spec), &image, &info), c.result) << c.name;
        if (c.result == IL_OK) {
            EXPECT_EQ(info.formatId, c.formatId) << c.name;
        }
    }
}

TEST_F(TgaTest, RowOrderAndColourMaps) {
    // Bottom-up rows: the first stored row is the image's last.
    OwnedImage image;
    ASSERT_EQ(LoadBytes(MakeTga({.imageType = 3,
                                 .depth = 8,
                                 .descriptor = 0,
                                 .pixels = {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}}),
                        &image),
              IL_OK);
    EXPECT_EQ(Row(image, 1)[0], 1);
    EXPECT_EQ(Row(image, 0)[0], 3);
    // Right-to-left rows (bit 4), raw and run-length: the first stored
    // pixel of a row is its rightmost.
    for (const auto& [type, pixels] :
         {std::pair<uint8_t, Bytes>{3, {1, 2, 3, 4}}, {11, {0x01, 1, 2, 0x01, 3, 4}}}) {
        ASSERT_EQ(
            LoadBytes(
                MakeTga({.imageType = type, .depth = 8, .descriptor = 0x30, .pixels = pixels}),
                &image),
            IL_OK);
        EXPECT_EQ((Bytes{Row(image, 0)[0], Row(image, 0)[1], Row(image, 1)[0], Row(image, 1)[1]}),
                  (Bytes{2, 1, 4, 3}));
    }

    // Type 1 with colour map type 0 still reads its map; a grey ramp map
    // makes a grey image, which the info still reports as colour-mapped.
    Bytes ramp;
    for (int i = 0; i < 256; ++i)
        ramp.insert(ramp.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
    const Bytes pixels = {9, 200, 7, 50, 0, 0, 0, 0, 0, 0, 0, 0};
    ILInfo info;
    ASSERT_EQ(LoadBytes(MakeTga({.imageType = 1,
                                 .mapLength = 256,
                                 .mapBits = 24,
                                 .depth = 8,
                                 .map = ramp,
                                 .pixels = pixels}),
                        &image, &info),
              IL_OK);
    EXPECT_EQ(image.type, IL_GREY8);
    EXPECT_EQ(info.colorType, uint32_t{IL_CT_INDEXED});
    EXPECT_EQ(Row(image, 0)[1], 200);

    // A non-grey map of 16-bit 5-5-5 entries; the map type byte is 0.
    ASSERT_EQ(LoadBytes(MakeTga({.imageType = 1,
                                 .mapLength = 2,
                                 .mapBits = 16,
                                 .depth = 8,
                                 .map = {0x00, 0x7C, 0x1F, 0x00},
                                 .pixels = {1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}}),
                        &image),
              IL_OK);
    const Pam rgb = OurPam(image, 3);
    EXPECT_EQ((std::vector<uint16_t>(rgb.samples.begin(), rgb.samples.begin() + 6)),
              (std::vector<uint16_t>{0, 0, 65535, 65535, 0, 0}));

    // Type 3 with a map skips it and reads grey.
    ASSERT_EQ(LoadBytes(MakeTga({.imageType = 3,
                                 .mapLength = 2,
                                 .mapBits = 24,
                                 .depth = 8,
                                 .map = {1, 2, 3, 4, 5, 6},
                                 .pixels = {77, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}),
                        &image),
              IL_OK);
    EXPECT_EQ(image.type, IL_GREY8);
    EXPECT_EQ(Row(image, 0)[0], 77);
}

TEST_F(TgaTest, RunLengthPacketsCrossRowsAndShortDataKeepsRows) {
    // 3 x 2 grey: a raw packet of 2, a run of 3 over the row end, a raw 1.
    const Bytes packets = {0x01, 10, 11, 0x82, 20, 0x00, 30};
    OwnedImage image;
    ASSERT_EQ(
        LoadBytes(
            MakeTga({.imageType = 11, .width = 3, .height = 2, .depth = 8, .pixels = packets}),
            &image),
        IL_OK);
    EXPECT_EQ(Bytes(Row(image, 0), Row(image, 0) + 3), (Bytes{10, 11, 20}));
    EXPECT_EQ(Bytes(Row(image, 1), Row(image, 1) + 3), (Bytes{20, 20, 30}));

    // The data stops in the second row of three: the first stays.
    ASSERT_EQ(LoadBytes(MakeTga({.imageType = 11,
                                 .width = 3,
                                 .height = 3,
                                 .depth = 8,
                                 .pixels = {0x82, 5, 0x80, 6, 0, 0, 0, 0, 0, 0, 0, 0}}),
                        &image),
              IL_PARTIAL);
    ASSERT_EQ(image.height, 3u);
    EXPECT_EQ(Bytes(Row(image, 0), Row(image, 0) + 3), (Bytes{5, 5, 5}));
    EXPECT_EQ(Row(image, 1)[0], 6);
}

TEST_F(TgaTest, SavedPackets) {
    auto greyRow = [](const Bytes& values) {
        auto* image = new OwnedImage;
        EXPECT_EQ(ILReallocImage(image, uint32_t(values.size()), 1, IL_GREY8, nullptr), IL_OK);
        std::memcpy(image->data, values.data(), values.size());
        return std::unique_ptr<OwnedImage>(image);
    };
    Bytes differ(130);
    for (size_t i = 0; i < differ.size(); ++i)
        differ[i] = uint8_t(i);
    Bytes raw128 = {127};
    raw128.insert(raw128.end(), differ.begin(), differ.begin() + 128);
    raw128.insert(raw128.end(), {1, 128, 129});
    struct Case {
        const char* name;
        Bytes row, want;
    } cases[] = {
        {"300 equal", Bytes(300, 9), {0xFE, 9, 0xFE, 9, 0x80 + 45, 9}},
        {"130 different", differ, raw128},
        {"A B C C C D", {1, 2, 3, 3, 3, 4}, {2, 1, 2, 3, 0x81, 3, 0, 4}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SavedData(*greyRow(c.row)), c.want) << c.name;
}

// Every kind of image the saver takes, raw and run-length encoded, as
// ImageMagick and we read it back.
TEST_F(TgaTest, SavedFilesReadBackInImageMagickAndHere) {
    if (!HaveTool("convert") || !HaveTool("pamdepth")) GTEST_SKIP() << "no ImageMagick or netpbm";
    for (const bool rle : {false, true}) {
        h->tgaRLE = rle;
        for (const ILPixelType type : {IL_GREY8, IL_GREY_A8, IL_INDEX4, IL_BGR8, IL_BGRA8}) {
            OwnedImage image;
            ASSERT_EQ(ILReallocImage(&image, 19, 7, type, nullptr), IL_OK);
            for (uint32_t y = 0; y < image.height; ++y)
                for (int64_t i = 0; i < image.stride; ++i)
                    image.data[y * image.stride + i] = static_cast<uint8_t>(i / 5 * 40 + y * 3);
            if (type == IL_INDEX4) {
                image.palette = new ILPalette(16);
                for (uint32_t i = 0; i < 16; ++i)
                    image.palette->SetEntryBGR8(i, uint8_t(i * 16), uint8_t(255 - i * 9),
                                                uint8_t(i * 5));
            }
            const fs::path p = dir / "s.tga";
            ASSERT_EQ(Save(p, image), IL_OK) << LastError();
            // Grey with alpha is written as B, G, R, A.
            const uint32_t depth = type == IL_GREY_A8 ? 4 : DepthOf(image);
            const Pam mine = OurPam(image, depth);
            EXPECT_TRUE(SamePam(NetpbmPam("convert '" + p.string() + "' pam:-"), mine))
                << std::hex << type << (rle ? " rle" : "");
            OwnedImage back;
            ASSERT_EQ(Load(p, &back), IL_OK);
            EXPECT_TRUE(SamePam(OurPam(back, depth), mine)) << std::hex << type;
            if (type == IL_INDEX4) {
                const Bytes b = ReadBytes(p);
                EXPECT_EQ(Bytes(b.begin() + 18 + 16 * 3, b.begin() + 18 + 256 * 3),
                          Bytes(240 * 3, 0));
            }
        }
    }
}

TEST_F(TgaTest, SaveRefusesSidesAbove65535) {
    OwnedImage image;
    ASSERT_EQ(ILReallocImage(&image, 70000, 1, IL_GREY8, nullptr), IL_OK);
    const fs::path p = dir / "wide.tga";
    EXPECT_EQ(Save(p, image), IL_BAD_ARGUMENT);
    EXPECT_FALSE(fs::exists(p));
}

} // namespace
