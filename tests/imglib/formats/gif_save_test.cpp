// The GIF writer against netpbm's giftopnm and giflib's giftext: every image
// kind it takes is saved, plain and interlaced, read back by them and by us;
// indexed and grey images come back exactly, deeper ones as their
// quantisation. The header bytes of a tiny file pin the layout.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
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

class GifSaveTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        if (!HaveTool("giftopnm") || !HaveTool("pamdepth")) GTEST_SKIP() << "netpbm missing";
    }
};

// An image of the type whose bytes are a noisy pattern (few colours when
// smooth is set), with a palette of distinct colours for indexed types.
void Fill(OwnedImage* image, ILPixelType type, uint32_t w, uint32_t h, bool smooth) {
    ASSERT_EQ(ILReallocImage(image, w, h, type, nullptr), IL_OK);
    std::mt19937 random(7);
    for (uint32_t y = 0; y < h; ++y)
        for (int64_t i = 0; i < image->stride; ++i)
            image->data[y * image->stride + i] = smooth ? static_cast<uint8_t>((i / 7 + y / 5) * 40)
                                                        : static_cast<uint8_t>(random());
    if (ILPixelModel(type) == IL_MODEL_INDEXED) {
        const uint32_t n = 1u << ILBitsPerSample(type);
        image->palette = new ILPalette(n);
        for (uint32_t i = 0; i < n; ++i)
            image->palette->SetEntryBGR8(i, static_cast<uint8_t>(i * 37),
                                         static_cast<uint8_t>(255 - i),
                                         static_cast<uint8_t>(i * 11 + 3));
    }
}

TEST_F(GifSaveTest, ImagesReadBackInNetpbmAndHere) {
    struct Case {
        ILPixelType type;
        bool smooth;
        bool exact; // our reload equals the image
    } cases[] = {
        {IL_INDEX1, false, true}, {IL_INDEX4, false, true}, {IL_INDEX8, false, true},
        {IL_GREY1, false, true},  {IL_GREY2, false, true},  {IL_GREY4, false, true},
        {IL_GREY8, false, true},  {IL_BGR8, true, true}, // few colours: kept exactly
        {IL_BGR8, false, false},  {IL_BGRA8, false, false}, {IL_GREY16, false, false},
    };
    for (const bool interlaced : {false, true}) {
        h->gifInterlaced = interlaced;
        for (const Case& c : cases) {
            const std::string what = "type 0x" + (std::stringstream() << std::hex << c.type).str() +
                                     (interlaced ? " interlaced" : "");
            OwnedImage image;
            // 190 x 77: large enough for the code table to fill and start over.
            Fill(&image, c.type, 190, 77, c.smooth);
            const fs::path p = dir / "s.gif";
            ASSERT_EQ(Save(p, image), IL_OK) << what << ": " << LastError();
            EXPECT_EQ(Shell("giftext '" + p.string() + "' >/dev/null 2>&1"), 0) << what;
            OwnedImage back;
            ILInfo info;
            ASSERT_EQ(Load(p, &back, &info), IL_OK) << what << ": " << LastError();
            EXPECT_EQ(info.compression, interlaced ? IL_COMP_LZW_INTERLACED : IL_COMP_LZW);
            const Pam ours = OurPam(back, 3);
            EXPECT_TRUE(SamePam(NetpbmPam("giftopnm '" + p.string() + "' | ppmtoppm"), ours))
                << what;
            if (c.exact) {
                EXPECT_TRUE(SamePam(ours, OurPam(image, 3))) << what;
            }
        }
    }
}

TEST_F(GifSaveTest, HeaderLayoutAndTableSizes) {
    // 1 x 1 grey 1-bit: a 2-entry table black, white and code size 2.
    OwnedImage one;
    ASSERT_EQ(ILReallocImage(&one, 1, 1, IL_GREY1, nullptr), IL_OK);
    one.data[0] = 0x80;
    const fs::path p = dir / "one.gif";
    ASSERT_EQ(Save(p, one), IL_OK);
    const Bytes bytes = ReadBytes(p);
    const Bytes head(bytes.begin(), bytes.begin() + 30);
    EXPECT_EQ(head, (Bytes{'G', 'I', 'F', '8', '9',  'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0,
                           0,   255, 255, 255, 0x2C, 0,   0, 0, 0, 1, 0,    1, 0, 0, 2}));
    EXPECT_EQ(bytes.back(), 0x3B);

    // Indexed 8 whose largest index is 20: a 32-entry table (5 bits).
    OwnedImage indexed;
    Fill(&indexed, IL_INDEX8, 5, 5, false);
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            indexed.data[y * indexed.stride + x] = static_cast<uint8_t>((x + 5 * y) % 21);
    ASSERT_EQ(Save(p, indexed), IL_OK);
    const Bytes five = ReadBytes(p);
    EXPECT_EQ(five[10], 0x80 | 4 << 4 | 4);
    EXPECT_EQ(five[13 + 32 * 3 + 10], 5); // the minimum code size
}

TEST_F(GifSaveTest, RefusesSidesAboveTheFormatsLimit) {
    OwnedImage wide;
    ASSERT_EQ(ILReallocImage(&wide, 65536, 1, IL_GREY8, nullptr), IL_OK);
    const fs::path p = dir / "wide.gif";
    EXPECT_EQ(Save(p, wide), IL_BAD_ARGUMENT);
    EXPECT_FALSE(fs::exists(p));
}

} // namespace
