// The WebP codec against libwebp's test vectors (references decoded by
// dwebp) and, for what we write, against dwebp's decoding of our files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/pixel_type.h"
#include "imglib/memory_owner.h"
#include "support/files.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

class WebP : public CodecTest {};

fs::path Vectors() {
    return Corpus("libwebp-test-data") / "webp";
}

// Peak signal-to-noise ratio of two B, G, R 8-bit images of one size.
double Psnr(const ILImage& a, const ILImage& b) {
    double sum = 0;
    for (uint32_t y = 0; y < a.height; ++y)
        for (uint32_t i = 0; i < a.width * 3; ++i) {
            const double d = Row(a, y)[i] - static_cast<double>(Row(b, y)[i]);
            sum += d * d;
        }
    const double mse = sum / (static_cast<double>(a.width) * a.height * 3);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Every vector decodes to the bytes dwebp gives; alpha files load as
// B, G, R, A and report four channels.
TEST_F(WebP, TestVectorsDecodeLikeDwebp) {
    if (!fs::is_directory(Vectors())) GTEST_SKIP() << "no WebP vectors at " << Vectors();
    int files = 0;
    for (const auto& entry : fs::directory_iterator(Vectors())) {
        if (entry.path().extension() != ".webp") continue;
        SCOPED_TRACE(entry.path().filename().string());
        ILImageOwner ours, reference;
        ILInfo info;
        ASSERT_EQ(Load(entry.path(), &ours.image, &info), IL_OK) << LastError();
        ASSERT_EQ(Load(entry.path().string() + ".png", &reference.image), IL_OK);
        const bool alpha = ours.image.type == IL_BGRA8;
        EXPECT_EQ(info.channels, alpha ? 4u : 3u);
        EXPECT_EQ(info.bitsPerPixel, alpha ? 32u : 24u);
        EXPECT_EQ(info.formatId, 0x140u);
        ASSERT_EQ(reference.image.type, ours.image.type);
        ASSERT_EQ(reference.image.width, ours.image.width);
        ASSERT_EQ(reference.image.height, ours.image.height);
        const size_t rowBytes = size_t{ours.image.width} * (alpha ? 4 : 3);
        for (uint32_t y = 0; y < ours.image.height; ++y)
            ASSERT_EQ(std::memcmp(Row(ours.image, y), Row(reference.image, y), rowBytes), 0)
                << "row " << y;
        ++files;
    }
    EXPECT_GT(files, 80);
}

TEST_F(WebP, DamagedFilesAreRefused) {
    const fs::path source = Vectors() / "vp80-00-comprehensive-001.webp";
    if (!fs::exists(source)) GTEST_SKIP() << "no WebP vectors";
    const std::vector<uint8_t> bytes = ReadBytes(source);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        ILResult result;
        const char* message;
    };
    std::vector<uint8_t> header = bytes, truncated(bytes.begin(), bytes.begin() + bytes.size() / 2);
    header[12] = 'X'; // "VP8 " chunk tag
    const Case cases[] = {
        {"header", header, IL_INVALID_HEADER, "WebP: Invalid image file header"},
        {"truncated", truncated, IL_FAILED, "WebP: Decompression failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathOf(std::string(c.name) + ".webp");
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        errors.clear();
        ILImageOwner image;
        EXPECT_EQ(Load(path, &image.image), c.result);
        EXPECT_EQ(LastError(), c.message);
        EXPECT_EQ(image.image.data, nullptr);
    }
}

// A lossless header claiming 16383 x 16383 pixels over a few bytes: refused
// before the image or libwebp asks for the gigabyte.
TEST_F(WebP, SizesTheFileCannotBackAreRefused) {
    const uint32_t bits = 16382 | 16382u << 14; // width - 1, height - 1; no alpha, version 0
    const std::string head("RIFF\x1C\0\0\0WEBPVP8L\x10\0\0\0\x2F", 21); // sizes 28 and 16
    std::vector<uint8_t> b(head.begin(), head.end());
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(bits >> 8 * i));
    b.resize(36, 0);
    const std::string path = PathOf("claim.webp");
    ASSERT_TRUE(WriteBytes(path, b));
    ILInfo info;
    ASSERT_EQ(Load(path, nullptr, &info), IL_OK);
    EXPECT_EQ(info.width, 16383u);
    ILImageOwner image;
    EXPECT_EQ(Load(path, &image.image), IL_INVALID_HEADER);
    EXPECT_EQ(LastError(),
              "WebP: Image of 16383 x 16383 pixels cannot come from a file of 36 bytes");
    EXPECT_EQ(image.image.data, nullptr);
}

// What we write decodes in dwebp with the quality's fidelity, and a higher
// quality comes closer to the source.
TEST_F(WebP, SavedFilesDecodeInDwebpAtTheirQuality) {
    const fs::path source = Vectors() / "vp80-05-sharpness-1438.webp.png";
    if (!fs::exists(source)) GTEST_SKIP() << "no WebP vectors";
    if (!HaveTool("dwebp")) GTEST_SKIP() << "dwebp is not installed";
    ILImageOwner original;
    ASSERT_EQ(Load(source, &original.image), IL_OK);
    ASSERT_EQ(original.image.type, IL_BGR8);
    struct Case {
        uint32_t quality;
        double minPsnr;
    };
    double previous = 0;
    for (const Case c : {Case{20, 28}, Case{75, 33}, Case{100, 40}}) {
        SCOPED_TRACE(c.quality);
        ILSetWebPOptions(h, &c.quality);
        const std::string saved = PathOf("q" + std::to_string(c.quality) + ".webp");
        const std::string decoded = saved + ".png";
        ASSERT_EQ(Save(saved, original.image), IL_OK) << LastError();
        ASSERT_EQ(Shell("dwebp -quiet '" + saved + "' -o '" + decoded + "'"), 0);
        ILImageOwner back;
        ASSERT_EQ(Load(decoded, &back.image), IL_OK);
        const double psnr = Psnr(original.image, back.image);
        EXPECT_GT(psnr, c.minPsnr);
        EXPECT_GT(psnr, previous);
        previous = psnr;
    }
}

// Other pixel types are converted: alpha of any kind is kept as straight
// alpha, deeper samples come down to 8 bits.
TEST_F(WebP, SaveConvertsOtherPixelTypes) {
    struct Case {
        ILPixelType type;
        ILPixelType loaded;
    };
    for (const Case c : {Case{IL_BGR16, IL_BGR8}, Case{IL_GREY_A8, IL_BGRA8},
                         Case{IL_GREY8, IL_BGR8}, Case{IL_BGRPA_HALF, IL_BGRA8}}) {
        SCOPED_TRACE(c.type);
        ILImageOwner image;
        ASSERT_EQ(ILAllocImage(&image.image, 40, 30, c.type, nullptr), IL_OK);
        const ILColor color{0.2f, 0.5f, 0.8f, 0.5f, -1}; // translucent: libwebp drops opaque alpha
        ASSERT_EQ(ILFillImage(&image.image, color), IL_OK);
        const std::string path = PathOf("converted.webp");
        ASSERT_EQ(Save(path, image.image), IL_OK) << LastError();
        ILImageOwner back;
        ASSERT_EQ(Load(path, &back.image), IL_OK);
        EXPECT_EQ(back.image.type, c.loaded);
        EXPECT_EQ(back.image.width, 40u);
    }
}

// libwebp takes at most 16383 pixels a side: such images are refused before
// a file is made, not reported as a lack of memory.
TEST_F(WebP, SaveRefusesImagesBeyondTheFormatLimit) {
    ILImageOwner image;
    ASSERT_EQ(ILAllocImage(&image.image, 16384, 1, IL_BGR8, nullptr), IL_OK);
    const std::string path = PathOf("wide.webp");
    EXPECT_EQ(Save(path, image.image), IL_BAD_ARGUMENT);
    EXPECT_NE(LastError().find("16383"), std::string::npos) << LastError();
    EXPECT_FALSE(fs::exists(path));
}

} // namespace
