// The Radiance codec against vips: the corpus pictures and the files we
// write are read by vips (written out as raw floats) and by us, and
// compared within the precision of half floats;
// small files built byte by byte pin the header, resolution and scanline
// rules.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/convert/converter.h"
#include "support/files.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;
using namespace std::string_literals;

namespace {

using Bytes = std::vector<uint8_t>;

// An image as B, G, R floats.
std::vector<float> Floats(const ILImage& image) {
    ILConverter c;
    ILConverterInit(&c);
    ILConverterSetImageTarget(&c, &image, IL_BGR_FLOAT);
    std::vector<float> out;
    if (!ILConverterPrepare(&c)) {
        ADD_FAILURE() << "no conversion from 0x" << std::hex << image.type;
        ILConverterFree(&c);
        return out;
    }
    std::vector<float> row(size_t{image.width} * 3);
    for (uint32_t y = 0; y < image.height; ++y) {
        c.rowKernel(&c, Row(image, y), row.data());
        out.insert(out.end(), row.begin(), row.end());
    }
    ILConverterFree(&c);
    return out;
}

::testing::AssertionResult Near(const std::vector<float>& have, const std::vector<float>& want) {
    if (have.size() != want.size())
        return ::testing::AssertionFailure() << have.size() << " samples, want " << want.size();
    for (size_t i = 0; i < have.size(); ++i)
        if (std::fabs(have[i] - want[i]) > 2e-3f * std::max(std::fabs(want[i]), 1e-2f))
            return ::testing::AssertionFailure()
                   << "sample " << i << ": have " << have[i] << ", want " << want[i];
    return ::testing::AssertionSuccess();
}

class RadianceTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        if (!HaveTool("vips")) GTEST_SKIP() << "vips missing";
    }
    ILResult LoadText(const std::string& text, ILImage* image) {
        const fs::path p = dir / "t.hdr";
        WriteBytes(p, Bytes(text.begin(), text.end()));
        return Load(p, image);
    }
    // vips's reading of a Radiance file as B, G, R floats, top row first
    // (its raw R, G, B output).
    std::vector<float> VipsFloats(const fs::path& hdr) {
        const fs::path v = dir / "vips.v", raw = dir / "vips.raw";
        EXPECT_EQ(Shell("vips rad2float '" + hdr.string() + "' '" + v.string() +
                        "' && vips rawsave '" + v.string() + "' '" + raw.string() + "'"),
                  0);
        const Bytes bytes = ReadBytes(raw);
        std::vector<float> out(bytes.size() / 4);
        std::memcpy(out.data(), bytes.data(), out.size() * 4);
        for (size_t i = 0; i + 2 < out.size(); i += 3)
            std::swap(out[i], out[i + 2]);
        return out;
    }
};

TEST_F(RadianceTest, CorpusPicturesDecodeAsVipsDoes) {
    int seen = 0;
    for (const char* name :
         {"libvips-test-images/hdr/sample.hdr", "image-rs-tests/hdr/images/rgbr4x4.hdr",
          "image-rs-tests/hdr/images/old-rle.hdr", "image-rs-tests/hdr/images/image1.hdr"}) {
        const fs::path p = fs::path(VX_CORPUS_DIR) / name;
        if (!fs::exists(p)) continue;
        ++seen;
        OwnedImage image;
        ASSERT_EQ(Load(p, &image), IL_OK) << name << ": " << LastError();
        EXPECT_TRUE(Near(Floats(image), VipsFloats(p))) << name;
    }
    if (!seen) GTEST_SKIP() << "corpus missing";
}

TEST_F(RadianceTest, SavedFilesReadBackInVipsAndHere) {
    // Widths 7 (flat scanlines) and 40 (run-length), RGBE and XYZE.
    for (const uint32_t width : {7u, 40u}) {
        for (const bool xyze : {false, true}) {
            h->radianceXYZE = xyze;
            OwnedImage image;
            ASSERT_EQ(ILReallocImage(&image, width, 5, IL_BGR_FLOAT, nullptr), IL_OK);
            for (uint32_t y = 0; y < 5; ++y) {
                auto* row = reinterpret_cast<float*>(image.data + y * image.stride);
                for (uint32_t i = 0; i < width * 3; ++i)
                    row[i] =
                        (i / 9 % 3 == 0) ? 0.75f : 0.01f * float(i % 7) + 0.4f * float(y) + 0.2f;
            }
            const fs::path p = dir / "s.hdr";
            ASSERT_EQ(Save(p, image), IL_OK) << LastError();
            OwnedImage back;
            ASSERT_EQ(Load(p, &back), IL_OK) << LastError();
            const std::vector<float> ours = Floats(back);
            // vips hands XYZE files on as X, Y, Z: compared for RGBE only.
            if (!xyze) {
                EXPECT_TRUE(Near(ours, VipsFloats(p))) << width;
            }
            // Within the format's precision of the original.
            const std::vector<float> original = Floats(image);
            for (size_t i = 0; i < ours.size(); ++i)
                ASSERT_NEAR(ours[i], original[i], (xyze ? 0.03f : 0.01f) * original[i] + 1e-3f)
                    << i;
        }
    }
    // 1.0, 0.5, 0.25 is stored as 127, 63, 31, 129 (a flat 1-pixel scanline).
    h->radianceXYZE = 0;
    OwnedImage one;
    ASSERT_EQ(ILReallocImage(&one, 1, 1, IL_BGR_FLOAT, nullptr), IL_OK);
    const float bgr[3] = {0.25f, 0.5f, 1.0f};
    std::memcpy(one.data, bgr, sizeof bgr);
    const fs::path p = dir / "one.hdr";
    ASSERT_EQ(Save(p, one), IL_OK);
    const Bytes b = ReadBytes(p);
    EXPECT_EQ(Bytes(b.end() - 4, b.end()), (Bytes{127, 63, 31, 129}));
}

TEST_F(RadianceTest, HeaderResolutionAndScanlines) {
    const std::string head = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n";
    struct Case {
        const char* name;
        std::string text;
        ILResult result;
        uint32_t width, height;
    } cases[] = {
        {"X major loads transposed", head + "+X 2 -Y 1\n" + "\x80\x40\x20\x81\x80\x40\x20\x81"s,
         IL_OK, 1, 2},
        {"flat repeats 2 + 256",
         head + "-Y 1 +X 259\n" + "\x80\x40\x20\x81\x01\x01\x01\x02\x01\x01\x01\x01"s, IL_OK, 259,
         1},
        {"last FORMAT decides",
         "#?RADIANCE\nFORMAT=32-bit_rle_xyze\nFORMAT=nothing\n\n-Y 1 +X 1\nabcd", IL_INVALID_HEADER,
         0, 0},
        {"no FORMAT", "#?RADIANCE\n\n-Y 1 +X 1\nabcdabcd", IL_INVALID_HEADER, 0, 0},
        {"size 0", head + "-Y 0 +X 1\nabcdabcd", IL_INVALID_HEADER, 0, 0},
        {"first scanline damaged",
         head + "-Y 2 +X 8\n" + "\x02\x02\x00\x09"s + std::string(20, '\x01'),
         IL_INVALID_COMPRESSION, 0, 0},
        {"later scanline missing", head + "-Y 2 +X 1\n" + "\x80\x40\x20\x81"s, IL_PARTIAL, 1, 2},
    };
    for (const Case& c : cases) {
        OwnedImage image;
        EXPECT_EQ(LoadText(c.text, &image), c.result) << c.name << ": " << LastError();
        if (c.result != IL_OK && c.result != IL_PARTIAL) continue;
        EXPECT_EQ(image.width, c.width) << c.name;
        EXPECT_EQ(image.height, c.height) << c.name;
        // 128, 64, 32, 129 decodes to 1.00390625, 0.50390625, 0.25390625.
        const std::vector<float> f = Floats(image);
        EXPECT_NEAR(f[2], 1.00390625f, 1e-3f) << c.name;
        EXPECT_NEAR(f[0], 0.25390625f, 1e-3f) << c.name;
        EXPECT_NEAR(f[f.size() - (c.result == IL_PARTIAL ? 4 : 1)], 1.00390625f, 1e-3f) << c.name;
    }
}

} // namespace
