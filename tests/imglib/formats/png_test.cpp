// The PNG codec against PngSuite's reference samples, against the netpbm,
// pngcheck and exiftool readers of what we write, and on small files built
// chunk by chunk for the colour chunks, palettes, backgrounds and texts.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <lcms2.h>

#include "imglib/convert/cms.h"
#include "imglib/convert/converter.h"
#include "imglib/convert/srgb.h"
#include "imglib/format.h"
#include "imglib/formats/codecs.h"
#include "imglib/image.h"
#include "imglib/metadata/info.h"
#include "imglib/io/path.h"
#include "png_chunks.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/test_folder.h"
#include "support/tools.h"

namespace fs = std::filesystem;
using namespace vxtest;
using pngtest::Chunk;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path Corpus(const char* suite) {
    return fs::path(VX_CORPUS_DIR) / suite;
}

// The numbers of a flat JSON array.
std::vector<double> JsonNumbers(const fs::path& p) {
    const Bytes text = ReadBytes(p.string());
    std::vector<double> out;
    for (size_t i = 0; i < text.size();) {
        if (!std::isdigit(text[i])) {
            ++i;
            continue;
        }
        double v = 0;
        while (i < text.size() && std::isdigit(text[i]))
            v = v * 10 + (text[i++] - '0');
        out.push_back(v);
    }
    return out;
}

// One pixel as red, green, blue, alpha on the image's own sample scale (the
// 8-bit scale for a palette's colours); alpha is the scale's maximum when
// the image has none.
std::array<double, 4> Pixel(const ILImage& image, uint32_t x, uint32_t y) {
    const uint8_t* row = image.data + int64_t{y} * image.stride;
    const uint32_t bits = image.bits;
    auto sample = [&](uint32_t i) -> double {
        if (bits == 16) {
            uint16_t v;
            std::memcpy(&v, row + 2 * size_t{i}, 2);
            return v;
        }
        if (bits == 8) return row[i];
        const uint32_t at = i * bits;
        return (row[at / 8] >> (8 - bits - at % 8)) & ((1u << bits) - 1);
    };
    const double maximum = bits == 16 ? 65535 : (1u << bits) - 1;
    const bool alpha = image.type & IL_EXTRA_ALPHA;
    switch (image.type & IL_MODEL_MASK) {
        case IL_MODEL_GRAY: {
            const uint32_t n = alpha ? 2 : 1;
            const double g = sample(n * x);
            return {g, g, g, alpha ? sample(n * x + 1) : maximum};
        }
        case IL_MODEL_INDEXED: {
            const ILPaletteEntry e = image.palette->entries[static_cast<uint32_t>(sample(x))];
            return {e.red / 257.0, e.green / 257.0, e.blue / 257.0, alpha ? e.alpha / 257.0 : 255};
        }
        default: {
            const uint32_t n = alpha ? 4 : 3;
            return {sample(n * x + 2), sample(n * x + 1), sample(n * x),
                    alpha ? sample(n * x + 3) : maximum};
        }
    }
}

class PngTest : public ::testing::Test {
protected:
    void SetUp() override {
        h = ILCreateHandle("Vx PNG test");
        ASSERT_NE(h, nullptr);
        KeepMessages(h);
        dir = MakeTestFolder("vx_png");
    }

    void TearDown() override {
        ILDestroyHandle(h);
        fs::remove_all(dir);
    }

    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    ILResult Load(const std::string& path, ILImage* image, ILInfo* info) {
        return ILLoadImage(h, ILUtf8ToPath(path).c_str(), image, info);
    }

    // Writes the chunks as a file and loads it.
    ILResult LoadChunks(const std::vector<Chunk>& chunks, ILImage* image, ILInfo* info) {
        const std::string path = PathOf("built.png");
        EXPECT_TRUE(WriteBytes(path, pngtest::File(chunks)));
        return Load(path, image, info);
    }

    ILResult Save(const std::string& path, const ILImage& image, const ILInfo* info = nullptr) {
        return ILSaveImage(h, ILUtf8ToPath(path).c_str(), &image, info);
    }

    ILHandle* h = nullptr;
    fs::path dir;
};

// ---------------------------------------------------------------------------
// Conformance and damaged input.

// Every valid PngSuite file decodes to the suite's samples. Files with a gAMA
// chunk are brought to gamma 2.2, so their reference is corrected here the
// same way: out = in^(1 / (file gamma x 2.2)), within one step of 8 bits (16
// for 16-bit files); the others match exactly. Alpha is never corrected.
TEST_F(PngTest, PngSuiteDecodesToItsReferences) {
    const fs::path suite = Corpus("pngsuite") / "png";
    if (!fs::exists(suite)) GTEST_SKIP() << "corpus not found at " << suite;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(suite))
        if (entry.path().extension() == ".png" && entry.path().filename().string()[0] != 'x')
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 100u);

    for (const fs::path& file : files) {
        SCOPED_TRACE(file.filename().string());
        const std::vector<Chunk> chunks = pngtest::Chunks(ReadBytes(file.string()));
        ASSERT_FALSE(chunks.empty());
        const int depth = chunks[0].data[8], colorType = chunks[0].data[9];
        double exponent = 1.0;
        if (const Chunk* gama = pngtest::Find(chunks, "gAMA"))
            exponent = 1.0 / (pngtest::Be32(gama->data.data()) / 100000.0 * 2.2);

        ILImage image;
        ILInfo info;
        ASSERT_EQ(Load(file.string(), &image, &info), IL_OK)
            << (errors.empty() ? "" : errors.back());
        const std::vector<double> reference =
            JsonNumbers(fs::path(file).replace_extension(".json"));
        ASSERT_EQ(reference.size(), size_t{image.width} * image.height * 4);

        const double scale = colorType == 3 ? 255 : depth == 16 ? 65535 : (1 << depth) - 1;
        const double perReference = depth == 16 ? 1 : scale / 255;
        // A corrected sample needs more levels than 2 or 4 bits hold.
        const double loaded = image.bits == 16 ? 65535
                              : colorType == 3 ? 255
                                               : (1 << image.bits) - 1;
        const double tolerance = std::fabs(exponent - 1) > 1e-4 ? 1 / std::max(loaded, 255.0) : 0;
        const bool alpha = image.type & IL_EXTRA_ALPHA;
        int failures = 0;
        for (uint32_t y = 0; y < image.height && failures < 3; ++y) {
            for (uint32_t x = 0; x < image.width && failures < 3; ++x) {
                const std::array<double, 4> have = Pixel(image, x, y);
                const double* want = &reference[(size_t{y} * image.width + x) * 4];
                for (int c = 0; c < 4; ++c) {
                    if (c == 3 && !alpha) continue;
                    double expected = want[c] * perReference / scale;
                    if (c < 3) expected = std::pow(expected, exponent);
                    const double got = have[c] / loaded;
                    if (std::fabs(got - expected) > tolerance + 1e-6) {
                        ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": have "
                                      << have[c] << ", want " << expected * loaded;
                        ++failures;
                    }
                }
            }
        }
        ILFreeImage(&image);
    }
}

// PngSuite's damaged files: each is refused with the code its fault calls
// for and a message under the codec's name.
TEST_F(PngTest, PngSuiteDamagedFilesAreRefused) {
    const fs::path suite = Corpus("pngsuite") / "png";
    if (!fs::exists(suite)) GTEST_SKIP() << "corpus not found at " << suite;
    const struct {
        const char* name;
        ILResult result;
    } cases[] = {
        {"xs1n0g01", IL_INVALID_HEADER}, // signature byte 1 with its top bit cleared
        {"xs2n0g01", IL_INVALID_HEADER}, // signature byte 2 is 'Q'
        {"xs7n0g01", IL_INVALID_HEADER}, // signature byte 7 is a blank
        {"xlfn0g04", IL_INVALID_HEADER}, // signature mangled by line-end translation
        {"xc1n0g08", IL_FAILED},         // colour type 1
        {"xc9n2c08", IL_FAILED},         // colour type 9
        {"xd0n2c08", IL_FAILED},         // bit depth 0
        {"xd9n2c08", IL_FAILED},         // bit depth 99
        {"xdtn0g01", IL_FAILED},         // no IDAT chunk
        {"xcsn0g01", IL_PARTIAL},        // IDAT checksum wrong, seen after the rows
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        ILImage image;
        ILInfo info;
        EXPECT_EQ(Load((suite / (std::string(c.name) + ".png")).string(), &image, &info), c.result);
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors[0].rfind("PNG: ", 0), 0u) << errors[0];
        EXPECT_EQ(image.data != nullptr, c.result == IL_PARTIAL);
        ILFreeImage(&image);
    }
}

// The PNG files of the other suites decode, or fail with a message.
TEST_F(PngTest, OtherSuitesDecodeWithoutCrashing) {
    const fs::path root(VX_CORPUS_DIR);
    if (!fs::exists(root)) GTEST_SKIP() << "corpus not found at " << root;
    size_t decoded = 0, seen = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const fs::path& p = entry.path();
        if (p.extension() != ".png" || p.string().find("/pngsuite/") != std::string::npos) continue;
        SCOPED_TRACE(p.string());
        ++seen;
        errors.clear();
        ILImage image;
        ILInfo info;
        const ILResult result = Load(p.string(), &image, &info);
        if (result == IL_OK) {
            ++decoded;
            EXPECT_TRUE(ILIsValidImage(&image));
            EXPECT_EQ(info.width, image.width);
        } else {
            EXPECT_FALSE(errors.empty()) << "result " << result;
        }
        ILFreeImage(&image);
    }
    EXPECT_GT(seen, 100u);
    EXPECT_GT(decoded, seen * 9 / 10);
}

// Truncated copies of real files (cut before the image data is complete)
// and copies with one flipped bit: an error code and a message, or for a
// flip the codec tolerates, a valid image; never a crash.
TEST_F(PngTest, TruncatedAndBitFlippedFilesFailCleanly) {
    const fs::path suite = Corpus("pngsuite") / "png";
    if (!fs::exists(suite)) GTEST_SKIP() << "corpus not found at " << suite;
    std::mt19937 random(20240611);
    const std::string path = PathOf("damaged.png");
    for (const char* name :
         {"basn2c16", "basi6a16", "basn3p04", "tbgn3p08", "oi9n2c16", "ccwn2c08"}) {
        SCOPED_TRACE(name);
        const Bytes original = ReadBytes((suite / (std::string(name) + ".png")).string());
        std::vector<size_t> ends;
        const std::vector<Chunk> chunks = pngtest::Chunks(original, &ends);
        // Cuts end before the last 4 bytes of the zlib stream (its checksum),
        // which may be spread over several IDAT chunks.
        size_t limit = 0, tail = 4;
        for (size_t i = chunks.size(); i-- > 0 && tail > 0;) {
            if (chunks[i].type != "IDAT") continue;
            const size_t take = std::min(tail, chunks[i].data.size());
            tail -= take;
            limit = ends[i] - 4 - take;
        }
        ASSERT_GT(limit, 40u);

        for (int i = 0; i < 12; ++i) {
            const size_t length = 12 + random() % (limit - 12);
            SCOPED_TRACE("cut at " + std::to_string(length));
            ASSERT_TRUE(WriteBytes(path, Bytes(original.begin(), original.begin() + length)));
            errors.clear();
            ILImage image;
            const ILResult result = Load(path, &image, nullptr);
            EXPECT_NE(result, IL_OK);
            EXPECT_EQ(errors.size(), 1u);
            if (result == IL_PARTIAL) {
                EXPECT_TRUE(ILIsValidImage(&image));
            }
            ILFreeImage(&image);
        }
        for (int i = 0; i < 40; ++i) {
            Bytes copy = original;
            const size_t at = random() % original.size();
            copy[at] ^= static_cast<uint8_t>(1u << (random() % 8));
            SCOPED_TRACE("bit flipped at " + std::to_string(at));
            ASSERT_TRUE(WriteBytes(path, copy));
            errors.clear();
            ILImage image;
            ILInfo info;
            const ILResult result = Load(path, &image, &info);
            if (result == IL_OK || result == IL_PARTIAL) {
                EXPECT_TRUE(ILIsValidImage(&image));
            }
            if (result != IL_OK) {
                EXPECT_FALSE(errors.empty()) << "result " << result;
            }
            ILFreeImage(&image);
        }
    }
}

TEST_F(PngTest, SignatureMismatchInAnyByteIsAnInvalidHeader) {
    std::vector<uint8_t> file = pngtest::File({pngtest::Ihdr(1, 1, 8, 0), pngtest::Idat({{0x80}})});
    const std::string path = PathOf("sig.png");
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        Bytes copy = file;
        copy[i] ^= 0x20;
        ASSERT_TRUE(WriteBytes(path, copy));
        errors.clear();
        ILImage image;
        EXPECT_EQ(Load(path, &image, nullptr), IL_INVALID_HEADER);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0], "PNG: Invalid image file header");
    }
}

// A header claiming far more pixels than the data could inflate to is
// refused before any allocation.
TEST_F(PngTest, ClaimBeyondTheFileSizeIsRefused) {
    ILImage image;
    ILInfo info;
    EXPECT_EQ(
        LoadChunks({pngtest::Ihdr(1000000, 1000000, 16, 6), pngtest::Idat({{0}})}, &image, &info),
        IL_INVALID_HEADER);
    EXPECT_EQ(image.data, nullptr);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("1000000 x 1000000"), std::string::npos) << errors[0];
    // The info alone still answers.
    EXPECT_EQ(
        LoadChunks({pngtest::Ihdr(1000000, 1000000, 16, 6), pngtest::Idat({{0}})}, nullptr, &info),
        IL_OK);
    EXPECT_EQ(info.width, 1000000u);
}

// Padding (here one unknown chunk of 1 MB) does not make room for a claim:
// only the image data counts, at deflate's best ratio of 1032 to 1.
TEST_F(PngTest, PaddingDoesNotBackAClaim) {
    const Chunk padding{"vxPd", Bytes(1 << 20, 0)};
    ILImage image;
    EXPECT_EQ(LoadChunks({pngtest::Ihdr(1000000, 1000, 8, 0), padding, pngtest::Idat({{0}})},
                         &image, nullptr),
              IL_INVALID_HEADER);
    EXPECT_EQ(image.data, nullptr);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("1000000 x 1000 pixels cannot come from a file of"), std::string::npos)
        << errors[0];
}

// A text chunk whose length field claims 1.8 GB in a file of a few dozen
// bytes: libpng would allocate and clear the claim before reading.
TEST_F(PngTest, ChunkLengthBeyondTheFileCostsNoMemory) {
    Bytes file = pngtest::File({pngtest::Ihdr(8, 8, 8, 0)});
    file.resize(file.size() - 12); // no IEND
    pngtest::PutBe32(&file, 0x6E67A01B);
    pngtest::PutText(&file, "iTXtTitle", true);
    const std::string path = PathOf("claim.png");
    ASSERT_TRUE(WriteBytes(path, file));
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    ILImage image;
    EXPECT_EQ(Load(path, &image, nullptr), IL_FAILED);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024) << "kilobytes";
    EXPECT_FALSE(errors.empty());
}

// A file cut inside the image data keeps the rows that arrived, reports
// libpng's text once and leaves the missing rows black.
TEST_F(PngTest, TruncatedFileKeepsTheDecodedRows) {
    // Stored deflate blocks, so that the cut falls at a known row; libpng
    // reads the data in 8 KB pieces, so the cut lies well past the first.
    std::vector<std::vector<uint8_t>> rows(128, std::vector<uint8_t>(128 * 3));
    std::mt19937 random(7);
    for (auto& row : rows)
        for (uint8_t& v : row)
            v = static_cast<uint8_t>(random() | 1); // never 0: missing rows stand out
    const Bytes whole = pngtest::File({pngtest::Ihdr(128, 128, 8, 2), pngtest::Idat(rows, 0)});
    const std::string path = PathOf("cut.png");
    ASSERT_TRUE(WriteBytes(path, Bytes(whole.begin(), whole.begin() + whole.size() / 2)));

    ILImage image;
    ASSERT_EQ(Load(path, &image, nullptr), IL_PARTIAL);
    ASSERT_EQ(errors.size(), 1u) << errors[0];
    uint32_t complete = 0;
    while (complete < 128 && image.data[complete * image.stride] != 0)
        ++complete;
    EXPECT_GT(complete, 20u);
    EXPECT_LT(complete, 64u);
    for (uint32_t y = 0; y < 128; ++y) {
        const uint8_t* have = image.data + y * image.stride;
        for (uint32_t x = 0; x < 128; ++x) {
            const uint8_t* want = &rows[y][3 * x];
            const std::array<uint8_t, 3> expected =
                y < complete ? std::array<uint8_t, 3>{want[2], want[1], want[0]}
                             : std::array<uint8_t, 3>{0, 0, 0};
            ASSERT_EQ((std::array<uint8_t, 3>{have[3 * x], have[3 * x + 1], have[3 * x + 2]}),
                      expected)
                << x << "," << y;
        }
    }
    ILFreeImage(&image);
}

// ---------------------------------------------------------------------------
// What the loader delivers.

// Samples reach the image in B, G, R order, 16-bit ones in the machine's
// little-endian order, with the info record describing the file.
TEST_F(PngTest, SampleOrderAndInfo) {
    Chunk phys{"pHYs", {}};
    pngtest::PutBe32(&phys.data, 2835);
    pngtest::PutBe32(&phys.data, 5906);
    phys.data.push_back(1);
    ILImage image;
    ILInfo info;
    ASSERT_EQ(
        LoadChunks({pngtest::Ihdr(2, 1, 8, 2), phys, pngtest::Idat({{10, 20, 30, 40, 50, 60}})},
                   &image, &info),
        IL_OK);
    EXPECT_EQ(image.type, IL_MODEL_RGB | IL_KIND_8);
    EXPECT_EQ(Bytes(image.data, image.data + 6), (Bytes{30, 20, 10, 60, 50, 40}));
    EXPECT_EQ(info.formatId, 0x40u);
    EXPECT_EQ(info.colorType, IL_CT_RGB);
    EXPECT_EQ(info.channels, 3u);
    EXPECT_EQ(info.bitsPerPixel, 24u);
    EXPECT_EQ(info.compression, IL_COMP_DEFLATE);
    EXPECT_EQ(info.pages, 1);
    EXPECT_EQ(info.ppiX, 72u);
    EXPECT_EQ(info.ppiY, 150u);
    EXPECT_EQ(info.gammaKind, IL_GAMMA_ASSUMED);
    EXPECT_DOUBLE_EQ(info.gamma, 2.2);

    ASSERT_EQ(LoadChunks({pngtest::Ihdr(1, 1, 16, 6, 1),
                          pngtest::Idat({{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}})},
                         &image, &info),
              IL_OK);
    EXPECT_EQ(image.type, IL_MODEL_RGB | IL_KIND_16 | IL_EXTRA_ALPHA);
    uint16_t samples[4];
    std::memcpy(samples, image.data, sizeof samples);
    EXPECT_EQ(samples[0], 0x0506); // blue
    EXPECT_EQ(samples[1], 0x0304);
    EXPECT_EQ(samples[2], 0x0102);
    EXPECT_EQ(samples[3], 0x0708);
    EXPECT_EQ(info.compression, IL_COMP_DEFLATE_INTERLACED);
    EXPECT_EQ(info.alphaKind, IL_ALPHA_STRAIGHT);
    EXPECT_EQ(info.bitsPerPixel, 64u);
    ILFreeImage(&image);
}

// A palette file with tRNS loads as indexed with alpha; alphas are the tRNS
// values on the 16-bit scale and entries past tRNS are opaque.
TEST_F(PngTest, PaletteWithTransparency) {
    Chunk plte{"PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255}};
    Chunk trns{"tRNS", {0, 128}};
    ILImage image;
    ILInfo info;
    ASSERT_EQ(LoadChunks({pngtest::Ihdr(3, 1, 8, 3), plte, trns, pngtest::Idat({{0, 1, 2}})},
                         &image, &info),
              IL_OK);
    EXPECT_EQ(image.type, IL_MODEL_INDEXED | IL_KIND_8 | IL_EXTRA_ALPHA);
    ASSERT_NE(image.palette, nullptr);
    ASSERT_GE(image.palette->count, 3u);
    const ILPaletteEntry* e = image.palette->entries;
    EXPECT_EQ(e[0].red, 65535);
    EXPECT_EQ(e[0].alpha, 0);
    EXPECT_EQ(e[1].green, 65535);
    EXPECT_EQ(e[1].alpha, 128 * 257);
    EXPECT_EQ(e[2].blue, 65535);
    EXPECT_EQ(e[2].alpha, 65535);
    EXPECT_EQ(info.alphaKind, IL_ALPHA_STRAIGHT);
    EXPECT_EQ(info.colorType, IL_CT_INDEXED);
    EXPECT_EQ(info.channels, 1u);
    EXPECT_EQ(info.bitsPerPixel, 8u);
    ILFreeImage(&image);
}

Chunk Gama(uint32_t value) {
    Chunk c{"gAMA", {}};
    pngtest::PutBe32(&c.data, value);
    return c;
}

Chunk Chrm(std::array<uint32_t, 8> values) {
    Chunk c{"cHRM", {}};
    for (uint32_t v : values)
        pngtest::PutBe32(&c.data, v);
    return c;
}

Chunk Iccp(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    Bytes bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    uLongf packed = compressBound(size);
    Bytes z(packed);
    compress2(z.data(), &packed, bytes.data(), size, 9);
    Chunk c{"iCCP", {'I', 'C', 'C', 0, 0}};
    c.data.insert(c.data.end(), z.begin(), z.begin() + static_cast<ptrdiff_t>(packed));
    return c;
}

// The colour chunks, first rule that applies: iCCP, sRGB, gAMA with cHRM.
TEST_F(PngTest, ColourChunksChooseTheGammaKind) {
    const std::array<uint32_t, 8> srgbPrimaries = {31270, 32900, 64000, 33000,
                                                   30000, 60000, 15000, 6000};
    const std::array<uint32_t, 8> widePrimaries = {34567, 35850, 73470, 26530,
                                                   11400, 82600, 15660, 1770};
    // Green on x = 0: accepted by libpng, refused by the codec.
    const std::array<uint32_t, 8> oddPrimaries = {31270, 32900, 64000, 33000,
                                                  0,     60000, 15000, 6000};
    cmsCIExyY d50;
    cmsWhitePointFromTemp(&d50, 5003);
    const cmsCIExyYTRIPLE wide{{0.7347, 0.2653, 1}, {0.1152, 0.8264, 1}, {0.1566, 0.0177, 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE wideProfile = cmsCreateRGBProfile(&d50, &wide, curves);
    cmsFreeToneCurve(curve);
    const Chunk wideIccp = Iccp(wideProfile);
    ASSERT_TRUE(ILUseColorManagement());
    const Chunk srgbIccp = Iccp(ILProfileSRGB);
    cmsCloseProfile(wideProfile);
    const Chunk srgb{"sRGB", {0}};

    const struct {
        const char* name;
        int colorType;
        std::vector<Chunk> chunks;
        uint8_t kind;
        double gamma;
        bool warned;
    } cases[] = {
        {"no chunk", 2, {}, IL_GAMMA_ASSUMED, 2.2, false},
        {"gAMA 1/2.2", 2, {Gama(45455)}, IL_GAMMA_STORED, 1 / 0.45455, false},
        {"gAMA above 67", 2, {Gama(10000000)}, IL_GAMMA_ASSUMED, 2.2, false},
        {"sRGB beats gAMA and cHRM",
         2,
         {srgb, Gama(45455), Chrm(srgbPrimaries)},
         IL_GAMMA_SRGB,
         2.2,
         false},
        {"iCCP beats sRGB", 2, {wideIccp, srgb}, IL_GAMMA_ICC, 1.0, false},
        {"iCCP of sRGB", 2, {srgbIccp}, IL_GAMMA_ICC_SRGB, 2.2, false},
        {"cHRM of sRGB",
         2,
         {Gama(45455), Chrm(srgbPrimaries)},
         IL_GAMMA_CHROMATICITIES_SRGB,
         1 / 0.45455,
         false},
        {"cHRM of wide gamut",
         2,
         {Gama(45455), Chrm(widePrimaries)},
         IL_GAMMA_CHROMATICITIES,
         1 / 0.45455,
         false},
        {"cHRM invalid", 2, {Gama(45455), Chrm(oddPrimaries)}, IL_GAMMA_STORED, 1 / 0.45455, true},
        {"grey ignores cHRM",
         0,
         {Gama(45455), Chrm(oddPrimaries)},
         IL_GAMMA_STORED,
         1 / 0.45455,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Chunk> chunks{pngtest::Ihdr(1, 1, 8, c.colorType)};
        chunks.insert(chunks.end(), c.chunks.begin(), c.chunks.end());
        chunks.push_back(pngtest::Idat({Bytes(c.colorType == 2 ? 3 : 1, 100)}));
        warnings.clear();
        ILImage image;
        ILInfo info;
        ASSERT_EQ(LoadChunks(chunks, &image, &info), IL_OK)
            << (errors.empty() ? "" : errors.back());
        EXPECT_EQ(info.gammaKind, c.kind);
        EXPECT_NEAR(info.gamma, c.gamma, 1e-9);
        EXPECT_EQ(info.icc.present != 0, c.kind == IL_GAMMA_ICC || c.kind == IL_GAMMA_ICC_SRGB);
        EXPECT_EQ(std::count(warnings.begin(), warnings.end(),
                             "PNG: Invalid chromaticity values - chunk ignored"),
                  c.warned ? 1 : 0);
        ILFreeImage(&image);
    }
}

// A wide-gamut file is converted to sRGB through its profile: its strong
// red is outside sRGB and lands clipped at red, while its grey stays grey.
// A palette file gets the same conversion on its palette.
TEST_F(PngTest, ChromaticitiesConvertThePixels) {
    const std::array<uint32_t, 8> widePrimaries = {31270, 32900, 73470, 26530,
                                                   11400, 82600, 15660, 1770};
    ILImage image;
    ASSERT_EQ(LoadChunks({pngtest::Ihdr(2, 1, 8, 2), Gama(45455), Chrm(widePrimaries),
                          pngtest::Idat({{200, 0, 0, 128, 128, 128}})},
                         &image, nullptr),
              IL_OK);
    const uint8_t* p = image.data;
    EXPECT_EQ(p[2], 255); // red
    EXPECT_LT(p[1], 20);
    EXPECT_LT(p[0], 20);
    EXPECT_NEAR(p[3], 128, 2);
    EXPECT_NEAR(p[4], 128, 2);
    EXPECT_NEAR(p[5], 128, 2);

    ASSERT_EQ(LoadChunks({pngtest::Ihdr(2, 1, 8, 3), Gama(45455), Chrm(widePrimaries),
                          Chunk{"PLTE", {200, 0, 0, 128, 128, 128}}, pngtest::Idat({{0, 1}})},
                         &image, nullptr),
              IL_OK);
    ASSERT_NE(image.palette, nullptr);
    const ILPaletteEntry* e = image.palette->entries;
    EXPECT_EQ(e[0].red, 65535);
    EXPECT_LT(e[0].green, 20 * 257);
    EXPECT_LT(e[0].blue, 20 * 257);
    EXPECT_NEAR(e[1].red, 128 * 257, 2 * 257);
    EXPECT_NEAR(e[1].blue, 128 * 257, 2 * 257);
    ILFreeImage(&image);
}

// Interlaced files whose rows pass through the converter (here to RGB 8)
// decode like their non-interlaced twins.
TEST_F(PngTest, InterlacedTwinsDecodeAlikeThroughTheConverter) {
    const fs::path suite = Corpus("pngsuite") / "png";
    if (!fs::exists(suite)) GTEST_SKIP() << "corpus not found at " << suite;
    ILSetLoadModeRGB8(h);
    int pairs = 0;
    for (const char* name :
         {"0g04", "0g08", "0g16", "3p02", "3p04", "4a08", "4a16", "6a08", "6a16"}) {
        const fs::path interlaced = suite / ("basi" + std::string(name) + ".png");
        const fs::path plain = suite / ("basn" + std::string(name) + ".png");
        if (!fs::exists(interlaced) || !fs::exists(plain)) continue;
        SCOPED_TRACE(name);
        ++pairs;
        ILImage a, b;
        ASSERT_EQ(Load(interlaced.string(), &a, nullptr), IL_OK);
        ASSERT_EQ(Load(plain.string(), &b, nullptr), IL_OK);
        ASSERT_EQ(a.type, IL_MODEL_RGB | IL_KIND_8);
        ASSERT_EQ(b.type, a.type);
        ASSERT_EQ(a.height, b.height);
        for (uint32_t y = 0; y < a.height; ++y)
            ASSERT_EQ(std::memcmp(a.data + y * a.stride, b.data + y * b.stride, a.width * 3), 0)
                << "row " << y;
        ILFreeImage(&a);
        ILFreeImage(&b);
    }
    EXPECT_GE(pairs, 5);
}

// bKGD becomes the image background on a 16-bit scale, corrected like the
// pixels.
TEST_F(PngTest, BackgroundFromBkgd) {
    uint16_t bgr[3];
    ILImage image;
    Chunk white{"bKGD", {0, 255, 0, 255, 0, 255}};
    ASSERT_EQ(
        LoadChunks({pngtest::Ihdr(1, 1, 8, 2), Gama(45455), white, pngtest::Idat({{1, 2, 3}})},
                   &image, nullptr),
        IL_OK);
    image.background.ToBGR16(bgr);
    EXPECT_EQ(bgr[0], 65535);
    EXPECT_EQ(bgr[1], 65535);
    EXPECT_EQ(bgr[2], 65535);

    // Grey level 5 of 15 without gAMA: 5 x 65535 / 15 uncorrected.
    Chunk grey{"bKGD", {0, 5}};
    ASSERT_EQ(
        LoadChunks({pngtest::Ihdr(2, 1, 4, 0), grey, pngtest::Idat({{0x12}})}, &image, nullptr),
        IL_OK);
    image.background.ToBGR16(bgr);
    EXPECT_NEAR(bgr[0], 21845, 1);
    EXPECT_NEAR(bgr[2], 21845, 1);

    // A palette file's bKGD names an entry; gAMA 1.0 brightens it by 1/2.2.
    Chunk plte{"PLTE", {0, 0, 0, 64, 128, 192}};
    Chunk index{"bKGD", {1}};
    ASSERT_EQ(
        LoadChunks({pngtest::Ihdr(1, 1, 8, 3), Gama(100000), plte, index, pngtest::Idat({{0}})},
                   &image, nullptr),
        IL_OK);
    image.background.ToBGR16(bgr);
    EXPECT_NEAR(bgr[2], 65535 * std::pow(64 / 255.0, 1 / 2.2), 1);
    EXPECT_NEAR(bgr[1], 65535 * std::pow(128 / 255.0, 1 / 2.2), 1);
    EXPECT_NEAR(bgr[0], 65535 * std::pow(192 / 255.0, 1 / 2.2), 1);
    ILFreeImage(&image);
}

Chunk Text(const char* type, const std::string& key, const std::string& text) {
    Chunk c{type, {}};
    pngtest::PutText(&c.data, key, true);
    if (c.type == "zTXt") {
        c.data.push_back(0);
        uLongf packed = compressBound(text.size());
        Bytes z(packed);
        compress2(z.data(), &packed, reinterpret_cast<const Bytef*>(text.data()), text.size(), 9);
        c.data.insert(c.data.end(), z.begin(), z.begin() + static_cast<ptrdiff_t>(packed));
    } else if (c.type == "iTXt") {
        c.data.insert(c.data.end(), {0, 0, 0, 0}); // uncompressed, no language, no translation
        pngtest::PutText(&c.data, text, false);
    } else {
        pngtest::PutText(&c.data, text, false);
    }
    return c;
}

// Texts in file order; the XMP packet becomes the info's XMP; nothing is
// read when metadata is off.
TEST_F(PngTest, TextsAndXmp) {
    const std::string xmp =
        "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
        "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
        "rdf:about='' "
        "xmlns:dc='http://purl.org/dc/elements/1.1/' dc:format='image/png'/></rdf:RDF></x:xmpmeta>"
        "<?xpacket end='w'?>";
    const std::vector<Chunk> chunks{pngtest::Ihdr(1, 1, 8, 0),
                                    Text("tEXt", "Title", "Sunset"),
                                    Text("zTXt", "Author", "Ann Lee"),
                                    Text("iTXt", "Comment", "caf\xc3\xa9"),
                                    Text("tEXt", "Empty", ""),
                                    Text("iTXt", "XML:com.adobe.xmp", xmp),
                                    pngtest::Idat({{0}})};
    ILInfo info;
    ASSERT_EQ(LoadChunks(chunks, nullptr, &info), IL_OK);
    ASSERT_EQ(info.texts.count, 3);
    EXPECT_STREQ(info.texts.items[0].key, "Title");
    EXPECT_STREQ(info.texts.items[0].text, "Sunset");
    EXPECT_STREQ(info.texts.items[1].key, "Author");
    EXPECT_STREQ(info.texts.items[1].text, "Ann Lee");
    EXPECT_STREQ(info.texts.items[2].text, "caf\xc3\xa9");
    EXPECT_TRUE(ILHasXMP(info.xmp));

    ILSkipMetadata(h);
    ASSERT_EQ(LoadChunks(chunks, nullptr, &info), IL_OK);
    EXPECT_EQ(info.texts.count, 0);
    EXPECT_FALSE(ILHasXMP(info.xmp));
}

// XMP nested 200,000 levels deep fits in a compressed iTXt chunk of under
// 2 KB, and would overflow the stack of the XMP toolkit: the packet is
// dropped with a warning and the picture loads.
TEST_F(PngTest, DeeplyNestedXmpIsDropped) {
    std::string xmp = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>";
    for (int i = 0; i < 200000; ++i)
        xmp += "<a>";
    Chunk itxt{"iTXt", {}};
    pngtest::PutText(&itxt.data, "XML:com.adobe.xmp", true);
    itxt.data.insert(itxt.data.end(), {1, 0, 0, 0}); // compressed, no language, no translation
    uLongf packed = compressBound(xmp.size());
    Bytes z(packed);
    compress2(z.data(), &packed, reinterpret_cast<const Bytef*>(xmp.data()), xmp.size(), 9);
    itxt.data.insert(itxt.data.end(), z.begin(), z.begin() + static_cast<ptrdiff_t>(packed));
    ASSERT_LT(itxt.data.size(), 2048u);

    ILImage image;
    ILInfo info;
    EXPECT_EQ(LoadChunks({pngtest::Ihdr(1, 1, 8, 0), itxt, pngtest::Idat({{0}})}, &image, &info),
              IL_OK);
    EXPECT_FALSE(ILHasXMP(info.xmp));
    EXPECT_EQ(warnings,
              std::vector<std::string>{"PNG: XMP packet nested too deeply - packet ignored"});
    ILFreeImage(&image);
}

// ---------------------------------------------------------------------------
// The saver.

// An image of the type with varied samples (indexed ones with a palette).
ILImage MakeImage(ILPixelType type, uint32_t width, uint32_t height, uint32_t seed) {
    ILImage image;
    EXPECT_EQ(ILCreateImage(&image, width, height, type, nullptr), IL_OK);
    std::mt19937 random(seed);
    for (uint32_t y = 0; y < height; ++y)
        for (int64_t i = 0; i < image.stride; ++i)
            image.data[y * image.stride + i] = static_cast<uint8_t>(random());
    if ((type & IL_MODEL_MASK) == IL_MODEL_INDEXED) {
        const uint32_t n = 1u << image.bits;
        image.palette = new ILPalette(n);
        for (uint32_t i = 0; i < n; ++i)
            image.palette->SetEntry16(
                i, static_cast<uint16_t>(random() % 256 * 257),
                static_cast<uint16_t>(random() % 256 * 257),
                static_cast<uint16_t>(random() % 256 * 257),
                (type & IL_EXTRA_ALPHA) ? static_cast<uint16_t>(random() % 256 * 257) : 65535);
    }
    return image;
}

bool SamePixels(const ILImage& a, const ILImage& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (uint32_t y = 0; y < a.height; ++y)
        for (uint32_t x = 0; x < a.width; ++x)
            if (Pixel(a, x, y) != Pixel(b, x, y)) return false;
    return true;
}

// The netpbm reading of a PNG as samples in file order (PAM, with alpha
// where the file has it), with maxval.
struct Netpbm {
    uint32_t width = 0, height = 0, depth = 0, maxval = 0;
    std::vector<uint32_t> samples;
};

bool ReadPam(const std::string& text, Netpbm* out) {
    if (text.rfind("P7\n", 0) != 0) return false;
    size_t at = 3;
    while (true) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line == "ENDHDR") break;
        const size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const uint32_t value = static_cast<uint32_t>(std::atol(line.c_str() + key.size()));
        if (key == "WIDTH")
            out->width = value;
        else if (key == "HEIGHT")
            out->height = value;
        else if (key == "DEPTH")
            out->depth = value;
        else if (key == "MAXVAL")
            out->maxval = value;
    }
    const size_t n = size_t{out->width} * out->height * out->depth;
    const size_t bytes = out->maxval > 255 ? 2 : 1;
    if (text.size() < at + n * bytes) return false;
    for (size_t i = 0; i < n; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(text.data() + at + i * bytes);
        out->samples.push_back(bytes == 2 ? (p[0] << 8 | p[1]) : p[0]);
    }
    return true;
}

// The pixels as netpbm's pngtopnm sees them: its colour samples (and
// alpha when the file has it) equal ours, 8-bit palettes expanded.
void ExpectNetpbmReads(const std::string& path, const ILImage& image) {
    const bool alpha = image.type & IL_EXTRA_ALPHA;
    Netpbm pnm;
    ASSERT_TRUE(ReadPam(RunOutput("pngtopnm " + std::string(alpha ? "-alphapam " : "") + path +
                                  " 2>/dev/null | pamtopam 2>/dev/null"),
                        &pnm));
    ASSERT_EQ(pnm.width, image.width);
    ASSERT_EQ(pnm.height, image.height);
    const bool grey = (image.type & IL_MODEL_MASK) == IL_MODEL_GRAY;
    const uint32_t colours = pnm.depth - (alpha ? 1 : 0);
    ASSERT_EQ(colours, grey ? 1u : 3u);
    const bool indexed = (image.type & IL_MODEL_MASK) == IL_MODEL_INDEXED;
    const double toNetpbm = indexed ? pnm.maxval / 255.0 : 1;
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const std::array<double, 4> have = Pixel(image, x, y);
            const uint32_t* want = &pnm.samples[(size_t{y} * image.width + x) * pnm.depth];
            for (uint32_t c = 0; c < pnm.depth; ++c) {
                const double ours = (c == colours ? have[3] : have[c]) * toNetpbm;
                ASSERT_EQ(ours, want[c]) << x << "," << y << " sample " << c;
            }
        }
    }
}

// Every type PNG stores as it is round-trips through us and reads the same
// in netpbm; pngcheck finds nothing wrong. Interlaced files too (any
// non-zero option asks for Adam7).
TEST_F(PngTest, SavedFilesRoundTrip) {
    const struct {
        ILPixelType type;
        int colorType, depth;
    } cases[] = {
        {IL_GREY1, 0, 1},   {IL_GREY2, 0, 2},   {IL_GREY4, 0, 4},     {IL_GREY8, 0, 8},
        {IL_GREY16, 0, 16}, {IL_GREY_A8, 4, 8}, {IL_GREY_A16, 4, 16}, {IL_INDEX1, 3, 1},
        {IL_INDEX4, 3, 4},  {IL_INDEX8, 3, 8},  {IL_INDEX_A8, 3, 8},  {IL_BGR8, 2, 8},
        {IL_BGR16, 2, 16},  {IL_BGRA8, 6, 8},   {IL_BGRA16, 6, 16},   {IL_RGB8, 2, 8},
        {IL_RGBA8, 6, 8},
    };
    const bool tools = HaveTool("pngtopnm") && HaveTool("pngcheck");
    for (uint32_t interlaced : {0u, 2u}) {
        h->png.interlaced = interlaced;
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << std::hex << "type 0x" << c.type << " interlaced " << interlaced);
            ILImage image = MakeImage(c.type, 13, 7, c.type);
            const std::string path = PathOf("round.png");
            ASSERT_EQ(Save(path, image), IL_OK) << (errors.empty() ? "" : errors.back());
            const std::vector<Chunk> chunks = pngtest::Chunks(ReadBytes(path));
            ASSERT_FALSE(chunks.empty());
            EXPECT_EQ(chunks[0].data[8], c.depth);
            EXPECT_EQ(chunks[0].data[9], c.colorType);
            EXPECT_EQ(chunks[0].data[12], interlaced ? 1 : 0);

            ILImage back;
            ASSERT_EQ(Load(path, &back, nullptr), IL_OK);
            EXPECT_EQ(back.type & ~IL_ORDER_RGB, c.type & ~IL_ORDER_RGB);
            if (c.type & IL_ORDER_RGB) {
                // Ours reads B, G, R: compare through the pixel reader.
                ILImage swapped;
                ILCreateImage(&swapped, image.width, image.height, c.type & ~IL_ORDER_RGB, nullptr);
                const uint32_t n = ILChannelCount(c.type);
                for (uint32_t y = 0; y < image.height; ++y)
                    for (uint32_t x = 0; x < image.width; ++x)
                        for (uint32_t k = 0; k < n; ++k)
                            swapped.data[y * swapped.stride + n * x + k] =
                                image.data[y * image.stride + n * x + (k < 3 ? 2 - k : k)];
                EXPECT_TRUE(SamePixels(swapped, back));
                ILFreeImage(&swapped);
            } else {
                EXPECT_TRUE(SamePixels(image, back));
            }
            if (tools && !(c.type & IL_ORDER_RGB)) {
                EXPECT_EQ(Shell("pngcheck -q " + path + " >/dev/null 2>&1"), 0);
                ExpectNetpbmReads(path, back);
            }
            ILFreeImage(&back);
            ILFreeImage(&image);
        }
    }
}

// Kinds PNG cannot hold are converted: half and float samples to 16 bits,
// premultiplied alpha to straight alpha. Colour
// (0.25, 0.5, 1.0) at alpha 0.5 reads back at the sRGB codes of its values.
TEST_F(PngTest, ConvertedKindsGetMatchingHeaders) {
    const struct {
        ILPixelType type;
        int colorType, depth;
    } cases[] = {
        {IL_MODEL_RGB | IL_KIND_HALF, 2, 16},
        {IL_MODEL_RGB | IL_KIND_FLOAT | IL_EXTRA_ALPHA, 6, 16},
        {IL_MODEL_GRAY | IL_KIND_FLOAT, 0, 16},
        {IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_PREMULTIPLIED, 6, 8},
    };
    ILColor colour;
    colour.Set(0.25f, 0.5f, 1.0f);
    colour.a = 0.5f;
    for (uint32_t interlaced : {0u, 1u}) {
        h->png.interlaced = interlaced;
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << std::hex << "type 0x" << c.type << " interlaced " << interlaced);
            ILImage image;
            ASSERT_EQ(ILCreateImage(&image, 5, 3, c.type, nullptr), IL_OK);
            if (c.type & IL_EXTRA_PREMULTIPLIED) {
                // Filling stores straight samples: premultiply a straight copy.
                ILImage straight;
                ASSERT_EQ(ILCreateImage(&straight, 5, 3, (c.type & ~IL_EXTRA_MASK) | IL_EXTRA_ALPHA,
                                        nullptr),
                          IL_OK);
                ASSERT_EQ(ILFillImage(&straight, colour), IL_OK);
                ILConverter converter;
                ILConverterInit(&converter);
                ASSERT_TRUE(ILConverterConvertImage(&converter, h, &straight, &image));
                ILConverterFree(&converter);
                ILFreeImage(&straight);
            } else {
                ASSERT_EQ(ILFillImage(&image, colour), IL_OK);
            }
            const std::string path = PathOf("converted.png");
            ASSERT_EQ(Save(path, image), IL_OK) << (errors.empty() ? "" : errors.back());
            const std::vector<Chunk> chunks = pngtest::Chunks(ReadBytes(path));
            EXPECT_EQ(chunks[0].data[8], c.depth);
            EXPECT_EQ(chunks[0].data[9], c.colorType);

            ILImage back;
            ASSERT_EQ(Load(path, &back, nullptr), IL_OK);
            const double full = c.depth == 16 ? 65535 : 255;
            const std::array<double, 4> p = Pixel(back, 4, 2);
            if (c.colorType == 0) {
                EXPECT_NEAR(p[0], full * ILLinearToSrgb(colour.Luminance()), full / 100);
            } else {
                EXPECT_NEAR(p[0], full * ILLinearToSrgb(0.25f), full / 100);
                EXPECT_NEAR(p[1], full * ILLinearToSrgb(0.5f), full / 100);
                EXPECT_EQ(p[2], full);
            }
            if (c.colorType == 6) {
                EXPECT_NEAR(p[3], full / 2, 1);
            }
            ILFreeImage(&back);
            ILFreeImage(&image);
        }
    }
}

// Images the format cannot store are refused before a file exists.
TEST_F(PngTest, UnstorableImagesLeaveNoFile) {
    const std::u16string path = ILUtf8ToPath(PathOf("refused.png"));
    ILImage cmyk;
    ASSERT_EQ(ILCreateImage(&cmyk, 2, 2, IL_MODEL_CMYK | IL_KIND_8, nullptr), IL_OK);
    EXPECT_EQ(ILSavePNG(h, path.c_str(), &cmyk, nullptr), IL_UNSUPPORTED_FORMAT);
    EXPECT_EQ(errors.back(), "PNG: Unsupported color format");
    EXPECT_FALSE(fs::exists(PathOf("refused.png")));
    ILFreeImage(&cmyk);

    // A row of 2^31 one-bit pixels: the record alone, never read.
    uint8_t byte = 0;
    ILImage wide;
    wide.data = &byte;
    wide.width = 0x80000000u;
    wide.height = 1;
    wide.type = IL_MODEL_GRAY | IL_KIND_1;
    wide.channels = 1;
    wide.bits = 1;
    wide.stride = 0x10000000;
    EXPECT_EQ(ILSavePNG(h, path.c_str(), &wide, nullptr), IL_BAD_ARGUMENT);
    EXPECT_NE(errors.back().find("2147483647"), std::string::npos) << errors.back();
    EXPECT_FALSE(fs::exists(PathOf("refused.png")));
}

TEST_F(PngTest, WriteFailureIsReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ILImage image = MakeImage(IL_BGR8, 64, 64, 1);
    // The noise overflows the stdio buffer, so libpng's own write fails
    // first; the failure is reported once, and nothing reaches standard error.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ILSavePNG(h, u"/dev/full", &image, nullptr), IL_WRITE_FAILED);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(errors, std::vector<std::string>{"PNG: File write failed, disk full?"});
    ILFreeImage(&image);
}

// The filter byte of each row of a non-interlaced file.
std::set<int> FiltersUsed(const std::vector<Chunk>& chunks, size_t rowBytes) {
    const Bytes raw = pngtest::Inflated(chunks);
    std::set<int> used;
    for (size_t at = 0; at < raw.size(); at += rowBytes + 1)
        used.insert(raw[at]);
    return used;
}

// compression 0..3 choose the zlib level (seen in the zlib header's level
// field) and the row filters; palette files stay unfiltered; other values
// keep libpng's defaults.
TEST_F(PngTest, CompressionOptionChoosesLevelAndFilters) {
    // A smooth picture with noise, on which every filter has a chance.
    ILImage rgb;
    ASSERT_EQ(ILCreateImage(&rgb, 64, 64, IL_MODEL_RGB | IL_KIND_8, nullptr), IL_OK);
    std::mt19937 random(3);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64 * 3; ++x)
            rgb.data[y * rgb.stride + x] =
                static_cast<uint8_t>(x * y / 16 + random() % 8 + (x % 3) * 40);
    ILImage indexed = MakeImage(IL_MODEL_INDEXED | IL_KIND_8, 64, 64, 5);

    const struct {
        uint32_t compression;
        int zlibLevelField; // 0 fastest .. 3 maximum
        std::set<int> allowed;
    } cases[] = {
        {0, 1, {0, 1}},          {1, 2, {0, 1, 2, 3}},    {2, 3, {0, 1, 2, 3, 4}},
        {3, 3, {0, 1, 2, 3, 4}}, {7, 2, {0, 1, 2, 3, 4}},
    };
    const std::string path = PathOf("level.png");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.compression);
        h->png.compression = c.compression;
        ASSERT_EQ(Save(path, rgb), IL_OK);
        std::vector<Chunk> chunks = pngtest::Chunks(ReadBytes(path));
        const Chunk* idat = pngtest::Find(chunks, "IDAT");
        ASSERT_NE(idat, nullptr);
        EXPECT_EQ(idat->data[1] >> 6, c.zlibLevelField);
        const std::set<int> used = FiltersUsed(chunks, 64 * 3);
        EXPECT_TRUE(std::includes(c.allowed.begin(), c.allowed.end(), used.begin(), used.end()));
        if (c.compression >= 2) {
            EXPECT_TRUE(used.count(4) || used.count(3)) << "no filter beyond UP chosen";
        }

        ASSERT_EQ(Save(path, indexed), IL_OK);
        chunks = pngtest::Chunks(ReadBytes(path));
        EXPECT_EQ(FiltersUsed(chunks, 64), std::set<int>{0});
        EXPECT_EQ(pngtest::Find(chunks, "IDAT")->data[1] >> 6, c.zlibLevelField);
    }
    ILFreeImage(&rgb);
    ILFreeImage(&indexed);
}

// The PLTE holds as many entries as the pixels can use (the next power of
// two above the largest index), tRNS as many alphas.
TEST_F(PngTest, PaletteSizeFollowsTheLargestIndex) {
    ILImage image = MakeImage(IL_MODEL_INDEXED | IL_KIND_8 | IL_EXTRA_ALPHA, 4, 2, 9);
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            image.data[y * image.stride + x] = static_cast<uint8_t>((x + y) % 6);
    const std::string path = PathOf("plte.png");
    ASSERT_EQ(Save(path, image), IL_OK);
    const std::vector<Chunk> chunks = pngtest::Chunks(ReadBytes(path));
    ASSERT_NE(pngtest::Find(chunks, "PLTE"), nullptr);
    EXPECT_EQ(pngtest::Find(chunks, "PLTE")->data.size(), 8u * 3);
    ASSERT_NE(pngtest::Find(chunks, "tRNS"), nullptr);
    EXPECT_EQ(pngtest::Find(chunks, "tRNS")->data.size(), 8u);
    ILImage back;
    ASSERT_EQ(Load(path, &back, nullptr), IL_OK);
    EXPECT_TRUE(SamePixels(image, back));
    ILFreeImage(&back);

    // A palette shorter than the indexes the depth allows: the missing
    // entries are written as opaque black.
    ILImage small = MakeImage(IL_MODEL_INDEXED | IL_KIND_4, 3, 1, 2);
    small.palette->Resize(3);
    small.data[0] = 0x12;
    small.data[1] = 0x00;
    ASSERT_EQ(Save(path, small), IL_OK);
    const std::vector<Chunk> smallChunks = pngtest::Chunks(ReadBytes(path));
    const Chunk* plte = pngtest::Find(smallChunks, "PLTE");
    ASSERT_NE(plte, nullptr);
    ASSERT_EQ(plte->data.size(), 16u * 3);
    EXPECT_EQ(Bytes(plte->data.begin() + 9, plte->data.end()), Bytes(13 * 3, 0));
    ILFreeImage(&small);
    ILFreeImage(&image);
}

// The gamma option writes gAMA 1/2.2 and sRGB; pHYs carries the resolution.
TEST_F(PngTest, GammaAndResolutionChunks) {
    ILImage image = MakeImage(IL_MODEL_RGB | IL_KIND_8, 2, 2, 4);
    ILInfo info;
    info.ppiX = 72;
    info.ppiY = 300;
    const std::string path = PathOf("chunks.png");
    ASSERT_EQ(Save(path, image, &info), IL_OK);
    std::vector<Chunk> chunks = pngtest::Chunks(ReadBytes(path));
    ASSERT_NE(pngtest::Find(chunks, "gAMA"), nullptr);
    EXPECT_EQ(pngtest::Be32(pngtest::Find(chunks, "gAMA")->data.data()), 45455u);
    ASSERT_NE(pngtest::Find(chunks, "sRGB"), nullptr);
    EXPECT_EQ(pngtest::Find(chunks, "sRGB")->data, Bytes{0});
    const Chunk* phys = pngtest::Find(chunks, "pHYs");
    ASSERT_NE(phys, nullptr);
    EXPECT_EQ(pngtest::Be32(&phys->data[0]), 2834u);
    EXPECT_EQ(pngtest::Be32(&phys->data[4]), 11811u);
    EXPECT_EQ(phys->data[8], 1);

    ILInfo back;
    ASSERT_EQ(Load(path, nullptr, &back), IL_OK);
    EXPECT_EQ(back.ppiX, 72u);
    EXPECT_EQ(back.ppiY, 300u);
    EXPECT_EQ(back.gammaKind, IL_GAMMA_SRGB);

    h->png.gamma = 0;
    ASSERT_EQ(Save(path, image), IL_OK);
    chunks = pngtest::Chunks(ReadBytes(path));
    EXPECT_EQ(pngtest::Find(chunks, "gAMA"), nullptr);
    EXPECT_EQ(pngtest::Find(chunks, "sRGB"), nullptr);
    EXPECT_EQ(pngtest::Find(chunks, "pHYs"), nullptr);
    ILFreeImage(&image);
}

// Texts go out as zTXt under the key names, the creator as "Software";
// exiftool and pngcheck read them. Without write-metadata only the creator
// is written.
TEST_F(PngTest, TextsAndCreatorAreWritten) {
    ILImage image = MakeImage(IL_MODEL_GRAY | IL_KIND_8, 3, 3, 6);
    ILInfo info;
    ILSetText(&info.texts, IL_TEXT_TITLE, 6, "Sunset");
    ILSetText(&info.texts, IL_TEXT_AUTHOR, 7, "Ann Lee");
    ILSetText(&info.texts, IL_TEXT_COPYRIGHT, 11, "(c) Ann Lee");
    ILSetText(&info.texts, IL_TEXT_MAKE, 5, "Canon"); // not a key PNG files carry
    const std::string path = PathOf("texts.png");
    ASSERT_EQ(Save(path, image, &info), IL_OK);

    std::vector<Chunk> chunks = pngtest::Chunks(ReadBytes(path));
    std::vector<std::string> keys;
    for (const Chunk& c : chunks)
        if (c.type == "zTXt") keys.emplace_back(reinterpret_cast<const char*>(c.data.data()));
    EXPECT_EQ(keys, (std::vector<std::string>{"Title", "Author", "Copyright", "Software"}));

    ILInfo back;
    ASSERT_EQ(Load(path, nullptr, &back), IL_OK);
    EXPECT_STREQ(ILFindText(&back.texts, IL_TEXT_TITLE), "Sunset");
    EXPECT_STREQ(ILFindText(&back.texts, IL_TEXT_SOFTWARE), "Vx PNG test");

    if (HaveTool("exiftool")) {
        const std::string tags = RunOutput("exiftool -s -Title -Author -Software " + path);
        EXPECT_NE(tags.find("Title                           : Sunset"), std::string::npos) << tags;
        EXPECT_NE(tags.find("Author                          : Ann Lee"), std::string::npos)
            << tags;
        EXPECT_NE(tags.find("Software                        : Vx PNG test"), std::string::npos)
            << tags;
    }
    if (HaveTool("pngcheck")) {
        // pngcheck lists compressed texts by keyword only.
        const std::string listed = RunOutput("pngcheck -t " + path);
        for (const char* key : {"Title:", "Author:", "Copyright:", "Software:"})
            EXPECT_NE(listed.find(key), std::string::npos) << listed;
        EXPECT_EQ(listed.rfind("OK:", std::string::npos) != std::string::npos, true) << listed;
    }

    h->writeMetadata = 0;
    ASSERT_EQ(Save(path, image, &info), IL_OK);
    chunks = pngtest::Chunks(ReadBytes(path));
    keys.clear();
    for (const Chunk& c : chunks)
        if (c.type == "zTXt" || c.type == "tEXt")
            keys.emplace_back(reinterpret_cast<const char*>(c.data.data()));
    EXPECT_EQ(keys, std::vector<std::string>{"Software"});
    ILFreeImage(&image);
}

// Files made by ImageMagick load as netpbm reads them.
TEST_F(PngTest, ImageMagickFilesMatchNetpbm) {
    if (!HaveTool("convert-im6.q16") || !HaveTool("pngtopnm"))
        GTEST_SKIP() << "convert-im6.q16 or pngtopnm missing";
    const struct {
        const char* name;
        const char* arguments;
    } cases[] = {
        {"rgb8", "-size 37x23 plasma:fractal -seed 1 -depth 8 PNG24:"},
        {"rgba16",
         "-size 37x23 gradient:red-blue -alpha set -channel A -evaluate set 40% +channel -depth 16 "
         "PNG64:"},
        {"grey16", "-size 37x23 gradient: -colorspace Gray -depth 16 PNG:"},
        {"palette", "-size 37x23 plasma:fractal -seed 2 -colors 13 PNG8:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathOf(std::string(c.name) + ".png");
        ASSERT_EQ(
            Shell("convert-im6.q16 -seed 1 " + std::string(c.arguments) + path + " 2>/dev/null"),
            0);
        // No colour chunks: what the file holds is what we deliver.
        ASSERT_EQ(Shell("convert-im6.q16 " + path + " -strip " + path + " 2>/dev/null"), 0);
        ILImage image;
        ASSERT_EQ(Load(path, &image, nullptr), IL_OK) << (errors.empty() ? "" : errors.back());
        ExpectNetpbmReads(path, image);
        ILFreeImage(&image);
    }
}

} // namespace
