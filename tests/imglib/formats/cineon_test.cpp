// The Cineon codec against ImageMagick, which hands out a file's raw codes
// when told the picture is already in its output colour space: files it
// writes (big-endian, 8 and 10-bit, grey and R, G, B) and the corpus file
// decode to the linear values of those codes, and it reads our files'
// codes back. Small files built field by field pin the header rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/byte_order.h"
#include "imglib/ops/geometry.h"
#include "support/files.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

using Bytes = std::vector<uint8_t>;

// Linear light of a 10-bit printing-density code: black 95, white 685,
// 0.002 density a code, film gamma 0.6, and the file's image gamma.
double Linear(double code, double gamma = 1.0) {
    const double black = std::pow(10.0, (95 - 685) * 0.002 / 0.6 * gamma);
    return (std::pow(10.0, (code - 685) * 0.002 / 0.6 * gamma) - black) / (1 - black);
}

// A little-endian file of ours in the big-endian order of other writers:
// every 32-bit header field and line word swapped.
Bytes Swapped(Bytes b) {
    auto swap = [&](size_t at) { std::reverse(b.begin() + at, b.begin() + at + 4); };
    for (size_t at = 0; at <= 20; at += 4)
        swap(at);
    for (size_t k = 0; k < 8; ++k)
        for (size_t at = 196 + 28 * k + 4; at < 196 + 28 * (k + 1); at += 4)
            swap(at);
    for (size_t at = 420; at < 452; at += 4)
        swap(at);
    for (const size_t at : {684, 688, 712, 716, 972, 976, 980})
        swap(at);
    for (size_t at = 1024; at + 4 <= b.size(); at += 4)
        swap(at);
    return b;
}

float HalfToFloat(uint16_t h) {
    const uint32_t sign = uint32_t{h & 0x8000u} << 16, exponent = (h >> 10) & 31,
                   mantissa = h & 1023;
    if (exponent == 0) return (sign ? -1.0f : 1.0f) * std::ldexp(float(mantissa), -24);
    const uint32_t bits = sign | (exponent + 112) << 23 | mantissa << 13;
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

// Our image's samples as floats, R, G, B (or grey) order.
std::vector<float> Samples(const ILImage& image) {
    const uint32_t channels = ILChannelCount(image.type);
    std::vector<float> out;
    for (uint32_t y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const uint16_t*>(Row(image, y));
        for (uint32_t x = 0; x < image.width; ++x)
            for (uint32_t k = 0; k < channels; ++k)
                out.push_back(
                    HalfToFloat(row[x * channels + (channels >= 3 && k < 3 ? 2 - k : k)]));
    }
    return out;
}

class CineonTest : public CodecTest {
protected:
    // The file's codes as ImageMagick reads them, R, G, B per pixel.
    std::vector<double> MagickCodes(const fs::path& p, int bits) {
        const std::string raw = RunOutput("convert-im6.q16 '" + p.string() +
                                          "' -set colorspace sRGB -depth 16 -endian LSB rgb:-");
        std::vector<double> codes(raw.size() / 2);
        for (size_t i = 0; i < codes.size(); ++i)
            codes[i] = std::round(ILGetLe16(reinterpret_cast<const uint8_t*>(raw.data()) + 2 * i) *
                                  ((1 << bits) - 1) / 65535.0);
        return codes;
    }
    void SetUp() override {
        CodecTest::SetUp();
        if (!HaveTool("convert-im6.q16")) GTEST_SKIP() << "ImageMagick missing";
    }
};

TEST_F(CineonTest, FilesDecodeToTheLinearValuesOfTheirCodes) {
    const std::string png = (dir / "in.png").string();
    ASSERT_EQ(Shell("convert-im6.q16 -size 40x30 gradient:red-cyan -depth 8 '" + png + "'"), 0);
    struct File {
        std::string name, make;
        int bits;       // of ImageMagick's codes
        uint32_t depth; // channels
    } files[] = {
        {"rgb10.cin", "-type TrueColor -depth 10", 10, 3},
        {"rgb8.cin", "-type TrueColor -depth 8", 8, 3},
    };
    std::vector<std::pair<fs::path, File>> all;
    for (const File& f : files) {
        const fs::path p = dir / f.name;
        ASSERT_EQ(Shell("convert-im6.q16 '" + png + "' " + f.make + " '" + p.string() + "'"), 0);
        all.push_back({p, f});
    }
    // Big-endian, written by another program; its gamma field is unusable.
    const fs::path checker = Corpus("oiio-images") / "cineon" / "checker.cin";
    if (fs::exists(checker)) all.push_back({checker, {"checker.cin", "", 10, 3}});
    for (const auto& [p, f] : all) {
        OwnedImage image;
        ILInfo info;
        ASSERT_EQ(Load(p, &image, &info), IL_OK) << f.name << ": " << LastError();
        EXPECT_EQ(info.channels, f.depth) << f.name;
        // ImageMagick stores the gamma 1 / 2.2; the corpus file's is unusable.
        EXPECT_NEAR(info.gamma, f.name == "checker.cin" ? 1.0 : 1 / 2.2, 1e-6) << f.name;
        ASSERT_EQ(ILSampleKind(image.type), uint32_t{IL_KIND_HALF}) << f.name;
        const std::vector<float> ours = Samples(image);
        const std::vector<double> codes = MagickCodes(p, f.bits);
        ASSERT_EQ(codes.size(), size_t{image.width} * image.height * 3) << f.name;
        for (size_t i = 0; i < ours.size(); ++i) {
            // Grey files show the same code in R, G and B.
            const double code = codes[f.depth == 1 ? 3 * i : i] * (f.bits == 8 ? 4 : 1);
            const double want = Linear(code, info.gamma);
            ASSERT_NEAR(ours[i], want, 1e-3 * std::abs(want) + 1e-4) << f.name << " sample " << i;
        }
    }
}

TEST_F(CineonTest, SavedFilesCarryTheCodesOfTheirValues) {
    // Linear values, with 0 at code 95, 1 at 685 and the saturation at 1023.
    const float values[] = {0.0f, 1.0f, 20.0f, 0.18f, 0.5f, 2.0f, 0.01f, -1.0f, 0.05f};
    for (const bool grey : {true, false}) {
        OwnedImage image;
        const uint32_t width = grey ? 1000 : 3;
        ASSERT_EQ(ILReallocImage(&image, width, 3, grey ? IL_GREY_FLOAT : IL_BGR_FLOAT, nullptr),
                  IL_OK);
        const uint32_t channels = grey ? 1 : 3;
        for (uint32_t y = 0; y < 3; ++y) {
            auto* row = reinterpret_cast<float*>(image.data + y * image.stride);
            for (uint32_t i = 0; i < width * channels; ++i)
                row[i] = values[(3 * y + i) % 9];
        }
        const fs::path p = dir / "s.cin";
        ASSERT_EQ(Save(p, image), IL_OK) << LastError();
        const Bytes bytes = ReadBytes(p);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{0xD7, 0x5F, 0x2A, 0x80}));
        // Grey lines of 1000 pixels take 334 words, R, G, B lines a word a pixel.
        EXPECT_EQ(bytes.size(), 1024u + (grey ? 334u : 3u) * 4 * 3);

        // ImageMagick reads big-endian files only (and its own grey files
        // differently from their three-codes-a-word packing, so it checks
        // the R, G, B files); we read both orders identically.
        const fs::path big = dir / "big.cin";
        WriteBytes(big, Swapped(bytes));
        const std::vector<double> codes = grey ? std::vector<double>{} : MagickCodes(big, 10);
        if (!grey) {
            ASSERT_EQ(codes.size(), size_t{width} * 3 * 3);
        }
        OwnedImage back, backBig;
        ASSERT_EQ(Load(p, &back), IL_OK);
        ASSERT_EQ(Load(big, &backBig), IL_OK);
        const std::vector<float> ours = Samples(back);
        EXPECT_EQ(ours, Samples(backBig));
        for (uint32_t y = 0; y < 3; ++y)
            for (uint32_t i = 0; i < width * channels; ++i) {
                const float v = values[(3 * y + i) % 9];
                const size_t at = size_t{y} * width * channels + i;
                // Our image is B, G, R; the file and the samples R, G, B.
                const size_t sample = grey ? at : at / 3 * 3 + 2 - at % 3;
                // Values below the film's black (no logarithm) give code 0.
                const double want =
                    v >= 13.5f ? 1023
                    : v == 0
                        ? 95
                        : std::max(0.0, std::floor(685 + std::log10((v + 0.0109156) / 1.0109156) /
                                                             0.0033333334));
                const double code = grey ? want : codes[sample];
                EXPECT_NEAR(code, want, 1) << "value " << v;
                // Our loader brings back the value of that code.
                const double linear = Linear(code);
                EXPECT_NEAR(ours[sample], linear, 2e-3 * linear + 2e-3) << "value " << v;
            }
    }
}

// A little-endian file of 8-bit samples with the given channel count,
// designators and header changes.
Bytes MakeCineon(uint32_t channels, uint32_t width, uint32_t height, const Bytes& data,
                 uint8_t designator = 0) {
    Bytes b(1024, 0);
    ILPutLe32(b.data(), 0x802A5FD7);
    ILPutLe32(b.data() + 4, 1024);
    b[193] = static_cast<uint8_t>(channels);
    for (uint32_t k = 0; k < std::min(channels, 8u); ++k) {
        uint8_t* c = b.data() + 196 + 28 * k;
        c[1] = designator;
        c[2] = 8;
        ILPutLe32(c + 4, width);
        ILPutLe32(c + 8, height);
    }
    const float one = 1.0f;
    std::memcpy(b.data() + 980, &one, 4);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

TEST_F(CineonTest, HeaderRules) {
    const fs::path p = dir / "t.cin";
    OwnedImage image;
    ILInfo info;
    // Five channels: the first four are read, the fourth as alpha.
    h->alphaMode = 1;
    WriteBytes(p, MakeCineon(5, 2, 1, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    ASSERT_EQ(Load(p, &image, &info), IL_OK) << LastError();
    EXPECT_TRUE(ILHasAlpha(image.type));
    EXPECT_EQ(info.channels, 5u);
    const std::vector<float> five = Samples(image);
    ASSERT_EQ(five.size(), 8u);
    EXPECT_NEAR(five[3], Linear(40 * 4), 1e-3);
    EXPECT_NEAR(five[4], Linear(60 * 4), 1e-3);

    // One channel marked as red printing density: a warning, grey all the same.
    WriteBytes(p, MakeCineon(1, 2, 1, {10, 20}, 1));
    ASSERT_EQ(Load(p, &image), IL_OK);
    EXPECT_EQ(ILPixelModel(image.type), uint32_t{IL_MODEL_GRAY});
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ(warnings.back(), "Cineon: inproper channel descriptor");

    // A gamma of 0, a negative one or NaN is 1.
    for (const float gamma : {0.0f, -2.0f, NAN}) {
        Bytes bytes = MakeCineon(1, 2, 1, {10, 20});
        std::memcpy(bytes.data() + 980, &gamma, 4);
        WriteBytes(p, bytes);
        ASSERT_EQ(Load(p, nullptr, &info), IL_OK);
        EXPECT_EQ(info.gamma, 1.0) << gamma;
    }

    // Refused: no channel, more than eight, a wrong magic, a depth and
    // packing that cannot be read.
    struct Refusal {
        const char* name;
        Bytes bytes;
        ILResult want;
    } refusals[] = {
        {"no channel", MakeCineon(0, 2, 1, {1, 2}), IL_INVALID_HEADER},
        {"nine channels", MakeCineon(9, 2, 1, Bytes(18, 1)), IL_INVALID_HEADER},
        {"wrong magic",
         [] {
             Bytes b = MakeCineon(1, 2, 1, {1, 2});
             b[0] = 0;
             return b;
         }(),
         IL_INVALID_HEADER},
        {"12 bits filled",
         [] {
             Bytes b = MakeCineon(1, 2, 1, {1, 2, 3, 4});
             b[196 + 2] = 12;
             b[681] = 5;
             return b;
         }(),
         IL_UNSUPPORTED_FORMAT},
        // Pixels starting inside the header would be its own bytes.
        {"image offset inside the header",
         [] {
             Bytes b = MakeCineon(1, 2, 1, {1, 2});
             ILPutLe32(b.data() + 4, 512);
             return b;
         }(),
         IL_INVALID_HEADER},
        // 10^10 pixels cannot come from a few bytes.
        {"unbacked size", MakeCineon(1, 100000, 100000, {1, 2}), IL_INVALID_HEADER},
        // 2^32 - 2 lines of 9 bytes and 2^32 - 6 of padding: their end,
        // summed in 64 bits, wraps round to inside the file.
        {"line sizes that wrap",
         [] {
             Bytes b = MakeCineon(1, 9, 0xFFFFFFFE, Bytes(9, 1));
             ILPutLe32(b.data() + 684, 0xFFFFFFFA);
             return b;
         }(),
         IL_INVALID_HEADER},
    };
    for (const Refusal& r : refusals) {
        WriteBytes(p, r.bytes);
        EXPECT_EQ(Load(p, &image), r.want) << r.name;
        EXPECT_EQ(image.data, nullptr) << r.name;
    }

    // Lines missing at the end are blank: a partial image.
    WriteBytes(p, MakeCineon(1, 2, 3, {200, 200, 200}));
    ASSERT_EQ(Load(p, &image), IL_PARTIAL);
    EXPECT_GT(Samples(image)[0], 0.5f);
    EXPECT_EQ(Samples(image)[4], 0.0f);
}

TEST_F(CineonTest, OrientationTurnsAndMirrors) {
    Bytes data(6);
    for (int i = 0; i < 6; ++i)
        data[i] = static_cast<uint8_t>(100 + 20 * i);
    const fs::path p = dir / "o.cin";
    WriteBytes(p, MakeCineon(1, 3, 2, data));
    OwnedImage plain;
    ASSERT_EQ(Load(p, &plain), IL_OK);
    struct Case {
        uint8_t orientation;
        double degrees;
        int mirror; // -1 none, 0 up/down, 1 left/right
    } cases[] = {{1, 0, 1}, {2, 0, 0}, {4, 90, -1}, {5, 90, 0}, {6, 270, -1}, {7, 270, 0}};
    for (const Case& c : cases) {
        Bytes bytes = MakeCineon(1, 3, 2, data);
        bytes[192] = c.orientation;
        WriteBytes(p, bytes);
        OwnedImage image;
        ILInfo info;
        ASSERT_EQ(Load(p, &image, &info), IL_OK);
        OwnedImage want;
        ASSERT_EQ(ILAssignImage(&want, &plain), IL_OK);
        if (c.degrees != 0) {
            ASSERT_EQ(ILRotateImage(h, &want, c.degrees), IL_OK);
        }
        if (c.mirror >= 0) {
            ASSERT_EQ(ILMirrorImage(h, &want, c.mirror), IL_OK);
        }
        EXPECT_EQ(info.width, want.width) << int{c.orientation};
        EXPECT_EQ(Samples(image), Samples(want)) << int{c.orientation};
    }
}

} // namespace
